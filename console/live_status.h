// A note on the terminal behind the echo of a line that has been evaluating for a while,
// such as "  [3 s, Ctrl-C abandons]", refreshed about once a second and erased before the
// answer.
#pragma once

#include <chrono>
#include <cstddef>

namespace VELD {

class LiveStatus {
public:
    // Writes to the terminal at file descriptor `fd` (standard error, when it shows the same
    // terminal as standard output). The note first shows a second after the evaluation
    // starts; EXACTCALC_STATUS_DELAY_MS, when set, gives another delay in milliseconds.
    explicit LiveStatus(int fd);
    ~LiveStatus();
    LiveStatus(const LiveStatus&) = delete;
    LiveStatus& operator=(const LiveStatus&) = delete;

    // True when file descriptors `out` and `err` are the same terminal.
    static bool sameTerminal(int out, int err);

    // An evaluation starts; the cursor stands `column` characters after the start of its
    // line. Arms the timer.
    void start(std::size_t column);
    // The evaluation has ended: stops the timer and erases the note.
    void stop();

private:
    // Called between steps of the computation once the timer has run out.
    static void onTick();
    void refresh();
    // Stops the terminal's echo until stop().
    void holdEcho();
    // Writes `text` over the note shown, padding and stepping back over what it leaves.
    void show(const char* text, std::size_t length);

    int fd;
    std::chrono::milliseconds delay;
    std::chrono::steady_clock::time_point started;
    std::size_t column = 0;
    std::size_t shown = 0;  // characters of the note on the screen now
    bool running = false;
};

}  // namespace VELD
