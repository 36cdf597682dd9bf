#include <unistd.h>

#include <iostream>

#include "console/console.h"

int main(int argc, char* argv[]) {
    // Streams of their own rather than C's: a failed read then shows as a stream error,
    // not as the end of input.
    std::ios::sync_with_stdio(false);
    return VELD::runProgram(argc, argv, std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) != 0);
}
