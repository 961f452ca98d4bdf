// The vertex block written ahead: the header written again over itself, and
// the block cut after any line, also right at and around the checkpoints.

#include <gtest/gtest.h>

#include <string>

#include "obj/obj_writer.h"
#include "obj/vertex_write_ahead.h"
#include "test_support.h"

using namespace morvale;
using namespace testing_support;

namespace {

// Vertex n of the block, its "v" line and `extra` attribute lines: lengths
// vary so that no offset can be guessed.
std::string blockLine(std::int64_t n, int extra = 0) {
    std::string text = "v " + std::string(static_cast<std::size_t>(n % 7), '1') + std::to_string(n) + "\r\n";
    for (int k = 0; k < extra; ++k) text += "vt " + std::string(static_cast<std::size_t>((n + k) % 5), '2') + "\r\n";
    return text;
}

}  // namespace

TEST(VertexWriteAhead, KeepsTheFirstLinesAndRewritesTheHeader) {
    const std::string header = objHeaderText();
    const ObjHeaderTexts texts{header, "grid.asc"};
    const std::int64_t lines = 3 * VertexWriteAhead::checkpointLines + 5;
    for (const int extra : {0, 2})
        for (std::int64_t kept : {std::int64_t{0}, std::int64_t{1}, std::int64_t{1023}, std::int64_t{1024},
                                  std::int64_t{1025}, std::int64_t{2048}, lines - 1, lines}) {
            ScratchDir dir;
            OutputFile output;
            ASSERT_TRUE(output.open(dir / "out.obj"));
            ASSERT_TRUE(VertexWriteAhead::possible(output));
            VertexWriteAhead ahead;
            ahead.begin(output, texts, 1 + extra);
            const std::int64_t headerEnd = output.position();
            std::string block;
            for (std::int64_t n = 0; n < lines; ++n) {
                if (n % VertexWriteAhead::checkpointLines == 0) ahead.checkpoint(n, output.position() - headerEnd);
                block += blockLine(n, extra);
                output.write(blockLine(n, extra));
            }
            const std::int64_t blockEnd = output.position();
            ASSERT_TRUE(ahead.rewriteHeader(output, texts));
            ASSERT_TRUE(ahead.keep(output, dir / "out.obj", kept, lines, blockEnd));
            output.write("# after");
            ASSERT_TRUE(output.close());

            std::string keptLines;
            for (std::int64_t n = 0; n < kept; ++n) keptLines += blockLine(n, extra);
            const std::string file = readFile(dir / "out.obj");
            ASSERT_EQ(file.size(), static_cast<std::size_t>(headerEnd) + keptLines.size() + 7) << kept;
            EXPECT_EQ(file.substr(0, 2), "# ");
            EXPECT_EQ(file.substr(static_cast<std::size_t>(headerEnd)), keptLines + "# after") << kept;
        }
}
