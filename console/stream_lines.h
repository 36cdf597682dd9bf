// Lines from a script, a pipe or a file.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include "console/lines.h"

namespace VELD {

// Lines from a stream, read in blocks; for the dialogue with a prompt on `out`. What has
// been written is flushed only when the next read might wait for input, so a client that
// waits for its answer gets it at once while a script's lines are answered in large
// writes; at a terminal the prompt and the echo go out at once. After a Ctrl-C that asks
// the program to end, the next read reports `interrupted`.
class StreamLines : public LineSource {
public:
    enum class Use { dialogue, terminalDialogue, script };
    // Standard input (std::cin) is read from its descriptor with read(2), the same with
    // every C++ library; any other stream through its buffer.
    StreamLines(std::istream& in, std::ostream& out, Use use);
    StreamLines(const StreamLines&) = delete;
    StreamLines& operator=(const StreamLines&) = delete;
    Read read(std::string_view& line, bool& cut) override;
    bool lineWaiting() override;

private:
    // Makes input available in the block: what `in` holds already, or, with Wait::mayWait,
    // what a read that may wait brings once the output is flushed. True when there is input;
    // else false with `ended` set to how the input ended: at its end, or by a failure.
    enum class Wait { atHand, mayWait };
    bool fill(Wait wait, Ending& ended);
    // The same for standard input, from its descriptor.
    bool fillFromDescriptor(Wait wait, Ending& ended);

    std::istream& in;
    std::ostream& out;
    const Use use;
    const bool descriptor;         // `in` is standard input, read from its descriptor
    bool inputEnded = false;       // its read returned 0: the end of input
    char cutLine[LINE_LIMIT + 1];  // the dialogue's last line, its first LINE_LIMIT characters
    std::string wholeLine;         // the script modes' last line
    char block[1 << 16];           // input taken from `in` and not yet read: [start, end)
    std::size_t start = 0, end = 0;
};

// Writes `text` into `out`'s buffer, as operator<< does once its checks on the stream are
// made: the dialogue's prompt, echo and answer, written once a line, skip them. False, with
// the stream marked failed, when the stream had failed or took less than all of it.
bool put(std::ostream& out, std::string_view text);

}  // namespace VELD
