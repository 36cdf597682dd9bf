// The time left in a long step, as the note tells it: from the shares of the step's work
// that the ticks have seen and when, at the pace of the step's recent stretch within the
// phase running. A step's model counts its work in units that cost about the same time
// each, but not on every processor the same: a longer accumulator leaves the caches, and
// the climb and the blocks of printing run different loops. So the pace of the last
// stretch of the phase predicts the rest better than the pace since the start.
#pragma once

#include <cstdint>
#include <vector>

namespace VELD {

class TimeLeft {
public:
    // A step starts at `seconds` (the line's running time), its share 0.
    void start(double seconds);
    // At a tick: the step has done `share` of its work by `seconds`, in its phase `phase`.
    void observe(double seconds, double share, std::uint32_t phase);
    // The seconds left after the last tick observed, or a negative value where there is no
    // honest estimate yet: before two seconds into the step, or with nothing done.
    double seconds() const;

private:
    struct Seen {
        double seconds, share;
    };
    std::vector<Seen> seen;
    std::uint32_t phase = 0;
    std::size_t phaseStart = 0;  // the tick at which the phase running was first seen
};

}  // namespace VELD
