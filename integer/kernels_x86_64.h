// The assembly path of the word kernels (see kernels.h), for x86-64 with GCC or clang:
// the long loops of the aligned and shifted additions and subtractions, and of print's
// four stages of times five. Included by kernels.h only, where EXACTCALC_ASM is set.
//
// Why assembly: a chain of add-with-carry (or subtract-with-borrow) instructions passes
// its carry in the processor's carry flag (CF) from one 64-bit chunk to the next. The
// compiler cannot keep CF alive across a loop's back-branch or across the shifts that
// form a shifted chunk, so it saves and restores it on every chunk, on the chain that
// every chunk waits for. Here each loop does four chunks a step and keeps CF where it can.
//
// Every block states its contract:
//   reads / writes   the memory it touches;
//   registers        what its operands hold (the compiler picks the registers);
//   clobbers         what it changes besides its operands;
//   flag             how CF travels, and which instructions between two uses of it
//                    leave it alone.
// Two idioms recur. `addb $0xff, flag` turns a carry byte (0 or 1) back into CF: 0xff + 1
// carries out of the byte, 0xff + 0 does not. `setc flag` saves CF into the byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "integer/tens.h"

namespace VELD::kernels {

namespace x86_64 {

// clang-format off

// a[0..8 steps) += (adcq) or -= (sbbq) b[0..8 steps), steps > 0.
//   reads      a[0..8 steps), b[0..8 steps)
//   writes     a[0..8 steps)
//   registers  a, b: the current step's words, advanced 32 bytes a step; steps: the count
//              left; flag: the carry byte in and out; d0-d3: a's four chunks
//   clobbers   flags, memory
//   flag       CF is set from `flag` once, before the loop, and saved once, after it.
//              Between the last op of one step and the first of the next run only movq,
//              leaq and decl, none of which writes CF; jnz reads ZF only.
// The loop, written out:
//     CF = flag
//   1: d0..d3 = a[0..8) as four chunks
//     d0 op= b chunk 0 with CF, d1 op= chunk 1, d2 op= chunk 2, d3 op= chunk 3
//     a[0..8) = d0..d3;  a += 32 bytes;  b += 32 bytes
//     if (--steps != 0) goto 1
//     flag = CF
#define VELD_ALIGNED_LOOP(op)                                                                 \
    asm volatile(                                                                             \
        "addb $0xff, %[flag]\n\t"                                                             \
        "1:\n\t"                                                                              \
        "movq (%[a]), %[d0]\n\t"                                                              \
        "movq 8(%[a]), %[d1]\n\t"                                                             \
        "movq 16(%[a]), %[d2]\n\t"                                                            \
        "movq 24(%[a]), %[d3]\n\t"                                                            \
        op " (%[b]), %[d0]\n\t"                                                               \
        op " 8(%[b]), %[d1]\n\t"                                                              \
        op " 16(%[b]), %[d2]\n\t"                                                             \
        op " 24(%[b]), %[d3]\n\t"                                                             \
        "movq %[d0], (%[a])\n\t"                                                              \
        "movq %[d1], 8(%[a])\n\t"                                                             \
        "movq %[d2], 16(%[a])\n\t"                                                            \
        "movq %[d3], 24(%[a])\n\t"                                                            \
        "leaq 32(%[a]), %[a]\n\t"                                                             \
        "leaq 32(%[b]), %[b]\n\t"                                                             \
        "decl %[steps]\n\t"                                                                   \
        "jnz 1b\n\t"                                                                          \
        "setc %[flag]"                                                                        \
        : [a] "+r"(a), [b] "+r"(b), [steps] "+r"(steps), [flag] "+q"(flag), [d0] "=&r"(d0),   \
          [d1] "=&r"(d1), [d2] "=&r"(d2), [d3] "=&r"(d3)                                      \
        :                                                                                     \
        : "cc", "memory")

template <bool subtract>
inline void alignedLoop(std::uint32_t* a, const std::uint32_t* b, std::uint32_t steps,
                        unsigned char& flag) {
    std::uint64_t d0, d1, d2, d3;
    if constexpr (subtract) {
        VELD_ALIGNED_LOOP("sbbq");
    } else {
        VELD_ALIGNED_LOOP("adcq");
    }
}
#undef VELD_ALIGNED_LOOP

// a[0..8 steps) += (adcq) or -= (sbbq) the chunks of b[0..8 steps) << shift, steps > 0.
// The shift is an immediate, so there is one function per shift (shiftedLoopBy below):
// shldq by %cl, and adding into memory directly, each take measurably longer.
//   reads      a[0..8 steps), b[0..8 steps)
//   writes     a[0..8 steps)
//   registers  a, b, steps as above; below: the chunk below the step's first (unshifted),
//              in and out; flag: the carry byte in and out; c0-c3: the step's four
//              shifted chunks; d0-d3: a's four chunks
//   clobbers   flags, memory
//   flag       shldq writes CF, so each step forms its four shifted chunks first, then
//              restores CF from `flag`, runs its four ops and saves CF again: one restore
//              and one save a step, not a chunk.
// The loop, written out:
//   1: c0..c3 = b[0..8) as four chunks, each shifted left by `shift` with the top bits of
//              the chunk below it (for c0, `below`) coming in
//     below = b chunk 3
//     d0..d3 = a[0..8) as four chunks
//     CF = flag;  d0 op= c0 with CF, d1 op= c1, d2 op= c2, d3 op= c3;  flag = CF
//     a[0..8) = d0..d3;  a += 32 bytes;  b += 32 bytes
//     if (--steps != 0) goto 1
#define VELD_SHIFTED_LOOP(op)                                                                 \
    asm volatile(                                                                             \
        "1:\n\t"                                                                              \
        "movq (%[b]), %[c0]\n\t"                                                              \
        "movq 8(%[b]), %[c1]\n\t"                                                             \
        "movq 16(%[b]), %[c2]\n\t"                                                            \
        "movq 24(%[b]), %[c3]\n\t"                                                            \
        "shldq %[s], %[c2], %[c3]\n\t"                                                        \
        "shldq %[s], %[c1], %[c2]\n\t"                                                        \
        "shldq %[s], %[c0], %[c1]\n\t"                                                        \
        "shldq %[s], %[below], %[c0]\n\t"                                                     \
        "movq 24(%[b]), %[below]\n\t"                                                         \
        "movq (%[a]), %[d0]\n\t"                                                              \
        "movq 8(%[a]), %[d1]\n\t"                                                             \
        "movq 16(%[a]), %[d2]\n\t"                                                            \
        "movq 24(%[a]), %[d3]\n\t"                                                            \
        "addb $0xff, %[flag]\n\t"                                                             \
        op " %[c0], %[d0]\n\t"                                                                \
        op " %[c1], %[d1]\n\t"                                                                \
        op " %[c2], %[d2]\n\t"                                                                \
        op " %[c3], %[d3]\n\t"                                                                \
        "setc %[flag]\n\t"                                                                    \
        "movq %[d0], (%[a])\n\t"                                                              \
        "movq %[d1], 8(%[a])\n\t"                                                             \
        "movq %[d2], 16(%[a])\n\t"                                                            \
        "movq %[d3], 24(%[a])\n\t"                                                            \
        "leaq 32(%[a]), %[a]\n\t"                                                             \
        "leaq 32(%[b]), %[b]\n\t"                                                             \
        "decl %[steps]\n\t"                                                                   \
        "jnz 1b"                                                                              \
        : [a] "+r"(a), [b] "+r"(b), [steps] "+r"(steps), [below] "+r"(below),                 \
          [flag] "+q"(flag), [c0] "=&r"(c0), [c1] "=&r"(c1), [c2] "=&r"(c2), [c3] "=&r"(c3),  \
          [d0] "=&r"(d0), [d1] "=&r"(d1), [d2] "=&r"(d2), [d3] "=&r"(d3)                      \
        : [s] "i"(shift)                                                                      \
        : "cc", "memory")

template <bool subtract, unsigned shift>
void shiftedLoop(std::uint32_t* a, const std::uint32_t* b, std::uint32_t steps,
                 std::uint64_t& below, unsigned char& flag) {
    std::uint64_t c0, c1, c2, c3, d0, d1, d2, d3;
    if constexpr (subtract) {
        VELD_SHIFTED_LOOP("sbbq");
    } else {
        VELD_SHIFTED_LOOP("adcq");
    }
}
#undef VELD_SHIFTED_LOOP

// a[0..8 steps) through four stages of TimesFiveStage (x + (x << 2), with the two bits from the
// chunk below and the stage's carry), each chunk through all four in turn, steps > 0.
//   reads      a[0..8 steps); stage[0..4), each stage's chunk below (offset 0) and carry
//              byte (offset 8)
//   writes     a[0..8 steps); stage[0..4), as the stages leave them
//   registers  a, steps as above; stage: the four stages' state; x0-x3: the step's four
//              chunks, going through the stages; t0-t3: a stage's four chunks times four;
//              below: the stage's chunk below; carry: the stage's carry byte, loaded only
//              to be turned into CF
//   clobbers   flags, memory
//   flag       each stage forms its four shifted chunks first (shldq writes CF), then
//              sets CF from its carry byte, runs its four adcq and saves CF into the byte:
//              a stage's carry stays in CF across the four chunks of a step.
// The loop, written out:
//   1: x0..x3 = a[0..8) as four chunks
//     for each stage k of 4 (written out four times, VELD_FIVE_STAGE(k)):
//       t0..t3 = x0..x3 shifted left by 2, each with the top two bits of the chunk below
//                it (for t0, the stage's `below`) coming in
//       stage k below = x3
//       CF = stage k carry;  x0 += t0 with CF, x1 += t1, x2 += t2, x3 += t3;
//       stage k carry = CF
//     a[0..8) = x0..x3;  a += 32 bytes
//     if (--steps != 0) goto 1
#define VELD_FIVE_STAGE(k)                                                                    \
        "movq " #k "*16(%[stage]), %[below]\n\t"                                              \
        "movq %[x0], %[t0]\n\t"                                                               \
        "movq %[x1], %[t1]\n\t"                                                               \
        "movq %[x2], %[t2]\n\t"                                                               \
        "movq %[x3], %[t3]\n\t"                                                               \
        "shldq $2, %[x2], %[t3]\n\t"                                                          \
        "shldq $2, %[x1], %[t2]\n\t"                                                          \
        "shldq $2, %[x0], %[t1]\n\t"                                                          \
        "shldq $2, %[below], %[t0]\n\t"                                                       \
        "movq %[x3], " #k "*16(%[stage])\n\t"                                                 \
        "movb " #k "*16+8(%[stage]), %[carry]\n\t"                                            \
        "addb $0xff, %[carry]\n\t"                                                            \
        "adcq %[t0], %[x0]\n\t"                                                               \
        "adcq %[t1], %[x1]\n\t"                                                               \
        "adcq %[t2], %[x2]\n\t"                                                               \
        "adcq %[t3], %[x3]\n\t"                                                               \
        "setc " #k "*16+8(%[stage])\n\t"

inline void timesFourFivesLoop(std::uint32_t* a, std::uint32_t steps, TimesFiveStage* stage) {
    static_assert(sizeof(TimesFiveStage) == 16 && offsetof(TimesFiveStage, carry) == 8);
    std::uint64_t x0, x1, x2, x3, t0, t1, t2, t3, below;
    unsigned char carry;
    asm volatile(
        "1:\n\t"
        "movq (%[a]), %[x0]\n\t"
        "movq 8(%[a]), %[x1]\n\t"
        "movq 16(%[a]), %[x2]\n\t"
        "movq 24(%[a]), %[x3]\n\t"
        VELD_FIVE_STAGE(0)
        VELD_FIVE_STAGE(1)
        VELD_FIVE_STAGE(2)
        VELD_FIVE_STAGE(3)
        "movq %[x0], (%[a])\n\t"
        "movq %[x1], 8(%[a])\n\t"
        "movq %[x2], 16(%[a])\n\t"
        "movq %[x3], 24(%[a])\n\t"
        "leaq 32(%[a]), %[a]\n\t"
        "decl %[steps]\n\t"
        "jnz 1b"
        : [a] "+r"(a), [steps] "+r"(steps), [x0] "=&r"(x0), [x1] "=&r"(x1), [x2] "=&r"(x2),
          [x3] "=&r"(x3), [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3),
          [below] "=&r"(below), [carry] "=&q"(carry)
        : [stage] "r"(stage)
        : "cc", "memory");
}
#undef VELD_FIVE_STAGE

// clang-format on

template <bool subtract, unsigned... shifts>
constexpr auto shiftedLoopTable(std::integer_sequence<unsigned, shifts...>) {
    using Loop = void (*)(std::uint32_t*, const std::uint32_t*, std::uint32_t, std::uint64_t&,
                          unsigned char&);
    return std::array<Loop, sizeof...(shifts)>{&shiftedLoop<subtract, shifts>...};
}

// shiftedLoop for each shift from 0 to 31.
template <bool subtract>
inline constexpr auto shiftedLoopBy =
    shiftedLoopTable<subtract>(std::make_integer_sequence<unsigned, 32>{});

}  // namespace x86_64

// The assembly path's long loops, as Steps in kernels.h describes them.
template <>
struct Steps<Path::assembly> {
    template <bool subtract>
    static std::uint32_t aligned(Word* a, const Word* b, std::uint32_t n, unsigned char& flag) {
        if (n < 8) return 0;
        x86_64::alignedLoop<subtract>(a, b, n / 8, flag);
        return n / 8 * 8;
    }
    template <bool subtract>
    static std::uint32_t shifted(Word* a, const Word* b, std::uint32_t n, unsigned shift,
                                 std::uint64_t& below, unsigned char& flag) {
        if (n < 8) return 0;
        x86_64::shiftedLoopBy<subtract>[shift](a, b, n / 8, below, flag);
        return n / 8 * 8;
    }
    static std::uint32_t timesFourFives(Word* a, std::uint32_t n, TimesFiveStage* stage) {
        if (n < 8) return 0;
        x86_64::timesFourFivesLoop(a, n / 8, stage);
        return n / 8 * 8;
    }
};

}  // namespace VELD::kernels
