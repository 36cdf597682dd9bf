#pragma once

#include <cstddef>
#include <iosfwd>

namespace VELD {

class LiveStatus;

// The one text buffer of the dialogue, which holds in turn the line read, the printed
// expression and the printed value.
inline constexpr unsigned OUTPUT_BUFFER_SIZE = 8192;
// Characters of a line that count; the rest of a longer line is dropped.
inline constexpr unsigned LINE_LIMIT = 80;
// The prompt, written before every line is read.
inline constexpr char PROMPT[] = "Exp: ";

// How the dialogue ended: by the user, because a stream failed (the stream's error state
// is set, and errno holds the reason the system gave), or by Ctrl-C while it waited for a
// line from a script or pipe.
enum class ConsoleEnd { quit, endOfInput, outputFailed, inputFailed, interrupted };

// What one read of a line gave. `discarded`: the user abandoned the line at the prompt;
// `interrupted`: Ctrl-C asked the program to end.
enum class ReadResult { line, discarded, endOfInput, inputFailed, outputFailed, interrupted };

// The line a read gave: its length, and whether it was longer than LINE_LIMIT.
struct LineRead {
    std::size_t length = 0;
    bool cut = false;
};

// Where the dialogue's lines come from: a stream, or the line editor at a terminal.
class LineSource {
public:
    virtual ~LineSource() = default;
    // Shows the prompt and reads the next line: its first LINE_LIMIT characters go into
    // `buffer`, NUL-terminated, and `line` tells their number and whether there were more;
    // the rest of the line and its line end are dropped.
    virtual ReadResult read(char* buffer, LineRead& line) = 0;
    // Told of each line the dialogue answers, before it is answered.
    virtual void entered(const char* /*line*/) {}
    // True when a whole next line is already at hand, so that the echo of this one need
    // not be shown at once: the next answer follows without a wait.
    virtual bool lineWaiting() { return false; }
};

// Answers the line held in `buffer` (OUTPUT_BUFFER_SIZE bytes): writes the parenthesised
// expression, then " = " and its value and a line end. A fault writes its message and a
// line end directly behind whatever was already written. The echo is flushed before the
// evaluation, which may take long, unless `flushEcho` is false. Returns false, without
// evaluating, when the echoed expression could not be written. While the line is
// evaluated, `status` (when given) may show a note behind the echo, which `echoColumn`
// says where the echo starts; the note is gone before anything else is written.
bool answerLine(char* buffer, std::ostream& out, LiveStatus* status = nullptr,
                std::size_t echoColumn = 0, bool flushEcho = true);

// The note on standard error for a line longer than LINE_LIMIT; the line's first
// characters are answered.
inline constexpr char LINE_CUT[] = "line cut to its first 80 characters";

// The dialogue: reads a line and answers it, until a line that begins with q or Q, the end
// of input, or a read or write that fails. Empty lines are skipped. `status` and
// `echoColumn` are as for answerLine; a cut line is noted on `notes`, when given, as
// "exactcalc: line cut to its first 80 characters".
ConsoleEnd runConsole(LineSource& lines, std::ostream& out, LiveStatus* status = nullptr,
                      std::size_t echoColumn = 0, std::ostream* notes = nullptr);
// The dialogue over a stream.
ConsoleEnd runConsole(std::istream& in, std::ostream& out);

// What the program found out about its standard streams.
struct Terminal {
    bool input = false;    // standard input is a terminal
    bool output = false;   // standard output is a terminal
    bool editing = false;  // lines are read through the line editor
    bool status = false;   // standard error is the terminal that shows standard output
};

// The whole program: `--help`, `--version`, expressions as arguments or `--values` (the
// script modes, values.h), or the dialogue when there are no arguments. Returns the exit
// status: 0; 1 when output could not be written or input could not be read (reported on
// `err`), or when an expression of a script mode was a fault; 2 for arguments it does not
// take.
int runProgram(int argc, const char* const argv[], std::istream& in, std::ostream& out,
               std::ostream& err, const Terminal& terminal);

}  // namespace VELD
