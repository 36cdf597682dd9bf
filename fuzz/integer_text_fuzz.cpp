// The Integer text constructor and print: whatever numeral starts the text is read, and
// printing gives it back without leading zeros, into an exact buffer and not into one
// byte less.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "integer/integer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 3000) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* digits = text.c_str();
    const bool minus = *digits == '-';
    if (minus) ++digits;
    std::size_t count = 0;
    while (digits[count] >= '0' && digits[count] <= '9')
        ++count;
    std::string expected(digits, count);
    expected.erase(0, std::min(expected.find_first_not_of('0'), expected.size() - 1));
    if (minus && expected != "0") expected.insert(0, "-");
    try {
        const VELD::Integer value(text.c_str());
        if (count == 0) __builtin_trap();
        std::vector<char> exact(expected.size() + 1), shorter(expected.size());
        if (value.print(exact.data(), static_cast<std::uint32_t>(exact.size())) != 0)
            __builtin_trap();
        if (expected != exact.data()) __builtin_trap();
        if (value.print(shorter.data(), static_cast<std::uint32_t>(shorter.size())) != 1)
            __builtin_trap();
    } catch (const VELD::Exception&) {
        if (count != 0) __builtin_trap();
    }
    return 0;
}
