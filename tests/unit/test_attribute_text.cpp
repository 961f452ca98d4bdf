#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "obj/attribute_text.h"
#include "obj/fixed_format.h"
#include "obj/mtl_writer.h"
#include "test_support.h"

using namespace morvale;

namespace {

std::string fixed6(double value) {
    char text[fixed6MaxChars + 1];
    return std::string(text, formatFixed6(value, text));
}

std::string printed(double value) {
    char text[400];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

TEST(Fixed6, PrintsWhatPrintfPrints) {
    const double specials[] = {0.0,
                               -0.0,
                               1.0,
                               1.0 / 128,
                               3.0 / 128,
                               0.9999995,
                               0.99999949999999995,
                               5e-7,
                               -4e-7,
                               1e-300,
                               4.9e-324,
                               1e22,
                               1.8e19,
                               std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::infinity()};
    for (const double v : specials) EXPECT_EQ(fixed6(v), printed(v)) << v;
    EXPECT_EQ(fixed6(std::nan("")), "nan");
    std::mt19937_64 random(13);
    for (int k = 0; k < 100000; ++k) {
        // Any bit pattern; column fractions of large grids; dyadic values, where the ties lie.
        const double bits = std::bit_cast<double>(random());
        const double fraction = static_cast<double>(random() % 100001) / 100000.0;
        const double dyadic = std::ldexp(static_cast<double>(random() % 4096), -static_cast<int>(random() % 40));
        for (const double v : {bits, fraction, -dyadic}) {
            if (std::isnan(v)) continue;
            ASSERT_EQ(fixed6(v), printed(v)) << std::hexfloat << v;
        }
    }
}

TEST(Fixed6, NeighbouringCornersOfAHundredThousandColumnsStayDistinct) {
    std::string previous = fixed6(0.0);
    for (std::int64_t c = 1; c <= 100000; ++c) {
        const std::string text = fixed6(static_cast<double>(c) / 100000.0);
        ASSERT_NE(text, previous) << c;
        previous = text;
    }
}

TEST(AttributeLines, TexCoordAndNormalLinesPrintWhatPrintfPrints) {
    std::mt19937_64 random(29);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    char line[texCoordLineRoom > normalLineRoom ? texCoordLineRoom : normalLineRoom];
    char expected[1100];
    for (int k = 0; k < 100000; ++k) {
        // Unit components, grid fractions and dyadic values (1/32 and 1/128 are ties), and beyond.
        const double x = unit(random), y = static_cast<double>(random() % 4097) / 4096.0;
        const double z = std::ldexp(static_cast<double>(random() % 256) - 128.0, -static_cast<int>(random() % 12));
        std::snprintf(expected, sizeof expected, "vn %.4f %.4f %.4f\r\n", x, -y, z);
        ASSERT_EQ(std::string(line, putNormalLine(line, x, -y, z)), expected);
        std::snprintf(expected, sizeof expected, "vt %.6f %.6f\r\n", y, z);
        ASSERT_EQ(std::string(line, putTexCoordLine(line, y, z)), expected);
    }
}

std::string face(std::vector<std::int64_t> vertex, const FaceAttributes& attributes) {
    char line[attributeFaceLineRoom];
    return std::string(line, putAttributeFaceLine(line, vertex.data(), static_cast<int>(vertex.size()), attributes));
}

TEST(AttributeLines, TexCoordNormalAndFaceLines) {
    char line[normalLineRoom];
    EXPECT_EQ(std::string(line, putTexCoordLine(line, 0.25, 1.0 / 3.0)), "vt 0.250000 0.333333\r\n");
    EXPECT_EQ(std::string(line, putNormalLine(line, -0.0, 0.70710678, 1.0)), "vn -0.0000 0.7071 1.0000\r\n");

    const FaceAttributes uv{.uv = true};
    const FaceAttributes normals{.normals = NormalLayout::perVertex};
    const FaceAttributes both{.uv = true, .normals = NormalLayout::perVertex};
    const FaceAttributes shared{.uv = true, .normals = NormalLayout::shared};
    EXPECT_EQ(face({4, 6, 2, 1}, uv), "f 4/4 6/6 2/2 1/1\r\n");
    EXPECT_EQ(face({4, 6, 2, 1}, normals), "f 4//4 6//6 2//2 1//1\r\n");
    EXPECT_EQ(face({123456789, 2, 3}, both), "f 123456789/123456789/123456789 2/2/2 3/3/3\r\n");
    EXPECT_EQ(face({8, 7, 6, 5}, shared), "f 8/8/1 7/7/1 6/6/1 5/5/1\r\n");
    EXPECT_EQ(face({3, 2, 1}, FaceAttributes{.normals = NormalLayout::shared}), "f 3//1 2//1 1//1\r\n");
    EXPECT_EQ(face({3, 2, 1}, FaceAttributes{}), "f 3 2 1\r\n");
}

// Faces and texture coordinates written one after another keep state (number
// texts that follow the faces, the v of a corner line): a run of rows whose
// numbers cross digit counts and the 10^8 limit, with rows far apart.
TEST(AttributeLines, RunsOfLinesMatchLinesWrittenAlone) {
    const FaceAttributes both{.uv = true, .normals = NormalLayout::perVertex};
    auto expected = [](std::initializer_list<std::int64_t> corners) {
        std::string text = "f";
        for (const std::int64_t v : corners) {
            const std::string n = std::to_string(v);
            text += " " + n + "/" + n + "/" + n;
        }
        return text + "\r\n";
    };
    auto plainExpected = [](std::initializer_list<std::int64_t> corners) {
        std::string text = "f";
        for (const std::int64_t v : corners) {
            text += ' ';
            text += std::to_string(v);
        }
        return text + "\r\n";
    };
    FaceLines lines, plainLines;
    TexCoordLines texCoords;
    char line[attributeFaceLineRoom];
    for (const std::int64_t width : {std::int64_t{3}, std::int64_t{11}, std::int64_t{97}}) {
        for (const std::int64_t start :
             {std::int64_t{1}, std::int64_t{95}, std::int64_t{9990}, std::int64_t{99999990}, 99999999 - 2 * width}) {
            for (std::int64_t c = 0; c < width; ++c) {
                const std::int64_t top = start + c, bottom = start + width + 1 + c, far = start + 5 * width + c;
                const std::int64_t quad[4] = {bottom, bottom + 1, top + 1, top};
                ASSERT_EQ(std::string(line, putAttributeFaceLine(line, quad, 4, both, lines)),
                          expected({bottom, bottom + 1, top + 1, top}));
                // The plain face lines follow a row's quads the same way.
                ASSERT_EQ(std::string(line, plainLines.put<4>(line, quad)),
                          plainExpected({bottom, bottom + 1, top + 1, top}));
                const std::int64_t triangle[3] = {top, bottom + 1, far};
                ASSERT_EQ(std::string(line, putAttributeFaceLine(line, triangle, 3, both, lines)),
                          expected({top, bottom + 1, far}));
                // A floating plane's corners: two values of each coordinate, in turns.
                const double west = static_cast<double>(c) / static_cast<double>(width);
                const double east = static_cast<double>(c + 1) / static_cast<double>(width);
                const double north = 1.0 / static_cast<double>(start), south = 0.5 / static_cast<double>(start);
                for (const auto& [u, v] : {std::pair{west, north}, {east, north}, {east, south}, {west, south}}) {
                    char text[64];
                    std::snprintf(text, sizeof text, "vt %.6f %.6f\r\n", u, v);
                    ASSERT_EQ(std::string(line, texCoords.put(line, u, v)), text);
                }
            }
        }
    }
}

// A run of floating planes' faces names each plane's four vertices, across
// digit counts and past 10^8, with every kind of reference.
TEST(AttributeLines, PlaneFacesNameTheirPlanesVertices) {
    const FaceAttributes kinds[] = {{},
                                    {.uv = true},
                                    {.normals = NormalLayout::shared, .sharedNormal = 7},
                                    {.uv = true, .normals = NormalLayout::shared, .sharedNormal = 1},
                                    {.uv = true, .normals = NormalLayout::perVertex}};
    for (const FaceAttributes& kind : kinds) {
        // Past 10^8, across a multiple of it within a plane, and past 10^9.
        for (const std::int64_t first : {std::int64_t{1}, std::int64_t{249}, std::int64_t{24999996},
                                         std::int64_t{49999996}, std::int64_t{249999996}}) {
            constexpr std::size_t count = 8;
            std::string expected;
            for (std::int64_t p = first; p < first + std::int64_t{count}; ++p) {
                expected += "f";
                for (std::int64_t v = 4 * p; v > 4 * p - 4; --v) {
                    const std::string n = std::to_string(v);
                    expected += " " + n;
                    if (kind.uv) expected += "/" + n;
                    if (kind.normals == NormalLayout::shared)
                        expected += (kind.uv ? "/" : "//") + std::to_string(kind.sharedNormal);
                    if (kind.normals == NormalLayout::perVertex) expected += "/" + n;
                }
                expected += "\r\n";
            }
            FaceLines lines;
            std::vector<char> text(count * attributeFaceLineRoom);
            char* end = putPlaneFaceLines(text.data(), first, count, kind, lines);
            ASSERT_EQ(std::string(static_cast<const char*>(text.data()), static_cast<const char*>(end)), expected)
                << first;
        }
    }
}

TEST(MaterialFile, TextNamesAndWhereTheImageIsFound) {
    EXPECT_EQ(mtlText("hill", "maps/hill.png"),
              "# Morvale (v0.4)\nnewmtl hill\nKd 1.000000 1.000000 1.000000\nmap_Kd maps/hill.png\n");
    EXPECT_EQ(mtllibLine("out/dir/my hill.mtl"), "mtllib my hill.mtl\n");
    EXPECT_EQ(usemtlLine("hill"), "usemtl hill\n");
    EXPECT_EQ(materialName("my hill\tnorth"), "my_hill_north");
    EXPECT_EQ(materialName(""), "terrain");
    EXPECT_EQ(mtlPathFor("out/dir/hill.obj"), std::filesystem::path("out/dir/hill.mtl"));

    const std::filesystem::path base = std::filesystem::temp_directory_path() / "morvale-mtl";
    EXPECT_EQ(mtlImageReference(base / "hill.png", base / "hill.obj"), "hill.png");
    EXPECT_EQ(mtlImageReference(base / "maps" / "hill.png", base / "hill.obj"), "maps/hill.png");
    EXPECT_EQ(mtlImageReference(base / "maps" / "hill.png", base / "out" / "deep" / "hill.obj"), "../../maps/hill.png");
    EXPECT_EQ(mtlImageReference(base / "a" / ".." / "hill.png", base / "." / "hill.obj"), "hill.png");
    // Relative inputs are both taken from the current folder.
    EXPECT_EQ(mtlImageReference("maps/hill.png", "out/hill.obj"), "../maps/hill.png");
}

TEST(MaterialFile, WritesBesideTheObjWarnsOfAMissingImageAndReportsFailures) {
    testing_support::ScratchDir dir;
    testing_support::writeFile(dir / "hill.png", "not really a picture");
    MtlOutcome outcome = writeMtlFile(dir / "hill.obj", "hill", dir / "hill.png");
    EXPECT_EQ(outcome.result, MtlResult::written);
    EXPECT_FALSE(outcome.imageMissing);
    EXPECT_EQ(testing_support::readFile(dir / "hill.mtl"),
              "# Morvale (v0.4)\r\nnewmtl hill\r\nKd 1.000000 1.000000 1.000000\r\nmap_Kd hill.png\r\n");

    outcome = writeMtlFile(dir / "hill.obj", "hill", dir / "gone.png");
    EXPECT_EQ(outcome.result, MtlResult::written);
    EXPECT_TRUE(outcome.imageMissing);
    EXPECT_NE(missingImageWarning(dir / "gone.png").find("gone.png"), std::string::npos);

    EXPECT_EQ(writeMtlFile(dir / "no such folder" / "hill.obj", "hill", dir / "hill.png").result,
              MtlResult::cannotCreate);
    std::error_code error;
    std::filesystem::create_symlink("/dev/full", dir / "full.mtl", error);
    if (!error) {
        // A device that takes no bytes: the file opens, the write fails.
        EXPECT_EQ(writeMtlFile(dir / "full.obj", "hill", dir / "hill.png").result, MtlResult::writeFailed);
    }
}

}  // namespace

namespace {

// Texture coordinate lines whose u comes from a column cache: rows meeting
// the same columns (some skipped, as holes do), more distinct columns than
// the cache holds, texts longer than an entry, and values met again after
// the cache filled up, all as printf prints them.
TEST(AttributeLines, TexCoordLinesWithColumnTextsPrintWhatPrintfPrints) {
    ColumnTexCoords columns;
    ASSERT_TRUE(columns.allocate());
    TexCoordLines lines(&columns);
    std::mt19937_64 random(31);
    const std::int64_t width = static_cast<std::int64_t>(ColumnTexCoords::entryCount) + 5000;
    char line[texCoordLineRoom];
    char expected[700];
    for (int row = 0; row < 6; ++row) {
        const double v = 1.0 - row / 7.0;
        for (std::int64_t c = 0; c <= width; c += 1 + static_cast<std::int64_t>(random() % 3 == 0)) {
            const double u = c % 1000 == 999 ? 1e20 + static_cast<double>(c) : static_cast<double>(c) / width;
            std::snprintf(expected, sizeof expected, "vt %.6f %.6f\r\n", u, v);
            ASSERT_EQ(std::string(line, lines.put(line, u, v)), expected) << row << " " << c;
        }
    }
}

}  // namespace
