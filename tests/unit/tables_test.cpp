// Table operations: splitting, picking up and searching, statistics, the sort
// (selection sort for short ranges, stable merge sort for long ones), column
// operations, the key join, transposition, HTML output and the condition
// language of 表条件抽出, including its normalisation outside quoted values.
#include <gtest/gtest.h>

#include <string>

#include "library/tables/tables_db.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {
namespace {

// Tables are written in UTF-8 with "|" for CR LF to keep the cases short.
std::string T(const char* utf8) {
  std::string s = Utf8ToSjis(utf8);
  std::string out;
  for (char c : s) out += c == '|' ? std::string("\r\n") : std::string(1, c);
  return out;
}
std::string U(const std::string& sjis) {
  std::string s = SjisToUtf8(sjis);
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s.compare(i, 2, "\r\n") == 0) {
      out += '|';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}
CsvTable Parse(const char* utf8) {
  return CsvParse(T(utf8));
}
std::string Write(const CsvTable& t) {
  return U(CsvWrite(t));
}

TEST(TableSplit, PiecesLikeTheSplitPrimitive) {
  EXPECT_EQ(U(SplitToTable(T("a,b,,c"), ",")), "a|b||c|");
  // A separator at the end adds no empty piece; an empty text gives nothing.
  EXPECT_EQ(U(SplitToTable(T("a|b|"), T("|"))), "a|b|");
  EXPECT_EQ(SplitToTable("", ","), "");
  // Pieces that need quotes are written quoted.
  EXPECT_EQ(U(SplitToTable(T("x,y;ID;say \"hi\""), ";")), "\"x,y\"|\"ID\"|\"say \"\"hi\"\"\"|");
  // The separator is matched at character boundaries only: 0x5C is the trail
  // byte of 表.
  EXPECT_EQ(U(SplitToTable(T("表\\裏"), "\\")), "表|裏|");
  // An empty separator keeps the text whole; a NUL ends the text.
  EXPECT_EQ(U(SplitToTable("ab", "")), "ab|");
  EXPECT_EQ(U(SplitToTable(std::string("a,b\0,c", 6), ",")), "a|b|");
  // Same pieces as the primitive.
  std::string text = T("一、二、、三、");
  size_t cursor = 0;
  std::vector<std::string> expected;
  while (cursor < text.size()) expected.push_back(SplitNext(T("、"), text, cursor));
  std::vector<std::string_view> got = SplitPieces(text, T("、"));
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]);
}

TEST(TablePickUp, CellsAndWholeLines) {
  const std::string t = T("名前,市|山田,東京|川口,大阪|山本,東京都");
  EXPECT_EQ(U(PickUp(t, 1, T("東京"), false)), "山田,東京|山本,東京都|");
  EXPECT_EQ(U(PickUp(t, 0, T("山*"), true)), "名前,市|山田,東京|山本,東京都|");
  EXPECT_EQ(U(PickUp(t, 0, T("山?"), false)), "山田,東京|山本,東京都|");
  // Column -1: plain lines, the header line skipped in header mode.
  EXPECT_EQ(U(PickUp(t, -1, T("大阪"), true)), "川口,大阪|");
  EXPECT_EQ(U(PickUp(t, -1, T("*京"), false)), "山田,東京|");
  EXPECT_THROW(PickUp(t, 0, "[*a]*", false), TableError);
}

TEST(TableSearch, WalksAllMatchesThenStaysAtMinusOne) {
  TableSearch s;
  s.Start(T("id,name|1,a|2,b|3,a"), 1, "a", false, true);
  EXPECT_EQ(s.Next(), 1);
  EXPECT_EQ(s.Next(), 3);
  EXPECT_EQ(s.Next(), -1);
  EXPECT_EQ(s.Next(), -1);
  // Header mode off: row 0 is searched too; exact mode wants the whole cell.
  s.Start(T("name|ab|a"), 0, "name", false, false);
  EXPECT_EQ(s.Next(), 0);
  s.Start(T("ab|a"), 0, "a", false, false);
  EXPECT_EQ(s.Next(), 1);
  // Fuzzy: containing, or a wildcard over the cell or the whole row's CSV.
  s.Start(T("xab,1|zz,2|b,3"), 0, "b", true, false);
  EXPECT_EQ(s.Next(), 0);
  EXPECT_EQ(s.Next(), 2);
  s.Start(T("xab,1|zz,2"), -1, "zz,*", true, false);
  EXPECT_EQ(s.Next(), 1);
  s.Start(T("xab,1|zz,2"), 1, "", true, false);  // every cell contains ""
  EXPECT_EQ(s.Next(), 0);
  // Column -1 in exact mode compares an empty text.
  s.Start(T("a|b"), -1, "", false, false);
  EXPECT_EQ(s.Next(), 0);
  s.Clear();
  EXPECT_EQ(s.Next(), -1);
}

TEST(TableStats, HeaderAndEmptyCells) {
  CsvTable t = Parse("n|2|4");
  EXPECT_EQ(ColumnStat(t, 0, true, TableStat::kSum), 6);
  EXPECT_EQ(ColumnStat(t, 0, true, TableStat::kAverage), 3);
  EXPECT_EQ(ColumnStat(Parse("-5|-2"), 0, false, TableStat::kMax), -2);
  EXPECT_EQ(ColumnStat(Parse("-5|-2"), 0, false, TableStat::kMin), -5);
  // The minimum skips later empty cells; the maximum counts them as 0.
  EXPECT_EQ(ColumnStat(Parse("3|\"\"|5"), 0, false, TableStat::kMin), 3);
  EXPECT_EQ(ColumnStat(Parse("-3|\"\"|-5"), 0, false, TableStat::kMax), 0);
  // Numbers with commas, full-width digits and no data rows at all.
  EXPECT_EQ(ColumnStat(Parse("\"1,000\"|２"), 0, false, TableStat::kSum), 1002);
  EXPECT_EQ(ColumnStat(Parse("h"), 0, true, TableStat::kAverage), 0);
  EXPECT_EQ(ColumnStat(Parse("1,2|3"), 1, false, TableStat::kSum), 2);
}

TEST(TableStats, ReadRowByRowAsFromTheTable) {
  // 表合計 and its kind read the text row by row: every statistic, with and
  // without a header, over rows of different widths, empty rows and cells.
  const char* texts[] = {"n|2|4", "-5|-2", "3|\"\"|5", "-3|\"\"|-5",        "\"1,000\"|２",
                         "h",     "",      "1,2|3",    "a,1|b|c,2,9||d,-4", "|"};
  const TableStat stats[] = {TableStat::kMax, TableStat::kMin, TableStat::kSum,
                             TableStat::kAverage};
  for (const char* text : texts)
    for (TableStat stat : stats)
      for (bool header : {false, true})
        for (size_t column : {0, 1, 2})
          EXPECT_EQ(ColumnStat(T(text), column, header, stat),
                    ColumnStat(Parse(text), column, header, stat))
              << text << " column " << column << " header " << header;
}

TEST(TableSort, ShortRangesBySelectionSort) {
  // Selection sort exchanges: B(1), B(2), A gives A, B(2), B(1).
  CsvTable t = Parse("B,1|B,2|A,3");
  SortTable(t, 0, false, SortKind::kText);
  EXPECT_EQ(Write(t), "A,3|B,2|B,1|");
  // The header row stays; empty rows at both ends and trailing empty cells go.
  t = Parse("||k,v,|10,a|9,b||");
  SortTable(t, 0, true, SortKind::kNumber);
  EXPECT_EQ(Write(t), "k,v|9,b|10,a|");
  // Text order is byte order: "10" before "9".
  t = Parse("9|10");
  SortTable(t, 0, false, SortKind::kText);
  EXPECT_EQ(Write(t), "10|9|");
}

TEST(TableSort, LongRangesMergeTakingTheLeftOnTies) {
  // 40 rows: every leaf range of the merge sort holds distinct keys, and each
  // key occurs once in each half, so only the merge decides their order.
  std::string text;
  for (int i = 0; i < 40; ++i) text += std::to_string(i % 20) + "," + std::to_string(i) + "\r\n";
  CsvTable t = CsvParse(text);
  SortTable(t, 0, false, SortKind::kNumber);
  ASSERT_EQ(t.size(), 40u);
  for (size_t r = 0; r < 40; r += 2) {
    EXPECT_EQ(t[r][0], std::to_string(r / 2));
    EXPECT_EQ(t[r][1], std::to_string(r / 2)) << r;  // the row from the first half
    EXPECT_EQ(t[r + 1][1], std::to_string(r / 2 + 20)) << r;
  }
  // A large table comes out ordered.
  text.clear();
  for (int i = 0; i < 5000; ++i) text += std::to_string((i * 7919) % 1000) + "\r\n";
  t = CsvParse(text);
  SortTable(t, 0, false, SortKind::kNumber);
  for (size_t r = 1; r < t.size(); ++r) ASSERT_LE(std::stoi(t[r - 1][0]), std::stoi(t[r][0]));
}

TEST(TableSort, Dates) {
  CsvTable t = Parse("2021/03/01|2020/12/31|2021/1/5");
  SortTable(t, 0, false, SortKind::kDate);
  EXPECT_EQ(Write(t), "2020/12/31|2021/1/5|2021/03/01|");
  t = Parse("2021/03/01|soon");
  try {
    SortTable(t, 0, false, SortKind::kDate);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(SjisToUtf8(e.what()), "\"soon\"は正しい日付ではありません。");
  }
}

TEST(TableColumns, InsertDeleteCopyPaste) {
  CsvTable t = Parse("a,b|c");
  InsertColumn(t, 1);
  EXPECT_EQ(Write(t), "a,,b|c,,|");
  InsertColumn(t, 4);
  EXPECT_EQ(Write(t), "a,,b,,|c,,,,|");
  t = Parse("a,b,c|d");
  DeleteColumn(t, 1);
  EXPECT_EQ(Write(t), "a,c|d,|");
  EXPECT_EQ(U(CopyColumn(Parse("a,b|c|e,f"), 1)), "b||f|");
  t = Parse("a|b|c");
  PasteColumn(t, 1, T("x\ny"));
  EXPECT_EQ(Write(t), "a,x|b,y|c,|");
  t = Parse("ab,ab|ab");
  ReplaceInColumn(t, 1, "b", "BB");
  EXPECT_EQ(Write(t), "ab,aBB|ab,|");
  ReplaceInColumn(t, 1, "", "x");  // an empty needle changes nothing
  EXPECT_EQ(Write(t), "ab,aBB|ab,|");
}

TEST(TableColumns, MoveNeedsBothPositionsInEveryRow) {
  CsvTable t = Parse("a,b,c|d,e,f");
  MoveColumn(t, 0, 2);
  EXPECT_EQ(Write(t), "b,c,a|e,f,d|");
  MoveColumn(t, 2, 0);
  EXPECT_EQ(Write(t), "a,b,c|d,e,f|");
  t = Parse("a,b,c|d");
  try {
    MoveColumn(t, 0, 2);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_EQ(SjisToUtf8(e.what()), "リストのインデックスが範囲を超えています (2)");
  }
  // The table is untouched by a failed move.
  EXPECT_EQ(Write(t), "a,b,c|d,,|");
}

TEST(TableRows, DuplicatesTransposeHtml) {
  CsvTable t = Parse("a,1|b,2|a,3");
  RemoveDuplicates(t, 0);
  EXPECT_EQ(Write(t), "b,2|a,3|");
  EXPECT_EQ(Write(Transpose(Parse("a,b,c|d"))), "a,d|b,|c,|");
  EXPECT_EQ(Write(Transpose(Parse("\"\",x|\"\",y"))), "x,y|");
  EXPECT_EQ(U(HtmlTable(Parse("a,<b>x</b>|c"), "border=1")),
            "<TABLE border=1>|<TR><TD>a</TD><TD><b>x</b></TD></TR>|"
            "<TR><TD>c</TD><TD></TD></TR>|</TABLE>");
}

TEST(TableKeyJoin, RowZeroOfBIsDataWithoutHeaderMode) {
  CsvTable a = Parse("1,apple|2,pear|3,plum");
  CsvTable b = Parse("1,red,x|2,green,y");
  KeyJoin(a, 0, b, 0, false);
  EXPECT_EQ(Write(a), "1,apple,red,x|2,pear,green,y|3,plum,,|");
}

TEST(TableKeyJoin, HeaderModeJoinsFieldNamesAndSkipsThem) {
  CsvTable a = Parse("id,fruit|id,odd|2,pear");
  CsvTable b = Parse("colour,id|red,id|green,2");
  KeyJoin(a, 0, b, 1, true);
  // B's header is never matched, so the data row "id" finds "red".
  EXPECT_EQ(Write(a), "id,fruit,colour|id,odd,red|2,pear,green|");
  // The first matching row of B wins.
  a = Parse("k|x");
  KeyJoin(a, 0, Parse("x,1|x,2"), 0, false);
  EXPECT_EQ(Write(a), "k,|x,1|");
}

class WhereTest : public ::testing::Test {
 protected:
  const std::string people_ =
      T("名前,年齢,入社|山田,25,2019/04/01|川口,19,2021/04/01|山本,40,2001/10/10|"
        "\"山 本\",31,x");
  std::string Where(const char* cond) { return U(SelectWhere(people_, T(cond))); }
  std::string WhereError(const char* cond) {
    try {
      SelectWhere(people_, T(cond));
    } catch (const TableError& e) {
      return SjisToUtf8(e.what());
    }
    return "";
  }
};

TEST_F(WhereTest, NumbersTextsAndWildcards) {
  EXPECT_EQ(Where("年齢>=20 AND 名前=\"山*\""),
            "名前,年齢,入社|山田,25,2019/04/01|山本,40,2001/10/10|山 本,31,x|");
  EXPECT_EQ(Where("年齢<20"), "名前,年齢,入社|川口,19,2021/04/01|");
  EXPECT_EQ(Where("名前<>\"山*\""), "名前,年齢,入社|川口,19,2021/04/01|");
  // A text without wildcards must equal the whole cell; order compares bytes.
  EXPECT_EQ(Where("名前=\"山\""), "名前,年齢,入社|");
  EXPECT_EQ(Where("年齢=>40 OR 年齢=<19"), "名前,年齢,入社|川口,19,2021/04/01|山本,40,2001/10/10|");
  // An empty condition gives an empty result.
  EXPECT_EQ(Where("  "), "");
}

TEST_F(WhereTest, AndOrTakeEverythingToTheirRight) {
  // A AND B OR C is A AND (B OR C).
  EXPECT_EQ(Where("年齢>30 AND 年齢<35 OR 年齢=19"), "名前,年齢,入社|山 本,31,x|");
  // Parentheses group; side by side conditions add up.
  EXPECT_EQ(Where("(年齢>30 AND 年齢<35) OR 年齢=19"),
            "名前,年齢,入社|川口,19,2021/04/01|山 本,31,x|");
  EXPECT_EQ(Where("年齢=19 年齢=25"), "名前,年齢,入社|山田,25,2019/04/01|川口,19,2021/04/01|");
}

TEST_F(WhereTest, DatesAndFullWidthWords) {
  EXPECT_EQ(Where("入社<#2010/1/1"), "名前,年齢,入社|山本,40,2001/10/10|");
  EXPECT_EQ(Where("入社>=#2019/04/01#"), "名前,年齢,入社|山田,25,2019/04/01|川口,19,2021/04/01|");
  // A value that is no date selects only the header.
  EXPECT_EQ(Where("入社=#someday"), "名前,年齢,入社|");
  // Full-width operators and digits, 「」 as quotes, かつ / または as AND / OR.
  EXPECT_EQ(Where("年齢≧２０　かつ　名前＝「山田」"), "名前,年齢,入社|山田,25,2019/04/01|");
  EXPECT_EQ(Where("年齢＝１９、または 年齢＝４０"),
            "名前,年齢,入社|川口,19,2021/04/01|山本,40,2001/10/10|");
}

TEST_F(WhereTest, QuotedValuesAreLeftAlone) {
  const std::string t = T("品名,メモ|A,\"x,y\"|B,Ｘかつ 甲|C,\"p q\"");
  auto where = [&](const char* cond) { return U(SelectWhere(t, T(cond))); };
  // The comma, the full-width letter and かつ inside quotes are kept as written.
  EXPECT_EQ(where("メモ=\"x,y\""), "品名,メモ|A,\"x,y\"|");
  EXPECT_EQ(where("メモ=\"Ｘかつ 甲\""), "品名,メモ|B,Ｘかつ 甲|");
  // A quoted value may hold a space.
  EXPECT_EQ(where("メモ=\"p q\" OR 品名=\"A\""), "品名,メモ|A,\"x,y\"|C,p q|");
  EXPECT_EQ(U(NormalizeCondition(T("Ａ＝「ｘ、ｙ」、Ｂ＝１かつ Ｃ"))), "A=\"ｘ、ｙ\" B=1AND C");
}

TEST_F(WhereTest, Failures) {
  EXPECT_EQ(WhereError("性別=\"男\""),
            "CSVデータベースの解析エラー。フィールド名\"性別\"が見つかりません。");
  EXPECT_EQ(WhereError("年齢=<>20"), "CSVデータベースの解析エラー。演算子の指定エラー。");
  EXPECT_EQ(WhereError("年齢"), "CSVデータベースの解析エラー。演算子の指定エラー。");
  EXPECT_EQ(WhereError("(年齢>1 AND (年齢<3)"),
            "CSVデータベースの解析エラー。\")\"が対応していません。");
  // A ")" inside a quoted value does not close a group.
  EXPECT_EQ(Where("(名前=\"a)\")"), "名前,年齢,入社|");
  // Deep nesting is refused, not a crash.
  std::string deep(5000, '(');
  EXPECT_THROW(SelectWhere(people_, deep + "年齢>1" + std::string(5000, ')')), TableError);
}

TEST(TableBadInput, UnclosedQuotesAndWideRows) {
  // An unclosed quote takes the rest of the text into its cell.
  CsvTable t = Parse("a,\"b,c|d,e");
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(SjisToUtf8(t[0][1]), "b,c\r\nd,e");
  // 10,000 columns: read, sorted, transposed, joined and written back intact.
  std::string row;
  for (int i = 0; i < 10000; ++i) row += (i ? "," : "") + std::to_string(i);
  CsvTable wide = CsvParse(row + "\r\n" + row + "\r\n");
  ASSERT_EQ(CsvWidth(wide), 10000u);
  SortTable(wide, 9999, false, SortKind::kNumber);
  CsvTable tr = Transpose(wide);
  ASSERT_EQ(tr.size(), 10000u);
  EXPECT_EQ(tr[9999], (CsvRow{"9999", "9999"}));
  EXPECT_EQ(CsvWrite(wide), row + "\r\n" + row + "\r\n");
}

}  // namespace
}  // namespace sorane
