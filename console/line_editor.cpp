#include "console/line_editor.h"

#include <dlfcn.h>
#include <histedit.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "common/text.h"
#include "console/keys.h"
#include "console/signals.h"

namespace VELD {

namespace {

// How long the terminal's size must hold before the line is drawn at it.
constexpr int SETTLE_MS = 50;
// How long a report of the prompt's row still to come is waited for at a line's end: far
// longer than a terminal takes to answer, short enough not to be felt.
constexpr int REPORT_MS = 200;

// libedit's entry points, each a field and the symbol it is found by. The library is loaded
// when the first editor starts, so that a script or a pipe never maps it and the libraries
// it needs: that is a good part of the time the program takes to start.
#define VELD_LIBEDIT_ENTRIES(entry)                                                         \
    entry(historyInit, history_init) entry(historyEnd, history_end) entry(history, history) \
        entry(init, el_init) entry(end, el_end) entry(set, el_set) entry(get, el_get)       \
            entry(gets, el_wgets) entry(line, el_wline) entry(insert, el_winsertstr)        \
                entry(erase, el_deletestr) entry(cursor, el_cursor) entry(resize, el_resize)

struct Libedit {
#define VELD_FIELD(field, symbol) decltype(&::symbol) field;
    VELD_LIBEDIT_ENTRIES(VELD_FIELD)
#undef VELD_FIELD
};

// The entry points, or null when the library or one of them cannot be found.
const Libedit* libedit() {
    static const Libedit* const loaded = []() -> const Libedit* {
        void* const library = dlopen(EXACTCALC_LIBEDIT, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return nullptr;
        static Libedit entries;
        bool complete = true;
        auto find = [&](auto& entry, const char* name) {
            entry =
                reinterpret_cast<std::remove_reference_t<decltype(entry)>>(dlsym(library, name));
            complete = complete && entry != nullptr;
        };
#define VELD_FIND(field, symbol) find(entries.field, #symbol);
        VELD_LIBEDIT_ENTRIES(VELD_FIND)
#undef VELD_FIND
        return complete ? &entries : nullptr;
    }();
    return loaded;
}

}  // namespace

LineEditor::LineEditor(std::ostream& out, HistoryFile& file) : out(out), file(file) {
    const Libedit* const el = libedit();
    if (el == nullptr) throw std::runtime_error("the line editor could not be loaded");
    recalled = el->historyInit();
    editor = el->init("exactcalc", stdin, stdout, stderr);
    if (recalled == nullptr || editor == nullptr) {
        if (recalled != nullptr) el->historyEnd(recalled);
        throw std::runtime_error("the line editor could not start");
    }
    HistEvent event;
    el->history(recalled, &event, H_SETSIZE, static_cast<int>(HistoryFile::LIMIT));
    el->history(recalled, &event, H_SETUNIQUE, 1);
    for (const std::string& entry : file.load()) {
        el->history(recalled, &event, H_ENTER, entry.c_str());
        lastEntry = entry;
    }
    el->set(editor, EL_CLIENTDATA, this);
    // The prompt, or while Ctrl-R searches, the search's text.
    el->set(
        editor, EL_PROMPT, +[](EditLine* e) {
            LineEditor* self = nullptr;
            libedit()->get(e, EL_CLIENTDATA, &self);
            return self == nullptr || self->searchPrompt.empty()
                       ? PROMPT
                       : const_cast<char*>(self->searchPrompt.c_str());
        });
    el->set(editor, EL_EDITOR, "emacs");
    // On a terminal that keeps the cursor in the last column after writing there (xterm,
    // tmux, screen, the Linux console: "xn"), libedit's own handling of that margin clears
    // the wrong row when an edit shifts a wrapped line. It is told the terminal does not
    // wrap: it then ends each row itself, where the cursor indeed stands.
    int lastColumnKept = 0;
    if (el->get(editor, EL_GETTC, "xn", &lastColumnKept, nullptr) == 0 && lastColumnKept != 0)
        el->set(editor, EL_SETTC, "am", "no", nullptr);
    // Stops, resizes and ending signals are handled by the session's handlers (signals.h),
    // which give the terminal its modes back; a key read they cut short redraws the line.
    el->set(editor, EL_SIGNAL, 0);
    el->set(editor, EL_HIST, el->history, recalled);
    el->set(editor, EL_GETCFN, &LineEditor::readKey);
    // Tab offers nothing: there is nothing to complete.
    el->set(editor, EL_BIND, "^I", "ed-ignore", nullptr);
    // Up and Down (and Ctrl-P and Ctrl-N) walk the history as readline does: the line being
    // typed is kept while entries are recalled, and Down past the newest brings it back.
    using Function = unsigned char (*)(EditLine*, int);
    const Function older = [](EditLine* e, int) { return recall(e, 1); };
    const Function newer = [](EditLine* e, int) { return recall(e, -1); };
    el->set(editor, EL_ADDFN, "exactcalc-older", "Recall the entry before", older);
    el->set(editor, EL_ADDFN, "exactcalc-newer", "Recall the entry after", newer);
    // (The terminal's arrows come to the editor as Ctrl-P and Ctrl-N: keys.h.)
    el->set(editor, EL_BIND, "^P", "exactcalc-older", nullptr);
    el->set(editor, EL_BIND, "^N", "exactcalc-newer", nullptr);
    el->set(editor, EL_BIND, "\033[3~", "ed-delete-next-char", nullptr);
    // Keys as bash has them: Ctrl-U deletes from the cursor to the start of the line;
    // Ctrl-_ and Ctrl-X Ctrl-U undo the last edit; Alt-B and Alt-F (and the Ctrl- and
    // Alt-arrows, keys.h) move over words, a word being a run of letters and digits.
    el->set(editor, EL_BIND, "^U", "vi-kill-line-prev", nullptr);
    el->set(editor, EL_BIND, "^_", "vi-undo", nullptr);
    el->set(editor, EL_BIND, "^X^U", "vi-undo", nullptr);
    const Function wordLeft = [](EditLine* e, int) { return moveByWord(e, -1); };
    const Function wordRight = [](EditLine* e, int) { return moveByWord(e, 1); };
    el->set(editor, EL_ADDFN, "exactcalc-word-left", "Back to a word's start", wordLeft);
    el->set(editor, EL_ADDFN, "exactcalc-word-right", "On to a word's end", wordRight);
    el->set(editor, EL_BIND, "\033b", "exactcalc-word-left", nullptr);
    el->set(editor, EL_BIND, "\033B", "exactcalc-word-left", nullptr);
    el->set(editor, EL_BIND, "\033f", "exactcalc-word-right", nullptr);
    el->set(editor, EL_BIND, "\033F", "exactcalc-word-right", nullptr);
    const Function search = [](EditLine* e, int) { return searchHistory(e); };
    el->set(editor, EL_ADDFN, "exactcalc-search", "Search the history for the text typed", search);
    el->set(editor, EL_BIND, "^R", "exactcalc-search", nullptr);
    const Function clear = [](EditLine* e, int) { return clearScreen(e); };
    el->set(editor, EL_ADDFN, "exactcalc-clear-screen", "Clear the screen", clear);
    el->set(editor, EL_BIND, "^L", "exactcalc-clear-screen", nullptr);
    // The answer to a question written to standard output comes on standard input.
    rowsAsked = signals::sameTerminal(STDIN_FILENO, STDOUT_FILENO);
}

// The entry `index` places before the newest (0 the newest); false past the oldest.
bool LineEditor::entryAt(int index, std::string& entry) const {
    HistEvent event;
    int at = libedit()->history(recalled, &event, H_FIRST);
    for (int k = 0; k < index && at == 0; ++k)
        at = libedit()->history(recalled, &event, H_NEXT);
    if (at != 0) return false;
    entry = event.str;
    return true;
}

// Puts `text` in place of the line being edited, the cursor `from` characters in (or at the
// end).
void LineEditor::replaceLine(EditLine* editor, const std::string& text, std::size_t from) {
    const Libedit* const el = libedit();
    const LineInfoW* line = el->line(editor);
    el->cursor(editor, static_cast<int>(line->lastchar - line->cursor));
    el->erase(editor, static_cast<int>(line->lastchar - line->buffer));
    const std::wstring keys = keys::decode(text);
    el->insert(editor, keys.c_str());
    if (from < text.size())
        el->cursor(editor,
                   -static_cast<int>(keys.size() - keys::decode(text.substr(0, from)).size()));
}

// The columns libedit draws `text` in from column `at`: a control character as ^X, one it
// cannot print as \U+XXXX, a tab to the next multiple of 8.
std::size_t LineEditor::columns(std::wstring_view text, std::size_t at) {
    const std::size_t from = at;
    for (const wchar_t c : text) {
        const int width = ::wcwidth(c);
        if (c == L'\t')
            at = (at / 8 + 1) * 8;
        else if (c < 0x100 && std::iswcntrl(static_cast<wint_t>(c)))
            at += 2;
        else if (width >= 0 && std::iswprint(static_cast<wint_t>(c)))
            at += width;
        else
            at += c > 0xffff ? 8 : 7;
    }
    return at - from;
}

// The terminal's width as libedit has it: the width it last drew at.
int LineEditor::drawnWidth(EditLine* editor) {
    int width = 0;
    return libedit()->get(editor, EL_GETTC, "co", &width, nullptr) == 0 && width > 0 ? width : 80;
}

// Moves to the start of the prompt's row and erases what is below, for a prompt and line
// drawn again. The line was drawn at `drawn` columns, its rows ended by the editor
// (libedit is told the terminal does not wrap); the terminal is now `width` wide, and has
// rewrapped them as tmux does: each full row above the cursor's is
// ceil(drawn / width) rows now, and the cursor's row is split before it.
void LineEditor::clearFromPrompt(EditLine* editor, int drawn) const {
    const LineInfoW* line = libedit()->line(editor);
    const auto width = static_cast<std::size_t>(drawnWidth(editor));
    const auto before = static_cast<std::size_t>(drawn);
    const std::size_t prompt =
        columns(keys::decode(searchPrompt.empty() ? PROMPT : searchPrompt), 0);
    const std::size_t column = prompt + columns({line->buffer, line->cursor}, prompt);
    const std::size_t rows =
        column / before * ((before + width - 1) / width) + column % before / width;
    std::string move = "\r";
    if (rows > 0) move += "\x1b[" + std::to_string(rows) + "A";
    move += "\x1b[J";
    out << std::flush;
    (void)!::write(STDOUT_FILENO, move.data(), move.size());
}

void LineEditor::redrawFromPrompt(EditLine* editor) const {
    clearFromPrompt(editor, drawnWidth(editor));
}

// Ctrl-R, as bash's reverse-i-search, for the text typed as it stands (no character is a
// pattern, and an entry the locale cannot show is searched as its bytes): each key typed
// extends the text and shows the newest entry that holds it, Backspace shortens it and
// searches again, Ctrl-R finds the next older one. Enter answers the line found, Ctrl-G
// gives back the line as it was, and any other key (an arrow, Ctrl-A, ...) ends the search
// with the line found, which it then acts on: Up and Down walk on from the entry found.
unsigned char LineEditor::searchHistory(EditLine* editor) {
    const Libedit* const el = libedit();
    LineEditor* self = nullptr;
    el->get(editor, EL_CLIENTDATA, &self);
    const LineInfoW* line = el->line(editor);
    const std::string before = keys::encode({line->buffer, line->lastchar});
    const auto cursorBefore = static_cast<std::size_t>(line->cursor - line->buffer);
    std::wstring typedKeys;
    std::string text;   // their bytes, as the entries hold them
    int found = TYPED;  // the entry shown, places before the newest (TYPED: none yet)
    // The entry from `from` on, older and older, that holds the text; shown when there is one.
    auto seek = [&](int from) {
        std::string entry;
        for (int index = from; self->entryAt(index, entry); ++index) {
            const std::size_t at = entry.find(text);
            if (at == std::string::npos) continue;
            found = index;
            self->replaceLine(editor, entry, at);
            return true;
        }
        return false;
    };
    bool failed = false;
    // The prompt with the text, drawn from the start of the prompt's row: libedit draws a
    // prompt that changed from where the old one ended.
    auto prompt = [&] {
        self->redrawFromPrompt(editor);
        self->searchPrompt =
            std::string(failed ? "(failed reverse-i-search)`" : "(reverse-i-search)`") + text +
            "': ";
        el->set(editor, EL_REFRESH);
    };
    prompt();
    for (;;) {
        wchar_t key = 0;
        if (readKey(editor, &key) != 1 || self->discarding) break;
        if (key == L'\x12') {  // Ctrl-R: the next older entry
            failed = !seek(found + 1);
        } else if (key == L'\x7f' || key == L'\b') {
            if (!typedKeys.empty()) typedKeys.pop_back();
            text = keys::encode(typedKeys);
            failed = !seek(0);
        } else if (key == L'\x07') {  // Ctrl-G: the line as it was
            self->replaceLine(editor, before, cursorBefore);
            found = TYPED;
            break;
        } else if (key >= L' ') {
            typedKeys += key;
            text = keys::encode(typedKeys);
            failed = !seek(found == TYPED ? 0 : found);
        } else {
            self->pendingKeys.insert(0, 1, key);  // it ends the search, then acts
            break;
        }
        prompt();
    }
    self->redrawFromPrompt(editor);
    self->searchPrompt.clear();
    if (found != TYPED) {
        if (self->recalling == TYPED) self->typed = before;
        self->recalling = found;
    }
    el->set(editor, EL_REFRESH);
    return CC_REFRESH;
}

// Moves the cursor as bash's backward-word (`direction` -1) and forward-word (1) do: over
// the characters that are no letter or digit, then over the letters and digits after them.
unsigned char LineEditor::moveByWord(EditLine* editor, int direction) {
    const Libedit* const el = libedit();
    const LineInfoW* line = el->line(editor);
    const wchar_t* at = line->cursor;
    auto inWord = [](wchar_t c) { return std::iswalnum(static_cast<wint_t>(c)) != 0; };
    if (direction < 0) {
        while (at > line->buffer && !inWord(at[-1]))
            --at;
        while (at > line->buffer && inWord(at[-1]))
            --at;
    } else {
        while (at < line->lastchar && !inWord(*at))
            ++at;
        while (at < line->lastchar && inWord(*at))
            ++at;
    }
    el->cursor(editor, static_cast<int>(at - line->cursor));
    return CC_CURSOR;
}

LineEditor::~LineEditor() {
    libedit()->end(editor);
    libedit()->historyEnd(recalled);
}

// As libedit's own binding does, with the terminal's "cl"; the rows above the next answer
// are counted afresh from the top. Without "cl" nothing is cleared.
unsigned char LineEditor::clearScreen(EditLine* editor) {
    LineEditor* self = nullptr;
    const Libedit* const el = libedit();
    el->get(editor, EL_CLIENTDATA, &self);
    if (el->set(editor, EL_ECHOTC, "cl", nullptr) != 0) return CC_ERROR;
    self->linesRead = 0;
    self->promptRow = 0;
    self->rowMoved = true;
    self->keys.expectReport(false);  // a report still to come tells of the row before
    el->set(editor, EL_REFRESH);     // from the top left corner, where "cl" leaves the cursor
    return CC_REFRESH;
}

// The report of the prompt's row where it has not come by the line's end (keys typed faster
// than the terminal answers): waited for a moment, the keys read meanwhile kept for the next
// line, so that it is not left in the terminal's input for the shell after the program. A
// terminal that has not answered in that time is not asked again.
void LineEditor::awaitReport() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(REPORT_MS);
    while (keys.expectingReport()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = left.count() > 0 ? ::poll(&input, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        char byte = 0;
        if (ready <= 0 || ::read(STDIN_FILENO, &byte, 1) != 1) break;
        keys.add(byte, carried);
    }
    rowsAsked = rowsAsked && !keys.expectingReport();
    keys.expectReport(false);
}

// Reads a byte at a time, as libedit's own reader does, and gives the keys they make
// (keys.h). Ctrl-D on an empty line ends the input, without the "^D" of libedit's own
// binding. A read cut short by Ctrl-C gives the keys that finish the line as Enter would,
// behind a "^C" mark, and the line is dropped; by a resize, or a continue after any stop
// (Ctrl-Z, or a read from the background), the editor takes the terminal's width again, as
// libedit's own reader does; after a continue, once in the foreground, it draws the prompt
// and the line again with the cursor where it was.
int LineEditor::readKey(EditLine* editor, wchar_t* key) {
    LineEditor* self = nullptr;
    libedit()->get(editor, EL_CLIENTDATA, &self);
    if (self->askRow) {
        // Where the prompt stands, for the note of a long line (rowsAbove): asked once the
        // editor has the terminal, which then echoes nothing, so that the answer is taken
        // in among the keys unseen; and only where no key is waiting, so that the answer
        // comes before any key that could end the dialogue.
        self->askRow = false;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (self->pendingKeys.empty() && ::poll(&input, 1, 0) == 0) {
            self->keys.expectReport(true);
            (void)!::write(STDOUT_FILENO, "\x1b[6n", 4);
        }
    }
    while (self->pendingKeys.empty()) {
        if (signals::takePromptInterrupt()) {
            self->discarding = true;
            self->pendingKeys = L"\x05^C\n";  // Ctrl-E: to the end of the line
            break;
        }
        unsigned events = signals::takeEvents();
        if (events != 0) {
            self->keys.expectReport(false);
            self->rowMoved = true;
            const int drawn = drawnWidth(editor);
            // A resize is taken once the size has held for a moment: a window dragged sends
            // many, and a line drawn at a width the terminal has already left lands on the
            // wrong rows.
            pollfd input{STDIN_FILENO, POLLIN, 0};
            while ((events & signals::RESIZED) != 0 && ::poll(&input, 1, SETTLE_MS) < 0 &&
                   errno == EINTR)
                events |= signals::takeEvents();
            libedit()->resize(editor);
            // A resize at the prompt draws the prompt and line again at once, where they
            // began; after a stop they are drawn afresh on the row the stop left.
            if (events == signals::RESIZED && !self->redraw && signals::inForeground()) {
                self->clearFromPrompt(editor, drawn);
                libedit()->set(editor, EL_REFRESH);
            }
        }
        self->redraw = self->redraw || (events & signals::RESUMED) != 0;
        if (self->redraw && signals::inForeground()) {
            // The terminal's modes, which a stop gave back, are the editor's again.
            self->redraw = false;
            libedit()->set(editor, EL_PREP_TERM, 0);
            libedit()->set(editor, EL_PREP_TERM, 1);
            libedit()->set(editor, EL_REFRESH);
        }
        char byte = 0;
        const ssize_t count = ::read(STDIN_FILENO, &byte, 1);
        if (count == 1) {
            const LineInfoW* line = libedit()->line(editor);
            if (byte == 0x04 && line->buffer == line->lastchar) break;
            self->keys.add(byte, self->pendingKeys);
        } else if (count == 0 || errno != EINTR) {
            // libedit reports the end of its keys as a failed read; the flag tells them apart.
            self->ended = count == 0;
            return count == 0 ? 0 : -1;
        }
    }
    if (self->pendingKeys.empty()) {
        self->ended = true;  // Ctrl-D
        return 0;
    }
    *key = self->pendingKeys.front();
    self->pendingKeys.erase(0, 1);
    return 1;
}

Read LineEditor::read(std::string_view& line, bool& cut) {
    if (signals::endRequested()) return Ending::interrupted;  // SIGTERM while computing
    if (!(out << std::flush)) return Ending::outputFailed;
    signals::takePromptInterrupt();  // a Ctrl-C that came while the last answer was written
    signals::awaitForeground();
    signals::takeEvents();
    // Between lines the terminal echoes nothing: keys typed while a line is computed wait
    // for the next prompt, where the editor shows them; and those typed as the prompt is
    // written, before the editor takes the terminal, are not shown twice. Set once the
    // signals' session has the terminal's own modes, which it gives back at a stop.
    if (!quiet) {
        quiet =
            libedit()->set(editor, EL_SETTY, "-x", "-echo", "-echoctl", "-icanon", nullptr) == 0;
    }
    discarding = false;
    ended = false;
    pendingKeys = std::move(carried);
    carried.clear();
    if (pendingKeys.empty()) keys = keys::Decoder();
    promptRow = -1;
    rowMoved = false;
    askRow = rowsAsked;
    recalling = TYPED;
    typed.clear();
    int count = 0;
    const wchar_t* got = libedit()->gets(editor, &count);
    const int error = errno;
    if (got != nullptr || discarding) ++linesRead;  // ended by a line end
    awaitReport();
    if (!rowMoved) promptRow = keys.reportedRow();
    if (discarding) return Read::discarded;
    if (got == nullptr) {
        errno = error;
        return ended || count == 0 ? Ending::endOfInput : Ending::inputFailed;
    }
    // The bytes typed, as they came, whatever the locale can show of them.
    const std::string entry = keys::encode(got);
    const std::size_t length = std::min(entry.find('\n'), entry.size());
    const std::size_t kept = std::min<std::size_t>(length, LINE_LIMIT);
    std::memcpy(text, entry.data(), kept);
    text[kept] = '\0';
    line = std::string_view(text, kept);
    cut = length > LINE_LIMIT;
    whole = entry.substr(0, length);
    return Read::line;
}

// The recalled entry `recalling` places before the newest (0 the newest), or the line
// typed before the first recall (TYPED), put in place of the line being edited.
unsigned char LineEditor::recall(EditLine* editor, int step) {
    LineEditor* self = nullptr;
    const Libedit* const el = libedit();
    el->get(editor, EL_CLIENTDATA, &self);
    const int wanted = self->recalling + step;
    if (wanted < TYPED) return CC_ERROR;  // Down at the line being typed: it stays
    std::string text = self->typed;
    if (wanted != TYPED && !self->entryAt(wanted, text)) return CC_ERROR;  // Up at the oldest
    const LineInfoW* line = el->line(editor);
    if (self->recalling == TYPED) self->typed = keys::encode({line->buffer, line->lastchar});
    replaceLine(editor, text, text.size());
    self->recalling = wanted;
    return CC_REFRESH;
}

// Lines of white space only are not kept. A line cut to the line limit is kept whole, as
// typed, so that it can be recalled and shortened.
void LineEditor::entered(std::string_view line) {
    if (isOnlyWhiteSpace(line)) return;
    const std::string kept = whole.starts_with(line) ? whole : std::string(line);
    if (kept == lastEntry) return;  // the same line twice in a row is kept once
    HistEvent event;
    libedit()->history(recalled, &event, H_ENTER, kept.c_str());
    file.append(kept);
    lastEntry = kept;
}

}  // namespace VELD
