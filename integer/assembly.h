// The one switch for the x86-64 code: VELD_ASM is 1 where the assembly kernels and the
// processor's carry intrinsics are built, 0 where every word loop is portable C++. It is 1
// by default with GCC or clang on x86-64; the build option EXACTCALC_ASM=OFF defines
// EXACTCALC_PORTABLE, which turns it off there too, so that the portable path is built and
// tested on the machine that usually runs the assembly.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(EXACTCALC_PORTABLE)
#define VELD_ASM 1
#else
#define VELD_ASM 0
#endif
