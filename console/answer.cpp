// A line's answer, made without I/O (Answer) and written over eachLine in the dialogue's
// form (the echo, " = " and the value) or the script modes' (the value alone).
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <string_view>

#include "common/text.h"
#include "console/console.h"
#include "console/signals.h"

namespace VELD {

namespace {

// Holds in turn a line's printed expression and its printed value, when that fits. The
// dialogue prints the value VALUE_AT bytes in, so that " = ", the value and its line end
// go out in one write.
constexpr std::size_t VALUE_AT = 3;
char textBuffer[VALUE_AT + OUTPUT_BUFFER_SIZE + 1];

// A value whose text would need more bytes than a print can be given.
constexpr const char* RESULT_TOO_LONG = "NOT ENOUGH SPACE FOR RESULT IN OUTPUT BUFFER!";
// Characters of an unread rest shown in its fault; a longer rest is cut, with "...".
constexpr std::size_t UNREAD_SHOWN = 40;

// More decimal digits than |x| has: it has bits(x) log10(2) + 1 at most, below bits / 3 + 2.
std::uint64_t digitsAbove(const Integer& x) {
    return static_cast<std::uint64_t>(x.highestBit() + 1) / 3 + 2;
}

// `text` with its control bytes as escapes (\x1b, \x0a, \0), so that what a message shows
// of a line or a file name stays on its line and sends the terminal nothing.
std::string escaped(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char escape[8] = {c, '\0'};
        if (byte < 0x20 || byte == 0x7f) std::snprintf(escape, sizeof escape, "\\x%02x", byte);
        if (byte == 0) std::memcpy(escape, "\\0", 3);
        shown += escape;
    }
    return shown;
}

// What stopped the parser at `end`, and what it left unread, control bytes as escapes.
std::string unreadFault(std::string_view line, std::size_t end) {
    std::string fault = line[end] == ')' ? "a \")\" without its \"(\"" : "a NUL byte";
    const std::size_t shown = std::min(line.size() - end, UNREAD_SHOWN);
    fault += "; not read: \"" + escaped(line.substr(end, shown));
    fault += shown < line.size() - end ? "...\"" : "\"";
    return fault;
}

// Where a line came from, as its fault names it: nothing for the arguments, "line N" for
// standard input, "FILE:N" for a file.
struct Place {
    const char* file = nullptr;
    unsigned long line = 0;
};

std::ostream& operator<<(std::ostream& err, const Place& place) {
    if (place.file != nullptr) return err << escaped(place.file) << ':' << place.line << ": ";
    if (place.line != 0) return err << "line " << place.line << ": ";
    return err;
}

// The script modes' form: the value alone, or an empty line and the fault on standard error.
class Values {
public:
    Values(std::ostream& out, std::ostream& err, const Terminal& terminal)
        : out(out),
          err(err),
          sameTerminal(terminal.status),
          session(signals::Interrupts::endProgram, -1, terminal.errorTerminal ? STDERR_FILENO : -1,
                  &out) {}

    // Answers `line`, read whole: Outcome::line to go on, or why the answers end. A line of
    // white space gives an empty line; with `emptyIsFault`, as a fault.
    Outcome answer(std::string_view line, const Place& place, bool emptyIsFault = false) {
        if (isOnlyWhiteSpace(line)) {
            emptyIsFault ? refuse(place, "empty expression") : void(out << '\n');
            return next();
        }
        Answer answer(line, true);
        const char* value = nullptr;
        if (answer.fault() == nullptr) {
            // The note stands at the start of a line of the terminal of standard error: where
            // that shows standard output too, the line the value will take, after the
            // values before it.
            if (sameTerminal && !(out << std::flush)) return Outcome::outputFailed;
            const signals::Computing computing(0, "");
            bool fits = true;
            value = answer.value(textBuffer, true, fits);
        }
        if (value != nullptr) {
            out << value << '\n';
        } else if (!signals::endRequested()) {
            refuse(place, answer.fault());
        }
        return next();
    }

    // Gives the empty line of a fault, and its message.
    void refuse(const Place& place, const char* message) {
        faults = true;
        // What was answered before goes out before the message, for a reader of both.
        out << '\n' << std::flush;
        err << "exactcalc: " << place << message << '\n';
    }

    // A file that could not be opened or read ("open FILE"): reported, and the status tells.
    void fileFailed(const std::string& what, int error) {
        faults = true;
        out << std::flush;
        reportFailure(err, what.c_str(), error);
    }

    // The exit status, once everything is written; Ctrl-C ends the program here.
    int finish() {
        if (signals::endRequested()) endByInterrupt(out);
        const int error = errno;
        if (!out) return reportFailure(err, "write output", error);
        return VELD::finish(out, err, faults ? EXIT_FAULT : EXIT_ANSWERED);
    }

private:
    // Ctrl-C, or output that failed, ends the answers.
    Outcome next() const {
        if (signals::endRequested()) return Outcome::interrupted;
        return out ? Outcome::line : Outcome::outputFailed;
    }

    std::ostream& out;
    std::ostream& err;
    const bool sameTerminal;  // standard output shows on the note's terminal
    const signals::Session session;
    bool faults = false;
};

// The lines of one stream, `name` for its faults (null for standard input). False when no
// more lines are to be read: after a q line, Ctrl-C or output that failed.
bool answerLines(Values& values, std::istream& in, std::ostream& out, const char* name) {
    // On the heap: its input block is touched only as input fills it.
    const auto lines = std::make_unique<StreamLines>(in, out, false, false);
    Place place{name, 0};
    const Outcome end = eachLine(*lines, scriptQuits, [&](std::string_view line, bool) {
        ++place.line;
        return values.answer(line, place);
    });
    if (end == Outcome::inputFailed)
        values.fileFailed("read " + (name ? escaped(name) : std::string("input")), errno);
    return end == Outcome::endOfInput || end == Outcome::inputFailed;
}

// The dialogue's form: the echo, shown before the evaluation starts (which may take long)
// unless `flushEcho` is false, then " = " and the value, or the fault directly behind what
// was written. Returns false, without evaluating, when the echo could not be written.
bool writeAnswer(std::string_view line, std::ostream& out, std::size_t column, bool flushEcho) {
    Answer answer(line, false);
    bool fits = true;
    if (const char* echo = answer.echo(textBuffer, fits)) {
        if (!fits) {
            out << "NOT ENOUGH SPACE FOR EXPRESSION IN OUTPUT BUFFER!\n";
            column = 0;
        }
        if (!put(out, echo) || (flushEcho && !(out << std::flush))) return false;
        const char* value = nullptr;
        {
            const signals::Computing computing(column + std::strlen(echo), echo);
            value = answer.value(textBuffer + VALUE_AT, false, fits);
        }
        if (value != nullptr) {
            if (!fits) out << "\nNOT ENOUGH SPACE FOR RESULT IN OUTPUT BUFFER!\n";
            const std::size_t length = std::strlen(value);
            std::memcpy(textBuffer, " = ", VALUE_AT);
            textBuffer[VALUE_AT + length] = '\n';
            put(out, std::string_view(textBuffer, VALUE_AT + length + 1));
            return true;
        }
    }
    // A line abandoned because the program is to end (SIGTERM) answers nothing.
    if (!signals::endRequested()) out << answer.fault() << '\n';
    return true;
}

}  // namespace

bool dialogueQuits(std::string_view line) {
    return !line.empty() && (line[0] == 'q' || line[0] == 'Q');
}

bool scriptQuits(std::string_view line) {
    const auto first = std::find_if_not(line.begin(), line.end(), isWhiteSpace);
    const auto last = std::find_if_not(line.rbegin(), line.rend(), isWhiteSpace).base();
    std::string word;
    for (auto c = first; c < last; ++c)
        word += static_cast<char>(*c | 0x20);  // letters in lower case; others never match
    return word == "q" || word == "quit";
}

Outcome runDialogue(LineSource& lines, std::ostream& out, std::size_t column, std::ostream* notes) {
    return eachLine(lines, dialogueQuits, [&](std::string_view line, bool cut) {
        if (line.empty()) return Outcome::line;
        if (cut && notes != nullptr) *notes << "exactcalc: " << LINE_CUT << '\n';
        lines.entered(line);
        const bool flushEcho = !lines.lineWaiting();
        return writeAnswer(line, out, column, flushEcho) ? Outcome::line : Outcome::outputFailed;
    });
}

Answer::Answer(std::string_view line, bool whole) {
    try {
        std::size_t end = 0;
        root = Expression::parse(line.data(), end);
        if (whole && end < line.size()) {
            unread = unreadFault(line, end);
            faultMessage = unread.c_str();
        }
    } catch (const Exception& caught) {
        faultMessage = caught.getMessage();
    }
}

const char* Answer::echo(char* buffer, bool& fits) {
    if (faultMessage != nullptr) return nullptr;
    try {
        fits = root->print(buffer, OUTPUT_BUFFER_SIZE) == 0;
        return buffer;
    } catch (const Exception& caught) {
        return failed(caught.getMessage());
    }
}

// An unlimited text is sized from the parts' bit lengths; one that surely fits the buffer
// takes no storage of its own.
const char* Answer::value(char* buffer, bool unlimited, bool& fits) {
    if (faultMessage != nullptr) return nullptr;
    try {
        // The value is released as soon as its text is written.
        const Rational value = root->evaluate();
        std::uint64_t capacity = OUTPUT_BUFFER_SIZE;
        if (unlimited) {
            const std::uint64_t needed = digitsAbove(value.getNumerator()) +
                                         digitsAbove(value.getDenominator()) + sizeof "- / ";
            if (needed > std::numeric_limits<std::uint32_t>::max()) return failed(RESULT_TOO_LONG);
            if (needed > capacity) {
                longText = std::make_unique<char[]>(needed);
                buffer = longText.get();
                capacity = needed;
            }
        }
        fits = value.print(buffer, static_cast<std::uint32_t>(capacity)) == 0;
        if (!fits && unlimited) return failed(RESULT_TOO_LONG);
        return buffer;
    } catch (const Exception& caught) {
        return failed(caught.getMessage());
    } catch (const std::bad_alloc&) {
        return failed(NOT_ENOUGH_MEMORY);
    }
}

Outcome runConsole(std::istream& in, std::ostream& out) {
    StreamLines lines(in, out);
    return runDialogue(lines, out, 0, nullptr);
}

int answerArguments(const std::vector<std::string_view>& words, std::ostream& out,
                    std::ostream& err, const Terminal& terminal) {
    Values values(out, err, terminal);
    std::string line;
    for (const std::string_view word : words) {
        if (!line.empty()) line += ' ';
        line += word;
    }
    if (!scriptQuits(line)) values.answer(line, Place{}, true);
    return values.finish();
}

int answerValues(const std::vector<std::string_view>& files, std::istream& in, std::ostream& out,
                 std::ostream& err, const Terminal& terminal) {
    Values values(out, err, terminal);
    for (const std::string_view file : files.empty() ? std::vector<std::string_view>{"-"} : files) {
        const std::string name(file);
        std::ifstream opened;
        if (file != "-") opened.open(name, std::ios::binary);
        if (file != "-" && !opened.is_open()) {
            values.fileFailed("open " + escaped(name), errno);
        } else if (!answerLines(values, file == "-" ? in : opened, out,
                                file == "-" ? nullptr : name.c_str())) {
            break;
        }
    }
    return values.finish();
}

}  // namespace VELD
