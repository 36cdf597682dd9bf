#include "tmux_session.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "child_process.h"

namespace VELD::testing {

namespace {

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (const char c : text) {
        if (c == '\'') {
            result += "'\\''";
        } else {
            result += c;
        }
    }
    return result + "'";
}

// Runs `command`, its output and error output into `output`; true when it succeeds.
bool run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return false;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool TmuxSession::available() {
    return std::system("tmux -V >/dev/null 2>&1") == 0;
}

TmuxSession::TmuxSession(const std::string& environment, Options options) {
    char pattern[] = "/tmp/exactcalc-terminal-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder = pattern;
    const char* front = launcher();
    // How long a screen may take to come: long enough for a slow build or a loaded
    // machine, as it ends the wait only when what is awaited never shows.
    patience = front != nullptr ? std::chrono::seconds(600) : std::chrono::seconds(120);
    const std::string program = "env " + environment + " " +
                                std::string(front != nullptr ? front : "") + " " + EXACTCALC_PATH +
                                " " + options.after;
    std::string lower = options.rowsAbove > 0 ? "printf '" : "";
    for (int row = 0; row < options.rowsAbove; ++row)
        lower += row + 1 < options.rowsAbove ? "\\n" : "\\n'; ";
    const std::string command =
        options.inShell ? "env PS1='$ ' bash --norc --noprofile -i"
                        : lower + options.before + program + "; echo \"[exit $?]\"; sleep 900";
    std::string error;
    if (!tmux("new-session -d -x " + std::to_string(options.width) + " -y " +
                  std::to_string(options.height) + " " + quoted(command),
              &error) ||
        !tmux("pipe-pane -o " + quoted("cat >> " + folder + "/written"), &error)) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        throw std::runtime_error("tmux cannot start a session here: " + error);
    }
    watchOver();
    if (options.inShell) {
        type(options.before + program);
        press("Enter");
    }
}

// A process of its own waits for the test to end however it ends (a crash, or ctest's
// timeout killing it, runs no destructor): the end of its pipe from the test tells it, and
// it ends the tmux server, the calculator with it (a hang-up). It is forked twice, so that
// it is no descendant of the test that ctest could kill with it.
void TmuxSession::watchOver() {
    int ends[2];
    if (pipe(ends) != 0) return;
    const std::string socket = folder + "/socket";
    const pid_t middle = fork();
    if (middle == 0) {
        setsid();
        if (fork() != 0) _exit(0);
        dup2(ends[0], STDIN_FILENO);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        close_range(3, ~0u, 0);  // no other test's pipe is held open here
        char byte;
        while (read(STDIN_FILENO, &byte, 1) < 0 && errno == EINTR) {
        }
        execlp("tmux", "tmux", "-S", socket.c_str(), "kill-server", nullptr);
        _exit(127);
    }
    close(ends[0]);
    if (middle < 0) {
        close(ends[1]);
        return;
    }
    waitpid(middle, nullptr, 0);
    fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    watcherPipe = ends[1];
}

void TmuxSession::signalProgram(int number) {
    std::string pane;
    if (!tmux("display -p '#{pane_pid}'", &pane)) return;
    pane.erase(pane.find_last_not_of("\n") + 1);
    const std::string command = "pkill -" + std::to_string(number) + " -P " + pane;
    if (std::system(command.c_str()) != 0) throw std::runtime_error("no program to signal");
}

TmuxSession::~TmuxSession() {
    tmux("kill-server");
    if (watcherPipe >= 0) close(watcherPipe);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

bool TmuxSession::tmux(const std::string& arguments, std::string* output) {
    std::string ignored;
    return run("tmux -S " + folder + "/socket " + arguments, output ? *output : ignored);
}

void TmuxSession::type(const std::string& text) {
    tmux("send-keys -l " + quoted(text));
}

void TmuxSession::press(const std::string& keys) {
    tmux("send-keys " + keys);
}

void TmuxSession::resize(int width, int height) {
    tmux("resize-window -x " + std::to_string(width) + " -y " + std::to_string(height));
}

std::string TmuxSession::screen() {
    std::string captured;
    if (!tmux("capture-pane -p -S -", &captured)) return "";
    std::istringstream lines(captured);
    std::string text, pendingBlank;
    for (std::string line; std::getline(lines, line);) {
        line.erase(line.find_last_not_of(' ') + 1);
        if (line.empty()) {
            pendingBlank += '\n';
        } else {
            text += (text.empty() ? "" : pendingBlank) + line + '\n';
            pendingBlank.clear();
        }
    }
    return text;
}

std::string TmuxSession::waitFor(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    std::string seen = screen();
    while (seen.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (!tmux("has-session")) break;  // the session has gone: waiting cannot help
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        seen = screen();
    }
    return seen;
}

void TmuxSession::waitForWritten(const std::string& text, std::size_t from) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (written().find(text, from) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline && tmux("has-session"))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string TmuxSession::written() {
    std::ifstream file(folder + "/written", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace VELD::testing
