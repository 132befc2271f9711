// SPDX-License-Identifier: GPL-3.0-or-later
// Kernels whose arithmetic, not memory, limits them are compiled twice: for
// the baseline x86-64 every machine has, and with AVX2 and FMA, chosen once
// at run time. The kernel body is one inline function; the two entry points
// only differ in how the compiler may vectorise it.
//
// On other processors (ARM64), and in a build configured with
// LUMETRA_PORTABLE=ON, only the portable kernels are built: plain C++ and
// the compiler's generic vector extensions, no x86 intrinsics or built-ins.
// x86 headers (immintrin.h and the like) are included only where
// LUMETRA_X86_KERNELS is 1.
#pragma once

#include <cstdlib>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(LUMETRA_PORTABLE)
#define LUMETRA_X86_KERNELS 1
#else
#define LUMETRA_X86_KERNELS 0
#endif

namespace lumetra {

#if LUMETRA_X86_KERNELS
#define LUMETRA_HAS_AVX2_VARIANT 1
#define LUMETRA_TARGET_AVX2 __attribute__((target("avx2,fma")))
// LUMETRA_DISABLE_AVX2 in the environment makes the baseline kernels run
// everywhere: the tests run both variants on one machine with it.
inline bool CpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                            !std::getenv("LUMETRA_DISABLE_AVX2");
    return has;
}
#else
#define LUMETRA_HAS_AVX2_VARIANT 0
#define LUMETRA_TARGET_AVX2
inline bool CpuHasAvx2() {
    return false;
}
#endif

}  // namespace lumetra
