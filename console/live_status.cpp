// The note behind a long line's echo. A timer signal only marks a tick in the interrupt
// flag, which the computation already tests between its steps; the note is written from
// there, on the dialogue's one thread. Only the handlers of signals.cpp erase it from a
// signal, which the cursor's place makes one fixed sequence.
#include "console/live_status.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "console/signals.h"
#include "integer/interrupt.h"

namespace VELD {

namespace {

using namespace std::chrono_literals;

LiveStatus* active = nullptr;

std::chrono::milliseconds configuredDelay() {
    const char* text = std::getenv("EXACTCALC_STATUS_DELAY_MS");
    if (text == nullptr || *text == '\0') return 1000ms;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > 3600000) return 1000ms;
    return std::chrono::milliseconds(value);
}

}  // namespace

LiveStatus::LiveStatus(int fd, const char* interruptAction)
    : fd(fd), delay(configuredDelay()), interruptAction(interruptAction) {}

LiveStatus::~LiveStatus() {
    stop();
}

bool LiveStatus::sameTerminal(int out, int err) {
    struct stat outInfo {};
    struct stat errInfo {};
    return isatty(out) != 0 && isatty(err) != 0 && fstat(out, &outInfo) == 0 &&
           fstat(err, &errInfo) == 0 && outInfo.st_rdev == errInfo.st_rdev;
}

void LiveStatus::start(std::size_t cursorColumn, std::string_view echoed) {
    column = cursorColumn;
    echo = echoed;
    started = std::chrono::steady_clock::now();
    stoppedBefore = signals::timeStopped();
    running = true;
    active = this;
    tickHook = &LiveStatus::onTick;
    signals::startTimer(delay);
}

void LiveStatus::stop() {
    if (!running) return;
    signals::stopTimer();
    tickHook = nullptr;
    active = nullptr;
    running = false;
    catchUp();
    if (signals::noteShown()) show("", 0);
    signals::releaseEcho();
}

// After a stop and continue in the foreground, the echo is written again on a line of its
// own, so that the answer completes a whole line of the transcript; after a resize the
// handler has erased the note. Returns whether the note may be drawn now.
bool LiveStatus::catchUp() {
    const unsigned events = signals::takeEvents();
    if ((events & signals::RESUMED) != 0) {
        if (!signals::inForeground()) return false;
        const std::string line = "\r" + echo;
        signals::drawNote(line.data(), line.size(), false);
        column = echo.size();
        return true;
    }
    return (events & signals::RESIZED) == 0;
}

void LiveStatus::onTick() {
    if (active != nullptr) active->refresh();
}

// The longest note that fits between the cursor and the last column of its line: the
// last column is left free, where some terminals would wrap at once. While a note is shown
// the terminal does not echo: keys typed ahead, and the "^C" of Ctrl-C, would land behind
// the note and push the answer off its place. After a resize the note waits for the next
// tick.
void LiveStatus::refresh() {
    if (!catchUp()) return;
    // The time the line has run: time spent stopped does not count.
    const auto elapsed =
        std::chrono::steady_clock::now() - started - (signals::timeStopped() - stoppedBefore);
    const long seconds =
        std::max<long>(1, std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    winsize size{};
    const std::size_t width =
        ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    const std::size_t at = column % width;
    // A cursor just past the end of a full line stands in the last column, waiting to wrap.
    const bool room = !(column > 0 && at == 0) && signals::inForeground();
    char text[64];
    for (const bool full : {true, false}) {
        const int length = full ? std::snprintf(text, sizeof text, "  [%ld s, Ctrl-C %s]", seconds,
                                                interruptAction)
                                : std::snprintf(text, sizeof text, "  [%ld s]", seconds);
        if (room && length > 0 && static_cast<std::size_t>(length) <= width - 1 - at) {
            signals::holdEcho();
            show(text, static_cast<std::size_t>(length));
            return;
        }
    }
    if (signals::noteShown()) show("", 0);
}

// The text, then "erase to the end of the screen" (what is left of a longer note before
// it), then back to the echo's end.
void LiveStatus::show(const char* text, std::size_t length) {
    std::string update(text, length);
    update += signals::ERASE_NOTE;
    update.append(length, '\b');
    signals::drawNote(update.data(), update.size(), length > 0);
}

}  // namespace VELD
