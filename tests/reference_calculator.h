// A reference for whole lines: what the calculator must write for a line, computed over
// GMP from the rules of the language (the level state table, right-first evaluation, the
// refusals and the printing limits) independently of the calculator's own code.
#pragma once

#include <optional>
#include <string>

namespace VELD::testing {

// The exact text the console writes after the prompt for `line` (as read: at most 80
// characters, no line end), or nothing when the line is too heavy to check quickly.
std::optional<std::string> referenceAnswer(const std::string& line);

}  // namespace VELD::testing
