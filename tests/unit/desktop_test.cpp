// Key strings read into typing steps and the keysyms they type; メッセージ送信
// on script objects (the fake backend); names and addresses of the machine.
// Typing into real windows is tests/desktop (under Xvfb).
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "interop/desktop/key_string.h"
#include "interop/desktop/x11_keys.h"
#include "object_script_fixture.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"

namespace sorane {
namespace {

using K = KeyStep::Kind;

KeyStep Hold(int vk) {
  return {K::kHold, vk, "", 1};
}
KeyStep Release(int vk) {
  return {K::kRelease, vk, "", 1};
}
KeyStep Key(int vk, long long count = 1) {
  return {K::kKey, vk, "", count};
}
KeyStep Char(const char* utf8, long long count = 1) {
  return {K::kChar, 0, Utf8ToSjis(utf8), count};
}
std::vector<KeyStep> Parse(const char* utf8) {
  return ParseKeyString(Utf8ToSjis(utf8));
}

TEST(KeyStringTest, ModifiersGroupsNamedKeysAndCounts) {
  EXPECT_EQ(Parse("^c"), (std::vector{Hold(17), Char("c"), Release(17)}));
  EXPECT_EQ(Parse("%{F4}"), (std::vector{Hold(18), Key(115), Release(18)}));
  EXPECT_EQ(Parse("{TAB 3}{tab}"), (std::vector{Key(9, 3), Key(9)}));
  EXPECT_EQ(Parse("+(abc)d"),
            (std::vector{Hold(16), Char("a"), Char("b"), Char("c"), Release(16), Char("d")}));
  // A modifier already held is not pressed again inside its own group.
  EXPECT_EQ(Parse("+(+a)"), (std::vector{Hold(16), Char("a"), Release(16)}));
  EXPECT_EQ(Parse("^+{END}"), (std::vector{Hold(17), Hold(16), Key(35), Release(16), Release(17)}));
  EXPECT_EQ(Parse("~\r\n\n\t"), (std::vector{Key(13), Key(13), Key(13), Key(9)}));
}

TEST(KeyStringTest, BracesHoldSingleCharactersAndOddCases) {
  EXPECT_EQ(Parse("{}}{~}{+ 2}{ }"), (std::vector{Char("}"), Char("~"), Char("+", 2), Char(" ")}));
  // "±" is 0x81 0x7D: its trail byte is no closing brace.
  EXPECT_EQ(Parse("{±}+±"), (std::vector{Char("±"), Hold(16), Char("±"), Release(16)}));
  EXPECT_EQ(Parse("日本"), (std::vector{Char("日"), Char("本")}));
  EXPECT_EQ(Parse("{NOSUCHKEY}{F17}x"), (std::vector{Char("x")}));
  EXPECT_EQ(Parse("{ab"), (std::vector{Char("{"), Char("a"), Char("b")}));
  EXPECT_EQ(Parse("a)"), (std::vector{Char("a")}));
  // A huge count stays one step.
  std::vector<KeyStep> many = Parse("{x 99999999999999999999}");
  ASSERT_EQ(many.size(), 1u);
  EXPECT_GE(many[0].count, 1000000000);
}

TEST(KeyStringTest, KeyNamesAndKeysyms) {
  const char* names[] = {"CAPSLOCK", "NUMLOCK", "SCROLLOCK", "ESCAPE", "ESC",       "ENTER", "HELP",
                         "PRTSC",    "TAB",     "BREAK",     "CLEAR",  "BACKSPACE", "BS",    "BKSP",
                         "DELETE",   "DEL",     "INSERT",    "LEFT",   "RIGHT",     "UP",    "DOWN",
                         "PGUP",     "PGDN",    "HOME",      "END",    "IME"};
  for (const char* n : names) {
    EXPECT_NE(KeyNameCode(n), 0) << n;
    EXPECT_NE(KeysymOfVirtualKey(KeyNameCode(n)), 0u) << n;
  }
  EXPECT_EQ(KeyNameCode("Esc"), 27);
  EXPECT_EQ(KeyNameCode("f1"), 112);
  EXPECT_EQ(KeyNameCode("F16"), 127);
  EXPECT_EQ(KeyNameCode("F0"), 0);
  EXPECT_EQ(KeyNameCode("F01"), 0);
  EXPECT_EQ(KeysymOfVirtualKey(127), 0xFFCDu);  // F16
  EXPECT_EQ(KeysymOfCharacter("a"), unsigned('a'));
  EXPECT_EQ(KeysymOfCharacter(Utf8ToSjis("日")), 0x010065E5u);
  EXPECT_EQ(KeysymOfCharacter("\xB1"), 0x0100FF71u);  // half-width ｱ
  EXPECT_EQ(KeysymOfCharacter("\x01"), 0u);
}

class DesktopScriptTest : public ObjectScriptFixture {};

TEST_F(DesktopScriptTest, MessagesReachObjectsThroughTheirProperties) {
  Load(
      "「E」を、エディタとして、作成。\n"
      "「B」を、ボタンとして、作成。\n"
      "押した回数は、0\n"
      "Bの、クリックした時は、(押した回数は、押した回数+1)\n"
      "Tは、「こんにちは」\n"
      "Eに、「12,0,T」と、メッセージ送信。設定結果は、それ\n"
      "Eに、「13,4,新変数」と、メッセージ送信。取得結果は、それ\n"
      "Eに、「14,0,0」と、メッセージ送信。長さは、それ\n"
      "Eに、「１３，９，999」と、メッセージ送信。数の宛先は、それ\n"
      "Bに、「10,0,0」と、メッセージ送信。\n"
      "Eに、「24,0,0」と、メッセージ送信。\n"
      "「C」を、ボタンとして、作成。\n"
      "Cに、「16,0,0」と、メッセージ送信。\n"
      "Bに、「245,0,0」と、メッセージ送信。\n"
      "Bに、「$F5」と、メッセージ送信。\n"
      "Bに、「999,1,2」と、メッセージ送信。未知は、それ\n");
  ASSERT_EQ(Errors(), "");
  EXPECT_EQ(Var("設定結果"), "1");
  EXPECT_EQ(SjisToUtf8(fake.At(IndexOf("E")).properties[PropId::kText].text), "こんにちは");
  // Room for 4 bytes with the end mark: one whole character, never half of one.
  EXPECT_EQ(Var("新変数"), "こ");
  EXPECT_EQ(Var("取得結果"), "2");
  EXPECT_EQ(Var("長さ"), "10");
  // A number where a text should go is written to nowhere.
  EXPECT_EQ(Var("数の宛先"), "0");
  EXPECT_EQ(fake.At(IndexOf("B")).properties[PropId::kEnabled].number, 0);
  auto visible = [&](const char* name) {
    auto& props = fake.At(IndexOf(name)).properties;
    return props.count(PropId::kVisible) ? props[PropId::kVisible].number : -1;
  };
  EXPECT_EQ(visible("E"), 0);
  EXPECT_EQ(visible("C"), 0);  // closed: hidden
  EXPECT_EQ(Var("押した回数"), "2");
  EXPECT_EQ(Var("未知"), "0");
}

TEST_F(DesktopScriptTest, MessagesToMissingObjectsAndVariablesThatAreNot) {
  Load(
      "「B」を、ボタンとして、作成。\n"
      "無いものに、「16,0,0」と、メッセージ送信。\n"
      "Bに、「13,10,表示」と、メッセージ送信。\n");
  EXPECT_NE(Errors().find("オブジェクト\"無いもの\"が特定できません。"), std::string::npos);
  EXPECT_NE(Errors().find("\"メッセージ送信\"命令の引数に誤りがあります。"), std::string::npos);
}

TEST_F(DesktopScriptTest, NamesAndAddressesOfTheMachine) {
  Load(
      "ユーザー名取得。利用者は、それ\n"
      "「localhost」の、IPアドレス取得。自分は、それ\n"
      "「nonexistent.invalid」の、IPアドレス取得。無いは、それ\n"
      "「127.0.0.1」の、共有フォルダ列挙。共有1は、それ\n"
      "「\\\\127.0.0.1」の、共有フォルダ列挙。共有2は、それ\n");
  ASSERT_EQ(Errors(), "");
  EXPECT_EQ(Var("利用者"), getpwuid(getuid())->pw_name);
  EXPECT_EQ(Var("自分"), "127.0.0.1");
  EXPECT_EQ(Var("無い"), "(N/A)");
  EXPECT_EQ(Var("共有1"), Var("共有2"));
}

}  // namespace
}  // namespace sorane
