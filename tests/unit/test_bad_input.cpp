// What morvale-convert does with the files users really feed it: broken,
// hostile, enormous or interrupted. Every case checks the message, the exit
// status, that nothing is written where nothing should be, and that the input
// is left as it was.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <random>

#include "cli_child.h"
#include "test_support.h"
#include "tool_run.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string goodTail = "xllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3\n4 5 6\n";
const std::string goodGrid = "ncols 3\nnrows 2\n" + goodTail;
const char* corruptedMessage = "the grid header is corrupted";

// A refused input: exit 3 with its message, no OBJ file anywhere, input unchanged.
void expectRefused(const ScratchDir& dir, const std::string& name, const std::string& bytes, const char* message) {
    SCOPED_TRACE(name);
    writeFile(dir / name, bytes);
    const fs::path out = dir / (name + ".out.obj");
    const ChildRun run = runConverter({(dir / name).string(), "-o", out.string()});
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_TRUE(contains(run.out, message)) << run.out;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir / (fs::path(name).stem().string() + ".obj")));
    EXPECT_EQ(readFile(dir / name), bytes);
}

// A converted input: the exit status, the records check of the summary, an OBJ
// file with its closing sections, the input unchanged.
ChildRun expectConverted(const ScratchDir& dir, const std::string& name, const std::string& bytes, int status,
                         const std::string& recordsLine,
                         std::vector<std::string> extra = {"--mode", "floating-planes"}) {
    SCOPED_TRACE(name);
    writeFile(dir / name, bytes);
    const fs::path out = dir / (name + ".obj");
    std::vector<std::string> args{(dir / name).string(), "-o", out.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const ChildRun run = runConverter(args);
    EXPECT_EQ(run.status, status) << run.out;
    EXPECT_TRUE(contains(run.out, recordsLine)) << run.out;
    const ObjTally obj = tallyObj(out);
    EXPECT_TRUE(obj.endsWithQuads);
    EXPECT_EQ(obj.vertexComment, obj.vertexLines);
    EXPECT_EQ(readFile(dir / name), bytes);
    return run;
}

std::string repeated(char c, std::size_t n) { return std::string(n, c); }

}  // namespace

TEST(BadInput, FilesThatAreNoGridAreRefusedBeforeAnythingIsWritten) {
    ScratchDir dir;
    expectRefused(dir, "empty.asc", "", corruptedMessage);

    std::mt19937 random(20240601);
    std::string junk(4096, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    expectRefused(dir, "junk.asc", junk, corruptedMessage);
    expectRefused(dir, "elf.asc",
                  std::string("\x7f"
                              "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                              16) +
                      junk,
                  corruptedMessage);

    // UTF-16, both byte orders, with and without a byte-order mark, gets a
    // message of its own; so does a name in the grid beyond ASCII.
    const char* utf16Message = "looks like UTF-16 text: save the grid as ASCII or UTF-8";
    std::string little, big;
    for (const char c : "ncols 3\nnrows 2\n# caf\xe9\n" + goodTail) {
        little += c;
        little += '\0';
        big += '\0';
        big += c;
    }
    expectRefused(dir, "utf16le.asc", std::string("\xff\xfe", 2) + little, utf16Message);
    expectRefused(dir, "utf16be.asc", std::string("\xfe\xff", 2) + big, utf16Message);
    expectRefused(dir, "utf16le-nobom.asc", little, utf16Message);
    expectRefused(dir, "utf16be-nobom.asc", big, utf16Message);

    // Old Mac line ends: the whole file is one header line.
    std::string crOnly = goodGrid;
    for (char& c : crOnly) c = c == '\n' ? '\r' : c;
    expectRefused(dir, "cr.asc", crOnly, corruptedMessage);

    // A NUL where a value starts leaves the value empty.
    expectRefused(dir, "nulvalue.asc", std::string("ncols \0 3\nnrows 2\n", 18) + goodTail, corruptedMessage);

    // A folder, even one named like a grid.
    fs::create_directory(dir / "folder.asc");
    const ChildRun folder = runConverter({(dir / "folder.asc").string()});
    EXPECT_EQ(folder.status, 3);
    EXPECT_TRUE(contains(folder.out, "cannot open")) << folder.out;
    EXPECT_FALSE(fs::exists(dir / "folder.obj"));
}

TEST(BadInput, RastersOfOtherFormatsAreNamedWithTheWayToAGrid) {
    ScratchDir dir;
    const std::string tail(64, 'x');
    const auto refusedAs = [&](const std::string& name, const std::string& bytes, const std::string& what) {
        expectRefused(dir, name, bytes, ("is " + what + ", not an Esri ASCII grid").c_str());
    };
    const std::string gdal = "gdal_translate -of AAIGrid ";
    refusedAs("dem.tif", std::string("II*\0", 4) + tail, "a TIFF image");
    refusedAs("motorola.tif", std::string("MM\0*", 4) + tail, "a TIFF image");
    refusedAs("big.tif", std::string("II+\0", 4) + tail, "a BigTIFF image");
    refusedAs("bigm.tif", std::string("MM\0+", 4) + tail, "a BigTIFF image");
    refusedAs("dem.png", "\x89PNG\r\n\x1a\n" + tail, "a PNG image");
    refusedAs("dem.jpg", "\xff\xd8\xff\xe0" + tail, "a JPEG image");
    refusedAs("dem.zip", "PK\x03\x04" + tail, "a zip archive");
    refusedAs("dem.asc.gz", "\x1f\x8b\x08" + tail, "a gzip-compressed file");
#ifdef MORVALE_GDAL
    // GDAL reads an SRTM tile (by its name and size) and converts it; what GDAL
    // does not read either is named, with GDAL's reason.
    writeFile(dir / "N45E006.hgt", std::string(2 * 1201 * 1201, '\0'));
    EXPECT_EQ(runConverter({(dir / "N45E006.hgt").string(), "-o", (dir / "srtm.obj").string(), "-q"}).status, 0);
    expectRefused(dir, "N45E006.hgt", std::string(2 * 1201 * 1200, '\0'), corruptedMessage);
    expectRefused(dir, "tile.hgt", std::string(2 * 1201 * 1201, '\0'), "GDAL cannot read it");
    const ChildRun one = runConverter({(dir / "dem.tif").string()});
    EXPECT_TRUE(contains(one.out, "is a TIFF image, not an Esri ASCII grid, and GDAL cannot read it: ")) << one.out;
    (void)gdal;
#else
    // An SRTM tile has no signature: its name and size say what it is.
    refusedAs("N45E006.hgt", std::string(2 * 1201 * 1201, '\0'), "an SRTM height file");
    refusedAs("s12w077.hgt", std::string(2 * 3601 * 3601, '\x01'), "an SRTM height file");
    expectRefused(dir, "N45E006.hgt", std::string(2 * 1201 * 1200, '\0'), corruptedMessage);
    expectRefused(dir, "tile.hgt", std::string(2 * 1201 * 1201, '\0'), corruptedMessage);

    // The command to run names the file; in a tile set the table says it too.
    const ChildRun one = runConverter({(dir / "dem.tif").string()});
    EXPECT_TRUE(contains(one.out, gdal + (dir / "dem.tif").string() + " " + (dir / "dem.asc").string())) << one.out;
    EXPECT_TRUE(contains(one.out, "the only input this build reads")) << one.out;
#endif
    writeFile(dir / "grid.asc", goodGrid);
    const ChildRun set = runConverter({(dir / "grid.asc").string(), (dir / "dem.tif").string()});
    EXPECT_EQ(set.status, 3) << set.out;
    EXPECT_TRUE(contains(set.out, "a TIFF image, not an ASCII grid")) << set.out;
}

TEST(BadInput, HeaderNumbersBeyondTheirRangeAreRefused) {
    ScratchDir dir;
    const std::string digits400 = repeated('9', 400);
    expectRefused(dir, "ncols400.asc", "ncols " + digits400 + "\nnrows 2\n" + goodTail, corruptedMessage);
    expectRefused(dir, "xll400.asc",
                  "ncols 3\nnrows 2\nxllcorner " + digits400 + "\nyllcorner 0\ncellsize 1\n1 2 3\n4 5 6\n",
                  corruptedMessage);
    expectRefused(dir, "tiny.asc",
                  "ncols 3\nnrows 2\nxllcorner 0." + repeated('0', 400) + "1\nyllcorner 0\ncellsize 1\n1 2 3\n4 5 6\n",
                  corruptedMessage);
    expectRefused(dir, "cols32.asc", "ncols 4294967296\nnrows 2\n" + goodTail, corruptedMessage);
    expectRefused(dir, "cols31.asc", "ncols 2147483648\nnrows 2\n" + goodTail, corruptedMessage);
    expectRefused(dir, "rows20.asc", "ncols 3\nnrows 99999999999999999999\n" + goodTail, corruptedMessage);
    expectRefused(dir, "negrows.asc", "ncols 3\nnrows -4294967295\n" + goodTail, corruptedMessage);
    // A value a megabyte long is too long to be a number, whatever its digits.
    expectRefused(dir, "mbvalue.asc", "ncols " + repeated('7', 1 << 20) + "\nnrows 2\n" + goodTail, corruptedMessage);

    // 400 digits that are a fine number are taken.
    expectConverted(dir, "xllfraction.asc", "ncols 3\nnrows 2\nxllcorner 0." + digits400 + "\n" + goodTail.substr(12),
                    0, "Records status:  6 / 6  (OK)");
}

TEST(BadInput, MegabyteHeaderLinesStillReadAsTheirTokens) {
    ScratchDir dir;
    const std::string mb = repeated(' ', 1 << 20);
    expectConverted(dir, "blanks.asc", "ncols" + mb + "3\nnrows 2\n" + goodTail, 0, "Records status:  6 / 6  (OK)");
    expectConverted(dir, "comment.asc", "ncols 3 " + repeated('x', 1 << 20) + "\nnrows 2\n" + goodTail, 0,
                    "Records status:  6 / 6  (OK)");
    // An unknown keyword a megabyte long takes the meaning of its line's position.
    expectConverted(dir, "keyword.asc", repeated('k', 1 << 20) + " 3\nnrows 2\n" + goodTail, 0,
                    "Records status:  6 / 6  (OK)");
    const ChildRun run = expectConverted(dir, "blankline.asc", "ncols 3\n" + mb + "\nnrows 2\n" + goodTail, 0,
                                         "Records status:  6 / 6  (OK)");
    EXPECT_LT(run.seconds, 10.0);
}

TEST(BadInput, NulBytesEndATextLikeInTheCStringsOfOldTools) {
    ScratchDir dir;
    // After a value or inside a keyword the header still reads.
    expectConverted(dir, "nulafter.asc", std::string("ncols 3\0\nnrows 2\n", 17) + goodTail, 0,
                    "Records status:  6 / 6  (OK)");
    expectConverted(dir, "nulkey.asc", std::string("nco\0ls 3\nnrows 2\n", 17) + goodTail, 0,
                    "Records status:  6 / 6  (OK)");
    // In the body a NUL is not a number: the rest of its line is lost.
    const std::string body = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    expectConverted(dir, "nulbody.asc", body + std::string("1 2\0 3\n4 5 6\n", 13), 1,
                    "Records status:  6 / 5  (ERROR)");
    expectConverted(dir, "nulbody.asc", body + std::string("1 2\0 3\n4 5 6\n", 13), 1,
                    "Records status:  6 / 5  (ERROR)", {});
}

TEST(BadInput, BodiesWithTheWrongValuesEndWithErrorChecksNotACrash) {
    ScratchDir dir;
    const std::string header = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--mode", "floating-planes"}, std::vector<std::string>{}}) {
        SCOPED_TRACE(mode.empty() ? "interpolated" : "floating planes");
        expectConverted(dir, "nobody.asc", header, 1, "Records status:  6 / 0  (ERROR)", mode);
        expectConverted(dir, "more.asc", header + "1 2 3 4\n5 6\n", 0, "Records status:  6 / 6  (OK)", mode);
        expectConverted(dir, "extra.asc", header + "1 2 3\n4 5 6\n7 8 9\n10 11 12\n", 0, "Records status:  6 / 6  (OK)",
                        mode);
        expectConverted(dir, "words.asc", header + "1 x 3\n4 5 6\n", 1, "Records status:  6 / 4  (ERROR)", mode);
        expectConverted(dir, "comma.asc", header + "1,2,3\n4,5,6\n", 1, "Records status:  6 / 2  (ERROR)", mode);
        expectConverted(dir, "body400.asc", header + "1 " + repeated('9', 400) + " 3\n4 5 6\n", 1,
                        "Records status:  6 / 4  (ERROR)", mode);
        // CR-only line ends in the body are blanks between numbers.
        expectConverted(dir, "crbody.asc", header + "1 2 3\r4 5 6\r", 0, "Records status:  6 / 6  (OK)", mode);
    }
}

TEST(BadInput, AHugeDeclaredGridWithATinyBodyEndsFastInFloatingPlanes) {
    ScratchDir dir;
    for (const char* sizes :
         {"ncols 100000\nnrows 100000\n", "ncols 2147483647\nnrows 2147483647\n", "ncols 46341\nnrows 46341\n"}) {
        SCOPED_TRACE(sizes);
        const ChildRun run = expectConverted(dir, "huge.asc", std::string(sizes) + goodTail, 1, "(ERROR)");
        EXPECT_LT(run.seconds, 10.0);
        EXPECT_LT(run.peakKiB - converterStartKiB(), 32 * 1024);
        EXPECT_TRUE(contains(run.out, "Quads  6")) << run.out;
    }
}

TEST(BadInput, AHugeDeclaredGridWithATinyBodyEndsFastInterpolated) {
    // A header may declare far more cells than the file holds: the builder
    // must pay for what the file can fill, not for the declared window (this
    // once cost 290 MB for 46341 x 46341 cells over six numbers).
    ScratchDir dir;
    for (const char* sizes : {"ncols 46341\nnrows 46341\n", "ncols 10000000\nnrows 1\n"}) {
        SCOPED_TRACE(sizes);
        const ChildRun run = expectConverted(dir, "huge.asc", std::string(sizes) + goodTail, 1, "(ERROR)", {});
        EXPECT_LT(run.seconds, 10.0);
        EXPECT_LT(run.peakKiB - converterStartKiB(), 32 * 1024);
    }
}

TEST(BadInput, AGridOnOneLineOf200MegabytesReadsInBoundedMemory) {
    ScratchDir dir;
    const fs::path grid = dir / "oneline.asc";
    const int ncols = 2000;
    const std::string cell = "1234.5 ";
    const int nrows = 200'000'000 / static_cast<int>(cell.size()) / ncols;
    {
        std::FILE* file = std::fopen(grid.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fprintf(file, "ncols %d\nnrows %d\nxllcorner 0\nyllcorner 0\ncellsize 1\n", ncols, nrows);
        std::string row;
        for (int j = 0; j < ncols; ++j) row += cell;
        for (int i = 0; i < nrows; ++i) ASSERT_EQ(std::fwrite(row.data(), 1, row.size(), file), row.size());
        std::fputs("\n", file);
        ASSERT_EQ(std::fclose(file), 0);
    }
    const auto size = fs::file_size(grid);
    ASSERT_GT(size, 199'000'000u);
    const auto written = fs::last_write_time(grid);
    // The last rows of the grid are at the far end of the line: the whole line is read.
    const std::string crop = std::to_string(ncols - 2) + "," + std::to_string(nrows - 2) + "," + std::to_string(ncols) +
                             "," + std::to_string(nrows);
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--mode", "floating-planes"}, std::vector<std::string>{}}) {
        std::vector<std::string> args{grid.string(), "-o", (dir / "oneline.obj").string(), "--quiet", "--crop", crop};
        args.insert(args.end(), mode.begin(), mode.end());
        const ChildRun run = runConverter(args);
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_LT(run.peakKiB - converterStartKiB(), 32 * 1024) << "peak memory grows with the line";
        EXPECT_LT(run.seconds, 30.0);
        const ObjTally obj = tallyObj(dir / "oneline.obj");
        EXPECT_TRUE(obj.endsWithQuads);
        EXPECT_EQ(obj.quadComment, 9);
        std::printf("[ one line of %.0f MB ] %s: %.2f s, peak %ld KiB\n", size / 1e6,
                    mode.empty() ? "interpolated" : "floating planes", run.seconds, run.peakKiB);
    }
    EXPECT_EQ(fs::file_size(grid), size);
    EXPECT_EQ(fs::last_write_time(grid), written);
}

TEST(BadInput, OptionMistakesAreRefusedWithTheTextAndWhatWasMeant) {
    ScratchDir dir;
    writeFile(dir / "grid.asc", goodGrid);
    // Each a usage error naming the option and the text, nothing written; a
    // name is suggested only when one is near.
    struct Mistake {
        std::vector<std::string> args;
        std::string says;
    };
    const Mistake mistakes[] = {
        {{"--scale", "2x"}, "--scale: '2x' is not a number\n"},
        {{"--scale", "0.0024,0.0024,0.0072"}, "'0.0024,0.0024,0.0072' is not a number (one factor"},
        {{"--scale", "1 "}, "--scale: '1 ' is not a number"},
        {{"--crop", "1,1,3x,2"}, "--crop: '3x' is not a number"},
        {{"--crop", "1,1,2.5,2"}, "--crop: '2.5' is not a whole number"},
        {{"--crop", "1,1,2"}, "--crop takes four numbers: XMIN,YMIN,XMAX,YMAX, not '1,1,2'"},
        {{"--solid", "abc"}, "--solid: 'abc' is not a number"},
        {{"--solid=1m"}, "--solid: '1m' is not a number"},
        {{"-j", "4x"}, "-j: '4x' is not a number"},
        {{"-j", "0"}, "-j takes a number of jobs from 1 to 1024, not 0"},
        {{"--max-error", "0.5m"}, "--max-error: '0.5m' is not a number"},
        {{"--texure", "x.png"}, "unknown option --texure; did you mean --texture?"},
        {{"--normal"}, "unknown option --normal; did you mean --normals?"},
        {{"-x"}, "unknown option -x\n"},
        {{"--preset", "mya"}, "is not one of 3ds-max, blender, cinema-4d, maya, unreal, zbrush; did you mean maya?"},
        {{"--preset", "Houdini"}, "'Houdini' is not one of 3ds-max, blender, cinema-4d, maya, unreal, zbrush\n"},
        {{"--mode", "floating-plane"}, "is not one of interpolated, floating-planes; did you mean floating-planes?"},
        {{"--uv-extent", "crop"}, "--uv-extent: 'crop' is not one of grid, window\n"},
        {{"--format", "objj"}, "did you mean obj?"},
        {{"--z-scale", "0"}, "--z-scale: '0' is not above 0"},
        {{"--z-scale", "-2"}, "--z-scale: '-2' is not above 0"},
        {{"--z-scale", "inf"}, "--z-scale: 'inf' is not a finite number"},
        {{"--z-scale", "nan"}, "--z-scale: 'nan' is not a finite number"},
        {{"--size", "0"}, "--size: '0' is not above 0 millimetres"},
        {{"--size", "150", "--scale", "2"}, "--size cannot be used with --scale"},
        {{"--base-thickness", "-1"}, "--base-thickness: '-1' is not above 0"},
        {{"--base-thickness", "2", "--solid", "0"}, "--base-thickness cannot be used with --solid BASE"},
#ifdef MORVALE_GDAL
        {{"--band", "x"}, "--band: 'x' is not a number"},
        {{"--band", "0"}, "--band takes a band number from 1, not 0"},
        {{"--cellsize", "-2"}, "--cellsize takes a cell size above zero, not -2"},
#endif
    };
    const fs::path out = dir / "out.obj";
    for (const Mistake& mistake : mistakes) {
        std::vector<std::string> args{(dir / "grid.asc").string(), "-o", out.string()};
        args.insert(args.end(), mistake.args.begin(), mistake.args.end());
        SCOPED_TRACE(mistake.says);
        const ChildRun run = runConverter(args);
        EXPECT_EQ(run.status, 2) << run.out;
        EXPECT_TRUE(contains(run.out, mistake.says)) << run.out;
        EXPECT_EQ(contains(run.out, "did you mean"), contains(mistake.says, "did you mean")) << run.out;
        EXPECT_FALSE(fs::exists(out));
    }
    // A 3MF is always a solid: what a solid cannot go with is refused for it by name.
    for (const auto& [option, says] :
         {std::pair<const char*, const char*>{"--mode=floating-planes", "3MF holds a closed solid, which floating"},
          {"--center-z", "3MF cannot be used with --center-z"},
          {"--uv", "--uv, --normals and --texture do not apply to 3MF"}}) {
        const ChildRun run = runConverter({(dir / "grid.asc").string(), "-o", (dir / "out.3mf").string(), option});
        EXPECT_EQ(run.status, 2) << run.out;
        EXPECT_TRUE(contains(run.out, says)) << run.out;
        EXPECT_FALSE(fs::exists(dir / "out.3mf"));
    }
    // --solid takes the word after it when that is a number or no input: an
    // existing file or a grid's name is the input.
    const ChildRun base = runConverter({"--solid", "-1", (dir / "grid.asc").string(), "-o", out.string(), "-q"});
    EXPECT_EQ(base.status, 0) << base.out;
    EXPECT_EQ(runConverter({"--solid", (dir / "grid.asc").string(), "-o", out.string(), "-q"}).status, 0);
    const ChildRun missing = runConverter({"--solid", (dir / "missing.asc").string()});
    EXPECT_EQ(missing.status, 3) << missing.out;
}

TEST(BadInput, CorrectedSettingsAreAWarningEvenWhenQuiet) {
    ScratchDir dir;
    writeFile(dir / "grid.asc", goodGrid);
    const fs::path out = dir / "out.obj";
    struct Correction {
        std::vector<std::string> args;
        std::string says;  // empty: nothing was corrected
    };
    const Correction corrections[] = {
        {{"--crop", "0,1,99,2"},
         "warning: --crop 0,1,99,2 is corrected to 1,1,3,2: a value lies outside the grid's 3 "
         "columns and 2 rows\n"},
        {{"--crop", "3,1,2,2"}, "warning: --crop 3,1,2,2 is corrected to 1,1,2,2: a minimum is above its maximum\n"},
        {{"--crop", "1,1,99999999999999999999,2"}, "--crop 1,1,99999999999999999999,2 is corrected to 1,1,3,2"},
        {{"--scale", "0"}, "warning: --scale 0 is corrected to 1: a scale this near zero"},
        {{"--scale", "-5e-8", "--preset", "maya"}, "warning: --scale -5e-8 is corrected to 1"},
        {{"--crop", "1,1,3,2", "--scale", "1e-7"}, ""},
        {{"--preset", "maya"}, ""},
#ifdef MORVALE_GDAL
        {{"--cellsize", "2.5"}, "warning: --cellsize 2.5 replaces the grid's cell size, 1\n"},
#endif
    };
    for (const Correction& correction : corrections) {
        std::vector<std::string> args{(dir / "grid.asc").string(), "-o", out.string(), "--quiet"};
        args.insert(args.end(), correction.args.begin(), correction.args.end());
        SCOPED_TRACE(correction.args.front() + " " + correction.args[1]);
        const ChildRun run = runConverter(args);
        EXPECT_EQ(run.status, 0) << run.out;
        // Quiet, the warning is all there is.
        if (correction.says.empty())
            EXPECT_EQ(run.out, "");
        else
            EXPECT_EQ(run.out.rfind("morvale-convert: warning: ", 0), 0u) << run.out;
        EXPECT_TRUE(contains(run.out, correction.says)) << run.out;
        EXPECT_TRUE(tallyObj(out).endsWithQuads);
    }
    // A tile set corrects its scale once for all tiles.
    fs::create_directory(dir / "set");
    writeFile(dir / "set" / "a.asc", goodGrid);
    writeFile(dir / "set" / "b.asc", "ncols 3\nnrows 2\nxllcorner 3\n" + goodTail.substr(12));
    const ChildRun set = runConverter({(dir / "set").string(), "-q", "--scale", "0"});
    EXPECT_EQ(set.status, 0) << set.out;
    EXPECT_TRUE(contains(set.out, "warning: --scale 0 is corrected to 1")) << set.out;
}

TEST(BadInput, OutputsThatCannotBeCreatedAreLeftAlone) {
    ScratchDir dir;
    writeFile(dir / "grid.asc", goodGrid);
    // The window's text, then the path and the system's reason.
    const auto refusedOutput = [&](const fs::path& out, const BoundUser* user, const std::string& reason) {
        const ChildRun run = runConverter({(dir / "grid.asc").string(), "-o", out.string()}, {}, user);
        EXPECT_EQ(run.status, 4) << run.out;
        EXPECT_TRUE(contains(run.out, "Can't create output file...\n  '" + out.string() + "': " + reason)) << run.out;
        EXPECT_EQ(readFile(dir / "grid.asc"), goodGrid);
    };

    fs::create_directory(dir / "folder.obj");
    writeFile(dir / "folder.obj" / "inside.txt", "x");
    refusedOutput(dir / "folder.obj", nullptr, "Is a directory");
    EXPECT_EQ(readFile(dir / "folder.obj" / "inside.txt"), "x");
    refusedOutput(dir / "missing" / "out.obj", nullptr,
                  "No such file or directory (the folder '" + (dir / "missing").string() + "' does not exist)");
    EXPECT_FALSE(fs::exists(dir / "missing"));

    // Root writes read-only files: the converter runs as a user whom permissions bind.
    const fs::path out = dir / "locked.obj";
    writeFile(out, "keep me");
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(out, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const BoundUser user = boundUser();
    ASSERT_TRUE(user.found) << user.problem;
    refusedOutput(out, &user, "Permission denied");
    EXPECT_EQ(readFile(out), "keep me");
    // A new file in a folder the user cannot write is not left behind by the question.
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read |
                                        fs::perms::group_exec | fs::perms::others_exec);
    refusedOutput(dir / "locked" / "new.obj", &user, "Permission denied");
    EXPECT_TRUE(fs::is_empty(dir / "locked"));
}

// A disk that fills up in the middle of a write (a file-size limit, which
// binds root too, with SIGXFSZ ignored so that the write fails instead of the
// process): every earlier file under the outputs' names stays as it was, no
// temporary file stays, and the message gives the system's reason.
TEST(BadInput, AFullDiskKeepsTheEarlierFilesAndSaysWhy) {
    ScratchDir dir;
    std::string grid = "ncols 120\nnrows 120\n" + goodTail.substr(0, goodTail.find("1 2 3"));
    for (int r = 0; r < 120; ++r)
        for (int c = 0; c < 120; ++c) grid += std::to_string((r * 31 + c * 17) % 1000) + (c == 119 ? "\n" : " ");
    writeFile(dir / "grid.asc", grid);
    writeFile(dir / "east.asc", "ncols 120\nnrows 120\nxllcorner 120" + grid.substr(grid.find("\nyllcorner")));
    const auto limited = [](const std::vector<std::string>& args) {
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 8 << 10;  // the material file fits, no mesh does
        void (*disposition)(int) = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const ChildRun run = runConverter(args);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, disposition);
        return run;
    };
    const struct {
        const char* output;
        std::vector<std::string> extra;
        std::vector<const char*> earlier;  // the files of the output
        const char* named;                 // the file the message names with the reason
    } cases[] = {{"out.obj", {"--texture", "x.png"}, {"out.obj", "out.mtl"}, "out.obj"},
                 {"out.glb", {}, {"out.glb"}, "out.glb"},
                 {"out.gltf", {"--normals"}, {"out.gltf", "out.bin"}, "out.gltf"},
                 {"out.stl", {}, {"out.stl"}, "out.stl"},
                 {"tiles", {(dir / "east.asc").string()}, {"tiles/grid.obj", "tiles/east.obj"}, "tiles/grid.obj"},
                 {"set.seams", {(dir / "east.asc").string()}, {"set.seams"}, "set.seams"}};
    fs::create_directory(dir / "tiles");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        for (const char* name : c.earlier) writeFile(dir / name, "earlier");
        const fs::path out = dir / c.output;
        const bool seams = out.extension() == ".seams";  // a tile set's index, with the tile east of it
        std::vector<std::string> args{(dir / "grid.asc").string(), "-q", seams ? "--write-seams" : "-o", out.string()};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const ChildRun run = limited(args);
        EXPECT_EQ(run.status, 4) << run.out;
        const std::string named = (dir / c.named).string();
        EXPECT_TRUE(contains(run.out, seams
                                          ? "seam index '" + named + "' could not be written completely: File too large"
                                          : "Can't write output file...\n  '" + named + "': File too large"))
            << run.out;
        for (const char* name : c.earlier) EXPECT_EQ(readFile(dir / name), "earlier") << name;
        for (const char* name : c.earlier) fs::remove(dir / name);
        std::size_t files = 0;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.path()))
            files += entry.is_regular_file();
        EXPECT_EQ(files, 2u);  // the grids
    }
    // Without the limit the same run completes; a link is written through, and stays.
    writeFile(dir / "target.obj", "earlier");
    fs::create_symlink("target.obj", dir / "link.obj");
    const ChildRun run = runConverter({(dir / "grid.asc").string(), "-o", (dir / "link.obj").string(), "-q"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(fs::is_symlink(dir / "link.obj"));
    EXPECT_TRUE(tallyObj(dir / "target.obj").endsWithQuads);
}

TEST(BadInput, ASolidBaseNotBelowTheSurfaceIsRefusedAndNothingStays) {
    // The lowest vertex of the interpolated surface of goodGrid is its corner cell, 1.
    ScratchDir dir;
    writeFile(dir / "grid.asc", goodGrid);
    for (const char* out : {"solid.obj", "solid.stl", "solid.glb", "solid.gltf"}) {
        for (const char* base : {"1", "7"}) {
            SCOPED_TRACE(std::string(out) + " at " + base);
            std::vector<std::string> args{(dir / "grid.asc").string(), "-o", (dir / out).string(), "--solid", base};
            // A textured OBJ also writes its material file.
            if (fs::path(out).extension() == ".obj") args.insert(args.end(), {"--texture", "x.png"});
            // An earlier conversion under the output's name stays as it was.
            writeFile(dir / out, "earlier");
            const ChildRun run = runConverter(args);
            EXPECT_EQ(run.status, 2) << run.out;
            EXPECT_TRUE(contains(run.out, "lowest elevation of the surface, 1:")) << run.out;
            EXPECT_EQ(readFile(dir / out), "earlier");
            fs::remove(dir / out);
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
        }
    }
    const ChildRun below =
        runConverter({(dir / "grid.asc").string(), "-o", (dir / "ok.obj").string(), "--solid", "0.99", "--quiet"});
    EXPECT_EQ(below.status, 0) << below.out;
}

TEST(BadInput, ASolidOfAWindowWithoutDataIsRefusedAndNothingStays) {
    ScratchDir dir;
    writeFile(dir / "grid.asc",
              "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9\n-9 -9\n-9 5\n");
    for (const char* out : {"empty.stl", "empty.3mf", "empty.obj"})
        for (const char* base : {"--solid", "--solid=1", "--base-thickness=2"}) {
            SCOPED_TRACE(std::string(out) + " " + base);
            const ChildRun run =
                runConverter({(dir / "grid.asc").string(), "--crop", "1,1,2,1", base, "-o", (dir / out).string()});
            EXPECT_EQ(run.status, 2) << run.out;
            EXPECT_TRUE(contains(run.out, "the crop window holds no data cell")) << run.out;
            EXPECT_FALSE(fs::exists(dir / out));
        }
}

TEST(BadInput, GridsInDegreesConvertWithAWarningThatSaysHowToGetMetres) {
    ScratchDir dir;
    const char* warning = "looks like a grid in degrees";
    // A real SRTM snippet at 1 arc-second, west of 104 degrees west: UTM zone 13 north.
    const ChildRun srtm = runConverter({sharedGrid("landlab_west_bijou_escarpment_snippet.asc").string(), "-o",
                                        (dir / "srtm.obj").string(), "--quiet"});
    EXPECT_EQ(srtm.status, 0) << srtm.out;
    EXPECT_TRUE(contains(srtm.out, warning)) << srtm.out;
    EXPECT_TRUE(contains(srtm.out, "gdalwarp -s_srs EPSG:4326 -t_srs EPSG:32613 ")) << srtm.out;
    EXPECT_TRUE(contains(srtm.out, "gdal_translate -of AAIGrid ")) << srtm.out;

    // By the .prj beside the grid, whatever its numbers; a projected one names a geographic one inside.
    writeFile(dir / "grid.asc", goodGrid);
    const auto warned = [&](const std::string& prj) {
        if (!prj.empty()) writeFile(dir / "grid.prj", prj);
        const ChildRun run = runConverter({(dir / "grid.asc").string(), "--quiet"});
        EXPECT_EQ(run.status, 0) << run.out;
        return contains(run.out, warning);
    };
    EXPECT_FALSE(warned(""));
    EXPECT_TRUE(warned("  GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\"]]"));
    EXPECT_FALSE(warned("PROJCS[\"WGS_1984_UTM_Zone_32N\",GEOGCS[\"GCS_WGS_1984\"]]"));
    EXPECT_FALSE(warned("Projection UTM"));
}

// An output named like another format than --format's is refused; a name
// like no format's is OBJ, and the run says so.
TEST(BadInput, OutputNamesThatContradictTheFormatAreRefused) {
    ScratchDir dir;
    writeFile(dir / "grid.asc", goodGrid);
    for (const auto& [format, name] :
         {std::pair{"stl", "x.obj"}, {"obj", "x.GLB"}, {"glb", "x.gltf"}, {"gltf", "x.stl"}}) {
        const ChildRun run =
            runConverter({(dir / "grid.asc").string(), "--format", format, "-o", (dir / name).string()});
        EXPECT_EQ(run.status, 2) << run.out;
        EXPECT_TRUE(contains(run.out, std::string("--format ") + format) && contains(run.out, name)) << run.out;
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    }
    const ChildRun text = runConverter({(dir / "grid.asc").string(), "-q", "-o", (dir / "x.txt").string()});
    EXPECT_EQ(text.status, 0) << text.out;
    EXPECT_TRUE(contains(text.out, "writing OBJ") && contains(text.out, "--format")) << text.out;
    EXPECT_EQ(tallyObj(dir / "x.txt").vertexLines, 12);
    const ChildRun named =
        runConverter({(dir / "grid.asc").string(), "-q", "--format", "stl", "-o", (dir / "x.dat").string()});
    EXPECT_EQ(named.status, 0) << named.out;
    EXPECT_EQ(named.out, "");
}

// A --texture image is checked before anything is written: a glTF, which
// embeds it, refuses one it cannot embed; an OBJ's material names it anyway
// and the warning says so.
TEST(BadInput, TextureImagesAreCheckedBeforeAnythingIsWritten) {
    ScratchDir dir;
    writeFile(dir / "grid.asc", goodGrid);
    const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x02\0\0\0\x03", 24) + "rest";
    const std::string jpegStart("\xFF\xD8\xFF\xE0\0\x04xx", 8);  // SOI, a 4-byte APP0
    writeFile(dir / "good.png", png);
    writeFile(dir / "good.jpg", jpegStart + std::string("\xFF\xC0\0\x0b\x08\0\x02\0\x03\x01\x01\x11\0", 13));
    writeFile(dir / "text.png", "a picture, honestly");
    writeFile(dir / "cut.png", png.substr(0, 12));
    writeFile(dir / "nosize.png", png.substr(0, 16) + std::string(8, '\0'));
    writeFile(dir / "noframe.jpg", jpegStart + std::string("\xFF\xDA\0\x02", 4));  // the scan before a frame
    fs::create_directory(dir / "folder.png");
    const struct {
        const char* image;
        const char* reason;
    } bad[] = {{"gone.png", "missing"},   {"text.png", "not a PNG or JPEG"}, {"cut.png", "corrupt"},
               {"nosize.png", "corrupt"}, {"noframe.jpg", "corrupt"},        {"folder.png", "folder"}};
    for (const auto& c : bad) {
        for (const char* format : {"glb", "gltf"}) {
            SCOPED_TRACE(std::string(c.image) + " " + format);
            const fs::path out = dir / (std::string("t.") + format);
            const ChildRun run =
                runConverter({(dir / "grid.asc").string(), "--texture", (dir / c.image).string(), "-o", out.string()});
            EXPECT_EQ(run.status, 2) << run.out;
            EXPECT_TRUE(contains(run.out, c.image) && contains(run.out, c.reason)) << run.out;
            EXPECT_FALSE(fs::exists(out) || fs::exists(dir / "t.bin"));
        }
        const ChildRun obj = runConverter(
            {(dir / "grid.asc").string(), "-q", "--texture", (dir / c.image).string(), "-o", (dir / "t.obj").string()});
        EXPECT_EQ(obj.status, 0) << obj.out;
        EXPECT_TRUE(contains(obj.out, c.image) && contains(obj.out, "the material refers to it anyway")) << obj.out;
        EXPECT_TRUE(contains(readFile(dir / "t.mtl"), c.image)) << c.image;
    }
    for (const char* image : {"good.png", "good.jpg"}) {
        const ChildRun run = runConverter({(dir / "grid.asc").string(), "-q", "--texture", (dir / image).string(), "-o",
                                           (dir / "good.glb").string()});
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(run.out, "") << image;
    }
}

TEST(BadInput, AnInputWithoutReadPermissionIsRefused) {
    // Run as a user whom permissions bind (nobody for root), in a folder it
    // reaches and writes: the readable file beside shows that only the permission refuses.
    ScratchDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    writeFile(dir / "open.asc", goodGrid);
    writeFile(dir / "secret.asc", goodGrid);
    fs::permissions(dir / "secret.asc", fs::perms::owner_write);
    const BoundUser user = boundUser();
    ASSERT_TRUE(user.found) << user.problem;
    const ChildRun readable = runConverter({(dir / "open.asc").string(), "-q"}, {}, &user);
    ASSERT_EQ(readable.status, 0) << readable.out;
    const ChildRun run = runConverter({(dir / "secret.asc").string()}, {}, &user);
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(contains(run.out, "cannot open")) << run.out;
    EXPECT_FALSE(fs::exists(dir / "secret.obj"));
}

namespace {

// Sends Ctrl-C's signal once the progress bar shows `percent` in the stage `stage`.
TerminalWatcher interruptAt(const std::string& stage, int percent, bool& sent) {
    char shown[128];
    std::snprintf(shown, sizeof shown, "%3d%%  %s", percent, stage.c_str());
    const std::string wanted = shown;
    return [wanted, &sent](const std::string& terminal, pid_t child) {
        if (!sent && contains(terminal, wanted)) {
            kill(child, SIGINT);
            sent = true;
        }
    };
}

struct Interrupted {
    ChildRun run;
    ObjTally obj;
};

Interrupted interrupt(const fs::path& grid, const fs::path& out, std::vector<std::string> args,
                      const std::string& stage, int percent) {
    bool sent = false;
    args.insert(args.begin(), {grid.string(), "-o", out.string()});
    Interrupted result;
    result.run = runConverter(args, interruptAt(stage, percent, sent));
    EXPECT_TRUE(sent) << "the stage was never shown: " << result.run.terminal.substr(0, 2000);
    result.obj = tallyObj(out);
    // On a busy machine the signal may arrive a stage later, or after the end;
    // wherever it lands the file keeps its closing sections and true counts.
    // (Which lines each stage leaves is pinned by the builders' own tests.)
    EXPECT_TRUE(result.run.status == 130 || result.run.status == 0) << result.run.out;
    if (result.run.status == 130) {
        EXPECT_TRUE(contains(result.run.out, "---CANCELLED---")) << result.run.out;
    }
    std::printf("[ Ctrl-C at %d%% of %s ] exit %d, %lld vertex lines, %lld faces, %lld quads, %.2f s\n", percent,
                stage.c_str(), result.run.status, result.obj.vertexLines, result.obj.faceLines, result.obj.quadComment,
                result.run.seconds);
    EXPECT_TRUE(result.obj.endsWithQuads);
    EXPECT_EQ(result.obj.vertexComment, result.obj.vertexLines);
    fs::remove(out);
    // The cancelled file was put in place: no temporary one stays beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(out.parent_path()), fs::directory_iterator()), 1);
    return result;
}

}  // namespace

TEST(BadInput, CtrlCInEveryStageKeepsTheClosingSections) {
    ScratchDir dir;
    const fs::path grid = dir / "big.asc";
    const int side = 4000;
    {
        std::FILE* file = std::fopen(grid.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fprintf(file, "ncols %d\nnrows %d\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n", side,
                     side);
        std::string row;
        for (int j = 0; j < side; ++j) row += j % 7 == 3 ? "-9999 " : "1 ";
        row.back() = '\n';
        for (int i = 0; i < side; ++i) ASSERT_EQ(std::fwrite(row.data(), 1, row.size(), file), row.size());
        ASSERT_EQ(std::fclose(file), 0);
    }
    const auto size = fs::file_size(grid);
    const fs::path out = dir / "big.obj";

    {
        SCOPED_TRACE("interpolated, reading");
        interrupt(grid, out, {}, "Getting elevation data from input file...", 10);
    }
    {
        SCOPED_TRACE("interpolated, meshing");
        interrupt(grid, out, {}, "Calculating vertices and quads...", 5);
    }
    {
        SCOPED_TRACE("interpolated, writing");
        const Interrupted r = interrupt(grid, out, {"--crop", "1,1,4000,1000"}, "Creating output *.OBJ file...", 10);
        EXPECT_GT(r.obj.vertexLines, 0);
        EXPECT_EQ(r.obj.faceLines, r.obj.quadComment);
    }
    const std::vector<std::string> planes{"--mode", "floating-planes", "--crop", "1,1,4000,300"};
    {
        SCOPED_TRACE("floating planes, reading and vertices");
        const Interrupted r =
            interrupt(grid, out, planes, "Getting elevation data from input file and outputting the vertices...", 10);
        EXPECT_EQ(r.obj.vertexLines, 4 * r.obj.quadComment);
    }
    {
        SCOPED_TRACE("floating planes, faces");
        const Interrupted r = interrupt(grid, out, planes, "Creating output *.OBJ file...", 10);
        EXPECT_EQ(r.obj.vertexLines, 4 * r.obj.quadComment);
    }
    EXPECT_EQ(fs::file_size(grid), size);
}

// A tile's task killed in the middle (as a scheduler ends one) leaves no
// file under the tile's name, and running that task again completes the set
// as one process converts it (but the time line).
TEST(BadInput, AKilledTileTaskLeavesNoFileAndARerunCompletesTheSet) {
    ScratchDir dir;
    const int ncols = 800, nrows = 500;
    for (const int tile : {0, 1}) {
        std::string text = "ncols " + std::to_string(ncols) + "\nnrows " + std::to_string(nrows) + "\nxllcorner " +
                           std::to_string(tile * ncols) + "\nyllcorner 0\ncellsize 1\n";
        for (int r = 0; r < nrows; ++r)
            for (int c = 0; c < ncols; ++c)
                text += std::to_string((r * 7 + c * 3 + tile) % 89) + (c + 1 == ncols ? "\n" : " ");
        writeFile(dir / (tile == 0 ? "a.asc" : "b.asc"), text);
    }
    const std::string a = (dir / "a.asc").string(), b = (dir / "b.asc").string(), seams = (dir / "set.seams").string();
    ASSERT_EQ(runConverter({a, b, "-o", (dir / "whole").string(), "-q"}).status, 0);
    ASSERT_EQ(runConverter({a, b, "--write-seams", seams, "-q"}).status, 0);
    const std::vector<std::string> taskA{a, "--seams", seams, "-o", (dir / "tasks").string()};
    ASSERT_EQ(runConverter({b, "--seams", seams, "-o", (dir / "tasks").string(), "-q"}).status, 0);
    // Killed once the tile's mesh has begun to reach the disk.
    const fs::path tasks = dir / "tasks";
    const auto writing = [&tasks] {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(tasks, error))
            if (entry.path().filename().string().starts_with("a.obj") && entry.file_size(error) > 0) return true;
        return false;
    };
    bool sent = false;
    const ChildRun killed = runConverter(taskA, [&](const std::string& shown, pid_t child) {
        if (sent || !contains(shown, "converting")) return;
        for (int wait = 0; wait < 10000 && !writing(); ++wait) usleep(1000);
        sent = kill(child, SIGKILL) == 0;
    });
    ASSERT_TRUE(sent) << killed.terminal;
    EXPECT_EQ(killed.status, -1) << "the task ended before the kill";
    EXPECT_FALSE(fs::exists(dir / "tasks" / "a.obj"));
    ASSERT_EQ(runConverter(taskA).status, 0);
    const auto withoutTime = [](std::string text) {
        std::size_t start = 0;
        for (int line = 1; line < 4; ++line) start = text.find('\n', start) + 1;
        return text.erase(start, text.find('\n', start) - start);
    };
    for (const char* tile : {"a.obj", "b.obj"})
        EXPECT_EQ(withoutTime(readFile(dir / "tasks" / tile)), withoutTime(readFile(dir / "whole" / tile))) << tile;
}

// --tile-size and --tile: a usage error naming the value, or a note when the
// tile is larger than the grid; nothing written on a refusal.
TEST(BadInput, TileSizesAndTilesThatCannotCutTheGridAreRefused) {
    ScratchDir dir;
    writeFile(dir / "grid.asc", goodGrid);
    writeFile(dir / "more.asc", goodGrid);
    const std::string grid = (dir / "grid.asc").string();
    const fs::path out = dir / "tiles";
    const struct {
        std::vector<std::string> args;
        const char* says;
    } refused[] = {
        {{grid, "--tile-size", "0"}, "--tile-size takes numbers from 1, not '0'"},
        {{grid, "--tile-size", "-3"}, "--tile-size takes numbers from 1, not '-3'"},
        {{grid, "--tile-size", "2x0"}, "--tile-size takes numbers from 1, not '2x0'"},
        {{grid, "--tile-size", "2y"}, "--tile-size: '2y' is not a number"},
        {{grid, "--tile", "1,1"}, "--tile names a tile of --tile-size: give both"},
        {{grid, "--tile-size", "2", "--tile", "1"}, "--tile takes two numbers, R,C, not '1'"},
        {{grid, "--tile-size", "2", "--tile", "1,3"}, "--tile 1,3 lies outside the set of 1 rows and 2 columns"},
        {{grid, (dir / "more.asc").string(), "--tile-size", "2"}, "several inputs are a tile set already"},
        {{dir.path().string(), "--tile-size", "2"}, "several inputs are a tile set already"},
        {{grid, "--tile-size", "2", "--crop", "1,1,2,2"}, "--crop cannot be used with --tile-size"},
        {{grid, "--tile-size", "2", "--center-z"}, "--center-z cannot be used with --tile-size"},
        {{grid, "--tile-size", "2", "--solid"}, "--solid cannot be used with --tile-size"},
        {{grid, "--tile-size", "2", "--max-triangles", "9"}, "--max-triangles cannot be used with --tile-size"},
        {{grid, "--tile-size", "2", "--write-seams", "x.seams"}, "--tile-size needs no seam index"},
        {{grid, "--tile-size", "2", "--size", "100"}, "--size cannot be used with --tile-size"},
        {{grid, "--tile-size", "2", "--format", "3mf"}, "holds a closed solid, which tiles do not make"},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.says);
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"-o", out.string()});
        const ChildRun run = runConverter(args);
        EXPECT_EQ(run.status, 2) << run.out;
        EXPECT_TRUE(contains(run.out, row.says)) << run.out;
        EXPECT_FALSE(fs::exists(out));
    }
    const ChildRun meshName = runConverter({grid, "--tile-size", "2", "-o", (dir / "t.obj").string()});
    EXPECT_EQ(meshName.status, 2) << meshName.out;
    EXPECT_FALSE(fs::exists(dir / "t.obj"));
    const ChildRun large = runConverter({grid, "--tile-size", "7x9", "-o", out.string(), "-q"});
    EXPECT_EQ(large.status, 0) << large.out;
    EXPECT_TRUE(contains(large.out, "note: --tile-size 7x9 is larger than the grid's 3 x 2 cells")) << large.out;
    EXPECT_TRUE(fs::exists(out / "grid_r1_c1.obj"));
}

// Seam pieces that are not of one set, and a tile whose neighbour has no
// piece: exit 3 with the reason, nothing written.
TEST(BadInput, SeamPiecesOfAnotherSetOrWithANeighbourMissingAreRefused) {
    ScratchDir dir;
    const std::string tail = "cellsize 1\nNODATA_value -9999\n1 2\n3 4\n";
    writeFile(dir / "a.asc", "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\n" + tail);
    writeFile(dir / "b.asc", "ncols 2\nnrows 2\nxllcorner 2\nyllcorner 0\n" + tail);
    fs::create_directory(dir / "other");
    writeFile(dir / "other" / "half.asc", "ncols 2\nnrows 2\nxllcorner 0.5\nyllcorner 0\n" + tail);
    writeFile(dir / "other" / "big.asc", "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 2\n1 2\n3 4\n");
    for (const char* grid : {"a", "other/half", "other/big"})
        ASSERT_EQ(runConverter({(dir / (std::string(grid) + ".asc")).string(), "--write-seams",
                                (dir / (std::string(grid) + ".seams")).string()})
                      .status,
                  0);
    const fs::path out = dir / "out";
    const struct {
        const char* piece;
        const char* says;
    } refused[] = {
        {"other/half.seams", "half.seams' lie on different lattices: they are not pieces of one set"},
        {"other/big.seams", "have different cell sizes: they are not pieces of one set"},
        {nullptr, "b.asc' is in no seam index given; write its piece with --write-seams"},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.says);
        std::vector<std::string> args{(dir / "a.asc").string(), "--seams", (dir / "a.seams").string(), "-o",
                                      out.string()};
        if (row.piece) args.insert(args.end(), {"--seams", (dir / row.piece).string()});
        const ChildRun run = runConverter(args);
        EXPECT_EQ(run.status, 3) << run.out;
        EXPECT_TRUE(contains(run.out, row.says)) << run.out;
        EXPECT_FALSE(fs::exists(out / "a.obj"));
    }
    fs::remove(dir / "b.asc");  // a hole, not a missing piece
    EXPECT_EQ(
        runConverter({(dir / "a.asc").string(), "--seams", (dir / "a.seams").string(), "-o", out.string()}).status, 0);
}

#ifdef MORVALE_GDAL
TEST(BadInput, RastersGdalCannotConvertAreRefusedWithItsReason) {
    ScratchDir dir;
    const auto gdal = [](const std::string& command) {
        const ToolRun run = runTool(command);
        ASSERT_EQ(run.status, 0) << command << "\n" << run.output;
    };
    // Exit 3, one error line naming the file and the reason, nothing written.
    const auto refused = [&](const fs::path& input, std::vector<std::string> extra, const std::string& reason) {
        SCOPED_TRACE(input.filename().string() + ": " + reason);
        const fs::path out = dir / "refused.obj";
        std::vector<std::string> args{input.string(), "-o", out.string(), "-q"};
        args.insert(args.end(), extra.begin(), extra.end());
        const ChildRun run = runConverter(args);
        EXPECT_EQ(run.status, 3) << run.out;
        EXPECT_TRUE(contains(run.out, "morvale-convert: '" + input.string() + "'")) << run.out;
        EXPECT_TRUE(contains(run.out, reason)) << run.out;
        EXPECT_FALSE(fs::exists(out));
    };
    const fs::path grid = sharedGrid("landlab_Square_TestBasin.asc");
    const fs::path strips = dir / "strips.tif", tiles = dir / "tiles.tif";
    gdal("gdal_translate -q -oo DATATYPE=Float64 " + quoted(grid) + " " + quoted(strips));
    gdal("gdal_translate -q -co COMPRESS=DEFLATE -co TILED=YES -co BLOCKXSIZE=64 -co BLOCKYSIZE=64 " + quoted(strips) +
         " " + quoted(tiles));

    // Cut in its header, its directory, its first block, halfway and at its last byte.
    for (const fs::path& whole : {strips, tiles}) {
        const std::string bytes = readFile(whole);
        for (const std::size_t cut :
             {std::size_t{8}, std::size_t{200}, std::size_t{1000}, bytes.size() / 2, bytes.size() - 1}) {
            const fs::path part = dir / ("cut-" + std::to_string(cut) + ".tif");
            writeFile(part, bytes.substr(0, cut));
            refused(part, {}, cut == 8 ? "GDAL cannot read it: " : "GDAL could not read it: ");
        }
        // Failing midway, a run keeps the file an earlier one left under the output's name.
        const fs::path earlier = dir / "earlier.obj", part = dir / "halfway.tif";
        writeFile(earlier, "an earlier mesh\n");
        writeFile(part, bytes.substr(0, bytes.size() / 2));
        EXPECT_EQ(runConverter({part.string(), "-o", earlier.string(), "-q"}).status, 3);
        EXPECT_EQ(readFile(earlier), "an earlier mesh\n");
    }
    // So does a tile of a set: its neighbour is converted, it is not, and GDAL's reason is said.
    fs::create_directories(dir / "set");
    gdal("gdal_translate -q -srcwin 0 0 20 40 " + quoted(strips) + " " + quoted(dir / "set" / "west.tif"));
    gdal("gdal_translate -q -srcwin 20 0 20 40 " + quoted(strips) + " " + quoted(dir / "set" / "east.tif"));
    fs::resize_file(dir / "set" / "east.tif", fs::file_size(dir / "set" / "east.tif") * 2 / 3);
    const ChildRun setRun = runConverter({(dir / "set").string(), "-o", (dir / "set-out").string(), "-q"});
    EXPECT_EQ(setRun.status, 3) << setRun.out;
    EXPECT_TRUE(contains(setRun.out, "east.tif': GDAL could not read it: ")) << setRun.out;
    EXPECT_TRUE(fs::exists(dir / "set-out" / "west.obj"));
    EXPECT_FALSE(fs::exists(dir / "set-out" / "east.obj"));
    // A raster GDAL reads that is no grid, and bands that are not there or hold no elevations.
    gdal("gdal_translate -q -ot CInt16 " + quoted(strips) + " " + quoted(dir / "complex.tif"));
    gdal("gdal_translate -q -a_ullr 0 100 200 0 " + quoted(strips) + " " + quoted(dir / "oblong.tif"));
    writeFile(dir / "rotated.vrt",
              "<VRTDataset rasterXSize=\"200\" rasterYSize=\"200\"><GeoTransform>0, 30, 5, 6000, 5, -30"
              "</GeoTransform><VRTRasterBand dataType=\"Float64\" band=\"1\"><SimpleSource><SourceFilename "
              "relativeToVRT=\"1\">strips.tif</SourceFilename><SourceBand>1</SourceBand></SimpleSource>"
              "</VRTRasterBand></VRTDataset>\n");
    writeFile(dir / "empty.vrt", "<VRTDataset rasterXSize=\"0\" rasterYSize=\"0\"></VRTDataset>\n");
    refused(strips, {"--band", "2"}, "has 1 band: --band 2 is out of range");
    refused(dir / "complex.tif", {}, "band 1 holds CInt16 values, not elevations");
    refused(dir / "oblong.tif", {}, "has cells of 1 by 0.5, not square; resample them square first");
    refused(dir / "rotated.vrt", {}, "is rotated or sheared (geotransform terms 5 and 5); warp it north-up first");
    refused(dir / "empty.vrt", {}, "");
    // Ctrl-C while a raster is read: its progress steps, and the file keeps its closing sections.
    fs::create_directory(dir / "large");
    gdal("gdalwarp -q -ts 2000 2000 " + quoted(strips) + " " + quoted(dir / "large" / "large.tif"));
    interrupt(dir / "large" / "large.tif", dir / "large" / "large.obj", {}, "Getting elevation data from input file...",
              10);
    // Options of one raster are refused for a tile set, whose tiles are read as they are.
    const ChildRun set = runConverter({strips.string(), tiles.string(), "--keep-crs"});
    EXPECT_EQ(set.status, 2) << set.out;
    EXPECT_TRUE(contains(set.out, "--band, --keep-crs and --cellsize apply to one input")) << set.out;
}
#else
TEST(BadInput, ABuildWithoutGdalSaysItReadsOnlyEsriAsciiGrids) {
    ScratchDir dir;
    writeFile(dir / "dem.txt", "not a grid\n");
    const ChildRun run = runConverter({(dir / "dem.txt").string()});
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_TRUE(contains(run.out, "this build reads only Esri ASCII grids")) << run.out;
    EXPECT_EQ(runConverter({(dir / "dem.txt").string(), "--band", "2"}).status, 2);
}
#endif
