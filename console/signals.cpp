#include "console/signals.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

#include "integer/interrupt.h"

namespace VELD::signals {

namespace {

enum : std::sig_atomic_t { PROMPT, COMPUTING };

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
    int fd = -1;      // the note's terminal, or -1
    termios modes{};  // its modes from before echo was held
};

Shared shared;

constexpr int DRAWING_SIGNALS[] = {SIGALRM, SIGTSTP, SIGWINCH, SIGTERM, SIGHUP, SIGQUIT};
constexpr int SESSION_SIGNALS[] = {SIGINT, SIGALRM, SIGTSTP, SIGWINCH, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previous[sizeof SESSION_SIGNALS / sizeof SESSION_SIGNALS[0]];

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
    raise(number);
    // Continued (the signal is blocked again when this handler returns).
    signal(number, onStop);
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

void install(int number, void (*handler)(int), struct sigaction* before, int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // SIGINT is held off while a handler that draws runs, so an interrupt is never
    // overwritten by a tick.
    if (number != SIGINT) sigaddset(&action.sa_mask, SIGINT);
    action.sa_flags = flags;
    sigaction(number, &action, before);
}

// Holds off the signals whose handlers draw on the terminal, for as long as it lasts.
class DrawingHeld {
public:
    DrawingHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int number : DRAWING_SIGNALS)
            sigaddset(&held, number);
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
    // Reads that Ctrl-C cuts short are not restarted: the editor and the stream need to see
    // them. Those of the other signals are.
    install(SIGINT, onInterrupt, &previous[0], 0);
    if (noteFd < 0) return;
    install(SIGALRM, onTimer, &previous[1], SA_RESTART);
    install(SIGTSTP, onStop, &previous[2], SA_RESTART);
    install(SIGWINCH, onResize, &previous[3], SA_RESTART);
    for (std::size_t k = 4; k < sizeof SESSION_SIGNALS / sizeof SESSION_SIGNALS[0]; ++k)
        install(SESSION_SIGNALS[k], onEnding, &previous[k], SA_RESTART);
}

Session::~Session() {
    const std::size_t count =
        shared.fd < 0 ? 1 : sizeof SESSION_SIGNALS / sizeof SESSION_SIGNALS[0];
    for (std::size_t k = count; k-- > 0;)
        sigaction(SESSION_SIGNALS[k], &previous[k], nullptr);
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

unsigned takeEvents() {
    return static_cast<unsigned>(__atomic_exchange_n(&shared.events, 0, __ATOMIC_SEQ_CST));
}

void drawNote(const char* text, std::size_t length, bool shown) {
    const DrawingHeld held;
    writeQuietly(text, length);
    shared.noteShown = shown ? 1 : 0;
}

}  // namespace VELD::signals
