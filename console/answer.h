// One line's answer, made without any I/O: the echo, then the value's text or the fault.
// The dialogue and the script modes write it each in their own form (console.cpp,
// values.cpp).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "expression/expression.h"

namespace VELD {

class Answer {
public:
    // Parses `line`, which is NUL-terminated. With `whole`, a line that the parser stops reading
    // before its end (at a
    // ")" without its "(", or at a NUL byte) is a fault that says what was left unread;
    // without, what was read is answered, as the dialogue's echo shows.
    Answer(std::string_view line, bool whole);

    // The fault's message; null while there is none.
    const char* fault() const { return faultMessage; }
    // The parenthesised expression, in `buffer` (OUTPUT_BUFFER_SIZE bytes): the buffer, or
    // null after a fault. `fits` is false when it did not fit, the buffer holding what did.
    const char* echo(char* buffer, bool& fits);
    // Evaluates the line and writes the value's text: into `buffer` (OUTPUT_BUFFER_SIZE
    // bytes), or, with `unlimited`, into storage of its own when it needs more, of any
    // length. Returns the text, or null after a fault. `fits` is as for echo.
    const char* value(char* buffer, bool unlimited, bool& fits);

private:
    const char* failed(const char* message) {
        faultMessage = message;
        return nullptr;
    }

    std::unique_ptr<Expression> root;
    const char* faultMessage = nullptr;
    std::string unread;  // the message of a line not read to its end
    std::unique_ptr<char[]> longText;
};

}  // namespace VELD
