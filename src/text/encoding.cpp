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
//
// The KeepingBytes pair (text files in UTF-8) replaces nothing: what CP932
// cannot hold travels as byte escapes, the user-defined characters file names
// use for the same purpose.
#include "text/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <vector>

#include "text/sjis.h"

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

// Towards UTF-8 keeping bytes: what does not convert is copied as it is.
size_t KeepCp932(std::string_view in, size_t pos, std::string& replacement) {
  size_t len = SkipCp932(in, pos, replacement);
  replacement.assign(in.substr(pos, len));
  return len;
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

std::string Utf8ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return ToSjis().Run(utf8, utf8.size(), SkipUtf8);
}

std::string SjisToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  return ToUtf8().Run(sjis, sjis.size() * 3 / 2, SkipCp932);
}

bool LooksLikeUtf8(std::string_view bytes) {
  Utf8Check check;
  check.Feed(bytes);
  return check.LooksLikeUtf8();
}

bool HasUtf8Bom(std::string_view bytes) {
  return bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

bool ReadsAsUtf8(std::string_view bytes) {
  Utf8Check check;
  check.Feed(bytes);
  return check.ReadsAsUtf8();
}

bool Utf8Check::Feed(std::string_view piece) {
  if (head_.size() < 3) head_.append(piece.substr(0, 3 - head_.size()));
  if (bad_) return false;
  size_t i = 0;
  if (!carry_.empty()) {
    // The sequence cut off by the last piece, completed by this one.
    std::string joined = carry_ + std::string(piece.substr(0, 4 - carry_.size()));
    size_t len = Utf8SequenceLength(joined, 0);
    if (len == 0 && IsCutOffUtf8(joined, 0)) {
      carry_ = std::move(joined);  // still cut off: the piece was part of it
      return true;
    }
    if (len == 0) {
      bad_ = true;
      return false;
    }
    i = len - carry_.size();
    carry_.clear();
    non_ascii_ = true;
  }
  while (i < piece.size()) {
    size_t len = Utf8SequenceLength(piece, i);
    if (len == 0) {
      bad_ = !IsCutOffUtf8(piece, i);
      if (!bad_) carry_.assign(piece.substr(i));
      return !bad_;
    }
    non_ascii_ |= len > 1;
    i += len;
  }
  return true;
}

// ---------------------------------------------------------------- byte escapes

namespace {

constexpr unsigned kEscapeBase = 0xE000;

// The byte a CP932 pair stands for when it is a byte escape, or -1.
int EscapedByte(unsigned char lead, unsigned char trail) {
  static const std::vector<int> table = [] {
    std::vector<int> t(512, -1);  // (lead - 0xF0) << 8 | trail for leads 0xF0 and 0xF1
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      const std::string& e = ByteEscape(static_cast<unsigned char>(b));
      t[(static_cast<unsigned char>(e[0]) - 0xF0) << 8 | static_cast<unsigned char>(e[1])] =
          static_cast<int>(b);
    }
    return t;
  }();
  if (lead != 0xF0 && lead != 0xF1) return -1;
  return table[(lead - 0xF0) << 8 | trail];
}

// U+E080-U+E0FF: the escape characters themselves.
bool IsEscapeCharacter(std::string_view utf8, size_t pos, size_t len) {
  return len == 3 && utf8[pos] == '\xEE' && (utf8[pos + 1] == '\x82' || utf8[pos + 1] == '\x83');
}

// Converts one character at a time: what CP932 lacks becomes byte escapes.
void AppendKeepingBytes(std::string_view utf8, std::string& out) {
  for (size_t i = 0; i < utf8.size();) {
    size_t len = Utf8SequenceLength(utf8, i);
    if (len == 1) {
      out += utf8[i++];
      continue;
    }
    if (len > 1 && !IsEscapeCharacter(utf8, i, len)) {
      std::string one = Utf8ToSjis(utf8.substr(i, len));
      if (one != "?") {
        out += one;
        i += len;
        continue;
      }
    }
    len = std::max<size_t>(len, 1);
    for (size_t k = 0; k < len; ++k) out += ByteEscape(static_cast<unsigned char>(utf8[i + k]));
    i += len;
  }
}

// The whole text converts as it is: valid UTF-8, no escape character, and no
// character that became "?".
bool ConvertsWhole(std::string_view utf8, std::string& out) {
  for (size_t i = 0; i < utf8.size();) {
    size_t len = Utf8SequenceLength(utf8, i);
    if (len == 0 || IsEscapeCharacter(utf8, i, len)) return false;
    i += len;
  }
  out = Utf8ToSjis(utf8);
  return std::count(out.begin(), out.end(), '?') == std::count(utf8.begin(), utf8.end(), '?');
}

}  // namespace

const std::string& ByteEscape(unsigned char b) {
  static const std::vector<std::string> table = [] {
    std::vector<std::string> t(256);
    for (unsigned v = 0x80; v <= 0xFF; ++v) {
      unsigned cp = kEscapeBase + v;
      std::string utf8 = {static_cast<char>(0xE0 | (cp >> 12)),
                          static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (cp & 0x3F))};
      t[v] = Utf8ToSjis(utf8);
    }
    return t;
  }();
  return table[b];
}

std::string DecodeByteEscapes(std::string utf8) {
  if (utf8.find('\xEE') == std::string::npos) return utf8;
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == 0xEE && i + 2 < utf8.size()) {
      unsigned cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                    (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
        out += static_cast<char>(cp - kEscapeBase);
        i += 2;
        continue;
      }
    }
    out += utf8[i];
  }
  return out;
}

std::string Utf8ToSjisKeepingBytes(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  std::string out;
  if (ConvertsWhole(utf8, out)) return out;
  // Line by line, so that one odd character does not slow down the whole text.
  out.clear();
  out.reserve(utf8.size());
  std::string line_out;
  for (size_t start = 0; start < utf8.size();) {
    size_t end = std::min(utf8.find('\n', start), utf8.size() - 1) + 1;
    std::string_view line = utf8.substr(start, end - start);
    if (ConvertsWhole(line, line_out))
      out += line_out;
    else
      AppendKeepingBytes(line, out);
    start = end;
  }
  return out;
}

std::string SjisToUtf8KeepingBytes(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  size_t run = 0;  // start of the characters not converted yet
  auto flush = [&](size_t end) {
    std::string_view part = sjis.substr(run, end - run);
    out += IsAscii(part) ? std::string(part) : ToUtf8().Run(part, part.size() * 3 / 2, KeepCp932);
  };
  for (size_t i = 0; i < sjis.size();) {
    size_t len = CharLen(sjis, i);
    int b = len == 2 ? EscapedByte(static_cast<unsigned char>(sjis[i]),
                                   static_cast<unsigned char>(sjis[i + 1]))
                     : -1;
    if (b >= 0) {
      flush(i);
      out += static_cast<char>(b);
      run = i + 2;
    }
    i += len;
  }
  flush(sjis.size());
  return out;
}

}  // namespace sorane
