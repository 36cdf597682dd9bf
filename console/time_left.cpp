#include "console/time_left.h"

#include <algorithm>

namespace VELD {

namespace {

// An estimate is given from this many seconds into a step.
constexpr double FIRST_ESTIMATE = 2;
// The pace is taken over the last half of the time run, and at least this long.
constexpr double SHORTEST_STRETCH = 1;

}  // namespace

void TimeLeft::start(double seconds) {
    seen.assign(1, {seconds, 0});
    last = Tick{0};
    phaseStart = 0;
    expectedPace = 0;
}

void TimeLeft::observe(double seconds, const Tick& tick) {
    if (seen.empty()) start(seconds);
    if (tick.phase != last.phase) {
        // The new phase at the old one's pace, weighed by what a unit of it costs.
        const double pace = phasePace();
        expectedPace = pace > 0 && last.nextCost > 0 ? pace / last.nextCost : 0;
        phaseStart = seen.size();
    }
    last = tick;
    seen.push_back({seconds, std::max(tick.share, seen.back().share)});
}

double TimeLeft::phasePace() const {
    const Seen& now = seen.back();
    const double first = seen[std::min(phaseStart, seen.size() - 1)].seconds;
    if (now.seconds - first < SHORTEST_STRETCH) return 0;
    const double from = now.seconds - std::max(SHORTEST_STRETCH, (now.seconds - first) / 2);
    // The latest tick at or before the stretch's start.
    auto after = std::upper_bound(seen.begin(), seen.end(), from,
                                  [](double t, const Seen& s) { return t < s.seconds; });
    const Seen& then = after == seen.begin() ? seen.front() : *(after - 1);
    return (now.share - then.share) / (now.seconds - then.seconds);
}

double TimeLeft::seconds() const {
    if (seen.size() < 2) return -1;
    const Seen& now = seen.back();
    if (now.seconds - seen.front().seconds < FIRST_ESTIMATE || now.share <= 0.01) return -1;
    double pace = phasePace();
    if (pace <= 0) pace = expectedPace;
    if (pace <= 0) return -1;
    if (now.share >= last.phaseEnd) return (1 - now.share) / pace;
    return (last.phaseEnd - now.share) / pace + (1 - last.phaseEnd) * last.nextCost / pace;
}

}  // namespace VELD
