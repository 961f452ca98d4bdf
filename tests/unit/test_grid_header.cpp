#include "grid/grid_header.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>

#include "test_support.h"
#include "unprivileged.h"

namespace {

using morvale::GridHeader;
using morvale::readGridHeader;
using testing_support::ScratchDir;

struct HeaderRead {
    int result = -2;
    GridHeader header;
};

HeaderRead readText(std::string_view text, GridHeader start = {}) {
    ScratchDir dir;
    const auto path = dir / "grid.asc";
    testing_support::writeFile(path, text);
    HeaderRead read{-2, start};
    read.result = readGridHeader(path, read.header);
    return read;
}

// ncols, nrows, xll, xllIsCenter, yll, yllIsCenter, cellsize, hasNodata, nodata (0 without).
using Fields = std::tuple<int, int, double, int, double, int, double, int, double>;

Fields fieldsOf(const GridHeader& h) {
    return {h.ncols,       h.nrows,     h.xll,
            h.xllIsCenter, h.yll,       h.yllIsCenter,
            h.cellsize,    h.hasNodata, h.hasNodata == 1 ? h.nodataValue : 0.0};
}

std::int64_t offsetOf(const std::string& text, std::string_view part) {
    return static_cast<std::int64_t>(text.find(part));
}

// The usual six-line header and two data rows, with one line's value replaced.
std::string usualGrid(std::string_view key = "", std::string_view value = "") {
    const std::pair<std::string_view, std::string_view> lines[] = {{"ncols", "3"},        {"nrows", "2"},
                                                                   {"xllcorner", "10.5"}, {"yllcorner", "-20"},
                                                                   {"cellsize", "2"},     {"NODATA_value", "-9999"}};
    std::string text;
    for (const auto& [k, v] : lines) text += std::string(k) + " " + std::string(k == key ? value : v) + "\n";
    return text + "1 2 3\n4 5 6\n";
}

const std::string fiveLines = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n";

TEST(GridHeader, ReadsFiveAndSixLineHeaders) {
    const std::string six = usualGrid();
    auto read = readText(six);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(fieldsOf(read.header), Fields(3, 2, 10.5, 0, -20.0, 0, 2.0, 1, -9999.0));
    EXPECT_EQ(read.header.dataStart, offsetOf(six, "1 2 3"));

    std::string crlf;
    for (const char c : six) crlf += c == '\n' ? "\r\n" : std::string(1, c);
    read = readText(crlf);
    EXPECT_EQ(fieldsOf(read.header), Fields(3, 2, 10.5, 0, -20.0, 0, 2.0, 1, -9999.0));
    EXPECT_EQ(read.header.dataStart, offsetOf(crlf, "1 2 3"));

    // The first row ends the header but belongs to the body: it is not converted.
    for (const char* row : {"1 2 3\n", "5 abc\n", "7\n8\n", "nan 1 2\n", "-NaN\n"}) {
        read = readText(fiveLines + row);
        EXPECT_EQ(read.result, 1) << row;
        EXPECT_EQ(read.header.hasNodata, 0) << row;
        EXPECT_EQ(read.header.dataStart, static_cast<std::int64_t>(fiveLines.size())) << row;
    }
    // Empty lines after the cell size belong to the body too.
    EXPECT_EQ(readText(fiveLines + "\n\n1 2 3\n").header.dataStart, static_cast<std::int64_t>(fiveLines.size()));
}

TEST(GridHeader, KeywordsAreLenientButCentreIsExact) {
    auto read = readText("NCOLS 3\nNROWS 2\nXLLCENTER 1\nyllCorner 2\nCELLSIZE 1\n1 2 3\n");
    EXPECT_EQ(fieldsOf(read.header), Fields(3, 2, 1.0, 1, 2.0, 0, 1.0, 0, 0.0));

    read = readText("a 3\nb 2\nx_centre 1\nd 2\ne 4\nf -1\n1 2 3\n");
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(fieldsOf(read.header), Fields(3, 2, 1.0, 0, 2.0, 0, 4.0, 1, -1.0));

    read = readText("\xEF\xBB\xBF" + usualGrid());
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.header.ncols, 3);
}

TEST(GridHeader, SkipsEmptyAndBlankLines) {
    const auto read = readText("\n\nncols 10\n\n \t \r\nnrows 5\n\nxllcorner 1\nyllcorner 2\n  \ncellsize 3\n1 2\n");
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(fieldsOf(read.header), Fields(10, 5, 1.0, 0, 2.0, 0, 3.0, 0, 0.0));
}

TEST(GridHeader, ConvertsCountsStrictly) {
    const struct {
        const char* value;
        int result;
        std::int32_t ncols;
    } cases[] = {{"0", 0, 0},   {"-5", 0, -5},         {"ten", 0, 77},
                 {"1e3", 0, 1}, {"2147483648", 0, 77}, {"10.7", 1, 10},
                 {"+7", 1, 7},  {"1,024", 1, 1},       {"2147483647", 1, 2147483647}};
    GridHeader start;
    start.ncols = 77;
    for (const auto& c : cases) {
        const auto read = readText(usualGrid("ncols", c.value), start);
        EXPECT_EQ(read.result, c.result) << c.value;
        EXPECT_EQ(read.header.ncols, c.ncols) << c.value;
    }
}

TEST(GridHeader, ConvertsRealsWithExponentsButNoOtherLetters) {
    const struct {
        const char* value;
        double cellsize;
    } good[] = {{"0", 0.0},
                {"-2", -2.0},
                {"0,5", 0.0},
                {".500E+02", 50.0},
                {"1.e30", 1e30},
                {"12.5.7", 12.5},
                {"2.2250738585072014e-308", 2.2250738585072014e-308},
                {"2.2250738585072013e-308", 2.2250738585072014e-308}};
    for (const auto& c : good) {
        const auto read = readText(usualGrid("cellsize", c.value));
        EXPECT_EQ(read.result, 1) << c.value;
        EXPECT_EQ(read.header.cellsize, c.cellsize) << c.value;
    }
    for (const char* bad : {"1.5e", "12m", "0x10", "inf", "nan", ".", "1e400", "1e-400", "4e-320",
                            "2.2250738585072011e-308", "2.2250738585072012e-308"}) {
        EXPECT_EQ(readText(usualGrid("cellsize", bad)).result, 0) << bad;
    }
    // A tiny number written out exactly is no underflow.
    char exact[800];
    const auto end =
        std::to_chars(exact, exact + sizeof exact, 4.9406564584124654e-324, std::chars_format::scientific, 760);
    EXPECT_EQ(readText(usualGrid("cellsize", std::string_view(exact, end.ptr - exact))).result, 1);

    auto read = readText(usualGrid("NODATA_value", "-3.4028234663852886e+38"));
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.header.nodataValue, -3.4028234663852886e+38);
    for (const char* nan : {"nan", "-NaN", "+NAN"}) {
        read = readText(usualGrid("NODATA_value", nan));
        EXPECT_EQ(read.result, 1) << nan;
        EXPECT_EQ(read.header.hasNodata, 1);
        EXPECT_TRUE(std::isnan(read.header.nodataValue));
    }
    EXPECT_EQ(readText(usualGrid("NODATA_value", "nan2")).result, 0);
}

TEST(GridHeader, RefusesMissingValuesAndShortFiles) {
    EXPECT_EQ(readText("ncols 3\nnrows\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n").result, 0);
    EXPECT_EQ(readText(fiveLines + "NODATA_value\n1 2 3\n").result, 0);
    EXPECT_EQ(readText("").result, 0);
    EXPECT_EQ(readText("ncols 10\nnrows 5\n").result, 0);
    EXPECT_EQ(readText("ncols 10\nnrows 5\nxllcorner 0\nyllcorner 0\n").result, 0);

    auto read = readText(fiveLines);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.header.hasNodata, 0);
    EXPECT_EQ(read.header.dataStart, static_cast<std::int64_t>(fiveLines.size()));

    // Without a final LF the position after the last header line cannot be taken.
    read = readText(fiveLines.substr(0, fiveLines.size() - 1));
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.header.dataStart, -1);
    read = readText(fiveLines + "nodata_value -1");
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.header.hasNodata, 1);
    EXPECT_EQ(read.header.dataStart, -1);
}

TEST(GridHeader, TakesStandardKeywordsInAnyOrder) {
    const std::string moved = "nrows 4\ncellsize 30\nxllcorner 1\nncols 5\nyllcorner 2\n1 2 3 4 5\n";
    auto read = readText(moved);
    EXPECT_EQ(fieldsOf(read.header), Fields(5, 4, 1.0, 0, 2.0, 0, 30.0, 0, 0.0));
    EXPECT_EQ(read.header.dataStart, offsetOf(moved, "1 2"));

    const std::string sides = "ncols 2\nnrows 2\nxllcenter 0\nyllcenter 0\nDX 10\nDY 10\nnodata_value -9\n1 2\n";
    read = readText(sides);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(fieldsOf(read.header), Fields(2, 2, 0.0, 1, 0.0, 1, 10.0, 1, -9.0));
    EXPECT_EQ(read.header.dataStart, offsetOf(sides, "1 2"));

    read = readText("ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ndy 4\n1 2\n");
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.header.cellsize, 4.0);

    for (const char* bad :
         {"ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ndx 10\ndy 20\n1 2\n",
          "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\ndx 10\n1 2\n",
          "ncols 2\nncols 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2\n",
          "ncols 2\nnrows 2\nxllcorner 0\nxllcenter 0\ncellsize 1\n1 2\n",
          "ncols 2\nnrows 4\nxllcorner 0\ncellsize 1\nnodata_value 9\n1 2\n", "ncols 3\nnrows 2\n1 2 3\n"}) {
        EXPECT_EQ(readText(bad).result, 0) << bad;
    }
}

TEST(GridHeader, UnopenableFileLeavesHeaderUntouched) {
    GridHeader start;
    start.ncols = 11;
    start.xll = 4.5;
    start.xllIsCenter = 1;
    start.hasNodata = 1;
    start.dataStart = 99;
    ScratchDir dir;
    for (const auto& path : {dir / "missing.asc", dir.path()}) {
        GridHeader header = start;
        EXPECT_EQ(readGridHeader(path, header), -1);
        EXPECT_EQ(fieldsOf(header), fieldsOf(start));
        EXPECT_EQ(header.dataStart, 99);
    }

    // A failed read overwrites the fields up to the failing one and clears the flags.
    const auto good = readText("ncols 3\nnrows 2\nxllcenter 1\nyllcenter 2\ncellsize 1\nnodata_value 0\n1 2 3\n");
    const auto failed = readText("ncols 7\nnrows 0\nxllcorner 8\nyllcorner 9\ncellsize 1\n1 2 3\n", good.header);
    EXPECT_EQ(failed.result, 0);
    EXPECT_EQ(fieldsOf(failed.header), Fields(7, 0, 1.0, 0, 2.0, 0, 1.0, 0, 0.0));
    EXPECT_EQ(failed.header.dataStart, good.header.dataStart);
}

TEST(GridHeader, UnreadableFileGivesMinusOne) {
    // Read by a user whom permissions bind (nobody for root), in a folder it
    // reaches: the readable file beside it shows that only the permission refuses.
    ScratchDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    testing_support::writeFile(dir / "open.asc", usualGrid());
    testing_support::writeFile(dir / "locked.asc", usualGrid());
    std::filesystem::permissions(dir / "locked.asc", std::filesystem::perms::none);
    const testing_support::BoundUser user = testing_support::boundUser();
    ASSERT_TRUE(user.found) << user.problem;
    const int results = testing_support::runAsUser(user, [&] {
        GridHeader open, locked;
        return (readGridHeader(dir / "open.asc", open) == 1 ? 1 : 0) +
               (readGridHeader(dir / "locked.asc", locked) == -1 ? 2 : 0);
    });
    ASSERT_NE(results, 126) << "could not run as a user whom permissions bind";
    EXPECT_EQ(results, 3) << "1: the readable file was read, 2: the locked one gave -1";
}

TEST(GridHeader, LongLinesAndLongTokens) {
    const std::string head = fiveLines.substr(0, fiveLines.size() - 1);
    EXPECT_EQ(readText(head + " " + std::string(1 << 20, 'x') + "\n1 2 3\n").result, 1);
    // A value beyond the kept bytes is refused even where its kept part would convert.
    EXPECT_EQ(readText(fiveLines + "nodata_value -1." + std::string(5000, '0') + "\n1 2 3\n").result, 0);
    // Only the first token classifies the first row, however long it is.
    auto read = readText(fiveLines + std::string(5000, '-') + "1 2\n");
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.header.hasNodata, 0);

    std::string oneLine = fiveLines;
    for (int i = 0; i < 1000000; ++i) oneLine += "12.5 ";
    read = readText(oneLine);
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.header.dataStart, static_cast<std::int64_t>(fiveLines.size()));

    const std::string padded = std::string(100000, '\n') + fiveLines + "1 2 3\n";
    EXPECT_EQ(readText(padded).header.dataStart, offsetOf(padded, "1 2 3"));
}

struct SharedGridCase {
    const char* name;
    int result;
    Fields fields;         // as GDAL reads them, the origin as written in the file
    const char* firstRow;  // the bytes at dataStart, once empty lines are passed
};

const SharedGridCase sharedGrids[] = {
    {"ava_DEM_TopoDummy.asc", 1, {3, 1, 1000.0, 1, -5000.0, 1, 5.0, 1, -9999.0}, "0 0 0"},
    {"ava_slideTopo.asc", 1, {419, 201, 3.5, 1, 3.5, 1, 5.0, 1, -9999.0}, "1752.60 1749.10"},
    {"ava_testReadAsc.asc", 0, {}, ""},  // no yll line
    {"ava_testRel2_noeol.asc", 1, {20, 22, 0.0, 1, 0.0, 1, 1.0, 1, -9999.0}, "0 0 0 0"},
    {"flopy_freyberg_top.asc", 1, {20, 40, 125.0, 1, 125.0, 1, 250.0, 1, 0.0}, "29.4679 29.3600"},
    {"gdal_nodata_nan.asc", 1, {3, 2, 0.0, 0, 0.0, 0, 1.0, 1, NAN}, "nan -1 0"},
    {"gdal_pixel_per_line.asc", 1, {15, 12, 100000.0, 0, 650000.0, 0, 50.0, 1, -99999.0}, "    .000E+00\r\n"},
    {"gdal_testserialization.asc", 1, {1, 1, 0.0, 0, 0.0, 0, 1.0, 0, 0.0}, " 0\n"},
    {"landlab_4_x_3_no_nodata_value.asc", 1, {3, 4, 1.0, 0, 2.0, 0, 10.0, 0, 0.0}, "0. 1. 2."},
    {"landlab_DEM-kootenai_37x50_1x1.asc",
     1,
     {50, 37, 556440.0, 0, 5394932.0, 0, 1.0, 1, -9999.0},
     "543.340026855468977 "},
    {"landlab_Square_TestBasin.asc", 1, {200, 200, 0.0, 0, 0.0, 0, 30.0, 0, 0.0}, "6.628195206217307690e-04 "},
    {"landlab_hugo_site.asc", 1, {76, 55, 0.0, 0, 0.0, 0, 10.0, 1, -9999.0}, "-9999 -9999"},
    {"landlab_west_bijou_escarpment_snippet.asc",
     1,
     {129, 67, -104.341805555546, 0, 39.505972222219, 0, 0.000277777778, 1, -32768.0},
     " 1771 1772"},
    {"qgis_tenbytenraster.asc", 1, {10, 10, 1535380.0, 1, 5083260.0, 1, 10.0, 1, -9999.0}, "0 1 2 3"},
    {"qgis_test.asc", 1, {7, 1, 0.0, 0, 0.0, 0, 1.0, 0, 0.0}, " -999.9 -999.987"},
    {"richdem_dinf_test.asc", 1, {5, 4, 421568.0, 0, 4872699.0, 0, 3.0, 1, -9999.0}, "13 9   5"},
    {"richdem_pit.asc", 1, {10, 6, 421568.0, 0, 4872699.0, 0, 3.0, 1, -9999.0}, "0 0 0 0"},
};

TEST(GridHeader, ReadsTheSharedGrids) {
    for (const auto& grid : sharedGrids) {
        SCOPED_TRACE(grid.name);
        const auto path = testing_support::sharedGrid(grid.name);
        GridHeader header;
        ASSERT_EQ(readGridHeader(path, header), grid.result);
        if (grid.result != 1) continue;
        Fields expected = grid.fields;
        if (std::isnan(std::get<8>(expected))) {
            EXPECT_TRUE(std::isnan(header.nodataValue));
            std::get<8>(expected) = header.nodataValue = 0.0;
        }
        EXPECT_EQ(fieldsOf(header), expected);

        const std::string bytes = testing_support::readFile(path);
        ASSERT_GT(header.dataStart, 0);
        ASSERT_LT(header.dataStart, static_cast<std::int64_t>(bytes.size()));
        EXPECT_EQ(bytes[static_cast<std::size_t>(header.dataStart) - 1], '\n');
        const std::size_t row = bytes.find_first_not_of("\r\n", static_cast<std::size_t>(header.dataStart));
        EXPECT_EQ(bytes.compare(row, std::string_view(grid.firstRow).size(), grid.firstRow), 0);
    }
}

}  // namespace
