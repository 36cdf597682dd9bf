// Products of ranges, factorial and the binomial coefficient.
#include <utility>

#include "integer/integer.h"
#include "integer/limits.h"
#include "integer/progress.h"
#include "rational/rational.h"

namespace VELD {

// Factors are gathered into a partial product while it fits one word; the long
// accumulator is multiplied once per group, by the group that has just outgrown a word.
Integer rangeProduct(const Integer& low, const Integer& high) {
    const bool exchanged = low > high;
    const Integer& first = exchanged ? high : low;
    const Integer& last = exchanged ? low : high;
    Integer accumulator(1);
    Integer partial(first);
    Integer factor(first);
    factor++;
    // Each group's product is an operation of the step that called (cost::rangeProduct),
    // counted while the factors fit 64 bits.
    const bool counted = watching() && last.fitsRegister();
    const double bottom = counted ? static_cast<double>(first.magnitude()) : 0;
    double groupStart = bottom;
    auto nextGroup = [&](double end) {
        progress.next(cost::rangeProduct(bottom, groupStart, end));
        groupStart = end;
    };
    while (factor <= last) {
        if (partial.view().length <= 1) {
            partial *= factor;
        } else {
            if (counted) nextGroup(static_cast<double>(factor.magnitude() - 1));
            accumulator *= partial;
            partial = factor;
        }
        factor++;
    }
    if (counted) nextGroup(static_cast<double>(last.magnitude()));
    accumulator *= partial;
    return accumulator;
}

Integer Integer::factorial() const {
    if (isNegative()) throw Exception("Integer::factorial() - Factorial of a negative number.");
    refuseImpossibleFactorial(*this);
    if (isZero()) return Integer(1);
    const bool counted = fitsRegister() && magnitude() >= WATCHED_FACTORS;
    const ProgressStep step(counted ? Step::factorial : Step::none,
                            counted ? cost::rangeProduct(1, static_cast<double>(magnitude())) : 0);
    return rangeProduct(Integer(1), *this);
}

// n choose k = (max+1) * ... * n / min!, where min and max are the smaller and the larger
// of k and n - k, so both the product and the factorial have min factors.
Rational Integer::choose(const Integer& k) const {
    if (*this < k) throw Exception("Integer::choose() - 'n' is less than 'k' in 'n choose k'.");
    if (k.isNegative()) throw Exception("Integer::choose() - 'k' is negative in 'n choose k'.");
    const Integer rest = *this - k;
    Integer twiceK(k);
    twiceK.shiftLeftOne();
    const bool kIsSmaller = twiceK < *this;
    const Integer& smaller = kIsSmaller ? k : rest;
    Integer first(kIsSmaller ? rest : k);
    first++;
    // The product's size is known before any factor is multiplied: one that cannot be held
    // is refused at once, as the factorial below refuses its own.
    refuseImpossibleRange(first, smaller);
    Integer divisor;
    Integer product;
    {
        // The factorial comes first, then the product; the reduction after them is a
        // step of its own.
        const bool counted = fitsRegister() && smaller.magnitude() >= WATCHED_FACTORS;
        const double factorialCost =
            counted ? cost::rangeProduct(1, static_cast<double>(smaller.magnitude())) : 0;
        const double productCost = counted
                                       ? cost::rangeProduct(static_cast<double>(first.magnitude()),
                                                            static_cast<double>(magnitude()))
                                       : 0;
        const ProgressStep step(counted ? Step::choose : Step::none, factorialCost + productCost);
        divisor = smaller.factorial();
        if (smaller.isZero()) return Rational(Integer(1), std::move(divisor));
        if (step.owns()) progress.next(0);
        product = rangeProduct(first, *this);
    }
    return Rational(std::move(product), std::move(divisor));
}

}  // namespace VELD
