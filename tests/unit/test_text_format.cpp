#include "app/text_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::wstring grouped(std::int64_t value) {
    wchar_t text[morvale::groupedTextSize];
    morvale::formatGrouped(value, text);
    return text;
}

TEST(TextFormat, GroupsDigitsByThreesFromTheRight) {
    EXPECT_EQ(grouped(0), L"0");
    EXPECT_EQ(grouped(7), L"7");
    EXPECT_EQ(grouped(999), L" 999");
    EXPECT_EQ(grouped(1000), L"1 000");
    EXPECT_EQ(grouped(1234567), L"1 234 567");
    EXPECT_EQ(grouped(123456), L" 123 456");
    EXPECT_EQ(grouped(5'000'000'000), L"5 000 000 000");
    // The minus sign is grouped like a digit.
    EXPECT_EQ(grouped(-12), L" -12");
    EXPECT_EQ(grouped(-123), L"- 123");
    EXPECT_EQ(grouped(-1234), L"-1 234");
    EXPECT_EQ(grouped(INT64_MAX), L"9 223 372 036 854 775 807");
    EXPECT_EQ(grouped(INT64_MIN), L"-9 223 372 036 854 775 808");
}

TEST(TextFormat, FixedBuffersNeverOverflow) {
    struct Guarded {
        wchar_t text[16];
        wchar_t guard[4];
    } small{};
    small.guard[0] = L'#';
    EXPECT_EQ(morvale::formatText(small.text, L"%d/%ls", 42, L"abcdefghijkl"), 15);
    EXPECT_EQ(std::wstring(small.text), L"42/abcdefghijkl");
    EXPECT_EQ(morvale::formatText(small.text, L"%d/%ls", 420, L"abcdefghijkl"), -1);
    EXPECT_EQ(std::wstring(small.text), L"420/abcdefghijk");
    EXPECT_EQ(small.guard[0], L'#');

    wchar_t large[512];
    EXPECT_EQ(morvale::formatText(large, L"%.2f s, %lld", 1.5, 5'000'000'000LL), 18);
    EXPECT_EQ(std::wstring(large), L"1.50 s, 5000000000");
    std::wstring tooLong(600, L'z');
    EXPECT_EQ(morvale::formatText(large, L"%ls", tooLong.c_str()), -1);
    EXPECT_EQ(std::wstring(large), tooLong.substr(0, 511));
}

}  // namespace
