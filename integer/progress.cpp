#include "integer/progress.h"

#include <algorithm>
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

// The integral of logFactorial.
double integralOfLength(double x) {
    return x * x * (std::log(x) / 2 - 0.75);
}

}  // namespace

double rangeProduct(double low, double f) {
    low = low < 1 ? 1 : low;
    if (f <= low) return 0;
    const double start = logFactorial(low);
    // Factors of x go k to a group where x^(k-1) < 2^32 <= x^k: below 2^(32/(k-1)) and
    // from 2^(32/k) on. Each such stretch of factors is summed at 1/k of a group a factor.
    double work = 0;
    for (int k = 1; k <= 32; ++k) {
        const double from = std::max(low, k == 32 ? 1.0 : std::exp2(32.0 / k));
        const double to = k == 1 ? f : std::min(f, std::exp2(32.0 / (k - 1)));
        if (to <= from) continue;
        work += (integralOfLength(to) - integralOfLength(from) - start * (to - from)) / k;
    }
    return work;
}

}  // namespace cost

}  // namespace VELD
