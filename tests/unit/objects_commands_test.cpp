// Script objects through real scripts on a fake backend: creation and
// placement, names, 作る, そ, property routes and their errors, event slots,
// destruction, parents, default values; and the grid helpers.
#include <gtest/gtest.h>

#include "library/library.h"
#include "library/objects/grid_sort.h"
#include "library/objects/grid_text.h"
#include "library/objects/object_events.h"
#include "object_script_fixture.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "script_run_fixture.h"
#include "text/encoding.h"

namespace sorane {
namespace {

class ObjectScriptTest : public ObjectScriptFixture {
 protected:
  bool Logged(const char* utf8) { return Errors().find(utf8) != std::string::npos; }
  std::string Mark(const char* name) {
    return SjisToUtf8(in.S.Words.Find(Utf8ToSjis(name), false)->TypeMark);
  }
  const FakeObjectBackend::Widget& Widget(const char* name) { return fake.At(IndexOf(name)); }
  TObjNode& Node(const char* name) { return *in.S.Objects.Get(IndexOf(name)); }
};

TEST_F(ObjectScriptTest, AutomaticPlacementFollowsTheCursorAndTheGap) {
  Load(
      "部品配置間隔は、10\n"
      "「A」を、ボタンとして、作成。\n"
      "「B」を、ボタンとして、作成。\n"
      "(200,10)に、「C」を、チェックとして、作成。\n"
      "「D」を、エディタとして、作成。\n"
      "センタリング\n"
      "「E」を、メモとして、作成。\n"
      "部品配置間隔は、「広め」\n"
      "「F」を、リストとして、作成。\n"
      "G位置は、Fの、下側\n"
      "「とても長い見出しのボタン」を、ボタンとして、作成。\n");
  ASSERT_EQ(Errors(), "");
  EXPECT_EQ(Widget("A").bounds.left, 10);
  EXPECT_EQ(Widget("A").bounds.top, 10);
  EXPECT_TRUE(Widget("A").visible);
  EXPECT_EQ(Widget("B").bounds.top, 45);  // 10 + 25 + gap 10, same x
  EXPECT_EQ(Widget("B").bounds.left, 10);
  // Explicit coordinates move only the cursor's y.
  EXPECT_EQ(Widget("C").bounds.left, 200);
  EXPECT_EQ(Widget("C").bounds.top, 10);
  EXPECT_EQ(Widget("D").bounds.left, 10);
  EXPECT_EQ(Widget("D").bounds.top, 45);
  EXPECT_EQ(Widget("E").bounds.left, (640 - 75) / 2);
  // A gap that is not a number counts as 8.
  EXPECT_EQ(Widget("F").bounds.top, Widget("E").bounds.top + 25 + 10);
  EXPECT_EQ(Var("G位置"), "(282," + std::to_string(Widget("F").bounds.top + 25 + 8) + ")");
  EXPECT_EQ(Node("E").Kind, ObjKind::kMemo);
  EXPECT_EQ(Mark("E"), "メモ");  // the object word's type text is the kind name
  // A button is as wide as its caption's bytes (9 characters) times the width of "W".
  EXPECT_EQ(SjisToUtf8(Widget("とても長い見出しのボタン").caption), "とても長い見出しの");
  EXPECT_EQ(Widget("とても長い見出しのボタン").bounds.width, 18 * 8);
}

TEST_F(ObjectScriptTest, CreationErrorsLeaveNothingBehind) {
  Load(
      "名前は、1\n"
      "「名前」を、ボタンとして、作成。\n"
      "「X」を、ボタソとして、作成。\n"
      "「M」を、メニューとして、作成。\n"
      "(1,2,3)に、「Y」を、ボタンとして、作成。\n");
  EXPECT_TRUE(Logged("オブジェクト\"名前\"は、既に存在するので、作成できません。"));
  EXPECT_TRUE(Logged("オブジェクト\"ボタソ\"は、未定義なので、作成できません。"));
  EXPECT_TRUE(Logged("オブジェクト\"メニュー\"は、未定義なので、作成できません。"));
  EXPECT_TRUE(
      Logged("オブジェクト\"Y\"は、未定義なので、作成できません。座標指定に誤りがあります。\""));
  EXPECT_EQ(in.S.Objects.Count(), 1);
  EXPECT_EQ(fake.calls.size(), 0u);
}

TEST_F(ObjectScriptTest, TheConsoleHasNoWidgetsToCreate) {
  host.object_backend = nullptr;  // NoObjectBackend
  Load("「B」を、ボタンとして、作成。\n母艦の、タイトルは、「題」\n");
  EXPECT_TRUE(Logged(
      "オブジェクト\"B\"は、作成できません。この実行環境には\"ボタン\"の部品がありません。"));
  EXPECT_EQ(in.S.Objects.Count(), 1);
  EXPECT_EQ(Var("B"), "(none)");
}

TEST_F(ObjectScriptTest, MakeGuessesTheKindAndNeverRunsTheName) {
  Load(
      "A=0\n"
      "「あいう」を、作る。\n"
      "「x`;A=1;`」を、作る。\n"
      "「保存メニュー」を、作る。\n"
      "「 」を、作る。\n");
  EXPECT_EQ(Node("あいう").Kind, ObjKind::kButton);
  EXPECT_EQ(SjisToUtf8(Widget("あいう").caption), "あいう");
  // The name is a name, not program text.
  EXPECT_EQ(Node("x`;A=1;`").Kind, ObjKind::kButton);
  EXPECT_EQ(Var("A"), "0");
  // Menus come from メニュー作成: the item is captioned without "メニュー".
  EXPECT_EQ(Node("保存メニュー").Kind, ObjKind::kMenu);
  EXPECT_EQ(SjisToUtf8(Widget("保存メニュー").caption), "保存");
  EXPECT_TRUE(Logged("命令の引数に誤りがあります。オブジェクト名がありません。"));
}

TEST_F(ObjectScriptTest, SoFollowsCreationAndSetting) {
  Load(
      "「ボタン1」を、ボタンとして、作成。\n"
      "「エディタ1」を、エディタとして、作成。\n"
      "その、Xは、5\n"
      "ボタン1の、Yは、7\n"
      "その、Xを、9に、設定。\n");
  ASSERT_EQ(Errors(), "");
  EXPECT_EQ(Widget("エディタ1").bounds.left, 5);
  EXPECT_EQ(Widget("ボタン1").bounds.left, 9);
  EXPECT_EQ(Widget("ボタン1").bounds.top, 7);
}

TEST_F(ObjectScriptTest, PropertiesRouteByRowWithTheirMarksAndErrors) {
  Load(
      "「B」を、ボタンとして、作成。\n"
      "「P」を、パネルとして、作成。\n"
      "「L」を、リストとして、作成。\n"
      "Bの、Xを、10に、設定。\n"
      "Bの、Xを、得たXに、得る。\n"
      "得たYは、Bの、Y\n"
      "Bの、テキストは、「押して」\n"
      "Bの、テキストを、Tに、得る。\n"
      "Bの、名前を、Nに、得る。\n"
      "Bの、サイズは、(1,2,31,42)\n"
      "Bの、高は、30\n"
      "S=Bの、サイズ\n"
      "Bの、背景色は、0\n"
      "Pの、背景色は、0\n"
      "Bの、値は、1\n"
      "Bの、名前は、「C」\n"
      "Bの、右側は、「C」\n"
      "Bの、空想は、1\n"
      "Lの、値は、「2」\n"
      "Lの、アイテムを、Iに、得る。\n");
  EXPECT_EQ(Var("得たX"), "10");
  EXPECT_EQ(Mark("得たX"), "e");
  EXPECT_EQ(Var("得たY"), "10");
  EXPECT_EQ(Var("T"), "押して");
  EXPECT_EQ(Mark("T"), "s");
  EXPECT_EQ(Var("N"), "B");
  // The text is also kept in the object word; 高 folds to 高さ.
  EXPECT_EQ(SjisToUtf8(in.S.Words.FindExact("B")->Value()), "押して");
  EXPECT_EQ(Var("S"), "(1,2,31,32)");
  EXPECT_EQ(in.S.CursorX, 1);
  EXPECT_EQ(in.S.CursorY, 2 + 30 + 8);
  EXPECT_TRUE(Logged("オブジェクト\"B\"(\"ボタン\")の設定項目\"背景色\"は未定義です。"));
  EXPECT_TRUE(Logged("オブジェクト\"P\"(\"パネル\")の設定項目\"背景色\"は未定義です。"));
  EXPECT_TRUE(Logged("オブジェクト\"B\"の設定は、未定義です。"));
  EXPECT_TRUE(Logged("\"名前\"は、読取専用です。"));
  EXPECT_TRUE(Logged("\"右側\"は、読取専用です。"));
  EXPECT_TRUE(Logged("オブジェクト\"B\"(\"ボタン\")の設定項目\"空想\"は未定義です。"));
  EXPECT_EQ(fake.At(IndexOf("L")).properties.at(PropId::kValue).number, 2);
  EXPECT_EQ(Var("I"), "");
}

TEST_F(ObjectScriptTest, LookupErrorsOfSetAndGet) {
  Load(
      "V=1\n"
      "ないの、Xを、1に、設定。\n"
      "ないの、Xを、Rに、得る。\n"
      "Vの、Xを、1に、設定。\n"
      "「B」を、ボタンとして、作成。\n"
      "Bの、Xを、母艦に、得る。\n");
  EXPECT_TRUE(Logged("オブジェクト\"ない\"は、作成されていません。"));
  EXPECT_TRUE(Logged("単語\"ない\"は、定義されていません。"));
  EXPECT_TRUE(Logged("\"V\"は、オブジェクトではありません。"));
  EXPECT_TRUE(Logged("\"母艦\"は、読取専用です。"));
}

TEST_F(ObjectScriptTest, EventValuesCopyPerKindAndRefuseVariables) {
  Load(
      "V=1\n"
      "「B」を、ボタンとして、作成。\n"
      "「M」を、メモとして、作成。\n"
      "「E」を、エディタとして、作成。\n"
      "Bの、イベントは、押した\n"
      "Mの、イベントは、押した\n"
      "Eの、イベントは、押した\n"
      "Bの、イベントは、「」\n"
      "Eの、クリックした時は、V\n"
      "Bの、キーを押した時は、(表示する)\n"
      "Bの、クリックした時を、Wに、得る。\n"
      "待機\n*押した\n戻る\n");
  EXPECT_TRUE(Node("B").EventTarget[kEventAny].None());  // cleared: slot 0 alone
  EXPECT_FALSE(Node("B").EventTarget[kEventClick].None());
  EXPECT_EQ(SjisToUtf8(Node("B").EventText[kEventKeyDown]), "表示する");
  EXPECT_FALSE(Node("M").EventTarget[kEventAny].None());
  for (int slot = 1; slot < kEventSlotCount; ++slot)
    EXPECT_TRUE(Node("M").EventTarget[slot].None()) << slot;
  EXPECT_FALSE(Node("E").EventTarget[kEventChange].None());
  EXPECT_TRUE(Logged("イベントに変数を設定することは出来ません。ラベルを指定してください。"));
  EXPECT_TRUE(Logged("[注　意]"));
  EXPECT_TRUE(Logged("\"B,クリックした時\"は、未定義です。"));
}

TEST_F(ObjectScriptTest, AHandlerThatSetsItsObjectsEventKeepsIt) {
  Load(
      "「B」を、ボタンとして、作成。\n"
      "「C」を、ボタンとして、作成。\n"
      "Bの、イベントは、最初\n"
      "Bの、クリックした時は、押した\n"
      "Cの、クリックした時は、(Cの、クリックした時は、「」。C回=1)\n"
      "待機\n"
      "*押した\nBの、イベントは、次\n押した回=1\n戻る\n"
      "*最初\n戻る\n*次\n戻る\n");
  ASSERT_EQ(Errors(), "");
  ObjectEventDispatcher sink{in};
  ObjectEvent click;
  click.index = IndexOf("B");
  EXPECT_TRUE(sink.ObjectEventOccurred(click).handled);
  EXPECT_EQ(Var("押した回"), "1");
  EXPECT_EQ(SjisToUtf8(Node("B").EventText[kEventAny]), "次");
  EXPECT_EQ(in.S.Words.FindExact(Utf8ToSjis("イベントオブジェクト"))->ObjectIndex, click.index);
  // Program text that clears its own slot runs on to its end: the text stays
  // alive while the run is in it.
  click.index = IndexOf("C");
  sink.ObjectEventOccurred(click);
  EXPECT_EQ(Var("C回"), "1");
  EXPECT_TRUE(Node("C").EventTarget[kEventClick].None());
  EXPECT_EQ(Errors(), "");
}

TEST_F(ObjectScriptTest, DestroyingLeavesHolesAndFreesNamesAndContents) {
  Load(
      "「ボタン1」を、ボタンとして、作成。\n"
      "ボタン1の、オブジェクト破壊。\n"
      "「ボタン1」を、ボタンとして、作成。\n"
      "母艦の、オブジェクト破壊。\n"
      "「P」を、パネルとして、作成。\n"
      "「Q」を、ボタンとして、作成。\n"
      "Qを、Pの上へ、乗せ換える。\n"
      "Pの、オブジェクト破壊。\n"
      "その、Xは、1\n"
      "「R」を、ボタンとして、作成。\n"
      "オブジェクト全破壊。\n"
      "「R」を、ボタンとして、作成。\n"
      "待機\n");
  EXPECT_EQ(in.S.Objects.Get(1), nullptr);  // a hole; the new ボタン1 is object 2
  EXPECT_TRUE(fake.At(1).destroyed);
  EXPECT_FALSE(fake.At(1).visible);
  EXPECT_TRUE(fake.At(4).destroyed);  // Q went with its panel
  EXPECT_EQ(in.S.Objects.Get(4), nullptr);
  EXPECT_NE(in.S.Objects.Get(0), nullptr);  // the host window stays
  EXPECT_EQ(Var("Q"), "(none)");
  EXPECT_TRUE(Logged("オブジェクト\"そ\"は、作成されていません。"));
  // After オブジェクト全破壊 the names are free again.
  EXPECT_EQ(IndexOf("R"), 6);
  EXPECT_EQ(Var("ボタン1"), "(none)");
  EXPECT_EQ(fake.calls.back(), "free soon");  // 待機 with pending widgets
}

TEST_F(ObjectScriptTest, ReparentingRefusesCyclesAndNonContainers) {
  Load(
      "「P1」を、パネルとして、作成。\n"
      "「P2」を、パネルとして、作成。\n"
      "「B」を、ボタンとして、作成。\n"
      "P2を、P1の上へ、乗せ換える。\n"
      "P1を、P2の上へ、乗せ換える。\n"
      "P1を、P1へ、乗せる。\n"
      "母艦を、P1へ、乗せる。\n"
      "P1を、Bへ、乗せる。\n"
      "P1を、ないへ、乗せる。\n");
  EXPECT_EQ(Node("P2").Parent, IndexOf("P1"));
  EXPECT_EQ(fake.At(IndexOf("P2")).parent, IndexOf("P1"));
  EXPECT_TRUE(Logged("P1を、P2へ、親変更に失敗。"));
  EXPECT_TRUE(Logged("P1を、P1へ、親変更に失敗。"));
  EXPECT_TRUE(Logged("母艦を、P1へ、親変更に失敗。"));
  EXPECT_TRUE(Logged("\"B\"命令の引数に誤りがあります。パネルとフォーム以外には乗せられません。"));
  EXPECT_TRUE(Logged("\"乗\"命令の引数に誤りがあります。"));
  EXPECT_EQ(Node("P1").Parent, 0);
}

TEST_F(ObjectScriptTest, ListAndGridIndexesOutsideTheWidgetDoNothing) {
  fake.new_item_count = 3;  // the list's items; the grid's header, data row and empty row
  Load(
      "「L」を、リストとして、作成。\n"
      "「G」を、グリッドとして、作成。\n"
      "Lの、値は、3\nLの、値は、-1\nGの、値は、3\nGの、行は、5\nGの、値は、-1\n"
      "Lの、値は、2\nGの、値は、0\n");
  ASSERT_EQ(Errors(), "");
  // Only the last two reach the widgets; a grid's 0 is its first data row.
  ASSERT_EQ(fake.calls.size(), 4u);
  EXPECT_EQ(fake.At(1).properties.at(PropId::kValue).number, 2);
  EXPECT_EQ(fake.At(2).properties.at(PropId::kValue).number, 1);
  EXPECT_EQ(SjisToUtf8(in.S.Words.FindExact("L")->Value()), "2");  // kept as the word's value
}

TEST_F(ObjectScriptTest, DefaultValuesPerKind) {
  Load(
      "「B」を、ボタンとして、作成。\n"
      "「I」を、イメージとして、作成。\n"
      "「T」を、トラックとして、作成。\n"
      "「C」を、チェックとして、作成。\n"
      "Bは、「はい」\n"
      "Iは、「 絵.png 」\n"
      "Tは、5\n"
      "X=B\nY=I\nZ=T\n"
      "母艦は、「題名」\n");
  EXPECT_EQ(SjisToUtf8(fake.At(IndexOf("B")).default_value), "はい");
  EXPECT_EQ(Var("X"), "はい");
  EXPECT_EQ(Var("Y"), "絵.png");  // an image reads the name last assigned, trimmed
  EXPECT_EQ(SjisToUtf8(fake.At(IndexOf("I")).default_value), " 絵.png ");
  EXPECT_EQ(fake.At(IndexOf("T")).default_value, "");
  EXPECT_TRUE(Logged("オブジェクト\"T\"から、直接値を得ることは出来ません。"));
  EXPECT_EQ(SjisToUtf8(fake.At(0).default_value), "題名");
  fake.At(IndexOf("C")).default_value = "1";
  EXPECT_EQ(SjisToUtf8(in.Evaluate(Utf8ToSjis("C"))), "1");
  EXPECT_EQ(in.S.SoreType, "e");
}

TEST_F(ObjectScriptTest, ReadingAFileIntoAnObjectSetsItsDefaultValue) {
  std::string path = testing::TempDir() + "object_read.txt";
  FILE* f = fopen(path.c_str(), "wb");
  fputs("line", f);
  fclose(f);
  Load(("「E」を、エディタとして、作成。\nEに、「" + path + "」を、読む。\n").c_str());
  EXPECT_EQ(fake.At(IndexOf("E")).default_value, "line");
  EXPECT_TRUE(in.S.Words.FindExact(Utf8ToSjis("E"))->Kind == kWordObject);
  remove(path.c_str());
}

TEST_F(ObjectScriptTest, FocusAndCentringFindRecordNames) {
  fake.refuse_focus = 2;
  Load(
      "「B」を、ボタンとして、作成。\n"
      "「隠れ」を、ボタンとして、作成。\n"
      "名=「B」\n"
      "名に、注目。\n"
      "Bを、中央へ移動。\n"
      "名を、中央へ移動。\n"
      "隠れに、注目。\n"
      "ないに、注目。\n");
  EXPECT_EQ(fake.calls[2], "focus 1");
  EXPECT_EQ(fake.calls[3], "centre 1");
  EXPECT_TRUE(Logged("オブジェクト\"名\"は、作成されていません。"));
  EXPECT_TRUE(Logged("\"隠れ\"には、注目できません。"));
  EXPECT_TRUE(Logged("オブジェクト\"ない\"は、作成されていません。"));
}

// ---------------------------------------------------------------- grids

GridRows Rows(std::initializer_list<std::vector<std::string>> rows) {
  return GridRows(rows);
}

std::vector<std::string> Column(const GridRows& rows, size_t c) {
  std::vector<std::string> out;
  for (const auto& row : rows) out.push_back(c < row.size() ? row[c] : "-");
  return out;
}

TEST(GridSort, PressesAlternateFromDescendingAndKeepHeaderAndLastRow) {
  GridRows rows = Rows({{"名", "値"},
                        {"b", "2"},
                        {"D", "4"},
                        {"a", "1"},
                        {"e", "5"},
                        {"C", "3"},
                        {"g", "7"},
                        {"F", "6"},
                        {"", ""}});
  GridSortState state;
  state.Press(0, "名");
  EXPECT_FALSE(state.ascending);
  SortGridRows(rows, 0, state.ascending);
  using V = std::vector<std::string>;
  EXPECT_EQ(Column(rows, 1), (V{"値", "7", "6", "5", "4", "3", "2", "1", ""}));
  state.Press(0, "名");
  SortGridRows(rows, 0, state.ascending);
  EXPECT_EQ(Column(rows, 0), (V{"名", "a", "b", "C", "D", "e", "F", "g", ""}));
  // Keys compare byte by byte: digits before letters, a missing cell first.
  GridRows few = Rows({{"h"}, {"x"}, {"1"}, {}, {"B"}, {"z"}});
  SortGridRows(few, 0, true);
  EXPECT_EQ(Column(few, 0), (V{"h", "-", "1", "B", "x", "z"}));
  // A grid without two data rows has nothing to sort.
  GridRows one = Rows({{"h"}, {"b"}, {""}});
  EXPECT_EQ(GridSortOrder(one, 0, false), (std::vector<int>{0, 1, 2}));
}

TEST(GridText, LoadingAddsAnEmptyRowAndItemsDropEmptyEnds) {
  GridRows rows = GridRowsFromCsv("a,b,c\r\n1,2\r\n");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "2", ""}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(GridCsv(rows), "a,b,c\r\n1,2,\r\n,,\r\n");
  rows.insert(rows.begin(), std::vector<std::string>(3));
  EXPECT_EQ(GridItemsCsv(rows), "a,b,c\r\n1,2,\r\n");
  EXPECT_EQ(GridItemsCsv(GridRowsFromCsv("")), "");
  auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 7; };
  EXPECT_EQ(GridColumnWidths(GridRowsFromCsv("ab,,x\r\nabcd,,\r\n"), width, 64),
            (std::vector<int>{33, 64, 12}));
}

}  // namespace
}  // namespace sorane
