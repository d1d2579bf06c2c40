// The wildcard matcher (lazy stars, classes, runs, alternatives, pick-ups,
// literal subjects) and the Perl-style regular-expression layer over Shift-JIS.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "library/patterns/patterns_regex.h"
#include "library/patterns/patterns_wild.h"
#include "text/encoding.h"

namespace sorane {
namespace {

using Lines = std::vector<std::string>;

// "表" is 0x95 0x5C: its trail byte is a backslash.
const std::string kHyou = "\x95\x5C";

struct Cut {
  bool matched;
  std::string head, rest;
  Lines pickups;
};

Cut DoCut(const std::string& pattern, const std::string& subject) {
  Cut c;
  c.rest = subject;
  c.matched = WildCut(pattern, c.rest, c.head, c.pickups);
  return c;
}

std::string WildError(const std::string& pattern, const std::string& subject) {
  try {
    WildMatch(subject, pattern);
  } catch (const WildcardError& e) {
    return e.what();
  }
  return "";
}

TEST(Wildcard, StarIsLazyAndNeverBacktracks) {
  EXPECT_TRUE(WildMatch("readme.txt", "*.txt"));
  EXPECT_FALSE(WildMatch("a.txt.txt", "*.txt"));
  EXPECT_TRUE(WildMatch("anything", "*"));
  EXPECT_TRUE(WildMatch("", "*"));
  EXPECT_FALSE(WildMatch("xaby", "*ab"));
  EXPECT_TRUE(WildMatch("xab", "*ab"));
  // The first star stops at the first "b" from which "b*c" can match once.
  EXPECT_TRUE(WildMatch("abbc", "*b*c"));
  EXPECT_FALSE(WildMatch("abcbc", "a*c"));
  Cut c = DoCut("*b", "aabab");
  EXPECT_TRUE(c.matched);
  EXPECT_EQ(c.head, "aab");
  EXPECT_EQ(c.rest, "ab");
}

TEST(Wildcard, SingleCharacterElementsStopAtTheEnd) {
  EXPECT_TRUE(WildMatch("abc", "a?c"));
  EXPECT_FALSE(WildMatch("ab", "ab?"));
  EXPECT_TRUE(WildMatch("5", "#"));
  EXPECT_FALSE(WildMatch("x", "#"));
  EXPECT_TRUE(WildMatch("b", "[a-c]"));
  EXPECT_TRUE(WildMatch("d", "[!a-c]"));
  // At the end of the subject "?", "#", a class and alternatives fail and the
  // subject is left as it was.
  for (const char* pattern : {"ab?", "ab#", "ab[!x]", "ab[=cd|c]"}) {
    Cut c = DoCut(pattern, "ab");
    EXPECT_FALSE(c.matched) << pattern;
    EXPECT_EQ(c.head, "") << pattern;
    EXPECT_EQ(c.rest, "ab") << pattern;
  }
  // An alternative longer than what is left is compared only with what is there.
  EXPECT_FALSE(DoCut("a[=bcd]", "abc").matched);
  EXPECT_TRUE(DoCut("a[=bcd|b]", "abc").matched);
}

TEST(Wildcard, DoubleByteCharactersAreSingleElements) {
  std::string subject = SJ("日本") + kHyou + "x";
  EXPECT_TRUE(WildMatch(subject, "??" + kHyou + "x"));
  EXPECT_TRUE(WildMatch(subject, "???x"));
  EXPECT_FALSE(WildMatch(subject, "????x"));
  EXPECT_TRUE(WildMatch(SJ("ひらがな"), SJ("[+ぁ-ん]")));
  EXPECT_FALSE(WildMatch(SJ("ひらカナ"), SJ("[+ぁ-ん]")));
  // A pattern character whose trail byte is "\" is a character, not an escape.
  EXPECT_TRUE(WildMatch(kHyou + "n", kHyou + "n"));
}

TEST(Wildcard, EscapesInThePattern) {
  EXPECT_TRUE(WildMatch("a\r\nb", "a\\nb"));
  EXPECT_TRUE(WildMatch("a\tb", "a\\tb"));
  EXPECT_TRUE(WildMatch("a*b", "a\\*b"));
  EXPECT_FALSE(WildMatch("axb", "a\\*b"));
  EXPECT_TRUE(WildMatch("a\\", "a\\"));  // a final backslash stands for itself
  EXPECT_TRUE(WildMatch("x\r", "x[\\n]"));
  EXPECT_TRUE(WildMatch("x\t", "x[\\t]"));
}

TEST(Wildcard, SubjectIsReadLiterally) {
  // Brackets, backslashes and wildcard characters in the subject are plain
  // characters, and the rest is exactly the remaining bytes.
  Cut c = DoCut("a", "a[b]c");
  EXPECT_EQ(c.head, "a");
  EXPECT_EQ(c.rest, "[b]c");
  c = DoCut("C:", "C:\\new\\t.txt");
  EXPECT_EQ(c.rest, "\\new\\t.txt");
  EXPECT_TRUE(WildMatch("C:\\new", "*new"));
  EXPECT_FALSE(WildMatch("a*b", "a?"));
  EXPECT_TRUE(WildMatch("[x]", "[=[x]]"));
}

TEST(Wildcard, Runs) {
  EXPECT_TRUE(WildMatch("12x", "[*0-9]x"));
  EXPECT_TRUE(WildMatch("x", "[*0-9]x"));
  EXPECT_FALSE(WildMatch("12a", "[*0-9]"));
  EXPECT_FALSE(WildMatch("", "[+0-9]"));
  EXPECT_TRUE(WildMatch("7", "[+0-9]"));
  // The run stops before the character that follows it in the pattern, even
  // when that character is in its class.
  EXPECT_TRUE(WildMatch("abc", "[*a-z]c"));
  EXPECT_FALSE(WildMatch("abcd", "[*a-z]c"));
  EXPECT_TRUE(WildMatch("ab=cd", "[!*=]=[*a-z]"));
  Cut c = DoCut("([+0-9])-", "123-456");
  EXPECT_EQ(c.pickups, Lines{"123"});
  EXPECT_EQ(c.rest, "456");
}

TEST(Wildcard, AlternativesAreNotBacktracked) {
  EXPECT_FALSE(WildMatch("abc", "[=abc|ab]c"));
  EXPECT_TRUE(WildMatch("abc", "[=ab|abc]c"));
  EXPECT_TRUE(WildMatch("cat", "[=dog|cat]"));
  EXPECT_FALSE(WildMatch("cow", "[=dog|cat]"));
  EXPECT_TRUE(WildMatch("xy", "[=|x]xy"));  // an empty alternative matches nothing
  EXPECT_FALSE(WildMatch("a", "[=]a"));
  std::string jp = SJ("月曜|火曜日|水");
  EXPECT_TRUE(WildMatch(SJ("火曜日"), "[=" + jp + "]"));
}

// The written rule: for i = 0..n-1, the first shortest item among positions
// i+1..n-1 (or the item at i when there is none) moves to the front.
Lines MoveToFront(Lines items) {
  for (size_t i = 0; i < items.size(); ++i) {
    size_t best = i;
    for (size_t j = i + 1; j < items.size(); ++j)
      if (best == i || items[j].size() < items[best].size()) best = j;
    std::string item = items[best];
    items.erase(items.begin() + best);
    items.insert(items.begin(), item);
  }
  return items;
}

TEST(Wildcard, AlternativeOrderFollowsTheMoveToFrontRule) {
  Lines two{"abc", "ab"};
  WildPattern::OrderAlternatives(two);
  EXPECT_EQ(two, (Lines{"abc", "ab"}));
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    Lines items(rng() % 7);
    for (std::string& s : items) s = std::string(rng() % 4, 'a' + static_cast<char>(rng() % 3));
    Lines ours = items;
    WildPattern::OrderAlternatives(ours);
    EXPECT_EQ(ours, MoveToFront(items));
  }
}

TEST(Wildcard, PickUps) {
  Cut c = DoCut("(*)=(*)", "key=value");
  EXPECT_TRUE(c.matched);
  EXPECT_EQ(c.head, "key=value");
  EXPECT_EQ(c.pickups, (Lines{"key", "value"}));
  EXPECT_EQ(c.rest, "");
  c = DoCut("(*):(#)", "port:8080");
  EXPECT_EQ(c.pickups, (Lines{"port", "8"}));
  EXPECT_EQ(c.rest, "080");
  c = DoCut("<(*)>", "<a><b>");
  EXPECT_EQ(c.pickups, Lines{"a"});
  EXPECT_EQ(c.rest, "<b>");
  // A failed match reports no pick-ups.
  c = DoCut("(a)b", "ac");
  EXPECT_FALSE(c.matched);
  EXPECT_TRUE(c.pickups.empty());
  EXPECT_EQ(c.rest, "ac");
}

TEST(Wildcard, ErrorMessages) {
  EXPECT_EQ(WildError("[\\x]", "a"),
            SJ("ワイルドカードの[ ]中で\\記号を使うときは、\\t,\\nしか許されていません。"));
  EXPECT_EQ(WildError("[a\\", "a"),
            SJ("ワイルドカードの[ ]中で\\記号を使うときは、\\t,\\nしか許されていません。"));
  const std::string after_run =
      SJ("ワイルドカード[*...]に続けてワイルドカードを書くことは出来ません。");
  EXPECT_EQ(WildError("[*0-9]*", "1"), after_run);
  EXPECT_EQ(WildError("[+0-9]?", "1"), after_run);
  EXPECT_EQ(WildError("[*a]()", "a"), after_run);
  EXPECT_EQ(WildError("[*0-9](x)", "1x"), "");
  EXPECT_EQ(WildError("[*0-9]", "1"), "");
}

// The matcher as first described: every star tries each position in turn and
// matches the rest of the pattern from there, recursively; pick-ups are taken
// only on the real path. Compared with the segment-based matcher on random
// patterns.
struct Reference {
  Reference(const std::vector<WildElement>& elements, std::string subject)
      : e(elements), s(std::move(subject)) {}
  const std::vector<WildElement>& e;
  std::string s;
  bool real = true;
  size_t start = 0, largest = 0;
  bool recorded = false;
  Lines pickups;

  bool Step(size_t& pos, const WildElement& el, size_t k) {
    if (el.kind == WildElement::kPickupFrom) {
      if (real) start = pos;
      return true;
    }
    if (el.kind == WildElement::kPickupTo) {
      if (real && (!recorded || pos > largest)) {
        recorded = true;
        largest = pos;
        pickups.push_back(s.substr(start, pos - start));
      }
      return true;
    }
    if (el.kind == WildElement::kRun) {
      size_t n = 0;
      while (pos < s.size() && !(el.stop >= 0 && s.substr(pos, 1) == e[el.stop].text) &&
             s[pos] == 'a')
        ++pos, ++n;
      return !(el.at_least_one && n == 0);
    }
    if (pos >= s.size()) return false;
    bool ok =
        el.kind == WildElement::kAny || (el.kind == WildElement::kChar && s[pos] == el.text[0]);
    pos += ok;
    return ok;
  }

  bool From(size_t k, size_t& pos) {
    for (; k < e.size(); ++k) {
      if (e[k].kind != WildElement::kStar) {
        if (!Step(pos, e[k], k)) return false;
        continue;
      }
      if (e[k].star_to_end) {
        pos = s.size();
        continue;
      }
      bool saved = real;
      real = false;
      size_t i = pos;
      bool found = false;
      for (;; ++i) {
        size_t trial = i;
        if (From(k + 1, trial)) {
          found = true;
          break;
        }
        if (i >= s.size()) break;
      }
      real = saved;
      if (!found) return false;
      pos = i;
    }
    return true;
  }
};

TEST(Wildcard, SegmentMatcherAgreesWithNestedSearch) {
  std::mt19937 rng(11);
  const char* atoms[] = {"a", "b", "?", "*", "*", "(", ")", "[*a]", "[+a]", "[*a]b", "[+a]b"};
  for (int round = 0; round < 6000; ++round) {
    std::string pattern;
    for (int n = rng() % 8; n > 0; --n) pattern += atoms[rng() % 11];
    std::string subject;
    for (int n = rng() % 9; n > 0; --n) subject += "ab"[rng() % 2];
    std::unique_ptr<WildPattern> p;
    try {
      p = std::make_unique<WildPattern>(pattern);
    } catch (const WildcardError&) {
      continue;
    }
    Reference ref(p->Elements(), subject);
    size_t ref_end = 0;
    bool ref_ok = ref.From(0, ref_end);
    size_t end = 0;
    Lines pickups;
    bool ok = p->MatchHead(subject, end, &pickups);
    ASSERT_EQ(ok, ref_ok) << pattern << " / " << subject;
    if (!ok) continue;
    EXPECT_EQ(end, ref_end) << pattern << " / " << subject;
    EXPECT_EQ(pickups, ref.pickups) << pattern << " / " << subject;
  }
}

TEST(Wildcard, ManyStarsOnALongSubjectStayFast) {
  std::string subject(200000, 'a');
  std::string pattern;
  for (int i = 0; i < 40; ++i) pattern += "*a";
  pattern += "*b";
  EXPECT_FALSE(WildMatch(subject, pattern));
  EXPECT_TRUE(WildMatch(subject + "b", pattern));
  // A star's search over runs: every start inside the run ends at the same place.
  EXPECT_FALSE(WildMatch("x" + subject, "x*[*a]c"));
  EXPECT_TRUE(WildMatch("x" + subject + "c", "x*[+a]c"));
  EXPECT_FALSE(WildMatch("x" + subject + "d", "x*[+a]c*d"));
  EXPECT_TRUE(WildMatch("x" + subject + "cd", "x*[+a]c*d"));
  EXPECT_FALSE(WildMatch("xy" + subject, "x*y*[+a]c"));  // runs in a backward search
  EXPECT_TRUE(WildMatch("xy" + subject + "c", "x*y*[+a]c"));
}

// ---------------------------------------------------------------- regular expressions

std::string RegexErrorOf(void (*f)()) {
  try {
    f();
  } catch (const RegexError& e) {
    return e.what();
  }
  return "";
}

TEST(Regex, WhatCountsAsAnMatchCommand) {
  EXPECT_TRUE(IsMatchCommand("m/abc/"));
  EXPECT_TRUE(IsMatchCommand("m/abc/i"));
  EXPECT_TRUE(IsMatchCommand("m#a/b#"));
  EXPECT_TRUE(IsMatchCommand("m/" + kHyou + "/"));  // the trail byte is no escape
  EXPECT_FALSE(IsMatchCommand("main"));
  EXPECT_FALSE(IsMatchCommand("mon|tue"));
  EXPECT_FALSE(IsMatchCommand("m.x"));
  EXPECT_FALSE(IsMatchCommand("m/abc"));
  EXPECT_FALSE(IsMatchCommand("m|a|b|"));
  EXPECT_FALSE(IsMatchCommand("abc"));
  EXPECT_EQ(RegexMatch("main", "the main road"), Lines{"main"});
  EXPECT_EQ(RegexMatch("mon|tue", "on tuesday"), Lines{"tue"});
  EXPECT_EQ(RegexMatch("(\\d+)/(\\d+)", "on 12/25"), (Lines{"12/25", "12", "25"}));
}

TEST(Regex, MatchReturnsTheWholeMatchAndGroups) {
  EXPECT_EQ(RegexMatch("(\\d+)", "abc123"), (Lines{"123", "123"}));
  EXPECT_EQ(RegexMatch("m/(\\d+)/", "abc123"), (Lines{"123", "123"}));
  EXPECT_TRUE(RegexMatch("x", "abc").empty());
  EXPECT_EQ(RegexMatch("a(x)?b", "ab"), (Lines{"ab", ""}));
  EXPECT_EQ(RegexMatch("m/ABC/i", "xabc"), Lines{"abc"});
  EXPECT_EQ(RegexMatch("(?<year>\\d{4})-(\\d+)", "2024-05"), (Lines{"2024-05", "2024", "05"}));
  EXPECT_TRUE(RegexMatch("m/^b/", "a\nb").empty());
  EXPECT_EQ(RegexMatch("m/^b/m", "a\nb"), Lines{"b"});
  EXPECT_TRUE(RegexMatch("a.b", "a\nb").empty());
  EXPECT_EQ(RegexMatch("m/a.b/s", "a\nb"), Lines{"a\nb"});
}

TEST(Regex, DoubleByteCharactersAreWhole) {
  EXPECT_EQ(RegexMatch("\\w+", SJ("日本語abc!")), Lines{SJ("日本語abc")});
  EXPECT_EQ(RegexMatch(SJ("[ぁ-ん]+"), SJ("カタカナとひらがな")), Lines{SJ("とひらがな")});
  EXPECT_EQ(RegexMatch("^.", kHyou + "x"), Lines{kHyou});
  // "\" (0x5C) must not match the trail byte of 表; "ソ" must not match inside
  // "ﾃｿ"-like byte pairs either.
  EXPECT_TRUE(RegexMatch("\\\\", kHyou).empty());
  EXPECT_TRUE(RegexMatch("\\x5C", "a" + kHyou).empty());
  EXPECT_EQ(RegexMatch(kHyou + "+", "a" + kHyou + kHyou), Lines{kHyou + kHyou});
  // A lead byte that ends the target is no character for "."; whatever takes
  // it, nothing is reported beyond the target.
  EXPECT_EQ(RegexSubstitute("s/./x/g", "a\x82").text, "x\x82");
  for (const char* p : {"[^a]", "\\X", "(?s).+$", "\\W"})
    for (const std::string& g : RegexMatch(p, "a\x82")) EXPECT_LE(g.size(), 2u) << p;
  EXPECT_EQ(RegexSubstitute("s/[^a]/x/g", "a\x82").text.size(), 2u);
}

TEST(Regex, InvalidExpressionsReportTheEngineMessage) {
  EXPECT_EQ(RegexErrorOf([] { RegexMatch("(", "a"); }), "end pattern with unmatched parenthesis");
  EXPECT_NE(RegexErrorOf([] { RegexMatch("a{2,1}", "a"); }), "");
  EXPECT_NE(RegexErrorOf([] { RegexMatch("m/a/q", "a"); }), "");
  EXPECT_NE(RegexErrorOf([] { RegexSubstitute("s/a/b", "a"); }), "");
  EXPECT_NE(RegexErrorOf([] { RegexSubstitute("x/a/b/", "a"); }), "");
  EXPECT_NE(RegexErrorOf([] { RegexSubstitute("s/[/x/", "a"); }), "");
  EXPECT_NE(RegexErrorOf([] { RegexTranslate("tr/z-a/x/", "a"); }), "");
  EXPECT_NE(RegexErrorOf([] { RegexMatch("\x82", "a"); }), "");  // a lone lead byte
}

TEST(Regex, SplitFollowsPerl) {
  EXPECT_EQ(RegexSplit(",", "a,b,,", 1000), (Lines{"a", "b", "", ""}));
  EXPECT_EQ(RegexSplit("m/,/", ",a", 1000), (Lines{"", "a"}));
  EXPECT_EQ(RegexSplit("\\s+", "one two  three", 1000), (Lines{"one", "two", "three"}));
  EXPECT_EQ(RegexSplit("x*", "axb", 1000), (Lines{"a", "b", ""}));
  EXPECT_EQ(RegexSplit("x*|,", "a,b,,", 1000), (Lines{"a", "", "b", "", "", ""}));
  EXPECT_EQ(RegexSplit("(,)", "a,b", 1000), (Lines{"a", ",", "b"}));
  EXPECT_EQ(RegexSplit(",", "a,b,c,d", 3), (Lines{"a", "b", "c,d"}));
  EXPECT_TRUE(RegexSplit(",", "", 1000).empty());
  EXPECT_EQ(RegexSplit(SJ("、"), SJ("赤、青、黄"), 1000), (Lines{SJ("赤"), SJ("青"), SJ("黄")}));
  EXPECT_EQ(RegexSplit("", SJ("日本"), 1000), (Lines{SJ("日"), SJ("本"), ""}));
}

TEST(Regex, Substitution) {
  RegexSubstitution r = RegexSubstitute("s/(\\d+)/<$1>/g", "a1b22c");
  EXPECT_EQ(r.text, "a<1>b<22>c");
  EXPECT_EQ(r.replaced, 2u);
  EXPECT_EQ(r.group_count, 1u);
  EXPECT_EQ(RegexSubstitute("s/\\d/#/", "a1b2").text, "a#b2");
  EXPECT_EQ(RegexSubstitute("s/B/x/gi", "abcB").text, "axcx");
  EXPECT_EQ(RegexSubstitute("s/(a)(b)/$2$1/g", "abab").text, "baba");
  EXPECT_EQ(RegexSubstitute("s/(a)/${1}1\\1[$&]/", "a").text, "a1a[a]");
  EXPECT_EQ(RegexSubstitute("s/b/[$`|$']/", "abc").text, "a[a|c]c");
  EXPECT_EQ(RegexSubstitute("s/,/\\n/g", "a,b").text, "a\nb");
  EXPECT_EQ(RegexSubstitute("s/\\//-/g", "a/b/c").text, "a-b-c");
  EXPECT_EQ(RegexSubstitute("s#/#\\##g", "a/b").text, "a#b");
  EXPECT_EQ(RegexSubstitute("s/x*/-/g", "axb").text, "-a--b-");
  EXPECT_EQ(RegexSubstitute("s/x*|b/-/g", "ab").text, "-a---");
  EXPECT_EQ(RegexSubstitute("s/$/!/", "end").text, "end!");
  EXPECT_EQ(RegexSubstitute("s/(x)/$5/", "axb").text, "ab");  // unknown groups are empty
  r = RegexSubstitute("s/z/y/g", "abc");
  EXPECT_EQ(r.text, "abc");
  EXPECT_EQ(r.replaced, 0u);
  EXPECT_EQ(RegexSubstitute(SJ("s/。/。\\r\\n/g"), SJ("一。二。")).text, SJ("一。\r\n二。\r\n"));
  EXPECT_EQ(RegexSubstitute("s/\\s+/ /g", "a \t\r\n b").text, "a b");
  EXPECT_EQ(RegexSubstitute("s/./*/g", kHyou + "a").text, "**");
  EXPECT_EQ(RegexSubstitute("s/\\d//g", "").text, "");
}

TEST(Regex, Translation) {
  EXPECT_EQ(RegexTranslate("tr/a-z/A-Z/", "abc-xyz"), "ABC-XYZ");
  EXPECT_EQ(RegexTranslate("y/abc/xy/", "aabbcc"), "xxyyyy");
  EXPECT_EQ(RegexTranslate("tr/abc//d", "abcdabc"), "d");
  EXPECT_EQ(RegexTranslate("tr/a-z//s", "aabbcc  dd"), "abc  d");
  EXPECT_EQ(RegexTranslate("tr/a-z/_/c", "ab1c2"), "ab_c_");
  EXPECT_EQ(RegexTranslate("tr/0-9//cd", "a1b2"), "12");
  EXPECT_EQ(RegexTranslate(SJ("tr/ぁ-ん/ァ-ン/"), SJ("ひらがなとカナ")), SJ("ヒラガナトカナ"));
  EXPECT_EQ(RegexTranslate("tr/\\//-/", "a/b"), "a-b");
  EXPECT_EQ(RegexTranslate("tr/\\-a/+b/", "-a"), "+b");
}

}  // namespace
}  // namespace sorane
