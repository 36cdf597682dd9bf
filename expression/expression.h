#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "integer/integer.h"
#include "rational/rational.h"

namespace VELD {

// The code of an operator; operators.h maps it to and from its text.
enum class Operation : int {
    none = 0,
    add = 1,        // "+"
    subtract = 2,   // "-"
    multiply = 3,   // "*"
    divide = 4,     // "/"
    factorial = 5,  // "!", after its one operand
    choose = 6,     // "choose"
    power = 7,      // "^"
};

// A node of an expression tree. Each node owns its operands alone, and a tree is never
// changed after it is built: printing and evaluating only read it.
class Expression {
public:
    virtual ~Expression() = 0;
    // Writes the fully parenthesised text and a NUL. Returns 0 when all of it fitted,
    // otherwise a positive shortfall, having written the pieces that fitted.
    virtual std::int32_t print(char* buffer, std::uint32_t capacity) const = 0;
    // The exact value. Operands are evaluated right first.
    virtual Rational evaluate() const = 0;

    // Levels of parentheses a line may nest; one more is a fault. Parsing, printing,
    // evaluating and freeing a tree each recurse once a level, and this many levels stay
    // well within a stack of 8 MiB, also in a build with the sanitizers.
    static constexpr unsigned NESTING_LIMIT = 1000;

    // The tree of one line: at most one operator and two operands per level of
    // parentheses. Every malformed line raises the Exception that names its fault. A ")"
    // that closes no group ends the line's top level too, and what follows is not read.
    static std::unique_ptr<Expression> parse(const char* text);
    // The same, and `end` is set to the offset where the top level ended: the length of the
    // text, or a ")" that closes no group.
    static std::unique_ptr<Expression> parse(const char* text, std::size_t& end);
    // The length of the group that starts at the "(" at the start of text, through the
    // ")" that closes it.
    static std::size_t skipExpression(const char* text);
    // The node of an operation over its operands, which it owns from the call on.
    static std::unique_ptr<Expression> buildExpression(Operation operation,
                                                       std::unique_ptr<Expression> left,
                                                       std::unique_ptr<Expression> right);

    Expression(const Expression&) = delete;
    Expression& operator=(const Expression&) = delete;

protected:
    Expression() = default;
};

// A literal, written back as its value without leading zeros: the digits it was read from,
// which are that text, kept so that it is not made again from the value.
class IntegerExpression final : public Expression {
public:
    explicit IntegerExpression(Integer value);
    // `digits`: the literal's text without its leading zeros ("0" for zero).
    IntegerExpression(Integer value, std::string_view digits);
    ~IntegerExpression() override;
    std::int32_t print(char* buffer, std::uint32_t capacity) const override;
    Rational evaluate() const override;

private:
    Integer value;
    std::string digits;
};

// A two-operand node, written "(left op right)"; one class per operation.
template <Operation operation>
class BinaryExpression final : public Expression {
public:
    BinaryExpression(std::unique_ptr<Expression>&& left,
                     std::unique_ptr<Expression>&& right) noexcept;
    ~BinaryExpression() override;
    std::int32_t print(char* buffer, std::uint32_t capacity) const override;
    Rational evaluate() const override;

private:
    std::unique_ptr<Expression> left;
    std::unique_ptr<Expression> right;
};

using AddExpression = BinaryExpression<Operation::add>;
using SubtractExpression = BinaryExpression<Operation::subtract>;
using MultiplyExpression = BinaryExpression<Operation::multiply>;
using DivideExpression = BinaryExpression<Operation::divide>;
using ChooseExpression = BinaryExpression<Operation::choose>;
using PowerExpression = BinaryExpression<Operation::power>;

// "operand!", written "(operand!)".
class FactorialExpression final : public Expression {
public:
    explicit FactorialExpression(std::unique_ptr<Expression>&& operand) noexcept;
    ~FactorialExpression() override;
    std::int32_t print(char* buffer, std::uint32_t capacity) const override;
    Rational evaluate() const override;

private:
    std::unique_ptr<Expression> operand;
};

// Writes "(", left, " ", the operator text, " ", right and ")" with a NUL, each piece only
// while everything before it fitted. Returns 0 when all fitted, otherwise a positive
// shortfall.
std::int32_t printInfix(const Expression& left, std::string_view operatorText,
                        const Expression& right, char* buffer, std::uint32_t capacity);

}  // namespace VELD
