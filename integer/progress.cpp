#include "integer/progress.h"

#include <cmath>
#include <cstddef>

namespace VELD {

Progress progress;
double (*stepClock)() = nullptr;

const char* stepName(Step step) {
    // In the order of Step, none first.
    static constexpr const char* NAMES[] = {"",        "factorial", "choose",   "power",
                                            "product", "quotient",  "reducing", "printing"};
    return NAMES[static_cast<std::size_t>(step)];
}

namespace cost {

namespace {

// ln(1 * 2 * ... * x) by Stirling, x ln x - x: the accumulator's length after factor x.
double logFactorial(double x) {
    return x * std::log(x) - x;
}

// The integral of logFactorial(x) ln x, the accumulator's length times the groups a factor
// of x takes (each group fills a word: ln x / ln 2^32 of one per factor).
double integralOfLength(double x) {
    const double l = std::log(x);
    return x * x * (l * l / 2 - l + 0.5);
}

}  // namespace

double rangeProduct(double low, double f) {
    low = low < 1 ? 1 : low;
    if (f <= low) return 0;
    const double start = logFactorial(low);
    return integralOfLength(f) - integralOfLength(low) -
           start * ((f * std::log(f) - f) - (low * std::log(low) - low));
}

}  // namespace cost

}  // namespace VELD
