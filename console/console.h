// The console: the dialogue and the script modes, and what they share: the one loop over
// the lines of a LineSource, and a line's answer, made without I/O and written in each
// mode's form (answer.cpp).
#pragma once

#include <cerrno>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "expression/expression.h"

namespace VELD {

inline constexpr int EXIT_ANSWERED = 0;  // every line answered, or the dialogue ended
inline constexpr int EXIT_FAULT = 1;     // a line was a fault, or a stream failed
inline constexpr int EXIT_USAGE = 2;     // arguments the program does not take

// The dialogue's text buffer, which holds in turn the printed expression and value.
inline constexpr unsigned OUTPUT_BUFFER_SIZE = 8192;
// Characters of a dialogue line that count; the rest of a longer line is dropped, and
// LINE_CUT noted on standard error.
inline constexpr unsigned LINE_LIMIT = 80;
inline constexpr char LINE_CUT[] = "line cut to its first 80 characters";
inline constexpr char PROMPT[] = "Exp: ";

// How reading a line, and answering lines, came out: a line was read, or one abandoned at
// the prompt; or the lines ended: by a line that begins with q or Q, at the end of input,
// because a stream failed (its error state set, errno the system's reason), or by Ctrl-C.
enum class Outcome { line, discarded, quit, endOfInput, inputFailed, outputFailed, interrupted };

// Where lines come from: a stream, or the line editor at a terminal.
class LineSource {
public:
    virtual ~LineSource() = default;
    // Shows the prompt, if there is one, and reads the next line: its text without the line
    // end, NUL-terminated in the source's own storage until the next read. For the dialogue
    // the first LINE_LIMIT characters are kept, in storage of a fixed size, and `cut` tells
    // whether there were more; the script modes' lines are read whole.
    virtual Outcome read(std::string_view& line, bool& cut) = 0;
    // Told of each line the dialogue answers, before it is answered.
    virtual void entered(std::string_view /*line*/) {}
    // True when a whole next line is already at hand: the echo of this one need not be
    // shown at once, as the next answer follows without a wait.
    virtual bool lineWaiting() { return false; }
};

// Lines from a script, a pipe or a file, read in blocks; for the dialogue with a prompt on
// `out`. What has been written is flushed only when the next read might wait for input, so
// a client that waits for its answer gets it at once while a script's lines are answered in
// large writes; with `flushAtOnce` (at a terminal) the prompt and the echo go out at once.
// After a Ctrl-C that asks the program to end, the next read reports `interrupted`.
class StreamLines : public LineSource {
public:
    // Standard input (std::cin) is read from its descriptor with read(2), the same with
    // every C++ library; any other stream through its buffer.
    StreamLines(std::istream& in, std::ostream& out, bool flushAtOnce = false,
                bool dialogue = true);
    StreamLines(const StreamLines&) = delete;
    StreamLines& operator=(const StreamLines&) = delete;
    Outcome read(std::string_view& line, bool& cut) override;
    bool lineWaiting() override;

private:
    // Makes input available in the block: what `in` holds already, or, with `wait`, what a
    // read that may wait brings once the output is flushed. Outcome::line when there is
    // input, endOfInput at its end, or a failure.
    Outcome fill(bool wait);
    // The same for standard input, from its descriptor.
    Outcome fillFromDescriptor(bool wait);

    std::istream& in;
    std::ostream& out;
    bool flushAtOnce, dialogue;
    bool descriptor;               // `in` is standard input, read from its descriptor
    char cutLine[LINE_LIMIT + 1];  // the dialogue's last line, its first LINE_LIMIT characters
    std::string wholeLine;         // the script modes' last line
    char block[1 << 16];           // input taken from `in` and not yet read: [start, end)
    std::size_t start = 0, end = 0;
};

// The lines that end the input. The dialogue's: a line that begins with q or Q. The script
// modes': a line that is the word q or quit in any case, white space around it allowed, so
// that an expression such as "q + 1" is answered (as a fault) rather than taken for one.
bool dialogueQuits(std::string_view line);
bool scriptQuits(std::string_view line);

// The one loop of every mode: reads lines from `lines` and hands each to `respond`, with
// whether it was cut, until a line that `quits`, or the end of the lines. `respond`
// returns Outcome::line to go on, or how the lines end. A line too long for the memory
// left is an input that failed.
template <typename Respond>
Outcome eachLine(LineSource& lines, bool (*quits)(std::string_view), Respond&& respond) {
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
        if (quits(line)) return Outcome::quit;
        const Outcome answered = respond(line, cut);
        if (answered != Outcome::line) return answered;
    }
}

// One line's answer, made without any I/O: the echo, then the value's text or the fault.
class Answer {
public:
    // Parses `line` (NUL-terminated). With `whole`, a line that the parser stops reading
    // before its end (at a ")" without its "(", or a NUL byte) is a fault that says what
    // was left; without, what was read is answered, as the dialogue's echo shows.
    Answer(std::string_view line, bool whole);
    // The fault's message; null while there is none.
    const char* fault() const { return faultMessage; }
    // The parenthesised expression, in `buffer` (OUTPUT_BUFFER_SIZE bytes), or null after a
    // fault; `fits` is false when the buffer holds only what fitted.
    const char* echo(char* buffer, bool& fits);
    // Evaluates the line and writes the value's text into `buffer` (OUTPUT_BUFFER_SIZE
    // bytes) or, `unlimited`, wherever it fits, of any length. Null after a fault; `fits`
    // as for echo.
    const char* value(char* buffer, bool unlimited, bool& fits);

private:
    const char* failed(const char* message) {
        faultMessage = message;
        return nullptr;
    }

    std::unique_ptr<Expression> root;
    const char* faultMessage = nullptr;
    std::string unread;  // the message of a line not read to its end
    std::unique_ptr<char[]> longText;
};

// The dialogue over `lines`: each line answered in the dialogue's form, empty lines
// skipped, and a cut line noted on `notes`, when given. The echo starts `column` characters
// into its line (where a note may show behind it).
Outcome runDialogue(LineSource& lines, std::ostream& out, std::size_t column, std::ostream* notes);
// The dialogue over a stream.
Outcome runConsole(std::istream& in, std::ostream& out);

// Writes `text` into `out`'s buffer, as operator<< does once its checks on the stream are
// made: the dialogue's prompt, echo and answer, written once a line, skip them. False, with
// the stream marked failed, when the stream had failed or took less than all of it.
bool put(std::ostream& out, std::string_view text);

// Writes "exactcalc: cannot <what>: <reason>" for the system's `error` (an I/O error when
// it gave none) and returns EXIT_FAULT.
int reportFailure(std::ostream& err, const char* what, int error);
// Flushes `out`: `status` when that works, else the failure reported.
int finish(std::ostream& out, std::ostream& err, int status = EXIT_ANSWERED);
// Ends the program as SIGINT does, once what has been answered is written.
[[noreturn]] void endByInterrupt(std::ostream& out);

// What the program found out about its standard streams.
struct Terminal {
    bool input = false;          // standard input is a terminal
    bool output = false;         // standard output is a terminal
    bool editing = false;        // lines are read through the line editor
    bool status = false;         // standard error is the terminal that shows standard output
    bool errorTerminal = false;  // standard error is a terminal (the script modes' note)
};

// The script modes: each expression's value alone on a line of its own, no prompt and no
// echo, of any length; a fault gives an empty line there and its message on standard error
// with its place. The exit status is 0 when every expression was answered, 1 when one was a
// fault (the rest are still answered), a file could not be opened or read, or output
// failed. answerArguments answers `words` joined with single spaces as one expression, its
// fault as "exactcalc: MESSAGE" (an empty one is a fault; one that begins with q or Q
// answers nothing). answerValues answers the lines of each file in turn ("-", or none at
// all, is `in`) until a line that begins with q or Q, its faults as "exactcalc: FILE:N:
// MESSAGE", or "line N" on `in`; a line of white space gives an empty line.
int answerArguments(const std::vector<std::string_view>& words, std::ostream& out,
                    std::ostream& err, const Terminal& terminal);
int answerValues(const std::vector<std::string_view>& files, std::istream& in, std::ostream& out,
                 std::ostream& err, const Terminal& terminal);

// The whole program: `--help`, `--version`, an expression as arguments or `--values`, or
// the dialogue when there are no arguments. Returns the exit status: 0; 1 when output could
// not be written or input read (reported on `err`), or an expression of a script mode was
// a fault; 2 for arguments it does not take.
int runProgram(int argc, const char* const argv[], std::istream& in, std::ostream& out,
               std::ostream& err, const Terminal& terminal);

}  // namespace VELD
