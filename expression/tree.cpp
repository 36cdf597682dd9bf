// Expression nodes: ownership, printing into bounded buffers, and right-first evaluation.
#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "expression/expression.h"
#include "expression/operators.h"

namespace VELD {

namespace {

std::int32_t clampShortfall(std::int64_t shortfall) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(shortfall, 1, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

Expression::~Expression() {}

std::int32_t printInfix(const Expression& left, std::string_view operatorText,
                        const Expression& right, char* buffer, std::uint32_t capacity) {
    std::int64_t shortfall = 0;
    std::uint32_t position = 0;  // equal to capacity once the buffer counts as full
    if (capacity == 1) {
        buffer[0] = '\0';  // no room for "(" and a NUL: keep the text terminated
        position = 1;
        shortfall = 1;
    } else if (capacity == 0) {
        shortfall = 1;
    } else {
        buffer[0] = '(';
        position = 1;
    }

    auto printOperand = [&](const Expression& operand) {
        // An operand that writes nothing must still leave the text terminated.
        if (position < capacity) buffer[position] = '\0';
        const std::int32_t missing = operand.print(buffer + position, capacity - position);
        if (missing == 0) {
            position += static_cast<std::uint32_t>(std::strlen(buffer + position));
        } else {
            shortfall += missing;
            position = capacity;
        }
    };

    printOperand(left);
    const std::size_t length = operatorText.size();
    if (position + length + 2 < capacity) {
        buffer[position] = ' ';
        std::memcpy(buffer + position + 1, operatorText.data(), length);
        buffer[position + length + 1] = ' ';
        position += static_cast<std::uint32_t>(length + 2);
    } else {
        shortfall += static_cast<std::int64_t>(length + 2);
        position = capacity;
    }
    printOperand(right);
    if (std::uint64_t{position} + 1 < capacity) {
        std::memcpy(buffer + position, ")", 2);
    } else {
        shortfall += 2;
    }
    return shortfall == 0 ? 0 : clampShortfall(shortfall);
}

IntegerExpression::IntegerExpression(Integer value) : value(std::move(value)) {}

IntegerExpression::IntegerExpression(Integer value, std::string_view digits)
    : value(std::move(value)), digits(digits) {}

IntegerExpression::~IntegerExpression() = default;

// The kept digits when they and their NUL fit; otherwise the value's own print, which
// writes the same digits or the same cut notice.
std::int32_t IntegerExpression::print(char* buffer, std::uint32_t capacity) const {
    if (digits.empty() || digits.size() >= capacity) return value.print(buffer, capacity);
    std::memcpy(buffer, digits.data(), digits.size());
    buffer[digits.size()] = '\0';
    return 0;
}

Rational IntegerExpression::evaluate() const {
    return Rational(value);
}

template <Operation operation>
BinaryExpression<operation>::BinaryExpression(std::unique_ptr<Expression>&& left,
                                              std::unique_ptr<Expression>&& right) noexcept
    : left(std::move(left)), right(std::move(right)) {}

template <Operation operation>
BinaryExpression<operation>::~BinaryExpression() {
    left.reset();
    right.reset();
}

template <Operation operation>
std::int32_t BinaryExpression<operation>::print(char* buffer, std::uint32_t capacity) const {
    return printInfix(*left, operatorText(operation), *right, buffer, capacity);
}

// The right operand is evaluated first, and for "^" and "choose" also made a whole number
// before the left one is touched, so of two faulty operands the right one's fault is
// reported.
template <Operation operation>
Rational BinaryExpression<operation>::evaluate() const {
    const Rational rightValue = right->evaluate();
    if constexpr (operation == Operation::power) {
        const auto exponent = static_cast<Integer>(rightValue);
        return left->evaluate().power(exponent);
    } else if constexpr (operation == Operation::choose) {
        const auto k = static_cast<Integer>(rightValue);
        const auto n = static_cast<Integer>(left->evaluate());
        return n.choose(k);
    } else {
        const Rational leftValue = left->evaluate();
        if constexpr (operation == Operation::add) return leftValue + rightValue;
        if constexpr (operation == Operation::subtract) return leftValue - rightValue;
        if constexpr (operation == Operation::multiply) return leftValue * rightValue;
        if constexpr (operation == Operation::divide) return leftValue / rightValue;
    }
}

template class BinaryExpression<Operation::add>;
template class BinaryExpression<Operation::subtract>;
template class BinaryExpression<Operation::multiply>;
template class BinaryExpression<Operation::divide>;
template class BinaryExpression<Operation::choose>;
template class BinaryExpression<Operation::power>;

FactorialExpression::FactorialExpression(std::unique_ptr<Expression>&& operand) noexcept
    : operand(std::move(operand)) {}

FactorialExpression::~FactorialExpression() = default;

std::int32_t FactorialExpression::print(char* buffer, std::uint32_t capacity) const {
    if (capacity < 2) return clampShortfall(std::int64_t{operand->print(buffer, 0)} + 4 - capacity);
    buffer[0] = '(';
    buffer[1] = '\0';  // terminated even if the operand writes nothing
    const std::int32_t missing = operand->print(buffer + 1, capacity - 1);
    if (missing != 0) return clampShortfall(std::int64_t{missing} + 1);
    const std::size_t length = std::strlen(buffer);
    if (length + 2 < capacity) {
        std::memcpy(buffer + length, "!)", 3);
        return 0;
    }
    return clampShortfall(static_cast<std::int64_t>(length) + 3 - capacity);
}

Rational FactorialExpression::evaluate() const {
    const auto n = static_cast<Integer>(operand->evaluate());
    return Rational(n.factorial());
}

}  // namespace VELD
