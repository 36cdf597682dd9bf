// Whole dialogues through the console loop, in process: input text to exact output text.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "console/answer.h"
#include "console/keys.h"
#include "console/program.h"
#include "console/signals.h"
#include "integer/integer.h"
#include "integer/interrupt.h"

namespace VELD {
namespace {

std::string dialogue(const std::string& input, Ending expectedEnd = Ending::endOfInput) {
    std::istringstream in(input);
    std::ostringstream out;
    EXPECT_EQ(runConsole(in, out), expectedEnd) << input;
    return out.str();
}

TEST(Console, Dialogues) {
    const std::pair<std::string, std::string> rows[] = {
        {"1 + 2\n", "Exp: (1 + 2) = 3\nExp: "},
        {"1 / 2\n", "Exp: (1 / 2) = 1 / 2\nExp: "},
        {"2 - 5\n", "Exp: (2 - 5) = -3\nExp: "},
        {"(7)\n", "Exp: 7 = 7\nExp: "},
        {" q\n", "Exp: Expression::parse() - Invalid expression.\nExp: "},
        {"1 + 2 + 3\n", "Exp: Expression::parse() - Invalid expression.\nExp: "},
        {"2 ^ (1 / 2)\n",
         "Exp: (2 ^ (1 / 2))Rational::operator Integer() - Denominator is not 1.\nExp: "},
        // Every line of a script is answered; the last needs no line end.
        {"1 + 2\n3 * 4\n5 !", "Exp: (1 + 2) = 3\nExp: (3 * 4) = 12\nExp: (5!) = 120\nExp: "},
        // Empty lines are skipped; a line of white space is parsed as it stands.
        {"\n\n4 / 6\n", "Exp: Exp: Exp: (4 / 6) = 2 / 3\nExp: "},
        {" \t\n", "Exp: Expression::buildExpression() - No vaild operation.\nExp: "},
        {"1 + 2\r\n", "Exp: (1 + 2) = 3\nExp: "},
        // Only the first 80 characters count; the rest of the line is dropped.
        {"(1 + 2)" + std::string(73, ' ') + std::string(20, 'x') + "\n2 * 3\n",
         "Exp: (1 + 2) = 3\nExp: (2 * 3) = 6\nExp: "},
        {std::string(79, ' ') + "12\n", "Exp: 1 = 1\nExp: "},
        {"", "Exp: "},
    };
    for (const auto& [input, output] : rows)
        EXPECT_EQ(dialogue(input), output) << input;
}

// Powers and factorials that no number could hold are refused at once.
TEST(Console, ImpossibleSizesAreRefused) {
    for (const char* line :
         {"2 ^ (2 ^ 40)", "(2 ^ 40) !", "(1 / 3) ^ (2 ^ 40)", "2 ^ (0 - (2 ^ 40))",
          "(0 - 3) ^ (2 ^ 64)", "(2 ^ 64) choose (2 ^ 63)", "(1099511627776 / 3) ^ 6227020800",
          "(3 / 1099511627776) ^ 6227020800"}) {
        const std::string output = dialogue(std::string(line) + "\n");
        EXPECT_NE(
            output.find(")Integer::createSpace() - Not enough memory for new numbers.\nExp: "),
            std::string::npos)
            << line << ": " << output;
    }
}

// A request left over from earlier work never abandons the next line.
TEST(Console, StaleInterruptRequestIsCleared) {
    interruptRequested = 1;
    EXPECT_EQ(dialogue("1 + 2\n"), "Exp: (1 + 2) = 3\nExp: ");
    EXPECT_EQ(interruptRequested, 0);
}

TEST(Console, QuitRule) {
    for (const char* line : {"q\n1 + 2\n", "Q\n", "quit\n", "Quit\n", "q + 1\n", "q"}) {
        EXPECT_EQ(dialogue(line, Ending::quit), "Exp: ") << line;
    }
    EXPECT_EQ(dialogue("1 + 1\nquit\n3 + 3\n", Ending::quit), "Exp: (1 + 1) = 2\nExp: ");
}

TEST(Console, ValueTooLongForTheBuffer) {
    EXPECT_EQ(dialogue("2 ^ 30000\n"),
              "Exp: (2 ^ 30000)\nNOT ENOUGH SPACE FOR RESULT IN OUTPUT BUFFER!\n"
              " = Printing overflow!\nExp: ");
    // 2^27209 has 8,191 digits and fits exactly; one doubling more does not.
    const std::string fits = dialogue("2 ^ 27209\n");
    EXPECT_EQ(fits.find("NOT ENOUGH"), std::string::npos);
    EXPECT_EQ(fits.size(), std::string("Exp: (2 ^ 27209) = \nExp: ").size() + 8191);
    EXPECT_NE(dialogue("2 ^ 27210\n").find("RESULT IN OUTPUT BUFFER!\n = Printing overflow!"),
              std::string::npos);
}

// A line no console read can hold, given to the dialogue by a source of its own: its
// printed form outgrows the buffer.
TEST(Console, ExpressionTooLongForTheBuffer) {
    std::string line = "1+1";
    while (line.size() * 2 + 5 < OUTPUT_BUFFER_SIZE)
        line = "(" + line + ")+(" + line + ")";
    struct OneLine : LineSource {
        std::string text;
        bool given = false;
        Read read(std::string_view& line, bool& cut) override {
            cut = false;
            line = text;
            if (std::exchange(given, true)) return Ending::endOfInput;
            return Read::line;
        }
    } source;
    source.text = line;
    std::ostringstream out;
    runDialogue(source, out, 0, nullptr);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("NOT ENOUGH SPACE FOR EXPRESSION IN OUTPUT BUFFER!\n((((", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 8), " = 2048\n");
}

TEST(Console, Arguments) {
    struct Row {
        std::vector<const char*> argv;
        int status;
        const char* outStart;
        const char* errStart;
    } rows[] = {
        {{"exactcalc", "--help"}, 0, "Usage: exactcalc", ""},
        {{"exactcalc", "--version"}, 0, "exactcalc ", ""},
        {{"exactcalc", "-x"}, 2, "", "exactcalc: unexpected argument '-x'"},
        {{"exactcalc", "--help", "more"}, 2, "", "exactcalc: give --help, --version"},
    };
    for (const Row& row : rows) {
        std::istringstream in("1 + 2\n");
        std::ostringstream out, err;
        EXPECT_EQ(runProgram(static_cast<int>(row.argv.size()), row.argv.data(), in, out, err, {}),
                  row.status);
        EXPECT_EQ(out.str().rfind(row.outStart, 0), 0u) << out.str();
        EXPECT_EQ(err.str().rfind(row.errStart, 0), 0u) << err.str();
        EXPECT_EQ(err.str().find('\n'),
                  err.str().empty() ? std::string::npos : err.str().size() - 1);
    }
    const char* noArguments[] = {"exactcalc"};
    // The line end that finishes the prompt's line goes to a terminal only: a file gets the
    // transcript as it stands, also when the keys came from a terminal.
    for (const bool input : {false, true}) {
        for (const bool output : {false, true}) {
            std::istringstream in("1 + 2");
            std::ostringstream out, err;
            EXPECT_EQ(runProgram(1, noArguments, in, out, err,
                                 Terminal{.input = input, .output = output}),
                      0);
            EXPECT_EQ(out.str(),
                      input && output ? "Exp: (1 + 2) = 3\nExp: \n" : "Exp: (1 + 2) = 3\nExp: ");
        }
    }
}

// What Ctrl-C does in each mode, at the prompt and while computing: the states of the
// signal table that need no terminal.
TEST(Signals, InterruptInEachModeAndState) {
    using signals::Interrupts;
    const struct {
        Interrupts mode;
        bool computing;
        bool dropsLine, abandons, endsAfter;
    } rows[] = {
        {Interrupts::discardLine, false, true, false, false},
        {Interrupts::discardLine, true, false, true, false},
        {Interrupts::endBetweenLines, false, false, false, true},
        {Interrupts::endBetweenLines, true, false, true, false},
        {Interrupts::endProgram, false, false, false, true},
        {Interrupts::endProgram, true, false, true, true},
    };
    for (const auto& row : rows) {
        const signals::Session session({.interrupts = row.mode});
        bool abandoned = false;
        {
            std::optional<signals::Computing> computing;
            if (row.computing) computing.emplace(0, "", SIZE_MAX);
            std::raise(SIGINT);
            abandoned = interruptRequested == INTERRUPT_DUE;
            if (abandoned) interruptRequested = 0;  // taken, as the computation takes it
        }
        EXPECT_EQ(signals::takePromptInterrupt(), row.dropsLine);
        EXPECT_EQ(abandoned, row.abandons);
        EXPECT_EQ(signals::endRequested(), row.endsAfter);
    }
}

// A signal ignored when a session starts stays ignored, and the session puts back what
// was there.
TEST(Signals, IgnoredOnEntryStayIgnored) {
    for (const auto before : {SIG_IGN, SIG_DFL}) {
        std::signal(SIGINT, before);
        {
            const signals::Session session({.interrupts = signals::Interrupts::endProgram});
            struct sigaction during {};
            sigaction(SIGINT, nullptr, &during);
            EXPECT_EQ(during.sa_handler == SIG_IGN, before == SIG_IGN);
        }
        struct sigaction after {};
        sigaction(SIGINT, nullptr, &after);
        EXPECT_EQ(after.sa_handler, before);
    }
}

// Escape sequences as the common terminals send them, each read whole: the keys they give
// the editor, and nothing for the keys it does not bind, whatever follows.
TEST(Keys, SequencesAreReadWhole) {
    const std::pair<const char*, const wchar_t*> rows[] = {
        {"\x1b[D", L"\x02"},
        {"\x1bOC", L"\x06"},
        {"\x1b[A", L"\x10"},
        {"\x1b[1;5D",
         L"\t\x1b"
         L"b"},
        {"\x1b[5C",
         L"\t\x1b"
         L"f"},
        {"\x1b\x1b[D",
         L"\t\x1b"
         L"b"},
        {"\x1b[1;3C",
         L"\t\x1b"
         L"f"},
        {"\x1bOd",
         L"\t\x1b"
         L"b"},
        {"\x1b[7~", L"\x01"},
        {"\x1b[4~", L"\x05"},
        {"\x1b[3~", L"\t\x1b[3~"},
        {"\x1b[1;2D", L""},
        {"\x1b[5~", L""},
        {"\x1b[2~", L""},
        {"\x1b[24~", L""},
        {"\x1bOP", L""},
        {"\x1bO2P", L""},
        {"\x1b[M !!", L""},
        {"\x1b[[A", L""},
        {"\x1b[11^", L""},
        {"\x1b[2$", L""},
        {"\x1b[1;5A", L""},
        {"\x1bOq", L"1"},
        {"\x1b"
         "b",
         L"\x1b"
         L"b"},
        {"\x1bx[D", L"\x1bx[D"},
    };
    for (const auto& [sequence, expected] : rows) {
        keys::Decoder decoder;
        std::wstring got;
        for (const char* byte = sequence; *byte != '\0'; ++byte)
            decoder.add(*byte, got);
        decoder.add('7', got);
        EXPECT_EQ(got, std::wstring(expected) + L"7") << sequence + 1;
    }
}

// The report of the cursor's place, once asked for, gives its row and no key; keys around
// it are kept, a second report (or one not asked for) is a key that does nothing, and what
// only looks like one is read as before.
TEST(Keys, TheCursorReportAskedForGivesItsRow) {
    const struct {
        const char* bytes;
        long row;
        const wchar_t* keys;
    } rows[] = {
        {"1\x1b[12;5R2", 11, L"12"},      {"\x1b[1;1R\x1b[7;1R", 0, L""},
        {"\x1b[D\x1b[3;40R", 2, L"\x02"}, {"\x1b[;5R", -1, L""},
        {"\x1b[0;5R", -1, L""},           {"\x1b[12;R", -1, L""},
        {"\x1b[12;5;1R", -1, L""},
    };
    for (const auto& row : rows) {
        for (const bool asked : {true, false}) {
            keys::Decoder decoder;
            decoder.expectReport(asked);
            std::wstring got;
            for (const char* byte = row.bytes; *byte != '\0'; ++byte)
                decoder.add(*byte, got);
            EXPECT_EQ(decoder.reportedRow(), asked ? row.row : -1) << row.bytes + 1;
            EXPECT_EQ(got, row.keys) << row.bytes + 1;
        }
    }
}

// In every locale the keys of any bytes turn back into the same bytes.
TEST(Keys, BytesComeBackAsTheyWent) {
    std::mt19937 random(20261208);
    for (const char* locale : {"C", "C.UTF-8"}) {
        std::setlocale(LC_CTYPE, locale);
        for (int trial = 0; trial < 2000; ++trial) {
            std::string bytes(random() % 12, '\0');
            for (char& byte : bytes)
                byte = static_cast<char>(random() % 4 == 0 ? random() % 128 : random());
            EXPECT_EQ(keys::encode(keys::decode(bytes)), bytes) << locale;
        }
    }
    std::setlocale(LC_CTYPE, "C");
}

// With a terminal, every handler but SIGINT's holds off SIGINT and the terminal signals
// while it runs, so that a tick never overwrites an interrupt and a stop never cuts into a
// change of the terminal's modes; and the signals the line editor must see at once cut
// its read short rather than restart it.
TEST(Signals, HandlersHoldOffWhatTheyMust) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    {
        const signals::Session session({.interrupts = signals::Interrupts::discardLine,
                                        .editorFd = terminal,
                                        .noteFd = terminal});
        for (const int number :
             {SIGINT, SIGALRM, SIGTSTP, SIGCONT, SIGWINCH, SIGTERM, SIGHUP, SIGQUIT}) {
            struct sigaction action {};
            sigaction(number, nullptr, &action);
            for (const int held : {SIGINT, SIGTSTP, SIGCONT, SIGWINCH, SIGQUIT}) {
                EXPECT_EQ(sigismember(&action.sa_mask, held) == 1, number != SIGINT)
                    << number << " " << held;
            }
            const bool seenAtOnce =
                number == SIGINT || number == SIGTSTP || number == SIGCONT || number == SIGWINCH;
            EXPECT_EQ((action.sa_flags & SA_RESTART) == 0, seenAtOnce) << number;
        }
    }
    close(terminal);
    close(master);
}

}  // namespace
}  // namespace VELD
