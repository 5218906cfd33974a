#pragma once

#include <cstdint>

namespace yafaray {

// Eight lanes of floats or integers (GCC vector extensions: one AVX register, or two SSE ones).
// Functions that work on them are compiled with target_clones("avx2", "default"), so that the
// AVX2 code runs where the CPU has it. They are passed by reference: vectors passed by value
// change the calling convention with AVX.
using lanesF = float __attribute__((vector_size(32)));
using lanesI = int32_t __attribute__((vector_size(32)));
using lanesU = uint32_t __attribute__((vector_size(32)));
constexpr int kLaneCount = 8;

// out = e^(−x) lane by lane for x ≥ 0, within 3·10⁻⁷ of the exact value relative to it. Beyond
// 87 (and for NaN) it answers e^(−87), near the smallest normal float, instead of denormals or NaN.
inline void expNegLanes(const lanesF& x, lanesF& out) {
    const lanesF limit = lanesF{} + 87.f;
    const lanesF clamped = x < limit ? x : limit;
    // e^(−x) = 2^n · e^r with n the integer nearest −x·log2(e), so that |r| ≤ ln(2)/2. The
    // product −x·log2(e) is ⌈· − 1/2⌉ through the truncating conversion (it is never positive).
    const lanesI n = __builtin_convertvector(clamped * -1.44269504088896341f - 0.5f, lanesI);
    const lanesF nf = __builtin_convertvector(n, lanesF);
    // r = −x − n·ln 2 with ln 2 in two parts, the first exact in few bits, so that the product
    // with n loses nothing where the subtraction cancels.
    const lanesF r = (-clamped - nf * 0.693359375f) + nf * 2.12194440e-4f;
    // e^r by its Taylor series to the 6th power: the 7th term is below 1.2·10⁻⁷.
    lanesF p = r * (1.f / 720.f) + 1.f / 120.f;
    p = p * r + 1.f / 24.f;
    p = p * r + 1.f / 6.f;
    p = p * r + 0.5f;
    p = p * r + 1.f;
    p = p * r + 1.f;
    // 2^n by its exponent bits (n ≥ −126: a normal float).
    const lanesI bits = (n + 127) << 23;
    out = p * lanesF(bits);  // a cast between vector types keeps the bits
}

}  // namespace yafaray
