#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "console/program.h"
#include "console/signals.h"

int main(int argc, char* argv[]) {
#if defined(__GLIBC__)
    // Freed memory of up to 16 MiB is kept for reuse, and only arrays of 4 MiB and more get
    // pages of their own: by default the C library hands back arrays of 128 KiB and more (a
    // long value's powers of ten), whose pages the next long line faults in all over again.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
#endif
    // Streams of their own rather than C's: a failed read then shows as a stream error,
    // not as the end of input.
    std::ios::sync_with_stdio(false);
    const char* term = std::getenv("TERM");
    const bool capable = term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
    VELD::Terminal terminal;
    terminal.input = isatty(STDIN_FILENO) != 0;
    terminal.output = isatty(STDOUT_FILENO) != 0;
    terminal.editing = capable && terminal.input && terminal.output;
    terminal.dialogueNote = capable && VELD::signals::sameTerminal(STDOUT_FILENO, STDERR_FILENO);
    terminal.scriptNote = capable && isatty(STDERR_FILENO) != 0;
    // The editor takes the terminal's characters in its encoding (UTF-8, say); only the
    // character type is set, so numbers and messages are the same in every locale.
    if (terminal.editing) std::setlocale(LC_CTYPE, "");
    return VELD::runProgram(argc, argv, std::cin, std::cout, std::cerr, terminal);
}
