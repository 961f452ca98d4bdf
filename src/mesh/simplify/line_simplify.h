#pragma once
// The line rule: which corners of a straight border run are kept.
//
// A run is a straight sequence of corners between two break corners (see
// terrain_simplifier.h for where runs break). Both ends are kept; inside, the
// corner farthest from the straight line between the kept neighbours is kept,
// recursively, until every corner lies within maxError of the line through its
// kept neighbours (Douglas and Peucker, in one dimension: height against
// position). The choice depends on nothing but the run's heights, so two
// crops or blocks that share a run keep the same corners, bit for bit.

#include <cstddef>
#include <cstdint>

namespace morvale {

// heights[i * stride] for i = 0..count-1 (count >= 2); sets `keepBit` in
// flags[i * stride] for every kept corner. Returns the largest distance left.
double simplifyLine(const double* heights, std::uint8_t* flags, std::ptrdiff_t stride, std::int32_t count,
                    double maxError, std::uint8_t keepBit);

}  // namespace morvale
