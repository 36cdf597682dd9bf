// Lines typed at a terminal, through libedit: the usual Emacs keys, Up and Down through the
// history and Ctrl-R to search it. Ctrl-C discards the line being typed and gives a fresh
// prompt; Ctrl-D on an empty line ends the input. Ctrl-C reaches it through a
// signals::Session that discards lines, with reads cut short rather than restarted.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <iosfwd>
#include <string>
#include <string_view>

#include "console/history.h"
#include "console/keys.h"
#include "console/lines.h"

struct editline;
struct history;

namespace VELD {

class LineEditor : public LineSource {
public:
    // Edits on standard input and output; `out` is flushed before each prompt. The history
    // starts with what `file` holds, and each line entered is added to both.
    LineEditor(std::ostream& out, HistoryFile& file);
    ~LineEditor() override;
    LineEditor(const LineEditor&) = delete;
    LineEditor& operator=(const LineEditor&) = delete;

    Read read(std::string_view& line, bool& cut) override;
    void entered(std::string_view line) override;
    // The rows above the last line's answer: its prompt's row, where the terminal reported
    // it, and below it the row of the line typed; and a row at least for each line read
    // since the screen was last cleared (Ctrl-L), or since the start, the last one's included.
    std::size_t rowsAbove() const override {
        return std::max(linesRead, promptRow >= 0 ? static_cast<std::size_t>(promptRow) + 1 : 0);
    }

private:
    // libedit's source of keys: the terminal, or the keys that end a discarded line.
    static int readKey(::editline* editor, wchar_t* key);
    // Up and Down: recall the entry `step` places older (1) or newer (-1).
    static unsigned char recall(::editline* editor, int step);
    // Alt-B and Alt-F: the cursor back (-1) or on (1) over a word, as bash moves it.
    static unsigned char moveByWord(::editline* editor, int direction);
    // Ctrl-R: a search of the history for the text typed, as it stands.
    static unsigned char searchHistory(::editline* editor);
    // Ctrl-L: the screen cleared, the prompt and line drawn again at its top.
    static unsigned char clearScreen(::editline* editor);
    bool entryAt(int index, std::string& entry) const;
    static void replaceLine(::editline* editor, const std::string& text, std::size_t from);
    static std::size_t columns(std::wstring_view text, std::size_t at);
    static int drawnWidth(::editline* editor);
    void clearFromPrompt(::editline* editor, int drawn) const;
    void awaitReport();
    void redrawFromPrompt(::editline* editor) const;

    std::ostream& out;
    HistoryFile& file;
    ::editline* editor = nullptr;
    ::history* recalled = nullptr;
    std::string lastEntry;
    char text[LINE_LIMIT + 1];  // the last line read, its first LINE_LIMIT characters
    std::string whole;          // and all of it
    // The keys still to give (the rest of a sequence's, or those that end a line dropped by
    // Ctrl-C), whether the line being read is dropped, and whether the keys have ended
    // (Ctrl-D on an empty line, or the terminal gone).
    std::wstring pendingKeys;
    std::wstring carried;  // keys read after the line's end, for the next line
    bool discarding = false;
    bool ended = false;
    // The keys of the bytes read so far, and whether the prompt is to be drawn again once
    // the program is in the foreground.
    keys::Decoder keys;
    bool redraw = false;
    bool quiet = false;  // the terminal echoes nothing between lines
    // The entry recalled, as places before the newest (0 the newest, TYPED none), and the
    // line that was being typed when the first was recalled.
    static constexpr int TYPED = -1;
    int recalling = TYPED;
    std::string typed;
    std::string searchPrompt;   // while Ctrl-R searches, the prompt that shows its text
    std::size_t linesRead = 0;  // since the screen was last cleared
    // The prompt's row, from 0, as the terminal reported it when asked at the line's first
    // key; -1 where it did not, or a resize or a stop may have moved it since.
    long promptRow = -1;
    bool rowMoved = false;
    bool askRow = false;
    bool rowsAsked = false;  // the terminal is asked, and has answered so far
};

}  // namespace VELD
