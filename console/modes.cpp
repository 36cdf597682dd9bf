// Each line's Answer, written over eachLine in the dialogue's form (the echo, " = " and the
// value) or the script modes' (the value alone).
#include "console/modes.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "common/text.h"
#include "console/answer.h"
#include "console/line_editor.h"
#include "console/signals.h"
#include "console/stream_lines.h"

namespace VELD {

namespace {

// Holds in turn a line's printed expression and its printed value, when that fits. The
// dialogue prints the value VALUE_AT bytes in, so that " = ", the value and its line end
// go out in one write.
constexpr std::size_t VALUE_AT = 3;
char textBuffer[VALUE_AT + OUTPUT_BUFFER_SIZE + 1];

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// Where a line came from, as its fault names it: nothing for the arguments, "line N" for
// standard input, "FILE:N" for a file.
struct Place {
    bool arguments = false;
    const char* file = nullptr;
    unsigned long line = 0;
};

std::ostream& operator<<(std::ostream& err, const Place& place) {
    if (place.arguments) return err;
    if (place.file != nullptr) return err << escaped(place.file) << ':' << place.line << ": ";
    return err << "line " << place.line << ": ";
}

// The script modes' form: the value alone, or an empty line and the fault on standard error.
class Values {
public:
    Values(std::ostream& out, std::ostream& err, const Terminal& terminal, ValueForm form)
        : out(out),
          err(err),
          form(form),
          sameTerminal(terminal.dialogueNote),
          session({.interrupts = signals::Interrupts::endProgram,
                   .noteFd = terminal.scriptNote ? STDERR_FILENO : signals::NONE,
                   .answers = &out}) {}

    // Answers the lines of `lines`, read whole, until one quits or they end.
    Ending answerLines(LineSource& lines, Place place) {
        return eachLine(lines, scriptQuits, [&](std::string_view line, bool) {
            // A file saved with a byte-order mark (as Windows editors save UTF-8) has it
            // skipped.
            if (++place.line == 1 && !place.arguments && line.starts_with(BYTE_ORDER_MARK))
                line.remove_prefix(BYTE_ORDER_MARK.size());
            return answer(line, place);
        });
    }

    // A file that could not be opened or read ("open FILE"): reported, and the status tells.
    void fileFailed(const std::string& what, int error) {
        faults = true;
        out << std::flush;
        reportFailure(err, what.c_str(), error);
    }

    // The exit status, once everything is written; Ctrl-C, SIGTERM or SIGHUP ends the
    // program here, by that signal.
    int exitStatus() {
        const Ending end = signals::endRequested() ? Ending::interrupted
                           : out                   ? Ending::endOfInput
                                                   : Ending::outputFailed;
        return endRun(end, errno, out, err, faults ? EXIT_FAULT : EXIT_ANSWERED);
    }

private:
    // A line of white space gives an empty line, or a fault as the arguments.
    Response answer(std::string_view line, const Place& place) {
        if (isOnlyWhiteSpace(line)) {
            place.arguments ? refuse(place, "empty expression") : void(out << '\n');
            return next();
        }
        // The note stands at the start of a line of the terminal of standard error: where
        // that shows standard output too, the line the value will take, after the values
        // before it.
        if (sameTerminal && !(out << std::flush)) return Response::outputFailed;
        std::optional<Answer> answer;
        const char* value = nullptr;
        {
            // Reading a long numeral takes time too: from the moment the line is read, a
            // signal abandons it.
            const signals::Computing computing;
            answer.emplace(line, Answer::Rest::fault);
            if (answer->fault() == nullptr) {
                value = form.kind == ValueForm::decimal ? answer->decimalValue(form.places)
                                                        : answer->wholeValue(textBuffer);
            }
        }
        if (value != nullptr) {
            if (form.kind == ValueForm::operand) {
                out << asOperand(value) << '\n';
            } else {
                out << value << '\n';
            }
        } else if (!signals::endRequested()) {
            refuse(place, answer->fault());
        }
        return next();
    }

    // Gives the empty line of a fault, and its message.
    void refuse(const Place& place, const char* message) {
        faults = true;
        // What was answered before goes out before the message, for a reader of both.
        out << '\n' << std::flush;
        err << "exactcalc: " << place << message << '\n';
    }

    // Ctrl-C, or output that failed, ends the answers.
    Response next() const {
        if (signals::endRequested()) return Response::interrupted;
        return out ? Response::answered : Response::outputFailed;
    }

    std::ostream& out;
    std::ostream& err;
    const ValueForm form;
    const bool sameTerminal;  // standard output shows on the note's terminal
    const signals::Session session;
    bool faults = false;
};

// The dialogue's form: the echo, shown before the evaluation starts (which may take long)
// unless the next line is at hand, then " = " and the value, or the fault directly behind
// what was written. False, without evaluating, when the echo could not be written.
bool writeAnswer(std::string_view line, std::ostream& out, std::size_t column, bool nextAtHand,
                 std::size_t rowsAbove) {
    Answer answer(line, Answer::Rest::passedOver);
    bool fits = true;
    if (const char* echo = answer.echo(textBuffer, fits)) {
        if (!fits) {
            out << "NOT ENOUGH SPACE FOR EXPRESSION IN OUTPUT BUFFER!\n";
            column = 0;
        }
        if (!put(out, echo) || (!nextAtHand && !(out << std::flush))) return false;
        const char* value = nullptr;
        {
            const signals::Computing computing(column + std::strlen(echo), echo, rowsAbove);
            value = answer.value(textBuffer + VALUE_AT, fits);
        }
        if (value != nullptr) {
            if (!fits) out << "\nNOT ENOUGH SPACE FOR RESULT IN OUTPUT BUFFER!\n";
            const std::size_t length = std::strlen(value);
            std::memcpy(textBuffer, " = ", VALUE_AT);
            textBuffer[VALUE_AT + length] = '\n';
            put(out, std::string_view(textBuffer, VALUE_AT + length + 1));
            return true;
        }
    }
    // A line abandoned because the program is to end (SIGTERM) answers nothing.
    if (!signals::endRequested()) out << answer.fault() << '\n';
    return true;
}

}  // namespace

Ending runDialogue(LineSource& lines, std::ostream& out, std::size_t column, std::ostream* notes) {
    return eachLine(lines, dialogueQuits, [&](std::string_view line, bool cut) {
        if (line.empty()) return Response::answered;
        if (cut && notes != nullptr) *notes << "exactcalc: " << LINE_CUT << '\n';
        lines.entered(line);
        const bool written = writeAnswer(line, out, column, lines.lineWaiting(), lines.rowsAbove());
        return written ? Response::answered : Response::outputFailed;
    });
}

Ending runConsole(std::istream& in, std::ostream& out) {
    StreamLines lines(in, out, StreamLines::Use::dialogue);
    return runDialogue(lines, out, 0, nullptr);
}

int answerDialogue(std::istream& in, std::ostream& out, std::ostream& err,
                   const Terminal& terminal) {
    HistoryFile history(terminal.editing ? HistoryFile::defaultPath() : "", err);
    std::optional<LineEditor> editor;
    try {
        if (terminal.editing) editor.emplace(out, history);
    } catch (const std::runtime_error&) {
        // Without the editor the terminal still works line by line.
    }
    // On the heap: its input block's pages are then touched only as input fills them, where
    // an empty std::optional of it would be written over in full at every start.
    std::unique_ptr<StreamLines> stream;
    if (!editor) {
        stream = std::make_unique<StreamLines>(
            in, out,
            terminal.output ? StreamLines::Use::terminalDialogue : StreamLines::Use::dialogue);
    }
    LineSource& lines = editor ? static_cast<LineSource&>(*editor) : *stream;
    const signals::Session session(
        {.interrupts =
             editor ? signals::Interrupts::discardLine : signals::Interrupts::endBetweenLines,
         .editorFd = editor ? STDIN_FILENO : signals::NONE,
         .noteFd = terminal.dialogueNote ? STDERR_FILENO : signals::NONE,
         .answers = editor ? nullptr : &out});  // the editor's answers are shown at once
    // Typed at a terminal, the line's own end leaves the echo at the start of a line;
    // otherwise it follows the prompt.
    const Ending end =
        runDialogue(lines, out, editor || terminal.input ? 0 : sizeof PROMPT - 1, &err);
    const int error = errno;  // the failed read or write's reason, before anything else
    // At the end of input typed at a terminal, finish the prompt's line for the shell; a
    // file or pipe gets the transcript as it stands.
    if (end == Ending::endOfInput && terminal.input && terminal.output) out << '\n';
    return endRun(end, error, out, err, EXIT_ANSWERED);
}

int answerArguments(const std::vector<std::string_view>& words, std::ostream& out,
                    std::ostream& err, const Terminal& terminal, ValueForm form) {
    Values values(out, err, terminal, form);
    std::string line;
    for (const std::string_view word : words)
        line.append(line.empty() ? "" : " ").append(word);
    ArgumentLine lines(std::move(line));
    values.answerLines(lines, {.arguments = true});
    return values.exitStatus();
}

int answerValues(const std::vector<std::string_view>& files, std::istream& in, std::ostream& out,
                 std::ostream& err, const Terminal& terminal, ValueForm form) {
    Values values(out, err, terminal, form);
    for (const std::string_view file : files.empty() ? std::vector<std::string_view>{"-"} : files) {
        const std::string name(file);
        const bool standard = file == "-";
        std::ifstream opened;
        if (!standard) opened.open(name, std::ios::binary);
        if (!standard && !opened.is_open()) {
            values.fileFailed("open " + escaped(name), errno);
            continue;
        }
        // On the heap: its input block is touched only as input fills it.
        const auto lines =
            std::make_unique<StreamLines>(standard ? in : opened, out, StreamLines::Use::script);
        const Ending end = values.answerLines(*lines, {.file = standard ? nullptr : name.c_str()});
        if (end == Ending::inputFailed)
            values.fileFailed("read " + (standard ? std::string("input") : escaped(name)), errno);
        if (end != Ending::endOfInput && end != Ending::inputFailed) break;
    }
    return values.exitStatus();
}

int reportFailure(std::ostream& err, const char* what, int error) {
    err << "exactcalc: cannot " << what << ": "
        << (error != 0 ? std::strerror(error) : "Input/output error") << '\n';
    return EXIT_FAULT;
}

// Ends the program by the signal that asked for the end, once what has been answered is
// written.
[[noreturn]] static void endByInterrupt(std::ostream& out) {
    out << std::flush;
    signals::endByInterrupt();
}

int endRun(Ending end, int error, std::ostream& out, std::ostream& err, int status) {
    switch (end) {
        case Ending::outputFailed:
            return reportFailure(err, "write output", error);
        case Ending::inputFailed:
            return reportFailure(err, "read input", error);
        case Ending::interrupted:
            endByInterrupt(out);
        case Ending::quit:
        case Ending::endOfInput:
            break;
    }
    return finish(out, err, status);
}

int finish(std::ostream& out, std::ostream& err, int status) {
    if (out << std::flush) return status;
    return reportFailure(err, "write output", errno);
}

}  // namespace VELD
