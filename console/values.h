// The script modes: the words given as arguments, joined into one expression, or lines read
// with --values from files and standard input, each answered with its value alone on a line
// of its own, with no prompt and no echo. A fault gives an empty line there, so that the
// output lines up with the input, and its message on standard error with where it was
// found. Lines and values have no length limit here. Ctrl-C ends the program once what has
// been answered is written.
#pragma once

#include <iosfwd>
#include <string_view>
#include <vector>

namespace VELD {

struct Terminal;

// Answers `words` joined with single spaces, as one expression; a fault is reported as
// "exactcalc: MESSAGE". An empty expression is a fault, and one that begins with q or Q
// answers nothing, as in the dialogue. Returns the exit status: 0 when the expression was
// answered, 1 when it was a fault or output could not be written.
int answerArguments(const std::vector<std::string_view>& words, std::ostream& out,
                    std::ostream& err, const Terminal& terminal);

// Answers each line of each file in turn ("-", or no file at all, is `in`), until the end
// of the last or a line that begins with q or Q. A fault names its place as "FILE:N", or
// "line N" on standard input. Lines that are empty or hold only white space give an empty
// line and are no fault. A file that cannot be opened or read is reported and the others
// are still answered. Returns the exit status as answerArguments does, also 1 when a file
// could not be opened or read.
int answerValues(const std::vector<std::string_view>& files, std::istream& in, std::ostream& out,
                 std::ostream& err, const Terminal& terminal);

}  // namespace VELD
