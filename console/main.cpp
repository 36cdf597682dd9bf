#include <unistd.h>

#include <iostream>

#include "console/console.h"

int main(int argc, char* argv[]) {
    return VELD::runProgram(argc, argv, std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) != 0);
}
