#include "obj/vertex_write_ahead.h"

#include <cassert>
#include <ctime>
#include <system_error>

#include "base/input_file.h"
#include "obj/obj_writer.h"

namespace morvale {
namespace {

// Where line `linesAfter` after the checkpoint at `offset` starts, counting
// line ends in the file.
bool findLineStart(const std::filesystem::path& path, std::int64_t offset, std::int64_t linesAfter,
                   std::int64_t& start) {
    start = offset;
    if (linesAfter == 0) return true;
    FileHandle file = openForReading(path);
    if (!file || !seekTo(file.get(), offset)) return false;
    char buffer[65536];
    while (linesAfter > 0) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got == 0) return false;
        for (std::size_t k = 0; k < got && linesAfter > 0; ++k) {
            if (buffer[k] == '\n') {
                --linesAfter;
                if (linesAfter == 0) start += static_cast<std::int64_t>(k) + 1;
            }
        }
        if (linesAfter > 0) start += static_cast<std::int64_t>(got);
    }
    return true;
}

}  // namespace

bool VertexWriteAhead::possible(OutputFile& output) {
    // The time line has the same length whenever the year has four digits.
    const std::tm local = localTimeNow();
    const bool steady = local.tm_year + 1900 >= 1000 && local.tm_year + 1900 <= 9998;
    return steady && output.position() == 0 && output.seek(0);
}

void VertexWriteAhead::begin(OutputFile& output, const ObjHeaderTexts& texts, int linesPerVertex) {
    assert(linesPerVertex >= 1);
    linesPerVertex_ = linesPerVertex;
    writeObjHeader(output, texts.objHeaderText, texts.inputNameNarrow);
    headerEnd_ = output.position();
    checkpoints_.clear();
}

bool VertexWriteAhead::rewriteHeader(OutputFile& output, const ObjHeaderTexts& texts) {
    const std::int64_t blockEnd = output.position();
    if (!output.seek(0)) return false;
    writeObjHeader(output, texts.objHeaderText, texts.inputNameNarrow);
    const bool same = output.position() == headerEnd_;
    return output.seek(blockEnd) && same;
}

bool VertexWriteAhead::keep(OutputFile& output, const std::filesystem::path& path, std::int64_t kept,
                            std::int64_t lines, std::int64_t blockEnd) {
    assert(kept >= 0 && kept <= lines);
    std::int64_t end = blockEnd;
    bool placed = true;
    if (kept < lines) {
        const std::int64_t mark = kept / checkpointLines;
        assert(mark < static_cast<std::int64_t>(checkpoints_.size()));
        output.seek(output.position());  // the block's last bytes reach the file before it is read back
        placed = findLineStart(path, headerEnd_ + checkpoints_[static_cast<std::size_t>(mark)],
                               (kept - mark * checkpointLines) * linesPerVertex_, end);
    }
    placed = placed && output.seek(end);
    if (placed && end < blockEnd) {
        std::error_code error;
        std::filesystem::resize_file(path, static_cast<std::uintmax_t>(end), error);
        placed = !error;
    }
    return placed;
}

}  // namespace morvale
