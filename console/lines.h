// Where the lines every mode answers come from, and the one loop over them.
#pragma once

#include <cerrno>
#include <new>
#include <string>
#include <string_view>

namespace VELD {

// Characters of a dialogue line that count; the rest of a longer line is dropped, and
// LINE_CUT noted on standard error.
inline constexpr unsigned LINE_LIMIT = 80;
inline constexpr char LINE_CUT[] = "line cut to its first 80 characters";
inline constexpr char PROMPT[] = "Exp: ";

enum class Outcome {
    line,       // a line was read
    discarded,  // a line was abandoned at the prompt (Ctrl-C at the editor's)
    answered,   // the line was answered: the next may be read
    // How the lines end: by a line that quits, at the end of input, because a stream failed
    // (its error state set, errno the system's reason), or by Ctrl-C or SIGTERM.
    quit,
    endOfInput,
    inputFailed,
    outputFailed,
    interrupted,
};

// Where lines come from: a stream, the line editor at a terminal, or the arguments.
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

// The one line of `exactcalc EXPR`: the words joined with single spaces.
class ArgumentLine : public LineSource {
public:
    explicit ArgumentLine(std::string text) : text(std::move(text)) {}
    Outcome read(std::string_view& line, bool& cut) override;

private:
    std::string text;
    bool given = false;
};

// The lines that end the input. The dialogue's: a line that begins with q or Q. The script
// modes': a line that is the word q or quit in any case, white space around it allowed, so
// that an expression such as "q + 1" is answered (as a fault) rather than taken for one.
bool dialogueQuits(std::string_view line);
bool scriptQuits(std::string_view line);

// The one loop of every mode: reads lines from `lines` and hands each to `respond`, with
// whether it was cut, until a line that `quits`, or the end of the lines. `respond`
// returns Outcome::answered to go on, or how the lines end. A line too long for the memory
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
        if (answered != Outcome::answered) return answered;
    }
}

}  // namespace VELD
