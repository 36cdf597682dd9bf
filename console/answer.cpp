#include "console/answer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "rational/decimal_text.h"

namespace VELD {

namespace {

// A value whose text would need more bytes than a print can be given.
constexpr const char* RESULT_TOO_LONG = "NOT ENOUGH SPACE FOR RESULT IN OUTPUT BUFFER!";
// Characters of an unread rest shown in its fault; a longer rest is cut, with "...".
constexpr std::size_t UNREAD_SHOWN = 40;

// More decimal digits than |x| has: it has bits(x) log10(2) + 1 at most, below bits / 3 + 2.
std::uint64_t digitsAbove(const Integer& x) {
    return static_cast<std::uint64_t>(x.highestBit() + 1) / 3 + 2;
}

// What stopped the parser at `end`, and what it left unread, control bytes as escapes.
std::string unreadFault(std::string_view line, std::size_t end) {
    std::string fault = line[end] == ')' ? "a \")\" without its \"(\"" : "a NUL byte";
    const std::size_t shown = std::min(line.size() - end, UNREAD_SHOWN);
    fault += "; not read: \"" + escaped(line.substr(end, shown));
    fault += shown < line.size() - end ? "...\"" : "\"";
    return fault;
}

}  // namespace

std::string escaped(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char escape[8] = {c, '\0'};
        if (byte < 0x20 || byte == 0x7f) std::snprintf(escape, sizeof escape, "\\x%02x", byte);
        if (byte == 0) std::memcpy(escape, "\\0", 3);
        shown += escape;
    }
    return shown;
}

std::string asOperand(std::string_view value) {
    const bool negative = value.starts_with('-');
    if (negative) value.remove_prefix(1);
    const std::size_t slash = value.find(" / ");
    std::string numerator(value.substr(0, slash));
    if (negative) numerator = "(0 - " + numerator + ")";
    if (slash == std::string_view::npos) return numerator;
    return "(" + numerator + std::string(value.substr(slash)) + ")";
}

Answer::Answer(std::string_view line, Rest rest) {
    try {
        std::size_t end = 0;
        root = Expression::parse(line.data(), end);
        if (rest == Rest::fault && end < line.size()) {
            unread = unreadFault(line, end);
            faultMessage = unread.c_str();
        }
    } catch (const Exception& caught) {
        faultMessage = caught.getMessage();
    }
}

const char* Answer::echo(char* buffer, bool& fits) {
    if (faultMessage != nullptr) return nullptr;
    try {
        fits = root->print(buffer, OUTPUT_BUFFER_SIZE) == 0;
        return buffer;
    } catch (const Exception& caught) {
        return failed(caught.getMessage());
    }
}

// An unlimited text is sized from the parts' bit lengths; one that surely fits the buffer
// takes no storage of its own.
const char* Answer::evaluate(char* buffer, Length length, bool& fits) {
    const bool unlimited = length == Length::unlimited;
    if (faultMessage != nullptr) return nullptr;
    try {
        // The value is released as soon as its text is written.
        const Rational value = root->evaluate();
        std::uint64_t capacity = OUTPUT_BUFFER_SIZE;
        if (unlimited) {
            const std::uint64_t needed = digitsAbove(value.getNumerator()) +
                                         digitsAbove(value.getDenominator()) + sizeof "- / ";
            if (needed > std::numeric_limits<std::uint32_t>::max()) return failed(RESULT_TOO_LONG);
            if (needed > capacity) {
                longText = std::make_unique<char[]>(needed);
                buffer = longText.get();
                capacity = needed;
            }
        }
        fits = value.print(buffer, static_cast<std::uint32_t>(capacity)) == 0;
        if (!fits && unlimited) return failed(RESULT_TOO_LONG);
        return buffer;
    } catch (const Exception& caught) {
        return failed(caught.getMessage());
    } catch (const std::bad_alloc&) {
        return failed(NOT_ENOUGH_MEMORY);
    }
}

const char* Answer::decimalValue(std::uint32_t places) {
    if (faultMessage != nullptr) return nullptr;
    try {
        decimal = decimalText(root->evaluate(), places);
        return decimal.c_str();
    } catch (const Exception& caught) {
        return failed(caught.getMessage());
    } catch (const std::bad_alloc&) {
        return failed(NOT_ENOUGH_MEMORY);
    }
}

}  // namespace VELD
