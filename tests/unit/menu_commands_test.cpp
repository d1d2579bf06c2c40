// Menu items through scripts on a fake backend: captions, parents, the names
// that stop メニュー作成, and the commands that need a window doing nothing
// without one.
#include <gtest/gtest.h>

#include "object_script_fixture.h"
#include "text/encoding.h"

namespace sorane {
namespace {

using MenuScriptTest = ObjectScriptFixture;

TEST_F(MenuScriptTest, ItemsTheirCaptionsAndParents) {
  Load(
      "ファイルメニューを、メニュー作成\n"
      "ファイルメニューに、開くを、メニュー追加\n"
      "保存メニューを、作る\n"
      "種類は、開くの、名前\n");
  ASSERT_EQ(Errors(), "");
  int file = IndexOf("ファイルメニュー"), open = IndexOf("開く"), save = IndexOf("保存メニュー");
  EXPECT_EQ(fake.At(file).caption,
            "\x83t\x83@\x83"
            "C\x83\x8B");  // ファイル
  EXPECT_EQ(fake.At(file).kind, ObjKind::kMenu);
  EXPECT_EQ(SjisToUtf8(fake.At(open).caption), "開く");
  EXPECT_EQ(fake.At(open).parent, file);
  EXPECT_EQ(in.S.Objects.Get(open)->Parent, file);
  EXPECT_EQ(SjisToUtf8(fake.At(save).caption), "保存");
  EXPECT_EQ(SjisToUtf8(in.S.Words.FindExact(Utf8ToSjis("保存メニュー"))->TypeMark), "メニュー");
}

TEST_F(MenuScriptTest, NamesThatStopAnItem) {
  Load(
      "ボタン1を、ボタンとして、作成\n"
      "ボタン1を、メニュー作成\n"
      "ボタン1に、子を、メニュー追加\n"
      "ないメニューに、子を、メニュー追加\n"
      "そを、メニュー作成\n"
      "「」を、メニュー作成\n");
  std::string e = Errors();
  EXPECT_NE(e.find("オブジェクト\"ボタン1\"は、既に存在するので、作成できません。"),
            std::string::npos);
  EXPECT_NE(e.find("メニューの下にだけ追加できます。"), std::string::npos);
  EXPECT_NE(e.find("オブジェクト\"ないメニュー\"は、作成されていません。"), std::string::npos);
  // A system variable is no variable of the script's to replace.
  EXPECT_NE(e.find("オブジェクト\"そ\"は、既に存在するので、作成できません。"), std::string::npos);
  EXPECT_NE(e.find("オブジェクト名がありません。"), std::string::npos);
  EXPECT_EQ(in.S.Objects.Count(), 2);  // the host window and ボタン1
}

TEST_F(MenuScriptTest, WindowServicesWithoutAWindowDoNothing) {
  Load(
      "タスクトレイへアイコン表示(1)\n"
      "カーソル表示(0)\n"
      "「母艦」を、最前面\n"
      "「ない」を、最背面\n");
  EXPECT_NE(Errors().find("オブジェクト\"ない\"は、作成されていません。"), std::string::npos);
  EXPECT_EQ(Errors().find("母艦"), std::string::npos);
}

}  // namespace
}  // namespace sorane
