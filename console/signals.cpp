#include "console/signals.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "console/note.h"
#include "console/signal_state.h"
#include "integer/interrupt.h"

namespace VELD::signals {

namespace {

using std::chrono::milliseconds;

// Set by Session before it installs the handlers; read through `fixed` everywhere else.
Fixed setUp;

// How often a computation continued in the background looks whether it is in the
// foreground again.
constexpr milliseconds FOREGROUND_POLL{50};

}  // namespace

const Fixed& fixed = setUp;
Shared shared;

sigset_t setOf(std::initializer_list<int> numbers) {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : numbers)
        sigaddset(&set, number);
    return set;
}

void applyModes(const termios& modes) {
    held(setOf({SIGTTOU}), [&] { tcsetattr(fixed.fd, TCSANOW, &modes); });
}

void setTimer(milliseconds first, milliseconds every) {
    auto toTimeval = [](milliseconds ms) {
        return timeval{static_cast<time_t>(ms.count() / 1000),
                       static_cast<suseconds_t>(ms.count() % 1000 * 1000)};
    };
    const itimerval timer{toTimeval(every), toTimeval(first)};
    setitimer(ITIMER_REAL, &timer, nullptr);
}

namespace {

// Erases the note and gives the terminal the modes it had when the session started, where
// the note or the editor had changed them; async-signal-safe.
void giveTerminalBack() {
    note::erase();
    const bool editing = shared.state == PROMPT && fixed.editorFd != NONE;
    if ((editing || shared.echoHeld != 0) && fixed.haveOriginal) applyModes(fixed.original);
}

// The timer's handler, and a tick asked for after a resize or a stop.
extern "C" void askForTick(int = 0) {
    int expected = 0;
    interruptRequested.compare_exchange_strong(expected, TICK_DUE);
}

extern "C" void onInterrupt(int number) {
    if (shared.state == COMPUTING) {
        if (fixed.interrupts == Interrupts::endProgram) shared.endPending = 1;
        interruptRequested = INTERRUPT_DUE;
    } else if (fixed.interrupts == Interrupts::discardLine) {
        shared.promptInterrupt = 1;
    } else if (shared.waiting != 0) {
        signal(number, SIG_DFL);  // everything answered was written before the wait
        raise(number);
    } else {
        shared.endPending = 1;
    }
}

// Stops as SIGTSTP's default action would, the note erased and the modes given back first.
extern "C" void onStop(int number) {
    giveTerminalBack();
    struct sigaction before {};
    struct sigaction stop {};
    stop.sa_handler = SIG_DFL;
    sigaction(number, &stop, &before);
    const sigset_t self = setOf({number});
    sigprocmask(SIG_UNBLOCK, &self, nullptr);
    timespec stopped{}, continued{};
    clock_gettime(CLOCK_MONOTONIC, &stopped);
    raise(number);
    clock_gettime(CLOCK_MONOTONIC, &continued);  // the signal is blocked again on return
    shared.stoppedMilliseconds += static_cast<int>((continued.tv_sec - stopped.tv_sec) * 1000 +
                                                   (continued.tv_nsec - stopped.tv_nsec) / 1000000);
    sigaction(number, &before, nullptr);
}

// Continued after any stop: while a line is computed in the foreground the echo is held
// again (a job brought to the foreground is always sent SIGCONT); the editor puts its own
// modes back when it sees the event.
extern "C" void onContinue(int) {
    if (shared.state == COMPUTING) {
        if (shared.echoHeld != 0 && inForeground()) {
            applyModes(fixed.quiet);
        } else if (shared.echoHeld != 0 && shared.noteRunning != 0) {
            shared.quietPending = 1;
            setTimer(FOREGROUND_POLL, FOREGROUND_POLL);
        }
        askForTick();
    }
    shared.events |= RESUMED;
}

extern "C" void onResize(int) {
    if (shared.state == COMPUTING) {
        note::erase();
        askForTick();
    }
    shared.events |= RESIZED;
}

extern "C" void onEnding(int number) {
    giveTerminalBack();
    signal(number, SIG_DFL);
    raise(number);
}

// SIGTERM and SIGHUP end the program as Ctrl-C does where it ends it: a computation is
// abandoned at its next test, what has been answered is written, and the program ends by
// the signal; at once while a read waits (for input, or at the editor's prompt for a key).
extern "C" void onTerminate(int number) {
    shared.endSignal = number;
    if (shared.state == COMPUTING) {
        shared.endPending = 1;
        interruptRequested = INTERRUPT_DUE;
    } else if (shared.waiting != 0 || fixed.editorFd != NONE) {
        onEnding(number);
    } else {
        shared.endPending = 1;
    }
}

// The session's handlers, a row a signal: `terminal`, only with the editor's or the note's
// terminal; `timer`, only with the note's or output to flush at the first tick;
// `mayBeIgnored`, left ignored when a shell or nohup ignored it before the program started.
// Reads cut short by Ctrl-C, a continue or a resize are not restarted, so that the editor
// sees them at once: also a read stopped for reading from the background.
struct Handler {
    int number;
    void (*handler)(int);
    bool terminal = false, timer = false, mayBeIgnored = false;
    int flags = 0;
};

constexpr Handler HANDLERS[] = {
    {.number = SIGINT, .handler = onInterrupt, .mayBeIgnored = true},
    {.number = SIGALRM, .handler = askForTick, .timer = true, .flags = SA_RESTART},
    {.number = SIGTSTP, .handler = onStop, .terminal = true, .mayBeIgnored = true},
    {.number = SIGCONT, .handler = onContinue, .terminal = true},
    {.number = SIGWINCH, .handler = onResize, .terminal = true},
    {.number = SIGTERM, .handler = onTerminate, .mayBeIgnored = true, .flags = SA_RESTART},
    {.number = SIGHUP, .handler = onTerminate, .mayBeIgnored = true, .flags = SA_RESTART},
    {.number = SIGQUIT,
     .handler = onEnding,
     .terminal = true,
     .mayBeIgnored = true,
     .flags = SA_RESTART},
};

// What each signal did before the session, and whether the session installed its own.
struct sigaction previous[std::size(HANDLERS)];
bool installed[std::size(HANDLERS)];

}  // namespace

const sigset_t TERMINAL_SIGNALS = [] {
    sigset_t set = setOf({});
    for (const Handler& row : HANDLERS) {
        if (row.terminal) sigaddset(&set, row.number);
    }
    return set;
}();

Session::Session(const Setup& setup) {
    shared.state = PROMPT;
    for (std::atomic<int>* flag :
         {&shared.promptInterrupt, &shared.endPending, &shared.endSignal, &shared.waiting,
          &shared.events, &shared.noteShown, &shared.echoHeld})
        *flag = 0;
    setUp.interrupts = setup.interrupts;
    setUp.editorFd = setup.editorFd;
    setUp.noteFd = setup.noteFd;
    setUp.fd = setup.editorFd != NONE ? setup.editorFd : setup.noteFd;
    setUp.haveOriginal = setUp.fd != NONE && tcgetattr(setUp.fd, &setUp.original) == 0;
    setUp.quiet = setUp.original;
    setUp.quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOCTL);
    // With the editor, keys typed while a line computes are its keys, Ctrl-D among them:
    // the terminal keeps each byte as it comes, as it does between lines.
    if (setup.editorFd != NONE) {
        setUp.quiet.c_lflag &= ~static_cast<tcflag_t>(ICANON);
        setUp.quiet.c_cc[VMIN] = 1;
        setUp.quiet.c_cc[VTIME] = 0;
    }
    const bool timer = setup.noteFd != NONE || setup.answers != nullptr;
    for (std::size_t k = 0; k < std::size(HANDLERS); ++k) {
        const Handler& row = HANDLERS[k];
        installed[k] = false;
        if ((row.terminal && fixed.fd == NONE) || (row.timer && !timer)) continue;
        sigaction(row.number, nullptr, &previous[k]);
        if (row.mayBeIgnored && previous[k].sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = row.handler;
        // Every handler but SIGINT's holds off SIGINT, so that a tick never overwrites an
        // interrupt, and the terminal signals.
        action.sa_mask = row.number == SIGINT ? setOf({}) : TERMINAL_SIGNALS;
        if (row.number != SIGINT) sigaddset(&action.sa_mask, SIGINT);
        action.sa_flags = row.flags;
        sigaction(row.number, &action, nullptr);
        installed[k] = true;
    }
    // Where Ctrl-C was ignored when the program started it does nothing: the note does not
    // offer it.
    note::open(setup.answers, !installed[0]                                ? nullptr
                              : setup.interrupts == Interrupts::endProgram ? "ends"
                                                                           : "abandons");
}

Session::~Session() {
    setTimer({}, {});
    for (std::size_t k = std::size(HANDLERS); k-- > 0;) {
        if (installed[k]) sigaction(HANDLERS[k].number, &previous[k], nullptr);
        installed[k] = false;
    }
    // Each computation has erased its note and given the echo back when it ended.
    shared.state = PROMPT;
    giveTerminalBack();
    setUp = Fixed{};
    note::close();
}

Computing::Computing(std::size_t column, std::string_view echo, std::size_t rowsAbove) {
    interruptRequested = 0;
    shared.state = COMPUTING;
    // A request to end that came between two lines, before this computation could be
    // interrupted, abandons it at once: the program ends after the lines answered.
    if (shared.endPending != 0) interruptRequested = INTERRUPT_DUE;
    if (fixed.editorFd != NONE) shared.echoHeld = 1;  // it echoes nothing between lines
    note::begin(column, echo, rowsAbove);
}

// The note is erased, and the terminal echoes again, before anything else is written.
Computing::~Computing() {
    note::end();
    if (shared.echoHeld != 0) {
        held(TERMINAL_SIGNALS, [] {
            // The editor takes the terminal from its modes between lines as they are.
            if (fixed.editorFd == NONE && inForeground()) applyModes(fixed.original);
            shared.echoHeld = 0;
            shared.state = PROMPT;
        });
    } else {
        shared.state = PROMPT;
    }
    shared.events = 0;
    const int left = interruptRequested.exchange(0);
    if (left == INTERRUPT_DUE && fixed.interrupts != Interrupts::discardLine) {
        shared.endPending = 1;
    }
}

bool takePromptInterrupt() {
    return shared.promptInterrupt.exchange(0) != 0;
}

bool endRequested() {
    return shared.endPending != 0;
}

void setWaiting(bool waiting) {
    shared.waiting = waiting ? 1 : 0;
}

void endByInterrupt() {
    giveTerminalBack();
    const int number = shared.endSignal != 0 ? shared.endSignal.load() : SIGINT;
    signal(number, SIG_DFL);
    const sigset_t self = setOf({number});
    sigprocmask(SIG_UNBLOCK, &self, nullptr);
    raise(number);
    std::_Exit(128 + number);  // held off: end as it would have ended the program
}

bool inForeground() {
    return fixed.fd != NONE && tcgetpgrp(fixed.fd) == getpgrp();
}

void awaitForeground() {
    // tcsetattr from the background stops the program until it is in the foreground.
    if (fixed.haveOriginal && !inForeground()) tcsetattr(fixed.fd, TCSANOW, &fixed.quiet);
}

unsigned takeEvents() {
    return static_cast<unsigned>(shared.events.exchange(0));
}

bool sameTerminal(int out, int err) {
    struct stat outInfo {};
    struct stat errInfo {};
    return isatty(out) != 0 && isatty(err) != 0 && fstat(out, &outInfo) == 0 &&
           fstat(err, &errInfo) == 0 && outInfo.st_rdev == errInfo.st_rdev;
}

}  // namespace VELD::signals
