#include <gtest/gtest.h>

#include "app/grid_names.h"

using namespace morvale;

TEST(GridNames, OutputSitsBesideTheInputWithObjExtension) {
    const std::filesystem::path folder = std::filesystem::path("data") / "";
    GridNames names = deriveGridNames(folder / "dem.asc");
    EXPECT_EQ(names.fileNameText, L"dem.asc");
    EXPECT_EQ(names.inputNameNarrow, "dem.asc");
    EXPECT_EQ(names.objectNameNarrow, "dem");
    EXPECT_EQ(names.outputPath, folder / "dem.obj");
    EXPECT_EQ(names.outputFolderText, folder.wstring());
    EXPECT_EQ(names.outputNameText, L"dem.obj");

    EXPECT_EQ(deriveGridNames("a.b.asc").outputNameText, L"a.b.obj");
    names = deriveGridNames("terrain");
    EXPECT_EQ(names.outputNameText, L"terrain.obj");
    EXPECT_EQ(names.outputFolderText, L"");
    EXPECT_EQ(names.outputPath, std::filesystem::path("terrain.obj"));
}

TEST(GridNames, LongAndNonLatinNamesSurviveWhole) {
    const std::string longBase(150, 'x');
    GridNames names = deriveGridNames(std::filesystem::path("deep") / (longBase + ".asc"));
    EXPECT_EQ(names.inputNameNarrow, longBase + ".asc");
    EXPECT_EQ(names.objectNameNarrow, std::string(127, 'x'));
    EXPECT_EQ(names.outputNameText, std::wstring(150, L'x') + L".obj");

    const std::u8string greek = u8"\u03b3\u03b7.asc";  // "γη.asc"
    names = deriveGridNames(std::filesystem::path(greek));
    EXPECT_EQ(names.inputNameNarrow, std::string(greek.begin(), greek.end()));
    EXPECT_EQ(names.fileNameText, L"\u03b3\u03b7.asc");
}

TEST(GridNames, Utf8IsCutOnlyBetweenCharacters) {
    const std::string text = "ab\xce\xb3\xce\xb7";  // a, b, two two-byte characters
    EXPECT_EQ(cutUtf8(text, 6), text);
    EXPECT_EQ(cutUtf8(text, 5), "ab\xce\xb3");
    EXPECT_EQ(cutUtf8(text, 3), "ab");
    EXPECT_EQ(cutUtf8(text, 0), "");
}

TEST(GridNames, ChosenOutputPathSplitsIntoFolderAndName) {
    const OutputPathTexts texts = splitOutputPath(std::filesystem::path("maps") / "terrain.obj");
    EXPECT_EQ(texts.folderText, (std::filesystem::path("maps") / "").wstring());
    EXPECT_EQ(texts.nameText, L"terrain.obj");
}
