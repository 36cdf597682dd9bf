// The program's usage, its options, and the mode they choose.
#include "console/program.h"

#include <istream>
#include <ostream>
#include <string_view>
#include <vector>

#ifndef EXACTCALC_VERSION
#define EXACTCALC_VERSION "unknown"
#endif

namespace VELD {

namespace {

constexpr const char* USAGE =
    "Usage: exactcalc [--help | --version]\n"
    "       exactcalc [--] WORD...\n"
    "       exactcalc --values [FILE]...\n"
    "\n"
    "Answers each expression with its exact value, a whole number or a fraction in lowest\n"
    "terms. Numbers are whole, of any size, without a sign; the operators are a + b, a - b,\n"
    "a * b, a / b, a ^ b, n choose k and n !, one per level of parentheses: (1 + 2) * 3.\n"
    "\n"
    "Without arguments, a dialogue: each line of standard input (its first 80 characters)\n"
    "is written back fully parenthesised and answered, a value when it fits 8191\n"
    "characters, until a line that begins with q or Q or the end of input. At a terminal,\n"
    "lines are edited and recalled with the arrow keys, and Ctrl-C discards the line being\n"
    "typed or abandons a long computation.\n"
    "\n"
    "The words as arguments are joined into one expression (exactcalc 2 + 3; quote * ( )\n"
    "and ! from the shell); --values answers each line of the files (- or none: standard\n"
    "input). Each gets its value alone on a line, of any length; a fault, or a line not read\n"
    "to its end (a ')' without its '(', a NUL byte), an empty line and a message on standard\n"
    "error naming the file and line. Ctrl-C ends the program.\n"
    "\n"
    "Exit status: 0 when every expression was answered (or the dialogue ended), 1 when one\n"
    "was a fault, a file could not be opened, or output or input failed, 2 for arguments it\n"
    "does not take.\n";

// What the command line asks for: its mode, and the words that are not options (the
// expression's, or the files of --values).
struct Mode {
    enum Kind { dialogue, arguments, values, help, version, usage } kind = dialogue;
    std::vector<std::string_view> words;
};

// Options come first: --help and --version alone, or --values with its files. Any other
// word that begins with '-' is an unknown option (numbers have no sign) unless "--" comes
// before it; the rest are the expression's words, or files. Problems go to `err`.
Mode parseOptions(int argc, const char* const argv[], std::ostream& err) {
    Mode mode;
    int chosen = 0;
    bool options = true;
    for (int k = 1; k < argc; ++k) {
        const std::string_view word = argv[k];
        const Mode::Kind kind = word == "--values"    ? Mode::values
                                : word == "--help"    ? Mode::help
                                : word == "--version" ? Mode::version
                                                      : Mode::dialogue;
        if (options && word == "--") {
            options = false;
        } else if (options && kind != Mode::dialogue) {
            mode.kind = kind;
            ++chosen;
        } else if (options && word.size() > 1 && word[0] == '-') {
            err << "exactcalc: unexpected argument '" << word << "' (try --help)\n";
            return {Mode::usage, {}};
        } else {
            mode.words.push_back(word);
        }
    }
    if (chosen > 1 || (chosen == 1 && mode.kind != Mode::values && !mode.words.empty())) {
        err << "exactcalc: give --help, --version, --values or an expression, one of them "
               "(try --help)\n";
        return {Mode::usage, {}};
    }
    // "--" with nothing after it is the dialogue, as with no arguments at all.
    if (chosen == 0 && !mode.words.empty()) mode.kind = Mode::arguments;
    return mode;
}

}  // namespace

int runProgram(int argc, const char* const argv[], std::istream& in, std::ostream& out,
               std::ostream& err, const Terminal& terminal) {
    const Mode mode = parseOptions(argc, argv, err);
    switch (mode.kind) {
        case Mode::usage:
            return EXIT_USAGE;
        case Mode::help:
            out << USAGE;
            return finish(out, err);
        case Mode::version:
            out << "exactcalc " EXACTCALC_VERSION
                   "\n"
                   "Copyright (c) 2026 The exactcalc authors; MIT License\n";
            return finish(out, err);
        case Mode::values:
            return answerValues(mode.words, in, out, err, terminal);
        case Mode::arguments:
            return answerArguments(mode.words, out, err, terminal);
        case Mode::dialogue:
            break;
    }
    return answerDialogue(in, out, err, terminal);
}

}  // namespace VELD
