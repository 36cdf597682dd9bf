// The program's modes over the one loop of lines.h: the dialogue, each line echoed fully
// parenthesised and answered, and the script modes, each expression's value alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string_view>
#include <vector>

#include "console/lines.h"

namespace VELD {

inline constexpr int EXIT_ANSWERED = 0;  // every line answered, or the dialogue ended
inline constexpr int EXIT_FAULT = 1;     // a line was a fault, or a stream failed
inline constexpr int EXIT_USAGE = 2;     // arguments the program does not take

// What the program found out about its standard streams.
struct Terminal {
    bool input = false;         // standard input is a terminal
    bool output = false;        // standard output is a terminal
    bool editing = false;       // lines are read through the line editor
    bool dialogueNote = false;  // standard error is the terminal that shows standard output
    bool scriptNote = false;    // standard error is a terminal
};

// The dialogue over standard input: at a terminal through the line editor, with the note
// behind a long line's echo where `terminal` allows. Returns the exit status: 0 when the
// dialogue ended, 1 when input or output failed (reported on `err`).
int answerDialogue(std::istream& in, std::ostream& out, std::ostream& err,
                   const Terminal& terminal);
// The dialogue over `lines`: each line answered in the dialogue's form, empty lines
// skipped, and a cut line noted on `notes`, when given. The echo starts `column` characters
// into its line (where a note may show behind it).
Ending runDialogue(LineSource& lines, std::ostream& out, std::size_t column, std::ostream* notes);
// The dialogue over a stream.
Ending runConsole(std::istream& in, std::ostream& out);

// How the script modes write a value: as the dialogue does ("-1 / 2"), as an operand that
// reads back to it (--as-input: "((0 - 1) / 2)"), or in decimal with `places` places
// (--scale: "~-0.5" and so on, decimal_text.h).
struct ValueForm {
    enum Kind { plain, operand, decimal } kind = plain;
    std::uint32_t places = 0;
};

// The script modes: each expression's value alone on a line, of any length; a fault gives
// an empty line there and its message on standard error with its place, and the exit status
// 1, as does a file that cannot be opened or read, or output that fails. answerArguments
// answers `words` joined with single spaces; answerValues the lines of each file in turn
// ("-", or none at all, is `in`), a line of white space with an empty line. Both stop at a
// line that quits (scriptQuits).
int answerArguments(const std::vector<std::string_view>& words, std::ostream& out,
                    std::ostream& err, const Terminal& terminal, ValueForm form = {});
int answerValues(const std::vector<std::string_view>& files, std::istream& in, std::ostream& out,
                 std::ostream& err, const Terminal& terminal, ValueForm form = {});

// Writes "exactcalc: cannot <what>: <reason>" for the system's `error` (an I/O error when
// it gave none) and returns EXIT_FAULT.
int reportFailure(std::ostream& err, const char* what, int error);
// Ends every mode once its lines have ended: by the signal that asked for the end (Ctrl-C,
// SIGTERM or SIGHUP), once what has been answered is written; with a failed read or write
// (`error` its reason) reported and EXIT_FAULT; else with `status`, once `out` is flushed.
int endRun(Ending end, int error, std::ostream& out, std::ostream& err, int status);
// Flushes `out`: `status` when that works, else the failure reported.
int finish(std::ostream& out, std::ostream& err, int status = EXIT_ANSWERED);

}  // namespace VELD
