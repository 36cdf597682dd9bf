#include "console/values.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <string>

#include "console/console.h"
#include "console/exit_status.h"
#include "console/live_status.h"
#include "console/signals.h"
#include "console/stream_lines.h"
#include "expression/expression.h"

namespace VELD {

namespace {

constexpr const char* EMPTY_EXPRESSION = "empty expression";
// A value whose text would need more bytes than a print can be given.
constexpr const char* RESULT_TOO_LONG = "NOT ENOUGH SPACE FOR RESULT IN OUTPUT BUFFER!";
// Characters of an unread rest shown in its fault; a longer rest is cut, with "...".
constexpr std::size_t UNREAD_SHOWN = 40;

// Short values are printed here, without an allocation.
char textBuffer[OUTPUT_BUFFER_SIZE];

// Where a line came from, as its fault names it: nothing for the arguments, "line N" for
// standard input, "FILE:N" for a file.
struct Place {
    const char* file = nullptr;
    unsigned long line = 0;
};

std::ostream& operator<<(std::ostream& err, const Place& place) {
    if (place.file != nullptr) return err << place.file << ':' << place.line << ": ";
    if (place.line != 0) return err << "line " << place.line << ": ";
    return err;
}

// More decimal digits than |x| has: it has bits(x) log10(2) + 1 at most, below bits / 3 + 2.
std::uint64_t digitsAbove(const Integer& x) {
    return static_cast<std::uint64_t>(x.highestBit() + 1) / 3 + 2;
}

// The fault of a line that the parser stopped reading before its end, at `end`: what
// stopped it, and what was left unread, with control characters written as escapes.
std::string unreadFault(const std::string& line, std::size_t end) {
    std::string fault = line[end] == ')' ? "a \")\" without its \"(\"" : "a NUL byte";
    fault += "; not read: \"";
    const std::size_t shown = std::min(line.size() - end, UNREAD_SHOWN);
    for (const char c : std::string_view(line).substr(end, shown)) {
        static constexpr char HEX[] = "0123456789abcdef";
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) {
            fault += "\\0";
        } else if (byte < 0x20 || byte == 0x7f) {
            fault += {'\\', 'x', HEX[byte >> 4], HEX[byte & 15]};
        } else {
            fault += c;
        }
    }
    fault += shown < line.size() - end ? "...\"" : "\"";
    return fault;
}

bool onlyWhiteSpace(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

bool endsInput(std::string_view text) {
    return !text.empty() && (text[0] == 'q' || text[0] == 'Q');
}

// Where the answers go, and whether any was a fault.
class Answers {
public:
    Answers(std::ostream& out, std::ostream& err, const Terminal& terminal)
        : out(out),
          err(err),
          session(signals::Interrupts::endProgram, terminal.status ? STDERR_FILENO : -1) {
        if (terminal.status) status.emplace(STDERR_FILENO, "ends");
    }

    // Answers `line`: its value and a line end, or the empty line of a fault. The whole
    // line must be read: a ")" without its "(" or a NUL byte leaves a rest, and is a fault.
    void answer(const std::string& line, const Place& place) {
        const char* fault = nullptr;
        try {
            std::size_t end = 0;
            const std::unique_ptr<Expression> root = Expression::parse(line.c_str(), end);
            if (end < line.size()) return refuse(place, unreadFault(line, end).c_str());
            // A note shows at the start of the line the value will take, after the values
            // before it.
            if (status && !(out << std::flush)) return;
            const signals::Computing computing;
            const char* text = nullptr;
            {
                const NoteScope note(status ? &*status : nullptr, 0, "");
                text = print(root->evaluate());
            }
            if (text != nullptr) {
                out << text << '\n';
                longText.reset();
                return;
            }
            fault = RESULT_TOO_LONG;
        } catch (const Exception& caught) {
            fault = caught.getMessage();
        } catch (const std::bad_alloc&) {
            fault = NOT_ENOUGH_MEMORY;
        }
        longText.reset();
        if (!signals::endRequested()) refuse(place, fault);
    }

    // Gives the empty line of a fault, and its message.
    void refuse(const Place& place, const char* message) {
        faults = true;
        // What was answered before goes out before the message, for a reader of both.
        out << '\n' << std::flush;
        err << "exactcalc: " << place << message << '\n';
    }

    void empty() { out << '\n'; }

    // A file that could not be opened or read: reported, and the status tells.
    void fileFailed(const char* what, std::string_view file, int error) {
        faults = true;
        out << std::flush;
        err << "exactcalc: cannot " << what << ' ' << file << ": "
            << (error != 0 ? std::strerror(error) : "Input/output error") << '\n';
    }

    // The exit status, once everything is written; Ctrl-C ends the program here.
    int finish() {
        if (signals::endRequested()) endByInterrupt(out);
        const int error = errno;
        if (!out) return reportFailure(err, "write output", error);
        return VELD::finish(out, err, faults ? EXIT_FAULT : EXIT_ANSWERED);
    }

    // True when the program is to stop answering: Ctrl-C, or output that failed.
    bool stopped() const { return signals::endRequested() || !out; }

private:
    // The value's text, of any length: in textBuffer when it surely fits, else in a buffer
    // of its own, sized from the parts' bit lengths. Null when no print can hold it.
    const char* print(const Rational& value) {
        const std::uint64_t needed =
            digitsAbove(value.getNumerator()) + digitsAbove(value.getDenominator()) + sizeof "- / ";
        if (needed <= OUTPUT_BUFFER_SIZE) {
            return value.print(textBuffer, OUTPUT_BUFFER_SIZE) == 0 ? textBuffer : nullptr;
        }
        if (needed > UINT32_MAX) return nullptr;
        longText = std::make_unique_for_overwrite<char[]>(needed);
        return value.print(longText.get(), static_cast<std::uint32_t>(needed)) == 0 ? longText.get()
                                                                                    : nullptr;
    }

    std::ostream& out;
    std::ostream& err;
    const signals::Session session;
    std::optional<LiveStatus> status;
    std::unique_ptr<char[]> longText;
    bool faults = false;
};

// The lines of one stream, `name` for its faults (null for standard input). Returns false
// when the program is to stop reading: a line that begins with q or Q, Ctrl-C, or output
// that failed.
bool answerLines(Answers& answers, std::istream& in, std::ostream& out, const char* name) {
    // On the heap: its input block is touched only as input fills it.
    const auto lines = std::make_unique<StreamLines>(in, out, false, false);
    std::string line;
    for (Place place{name, 1};; ++place.line) {
        const ReadResult got = lines->readWhole(line);
        if (got == ReadResult::inputFailed) {
            answers.fileFailed("read", name != nullptr ? name : "input", errno);
            return true;
        }
        if (got == ReadResult::endOfInput) return true;
        if (got != ReadResult::line) return false;  // Ctrl-C or failed output
        if (endsInput(line)) return false;
        if (onlyWhiteSpace(line)) {
            answers.empty();
        } else {
            answers.answer(line, place);
        }
        if (answers.stopped()) return false;
    }
}

}  // namespace

int answerArguments(const std::vector<std::string_view>& words, std::ostream& out,
                    std::ostream& err, const Terminal& terminal) {
    Answers answers(out, err, terminal);
    std::string line;
    for (const std::string_view word : words) {
        if (!line.empty()) line += ' ';
        line += word;
    }
    if (endsInput(line)) return answers.finish();
    if (onlyWhiteSpace(line)) {
        answers.refuse(Place{}, EMPTY_EXPRESSION);
    } else {
        answers.answer(line, Place{});
    }
    return answers.finish();
}

int answerValues(const std::vector<std::string_view>& files, std::istream& in, std::ostream& out,
                 std::ostream& err, const Terminal& terminal) {
    Answers answers(out, err, terminal);
    if (files.empty()) {
        answerLines(answers, in, out, nullptr);
        return answers.finish();
    }
    for (const std::string_view file : files) {
        if (file == "-") {
            if (!answerLines(answers, in, out, nullptr)) break;
            continue;
        }
        const std::string name(file);
        std::ifstream stream(name, std::ios::binary);
        if (!stream.is_open()) {
            answers.fileFailed("open", file, errno);
            continue;
        }
        if (!answerLines(answers, stream, out, name.c_str())) break;
    }
    return answers.finish();
}

}  // namespace VELD
