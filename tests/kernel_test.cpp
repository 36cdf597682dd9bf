// The word kernels on every path this build has (the portable C++ and, where it is built,
// the x86-64 assembly), against one simple reference that works a word at a time with
// 64-bit sums: every length up to five of the four-chunk steps and every tail after them,
// every shift, and a carry or borrow in.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <type_traits>
#include <vector>

#include "integer/kernels.h"

namespace VELD {
namespace {

using kernels::Path;
using Words = std::vector<std::uint32_t>;

// Calls body(std::integral_constant<Path, path>) for each path of this build.
template <typename Body>
void forEachPath(Body body) {
    body(std::integral_constant<Path, Path::portable>{});
#if EXACTCALC_ASM
    body(std::integral_constant<Path, Path::assembly>{});
#endif
}

const char* name(Path path) {
    return path == Path::portable ? "portable" : "assembly";
}

// a +/- ((b << shift) + flag) over n words: the words, and the outflow that is added to
// (or still owed by) word n.
struct Outcome {
    Words words;
    std::uint64_t out;
    bool operator==(const Outcome&) const = default;
};

Outcome reference(Words a, const Words& b, unsigned shift, bool subtract, unsigned flag) {
    std::uint64_t carry = flag, spill = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::uint64_t moved = (std::uint64_t{b[i]} << shift) | spill;
        spill = moved >> 32;
        const std::uint64_t part = (moved & 0xFFFFFFFFu) + carry;
        if (subtract) {
            carry = a[i] < part ? 1 : 0;
            a[i] = static_cast<std::uint32_t>(a[i] - part);
        } else {
            const std::uint64_t sum = a[i] + part;
            a[i] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
    }
    return {a, carry + spill};
}

// Operands of n words: all zeros against all ones (every carry and borrow runs the whole
// length), the other way round, and random words.
std::vector<std::pair<Words, Words>> operandsOf(std::uint32_t n, std::mt19937& rng) {
    std::vector<std::pair<Words, Words>> pairs;
    for (const std::uint32_t fill : {0u, 0xFFFFFFFFu, 1u}) {
        Words a(n), b(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            a[i] = fill == 1 ? rng() : fill;
            b[i] = fill == 1 ? rng() : ~fill;
        }
        pairs.emplace_back(a, b);
    }
    return pairs;
}

TEST(Kernels, AddAndSubtractAtEveryShiftAndLength) {
    std::mt19937 rng(1208);
    forEachPath([&rng](auto tag) {
        constexpr Path path = decltype(tag)::value;
        for (std::uint32_t n = 1; n <= 44; ++n) {
            for (const auto& [a, b] : operandsOf(n, rng)) {
                for (unsigned s = 0; s < 32; ++s) {
                    Outcome sum{a, 0}, difference{a, 0};
                    sum.out = kernels::addShiftedInto<path>(sum.words.data(), b.data(), n, s);
                    difference.out =
                        kernels::subtractShiftedFrom<path>(difference.words.data(), b.data(), n, s);
                    ASSERT_EQ(sum, reference(a, b, s, false, 0))
                        << name(path) << " n=" << n << " s=" << s;
                    ASSERT_EQ(difference, reference(a, b, s, true, 0))
                        << name(path) << " n=" << n << " s=" << s;
                }
                for (const unsigned char flag : {0, 1}) {
                    Outcome sum{a, 0}, difference{a, 0};
                    sum.out = kernels::addInto<path>(sum.words.data(), b.data(), n, flag);
                    difference.out =
                        kernels::subtractFrom<path>(difference.words.data(), b.data(), n, flag);
                    ASSERT_EQ(sum, reference(a, b, 0, false, flag)) << name(path) << " n=" << n;
                    ASSERT_EQ(difference, reference(a, b, 0, true, flag))
                        << name(path) << " n=" << n;
                }
            }
        }
    });
}

// copyShifted writes b << s as n + 1 words and nothing past them: a guard word after them
// keeps its value, for every length (odd and even) and shift.
TEST(Kernels, CopyShiftedStopsAtItsLastWord) {
    std::mt19937 rng(1209);
    constexpr std::uint32_t GUARD = 0x5EA1ED0Du;
    for (std::uint32_t n = 1; n <= 20; ++n) {
        for (const auto& [a, b] : operandsOf(n, rng)) {
            for (unsigned s = 1; s < 32; ++s) {
                Words copy(n + 2, GUARD);
                kernels::copyShifted(copy.data(), b.data(), n, s);
                const Outcome expected = reference(Words(n, 0), b, s, false, 0);
                ASSERT_EQ(Words(copy.begin(), copy.begin() + n), expected.words) << n << " " << s;
                ASSERT_EQ(copy[n], expected.out) << n << " " << s;
                ASSERT_EQ(copy[n + 1], GUARD) << "written past the end: n=" << n << " s=" << s;
            }
        }
    }
}

// a times 5^steps, a word at a time; the outflow is what leaves word n-1.
Outcome timesFiveReference(Words a, unsigned steps) {
    std::uint64_t out = 0;
    for (unsigned k = 0; k < steps; ++k) {
        std::uint64_t carry = 0;
        for (auto& word : a) {
            const std::uint64_t product = std::uint64_t{word} * 5 + carry;
            word = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
        out = out * 5 + carry;
    }
    return {a, out};
}

// Print's passes of times five, and their exact inverse.
TEST(Kernels, TimesFiveAndItsInverse) {
    std::mt19937 rng(1210);
    forEachPath([&rng](auto tag) {
        constexpr Path path = decltype(tag)::value;
        for (std::uint32_t n = 1; n <= 44; ++n) {
            for (const auto& [a, b] : operandsOf(n, rng)) {
                for (const Words& x : {a, b}) {
                    Outcome one{x, 0}, two{x, 0}, four{x, 0};
                    one.out = kernels::timesFives<1, path>(one.words.data(), n);
                    two.out = kernels::timesFives<2, path>(two.words.data(), n);
                    four.out = kernels::timesFives<4, path>(four.words.data(), n);
                    ASSERT_EQ(one, timesFiveReference(x, 1)) << name(path) << " n=" << n;
                    ASSERT_EQ(two, timesFiveReference(x, 2)) << name(path) << " n=" << n;
                    ASSERT_EQ(four, timesFiveReference(x, 4)) << name(path) << " n=" << n;
                    // 625 x with its outflow as a word more, divided by 625 again.
                    Words product = four.words;
                    product.push_back(static_cast<std::uint32_t>(four.out));
                    auto count = static_cast<std::uint32_t>(product.size());
                    count = kernels::exactFifths<4>(product.data(), count);
                    Words back = x;
                    while (!back.empty() && back.back() == 0)
                        back.pop_back();
                    ASSERT_EQ(Words(product.begin(), product.begin() + count), back) << n;
                }
            }
        }
    });
}

// A 96-bit sum added in at every place below the top of runs of all-ones words: the carry
// out of each of its three words runs on, up to the end of the words.
TEST(Kernels, WideSumsCarryThroughEveryWord) {
    for (std::uint32_t n = 3; n <= 8; ++n) {
        for (const std::uint64_t low :
             {std::uint64_t{1}, ~std::uint64_t{0}, std::uint64_t{1} << 32}) {
            for (const std::uint64_t high :
                 {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{0xFFFFFFFF}}) {
                for (std::uint32_t ones = 0; ones <= n; ++ones) {
                    Words a(n, 0);
                    for (std::uint32_t i = 0; i < ones; ++i)
                        a[i] = 0xFFFFFFFFu;
                    Words b(n, 0);
                    b[0] = static_cast<std::uint32_t>(low);
                    b[1] = static_cast<std::uint32_t>(low >> 32);
                    b[2] = static_cast<std::uint32_t>(high);
                    Words sum = a;
                    kernels::addWide(sum.data(), n, low, high);
                    ASSERT_EQ(sum, reference(a, b, 0, false, 0).words)
                        << "n=" << n << " ones=" << ones << " low=" << low << " high=" << high;
                }
            }
        }
    }
}

}  // namespace
}  // namespace VELD
