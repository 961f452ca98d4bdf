#pragma once
// The memory group: the process's private memory and the machine's free and
// total physical memory, refreshed by timer 200.

#include <cstdint>

namespace morvale::ui {

inline constexpr unsigned memoryTimerId = 200;
inline constexpr unsigned memoryTimerPeriodMs = 1000;

// Private bytes of the process. Some platforms (Wine) report a private usage
// of 0; the page-file usage is the same figure on Windows, so it stands in.
std::uint64_t privateMemoryBytes(std::uint64_t privateUsage, std::uint64_t pagefileUsage);

void updateMemoryMonitor();

}  // namespace morvale::ui
