#include "console/note.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "console/signal_state.h"
#include "console/time_left.h"
#include "integer/interrupt.h"
#include "integer/progress.h"

namespace VELD::signals::note {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// "Erase to the end of the screen": the note, from the echo's end where the cursor stands.
// A note on a line of its own (the script modes') never wraps and is erased to the end of
// its line: erasing a screen from its top left corner makes some terminals (tmux) keep it,
// note and all, in their scrollback.
constexpr char ERASE_NOTE[] = "\x1b[J";
constexpr char ERASE_LINE[] = "\x1b[K";

// The note of the line being computed, drawn from the tick hook on the program's thread.
struct Note {
    milliseconds delay{1000};
    const char* action = "abandons";   // what Ctrl-C does; null where it does nothing
    std::size_t column = 0;            // where the echo ends
    std::size_t rowsAbove = SIZE_MAX;  // surely shown above the echo's row
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

// The seconds the line has run, less those stopped: the clock of its steps' starts.
double lineSeconds() {
    return std::chrono::duration<double>(Clock::now() - note.started).count() -
           (shared.stoppedMilliseconds - note.stoppedBefore) / 1000.0;
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
        const ssize_t count = ::write(fixed.noteFd, text, length);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return;  // the note is a courtesy
        text += count;
        length -= static_cast<std::size_t>(count);
    }
}

// Writes `text` to the note's terminal, and records whether the note is shown after it.
void draw(const std::string& text, bool shown) {
    held(TERMINAL_SIGNALS, [&] {
        writeQuietly(text.data(), text.size());
        shared.noteShown = shown ? 1 : 0;
    });
}

// The note's text, an erase of what a longer one left, and back to the echo's end.
void show(const std::string& text) {
    shared.noteLength = static_cast<int>(text.size());
    draw(text + (shared.ownLine != 0 ? ERASE_LINE : ERASE_NOTE) + std::string(text.size(), '\b'),
         !text.empty());
}

// After a stop and continue the echo is written again on a line of its own, for the answer
// to complete: in the foreground, or below the shell's prompt when the answer comes first
// (Moment::answer) in the background. After a resize the handler has erased the note.
// Returns whether the note may be drawn now.
enum class Moment { tick, answer };
bool catchUp(Moment moment) {
    const unsigned events = takeEvents();
    note.echoLost = note.echoLost || (events & RESUMED) != 0;
    const bool foreground = inForeground();
    if (note.echoLost && (foreground || moment == Moment::answer)) {
        draw((foreground ? "\r" : "\n") + note.echo, false);
        note.column = note.echo.size();
        note.echoLost = false;
        return true;
    }
    return !note.echoLost && (events & RESIZED) == 0;
}

// The narrowest window a note is drawn to outlast. A terminal that rewraps its lines when
// narrowed (tmux) keeps the rows below the cursor's and moves those above that no longer
// fit into its scrollback, where nothing written can erase them: the cursor's row itself
// when the rows the note wraps onto below it outnumber the rows above it.
constexpr std::size_t NARROWEST = 16;

// Whether a note of `length` characters, from the echo's end where the cursor stands,
// stays within reach after the window narrows to any width from NARROWEST to `width`, with
// `above` rows surely shown above the echo's row.
bool outlastsNarrowing(std::size_t length, std::size_t width, std::size_t above) {
    if (above == SIZE_MAX) return true;
    for (std::size_t narrow = NARROWEST; narrow < width; ++narrow) {
        // A cursor at a row's end may be kept at the row before: the worse of the two.
        const std::size_t cursorRow = note.column == 0 ? 0 : (note.column - 1) / narrow;
        if ((note.column + length - 1) / narrow - cursorRow > above) return false;
    }
    return true;
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
        held(TERMINAL_SIGNALS, [] { applyModes(fixed.quiet); });
        setTimer(milliseconds(1000), milliseconds(1000));
    }
    if (fixed.noteFd == NONE || !catchUp(Moment::tick)) return;
    const long seconds = std::max(1L, static_cast<long>(lineSeconds()));
    winsize size{};
    const bool sized = ioctl(fixed.noteFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0;
    const std::size_t width = sized ? size.ws_col : 80;
    // No more rows than the screen has stand above the echo's.
    const std::size_t above = sized && size.ws_row > 0 && note.rowsAbove != SIZE_MAX
                                  ? std::min<std::size_t>(note.rowsAbove, size.ws_row - 1u)
                                  : note.rowsAbove;
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
        if (room && text.size() <= width - 1 - at && outlastsNarrowing(text.size(), width, above)) {
            if (shared.echoHeld == 0 && fixed.haveOriginal) {
                held(TERMINAL_SIGNALS, [&] {
                    shared.echoHeld = 1;
                    applyModes(fixed.quiet);
                });
            }
            return show(text);
        }
    }
    if (shared.noteShown != 0) show("");
}

}  // namespace

std::string spoken(double seconds) {
    const auto round = [](double x) { return std::max(1, static_cast<int>(x + 0.5)); };
    if (seconds < 10) return std::to_string(round(seconds)) + " s";
    if (seconds < 58) return std::to_string(round(seconds / 5) * 5) + " s";
    if (seconds < 3570) return std::to_string(round(seconds / 60)) + " min";
    return std::to_string(round(seconds / 3600)) + " h";
}

void open(std::ostream* answers, const char* action) {
    note.answers = answers;
    note.action = action;
    note.delay = configuredDelay();
    note.run = 0;
    // Without a note, a tick every quarter of the delay while the session lasts: far
    // cheaper than a timer set and cleared for every line. The first tick three quarters
    // of the delay into a computation flushes what has been answered, so that it goes out
    // a delay after the computation began at the latest.
    note.flushAfter = note.delay;
    if (fixed.noteFd == NONE && answers != nullptr) {
        const milliseconds every = std::max(milliseconds(1), note.delay / 4);
        note.flushAfter = note.delay - every;
        setTimer(every, every);
    }
}

void close() {
    note.answers = nullptr;
    tickHook = nullptr;
}

void begin(std::size_t column, std::string_view echo, std::size_t rowsAbove) {
    note.flushed = false;
    note.started = Clock::now();
    if (fixed.noteFd == NONE) {
        // Without a note the session's timer ticks all along (see open).
        if (note.answers != nullptr) tickHook = &refresh;
        return;
    }
    note.column = column;
    note.rowsAbove = rowsAbove;
    shared.ownLine = column == 0 ? 1 : 0;
    note.echo = echo;
    note.echoLost = false;
    note.stoppedBefore = shared.stoppedMilliseconds;
    shared.noteRunning = 1;
    tickHook = &refresh;
    stepClock = &lineSeconds;
    setTimer(note.delay, milliseconds(1000));
}

void end() {
    if (shared.noteRunning == 0) return;
    setTimer({}, {});
    tickHook = nullptr;
    stepClock = nullptr;
    shared.noteRunning = 0;
    shared.quietPending = 0;
    catchUp(Moment::answer);
    if (shared.noteShown != 0) show("");
}

// A note on a line of its own is erased row by row, to the end of each: its row, and those a
// window narrowed since has wrapped it onto below (the cursor stands at its start).
void erase() {
    if (shared.noteShown == 0) return;
    winsize size{};
    const int width =
        shared.ownLine != 0 && ioctl(fixed.noteFd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
    const int below = width > 0 ? std::min(99, (shared.noteLength - 1) / width) : 0;
    writeQuietly(shared.ownLine != 0 ? ERASE_LINE : ERASE_NOTE, 3);
    for (int row = 0; row < below; ++row)
        writeQuietly("\x1b[B\x1b[2K", 8);
    if (below > 0) {
        const char up[] = {'\x1b', '[', static_cast<char>('0' + below / 10),
                           static_cast<char>('0' + below % 10), 'A'};
        writeQuietly(up, sizeof up);
    }
    shared.noteShown = 0;
}

}  // namespace VELD::signals::note
