// CSV tables: RFC 4180 records and quoting, the header, blank lines, ragged rows, and cells
// read as numbers in the C locale or as missing values.
#include "csv_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kelmath_cli::CellKind;
using kelmath_cli::ParseCsv;
using kelmath_cli::ReadCell;

TEST(CsvTable, QuotedFieldsKeepCommasQuotesAndLineBreaks) {
  const auto parsed = ParseCsv("\"name\",\"x, y\"\n\"He said \"\"hi\"\"\",\"1\n2\"\n3,4\n");
  ASSERT_TRUE(parsed.Ok()) << parsed.problem;
  ASSERT_EQ(parsed.table.names.size(), 2u);
  EXPECT_EQ(parsed.table.names[1], "x, y");
  ASSERT_EQ(parsed.table.RowCount(), 2u);
  EXPECT_EQ(parsed.table.Cell(0, 0), "He said \"hi\"");
  EXPECT_EQ(parsed.table.Cell(0, 1), "1\n2");
  EXPECT_EQ(parsed.table.Cell(1, 0), "3");
  // The second data row starts on line 4: the quoted line break counts as a line.
  EXPECT_EQ(parsed.table.lines[0], 2);
  EXPECT_EQ(parsed.table.lines[1], 4);
}

TEST(CsvTable, CrLfBlankLinesByteOrderMarkAndMissingFinalBreak) {
  const auto parsed = ParseCsv("\xEF\xBB\xBFy,x\r\n1,2\r\n\r\n3,\r\n\n4,5");
  ASSERT_TRUE(parsed.Ok()) << parsed.problem;
  EXPECT_EQ(parsed.table.names[0], "y");
  ASSERT_EQ(parsed.table.RowCount(), 3u);
  EXPECT_EQ(parsed.table.Cell(1, 1), "");
  EXPECT_EQ(parsed.table.Cell(2, 1), "5");
  EXPECT_EQ(parsed.table.lines[2], 6);
}

TEST(CsvTable, MalformedTextsAreProblemsNamingTheLine) {
  EXPECT_EQ(ParseCsv("").problem, "the file is empty (no header row)");
  EXPECT_EQ(ParseCsv("\n\r\n").problem, "the file is empty (no header row)");
  EXPECT_EQ(ParseCsv("a,b\n1,2\n3\n").problem, "line 3: 1 field where the header has 2");
  EXPECT_EQ(ParseCsv("a,b\n1,2,3\n").problem, "line 2: 3 fields where the header has 2");
  EXPECT_EQ(ParseCsv("a,b\n\"1,2\n").problem, "line 2: a quoted field is not closed");
  EXPECT_EQ(ParseCsv("a,b\n1\"x\",2\n").problem,
            "line 2: a quote inside an unquoted field or after a closing quote");
  EXPECT_EQ(ParseCsv("a,b\n\"1\"x,2\n").problem,
            "line 2: a quote inside an unquoted field or after a closing quote");
}

TEST(CsvTable, HeaderOnlyGivesNoRows) {
  const auto parsed = ParseCsv("a,b\n");
  ASSERT_TRUE(parsed.Ok());
  EXPECT_TRUE(parsed.table.RowCount() == 0);
}

TEST(CsvCell, NumbersInEveryUsualForm) {
  const struct {
    const char* text;
    double value;
  } cases[] = {{"21", 21.0},   {"-3.5", -3.5},
               {"+2", 2.0},    {".5", 0.5},
               {"1e-3", 1e-3}, {"2.5E+2", 250.},
               {" 7 ", 7.0},   {"-0", 0.0},
               {"0.1", 0.1},   {"1.7976931348623157e308", 1.7976931348623157e308}};
  for (const auto& c : cases) {
    const auto cell = ReadCell(c.text);
    EXPECT_EQ(cell.kind, CellKind::kNumber) << c.text;
    EXPECT_EQ(cell.value, c.value) << c.text;
  }
}

TEST(CsvCell, EmptyAndNaAreMissing) {
  for (const char* text : {"", "NA", "  ", " NA "})
    EXPECT_EQ(ReadCell(text).kind, CellKind::kMissing) << "[" << text << "]";
}

TEST(CsvCell, AnythingElseIsNotANumber) {
  for (const char* text : {"abc", "1,5", "1.2.3", "12abc", "inf", "-inf", "nan", "NaN", "1e999",
                           "0x10", "++1", "+-1", "-", "na", "N/A", "1 2"})
    EXPECT_EQ(ReadCell(text).kind, CellKind::kOther) << text;
}

TEST(CsvTable, CrOnlyLineEndsAreLines) {
  const auto parsed = ParseCsv("y,x\r1,2\r\r3,\"a\rb\"\r4,5");
  ASSERT_TRUE(parsed.Ok()) << parsed.problem;
  ASSERT_EQ(parsed.table.RowCount(), 3u);
  EXPECT_EQ(parsed.table.Cell(1, 1), "a\rb");
  EXPECT_EQ(parsed.table.lines[1], 4);
  EXPECT_EQ(parsed.table.lines[2], 6);
}

TEST(CsvTable, SeparatorIsChosenFromTheHeaderOrGiven) {
  const struct {
    const char* text;
    char separator;
    size_t width;
  } cases[] = {{"y;x\n1,5;2\n", 0, 2}, {"y\tx\n1.5\t2\n", 0, 2},      {"y,x;z\n1,2;3\n", 0, 2},
               {"y;x\n1;2\n", ',', 1}, {"y\tx;z\n1\t2;3\n", '\t', 2}, {"y\n1\n", 0, 1}};
  for (const auto& c : cases) {
    const auto parsed = ParseCsv(c.text, c.separator);
    ASSERT_TRUE(parsed.Ok()) << c.text << ": " << parsed.problem;
    EXPECT_EQ(parsed.table.names.size(), c.width) << c.text;
  }
  EXPECT_EQ(ParseCsv("y;x\n1,5;2,5\n", ',').problem,
            "line 2: 3 fields where the header has 1 (fields separated by ';'? try --sep ';' "
            "--decimal ',')");
}

TEST(CsvCell, DecimalCommaNumbers) {
  EXPECT_EQ(ReadCell("1,5", ',').value, 1.5);
  EXPECT_EQ(ReadCell("-2,5e-3", ',').value, -2.5e-3);
  EXPECT_EQ(ReadCell(" 7 ", ',').value, 7.0);
  for (const char* text : {"1.5", "1,2,3", "1.000,5"})
    EXPECT_EQ(ReadCell(text, ',').kind, CellKind::kOther) << text;
}

}  // namespace
