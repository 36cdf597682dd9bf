// Lines typed at a terminal, through libedit: the usual Emacs keys, Up and Down through the
// history and Ctrl-R to search it. Ctrl-C discards the line being typed and gives a fresh
// prompt; Ctrl-D on an empty line ends the input. Ctrl-C reaches it through a
// signals::Session that discards lines, with reads cut short rather than restarted.
#pragma once

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "console/keys.h"

struct editline;
struct history;

namespace VELD {

// The lines entered at the terminal, kept across sessions in a plain text file: one line
// an entry, oldest first, readable by a person.
class HistoryFile {
public:
    // Entries kept, in the file and in the editor.
    static constexpr std::size_t LIMIT = 1000;

    // An empty path keeps no history. A file that cannot be read or written, or that
    // cannot be a history (binary data), is reported once on `err`, as "exactcalc: history
    // not saved: PATH: REASON", and saving stops; the dialogue goes on regardless, and the
    // file is left as it is.
    HistoryFile(std::string path, std::ostream& err);

    // $EXACTCALC_HISTORY when it is set (empty: no history), else ~/.exactcalc_history.
    static std::string defaultPath();

    // The entries the file holds, at most LIMIT, oldest first. Lines that hold control
    // characters or NULs are passed over, and long ones are cut to the line limit.
    std::vector<std::string> load();
    // Adds an entry at the end of the file at once, so that nothing is lost however the
    // session ends; an entry is whole or absent, also on a full disk. Sessions running at
    // once each add their own lines: the file is only ever appended to, and trimmed in
    // place under a lock.
    void append(std::string_view line);

private:
    void fail(int error) { fail(std::strerror(error)); }
    void fail(const char* reason);
    // Cuts the file to its last LIMIT entries; the caller holds the lock.
    void trim();

    std::string path;
    std::ostream& err;
    bool saving;
    // Lines in the file as far as this session knows; over LIMIT, the file is trimmed.
    std::size_t lines = 0;
};

class LineEditor : public LineSource {
public:
    // Edits on standard input and output; `out` is flushed before each prompt. The history
    // starts with what `file` holds, and each line entered is added to both.
    LineEditor(std::ostream& out, HistoryFile& file);
    ~LineEditor() override;
    LineEditor(const LineEditor&) = delete;
    LineEditor& operator=(const LineEditor&) = delete;

    Outcome read(std::string_view& line, bool& cut) override;
    void entered(std::string_view line) override;

private:
    // libedit's source of keys: the terminal, or the keys that end a discarded line.
    static int readKey(::editline* editor, wchar_t* key);
    // Up and Down: recall the entry `step` places older (1) or newer (-1).
    static unsigned char recall(::editline* editor, int step);

    std::ostream& out;
    HistoryFile& file;
    ::editline* editor = nullptr;
    ::history* recalled = nullptr;
    std::string lastEntry;
    char text[LINE_LIMIT + 1];  // the last line read, its first LINE_LIMIT characters
    // The keys still to give after Ctrl-C, whether the line being read is dropped, and
    // whether the keys have ended (Ctrl-D on an empty line, or the terminal gone).
    std::wstring pendingKeys;
    bool discarding = false;
    bool ended = false;
    // The keys of the bytes read so far, and whether the prompt is to be drawn again once
    // the program is in the foreground.
    keys::Decoder keys;
    bool redraw = false;
    bool quiet = false;  // the terminal echoes nothing between lines
    // The entry recalled, as places before the newest (0 the newest, -1 none), and the line
    // that was being typed when the first was recalled.
    int recalling = -1;
    std::string typed;
};

}  // namespace VELD
