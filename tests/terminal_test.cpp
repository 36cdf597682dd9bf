// The calculator at a real terminal, through tmux: line editing, history across sessions,
// Ctrl-C and Ctrl-D at the prompt, the note on long lines, and the terminal's edges: a full
// disk under the history, Ctrl-Z and fg, a resize, Down, output to a file, a history file
// that is not one, and a line cut short.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "tmux_session.h"

namespace VELD {
namespace {

using namespace std::chrono_literals;
using testing::TmuxSession;

// True when the program runs under valgrind, which does not stop a program that raises
// SIGTSTP in its handler.
bool underValgrind() {
    const char* front = testing::launcher();
    return front != nullptr && std::strstr(front, "valgrind") != nullptr;
}

// How many times `part` shows in `text`.
int occurrences(const std::string& text, const std::string& part) {
    int seen = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++seen;
    return seen;
}

class Terminal : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
        char pattern[] = "/tmp/exactcalc-history-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        historyPath = folder + "/history";
    }
    void TearDown() override {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
    std::string history() const { return contents(historyPath); }
    static std::string contents(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::string environment(const std::string& more = "") const {
        return "EXACTCALC_HISTORY=" + historyPath + " " + more;
    }

    std::string folder, historyPath;
};

TEST_F(Terminal, EditingRecallInterruptAndEnd) {
    TmuxSession terminal(environment());
    terminal.waitFor("Exp:");
    terminal.type("2 ^ 100");
    terminal.press("Enter");
    terminal.waitFor("= 1267650600228229401496703205376\nExp:");
    terminal.press("Up Enter");  // the last line again
    terminal.waitFor("376\nExp: 2 ^ 100\n(2 ^ 100) = 1267650600228229401496703205376\nExp:");
    terminal.type("10 * 3");
    terminal.press("Left Left Left Left");
    terminal.type("0");  // in the middle of the line: 100 * 3
    terminal.press("Enter");
    terminal.waitFor("(100 * 3) = 300\nExp:");
    terminal.type("55 + 1");
    terminal.waitFor("Exp: 55 + 1");
    terminal.press("C-a C-c");  // discarded, with the cursor at the line's start
    terminal.waitFor("Exp: 55 + 1^C\nExp:");
    terminal.press("Tab");  // completes nothing
    terminal.type("4 / 6");
    terminal.press("Enter");
    terminal.waitFor("(4 / 6) = 2 / 3\nExp:");
    terminal.press("C-d");
    EXPECT_EQ(terminal.waitFor("[exit 0]"),
              "Exp: 2 ^ 100\n"
              "(2 ^ 100) = 1267650600228229401496703205376\n"
              "Exp: 2 ^ 100\n"
              "(2 ^ 100) = 1267650600228229401496703205376\n"
              "Exp: 100 * 3\n"
              "(100 * 3) = 300\n"
              "Exp: 55 + 1^C\n"
              "Exp: 4 / 6\n"
              "(4 / 6) = 2 / 3\n"
              "Exp:\n"
              "[exit 0]\n");
    // A line twice in a row is kept once; the discarded line is not kept.
    EXPECT_EQ(history(), "2 ^ 100\n100 * 3\n4 / 6\n");
    struct stat info {};
    ASSERT_EQ(stat(historyPath.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(Terminal, HistoryIsRecalledInTheNextSession) {
    {
        TmuxSession first(environment());
        first.waitFor("Exp:");
        first.type("6 * 7");
        first.press("Enter");
        first.waitFor("(6 * 7) = 42\nExp:");
        first.type("q");
        first.press("Enter");
        first.waitFor("[exit 0]");
    }
    EXPECT_EQ(history(), "6 * 7\n");  // the line that ends the dialogue is not kept
    TmuxSession second(environment());
    second.waitFor("Exp:");
    second.press("Up");
    second.waitFor("Exp: 6 * 7");
    second.press("Enter");
    EXPECT_EQ(second.waitFor("(6 * 7) = 42\nExp:"), "Exp: 6 * 7\n(6 * 7) = 42\nExp:\n");
}

TEST_F(Terminal, HistoryInAFolderWarnsOnceAndTheAnswersCome) {
    std::filesystem::create_directory(historyPath);
    TmuxSession terminal(environment(), 160);
    terminal.waitFor("Exp:");
    for (const auto& [line, answer] : {std::pair{"1 + 2", "= 3\nExp:"}, {"3 * 4", "= 12\nExp:"}}) {
        terminal.type(line);
        terminal.press("Enter");
        terminal.waitFor(answer);
    }
    EXPECT_EQ(terminal.waitFor("(3 * 4) = 12\nExp:"),
              "exactcalc: history not saved: " + historyPath +
                  ": Is a directory\n"
                  "Exp: 1 + 2\n(1 + 2) = 3\nExp: 3 * 4\n(3 * 4) = 12\nExp:\n");
}

// Without a line editor that loads (here a libedit that is no library at all), the
// terminal is read line by line and the answers still come.
TEST_F(Terminal, WithoutTheLineEditorTheAnswersCome) {
    const std::string library = folder + "/libedit.so.2";
    std::ofstream(library).put('\n');
    TmuxSession terminal(environment("LD_LIBRARY_PATH=" + folder));
    terminal.waitFor("Exp:");
    terminal.type("(2 ^ 10) choose 3");
    terminal.press("Enter");
    terminal.waitFor("= 178433024\nExp:");
    terminal.press("C-d");
    EXPECT_EQ(terminal.waitFor("[exit 0]"),
              "Exp: (2 ^ 10) choose 3\n((2 ^ 10) choose 3) = 178433024\nExp:\n[exit 0]\n");
}

// The note shows behind the echo while a line runs, naming the step, and leaves no trace:
// after the answer, and after Ctrl-C, the screen is the plain dialogue. A delay of 1 ms
// shows it on every line that takes a while. (Rows above the prompt leave room for the whole
// note: see ANarrowedWindowLeavesNoNote.)
TEST_F(Terminal, LongLinesShowANoteThatLeavesNoTrace) {
    TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"), {.rowsAbove = 6});
    terminal.waitFor("Exp:");
    terminal.type("(4000 !) / (3999 !)");
    terminal.press("Enter");
    terminal.waitFor("= 4000\nExp:");
    EXPECT_NE(terminal.written().find("((4000!) / (3999!))  [1 s, "), std::string::npos);
    EXPECT_NE(terminal.written().find(", Ctrl-C abandons]"), std::string::npos);
    terminal.type("(100000 !) choose 3");
    terminal.press("Enter");
    EXPECT_NE(terminal.waitFor(", Ctrl-C abandons]").find("((100000!) choose 3)  [1 s, factorial "),
              std::string::npos);
    terminal.press("C-c");
    EXPECT_EQ(terminal.waitFor("interrupted.\nExp:"),
              "Exp: (4000 !) / (3999 !)\n"
              "((4000!) / (3999!)) = 4000\n"
              "Exp: (100000 !) choose 3\n"
              "((100000!) choose 3)Integer::createSpace() - Computation interrupted.\n"
              "Exp:\n");
}

// On a narrow terminal the note is shortened, or left out, so that it never wraps: it ends
// before the last column. The echo is 19 columns and the shortest note, "  [1 s]", 7.
TEST_F(Terminal, TheNoteFitsTheLine) {
    for (const auto& [width, shortNote, longNote] :
         {std::tuple{60, true, true}, std::tuple{27, true, false}, std::tuple{26, false, false}}) {
        TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"),
                             {.width = width, .rowsAbove = 6});
        terminal.waitFor("Exp:");
        terminal.type("(4000 !) / (3999 !)");
        terminal.press("Enter");
        terminal.waitFor("= 4000\nExp:");
        const std::string written = terminal.written();
        EXPECT_EQ(written.find("  [1 s") != std::string::npos, shortNote) << width;
        EXPECT_EQ(written.find("abandons]") != std::string::npos, longNote) << width;
    }
}

// A history file on a full disk: the entry that does not fit is not written in part, one
// warning is given, and the answers come. Once there is room again, the next session's
// entry is stored whole and recalled. The disk is a tmpfs with no free block, where one can
// be mounted, else a file size limit at the same length.
TEST_F(Terminal, AFullDiskKeepsHistoryEntriesWhole) {
    const std::string disk = folder + "/disk";
    std::filesystem::create_directory(disk);
    const bool mounted = mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=8k") == 0;
    historyPath = disk + "/history";
    std::string before;
    for (int k = 0; before.size() < 4080; ++k)
        before += std::to_string(k) + " + 1\n";
    before += std::string(4092 - before.size(), '7') + "\n";  // 4093 bytes: 3 left in its block
    std::ofstream(historyPath, std::ios::binary) << before;
    if (mounted) std::ofstream(disk + "/filler", std::ios::binary) << std::string(4096, 'f');
    {
        TmuxSession terminal(
            environment(), {.width = 120, .before = mounted ? "" : "ulimit -f 4; trap '' XFSZ; "});
        terminal.waitFor("Exp:");
        terminal.type("1 + 2");
        terminal.press("Enter");
        terminal.waitFor("= 3\nExp:");
        terminal.type("3 + 4");
        terminal.press("Enter");
        const std::string screen = terminal.waitFor("(3 + 4) = 7\nExp:");
        EXPECT_EQ(screen, "Exp: 1 + 2\nexactcalc: history not saved: " + historyPath + ": " +
                              (mounted ? "No space left on device" : "File too large") +
                              "\n(1 + 2) = 3\nExp: 3 + 4\n(3 + 4) = 7\nExp:\n");
    }
    EXPECT_EQ(history(), before);
    if (mounted) std::filesystem::remove(disk + "/filler");
    TmuxSession next(environment());
    next.waitFor("Exp:");
    next.type("9 + 9");
    next.press("Enter");
    next.waitFor("(9 + 9) = 18\nExp:");
    next.press("Up");
    EXPECT_EQ(next.waitFor("18\nExp: 9 + 9"), "Exp: 9 + 9\n(9 + 9) = 18\nExp: 9 + 9\n");
    EXPECT_EQ(history(), before + "9 + 9\n");
    if (mounted) umount(disk.c_str());
}

// Ctrl-Z while a long line runs, and fg: the note is gone before the shell speaks, and on
// fg the echo is written again on a line of its own, which the answer completes. Keys
// typed while the note shows again wait for the next prompt.
TEST_F(Terminal, StopAndContinueDuringALongLine) {
    if (underValgrind()) GTEST_SKIP() << "valgrind does not stop a program that stops itself";
    TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"),
                         {.width = 200, .inShell = true});
    terminal.waitFor("Exp:");
    terminal.type("(40000 !) / (39999 !)");
    terminal.press("Enter");
    terminal.waitFor("abandons]");
    terminal.press("C-z");
    terminal.waitFor("Stopped");
    terminal.type("fg");
    terminal.press("Enter");
    terminal.waitFor("abandons]");
    terminal.type("9 * 9");
    terminal.waitFor("= 40000\nExp: 9 * 9");
    terminal.press("Enter");
    const std::string screen = terminal.waitFor("(9 * 9) = 81\nExp:");
    const std::size_t stopped = screen.find("\n[1]+  Stopped");
    const std::size_t resumed = screen.find("$ fg\n");
    ASSERT_NE(stopped, std::string::npos) << screen;
    ASSERT_NE(resumed, std::string::npos) << screen;
    const std::size_t first = screen.find("Exp: ");
    EXPECT_EQ(screen.substr(first, stopped - first),
              "Exp: (40000 !) / (39999 !)\n((40000!) / (39999!))");
    EXPECT_EQ(screen.substr(screen.find('\n', resumed + 5) + 1),
              "((40000!) / (39999!)) = 40000\nExp: 9 * 9\n(9 * 9) = 81\nExp:\n");
}

// A resize round trip while the note shows, narrow enough to wrap the echo and the note,
// the answer coming while the terminal is narrow: tmux reflows the lines, and the screen is
// the plain transcript. At the top of a fresh screen, where tmux keeps no more rows above
// the cursor's than stood there, the note is kept short enough for 16 columns; so it is
// after Ctrl-L has cleared a screen with rows to spare.
TEST_F(Terminal, ANarrowedWindowLeavesNoNote) {
    for (const auto& [narrow, cleared] : {std::pair{16, false}, {40, false}, {16, true}}) {
        TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"),
                             {.width = 160, .rowsAbove = cleared ? 12 : 0});
        terminal.waitFor("Exp:");
        terminal.type("(40000 !) / (39999 !)");
        if (cleared) terminal.press("C-l");
        terminal.press("Enter");
        terminal.waitFor("!))  [");
        terminal.resize(narrow);
        terminal.waitFor("= 40000\nExp:");
        terminal.resize(160);
        terminal.type("1 + 1");
        terminal.press("Enter");
        // A screen cleared keeps its last rows, the prompt's among them, in tmux's history.
        EXPECT_EQ(terminal.waitFor("(1 + 1) = 2\nExp:"),
                  std::string(cleared ? "Exp: (40000 !) / (39999 !)\n" : "") +
                      "Exp: (40000 !) / (39999 !)\n((40000!) / (39999!)) = 40000\nExp: 1 + 1\n"
                      "(1 + 1) = 2\nExp:\n")
            << narrow;
    }
}

// The script modes' note, on a line of its own, is erased with the rows a narrowed window
// has wrapped it onto; two rows above it keep its first row on the screen.
TEST_F(Terminal, ANarrowedWindowLeavesNoScriptNote) {
    TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"),
                         {.width = 160, .after = "'(40000 !) / (39999 !)'", .rowsAbove = 2});
    terminal.waitFor("[1 s, ");
    terminal.resize(16);
    terminal.waitFor("[exit 0]");
    terminal.resize(160);
    EXPECT_EQ(terminal.waitFor("[exit 0]"), "40000\n[exit 0]\n");
}

// Down at the line being typed keeps it; Up and then Down come back to it.
TEST_F(Terminal, DownKeepsWhatIsTyped) {
    std::ofstream(historyPath) << "1 + 1\n";
    TmuxSession terminal(environment());
    terminal.waitFor("Exp:");
    terminal.type("12 + 34");
    terminal.press("Down");
    terminal.press("Up");
    terminal.waitFor("Exp: 1 + 1");
    terminal.press("Down");
    terminal.press("Enter");
    EXPECT_EQ(terminal.waitFor("(12 + 34) = 46\nExp:"), "Exp: 12 + 34\n(12 + 34) = 46\nExp:\n");
    // Lines of white space only are not kept.
    terminal.type("   ");
    terminal.press("Enter");
    terminal.waitFor("operation.\nExp:");
    EXPECT_EQ(history(), "1 + 1\n12 + 34\n");
}

// Keys from the terminal, answers into a file: the file holds the transcript as a pipe
// would, without a line end after the last prompt.
TEST_F(Terminal, OutputToAFileIsTheTranscript) {
    const std::string output = folder + "/out";
    // Typed before the program starts: the end of input (Ctrl-D) waits in the terminal
    // behind the line, and the look for a line at hand must not swallow it.
    TmuxSession terminal(environment(), {.before = "sleep 0.5; ", .after = "> " + output});
    terminal.type("1 + 2");
    terminal.press("Enter");
    terminal.press("C-d");
    EXPECT_EQ(terminal.waitFor("[exit 0]"), "1 + 2\n[exit 0]\n");
    EXPECT_EQ(contents(output), "Exp: (1 + 2) = 3\nExp: ");
}

// Lines typed with control bytes (Ctrl-V) are answered and recalled in their session but
// kept out of the file, which the next session reads without a warning; a line cut to 80
// characters is kept whole, to be recalled and shortened.
TEST_F(Terminal, TheHistoryKeepsLinesAsTypedAndStaysAFile) {
    const std::string longLine = "1 + " + std::string(80, '1');  // 84 characters
    {
        TmuxSession terminal(environment(), 200);
        terminal.waitFor("Exp:");
        terminal.type("1 + 1");
        terminal.press("C-v C-a Enter");
        terminal.waitFor("expression.\nExp:");
        terminal.type("2 + 2");
        terminal.press("Enter");
        terminal.waitFor("= 4\nExp:");
        terminal.type(longLine);
        terminal.press("Enter");
        terminal.waitFor("12\nExp:");
        terminal.press("q Enter");
        terminal.waitFor("[exit 0]");
    }
    EXPECT_EQ(history(), "2 + 2\n" + longLine + "\n");
    TmuxSession next(environment(), 200);
    next.waitFor("Exp:");
    next.press("Up BSpace BSpace BSpace BSpace Enter");
    EXPECT_EQ(next.waitFor("12\nExp:"), "Exp: 1 + " + std::string(76, '1') + "\n(1 + " +
                                            std::string(76, '1') + ") = " + std::string(75, '1') +
                                            "2\nExp:\n");
}

// A file named as the history that cannot be one is left as it is, with one warning.
TEST_F(Terminal, ABinaryFileIsNoHistory) {
    std::string binary;
    for (int k = 0; k < 2000; ++k)
        binary += std::string(
                      "\x7f"
                      "ELF\x02\x01",
                      6) +
                  static_cast<char>(k) + "\n";
    std::ofstream(historyPath, std::ios::binary) << binary;
    TmuxSession terminal(environment(), 160);
    terminal.waitFor("Exp:");
    for (const auto& [line, answer] : {std::pair{"1 + 2", "= 3\nExp:"}, {"3 + 4", "= 7\nExp:"}}) {
        terminal.type(line);
        terminal.press("Enter");
        terminal.waitFor(answer);
    }
    EXPECT_EQ(terminal.waitFor("(3 + 4) = 7\nExp:"),
              "exactcalc: history not saved: " + historyPath +
                  ": not a history file (it holds binary data); left as it is\n"
                  "Exp: 1 + 2\n(1 + 2) = 3\nExp: 3 + 4\n(3 + 4) = 7\nExp:\n");
    EXPECT_EQ(history(), binary);
}

// A line longer than 80 characters: standard error says it was cut, standard output is
// the dialogue as it was, answered for the first 80.
TEST_F(Terminal, ACutLineIsNoted) {
    const std::string errors = folder + "/errors";
    TmuxSession terminal(environment(), {.width = 200, .after = "2> " + errors});
    terminal.waitFor("Exp:");
    terminal.type("1 + " + std::string(77, '1'));
    terminal.press("Enter");
    EXPECT_EQ(terminal.waitFor(std::string(75, '1') + "2\nExp:"),
              "Exp: 1 + " + std::string(77, '1') + "\n(1 + " + std::string(76, '1') +
                  ") = " + std::string(75, '1') + "2\nExp:\n");
    EXPECT_EQ(contents(errors), "exactcalc: line cut to its first 80 characters\n");
}

// At a UTF-8 terminal a character of several bytes shows as typed and is edited as one;
// the parser then refuses it as it does through a pipe.
TEST_F(Terminal, ACharacterOfSeveralBytesShowsAsTyped) {
    TmuxSession terminal(environment("LC_ALL=C.UTF-8"));
    terminal.waitFor("Exp:");
    terminal.type("2 \u00d7 3");
    terminal.press("Enter");
    terminal.waitFor("Invalid expression.\nExp:");
    terminal.type("2 \u00d7 3");
    terminal.press("Left Left BSpace Enter");
    EXPECT_EQ(terminal.waitFor("operation.\nExp:"),
              "Exp: 2 \u00d7 3\nExpression::parse() - Invalid expression.\n"
              "Exp: 2  3\nExpression::buildExpression() - No vaild operation.\nExp:\n");
}

// In the C locale and in UTF-8, keys the editor leaves unbound insert nothing, as xterm and
// tmux, rxvt and the Linux console send them; Ctrl- and Alt-arrows move by words, Home and End to
// the line's ends; arrows end a Ctrl-R search with the line found. Keys typed at once after Enter
// wait for the next prompt, and pasted lines are answered in turn.
TEST_F(Terminal, KeysDoWhatTheySay) {
    for (const char* locale : {"LC_ALL=C", "LC_ALL=C.UTF-8"}) {
        std::filesystem::remove(historyPath);
        TmuxSession terminal(environment(locale), 100);
        terminal.waitFor("Exp:");
        terminal.type("12 + 345");
        terminal.press("C-Left 6 M-Left 7 PPage NPage IC F1 F5 F12 S-Left C-Up");
        for (const char* other : {"\x1b[11~", "\x1b[[A", "\x1b[2$", "\x1b[5^", "\x1bOP"})
            terminal.type(other);  // F1 of rxvt and the Linux console, Shift-Insert, ...
        terminal.type("8");
        terminal.type("\x1bOc");     // rxvt's Ctrl-Right
        terminal.type("9\x1b[7~1");  // rxvt's Home
        terminal.press("End DC Enter");
        EXPECT_NE(terminal.waitFor("\nExp:").find("(112 + 7863459) = 7863571"), std::string::npos);
        const std::string once = "Exp: 112 + 7863459\n(112 + 7863459) = 7863571\n";
        std::string answered = once;
        for (const char* arrow : {"Left", "Right", "Up", "Home"}) {
            terminal.press("C-r");
            terminal.type("+ 7");
            terminal.press(std::string(arrow) + " Enter");
            answered += once;
        }
        EXPECT_EQ(terminal.waitFor(answered + "Exp:"), answered + "Exp:\n");
        terminal.type("(30000 !) / (29999 !)\r5 + 5");
        terminal.waitFor("= 30000\nExp: 5 + 5");
        terminal.type("\r1 + 1\r2 + 2\r");
        const std::string screen = terminal.waitFor("(2 + 2) = 4\nExp:");
        EXPECT_EQ(screen.substr(answered.size()),
                  "Exp: (30000 !) / (29999 !)\n((30000!) / (29999!)) = 30000\nExp: 5 + 5\n"
                  "(5 + 5) = 10\nExp: 1 + 1\n(1 + 1) = 2\nExp: 2 + 2\n(2 + 2) = 4\nExp:\n")
            << locale;
        EXPECT_EQ(history(), "112 + 7863459\n(30000 !) / (29999 !)\n5 + 5\n1 + 1\n2 + 2\n")
            << locale;
    }
}

// Ctrl-R finds the text typed as it stands, as bash does: "*" and ")" are no pattern, an
// entry the locale cannot show does not stop the search, Backspace shortens the text and
// finds again, and Up leaves the search for the entry before the one found.
TEST_F(Terminal, SearchFindsTheTextTyped) {
    for (const char* locale : {"LC_ALL=C.UTF-8", "LC_ALL=C"}) {
        std::ofstream(historyPath, std::ios::binary) << "40 - 4\n1\xff"
                                                        "2\n(2 + 3) * 4\n7 - 1\n9 * 9\n100 - 1\n";
        TmuxSession terminal(environment(locale), 100);
        terminal.waitFor("Exp:");
        std::string answers;
        for (const auto& [keys, search, answer] : {std::tuple{"", "00", "(100 - 1) = 99"},
                                                   {"", "*", "(9 * 9) = 81"},
                                                   {"", ") * 4", "((2 + 3) * 4) = 20"},
                                                   {"Up", "(2", "(9 * 9) = 81"},
                                                   {"", "40", "(40 - 4) = 36"}}) {
            terminal.press("C-r");
            terminal.type(search);
            if (std::string(search) == "00") terminal.press("BSpace");
            if (*keys != '\0') terminal.press(keys);
            terminal.press("Enter");
            answers += std::string(answer) + "\n";
            terminal.waitFor(std::string(answer) + "\nExp:");
        }
        std::string shown;
        std::istringstream screen(terminal.screen());
        for (std::string line; std::getline(screen, line);) {
            if (line.find(" = ") != std::string::npos) shown += line + "\n";
        }
        EXPECT_EQ(shown, answers) << locale;
    }
}

// Ctrl-D typed while a line computes is kept as the other keys are: at the next prompt,
// on an empty line, it ends the dialogue.
TEST_F(Terminal, CtrlDTypedWhileALineComputesEndsTheDialogue) {
    TmuxSession terminal(environment(), 100);
    terminal.waitFor("Exp:");
    terminal.type("(40000 !) / (39999 !)\r");
    terminal.waitFor("(39999!))");
    terminal.press("C-d");
    EXPECT_EQ(terminal.waitFor("[exit 0]"),
              "Exp: (40000 !) / (39999 !)\n((40000!) / (39999!)) = 40000\nExp:\n[exit 0]\n");
}

// Keys as bash users press them: Ctrl-Left and Alt-B stop at the starts of runs of
// letters and digits, Ctrl-U deletes back to the line's start, Ctrl-_ undoes it, and an
// older xterm's Shift-F1 and a mouse report insert nothing.
TEST_F(Terminal, KeysAsBashHasThem) {
    TmuxSession terminal(environment(), 100);
    terminal.waitFor("Exp:");
    terminal.type("(12 + 34) * (56 - 78)");
    terminal.press("C-Left C-Left");
    terminal.type("9");
    terminal.waitFor("(956 - 78)");
    terminal.press("C-u");
    terminal.waitFor("Exp: 56 - 78)\n");
    terminal.press("C-_");
    terminal.type("\x1bO2P\x1b[M !!");
    terminal.press("M-b M-b");
    terminal.type("1");
    terminal.press("End Enter");
    EXPECT_EQ(terminal.waitFor("= 128188\nExp:"),
              "Exp: (12 + 134) * (956 - 78)\n((12 + 134) * (956 - 78)) = 128188\nExp:\n");
}

// In the C locale, and with no locale set at all, bytes above 127 are kept: shown as
// escapes, refused as a pipe refuses them, stored in the history as typed and recalled so.
TEST_F(Terminal, TheCLocaleKeepsEveryByte) {
    for (const char* locale : {"LC_ALL=C", "LANG= LC_ALL= LC_CTYPE="}) {
        std::filesystem::remove(historyPath);
        TmuxSession terminal(environment(locale));
        terminal.waitFor("Exp:");
        terminal.type("1\u00e92 + 3");
        terminal.press("Enter");
        terminal.waitFor("expression.\nExp:");
        terminal.press("Up Home");
        terminal.type("4");
        terminal.press("Enter");
        EXPECT_EQ(terminal.waitFor("41\\U+DCC3\\U+DCA92 + 3\nExpression::parse() - Invalid "
                                   "expression.\nExp:"),
                  "Exp: 1\\U+DCC3\\U+DCA92 + 3\nExpression::parse() - Invalid expression.\n"
                  "Exp: 41\\U+DCC3\\U+DCA92 + 3\nExpression::parse() - Invalid expression.\n"
                  "Exp:\n")
            << locale;
        EXPECT_EQ(history(), "1\u00e92 + 3\n41\u00e92 + 3\n") << locale;
    }
}

// Started with Ctrl-C and Ctrl-Z ignored, as a shell may start it, the program leaves them
// ignored: the long line is answered.
TEST_F(Terminal, SignalsIgnoredOnEntryStayIgnored) {
    TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"),
                         {.before = "trap '' INT TSTP; "});
    terminal.waitFor("Exp:");
    terminal.type("(20000 !) / (19999 !)");
    terminal.press("Enter");
    terminal.waitFor("  [1 s");
    terminal.press("C-z");
    terminal.press("C-c");
    EXPECT_EQ(terminal.waitFor("= 20000\nExp:"),
              "Exp: (20000 !) / (19999 !)\n((20000!) / (19999!)) = 20000\nExp:\n");
    // Ctrl-C does nothing here, and the note does not offer it.
    EXPECT_EQ(terminal.written().find("Ctrl-C"), std::string::npos);
}

// Ctrl-Z and fg twice at one prompt: each time the prompt and the line typed are shown
// again, and the editor's keys work on them.
TEST_F(Terminal, StopAndContinueAtThePrompt) {
    if (underValgrind()) GTEST_SKIP() << "valgrind does not stop a program that stops itself";
    TmuxSession terminal(environment(), {.width = 200, .inShell = true});
    terminal.waitFor("Exp:");
    terminal.type("(7 choose 3) + 2");
    // The screen once `text` shows `times` times (waitFor finds the first).
    auto shownTimes = [&terminal](const std::string& text, int times) {
        std::string screen = terminal.screen();
        for (int tries = 0; tries < 400 && occurrences(screen, text) < times; ++tries) {
            std::this_thread::sleep_for(50ms);
            screen = terminal.screen();
        }
        return screen;
    };
    int stops = 0;
    for (const char* line : {"Exp: (7 choose 3) + 2\n", "Exp: (7 choose 3) + 5\n"}) {
        // Keys not yet read when Ctrl-Z comes are dropped by the terminal, as for any program.
        terminal.waitFor(std::string(line, 21));
        terminal.press("C-z");
        shownTimes("Stopped", ++stops);
        terminal.type("fg");
        terminal.press("Enter");
        const std::string shown = shownTimes(line, 2);  // as typed, and drawn again after fg
        ASSERT_NE(shown.rfind("Exp: "), std::string::npos) << shown;
        EXPECT_EQ(shown.substr(shown.rfind("Exp: ")), line) << shown;
        terminal.press(line[20] == '2' ? "Left 5 Right BSpace" : "Left 6 Right BSpace");
    }
    terminal.press("Enter");
    EXPECT_NE(terminal.waitFor("= 41\nExp:").find("Exp: (7 choose 3) + 6\n((7 choose 3) + 6) = 41"),
              std::string::npos);
}

// Ctrl-Z then bg and fg, at the prompt and while a line runs, and a resize while stopped:
// the prompt and the line come back as typed, with the cursor where it was and at the
// terminal's new width, and what is answered is what is shown. An answer that comes in the
// background stands on a line of its own with its echo.
TEST_F(Terminal, BackgroundAndAResizeWhileStopped) {
    if (underValgrind()) GTEST_SKIP() << "valgrind does not stop a program that stops itself";
    TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"),
                         {.width = 100, .inShell = true});
    int stops = 0;
    auto stopAndContinue = [&](bool background) {
        terminal.press("C-z");
        ++stops;
        for (int tries = 0; tries < 400 && occurrences(terminal.screen(), "Stopped") < stops;
             ++tries)
            std::this_thread::sleep_for(50ms);
        if (background) terminal.type("bg\r");
    };
    terminal.waitFor("Exp:");
    terminal.type("2 + 3");
    terminal.waitFor("Exp: 2 + 3");
    stopAndContinue(true);
    terminal.waitFor("$ bg\n");
    terminal.type("fg\r");
    terminal.waitFor("fg\n");
    terminal.type("9\r");
    std::string screen = terminal.waitFor("= 41\nExp:");
    EXPECT_NE(screen.find("\nExp: 2 + 39\n(2 + 39) = 41\nExp:"), std::string::npos) << screen;
    terminal.type("(40000 !) / (39998 !)\r");
    terminal.waitFor("abandons]");
    stopAndContinue(true);
    terminal.waitFor("= 1599960000");
    terminal.type("fg\r");
    screen = terminal.waitFor("\nExp:");
    EXPECT_NE(screen.find("\n((40000!) / (39998!)) = 1599960000\n"), std::string::npos) << screen;
    const std::string digits = "11111111112222222222333333333344444444445555555555";
    terminal.type(digits + " + 1");
    terminal.waitFor("5555 + 1");
    stopAndContinue(false);
    terminal.resize(40);
    terminal.type("fg\r");
    terminal.waitFor("fg\n");
    std::this_thread::sleep_for(300ms);
    terminal.press("C-a");
    terminal.type("9\r");
    screen = terminal.waitFor("5556\nExp:");
    EXPECT_NE(screen.find("5556\nExp:"), std::string::npos) << screen;
    EXPECT_EQ(history(), "2 + 39\n(40000 !) / (39998 !)\n9" + digits + " + 1\n");
}

// Ctrl-Z, bg and fg while a line runs: from the moment it is in the foreground again, keys
// typed are not echoed into the answer's line (bash sends no continue signal with fg), and
// Ctrl-C prints no "^C" there.
TEST_F(Terminal, NoEchoAfterBackgroundAndForeground) {
    if (underValgrind()) GTEST_SKIP() << "valgrind does not stop a program that stops itself";
    TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"),
                         {.width = 150, .inShell = true});
    terminal.waitFor("Exp:");
    terminal.type("(100000 !) choose 3\r");
    terminal.waitFor("abandons]");
    terminal.press("C-z");
    terminal.waitFor("Stopped");
    terminal.type("bg\r");
    terminal.waitFor("$ bg\n");
    terminal.type("fg\r");
    terminal.waitFor("$ fg\n");
    std::this_thread::sleep_for(300ms);
    terminal.type("5 + 5");
    std::this_thread::sleep_for(500ms);  // a terminal that echoes shows the keys at once
    EXPECT_EQ(terminal.screen().find("5 + 5"), std::string::npos) << terminal.screen();
    terminal.press("C-c");
    const std::string screen = terminal.waitFor("interrupted.\nExp:");
    EXPECT_NE(screen.find("\n((100000!) choose 3)Integer::createSpace() - Computation "
                          "interrupted.\nExp:"),
              std::string::npos)
        << screen;
}

// A line that wraps is drawn right, as tmux users and xterm users have the terminal: a
// resize at the prompt draws it again at once, at the new width, and an edit that shifts
// its rows draws each row whole.
TEST_F(Terminal, WrappedLinesAreDrawnRight) {
    for (const char* term : {"TERM=tmux-256color", "TERM=xterm-256color"}) {
        TmuxSession terminal(environment(term), 40);
        terminal.waitFor("Exp:");
        // Rows above the line, for those that narrowing pushes up: tmux keeps the cursor's row.
        terminal.type("1 + 1\r2 + 2\r3 + 3\r");
        terminal.waitFor("= 6\nExp:");
        const std::string line = "((123456789 + 987654321) * (111111111 - 22222222)) + 5";
        terminal.type(line);
        terminal.press("Left Left Left Left");
        terminal.resize(100);
        const std::string before =
            "Exp: 1 + 1\n(1 + 1) = 2\nExp: 2 + 2\n(2 + 2) = 4\nExp: 3 + 3\n(3 + 3) = 6\n";
        EXPECT_EQ(terminal.waitFor("Exp: " + line), before + "Exp: " + line + "\n") << term;
        // Each resize is taken, and the line drawn again at its width, before the next one
        // and before any key: a resize that comes while the program moves up the rows it
        // counted at the width before lands them on the wrong rows.
        const std::size_t wide = terminal.written().size();
        terminal.resize(15);
        terminal.waitForWritten("Exp: " + line.substr(0, 10), wide);
        const std::size_t narrow = terminal.written().size();
        terminal.resize(100);
        terminal.waitForWritten("Exp: " + line, narrow);
        terminal.press("Left X BSpace Enter");
        const std::string answered =
            before + "Exp: " + line + "\n(" + line + ") = 98765432123456795\nExp:\n";
        EXPECT_EQ(terminal.waitFor("= 98765432123456795\nExp:"), answered) << term;
        terminal.resize(40);
        terminal.type("5 + 5" + line.substr(1, 48));
        terminal.press("C-a");
        terminal.type("Z");
        const std::string edited =
            "Exp: Z5 + 5(123456789 + 987654321) * (11\n1111111 - 22222222)\n";
        const std::string screen = terminal.waitFor("Exp: Z");
        EXPECT_EQ(screen.substr(std::min(screen.size(), screen.rfind("Exp: Z"))), edited) << term;
    }
}

// SIGTERM while the note shows: the note is erased and the terminal's modes given back
// before the program ends.
TEST_F(Terminal, TerminateWhileTheNoteShows) {
    TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"), {.rowsAbove = 6});
    terminal.waitFor("Exp:");
    terminal.type("(40000 !) choose 3");
    terminal.press("Enter");
    terminal.waitFor("abandons]");
    terminal.signalProgram(SIGTERM);
    terminal.waitFor("[exit 143]");
    terminal.type("typed");  // echoed by the terminal once its modes are back
    EXPECT_EQ(terminal.waitFor("typed"),
              "Exp: (40000 !) choose 3\n((40000!) choose 3)Terminated\n[exit 143]\ntyped\n");
}

}  // namespace
}  // namespace VELD

namespace VELD {
namespace {

using namespace std::chrono_literals;
using testing::TmuxSession;

// The notes seen on the screen while a line runs, sampled twice a second: each as its
// step, its share (or -1) and whether it gave the time left.
struct NoteSample {
    std::string step;
    int share;
    bool left;
};

// The note on `screen`, "[N s, step P%, about T left, ...]", read into a sample; false
// when no note names a step.
bool readNote(const std::string& screen, NoteSample& sample) {
    for (std::size_t at = screen.find('['); at != std::string::npos;
         at = screen.find('[', at + 1)) {
        const std::size_t comma = screen.find(" s, ", at);
        const std::size_t end = screen.find(']', at);
        if (comma == std::string::npos || end == std::string::npos || comma > end) continue;
        std::size_t k = comma + 4;
        std::string step;
        while (k < end && screen[k] >= 'a' && screen[k] <= 'z')
            step += screen[k++];
        if (step.empty() || step == "about") continue;
        sample.step = step;
        sample.share = -1;
        if (k < end && screen[k] == ' ' &&
            std::isdigit(static_cast<unsigned char>(screen[k + 1]))) {
            sample.share = std::stoi(screen.substr(k + 1));
        }
        const std::string inside = screen.substr(at, end - at);
        sample.left = inside.find(", about ") != std::string::npos;
        return true;
    }
    return false;
}

// Samples until a note gives the time left, two minutes at the most.
std::vector<NoteSample> sampleNotes(TmuxSession& terminal) {
    std::vector<NoteSample> seen;
    for (int k = 0; k < 240 && (seen.empty() || !seen.back().left); ++k) {
        NoteSample sample;
        if (readNote(terminal.screen(), sample)) seen.push_back(sample);
        std::this_thread::sleep_for(500ms);
    }
    return seen;
}

// Shares never fall within a step (a step's name changes between steps).
void expectRisingShares(const std::vector<NoteSample>& seen) {
    for (std::size_t k = 1; k < seen.size(); ++k) {
        if (seen[k].step == seen[k - 1].step) {
            EXPECT_GE(seen[k].share, seen[k - 1].share) << k;
        }
    }
}

// A line far longer than the test on any machine, at the prompt and in a script whose
// output goes to a file, ended by Ctrl-C (SIGINT) once its notes have been seen: the note names the
// step, its share rises, the time left comes after a couple of seconds, and the screen
// keeps no trace of it.
TEST(TerminalProgress, TheNoteTellsHowFarALongLineHasCome) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    if (testing::launcher() != nullptr) GTEST_SKIP() << "seconds of work are minutes there";
    char pattern[] = "/tmp/exactcalc-progress-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string line = "(100000 !) choose 3";
    {
        TmuxSession terminal("EXACTCALC_HISTORY= EXACTCALC_STATUS_DELAY_MS=200",
                             {.width = 100, .rowsAbove = 6});
        terminal.waitFor("Exp:");
        terminal.type(line);
        terminal.press("Enter");
        const std::vector<NoteSample> seen = sampleNotes(terminal);
        ASSERT_GE(seen.size(), 3u);
        EXPECT_EQ(seen.front().step, "factorial");
        expectRisingShares(seen);
        EXPECT_TRUE(seen.back().left);
        terminal.press("C-c");
        EXPECT_EQ(terminal.waitFor("interrupted.\nExp:"),
                  "Exp: " + line + "\n((100000!) choose 3)" +
                      "Integer::createSpace() - Computation interrupted." + "\nExp:\n");
    }
    {
        TmuxSession terminal("EXACTCALC_STATUS_DELAY_MS=200",
                             {.width = 100, .after = "'" + line + "' > " + folder + "/value"});
        const std::vector<NoteSample> seen = sampleNotes(terminal);
        ASSERT_GE(seen.size(), 3u);
        EXPECT_EQ(seen.front().step, "factorial");
        expectRisingShares(seen);
        terminal.signalProgram(SIGINT);
        EXPECT_EQ(terminal.waitFor("[exit 130]"), "[exit 130]\n") << terminal.written();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace VELD
