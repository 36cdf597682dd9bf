// libgmpxx is built for the system's C++ library (libstdc++): a build with another one
// (clang's libc++) finds no stream output for GMP's numbers there, and takes it from here.
#include <gmpxx.h>

#include <cstring>
#include <ostream>

#if defined(_LIBCPP_VERSION)
namespace {

std::ostream& writeAndRelease(std::ostream& out, char* text) {
    out << text;
    void (*release)(void*, std::size_t) = nullptr;
    mp_get_memory_functions(nullptr, nullptr, &release);
    release(text, std::strlen(text) + 1);
    return out;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const __mpz_struct* x) {
    return writeAndRelease(out, mpz_get_str(nullptr, 10, x));
}

std::ostream& operator<<(std::ostream& out, const __mpq_struct* x) {
    return writeAndRelease(out, mpq_get_str(nullptr, 10, x));
}
#endif
