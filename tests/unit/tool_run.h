#pragma once
// Runs programs from the tests that drive them (the converter, the real
// readers) through the shell. Native builds only.

#include <filesystem>
#include <string>

namespace testing_support {

struct ToolRun {
    int status = -1;     // the exit status; -1 when the command could not run or did not exit
    std::string output;  // standard output and standard error, interleaved
};

ToolRun runTool(const std::string& command);

// Whether the shell finds `tool`.
bool toolInstalled(const std::string& tool);

// `path` in single quotes for the shell (test paths hold no quote).
std::string quoted(const std::filesystem::path& path);

}  // namespace testing_support
