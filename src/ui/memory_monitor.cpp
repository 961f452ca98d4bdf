#include "ui/memory_monitor.h"

#include <windows.h>
#include <psapi.h>

#include "ui/control_ids.h"
#include "ui/control_text.h"
#include "ui/layout.h"

namespace morvale::ui {

std::uint64_t privateMemoryBytes(std::uint64_t privateUsage, std::uint64_t pagefileUsage) {
    return privateUsage != 0 ? privateUsage : pagefileUsage;
}

void updateMemoryMonitor() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof(counters));
    const double megabytes =
        static_cast<double>(privateMemoryBytes(counters.PrivateUsage, counters.PagefileUsage)) / (1024.0 * 1024.0);
    setControlTextf(findControl(idMemoryUsedValue), L"%5.2f MB", megabytes);

    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatusEx(&status);
    constexpr double gigabyte = 1024.0 * 1024.0 * 1024.0;
    setControlTextf(findControl(idMemoryFreeValue), L"%5.2f GB", static_cast<double>(status.ullAvailPhys) / gigabyte);
    setControlTextf(findControl(idMemoryTotalValue), L"%5.2f GB", static_cast<double>(status.ullTotalPhys) / gigabyte);
}

}  // namespace morvale::ui
