#include "integer/progress.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstddef>

#include "integer/kernels.h"

namespace VELD {

Progress progress;
double (*stepClock)() = nullptr;

const char* stepName(Step step) {
    // In the order of Step, none first.
    static constexpr const char* NAMES[] = {"",         "factorial", "choose",
                                            "power",    "product",   "quotient",
                                            "reducing", "printing",  "reading"};
    return NAMES[static_cast<std::size_t>(step)];
}

const KernelPace& kernelPace() {
    static const KernelPace pace = [] {
        // Words enough for a pass to take a microsecond or more, few enough to stay in the
        // cache: the kernels' own speeds, not the memory's. Each kernel runs a few passes
        // in a row, twice over, and keeps its best: a pass slowed by anything else the
        // machine does is passed over.
        constexpr std::uint32_t WORDS = 4096;
        constexpr int ROUNDS = 2, PASSES = 8;
        static kernels::Word a[WORDS + 8], b[WORDS + 8];
        std::uint32_t seed = 12345;
        for (std::uint32_t i = 0; i < WORDS; ++i) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            a[i] = seed;
            b[i] = seed >> 1;
        }
        auto timed = [](double& best, auto pass) {
            for (int k = 0; k < PASSES; ++k) {
                const auto start = std::chrono::steady_clock::now();
                pass();
                const std::chrono::duration<double, std::nano> took =
                    std::chrono::steady_clock::now() - start;
                best = std::min(best, took.count() / WORDS);
            }
        };
        KernelPace best{1e300, 1e300, 1e300};
        for (int round = 0; round < ROUNDS; ++round) {
            timed(best.timesFourFives, [] { kernels::timesFives<4>(a, WORDS); });
            timed(best.fourFifths, [] { kernels::exactFifths<4>(a, WORDS); });
            timed(best.shiftedSubtraction,
                  [] { kernels::combineShiftedInto<true>(a, b, WORDS, 7); });
        }
        return best;
    }();
    return pace;
}

namespace cost {

namespace {

// ln(1 * 2 * ... * x) by Stirling, x ln x - x: the accumulator's length after factor x.
double logFactorial(double x) {
    return x * std::log(x) - x;
}

// The most factors a group can take: of 2 (1 is no factor to count).
constexpr int GROUP_SIZES = 32;

// The integral of logFactorial.
double integralOfLength(double x) {
    return x * x * (std::log(x) / 2 - 0.75);
}

}  // namespace

double rangeProduct(double low, double from, double to) {
    low = low < 1 ? 1 : low;
    from = from < low ? low : from;
    if (to <= from) return 0;
    // Factors of x go k to a group where x^(k-1) < 2^32 <= x^k: from EDGE[k] = 2^(32/k) up
    // to EDGE[k-1]. Each such stretch is summed at 1/k of a group a factor, from the one
    // that holds `from` on.
    static const auto EDGE = [] {
        std::array<double, GROUP_SIZES + 1> edge{};
        edge[0] = HUGE_VAL;
        for (int k = 1; k <= GROUP_SIZES; ++k)
            edge[k] = k == GROUP_SIZES ? 1 : std::exp2(32.0 / k);
        return edge;
    }();
    const double start = logFactorial(low);
    int k = GROUP_SIZES;
    while (k > 1 && EDGE[k - 1] <= from)
        --k;
    double work = 0;
    for (double at = from; at < to; at = EDGE[--k]) {
        const double end = std::min(to, EDGE[k - 1]);
        work += (integralOfLength(end) - integralOfLength(at) - start * (end - at)) / k;
        if (k == 1) break;
    }
    return work;
}

}  // namespace cost

}  // namespace VELD
