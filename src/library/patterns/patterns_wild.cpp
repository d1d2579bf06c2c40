#include "library/patterns/patterns_wild.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

const std::string& BackslashInClassMessage() {
  return SJ("ワイルドカードの[ ]中で\\記号を使うときは、\\t,\\nしか許されていません。");
}

const std::string& WildcardAfterRunMessage() {
  return SJ("ワイルドカード[*...]に続けてワイルドカードを書くことは出来ません。");
}

WildElement Simple(WildElement::Kind kind) {
  WildElement e;
  e.kind = kind;
  return e;
}

WildElement Char(std::string text) {
  WildElement e;
  e.text = std::move(text);
  return e;
}

// Reads the items of a class up to "]" (not consumed): characters and ranges
// as codes; a backslash may only introduce \n (CR..LF, 10-13) or \t.
void ReadClassItems(std::string_view p, size_t& i, WildElement& e) {
  while (i < p.size() && p[i] != ']') {
    if (p[i] == '\\') {
      char next = i + 1 < p.size() ? p[i + 1] : '\0';
      if (next == 'n')
        e.ranges.emplace_back(10, 13);
      else if (next == 't')
        e.ranges.emplace_back(9, 9);
      else
        throw WildcardError(BackslashInClassMessage());
      i += 2;
      continue;
    }
    size_t len = CharLen(p, i);
    unsigned low = CharCode(p.substr(i, len));
    i += len;
    unsigned high = low;
    if (i + 1 < p.size() && p[i] == '-' && p[i + 1] != ']') {
      ++i;
      len = CharLen(p, i);
      high = CharCode(p.substr(i, len));
      i += len;
    }
    e.ranges.emplace_back(std::min(low, high), std::max(low, high));
  }
}

// Splits the text of an alternatives group at "|" (character-aware: a trail
// byte equal to "|" is part of its character). An empty text has no items.
std::vector<std::string> SplitAlternatives(std::string_view text) {
  std::vector<std::string> items;
  if (text.empty()) return items;
  size_t start = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '|') {
      items.emplace_back(text.substr(start, i - start));
      start = ++i;
      continue;
    }
    i += CharLen(text, i);
  }
  items.emplace_back(text.substr(start));
  return items;
}

// At "[": a class, a run or alternatives; consumes the closing "]" if present.
WildElement ReadBracket(std::string_view p, size_t& i) {
  WildElement e;
  e.kind = WildElement::kClass;
  ++i;
  if (i < p.size() && p[i] == '!') {
    e.negate = true;
    ++i;
  }
  char mode = i < p.size() ? p[i] : '\0';
  if (mode == '*' || mode == '+') {
    e.kind = WildElement::kRun;
    e.at_least_one = mode == '+';
    ++i;
  } else if (mode == '=') {
    e.kind = WildElement::kAlternatives;
    ++i;
    size_t start = i;
    while (i < p.size() && p[i] != ']') i += CharLen(p, i);
    e.alternatives = SplitAlternatives(p.substr(start, i - start));
    WildPattern::OrderAlternatives(e.alternatives);
    for (const std::string& a : e.alternatives) e.alternative_chars.push_back(CharCount(a));
  }
  if (e.kind != WildElement::kAlternatives) ReadClassItems(p, i, e);
  if (i < p.size()) ++i;  // "]"
  return e;
}

// The one-character elements.
constexpr std::pair<char, WildElement::Kind> kSimpleElements[] = {{'?', WildElement::kAny},
                                                                  {'*', WildElement::kStar},
                                                                  {'#', WildElement::kDigit},
                                                                  {'(', WildElement::kPickupFrom},
                                                                  {')', WildElement::kPickupTo}};

bool ReadSimple(std::string_view p, size_t& i, std::vector<WildElement>& out) {
  for (const auto& [c, kind] : kSimpleElements)
    if (p[i] == c) {
      out.push_back(Simple(kind));
      ++i;
      return true;
    }
  return false;
}

void ReadElements(std::string_view p, std::vector<WildElement>& out) {
  for (size_t i = 0; i < p.size();) {
    if (ReadSimple(p, i, out)) continue;
    switch (p[i]) {
      case '[':
        out.push_back(ReadBracket(p, i));
        continue;
      case '\\': {
        if (i + 1 >= p.size()) {  // a final backslash stands for itself
          out.push_back(Char("\\"));
          ++i;
          continue;
        }
        size_t len = CharLen(p, i + 1);
        std::string_view next = p.substr(i + 1, len);
        i += 1 + len;
        if (next == "n") {
          out.push_back(Char("\r"));
          out.push_back(Char("\n"));
        } else if (next == "t") {
          out.push_back(Char("\t"));
        } else {
          out.push_back(Char(std::string(next)));
        }
        continue;
      }
      default: {
        size_t len = CharLen(p, i);
        out.push_back(Char(std::string(p.substr(i, len))));
        i += len;
      }
    }
  }
}

bool InRanges(const WildElement& e, unsigned code) {
  bool in = false;
  for (const auto& [low, high] : e.ranges) {
    if (code >= low && code <= high) {
      in = true;
      break;
    }
  }
  return in != e.negate;
}

}  // namespace

void WildPattern::OrderAlternatives(std::vector<std::string>& items) {
  // Each step moves the first shortest of the items not yet moved to the front,
  // and finally the first written item: the result is the first item, then the
  // rest longest first, equal lengths in reverse written order.
  if (items.size() < 2) return;
  std::stable_sort(items.begin() + 1, items.end(),
                   [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
  std::reverse(items.begin() + 1, items.end());
}

WildPattern::WildPattern(std::string_view pattern) {
  ReadElements(pattern, elements_);
  const size_t n = elements_.size();
  seg_begin_.push_back(0);
  for (size_t k = 0; k < n; ++k) {
    WildElement& e = elements_[k];
    if (e.kind == WildElement::kRun) {
      // The run ends before the next plain character (one pick-up mark between
      // is skipped); any other element after a run is not allowed.
      size_t next = k + 1;
      if (next < n && (elements_[next].kind == WildElement::kPickupFrom ||
                       elements_[next].kind == WildElement::kPickupTo))
        ++next;
      if (next < n) {
        if (elements_[next].kind != WildElement::kChar)
          throw WildcardError(WildcardAfterRunMessage());
        e.stop = static_cast<int>(next);
      }
    } else if (e.kind == WildElement::kStar) {
      e.star_to_end = k + 1 == n || (k + 2 == n && elements_[k + 1].kind == WildElement::kPickupTo);
      if (!e.star_to_end) {
        seg_end_.push_back(k);
        seg_begin_.push_back(k + 1);
      }
    }
  }
  seg_end_.push_back(n);
}

// One matching of a pattern against a subject. Segments are walked element by
// element; at a searching star the first subject position from which the rest
// of the pattern can match once is taken. "The rest can match from i" is
// A(m, i): segment m matches from i and ends at or before the last position
// L(m+1) from which the following rest can match. L is computed once per
// segment, scanning backward, so the search is linear in the number of stars
// instead of nesting one search per star.
class WildMatcher {
 public:
  WildMatcher(const WildPattern& p, std::string_view s)
      : p_(p), s_(s), last_(SegCount(), kUnknown) {}

  size_t Run(std::vector<std::string>* pickups) {
    pickups_ = pickups;
    size_t pos = Walk(0, 0, true);
    for (size_t m = 1; pos != kNone && m < SegCount(); ++m) {
      if (m + 1 < SegCount()) ComputeLast(m + 1);
      while (!CanMatchFrom(m, pos)) {
        if (pos >= s_.size()) return kNone;
        pos += CharLen(s_, pos);
      }
      pos = Walk(m, pos, true);
    }
    return pos;
  }

 private:
  static constexpr size_t kUnknown = static_cast<size_t>(-2);

  size_t SegCount() const { return p_.seg_begin_.size(); }

  bool CanMatchFrom(size_t m, size_t pos) {
    size_t end = Walk(m, pos, false);
    if (end == kNone) return false;
    if (m + 1 == SegCount()) return true;
    size_t limit = last_[m + 1];  // computed before any walk of segment m
    return limit != kNone && end <= limit;
  }

  // Fills L(k) for every segment k >= m, from the last one backward, so that
  // each needs only the one after it.
  void ComputeLast(size_t m) {
    if (last_[m] != kUnknown) return;
    if (starts_.empty()) {
      for (size_t pos = 0; pos < s_.size(); pos += CharLen(s_, pos)) starts_.push_back(pos);
      starts_.push_back(s_.size());
    }
    for (size_t k = SegCount(); k-- > m;) {
      if (last_[k] != kUnknown) continue;
      // A walk never ends before it starts, so only positions up to L(k+1) can
      // satisfy A(k, i).
      size_t from = starts_.size();
      if (k + 1 < SegCount()) {
        size_t next = last_[k + 1];
        from = next == kNone
                   ? 0
                   : static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), next) -
                                         starts_.begin());
      }
      size_t found = kNone;
      for (size_t i = from; i-- > 0;) {
        if (CanMatchFrom(k, starts_[i])) {
          found = starts_[i];
          break;
        }
      }
      last_[k] = found;
    }
  }

  // The character at pos, or an empty view at the end.
  std::string_view At(size_t pos) const {
    return pos < s_.size() ? s_.substr(pos, CharLen(s_, pos)) : std::string_view();
  }

  // Walks segment m from pos; the end position, or kNone when it fails. A real
  // walk records pick-ups; trial walks (inside a star's search) do not.
  size_t Walk(size_t m, size_t pos, bool real) {
    const auto& els = p_.elements_;
    for (size_t k = p_.seg_begin_[m]; k < p_.seg_end_[m]; ++k) {
      const WildElement& e = els[k];
      std::string_view c = At(pos);
      switch (e.kind) {
        case WildElement::kChar:
          if (c.empty() || c != e.text) return kNone;
          pos += c.size();
          break;
        case WildElement::kAny:
          if (c.empty()) return kNone;
          pos += c.size();
          break;
        case WildElement::kDigit:
          if (c.empty() || c[0] < '0' || c[0] > '9') return kNone;
          pos += c.size();
          break;
        case WildElement::kClass:
          if (c.empty() || !InRanges(e, CharCode(c))) return kNone;
          pos += c.size();
          break;
        case WildElement::kRun:
          pos = WalkRun(k, e, pos);
          if (pos == kNone) return kNone;
          break;
        case WildElement::kAlternatives:
          pos = WalkAlternatives(e, pos);
          if (pos == kNone) return kNone;
          break;
        case WildElement::kStar:  // only stars that run to the end are walked
          pos = s_.size();
          break;
        case WildElement::kPickupFrom:
          if (real) pickup_start_ = pos;
          break;
        case WildElement::kPickupTo:
          if (real && (!recorded_ || pos > largest_)) {
            recorded_ = true;
            largest_ = pos;
            if (pickups_) pickups_->emplace_back(s_.substr(pickup_start_, pos - pickup_start_));
          }
          break;
      }
    }
    return pos;
  }

  // A run ends where the first character that stops it stands, so a run
  // started anywhere inside a run already walked, or reaching its start, ends
  // at the same place: the last run of each element is remembered, which keeps
  // the searches of stars (forward, and backward for L) linear.
  size_t WalkRun(size_t k, const WildElement& e, size_t pos) {
    if (run_cache_.empty()) run_cache_.assign(p_.elements_.size(), {kNone, kNone});
    auto& [from, to] = run_cache_[k];
    size_t end;
    if (from != kNone && pos >= from && pos <= to) {
      end = to;
    } else {
      std::string_view stop =
          e.stop >= 0 ? std::string_view(p_.elements_[e.stop].text) : std::string_view();
      end = pos;
      size_t known = from;  // a walk that reaches the remembered start ends where it did
      for (;;) {
        if (end == known) {
          end = to;
          break;
        }
        std::string_view c = At(end);
        if (c.empty() || c == stop || !InRanges(e, CharCode(c))) break;
        end += c.size();
      }
      from = pos;
      to = end;
    }
    return (e.at_least_one && end == pos) ? kNone : end;
  }

  size_t WalkAlternatives(const WildElement& e, size_t pos) const {
    for (size_t a = 0; a < e.alternatives.size(); ++a) {
      size_t end = pos;
      size_t chars = 0;
      while (chars < e.alternative_chars[a] && end < s_.size()) {
        end += CharLen(s_, end);
        ++chars;
      }
      if (chars == e.alternative_chars[a] && s_.substr(pos, end - pos) == e.alternatives[a])
        return end;
    }
    return kNone;
  }

  const WildPattern& p_;
  std::string_view s_;
  std::vector<size_t> last_;
  std::vector<size_t> starts_;
  std::vector<std::pair<size_t, size_t>> run_cache_;  // per element: last run [from, to]
  std::vector<std::string>* pickups_ = nullptr;
  size_t pickup_start_ = 0;
  size_t largest_ = 0;
  bool recorded_ = false;
};

bool WildPattern::MatchHead(std::string_view subject, size_t& head_bytes,
                            std::vector<std::string>* pickups) const {
  WildMatcher m(*this, subject);
  size_t end = m.Run(pickups);
  if (end == kNone) {
    if (pickups) pickups->clear();
    return false;
  }
  head_bytes = end;
  return true;
}

bool WildPattern::Match(std::string_view subject) const {
  size_t head = 0;
  return MatchHead(subject, head, nullptr) && head == subject.size();
}

bool WildMatch(std::string_view subject, std::string_view pattern) {
  return WildPattern(pattern).Match(subject);
}

bool WildCut(std::string_view pattern, std::string& subject, std::string& head,
             std::vector<std::string>& pickups) {
  WildPattern p(pattern);
  head.clear();
  pickups.clear();
  size_t bytes = 0;
  if (!p.MatchHead(subject, bytes, &pickups)) return false;
  head = subject.substr(0, bytes);
  subject.erase(0, bytes);
  return true;
}

}  // namespace sorane
