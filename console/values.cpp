// The script modes: values alone, from the words given as arguments or from the lines of
// files and standard input (--values).

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "console/console.h"
#include "console/signals.h"
#include "console/stream_lines.h"

namespace VELD {

namespace {

constexpr const char* EMPTY_EXPRESSION = "empty expression";

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

bool onlyWhiteSpace(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

// The script modes' form of an answer: the value alone and a line end, or the empty line of
// a fault and its message on standard error; and whether any was a fault.
class Values {
public:
    Values(std::ostream& out, std::ostream& err, const Terminal& terminal)
        : out(out),
          err(err),
          note(terminal.status),
          session(signals::Interrupts::endProgram, -1, terminal.status ? STDERR_FILENO : -1) {}

    // Answers `line`, read whole: Outcome::line to go on, or why the answers end.
    Outcome answer(std::string_view line, const Place& place) {
        if (onlyWhiteSpace(line)) {
            out << '\n';
            return next();
        }
        Answer answer(line, true);
        const char* value = nullptr;
        if (answer.fault() == nullptr) {
            // A note shows at the start of the line the value will take, after the values
            // before it.
            if (note && !(out << std::flush)) return Outcome::outputFailed;
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
    const bool note;  // the note may show, at the start of the value's line
    const signals::Session session;
    bool faults = false;
};

// The lines of one stream, `name` for its faults (null for standard input). Returns false
// when no more lines are to be read: a line that begins with q or Q, Ctrl-C, or output
// that failed.
bool answerLines(Values& values, std::istream& in, std::ostream& out, const char* name) {
    // On the heap: its input block is touched only as input fills it.
    const auto lines = std::make_unique<StreamLines>(in, out, false, false);
    Place place{name, 0};
    const Outcome end = eachLine(*lines, [&](std::string_view line, bool) {
        ++place.line;
        return values.answer(line, place);
    });
    if (end == Outcome::inputFailed)
        values.fileFailed("read " + std::string(name ? name : "input"), errno);
    return end == Outcome::endOfInput || end == Outcome::inputFailed;
}

}  // namespace

int answerArguments(const std::vector<std::string_view>& words, std::ostream& out,
                    std::ostream& err, const Terminal& terminal) {
    Values values(out, err, terminal);
    std::string line;
    for (const std::string_view word : words) {
        if (!line.empty()) line += ' ';
        line += word;
    }
    if (line.empty() || (line[0] != 'q' && line[0] != 'Q')) {
        if (onlyWhiteSpace(line)) {
            values.refuse(Place{}, EMPTY_EXPRESSION);
        } else {
            values.answer(line, Place{});  // std::string is NUL-terminated
        }
    }
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
            values.fileFailed("open " + name, errno);
        } else if (!answerLines(values, file == "-" ? in : opened, out,
                                file == "-" ? nullptr : name.c_str())) {
            break;
        }
    }
    return values.finish();
}

}  // namespace VELD
