// Exact fractions: construction with reduction, arithmetic from full products, power,
// conversion to a whole number and printing.
#include "rational/rational.h"

#include "integer/limits.h"
#include "integer/progress.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace VELD {

namespace {

constexpr const char* ZERO_DENOMINATOR = "Rational::Rational() - Zero denominator,";

}  // namespace

Rational::Rational(Integer value) : numerator(std::move(value)), denominator(1) {}

Rational::Rational(const Integer& numerator, const Integer& denominator) {
    if (denominator.isZero()) throw Exception(ZERO_DENOMINATOR);
    this->numerator = numerator;
    this->denominator = denominator;
    reduce();
}

Rational::Rational(Integer&& numerator, Integer&& denominator) {
    if (denominator.isZero()) throw Exception(ZERO_DENOMINATOR);
    this->numerator = std::move(numerator);
    this->denominator = std::move(denominator);
    reduce();
}

void Rational::reduce() {
    const Integer divisor = gcd(numerator, denominator);
    Integer remainder = numerator.integerDivision(divisor);
    if (remainder.isZero()) remainder = denominator.integerDivision(divisor);
    if (!remainder.isZero()) {
        throw Exception(
            "Rational::reduce() - Nonzero remainder though greatest common divisor was used.");
    }
}

bool Rational::isNegative() const {
    return !numerator.isZero() && numerator.isNegative() != denominator.isNegative();
}

// Each result is reduced once, from the full products; nothing is cancelled first.
Rational Rational::operator+(const Rational& other) const {
    return Rational(numerator * other.denominator + other.numerator * denominator,
                    denominator * other.denominator);
}

Rational Rational::operator-(const Rational& other) const {
    return Rational(numerator * other.denominator - other.numerator * denominator,
                    denominator * other.denominator);
}

Rational Rational::operator*(const Rational& other) const {
    return Rational(numerator * other.numerator, denominator * other.denominator);
}

Rational Rational::operator/(const Rational& other) const {
    return Rational(numerator * other.denominator, denominator * other.numerator);
}

Rational Rational::power(const Integer& exponent) const {
    const bool reciprocal = exponent.isNegative();
    const Integer magnitude = exponent.abs();
    // When either part's power could not be held, the value is refused before any work.
    refuseImpossiblePower(numerator, magnitude);
    refuseImpossiblePower(denominator, magnitude);
    // Both parts' squares and products are the operations of one power step.
    // Only a power whose result is long is watched: its size is known from the bits.
    const bool counted =
        magnitude.fitsRegister() &&
        static_cast<double>(std::max(numerator.highestBit(), denominator.highestBit()) + 1) *
                static_cast<double>(magnitude.magnitude()) >=
            WATCHED_BITS;
    // A part of 0, 1 or -1 is raised at once (see Integer::power): it costs nothing.
    auto work = [&](const Integer& part) {
        return counted && part.highestBit() > 0
                   ? cost::power(static_cast<double>(part.highestBit() + 1), magnitude.magnitude())
                   : 0;
    };
    const ProgressStep step(counted ? Step::power : Step::none,
                            work(numerator) + work(denominator));
    Integer newDenominator = (reciprocal ? numerator : denominator).power(magnitude);
    Integer newNumerator = (reciprocal ? denominator : numerator).power(magnitude);
    return Rational(std::move(newNumerator), std::move(newDenominator));
}

Rational::operator Integer() const {
    if (!denominator.isMagnitudeOne()) {
        throw Exception("Rational::operator Integer() - Denominator is not 1.");
    }
    Integer value(numerator);
    if (isNegative() != value.isNegative()) value.negate();
    return value;
}

namespace {

// |x| printed: x itself when it is not negative, so that no copy is made.
std::int32_t printMagnitude(const Integer& x, char* buffer, std::uint32_t capacity) {
    return x.isNegative() ? x.abs().print(buffer, capacity) : x.print(buffer, capacity);
}

}  // namespace

std::int32_t Rational::print(char* buffer, std::uint32_t capacity) const {
    std::int64_t shortfall = 0;
    std::uint32_t position = 0;
    if (isNegative()) {
        if (capacity >= 2) {
            buffer[0] = '-';
            position = 1;
        } else {
            shortfall = 2 - capacity;
        }
    }
    shortfall += printMagnitude(numerator, buffer + position, capacity - position);
    if (!denominator.isMagnitudeOne()) {
        // The denominator follows whatever the numerator left, even its overflow notice.
        const void* end = std::memchr(buffer, '\0', capacity);
        const auto length = static_cast<std::uint32_t>(
            end != nullptr ? static_cast<const char*>(end) - buffer : capacity);
        if (std::uint64_t{length} + 3 < capacity) {
            std::memcpy(buffer + length, " / ", 4);
            position = length + 3;
        } else {
            shortfall += std::uint64_t{length} + 4 - capacity;
            position = length;
        }
        shortfall += printMagnitude(denominator, buffer + position, capacity - position);
    }
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(shortfall, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace VELD
