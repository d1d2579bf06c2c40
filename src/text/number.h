// Numbers as the language sees them: the lenient parser used for every numeric
// argument, the strict decimal conversion, and the 15-significant-digit format
// every numeric result is written in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorane {

using Number = long double;

// Lenient conversion: full-width digits count, commas are ignored, "$" starts
// hexadecimal, trailing text is ignored, non-numbers (and a lone ".") read as 0.
// An exponent ("1E20", "9E-5", "1.5e3") is read with or without a decimal point,
// so every FormatNumber result reads back as the same number.
Number ParseNumber(std::string_view s);

// Strict decimal conversion: optional blanks, sign, digits, fraction, exponent and
// nothing else. An empty or non-numeric text gives nullopt.
std::optional<Number> StrictNumber(std::string_view s);

// General format with at most 15 significant digits; scientific ("1E20",
// "1.5E-7") for more than 15 integer digits or magnitudes below 0.0001. Zero is "0".
std::string FormatNumber(Number v);
// The same text written into `text` (no allocation): the view points into it,
// or at a constant for "NAN", "INF" and "-INF", and lives as long as `text`.
struct NumberText {
  char bytes[48];
};
std::string_view FormatNumber(Number v, NumberText& text);
// ParseNumber(FormatNumber(v)) without the text: v rounded to the digits the
// format writes, as that text reads back.
Number NumberAsWritten(Number v);

// Truncation toward zero that saturates at the integer's range; NaN gives 0.
int32_t ToInt32(Number v);
int64_t ToInt64(Number v);

// "#,##0" or, when the text contains ".", "#,##0.00".
std::string CurrencyText(std::string_view s);

// First byte "0"-"9" and every later byte a digit, "+", "-", ".", "E" or "e".
bool IsNumberText(std::string_view s);

// True when the whole text (trimmed) is an integer in decimal; sets `out`.
bool TryParseInteger(std::string_view s, long long& out);

}  // namespace sorane
