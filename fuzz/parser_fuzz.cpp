// Any text through the parser, and every tree printed into buffers of exactly the capacity
// given, so that the sanitizer sees any write past it. Only Exception may escape parse.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "expression/expression.h"

namespace {

void printInto(const VELD::Expression& tree, std::size_t capacity, std::size_t length) {
    std::vector<char> buffer(capacity);
    const std::int32_t shortfall = tree.print(buffer.data(), static_cast<std::uint32_t>(capacity));
    if ((shortfall == 0) != (capacity > length) || shortfall < 0) __builtin_trap();
    if (shortfall == 0 && std::strlen(buffer.data()) != length) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1024) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<VELD::Expression> tree;
    try {
        tree = VELD::Expression::parse(text.c_str());
    } catch (const VELD::Exception&) {
        return 0;
    }
    std::vector<char> whole(8 * size + 16);
    if (tree->print(whole.data(), static_cast<std::uint32_t>(whole.size())) != 0) __builtin_trap();
    const std::size_t length = std::strlen(whole.data());
    for (std::size_t capacity = 0; capacity <= length + 1; ++capacity) {
        if (capacity < 40 || capacity + 40 > length) printInto(*tree, capacity, length);
    }
    return 0;
}
