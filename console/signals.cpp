#include "console/signals.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <iterator>

#include "integer/interrupt.h"

namespace VELD::signals {

namespace {

enum : std::sig_atomic_t { PROMPT, COMPUTING };

struct Handler;
void install(const Handler& row);
const Handler& rowOf(int number);

// Everything the handlers and the dialogue share. The state is PROMPT or COMPUTING; the
// note's being on the screen makes "note shown", and the handlers' own stack frames make
// "stopped" and "resumed".
struct Shared {
    volatile std::sig_atomic_t state = PROMPT;
    Interrupts interrupts = Interrupts::endBetweenLines;
    volatile std::sig_atomic_t promptInterrupt = 0;  // the editor's, taken once
    volatile std::sig_atomic_t endPending = 0;       // the program is to end at the next read
    volatile std::sig_atomic_t waiting = 0;          // a stream's read may wait for input
    volatile std::sig_atomic_t events = 0;           // RESIZED and RESUMED, for the note
    volatile std::sig_atomic_t noteShown = 0;
    volatile std::sig_atomic_t echoHeld = 0;
    volatile std::sig_atomic_t stoppedSeconds = 0;  // time spent stopped, in all
    volatile long stoppedNanoseconds = 0;
    int fd = -1;      // the note's terminal, or -1
    termios modes{};  // its modes from before echo was held
};

Shared shared;

void writeQuietly(const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t count = ::write(shared.fd, text, length);
        if (count <= 0) return;  // the note is a courtesy
        text += count;
        length -= static_cast<std::size_t>(count);
    }
}

// Applies modes with SIGTTOU held off, so that a process that has just been sent to the
// background is not stopped for it.
void applyModes(const termios& modes) {
    sigset_t ttou, before;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &before);
    tcsetattr(shared.fd, TCSANOW, &modes);
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// Erases the note and gives the terminal its modes back; async-signal-safe. Returns
// whether echo was held.
bool giveTerminalBack() {
    if (shared.noteShown != 0) {
        writeQuietly(ERASE_NOTE, sizeof ERASE_NOTE - 1);
        shared.noteShown = 0;
    }
    const bool held = shared.echoHeld != 0;
    if (held) {
        applyModes(shared.modes);
        shared.echoHeld = 0;
    }
    return held;
}

void askForTick() {
    std::sig_atomic_t expected = 0;
    __atomic_compare_exchange_n(&interruptRequested, &expected, TICK_DUE, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
}

// Takes `number` as its default action would: the terminal first given back.
void endAsSignalDoes(int number) {
    giveTerminalBack();
    signal(number, SIG_DFL);
    raise(number);
}

extern "C" void onInterrupt(int number) {
    const bool ends = shared.interrupts == Interrupts::endProgram;
    if (shared.state == COMPUTING) {
        if (ends) shared.endPending = 1;
        interruptRequested = INTERRUPT_DUE;
    } else if (shared.interrupts == Interrupts::discardLine) {
        shared.promptInterrupt = 1;
    } else if (shared.waiting != 0) {
        endAsSignalDoes(number);  // everything answered was written before the wait
    } else {
        shared.endPending = 1;
    }
}

extern "C" void onTimer(int) {
    askForTick();
}

// Stops as SIGTSTP's default action would, with the note erased and the modes given back
// first; continues here on SIGCONT.
extern "C" void onStop(int number) {
    const bool computing = shared.state == COMPUTING;
    if (computing) giveTerminalBack();
    signal(number, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, number);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    timespec before{}, after{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    raise(number);
    clock_gettime(CLOCK_MONOTONIC, &after);
    long nanoseconds = shared.stoppedNanoseconds + (after.tv_nsec - before.tv_nsec);
    std::sig_atomic_t seconds =
        shared.stoppedSeconds + static_cast<std::sig_atomic_t>(after.tv_sec - before.tv_sec);
    if (nanoseconds < 0) {
        nanoseconds += 1000000000;
        --seconds;
    } else if (nanoseconds >= 1000000000) {
        nanoseconds -= 1000000000;
        ++seconds;
    }
    shared.stoppedSeconds = seconds;
    shared.stoppedNanoseconds = nanoseconds;
    // Continued (the signal is blocked again when this handler returns): the handler is
    // installed again as the table has it, with its mask.
    install(rowOf(number));
    if (computing) {
        shared.events = shared.events | RESUMED;
        askForTick();
    }
}

extern "C" void onResize(int) {
    if (shared.state != COMPUTING) return;
    if (shared.noteShown != 0) {
        writeQuietly(ERASE_NOTE, sizeof ERASE_NOTE - 1);
        shared.noteShown = 0;
    }
    shared.events = shared.events | RESIZED;
    askForTick();
}

extern "C" void onEnding(int number) {
    endAsSignalDoes(number);
}

// The session's handlers, one row a signal. `note`: installed only with a terminal for the
// note, and held off while the note is drawn. `mayBeIgnored`: a signal that a shell or
// nohup may have set to be ignored before the program started; it is then left ignored.
// Reads that Ctrl-C cuts short are not restarted: the editor and the stream need to see
// them. Those of the other signals are.
struct Handler {
    int number;
    void (*handler)(int);
    bool note;
    bool mayBeIgnored;
    int flags;
};

constexpr Handler HANDLERS[] = {
    {SIGINT, onInterrupt, false, true, 0},       {SIGALRM, onTimer, true, false, SA_RESTART},
    {SIGTSTP, onStop, true, true, SA_RESTART},   {SIGWINCH, onResize, true, false, SA_RESTART},
    {SIGTERM, onEnding, true, true, SA_RESTART}, {SIGHUP, onEnding, true, true, SA_RESTART},
    {SIGQUIT, onEnding, true, true, SA_RESTART},
};

// What each signal did before the session, and whether the session installed its own.
struct sigaction previous[std::size(HANDLERS)];
bool installed[std::size(HANDLERS)];

// Installs the handler of `row`: SIGINT is held off while a handler that draws runs, so an
// interrupt is never overwritten by a tick.
void install(const Handler& row) {
    struct sigaction action {};
    action.sa_handler = row.handler;
    sigemptyset(&action.sa_mask);
    if (row.number != SIGINT) sigaddset(&action.sa_mask, SIGINT);
    action.sa_flags = row.flags;
    sigaction(row.number, &action, nullptr);
}

const Handler& rowOf(int number) {
    for (const Handler& row : HANDLERS) {
        if (row.number == number) return row;
    }
    return HANDLERS[0];
}

// Holds off the signals whose handlers draw on the terminal, for as long as it lasts.
class DrawingHeld {
public:
    DrawingHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const Handler& row : HANDLERS) {
            if (row.note) sigaddset(&held, row.number);
        }
        sigprocmask(SIG_BLOCK, &held, &before);
    }
    ~DrawingHeld() { sigprocmask(SIG_SETMASK, &before, nullptr); }
    DrawingHeld(const DrawingHeld&) = delete;
    DrawingHeld& operator=(const DrawingHeld&) = delete;

private:
    sigset_t before;
};

}  // namespace

Session::Session(Interrupts interrupts, int noteFd) {
    shared.state = PROMPT;
    shared.interrupts = interrupts;
    for (volatile std::sig_atomic_t* flag :
         {&shared.promptInterrupt, &shared.endPending, &shared.waiting, &shared.events,
          &shared.noteShown, &shared.echoHeld})
        *flag = 0;
    shared.fd = noteFd;
    for (std::size_t k = 0; k < std::size(HANDLERS); ++k) {
        const Handler& row = HANDLERS[k];
        installed[k] = false;
        if (row.note && noteFd < 0) continue;
        sigaction(row.number, nullptr, &previous[k]);
        if (row.mayBeIgnored && previous[k].sa_handler == SIG_IGN) continue;
        install(row);
        installed[k] = true;
    }
}

Session::~Session() {
    for (std::size_t k = std::size(HANDLERS); k-- > 0;) {
        if (installed[k]) sigaction(HANDLERS[k].number, &previous[k], nullptr);
        installed[k] = false;
    }
    if (shared.fd >= 0 && inForeground()) giveTerminalBack();
    shared.fd = -1;
}

Computing::Computing() {
    interruptRequested = 0;
    shared.state = COMPUTING;
}

Computing::~Computing() {
    shared.state = PROMPT;
    shared.events = 0;
    const std::sig_atomic_t left = __atomic_exchange_n(&interruptRequested, 0, __ATOMIC_SEQ_CST);
    if (left == INTERRUPT_DUE && shared.interrupts != Interrupts::discardLine) {
        shared.endPending = 1;
    }
}

bool takePromptInterrupt() {
    return __atomic_exchange_n(&shared.promptInterrupt, 0, __ATOMIC_SEQ_CST) != 0;
}

bool endRequested() {
    return shared.endPending != 0;
}

void setWaiting(bool waiting) {
    shared.waiting = waiting ? 1 : 0;
}

void holdEcho() {
    if (shared.fd < 0 || shared.echoHeld != 0 || !inForeground()) return;
    termios quiet{};
    if (tcgetattr(shared.fd, &quiet) != 0) return;
    shared.modes = quiet;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOCTL);
    const DrawingHeld held;
    shared.echoHeld = 1;
    applyModes(quiet);
}

void releaseEcho() {
    const DrawingHeld held;
    if (shared.echoHeld == 0) return;
    if (inForeground()) applyModes(shared.modes);
    shared.echoHeld = 0;
}

bool inForeground() {
    return shared.fd >= 0 && tcgetpgrp(shared.fd) == getpgrp();
}

std::chrono::nanoseconds timeStopped() {
    const DrawingHeld held;  // the stop handler does not run while both are read
    return std::chrono::seconds(shared.stoppedSeconds) +
           std::chrono::nanoseconds(shared.stoppedNanoseconds);
}

void endByInterrupt() {
    signal(SIGINT, SIG_DFL);
    raise(SIGINT);
    std::_Exit(128 + SIGINT);  // SIGINT held off: end as it would have ended the program
}

unsigned takeEvents() {
    return static_cast<unsigned>(__atomic_exchange_n(&shared.events, 0, __ATOMIC_SEQ_CST));
}

void drawNote(const char* text, std::size_t length, bool shown) {
    const DrawingHeld held;
    writeQuietly(text, length);
    shared.noteShown = shown ? 1 : 0;
}

}  // namespace VELD::signals
