// The progress the long steps record, sampled as the note samples it (at ticks, between
// steps) every millisecond of processor time: for each step and two sizes (printing in two
// layouts of its powers), the share done
// never falls, starts at 0, ends at 100% at the most, and tracks the time the step takes
// (half the work is done between 30% and 70% of its time). A step with no honest model
// records its name and no share.
#include <gtest/gtest.h>

#include <sys/time.h>

#include <csignal>
#include <ctime>
#include <functional>
#include <vector>

#include "gmp_support.h"
#include "integer/interrupt.h"
#include "integer/progress.h"
#include "rational/rational.h"

namespace VELD {
namespace {

struct Sample {
    double seconds;
    Step step;
    std::uint64_t run;
    double share;  // done over total; negative where there is no total
};

std::vector<Sample> samples;

double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void record() {
    samples.push_back({processorSeconds(), progress.step, progress.run,
                       progress.total > 0 ? progress.done() / progress.total : -1});
}

extern "C" void askForTick(int) {
    int expected = 0;
    interruptRequested.compare_exchange_strong(expected, TICK_DUE);
}

// Runs `work` with a tick every millisecond of processor time; returns the samples of the
// last run of step `step` (the work may make shorter ones of it first), with the start and
// end times of the whole work around them.
std::vector<Sample> sampled(Step step, const std::function<void()>& work, double& started,
                            double& ended) {
    samples.clear();
    samples.reserve(1 << 16);
    struct sigaction action {};
    action.sa_handler = askForTick;
    action.sa_flags = SA_RESTART;
    struct sigaction before {};
    sigaction(SIGPROF, &action, &before);
    tickHook = record;
    const itimerval every{{0, 1000}, {0, 1000}};
    setitimer(ITIMER_PROF, &every, nullptr);
    started = processorSeconds();
    work();
    ended = processorSeconds();
    const itimerval stop{};
    setitimer(ITIMER_PROF, &stop, nullptr);
    sigaction(SIGPROF, &before, nullptr);
    tickHook = nullptr;
    interruptRequested = 0;
    std::uint64_t last = 0;
    for (const Sample& sample : samples) {
        if (sample.step == step) last = sample.run;
    }
    std::vector<Sample> ofStep;
    for (const Sample& sample : samples) {
        if (sample.step == step && sample.run == last) ofStep.push_back(sample);
    }
    return ofStep;
}

TEST(Progress, EachStepsShareTracksItsTime) {
    // The product of 3^x and 7^y, the powers made before it.
    auto product = [](int x, int y) {
        return [x, y] {
            const Integer a = Integer(3).power(Integer(x));
            const Integer b = Integer(7).power(Integer(y));
            (void)(a * b);
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
        {"3 ^ 200000", Step::power, [] { (void)Rational(Integer(3)).power(Integer(200000)); }},
        {"3^120000 * 7^100000", Step::product, product(120000, 100000)},
        {"30000 choose 12000", Step::choose, [] { (void)Integer(30000).choose(Integer(12000)); }},
        {"3 ^ 250000", Step::power, [] { (void)Rational(Integer(3)).power(Integer(250000)); }},
        {"3^200000 * 7^150000", Step::product, product(200000, 150000)},
        {"3^200000 / 7^40000", Step::quotient,
         [] {
             Integer a = Integer(3).power(Integer(200000));
             (void)a.integerDivision(Integer(7).power(Integer(40000)));
         }},
        {"3^250000 / 7^50000", Step::quotient,
         [] {
             Integer a = Integer(3).power(Integer(250000));
             (void)a.integerDivision(Integer(7).power(Integer(50000)));
         }},
        {"print 2^200000", Step::printing,
         [] {
             const Integer a = Integer(2).power(Integer(200000));
             std::vector<char> text(70000);
             (void)a.print(text.data(), static_cast<std::uint32_t>(text.size()));
         }},
        {"print 2^400000", Step::printing,
         [] {
             const Integer a = Integer(2).power(Integer(400000));
             std::vector<char> text(130000);
             (void)a.print(text.data(), static_cast<std::uint32_t>(text.size()));
         }},
        {"print 2^400000 from checkpoints", Step::printing,
         [] {
             const Integer a = Integer(2).power(Integer(400000));
             std::vector<char> text(130000);
             const std::uint64_t saved = Integer::printStoreLimit;
             Integer::printStoreLimit = 1500000;
             (void)a.print(text.data(), static_cast<std::uint32_t>(text.size()));
             Integer::printStoreLimit = saved;
         }},
    };
    for (const auto& row : rows) {
        double started = 0, ended = 0;
        const std::vector<Sample> seen = sampled(row.step, row.work, started, ended);
        ASSERT_GE(seen.size(), 12u) << row.name;
        const double stepStart = seen.front().seconds, stepEnd = seen.back().seconds;
        double last = 0;
        double halfAt = -1;
        for (const Sample& sample : seen) {
            ASSERT_GE(sample.share, last) << row.name << " fell";
            last = sample.share;
            if (halfAt < 0 && sample.share >= 0.5) halfAt = sample.seconds;
        }
        EXPECT_LT(seen.front().share, 0.2) << row.name;
        EXPECT_LE(last, 1.0) << row.name;
        ASSERT_GE(halfAt, 0) << row.name << " never reached half";
        const double when = (halfAt - stepStart) / (stepEnd - stepStart);
        EXPECT_GE(when, 0.3) << row.name;
        EXPECT_LE(when, 0.7) << row.name;
    }
}

// Euclid's steps have no model: the step is named, with no share.
TEST(Progress, ReducingHasNoShare) {
    double started = 0, ended = 0;
    const Integer a = Integer(3).power(Integer(200000)) + Integer(1);
    const Integer b = Integer(7).power(Integer(80000)) + Integer(2);
    const std::vector<Sample> seen = sampled(
        Step::reducing, [&] { (void)gcd(a, b); }, started, ended);
    ASSERT_FALSE(seen.empty());
    for (const Sample& sample : seen)
        EXPECT_LT(sample.share, 0);
    EXPECT_EQ(progress.step, Step::none);  // given back at the end
}

}  // namespace
}  // namespace VELD
