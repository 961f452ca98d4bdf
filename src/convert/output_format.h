#pragma once
// Which writer a conversion uses: chosen by name (--format) or by the output's
// extension, and the extension a default output name takes.

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace morvale {

enum class OutputFormat : std::uint8_t { obj, glb, stl };

// "obj", "glb" or "stl" (lower case, as typed on the command line); false otherwise.
bool parseOutputFormat(std::string_view name, OutputFormat& format);
// By the extension, in any case; anything else (no extension, ".txt") is OBJ.
OutputFormat formatOfPath(const std::filesystem::path& path);
// ".obj", ".glb" or ".stl".
const char* formatExtension(OutputFormat format);

}  // namespace morvale
