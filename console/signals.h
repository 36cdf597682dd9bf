// The process's signal handlers, the terminal's modes and the note's timer, in one place.
// What a signal does depends on the state the program is in, and every change to the
// terminal's modes is made here, so that however the program is stopped or ended the
// terminal gets its modes back and the screen keeps a plain transcript.
//
// The states, and what each signal does in them:
//
//   state       SIGINT (Ctrl-C)        SIGALRM   SIGTSTP (Ctrl-Z)      SIGWINCH    SIGTERM,
//                                                                                  SIGHUP,
//                                                                                  SIGQUIT
//   prompt      editor: drops the      -         gives the modes       editor:     editor:
//               line being typed (1);            back, stops;          redraws     gives the
//               stream: ends the                 -> stopped; editor:   the line    modes
//               program (2)                      after fg the modes    at the new  back,
//                                                are the editor's      width (1)   ends;
//                                                again, the line                   stream:
//                                                redrawn (1)                       default
//   computing   abandons the line (3)  tick (4)  stops; -> stopped     records a   default
//                                                                      resize (5)
//   note shown  abandons the line (3)  tick (4)  erases the note,      erases the  erases the
//                                                gives the modes       note (5)    note, gives
//                                                back, stops;                      the modes
//                                                -> stopped                        back, ends
//   stopped     (the process is stopped; SIGCONT, from fg or bg, continues it: the modes it
//               had are put back in the foreground, the time stopped is added up, and the
//               state is the one it was stopped in: prompt, or resumed)
//   resumed     as computing. At the next tick, in the foreground, echo is held again and the
//               echoed expression written again on a line of its own, then the note; in the
//               background nothing is written until the answer.
//   ending      default, for every signal: the session's handlers are gone
//
//   SIGINT, SIGTSTP, SIGTERM, SIGHUP and SIGQUIT that were ignored when the program started
//   (by a shell for a background job, or by nohup) stay ignored in every state: the
//   session installs no handler for them. SIGTSTP, SIGWINCH and the ending signals are
//   handled only with a terminal of the editor's or the note's; the mask that holds
//   SIGINT off while a handler draws holds in every state, also after a stop.
//
//   (1) the editor's read of a key is cut short, and it acts on what happened.
//   (2) once everything answered is written: at once while a read waits for input, else
//       at the next read. In the script modes, Ctrl-C ends the program in every state,
//       also after what was answered is written.
//   (3) through the interrupt flag, which the computation tests between its steps. One
//       that comes after the last test abandons nothing and counts as given at the prompt.
//   (4) through the interrupt flag: the tick hook refreshes the note.
//   (5) at once, from the handler; the next tick shows it again, fitted to the new width.
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

// The handlers of one session, installed for as long as it lasts. `editorFd` is the
// terminal the line editor reads keys from, `noteFd` the one the note is drawn on; -1 for
// none. SIGINT is always handled; with either terminal, SIGTSTP, SIGWINCH and the ending
// signals too, and with the note's, the timer. The destructor puts back what was there and
// gives the terminal its modes back.
class Session {
public:
    Session(Interrupts interrupts, int editorFd, int noteFd);
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
// True when Ctrl-C has asked the program to end.
bool endRequested();
// A stream is about to wait for input, or has stopped waiting: while it waits, Ctrl-C ends
// the program at once.
void setWaiting(bool waiting);
// Ends the program as Ctrl-C's default action does.
[[noreturn]] void endByInterrupt();

// What has happened since it was last asked: bits of RESIZED and RESUMED.
inline constexpr unsigned RESIZED = 1, RESUMED = 2;
unsigned takeEvents();

// The note's timer: a tick after `first`, then every second, until stopTimer.
void startTimer(std::chrono::milliseconds first);
void stopTimer();
// The time this process has spent stopped (Ctrl-Z until fg or bg), in all.
std::chrono::milliseconds timeStopped();

// The note's terminal: holds off its echo (keys typed ahead then wait, unseen, for the next
// prompt), and gives the modes back.
void holdEcho();
void releaseEcho();
// True when this process is in the foreground of the session's terminal.
bool inForeground();

// Writes `text` to the note's terminal with the handlers that draw there held off, and
// records whether the note is on the screen after it: a handler that erases it then
// finds the screen as recorded.
void drawNote(const char* text, std::size_t length, bool shown);
bool noteShown();

// "Erase to the end of the screen": the note, from the echo's end where the cursor stands.
inline constexpr char ERASE_NOTE[] = "\x1b[J";

}  // namespace VELD::signals
