// Kanji code detection and conversion between Shift-JIS, EUC and 7-bit JIS.
// The double-byte repertoire is the same JIS X 0208 plane in all three; only the
// byte arithmetic differs. Half-width katakana have no JIS X 0208 form of their
// own and become the full-width katakana when converted to JIS.
#include "text/kanji_code.h"

#include <algorithm>

#include "text/charmap.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kSs2 = 0x8E;  // EUC: a half-width katakana follows
constexpr unsigned char kSs3 = 0x8F;  // EUC: a JIS X 0212 pair follows
constexpr char kDoubleOn[] = "\x1B$B";
constexpr char kSingleOn[] = "\x1B(J";
// JIS X 0212 characters have no Shift-JIS or JIS X 0208 form: they become the
// geta mark 〓 instead of two unrelated characters.
constexpr unsigned kGetaJis = 0x222E;

struct Pair {
  unsigned char hi;
  unsigned char lo;
};

unsigned char Byte(std::string_view s, size_t i) {
  return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
}

bool In(unsigned char c, unsigned char lo, unsigned char hi) {
  return c >= lo && c <= hi;
}

bool IsHalfKana(unsigned char c) {
  return In(c, 0xA1, 0xDF);
}

bool IsSoundMark(unsigned char c) {
  return c == 0xDE || c == 0xDF;
}

// The standard Shift-JIS <-> JIS X 0208 row/cell arithmetic.
Pair SjisToJisPair(unsigned char c1, unsigned char c2) {
  unsigned hi = c1 - (c1 <= 0x9F ? 0x70 : 0xB0);
  hi <<= 1;
  unsigned lo = c2;
  if (c2 < 0x9F) {
    --hi;
    lo -= (c2 < 0x7F) ? 0x1F : 0x20;
  } else {
    lo -= 0x7E;
  }
  return {static_cast<unsigned char>(hi), static_cast<unsigned char>(lo)};
}

Pair JisToSjisPair(unsigned char c1, unsigned char c2) {
  unsigned lo = c2;
  if (c1 & 1) {
    lo += (c2 < 0x60) ? 0x1F : 0x20;
  } else {
    lo += 0x7E;
  }
  unsigned hi = ((c1 + 1u) >> 1) + (c1 < 0x5F ? 0x70 : 0xB0);
  return {static_cast<unsigned char>(hi), static_cast<unsigned char>(lo)};
}

Pair CodePair(unsigned code) {
  return {static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code & 0xFF)};
}

// JIS pair of the full-width form of a half-width kana, joined with the sound
// mark `mark` when they combine (ｶﾞ -> ガ); `joined` tells whether it did.
Pair HalfKanaJis(unsigned char kana, unsigned char mark, bool& joined) {
  unsigned code = IsSoundMark(mark) ? ComposeHalfKana(kana, mark) : 0;
  joined = code != 0;
  if (!joined) code = HalfKanaToFull(kana);
  Pair sjis = CodePair(code);
  return SjisToJisPair(sjis.hi, sjis.lo);
}

// Builds 7-bit JIS text, switching modes with escape sequences as needed.
class JisWriter {
 public:
  void Double(Pair p) {
    if (!double_mode_) out_ += kDoubleOn;
    double_mode_ = true;
    out_ += static_cast<char>(p.hi);
    out_ += static_cast<char>(p.lo);
  }
  void Single(unsigned char c) {
    if (double_mode_) out_ += kSingleOn;
    double_mode_ = false;
    out_ += static_cast<char>(c);
  }
  std::string Finish() {
    if (double_mode_) out_ += kSingleOn;
    return std::move(out_);
  }

 private:
  std::string out_;
  bool double_mode_ = false;
};

std::string EucToJis(std::string_view s) {
  JisWriter w;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = Byte(s, i);
    if (c == kSs2 && i + 1 < s.size()) {
      // In EUC the sound mark is itself preceded by SS2.
      bool joined = false;
      unsigned char mark = Byte(s, i + 2) == kSs2 ? Byte(s, i + 3) : 0;
      w.Double(HalfKanaJis(Byte(s, i + 1), mark, joined));
      i += joined ? 4 : 2;
    } else if (c == kSs3 && i + 2 < s.size()) {
      w.Double(CodePair(kGetaJis));
      i += 3;
    } else if (In(c, 0xA1, 0xFE) && i + 1 < s.size()) {
      w.Double({static_cast<unsigned char>(c & 0x7F),
                static_cast<unsigned char>(Byte(s, i + 1) & 0x7F)});
      i += 2;
    } else {
      w.Single(c);
      ++i;
    }
  }
  return w.Finish();
}

std::string SjisToEuc(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 2);
  for (size_t i = 0; i < s.size();) {
    unsigned char c = Byte(s, i);
    if (IsLeadByte(c) && i + 1 < s.size()) {
      Pair p = SjisToJisPair(c, Byte(s, i + 1));
      out += static_cast<char>(p.hi | 0x80);
      out += static_cast<char>(p.lo | 0x80);
      i += 2;
      continue;
    }
    if (IsHalfKana(c)) out += static_cast<char>(kSs2);
    out += static_cast<char>(c);
    ++i;
  }
  return out;
}

// Walks JIS text: ESC "$" switches the double-byte mode on, ESC "(" off; the
// three bytes of either sequence are dropped. `pair` receives the double-byte
// mode bytes 0x21-0x7E and returns how many it used; other bytes are copied.
template <typename PairFn>
std::string WalkJis(std::string_view s, PairFn pair) {
  std::string out;
  out.reserve(s.size());
  bool double_mode = false;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = Byte(s, i);
    unsigned char next = Byte(s, i + 1);
    if (c == kEsc && (next == '$' || next == '(')) {
      double_mode = next == '$';
      i = std::min(i + 3, s.size());
    } else if (double_mode && In(c, 0x21, 0x7E)) {
      i += pair(s, i, out);
    } else {
      out += static_cast<char>(c);
      ++i;
    }
  }
  return out;
}

std::string JisToEuc(std::string_view s) {
  return WalkJis(s, [](std::string_view t, size_t i, std::string& out) -> size_t {
    out += static_cast<char>(Byte(t, i) | 0x80);
    return 1;
  });
}

std::string EucToSjis(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = Byte(s, i);
    if (c <= 0x80 || c == 0xFF || i + 1 >= s.size()) {
      out += static_cast<char>(c);
      i += 1;
    } else if (c == kSs2) {
      out += s[i + 1];
      i += 2;
    } else if (c == kSs3 && i + 2 < s.size()) {
      Pair p = JisToSjisPair(kGetaJis >> 8, kGetaJis & 0xFF);
      out += static_cast<char>(p.hi);
      out += static_cast<char>(p.lo);
      i += 3;
    } else {
      Pair p = JisToSjisPair(c & 0x7F, Byte(s, i + 1) & 0x7F);
      out += static_cast<char>(p.hi);
      out += static_cast<char>(p.lo);
      i += 2;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Detection

// Decision for a byte pair starting with a in 0xA1-0xDF (half-width kana in
// Shift-JIS, the first byte of a pair in EUC).
int DecideKanaLead(std::string_view s, size_t i) {
  unsigned char b = Byte(s, i + 1);
  if (In(b, 0xF0, 0xFE)) return kCodeEuc;
  if (In(b, 0xA1, 0xDF)) return kCodeEucOrSjis;
  if (In(b, 0xE0, 0xEF)) {
    // Read on while the bytes look like text: Shift-JIS-only lead bytes or
    // EUC-only bytes settle the question; the last such byte wins.
    int result = kCodeEucOrSjis;
    for (size_t j = i + 2; j < s.size() && Byte(s, j) > 0x3F; ++j) {
      unsigned char d = Byte(s, j);
      if (In(d, 0x81, 0x8D) || In(d, 0x8F, 0x9C)) result = kCodeSjis;
      if (d == 0xFD || d == 0xFE) result = kCodeEuc;
    }
    return result;
  }
  if (b <= 0x9F) return kCodeSjis;
  return kCodeAscii;
}

// One step of the scan: updates `result` and returns the number of bytes used.
size_t DetectStep(std::string_view s, size_t i, int& result) {
  unsigned char a = Byte(s, i), b = Byte(s, i + 1);
  auto decide = [&result](int code) {
    if (code != kCodeAscii) result = code;
  };
  if (a <= 0x07 || a == 0xFF) {
    result = kCodeBinary;
    return 1;
  }
  if (a == kEsc) {
    if (b != '$') return 2;
    unsigned char c = Byte(s, i + 2);
    if (c == 'B') decide(kCodeJisNew);
    if (c == '@') decide(kCodeJisOld);
    return 3;
  }
  if (a < 0x80) return 1;
  if (In(a, 0x81, 0x8D) || In(a, 0x8F, 0x9F)) {
    result = kCodeSjis;
    return 1;
  }
  if (a == kSs2) {
    if (In(b, 0x40, 0x7E) || In(b, 0x80, 0xA0) || In(b, 0xE0, 0xFC)) decide(kCodeSjis);
    if (In(b, 0xA1, 0xDF)) decide(kCodeEucOrSjis);
    return 2;
  }
  if (In(a, 0xF0, 0xFE)) {
    result = kCodeEuc;
    return 1;
  }
  if (In(a, 0xE0, 0xEF)) {
    if (In(b, 0x40, 0x7E) || In(b, 0x80, 0xA0)) decide(kCodeSjis);
    if (b == 0xFD || b == 0xFE) decide(kCodeEuc);
    if (In(b, 0xA1, 0xFC)) decide(kCodeEucOrSjis);
    return 2;
  }
  if (In(a, 0xA1, 0xDF)) {
    decide(DecideKanaLead(s, i));
    return 2;
  }
  return 1;  // 0x80, 0xA0
}

}  // namespace

int DetectKanjiCode(std::string_view s) {
  if (s.empty()) return kCodeAscii;
  const size_t probe = std::min<size_t>(512, s.size() - 1);
  for (size_t i = 0; i < probe; ++i) {
    unsigned char c = Byte(s, i);
    if (c <= 0x07 || c == 0xFF) return kCodeBinary;
  }
  int result = kCodeAscii;
  for (size_t i = 0; i + 1 < s.size() && (result == kCodeAscii || result == kCodeEucOrSjis);) {
    i += DetectStep(s, i, result);
  }
  return result;
}

std::string SjisToJis(std::string_view s) {
  JisWriter w;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = Byte(s, i);
    if (IsLeadByte(c) && i + 1 < s.size()) {
      w.Double(SjisToJisPair(c, Byte(s, i + 1)));
      i += 2;
    } else if (IsHalfKana(c)) {
      bool joined = false;
      w.Double(HalfKanaJis(c, Byte(s, i + 1), joined));
      i += joined ? 2 : 1;
    } else {
      w.Single(c);
      ++i;
    }
  }
  return w.Finish();
}

std::string JisToSjis(std::string_view s) {
  return WalkJis(s, [](std::string_view t, size_t i, std::string& out) -> size_t {
    unsigned char c2 = Byte(t, i + 1);
    if (!In(c2, 0x21, 0x7E)) {  // a pair broken by a line end or the text end
      out += t[i];
      return 1;
    }
    Pair p = JisToSjisPair(Byte(t, i), c2);
    out += static_cast<char>(p.hi);
    out += static_cast<char>(p.lo);
    return 2;
  });
}

std::string ConvertKanjiCode(std::string_view s, int target) {
  const int source = DetectKanjiCode(s);
  const bool from_jis = source == kCodeJisNew || source == kCodeJisOld;
  switch (target) {
    case kCodeJisNew:
      if (source == kCodeSjis) return SjisToJis(s);
      if (source == kCodeEuc) return EucToJis(s);
      break;
    case kCodeEuc:
      if (from_jis) return JisToEuc(s);
      if (source == kCodeSjis) return SjisToEuc(s);
      break;
    case kCodeSjis:
      if (from_jis) return JisToSjis(s);
      if (source == kCodeEuc) return EucToSjis(s);
      break;
    default:
      break;
  }
  return std::string(s);
}

}  // namespace sorane
