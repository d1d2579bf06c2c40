#include "library/patterns/patterns_regex.h"

#include <oniguruma.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>

#include "platform/lazy_library.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

// The engine's functions called here, through pointers of their own names
// (platform/lazy_library.h), set once LoadOnig() is true. The last two entries
// are the engine's data, the Shift_JIS encoding and the Perl syntax: the
// pointers of those names hold their addresses and stand for the header's
// ONIG_ENCODING_SJIS and ONIG_SYNTAX_PERL_NG, which must not be used here
// (they would take the address of the pointer).
// clang-format off
#define SORANE_ONIG_SYMBOLS(F)                                                             \
  F(onig_initialize) F(onig_new) F(onig_free) F(onig_error_code_to_str)                    \
  F(onig_number_of_captures) F(onig_region_new) F(onig_region_free)                        \
  F(onig_new_match_param) F(onig_free_match_param) F(onig_initialize_match_param)          \
  F(onig_set_retry_limit_in_search_of_match_param) F(onig_search_with_param)               \
  F(onig_match_with_param)                                                                 \
  F(OnigEncodingSJIS) F(OnigSyntaxPerl_NG)
// clang-format on
SORANE_ONIG_SYMBOLS(SORANE_LAZY_DEFINE)
SORANE_LAZY_LOADER(LoadOnig, SORANE_ONIG_SYMBOLS, "libonig.so.5", "libonig5")

// Upper bound of backtracking steps in one search; a pathological expression
// fails with the engine's message instead of hanging the run.
constexpr unsigned long kRetryLimitInSearch = 200000000;

const UChar* U(const char* p) {
  return reinterpret_cast<const UChar*>(p);
}

[[noreturn]] void ThrowOnig(int code, OnigErrorInfo* info = nullptr) {
  UChar buf[ONIG_MAX_ERROR_MESSAGE_LEN + 1] = {};
  onig_error_code_to_str(buf, code, info);
  throw RegexError(reinterpret_cast<const char*>(buf));
}

// Loads and initialises the engine at the first pattern a run compiles (every
// other use of the engine follows a compilation). A missing library fails the
// command like an expression that cannot compile.
void RequireEngine() {
  if (!LoadOnig()) throw RegexError(SJ("正規表現ライブラリ(libonig)を読み込めません。"));
  static std::once_flag once;
  std::call_once(once, [] {
    OnigEncoding encodings[1] = {OnigEncodingSJIS};
    onig_initialize(encodings, 1);
  });
}

// ---------------------------------------------------------------- compiled expressions

struct RegexDeleter {
  void operator()(regex_t* r) const { onig_free(r); }
};
using RegexPtr = std::unique_ptr<regex_t, RegexDeleter>;

RegexPtr Compile(const std::string& body, OnigOptionType options) {
  RequireEngine();
  regex_t* reg = nullptr;
  OnigErrorInfo info{};
  int r = onig_new(&reg, U(body.data()), U(body.data() + body.size()), options, OnigEncodingSJIS,
                   OnigSyntaxPerl_NG, &info);
  if (r != ONIG_NORMAL) ThrowOnig(r, &info);
  return RegexPtr(reg);
}

// One compiled expression, and its variant that refuses an empty match (used
// after an empty match, to look for a non-empty one at the same position).
struct Compiled {
  std::string body;
  OnigOptionType options = 0;
  RegexPtr reg;
  RegexPtr not_empty;

  regex_t* NotEmpty() {
    if (!not_empty) not_empty = Compile(body, options | ONIG_OPTION_FIND_NOT_EMPTY);
    return not_empty.get();
  }
};

// Scripts usually run the same few expressions in a loop: the last ones used
// stay compiled.
Compiled& Lookup(const std::string& body, OnigOptionType options) {
  static std::list<Compiled> cache;
  constexpr size_t kCacheSize = 8;
  for (auto it = cache.begin(); it != cache.end(); ++it) {
    if (it->options == options && it->body == body) {
      cache.splice(cache.begin(), cache, it);
      return cache.front();
    }
  }
  Compiled c;
  c.body = body;
  c.options = options;
  c.reg = Compile(body, options);
  cache.push_front(std::move(c));
  if (cache.size() > kCacheSize) cache.pop_back();
  return cache.front();
}

struct RegionDeleter {
  void operator()(OnigRegion* r) const { onig_region_free(r, 1); }
};

struct ParamDeleter {
  void operator()(OnigMatchParam* p) const { onig_free_match_param(p); }
};

OnigMatchParam* MatchParam() {
  static std::unique_ptr<OnigMatchParam, ParamDeleter> param = [] {
    RequireEngine();
    std::unique_ptr<OnigMatchParam, ParamDeleter> p(onig_new_match_param());
    onig_initialize_match_param(p.get());
    onig_set_retry_limit_in_search_of_match_param(p.get(), kRetryLimitInSearch);
    return p;
  }();
  return param.get();
}

// A search over one target. The engine takes a lead byte at the very end of
// the target together with the byte after it, so the target is a std::string
// (whose terminator is readable) and reported positions are cut to its size.
class Searcher {
 public:
  Searcher(Compiled& c, const std::string& target)
      : c_(c), t_(target), region_(onig_region_new()) {}

  // First match at or after pos; false when none.
  bool Search(size_t pos) {
    int r = onig_search_with_param(c_.reg.get(), TextBegin(), TextEnd(), TextBegin() + pos,
                                   TextEnd(), region_.get(), ONIG_OPTION_NONE, MatchParam());
    return Check(r);
  }

  // A non-empty match starting exactly at pos.
  bool MatchNotEmptyAt(size_t pos) {
    int r = onig_match_with_param(c_.NotEmpty(), TextBegin(), TextEnd(), TextBegin() + pos,
                                  region_.get(), ONIG_OPTION_NONE, MatchParam());
    return Check(r);
  }

  // After an empty match at pos that may not stand: a non-empty match at pos,
  // else the next match after the character at pos.
  bool SearchAfterEmpty(size_t pos) {
    if (MatchNotEmptyAt(pos)) return true;
    if (pos >= t_.size()) return false;
    return Search(pos + CharLength(pos));
  }

  size_t Begin(int group) const { return Clamp(region_->beg[group]); }
  size_t End(int group) const { return Clamp(region_->end[group]); }
  int Groups() const { return region_->num_regs; }
  std::string_view Group(int group) const {
    if (group >= region_->num_regs || region_->beg[group] == ONIG_REGION_NOTPOS) return {};
    return t_.substr(Begin(group), End(group) - Begin(group));
  }
  // Character length as the engine sees it (a lead byte takes the next byte).
  size_t CharLength(size_t pos) const {
    return IsLeadByte(static_cast<unsigned char>(t_[pos])) && pos + 1 < t_.size() ? 2 : 1;
  }

 private:
  size_t Clamp(int pos) const { return std::min(static_cast<size_t>(pos), t_.size()); }
  const UChar* TextBegin() const { return U(t_.data()); }
  const UChar* TextEnd() const { return U(t_.data() + t_.size()); }
  bool Check(int r) const {
    if (r == ONIG_MISMATCH) return false;
    if (r < 0) ThrowOnig(r);
    return true;
  }

  Compiled& c_;
  std::string_view t_;
  std::unique_ptr<OnigRegion, RegionDeleter> region_;
};

// ---------------------------------------------------------------- command texts

bool IsDelimiter(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u > 0x20 && u < 0x7F && c != '\\' && c != '_' && !std::isalnum(u);
}

// Reads up to the next unescaped delimiter (consumed); escapes are kept as
// written. False when the delimiter does not come again.
bool ReadPart(std::string_view t, size_t& pos, char delim, std::string& out) {
  while (pos < t.size()) {
    char c = t[pos];
    if (c == delim) {
      ++pos;
      return true;
    }
    size_t len = CharLen(t, pos);
    if (c == '\\' && pos + 1 < t.size()) len = 1 + CharLen(t, pos + 1);
    out.append(t.substr(pos, len));
    pos += len;
  }
  return false;
}

struct Command {
  std::string parts[2];
  std::string flags;
};

// Splits "<op><d>part<d>[part<d>]flags". `complete` is false when the text is
// not of that form (then `why` tells what is wrong).
bool SplitCommand(std::string_view t, std::string_view op, int parts, Command& out,
                  std::string& why) {
  if (t.substr(0, op.size()) != op) {
    why = "command must begin with \"" + std::string(op) + "\"";
    return false;
  }
  size_t pos = op.size();
  if (pos >= t.size() || !IsDelimiter(t[pos])) {
    why = "missing delimiter after \"" + std::string(op) + "\"";
    return false;
  }
  char delim = t[pos++];
  for (int k = 0; k < parts; ++k) {
    if (!ReadPart(t, pos, delim, out.parts[k])) {
      why = std::string("missing closing delimiter '") + delim + "'";
      return false;
    }
  }
  out.flags = std::string(t.substr(pos));
  for (char c : out.flags) {
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      why = "unexpected text after the command";
      return false;
    }
  }
  return true;
}

// Engine options for the flags of m// and s///; `global` receives "g".
OnigOptionType RegexOptions(const std::string& flags, bool* global) {
  OnigOptionType options = ONIG_OPTION_CAPTURE_GROUP;
  for (char c : flags) {
    switch (c) {
      case 'i':
        options |= ONIG_OPTION_IGNORECASE;
        break;
      case 'm':
        options |= ONIG_OPTION_NEGATE_SINGLELINE;
        break;  // ^ $ at line ends
      case 's':
        options |= ONIG_OPTION_MULTILINE;
        break;  // . takes LF
      case 'x':
        options |= ONIG_OPTION_EXTEND;
        break;
      case 'g':
        if (global) *global = true;
        break;
      case 'k':  // Shift-JIS is always on
      case 'o':  // expressions are always kept compiled
        break;
      default:
        throw RegexError(std::string("unknown flag '") + c + "'");
    }
  }
  return options;
}

Compiled& MatchExpression(std::string_view pattern) {
  if (!IsMatchCommand(pattern)) return Lookup(std::string(pattern), ONIG_OPTION_CAPTURE_GROUP);
  Command cmd;
  std::string why;
  SplitCommand(pattern, "m", 1, cmd, why);
  return Lookup(cmd.parts[0], RegexOptions(cmd.flags, nullptr));
}

// ---------------------------------------------------------------- replacement

// A piece of a replacement: literal text, or a reference to a group (>= 0),
// the text before the match (kBefore) or after it (kAfter).
struct Piece {
  static constexpr int kLiteral = -1, kBefore = -2, kAfter = -3;
  int ref = kLiteral;
  std::string text;
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

void AddLiteral(std::vector<Piece>& out, std::string_view text) {
  if (out.empty() || out.back().ref != Piece::kLiteral) out.push_back(Piece{});
  out.back().text.append(text);
}

// Reads a group number of at most 4 digits at pos.
int ReadNumber(std::string_view r, size_t& pos) {
  int n = 0;
  for (int digits = 0; pos < r.size() && IsDigit(r[pos]); ++pos)
    if (digits++ < 4) n = n * 10 + (r[pos] - '0');
  return n;
}

std::vector<Piece> ParseReplacement(std::string_view r) {
  std::vector<Piece> out;
  for (size_t i = 0; i < r.size();) {
    char c = r[i];
    char next = i + 1 < r.size() ? r[i + 1] : '\0';
    if (c == '$' && IsDigit(next)) {
      ++i;
      out.push_back(Piece{ReadNumber(r, i), {}});
    } else if (c == '$' && next == '{' && i + 2 < r.size() && IsDigit(r[i + 2])) {
      size_t j = i + 2;
      int n = ReadNumber(r, j);
      if (j < r.size() && r[j] == '}') {
        out.push_back(Piece{n, {}});
        i = j + 1;
      } else {
        AddLiteral(out, "$");
        ++i;
      }
    } else if (c == '$' && (next == '&' || next == '`' || next == '\'')) {
      out.push_back(Piece{next == '&' ? 0 : next == '`' ? Piece::kBefore : Piece::kAfter, {}});
      i += 2;
    } else if (c == '\\' && i + 1 < r.size()) {
      if (IsDigit(next)) {
        out.push_back(Piece{next - '0', {}});
        i += 2;
        continue;
      }
      size_t len = CharLen(r, i + 1);
      std::string_view ch = r.substr(i + 1, len);
      AddLiteral(out, ch == "n" ? "\n" : ch == "t" ? "\t" : ch == "r" ? "\r" : ch);
      i += 1 + len;
    } else {
      size_t len = CharLen(r, i);
      AddLiteral(out, r.substr(i, len));
      i += len;
    }
  }
  return out;
}

void AppendReplacement(std::string& out, const std::vector<Piece>& pieces, const Searcher& s,
                       const std::string& target) {
  for (const Piece& p : pieces) {
    switch (p.ref) {
      case Piece::kLiteral:
        out += p.text;
        break;
      case Piece::kBefore:
        out.append(target.substr(0, s.Begin(0)));
        break;
      case Piece::kAfter:
        out.append(target.substr(s.End(0)));
        break;
      default:
        out.append(s.Group(p.ref));
    }
  }
}

// ---------------------------------------------------------------- translation

// The characters of a tr list as codes: ranges "a-z" expanded over valid
// Shift-JIS codes, escapes \n \t \r \\ \- and \<any> read as the character.
std::vector<unsigned> ExpandList(std::string_view list) {
  auto valid = [](unsigned code) {
    if (code < 0x100) return !IsLeadByte(static_cast<unsigned char>(code));
    unsigned lead = code >> 8, trail = code & 0xFF;
    return IsLeadByte(static_cast<unsigned char>(lead)) && trail >= 0x40 && trail <= 0xFC &&
           trail != 0x7F;
  };
  auto read = [&](size_t& i) -> unsigned {
    if (list[i] == '\\' && i + 1 < list.size()) {
      size_t len = CharLen(list, i + 1);
      std::string_view ch = list.substr(i + 1, len);
      i += 1 + len;
      if (ch == "n") return '\n';
      if (ch == "t") return '\t';
      if (ch == "r") return '\r';
      return CharCode(ch);
    }
    size_t len = CharLen(list, i);
    unsigned code = CharCode(list.substr(i, len));
    i += len;
    return code;
  };
  std::vector<unsigned> codes;
  for (size_t i = 0; i < list.size();) {
    unsigned low = read(i);
    if (i + 1 < list.size() && list[i] == '-') {
      ++i;
      unsigned high = read(i);
      if (high < low) throw RegexError("invalid range in transliteration");
      for (unsigned code = low; code <= high; ++code)
        if (valid(code)) codes.push_back(code);
      continue;
    }
    codes.push_back(low);
  }
  return codes;
}

}  // namespace

bool IsMatchCommand(std::string_view pattern) {
  Command cmd;
  std::string why;
  return pattern.size() >= 2 && pattern[0] == 'm' && IsDelimiter(pattern[1]) &&
         SplitCommand(pattern, "m", 1, cmd, why);
}

std::vector<std::string> RegexMatch(std::string_view pattern, const std::string& target) {
  Searcher s(MatchExpression(pattern), target);
  std::vector<std::string> groups;
  if (!s.Search(0)) return groups;
  for (int g = 0; g < s.Groups(); ++g) groups.emplace_back(s.Group(g));
  return groups;
}

std::vector<std::string> RegexSplit(std::string_view pattern, const std::string& target,
                                    size_t limit) {
  Searcher s(MatchExpression(pattern), target);
  std::vector<std::string> pieces;
  if (target.empty()) return pieces;
  size_t piece_start = 0;
  size_t splits = 0;
  bool found = s.Search(0);
  while (found && splits + 1 < limit) {
    // An empty match where a piece starts does not split: look for a
    // non-empty one there, else move one character on.
    if (s.End(0) == s.Begin(0) && s.Begin(0) == piece_start) {
      found = s.SearchAfterEmpty(piece_start);
      continue;
    }
    pieces.emplace_back(target.substr(piece_start, s.Begin(0) - piece_start));
    for (int g = 1; g < s.Groups(); ++g) pieces.emplace_back(s.Group(g));
    ++splits;
    piece_start = s.End(0);
    found = s.Search(piece_start);
  }
  pieces.emplace_back(target.substr(piece_start));
  return pieces;
}

RegexSubstitution RegexSubstitute(std::string_view command, const std::string& target) {
  Command cmd;
  std::string why;
  if (!SplitCommand(command, "s", 2, cmd, why)) throw RegexError(why);
  bool global = false;
  OnigOptionType options = RegexOptions(cmd.flags, &global);
  Compiled& c = Lookup(cmd.parts[0], options);
  std::vector<Piece> replacement = ParseReplacement(cmd.parts[1]);

  RegexSubstitution result;
  result.group_count = static_cast<size_t>(onig_number_of_captures(c.reg.get()));
  Searcher s(c, target);
  std::string& out = result.text;
  size_t copied = 0;  // target bytes up to here are in `out`
  bool found = s.Search(0);
  while (found) {
    size_t begin = s.Begin(0), end = s.End(0);
    out.append(target.substr(copied, begin - copied));
    AppendReplacement(out, replacement, s, target);
    copied = end;
    ++result.replaced;
    if (!global) break;
    // After an empty match the next one must be non-empty at the same place,
    // or start further on; after a non-empty one it may be empty where it ended.
    found = begin == end ? s.SearchAfterEmpty(end) : s.Search(end);
  }
  if (copied < target.size()) out.append(target.substr(copied));
  return result;
}

std::string RegexTranslate(std::string_view command, std::string_view target) {
  Command cmd;
  std::string why;
  bool ok = command.substr(0, 1) == "y" ? SplitCommand(command, "y", 2, cmd, why)
                                        : SplitCommand(command, "tr", 2, cmd, why);
  if (!ok) throw RegexError(why);
  bool complement = false, remove = false, squeeze = false;
  for (char c : cmd.flags) {
    switch (c) {
      case 'c':
        complement = true;
        break;
      case 'd':
        remove = true;
        break;
      case 's':
        squeeze = true;
        break;
      case 'k':
      case 'r':
        break;
      default:
        throw RegexError(std::string("unknown flag '") + c + "'");
    }
  }
  std::vector<unsigned> from = ExpandList(cmd.parts[0]);
  std::vector<unsigned> to = ExpandList(cmd.parts[1]);
  if (to.empty() && !remove) to = from;

  // What happens to each code: kKeep, kDelete or the new code.
  constexpr long kKeep = -1, kDelete = -2;
  std::vector<long> action(0x10000, kKeep);
  if (complement) {
    long other = to.empty() ? (remove ? kDelete : kKeep) : (remove ? kDelete : long(to.back()));
    std::vector<bool> listed(0x10000, false);
    for (unsigned code : from) listed[code & 0xFFFF] = true;
    for (unsigned code = 0; code < 0x10000; ++code)
      if (!listed[code]) action[code] = other;
  } else {
    for (size_t k = from.size(); k-- > 0;) {  // the first mention of a code wins
      long a = k < to.size() ? long(to[k]) : remove ? kDelete : long(to.back());
      action[from[k] & 0xFFFF] = a;
    }
  }

  std::string out;
  out.reserve(target.size());
  long last_new = kKeep;  // the translated code appended last (for squeezing)
  for (size_t i = 0; i < target.size();) {
    size_t len = CharLen(target, i);
    std::string_view ch = target.substr(i, len);
    i += len;
    long a = action[CharCode(ch) & 0xFFFF];
    if (a == kKeep) {
      out.append(ch);
      last_new = kKeep;
      continue;
    }
    if (a == kDelete) continue;
    if (squeeze && a == last_new) continue;
    out += CodeChar(static_cast<unsigned>(a));
    last_new = a;
  }
  return out;
}

}  // namespace sorane
