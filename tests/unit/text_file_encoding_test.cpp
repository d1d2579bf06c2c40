// UTF-8 text files: the lossless conversion, the UTF-8 rule over pieces, and
// where the setting comes from.
#include <gtest/gtest.h>

#include <random>

#include "library/files/text_encoding.h"
#include "runtime/interpreter.h"
#include "test_env.h"
#include "test_host.h"
#include "text/encoding.h"

namespace sorane {
namespace {

std::string RoundTrip(std::string_view bytes) {
  return SjisToUtf8KeepingBytes(Utf8ToSjisKeepingBytes(bytes));
}

TEST(KeepingBytes, EveryByteStringComesBack) {
  const std::vector<std::string> pieces = {"a",
                                           ",",
                                           "\n",
                                           "\r\n",
                                           "?",
                                           "表示",
                                           "café",
                                           "\xF0\x9F\x98\x80",
                                           "\xE2\x98\x95",
                                           "\xEE\x82\x80",  // U+E080, an escape character itself
                                           "\xEF\xBB\xBF",  // a byte-order mark inside the text
                                           "\xE3\x81",      // cut off
                                           "\x80",
                                           "\xFF",
                                           "\xC0\x80",
                                           std::string("\0", 1),
                                           "\x82\xA0"};
  std::mt19937 rng(7);
  for (int n = 0; n < 2000; ++n) {
    std::string s;
    for (int k = std::uniform_int_distribution<int>(0, 12)(rng); k > 0; --k)
      s += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(rng)];
    ASSERT_EQ(RoundTrip(s), s) << n;
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(RoundTrip(all), all);
}

TEST(KeepingBytes, WhatCp932HoldsConvertsAsUsual) {
  EXPECT_EQ(Utf8ToSjisKeepingBytes("表示,a?\n"), SJ("表示") + ",a?\n");
  // A character CP932 lacks is one escape per byte, never "?".
  std::string cafe = Utf8ToSjisKeepingBytes("caf\xC3\xA9");
  EXPECT_EQ(cafe, "caf" + ByteEscape(0xC3) + ByteEscape(0xA9));
  // The two code points CP932 holds once come back in the form CP932 gives.
  EXPECT_EQ(Utf8ToSjisKeepingBytes("\u301C"), "\x81\x60");
  EXPECT_EQ(SjisToUtf8KeepingBytes("\x81\x60"), "\uFF5E");
  // A byte that is no CP932 character is written as it is.
  EXPECT_EQ(SjisToUtf8KeepingBytes("a\x80"
                                   "b\xFD"),
            "a\x80"
            "b\xFD");
}

TEST(Utf8CheckTest, PiecesGiveTheRuleOfTheWhole) {
  const std::string samples[] = {"表示です",
                                 "ascii only",
                                 SJ("表示"),
                                 "\xEF\xBB\xBF"
                                 "abc",
                                 "\xEF\xBB\xBF\x82\xA0",
                                 "ok\xE3\x81",
                                 "\xF0\x9F\x98\x80!"};
  for (const std::string& s : samples) {
    for (size_t cut = 0; cut <= s.size(); ++cut) {
      for (size_t second = cut; second <= s.size(); ++second) {
        Utf8Check check;
        check.Feed(std::string_view(s).substr(0, cut));
        check.Feed(std::string_view(s).substr(cut, second - cut));
        check.Feed(std::string_view(s).substr(second));
        EXPECT_EQ(check.ReadsAsUtf8(), ReadsAsUtf8(s)) << s << " " << cut << " " << second;
      }
    }
  }
  EXPECT_TRUE(ReadsAsUtf8("\xEF\xBB\xBF\x82\xA0"));  // the mark decides
  EXPECT_FALSE(ReadsAsUtf8(""));
}

TEST(TextEncodingSetting, CommandLineWinsOverEnvironment) {
  TextFileEncoding e;
  EXPECT_TRUE(ParseTextFileEncoding("UTF8", e) && e == TextFileEncoding::kUtf8);
  EXPECT_TRUE(ParseTextFileEncoding("shift_jis", e) && e == TextFileEncoding::kShiftJis);
  EXPECT_TRUE(ParseTextFileEncoding("Auto", e) && e == TextFileEncoding::kAuto);
  EXPECT_FALSE(ParseTextFileEncoding("latin1", e));

  TestHost host;
  ScopedEnv env("SORANE_TEXT_ENCODING", "auto");
  Interpreter from_env(host);
  TextEncodingFromEnvironment(from_env);
  EXPECT_EQ(GetTextFileEncoding(from_env), TextFileEncoding::kAuto);

  Interpreter from_line(host);
  SetTextFileEncoding(from_line, TextFileEncoding::kUtf8);
  TextEncodingFromEnvironment(from_line);
  EXPECT_EQ(GetTextFileEncoding(from_line), TextFileEncoding::kUtf8);

  ScopedEnv empty("SORANE_TEXT_ENCODING", "");
  Interpreter unset(host);
  TextEncodingFromEnvironment(unset);
  EXPECT_EQ(GetTextFileEncoding(unset), TextFileEncoding::kShiftJis);
}

}  // namespace
}  // namespace sorane
