// GMP as the oracle: conversions between Integer and mpz_class, operands of the shapes
// that break word arithmetic, and the normal-form check.
#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "integer/integer.h"

namespace VELD::testing {

inline mpz_class toMpz(const Integer& x) {
    mpz_class result;
    if (x.getLength() > 0) {
        mpz_import(result.get_mpz_t(), x.getLength(), -1, sizeof(std::uint32_t), 0, 0,
                   x.getWords());
    }
    return x.isNegative() ? mpz_class(-result) : result;
}

inline Integer fromMpz(const mpz_class& x) {
    std::vector<std::uint32_t> words(mpz_sizeinbase(x.get_mpz_t(), 2) / 32 + 1);
    std::size_t count = 0;
    mpz_export(words.data(), &count, -1, sizeof(std::uint32_t), 0, 0, x.get_mpz_t());
    return Integer::fromWords(words.data(), static_cast<std::uint32_t>(count), sgn(x) < 0);
}

// True when x is in normal form: no high zero word, and zero without array or sign.
inline bool isNormal(const Integer& x) {
    if (x.getLength() == 0) return x.getWords() == nullptr && x.getNegativeFlag() == 0;
    return x.getWords()[x.getLength() - 1] != 0 &&
           (x.getNegativeFlag() == 0 || x.getNegativeFlag() == 1);
}

// A decimal numeral of any length.
inline mpz_class big(const char* text) {
    return mpz_class(text, 10);
}

inline mpz_class power2(unsigned long k) {
    mpz_class x;
    mpz_ui_pow_ui(x.get_mpz_t(), 2, k);
    return x;
}

// Operands that stress carries and borrows: runs of all-ones and all-zero words, single
// powers of two and their neighbours, and plain random words, of 0 to maxWords words.
class OperandSource {
public:
    explicit OperandSource(std::uint64_t seed) : rng(seed) {}

    mpz_class next(unsigned maxWords) {
        const unsigned count = pick(0, maxWords);
        std::vector<std::uint32_t> words(count);
        const unsigned shape = pick(0, 5);
        for (unsigned i = 0; i < count; ++i) {
            switch (shape) {
                case 0:
                    words[i] = 0xFFFFFFFFu;
                    break;
                case 1:
                    words[i] = pick(0, 3) == 0 ? 0 : 0xFFFFFFFFu;
                    break;
                case 2:
                    words[i] = i + 1 == count ? 1u << pick(0, 31) : 0;
                    break;
                default:
                    words[i] = static_cast<std::uint32_t>(rng());
                    break;
            }
        }
        mpz_class value;
        if (count > 0) mpz_import(value.get_mpz_t(), count, -1, 4, 0, 0, words.data());
        if (shape == 2 && count > 0)
            value += static_cast<long>(pick(0, 2)) - 1;  // 2^k - 1, 2^k, 2^k + 1
        return pick(0, 1) == 0 ? mpz_class(-value) : value;
    }

    unsigned pick(unsigned low, unsigned high) {
        return std::uniform_int_distribution<unsigned>(low, high)(rng);
    }

private:
    std::mt19937_64 rng;
};

}  // namespace VELD::testing
