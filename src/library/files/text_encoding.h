// The encoding of the text files scripts read and write. Inside the run-time
// every text is Shift-JIS; by default a text file's bytes pass unchanged. A user
// on a UTF-8 system can ask for UTF-8 data files (--text-encoding, or the
// environment variable SORANE_TEXT_ENCODING): the text commands then convert at
// the file boundary. Binary commands never convert.
#pragma once

#include <cstdint>
#include <string_view>

namespace sorane {

class Interpreter;

enum class TextFileEncoding : uint8_t {
  kShiftJis,  // bytes unchanged (the default)
  kUtf8,      // read as UTF-8, written as UTF-8
  kAuto,      // a file that reads as UTF-8 (and not as Shift-JIS) is converted,
              // and written back in the encoding it was read in
};

// Reads an encoding word ("utf-8", "sjis", "auto" and their spellings); false
// when the word names none.
bool ParseTextFileEncoding(std::string_view word, TextFileEncoding& out);

// The setting of this run.
void SetTextFileEncoding(Interpreter& in, TextFileEncoding encoding);
TextFileEncoding GetTextFileEncoding(const Interpreter& in);

}  // namespace sorane
