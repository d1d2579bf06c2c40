// The text-file encoding setting and the conversion at the text commands'
// file boundary (rules in text_encoding.h).
#include "library/files/text_encoding.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unordered_map>

#include "platform/path_resolve.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

const char kBom[] = "\xEF\xBB\xBF";

// What the run found or wrote, by the real path of each file.
struct TextFileForms {
  std::unordered_map<std::string, TextFileForm> by_path;
};

std::string KeyOf(const std::string& os_path) {
  ResolvedPath r = ResolveOsPath(os_path);
  return r.ok ? r.real : os_path;
}

void Remember(Interpreter& in, const std::string& os_path, TextFileForm form) {
  in.S.RunStates.Get<TextFileForms>().by_path[KeyOf(os_path)] = form;
}

std::optional<TextFileForm> Remembered(Interpreter& in, const std::string& os_path) {
  auto& forms = in.S.RunStates.Get<TextFileForms>().by_path;
  auto it = forms.find(KeyOf(os_path));
  if (it == forms.end()) return std::nullopt;
  return it->second;
}

TextFileForm Utf8Form(bool bom) {
  return bom ? TextFileForm::kUtf8Bom : TextFileForm::kUtf8;
}

// The form of the file as it is on disk, read block by block (a large file
// is never held whole). Only the byte-order mark matters unless `whole`. A
// missing or unreadable file counts as empty.
TextFileForm FormOnDisk(const std::string& os_path, bool whole) {
  Utf8Check check;
  int fd = open(os_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char buf[65536];
    for (;;) {
      ssize_t n = read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      bool more = check.Feed(std::string_view(buf, static_cast<size_t>(n)));
      if (!whole || !more || check.HasBom()) break;
    }
    close(fd);
  }
  if (!whole) return Utf8Form(check.HasBom());
  return check.ReadsAsUtf8() ? Utf8Form(check.HasBom()) : TextFileForm::kShiftJis;
}

// The form a write to the file uses (and a handle's lines): the one the run
// remembers, else the one its content on disk has; the form is remembered.
TextFileForm FormForWriting(Interpreter& in, const std::string& os_path) {
  if (std::optional<TextFileForm> known = Remembered(in, os_path)) return *known;
  TextFileForm form = FormOnDisk(os_path, GetTextFileEncoding(in) == TextFileEncoding::kAuto);
  Remember(in, os_path, form);
  return form;
}

}  // namespace

bool ParseTextFileEncoding(std::string_view word, TextFileEncoding& out) {
  const std::string w = AsciiUpper(word);
  if (w == "UTF-8" || w == "UTF8") {
    out = TextFileEncoding::kUtf8;
  } else if (w == "SJIS" || w == "SHIFT_JIS" || w == "SHIFT-JIS" || w == "CP932") {
    out = TextFileEncoding::kShiftJis;
  } else if (w == "AUTO") {
    out = TextFileEncoding::kAuto;
  } else {
    return false;
  }
  return true;
}

void SetTextFileEncoding(Interpreter& in, TextFileEncoding encoding) {
  in.S.TextEncoding = static_cast<int>(encoding);
}

TextFileEncoding GetTextFileEncoding(const Interpreter& in) {
  return in.S.TextEncoding < 0 ? TextFileEncoding::kShiftJis
                               : static_cast<TextFileEncoding>(in.S.TextEncoding);
}

void TextEncodingFromEnvironment(Interpreter& in) {
  if (in.S.TextEncoding >= 0) return;
  const char* value = std::getenv("SORANE_TEXT_ENCODING");
  if (!value || !*value) return;
  TextFileEncoding encoding;
  if (ParseTextFileEncoding(value, encoding)) return SetTextFileEncoding(in, encoding);
  static bool warned = false;
  if (warned) return;
  warned = true;
  std::fprintf(stderr,
               "sorane: SORANE_TEXT_ENCODING=%s is not utf-8, sjis or auto; text files stay "
               "Shift-JIS\n",
               value);
}

void DecodeFileText(Interpreter& in, const std::string& os_path, std::string& bytes) {
  TextFileEncoding setting = GetTextFileEncoding(in);
  if (setting == TextFileEncoding::kShiftJis) return;
  const bool bom = HasUtf8Bom(bytes);
  const bool utf8 = setting == TextFileEncoding::kUtf8 || ReadsAsUtf8(bytes);
  Remember(in, os_path, utf8 ? Utf8Form(bom) : TextFileForm::kShiftJis);
  if (utf8) bytes = Utf8ToSjisKeepingBytes(std::string_view(bytes).substr(bom ? 3 : 0));
}

const std::string& EncodedFileText(Interpreter& in, const std::string& os_path,
                                   const std::string& text, FileWrite how, std::string& room) {
  if (GetTextFileEncoding(in) == TextFileEncoding::kShiftJis) return text;
  TextFileForm form = FormForWriting(in, os_path);
  if (form == TextFileForm::kShiftJis) return text;
  room = SjisToUtf8KeepingBytes(text);
  if (form == TextFileForm::kUtf8Bom && how == FileWrite::kReplace) room.insert(0, kBom);
  return room;
}

void EncodeFileText(Interpreter& in, const std::string& os_path, std::string& text, FileWrite how) {
  std::string room;
  if (&EncodedFileText(in, os_path, text, how, room) == &room) text = std::move(room);
}

TextFileForm LineFormOf(Interpreter& in, const std::string& os_path) {
  if (GetTextFileEncoding(in) == TextFileEncoding::kShiftJis) return TextFileForm::kShiftJis;
  return FormForWriting(in, os_path);
}

}  // namespace sorane
