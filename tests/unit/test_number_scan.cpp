// The body's number reading against the standard stream extraction it must
// equal: fixed examples, then a differential run over generated lines fed
// whole and in random pieces.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "grid/body_scanner.h"
#include "grid/number_scan.h"

namespace {

using morvale::BodyScanner;
using morvale::CropWindow;
using morvale::GridHeader;

// One number of a line: its bits, or a no-data cell.
struct Item {
    bool noData = false;
    std::uint64_t bits = 0;
    bool operator==(const Item&) const = default;
};

Item valueItem(double v) { return {false, std::bit_cast<std::uint64_t>(v)}; }

std::string describe(const std::vector<Item>& items) {
    std::string text;
    for (const Item& item : items) {
        char one[64];
        if (item.noData) std::snprintf(one, sizeof one, "[nodata] ");
        else std::snprintf(one, sizeof one, "%.17g ", std::bit_cast<double>(item.bits));
        text += one;
    }
    return text;
}

bool isNanTokenAt(const std::string& line, std::size_t pos, std::size_t& length) {
    std::size_t p = pos;
    if (p < line.size() && (line[p] == '+' || line[p] == '-')) ++p;
    if (line.size() - p < 3) return false;
    auto lower = [](char c) { return static_cast<char>(c | 0x20); };
    if (lower(line[p]) != 'n' || lower(line[p + 1]) != 'a' || lower(line[p + 2]) != 'n') return false;
    p += 3;
    if (p < line.size() && !morvale::isNumberSpace(line[p])) return false;
    length = p - pos;
    return true;
}

// The reference: a classic-locale istringstream per line, plus nan tokens as no-data cells.
std::vector<Item> referenceItems(const std::string& text) {
    std::vector<Item> items;
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = text.size();
        const std::string line = text.substr(lineStart, lineEnd - lineStart);
        std::istringstream in(line);
        in.imbue(std::locale::classic());
        for (;;) {
            const std::streamoff before = in.tellg();
            double v = 0.0;
            if (in >> v) {
                items.push_back(valueItem(v));
                continue;
            }
            std::size_t pos = static_cast<std::size_t>(before);
            while (pos < line.size() && morvale::isNumberSpace(line[pos])) ++pos;
            std::size_t length = 0;
            if (!isNanTokenAt(line, pos, length)) break;
            items.push_back({true, 0});
            in.clear();
            in.seekg(static_cast<std::streamoff>(pos + length));
        }
        lineStart = lineEnd + 1;
    }
    return items;
}

// The body scanner with one column and a window of every row: each number is
// its own row, so the consumer sees them all in order and a no-data cell is a
// row it never sees.
std::vector<Item> scannedItems(const std::string& text, const std::vector<std::size_t>& cuts) {
    GridHeader header;
    header.ncols = 1;
    header.nrows = std::numeric_limits<std::int32_t>::max();
    const CropWindow window{1, 1, 1, header.nrows};
    const std::atomic<bool> cancel{false};
    morvale::SilentProgress progress;
    std::vector<Item> items;
    auto consumer = [&](std::int32_t row, std::int32_t, double v, bool) {
        while (items.size() + 1 < static_cast<std::size_t>(row)) items.push_back({true, 0});
        items.push_back(valueItem(v));
    };
    BodyScanner<decltype(consumer)> scanner(header, window, header.nrows, cancel, progress, consumer);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        scanner.feed(text.data() + from, text.data() + cut);
        from = cut;
    }
    scanner.feed(text.data() + from, text.data() + text.size());
    scanner.finish();
    while (items.size() < static_cast<std::size_t>(scanner.counts().recordsRead)) items.push_back({true, 0});
    return items;
}

std::vector<Item> scannedItems(const std::string& text) { return scannedItems(text, {}); }

std::vector<Item> values(std::initializer_list<double> list) {
    std::vector<Item> items;
    for (double v : list) items.push_back(valueItem(v));
    return items;
}

TEST(NumberScan, ReadsLikeTheStreamOnTrickyTokens) {
    EXPECT_EQ(scannedItems("1e 7"), values({}));
    EXPECT_EQ(scannedItems("2 1e+ 7"), values({2}));
    EXPECT_EQ(scannedItems("5-3"), values({5, -3}));
    EXPECT_EQ(scannedItems("1.2.3"), values({1.2, 0.3}));
    EXPECT_EQ(scannedItems("0x10 4"), values({0}));
    EXPECT_EQ(scannedItems("1 1e400 4"), values({1}));
    EXPECT_EQ(scannedItems("-1e400"), values({}));
    EXPECT_EQ(scannedItems("1e-400 -1e-400"), values({0.0, -0.0}));
    EXPECT_EQ(scannedItems("+5 +.5 -.5 5. .e5 3"), values({5, 0.5, -0.5, 5}));
    EXPECT_EQ(scannedItems("+-5"), values({}));
    EXPECT_EQ(scannedItems("1e5e3"), values({1e5}));
    EXPECT_EQ(scannedItems("1e+5.5"), values({1e5, 0.5}));
    EXPECT_EQ(scannedItems("7,8"), values({7}));
    EXPECT_EQ(scannedItems("inf 1"), values({}));
    EXPECT_EQ(scannedItems("\v1\f2\r3\t4"), values({1, 2, 3, 4}));
    EXPECT_EQ(scannedItems("1.7976931348623157e308 1.7976931348623159e308"), values({DBL_MAX}));
    EXPECT_EQ(scannedItems("4.9406564584124654e-324 2.4703282292062327e-324"),
              values({std::numeric_limits<double>::denorm_min(), 0.0}));
}

TEST(NumberScan, NanTokensAreNoDataCellsOnlyWhenWholeWords) {
    const Item noData{true, 0};
    EXPECT_EQ(scannedItems("1 nan 2 -NaN +nAn 3"),
              (std::vector<Item>{valueItem(1), noData, valueItem(2), noData, noData, valueItem(3)}));
    EXPECT_EQ(scannedItems("nan"), std::vector<Item>{noData});
    EXPECT_EQ(scannedItems("nan\r\n4"), (std::vector<Item>{noData, valueItem(4)}));
    EXPECT_EQ(scannedItems("1 nan(1) 2"), values({1}));
    EXPECT_EQ(scannedItems("1 nanx 2"), values({1}));
    EXPECT_EQ(scannedItems("1 na 2"), values({1}));
    EXPECT_EQ(scannedItems("1 --nan 2"), values({1}));
}

TEST(NumberScan, LongDigitStringsRoundExactly) {
    std::mt19937_64 random(7);
    for (int length : {400, 767, 800, 801, 2000, 100000}) {
        std::string digits(static_cast<std::size_t>(length), '0');
        for (char& d : digits) d = static_cast<char>('0' + random() % 10);
        digits[0] = '9';
        const std::vector<std::string> texts = {
            digits + "e-" + std::to_string(length + 5),
            "0." + digits,
            "-0." + std::string(static_cast<std::size_t>(length), '0') + digits + "e" + std::to_string(length),
            // 1 + 2^-53 exactly halfway, then a far non-zero digit decides the rounding up.
            "1.00000000000000011102230246251565404236316680908203125" + std::string(static_cast<std::size_t>(length), '0') + "1",
            "1.00000000000000011102230246251565404236316680908203125" + std::string(static_cast<std::size_t>(length), '0'),
            "." + digits + " " + digits.substr(0, 17),
        };
        for (const std::string& text : texts) {
            const auto expected = referenceItems(text);
            ASSERT_FALSE(expected.empty()) << text.substr(0, 80);
            EXPECT_EQ(scannedItems(text), expected) << "length " << length;
            std::vector<std::size_t> cuts;
            for (std::size_t cut = 3; cut < text.size(); cut += 1 + random() % 997) cuts.push_back(cut);
            EXPECT_EQ(scannedItems(text, cuts), expected) << "length " << length << " in pieces";
        }
    }
}

TEST(NumberScan, AccumulatorMemoryDoesNotGrowWithTheToken) {
    morvale::NumberAccumulator accumulator;
    accumulator.reset();
    for (int i = 0; i < 3'000'000; ++i) ASSERT_TRUE(accumulator.take(i == 0 ? '3' : '0'));
    for (char c : std::string(".25e-3000004")) ASSERT_TRUE(accumulator.take(c));
    EXPECT_FALSE(accumulator.take(' '));
    const auto number = accumulator.finish();
    EXPECT_EQ(number.kind, morvale::NumberKind::value);
    EXPECT_EQ(number.value, 3e-5);
    EXPECT_LT(sizeof(morvale::NumberAccumulator), 1024u);
}

// A cheap generator: the differential run spends its time comparing, not drawing.
class SplitMix {
public:
    explicit SplitMix(std::uint64_t seed) : state_(seed) {}
    std::uint64_t operator()() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return z ^ (z >> 31);
    }

private:
    std::uint64_t state_;
};

// Pieces that stress the stream's rules when glued together in any order.
class LineGenerator {
public:
    explicit LineGenerator(std::uint64_t seed) : random_(seed) {}

    std::string line() {
        std::string text;
        const int pieces = 1 + pick(6);
        for (int i = 0; i < pieces; ++i) {
            text += piece();
            text += separator();
        }
        return text;
    }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }

    std::string digits(int maxLength) {
        std::string d(static_cast<std::size_t>(pick(maxLength + 1)), '0');
        for (char& c : d) c = static_cast<char>('0' + (pick(3) == 0 ? 0 : pick(10)));
        return d;
    }

    std::string separator() {
        static const char* const separators[] = {"", " ", " ", "  ", "\t", "\r", "\v", "\f", " \r"};
        return separators[pick(9)];
    }

    std::string sign() { return pick(3) == 0 ? std::string(1, "+-"[pick(2)]) : ""; }

    std::string printed(double v) {
        static const char* const formats[] = {"%.17g", "%.16g", "%.20e", "%.3e", "%.25g"};
        char text[64];
        std::snprintf(text, sizeof text, formats[pick(5)], v);
        return text;
    }

    std::string boundary() {
        static const double anchors[] = {DBL_MAX, DBL_MIN, std::numeric_limits<double>::denorm_min(),
                                         2.2250738585072009e-308, 1.0, 9007199254740993.0, 0.1};
        double v = anchors[pick(7)];
        const int steps = pick(5) - 2;
        for (int s = 0; s < std::abs(steps); ++s) v = std::nextafter(v, steps < 0 ? 0.0 : DBL_MAX);
        return sign() + printed(v);
    }

    std::string halfway() {
        // Exactly between two neighbouring doubles, optionally nudged by a far digit.
        static const char* const ties[] = {
            "9007199254740993", "1.00000000000000011102230246251565404236316680908203125",
            "2.4703282292062327208828439643411068618252990130716238221279284125033775363510437593264991818081799618989828234772285886546332835517796989819938739800539093906315035659515570226392290858392449105184435931802849936536152500319370457678249219365623669863658480757001585769269903706311928279558551332927834338409351978015531246597263579574622766465272827220056374006485499977096599470454020828166226237857393450736339007967761930577506740176324673600968951340535537458516661134223766678604162159680461914467291840300530057530849048765391711386591646239524912623653881879636239373280423891018672348497668235089863388587925628302755995657524455507255189313690836254779186948667994968324049705821028513185451396213837722826145437693412532098591327667236328125e-324",
            "1.7976931348623158079372897140530341507993413271003782693617377898044496829276475094664736817905e308"};
        std::string text = ties[pick(4)];
        if (pick(2) == 0) {
            const std::size_t e = text.find('e');
            text.insert(e == std::string::npos ? text.size() : e, std::string(static_cast<std::size_t>(pick(30)), '0') + "1");
        }
        return sign() + text;
    }

    std::string numberLike() {
        std::string text = sign();
        const bool huge = pick(200) == 0;
        text += digits(huge ? 900 : pick(4) == 0 ? 25 : 6);
        if (pick(2) == 0) {
            text += '.';
            text += digits(pick(4) == 0 ? 25 : 5);
        }
        if (pick(3) == 0) {
            text += "eE"[pick(2)];
            text += sign();
            text += pick(10) == 0 ? std::string(static_cast<std::size_t>(pick(20)), '0') + digits(4) : digits(3);
        }
        return text;
    }

    std::string junk() {
        static const char* const words[] = {
            "x",      ",",     "n",     "nan",  "NaN",   "-nan",   "+NAN",   "nan(1)", "nanx", "inf",
            "-Infinity", "0x1p3", "e5",  "E",    ".",     "+",      "-",      "..",     "+.",   "-e",
            "<nul>",  "1e",  "1E-",  "2e+",  "\xff",  "1,5",    "1;2",   "#",    "5d3"};
        const int count = 29;
        const int index = pick(count);
        if (index == 20) return std::string(1, '\0');
        return words[index];
    }

    std::string piece() {
        switch (pick(10)) {
        case 0: return boundary();
        case 1: return halfway();
        case 2: return junk();
        default: return numberLike();
        }
    }

    SplitMix random_;
};

TEST(NumberScan, EqualsTheStreamOnGeneratedLines) {
    LineGenerator generator(20240611);
    SplitMix random(99);
    const int cases = 300'000;
    int itemsCompared = 0;
    for (int i = 0; i < cases; ++i) {
        std::string text = generator.line();
        // Some cases carry several lines, so that a bad token must end its own line only.
        if (i % 4 == 0) text += "\n" + generator.line();
        if (i % 8 == 0) text += "\n";
        const auto expected = referenceItems(text);
        itemsCompared += static_cast<int>(expected.size());
        std::vector<std::size_t> cuts;
        if (i % 2 == 1 && !text.empty()) {
            for (int c = 0; c < 3; ++c) cuts.push_back(random() % (text.size() + 1));
            std::sort(cuts.begin(), cuts.end());
        }
        const auto actual = scannedItems(text, cuts);
        if (actual != expected) {
            ADD_FAILURE() << "line [" << text << "]\nexpected " << describe(expected) << "\nactual   "
                          << describe(actual);
            break;
        }
    }
    EXPECT_GT(itemsCompared, cases);
}

}  // namespace
