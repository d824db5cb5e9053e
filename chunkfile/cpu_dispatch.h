// The codec's hot loops are written once and compiled twice on x86-64: for
// the baseline machine and for processors with BMI2, where variable shifts
// take one instruction. The choice is made at run time, per call.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TESSERA_X86_DISPATCH 1
#else
#define TESSERA_X86_DISPATCH 0
#endif

// A hot loop is inlined into each of its dispatched copies.
#define TESSERA_ALWAYS_INLINE __attribute__((always_inline))
