// What the signal handlers (signals.cpp) and the note they erase (note.cpp) share with the
// program: the terminal and what Ctrl-C does, fixed while the handlers are installed, and
// the flags either side changes, each a std::atomic<int>, lock-free wherever the program
// builds (checked below), so that a handler reads and writes them safely.
#pragma once

#include <signal.h>
#include <termios.h>

#include <atomic>
#include <chrono>
#include <initializer_list>

#include "console/signals.h"

namespace VELD::signals {

// The session's terminal and what Ctrl-C does: set by Session before it installs the
// handlers, and constant until it has taken them away.
struct Fixed {
    Interrupts interrupts = Interrupts::endBetweenLines;
    int editorFd = NONE, noteFd = NONE;
    int fd = NONE;  // the terminal whose modes are kept: the editor's, or the note's
    bool haveOriginal = false;
    termios original{};  // its modes when the session started
    termios quiet{};     // the same without echo
};
extern const Fixed& fixed;

static_assert(std::atomic<int>::is_always_lock_free);

// The state is PROMPT or COMPUTING; the note on the screen makes "note shown", the
// handlers' own frames "stopped" and "resumed" (signals.h).
enum : int { PROMPT, COMPUTING };

struct Shared {
    std::atomic<int> state = PROMPT;
    std::atomic<int> promptInterrupt = 0;  // the editor's, taken once
    std::atomic<int> endPending = 0;       // the program is to end at the next read
    std::atomic<int> endSignal = 0;        // by this signal (0: SIGINT)
    std::atomic<int> waiting = 0;          // a stream's read may wait for input
    std::atomic<int> events = 0;           // RESIZED and RESUMED
    std::atomic<int> noteRunning = 0;      // a line with a note is computed
    std::atomic<int> noteShown = 0;
    std::atomic<int> noteLength = 0;  // the columns of the note shown
    std::atomic<int> ownLine = 0;     // the note stands at the start of a line
    std::atomic<int> echoHeld = 0;    // the terminal is to echo nothing
    std::atomic<int> stoppedMilliseconds = 0;
    // Continued in the background while the echo is held: the ticks come fast until the
    // program is in the foreground again, and then hold the echo once more (bash sends no
    // SIGCONT when fg brings a running job back).
    std::atomic<int> quietPending = 0;
};
extern Shared shared;

// The terminal signals: held off while the note is drawn, the modes change, or a handler
// runs.
extern const sigset_t TERMINAL_SIGNALS;

sigset_t setOf(std::initializer_list<int> numbers);

// Runs `work` with the signals of `set` held off.
template <typename Work>
void held(const sigset_t& set, Work work) {
    sigset_t before;
    sigprocmask(SIG_BLOCK, &set, &before);
    work();
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// Applies modes to the session's terminal with SIGTTOU held off, so that a process just
// sent to the background is not stopped for it; async-signal-safe.
void applyModes(const termios& modes);

// Sets the timer (the first tick, then one every `every`); async-signal-safe.
void setTimer(std::chrono::milliseconds first, std::chrono::milliseconds every);

}  // namespace VELD::signals
