#include "library/files/text_encoding.h"

namespace sorane {

// Placeholder until the conversion is built: only the default is known.
bool ParseTextFileEncoding(std::string_view word, TextFileEncoding& out) {
  if (word != "sjis") return false;
  out = TextFileEncoding::kShiftJis;
  return true;
}

void SetTextFileEncoding(Interpreter&, TextFileEncoding) {}
TextFileEncoding GetTextFileEncoding(const Interpreter&) { return TextFileEncoding::kShiftJis; }

}  // namespace sorane
