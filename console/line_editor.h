// Lines typed at a terminal, through libedit: the usual Emacs keys, Up and Down through the
// history and Ctrl-R to search it. Ctrl-C discards the line being typed and gives a fresh
// prompt; Ctrl-D on an empty line ends the input. Ctrl-C reaches it through a
// signals::Session that discards lines, with reads cut short rather than restarted.
#pragma once

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

private:
    // libedit's source of keys: the terminal, or the keys that end a discarded line.
    static int readKey(::editline* editor, wchar_t* key);
    // Up and Down: recall the entry `step` places older (1) or newer (-1).
    static unsigned char recall(::editline* editor, int step);
    // Alt-B and Alt-F: the cursor back (-1) or on (1) over a word, as bash moves it.
    static unsigned char moveByWord(::editline* editor, int direction);
    // Ctrl-R: a search of the history for the text typed, as it stands.
    static unsigned char searchHistory(::editline* editor);
    bool entryAt(int index, std::string& entry) const;
    static void replaceLine(::editline* editor, const std::string& text, std::size_t from);
    static std::size_t columns(std::wstring_view text, std::size_t at);
    static int drawnWidth(::editline* editor);
    void clearFromPrompt(::editline* editor, int drawn) const;
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
    std::string searchPrompt;  // while Ctrl-R searches, the prompt that shows its text
};

}  // namespace VELD
