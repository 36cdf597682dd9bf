#include "console/lines.h"

#include <algorithm>

#include "common/text.h"

namespace VELD {

Read ArgumentLine::read(std::string_view& line, bool& cut) {
    if (given) return Ending::endOfInput;
    given = true;
    line = text;
    cut = false;
    return Read::line;
}

bool dialogueQuits(std::string_view line) {
    return !line.empty() && (line[0] == 'q' || line[0] == 'Q');
}

bool scriptQuits(std::string_view line) {
    const auto first = std::find_if_not(line.begin(), line.end(), isWhiteSpace);
    const auto last = std::find_if_not(line.rbegin(), line.rend(), isWhiteSpace).base();
    std::string word;
    for (auto c = first; c < last; ++c)
        word += static_cast<char>(*c | 0x20);  // letters in lower case; others never match
    return word == "q" || word == "quit";
}

}  // namespace VELD
