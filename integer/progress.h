// How far a long computation has come: the record its outer loops keep, a few stores next
// to their interrupt checks, and the cost models that say what a step's work is in all.
// The tick hook reads the record on the computation's own thread, between two steps (see
// interrupt.h), so plain stores suffice and nothing is paid while no one looks; the
// operations read the owner's `span` and `total` to scale what they record.
//
// A step's work is counted in its model's units. The step that claims the record first owns
// it; the operations it calls go on under its name, so the note names the long step the
// user asked for (a power, not each of its products). Done work is base + span * fraction:
// the owner moves `base` from one operation it calls to the next and gives each its `span`,
// and the operation itself (a product, a quotient) moves `fraction` from 0 to 1.
#pragma once

#include <bit>
#include <cstdint>

namespace VELD {

enum class Step : std::uint8_t {
    none,
    factorial,
    choose,
    power,
    product,
    quotient,
    reducing,
    printing,
    reading,
};

// The word that names a step in the note.
const char* stepName(Step step);

struct Progress {
    Step step = Step::none;
    std::uint64_t run = 0;  // which claim: two steps of one kind in turn are told apart
    double total = 0;       // the model's work in all; 0 where there is no honest estimate
    double base = 0;
    double span = 0;
    double fraction = 0;

    double started = 0;  // when the step was claimed, by stepClock
    // Counts the step's phases that run different loops (printing's climb, then its
    // blocks), whose units of work may take different times: the time left is reckoned
    // at the pace of the phase running.
    std::uint32_t phase = 0;
    // Where the phase running is not the last: the share at which it ends, and how long a
    // unit of the rest takes against one of this phase, measured on this processor when
    // the note first asks (nextCost(costKind)). Null where the rest costs as this does.
    double phaseEnd = 1;
    double (*nextCost)(std::uint32_t) = nullptr;
    std::uint32_t costKind = 0;

    double done() const { return base + span * fraction; }
    // The operation now running, of `span` units, starts; the last one, which has
    // returned, is counted in full.
    void next(double nextSpan) {
        base += span;
        span = nextSpan;
        fraction = 0;
    }
};

extern Progress progress;

// The clock a step's start is read from when it claims the record (the note's: seconds the
// line has run, less those stopped); null for none, and then `started` is 0.
extern double (*stepClock)();

// Operands of fewer words than this in all are not watched as steps of their own: such an
// operation ends long before a note could show it.
inline constexpr std::uint64_t WATCHED_WORDS = 256;
// Likewise the factors of a factorial or choose below this many, and powers whose result
// has fewer bits: their models are not even reckoned.
inline constexpr std::uint64_t WATCHED_FACTORS = 1024;
inline constexpr double WATCHED_BITS = 65536;

// True while a step owns the record: only then do operations reckon their share.
inline bool watching() {
    return progress.step != Step::none;
}

// Claims the record for a step while it runs, when no step has claimed it (Step::none
// claims nothing); gives it back at the end of the scope, also when an exception passes.
class ProgressStep {
public:
    ProgressStep(Step step, double total)
        : owner(step != Step::none && progress.step == Step::none) {
        if (owner)
            progress = Progress{step, ++runs, total, 0, 0, 0, stepClock ? stepClock() : 0, 0};
    }
    ~ProgressStep() {
        if (owner) progress = Progress{};
    }
    ProgressStep(const ProgressStep&) = delete;
    ProgressStep& operator=(const ProgressStep&) = delete;
    bool owns() const { return owner; }

private:
    static inline std::uint64_t runs = 0;
    bool owner;
};

// The time a word takes in the kernels whose speeds differ most from one processor to the
// next, in nanoseconds: measured once, when first asked, on a few passes over scratch
// words of its own.
struct KernelPace {
    double timesFourFives;      // a pass of four stages of times five
    double fourFifths;          // a pass of four stages of exact fifths
    double shiftedSubtraction;  // a subtraction of a shifted operand
};
const KernelPace& kernelPace();

// The cost models, each in the units its step counts.
namespace cost {

// rangeProduct(low, high): the factors are gathered into groups that just outgrow a word,
// and each group multiplies an accumulator of about log(low * ... * f) bits, at a cost in
// proportion to that length whatever the group's bits (the accumulator drives the product).
// Returns the work of the factors from `from` up to `to` (low <= from, and 0 for to < from)
// of a range from low: the integral of that length over the factors, each weighed as the
// share of a group it is.
double rangeProduct(double low, double from, double to);
inline double rangeProduct(double low, double f) {
    return rangeProduct(low, low, f);
}

// A product of m and d bits by shift-and-add: d / 2 additions of m bits, in proportion to
// m * d.
inline double product(double m, double d) {
    return m * d;
}

// Square-and-multiply over the `bits` bits of an exponent from the low end, as
// Integer::power makes its steps, and as its cost is reckoned: for each bit, `isSet(bit)`,
// a product by the base where it is set, then the base squared, unless the bit is the top
// one (that square would never be used).
template <typename IsSet, typename Product, typename Square>
void squareAndMultiply(std::uint64_t bits, IsSet isSet, Product product, Square square) {
    for (std::uint64_t bit = 0; bit < bits; ++bit) {
        if (isSet(bit)) product();
        if (bit + 1 < bits) square();
    }
}

// The sizes of the result and the base in bits as Integer::power's products and squares
// make them, for a base of `baseBits` bits, and the cost of the step that comes next (the
// first product, by the result 1, costs nothing).
struct PowerSizes {
    double result = 0, base;
    double nextProduct() {
        const double cost = result == 0 ? 0 : product(result, base);
        result += base;
        return cost;
    }
    double nextSquare() {
        const double cost = product(base, base);
        base += base;
        return cost;
    }
};

// Integer::power's products and squares for a base of `baseBits` bits: their sum.
inline double power(double baseBits, std::uint64_t exponent) {
    double sum = 0;
    PowerSizes sizes{0, baseBits};
    squareAndMultiply(
        std::bit_width(exponent), [&](std::uint64_t bit) { return (exponent >> bit & 1) != 0; },
        [&] { sum += sizes.nextProduct(); }, [&] { sum += sizes.nextSquare(); });
    return sum;
}

}  // namespace cost

}  // namespace VELD
