#pragma once
// The OBJ file: the comment header and the line formats of every section.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "base/output_file.h"

namespace morvale {

// The author's web site; header line 2 of every OBJ file and the link button.
inline constexpr std::string_view authorSiteAddress = "https://morvale.example.org/";
inline constexpr std::string_view authorPagePath = "index.php?m=3&p=5";

// Header lines 1 to 3, with "\n" for each line end.
std::string objHeaderText();

// The local time now, as header line 4 shows it.
std::tm localTimeNow();

// Lines 1 to 5 of the header: objHeaderText, the local start time, the input's name.
void writeObjHeader(OutputFile& output, std::string_view objHeaderText, std::string_view inputNameNarrow);
void writeObjHeaderAt(OutputFile& output, std::string_view objHeaderText, std::string_view inputNameNarrow,
                      const std::tm& localTime);

// "# N vertices", a line end and an empty line.
void writeVertexCount(OutputFile& output, std::int64_t vertexCount);
// "o NAME" and "g NAME", each with its line end.
void writeObjectAndGroup(OutputFile& output, std::string_view objectNameNarrow);
// "# N quads" with no line end: the last bytes of the file.
void writeQuadCount(OutputFile& output, std::int64_t quadCount);

}  // namespace morvale
