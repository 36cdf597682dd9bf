// One line's answer, made without any I/O: the echo, then the value's text or the fault.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "expression/expression.h"

namespace VELD {

// The dialogue's text buffer, which holds in turn the printed expression and value.
inline constexpr unsigned OUTPUT_BUFFER_SIZE = 8192;

// `text` with its control bytes as escapes (\x1b, \x0a, \0), so that what a message shows
// of a line or a file name stays on its line and sends the terminal nothing.
std::string escaped(std::string_view text);

// A value's text ("7", "-7", "1 / 3", "-1 / 2") as an operand that the calculator reads
// back to the same value: "7", "(0 - 7)", "(1 / 3)", "((0 - 1) / 2)".
std::string asOperand(std::string_view value);

class Answer {
public:
    // What a rest of the line that the parser does not read (after a ")" without its "(",
    // or a NUL byte) is: passed over, as the dialogue's echo shows what was read; or a
    // fault that says what was left, in the script modes.
    enum class Rest { passedOver, fault };
    // Parses `line` (NUL-terminated).
    Answer(std::string_view line, Rest rest);
    // The fault's message; null while there is none.
    const char* fault() const { return faultMessage; }
    // The parenthesised expression, in `buffer` (OUTPUT_BUFFER_SIZE bytes), or null after a
    // fault; `fits` is false when the buffer holds only what fitted.
    const char* echo(char* buffer, bool& fits);
    // Evaluates the line and writes the value's text into `buffer` (OUTPUT_BUFFER_SIZE
    // bytes); null after a fault, `fits` as for echo.
    const char* value(char* buffer, bool& fits) { return evaluate(buffer, Length::buffered, fits); }
    // The same for a value of any length: written wherever it fits, `buffer` when it does.
    const char* wholeValue(char* buffer) {
        bool fits = true;
        return evaluate(buffer, Length::unlimited, fits);
    }
    // Evaluates the line and gives its value in decimal with `places` places after the
    // point (decimal_text.h); null after a fault.
    const char* decimalValue(std::uint32_t places);

private:
    // The value's text held to the buffer (cut where it ends), or of any length.
    enum class Length { buffered, unlimited };
    const char* evaluate(char* buffer, Length length, bool& fits);
    const char* failed(const char* message) {
        faultMessage = message;
        return nullptr;
    }

    std::unique_ptr<Expression> root;
    const char* faultMessage = nullptr;
    std::string unread;  // the message of a line not read to its end
    std::unique_ptr<char[]> longText;
    std::string decimal;
};

}  // namespace VELD
