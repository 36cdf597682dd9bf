// How well the note's share and time left follow the time a long line's steps really take,
// on this processor: each line is answered as the calculator answers it, its progress
// sampled every 10 ms of wall time. For every step that runs three seconds or more it
// prints where the share reaches 50% (as a share of the step's time: 30% to 70% is the
// goal), and the estimate of the time left that the note would give at each whole second
// from two seconds into the step, against the time that was really left: the worst
// difference, as a share of the time left, over the ticks with two seconds or more left
// (the goal: within 30%). This is a measurement, not a test: its figures depend on the
// machine. Usage: exactcalc_progress_check [--samples FILE] [LINE...]
#include <signal.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "console/answer.h"
#include "console/time_left.h"
#include "integer/interrupt.h"
#include "integer/progress.h"

namespace VELD {
namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point origin;

double now() {
    return std::chrono::duration<double>(Clock::now() - origin).count();
}

struct Sample {
    double seconds;
    Step step;
    std::uint64_t run;
    double share, started;
    std::uint32_t phase;
    double phaseEnd, nextCost;
};

std::vector<Sample> samples;

void record() {
    samples.push_back({now(), progress.step, progress.run,
                       progress.total > 0 ? progress.done() / progress.total : -1, progress.started,
                       progress.phase, progress.phaseEnd,
                       progress.nextCost ? progress.nextCost(progress.costKind) : 1});
}

extern "C" void askForTick(int) {
    int expected = 0;
    interruptRequested.compare_exchange_strong(expected, TICK_DUE);
}

std::string processor() {
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown processor";
}

// The figures of one run of a step, samples [first, last].
void report(const std::vector<Sample>& all, std::size_t first, std::size_t last) {
    const Sample& start = all[first];
    const double begun = start.started, ended = all[last].seconds;
    const double length = ended - begun;
    if (length < 3) return;
    std::printf("  %-9s %6.1f s", stepName(start.step), length);
    if (start.share < 0) {
        std::printf("  (no share)\n");
        return;
    }
    double half = -1;
    for (std::size_t k = first; k <= last && half < 0; ++k) {
        if (all[k].share >= 0.5) half = (all[k].seconds - begun) / length;
    }
    std::printf("  50%% at %3.0f%% of its time", half * 100);
    // The note's ticks, a second apart from the step's start.
    TimeLeft estimate;
    estimate.start(begun);
    double worst = 0, firstShown = -1;
    std::size_t k = first;
    for (double tick = begun + 1; tick < ended; tick += 1) {
        while (k < last && all[k + 1].seconds <= tick)
            ++k;
        const Sample& seen = all[k];
        estimate.observe(tick, {seen.share, seen.phase, seen.phaseEnd, seen.nextCost});
        const double left = estimate.seconds(), truth = ended - tick;
        if (left < 0) continue;
        if (firstShown < 0) firstShown = tick - begun;
        if (truth >= 2) worst = std::max(worst, std::abs(left - truth) / truth);
    }
    if (firstShown < 0) {
        std::printf(", no estimate\n");
    } else {
        std::printf(", time left from %.0f s, off by %2.0f%% at the most\n", firstShown,
                    worst * 100);
    }
}

}  // namespace
}  // namespace VELD

int main(int argc, char** argv) {
    using namespace VELD;
    std::vector<std::string> lines;
    const char* samplesFile = nullptr;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--samples") == 0 && k + 1 < argc) {
            samplesFile = argv[++k];
        } else {
            lines.emplace_back(argv[k]);
        }
    }
    if (lines.empty()) {
        lines = {"100000 !", "(2 ^ 2000000) + 0", "(3 ^ 400000) / (7 ^ 90000)",
                 "(100000 !) choose 3"};
    }
    const KernelPace& pace = kernelPace();
    std::printf(
        "progress on %s; a word takes %.2f ns in four times-five stages, %.2f ns in "
        "four exact fifths, %.2f ns in a shifted subtraction\n",
        processor().c_str(), pace.timesFourFives, pace.fourFifths, pace.shiftedSubtraction);
    origin = Clock::now();
    stepClock = now;
    tickHook = record;
    struct sigaction action {};
    action.sa_handler = askForTick;
    action.sa_flags = SA_RESTART;
    sigaction(SIGALRM, &action, nullptr);
    const itimerval every{{0, 10000}, {0, 10000}};
    std::FILE* out = samplesFile != nullptr ? std::fopen(samplesFile, "w") : nullptr;
    for (const std::string& line : lines) {
        samples.clear();
        samples.reserve(1 << 20);
        setitimer(ITIMER_REAL, &every, nullptr);
        const double begun = now();
        Answer answer(line, Answer::Rest::fault);
        auto buffer = std::make_unique<char[]>(OUTPUT_BUFFER_SIZE);
        const char* value = answer.wholeValue(buffer.get());
        const itimerval stop{};
        setitimer(ITIMER_REAL, &stop, nullptr);
        std::printf("%s: %.1f s%s\n", line.c_str(), now() - begun,
                    value == nullptr ? ", a fault" : "");
        for (std::size_t first = 0, k = 0; k < samples.size(); ++k) {
            const bool endsRun = k + 1 == samples.size() || samples[k + 1].run != samples[k].run;
            if (!endsRun) continue;
            if (samples[k].step != Step::none) report(samples, first, k);
            first = k + 1;
        }
        if (out != nullptr) {
            for (const Sample& s : samples) {
                std::fprintf(out, "%s\t%.3f\t%s\t%llu\t%.5f\t%.3f\t%u\t%.3f\t%.3f\n", line.c_str(),
                             s.seconds, stepName(s.step), static_cast<unsigned long long>(s.run),
                             s.share, s.started, s.phase, s.phaseEnd, s.nextCost);
            }
        }
    }
    if (out != nullptr) std::fclose(out);
}
