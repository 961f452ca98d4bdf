#include "grid/header_keywords.h"

#include <array>
#include <utility>

namespace morvale {

HeaderKeyword classifyHeaderKeyword(std::string_view key) {
    static constexpr std::array<std::pair<std::string_view, HeaderKeyword>, 10> known{{
        {"ncols", HeaderKeyword::ncols},
        {"nrows", HeaderKeyword::nrows},
        {"xllcorner", HeaderKeyword::xllcorner},
        {"xllcenter", HeaderKeyword::xllcenter},
        {"yllcorner", HeaderKeyword::yllcorner},
        {"yllcenter", HeaderKeyword::yllcenter},
        {"cellsize", HeaderKeyword::cellsize},
        {"dx", HeaderKeyword::dx},
        {"dy", HeaderKeyword::dy},
        {"nodata_value", HeaderKeyword::nodataValue},
    }};
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (const auto& [name, keyword] : known) {
        if (name.size() != key.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) same = lower(key[i]) == name[i];
        if (same) return keyword;
    }
    return HeaderKeyword::other;
}

HeaderKeyword keywordOfPosition(int position) {
    switch (position) {
    case 1: return HeaderKeyword::ncols;
    case 2: return HeaderKeyword::nrows;
    case 3: return HeaderKeyword::xllcorner;
    case 4: return HeaderKeyword::yllcorner;
    case 5: return HeaderKeyword::cellsize;
    // A seventh line exists only beside dx and dy, which share the fifth place.
    default: return HeaderKeyword::nodataValue;
    }
}

}  // namespace morvale
