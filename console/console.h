#pragma once

#include <iosfwd>

namespace VELD {

// The one text buffer of the dialogue, which holds in turn the line read, the printed
// expression and the printed value.
inline constexpr unsigned OUTPUT_BUFFER_SIZE = 8192;
// Characters of a line that count; the rest of a longer line is dropped.
inline constexpr unsigned LINE_LIMIT = 80;

// How the dialogue ended: by the user, or because a stream failed (the stream's error state
// is set, and errno holds the reason the system gave).
enum class ConsoleEnd { quit, endOfInput, outputFailed, inputFailed };

// Answers the line held in `buffer` (OUTPUT_BUFFER_SIZE bytes): writes the parenthesised
// expression, then " = " and its value and a line end. A fault writes its message and a
// line end directly behind whatever was already written. Returns false, without
// evaluating, when the echoed expression could not be written.
bool answerLine(char* buffer, std::ostream& out);

// The dialogue: prompts "Exp: ", reads a line and answers it, until a line that begins
// with q or Q, the end of input, or a read or write that fails. Empty lines are skipped.
ConsoleEnd runConsole(std::istream& in, std::ostream& out);

// The whole program: `--help`, `--version`, or the dialogue when there are no arguments.
// Returns the exit status: 0, 1 when output could not be written or input could not be
// read (reported on `err`), 2 for an unknown argument.
int runProgram(int argc, const char* const argv[], std::istream& in, std::ostream& out,
               std::ostream& err, bool inputIsTerminal);

}  // namespace VELD
