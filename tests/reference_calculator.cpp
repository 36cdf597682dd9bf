#include "reference_calculator.h"

#include "messages.h"

#include <gmpxx.h>

#include <memory>
#include <string_view>

namespace VELD::testing {

namespace {

// Bounds that keep the calculator's bit-serial work short; heavier lines are skipped.
constexpr std::size_t HEAVY_BITS = 40000;
constexpr unsigned long HEAVY_FACTORS = 1500;

struct Fault {
    std::string message;
};
struct Heavy {};

struct Node {
    enum class Kind { literal, binary, factorial } kind;
    mpz_class value;
    std::string op;
    std::unique_ptr<Node> left, right;
};

// ---- Parsing: each level is the five-state machine over its tokens.

enum class State { empty, left, leftOp, leftRight, full };
enum class Token { literal, group, op, other, end };

class Parser {
public:
    explicit Parser(std::string_view text) : text(text) {}

    // One level, from `position` to the ")" or the end that closes it.
    std::unique_ptr<Node> level(std::size_t position) {
        State state = State::empty;
        std::unique_ptr<Node> left, right;
        std::string op;
        position = skipSpace(position);
        for (;;) {
            const Token token = classify(position);
            std::unique_ptr<Node> operand;
            std::size_t next = position;
            if (token == Token::group) {
                operand = level(position + 1);  // faults inside the group come first
            } else if (token == Token::literal) {
                while (isDigit(at(next)))
                    ++next;
                operand = literal(text.substr(position, next - position));
            }
            switch (state) {
                case State::empty:
                    if (token == Token::op) throw Fault{BAD_ORDER};
                    if (token == Token::other) throw Fault{INVALID};
                    if (token == Token::end) throw Fault{NO_OPERATION};
                    left = std::move(operand);
                    state = State::left;
                    break;
                case State::left:
                    if (token == Token::other) throw Fault{INVALID};
                    if (token == Token::end) return left;
                    if (token == Token::op) {
                        op = operatorAt(position);
                        state = State::leftOp;
                    } else {
                        right = std::move(operand);
                        state = State::leftRight;
                    }
                    break;
                case State::leftOp:
                    if (token == Token::op || token == Token::other) throw Fault{INVALID};
                    if (token == Token::end) {
                        if (op != "!") throw Fault{MISSING};
                        return node(Node::Kind::factorial, op, std::move(left), nullptr);
                    }
                    right = std::move(operand);
                    state = State::full;
                    break;
                case State::leftRight:
                    if (token == Token::literal) throw Fault{TOO_MANU};
                    if (token == Token::group) throw Fault{TOO_MANY};
                    if (token == Token::op) throw Fault{BAD_ORDER};
                    if (token == Token::other) throw Fault{INVALID};
                    throw Fault{NO_OPERATION};
                case State::full:
                    if (token == Token::literal) throw Fault{TOO_MANU};
                    if (token == Token::group) throw Fault{TOO_MANY};
                    if (token == Token::op || token == Token::other) throw Fault{INVALID};
                    if (op == "!") throw Fault{FACTORIAL_EXTRA};
                    return node(Node::Kind::binary, op, std::move(left), std::move(right));
            }
            if (token == Token::group) next = pastGroup(position);
            if (token == Token::op) next = position + operatorAt(position).size();
            position = skipSpace(next);
        }
    }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    char at(std::size_t i) const { return i < text.size() ? text[i] : '\0'; }

    std::size_t skipSpace(std::size_t i) const {
        while (at(i) == ' ' || at(i) == '\t' || at(i) == '\n' || at(i) == '\r')
            ++i;
        return i;
    }

    std::string operatorAt(std::size_t i) const {
        if (text.substr(i, 6) == "choose") return "choose";
        const char c = at(i);
        return c != '\0' && std::string_view("+-*/!^").find(c) != std::string_view::npos
                   ? std::string(1, c)
                   : "";
    }

    Token classify(std::size_t i) const {
        const char c = at(i);
        if (c == ')' || c == '\0') return Token::end;
        if (c == '(') return Token::group;
        if (isDigit(c)) return Token::literal;
        return operatorAt(i).empty() ? Token::other : Token::op;
    }

    // Just past the ")" that balances the "(" at i.
    std::size_t pastGroup(std::size_t i) const {
        for (int depth = 0;; ++i) {
            if (at(i) == '\0') throw Fault{PREMATURE};
            depth += at(i) == '(' ? 1 : at(i) == ')' ? -1 : 0;
            if (depth == 0) return i + 1;
        }
    }

    static std::unique_ptr<Node> literal(std::string_view digits) {
        auto leaf = std::make_unique<Node>();
        leaf->kind = Node::Kind::literal;
        leaf->value = mpz_class(std::string(digits), 10);
        return leaf;
    }

    static std::unique_ptr<Node> node(Node::Kind kind, const std::string& op,
                                      std::unique_ptr<Node> left, std::unique_ptr<Node> right) {
        auto inner = std::make_unique<Node>();
        inner->kind = kind;
        inner->op = op;
        inner->left = std::move(left);
        inner->right = std::move(right);
        return inner;
    }

    std::string_view text;
};

std::string written(const Node& node) {
    switch (node.kind) {
        case Node::Kind::literal:
            return node.value.get_str();
        case Node::Kind::factorial:
            return "(" + written(*node.left) + "!)";
        default:
            return "(" + written(*node.left) + " " + node.op + " " + written(*node.right) + ")";
    }
}

// ---- Evaluation over exact fractions.

std::size_t bits(const mpz_class& x) {
    return x == 0 ? 0 : mpz_sizeinbase(x.get_mpz_t(), 2);
}

const mpz_class MOST_BITS = mpz_class(32) * 4294967295u;

mpz_class whole(const mpq_class& value) {
    if (value.get_den() != 1) throw Fault{NOT_WHOLE};
    return value.get_num();
}

mpq_class checked(const mpq_class& value) {
    if (bits(value.get_num()) > HEAVY_BITS || bits(value.get_den()) > HEAVY_BITS) throw Heavy{};
    return value;
}

// n! when it can be held, refused when it surely cannot.
mpz_class factorial(const mpz_class& n) {
    if (n < 0) throw Fault{NEGATIVE_FACTORIAL};
    if (bits(n) > 3 && n * static_cast<unsigned long>(bits(n) - 3) >= MOST_BITS)
        throw Fault{NO_MEMORY};
    if (n > HEAVY_FACTORS) throw Heavy{};
    mpz_class result;
    mpz_fac_ui(result.get_mpz_t(), n.get_ui());
    return result;
}

mpq_class power(const mpq_class& base, const mpz_class& exponent) {
    const mpz_class magnitude = abs(exponent);
    for (const mpz_class& part : {base.get_num(), base.get_den()}) {
        if (bits(part) >= 2 && (bits(part) - 1) * magnitude + 1 > MOST_BITS) throw Fault{NO_MEMORY};
        if (bits(part) >= 2 && bits(part) * magnitude > HEAVY_BITS) throw Heavy{};
    }
    // 0, 1 and -1 take exponents of any size.
    auto raise = [&](const mpz_class& part) {
        if (bits(part) < 2)
            return mpz_class(magnitude == 0                     ? 1
                             : part == 0                        ? 0
                             : mpz_odd_p(magnitude.get_mpz_t()) ? part
                                                                : 1);
        mpz_class result;
        mpz_pow_ui(result.get_mpz_t(), part.get_mpz_t(), magnitude.get_ui());
        return result;
    };
    mpz_class top = raise(base.get_num()), bottom = raise(base.get_den());
    if (exponent < 0) std::swap(top, bottom);
    if (bottom == 0) throw Fault{ZERO_DENOMINATOR};
    mpq_class result(top, bottom);
    result.canonicalize();
    return result;
}

mpq_class choose(const mpz_class& n, const mpz_class& k) {
    if (n < k) throw Fault{N_LESS_THAN_K};
    if (k < 0) throw Fault{K_NEGATIVE};
    const mpz_class smaller = k < n - k ? k : mpz_class(n - k);
    factorial(smaller);  // its refusal, or its weight
    if (smaller * static_cast<unsigned long>(bits(n)) > HEAVY_BITS) throw Heavy{};
    mpz_class result;
    mpz_bin_ui(result.get_mpz_t(), n.get_mpz_t(), smaller.get_ui());
    return result;
}

// Right operand first; for "^" and "choose" it is made whole before the left one is
// touched.
mpq_class evaluate(const Node& node) {
    if (node.kind == Node::Kind::literal) return checked(node.value);
    if (node.kind == Node::Kind::factorial)
        return mpq_class(factorial(whole(evaluate(*node.left))));
    const mpq_class right = evaluate(*node.right);
    if (node.op == "^") {
        const mpz_class exponent = whole(right);
        return checked(power(evaluate(*node.left), exponent));
    }
    if (node.op == "choose") {
        const mpz_class k = whole(right);
        return choose(whole(evaluate(*node.left)), k);
    }
    const mpq_class left = evaluate(*node.left);
    if (node.op == "+") return checked(left + right);
    if (node.op == "-") return checked(left - right);
    if (node.op == "*") return checked(left * right);
    if (right == 0) throw Fault{ZERO_DENOMINATOR};
    return checked(left / right);
}

// ---- Printing into the console's 8,192-byte buffer.

constexpr std::size_t CAPACITY = 8192;

// What a number's print leaves in `room` bytes: its digits, or the overflow notice cut
// to the room.
std::string cut(const std::string& digits, std::size_t room) {
    if (digits.size() + 1 <= room) return digits;
    const std::string notice = "Printing overflow!";
    return notice.substr(0, std::min(room, notice.size() + 1) - (room > 0 ? 1 : 0));
}

// The value's text and whether it fitted.
std::pair<std::string, bool> printedValue(const mpq_class& value) {
    const std::string numerator = mpz_class(abs(value.get_num())).get_str();
    const std::string denominator = value.get_den().get_str();
    std::string text = value < 0 ? "-" : "";
    bool fitted = numerator.size() + 1 <= CAPACITY - text.size();
    text += cut(numerator, CAPACITY - text.size());
    if (denominator == "1") return {text, fitted};
    if (text.size() + 3 < CAPACITY) {
        text += " / ";
    } else {
        fitted = false;
    }
    fitted = fitted && denominator.size() + 1 <= CAPACITY - text.size();
    return {text + cut(denominator, CAPACITY - text.size()), fitted};
}

}  // namespace

std::optional<std::string> referenceAnswer(const std::string& line) {
    std::unique_ptr<Node> tree;
    try {
        tree = Parser(line).level(0);
    } catch (const Fault& fault) {
        return fault.message + "\n";
    }
    const std::string expression = written(*tree);
    try {
        const auto [text, fitted] = printedValue(evaluate(*tree));
        return expression + (fitted ? "" : "\nNOT ENOUGH SPACE FOR RESULT IN OUTPUT BUFFER!\n") +
               " = " + text + "\n";
    } catch (const Fault& fault) {
        return expression + fault.message + "\n";
    } catch (const Heavy&) {
        return std::nullopt;
    }
}

}  // namespace VELD::testing
