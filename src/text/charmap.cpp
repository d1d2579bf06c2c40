// Width, kana and case mappings of Shift-JIS text. Each mapping is a 64K-entry
// table indexed by the character code (byte value for single-byte characters,
// lead*256+trail for double-byte ones), built from the code lists below on first
// use. An entry holds the replacement code and, for half-width voiced kana, the
// separate sound-mark byte that follows it; 0 means "unchanged".
//
// The width lists were generated once from the CP932 codec: each printable ASCII
// character was mapped to its Unicode full-width form (space to U+3000, the
// quotes '"', ''' and '`' to the curly quotes U+201D, U+2019, U+2018, '\' to
// U+FF3C, '~' to U+FF5E) and each half-width katakana 0xA1-0xDF to its
// compatibility form (the sound marks to U+309B/U+309C), then encoded back.
#include "text/charmap.h"

#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "text/sjis.h"

namespace sorane {

namespace {

struct WidthPair {
  uint16_t full;
  uint8_t half;
};

struct VoicedKana {
  uint16_t full;  // the combined katakana
  uint8_t base;   // its half-width kana
  uint8_t mark;   // 0xDE (voiced) or 0xDF (semi-voiced)
};

// Codes from[i] and to[i] correspond for i < count.
struct CodeRun {
  uint16_t from;
  uint16_t to;
  uint16_t count;
};

// Index c - 0x20 for c in 0x20..0x7E.
constexpr uint16_t kAsciiFull[] = {
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166,  //  !"#$%&'
    0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,  // ()*+,-./
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,  // 01234567
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,  // 89:;<=>?
    0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266,  // @ABCDEFG
    0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,  // HIJKLMNO
    0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,  // PQRSTUVW
    0x8277, 0x8278, 0x8279, 0x816D, 0x815F, 0x816E, 0x814F, 0x8151,  // XYZ[\]^_
    0x8165, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287,  // `abcdefg
    0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,  // hijklmno
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297,  // pqrstuvw
    0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160,          // xyz{|}~
};

// Index c - 0xA1 for the half-width katakana c in 0xA1..0xDF:
// 。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテト
// ナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜
constexpr uint16_t kKanaFull[] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
    0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
    0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
};

// Full-width characters that have a single-byte form without being the image of
// one in kAsciiFull: the yen sign, the full-width grave accent and the full-width
// straight quotes of the extension rows.
constexpr WidthPair kExtraHalf[] = {
    {0x818F, '\\'},  // ￥
    {0x814D, '`'},   // ｀
    {0xFA57, '"'},   // ＂
    {0xFA56, '\''},  // ＇
};

// Voiced (゛) and semi-voiced (゜) katakana: the combined character, the
// half-width base kana and the mark byte (0xDE or 0xDF).
constexpr VoicedKana kVoiced[] = {
    {0x834B, 0xB6, 0xDE}, {0x834D, 0xB7, 0xDE}, {0x834F, 0xB8, 0xDE}, {0x8351, 0xB9, 0xDE},
    {0x8353, 0xBA, 0xDE}, {0x8355, 0xBB, 0xDE}, {0x8357, 0xBC, 0xDE}, {0x8359, 0xBD, 0xDE},
    {0x835B, 0xBE, 0xDE}, {0x835D, 0xBF, 0xDE}, {0x835F, 0xC0, 0xDE}, {0x8361, 0xC1, 0xDE},
    {0x8364, 0xC2, 0xDE}, {0x8366, 0xC3, 0xDE}, {0x8368, 0xC4, 0xDE},  // ガ..ド
    {0x836F, 0xCA, 0xDE}, {0x8372, 0xCB, 0xDE}, {0x8375, 0xCC, 0xDE}, {0x8378, 0xCD, 0xDE},
    {0x837B, 0xCE, 0xDE},  // バ..ボ
    {0x8370, 0xCA, 0xDF}, {0x8373, 0xCB, 0xDF}, {0x8376, 0xCC, 0xDF}, {0x8379, 0xCD, 0xDF},
    {0x837C, 0xCE, 0xDF},  // パ..ポ
    {0x8394, 0xB3, 0xDE},  // ヴ
};

// Runs of codes that map one to one: from[i] <-> to[i] for i < count.
constexpr CodeRun kKatakanaToHiragana[] = {
    {0x8340, 0x829F, 63},  // ァ..ミ -> ぁ..み
    {0x8380, 0x82DE, 20},  // ム..ン -> む..ん
    {0x8152, 0x8154, 2},   // ヽヾ -> ゝゞ
};

constexpr CodeRun kUpperToLower[] = {
    {0x8260, 0x8281, 26},  // Ａ..Ｚ -> ａ..ｚ
    {0x839F, 0x83BF, 24},  // Greek capitals -> small letters
    {0x8440, 0x8470, 15},  // Cyrillic А..Н -> а..н (Ё included)
    {0x844F, 0x8480, 18},  // Cyrillic О..Я -> о..я (the small letters skip 0x847F)
    {0x8754, 0xFA40, 10},  // Roman numerals Ⅰ..Ⅹ -> ⅰ..ⅹ
    {0xFA4A, 0xFA40, 10},  // the same capitals of the extension rows
    {0x0041, 0x0061, 26},  // A..Z -> a..z
};

// Small Roman numerals of the NEC-selected rows have their capital too.
constexpr CodeRun kExtraLowerToUpper[] = {
    {0xEEEF, 0x8754, 10},
};

// The AlnumToHalf repertoire besides digits and letters:
// ！”＃＄％＆’（）＝－￥［］｛｝＿／＞＜，．＠‘ and the full-width space (lead 0x81).
constexpr uint8_t kAlnumSymbolTrails[] = {0x49, 0x68, 0x94, 0x90, 0x93, 0x95, 0x66, 0x69, 0x6A,
                                          0x81, 0x7C, 0x8F, 0x6D, 0x6E, 0x6F, 0x70, 0x51, 0x5E,
                                          0x84, 0x83, 0x43, 0x44, 0x97, 0x65, 0x40};

using Table = std::vector<uint32_t>;

constexpr uint32_t Entry(unsigned code, unsigned extra = 0) {
  return code | (extra << 16);
}

// Sets the entry unless an earlier list already gave this character a mapping.
void SetOnce(Table& t, unsigned from, uint32_t entry) {
  if (t[from] == 0) t[from] = entry;
}

void AddRuns(Table& t, const CodeRun* runs, size_t n, bool reverse) {
  for (size_t r = 0; r < n; ++r) {
    for (unsigned i = 0; i < runs[r].count; ++i) {
      unsigned a = runs[r].from + i, b = runs[r].to + i;
      if (reverse) std::swap(a, b);
      SetOnce(t, a, Entry(b));
    }
  }
}

Table BuildFull() {
  Table t(65536, 0);
  for (unsigned c = 0x20; c <= 0x7E; ++c) t[c] = Entry(kAsciiFull[c - 0x20]);
  for (unsigned c = 0xA1; c <= 0xDF; ++c) t[c] = Entry(kKanaFull[c - 0xA1]);
  return t;
}

Table BuildHalf() {
  Table t(65536, 0);
  for (unsigned c = 0x20; c <= 0x7E; ++c) SetOnce(t, kAsciiFull[c - 0x20], Entry(c));
  for (unsigned c = 0xA1; c <= 0xDF; ++c) SetOnce(t, kKanaFull[c - 0xA1], Entry(c));
  for (const WidthPair& p : kExtraHalf) SetOnce(t, p.full, Entry(p.half));
  for (const VoicedKana& v : kVoiced) SetOnce(t, v.full, Entry(v.base, v.mark));
  return t;
}

Table BuildKana(bool to_hiragana) {
  Table t(65536, 0);
  AddRuns(t, kKatakanaToHiragana, std::size(kKatakanaToHiragana), !to_hiragana);
  return t;
}

Table BuildCase(bool to_lower) {
  Table t(65536, 0);
  AddRuns(t, kUpperToLower, std::size(kUpperToLower), !to_lower);
  if (!to_lower) AddRuns(t, kExtraLowerToUpper, std::size(kExtraLowerToUpper), false);
  return t;
}

const Table& TableFor(MapMode mode) {
  static const Table full = BuildFull();
  static const Table half = BuildHalf();
  static const Table hira = BuildKana(true);
  static const Table kata = BuildKana(false);
  static const Table lower = BuildCase(true);
  static const Table upper = BuildCase(false);
  switch (mode) {
    case MapMode::FullWidth:
      return full;
    case MapMode::HalfWidth:
      return half;
    case MapMode::Hiragana:
      return hira;
    case MapMode::Katakana:
      return kata;
    case MapMode::Lower:
      return lower;
    case MapMode::Upper:
      return upper;
  }
  return full;
}

unsigned KeyAt(std::string_view s, size_t i, size_t len) {
  unsigned first = static_cast<unsigned char>(s[i]);
  return len == 1 ? first : first * 256 + static_cast<unsigned char>(s[i + 1]);
}

void AppendCode(std::string& out, unsigned code) {
  if (code > 0xFF) out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
}

bool IsSoundMark(char c) {
  return c == '\xDE' || c == '\xDF';
}

}  // namespace

unsigned HalfKanaToFull(unsigned char c) {
  return (c >= 0xA1 && c <= 0xDF) ? kKanaFull[c - 0xA1] : 0;
}

unsigned ComposeHalfKana(unsigned char c, unsigned char mark) {
  for (const VoicedKana& v : kVoiced) {
    if (v.base == c && v.mark == mark) return v.full;
  }
  return 0;
}

std::string MapText(std::string_view s, MapMode mode) {
  const Table& table = TableFor(mode);
  std::string out;
  out.reserve(s.size() + s.size() / 2);
  for (size_t i = 0; i < s.size();) {
    size_t len = CharLen(s, i);
    // A half-width kana followed by its sound mark becomes one full-width kana.
    if (mode == MapMode::FullWidth && len == 1 && i + 1 < s.size() && IsSoundMark(s[i + 1])) {
      unsigned joined =
          ComposeHalfKana(static_cast<unsigned char>(s[i]), static_cast<unsigned char>(s[i + 1]));
      if (joined != 0) {
        AppendCode(out, joined);
        i += 2;
        continue;
      }
    }
    uint32_t e = table[KeyAt(s, i, len)];
    if (e == 0) {
      out.append(s.data() + i, len);
    } else {
      AppendCode(out, e & 0xFFFF);
      if (e >> 16) out += static_cast<char>(e >> 16);
    }
    i += len;
  }
  return out;
}

namespace {

bool InAlnumRepertoire(unsigned char lead, unsigned char trail) {
  if (lead == 0x82) {
    return (trail >= 0x4F && trail <= 0x58) || (trail >= 0x60 && trail <= 0x79) ||
           (trail >= 0x81 && trail <= 0x9A);
  }
  if (lead != 0x81) return false;
  for (uint8_t t : kAlnumSymbolTrails) {
    if (t == trail) return true;
  }
  return false;
}

}  // namespace

std::string AlnumToHalf(std::string_view s) {
  const Table& half = TableFor(MapMode::HalfWidth);
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t len = CharLen(s, i);
    unsigned char lead = static_cast<unsigned char>(s[i]);
    if (len == 2 && InAlnumRepertoire(lead, static_cast<unsigned char>(s[i + 1]))) {
      out += static_cast<char>(half[KeyAt(s, i, 2)] & 0xFF);
    } else {
      out.append(s.data() + i, len);
    }
    i += len;
  }
  return out;
}

}  // namespace sorane
