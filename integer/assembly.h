// The one switch for the x86-64 code: EXACTCALC_ASM is 1 where the assembly kernels and the
// processor's carry intrinsics are built, 0 where every word loop is portable C++. The
// build option of the same name sets it to 0 when turned off, so that the portable path is
// built and tested on the machine that usually runs the assembly; left alone, it is 1 with
// GCC or clang on x86-64 and 0 elsewhere.
#pragma once

#ifndef EXACTCALC_ASM
#if defined(__x86_64__) && defined(__GNUC__)
#define EXACTCALC_ASM 1
#else
#define EXACTCALC_ASM 0
#endif
#endif

#if EXACTCALC_ASM && !(defined(__x86_64__) && defined(__GNUC__))
#error "EXACTCALC_ASM=1 needs x86-64 and GCC or clang"
#endif
