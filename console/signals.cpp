#include "console/signals.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "console/time_left.h"
#include "integer/interrupt.h"
#include "integer/progress.h"

namespace VELD::signals {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

enum : int { PROMPT, COMPUTING };

// "Erase to the end of the screen": the note, from the echo's end where the cursor stands.
// A note on a line of its own (the script modes') never wraps and is erased to the end of
// its line: erasing a screen from its top left corner makes some terminals (tmux) keep it,
// note and all, in their scrollback.
constexpr char ERASE_NOTE[] = "\x1b[J";
constexpr char ERASE_LINE[] = "\x1b[K";

// What the handlers and the program share. What either side changes while the handlers
// are installed is a lock-free atomic (interrupt.h); the fields after them are set by
// Session before it installs the handlers and only read until it takes them away. The
// state is PROMPT or COMPUTING; the note on the screen makes "note shown", the handlers'
// own frames "stopped" and "resumed".
struct Shared {
    std::atomic<int> state = PROMPT;
    std::atomic<int> promptInterrupt = 0;  // the editor's, taken once
    std::atomic<int> endPending = 0;       // the program is to end at the next read
    std::atomic<int> endSignal = 0;        // by this signal (0: SIGINT)
    std::atomic<int> waiting = 0;          // a stream's read may wait for input
    std::atomic<int> events = 0;           // RESIZED and RESUMED
    std::atomic<int> noteShown = 0;
    std::atomic<int> ownLine = 0;   // the note stands at the start of a line
    std::atomic<int> echoHeld = 0;  // the terminal is to echo nothing
    std::atomic<int> stoppedMilliseconds = 0;
    // Continued in the background while the echo is held: the ticks come fast until the
    // program is in the foreground again, and then hold the echo once more (bash sends no
    // SIGCONT when fg brings a running job back).
    std::atomic<int> quietPending = 0;
    Interrupts interrupts = Interrupts::endBetweenLines;
    int editorFd = NONE, noteFd = NONE;
    int fd = NONE;  // the terminal whose modes are kept: the editor's, or the note's
    bool haveOriginal = false;
    termios original{};  // its modes when the session started
    termios quiet{};     // the same without echo
};

Shared shared;

// The note of the line being computed, drawn from the tick hook on the program's thread.
struct Note {
    milliseconds delay{1000};
    const char* action = "abandons";  // what Ctrl-C does; null where it does nothing
    bool running = false;
    std::size_t column = 0;  // where the echo ends
    std::string echo;
    bool echoLost = false;  // continued, and the echo not yet written again
    Clock::time_point started;
    int stoppedBefore = 0;            // stoppedMilliseconds at the start
    std::ostream* answers = nullptr;  // what has been answered, flushed at the first tick
    bool flushed = false;             // that comes `flushAfter` into the computation
    milliseconds flushAfter{1000};
    // The step the note last named: which run, the share shown, which never falls, and
    // the time left reckoned from the shares seen.
    std::uint64_t run = 0;
    int shown = 0;
    TimeLeft left;
} note;

double secondsSince(Clock::time_point start, int stoppedBefore) {
    return std::chrono::duration<double>(Clock::now() - start).count() -
           (shared.stoppedMilliseconds - stoppedBefore) / 1000.0;
}

// The seconds the line has run, less those stopped: the clock of its steps' starts.
double lineSeconds() {
    return secondsSince(note.started, note.stoppedBefore);
}

// Seconds as people say them: a few seconds, five-second steps below a minute, whole
// minutes, whole hours; never zero.
std::string spoken(double seconds) {
    const auto round = [](double x) { return std::max(1, static_cast<int>(x + 0.5)); };
    if (seconds < 10) return std::to_string(round(seconds)) + " s";
    if (seconds < 58) return std::to_string(round(seconds / 5) * 5) + " s";
    if (seconds < 3570) return std::to_string(round(seconds / 60)) + " min";
    return std::to_string(round(seconds / 3600)) + " h";
}

// What the note says of the step running, from the computation's record: its name and,
// where its model gives one, its share done (never falling, below 100% while it runs) and,
// once it has run two seconds, the time left (time_left.h).
struct StepText {
    std::string name;  // with the share: "factorial 40%"; empty when no step is named
    std::string left;  // "about 18 s left", or empty
};
StepText describeStep() {
    if (progress.step == Step::none) return {};
    if (progress.run != note.run) {
        note.run = progress.run;
        note.shown = 0;
        note.left.start(progress.started);
    }
    StepText text{stepName(progress.step), ""};
    if (progress.total <= 0) return text;
    const double share = std::clamp(progress.done() / progress.total, 0.0, 0.99);
    note.shown = std::max(note.shown, static_cast<int>(share * 100));
    text.name.append(" ").append(std::to_string(note.shown)).append("%");
    note.left.observe(lineSeconds(),
                      {share, progress.phase, progress.phaseEnd,
                       progress.nextCost ? progress.nextCost(progress.costKind) : 1});
    const double left = note.left.seconds();
    if (left >= 0) text.left.append("about ").append(spoken(left)).append(" left");
    return text;
}

void writeQuietly(const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t count = ::write(shared.noteFd, text, length);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return;  // the note is a courtesy
        text += count;
        length -= static_cast<std::size_t>(count);
    }
}

sigset_t setOf(std::initializer_list<int> numbers) {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : numbers)
        sigaddset(&set, number);
    return set;
}

// Runs `work` with the signals of `set` held off.
template <typename Work>
void held(const sigset_t& set, Work work) {
    sigset_t before;
    sigprocmask(SIG_BLOCK, &set, &before);
    work();
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// Applies modes with SIGTTOU held off, so that a process just sent to the background is
// not stopped for it.
void applyModes(const termios& modes) {
    held(setOf({SIGTTOU}), [&] { tcsetattr(shared.fd, TCSANOW, &modes); });
}

void eraseNote() {
    if (shared.noteShown == 0) return;
    writeQuietly(shared.ownLine != 0 ? ERASE_LINE : ERASE_NOTE, 3);
    shared.noteShown = 0;
}

// Erases the note and gives the terminal the modes it had when the session started, where
// the note or the editor had changed them; async-signal-safe.
void giveTerminalBack() {
    eraseNote();
    const bool editing = shared.state == PROMPT && shared.editorFd != NONE;
    if ((editing || shared.echoHeld != 0) && shared.haveOriginal) applyModes(shared.original);
}

// How often a computation continued in the background looks whether it is in the
// foreground again.
constexpr milliseconds FOREGROUND_POLL{50};

// Sets the timer; async-signal-safe.
void setTimer(milliseconds first, milliseconds every) {
    auto toTimeval = [](milliseconds ms) {
        return timeval{static_cast<time_t>(ms.count() / 1000),
                       static_cast<suseconds_t>(ms.count() % 1000 * 1000)};
    };
    const itimerval timer{toTimeval(every), toTimeval(first)};
    setitimer(ITIMER_REAL, &timer, nullptr);
}

// The timer's handler, and a tick asked for after a resize or a stop.
extern "C" void askForTick(int = 0) {
    int expected = 0;
    interruptRequested.compare_exchange_strong(expected, TICK_DUE);
}

extern "C" void onInterrupt(int number) {
    if (shared.state == COMPUTING) {
        if (shared.interrupts == Interrupts::endProgram) shared.endPending = 1;
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
            applyModes(shared.quiet);
        } else if (shared.echoHeld != 0 && note.running) {
            shared.quietPending = 1;
            setTimer(FOREGROUND_POLL, FOREGROUND_POLL);
        }
        askForTick();
    }
    shared.events |= RESUMED;
}

extern "C" void onResize(int) {
    if (shared.state == COMPUTING) {
        eraseNote();
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
    } else if (shared.waiting != 0 || shared.editorFd != NONE) {
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
    bool terminal, timer, mayBeIgnored;
    int flags;
};

constexpr Handler HANDLERS[] = {
    {SIGINT, onInterrupt, false, false, true, 0},
    {SIGALRM, askForTick, false, true, false, SA_RESTART},
    {SIGTSTP, onStop, true, false, true, 0},
    {SIGCONT, onContinue, true, false, false, 0},
    {SIGWINCH, onResize, true, false, false, 0},
    {SIGTERM, onTerminate, false, false, true, SA_RESTART},
    {SIGHUP, onTerminate, false, false, true, SA_RESTART},
    {SIGQUIT, onEnding, true, false, true, SA_RESTART},
};

// What each signal did before the session, and whether the session installed its own.
struct sigaction previous[std::size(HANDLERS)];
bool installed[std::size(HANDLERS)];

// The terminal signals: held off while the note is drawn, the modes change, or a handler runs.
const sigset_t TERMINAL_SIGNALS = [] {
    sigset_t set = setOf({});
    for (const Handler& row : HANDLERS) {
        if (row.terminal) sigaddset(&set, row.number);
    }
    return set;
}();

// Writes `text` to the note's terminal, and records whether the note is shown after it.
void draw(const std::string& text, bool shown) {
    held(TERMINAL_SIGNALS, [&] {
        writeQuietly(text.data(), text.size());
        shared.noteShown = shown ? 1 : 0;
    });
}

// The note's text, an erase of what a longer one left, and back to the echo's end.
void show(const std::string& text) {
    draw(text + (shared.ownLine != 0 ? ERASE_LINE : ERASE_NOTE) + std::string(text.size(), '\b'),
         !text.empty());
}

// After a stop and continue the echo is written again on a line of its own, for the answer
// to complete: in the foreground, or below the shell's prompt when the answer comes first
// (`ending`) in the background. After a resize the handler has erased the note. Returns
// whether the note may be drawn now.
bool catchUp(bool ending = false) {
    const unsigned events = takeEvents();
    note.echoLost = note.echoLost || (events & RESUMED) != 0;
    const bool foreground = inForeground();
    if (note.echoLost && (foreground || ending)) {
        draw((foreground ? "\r" : "\n") + note.echo, false);
        note.column = note.echo.size();
        note.echoLost = false;
        return true;
    }
    return !note.echoLost && (events & RESIZED) == 0;
}

milliseconds configuredDelay() {
    const char* text = std::getenv("EXACTCALC_STATUS_DELAY_MS");
    char* end = nullptr;
    const long value = text == nullptr ? 0 : std::strtol(text, &end, 10);
    return milliseconds(value >= 1 && value <= 3600000 && *end == '\0' ? value : 1000);
}

// At each tick: the longest note that fits before the last column of its line (where some
// terminals wrap at once), counting the seconds the line has run but not those stopped.
// While it shows the terminal does not echo: keys typed ahead, and Ctrl-C's "^C", would
// land behind it and push the answer off its place. After a resize it waits a tick.
void refresh() {
    if (!note.flushed && note.answers != nullptr &&
        Clock::now() - note.started >= note.flushAfter) {
        note.flushed = true;
        *note.answers << std::flush;
    }
    if (shared.quietPending != 0 && inForeground()) {
        shared.quietPending = 0;
        held(TERMINAL_SIGNALS, [] { applyModes(shared.quiet); });
        setTimer(milliseconds(1000), milliseconds(1000));
    }
    if (shared.noteFd == NONE || !catchUp()) return;
    const long seconds = std::max(1L, static_cast<long>(lineSeconds()));
    winsize size{};
    const std::size_t width =
        ioctl(shared.noteFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    const std::size_t at = note.column % width;
    // A cursor just past the end of a full line stands in the last column, waiting to wrap.
    const bool room = !(note.column > 0 && at == 0) && inForeground();
    // The forms the note may take, longest first: the seconds, the step and the time left,
    // and what Ctrl-C does (where it does anything); the first that fits is shown.
    const StepText step = describeStep();
    const std::string control = note.action != nullptr ? std::string("Ctrl-C ") + note.action : "";
    for (const auto& parts : {std::vector{step.name, step.left, control},
                              {step.name, step.left},
                              {step.name, control},
                              {step.name},
                              {control},
                              std::vector<std::string>{}}) {
        std::string text(note.column > 0 ? "  [" : "[");
        text.append(std::to_string(seconds)).append(" s");
        for (const std::string& part : parts) {
            if (!part.empty()) text.append(", ").append(part);
        }
        text.append("]");
        if (room && text.size() <= width - 1 - at) {
            if (shared.echoHeld == 0 && shared.haveOriginal) {
                held(TERMINAL_SIGNALS, [&] {
                    shared.echoHeld = 1;
                    applyModes(shared.quiet);
                });
            }
            return show(text);
        }
    }
    if (shared.noteShown != 0) show("");
}

}  // namespace

Session::Session(const Setup& setup) {
    shared.state = PROMPT;
    shared.interrupts = setup.interrupts;
    for (std::atomic<int>* flag :
         {&shared.promptInterrupt, &shared.endPending, &shared.endSignal, &shared.waiting,
          &shared.events, &shared.noteShown, &shared.echoHeld})
        *flag = 0;
    shared.editorFd = setup.editorFd;
    shared.noteFd = setup.noteFd;
    shared.fd = setup.editorFd != NONE ? setup.editorFd : setup.noteFd;
    shared.haveOriginal = shared.fd != NONE && tcgetattr(shared.fd, &shared.original) == 0;
    shared.quiet = shared.original;
    shared.quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOCTL);
    // With the editor, keys typed while a line computes are its keys, Ctrl-D among them:
    // the terminal keeps each byte as it comes, as it does between lines.
    if (setup.editorFd != NONE) {
        shared.quiet.c_lflag &= ~static_cast<tcflag_t>(ICANON);
        shared.quiet.c_cc[VMIN] = 1;
        shared.quiet.c_cc[VTIME] = 0;
    }
    note.answers = setup.answers;
    note.delay = configuredDelay();
    note.run = 0;
    const bool timer = setup.noteFd != NONE || setup.answers != nullptr;
    for (std::size_t k = 0; k < std::size(HANDLERS); ++k) {
        const Handler& row = HANDLERS[k];
        installed[k] = false;
        if ((row.terminal && shared.fd == NONE) || (row.timer && !timer)) continue;
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
    note.action = !installed[0]                                ? nullptr
                  : setup.interrupts == Interrupts::endProgram ? "ends"
                                                               : "abandons";
    // Without a note, a tick every quarter of the delay while the session lasts: far
    // cheaper than a timer set and cleared for every line. The first tick three quarters
    // of the delay into a computation flushes what has been answered, so that it goes out
    // a delay after the computation began at the latest.
    note.flushAfter = note.delay;
    if (setup.noteFd == NONE && setup.answers != nullptr) {
        const milliseconds every = std::max(milliseconds(1), note.delay / 4);
        note.flushAfter = note.delay - every;
        setTimer(every, every);
    }
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
    shared.editorFd = shared.noteFd = shared.fd = NONE;
    note.answers = nullptr;
    tickHook = nullptr;
}

Computing::Computing(std::size_t column, std::string_view echo) {
    interruptRequested = 0;
    shared.state = COMPUTING;
    // A request to end that came between two lines, before this computation could be
    // interrupted, abandons it at once: the program ends after the lines answered.
    if (shared.endPending != 0) interruptRequested = INTERRUPT_DUE;
    if (shared.editorFd != NONE) shared.echoHeld = 1;  // it echoes nothing between lines
    note.flushed = false;
    note.started = Clock::now();
    if (shared.noteFd == NONE) {
        // Without a note the session's timer ticks all along (see Session).
        if (note.answers != nullptr) tickHook = &refresh;
        return;
    }
    note.column = column;
    shared.ownLine = column == 0 ? 1 : 0;
    note.echo = echo;
    note.echoLost = false;
    note.stoppedBefore = shared.stoppedMilliseconds;
    note.running = true;
    tickHook = &refresh;
    stepClock = &lineSeconds;
    setTimer(note.delay, milliseconds(1000));
}

// The note is erased, and the terminal echoes again, before anything else is written.
Computing::~Computing() {
    if (note.running) {
        setTimer({}, {});
        tickHook = nullptr;
        stepClock = nullptr;
        note.running = false;
        shared.quietPending = 0;
        catchUp(true);
        if (shared.noteShown != 0) show("");
    }
    if (shared.echoHeld != 0) {
        held(TERMINAL_SIGNALS, [] {
            // The editor takes the terminal from its modes between lines as they are.
            if (shared.editorFd == NONE && inForeground()) applyModes(shared.original);
            shared.echoHeld = 0;
            shared.state = PROMPT;
        });
    } else {
        shared.state = PROMPT;
    }
    shared.events = 0;
    const int left = interruptRequested.exchange(0);
    if (left == INTERRUPT_DUE && shared.interrupts != Interrupts::discardLine) {
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
    return shared.fd != NONE && tcgetpgrp(shared.fd) == getpgrp();
}

void awaitForeground() {
    // tcsetattr from the background stops the program until it is in the foreground.
    if (shared.haveOriginal && !inForeground()) tcsetattr(shared.fd, TCSANOW, &shared.quiet);
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
