#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "test_support.h"
#include "tool_run.h"

using namespace testing_support;

namespace {

// Runs morvale-convert with the given arguments (already quoted for the shell).
ToolRun runCli(const std::string& args) { return runTool(std::string("'") + MORVALE_CLI_PATH + "' " + args); }

const char* smallGrid = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3\n4 5 6\n";

bool endsWithQuads(const std::string& obj) { return obj.size() >= 6 && obj.compare(obj.size() - 6, 6, " quads") == 0; }

}  // namespace

TEST(Cli, UsageErrorsAndHelp) {
    EXPECT_EQ(runCli("").status, 2);
    EXPECT_EQ(runCli("--bogus x.asc").status, 2);
    EXPECT_EQ(runCli("x.asc --mode spiky").status, 2);
    EXPECT_EQ(runCli("x.asc --crop 1,2,3").status, 2);
    EXPECT_EQ(runCli("x.asc --preset Houdini").status, 2);
    EXPECT_EQ(runCli("x.asc -o").status, 2);
    EXPECT_EQ(runCli("x.asc --offsets=yes").status, 2);
    EXPECT_EQ(runCli("x.asc --uv-extent crop").status, 2);
    // A mistake is told in one line and a pointer to the help, not the whole help.
    EXPECT_EQ(runCli("x.asc --mode").output,
              "morvale-convert: option --mode needs a value\nTry 'morvale-convert --help'\n");
    const ToolRun help = runCli("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* part : {"--mode", "Output formats:", "  glb ", "Exit status:", "  130 "})
        EXPECT_NE(help.output.find(part), std::string::npos) << part;
    std::istringstream lines(help.output);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
}

TEST(Cli, VersionIsTheOneWrittenIntoTheMesh) {
    ScratchDir dir;
    writeFile(dir / "small.asc", smallGrid);
    ASSERT_EQ(runCli(quoted(dir / "small.asc") + " --quiet --mode=floating-planes").status, 0);
    const std::string obj = readFile(dir / "small.obj");
    const std::string version = obj.substr(obj.find("(v") + 2, obj.find(')') - obj.find("(v") - 2);
    const ToolRun run = runCli("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output.rfind("morvale-convert " + version + ".", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("\nbuilt with "), std::string::npos) << run.output;
}

TEST(Cli, ConvertsWithCorrectedSettingsAndReportsTheSummary) {
    ScratchDir dir;
    writeFile(dir / "small.asc", smallGrid);
    const ToolRun run = runCli(quoted(dir / "small.asc") + " --mode floating-planes --crop 0,1,99,2 --preset maya");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("crop window:  x 1..3, y 1..2"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("unit scale:   100"), std::string::npos);
    EXPECT_NE(run.output.find("Converting done..."), std::string::npos);
    EXPECT_NE(run.output.find("Records status:  6 / 6  (OK)"), std::string::npos);
    const std::string obj = readFile(dir / "small.obj");
    EXPECT_NE(obj.find("o small\r\ng small\r\n"), std::string::npos);
    EXPECT_TRUE(endsWithQuads(obj));
}

TEST(Cli, ExitStatusTellsWhatWentWrong) {
    ScratchDir dir;
    EXPECT_EQ(runCli(quoted(dir / "missing.asc")).status, 3);
    writeFile(dir / "bad.asc", "ncols ten\nnrows 2\n");
    EXPECT_EQ(runCli(quoted(dir / "bad.asc")).status, 3);
    writeFile(dir / "short.asc", "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n4\n");
    const ToolRun shortRun = runCli(quoted(dir / "short.asc"));
    EXPECT_EQ(shortRun.status, 1);
    EXPECT_NE(shortRun.output.find("(ERROR)"), std::string::npos);
    // Quiet, a failed check still leaves one line naming the file and both checks.
    const ToolRun quietShort = runCli(quoted(dir / "short.asc") + " --quiet");
    EXPECT_EQ(quietShort.status, 1);
    EXPECT_EQ(quietShort.output, "morvale-convert: '" + (dir / "short.asc").string() +
                                     "': a check failed: rows 1 of 2 read (ERROR), records 4 of 6 read (ERROR)\n");
    writeFile(dir / "flat.asc", "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 0\n1 2 3\n4 5 6\n");
    const ToolRun flat = runCli(quoted(dir / "flat.asc"));
    EXPECT_EQ(flat.status, 3);
    EXPECT_NE(flat.output.find("Cell size must be greater than zero..."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "flat.obj"));

    writeFile(dir / "good.asc", smallGrid);
    EXPECT_EQ(runCli(quoted(dir / "good.asc") + " -o " + quoted(dir / "no" / "such" / "x.obj")).status, 4);
    if (std::filesystem::exists("/dev/full")) {
        const ToolRun full = runCli(quoted(dir / "good.asc") + " -o /dev/full");
        EXPECT_EQ(full.status, 4);
        EXPECT_NE(full.output.find("Can't write output file..."), std::string::npos);
    }
}

TEST(Cli, RefusesToOverwriteItsInputEvenThroughALink) {
    ScratchDir dir;
    writeFile(dir / "grid.asc", smallGrid);
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::create_symlink(dir / "grid.asc", dir / "link.obj");
    for (const std::string& output :
         {quoted(dir / "grid.asc"), quoted(dir / "sub" / ".." / "grid.asc"), quoted(dir / "link.obj")}) {
        const ToolRun run = runCli(quoted(dir / "grid.asc") + " -o " + output);
        EXPECT_EQ(run.status, 4) << output;
        EXPECT_NE(run.output.find("Output file is the same as the input file..."), std::string::npos);
        EXPECT_EQ(readFile(dir / "grid.asc"), smallGrid);
    }
}

TEST(Cli, ConvertsEverySharedGridWithAGoodHeaderInBothModes) {
    ScratchDir dir;
    int converted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sharedGrid(""))) {
        if (entry.path().extension() != ".asc") continue;
        for (const char* mode : {"interpolated", "floating-planes"}) {
            const std::filesystem::path out = dir / (entry.path().stem().string() + "-" + mode + ".obj");
            const ToolRun run = runCli(quoted(entry.path()) + " --quiet --mode " + mode + " -o " + quoted(out));
            if (run.status == 3) continue;  // header refused
            EXPECT_TRUE(run.status == 0 || run.status == 1) << entry.path() << " " << run.output;
            EXPECT_TRUE(endsWithQuads(readFile(out))) << out;
            ++converted;
        }
    }
    EXPECT_GE(converted, 20);
}

TEST(Cli, SeveralInputsRefuseACropAndConvertGridsThatCannotJoinAlone) {
    ScratchDir dir;
    writeFile(dir / "a.asc", smallGrid);
    writeFile(dir / "b.asc", "ncols 2\nnrows 2\nxllcorner 3\nyllcorner 0\ncellsize 1\n7 8\n9 10\n");
    const ToolRun crop = runCli(quoted(dir / "a.asc") + " " + quoted(dir / "b.asc") + " --crop 1,1,2,2");
    EXPECT_EQ(crop.status, 2);
    EXPECT_NE(crop.output.find("--crop cannot be used with several inputs"), std::string::npos) << crop.output;
    EXPECT_EQ(runCli(quoted(dir / "a.asc") + " " + quoted(dir / "b.asc") + " -j 0").status, 2);
    EXPECT_EQ(runCli(quoted(dir / "a.asc") + " " + quoted(dir / "b.asc") + " --solid").status, 2);
    EXPECT_EQ(runCli(quoted(dir / "a.asc") + " " + quoted(dir / "b.asc") + " --max-triangles 100").status, 2);
    EXPECT_EQ(runCli(quoted(dir / "a.asc") + " " + quoted(dir / "b.asc") + " --size 100").status, 2);
    EXPECT_EQ(runCli(quoted(dir / "a.asc") + " " + quoted(dir / "b.asc") + " --base-thickness 2").status, 2);

    // a.asc and b.asc meet on one lattice; the index of their borders is written and nothing converted.
    const ToolRun seams = runCli(quoted(dir.path()) + " --write-seams " + quoted(dir / "set.seams"));
    EXPECT_EQ(seams.status, 0) << seams.output;
    EXPECT_EQ(readFile(dir / "set.seams").substr(0, 7), "MVSEAMS");
    EXPECT_FALSE(std::filesystem::exists(dir / "a.obj"));
    // One tile converted alone with the index is the same file as in the whole set's run.
    ASSERT_EQ(runCli(quoted(dir.path()) + " -o " + quoted(dir / "set")).status, 0);
    const ToolRun one =
        runCli(quoted(dir / "a.asc") + " --seams " + quoted(dir / "set.seams") + " -o " + quoted(dir / "one"));
    EXPECT_EQ(one.status, 0) << one.output;
    EXPECT_EQ(withoutClock(readFile(dir / "one" / "a.obj")), withoutClock(readFile(dir / "set" / "a.obj")));
    // With one input, -o ending as a mesh file does names the file (and its format); several refuse it.
    const std::string oneTile = quoted(dir / "a.asc") + " --seams " + quoted(dir / "set.seams") + " -o ";
    ASSERT_EQ(runCli(oneTile + quoted(dir / "one.obj")).status, 0);
    EXPECT_EQ(withoutClock(readFile(dir / "one.obj")), withoutClock(readFile(dir / "set" / "a.obj")));
    ASSERT_EQ(runCli(oneTile + quoted(dir / "one.GLB")).status, 0);
    EXPECT_EQ(readFile(dir / "one.GLB").substr(0, 4), "glTF");
    for (const std::string& inputs : {quoted(dir / "a.asc") + " " + quoted(dir / "b.asc"), quoted(dir.path())}) {
        const ToolRun folder = runCli(inputs + " -o " + quoted(dir / "set.stl"));
        EXPECT_EQ(folder.status, 2);
        EXPECT_NE(folder.output.find("set.stl' names the output folder of several inputs"), std::string::npos)
            << folder.output;
        EXPECT_FALSE(std::filesystem::exists(dir / "set.stl"));
    }
    // A tile edited since the index, or not in it, would meet its neighbours with a step: refused, unless told.
    const std::string tileA = readFile(dir / "a.asc");
    std::filesystem::last_write_time(dir / "a.asc", std::filesystem::last_write_time(dir / "a.asc") +
                                                        std::chrono::seconds(5));  // touched, border unchanged
    EXPECT_EQ(runCli(oneTile + quoted(dir / "one.obj")).status, 0);
    writeFile(dir / "a.asc", tileA.substr(0, tileA.size() - 2) + "9\n");
    const ToolRun edited = runCli(oneTile + quoted(dir / "one.obj"));
    EXPECT_EQ(edited.status, 3);
    EXPECT_NE(edited.output.find("a.asc' changed since the seam index was written"), std::string::npos)
        << edited.output;
    EXPECT_EQ(runCli(oneTile + quoted(dir / "one.obj") + " --seams-stale ok").status, 0);
    writeFile(dir / "a.asc", tileA);
    writeFile(dir / "c.asc", "ncols 1\nnrows 1\nxllcorner 5\nyllcorner 0\ncellsize 1\n7\n");
    const std::string withC =
        quoted(dir / "c.asc") + " --seams " + quoted(dir / "set.seams") + " -o " + quoted(dir.path());
    const ToolRun unlisted = runCli(withC);
    EXPECT_EQ(unlisted.status, 3);
    EXPECT_NE(unlisted.output.find("c.asc' is not in the seam index: write the index again"), std::string::npos)
        << unlisted.output;
    EXPECT_EQ(runCli(withC + " --seams-stale ok").status, 0);
    std::filesystem::remove(dir / "c.asc");
    std::string older = readFile(dir / "set.seams");
    older[8] = 1;
    writeFile(dir / "old.seams", older);
    const ToolRun old = runCli(quoted(dir / "a.asc") + " --seams " + quoted(dir / "old.seams"));
    EXPECT_EQ(old.status, 3);
    EXPECT_NE(old.output.find("write it again with --write-seams"), std::string::npos) << old.output;
    writeFile(dir / "cut.seams", readFile(dir / "set.seams").substr(0, 100));
    const ToolRun cut = runCli(quoted(dir / "a.asc") + " --seams " + quoted(dir / "cut.seams"));
    EXPECT_EQ(cut.status, 3);
    EXPECT_NE(cut.output.find("is damaged"), std::string::npos) << cut.output;

    // Another cell size: no set, each converted alone into the output folder, with a warning naming it.
    writeFile(dir / "b.asc", "ncols 2\nnrows 2\nxllcorner 3\nyllcorner 0\ncellsize 2\n7 8\n9 10\n");
    const ToolRun alone = runCli(quoted(dir.path()) + " -j 2 -o " + quoted(dir / "out"));
    EXPECT_EQ(alone.status, 0) << alone.output;
    EXPECT_NE(alone.output.find("b.asc' shares its lattice with no other input; converted alone"), std::string::npos)
        << alone.output;
    EXPECT_TRUE(endsWithQuads(readFile(dir / "out" / "a.obj")));
    EXPECT_TRUE(endsWithQuads(readFile(dir / "out" / "b.obj")));
}

TEST(Cli, TileSetsTakeTheFormatAndWarnAboutPartlySharedEdgesWhenSimplified) {
    ScratchDir dir;
    writeFile(dir / "a.asc", smallGrid);
    // East of a.asc, beside its second row only.
    writeFile(dir / "c.asc", "ncols 2\nnrows 1\nxllcorner 3\nyllcorner 0\ncellsize 1\n7 8\n");
    const ToolRun run = runCli(quoted(dir.path()) + " --max-error 1 --format glb -o " + quoted(dir / "out"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("'a.asc' and 'c.asc' share only part of an edge"), std::string::npos) << run.output;
    EXPECT_EQ(readFile(dir / "out" / "c.glb").substr(0, 4), "glTF");
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "a.glb"));
    const ToolRun full = runCli(quoted(dir.path()) + " -o " + quoted(dir / "obj"));
    EXPECT_EQ(full.output.find("share only part"), std::string::npos) << full.output;
}

// --tile-size writes one file a tile; --tile converts one alone, reading the
// grid only down to the row below the tile (the rows further down are broken).
TEST(Cli, TileSizeCutsOneGridAndOneTileReadsOnlyDownToItsRing) {
    ScratchDir dir;
    writeFile(dir / "g.asc",
              "ncols 5\nnrows 5\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3 4 5\n6 7 8 9 1\n2 3 4 5 6\n"
              "7 8 9 1 2\n3 4 5 6 7\n");
    const ToolRun all = runCli(quoted(dir / "g.asc") + " --tile-size 3x2 --format glb -o " + quoted(dir / "all"));
    EXPECT_EQ(all.status, 0) << all.output;
    for (const char* name : {"g_r1_c1.glb", "g_r1_c2.glb", "g_r2_c1.glb", "g_r2_c2.glb", "g_r3_c1.glb", "g_r3_c2.glb"})
        EXPECT_EQ(readFile(dir / "all" / name).substr(0, 4), "glTF") << name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "all"), {}), 6);
    std::string broken = readFile(dir / "g.asc");
    broken.replace(broken.find("7 8 9 1 2"), 9, "7 8 9 1 2\nnot numbers at all");
    writeFile(dir / "broken.asc", broken);
    const ToolRun one =
        runCli(quoted(dir / "broken.asc") + " --tile-size 3x2 --tile 1,2 --format glb -o " + quoted(dir / "one"));
    EXPECT_EQ(one.status, 0) << one.output;
    EXPECT_EQ(readFile(dir / "one" / "broken_r1_c2.glb"), readFile(dir / "all" / "g_r1_c2.glb"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "one"), {}), 1);
}
