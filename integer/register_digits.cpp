#include "integer/register_digits.h"

#include <bit>

namespace VELD::printing {

// The block of n digits (1 to BLOCK) that r holds above the power of ten P, for
// r < 10^n P: the digits of r / P. They are found from windows of r and P taken at one bit
// offset, r's of 128 bits and P's of 64 (its top bits, or all of them), as print finds
// every digit: from the highest power of ten down, each digit is what the subtractions of
// 8, 4, 2 and 1 times the power take from the remainder, and the powers pw * 10^k are
// built up by steps of ten first. The digits are written to `out`.
//
// The window number w = floor(rw / pw) is r / P when P's window is all of P (`exact`).
// Otherwise P < (pw + 1) 2^offset and r >= rw 2^offset, so r >= w P is certain when what
// is left of rw, rw - w pw, is at least w; and r < (w + 1) P always, as the rest is
// below pw. When not certain, r / P is w or w - 1, with pw >= 2^63 and w < 2^54; a
// "digit" above 9 (rw >= 10^n pw) leaves r / P = 10^n - 1.
Block blockFromWindows(char* out, Wide rw, std::uint64_t pw, unsigned n, bool exact) {
    Wide powers[BLOCK];
    powers[0] = pw;
    for (unsigned k = 1; k < n; ++k)
        powers[k] = timesTen(powers[k - 1]);
    std::uint64_t value = 0;
    bool valid = true;
    for (unsigned k = n; k-- > 0;) {
        const unsigned digit = takeDigit(rw, powers[k]);
        valid = valid && digit <= 9;
        *out++ = static_cast<char>('0' + digit);
        value = timesTen(value) + digit;
    }
    if (!valid) return {TEN_POWERS[n] - 1, false};
    return {value, exact || rw >= value};
}

// product = f[0..n) * times, for n <= SHORT_POWER and times below 2^54: for each 64-bit
// chunk of f, its product by times in non-adjacent form (signedProduct) is summed on a
// pair of registers, with what the chunk below carried. Returns the count of product's
// words, high zeros dropped.
std::uint32_t wordsTimesRegister(std::uint32_t* product, const std::uint32_t* f, std::uint32_t n,
                                 kernels::SignedBits times) {
    std::uint64_t carried = 0;
    std::uint32_t i = 0;
    auto chunkTimes = [&](std::uint64_t x) {
        const Wide sum = kernels::signedProduct(x, times) + carried;
        carried = static_cast<std::uint64_t>(sum >> 64);
        return static_cast<std::uint64_t>(sum);
    };
    for (; i + 1 < n; i += 2)
        storePair(product + i, chunkTimes(loadPair(f + i)));
    const std::uint64_t top = chunkTimes(i < n ? f[i] : 0);
    storePair(product + i, top);
    if (i < n) product[i + 2] = static_cast<std::uint32_t>(carried);  // the rest: below 2^22
    return kernels::significantWords(product, i + (i < n ? 3 : 2));
}

WindowForm windowForm(std::uint64_t times) {
    WindowForm form;
    for (unsigned at = 0; times != 0; times >>= 3, at += 3) {
        const auto skip = static_cast<unsigned>(std::countr_zero(times));
        times >>= skip;
        at += skip;
        const std::uint64_t bit = std::uint64_t{1} << at;
        switch (times & 7) {  // times is odd: the digit leaves a multiple of 8
            case 1:
                form.plus[0] |= bit, times -= 1;
                break;
            case 3:
                form.plus[1] |= bit, times -= 3;
                break;
            case 5:
                form.minus[1] |= bit, times += 3;
                break;
            default:
                form.minus[0] |= bit, times += 1;
                break;
        }
    }
    return form;
}

}  // namespace VELD::printing
