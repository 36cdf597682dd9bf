#include "alloc_injection.h"

#include <cstdlib>
#include <new>

namespace {

bool armed = false;
std::uint64_t counted = 0;
std::uint64_t failing = 0;
std::int64_t live = 0;

void* allocate(std::size_t size) noexcept {
    if (armed && ++counted == failing) return nullptr;
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) ++live;
    return block;
}

void release(void* block) noexcept {
    if (block == nullptr) return;
    --live;
    std::free(block);
}

void* allocateOrThrow(std::size_t size) {
    if (void* block = allocate(size)) return block;
    throw std::bad_alloc();
}

}  // namespace

namespace VELD::testing {

void armAllocationFailure(std::uint64_t failAt) {
    counted = 0;
    failing = failAt;
    armed = true;
}

std::uint64_t disarmAllocationFailure() {
    armed = false;
    return counted;
}

std::int64_t liveAllocations() {
    return live;
}

}  // namespace VELD::testing

void* operator new(std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* block) noexcept {
    release(block);
}
void operator delete[](void* block) noexcept {
    release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    release(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    release(block);
}
