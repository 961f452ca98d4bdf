// The body's numbers against the classic-locale stream extraction they must
// equal, bit for bit: fixed cases, long digit strings, and a differential run
// over generated lines fed whole and in random pieces.

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
#include <sstream>
#include <string>
#include <vector>

#include "grid/body_scanner.h"

namespace {

using Items = std::vector<std::uint64_t>;                // the bits of each number; noData for a no-data cell
constexpr std::uint64_t noData = 0x7ff8'dead'0000'0000;  // a NaN: never a value read

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

Items values(std::initializer_list<double> list) {
    Items items;
    for (double v : list) items.push_back(bits(v));
    return items;
}

// The reference: an istringstream per line, plus whole-word nan tokens as no-data cells.
Items referenceItems(const std::string& text) {
    Items items;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        in.imbue(std::locale::classic());
        for (;;) {
            const std::streamoff before = in.tellg();  // -1 once the end of the line was met
            double v = 0.0;
            if (in >> v) {
                items.push_back(bits(v));
                continue;
            }
            std::size_t p = before < 0 ? line.size() : static_cast<std::size_t>(before);
            while (p < line.size() && morvale::isNumberSpace(line[p])) ++p;
            p += p < line.size() && (line[p] == '+' || line[p] == '-');
            std::string word = line.substr(std::min(p, line.size()), 3);
            for (char& c : word) c = static_cast<char>(c | 0x20);
            if (word != "nan" || (p + 3 < line.size() && !morvale::isNumberSpace(line[p + 3]))) break;
            items.push_back(noData);
            in.clear();
            in.seekg(static_cast<std::streamoff>(p + 3));
        }
    }
    return items;
}

// The body scanner with one column and every row in the window: each number is
// its own row, and a no-data cell is a row the consumer never sees.
Items scannedItems(const std::string& text, std::vector<std::size_t> cuts = {}) {
    morvale::GridHeader header;
    header.ncols = 1;
    header.nrows = std::numeric_limits<std::int32_t>::max();
    const std::atomic<bool> cancel{false};
    morvale::SilentProgress progress;
    Items items;
    auto consumer = [&](std::int32_t row, std::int32_t, double v, bool) {
        items.resize(static_cast<std::size_t>(row) - 1, noData);
        items.push_back(bits(v));
    };
    morvale::BodyScanner<decltype(consumer)> scanner(header, {1, 1, 1, header.nrows}, header.nrows, cancel, progress,
                                                     consumer);
    cuts.push_back(text.size());
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        scanner.feed(text.data() + from, text.data() + cut);
        from = cut;
    }
    scanner.finish();
    items.resize(static_cast<std::size_t>(scanner.counts().recordsRead), noData);
    return items;
}

TEST(NumberScan, ReadsTrickyTokensLikeTheStream) {
    EXPECT_EQ(scannedItems("1e 7\n2 1e+ 7\n5-3\n1.2.3\n0x10 4"), values({2, 5, -3, 1.2, 0.3, 0}));
    EXPECT_EQ(scannedItems("1 1e400 4\n-1e400\n1e-400 -1e-400"), values({1, 0.0, -0.0}));
    EXPECT_EQ(scannedItems("+5 +.5 -.5 5. .e5 3\n+-5\n1e5e3\n1e+5.5\n7,8\ninf 1"),
              values({5, 0.5, -0.5, 5, 1e5, 1e5, 0.5, 7}));
    EXPECT_EQ(scannedItems("\v1\f2\r3\t4\r\n"), values({1, 2, 3, 4}));
    EXPECT_EQ(scannedItems("1.7976931348623157e308 1.7976931348623159e308\n"
                           "4.9406564584124654e-324 2.4703282292062327e-324"),
              values({DBL_MAX, std::numeric_limits<double>::denorm_min(), 0.0}));
    // nan tokens are whole words only.
    EXPECT_EQ(scannedItems("nan 1 -NaN +nAn\r\n2 nan(1) 3\nnanx\nna 1\n--nan\nNAN"),
              (Items{noData, bits(1), noData, noData, bits(2), noData}));
}

TEST(NumberScan, LongDigitStringsRoundExactlyInFixedMemory) {
    const std::string tie = "1.00000000000000011102230246251565404236316680908203125";  // 1 + 2^-53
    for (std::size_t length : {400, 767, 801, 100000}) {
        std::string digits(length, '0');
        for (std::size_t i = 0; i < length; ++i) digits[i] = static_cast<char>('1' + (i * 7919 % 9));
        const std::string zeros(length, '0');
        for (const std::string& text :
             {digits + "e-" + std::to_string(length + 5), "0." + digits,
              "-0." + zeros + digits + "e" + std::to_string(length), tie + zeros + "1", tie + zeros}) {
            const Items expected = referenceItems(text);
            ASSERT_EQ(expected.size(), 1u);
            EXPECT_EQ(scannedItems(text), expected) << length;
            std::vector<std::size_t> cuts;
            for (std::size_t cut = 3; cut < text.size(); cut += 1 + cut % 997) cuts.push_back(cut);
            EXPECT_EQ(scannedItems(text, cuts), expected) << length << " in pieces";
        }
    }
    // Millions of digits pass through a token reader of fixed size.
    morvale::NumberAccumulator accumulator;
    accumulator.reset();
    for (int i = 0; i < 3'000'000; ++i) accumulator.take(i == 0 ? '3' : '0');
    for (char c : std::string(".25e-3000004")) accumulator.take(c);
    EXPECT_EQ(accumulator.finish().value, 3e-5);
    EXPECT_LT(sizeof accumulator, 1024u);
}

// Lines of pieces glued with or without separators, so that the stream's rules meet each other.
std::string generatedLine(std::uint64_t& state) {
    auto next = [&](std::uint64_t n) {  // SplitMix64: drawing must cost far less than comparing
        std::uint64_t z = (state += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return (z ^ (z >> 31)) % n;
    };
    auto digits = [&](std::uint64_t most) {
        std::string d(next(most + 1), '0');
        for (char& c : d) c = static_cast<char>('0' + (next(3) == 0 ? 0 : next(10)));
        return d;
    };
    static const char* const words[] = {"x", ",", "n",  "nan", "-NaN", "nan(1)", "nanx", "inf", "0x1p3", "e5", ".",
                                        "+", "-", "..", "+.",  "1e",   "1E-",    "\xff", "1,5", "5d3",   "#"};
    static const char* const ties[] = {
        "9007199254740993", "1.00000000000000011102230246251565404236316680908203125",
        "2.47032822920623272088284396434110686182529901307162382212792841250337753635104375932649918180817996e-324",
        "1.797693134862315807937289714053034150799341327100378269361737789804449682927647509466490179775872e308"};
    static const char* const separators[] = {"", " ", " ", "\t", "\r", "\v", "\f", " \r"};
    std::string line;
    for (std::uint64_t pieces = 1 + next(6); pieces > 0; --pieces) {
        if (next(3) == 0) line += "+-"[next(2)];
        switch (next(10)) {
        case 0: {
            char text[64];
            const double anchors[] = {DBL_MAX, DBL_MIN, std::numeric_limits<double>::denorm_min(), 1.0, 0.1};
            double v = anchors[next(5)];
            for (std::uint64_t s = next(3); s > 0; --s) v = std::nextafter(v, next(2) ? 0.0 : DBL_MAX);
            std::snprintf(text, sizeof text, next(2) ? "%.17g" : "%.25e", v);
            line += text;
            break;
        }
        case 1: {
            std::string tie = ties[next(4)];  // nudged past the tie by a far digit, or not
            if (next(2)) tie.insert(std::min(tie.find('e'), tie.size()), "0001");
            line += tie;
            break;
        }
        case 2: line += next(21) == 20 ? std::string(1, '\0') : words[next(21)]; break;
        default:
            line += digits(next(200) == 0 ? 900 : next(4) == 0 ? 25 : 6);
            if (next(2)) line += '.' + digits(next(4) == 0 ? 25 : 5);
            if (next(3) == 0) {
                line += "eE"[next(2)];
                if (next(3) == 0) line += "+-"[next(2)];
                line += next(10) == 0 ? std::string(next(20), '0') + digits(4) : digits(3);
            }
        }
        line += separators[next(8)];
    }
    return line;
}

TEST(NumberScan, EqualsTheStreamOnGeneratedLines) {
#ifdef NDEBUG
    const int cases = 300'000;
#else
    const int cases = 60'000;  // unoptimised and sanitised builds are many times slower
#endif
    std::uint64_t state = 20240611;
    std::size_t compared = 0;
    for (int i = 0; i < cases; ++i) {
        std::string text = generatedLine(state);
        if (i % 4 == 0) text += '\n' + generatedLine(state);  // a bad token ends its own line only
        std::vector<std::size_t> cuts;
        for (int c = 0; c < i % 4; ++c) cuts.push_back(state % (text.size() + 1) * c / 3);
        const Items expected = referenceItems(text);
        compared += expected.size();
        ASSERT_EQ(scannedItems(text, cuts), expected) << "line [" << text << "]";
    }
    EXPECT_GT(compared, std::size_t{cases});
}

}  // namespace
