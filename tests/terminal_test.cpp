// The calculator at a real terminal, through tmux: line editing, history across sessions,
// Ctrl-C and Ctrl-D at the prompt, and the note on long lines.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tmux_session.h"

namespace VELD {
namespace {

using testing::TmuxSession;

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
    std::string history() const {
        std::ifstream file(historyPath);
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

// The note shows behind the echo while a line runs, and leaves no trace: after the
// answer, and after Ctrl-C, the screen is the plain dialogue. A delay of 1 ms shows it on
// every line that takes a while.
TEST_F(Terminal, LongLinesShowANoteThatLeavesNoTrace) {
    TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"));
    terminal.waitFor("Exp:");
    terminal.type("(4000 !) / (3999 !)");
    terminal.press("Enter");
    terminal.waitFor("= 4000\nExp:");
    EXPECT_NE(terminal.written().find("((4000!) / (3999!))  [1 s, Ctrl-C abandons]"),
              std::string::npos);
    terminal.type("(40000 !) choose 3");
    terminal.press("Enter");
    EXPECT_NE(terminal.waitFor("  [1 s, Ctrl-C abandons]").find("((40000!) choose 3)  [1 s, "),
              std::string::npos);
    terminal.press("C-c");
    EXPECT_EQ(terminal.waitFor("interrupted.\nExp:"),
              "Exp: (4000 !) / (3999 !)\n"
              "((4000!) / (3999!)) = 4000\n"
              "Exp: (40000 !) choose 3\n"
              "((40000!) choose 3)Integer::createSpace() - Computation interrupted.\n"
              "Exp:\n");
}

// On a narrow terminal the note is shortened, or left out, so that it never wraps.
TEST_F(Terminal, TheNoteFitsTheLine) {
    for (const auto& [width, shortNote, longNote] :
         {std::tuple{60, true, true}, std::tuple{30, true, false}, std::tuple{20, false, false}}) {
        TmuxSession terminal(environment("EXACTCALC_STATUS_DELAY_MS=1"), width);
        terminal.waitFor("Exp:");
        terminal.type("(4000 !) / (3999 !)");
        terminal.press("Enter");
        terminal.waitFor("= 4000\nExp:");
        const std::string written = terminal.written();
        EXPECT_EQ(written.find("  [1 s") != std::string::npos, shortNote) << width;
        EXPECT_EQ(written.find("abandons]") != std::string::npos, longNote) << width;
    }
}

}  // namespace
}  // namespace VELD
