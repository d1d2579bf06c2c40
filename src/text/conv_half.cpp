// Normalisation of full-width syntax characters. Every character of the table
// has the lead byte 0x81 (symbols and punctuation) or 0x82 (digits and letters),
// so Lookup is two direct 256-entry tables built at compile time: the
// preprocessor asks it for every double-byte character of a script.
#include "text/conv_half.h"

#include <array>

#include "text/sjis.h"

namespace sorane {

namespace {

struct Pair {
  unsigned char trail;
  const char* half;
};

// Lead byte 0x81: ！”＃＄％＆’※（）＝－＾～￥｜｛｝＠‘；：＋＊／×÷？＿＜＞≠≦≧，．
// then the full-width space, 、。「」『』.
constexpr Pair kSymbols[] = {
    {0x49, "!"},  {0x68, "\""}, {0x94, "#"}, {0x90, "$"},  {0x93, "%"},  {0x95, "&"},  {0x66, "'"},
    {0xA6, "'"},  {0x69, "("},  {0x6A, ")"}, {0x81, "="},  {0x7C, "-"},  {0x4F, "^"},  {0x60, "~"},
    {0x8F, "\\"}, {0x62, "|"},  {0x6F, "{"}, {0x70, "}"},  {0x97, "@"},  {0x65, "`"},  {0x47, ";"},
    {0x46, ":"},  {0x7B, "+"},  {0x96, "*"}, {0x5E, "/"},  {0x7E, "*"},  {0x80, "/"},  {0x48, "?"},
    {0x51, "_"},  {0x83, "<"},  {0x84, ">"}, {0x82, "<>"}, {0x85, "<="}, {0x86, ">="}, {0x43, ","},
    {0x44, "."},  {0x40, " "},  {0x41, ","}, {0x42, ";"},  {0x75, "\""}, {0x76, "\""}, {0x77, "`"},
    {0x78, "`"},
};

// Single-character texts for every byte value, so the table can point at them.
constexpr std::array<std::array<char, 2>, 128> MakeAsciiTexts() {
  std::array<std::array<char, 2>, 128> t{};
  for (int c = 0; c < 128; ++c) t[c] = {static_cast<char>(c), '\0'};
  return t;
}
constexpr auto kAsciiTexts = MakeAsciiTexts();

using TrailTable = std::array<const char*, 256>;

constexpr TrailTable MakeLead81() {
  TrailTable t{};
  for (const Pair& p : kSymbols) t[p.trail] = p.half;
  return t;
}

// Lead byte 0x82: ０-９ (0x4F-0x58), Ａ-Ｚ (0x60-0x79), ａ-ｚ (0x81-0x9A).
constexpr TrailTable MakeLead82() {
  TrailTable t{};
  for (int i = 0; i < 10; ++i) t[0x4F + i] = kAsciiTexts['0' + i].data();
  for (int i = 0; i < 26; ++i) {
    t[0x60 + i] = kAsciiTexts['A' + i].data();
    t[0x81 + i] = kAsciiTexts['a' + i].data();
  }
  return t;
}

constexpr TrailTable kLead81 = MakeLead81();
constexpr TrailTable kLead82 = MakeLead82();

bool IsHalfCornerBracket(unsigned char c) {
  return c == 0xA2 || c == 0xA3;
}

}  // namespace

const char* TConvToHalf::Lookup(unsigned char lead, unsigned char trail) {
  if (lead == 0x81) return kLead81[trail];
  if (lead == 0x82) return kLead82[trail];
  return nullptr;
}

std::string TConvToHalf::ConvertText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (CharLen(s, i) == 2) {
      const char* half = Lookup(c, static_cast<unsigned char>(s[i + 1]));
      if (half != nullptr) {
        out += half;
      } else {
        out.append(s.data() + i, 2);
      }
      i += 2;
      continue;
    }
    out += IsHalfCornerBracket(c) ? '"' : static_cast<char>(c);
    ++i;
  }
  return out;
}

std::string TConvToHalf::ConvertToken(std::string_view s) {
  if (s.size() == 1 && IsHalfCornerBracket(static_cast<unsigned char>(s[0]))) return "\"";
  if (s.size() == 2) {
    const char* half = Lookup(static_cast<unsigned char>(s[0]), static_cast<unsigned char>(s[1]));
    if (half != nullptr) return half;
  }
  return std::string(s);
}

}  // namespace sorane
