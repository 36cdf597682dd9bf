// Lines from a script or a pipe: read in blocks, and answered without waiting on output.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include "console/console.h"

namespace VELD {

// For the dialogue, prompts on `out` and reads lines of which LINE_LIMIT characters count;
// otherwise, for the script modes, reads lines whole without a prompt. What has been
// written is flushed only when the next read might wait for input, so a client that waits
// for its answer gets it at once while the lines of a script are answered in large writes;
// with `flushAtOnce` (at a terminal) the prompt and the echo are flushed as soon as they
// are written. A Ctrl-C that asks the program to end (signals.h) makes the next read
// report `interrupted`.
class StreamLines : public LineSource {
public:
    StreamLines(std::istream& in, std::ostream& out, bool flushAtOnce = false,
                bool dialogue = true);
    StreamLines(const StreamLines&) = delete;
    StreamLines& operator=(const StreamLines&) = delete;

    Outcome read(std::string_view& line, bool& cut) override;
    bool lineWaiting() override;

private:
    // Makes input available in the block: what `in` holds already, or, when `wait` is set,
    // what a read that may wait brings after the output has been flushed. Returns
    // Outcome::line when there is input, endOfInput at its end, or a failure.
    Outcome fill(bool wait);

    std::istream& in;
    std::ostream& out;
    bool flushAtOnce;
    bool dialogue;
    // The last line read: in the dialogue its first LINE_LIMIT characters, in the script
    // modes all of it.
    char cutLine[LINE_LIMIT + 1];
    std::string wholeLine;
    // Input taken from `in` and not yet read: block[start, end).
    char block[1 << 16];
    std::size_t start = 0, end = 0;
};

}  // namespace VELD
