// Work areas of words that are not values: they may hold high zero words, padding or
// counts, and carry no sign. An Integer is in normal form between operations; a work area
// is a ScratchWords.
#pragma once

#include <cstdint>

namespace VELD {

// Obtains an array of n words (n > 0), or throws the out-of-memory fault (also for a count
// beyond what an Integer's length can hold). The one way word storage is obtained, for
// Integers and work areas alike.
std::uint32_t* allocateWords(std::uint64_t n);

// An owned array of words, released when it goes out of scope, also when an exception
// passes.
class ScratchWords {
public:
    ScratchWords() noexcept = default;
    explicit ScratchWords(std::uint64_t n) { allocate(n); }
    ScratchWords(const ScratchWords&) = delete;
    ScratchWords& operator=(const ScratchWords&) = delete;
    ~ScratchWords() { delete[] words; }

    // Replaces the array by one of n words of unspecified content (none for n = 0). The new
    // array is obtained first, so a failure leaves the old one in place.
    void allocate(std::uint64_t n) {
        std::uint32_t* const fresh = n == 0 ? nullptr : allocateWords(n);
        delete[] words;
        words = fresh;
    }
    bool empty() const { return words == nullptr; }
    std::uint32_t* data() const { return words; }

private:
    std::uint32_t* words = nullptr;
};

}  // namespace VELD
