#include "cli/closest_name.h"

#include <algorithm>
#include <vector>

namespace morvale::cli {
namespace {

// Edits between a and b, swaps of neighbours counting as one (optimal string
// alignment distance).
std::size_t editDistance(std::string_view a, std::string_view b) {
    const std::size_t width = b.size() + 1;
    std::vector<std::size_t> d((a.size() + 1) * width);
    for (std::size_t i = 0; i <= a.size(); ++i) d[i * width] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            std::size_t best =
                std::min({d[(i - 1) * width + j] + 1, d[i * width + j - 1] + 1, d[(i - 1) * width + j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                best = std::min(best, d[(i - 2) * width + j - 2] + 1);
            d[i * width + j] = best;
        }
    }
    return d.back();
}

}  // namespace

std::string_view closestName(std::string_view given, std::span<const std::string_view> candidates) {
    constexpr std::size_t allowed = 2;
    std::string_view closest;
    std::size_t nearest = allowed + 1;
    for (const std::string_view candidate : candidates) {
        const std::size_t distance = editDistance(given, candidate);
        // Half a name changed is another name: "-x" is not "-o" mistyped.
        if (distance < nearest && 2 * distance < given.size()) {
            nearest = distance;
            closest = candidate;
        }
    }
    return closest;
}

}  // namespace morvale::cli
