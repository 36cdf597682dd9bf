// The time left in a long step, as the note tells it: from the shares of the step's work
// that the ticks have seen and when, at the pace of the step's recent stretch within the
// phase running. A step's model counts its work in units that cost about the same time
// each, but not on every processor the same: a longer accumulator leaves the caches, and
// the climb and the blocks of printing run different loops. So the pace of the last
// stretch of the phase predicts the rest better than the pace since the start, and a
// phase yet to come is reckoned at the pace of its loops against this phase's, as
// measured on this processor.
#pragma once

#include <cstdint>
#include <vector>

namespace VELD {

class TimeLeft {
public:
    // What a tick sees of the step: the share done; the phase running, the share at which
    // it ends, and how long a unit of the rest takes against one of it.
    struct Tick {
        double share;
        std::uint32_t phase = 0;
        double phaseEnd = 1, nextCost = 1;
    };

    // A step starts at `seconds` (the line's running time), its share 0.
    void start(double seconds);
    // What a tick at `seconds` sees.
    void observe(double seconds, const Tick& tick);
    // The seconds left after the last tick observed, or a negative value where there is no
    // honest estimate yet: before two seconds into the step, or with nothing done.
    double seconds() const;

private:
    struct Seen {
        double seconds, share;
    };
    // Shares a second in the phase running over its last stretch; 0 while it has run less
    // than one.
    double phasePace() const;

    std::vector<Seen> seen;
    Tick last{0};
    std::size_t phaseStart = 0;  // the tick at which the phase running was first seen
    double expectedPace = 0;     // the phase's pace as reckoned from the one before it
};

}  // namespace VELD
