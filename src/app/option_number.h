#pragma once
// Reading a number given on the command line: the whole text is the number.
//
// from_chars-shaped: the "C" locale, no blanks, no "+", nothing after the
// last digit; a real may have an exponent. A bad text gives a status, never an
// exception, and optionValueMessage() turns it into the one line the command
// line prints (usage error, exit 2). Every numeric option reads through here;
// each then checks its own range.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvale {

enum class NumberTextStatus : std::uint8_t {
    ok,
    notANumber,  // empty, letters, blanks, trailing characters
    notWhole,    // a real where a whole number is wanted ("2.5", "1e6")
    notFinite,   // inf, nan, or beyond the range of a double
    tooLarge,    // a whole number above 64 bits
    tooSmall,    // a whole number below 64 bits
};

NumberTextStatus readNumberText(std::string_view text, double& value);
NumberTextStatus readNumberText(std::string_view text, std::int64_t& value);

// Why a text is refused, after the text: "is not a number".
const char* numberTextReason(NumberTextStatus status);

// "OPTION: 'TEXT' WHY" into `out` (the text cut to 64 characters, the whole
// cut to fit, always ended by a zero). Returns `out`.
const char* optionValueMessage(std::string_view option, std::string_view text, std::string_view why, char* out,
                               std::size_t size);

}  // namespace morvale
