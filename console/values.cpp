#include "console/values.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>

#include "console/console.h"
#include "console/exit_status.h"
#include "console/live_status.h"
#include "console/signals.h"
#include "console/stream_lines.h"
#include "expression/expression.h"

namespace VELD {

namespace {

// The dialogue's own warning, here the message of a fault.
constexpr const char* RESULT_TOO_LONG = "NOT ENOUGH SPACE FOR RESULT IN OUTPUT BUFFER!";
constexpr const char* EMPTY_EXPRESSION = "empty expression";
constexpr const char* LINE_TOO_LONG = "line longer than 80 characters; not answered";

char textBuffer[OUTPUT_BUFFER_SIZE];

// Where the answers go, and how a fault is named: "line 3" or "argument 2".
class Answers {
public:
    Answers(std::ostream& out, std::ostream& err, const Terminal& terminal, const char* unit)
        : out(out),
          err(err),
          unit(unit),
          session(signals::Interrupts::endProgram, terminal.status ? STDERR_FILENO : -1) {
        if (terminal.status) status.emplace(STDERR_FILENO);
    }

    // Answers the expression in `textBuffer`, number `number`: its value and a line end.
    void answer(unsigned long number) {
        const char* fault = nullptr;
        try {
            const std::unique_ptr<Expression> root = Expression::parse(textBuffer);
            // A note shows at the start of the line the value will take, after the values
            // before it.
            if (status && !(out << std::flush)) return;
            const signals::Computing computing;
            std::int32_t shortfall = 0;
            {
                const NoteScope note(status ? &*status : nullptr, 0, "");
                shortfall = root->evaluate().print(textBuffer, OUTPUT_BUFFER_SIZE);
            }
            if (shortfall == 0) {
                out << textBuffer << '\n';
                return;
            }
            fault = RESULT_TOO_LONG;
        } catch (const Exception& caught) {
            fault = caught.getMessage();
        }
        if (!signals::endRequested()) refuse(number, fault);
    }

    // Gives the empty line of a fault, and its message.
    void refuse(unsigned long number, const char* message) {
        faults = true;
        // What was answered before goes out before the message, for a reader of both.
        out << '\n' << std::flush;
        err << "exactcalc: " << unit << ' ' << number << ": " << message << '\n';
    }

    void empty() { out << '\n'; }

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
    std::ostream& out;
    std::ostream& err;
    const char* unit;
    const signals::Session session;
    std::optional<LiveStatus> status;
    bool faults = false;
};

bool onlyWhiteSpace(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

bool endsInput(std::string_view text) {
    return !text.empty() && (text[0] == 'q' || text[0] == 'Q');
}

}  // namespace

int answerArguments(const std::vector<std::string_view>& expressions, std::ostream& out,
                    std::ostream& err, const Terminal& terminal) {
    Answers answers(out, err, terminal, "argument");
    unsigned long position = 0;
    for (const std::string_view expression : expressions) {
        ++position;
        if (endsInput(expression)) break;
        if (onlyWhiteSpace(expression)) {
            answers.refuse(position, EMPTY_EXPRESSION);
        } else if (expression.size() > LINE_LIMIT) {
            answers.refuse(position, LINE_TOO_LONG);
        } else {
            expression.copy(textBuffer, expression.size());
            textBuffer[expression.size()] = '\0';
            answers.answer(position);
        }
        if (answers.stopped()) break;
    }
    return answers.finish();
}

int answerValues(std::istream& in, std::ostream& out, std::ostream& err, const Terminal& terminal) {
    Answers answers(out, err, terminal, "line");
    // On the heap, as in the dialogue: its input block is touched only as input fills it.
    const auto lines = std::make_unique<StreamLines>(in, out, false, false);
    for (unsigned long number = 1;; ++number) {
        LineRead line;
        const ReadResult got = lines->read(textBuffer, line);
        if (got == ReadResult::inputFailed) {
            const int error = errno;
            out << std::flush;
            return reportFailure(err, "read input", error);
        }
        if (got != ReadResult::line) break;  // the end of input, Ctrl-C or failed output
        const std::string_view text(textBuffer, line.length);
        if (endsInput(text)) break;
        if (line.cut) {
            answers.refuse(number, LINE_TOO_LONG);
        } else if (onlyWhiteSpace(text)) {
            answers.empty();
        } else {
            answers.answer(number);
        }
        if (answers.stopped()) break;
    }
    return answers.finish();
}

}  // namespace VELD
