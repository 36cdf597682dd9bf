// The history file: read from its end only, so a huge or foreign file costs no more than a
// small one; appended to and trimmed under an exclusive lock (history.h).
#include "console/history.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>

#include "console/lines.h"

namespace VELD {

namespace {

// The most that is read of the file: enough for LIMIT entries of a few hundred bytes each.
constexpr std::size_t TAIL_BYTES = 256 * 1024;

constexpr const char* NOT_A_HISTORY = "not a history file (it holds binary data); left as it is";

// A file descriptor, closed when it goes out of scope.
struct Descriptor {
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd; }
    const int fd;
};

// The end of a regular file, at most TAIL_BYTES, from the start of its first whole line;
// `lineCount` counts its lines, or exceeds LIMIT when the file holds more than was read.
// False with errno set when it cannot be read.
bool readTail(int fd, std::string& text, std::size_t& lineCount) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    const auto size = static_cast<std::size_t>(info.st_size);
    const std::size_t start = size > TAIL_BYTES ? size - TAIL_BYTES : 0;
    text.resize(size - start);
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t count =
            pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(start + got));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return false;
        if (count == 0) break;
        got += static_cast<std::size_t>(count);
    }
    text.resize(got);
    if (start > 0) text.erase(0, std::min(text.size(), text.find('\n') + 1));
    lineCount = start > 0 ? HistoryFile::LIMIT + 1
                          : static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    return true;
}

// Calls `each` with every line of `text`, without its line end.
template <typename Each>
void forEachLine(std::string_view text, Each each) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        each(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

// True when `text` cannot be a history: it holds a NUL byte, which no line typed at the
// editor can hold. Such a file was named by mistake, and is left as it is.
bool foreign(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

// True when `line` holds a control character other than a tab: typed with Ctrl-V, or
// pasted. Such a line is not written to the file, so that the file stays plain text, one
// line an entry; one that an older program wrote is passed over.
bool holdsControl(std::string_view line) {
    return std::any_of(line.begin(), line.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    });
}

// The last LIMIT entries of `text`, each the whole line typed.
std::vector<std::string> entriesOf(std::string_view text) {
    std::vector<std::string> entries;
    forEachLine(text, [&](std::string_view line) {
        if (!line.empty() && !holdsControl(line)) entries.emplace_back(line);
    });
    if (entries.size() > HistoryFile::LIMIT)
        entries.erase(entries.begin(), entries.end() - HistoryFile::LIMIT);
    return entries;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t count = write(fd, text.data(), text.size());
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            if (count == 0) errno = EIO;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

}  // namespace

HistoryFile::HistoryFile(std::string path, std::ostream& err)
    : path(std::move(path)), err(err), saving(!this->path.empty()) {}

std::string HistoryFile::defaultPath() {
    if (const char* chosen = std::getenv("EXACTCALC_HISTORY")) return chosen;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || *home == '\0') return "";
    return std::string(home) + "/.exactcalc_history";
}

void HistoryFile::fail(const char* reason) {
    if (!saving) return;
    saving = false;
    err << "exactcalc: history not saved: " << path << ": " << reason << '\n';
}

std::vector<std::string> HistoryFile::load() {
    if (!saving) return {};
    // Not blocking: a FIFO with no writer must not hold up the dialogue.
    const Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno != ENOENT) fail(errno);  // a missing file is made by the first entry
        return {};
    }
    struct stat info {};
    std::string text;
    if (fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode)) {
        fail(errno != 0 && !S_ISDIR(info.st_mode) ? errno : EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        // such as /dev/null: written to, never read
    } else if (!readTail(file.get(), text, lines)) {
        fail(errno);
    } else if (foreign(text)) {
        fail(NOT_A_HISTORY);
    } else {
        return entriesOf(text);
    }
    return {};
}

// An entry is whole in the file or not there at all: it and its line end go in one write,
// after a line end for a last line that lacks one, and a write cut short (a full disk) is
// undone by cutting the file back to its length before.
void HistoryFile::append(std::string_view line) {
    if (!saving || holdsControl(line)) return;
    const Descriptor file(open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600));
    struct stat info {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0) return fail(errno);
    const bool regular = S_ISREG(info.st_mode);
    // The lock keeps this line out of a trim that another session has under way; when that
    // trim has put a new file in place, the line goes into the new one.
    struct stat now {};
    if (regular && (flock(file.get(), LOCK_EX) != 0 || fstat(file.get(), &info) != 0)) {
        return fail(errno);
    }
    if (regular && stat(path.c_str(), &now) == 0 && now.st_ino != info.st_ino) {
        return append(line);
    }
    std::string entry;
    char last = '\n';
    if (regular && info.st_size > 0) {
        const Descriptor reader(open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
        if (reader.get() < 0 || pread(reader.get(), &last, 1, info.st_size - 1) != 1) {
            return fail(errno != 0 ? errno : EIO);
        }
    }
    if (last != '\n') entry += '\n';
    entry += line;
    entry += '\n';
    if (!writeAll(file.get(), entry)) {
        const int error = errno;
        if (regular) (void)!ftruncate(file.get(), info.st_size);
        return fail(error);
    }
    if (regular && ++lines > LIMIT) trim();  // still under the lock
}

// The new file takes the old one's mode; where it cannot be made (a folder not writable, a
// full disk), the file is left as it is, longer than LIMIT, and the next entry tries again.
// A history named through a symbolic link is replaced where the link points.
void HistoryFile::trim() {
    const Descriptor file(open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
    std::string text;
    std::size_t count = 0;
    struct stat info {};
    if (file.get() < 0 || !readTail(file.get(), text, count) || fstat(file.get(), &info) != 0)
        return fail(errno);
    if (foreign(text)) return fail(NOT_A_HISTORY);
    const std::vector<std::string> entries = entriesOf(text);
    std::string kept;
    for (const std::string& entry : entries)
        kept.append(entry).append("\n");
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr),
                                                           &std::free);
    std::string replacement = (real ? std::string(real.get()) : path) + ".XXXXXX";
    const Descriptor replacing(mkostemp(replacement.data(), O_CLOEXEC));
    if (replacing.get() < 0) return;
    if (fchmod(replacing.get(), info.st_mode & 07777) == 0 && writeAll(replacing.get(), kept) &&
        fsync(replacing.get()) == 0 &&
        rename(replacement.c_str(), replacement.substr(0, replacement.size() - 7).c_str()) == 0) {
        lines = entries.size();
    } else {
        unlink(replacement.c_str());
    }
}

}  // namespace VELD
