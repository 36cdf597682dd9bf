#pragma once

#include <cerrno>
#include <cstddef>
#include <iosfwd>
#include <new>
#include <string_view>

namespace VELD {

// The one text buffer of the dialogue, which holds in turn the printed expression and the
// printed value.
inline constexpr unsigned OUTPUT_BUFFER_SIZE = 8192;
// Characters of a dialogue line that count; the rest of a longer line is dropped.
inline constexpr unsigned LINE_LIMIT = 80;
// The prompt, written before every line of the dialogue is read.
inline constexpr char PROMPT[] = "Exp: ";
// The note on standard error for a dialogue line longer than LINE_LIMIT; the line's first
// characters are answered.
inline constexpr char LINE_CUT[] = "line cut to its first 80 characters";

// How reading a line, and answering lines, came out: a line was read, or one abandoned at
// the prompt; or the lines ended: by a line that begins with q or Q, at the end of input,
// because a stream failed (the stream's error state is set, and errno holds the reason the
// system gave), or by Ctrl-C.
enum class Outcome { line, discarded, quit, endOfInput, inputFailed, outputFailed, interrupted };

// Where lines come from: a stream, or the line editor at a terminal.
class LineSource {
public:
    virtual ~LineSource() = default;
    // Shows the prompt, if it has one, and reads the next line: `line` is its text without
    // the line end, NUL-terminated in the source's own storage until the next read. A source
    // for the dialogue keeps the first LINE_LIMIT characters of a line, in storage of a
    // fixed size, and sets `cut` when there were more; one for the script modes reads lines
    // whole.
    virtual Outcome read(std::string_view& line, bool& cut) = 0;
    // Told of each line the dialogue answers, before it is answered.
    virtual void entered(std::string_view /*line*/) {}
    // True when a whole next line is already at hand, so that the echo of this one need
    // not be shown at once: the next answer follows without a wait.
    virtual bool lineWaiting() { return false; }
};

// The one loop of every mode: reads lines from `lines` and hands each to `respond`, with
// whether it was cut, until a line that begins with q or Q, or the end of the lines.
// `respond` returns Outcome::line to go on, or how the lines are to end. A line too long
// for the memory left is an input that failed.
template <typename Respond>
Outcome eachLine(LineSource& lines, Respond&& respond) {
    for (;;) {
        std::string_view line;
        bool cut = false;
        Outcome got = Outcome::inputFailed;
        try {
            got = lines.read(line, cut);
        } catch (const std::bad_alloc&) {
            errno = ENOMEM;
        }
        if (got == Outcome::discarded) continue;
        if (got != Outcome::line) return got;
        if (!line.empty() && (line[0] == 'q' || line[0] == 'Q')) return Outcome::quit;
        const Outcome answered = respond(line, cut);
        if (answered != Outcome::line) return answered;
    }
}

// The dialogue over a stream: reads a line and answers it, until a line that begins with q
// or Q, the end of input, or a read or write that fails.
Outcome runConsole(std::istream& in, std::ostream& out);

// Answers `line` in the dialogue's form: the parenthesised expression, then " = " and its
// value and a line end; a fault writes its message and a line end directly behind whatever
// was already written. Returns false when the echo could not be written.
bool answerLine(std::string_view line, std::ostream& out);

// What the program found out about its standard streams.
struct Terminal {
    bool input = false;    // standard input is a terminal
    bool output = false;   // standard output is a terminal
    bool editing = false;  // lines are read through the line editor
    bool status = false;   // standard error is the terminal that shows standard output
};

// The whole program: `--help`, `--version`, an expression as arguments or `--values` (the
// script modes, values.h), or the dialogue when there are no arguments. Returns the exit
// status: 0; 1 when output could not be written or input could not be read (reported on
// `err`), or when an expression of a script mode was a fault; 2 for arguments it does not
// take.
int runProgram(int argc, const char* const argv[], std::istream& in, std::ostream& out,
               std::ostream& err, const Terminal& terminal);

}  // namespace VELD
