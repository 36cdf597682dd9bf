// The console dialogue: prompt, read one line, answer it, and go on.
#include "console/console.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <string_view>

#include "expression/expression.h"

#ifndef EXACTCALC_VERSION
#define EXACTCALC_VERSION "unknown"
#endif

namespace VELD {

namespace {

char textBuffer[OUTPUT_BUFFER_SIZE];

extern "C" void requestInterrupt(int) {
    interruptRequested = 1;
}

// While a line is being answered, SIGINT abandons the work through the flag that every
// allocation tests, instead of ending the program; before and after, it keeps its usual
// effect. The flag is cleared first, so a signal that arrived after earlier work ended
// never fires here.
class InterruptScope {
public:
    InterruptScope() {
        interruptRequested = 0;
        previous = std::signal(SIGINT, requestInterrupt);
    }
    ~InterruptScope() { std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous); }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    void (*previous)(int);
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
    "ends the program, as does the end of input. Ctrl-C abandons a long computation\n"
    "and returns to the prompt; at the prompt it ends the program.\n";

// Reads the next line into buffer: its first LINE_LIMIT characters, NUL-terminated; the
// rest of the line and its line end are discarded, and nothing beyond them is read.
// Returns false at the end of input when no character was left.
bool readLine(std::istream& in, char* buffer, std::size_t& length) {
    length = 0;
    bool readAny = false;
    for (int c = in.get(); c != std::char_traits<char>::eof() && c != '\n'; c = in.get()) {
        readAny = true;
        if (length < LINE_LIMIT) buffer[length++] = static_cast<char>(c);
    }
    buffer[length] = '\0';
    return readAny || in.good();
}

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

bool answerLine(char* buffer, std::ostream& out) {
    std::unique_ptr<Expression> root;
    try {
        root = Expression::parse(buffer);
        if (root->print(buffer, OUTPUT_BUFFER_SIZE) != 0) {
            out << "NOT ENOUGH SPACE FOR EXPRESSION IN OUTPUT BUFFER!\n";
        }
        // Shown before evaluation starts, which may take long.
        if (!(out << buffer << std::flush)) return false;
        std::int32_t shortfall = 0;
        {
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

ConsoleEnd runConsole(std::istream& in, std::ostream& out) {
    for (;;) {
        // Also the first check of what the previous answer wrote.
        if (!(out << "Exp: " << std::flush)) return ConsoleEnd::outputFailed;
        std::size_t length = 0;
        if (!readLine(in, textBuffer, length)) {
            return in.bad() ? ConsoleEnd::inputFailed : ConsoleEnd::endOfInput;
        }
        if (length == 0) continue;
        if (textBuffer[0] == 'q' || textBuffer[0] == 'Q') return ConsoleEnd::quit;
        const InterruptScope interruptible;
        if (!answerLine(textBuffer, out)) return ConsoleEnd::outputFailed;
    }
}

int runProgram(int argc, const char* const argv[], std::istream& in, std::ostream& out,
               std::ostream& err, bool inputIsTerminal) {
    if (argc > 1) {
        const std::string_view argument = argv[1];
        if (argc == 2 && argument == "--help") {
            out << USAGE;
            return finish(out, err);
        }
        if (argc == 2 && argument == "--version") {
            out << "exactcalc " EXACTCALC_VERSION "\n";
            return finish(out, err);
        }
        err << "exactcalc: unexpected argument '" << argument << "' (try --help)\n";
        return 2;
    }
    const ConsoleEnd end = runConsole(in, out);
    const int error = errno;  // the failed read or write's reason, before anything else
    if (end == ConsoleEnd::outputFailed) return reportFailure(err, "write output", error);
    if (end == ConsoleEnd::inputFailed) return reportFailure(err, "read input", error);
    // At the end of input on a terminal, finish the prompt's line for the shell.
    if (end == ConsoleEnd::endOfInput && inputIsTerminal) out << '\n';
    return finish(out, err);
}

}  // namespace VELD
