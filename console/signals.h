// The process's signal handlers and the terminal's modes, in one place. What a signal does
// depends on the state the dialogue is in, and every change to the terminal's modes is
// made here, so that however the program is stopped or ended the terminal gets its modes
// back and the screen keeps a plain transcript.
//
// The states, and what each signal does in them:
//
//   state       SIGINT (Ctrl-C)        SIGALRM   SIGTSTP (Ctrl-Z)      SIGWINCH    SIGTERM,
//                                                                                  SIGHUP,
//                                                                                  SIGQUIT
//   prompt      editor: drops the      -         editor: libedit's     editor:     default
//               line being typed;                handler (cooked       libedit's
//               stream: ends the                 modes) the first      handler
//               program (1)                      time at a prompt      (size)
//                                                (it is armed again
//                                                at the next), then
//                                                stops; stream: stops
//   computing   abandons the line (2)  tick (3)  stops; -> stopped     records a   default
//                                                                      resize (4)
//   note shown  abandons the line (2)  tick (3)  erases the note,      erases the  erases the
//                                                gives the modes       note (4)    note, gives
//                                                back, stops;                      the modes
//                                                -> stopped                        back, ends
//   stopped     (the process is stopped; SIGCONT, from fg or bg, continues it: -> resumed,
//               and the time spent stopped is added up, so the note counts only running)
//   resumed     as computing. At the next tick, in the foreground, echo is held again and the
//               echoed expression written again on a line of its own, then the note; in the
//               background nothing is written until the answer.
//   ending      default, for every signal: the session's handlers are gone
//
//   Every state: SIGINT, SIGTSTP, SIGTERM, SIGHUP and SIGQUIT that were ignored when the
//   program started (by a shell for a background job, or by nohup) stay ignored; the
//   session installs no handler for them.
//
//   (1) once everything answered is written: at once while a read waits for input, else
//       at the next read. In the script modes, Ctrl-C ends the program in every state,
//       also after what was answered is written.
//   (2) through the interrupt flag, which the computation tests between its steps. One
//       that comes after the last test abandons nothing and counts as given at the prompt.
//   (3) through the interrupt flag: the tick hook refreshes the note.
//   (4) at once, from the handler; the next tick shows it again, fitted to the new width.
//
// The note stands behind the echo with the cursor kept at the echo's end, so that erasing
// it is one "erase to the end of the screen", right wherever a resize has moved the
// lines; that is all a handler writes to the terminal.
#pragma once

#include <chrono>
#include <cstddef>

namespace VELD::signals {

// What Ctrl-C does.
enum class Interrupts {
    discardLine,      // the line editor: at the prompt it drops the line being typed
    endBetweenLines,  // a dialogue over a stream: at the prompt it ends the program
    endProgram,       // the script modes: it ends the program in every state
};

// The handlers of one session, installed for as long as it lasts: SIGINT always; with a
// terminal for the note (`noteFd` at least 0), also SIGALRM, SIGTSTP, SIGWINCH and the
// ending signals. The destructor puts back what was there and gives the terminal its
// modes back.
class Session {
public:
    Session(Interrupts interrupts, int noteFd);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// One line's computation, from prompt to computing and back. Entering clears an interrupt
// request left from before; leaving takes one that came after the computation's last test
// (it abandoned nothing) as given at the prompt.
class Computing {
public:
    Computing();
    ~Computing();
    Computing(const Computing&) = delete;
    Computing& operator=(const Computing&) = delete;
};

// For the line editor: true, once, after Ctrl-C at the prompt.
bool takePromptInterrupt();
// For a stream: true when Ctrl-C has asked the program to end.
bool endRequested();
// A stream is about to wait for input, or has stopped waiting: while it waits, Ctrl-C ends
// the program at once.
void setWaiting(bool waiting);

// The terminal's modes, for the note's terminal: holds off its echo (keys typed ahead then
// wait, unseen, for the next prompt), and gives the modes back.
void holdEcho();
void releaseEcho();
// True when this process is in the foreground of the note's terminal.
bool inForeground();

// The time this process has spent stopped (Ctrl-Z until fg or bg), in all.
std::chrono::nanoseconds timeStopped();

// Ends the program as Ctrl-C's default action does.
[[noreturn]] void endByInterrupt();

// What has happened since the note last looked: bits of RESIZED and RESUMED.
inline constexpr unsigned RESIZED = 1, RESUMED = 2;
unsigned takeEvents();

// Writes `text` to the note's terminal with the handlers that draw there held off, and
// records whether the note is on the screen after it: a handler that erases it then
// finds the screen as recorded.
void drawNote(const char* text, std::size_t length, bool shown);

// "Erase to the end of the screen": the note, from the echo's end where the cursor stands.
inline constexpr char ERASE_NOTE[] = "\x1b[J";

}  // namespace VELD::signals
