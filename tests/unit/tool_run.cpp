#include "tool_run.h"

#include <sys/wait.h>

#include <cstdio>

namespace testing_support {

ToolRun runTool(const std::string& command) {
    ToolRun result;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

bool toolInstalled(const std::string& tool) { return runTool("command -v " + tool).status == 0; }

// Appended piece by piece: GCC 12 warns falsely about "literal" + string + "literal".
std::string quoted(const std::filesystem::path& path) {
    std::string text(1, '\'');
    text.append(path.string()).push_back('\'');
    return text;
}

}  // namespace testing_support
