// The progress the long steps record, sampled at every test of the interrupt flag (where
// the note samples it) against the words the kernels have worked on by then, counted in
// this build: for each step and two sizes (printing in each layout of its powers), the
// share done never falls, starts below a fifth, ends at 100% at the most, and stays within
// a tenth of the share of the step's words worked. Nothing here depends on the machine's
// pace. A step with no honest model records its name and no share.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "integer/interrupt.h"
#include "integer/kernels.h"
#include "integer/progress.h"
#include "rational/rational.h"

namespace VELD {
namespace {

struct Sample {
    std::uint64_t words;  // worked on so far
    Step step;
    std::uint64_t run;
    double share;  // done over total; negative where there is no total
};

std::vector<Sample> samples;

void record() {
    samples.push_back({kernels::wordsWorked, progress.step, progress.run,
                       progress.total > 0 ? progress.done() / progress.total : -1});
    interruptRequested = TICK_DUE;  // and again at the next test
}

// The samples of the last run of `step` in `work` (it may make shorter ones first), and the
// words worked when that run ended.
struct StepRun {
    std::vector<Sample> seen;
    std::uint64_t startWords = 0, endWords = 0;
};

StepRun sampled(Step step, const std::function<void()>& work) {
    samples.clear();
    tickHook = record;
    interruptRequested = TICK_DUE;
    work();
    interruptRequested = 0;
    tickHook = nullptr;
    const std::uint64_t finalWords = kernels::wordsWorked;
    std::uint64_t last = 0;
    for (const Sample& sample : samples) {
        if (sample.step == step) last = sample.run;
    }
    StepRun run;
    run.endWords = finalWords;
    bool after = false;
    for (const Sample& sample : samples) {
        const bool ofRun = sample.step == step && sample.run == last;
        if (ofRun) {
            if (run.seen.empty()) run.startWords = sample.words;
            run.seen.push_back(sample);
        } else if (!run.seen.empty() && !after) {
            run.endWords = sample.words;  // the first test after the run
            after = true;
        }
    }
    return run;
}

TEST(Progress, EachStepsShareFollowsTheWorkDone) {
    // The product of 3^x and 7^y, the powers made before it.
    auto product = [](int x, int y) {
        return [x, y] {
            const Integer a = Integer(3).power(Integer(x));
            const Integer b = Integer(7).power(Integer(y));
            (void)(a * b);
        };
    };
    auto quotient = [](int x, int y) {
        return [x, y] {
            Integer a = Integer(3).power(Integer(x));
            (void)a.integerDivision(Integer(7).power(Integer(y)));
        };
    };
    auto print = [](int x, std::uint64_t storeLimit) {
        return [x, storeLimit] {
            const Integer a = Integer(2).power(Integer(x));
            std::vector<char> text(x / 3 + 10);
            const std::uint64_t saved = Integer::printStoreLimit;
            if (storeLimit != 0) Integer::printStoreLimit = storeLimit;
            (void)a.print(text.data(), static_cast<std::uint32_t>(text.size()));
            Integer::printStoreLimit = saved;
        };
    };
    const struct {
        const char* name;
        Step step;
        std::function<void()> work;
    } rows[] = {
        {"10000 !", Step::factorial, [] { (void)Integer(10000).factorial(); }},
        {"12000 !", Step::factorial, [] { (void)Integer(12000).factorial(); }},
        {"20000 choose 9000", Step::choose, [] { (void)Integer(20000).choose(Integer(9000)); }},
        {"30000 choose 12000", Step::choose, [] { (void)Integer(30000).choose(Integer(12000)); }},
        {"3 ^ 200000", Step::power, [] { (void)Rational(Integer(3)).power(Integer(200000)); }},
        {"3 ^ 250000", Step::power, [] { (void)Rational(Integer(3)).power(Integer(250000)); }},
        {"3^120000 * 7^100000", Step::product, product(120000, 100000)},
        {"3^200000 * 7^150000", Step::product, product(200000, 150000)},
        {"3^200000 / 7^40000", Step::quotient, quotient(200000, 40000)},
        {"3^250000 / 7^50000", Step::quotient, quotient(250000, 50000)},
        {"print 2^200000", Step::printing, print(200000, 0)},
        {"print 2^400000", Step::printing, print(400000, 0)},
        {"print 2^400000 from checkpoints", Step::printing, print(400000, 1500000)},
        {"print 2^400000 stepped down", Step::printing, print(400000, 1)},
    };
    for (const auto& row : rows) {
        const StepRun run = sampled(row.step, row.work);
        ASSERT_GE(run.seen.size(), 12u) << row.name;
        const double words = static_cast<double>(run.endWords - run.startWords);
        double last = 0, worst = 0;
        for (const Sample& sample : run.seen) {
            ASSERT_GE(sample.share, last) << row.name << " fell";
            last = sample.share;
            const double worked = static_cast<double>(sample.words - run.startWords) / words;
            worst = std::max(worst, std::abs(sample.share - worked));
        }
        EXPECT_LT(run.seen.front().share, 0.2) << row.name;
        EXPECT_LE(last, 1.0) << row.name;
        EXPECT_LE(worst, 0.1) << row.name;
    }
}

// The factorial's model against the groups the range's loop makes, simulated: a partial
// product takes factors while it fits a word, and each group costs the accumulator's
// words. The model's share at each group's end stays within 1% of the simulated one, also
// where the groups shrink from three factors to two (at 2^16) and from two to one (2^32).
TEST(Progress, TheRangeModelWeighsTheGroupsTheLoopMakes) {
    const struct {
        double low, high;
    } ranges[] = {{1, 100000}, {50001, 80000}, {4294867296.0, 4295067296.0}};
    for (const auto& range : ranges) {
        std::vector<std::pair<double, double>> ends;  // (last factor, work so far)
        double accumulatorBits = 0, work = 0, partialBits = std::log2(range.low);
        auto endGroup = [&](double lastFactor) {
            work += accumulatorBits / 32;
            accumulatorBits += partialBits;
            ends.emplace_back(lastFactor, work);
        };
        for (double f = range.low + 1; f <= range.high; ++f) {
            if (partialBits < 32) {
                partialBits += std::log2(f);
            } else {
                endGroup(f - 1);
                partialBits = std::log2(f);
            }
        }
        endGroup(range.high);
        const double total = cost::rangeProduct(range.low, range.high);
        double worst = 0;
        for (const auto& [f, done] : ends)
            worst =
                std::max(worst, std::abs(cost::rangeProduct(range.low, f) / total - done / work));
        EXPECT_LT(worst, 0.01) << range.low << " to " << range.high;
    }
}

// A value whose digits surely cannot fit is refused before any work: no kernel runs.
TEST(Progress, ARefusedPrintDoesNoWork) {
    const Integer value = Integer(2).power(Integer(400000));
    char buffer[8192];
    const std::uint64_t before = kernels::wordsWorked;
    EXPECT_EQ(value.print(buffer, sizeof buffer), 120412 + 1 - 8192);
    EXPECT_EQ(kernels::wordsWorked, before);
}

// Euclid's steps have no model: the step is named, with no share.
TEST(Progress, ReducingHasNoShare) {
    const Integer a = Integer(3).power(Integer(200000)) + Integer(1);
    const Integer b = Integer(7).power(Integer(80000)) + Integer(2);
    const StepRun run = sampled(Step::reducing, [&] { (void)gcd(a, b); });
    ASSERT_FALSE(run.seen.empty());
    for (const Sample& sample : run.seen)
        EXPECT_LT(sample.share, 0);
    EXPECT_EQ(progress.step, Step::none);  // given back at the end
}

}  // namespace
}  // namespace VELD
