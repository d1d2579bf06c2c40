// CP932 <-> UTF-8 conversion at the boundaries (terminal, file names, Qt), and
// SJ(), which turns a UTF-8 literal of our sources into its CP932 bytes once.
#pragma once

#include <string>
#include <string_view>

namespace sorane {

// Bytes that map to nothing are replaced: "?" towards CP932, U+FFFD towards UTF-8.
std::string Utf8ToSjis(std::string_view utf8);
std::string SjisToUtf8(std::string_view sjis);

// Valid UTF-8 that contains at least one non-ASCII byte.
bool LooksLikeUtf8(std::string_view bytes);

// Length of the valid UTF-8 sequence at bytes[pos] (1 for ASCII), or 0 when
// none starts there (overlong forms, surrogates, cut off by the end).
size_t Utf8SequenceLength(std::string_view bytes, size_t pos);

// ---- UTF-8 files

// A UTF-8 byte-order mark at the start.
bool HasUtf8Bom(std::string_view bytes);
// The one rule by which a file's bytes are taken as UTF-8 and not Shift-JIS:
// a byte-order mark, or LooksLikeUtf8. Scripts are loaded by it, and text
// files when the run reads them in the auto setting.
bool ReadsAsUtf8(std::string_view bytes);

// ReadsAsUtf8 over bytes that come in pieces (a file read block by block).
class Utf8Check {
 public:
  // False once the bytes so far cannot be valid UTF-8 (more feeding is useless
  // then, unless they began with a byte-order mark).
  bool Feed(std::string_view piece);
  // LooksLikeUtf8 and ReadsAsUtf8 over everything fed.
  bool LooksLikeUtf8() const { return !bad_ && carry_.empty() && non_ascii_; }
  bool ReadsAsUtf8() const { return HasBom() || LooksLikeUtf8(); }
  bool HasBom() const { return HasUtf8Bom(head_); }

 private:
  std::string head_;   // the first three bytes
  std::string carry_;  // a sequence cut off by the end of the last piece
  bool bad_ = false;
  bool non_ascii_ = false;
};

// Byte escapes: the user-defined CP932 character that stands for one byte
// b (0x80-0xFF), U+E000+b (0xF0C1 for 0x80 ... 0xF184 for 0xFF). They keep
// bytes CP932 has no character for inside a CP932 text, so that they come
// back unchanged when the text goes out again.
const std::string& ByteEscape(unsigned char b);
// UTF-8 with every U+E080-U+E0FF turned back into its byte.
std::string DecodeByteEscapes(std::string utf8);

// UTF-8 -> CP932 without losing anything: a character CP932 lacks (é, an
// emoji), a byte that is not UTF-8 and a character of the escape range itself
// become one byte escape per byte, never "?".
std::string Utf8ToSjisKeepingBytes(std::string_view utf8);
// CP932 -> UTF-8 turning byte escapes back into their bytes; a byte that is no
// CP932 character (a binary value) is written as it is, never U+FFFD. So
// SjisToUtf8KeepingBytes(Utf8ToSjisKeepingBytes(x)) == x for any bytes x, but
// for the characters CP932 holds once for two code points (U+301C and U+FF5E
// ...), which come back in the form CP932 gives (U+FF5E ...).
std::string SjisToUtf8KeepingBytes(std::string_view sjis);

}  // namespace sorane

// A CP932 std::string for a UTF-8 string literal, converted on first use.
#define SJ(lit)                                                     \
  ([]() -> const std::string& {                                     \
    static const std::string converted = ::sorane::Utf8ToSjis(lit); \
    return converted;                                               \
  }())
