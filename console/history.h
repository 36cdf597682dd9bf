// The history of the lines entered at a terminal, in a file.
#pragma once

#include <cstddef>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace VELD {

// The lines entered at the terminal, kept across sessions in a plain text file: one line
// an entry, oldest first, readable by a person.
class HistoryFile {
public:
    // Entries kept, in the file and in the editor.
    static constexpr std::size_t LIMIT = 1000;

    // An empty path keeps no history. A file that cannot be read or written, or that
    // cannot be a history (binary data: a NUL byte), is reported once on `err`, as
    // "exactcalc: history not saved: PATH: REASON", and saving stops; the dialogue goes on
    // regardless, and the file is left as it is.
    HistoryFile(std::string path, std::ostream& err);

    // $EXACTCALC_HISTORY when it is set (empty: no history), else ~/.exactcalc_history.
    static std::string defaultPath();

    // The entries the file holds, whole, at most LIMIT, oldest first. Lines that hold
    // control characters other than a tab are passed over; a file with a NUL byte is no
    // history (see above).
    std::vector<std::string> load();
    // Adds an entry at the end of the file at once, so that nothing is lost however the
    // session ends; an entry is whole or absent, also on a full disk. A line that holds a
    // control character other than a tab is not written: the file stays plain text, and
    // the editor keeps the line for this session only. Sessions running at
    // once each add their own lines: the file is only ever appended to, and trimmed by
    // renaming a new file over it, so that a trim cut short leaves it whole.
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

}  // namespace VELD
