#include <gtest/gtest.h>

#include "app/correction_question.h"
#include "app/settings_correction.h"
#include "mesh/axis_order.h"

using namespace morvale;

namespace {

SettingsControls cropControls(std::wstring xMin, std::wstring yMin, std::wstring xMax, std::wstring yMax) {
    SettingsControls c;
    c.cropEnabled = true;
    c.cropXMinText = std::move(xMin);
    c.cropYMinText = std::move(yMin);
    c.cropXMaxText = std::move(xMax);
    c.cropYMaxText = std::move(yMax);
    c.presetSelection = 0;
    c.presetText = L"3ds max";
    c.unitScaleText = L"1";
    return c;
}

struct Window {
    std::int32_t xMin, yMin, xMax, yMax;
};

Window windowOf(const CorrectedSettings& c) {
    return {c.settings.cropXMin, c.settings.cropYMin, c.settings.cropXMax, c.settings.cropYMax};
}

#define EXPECT_WINDOW(corrected, a, b, c, d)  \
    do {                                      \
        const Window w = windowOf(corrected); \
        EXPECT_EQ(w.xMin, a);                 \
        EXPECT_EQ(w.yMin, b);                 \
        EXPECT_EQ(w.xMax, c);                 \
        EXPECT_EQ(w.yMax, d);                 \
    } while (0)

double scaleOf(const std::wstring& text, std::wstring* shown = nullptr) {
    SettingsControls c;
    c.unitScaleText = text;
    const CorrectedSettings corrected = correctSettings(c, 10, 10);
    if (shown) *shown = corrected.unitScaleText;
    return corrected.settings.unitScale;
}

}  // namespace

TEST(CropCorrection, CroppingOffTakesTheWholeGridAndLeavesTheBoxes) {
    SettingsControls c = cropControls(L"5", L"5", L"7", L"7");
    c.cropEnabled = false;
    const CorrectedSettings corrected = correctSettings(c, 100, 80);
    EXPECT_WINDOW(corrected, 1, 1, 100, 80);
    EXPECT_FALSE(corrected.rewriteCrop);
}

TEST(CropCorrection, OutOfRangeEntriesFollowTheRulesInOrder) {
    // Empty boxes: minima become 1, maxima the grid size.
    CorrectedSettings c = correctSettings(cropControls(L"", L"", L"", L""), 100, 80);
    EXPECT_WINDOW(c, 1, 1, 100, 80);
    EXPECT_TRUE(c.rewriteCrop);
    EXPECT_EQ(c.cropXMinText, L"1");
    EXPECT_EQ(c.cropXMaxText, L"100");
    EXPECT_EQ(c.cropYMaxText, L"80");

    // A minimum above its maximum falls back to 1; the maximum stays.
    c = correctSettings(cropControls(L"50", L"3", L"20", L"9"), 100, 80);
    EXPECT_WINDOW(c, 1, 3, 20, 9);

    // Both beyond the grid: the window becomes the whole width.
    c = correctSettings(cropControls(L"150", L"1", L"120", L"80"), 100, 80);
    EXPECT_WINDOW(c, 1, 1, 100, 80);

    // A one-row window is kept.
    c = correctSettings(cropControls(L"2", L"7", L"9", L"7"), 100, 80);
    EXPECT_WINDOW(c, 2, 7, 9, 7);
    EXPECT_EQ(c.cropYMinText, L"7");
}

TEST(CropCorrection, OnlyFourteenCharactersCountAndLargeValuesSaturate) {
    // Twenty digits are read as their first fourteen, which saturate.
    CorrectedSettings c =
        correctSettings(cropControls(L"12345678901234567890", L"1", L"12345678901234567890", L"5"), 100, 80);
    EXPECT_WINDOW(c, 1, 1, 100, 5);
    // The fifteenth character is never seen: "00000000000001" + "5" reads 1.
    c = correctSettings(cropControls(L"000000000000015", L"1", L"50", L"5"), 100, 80);
    EXPECT_EQ(c.settings.cropXMin, 1);
    c = correctSettings(cropControls(L"  +12abc", L"-4", L"30", L"5"), 100, 80);
    EXPECT_WINDOW(c, 12, 1, 30, 5);
}

TEST(UnitScale, NearZeroUnreadableAndNonFiniteEntriesBecomeOne) {
    std::wstring shown;
    for (const wchar_t* text :
         {L"", L"0", L"abc", L"0.00000005", L"-0.00000009", L"1e400", L"-1e999", L"inf", L"nan", L"0,5"}) {
        EXPECT_EQ(scaleOf(text, &shown), 1.0) << std::wstring(text).size();
        EXPECT_EQ(shown, L"1");
    }
}

TEST(UnitScale, EntriesAreUsedInFullAndShownWithFiveDigits) {
    std::wstring shown;
    EXPECT_EQ(scaleOf(L"0.0000001", &shown), 0.0000001);
    EXPECT_EQ(shown, L"1e-07");
    EXPECT_EQ(scaleOf(L"-2", &shown), -2.0);
    EXPECT_EQ(shown, L"-2");
    EXPECT_EQ(scaleOf(L"123456", &shown), 123456.0);
    EXPECT_EQ(shown, L"1.2346e+05");
    EXPECT_EQ(scaleOf(L"2.5m", &shown), 2.5);
    EXPECT_EQ(shown, L"2.5");
    EXPECT_EQ(scaleOf(L"0.123456", &shown), 0.123456);
    EXPECT_EQ(shown, L"0.12346");
    EXPECT_EQ(scaleOf(L" 1.5e2", &shown), 150.0);
    EXPECT_EQ(scaleOf(L"1e", &shown), 1.0);  // the bare exponent mark is not part of the number
    EXPECT_EQ(scaleOf(L"100", &shown), 100.0);
    EXPECT_EQ(shown, L"100");
}

TEST(Presets, TableAndNamesMatchWhatUsersPick) {
    ASSERT_EQ(exportPresets.size(), 6u);
    EXPECT_EQ(std::wstring(exportPresets[1].displayName), L"Blender");
    EXPECT_EQ(exportPresets[1].defaultUnitScale, 2);
    EXPECT_EQ(exportPresets[3].defaultUnitScale, 100);
    EXPECT_EQ(findPresetByName(L"3DS_MAX"), 0);
    EXPECT_EQ(findPresetByName(L" blender "), 1);
    EXPECT_EQ(findPresetByName(L"cinema-4d"), 2);
    EXPECT_EQ(findPresetByName(L"zbrush"), 5);
    EXPECT_EQ(findPresetByName(L"blend"), -1);
    EXPECT_EQ(findPresetByName(L""), -1);
}

TEST(Presets, TypedTextDecidesAndAnEmptySelectionFallsBackToTheFirstRow) {
    SettingsControls c;
    c.presetSelection = -1;
    c.presetText = L"  MAYA";
    EXPECT_EQ(correctSettings(c, 5, 5).settings.presetIndex, 3);
    c.presetText = L"something else";
    EXPECT_EQ(correctSettings(c, 5, 5).presetSelection, 0);
    c.presetSelection = 4;
    c.presetText = L"Unreal";
    EXPECT_EQ(correctSettings(c, 5, 5).settings.presetIndex, 4);
}

TEST(AxisOrder, EveryPresetIsARotationOfTheMapFrame) {
    for (std::int32_t preset = 0; preset < 6; ++preset) {
        const VertexCoordinates e = applyAxisOrder(preset, 1, 0, 0);
        const VertexCoordinates n = applyAxisOrder(preset, 0, 1, 0);
        const VertexCoordinates z = applyAxisOrder(preset, 0, 0, 1);
        const double det = e.first * (n.second * z.third - n.third * z.second) -
                           e.second * (n.first * z.third - n.third * z.first) +
                           e.third * (n.first * z.second - n.second * z.first);
        EXPECT_EQ(det, 1.0) << "preset " << preset;
    }
    const VertexCoordinates blender = applyAxisOrder(1, 2, 3, 4);
    EXPECT_EQ(blender.first, -2);
    EXPECT_EQ(blender.second, 4);
    EXPECT_EQ(blender.third, 3);
    const VertexCoordinates cinema = applyAxisOrder(2, 2, 3, 4);
    EXPECT_EQ(cinema.second, 4);
    EXPECT_EQ(cinema.third, -3);
}

TEST(CorrectionQuestion, AsksOnlyWhenWhatWasTypedIsDiscardedOrReversed) {
    const auto ask = [](const SettingsControls& c) {
        const CorrectedSettings corrected = correctSettings(c, 100, 50);
        return correctionQuestion(findDiscardingCorrections(c, corrected), corrected);
    };
    // A reversed window, a text that is no number, one longer than the 14 characters read.
    EXPECT_EQ(ask(cropControls(L"400", L"1", L"300", L"50")),
              L"The crop was corrected to x 1..100, y 1..50: convert with these values?");
    for (const wchar_t* typed : {L"12abc", L"", L"abc", L"000000000000007"})
        EXPECT_NE(ask(cropControls(typed, L"1", L"9", L"9")), L"") << typed;
    EXPECT_NE(ask(cropControls(L"1", L"9", L"9", L"3")), L"");
    // Clamps to the grid's edge stay silent, blanks around a number too; so
    // does a window that is off.
    EXPECT_EQ(ask(cropControls(L"0", L"-4", L"150", L"999")), L"");
    EXPECT_EQ(ask(cropControls(L" 7 ", L"+2", L"7", L"12345678901234")), L"");
    SettingsControls off = cropControls(L"9", L"x", L"1", L"");
    off.cropEnabled = false;
    EXPECT_EQ(ask(off), L"");

    // The scale: what the field shows afterwards is exactly the number used.
    for (const auto& [typed, shown] :
         {std::pair{L"abc", L"1"}, std::pair{L"0,5", L"1"}, std::pair{L"1e999", L"1"}, std::pair{L"2abc", L"2"},
          std::pair{L"", L"1"}, std::pair{L" 12345678901234567890123456789012", L"1234567890123"}}) {
        SettingsControls c;
        c.unitScaleText = typed;
        const DiscardingCorrections found = findDiscardingCorrections(c, correctSettings(c, 5, 5));
        EXPECT_TRUE(found.unitScale && !found.crop) << typed;
        EXPECT_EQ(found.unitScaleText, shown) << typed;
    }
    for (const wchar_t* typed : {L"123456", L" 2.5 ", L"1.0", L"-0.001", L"1e3"}) {
        SettingsControls c;
        c.unitScaleText = typed;
        EXPECT_FALSE(findDiscardingCorrections(c, correctSettings(c, 5, 5)).unitScale) << typed;
    }
    SettingsControls c;
    c.unitScaleText = L"abc";
    EXPECT_EQ(ask(c), L"The unit scale was corrected to 1: convert with this value?");
    c = cropControls(L"5", L"1", L"2", L"50");
    c.unitScaleText = L"3x";
    EXPECT_EQ(ask(c), L"The crop was corrected to x 1..2, y 1..50 and the unit scale to 3: convert with these values?");
}
