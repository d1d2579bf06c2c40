// The encoding of the text files scripts read and write. Inside the run-time
// every text is Shift-JIS; by default a text file's bytes pass unchanged. A user
// on a UTF-8 system can ask for UTF-8 data files (--text-encoding, or the
// environment variable SORANE_TEXT_ENCODING): the text commands then convert at
// the file boundary. Binary commands never convert.
//
// The text commands are 読む, 書く/保存, 追加保存, the line commands of file
// handles, the INI file commands and 表示出力先 (the CSV commands work on the
// texts these read and write). Each asks this file for the bytes to write and
// the text of the bytes read, naming the file by its OS path:
//   - Shift-JIS: nothing is converted, nothing is remembered.
//   - UTF-8: every file is UTF-8. A byte-order mark at the start is dropped on
//     reading, and a file that had one keeps it when it is replaced.
//   - auto: a file read is UTF-8 when ReadsAsUtf8 (text/encoding.h) says so —
//     the rule the script loader uses — and Shift-JIS otherwise. The run
//     remembers, by the real path of each file, the form it found or wrote, and
//     writes the file back in that form. A file the run has not read yet is
//     judged by its content on disk; a new or empty file, or one of ASCII
//     only, is Shift-JIS (the language's own encoding: ask for utf-8 when new
//     files should be UTF-8).
// A character CP932 lacks (é, an emoji) is kept as byte escapes
// (Utf8ToSjisKeepingBytes), which become the same bytes again when the text is
// written to a UTF-8 file: nothing turns into "?".
#pragma once

#include <cstdint>
#include <string>
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

// Takes the setting from SORANE_TEXT_ENCODING unless it is made already (the
// command line wins). An unknown word is reported once on standard error and
// leaves Shift-JIS. Called where the library is installed.
void TextEncodingFromEnvironment(Interpreter& in);

// How the bytes of one text file hold its text.
enum class TextFileForm : uint8_t { kShiftJis, kUtf8, kUtf8Bom };

// The bytes read from the file at `os_path` become its CP932 text (in place).
void DecodeFileText(Interpreter& in, const std::string& os_path, std::string& bytes);
// The CP932 text becomes the bytes to write to the file at `os_path` (in
// place): replacing its content, or added at its end (never a byte-order mark).
enum class FileWrite : uint8_t { kReplace, kAppend };
void EncodeFileText(Interpreter& in, const std::string& os_path, std::string& text, FileWrite how);
// The same for a text left as it is: the text itself when it is written as it
// stands, else its encoded bytes, made in `room`.
const std::string& EncodedFileText(Interpreter& in, const std::string& os_path,
                                   const std::string& text, FileWrite how, std::string& room);
// The form of the lines a file handle reads and writes in the file.
TextFileForm LineFormOf(Interpreter& in, const std::string& os_path);

}  // namespace sorane
