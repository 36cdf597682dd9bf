// The note behind a long line's echo ("  [3 s, factorial 40%, Ctrl-C abandons]"): its text,
// drawn at each tick on the program's thread, and erased by the handlers (signals.cpp),
// which own when it is drawn.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace VELD::signals::note {

// A session starts: `answers` (or null) are flushed a delay into a computation, and
// `action` is what Ctrl-C does ("abandons"), or null where it does nothing. Without a note
// the session's timer ticks all along to flush them.
void open(std::ostream* answers, const char* action);
void close();

// A line's computation starts, its echo ending `column` characters into its line, `rowsAbove`
// rows surely shown above that line (SIZE_MAX where that is not known); and ends: the note
// erased, and after a stop the echo written again for the answer to complete.
void begin(std::size_t column, std::string_view echo, std::size_t rowsAbove);
void end();

// Erases the note where it shows; async-signal-safe.
void erase();

// Seconds as people say them: a few seconds, five-second steps below a minute, whole
// minutes, whole hours; never zero.
std::string spoken(double seconds);

}  // namespace VELD::signals::note
