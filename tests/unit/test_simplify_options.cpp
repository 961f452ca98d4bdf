#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/simplify_options.h"

using namespace morvale;
using S = SimplifyOptionStatus;

TEST(SimplifyOptions, MaxErrorTakesOnlyFiniteNumbersOfZeroOrMore) {
    double e = -1.0;
    EXPECT_EQ(parseMaxError("0", e), S::ok);
    EXPECT_EQ(e, 0.0);
    EXPECT_EQ(parseMaxError("-0", e), S::ok);
    EXPECT_FALSE(std::signbit(e));
    EXPECT_EQ(parseMaxError("0.25", e), S::ok);
    EXPECT_EQ(e, 0.25);
    EXPECT_EQ(parseMaxError("1e-3", e), S::ok);
    for (const char* bad : {"", " 1", "1 ", "1,5", "abc", "1m", "+1", "0x10"})
        EXPECT_EQ(parseMaxError(bad, e), S::notANumber) << bad;
    for (const char* bad : {"inf", "-inf", "nan", "1e400"}) EXPECT_EQ(parseMaxError(bad, e), S::notFinite) << bad;
    EXPECT_EQ(parseMaxError("-0.5", e), S::negative);
}

TEST(SimplifyOptions, MaxTrianglesTakesWholeNumbersFromTwo) {
    std::int64_t n = 0;
    EXPECT_EQ(parseMaxTriangles("2", n), S::ok);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(parseMaxTriangles("9223372036854775807", n), S::ok);
    for (const char* low : {"1", "0", "-5", "-99999999999999999999"})
        EXPECT_EQ(parseMaxTriangles(low, n), S::belowTwo) << low;
    for (const char* bad : {"", "2.5", "1e6", "+3", "ten", "3 "})
        EXPECT_EQ(parseMaxTriangles(bad, n), S::notANumber) << bad;
    EXPECT_EQ(parseMaxTriangles("99999999999999999999", n), S::tooLarge);
}

TEST(SimplifyOptions, MessageNamesTheOptionAndTheValueAndFitsItsBuffer) {
    char out[96];
    EXPECT_STREQ(simplifyOptionMessage(S::negative, "--max-error", "-1", out, sizeof out),
                 "--max-error: '-1' is negative: the error bound is 0 or more, in the grid's elevation units");
    char tiny[8];
    simplifyOptionMessage(S::belowTwo, "--max-triangles", "1", tiny, sizeof tiny);
    EXPECT_EQ(std::string(tiny), "--max-t");
}
