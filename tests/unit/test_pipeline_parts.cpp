// The parts of the conversion pipeline on their own: texts assembled from
// pieces against the plain formatters, the face pieces against a
// line-by-line loop, the data mask's row runs, and the ordered writer.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "convert/conversion_settings.h"
#include "mesh/axis_order.h"
#include "mesh/cell_mask.h"
#include "mesh/face_cursor.h"
#include "mesh/mesh_batches.h"
#include "obj/face_text.h"
#include "obj/fixed_format_inline.h"
#include "obj/obj_writer.h"
#include "obj/vertex_text.h"
#include "pipeline/ordered_writer.h"
#include "plain_lines.h"
#include "test_support.h"

using namespace morvale;
using namespace testing_support;

namespace {

std::string printed(double value) {
    char text[400];
    const int length = std::snprintf(text, sizeof text, "%.4f", value);
    return std::string(text, static_cast<std::size_t>(length));
}

std::string fast(double value) {
    char text[fixed4MaxChars + 16];
    return std::string(text, putFixed4(value, text));
}

}  // namespace

TEST(PipelineText, FastFixedFormatEqualsPrintf) {
    // Ties, carries into the integer part, signs, the edges of the fast range.
    for (double v :
         {0.0, -0.0, 0.03125, -2.03125, 0.99996, 9.99996, 99999999.99995, 99999999.99994, 100000000.0, 0x1p-11, 0x1p-12,
          0.00048828125 * 3, 4503599627370495.5, 4503599627370496.0, -1e-300, 1e300, 5e-324, -std::nan(""), HUGE_VAL})
        EXPECT_EQ(fast(v), printed(v)) << v;
    // Millions of values where fixed-point formatting goes wrong: any bits
    // near the fast range, elevations with few decimals, ties and their neighbours.
    std::mt19937_64 random(17);
    int mismatches = 0;
    for (int n = 0; n < 3'000'000 && mismatches < 5; ++n) {
        const std::uint64_t bits = random();
        double v;
        switch (n % 4) {
        case 0: v = std::bit_cast<double>((bits & 0x800f'ffff'ffff'ffffu) | ((1023 - 14 + bits % 44) << 52)); break;
        case 1:
            v = static_cast<double>(static_cast<std::int64_t>(bits % 4'000'000'000) - 2'000'000'000) / 1000.0;
            break;
        case 2: v = std::ldexp(static_cast<double>(2 * (bits >> 40) + 1), -static_cast<int>(5 + bits % 20)); break;
        default: v = std::nextafter((static_cast<double>(bits >> 34) + 0.5) / 1e4, (bits & 1) ? 0.0 : 1e9); break;
        }
        if ((bits >> 63) != 0) v = -v;
        if (fast(v) != printed(v)) {
            ++mismatches;
            ADD_FAILURE() << "bits " << std::bit_cast<std::uint64_t>(v) << ": " << fast(v) << " vs " << printed(v);
        }
    }
}

TEST(PipelineText, VertexLinesEqualTheAxisOrderBitForBit) {
    const double samples[] = {0.0, -0.0, 1.5, -2.25, 12345.6789, -1e-7, 3e12, 1e30, -1e300};
    for (std::int32_t preset = -2; preset <= 8; ++preset) {
        const VertexLayout layout = vertexLayoutFor(preset);
        for (double east : samples) {
            for (double north : samples) {
                const double elevation = east * 0.5 + 7.0;
                const VertexCoordinates c = applyAxisOrder(preset, east, north, elevation);
                char expected[vertexLineRoom], actual[vertexLineRoom];
                const std::string want(expected, formatVertexLine(expected, c.first, c.second, c.third));
                NumberText e, n, z;
                e.set(orient(east, layout.negateEast));
                n.set(orient(north, layout.negateNorth));
                z.set(orient(elevation, layout.negateElevation));
                EXPECT_EQ(std::string(actual, putVertex(actual, layout, e.ref(), n.ref(), z.ref())), want) << preset;
            }
        }
    }
}

TEST(PipelineText, ColumnTextsGiveEachValuesOwnText) {
    // Rows of columns (some skipped), a floating plane's back-and-forth,
    // zero's two signs, texts too long for an entry, and more distinct values
    // than entries: whatever the guess, the text is the value's own.
    ColumnTexts texts;
    ASSERT_TRUE(texts.allocate());
    std::mt19937_64 random(5);
    std::vector<double> columns;
    for (int c = 0; c < 3000; ++c) columns.push_back((c - 1500) * 0.25);
    columns.insert(columns.end(), {-0.0, 0.0, 1e15, -3e14, 0.0});
    auto check = [&](double v) {
        const TextRef t = texts.get(v);
        ASSERT_EQ(std::string(t.text, t.length), printed(v)) << v;
    };
    for (int row = 0; row < 12; ++row)
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (row % 3 != 1 || random() % 4 != 0) check(columns[c]);
    for (std::size_t c = 1; c < 200; ++c)
        for (double v : {columns[c - 1], columns[c], columns[c], columns[c - 1]}) check(v);
    for (int n = 0; n < 40'000; ++n) check(static_cast<double>(n) * 0.5 + 1e6);
    for (int n = 0; n < 40'000; ++n) check(static_cast<double>(random() % 50'000) * 0.5 + 1e6);
    // A floating plane's corners take two texts at once: both stay valid,
    // long or short, new or known.
    RecentTexts recent;
    for (double a : {1e20, 2.5, -3e25, 2.5})
        for (double b : {-2e21, 2.5, 7.75, a}) {
            const TextRef ta = texts.get(a), tb = texts.get(b);
            EXPECT_EQ(std::string(ta.text, ta.length) + std::string(tb.text, tb.length), printed(a) + printed(b));
            const TextRef ra = recent.get(a), rb = recent.get(b);
            EXPECT_EQ(std::string(ra.text, ra.length) + std::string(rb.text, rb.length), printed(a) + printed(b));
        }
}

TEST(PipelineText, NumbersAndCountersEqualPlainIntegers) {
    char expected[32], actual[32];
    for (std::int64_t v : {std::int64_t{0}, std::int64_t{9}, std::int64_t{10}, std::int64_t{99'999'999},
                           std::int64_t{100'000'000}, std::int64_t{2'147'483'647}, INT64_MAX - 1, std::int64_t{-5}}) {
        EXPECT_EQ(std::string(actual, putInteger(actual, v)),
                  std::string(expected, std::to_chars(expected, expected + 20, v).ptr));
    }
    // A counter walked over carries, length changes, steps back and jumps
    // writes what the plain formatter writes for the number and the numbers
    // just above it (a face's corners move mostly forward, sometimes back).
    // The second walk goes forward only, through runs of nines and past 10^8.
    for (const std::int64_t start : {std::int64_t{0}, std::int64_t{99'990'000}}) {
        NumberTextCounter counter;
        std::mt19937_64 random(3);
        std::int64_t v = start;
        for (int n = 0; n < 200'000; ++n) {
            if (start == 0)
                v += (n % 50 == 0) ? static_cast<std::int64_t>(random() % 100'000'000)
                                   : static_cast<std::int64_t>(random() % 13) - 2;
            else
                v += static_cast<std::int64_t>(random() % 10);
            if (v < 0) v = 0;
            counter.moveTo(v);
            for (int above = 0; above <= 9; ++above) {
                char* end = counter.put(actual, above);
                const std::string plain(expected, std::to_chars(expected, expected + 20, v + above).ptr);
                ASSERT_EQ(std::string(actual, end), plain) << v << " + " << above;
            }
        }
    }
}

TEST(MeshBatches, BatchesStepWhereALineLoopSteps) {
    // A loop that checks the flag before every line and steps every interval lines.
    auto loopSteps = [](std::int64_t lines, std::int64_t ticks, std::int64_t interval) {
        std::vector<std::int64_t> after;
        for (std::int64_t f = 1; f <= lines; ++f)
            if (++ticks >= interval) {
                after.push_back(f);
                ticks = 0;
            }
        return after;
    };
    for (std::int64_t lines : {0, 1, 7, 9, 10, 25, 1000, 12345}) {
        for (std::int64_t interval : {std::int64_t{0}, std::int64_t{1}, std::int64_t{3}, lines / 10}) {
            for (std::int64_t ticks : {std::int64_t{0}, interval / 2, interval > 0 ? interval - 1 : 0}) {
                for (std::int64_t perBatch : {1, 4, 1000}) {
                    StepBatches batches(interval, ticks);
                    std::vector<std::int64_t> steps;
                    std::int64_t done = 0;
                    while (done < lines) {
                        const std::int64_t n = std::min(batches.room(perBatch), lines - done);
                        EXPECT_GE(n, 1);
                        done += n;
                        if (batches.pass(n)) steps.push_back(done);
                    }
                    EXPECT_EQ(steps, loopSteps(lines, ticks, interval))
                        << lines << " lines, interval " << interval << ", ticks " << ticks;
                }
            }
        }
    }
    EXPECT_EQ(ticksAfter(25, 7), 4);
    EXPECT_EQ(ticksAfter(25, 0), 0);
}

TEST(PipelineMask, RowRunsMatchTheCellsSet) {
    for (const CropWindow window :
         {CropWindow{1, 1, 1, 1}, CropWindow{3, 2, 64, 9}, CropWindow{5, 4, 66, 7}, CropWindow{10, 1, 200, 3}}) {
        // A mask of every row, and one that stores rows up to the window's third only.
        CellMask mask(window), capped(window, window.yMin + 1);
        std::mt19937_64 random(window.xMax);
        std::vector<std::vector<bool>> cells;
        for (std::int64_t row = window.yMin - 1; row <= window.yMax + 1; ++row) {
            cells.emplace_back();
            for (std::int64_t col = window.xMin - 1; col <= window.xMax + 1; ++col) {
                cells.back().push_back(random() % 3 != 0);
                if (!cells.back().back()) continue;
                mask.set(row, col);
                capped.set(row, col);
            }
        }
        std::vector<std::uint64_t> run(mask.rowWords()), cappedRun(mask.rowWords());
        for (std::int64_t row = window.yMin - 1; row <= window.yMax + 1; ++row) {
            mask.rowBits(row, run.data());
            capped.rowBits(row, cappedRun.data());
            const std::vector<bool>& set = cells[static_cast<std::size_t>(row - (window.yMin - 1))];
            for (std::int64_t k = 0; k < static_cast<std::int64_t>(run.size()) * 64; ++k) {
                const bool wanted = k < mask.width() && set[static_cast<std::size_t>(k)];
                const std::size_t word = static_cast<std::size_t>(k >> 6);
                ASSERT_EQ((run[word] >> (k & 63)) & 1u, wanted) << "row " << row << " bit " << k;
                if (k < mask.width()) {
                    ASSERT_EQ(mask.has(row, window.xMin - 1 + k), wanted);
                }
                ASSERT_EQ((cappedRun[word] >> (k & 63)) & 1u, wanted && row <= window.yMin + 1);
            }
        }
    }
}

TEST(PipelineMask, FaceCursorSeeksToAnyFaceAsAWalkReachesIt) {
    // Rows across word ends, holes, and a last row and next-to-last row to land in.
    for (const CropWindow window : {CropWindow{2, 1, 70, 4}, CropWindow{1, 3, 130, 6}, CropWindow{5, 2, 6, 2}}) {
        CellMask mask(window);
        std::mt19937_64 random(window.xMax);
        for (std::int64_t row = window.yMin - 1; row <= window.yMax + 1; ++row)
            for (std::int64_t col = window.xMin - 1; col <= window.xMax + 1; ++col)
                if (random() % 4 != 0) mask.set(row, col);
        CornerFinder finder(mask, window);
        RowCorners corners;
        finder.prepare(corners);
        MeshPlan plan;
        for (std::int64_t i = window.yMin; i <= window.yMax + 1; ++i) {
            plan.verticesBefore.push_back(plan.verticesCreated);
            plan.dataBefore.push_back(plan.dataCells);
            if (i > window.yMax) break;
            finder.find(i, corners);
            plan.dataCells += finder.dataCount(corners);
            plan.verticesCreated += finder.vertexCount(corners);
        }
        ASSERT_GT(plan.dataCells, 0);
        FaceWalk walk(finder);
        FaceCursor cursor(window, plan, walk);
        std::vector<std::int64_t> all(static_cast<std::size_t>(4 * plan.dataCells));
        cursor.seek(0);
        cursor.put(all.data(), plan.dataCells);
        for (std::int64_t face = 0; face < plan.dataCells; ++face) {
            const std::int64_t count = std::min<std::int64_t>(plan.dataCells - face, 1 + face % 70);
            std::vector<std::int64_t> some(static_cast<std::size_t>(4 * count));
            cursor.seek(face);
            cursor.put(some.data(), count);
            ASSERT_TRUE(std::equal(some.begin(), some.end(), all.begin() + 4 * face)) << "face " << face;
        }
    }
}

TEST(OrderedWriter, ChunksArriveInOrderWithStepsAndCancel) {
    struct CountingProgress final : ProgressReporter {
        void showPreparing() override {}
        void beginStage(std::string_view, int) override {}
        void step() override {
            ++steps;
            if (steps == cancelAtStep) cancel->store(true);
        }
        int steps = 0;
        int cancelAtStep = -1;
        std::atomic<bool>* cancel = nullptr;
    };
    for (int cancelAtStep : {-1, 3}) {
        for (bool threaded : {true, false}) {
            ScratchDir dir;
            OutputFile output;
            ASSERT_TRUE(output.open(dir / "out.txt"));
            std::atomic<bool> cancel{false};
            CountingProgress progress;
            progress.cancel = &cancel;
            progress.cancelAtStep = cancelAtStep;
            OrderedWriter writer(output, cancel, progress);
            ASSERT_TRUE(writer.start(1, 2, threaded));
            std::int64_t sequenceEnd = 0;
            {
                // A first line that is never dropped, then 400 cancellable lines stepping every 50.
                ChunkStream stream(writer, 0, 0);
                char* out = stream.reserve(16);
                stream.commit(out + std::snprintf(out, 16, "head\n"), 0);
                stream.setCancellable(true);
                for (int f = 0; f < 400; ++f) {
                    out = stream.reserve(16);
                    stream.commit(out + std::snprintf(out, 16, "%d\n", f), 1);
                    if ((f + 1) % 50 == 0) stream.stepAfterThis();
                }
                stream.flush();
                sequenceEnd = stream.nextSequence();
            }
            writer.finish(sequenceEnd);
            const std::int64_t written = writer.linesWritten();
            ASSERT_TRUE(output.close());
            std::string expected = "head\n";
            for (std::int64_t f = 0; f < written; ++f) expected += std::to_string(f) + "\n";
            EXPECT_EQ(readFile(dir / "out.txt"), expected);
            // A cancel raised by the third step stops the writing right after line 150.
            EXPECT_EQ(written, cancelAtStep < 0 ? 400 : 150);
            EXPECT_EQ(progress.steps, cancelAtStep < 0 ? 8 : 3);
            EXPECT_EQ(writer.stopped(), cancelAtStep >= 0);
        }
    }
}

TEST(OrderedWriter, TwoProducersTakingTurnsWriteInTurnOrder) {
    // Turns of 25 lines alternate between this thread and another, each in
    // chunks of its own; the third step (after line 150) raises the cancel.
    struct CancellingProgress final : ProgressReporter {
        void showPreparing() override {}
        void beginStage(std::string_view, int) override {}
        void step() override {
            if (++steps == 3) cancel->store(true);
        }
        int steps = 0;
        std::atomic<bool>* cancel = nullptr;
    };
    ScratchDir dir;
    OutputFile output;
    ASSERT_TRUE(output.open(dir / "out.txt"));
    std::atomic<bool> cancel{false};
    CancellingProgress progress;
    progress.cancel = &cancel;
    OrderedWriter writer(output, cancel, progress);
    ASSERT_TRUE(writer.start(2, 2, true, 4096));
    constexpr int turns = 16, linesPerTurn = 25;
    auto produce = [&](int producer) {
        ChunkStream stream(writer, producer, 0);
        stream.setCancellable(true);
        for (int turn = producer; turn < turns; turn += 2) {
            stream.continueAt(turn);
            for (int k = 0; k < linesPerTurn; ++k) {
                char* out = stream.reserve(16);
                stream.commit(out + std::snprintf(out, 16, "%d\n", turn * linesPerTurn + k), 1);
            }
            if (turn % 2 == 1) stream.stepAfterThis();
            stream.flush();
        }
    };
    std::thread other(produce, 1);
    produce(0);
    other.join();
    writer.finish(turns);
    ASSERT_TRUE(output.close());
    std::string expected;
    for (int line = 0; line < 150; ++line) expected += std::to_string(line) + "\n";
    EXPECT_EQ(readFile(dir / "out.txt"), expected);
    EXPECT_EQ(writer.linesWritten(), 150);
    EXPECT_EQ(progress.steps, 3);
}

namespace {

// Small pieces are buffered, large ones (a pipeline's chunks) written as
// they are: the file holds them all in order and the position counts both.
TEST(OutputFile, LargePiecesKeepTheirPlaceAmongBufferedOnes) {
    ScratchDir dir;
    OutputFile output;
    ASSERT_TRUE(output.open(dir / "out.bin"));
    std::mt19937 random(5);
    std::string expected;
    for (int k = 0; k < 40; ++k) {
        const bool large = random() % 3 == 0;
        const std::size_t size = large ? (std::size_t{1} << (14 + random() % 8)) + random() % 1000 : random() % 5000;
        const std::string piece(size, static_cast<char>('a' + k % 26));
        output.write(piece);
        expected += piece;
        ASSERT_EQ(output.position(), static_cast<std::int64_t>(expected.size())) << k;
    }
    ASSERT_TRUE(output.close());
    EXPECT_TRUE(readFile(dir / "out.bin") == expected);
}

}  // namespace
