// INI (profile) files: "[section]" lines followed by "key=value" lines.
//
// Reading rules:
//   - lines end at CR LF, LF or CR;
//   - a line whose first non-blank character is "[" starts a section; its name
//     is the text up to "]" (or the end of the line), trimmed;
//   - a line whose first non-blank character is ";" is a comment;
//   - any other line with "=" is a key: the name is the text before the first
//     "=", the value the text after it, both trimmed; a value enclosed in a
//     pair of double or single quotes loses them;
//   - lines before the first section and lines of no kind are ignored;
//   - section and key names compare without regard to the case of the Latin
//     letters (also full-width ones); the first matching section and the first
//     matching key in it count.
//
// Writing changes one line (or adds one) and keeps every other byte of the
// file as it was, so comments, unknown lines and the line-break style survive.
// A value that would not read back as itself (blanks at either end, or
// enclosing quotes) is written inside double quotes. Names and values that
// would break the file's structure (line breaks, "]" in a section name, "=" in
// a key name) are refused.
//
// The file on disk is read again for every access (another program may have
// changed it) and replaced atomically, so a failed write leaves the old file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sorane {

// The rules above over the bytes of one INI file.
class IniText {
 public:
  explicit IniText(std::string text = {}) : text_(std::move(text)) {}

  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  // False (and no change) for names or values that cannot be stored.
  bool Write(std::string_view section, std::string_view key, std::string_view value);
  const std::string& Text() const { return text_; }

  static bool ValidSection(std::string_view section);
  static bool ValidKey(std::string_view key);
  static bool ValidValue(std::string_view value);

 private:
  std::string text_;
};

// Case-insensitive name comparison of the profile rules (Shift-JIS aware).
bool IniNamesEqual(std::string_view a, std::string_view b);

// How the bytes of an INI file become the text the rules read, and that text
// the bytes written (the run's text-file encoding); empty members keep the bytes.
struct IniCodec {
  std::function<void(std::string& bytes)> decode;
  std::function<void(std::string& text)> encode;
};

// The INI file at a script-side (CP932) name.
// Read: nullopt when the file, the section or the key is missing; false in
// `ok` when the file exists but cannot be read.
std::optional<std::string> IniFileRead(const std::string& name, std::string_view section,
                                       std::string_view key, bool* ok = nullptr,
                                       const IniCodec& codec = {});
// False when the name or value cannot be stored, the old file cannot be read,
// or the new file cannot be written; the old file is then unchanged.
bool IniFileWrite(const std::string& name, std::string_view section, std::string_view key,
                  std::string_view value, const IniCodec& codec = {});

}  // namespace sorane
