// The CSV codec: reading cells, quotes and rows, writing with padding and
// quoting, and that a table written out reads back the same.
#include "text/csv.h"

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace sorane {
namespace {

using Row = CsvRow;

TEST(CsvRead, SeparatorsInsideQuotesAndSpacesAroundCells) {
  CsvTable t = CsvParse("a, \"b,c\" ,d");
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0], (Row{"a", "b,c", "d"}));
  EXPECT_EQ(CsvParse(" x , y ")[0], (Row{"x", "y"}));
  EXPECT_EQ(CsvParse("a,,b")[0], (Row{"a", "", "b"}));
  EXPECT_EQ(CsvParse(",a")[0], (Row{"", "a"}));
  // A separator just before the end of the text or a line break adds no cell.
  EXPECT_EQ(CsvParse("a,")[0], (Row{"a"}));
  EXPECT_EQ(CsvParse("a,\r\nb"), (CsvTable{{"a"}, {"b"}}));
}

TEST(CsvRead, QuoteRules) {
  EXPECT_EQ(CsvParse("\"say \"\"hi\"\"\"")[0], (Row{"say \"hi\""}));
  EXPECT_EQ(CsvParse("\"\",x")[0], (Row{"", "x"}));
  EXPECT_EQ(CsvParse("\"\"\"\"")[0], (Row{"\""}));
  // A quote that closes nothing is an ordinary character.
  EXPECT_EQ(CsvParse("a\"b,c")[0], (Row{"a\"b", "c"}));
  EXPECT_EQ(CsvParse("\"ab\"c,d")[0], (Row{"ab\"c,d"}));
  // Spaces between the closing quote and the separator are skipped.
  EXPECT_EQ(CsvParse("\"a\"  ,b")[0], (Row{"a", "b"}));
  // Cells are trimmed after collecting, and a remaining pair of quotes is removed.
  EXPECT_EQ(CsvParse("\" a \"")[0], (Row{"a"}));
  EXPECT_EQ(CsvParse("\"\"\"a\"\"\"")[0], (Row{"a"}));
}

TEST(CsvRead, Rows) {
  EXPECT_TRUE(CsvParse("").empty());
  EXPECT_EQ(CsvParse("a,b\r\nc\r\n"), (CsvTable{{"a", "b"}, {"c"}}));
  EXPECT_EQ(CsvParse("a\rb\nc"), (CsvTable{{"a"}, {"b"}, {"c"}}));
  // An empty line is a row of one empty cell; the final line break adds none.
  EXPECT_EQ(CsvParse("a\r\n\r\nb\r\n"), (CsvTable{{"a"}, {""}, {"b"}}));
  EXPECT_EQ(CsvParse("\r\n"), (CsvTable{{""}}));
  // Quoted cells keep their line breaks.
  EXPECT_EQ(CsvParse("\"a\r\nb\",c\r\nd"), (CsvTable{{"a\r\nb", "c"}, {"d"}}));
}

TEST(CsvRead, SingleLine) {
  EXPECT_EQ(CsvParseLine(""), (Row{""}));
  EXPECT_EQ(CsvParseLine("a,\"b,c\"\r\nd"), (Row{"a", "b,c"}));
  EXPECT_EQ(CsvParse("a\tb\t\"c\td\"", '\t')[0], (Row{"a", "b", "c\td"}));
}

TEST(CsvRead, CellsWithoutQuotesAsCollectedByCharacter) {
  // A lead byte takes the byte after it whatever it is, so a separator or a
  // quote right after one belongs to the character, not to the table.
  EXPECT_EQ(CsvParse("\x81,a,b")[0], (Row{"\x81,a", "b"}));
  EXPECT_EQ(CsvParse("\x81\"x,y")[0], (Row{"\x81\"x", "y"}));
  // Trimmed of every byte up to a space at both ends (tabs too).
  EXPECT_EQ(CsvParse("\ta\t ,\x01"
                     "b")[0],
            (Row{"a", "b"}));
  // A quote later in the cell sends it through the quote rules.
  EXPECT_EQ(CsvParse("ab\"\"c,d")[0], (Row{"ab\"c", "d"}));
  EXPECT_EQ(CsvParse("ab\" ,d")[0], (Row{"ab", "d"}));
}

TEST(CsvRead, ReaderReusesRowsWithoutKeepingCells) {
  CsvReader reader("a,b,c\r\nd\r\n,e\r\n");
  CsvRow row;
  reader.Row(row);
  EXPECT_EQ(row, (Row{"a", "b", "c"}));
  reader.Row(row);
  EXPECT_EQ(row, (Row{"d"}));
  reader.Row(row);
  EXPECT_EQ(row, (Row{"", "e"}));
  EXPECT_TRUE(reader.AtEnd());
}

TEST(CsvWrite, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(CsvQuoteCell("plain"), "plain");
  EXPECT_EQ(CsvQuoteCell("b,c"), "\"b,c\"");
  EXPECT_EQ(CsvQuoteCell("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvQuoteCell("a\r\nb"), "\"a\r\nb\"");
  EXPECT_EQ(CsvQuoteCell("a\nb"), "\"a\nb\"");
  EXPECT_EQ(CsvQuoteCell("ID"), "\"ID\"");
  EXPECT_EQ(CsvQuoteCell("xIDy"), "\"xIDy\"");
  EXPECT_EQ(CsvQuoteCell("id"), "id");
  EXPECT_EQ(CsvQuoteCell("a\tb"), "a\tb");
  EXPECT_EQ(CsvQuoteCell("a\tb", '\t'), "\"a\tb\"");
  // The trail byte of "！" is "I": "！D" holds no "ID".
  EXPECT_EQ(CsvQuoteCell(Utf8ToSjis("！D")), Utf8ToSjis("！D"));
}

TEST(CsvWrite, RowsArePaddedToTheWidestRow) {
  EXPECT_EQ(CsvWrite(CsvParse("a,b\r\nc")), "a,b\r\nc,\r\n");
  EXPECT_EQ(CsvWrite(CsvParse("a, \"b,c\" ,d")), "a,\"b,c\",d\r\n");
  // An absent row (no cells) is written as empty cells.
  EXPECT_EQ(CsvWrite(CsvTable{{"a", "b", "c"}, {}, {"d"}}), "a,b,c\r\n,,\r\nd,,\r\n");
  EXPECT_EQ(CsvWrite(CsvTable{}), "");
  EXPECT_EQ(CsvWriteRow(Row{"a"}, 3), "a,,");
  EXPECT_EQ(CsvWriteRow(Row{"a", "b"}, 1), "a,b");  // never drops cells
  EXPECT_EQ(CsvWidth(CsvTable{{"a"}, {"b", "c", "d"}, {}}), 3u);
}

TEST(CsvRoundTrip, TrickyCellsReadBackUnchanged) {
  CsvTable t = {{"a", "b,c", "say \"hi\""},
                {"line\r\nbreak", "", "ID"},
                {Utf8ToSjis("日本語"), Utf8ToSjis("表,ソ"), "x\"y"}};
  EXPECT_EQ(CsvParse(CsvWrite(t)), t);

  // A 0x22 that the character walk takes as a trail byte is not a quote: it is
  // not doubled, so the cell reads back as it was.
  std::string hidden = std::string("\x88\"") + ",\"q\"";
  EXPECT_EQ(CsvQuoteCell(hidden), "\"\x88\",\"\"q\"\"\"");
  CsvTable odd = {{hidden, "z"}};
  EXPECT_EQ(CsvParse(CsvWrite(odd)), odd);
}

}  // namespace
}  // namespace sorane
