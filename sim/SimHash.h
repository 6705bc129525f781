// Deterministic numbers for the simulated device's memory: a value drawn for any (seed, item,
// index) without running through a sequence, so every record can be made on its own.
#pragma once

#include <cstdint>

namespace torv::simhash {

inline uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline uint64_t Hash(uint32_t seed, int item, int64_t index, int salt) {
    return Mix(Mix(Mix(seed) ^ (uint64_t(uint32_t(item)) << 32 | uint32_t(salt))) ^ uint64_t(index));
}

inline double Unit(uint64_t h) { return double(h >> 11) / 9007199254740992.0; }  // [0, 1)
inline double Signed(uint64_t h) { return 2 * Unit(h) - 1; }                     // [−1, 1)

}  // namespace torv::simhash
