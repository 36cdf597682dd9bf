// The process's signal handlers, the terminal's modes and the timer, in one place, with
// the note behind a long line's echo ("  [3 s, Ctrl-C abandons]", note.h) that they draw
// and erase, so that however the program is stopped or ended the terminal gets its modes
// back and the screen keeps a plain transcript.
// The line editor switches the modes for each line it reads; every other change is here.
//
//   state       SIGINT (Ctrl-C)        SIGALRM   SIGTSTP (Ctrl-Z)     SIGWINCH    SIGTERM,
//                                                                                 SIGHUP (6)
//   prompt      editor: drops the      -         gives the modes      editor:     editor: as
//               line typed (1);                  back, stops          takes the   SIGQUIT;
//               stream: ends (2)                                      width (1)   stream: (2)
//   computing   abandons the line (3)  tick (4)  gives the echo back  records a   abandons the
//                                                and stops            resize (5)  line, ends (2)
//   note shown  as computing           tick (4)  erases the note,     erases the  as computing
//                                                then as computing    note (5)
//   stopped     by Ctrl-Z, or by a read or a change of modes from the background. SIGCONT
//               (fg or bg) adds up the time stopped and returns to the state stopped in: at
//               the prompt the editor's read is cut short (1), and in the foreground it takes
//               its modes and the width again and draws the line again; computing, it is
//   resumed:    the echo held again in the foreground, and at the next tick there the echo
//               written again on a line of its own, then the note; in the background nothing
//               is written until the answer, which then comes with its echo on its own line.
//   ending      every signal's default: the session's handlers are gone.
//
//   Signals ignored when the program started (by a shell for a background job, or by nohup)
//   stay ignored. SIGTSTP, SIGCONT, SIGWINCH and SIGQUIT are handled only with a terminal of
//   the editor's or the note's; SIGALRM with the note's, or with answers to flush at the
//   first tick; SIGINT, SIGTERM and SIGHUP always. Every handler but SIGINT's holds off SIGINT
//   (so that a tick never overwrites an interrupt) and the terminal signals.
//
//   (1) the editor's read of a key is cut short, and it acts on what happened. Between its
//       lines the editor's terminal echoes nothing: keys typed ahead show once, at the prompt.
//   (2) once everything answered is written: at once while a read waits for input, else
//       at the next read. In the script modes Ctrl-C ends the program in every state.
//   (3) through the interrupt flag, which the computation tests between its steps. One
//       that comes after the last test abandons nothing and counts as given at the prompt.
//   (4) through the interrupt flag: the tick hook draws the note.
//   (5) at once, from the handler; the next tick shows it again, fitted to the new width.
//   (6) in every mode, ending by that signal; the line computed is abandoned and answers
//       nothing. SIGQUIT, with a terminal, gives the modes back and ends at once.
//
// The note stands behind the echo with the cursor kept at the echo's end, so that erasing
// it is one "erase to the end of the screen", right wherever a resize has moved the lines;
// that is all a handler writes to the terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace VELD::signals {

// What Ctrl-C does, and what the note says it does.
enum class Interrupts {
    discardLine,      // the line editor: at the prompt it drops the line being typed
    endBetweenLines,  // a dialogue over a stream: at the prompt it ends the program
    endProgram,       // the script modes: it ends the program in every state
};

inline constexpr int NONE = -1;  // no file descriptor

// The handlers of one session, installed for as long as it lasts; the destructor puts back
// what was there and gives the terminal its modes back. The first tick, and the note, come a
// second (EXACTCALC_STATUS_DELAY_MS, when set, in milliseconds) after a computation starts.
class Session {
public:
    struct Setup {
        Interrupts interrupts;
        int editorFd = NONE;  // the terminal the line editor reads keys from
        // Where the note is drawn: standard error, where it shows the terminal of standard
        // output or, in the script modes, any terminal.
        int noteFd = NONE;
        // Answers flushed at a computation's first tick, so that a reader is not held up by a
        // slow line behind a fast one. None for the editor, whose answers are shown at once:
        // there no tick comes at the prompt to cut short the editor's change of modes.
        std::ostream* answers = nullptr;
    };
    explicit Session(const Setup& setup);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// One line's computation, with the note behind its `echo`, which ends `column` characters
// into its line where the cursor stands. Entering clears an interrupt left from before, or
// interrupts at once when the program is to end; leaving erases the note, and takes a
// request that came after the last test (it abandoned nothing) as given at the prompt.
class Computing {
public:
    // `rowsAbove`: the rows the terminal surely shows above the echo's row (lines.h).
    Computing(std::size_t column, std::string_view echo, std::size_t rowsAbove);
    // A line with no echo (the script modes'): its note stands on a line of its own.
    Computing() : Computing(0, "", SIZE_MAX) {}
    ~Computing();
    Computing(const Computing&) = delete;
    Computing& operator=(const Computing&) = delete;
};

bool takePromptInterrupt();  // for the editor: true, once, after Ctrl-C at the prompt
bool endRequested();         // true when Ctrl-C (or SIGTERM) has asked the program to end
// A stream is about to wait for input, or has stopped: while it waits, Ctrl-C ends at once.
void setWaiting(bool waiting);
// Gives the terminal back and ends the program as the signal that asked ends it.
[[noreturn]] void endByInterrupt();

// What has happened since it was last asked: bits of RESIZED and RESUMED.
inline constexpr unsigned RESIZED = 1, RESUMED = 2;
unsigned takeEvents();

// True when the session's terminal is there and the program is in its foreground.
bool inForeground();
// Waits, stopped, until the program is in the foreground, so that the editor's prompt is
// not written while the shell has the terminal.
void awaitForeground();

// True when file descriptors `out` and `err` are the same terminal.
bool sameTerminal(int out, int err);

}  // namespace VELD::signals
