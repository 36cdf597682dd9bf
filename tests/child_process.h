// The built calculator as a child process, with pipes to its standard input, output and
// error. A launcher such as valgrind can be put in front through EXACTCALC_LAUNCHER.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace VELD::testing {

// The command put in front of the calculator: EXACTCALC_LAUNCHER when it is set (such as
// valgrind), else the emulator of a cross build (such as qemu-aarch64); null for none.
const char* launcher();

class ChildProcess {
public:
    // A non-zero addressSpaceLimit (bytes) is set as the child's RLIMIT_AS; the signals in
    // `ignored` are ignored when it starts, as a shell does for background jobs.
    explicit ChildProcess(const std::vector<std::string>& arguments = {},
                          std::uint64_t addressSpaceLimit = 0,
                          const std::vector<int>& ignored = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void write(const std::string& text);
    void closeInput();
    // Reads standard output until it holds `marker` after what was already returned, the
    // output ends, or the time runs out. Returns the output read so far, in full.
    std::string readUntil(const std::string& marker, std::chrono::milliseconds timeout);
    // Reads standard output and error to their end.
    std::string readAll(std::chrono::milliseconds timeout);
    const std::string& errors() const { return error; }
    void signal(int number);
    // True once the process has ended (its status is then kept for wait).
    bool exited();
    // The exit status, or 128 plus the signal that ended the process.
    int wait();

private:
    bool pump(std::chrono::milliseconds timeout);

    int pid = -1;
    int input = -1, output = -1, errorOutput = -1;
    std::string text, error;
    std::size_t consumed = 0;
    int status = -1;
};

}  // namespace VELD::testing
