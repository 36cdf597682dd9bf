// The built calculator run through pipes, as a shell script or a user would run it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include <gmpxx.h>

#include "child_process.h"

namespace VELD {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

// How long the calculator may be given to answer after a signal: it promises a second, and
// the margin is for a loaded machine or a launcher such as valgrind; the lines it abandons
// run for minutes.
std::chrono::milliseconds signalLatency() {
    return testing::launcher() ? 60s : 10s;
}

TEST(Executable, AnswersEveryLineOfAScript) {
    ChildProcess calculator;
    std::string script, expected;
    for (int k = 1; k <= 300; ++k) {
        const std::string line = k % 3 == 0   ? std::to_string(k) + " choose 2"
                                 : k % 3 == 1 ? std::to_string(k) + " / " + std::to_string(k + 1)
                                              : std::to_string(k) + " / 0";
        script += line + "\n";
    }
    calculator.write(script);
    calculator.closeInput();
    const std::string output = calculator.readAll(60s);
    EXPECT_EQ(calculator.wait(), 0);
    EXPECT_EQ(count(output, "Exp: "), 301u);
    EXPECT_EQ(count(output, "\n"), 300u);
    EXPECT_NE(output.find("Exp: (300 choose 2) = 44850\n"), std::string::npos);
    EXPECT_NE(output.find("Exp: (298 / 299) = 298 / 299\n"), std::string::npos);
    EXPECT_NE(output.find("Exp: (299 / 0)Rational::Rational() - Zero denominator,\n"),
              std::string::npos);
    EXPECT_EQ(output.substr(output.size() - 5), "Exp: ");
}

// The end of a script, and lines cut to their first 80 characters: each cut is one line
// on standard error, and the transcript stays as it was.
TEST(Executable, QuitEndOfInputAndCutLines) {
    const std::string cut = "exactcalc: line cut to its first 80 characters\n";
    const std::string longLine = "1 + " + std::string(77, '1') + "\n";
    const struct {
        std::string input, output, errors;
    } rows[] = {
        {"7 * 6\nq\n8 * 8\n", "Exp: (7 * 6) = 42\nExp: ", ""},
        {"7 * 6\n", "Exp: (7 * 6) = 42\nExp: ", ""},
        {"7 * 6", "Exp: (7 * 6) = 42\nExp: ", ""},
        {"", "Exp: ", ""},
        {longLine + "2 * 3\n" + longLine,
         "Exp: (1 + " + std::string(76, '1') + ") = " + std::string(75, '1') +
             "2\nExp: (2 * 3) = 6\nExp: (1 + " + std::string(76, '1') +
             ") = " + std::string(75, '1') + "2\nExp: ",
         cut + cut},
        // 80 characters and a CR LF line end: nothing is cut.
        {std::string(78, ' ') + "42\r\n", "Exp: 42 = 42\nExp: ", ""},
        // The echo shows what was read before a ")" without its "(", or a NUL byte.
        {"1 + 1 ) + 7\n" + std::string("2 \0+ 2\n", 7), "Exp: (1 + 1) = 2\nExp: 2 = 2\nExp: ", ""},
    };
    for (const auto& row : rows) {
        ChildProcess calculator;
        calculator.write(row.input);
        calculator.closeInput();
        EXPECT_EQ(calculator.readAll(30s), row.output) << row.input;
        EXPECT_EQ(calculator.wait(), 0) << row.input;
        EXPECT_EQ(calculator.errors(), row.errors) << row.input;
    }
}

// The shell's own output of `command`, with the exit status appended as " status=N".
std::string shell(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen((command + "; echo \" status=$?\"").c_str(), "r")) {
        char chunk[256];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
            output.append(chunk, n);
        pclose(pipe);
    }
    return output;
}

// Answers that cannot be written, or input that cannot be read, end the program with
// status 1 and one line on standard error, which is all the shell sees here.
TEST(Executable, FailedStreamsAreReportedWithStatusOne) {
    const char* front = testing::launcher();
    const std::string program = std::string(front ? front : "") + " " + EXACTCALC_PATH;
    const struct {
        std::string redirections;
        const char* expected;
    } rows[] = {
        {">/dev/full", "exactcalc: cannot write output: No space left on device\n status=1\n"},
        {">&-", "exactcalc: cannot write output: Bad file descriptor\n status=1\n"},
        {"</", "exactcalc: cannot read input: Is a directory\n status=1\n"},
    };
    // The dialogue, and the script modes.
    for (const char* arguments : {"", " --values", " '1 + 2'"}) {
        for (const auto& row : rows) {
            if (row.redirections == ">/dev/full" && access("/dev/full", W_OK) != 0) continue;
            if (row.redirections[0] == '<' && std::strchr(arguments, '\'') != nullptr)
                continue;  // reads no input
            // Standard error goes where the shell reads; the redirections apply after that.
            const std::string stdoutTo = row.redirections[0] == '<' ? " >/dev/null " : " ";
            EXPECT_EQ(shell("printf '1 + 2\\n' | " + program + arguments + " 2>&1" + stdoutTo +
                            row.redirections),
                      row.expected)
                << arguments << row.redirections;
        }
    }
}

// Options, and the script modes: values alone, a line each, with faults named on standard
// error and an empty line in their place, and a status that tells whether every line was
// answered. Lines and values have no length limit there, and a line is read to its end.
TEST(Executable, OptionsAndScriptModes) {
    const std::string nines(96, '9'), ones(99, '1');
    const std::string line200 = "(" + nines + " + " + ones + ")";
    const std::string sum200 = mpz_class(mpz_class(nines) + mpz_class(ones)).get_str();
    mpz_class factorial;
    mpz_fac_ui(factorial.get_mpz_t(), 5000);
    const std::string dir = ::testing::TempDir() + "/values" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/a.txt") << "1 + 1\n2 * 3\n";
    std::ofstream(dir + "/b.txt") << "7 / 0\n8 - 1";
    const std::string a = dir + "/a.txt", b = dir + "/b.txt", missing = dir + "/none.txt";
    const std::string given =
        "exactcalc: give --help, --version, --values or an expression, one of them (try --help)\n";
    const struct {
        std::vector<std::string> arguments;
        std::string input;
        int status;
        std::string output, errors;
    } rows[] = {
        {{"--help"}, "", 0, "Usage: exactcalc", ""},
        {{"--version"}, "", 0, "exactcalc 1.", ""},
        {{"--verbose"}, "", 2, "", "exactcalc: unexpected argument '--verbose' (try --help)\n"},
        {{"--help", "1 + 2"}, "", 2, "", given},
        {{"--values", "--version"}, "", 2, "", given},
        // The words are joined into one expression.
        {{"2", "+", "3"}, "", 0, "5\n", ""},
        {{"10", "choose", "3"}, "", 0, "120\n", ""},
        {{"(2 + 3)", "*", "4"}, "", 0, "20\n", ""},
        {{"1 / 0"}, "", 1, "\n", "exactcalc: Rational::Rational() - Zero denominator,\n"},
        {{" "}, "", 1, "\n", "exactcalc: empty expression\n"},
        {{"\n"}, "", 1, "\n", "exactcalc: empty expression\n"},
        {{"\t \r"}, "", 1, "\n", "exactcalc: empty expression\n"},
        // Only the word q or quit ends the input of a script mode; "--" alone is the dialogue.
        {{" QuIt "}, "", 0, "", ""},
        {{"quit", "now"}, "", 1, "\n", "exactcalc: Expression::parse() - Invalid expression.\n"},
        {{"q + 1"}, "", 1, "\n", "exactcalc: Expression::parse() - Invalid expression.\n"},
        {{"--values"},
         "1 + 1\nquarter + 1\n Q\t\n2 + 2\n",
         1,
         "2\n\n",
         "exactcalc: line 2: Expression::parse() - Invalid expression.\n"},
        {{"--"}, "2 + 3\n", 0, "Exp: (2 + 3) = 5\nExp: ", ""},
        // Sizes that no Integer can hold are refused before any work.
        {{"(2 ^ 64) choose (2 ^ 32)"},
         "",
         1,
         "\n",
         "exactcalc: Integer::createSpace() - Not enough memory for new numbers.\n"},
        // A name is shown with its control bytes escaped.
        {{"--values", "no\nsuch\x1b"},
         "",
         1,
         "",
         "exactcalc: cannot open no\\x0asuch\\x1b: No such file or directory\n"},
        {{"--", "-5"},
         "",
         1,
         "\n",
         "exactcalc: Expression::parse() - Bad operator/parameter order.\n"},
        {{line200}, "", 0, sum200 + "\n", ""},
        {{"5000", "!"}, "", 0, factorial.get_str() + "\n", ""},
        // A line is never answered for a part of it.
        {{"1 + 1 ) + 7"},
         "",
         1,
         "\n",
         "exactcalc: a \")\" without its \"(\"; not read: \") + 7\"\n"},
        {{"--values"},
         "1 + 1 ) + 7\n" + std::string("2 \0+ 2\n", 7) + "((1)) ) " + std::string(50, 'x') + "\n" +
             line200 + "\n",
         1,
         "\n\n\n" + sum200 + "\n",
         "exactcalc: line 1: a \")\" without its \"(\"; not read: \") + 7\"\n"
         "exactcalc: line 2: a NUL byte; not read: \"\\0+ 2\"\n"
         "exactcalc: line 3: a \")\" without its \"(\"; not read: \") " +
             std::string(38, 'x') + "...\"\n"},
        {{"--values"},
         "1 + 2\n\n2 ^ (1 / 2)\n \t\r\n5 !\n4 / 6\nq\n7 * 7\n",
         1,
         "3\n\n\n\n120\n2 / 3\n",
         "exactcalc: line 3: Rational::operator Integer() - Denominator is not 1.\n"},
        {{"--values"}, "1 + 1\n2 + 2", 0, "2\n4\n", ""},
        // A byte-order mark before the first line is skipped.
        {{"--values"},
         "\xEF\xBB\xBF"
         "1 + 2\n3 * 4\n",
         0,
         "3\n12\n",
         ""},
        // Values in decimal, and the forms' options where they do not apply.
        {{"--scale", "3", "2", "/", "3"}, "", 0, "~0.667\n", ""},
        {{"--values", "--scale=2"},
         "1 / 8\n1 / 0\n",
         1,
         "~0.13\n\n",
         "exactcalc: line 2: Rational::Rational() - Zero denominator,\n"},
        {{"--scale", "1000001", "1"},
         "",
         2,
         "",
         "exactcalc: --scale takes a number of places from 0 to 1000000 (try --help)\n"},
        {{"--as-input"},
         "",
         2,
         "",
         "exactcalc: give --as-input or --scale once, with --values or an expression (try "
         "--help)\n"},
        {{"--values"}, "", 0, "", ""},
        // Files in order, standard input as "-", a missing file reported and passed over.
        {{"--values", a, "-", missing, b},
         "2 ^ 10\n1 / 0\n",
         1,
         "2\n6\n1024\n\n\n7\n",
         "exactcalc: line 2: Rational::Rational() - Zero denominator,\n"
         "exactcalc: cannot open " +
             missing +
             ": No such file or directory\n"
             "exactcalc: " +
             b + ":1: Rational::Rational() - Zero denominator,\n"},
    };
    for (const auto& row : rows) {
        ChildProcess calculator(row.arguments);
        calculator.write(row.input);
        calculator.closeInput();
        const std::string output = calculator.readAll(60s);
        const std::string label = row.arguments[0] + " " + row.input.substr(0, 20);
        EXPECT_EQ(calculator.wait(), row.status) << label;
        if (row.arguments[0] == "--help" || row.arguments[0] == "--version") {
            EXPECT_EQ(output.rfind(row.output, 0), 0u) << label << ": " << output;
        } else {
            EXPECT_EQ(output, row.output) << label;
        }
        EXPECT_EQ(calculator.errors(), row.errors) << label;
    }
    std::filesystem::remove_all(dir);
}

// Each value written --as-input reads back to the same value, standing bare as an operand.
TEST(Executable, ValuesAsInputReadBack) {
    const std::vector<std::string> lines = {"7",
                                            "0 - 7",
                                            "1 / 3",
                                            "1 / (0 - 2)",
                                            "0",
                                            "(2 ^ 100) / (0 - (3 ^ 50))",
                                            "0 - ((10 ^ 40) + 1)",
                                            "(7 ^ 30) / (2 ^ 90)"};
    auto answers = [](const std::vector<std::string>& arguments, const std::string& input) {
        ChildProcess calculator(arguments);
        calculator.write(input);
        calculator.closeInput();
        std::string output = calculator.readAll(60s);
        EXPECT_EQ(calculator.wait(), 0) << input;
        return output;
    };
    std::string input, operands, plain;
    for (const std::string& line : lines)
        input += line + "\n";
    std::istringstream forms(answers({"--values", "--as-input"}, input));
    std::vector<std::string> form;
    for (std::string text; std::getline(forms, text);) {
        form.push_back(text);
        operands += text + " * 2\n";
    }
    ASSERT_EQ(form.size(), lines.size());
    EXPECT_EQ(std::vector<std::string>(form.begin(), form.begin() + 4),
              (std::vector<std::string>{"7", "(0 - 7)", "(1 / 3)", "((0 - 1) / 2)"}));
    for (const std::string& line : lines)
        plain += "(" + line + ") * 2\n";
    EXPECT_EQ(answers({"--values"}, operands), answers({"--values"}, plain));
}

// A signal while a line's numerals are read abandons it: the program ends by the signal long
// before a million digits could have been read, and what came before is written.
TEST(Executable, ASignalAbandonsReadingALongNumeral) {
    setenv("EXACTCALC_STATUS_DELAY_MS", "100", 1);
    ChildProcess calculator({"--values"});
    const std::string digits(1000000, '7');
    calculator.write("1 + 1\n" + digits + " - " + digits + "\n");
    EXPECT_EQ(calculator.readUntil("2\n", signalLatency() + 30s), "2\n");
    // The line's last bytes are in the pipe: read at once, and then its numerals.
    std::this_thread::sleep_for(500ms);
    calculator.signal(SIGTERM);
    EXPECT_EQ(calculator.readAll(signalLatency()), "2\n");
    const auto deadline = std::chrono::steady_clock::now() + signalLatency();
    while (!calculator.exited() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(calculator.exited());
    EXPECT_EQ(calculator.wait(), 128 + SIGTERM);
    unsetenv("EXACTCALC_STATUS_DELAY_MS");
}

// What was answered before a slow line reaches a pipe while that line runs (a second after
// it began; the wait leaves a margin for a loaded machine).
TEST(Executable, AnswersBeforeASlowLineArriveWhileItRuns) {
    ChildProcess calculator({"--values"});
    calculator.write("1 + 1\n2 * 3\n(100000 !) choose 3\n");
    EXPECT_EQ(calculator.readUntil("2\n6\n", signalLatency() + 10s), "2\n6\n");
    EXPECT_FALSE(calculator.exited());
    calculator.signal(SIGTERM);
    calculator.readAll(signalLatency());
    EXPECT_EQ(calculator.wait(), 128 + SIGTERM);
}

// Nesting up to the limit is answered; one level more, or a million (a line of 2 MB), is a
// fault of its own, and the next line is answered.
TEST(Executable, NestingLimit) {
    auto nested = [](std::size_t levels) {
        std::string line;
        for (std::size_t k = 0; k < levels; ++k)
            line += "(1 + ";
        return line + "1" + std::string(levels, ')') + "\n";
    };
    const std::string tooDeep = "Expression::parse() - Nested too deeply.";
    ChildProcess calculator({"--values"});
    calculator.write(nested(1000) + nested(1001) + std::string(1000000, '(') + "1" +
                     std::string(1000000, ')') + "\n2 + 2\n");
    calculator.closeInput();
    EXPECT_EQ(calculator.readAll(120s), "1001\n\n\n4\n");
    EXPECT_EQ(calculator.errors(),
              "exactcalc: line 2: " + tooDeep + "\nexactcalc: line 3: " + tooDeep + "\n");
    EXPECT_EQ(calculator.wait(), 1);
}

// Signals that the starting shell or nohup set to be ignored stay ignored: every line is
// answered, in the dialogue and in the script mode.
TEST(Executable, SignalsIgnoredOnEntryStayIgnored) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, std::vector<std::string>{"--values"}}) {
        ChildProcess calculator(arguments, 0, {SIGINT, SIGHUP, SIGTERM, SIGTSTP});
        calculator.write("(3000 !) / (2999 !)\n");
        std::this_thread::sleep_for(100ms);
        for (const int number : {SIGINT, SIGHUP, SIGTERM, SIGTSTP})
            calculator.signal(number);
        calculator.write("6 * 7\n");
        calculator.closeInput();
        const std::string output = calculator.readAll(60s);
        EXPECT_EQ(calculator.wait(), 0);
        EXPECT_EQ(output, arguments.empty()
                              ? "Exp: ((3000!) / (2999!)) = 3000\nExp: (6 * 7) = 42\nExp: "
                              : "3000\n42\n");
    }
}

// SIGTERM and SIGHUP end every mode as Ctrl-C ends a script: the line being computed is
// abandoned, and what was answered before it is written, by the first tick at the latest
// (so that a reader of the pipe has it while the slow line runs), and the status is the
// signal's.
TEST(Executable, TerminateAndHangUpKeepWhatWasAnswered) {
    setenv("EXACTCALC_STATUS_DELAY_MS", "100", 1);
    const std::string lines = "1 + 1\n2 + 2\n(100000 !) choose 3\n";
    const struct {
        std::vector<std::string> arguments;
        std::string answered;
    } modes[] = {
        {{}, "Exp: (1 + 1) = 2\nExp: (2 + 2) = 4\nExp: ((100000!) choose 3)"},
        {{"--values"}, "2\n4\n"},
        {{"(100000 !) choose 3"}, ""},
    };
    for (const int number : {SIGTERM, SIGHUP}) {
        for (const auto& mode : modes) {
            ChildProcess calculator(mode.arguments);
            if (mode.arguments.empty() || mode.arguments[0] == "--values") calculator.write(lines);
            std::this_thread::sleep_for(300ms);
            if (!mode.answered.empty()) {
                EXPECT_EQ(calculator.readUntil(mode.answered, signalLatency() + 30s),
                          mode.answered);
            }
            calculator.signal(number);
            EXPECT_EQ(calculator.readAll(signalLatency() + 30s), mode.answered);
            EXPECT_EQ(calculator.wait(), 128 + number) << number;
        }
    }
    unsetenv("EXACTCALC_STATUS_DELAY_MS");
}

TEST(Executable, InterruptAbandonsOnlyTheLongComputation) {
    ChildProcess calculator;
    // The echo shows at once only while no further line waits; the next one is queued once
    // the computation is under way.
    calculator.write("(100000 !) choose 3\n");
    calculator.readUntil("Exp: ((100000!) choose 3)", 30s);
    calculator.write("1 + 2\n");
    std::this_thread::sleep_for(1s);
    calculator.signal(SIGINT);
    const std::string output = calculator.readUntil("(1 + 2) = 3\nExp: ", signalLatency());
    EXPECT_EQ(output,
              "Exp: ((100000!) choose 3)Integer::createSpace() - Computation interrupted.\n"
              "Exp: (1 + 2) = 3\nExp: ");
    calculator.closeInput();
    calculator.readAll(30s);
    EXPECT_EQ(calculator.wait(), 0);  // no leak either, under the sanitizers
}

// Running out of real memory is one more fault: the next line is answered as usual.
TEST(Executable, SurvivesAnAddressSpaceLimit) {
#ifdef EXACTCALC_SANITIZED
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
    if (testing::launcher() != nullptr) GTEST_SKIP() << "not under a launcher";
    ChildProcess calculator({}, std::uint64_t{1} << 30);
    calculator.write("2 ^ 4294967296\n1 + 2\n");
    calculator.closeInput();
    EXPECT_EQ(calculator.readAll(120s),
              "Exp: (2 ^ 4294967296)Integer::createSpace() - Not enough memory for new numbers.\n"
              "Exp: (1 + 2) = 3\nExp: ");
    EXPECT_EQ(calculator.wait(), 0);
}

TEST(Executable, InterruptAtThePromptEndsTheProgram) {
    ChildProcess calculator;
    calculator.write("6 * 7\n");
    calculator.readUntil("(6 * 7) = 42\nExp: ", 30s);
    calculator.signal(SIGINT);
    calculator.readAll(signalLatency());
    EXPECT_EQ(calculator.wait(), 128 + SIGINT);
}

}  // namespace
}  // namespace VELD

namespace VELD {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;

// A client that writes one line and waits for its answer before the next gets each answer,
// and the next prompt, at once: the output goes out whenever the calculator would wait.
TEST(Executable, AnswersAPipeClientLineByLine) {
    ChildProcess calculator;
    EXPECT_EQ(calculator.readUntil("Exp: ", 30s), "Exp: ");
    std::string expected = "Exp: ";
    for (int k = 1; k <= 20; ++k) {
        const std::string square = std::to_string(k * k);
        calculator.write(std::to_string(k) + " * " + std::to_string(k) + "\n");
        expected += "(" + std::to_string(k) + " * " + std::to_string(k) + ") = ";
        expected += square + "\nExp: ";
        ASSERT_EQ(calculator.readUntil(square + "\nExp: ", 30s), expected) << k;
    }
    calculator.closeInput();
    calculator.readAll(30s);
    EXPECT_EQ(calculator.wait(), 0);
}

// Ctrl-C while a long script is being answered ends the program as SIGINT does, and every
// answer given before it is written whole: the output is a run of whole answers, then at
// most a prompt.
TEST(Executable, InterruptDuringAScriptKeepsEveryAnswer) {
    ChildProcess calculator;
    std::thread writer([&calculator] {
        std::string batch;
        for (int k = 0; k < 4096; ++k)
            batch += "12 + 30\n";
        try {
            for (int k = 0; k < 256; ++k)
                calculator.write(batch);
        } catch (const std::runtime_error&) {
            // The calculator has ended.
        }
    });
    calculator.readUntil("(12 + 30) = 42\nExp: (12 + 30) = 42\n", 30s);
    // A signal that lands in an evaluation only abandons that line: then another one.
    for (int attempt = 0; attempt < 20 && !calculator.exited(); ++attempt) {
        calculator.signal(SIGINT);
        calculator.readAll(signalLatency());
    }
    if (!calculator.exited()) calculator.signal(SIGKILL);
    writer.join();
    const std::string output = calculator.readAll(30s);
    EXPECT_EQ(calculator.wait(), 128 + SIGINT);
    const std::string answer = "Exp: (12 + 30) = 42\n";
    std::size_t at = 0;
    while (output.compare(at, answer.size(), answer) == 0)
        at += answer.size();
    EXPECT_GT(at, 0u);
    EXPECT_TRUE(at == output.size() || output.substr(at) == "Exp: ") << output.substr(at, 80);
}

// When the output can take no more (here a file size limit of 4 KiB), the program ends
// with status 1 and its reason, and the output holds everything up to the limit.
TEST(Executable, WriteErrorAfterABatchKeepsWhatFitted) {
    if (testing::launcher() != nullptr) GTEST_SKIP() << "not under a launcher";
    char folder[] = "/tmp/exactcalc-limit-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string script = std::string(folder) + "/lines";
    const std::string output = std::string(folder) + "/out";
    std::string lines, expected;
    for (int k = 1; k <= 2000; ++k) {
        const std::string number = std::to_string(k);
        lines += number + " / 7\n";
        expected += "Exp: (" + number + " / 7) = ";
        expected += k % 7 == 0 ? std::to_string(k / 7) + "\n" : number + " / 7\n";
    }
    std::ofstream(script) << lines;
    // bash counts the limit in KiB; the calculator inherits the ignored signal.
    const std::string result =
        shell("bash -c \"ulimit -f 4; trap '' XFSZ; exec " + std::string(EXACTCALC_PATH) + " < " +
              script + " 2>&1 > " + output + "\"");
    EXPECT_EQ(result, "exactcalc: cannot write output: File too large\n status=1\n");
    std::ifstream written(output, std::ios::binary);
    std::ostringstream text;
    text << written.rdbuf();
    EXPECT_EQ(text.str(), expected.substr(0, 4096));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace VELD
