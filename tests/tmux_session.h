// The built calculator at a real terminal: a tmux session of its own, driven by keys and
// read off the screen, as a person would use it. A launcher such as valgrind can be put in
// front through EXACTCALC_LAUNCHER.
#pragma once

#include <chrono>
#include <string>

namespace VELD::testing {

class TmuxSession {
public:
    struct Options {
        int width = 80;
        int height = 24;
        // Shell commands run before the program (such as a ulimit), and redirections after
        // it (such as "> file").
        std::string before = "", after = "";
        // Started from an interactive bash, with job control and the prompt "$ ", rather
        // than on its own; the screen then begins with the command line.
        bool inShell = false;
        // Blank rows above the program's first, as a shell's earlier lines leave it lower
        // on the screen than a fresh terminal's top row. They are not part of screen().
        int rowsAbove = 0;
    };

    // Starts `environment exactcalc` in a terminal; when the program ends, the line
    // "[exit N]" shows its status. Throws, naming the cause, when tmux cannot start a
    // session here (no pseudo-terminal, no server).
    explicit TmuxSession(const std::string& environment, Options options);
    TmuxSession(const std::string& environment, int width = 80, int height = 24)
        : TmuxSession(environment, Options{.width = width, .height = height}) {}
    ~TmuxSession();
    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    // True when tmux is installed.
    static bool available();

    // Types text as it stands.
    void type(const std::string& text);
    // Presses keys by tmux's names: Enter, Up, Left, C-c, C-d, Tab.
    void press(const std::string& keys);
    // Sends signal `number` to the program (or its launcher), not started from a shell.
    void signalProgram(int number);
    // Resizes the terminal; tmux reflows the lines that wrap.
    void resize(int width, int height = 24);
    // The screen's lines, with the lines scrolled off above it, without trailing blanks
    // and without the blank lines above the first line written and below the last.
    std::string screen();
    // Waits until the screen holds `text`; returns the screen as last seen. Gives up at
    // once when the session has gone.
    std::string waitFor(const std::string& text);
    // Everything the program wrote to the terminal, escape sequences and all.
    std::string written();
    // Waits until the program has written `text` after the first `from` bytes it wrote.
    void waitForWritten(const std::string& text, std::size_t from);

private:
    // Runs tmux on this session's socket; false when it fails, with its error output in
    // `output`.
    bool tmux(const std::string& arguments, std::string* output = nullptr);

    // Starts the process that ends the server when the test ends.
    void watchOver();

    std::string folder;
    std::chrono::milliseconds patience;
    int watcherPipe = -1;
};

}  // namespace VELD::testing
