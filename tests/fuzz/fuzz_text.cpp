// libFuzzer target: the hand-written text codecs and matchers on arbitrary
// bytes — CSV reading and writing, BASE64 and mail header words, kanji code
// detection and conversion, width/kana/case maps, numbers and the wildcard
// matcher, and the reading of DLL declarations. Besides crashes and sanitizer
// reports it checks that a table written and read back keeps its cells and
// that a declaration gives only known type letters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "interop/dll/dll_declaration.h"
#include "library/patterns/patterns_wild.h"
#include "text/base64.h"
#include "text/charmap.h"
#include "text/csv.h"
#include "text/kanji_code.h"
#include "text/number.h"
#include "text/sjis.h"

using namespace sorane;

// A lead byte with no trail byte after it, or followed by a byte that can never
// be a trail byte (a quote, comma or line break). The character model pairs
// them anyway, so such text cannot be written as CSV and read back unchanged.
static bool HasBrokenCharacter(std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (IsLeadByte(static_cast<unsigned char>(s[i]))) {
      if (i + 1 >= s.size() || static_cast<unsigned char>(s[i + 1]) < 0x40) return true;
      ++i;
    }
  return false;
}

// What a table keeps through writing and reading. Reading trims every cell and
// removes a pair of quotes around it, so blanks and surrounding quotes of a
// cell cannot be written; and a row read from "a," has one cell, so empty
// cells at the end of a row are not kept either.
static CsvTable Kept(CsvTable table) {
  for (CsvRow& row : table) {
    for (std::string& cell : row) {
      cell = Trim(cell);
      while (cell.size() > 1 && cell.front() == '"' && cell.back() == '"')
        cell = Trim(cell.substr(1, cell.size() - 2));
    }
    while (!row.empty() && row.back().empty()) row.pop_back();
  }
  return table;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);

  CsvTable table = CsvParse(in);
  if (!HasBrokenCharacter(in) && Kept(CsvParse(CsvWrite(table))) != Kept(table)) abort();
  CsvWrite(CsvParse(in, '\t'), '\t');
  CsvParseLine(in);

  Base64Decode(in);
  Base64Decode(Base64Encode(in));
  MimeDecodeHeader(in);
  MimeEncodeHeader(in);
  CutAtInvalidChar(in);

  DetectKanjiCode(in);
  for (int target : {2, 4, 5}) ConvertKanjiCode(in, target);
  JisToSjis(in);
  SjisToJis(in);

  for (MapMode mode : {MapMode::FullWidth, MapMode::HalfWidth, MapMode::Hiragana, MapMode::Katakana,
                       MapMode::Lower, MapMode::Upper})
    MapText(in, mode);
  AlnumToHalf(in);

  FormatNumber(ParseNumber(in));
  StrictNumber(in);

  DllTypedDeclaration typed = ParseTypedDeclaration(in);
  const std::string_view letters = "vpwdbif";
  if (letters.find(typed.result) == std::string_view::npos) abort();
  for (char letter : typed.params)
    if (letters.find(letter) == std::string_view::npos) abort();
  if (typed.function.find('(') != std::string::npos) abort();
  DllUntypedDeclaration untyped = ParseUntypedDeclaration(in);
  if (untyped.function.find('(') != std::string::npos) abort();
  if (DllLibraryNames(in, "/s/").front() != in) abort();

  // The first line is the pattern, the rest the subject.
  size_t cut = in.find('\n');
  if (cut != std::string_view::npos) {
    std::string_view pattern = in.substr(0, cut), subject = in.substr(cut + 1);
    std::string rest(subject), head;
    std::vector<std::string> pickups;
    try {  // a malformed pattern is reported by an exception, not a fault
      WildMatch(subject, pattern);
      WildCut(pattern, rest, head, pickups);
    } catch (const std::exception&) {
    }
  }
  return 0;
}
