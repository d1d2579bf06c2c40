// Conversions of the colour, coordinate and font texts that scripts pass to the
// window commands. Qt-free, so the core and its tests use them directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sorane {

class Interpreter;

// "#RRGGBB" (each pair hexadecimal, 0 when not) or an integer text (decimal or
// "$" hexadecimal, 0 when not a number) → red + green*256 + blue*65536. Values
// with the top byte 0x80 name system colours and pass unchanged.
uint32_t ParseColor(std::string_view text);
inline bool IsSystemColor(uint32_t c) {
  return (c & 0xFF000000u) == 0x80000000u;
}

// The comma-separated items of a coordinate text after the outer forms are
// removed (back-quotes, one balanced parenthesis group); quotes and nested
// parentheses keep their commas.
std::vector<std::string> SplitCoordinateItems(std::string_view text);

struct Point {
  int x = 0, y = 0;
};
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
// "(x,y)": words and AのB members are read first, each item is evaluated.
// Anything but two items raises "座標の指定エラー".
Point ParsePoint(Interpreter& in, const std::string& text);
// The same, false instead of the error when the text is not two items (an
// item's own evaluation errors still raise).
bool TryParsePoint(Interpreter& in, const std::string& text, Point& point);
// "(l,t,r,b)": missing items are 0; more than four raise the error listing them.
Rect ParseRect(Interpreter& in, const std::string& text);

struct ParsedFont {
  std::string face;  // as listed by the platform, or "ＭＳ ゴシック"
  bool bold = false, italic = false, underline = false;
  int size = 0;  // 0: no size given
};
// The installed face names with their folded form, built once and kept for the
// run: folding every installed name again for each text drawn would be wasted.
struct FontKeys {
  FontKeys() = default;  // not an aggregate: a braced list of names is not taken for one
  bool built = false;
  std::vector<std::pair<std::string, std::string>> names;  // folded, as listed
};
FontKeys MakeFontKeys(const std::vector<std::string>& families);
// "face|styles|size" (bars "|" or "｜") against the installed names.
ParsedFont ParseFontText(std::string_view text, const FontKeys& keys);
ParsedFont ParseFontText(std::string_view text, const std::vector<std::string>& families);
// The font text フォント選択 answers: face, "|" + styles when any, "|" + size.
std::string FormatFontText(const std::string& face, bool bold, bool italic, bool underline,
                           int size);
// The folding used to compare face names: upper case, half width, no
// full-width spaces.
std::string FoldFontName(std::string_view name);

}  // namespace sorane
