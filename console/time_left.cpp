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
    phase = 0;
    phaseStart = 0;
}

void TimeLeft::observe(double seconds, double share, std::uint32_t nowPhase) {
    if (seen.empty()) start(seconds);
    if (nowPhase != phase) {
        phase = nowPhase;
        phaseStart = seen.size();
    }
    seen.push_back({seconds, std::max(share, seen.back().share)});
}

double TimeLeft::seconds() const {
    if (seen.size() < 2) return -1;
    const Seen& now = seen.back();
    const double ran = now.seconds - seen.front().seconds;
    if (ran < FIRST_ESTIMATE || now.share <= 0.01) return -1;
    // Within the phase once it has run a stretch; until then over the step so far.
    const Seen& phaseBegun = seen[phaseStart];
    const bool inPhase = now.seconds - phaseBegun.seconds >= SHORTEST_STRETCH;
    const double first = inPhase ? phaseBegun.seconds : seen.front().seconds;
    const double from = now.seconds - std::max(SHORTEST_STRETCH, (now.seconds - first) / 2);
    // The latest tick at or before the stretch's start.
    auto after = std::upper_bound(seen.begin(), seen.end(), from,
                                  [](double t, const Seen& s) { return t < s.seconds; });
    const Seen& then = after == seen.begin() ? seen.front() : *(after - 1);
    const double pace = (now.share - then.share) / (now.seconds - then.seconds);
    return pace > 0 ? (1 - now.share) / pace : -1;
}

}  // namespace VELD
