// The parser: one level per pair of parentheses, each level a small state machine over its
// tokens (literal, group, operator, anything else, and the end: ")" or NUL). A level holds
// a left operand, an operation and a right operand; faults are raised where they are
// found, and whatever a failing level holds is released as the fault passes.
#include <cstring>
#include <new>
#include <utility>

#include "common/text.h"
#include "expression/expression.h"
#include "expression/operators.h"

namespace VELD {

namespace {

constexpr const char* INVALID_EXPRESSION = "Expression::parse() - Invalid expression.";
constexpr const char* TOO_DEEP = "Expression::parse() - Nested too deeply.";

std::size_t skipWhiteSpace(const char* text) {
    std::size_t count = 0;
    while (isWhiteSpace(text[count]))
        ++count;
    return count;
}

// An operator is accepted only right after the left operand.
bool checkOrder(bool hasLeft, bool hasRight) {
    return hasLeft && !hasRight;
}

struct Level {
    std::unique_ptr<Expression> left;
    Operation operation = Operation::none;
    std::unique_ptr<Expression> right;

    // The first operand is the left one, the second the right one, whether or not an
    // operator came between them; a third is refused.
    void takeOperand(std::unique_ptr<Expression> operand, const char* tooManyMessage) {
        if (!left) {
            left = std::move(operand);
        } else if (right) {
            throw Exception(tooManyMessage);
        } else {
            right = std::move(operand);
        }
    }
};

std::unique_ptr<Expression> parseLevel(const char* text, unsigned depth, std::size_t& end);

// "(": the nested level is parsed first, so a fault inside the group comes before the
// group's own outcome; then the whole group is stepped over. The group ends where its
// level ended: a level reads only digits, operators, white space and whole groups, so the
// ")" it stops at is the one that closes the group, as counting brackets would find. A
// level that met the end of the text leaves the group unclosed.
std::size_t readGroup(Level& level, const char* text, unsigned depth) {
    if (depth == Expression::NESTING_LIMIT) throw Exception(TOO_DEEP);
    std::size_t end = 0;
    level.takeOperand(parseLevel(text + 1, depth + 1, end),
                      "Expression::parse() - Too many parameters.");
    if (text[1 + end] == '\0') return Expression::skipExpression(text);  // raises its fault
    return end + 2;
}

// A run of digits.
std::size_t readLiteral(Level& level, const char* text) {
    constexpr const char* NO_MEMORY =
        "Expression::parse() - Not enough memory for integer expression.";
    std::size_t length = 0;
    while (isDigit(text[length]))
        ++length;
    std::size_t first = 0;  // leading zeros dropped, all but the last
    while (first + 1 < length && text[first] == '0')
        ++first;
    Integer value(text);
    std::unique_ptr<Expression> literal;
    try {
        literal.reset(new (std::nothrow) IntegerExpression(
            std::move(value), std::string_view(text + first, length - first)));
    } catch (const std::bad_alloc&) {  // the digits' copy
        throw Exception(NO_MEMORY);
    }
    if (!literal) throw Exception(NO_MEMORY);
    level.takeOperand(std::move(literal), "Expression::parse() - Too manu parameters.");
    return length;
}

// Any other character: an operator, or a fault.
std::size_t readOperator(Level& level, const char* text) {
    if (level.operation != Operation::none) throw Exception(INVALID_EXPRESSION);
    const OperatorText* const found = operatorAt(text);
    if (found == nullptr) throw Exception(INVALID_EXPRESSION);
    level.operation = found->operation;
    if (!checkOrder(level.left != nullptr, level.right != nullptr)) {
        throw Exception("Expression::parse() - Bad operator/parameter order.");
    }
    return found->text.size();
}

template <typename Node, typename... Operands>
std::unique_ptr<Expression> allocateNode(Operands&... operands) {
    Node* node = new (std::nothrow) Node(std::move(operands)...);
    if (node == nullptr)
        throw Exception("Expression::buildExpression() - Not enough memory for expression.");
    return std::unique_ptr<Expression>(node);
}

// One level, from `text` to its end: a ")" that closes no group of its own, or the end of
// the text; `end` is set to where that is.
std::unique_ptr<Expression> parseLevel(const char* text, unsigned depth, std::size_t& end) {
    Level level;
    std::size_t position = skipWhiteSpace(text);
    while (text[position] != ')' && text[position] != '\0') {
        const char* token = text + position;
        if (*token == '(') {
            position += readGroup(level, token, depth);
        } else if (isDigit(*token)) {
            position += readLiteral(level, token);
        } else {
            position += readOperator(level, token);
        }
        position += skipWhiteSpace(text + position);
    }
    end = position;
    // A lone operand, parenthesised or not, is the level's result as it stands.
    if (level.operation == Operation::none && level.left && !level.right)
        return std::move(level.left);
    return Expression::buildExpression(level.operation, std::move(level.left),
                                       std::move(level.right));
}

}  // namespace

std::unique_ptr<Expression> Expression::parse(const char* text) {
    std::size_t end = 0;
    return parseLevel(text, 0, end);
}

std::unique_ptr<Expression> Expression::parse(const char* text, std::size_t& end) {
    return parseLevel(text, 0, end);
}

std::size_t Expression::skipExpression(const char* text) {
    std::size_t opened = 0;
    std::size_t closed = 0;
    for (std::size_t walked = 0;; ++walked) {
        if (text[walked] == '(') {
            ++opened;
        } else if (text[walked] == ')') {
            ++closed;
        } else if (text[walked] == '\0') {
            throw Exception(
                "Expression::skipExpression() - Premature termination of expression string.");
        }
        if (opened == closed && opened != 0) return walked + 1;
    }
}

std::unique_ptr<Expression> Expression::buildExpression(Operation operation,
                                                        std::unique_ptr<Expression> left,
                                                        std::unique_ptr<Expression> right) {
    const char* missing = "Expression::buildExpression() - Missing parameter(s).";
    switch (operation) {
        case Operation::factorial:
            if (!left) throw Exception(missing);
            if (right) {
                throw Exception(
                    "Expression::buildExpression() - Too many paramters to factorial function.");
            }
            return allocateNode<FactorialExpression>(left);
        case Operation::add:
        case Operation::subtract:
        case Operation::multiply:
        case Operation::divide:
        case Operation::choose:
        case Operation::power:
            if (!left || !right) throw Exception(missing);
            break;
        default:
            throw Exception("Expression::buildExpression() - No vaild operation.");
    }
    switch (operation) {
        case Operation::add:
            return allocateNode<AddExpression>(left, right);
        case Operation::subtract:
            return allocateNode<SubtractExpression>(left, right);
        case Operation::multiply:
            return allocateNode<MultiplyExpression>(left, right);
        case Operation::divide:
            return allocateNode<DivideExpression>(left, right);
        case Operation::choose:
            return allocateNode<ChooseExpression>(left, right);
        default:
            return allocateNode<PowerExpression>(left, right);
    }
}

}  // namespace VELD
