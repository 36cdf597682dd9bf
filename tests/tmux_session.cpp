#include "tmux_session.h"

#include "child_process.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

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

std::string run(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
            output.append(chunk, n);
        pclose(pipe);
    }
    return output;
}

}  // namespace

bool TmuxSession::available() {
    return std::system("tmux -V >/dev/null 2>&1") == 0;
}

TmuxSession::TmuxSession(const std::string& environment, int width, int height) {
    char pattern[] = "/tmp/exactcalc-terminal-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder = pattern;
    const char* front = launcher();
    patience = front != nullptr ? std::chrono::seconds(120) : std::chrono::seconds(20);
    const std::string program = std::string(front != nullptr ? front : "") + " " + EXACTCALC_PATH;
    const std::string command =
        "env " + environment + " " + program + "; echo \"[exit $?]\"; sleep 3600";
    tmux("new-session -d -x " + std::to_string(width) + " -y " + std::to_string(height) + " " +
         quoted(command));
    tmux("pipe-pane -o " + quoted("cat >> " + folder + "/written"));
}

TmuxSession::~TmuxSession() {
    tmux("kill-server");
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::string TmuxSession::tmux(const std::string& arguments) {
    return run("tmux -S " + folder + "/socket " + arguments + " 2>/dev/null");
}

void TmuxSession::type(const std::string& text) {
    tmux("send-keys -l " + quoted(text));
}

void TmuxSession::press(const std::string& keys) {
    tmux("send-keys " + keys);
}

std::string TmuxSession::screen() {
    std::istringstream lines(tmux("capture-pane -p"));
    std::string text, pendingBlank;
    for (std::string line; std::getline(lines, line);) {
        line.erase(line.find_last_not_of(' ') + 1);
        if (line.empty()) {
            pendingBlank += '\n';
        } else {
            text += pendingBlank + line + '\n';
            pendingBlank.clear();
        }
    }
    return text;
}

std::string TmuxSession::waitFor(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    std::string seen = screen();
    while (seen.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        seen = screen();
    }
    return seen;
}

std::string TmuxSession::written() {
    std::ifstream file(folder + "/written", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace VELD::testing
