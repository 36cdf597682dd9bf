// Where the lines every mode answers come from, and the one loop over them.
#pragma once

#include <cerrno>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

namespace VELD {

// Characters of a dialogue line that count; the rest of a longer line is dropped, and
// LINE_CUT noted on standard error.
inline constexpr unsigned LINE_LIMIT = 80;
inline constexpr char LINE_CUT[] = "line cut to its first 80 characters";
inline constexpr char PROMPT[] = "Exp: ";
// A source that cannot tell how many rows the terminal shows above a line's answer.
inline constexpr std::size_t ROWS_UNKNOWN = SIZE_MAX;

// How a run of lines ends: by a line that quits, at the end of input, because a stream
// failed (its error state set, errno the system's reason), or by Ctrl-C, SIGTERM or SIGHUP.
enum class Ending { quit, endOfInput, inputFailed, outputFailed, interrupted };

// What a read gives: a line, a line dropped at the prompt (Ctrl-C at the editor's), or the
// end of the lines.
struct Read {
    enum Kind { line, discarded, ended } kind;
    Ending ending = Ending::endOfInput;  // when the lines have ended
    constexpr Read(Kind kind) : kind(kind) {}
    constexpr Read(Ending ending) : kind(ended), ending(ending) {}
};

// What a line's answer leaves: the next line may be read, or the lines end because the
// output failed or the program is to end.
enum class Response { answered, outputFailed, interrupted };

// Where lines come from: a stream, the line editor at a terminal, or the arguments.
class LineSource {
public:
    virtual ~LineSource() = default;
    // Shows the prompt, if there is one, and reads the next line: its text without the line
    // end, NUL-terminated in the source's own storage until the next read. For the dialogue
    // the first LINE_LIMIT characters are kept, in storage of a fixed size, and `cut` tells
    // whether there were more; the script modes' lines are read whole.
    virtual Read read(std::string_view& line, bool& cut) = 0;
    // Told of each line the dialogue answers, before it is answered.
    virtual void entered(std::string_view /*line*/) {}
    // True when a whole next line is already at hand: the echo of this one need not be
    // shown at once, as the next answer follows without a wait.
    virtual bool lineWaiting() { return false; }
    // Rows the terminal surely shows above the row where the last line's answer starts (a
    // long line's note keeps within what they allow); ROWS_UNKNOWN where it cannot tell.
    virtual std::size_t rowsAbove() const { return ROWS_UNKNOWN; }
};

// The one line of `exactcalc EXPR`: the words joined with single spaces.
class ArgumentLine : public LineSource {
public:
    explicit ArgumentLine(std::string text) : text(std::move(text)) {}
    Read read(std::string_view& line, bool& cut) override;

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
// returns a Response. A line too long for the memory left is an input that failed.
template <typename Respond>
Ending eachLine(LineSource& lines, bool (*quits)(std::string_view), Respond&& respond) {
    for (;;) {
        std::string_view line;
        bool cut = false;
        Read got = Ending::inputFailed;
        try {
            got = lines.read(line, cut);
        } catch (const std::bad_alloc&) {
            errno = ENOMEM;
        }
        if (got.kind == Read::discarded) continue;
        if (got.kind == Read::ended) return got.ending;
        if (quits(line)) return Ending::quit;
        switch (respond(line, cut)) {
            case Response::answered:
                continue;
            case Response::outputFailed:
                return Ending::outputFailed;
            case Response::interrupted:
                return Ending::interrupted;
        }
    }
}

}  // namespace VELD
