// Products of ranges, factorial and the binomial coefficient.
#include <utility>

#include "integer/integer.h"
#include "integer/limits.h"
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
    while (factor <= last) {
        if (partial.getLength() <= 1) {
            partial *= factor;
        } else {
            accumulator *= partial;
            partial = factor;
        }
        factor++;
    }
    accumulator *= partial;
    return accumulator;
}

Integer Integer::factorial() const {
    if (isNegative()) throw Exception("Integer::factorial() - Factorial of a negative number.");
    refuseImpossibleFactorial(*this);
    if (isZero()) return Integer(1);
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
    Integer divisor = smaller.factorial();
    if (smaller.isZero()) return Rational(Integer(1), std::move(divisor));
    return Rational(rangeProduct(first, *this), std::move(divisor));
}

}  // namespace VELD
