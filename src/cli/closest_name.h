#pragma once
// The name a mistyped one was most likely meant to be: "--texure" is
// "--texture", "mya" is "maya".

#include <span>
#include <string_view>

namespace morvale::cli {

// The candidate within two edits (an insertion, a deletion, a change or two
// neighbours swapped) of `given`, and fewer than half its length, the first
// of the nearest; empty when none is that near.
std::string_view closestName(std::string_view given, std::span<const std::string_view> candidates);

}  // namespace morvale::cli
