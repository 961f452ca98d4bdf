#pragma once
// The vertex block written ahead of its stage: the Interpolated builder
// hands its vertices over while the grid is read, before the writing stage
// whose time the header shows and whose cancel checks decide how many vertex
// lines the file keeps. The block goes to the file at once behind a
// provisional header; when the writing stage starts the header is written
// again over the first one (it has the same length), and when the stage
// knows how many lines stay, the block is cut after the last of them.
//
// Finding a line's start again: every checkpointLines-th line's offset in
// the block is noted while writing, and the cut counts line ends from the
// checkpoint before it in the file itself.

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/output_file.h"

namespace morvale {

struct ObjHeaderTexts {
    std::string_view objHeaderText;    // header lines 1 to 3
    std::string_view inputNameNarrow;  // header line 5
};

class VertexWriteAhead {
public:
    static constexpr std::int64_t checkpointLines = 1024;

    // True when a block can be written ahead into `output`: the file can seek
    // back, and the header's time line will have the same length when written again.
    static bool possible(OutputFile& output);

    // Writes the provisional header; the block starts right after it. A
    // vertex takes `linesPerVertex` lines (its "v" and attribute lines): the
    // lines counted below are vertices.
    void begin(OutputFile& output, const ObjHeaderTexts& texts, int linesPerVertex = 1);
    // Line `line` (0-based, a multiple of checkpointLines) of the block starts
    // `blockBytes` bytes into it. Throws std::bad_alloc when out of memory.
    void checkpoint(std::int64_t line, std::int64_t blockBytes) {
        if (line / checkpointLines >= static_cast<std::int64_t>(checkpoints_.size()))
            checkpoints_.push_back(blockBytes);
    }
    // Writes the header again over the provisional one; false when it came out
    // at another length (the block would then be damaged) or the file cannot seek.
    bool rewriteHeader(OutputFile& output, const ObjHeaderTexts& texts);
    // Keeps the first `kept` of the `lines` lines written (the block ends at
    // blockEnd) and leaves the output positioned after them. False when the
    // file could not be read back, moved or cut.
    bool keep(OutputFile& output, const std::filesystem::path& path, std::int64_t kept, std::int64_t lines,
              std::int64_t blockEnd);

private:
    std::int64_t headerEnd_ = 0;
    int linesPerVertex_ = 1;
    std::vector<std::int64_t> checkpoints_;
};

}  // namespace morvale
