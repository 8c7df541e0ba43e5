// 32-bit signed arithmetic as the target CPU does it: sums and products wrap modulo 2^32,
// division truncates toward zero, and nothing a host returns can trap or be undefined.
#pragma once

#include <cstdint>
#include <limits>

namespace denmark {

inline int32_t Add32(int32_t a, int32_t b) { return (int32_t)((uint32_t)a + (uint32_t)b); }
inline int32_t Sub32(int32_t a, int32_t b) { return (int32_t)((uint32_t)a - (uint32_t)b); }
inline int32_t Mul32(int32_t a, int32_t b) { return (int32_t)((uint32_t)a * (uint32_t)b); }

// Truncating division. A zero divisor yields the largest value and INT32_MIN / -1 yields
// INT32_MIN (the wrapped quotient); the CPU would trap on both and take the game down.
inline int32_t Div32(int32_t a, int32_t b) {
    if (b == 0) return std::numeric_limits<int32_t>::max();
    if (b == -1) return Sub32(0, a);
    return a / b;
}

}  // namespace denmark
