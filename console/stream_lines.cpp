#include "console/stream_lines.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ios>
#include <iostream>
#include <istream>
#include <ostream>
#include <system_error>

#include "console/signals.h"

namespace VELD {

StreamLines::StreamLines(std::istream& in, std::ostream& out, Use use)
    : in(in), out(out), use(use), descriptor(&in == &std::cin) {}

bool StreamLines::fill(Wait wait, Ending& ended) {
    if (start == end) {
        start = end = 0;
    } else if (end == sizeof block) {
        std::memmove(block, block + start, end - start);
        end -= start;
        start = 0;
    }
    if (end == sizeof block) return true;  // full of a line not yet ended
    if (descriptor) return fillFromDescriptor(wait, ended);
    std::streambuf& source = *in.rdbuf();
    try {
        std::streamsize available = source.in_avail();
        if (available == 0 && wait == Wait::mayWait) {
            // The next read may wait: all that has been answered goes out first.
            // Ctrl-C while it waits ends the program at once (see signals.h).
            if (!(out << std::flush)) return ended = Ending::outputFailed, false;
            signals::setWaiting(true);
            if (signals::endRequested()) {
                signals::setWaiting(false);
                return ended = Ending::interrupted, false;
            }
            const auto next = source.sgetc();
            signals::setWaiting(false);
            available = next == std::char_traits<char>::eof() ? -1 : source.in_avail();
        }
        if (available > 0) {
            const auto room = static_cast<std::streamsize>(sizeof block - end);
            end += static_cast<std::size_t>(source.sgetn(block + end, std::min(available, room)));
        }
    } catch (const std::ios_base::failure& failure) {
        // A read error: the stream reports it, with the reason the system gave.
        errno = failure.code().value() != 0 ? failure.code().value() : EIO;
        in.setstate(std::ios::badbit);
        return ended = Ending::inputFailed, false;
    }
    ended = Ending::endOfInput;
    return end > start;
}

// Without waiting, the descriptor is asked whether input is there (poll) before it is
// read. A read cut short by a signal is made again, unless Ctrl-C asked to end; only a
// read that returns 0 is the end of input, and it is kept, as a terminal gives it once.
bool StreamLines::fillFromDescriptor(Wait wait, Ending& ended) {
    ended = Ending::endOfInput;
    // A terminal's end of input (Ctrl-D) is read once: one met by a look ahead is kept.
    if (inputEnded) return end > start;
    pollfd ready{STDIN_FILENO, POLLIN, 0};
    if (wait == Wait::atHand) {
        if (poll(&ready, 1, 0) <= 0) return end > start;
    } else if (poll(&ready, 1, 0) <= 0) {
        // The next read may wait: all that has been answered goes out first.
        // Ctrl-C while it waits ends the program at once (see signals.h).
        if (!(out << std::flush)) return ended = Ending::outputFailed, false;
    }
    for (;;) {
        signals::setWaiting(wait == Wait::mayWait);
        if (wait == Wait::mayWait && signals::endRequested()) {
            signals::setWaiting(false);
            return ended = Ending::interrupted, false;
        }
        const ssize_t got = ::read(STDIN_FILENO, block + end, sizeof block - end);
        const int error = errno;
        signals::setWaiting(false);
        if (got >= 0) {
            inputEnded = got == 0;
            end += static_cast<std::size_t>(got);
            return end > start;
        }
        if (error == EINTR && !signals::endRequested()) continue;
        if (error == EINTR) return ended = Ending::interrupted, false;
        errno = error;
        in.setstate(std::ios::badbit);
        return ended = Ending::inputFailed, false;
    }
}

bool put(std::ostream& out, std::string_view text) {
    const auto size = static_cast<std::streamsize>(text.size());
    if (out.good() && out.rdbuf()->sputn(text.data(), size) == size) return true;
    out.setstate(std::ios::badbit);
    return false;
}

// The dialogue keeps a line's first LINE_LIMIT characters and passes over the rest, taking
// nothing beyond its end; a CR before the LF is no character of the line, for the cut.
Read StreamLines::read(std::string_view& line, bool& cut) {
    const bool dialogue = use != Use::script;
    if (signals::endRequested()) return Ending::interrupted;
    if (dialogue && !put(out, PROMPT)) return Ending::outputFailed;
    if (use == Use::terminalDialogue && !(out << std::flush)) return Ending::outputFailed;
    wholeLine.clear();
    std::size_t length = 0;
    std::size_t dropped = 0;
    char lastDropped = '\0';
    for (bool readAny = false;; readAny = true) {
        Ending ended = Ending::endOfInput;
        if (start == end && !fill(Wait::mayWait, ended)) {
            if (ended == Ending::endOfInput && readAny) break;
            return ended;
        }
        const char* from = block + start;
        const void* newline = std::memchr(from, '\n', end - start);
        const std::size_t taken =
            (newline != nullptr ? static_cast<const char*>(newline) : block + end) - from;
        if (dialogue) {
            const std::size_t kept = std::min(taken, LINE_LIMIT - length);
            std::memcpy(cutLine + length, from, kept);
            length += kept;
            dropped += taken - kept;
            if (taken > kept) lastDropped = from[taken - 1];
        } else {
            wholeLine.append(from, taken);
        }
        start += taken;
        if (newline != nullptr) {
            ++start;
            break;
        }
    }
    cutLine[length] = '\0';
    line = dialogue ? std::string_view(cutLine, length) : std::string_view(wholeLine);
    cut = dropped > 1 || (dropped == 1 && lastDropped != '\r');
    return Read::line;
}

bool StreamLines::lineWaiting() {
    if (use == Use::terminalDialogue) return false;
    auto held = [this] { return std::memchr(block + start, '\n', end - start) != nullptr; };
    // A read error here shows at the next read.
    Ending ignored;
    return held() || (fill(Wait::atHand, ignored) && held());
}

}  // namespace VELD
