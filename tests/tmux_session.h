// The built calculator at a real terminal: a tmux session of its own, driven by keys and
// read off the screen, as a person would use it. A launcher such as valgrind can be put in
// front through EXACTCALC_LAUNCHER.
#pragma once

#include <chrono>
#include <string>

namespace VELD::testing {

class TmuxSession {
public:
    // Starts `environment exactcalc` in a terminal of the given size; when the program
    // ends, the line "[exit N]" shows its status.
    TmuxSession(const std::string& environment, int width = 80, int height = 24);
    ~TmuxSession();
    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    // True when tmux can be run here.
    static bool available();

    // Types text as it stands.
    void type(const std::string& text);
    // Presses keys by tmux's names: Enter, Up, Left, C-c, C-d, Tab.
    void press(const std::string& keys);
    // The screen's lines without trailing blanks, without the blank lines below the last
    // line written.
    std::string screen();
    // Waits until the screen holds `text`; returns the screen as last seen.
    std::string waitFor(const std::string& text);
    // Everything the program wrote to the terminal, escape sequences and all.
    std::string written();

private:
    std::string tmux(const std::string& arguments);

    std::string folder;
    std::chrono::milliseconds patience;
};

}  // namespace VELD::testing
