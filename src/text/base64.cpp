// BASE64 and the ISO-2022-JP encoded words of mail headers.
#include "text/base64.h"

#include <array>

#include "text/kanji_code.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kWordStart = "=?ISO-2022-JP?B?";
constexpr std::string_view kWordEnd = "?=";
constexpr char kSingleOn[] = "\x1B(J";

// Sextet of every byte; characters outside the alphabet (and "=") count as 0.
constexpr std::array<unsigned char, 256> kSextet = [] {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = i;
  return t;
}();

unsigned Sextet(char c) {
  return kSextet[static_cast<unsigned char>(c)];
}

// Bytes a group of BASE64 characters stands for: "xx==" and "xx" one, "xxx=" and
// "xxx" two, a full group three; "=" in the first two places counts as "A".
size_t GroupBytes(std::string_view g) {
  if (g.size() >= 3 && g[2] == '=') return 1;
  if (g.size() >= 4 && g[3] == '=') return 2;
  return g.size() - 1;
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

bool StartsWithNoCase(std::string_view s, size_t at, std::string_view prefix) {
  if (s.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = s[at + i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != prefix[i]) return false;
  }
  return true;
}

size_t FindNoCase(std::string_view s, std::string_view prefix, size_t from) {
  for (size_t i = from; i + prefix.size() <= s.size(); ++i) {
    if (StartsWithNoCase(s, i, prefix)) return i;
  }
  return std::string_view::npos;
}

// Japanese runs of a header: double-byte characters and half-width katakana
// (which become full-width in JIS; raw 8-bit bytes are not allowed in a header).
bool IsJapaneseAt(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  return CharLen(s, i) == 2 || (c >= 0xA1 && c <= 0xDF);
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                 static_cast<unsigned char>(bytes[i + 1]) << 8 |
                 static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(v >> shift) & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// The output is sized group by group from what each group stands for, so
// malformed padding ("=AAA", "YQ==YQ==") can never write past its end.
std::string Base64Decode(std::string_view text) {
  const std::string chars = WithoutLineBreaks(text);
  std::string out;
  out.reserve(chars.size() / 4 * 3 + 3);
  for (size_t i = 0; i < chars.size(); i += 4) {
    std::string_view group = std::string_view(chars).substr(i, 4);
    if (group.size() < 2) break;  // a single character holds no whole byte
    unsigned v = 0;
    for (size_t k = 0; k < 4; ++k) v = v << 6 | (k < group.size() ? Sextet(group[k]) : 0);
    size_t n = GroupBytes(group);
    for (size_t k = 0; k < n; ++k) out += static_cast<char>((v >> (16 - 8 * k)) & 0xFF);
  }
  return out;
}

std::string MimeEncodeHeader(std::string_view sjis) {
  std::string out;
  for (size_t i = 0; i < sjis.size();) {
    if (!IsJapaneseAt(sjis, i)) {
      out += sjis[i++];
      continue;
    }
    size_t start = i;
    while (i < sjis.size() && IsJapaneseAt(sjis, i)) i += CharLen(sjis, i);
    out += kWordStart;
    out += Base64Encode(SjisToJis(sjis.substr(start, i - start)));
    out += kWordEnd;
  }
  return out;
}

std::string MimeDecodeHeader(std::string_view header) {
  std::string text(header);
  size_t from = 0;
  for (;;) {
    size_t start = FindNoCase(text, kWordStart, from);
    if (start == std::string::npos) break;
    text.erase(start, kWordStart.size());
    size_t end = text.find(kWordEnd, start);
    if (end == std::string::npos) {
      from = start;
      continue;
    }
    std::string decoded = Base64Decode(std::string_view(text).substr(start, end - start));
    decoded += kSingleOn;
    text.replace(start, end - start + kWordEnd.size(), decoded);
    from = start + decoded.size();
  }
  return text;
}

std::string CutAtInvalidChar(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (CharLen(s, i) == 2) {
      i += 2;
      continue;
    }
    bool ok = (c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\n' || c == '\r';
    if (!ok) break;
    ++i;
  }
  return std::string(s.substr(0, i));
}

}  // namespace sorane
