#include "console/signals.h"

#include <signal.h>
#include <sys/time.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iterator>

#include "integer/interrupt.h"

namespace VELD::signals {

namespace {

enum : std::sig_atomic_t { PROMPT, COMPUTING };

// Everything the handlers and the program share. The state is PROMPT or COMPUTING; the
// note's being on the screen makes "note shown", and the handlers' own stack frames make
// "stopped" and "resumed".
struct Shared {
    volatile std::sig_atomic_t state = PROMPT;
    Interrupts interrupts = Interrupts::endBetweenLines;
    volatile std::sig_atomic_t promptInterrupt = 0;  // the editor's, taken once
    volatile std::sig_atomic_t endPending = 0;       // the program is to end at the next read
    volatile std::sig_atomic_t waiting = 0;          // a stream's read may wait for input
    volatile std::sig_atomic_t events = 0;           // RESIZED and RESUMED
    volatile std::sig_atomic_t noteShown = 0;
    volatile std::sig_atomic_t echoHeld = 0;      // the note's terminal echoes nothing
    volatile std::sig_atomic_t resumeEditor = 0;  // the editor's modes are to come back
    volatile std::sig_atomic_t stoppedMilliseconds = 0;
    int editorFd = -1, noteFd = -1;
    int fd = -1;  // the terminal whose modes are kept: the editor's, or the note's
    bool haveOriginal = false;
    termios original{};     // its modes when the session started
    termios editorModes{};  // the editor's modes, from before a stop at the prompt
};

Shared shared;

void writeQuietly(const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t count = ::write(shared.noteFd, text, length);
        if (count < 0 && errno == EINTR) continue;
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

void eraseNote() {
    if (shared.noteShown == 0) return;
    writeQuietly(ERASE_NOTE, sizeof ERASE_NOTE - 1);
    shared.noteShown = 0;
}

// Erases the note and gives the terminal the modes it had when the session started, where
// the note or the editor had changed them; async-signal-safe. Returns whether the editor's
// modes were in force.
bool giveTerminalBack() {
    eraseNote();
    const bool editing = shared.state == PROMPT && shared.editorFd >= 0;
    if ((editing || shared.echoHeld != 0) && shared.haveOriginal) applyModes(shared.original);
    shared.echoHeld = 0;
    return editing;
}

void askForTick() {
    std::sig_atomic_t expected = 0;
    __atomic_compare_exchange_n(&interruptRequested, &expected, TICK_DUE, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
}

std::sig_atomic_t millisecondsBetween(const timespec& from, const timespec& to) {
    return static_cast<std::sig_atomic_t>((to.tv_sec - from.tv_sec) * 1000 +
                                          (to.tv_nsec - from.tv_nsec) / 1000000);
}

extern "C" void onInterrupt(int number) {
    const bool ends = shared.interrupts == Interrupts::endProgram;
    if (shared.state == COMPUTING) {
        if (ends) shared.endPending = 1;
        interruptRequested = INTERRUPT_DUE;
    } else if (shared.interrupts == Interrupts::discardLine) {
        shared.promptInterrupt = 1;
    } else if (shared.waiting != 0) {
        signal(number, SIG_DFL);  // everything answered was written before the wait
        raise(number);
    } else {
        shared.endPending = 1;
    }
}

extern "C" void onTimer(int) {
    askForTick();
}

// Stops as SIGTSTP's default action would, with the note erased and the modes given back
// first. The editor's modes come back when the program continues (onContinue).
extern "C" void onStop(int number) {
    if (shared.state == PROMPT && shared.editorFd >= 0 &&
        tcgetattr(shared.editorFd, &shared.editorModes) == 0) {
        shared.resumeEditor = 1;
    }
    giveTerminalBack();
    struct sigaction before {};
    struct sigaction stop {};
    stop.sa_handler = SIG_DFL;
    sigaction(number, &stop, &before);
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, number);
    sigprocmask(SIG_UNBLOCK, &held, nullptr);
    timespec stopped{}, continued{};
    clock_gettime(CLOCK_MONOTONIC, &stopped);
    raise(number);
    // Continued (the signal is blocked again when this handler returns).
    clock_gettime(CLOCK_MONOTONIC, &continued);
    shared.stoppedMilliseconds =
        shared.stoppedMilliseconds + millisecondsBetween(stopped, continued);
    sigaction(number, &before, nullptr);
}

// Continued, after any stop: in the foreground the editor's modes come back, and the
// editor or the note is told.
extern "C" void onContinue(int) {
    if (shared.resumeEditor != 0 && inForeground()) {
        applyModes(shared.editorModes);
        shared.resumeEditor = 0;
    }
    shared.events = shared.events | RESUMED;
    if (shared.state == COMPUTING) askForTick();
}

extern "C" void onResize(int) {
    if (shared.state == COMPUTING) {
        eraseNote();
        askForTick();
    }
    shared.events = shared.events | RESIZED;
}

extern "C" void onEnding(int number) {
    giveTerminalBack();
    signal(number, SIG_DFL);
    raise(number);
}

// The session's handlers, one row a signal. `terminal`: installed only with a terminal of
// the editor's or the note's; `timer`: only with the note's. `mayBeIgnored`: a signal that
// a shell or nohup may have set to be ignored before the program started; it is then left
// ignored. Reads that these signals cut short are not restarted, so that the editor sees
// Ctrl-C, a stop and a resize at once; the timer's and the ending ones' are.
struct Handler {
    int number;
    void (*handler)(int);
    bool terminal;
    bool timer;
    bool mayBeIgnored;
    int flags;
};

constexpr Handler HANDLERS[] = {
    {SIGINT, onInterrupt, false, false, true, 0},
    {SIGALRM, onTimer, true, true, false, SA_RESTART},
    {SIGTSTP, onStop, true, false, true, 0},
    {SIGCONT, onContinue, true, false, false, SA_RESTART},
    {SIGWINCH, onResize, true, false, false, 0},
    {SIGTERM, onEnding, true, false, true, SA_RESTART},
    {SIGHUP, onEnding, true, false, true, SA_RESTART},
    {SIGQUIT, onEnding, true, false, true, SA_RESTART},
};

// What each signal did before the session, and whether the session installed its own.
struct sigaction previous[std::size(HANDLERS)];
bool installed[std::size(HANDLERS)];

// Holds off the signals whose handlers draw on the terminal or change its modes, for as
// long as it lasts.
class DrawingHeld {
public:
    DrawingHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const Handler& row : HANDLERS) {
            if (row.terminal) sigaddset(&held, row.number);
        }
        sigprocmask(SIG_BLOCK, &held, &before);
    }
    ~DrawingHeld() { sigprocmask(SIG_SETMASK, &before, nullptr); }
    DrawingHeld(const DrawingHeld&) = delete;
    DrawingHeld& operator=(const DrawingHeld&) = delete;

private:
    sigset_t before;
};

void setTimer(std::chrono::milliseconds first, std::chrono::milliseconds every) {
    auto toTimeval = [](std::chrono::milliseconds ms) {
        return timeval{static_cast<time_t>(ms.count() / 1000),
                       static_cast<suseconds_t>(ms.count() % 1000 * 1000)};
    };
    const itimerval timer{toTimeval(every), toTimeval(first)};
    setitimer(ITIMER_REAL, &timer, nullptr);
}

}  // namespace

Session::Session(Interrupts interrupts, int editorFd, int noteFd) {
    shared.state = PROMPT;
    shared.interrupts = interrupts;
    for (volatile std::sig_atomic_t* flag :
         {&shared.promptInterrupt, &shared.endPending, &shared.waiting, &shared.events,
          &shared.noteShown, &shared.echoHeld, &shared.resumeEditor})
        *flag = 0;
    shared.editorFd = editorFd;
    shared.noteFd = noteFd;
    shared.fd = editorFd >= 0 ? editorFd : noteFd;
    shared.haveOriginal = shared.fd >= 0 && tcgetattr(shared.fd, &shared.original) == 0;
    // SIGINT is held off while a handler that draws runs, so an interrupt is never
    // overwritten by a tick; the other terminal signals wait for one another.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    for (const Handler& row : HANDLERS) {
        if (row.terminal) sigaddset(&mask, row.number);
    }
    for (std::size_t k = 0; k < std::size(HANDLERS); ++k) {
        const Handler& row = HANDLERS[k];
        installed[k] = false;
        if ((row.terminal && shared.fd < 0) || (row.timer && noteFd < 0)) continue;
        sigaction(row.number, nullptr, &previous[k]);
        if (row.mayBeIgnored && previous[k].sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = row.handler;
        action.sa_mask = mask;
        if (row.number == SIGINT) sigemptyset(&action.sa_mask);
        action.sa_flags = row.flags;
        sigaction(row.number, &action, nullptr);
        installed[k] = true;
    }
}

Session::~Session() {
    stopTimer();
    for (std::size_t k = std::size(HANDLERS); k-- > 0;) {
        if (installed[k]) sigaction(HANDLERS[k].number, &previous[k], nullptr);
        installed[k] = false;
    }
    if (shared.noteFd >= 0 && inForeground()) {
        eraseNote();
        if (shared.echoHeld != 0 && shared.haveOriginal) applyModes(shared.original);
    }
    shared.echoHeld = 0;
    shared.editorFd = shared.noteFd = shared.fd = -1;
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

void endByInterrupt() {
    signal(SIGINT, SIG_DFL);
    raise(SIGINT);
    std::_Exit(128 + SIGINT);  // SIGINT held off: end as it would have ended the program
}

unsigned takeEvents() {
    return static_cast<unsigned>(__atomic_exchange_n(&shared.events, 0, __ATOMIC_SEQ_CST));
}

void startTimer(std::chrono::milliseconds first) {
    setTimer(first, std::chrono::seconds(1));
}

void stopTimer() {
    setTimer({}, {});
}

std::chrono::milliseconds timeStopped() {
    return std::chrono::milliseconds(shared.stoppedMilliseconds);
}

void holdEcho() {
    if (shared.noteFd < 0 || shared.echoHeld != 0 || !shared.haveOriginal || !inForeground())
        return;
    termios quiet = shared.original;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOCTL);
    const DrawingHeld held;
    shared.echoHeld = 1;
    applyModes(quiet);
}

void releaseEcho() {
    const DrawingHeld held;
    if (shared.echoHeld == 0) return;
    if (inForeground()) applyModes(shared.original);
    shared.echoHeld = 0;
}

bool inForeground() {
    return shared.fd >= 0 && tcgetpgrp(shared.fd) == getpgrp();
}

void drawNote(const char* text, std::size_t length, bool shown) {
    const DrawingHeld held;
    writeQuietly(text, length);
    shared.noteShown = shown ? 1 : 0;
}

bool noteShown() {
    return shared.noteShown != 0;
}

}  // namespace VELD::signals
