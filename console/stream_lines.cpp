#include "console/stream_lines.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ios>
#include <istream>
#include <ostream>
#include <system_error>

namespace VELD {

namespace {

volatile std::sig_atomic_t waitingForInput = 0;
volatile std::sig_atomic_t interruptedBetweenLines = 0;

}  // namespace

StreamLines::StreamLines(std::istream& in, std::ostream& out, bool flushAtOnce)
    : in(in), out(out), flushAtOnce(flushAtOnce) {
    interruptedBetweenLines = 0;
}

void StreamLines::interruptBetweenLines(int number) {
    if (waitingForInput != 0) {
        // Everything answered was flushed before the wait began: end as SIGINT does.
        signal(number, SIG_DFL);
        raise(number);
        return;
    }
    interruptedBetweenLines = 1;
}

ReadResult StreamLines::fill(bool wait) {
    if (start == end) {
        start = end = 0;
    } else if (end == sizeof block) {
        std::memmove(block, block + start, end - start);
        end -= start;
        start = 0;
    }
    if (end == sizeof block) return ReadResult::line;  // full of a line not yet ended
    std::streambuf& source = *in.rdbuf();
    try {
        std::streamsize available = source.in_avail();
        if (available == 0 && wait) {
            // The next read may wait: all that has been answered goes out first.
            if (!(out << std::flush)) return ReadResult::outputFailed;
            waitingForInput = 1;
            if (interruptedBetweenLines != 0) {
                waitingForInput = 0;
                return ReadResult::interrupted;
            }
            const auto next = source.sgetc();
            waitingForInput = 0;
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
        return ReadResult::inputFailed;
    }
    return end > start ? ReadResult::line : ReadResult::endOfInput;
}

// Only the first LINE_LIMIT characters of a line are kept; the rest of it and its line end
// are passed over, and nothing beyond them is taken.
ReadResult StreamLines::read(char* buffer, std::size_t& length) {
    if (interruptedBetweenLines != 0) return ReadResult::interrupted;
    if (!(out << PROMPT)) return ReadResult::outputFailed;
    if (flushAtOnce && !(out << std::flush)) return ReadResult::outputFailed;
    length = 0;
    bool readAny = false;
    for (;;) {
        if (start == end) {
            const ReadResult got = fill(true);
            if (got == ReadResult::endOfInput && readAny) break;
            if (got != ReadResult::line) return got;
        }
        readAny = true;
        const char* from = block + start;
        const void* newline = std::memchr(from, '\n', end - start);
        const std::size_t taken =
            (newline != nullptr ? static_cast<const char*>(newline) : block + end) - from;
        const std::size_t kept = std::min(taken, LINE_LIMIT - length);
        std::memcpy(buffer + length, from, kept);
        length += kept;
        start += taken;
        if (newline != nullptr) {
            ++start;
            break;
        }
    }
    buffer[length] = '\0';
    return ReadResult::line;
}

bool StreamLines::lineWaiting() {
    if (flushAtOnce) return false;
    auto held = [this] { return std::memchr(block + start, '\n', end - start) != nullptr; };
    // A read error here shows at the next read.
    return held() || (fill(false) == ReadResult::line && held());
}

}  // namespace VELD
