// The process's signal handlers, the terminal's modes, the timer and the note behind a long
// line's echo ("  [3 s, Ctrl-C abandons]"), in one place. What a signal does depends on the
// state the program is in. The terminal's modes are kept here: the line editor switches
// them for each line it reads (line_editor.cpp), and every other change is made here, so
// that however the program is stopped or ended the terminal gets its modes back and the
// screen keeps a plain transcript.
//
//   state       SIGINT (Ctrl-C)        SIGALRM   SIGTSTP (Ctrl-Z)      SIGWINCH    SIGTERM,
//                                                                                  SIGHUP (6)
//   prompt      editor: drops the      -         gives the modes       editor:     editor:
//               line being typed (1);            back, stops;          takes the   gives the
//               stream: ends the                 -> stopped            new width   modes
//               program (2)                                            (1)         back,
//                                                                                  ends;
//                                                                                  stream:
//                                                                                  as (2)
//   computing   abandons the line (3)  tick (4)  gives the echo back,  records a   abandons
//                                                stops; -> stopped     resize (5)  the line,
//                                                                                  ends (2)
//   note shown  abandons the line (3)  tick (4)  erases the note,      erases the  as
//                                                gives the modes       note (5)    computing
//                                                back, stops;
//                                                -> stopped
//   stopped     by Ctrl-Z, or by reading the terminal or changing its modes from the
//               background. SIGCONT, from fg or bg, continues it: the time stopped is
//               added up, and the state is the one it was stopped in: prompt, or resumed.
//               At the prompt the editor's read is cut short (1): once in the foreground it
//               takes its modes and the terminal's width again and draws the line again.
//   resumed     as computing, the echo held again in the foreground. At the next tick in
//               the foreground the echoed expression is written again on a line of its
//               own, then the note; in the background nothing is written until the answer,
//               which then comes with its echo on a line of its own.
//   ending      default, for every signal: the session's handlers are gone
//
//   SIGINT, SIGTSTP, SIGTERM, SIGHUP and SIGQUIT that were ignored when the program started
//   (by a shell for a background job, or by nohup) stay ignored in every state. SIGTSTP,
//   SIGCONT, SIGWINCH and SIGQUIT are handled only with a terminal of the editor's or the
//   note's; SIGALRM with the note's, or where there are answers to flush at the first tick;
//   SIGINT, SIGTERM and SIGHUP always. A handler other than SIGINT's holds off SIGINT and
//   the terminal signals while it runs, in every state, also after a stop.
//
//   (1) the editor's read of a key is cut short, and it acts on what happened. Between its
//       lines the editor's terminal echoes nothing, so that keys typed ahead show once,
//       at the prompt that takes them.
//   (2) once everything answered is written: at once while a read waits for input, else
//       at the next read. In the script modes, Ctrl-C ends the program in every state,
//       also after what was answered is written.
//   (3) through the interrupt flag, which the computation tests between its steps. One
//       that comes after the last test abandons nothing and counts as given at the prompt.
//   (4) through the interrupt flag: the tick hook draws the note.
//   (5) at once, from the handler; the next tick shows it again, fitted to the new width.
//   (6) in every mode, with or without a terminal, ending by that signal; the line being
//       computed is abandoned and answers nothing. SIGQUIT, with a terminal of the editor's
//       or the note's, gives the modes back and ends at once.
//
// The note stands behind the echo with the cursor kept at the echo's end, so that erasing
// it is one "erase to the end of the screen", right wherever a resize has moved the
// lines; that is all a handler writes to the terminal.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string_view>

namespace VELD::signals {

// What Ctrl-C does, and what the note says it does.
enum class Interrupts {
    discardLine,      // the line editor: at the prompt it drops the line being typed
    endBetweenLines,  // a dialogue over a stream: at the prompt it ends the program
    endProgram,       // the script modes: it ends the program in every state
};

// No file descriptor.
inline constexpr int NONE = -1;

// The handlers of one session, installed for as long as it lasts. The note first shows,
// and the first tick comes, a second after a computation starts; EXACTCALC_STATUS_DELAY_MS,
// when set, gives another delay in milliseconds. The destructor puts back what was there
// and gives the terminal its modes back.
class Session {
public:
    struct Setup {
        Interrupts interrupts;
        int editorFd = NONE;  // the terminal the line editor reads keys from
        // The terminal the note is drawn on: standard error, where it shows the terminal of
        // standard output or, in the script modes, any terminal.
        int noteFd = NONE;
        // What has been answered, flushed at a computation's first tick, so that a reader
        // is not held up by a slow line behind a fast one. The line editor's session has
        // none (its answers are shown at once): there the timer does not tick at the
        // prompt, where a signal could cut short the editor's change of the terminal's modes.
        std::ostream* answers = nullptr;
    };
    explicit Session(const Setup& setup);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// One line's computation, from prompt to computing and back, with the note behind its
// echo, `echo`, which ends `column` characters into its line where the cursor stands.
// Entering clears an interrupt request left from before, and interrupts the computation at
// once when the program is to end; leaving erases the note, and takes a request that came
// after the computation's last test (it abandoned nothing) as given at the prompt.
class Computing {
public:
    Computing(std::size_t column, std::string_view echo);
    ~Computing();
    Computing(const Computing&) = delete;
    Computing& operator=(const Computing&) = delete;
};

// For the line editor: true, once, after Ctrl-C at the prompt.
bool takePromptInterrupt();
// True when Ctrl-C has asked the program to end.
bool endRequested();
// A stream is about to wait for input, or has stopped waiting: while it waits, Ctrl-C ends
// the program at once.
void setWaiting(bool waiting);
// Gives the terminal back and ends the program as the default action of the signal that
// asked does (Ctrl-C's SIGINT, or SIGTERM or SIGHUP).
[[noreturn]] void endByInterrupt();

// What has happened since it was last asked: bits of RESIZED and RESUMED.
inline constexpr unsigned RESIZED = 1, RESUMED = 2;
unsigned takeEvents();

// True when the terminal of the session is there and the program is in its foreground.
bool inForeground();
// For the editor: waits, stopped, until the program is in the foreground, so that its prompt
// is not written while the shell has the terminal.
void awaitForeground();

// True when file descriptors `out` and `err` are the same terminal.
bool sameTerminal(int out, int err);

}  // namespace VELD::signals
