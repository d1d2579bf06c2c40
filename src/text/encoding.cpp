// CP932 <-> UTF-8 through iconv. Both directions replace what they cannot
// convert and go on: "?" for a character CP932 lacks, U+FFFD for a byte sequence
// that is not CP932. Each thread keeps its own pair of converters open, so a
// conversion costs no iconv_open and threads never share a converter state.
//
// The CP932 table maps the JIS-style and the Microsoft-style code points of the
// characters where the two traditions differ to the same bytes (U+301C and
// U+FF5E to 0x8160, U+2212 and U+FF0D to 0x817C, U+2016 and U+2225 to 0x8161,
// U+00A2/U+00A3/U+00AC and U+FFE0/U+FFE1/U+FFE2 to 0x8191/0x8192/0x81CA), so
// UTF-8 text of either tradition comes out as a Windows user expects.
#include "text/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace sorane {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; at an unconvertible spot calls skip(in, pos, replacement),
  // which sets the replacement and returns how many input bytes it stands for.
  template <typename Skip>
  std::string Run(std::string_view in, size_t out_hint, Skip skip) {
    std::string out(out_hint + 16, '\0');
    size_t written = 0;
    size_t pos = 0;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (pos < in.size()) {
      char* src = const_cast<char*>(in.data() + pos);
      size_t src_left = in.size() - pos;
      char* dst = out.data() + written;
      size_t dst_left = out.size() - written;
      size_t rc = iconv(cd_, &src, &src_left, &dst, &dst_left);
      int err = errno;
      pos = in.size() - src_left;
      written = out.size() - dst_left;
      if (rc != static_cast<size_t>(-1)) break;
      if (err == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      // EILSEQ or EINVAL (a sequence cut off by the end of the text).
      std::string replacement;
      pos += skip(in, pos, replacement);
      if (written + replacement.size() > out.size()) out.resize(out.size() * 2 + 16);
      out.replace(written, replacement.size(), replacement);
      written += replacement.size();
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(written);
    return out;
  }

 private:
  iconv_t cd_;
};

// Length of the valid UTF-8 sequence at in[pos], or 0 when it is not valid
// (overlong forms, surrogates and code points above U+10FFFF included).
size_t Utf8SequenceLength(std::string_view in, size_t pos) {
  unsigned char c = static_cast<unsigned char>(in[pos]);
  size_t len;
  unsigned min;
  unsigned cp;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, min = 0x80, cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, min = 0x800, cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, min = 0x10000, cp = c & 0x07;
  } else {
    return 0;
  }
  if (pos + len > in.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char t = static_cast<unsigned char>(in[pos + k]);
    if ((t & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (t & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

// True when in[pos..] is the start of a multi-byte sequence cut off by the end.
bool IsCutOffUtf8(std::string_view in, size_t pos) {
  unsigned char c = static_cast<unsigned char>(in[pos]);
  size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (len == 0 || pos + len <= in.size()) return false;
  for (size_t k = pos + 1; k < in.size(); ++k) {
    if ((static_cast<unsigned char>(in[k]) & 0xC0) != 0x80) return false;
  }
  return true;
}

// A character CP932 lacks, a malformed byte and a sequence cut off by the end
// of the text each become one "?".
size_t SkipUtf8(std::string_view in, size_t pos, std::string& replacement) {
  replacement = "?";
  if (IsCutOffUtf8(in, pos)) return in.size() - pos;
  size_t len = Utf8SequenceLength(in, pos);
  return len == 0 ? 1 : len;
}

bool IsCp932Trail(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// A well-formed pair without a mapping counts as one character; otherwise only
// the offending byte is replaced, so the byte after it is read again.
size_t SkipCp932(std::string_view in, size_t pos, std::string& replacement) {
  replacement = "\xEF\xBF\xBD";  // U+FFFD
  unsigned char c = static_cast<unsigned char>(in[pos]);
  bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
  if (lead && pos + 1 < in.size() && IsCp932Trail(static_cast<unsigned char>(in[pos + 1]))) {
    return 2;
  }
  return 1;
}

Converter& ToSjis() {
  thread_local Converter converter("CP932", "UTF-8");
  return converter;
}

Converter& ToUtf8() {
  thread_local Converter converter("UTF-8", "CP932");
  return converter;
}

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string Utf8ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return ToSjis().Run(utf8, utf8.size(), SkipUtf8);
}

std::string SjisToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  return ToUtf8().Run(sjis, sjis.size() * 3 / 2, SkipCp932);
}

bool LooksLikeUtf8(std::string_view bytes) {
  bool non_ascii = false;
  for (size_t i = 0; i < bytes.size();) {
    size_t len = Utf8SequenceLength(bytes, i);
    if (len == 0) return false;
    non_ascii |= len > 1;
    i += len;
  }
  return non_ascii;
}

}  // namespace sorane
