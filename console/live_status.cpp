// The note behind a long line's echo. A timer signal only marks a tick in the interrupt
// flag, which the computation already tests between its steps; the note is written from
// there, on the dialogue's one thread, and never from the signal handler.
#include "console/live_status.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "integer/integer.h"

namespace VELD {

namespace {

using namespace std::chrono_literals;

LiveStatus* active = nullptr;

extern "C" void timerRanOut(int) {
    // SIGINT is held off while this runs, so an interrupt is never overwritten by a tick.
    if (interruptRequested == 0) interruptRequested = TICK_DUE;
}

std::chrono::milliseconds configuredDelay() {
    const char* text = std::getenv("EXACTCALC_STATUS_DELAY_MS");
    if (text == nullptr || *text == '\0') return 1000ms;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > 3600000) return 1000ms;
    return std::chrono::milliseconds(value);
}

void setTimer(std::chrono::milliseconds first, std::chrono::milliseconds every) {
    auto toTimeval = [](std::chrono::milliseconds ms) {
        return timeval{static_cast<time_t>(ms.count() / 1000),
                       static_cast<suseconds_t>(ms.count() % 1000 * 1000)};
    };
    const itimerval timer{toTimeval(every), toTimeval(first)};
    setitimer(ITIMER_REAL, &timer, nullptr);
}

// The terminal's settings from before an evaluation, while its echo is held off; restored
// also when a signal ends the program.
termios savedSettings{};
volatile std::sig_atomic_t echoHeld = 0;
int heldTerminal = -1;

// Applies settings with SIGTTOU held off, so that a process that has just been sent to the
// background is not stopped for it.
void applySettings(int fd, const termios& settings) {
    sigset_t ttou, previous;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &previous);
    tcsetattr(fd, TCSANOW, &settings);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

extern "C" void restoreAndEnd(int number) {
    if (echoHeld != 0) tcsetattr(heldTerminal, TCSANOW, &savedSettings);
    signal(number, SIG_DFL);
    raise(number);
}

constexpr int ENDING_SIGNALS[] = {SIGTERM, SIGHUP, SIGQUIT};

// Only a process in the terminal's foreground shows the note or touches the settings.
bool inForeground(int fd) {
    return tcgetpgrp(fd) == getpgrp();
}

void writeAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return;  // the note is a courtesy; the answer will tell of a failure
        written += static_cast<std::size_t>(count);
    }
}

}  // namespace

LiveStatus::LiveStatus(int fd) : fd(fd), delay(configuredDelay()) {
    struct sigaction action {};
    action.sa_handler = timerRanOut;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    action.sa_flags = SA_RESTART;
    sigaction(SIGALRM, &action, nullptr);
}

LiveStatus::~LiveStatus() {
    stop();
    signal(SIGALRM, SIG_DFL);
}

bool LiveStatus::sameTerminal(int out, int err) {
    struct stat outInfo {};
    struct stat errInfo {};
    return isatty(out) != 0 && isatty(err) != 0 && fstat(out, &outInfo) == 0 &&
           fstat(err, &errInfo) == 0 && outInfo.st_rdev == errInfo.st_rdev;
}

void LiveStatus::start(std::size_t cursorColumn) {
    column = cursorColumn;
    shown = 0;
    started = std::chrono::steady_clock::now();
    running = true;
    active = this;
    tickHandler = &LiveStatus::onTick;
    setTimer(delay, 1000ms);
}

// While a note is shown the terminal does not echo: keys typed ahead, and the "^C" of
// Ctrl-C, would land behind the note and push the answer off its place. Typed-ahead keys
// wait in the terminal and show at the next prompt instead.
void LiveStatus::holdEcho() {
    if (echoHeld != 0 || tcgetattr(fd, &savedSettings) != 0) return;
    termios quiet = savedSettings;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOCTL);
    heldTerminal = fd;
    echoHeld = 1;
    for (const int number : ENDING_SIGNALS)
        signal(number, restoreAndEnd);
    applySettings(fd, quiet);
}

void LiveStatus::stop() {
    if (!running) return;
    setTimer(0ms, 0ms);
    tickHandler = nullptr;
    active = nullptr;
    running = false;
    // A tick that came after the last step has nothing left to refresh.
    std::sig_atomic_t expected = TICK_DUE;
    __atomic_compare_exchange_n(&interruptRequested, &expected, 0, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    show("", 0);
    if (echoHeld != 0) {
        if (inForeground(fd)) applySettings(fd, savedSettings);
        echoHeld = 0;
        for (const int number : ENDING_SIGNALS)
            signal(number, SIG_DFL);
    }
}

void LiveStatus::onTick() {
    if (active != nullptr) active->refresh();
}

// The longest note that fits between the cursor and the last column of its line: the
// last column is left free, where some terminals would wrap at once.
void LiveStatus::refresh() {
    const auto elapsed = std::chrono::steady_clock::now() - started;
    const long seconds =
        std::max<long>(1, std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    winsize size{};
    const std::size_t width =
        ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    const std::size_t at = column % width;
    // A cursor just past the end of a full line stands in the last column, waiting to wrap.
    const std::size_t room = (column > 0 && at == 0) || !inForeground(fd) ? 0 : width - 1 - at;
    char text[64];
    for (const char* format : {"  [%ld s, Ctrl-C abandons]", "  [%ld s]"}) {
        const int length = std::snprintf(text, sizeof text, format, seconds);
        if (length > 0 && static_cast<std::size_t>(length) <= room) {
            holdEcho();
            show(text, static_cast<std::size_t>(length));
            return;
        }
    }
    show("", 0);
}

void LiveStatus::show(const char* text, std::size_t length) {
    if (shown == 0 && length == 0) return;
    std::string update(shown, '\b');
    update.append(text, length);
    if (length < shown) {
        update.append(shown - length, ' ');
        update.append(shown - length, '\b');
    }
    writeAll(fd, update);
    shown = length;
}

}  // namespace VELD
