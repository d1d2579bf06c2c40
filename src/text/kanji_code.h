// Kanji code detection and conversion between Shift-JIS, EUC and JIS.
#pragma once

#include <string>
#include <string_view>

namespace sorane {

enum KanjiCode {
  kCodeAscii = 0,
  kCodeBinary = 1,
  kCodeJisNew = 2,
  kCodeJisOld = 3,
  kCodeEuc = 4,
  kCodeSjis = 5,
  kCodeEucOrSjis = 6,
};

int DetectKanjiCode(std::string_view s);
// target: 2 (JIS), 4 (EUC) or 5 (Shift-JIS); undecidable text is returned unchanged.
std::string ConvertKanjiCode(std::string_view s, int target);

// Direct conversions for text whose code is known, without detection. Half-width
// katakana become full-width JIS katakana; JIS output ends in single-byte mode.
std::string SjisToJis(std::string_view sjis);
std::string JisToSjis(std::string_view jis);

}  // namespace sorane
