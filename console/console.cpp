// The console dialogue: prompt, read one line, answer it, and go on.
#include "console/console.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string_view>

#include "console/history.h"
#include "console/line_editor.h"
#include "console/live_status.h"
#include "console/signals.h"
#include "console/stream_lines.h"
#include "expression/expression.h"

#ifndef EXACTCALC_VERSION
#define EXACTCALC_VERSION "unknown"
#endif

namespace VELD {

namespace {

char textBuffer[OUTPUT_BUFFER_SIZE];

// The note of a LiveStatus, shown for as long as this scope lasts.
class StatusScope {
public:
    StatusScope(LiveStatus* status, std::size_t column, const char* echo) : status(status) {
        if (status != nullptr) status->start(column, echo);
    }
    ~StatusScope() {
        if (status != nullptr) status->stop();
    }
    StatusScope(const StatusScope&) = delete;
    StatusScope& operator=(const StatusScope&) = delete;

private:
    LiveStatus* status;
};

constexpr const char* USAGE =
    "Usage: exactcalc [--help | --version]\n"
    "\n"
    "An exact calculator: reads one expression a line from standard input and answers\n"
    "with its exact value, a whole number or a fraction in lowest terms.\n"
    "\n"
    "  numbers     whole numbers of any size, written without a sign: 0, 42, 007\n"
    "  operators   a + b   a - b   a * b   a / b   a ^ b   n choose k   n !\n"
    "  grouping    one operator per level of parentheses: (1 + 2) * 3, not 1 + 2 * 3\n"
    "\n"
    "Only the first 80 characters of a line are read. A line that begins with q or Q\n"
    "ends the program, as does the end of input. At a terminal, lines can be edited and\n"
    "recalled with the arrow keys; Ctrl-C there discards the line being typed. Ctrl-C\n"
    "abandons a long computation and returns to the prompt.\n";

// Writes "exactcalc: cannot <what>: <reason>" and gives the exit status of a failed stream.
int reportFailure(std::ostream& err, const char* what, int error) {
    err << "exactcalc: cannot " << what << ": "
        << (error != 0 ? std::strerror(error) : "Input/output error") << '\n';
    return 1;
}

// The exit status once everything has been written: output that could not be flushed
// is a failure too.
int finish(std::ostream& out, std::ostream& err) {
    if (out << std::flush) return 0;
    return reportFailure(err, "write output", errno);
}

}  // namespace

bool answerLine(char* buffer, std::ostream& out, LiveStatus* status, std::size_t echoColumn,
                bool flushEcho) {
    std::unique_ptr<Expression> root;
    try {
        root = Expression::parse(buffer);
        if (root->print(buffer, OUTPUT_BUFFER_SIZE) != 0) {
            out << "NOT ENOUGH SPACE FOR EXPRESSION IN OUTPUT BUFFER!\n";
            echoColumn = 0;
        }
        // Shown before evaluation starts, which may take long.
        if (!(out << buffer)) return false;
        if (flushEcho && !(out << std::flush)) return false;
        std::int32_t shortfall = 0;
        {
            // The note, if any, is erased before anything else is written, also when a
            // fault ends the evaluation.
            const StatusScope note(status, echoColumn + std::strlen(buffer), buffer);
            // The value is released as soon as its text is in the buffer.
            const Rational value = root->evaluate();
            shortfall = value.print(buffer, OUTPUT_BUFFER_SIZE);
        }
        if (shortfall != 0) out << "\nNOT ENOUGH SPACE FOR RESULT IN OUTPUT BUFFER!\n";
        out << " = " << buffer << '\n';
        root.reset();
    } catch (const Exception& fault) {
        root.reset();
        out << fault.getMessage() << '\n';
    }
    return true;
}

ConsoleEnd runConsole(LineSource& lines, std::ostream& out, LiveStatus* status,
                      std::size_t echoColumn, std::ostream* notes) {
    for (;;) {
        LineRead line;
        switch (lines.read(textBuffer, line)) {
            case ReadResult::line:
                break;
            case ReadResult::discarded:
                continue;
            case ReadResult::endOfInput:
                return ConsoleEnd::endOfInput;
            case ReadResult::inputFailed:
                return ConsoleEnd::inputFailed;
            case ReadResult::outputFailed:
                return ConsoleEnd::outputFailed;
            case ReadResult::interrupted:
                return ConsoleEnd::interrupted;
        }
        if (line.length == 0) continue;
        if (textBuffer[0] == 'q' || textBuffer[0] == 'Q') return ConsoleEnd::quit;
        if (line.cut && notes != nullptr) *notes << "exactcalc: " << LINE_CUT << '\n';
        lines.entered(textBuffer);
        const bool flushEcho = !lines.lineWaiting();
        const signals::Computing computing;
        if (!answerLine(textBuffer, out, status, echoColumn, flushEcho)) {
            return ConsoleEnd::outputFailed;
        }
    }
}

ConsoleEnd runConsole(std::istream& in, std::ostream& out) {
    StreamLines lines(in, out);
    return runConsole(lines, out);
}

int runProgram(int argc, const char* const argv[], std::istream& in, std::ostream& out,
               std::ostream& err, const Terminal& terminal) {
    if (argc > 1) {
        const std::string_view argument = argv[1];
        if (argc == 2 && argument == "--help") {
            out << USAGE;
            return finish(out, err);
        }
        if (argc == 2 && argument == "--version") {
            out << "exactcalc " EXACTCALC_VERSION
                   "\n"
                   "Copyright (c) 2026 The exactcalc authors; MIT License\n";
            return finish(out, err);
        }
        err << "exactcalc: unexpected argument '" << argument << "' (try --help)\n";
        return 2;
    }
    HistoryFile history(terminal.editing ? HistoryFile::defaultPath() : "", err);
    std::optional<LineEditor> editor;
    try {
        if (terminal.editing) editor.emplace(out, history);
    } catch (const std::runtime_error&) {
        // Without the editor the terminal still works line by line.
    }
    // On the heap: its input block's pages are then touched only as input fills them, where
    // an empty std::optional of it would be written over in full at every start.
    std::unique_ptr<StreamLines> stream;
    if (!editor) stream = std::make_unique<StreamLines>(in, out, terminal.output);
    LineSource& lines = editor ? static_cast<LineSource&>(*editor) : *stream;
    const signals::Session session(
        editor ? signals::Interrupts::discardLine : signals::Interrupts::endBetweenLines,
        terminal.status ? STDERR_FILENO : -1);
    std::optional<LiveStatus> status;
    if (terminal.status) status.emplace(STDERR_FILENO);
    LiveStatus* const note = status ? &*status : nullptr;
    // Typed at a terminal, the line's own end leaves the echo at the start of a line;
    // otherwise it follows the prompt.
    const ConsoleEnd end =
        runConsole(lines, out, note, editor || terminal.input ? 0 : sizeof PROMPT - 1, &err);
    const int error = errno;  // the failed read or write's reason, before anything else
    if (end == ConsoleEnd::outputFailed) return reportFailure(err, "write output", error);
    if (end == ConsoleEnd::inputFailed) return reportFailure(err, "read input", error);
    if (end == ConsoleEnd::interrupted) {
        // Ctrl-C between lines: what has been answered is written, then the program ends
        // as SIGINT ends it.
        out << std::flush;
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return 128 + SIGINT;
    }
    // At the end of input typed at a terminal, finish the prompt's line for the shell; a
    // file or pipe gets the transcript as it stands.
    if (end == ConsoleEnd::endOfInput && terminal.input && terminal.output) out << '\n';
    return finish(out, err);
}

}  // namespace VELD
