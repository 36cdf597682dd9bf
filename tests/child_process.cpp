#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace VELD::testing {

namespace {

void closeIfOpen(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

const char* launcher() {
    if (const char* chosen = std::getenv("EXACTCALC_LAUNCHER")) return chosen;
#ifdef EXACTCALC_EMULATOR
    return EXACTCALC_EMULATOR;
#else
    return nullptr;
#endif
}

ChildProcess::ChildProcess(const std::vector<std::string>& arguments,
                           std::uint64_t addressSpaceLimit, const std::vector<int>& ignored) {
    std::vector<std::string> command;
    if (const char* front = launcher()) {
        std::istringstream words(front);
        for (std::string word; words >> word;)
            command.push_back(word);
    }
    command.push_back(EXACTCALC_PATH);
    command.insert(command.end(), arguments.begin(), arguments.end());

    int toChild[2], fromChild[2], errorsFromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0 || pipe(errorsFromChild) != 0) {
        throw std::runtime_error("pipe failed");
    }
    ::signal(SIGPIPE, SIG_IGN);
    pid = fork();
    if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        dup2(errorsFromChild[1], STDERR_FILENO);
        for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1], errorsFromChild[0],
                       errorsFromChild[1]}) {
            close(fd);
        }
        for (const int number : ignored)
            ::signal(number, SIG_IGN);
        if (addressSpaceLimit != 0) {
            const rlimit limit{addressSpaceLimit, addressSpaceLimit};
            setrlimit(RLIMIT_AS, &limit);
        }
        std::vector<char*> argv;
        for (std::string& word : command)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    close(errorsFromChild[1]);
    input = toChild[1];
    output = fromChild[0];
    errorOutput = errorsFromChild[0];
}

ChildProcess::~ChildProcess() {
    closeIfOpen(input);
    if (pid > 0 && status < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    closeIfOpen(output);
    closeIfOpen(errorOutput);
}

void ChildProcess::write(const std::string& data) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t count = ::write(input, data.data() + written, data.size() - written);
        if (count <= 0) throw std::runtime_error("write to the calculator failed");
        written += static_cast<std::size_t>(count);
    }
}

void ChildProcess::closeInput() {
    closeIfOpen(input);
}

// Waits for output and reads what is there; false once both outputs have ended or the
// time has run out.
bool ChildProcess::pump(std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{output, POLLIN, 0}, {errorOutput, POLLIN, 0}};
    if (output < 0 && errorOutput < 0) return false;
    if (poll(fds, 2, static_cast<int>(timeout.count())) <= 0) return false;
    char chunk[4096];
    for (auto [fd, target] : {std::pair{&output, &text}, std::pair{&errorOutput, &error}}) {
        const pollfd& polled = fd == &output ? fds[0] : fds[1];
        if (*fd < 0 || (polled.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        const ssize_t count = read(*fd, chunk, sizeof chunk);
        if (count <= 0) {
            closeIfOpen(*fd);
        } else {
            target->append(chunk, static_cast<std::size_t>(count));
        }
    }
    return true;
}

std::string ChildProcess::readUntil(const std::string& marker, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (text.find(marker, consumed) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(left)) break;
    }
    const std::size_t found = text.find(marker, consumed);
    if (found != std::string::npos) consumed = found + marker.size();
    return text;
}

std::string ChildProcess::readAll(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (output >= 0 || errorOutput >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(left)) break;
    }
    return text;
}

void ChildProcess::signal(int number) {
    kill(pid, number);
}

bool ChildProcess::exited() {
    if (status >= 0) return true;
    int raw = 0;
    if (waitpid(pid, &raw, WNOHANG) != pid) return false;
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return true;
}

int ChildProcess::wait() {
    if (status < 0) {
        int raw = 0;
        waitpid(pid, &raw, 0);
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    return status;
}

}  // namespace VELD::testing
