// A note on the terminal behind the echo of a line that has been evaluating for a while,
// such as "  [3 s, Ctrl-C abandons]", refreshed about once a second and erased before the
// answer.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace VELD {

class LiveStatus {
public:
    // Writes to the terminal at file descriptor `fd` (standard error, when it shows the same
    // terminal as standard output), whose signals a signals::Session with this `fd` owns.
    // The note first shows a second after the evaluation starts; EXACTCALC_STATUS_DELAY_MS,
    // when set, gives another delay in milliseconds.
    // `interruptAction` says what Ctrl-C does while the note shows: "abandons" the line in
    // the dialogue, "ends" the program in the script modes.
    LiveStatus(int fd, const char* interruptAction);
    ~LiveStatus();
    LiveStatus(const LiveStatus&) = delete;
    LiveStatus& operator=(const LiveStatus&) = delete;

    // True when file descriptors `out` and `err` are the same terminal.
    static bool sameTerminal(int out, int err);

    // An evaluation starts; its echo, `echo`, ends `column` characters after the start of
    // its line, where the cursor stands. Arms the timer.
    void start(std::size_t column, std::string_view echo);
    // The evaluation has ended: stops the timer and erases the note.
    void stop();

private:
    // Called between steps of the computation at each tick of the timer, and after a
    // resize or a stop and continue.
    static void onTick();
    void refresh();
    bool catchUp();
    // Draws `text` as the note, behind the echo: the cursor is left at the echo's end.
    void show(const char* text, std::size_t length);

    int fd;
    std::chrono::milliseconds delay;
    const char* interruptAction;
    std::chrono::steady_clock::time_point started;
    std::chrono::milliseconds stoppedBefore{};  // timeStopped() at the start
    std::size_t column = 0;
    std::string echo;
    bool running = false;
};

// The note of a LiveStatus, when there is one, shown for as long as this scope lasts: it is
// erased before anything else is written, also when a fault ends the evaluation.
class NoteScope {
public:
    NoteScope(LiveStatus* status, std::size_t column, std::string_view echo) : status(status) {
        if (status != nullptr) status->start(column, echo);
    }
    ~NoteScope() {
        if (status != nullptr) status->stop();
    }
    NoteScope(const NoteScope&) = delete;
    NoteScope& operator=(const NoteScope&) = delete;

private:
    LiveStatus* status;
};

}  // namespace VELD
