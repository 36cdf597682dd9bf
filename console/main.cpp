#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "console/console.h"
#include "console/live_status.h"

int main(int argc, char* argv[]) {
    // Streams of their own rather than C's: a failed read then shows as a stream error,
    // not as the end of input.
    std::ios::sync_with_stdio(false);
    const char* term = std::getenv("TERM");
    const bool capable = term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
    VELD::Terminal terminal;
    terminal.input = isatty(STDIN_FILENO) != 0;
    terminal.output = isatty(STDOUT_FILENO) != 0;
    terminal.editing = capable && terminal.input && terminal.output;
    terminal.status = capable && VELD::LiveStatus::sameTerminal(STDOUT_FILENO, STDERR_FILENO);
    return VELD::runProgram(argc, argv, std::cin, std::cout, std::cerr, terminal);
}
