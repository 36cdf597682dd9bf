// Lines from a script or a pipe: read in blocks, and answered without waiting on output.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "console/console.h"

namespace VELD {

// Prompts on `out` and reads lines from `in`. What has been written is flushed only when
// the next read might wait for input, so a client that waits for its answer gets it at
// once while the lines of a script are answered in large writes; with `flushAtOnce` (at a
// terminal) the prompt and the echo are flushed as soon as they are written.
class StreamLines : public LineSource {
public:
    StreamLines(std::istream& in, std::ostream& out, bool flushAtOnce = false);
    StreamLines(const StreamLines&) = delete;
    StreamLines& operator=(const StreamLines&) = delete;

    ReadResult read(char* buffer, std::size_t& length) override;
    bool lineWaiting() override;

    // What SIGINT does outside an evaluation, called from its handler: the program ends
    // once all that has been answered is written. At once while a read waits for input
    // (everything is flushed by then), otherwise at the next read, which reports
    // `interrupted`.
    static void interruptBetweenLines(int number);

private:
    // Makes input available in the block: what `in` holds already, or, when `wait` is set,
    // what a read that may wait brings after the output has been flushed. Returns
    // ReadResult::line when there is input, endOfInput at its end, or a failure.
    ReadResult fill(bool wait);

    std::istream& in;
    std::ostream& out;
    bool flushAtOnce;
    // Input taken from `in` and not yet read: block[start, end).
    char block[1 << 16];
    std::size_t start = 0, end = 0;
};

}  // namespace VELD
