#include "obj/fixed_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace {

std::string fixed4(double value) {
    char text[morvale::fixed4MaxChars];
    return std::string(text, morvale::formatFixed4(value, text));
}

std::string printed(double value) {
    char text[400];
    int length = std::snprintf(text, sizeof text, "%.4f", value);
    return std::string(text, static_cast<std::size_t>(length));
}

TEST(FixedFormat, SignsTiesAndSpecialValues) {
    EXPECT_EQ(fixed4(0.0), "0.0000");
    EXPECT_EQ(fixed4(-0.0), "-0.0000");
    EXPECT_EQ(fixed4(-0.00001), "-0.0000");
    EXPECT_EQ(fixed4(-4.9e-324), "-0.0000");
    // Exact binary ties go to the even last digit.
    EXPECT_EQ(fixed4(0.03125), "0.0312");
    EXPECT_EQ(fixed4(0.09375), "0.0938");
    EXPECT_EQ(fixed4(-2.03125), "-2.0312");
    EXPECT_EQ(fixed4(0.99996), "1.0000");
    EXPECT_EQ(fixed4(9.99996), "10.0000");
    EXPECT_EQ(fixed4(123456.789), "123456.7890");
    EXPECT_EQ(fixed4(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(fixed4(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(fixed4(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(fixed4(-std::numeric_limits<double>::quiet_NaN()), "-nan");
    EXPECT_EQ(fixed4(18446744073709551616.0), "18446744073709551616.0000");

    std::string huge = fixed4(1e300);
    EXPECT_EQ(huge.size(), 301u + 5u);
    EXPECT_EQ(huge.substr(0, 20), "10000000000000000525");
    EXPECT_EQ(fixed4(-DBL_MAX).size(), morvale::fixed4MaxChars);
}

// Values from every region where a formatter can go wrong, compared byte for
// byte with the C library.
TEST(FixedFormat, MatchesSnprintfOnMillionsOfValues) {
    std::mt19937_64 random(20240307);
    std::uint64_t compared = 0;
    auto check = [&](double value) {
        ++compared;
        std::string ours = fixed4(value);
        std::string theirs = printed(value);
        if (ours != theirs) {
            ADD_FAILURE() << "bits 0x" << std::hex << std::bit_cast<std::uint64_t>(value) << ": " << ours
                          << " instead of " << theirs;
            return false;
        }
        return true;
    };
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };

    for (int i = 0; i < 800'000; ++i) {  // any bit pattern: every exponent, subnormals, NaN payloads
        std::uint64_t bits = random();
        // Mostly below 2^70, where the arithmetic is the formatter's own (and the C library is quick).
        if (i % 5) bits = (bits & 0x800f'ffff'ffff'ffffu) | ((bits >> 52) % 1094) << 52;
        if (!check(std::bit_cast<double>(bits))) return;
    }
    for (int i = 0; i < 1'000'000; ++i)  // map coordinates and elevations at every scale
        if (!check(uniform(-1.0, 1.0) * std::pow(10.0, uniform(-6.0, 8.0)))) return;
    for (int i = 0; i < 350'000; ++i) {  // exact ties (odd multiples of 1/32) and their neighbours
        double tie = static_cast<double>(2 * (random() >> 20) + 1) / 32.0 * (i % 2 ? 1 : -1);
        if (!check(tie) || !check(std::nextafter(tie, 0.0)) || !check(std::nextafter(tie, 2 * tie))) return;
    }
    for (int i = 0; i < 350'000; ++i) {  // nearest doubles to x.xxxx5 and their neighbours
        double boundary = (static_cast<double>(random() >> (14 + i % 40)) + 0.5) / 1e4;
        if (!check(boundary) || !check(std::nextafter(boundary, 0.0)) || !check(std::nextafter(boundary, 1e300)))
            return;
    }
    for (double anchor : {9007199254740992.0, 18446744073709551616.0, 1e15, 0.00005, 1.0, DBL_MIN}) {
        double up = anchor, down = anchor;
        for (int i = 0; i < 2000; ++i, up = std::nextafter(up, 1e308), down = std::nextafter(down, 0.0))
            if (!check(up) || !check(down) || !check(-up)) return;
    }
    for (int exponent = 15; exponent <= 308; ++exponent)  // large powers of ten, printed digit by digit
        if (!check(std::pow(10.0, exponent)) || !check(-std::nextafter(std::pow(10.0, exponent), 0.0))) return;
    EXPECT_GT(compared, 3'900'000u);
}

}  // namespace
