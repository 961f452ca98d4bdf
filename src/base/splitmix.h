#pragma once
// splitmix64 (Steele, Lea and Flood): output `n` of the generator seeded with
// `seed`, its finaliser over seed + n x its increment. Nearby seeds or steps
// give unrelated bits; the same ones give the same bits on every machine.

#include <cstdint>

namespace morvale {

inline std::uint64_t splitmix64(std::uint64_t seed, std::uint64_t n) {
    std::uint64_t x = seed + n * 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    return x ^ (x >> 31);
}

}  // namespace morvale
