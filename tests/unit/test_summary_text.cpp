#include <gtest/gtest.h>

#include "app/summary_text.h"

using namespace morvale;

namespace {

ConversionStats sampleStats(std::int32_t status) {
    ConversionStats s;
    s.seconds = 1.234;
    s.status = status;
    s.vertexCount = 1234567;
    s.quadCount = 1000;
    s.triangleCount = 2000;
    s.noDataCount = 0;
    s.rowsExpected = 100;
    s.rowsRead = 100;
    s.recordsExpected = 123456;
    s.recordsRead = 123455;
    s.rowsOk = true;
    s.recordsOk = false;
    return s;
}

}  // namespace

TEST(Summary, FinishedRunWithAFailedCheck) {
    const SummaryBox box = composeSummary(sampleStats(0));
    EXPECT_EQ(box.text,
              L"Conversion time:  1.23 seconds.\n\nVertices:  1 234 567\nTriangles:  2 000\nQuads  1 000\n\n"
              L"No data value:  0\n\nRows status:   100 /  100  (OK)\n"
              L"Records status:   123 456 /  123 455  (ERROR)");
    EXPECT_EQ(box.caption, L"Converting done, but some ERRORS occured!");
    EXPECT_EQ(box.statusText, L"Error...");
    EXPECT_EQ(box.icon, 16u);
}

TEST(Summary, GoodAndCancelledRuns) {
    ConversionStats good = sampleStats(1);
    good.recordsOk = true;
    const SummaryBox done = composeSummary(good);
    EXPECT_EQ(done.caption, L"Converting done...");
    EXPECT_EQ(done.statusText, L"Ready...");
    EXPECT_EQ(done.icon, 64u);

    const SummaryBox cancelled = composeSummary(sampleStats(-1));
    EXPECT_EQ(cancelled.text,
              L"---CANCELLED---\nConversion time:  1.23 seconds.\n\nVertices:  1 234 567\nTriangles:  2 000\n"
              L"Quads 1 000\n\nNo data value:  0\n\nRows status:   100 /  100  (OK)\n"
              L"Records status:   123 456 /  123 455 (ERROR)\n\n---CANCELLED---");
    EXPECT_EQ(cancelled.caption, L"Converting cancelled...");
    EXPECT_EQ(cancelled.statusText, L"Cancelled...");
    EXPECT_EQ(cancelled.icon, 48u);
}

TEST(Summary, HugeCountsFitTheText) {
    ConversionStats s = sampleStats(1);
    s.vertexCount = s.triangleCount = s.quadCount = s.recordsExpected = s.recordsRead = INT64_MAX;
    const SummaryBox box = composeSummary(s);
    EXPECT_NE(box.text.find(L"Vertices:  9 223 372 036 854 775 807\n"), std::wstring::npos);
    EXPECT_NE(box.text.find(L"(ERROR)"), std::wstring::npos);
}

TEST(Summary, FailureTexts) {
    EXPECT_EQ(std::wstring(failureText(-1)), L"Can't open input file...");
    EXPECT_EQ(std::wstring(failureText(-4)), L"Can't allocate memory for quad table...");
    EXPECT_EQ(std::wstring(failureText(-5)), L"Can't write output file...");
    EXPECT_EQ(std::wstring(failureText(-6)), L"Output file is the same as the input file...");
    EXPECT_EQ(std::wstring(failureText(-7)), L"Cell size must be greater than zero...");
    EXPECT_EQ(std::wstring(failureText(1)), L"");
    EXPECT_TRUE(isFailureResult(-7));
    EXPECT_FALSE(isFailureResult(1));
}
