#pragma once

namespace VELD {

// The one fault type of the calculator. It carries a single pointer to a static,
// NUL-terminated message that names the class and operation that raised it; copying
// copies the pointer and destroying it frees nothing.
class Exception {
public:
    explicit constexpr Exception(const char* message) noexcept : message(message) {}

    constexpr const char* getMessage() const noexcept { return message; }

private:
    const char* message;
};

}  // namespace VELD
