// The program's usage, its options, and the mode they choose.
#include "console/program.h"

#include "rational/decimal_text.h"

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
    "       exactcalc [--as-input | --scale N] [--] WORD...\n"
    "       exactcalc --values [--as-input | --scale N] [FILE]...\n"
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
    "error naming the file and line. Ctrl-C ends the program. A byte-order mark that\n"
    "begins a file is skipped.\n"
    "\n"
    "--as-input writes each value as an expression that reads back to it, ready to stand as\n"
    "an operand: -1 / 2 as ((0 - 1) / 2). --scale N writes it in decimal with N places\n"
    "after the point (N up to 1000000): exactly where it ends within them (1 / 8: 0.125),\n"
    "else rounded half away from zero and marked ~ (2 / 3 with 3: ~0.667).\n"
    "\n"
    "Exit status: 0 when every expression was answered (or the dialogue ended), 1 when one\n"
    "was a fault, a file could not be opened, or output or input failed, 2 for arguments it\n"
    "does not take.\n";

// What the command line asks for: its mode, and the words that are not options (the
// expression's, or the files of --values).
struct Mode {
    enum Kind { dialogue, arguments, values, help, version, usage } kind = dialogue;
    std::vector<std::string_view> words;
    ValueForm form;
};

// The places of --scale: a whole number from 0 to MOST_PLACES; false for anything else.
bool parsePlaces(std::string_view text, std::uint32_t& places) {
    if (text.empty() || text.size() > 7) return false;
    std::uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    places = value;
    return value <= MOST_PLACES;
}

// Options come first: --help and --version alone, or --values with its files; --as-input
// or --scale N with --values or an expression. Any other word that begins with '-' is an
// unknown option (numbers have no sign) unless "--" comes before it; the rest are the
// expression's words, or files. Problems go to `err`.
Mode parseOptions(int argc, const char* const argv[], std::ostream& err) {
    Mode mode;
    int chosen = 0, forms = 0;
    bool options = true;
    for (int k = 1; k < argc; ++k) {
        const std::string_view word = argv[k];
        const Mode::Kind kind = word == "--values"    ? Mode::values
                                : word == "--help"    ? Mode::help
                                : word == "--version" ? Mode::version
                                                      : Mode::dialogue;
        if (options && word == "--") {
            options = false;
        } else if (options && word == "--as-input") {
            mode.form.kind = ValueForm::operand;
            ++forms;
        } else if (options && (word == "--scale" || word.starts_with("--scale="))) {
            const bool joined = word != "--scale";
            const std::string_view places = joined ? word.substr(8) : k + 1 < argc ? argv[++k] : "";
            if (!parsePlaces(places, mode.form.places)) {
                err << "exactcalc: --scale takes a number of places from 0 to " << MOST_PLACES
                    << " (try --help)\n";
                return {Mode::usage, {}, {}};
            }
            mode.form.kind = ValueForm::decimal;
            ++forms;
        } else if (options && kind != Mode::dialogue) {
            mode.kind = kind;
            ++chosen;
        } else if (options && word.size() > 1 && word[0] == '-') {
            err << "exactcalc: unexpected argument '" << word << "' (try --help)\n";
            return {Mode::usage, {}, {}};
        } else {
            mode.words.push_back(word);
        }
    }
    if (chosen > 1 || (chosen == 1 && mode.kind != Mode::values && !mode.words.empty())) {
        err << "exactcalc: give --help, --version, --values or an expression, one of them "
               "(try --help)\n";
        return {Mode::usage, {}, {}};
    }
    // "--" with nothing after it is the dialogue, as with no arguments at all.
    if (chosen == 0 && !mode.words.empty()) mode.kind = Mode::arguments;
    if (forms > 1 || (forms == 1 && mode.kind != Mode::values && mode.kind != Mode::arguments)) {
        err << "exactcalc: give --as-input or --scale once, with --values or an expression "
               "(try --help)\n";
        return {Mode::usage, {}, {}};
    }
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
            return answerValues(mode.words, in, out, err, terminal, mode.form);
        case Mode::arguments:
            return answerArguments(mode.words, out, err, terminal, mode.form);
        case Mode::dialogue:
            break;
    }
    return answerDialogue(in, out, err, terminal);
}

}  // namespace VELD
