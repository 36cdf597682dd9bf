// The two classes of characters the whole program reads by: decimal digits, and white
// space (exactly space, tab, line feed and carriage return). Bytes above 127 are neither,
// in every locale.
#pragma once

#include <algorithm>
#include <string_view>

namespace VELD {

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

inline bool isOnlyWhiteSpace(std::string_view text) {
    return std::all_of(text.begin(), text.end(), isWhiteSpace);
}

}  // namespace VELD
