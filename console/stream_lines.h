// Lines from a script or a pipe: read in blocks, and answered without waiting on output.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "console/console.h"

namespace VELD {

// Prompts on `out` (unless `prompt` is false) and reads lines from `in`. What has been
// written is flushed only when the next read might wait for input, so a client that waits
// for its answer gets it at once while the lines of a script are answered in large writes;
// with `flushAtOnce` (at a terminal) the prompt and the echo are flushed as soon as they
// are written. A Ctrl-C that asks the program to end (signals.h) makes the next read
// report `interrupted`.
class StreamLines : public LineSource {
public:
    StreamLines(std::istream& in, std::ostream& out, bool flushAtOnce = false, bool prompt = true);
    StreamLines(const StreamLines&) = delete;
    StreamLines& operator=(const StreamLines&) = delete;

    ReadResult read(char* buffer, LineRead& line) override;
    // Reads the next line whole, of any length, into `line`, without its line end and
    // without a prompt.
    ReadResult readWhole(std::string& line);
    bool lineWaiting() override;

private:
    // Makes input available in the block: what `in` holds already, or, when `wait` is set,
    // what a read that may wait brings after the output has been flushed. Returns
    // ReadResult::line when there is input, endOfInput at its end, or a failure.
    ReadResult fill(bool wait);

    std::istream& in;
    std::ostream& out;
    bool flushAtOnce;
    bool prompt;
    // Input taken from `in` and not yet read: block[start, end).
    char block[1 << 16];
    std::size_t start = 0, end = 0;
};

}  // namespace VELD
