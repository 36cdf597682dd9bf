#pragma once

namespace VELD {

// The one fault type of the calculator. It carries a single pointer to a static,
// NUL-terminated message that names a class and operation (for most faults the one that
// raised it; an interrupted computation's always names Integer::createSpace(), wherever
// its loop was); copying copies the pointer and destroying it frees nothing.
class Exception {
public:
    explicit constexpr Exception(const char* message) noexcept : message(message) {}

    constexpr const char* getMessage() const noexcept { return message; }

private:
    const char* message;
};

}  // namespace VELD
