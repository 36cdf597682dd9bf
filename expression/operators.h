// The operators' texts: the one table that maps an Operation to what is typed and printed.
#pragma once

#include <cstring>
#include <string_view>

#include "expression/expression.h"

namespace VELD {

struct OperatorText {
    Operation operation;
    std::string_view text;
};

inline constexpr OperatorText OPERATORS[] = {
    {Operation::add, "+"},    {Operation::subtract, "-"},  {Operation::multiply, "*"},
    {Operation::divide, "/"}, {Operation::factorial, "!"}, {Operation::choose, "choose"},
    {Operation::power, "^"},
};

// The operator that begins `text`, with all of its letters ("choose" all six; what follows
// is not looked at); none when no operator does.
inline const OperatorText* operatorAt(const char* text) {
    for (const OperatorText& entry : OPERATORS) {
        if (text[0] == entry.text[0] &&
            std::strncmp(text, entry.text.data(), entry.text.size()) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

// The text an operation is written with; empty for none.
constexpr std::string_view operatorText(Operation operation) {
    for (const OperatorText& entry : OPERATORS) {
        if (entry.operation == operation) return entry.text;
    }
    return {};
}

}  // namespace VELD
