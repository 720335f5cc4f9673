// Rows of a CSV file read in parts and blocks: the same rows, dropped rows and problems as the
// whole-file reading (ParseCsv and PrepareRegressionData) on R's data sets, whatever the number
// of parts, the block size and the buffer size, and the texts of every problem of a record.
#include "csv_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "regression_data.h"
#include "table_columns.h"

namespace {

using kelmath_cli::CsvByteRange;
using kelmath_cli::CsvRowStream;
using kelmath_cli::CsvStreamHeader;
using kelmath_cli::ModelRequest;
using kelmath_cli::RangeOfPart;
using kelmath_cli::ReadCsvStreamHeader;

ModelRequest ResponseOnly(const std::string& response) {
  return {response, {}, true};
}

CsvByteRange Bytes(uint64_t begin, uint64_t end) {
  return {begin, end, ""};
}

// What reading every part in order gives, numbered for the whole file as a caller numbers it:
// the records and lines of the parts before added to each part's own numbers.
struct WholeRead {
  std::vector<double> rows;      // [1 if intercept, regressors..., response] row after row
  std::vector<int> usedRows;     // 1-based data rows, as RegressionData numbers them
  std::vector<int> droppedRows;  // the same for the rows dropped
  int dataRows = 0;
  std::string problem;  // the first problem, with its line of the file
};

struct ReadShape {
  int parts = 1;
  size_t bufferBytes = kelmath_cli::kCsvStreamBufferBytes;
  size_t blockRows = 1000;
};

void ReadPart(const std::string& path, const CsvStreamHeader& header, const CsvByteRange& range,
              const ReadShape& shape, int64_t& recordsBefore, int64_t& linesBefore,
              WholeRead& read) {
  CsvRowStream stream(path, header, range, shape.bufferBytes);
  const size_t droppedBefore = read.droppedRows.size();
  while (size_t rows = stream.NextBlock(shape.blockRows)) {
    const auto values = stream.Values();
    read.rows.insert(read.rows.end(), values.begin(), values.end());
    ASSERT_EQ(values.size(), rows * header.Width());
    for (const int64_t record : stream.Records())
      read.usedRows.push_back(static_cast<int>(recordsBefore + record + 1));
    for (const int64_t record : stream.DroppedRecords())
      read.droppedRows.push_back(static_cast<int>(recordsBefore + record + 1));
  }
  for (const int64_t record : stream.DroppedRecords())
    read.droppedRows.push_back(static_cast<int>(recordsBefore + record + 1));
  if (stream.Problem().Found()) {
    const int64_t fileLine = header.headerLines + linesBefore + stream.Problem().line + 1;
    read.problem = stream.Problem().At(fileLine);
    return;
  }
  EXPECT_TRUE(stream.AtEnd());
  EXPECT_EQ(stream.RowsDropped(), static_cast<int64_t>(read.droppedRows.size() - droppedBefore));
  recordsBefore += stream.RecordsRead();
  linesBefore += stream.LinesRead();
}

WholeRead ReadInParts(const std::string& path, const ModelRequest& request, const ReadShape& shape,
                      char separator = 0) {
  WholeRead read;
  const CsvStreamHeader header = ReadCsvStreamHeader(path, request, separator);
  if (!header.Ok()) {
    read.problem = header.problem;
    return read;
  }
  int64_t recordsBefore = 0;
  int64_t linesBefore = 0;
  for (int part = 0; part < shape.parts && read.problem.empty(); ++part) {
    const CsvByteRange range = RangeOfPart(path, header.dataStart, part, shape.parts);
    EXPECT_TRUE(range.Ok()) << range.problem;
    ReadPart(path, header, range, shape, recordsBefore, linesBefore, read);
  }
  read.dataRows = static_cast<int>(recordsBefore);
  return read;
}

// The whole-file reading, its rows laid out as the stream lays them out.
WholeRead ReadWhole(const std::string& path, const ModelRequest& request, char separator = 0) {
  WholeRead read;
  const auto parsed = kelmath_cli::ParseCsv(kel_test::ReadFile(path), separator);
  if (!parsed.Ok()) {
    read.problem = parsed.problem;
    return read;
  }
  const auto prepared = kelmath_cli::PrepareRegressionData(parsed.table, request);
  const auto& data = prepared.data;
  // The stream leaves the count of rows to the caller, who has them all only at the end.
  if (!prepared.Ok() && prepared.problem != kelmath_cli::TooFewRows(data)) {
    read.problem = prepared.problem;
    return read;
  }
  for (size_t i = 0; i < data.usedRows.size(); ++i) {
    const auto regressors = data.Regressors(i);
    read.rows.insert(read.rows.end(), regressors.begin(), regressors.end());
    read.rows.push_back(data.response[i]);
  }
  read.usedRows = data.usedRows;
  read.droppedRows = data.droppedRows;
  read.dataRows = data.dataRows;
  return read;
}

void ExpectSameRead(const WholeRead& streamed, const WholeRead& whole) {
  EXPECT_EQ(streamed.problem, whole.problem);
  if (!whole.problem.empty()) return;
  // The same cells read by the same rule: the same doubles, bit for bit.
  EXPECT_EQ(streamed.rows, whole.rows);
  EXPECT_EQ(streamed.usedRows, whole.usedRows);
  EXPECT_EQ(streamed.droppedRows, whole.droppedRows);
  EXPECT_EQ(streamed.dataRows, whole.dataRows);
}

// The requests a reference file is read with: every column but the last against it (text
// columns make a problem to compare), and its numeric columns alone with and without intercept.
std::vector<ModelRequest> RequestsFor(const std::string& path) {
  const auto parsed = kelmath_cli::ParseCsv(kel_test::ReadFile(path));
  EXPECT_TRUE(parsed.Ok()) << path << ": " << parsed.problem;
  const auto& table = parsed.table;
  std::vector<ModelRequest> requests = {{table.names.back(), {}, true}};
  std::vector<std::string> numeric;
  for (size_t j = 0; j < table.names.size(); ++j) {
    bool number = true;
    for (size_t i = 0; i < table.RowCount() && number; ++i)
      number = kelmath_cli::ReadCell(table.Cell(i, j)).kind != kelmath_cli::CellKind::kOther;
    if (number && kelmath_cli::RepeatOf(table, static_cast<int>(j)) < 0)
      numeric.push_back(table.names[j]);
  }
  if (numeric.size() >= 2) {
    const std::vector<std::string> columns(numeric.begin() + 1, numeric.end());
    requests.push_back({numeric[0], columns, true});
    requests.push_back({numeric[0], columns, false});
  }
  return requests;
}

class CsvStream : public ::testing::Test {
 protected:
  void SetUp() override { folder = kel_test::NewScratchFolder("csv_stream"); }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string folder;
};

const char* const kReferenceFiles[] = {"r/airquality.csv",
                                       "r/chickweight.csv",
                                       "r/distributions.csv",
                                       "r/formula_airquality.csv",
                                       "r/formula_cars93.csv",
                                       "r/formula_iris.csv",
                                       "r/formula_mtcars.csv",
                                       "r/formula_tooth.csv",
                                       "r/formula_warpbreaks.csv",
                                       "r/lgamma.csv",
                                       "r/mass_functions.csv",
                                       "r/mtcars.csv",
                                       "r/mtcars_leverage.csv",
                                       "r/nls_puromycin.csv",
                                       "r/numerics_big_column.csv",
                                       "r/numerics_exact.csv",
                                       "r/numerics_scales.csv",
                                       "r/numerics_tiny_response.csv",
                                       "r/orange.csv",
                                       "r/savings.csv",
                                       "r/stackloss.csv",
                                       "r/swiss.csv",
                                       "r/tails.csv"};

TEST_F(CsvStream, ReferenceFilesInOneToSevenPartsGiveTheWholeFileRows) {
  int withRows = 0;
  int withProblems = 0;
  for (const char* file : kReferenceFiles) {
    const std::string path = kel_test::ReferencePath(file);
    for (const ModelRequest& request : RequestsFor(path)) {
      const WholeRead whole = ReadWhole(path, request);
      ++(whole.problem.empty() ? withRows : withProblems);
      for (int parts = 1; parts <= 7; ++parts) {
        SCOPED_TRACE(std::string(file) + " response " + request.response + ", " +
                     std::to_string(parts) + " parts");
        ExpectSameRead(ReadInParts(path, request, {parts}), whole);
        ExpectSameRead(ReadInParts(path, request, {parts, 7, 3}), whole);
      }
    }
  }
  // Most requests give rows; those naming a text column give its problem.
  EXPECT_GE(withRows, 40);
  EXPECT_GE(withProblems, 5);
}

TEST_F(CsvStream, ReferenceFilesReadWithAirqualityMissingValuesDropTheirRows) {
  // Ozone is missing in 37 rows of airquality and Solar.R in 7 (R: sum(is.na(...))), 5 of them
  // in the same rows: 42 rows dropped, 111 used (R: nrow(na.omit(airquality))).
  const std::string path = kel_test::ReferencePath("r/airquality.csv");
  const WholeRead read = ReadInParts(path, {"Ozone", {"Solar.R", "Wind"}, true}, {3});
  ASSERT_EQ(read.problem, "");
  EXPECT_EQ(read.droppedRows.size(), 42u);
  EXPECT_EQ(read.usedRows.size(), 111u);
  EXPECT_EQ(read.dataRows, 153);
  // The first rows of airquality: Ozone 41 36 12 18 NA 28, Solar.R 190 118 149 313 NA NA.
  EXPECT_EQ(std::vector<int>(read.droppedRows.begin(), read.droppedRows.begin() + 2),
            (std::vector<int>{5, 6}));
  EXPECT_EQ(std::vector<double>(read.rows.begin(), read.rows.begin() + 4),
            (std::vector<double>{1.0, 190.0, 7.4, 41.0}));
}

TEST_F(CsvStream, HeaderResolvesColumnsAsTheWholeFileReadingDoes) {
  const std::string path = Write("header.csv", "\xEF\xBB\xBF\n\n y ,a,\"b\nc\",d\n1,2,3,4\n");
  const CsvStreamHeader header = ReadCsvStreamHeader(path, {"y", {"d", "a"}, true});
  ASSERT_TRUE(header.Ok()) << header.problem;
  EXPECT_EQ(header.separator, ',');
  EXPECT_EQ(header.names, (std::vector<std::string>{" y ", "a", "b\nc", "d"}));
  EXPECT_EQ(header.columns, (std::vector<int>{3, 1, 0}));
  EXPECT_TRUE(header.intercept);
  EXPECT_EQ(header.responseName, " y ");
  EXPECT_EQ(header.parameterNames, (std::vector<std::string>{"(Intercept)", "d", "a"}));
  // Byte order mark, two blank lines, the header over two lines: data starts on line 5.
  EXPECT_EQ(header.headerLines, 4);
  EXPECT_EQ(header.dataStart, kel_test::ReadFile(path).find("1,2,3,4"));
  EXPECT_EQ(header.Width(), 4u);

  // Lines: two blank, the header over two, a row, a blank one (CRLF), the bad row.
  const std::string bad = Write("header_bad.csv", kel_test::ReadFile(path) + "\r\n1,x,3,4\n");
  EXPECT_EQ(ReadInParts(bad, {"y", {"a"}, true}, {2}).problem,
            "line 7, column 'a': 'x' is not a number");
  EXPECT_EQ(ReadWhole(bad, {"y", {"a"}, true}).problem, "line 7, column 'a': 'x' is not a number");

  const CsvStreamHeader plain = ReadCsvStreamHeader(path, {"y", {}, false});
  EXPECT_EQ(plain.columns, (std::vector<int>{1, 2, 3, 0}));
  EXPECT_EQ(plain.parameterNames, (std::vector<std::string>{"a", "b\nc", "d"}));

  const CsvStreamHeader semicolons =
      ReadCsvStreamHeader(Write("semicolons.csv", "y;x\n1,5;2\n"), {"y", {}, true, ','});
  EXPECT_EQ(semicolons.separator, ';');
  EXPECT_EQ(semicolons.decimal, ',');
  const CsvStreamHeader onlyHeader =
      ReadCsvStreamHeader(Write("only.csv", "y\tx"), ResponseOnly("y"));
  EXPECT_EQ(onlyHeader.separator, '\t');
  EXPECT_EQ(onlyHeader.dataStart, 3u);
}

TEST_F(CsvStream, HeaderProblemsAreThoseOfTheWholeFileReading) {
  const std::string path = Write("problems.csv", "y,x,x,z\n1,2,3,4\n5,6,7,8\n9,1,2,3\n");
  for (const ModelRequest& request : std::vector<ModelRequest>{{"w", {"z"}, true},
                                                               {"y", {"z", "q"}, true},
                                                               {"y", {"x"}, true},
                                                               {"y", {}, true},
                                                               {"y", {"z", "z"}, true},
                                                               {"y", {"y"}, true},
                                                               {"y", {}, false}}) {
    const WholeRead whole = ReadWhole(path, request);
    ASSERT_NE(whole.problem, "");
    EXPECT_EQ(ReadCsvStreamHeader(path, request).problem, whole.problem);
  }
  EXPECT_EQ(ReadCsvStreamHeader(Write("one.csv", "y\n1\n"), {"y", {}, false}).problem,
            "the model has no parameter");
  EXPECT_EQ(ReadCsvStreamHeader(Write("empty.csv", "\n\r\n"), ResponseOnly("y")).problem,
            "the file is empty (no header row)");
  EXPECT_EQ(ReadCsvStreamHeader(Write("open.csv", "y,\"x\n1,2\n"), ResponseOnly("y")).problem,
            "line 1: a quoted field is not closed");
  EXPECT_EQ(ReadCsvStreamHeader(Write("stray.csv", "y,x\"\n1,2\n"), ResponseOnly("y")).problem,
            "line 1: a quote inside an unquoted field or after a closing quote");
  EXPECT_EQ(ReadCsvStreamHeader(path, {"y", {"z"}, true, '.', {"x"}}).problem,
            "clusters and weights cannot be read in parts");
  EXPECT_EQ(ReadCsvStreamHeader(path, {"y", {"z"}, true, '.', {}, "z"}).problem,
            "clusters and weights cannot be read in parts");
  EXPECT_EQ(ReadCsvStreamHeader(Write("mac.csv", "y,x\r1,2\r"), ResponseOnly("y")).problem,
            std::string("line 1: ") + kelmath_cli::kLoneCarriageReturn);
  EXPECT_NE(ReadCsvStreamHeader(folder + "/absent.csv", ResponseOnly("y")).problem, "");
}

TEST_F(CsvStream, PartsCoverTheDataOnceAndStartAtLineStarts) {
  const std::string text = "y,x\n1,2\n3,4\n\n5,6\n7,8";
  const std::string path = Write("lines.csv", text);
  const uint64_t dataStart = 4;
  for (int parts = 1; parts <= 30; ++parts) {
    uint64_t expectedBegin = dataStart;
    for (int part = 0; part < parts; ++part) {
      const CsvByteRange range = RangeOfPart(path, dataStart, part, parts);
      ASSERT_TRUE(range.Ok()) << range.problem;
      EXPECT_EQ(range.begin, expectedBegin) << part << " of " << parts;
      EXPECT_LE(range.begin, range.end);
      EXPECT_TRUE(range.begin == dataStart || range.begin == text.size() ||
                  text[range.begin - 1] == '\n');
      expectedBegin = range.end;
    }
    EXPECT_EQ(expectedBegin, text.size());
  }
  // Ten parts of the 16 data bytes: boundary k at 4 + 16 k / 10 rounded down, moved to the next
  // line start. The first part ends at 5, moved to 8 ("3,4"); the ninth starts at 16, moved to
  // 17 ("7,8"), and takes the last line, which has no line break; the tenth, from 18, is empty.
  EXPECT_EQ(RangeOfPart(path, dataStart, 0, 10).end, 8u);
  EXPECT_EQ(RangeOfPart(path, dataStart, 8, 10).begin, 17u);
  EXPECT_EQ(RangeOfPart(path, dataStart, 8, 10).end, 20u);
  EXPECT_TRUE(RangeOfPart(path, dataStart, 9, 10).Empty());
  EXPECT_FALSE(RangeOfPart(path, dataStart, 3, 3).Ok());
  EXPECT_FALSE(RangeOfPart(path, dataStart, 0, 0).Ok());
  EXPECT_FALSE(RangeOfPart(path, text.size() + 1, 0, 1).Ok());
  EXPECT_FALSE(RangeOfPart(folder + "/absent.csv", 0, 0, 1).Ok());
}

TEST_F(CsvStream, MorePartsThanLinesLeaveSomePartsEmpty) {
  const std::string path = Write("three.csv", "y,x\n1,10\n2,20\n3,30\n");
  for (const size_t bufferBytes : {size_t{7}, kelmath_cli::kCsvStreamBufferBytes}) {
    const WholeRead read = ReadInParts(path, {"y", {"x"}, true}, {25, bufferBytes, 2});
    ASSERT_EQ(read.problem, "");
    EXPECT_EQ(read.rows, (std::vector<double>{1, 10, 1, 1, 20, 2, 1, 30, 3}));
    EXPECT_EQ(read.usedRows, (std::vector<int>{1, 2, 3}));
  }
  const CsvStreamHeader header = ReadCsvStreamHeader(path, {"y", {"x"}, true});
  int empty = 0;
  for (int part = 0; part < 25; ++part) {
    CsvRowStream stream(path, header, RangeOfPart(path, header.dataStart, part, 25));
    if (stream.NextBlock(10) == 0) {
      ++empty;
      EXPECT_TRUE(stream.AtEnd());
      EXPECT_EQ(stream.LinesRead(), 0);
    }
  }
  EXPECT_EQ(empty, 22);
}

TEST_F(CsvStream, CrLfBlankLinesAndMissingValuesAcrossTinyBuffers) {
  // Lines: 1 header, 2 blank, 3 "1,2", 4 blank, 5 NA, 6 empty x, 7 " 4 , 8 ", 8-9 blank, 10 last.
  const std::string text =
      "y,x\r\n\r\n1,2\r\n\r\nNA,3\r\n3,\r\n 4 , 8 \r\n\r\n\n-1e150,\"2.5e-150\"";
  const std::string path = Write("crlf.csv", text);
  for (const size_t bufferBytes : {size_t{1}, size_t{2}, size_t{7}, size_t{4096}}) {
    for (const size_t blockRows : {size_t{1}, size_t{2}, size_t{100}}) {
      SCOPED_TRACE(std::to_string(bufferBytes) + " bytes, blocks of " + std::to_string(blockRows));
      const WholeRead read = ReadInParts(path, {"y", {"x"}, false}, {1, bufferBytes, blockRows});
      ASSERT_EQ(read.problem, "");
      EXPECT_EQ(read.rows, (std::vector<double>{2, 1, 8, 4, 2.5e-150, -1e150}));
      EXPECT_EQ(read.usedRows, (std::vector<int>{1, 4, 5}));
      EXPECT_EQ(read.droppedRows, (std::vector<int>{2, 3}));
      EXPECT_EQ(read.dataRows, 5);
      ExpectSameRead(read, ReadWhole(path, {"y", {"x"}, false}));
    }
  }
  const CsvStreamHeader header = ReadCsvStreamHeader(path, {"y", {"x"}, false});
  CsvRowStream stream(path, header, RangeOfPart(path, header.dataStart, 0, 1), 3);
  EXPECT_EQ(stream.NextBlock(100), 3u);
  EXPECT_EQ(stream.RecordsRead(), 5);
  EXPECT_EQ(stream.RowsDropped(), 2);
  EXPECT_EQ(stream.LinesRead(), 9);
  EXPECT_EQ(std::vector<int64_t>(stream.Records().begin(), stream.Records().end()),
            (std::vector<int64_t>{0, 3, 4}));
  EXPECT_EQ(std::vector<int64_t>(stream.DroppedRecords().begin(), stream.DroppedRecords().end()),
            (std::vector<int64_t>{1, 2}));
}

TEST_F(CsvStream, QuotedCellsAndDecimalCommas) {
  const std::string path = Write("quoted.csv",
                                 "\"label\";\"y\";\"x\"\n"
                                 "\"a;\"\"b\"\"\";\"1,5\";\" -2,25e3 \"\n"
                                 "plain;\"\";3\n"
                                 "\"\";\"4\";\"5,\"\n");
  const ModelRequest request = {"y", {"x"}, true, ','};
  for (const size_t bufferBytes : {size_t{5}, size_t{1024}}) {
    const WholeRead read = ReadInParts(path, request, {2, bufferBytes, 10});
    ASSERT_EQ(read.problem, "");
    EXPECT_EQ(read.rows, (std::vector<double>{1, -2250, 1.5, 1, 5, 4}));
    EXPECT_EQ(read.droppedRows, (std::vector<int>{2}));
    ExpectSameRead(read, ReadWhole(path, request));
  }
}

TEST_F(CsvStream, EveryCellIsReadAsReadCellReadsIt) {
  const char* const cells[] = {"1",     "-1",    ".5",       "-.5",     "5.",    "1e5",     "1E-5",
                               "+1",    "++1",   "+-1",      "-",       "+",     ".",       "1 ",
                               " 1",    "\t1\t", "1 x",      "NA",      " NA ",  "na",      "inf",
                               "-inf",  "nan",   "1e400",    "-1e-400", "0x10",  "1e",      "1e+",
                               "1.2.3", "1-",    "4.9e-324", "2e308",   "1e150", "-1e-150", "00012",
                               "1_000", "1,5",   "-1,5e3",   ",5",      "1.5e3"};
  for (const char decimal : {'.', ','}) {
    for (const char* text : cells) {
      SCOPED_TRACE(std::string("cell '") + text + "', decimal '" + decimal + "'");
      const std::string line = std::string("1;") + text;
      const std::string path = Write("cell.csv", "y;x\n" + line + "\n" + line);
      const ModelRequest request = {"y", {"x"}, false, decimal};
      const WholeRead read = ReadInParts(path, request, {2, 3, 1});
      const kelmath_cli::Cell cell = kelmath_cli::ReadCell(text, decimal);
      if (cell.kind == kelmath_cli::CellKind::kNumber) {
        EXPECT_EQ(read.rows, (std::vector<double>{cell.value, 1.0, cell.value, 1.0}));
      } else if (cell.kind == kelmath_cli::CellKind::kMissing) {
        EXPECT_EQ(read.droppedRows, (std::vector<int>{1, 2}));
      } else {
        EXPECT_EQ(read.problem, ReadWhole(path, request).problem);
        EXPECT_NE(read.problem, "");
      }
    }
  }
}

TEST_F(CsvStream, ABadCellOnTheLastLineNamesItsLineColumnAndText) {
  const std::string text = "y,x,label\n1,2,a\n\n2,3,b\n3,4,c\n4,oops,d";
  const std::string path = Write("bad.csv", text);
  const ModelRequest request = {"y", {"x"}, true};
  const CsvStreamHeader header = ReadCsvStreamHeader(path, request);
  CsvRowStream stream(path, header, RangeOfPart(path, header.dataStart, 0, 1), 7);
  EXPECT_EQ(stream.NextBlock(2), 2u);
  EXPECT_EQ(stream.NextBlock(2), 0u);
  EXPECT_FALSE(stream.AtEnd());
  const auto& problem = stream.Problem();
  EXPECT_EQ(problem.line, 4);
  EXPECT_EQ(problem.position, 1);
  EXPECT_EQ(problem.column, "x");
  EXPECT_EQ(problem.cell, "oops");
  EXPECT_EQ(problem.At(6), "line 6, column 'x': 'oops' is not a number");
  EXPECT_EQ(stream.NextBlock(2), 0u);
  for (int parts = 1; parts <= 7; ++parts)
    EXPECT_EQ(ReadInParts(path, request, {parts, 7, 1}).problem,
              "line 6, column 'x': 'oops' is not a number");
  ExpectSameRead(ReadInParts(path, request, {3}), ReadWhole(path, request));
}

TEST_F(CsvStream, TheCellAProblemNamesIsTheFirstTheWholeFileReadingReads) {
  // The response is read first, then the regressors in the request's order; a long cell is cut.
  const std::string path = Write("cells.csv", "a,b,y\n1,2,3\nx,1\\,no\n1,2,3\n");
  for (const ModelRequest& request :
       std::vector<ModelRequest>{{"y", {"a", "b"}, true}, {"a", {"b"}, true}, {"b", {"a"}, true}}) {
    const WholeRead whole = ReadWhole(path, request);
    EXPECT_EQ(ReadInParts(path, request, {2}).problem, whole.problem);
  }
  EXPECT_EQ(ReadInParts(path, {"b", {"a"}, true}, {2}).problem,
            "line 3, column 'b': '1\\' is not a number");
  const std::string longCell = Write("long.csv", "y,x\n1,2\n1," + std::string(200, 'z') + "\n");
  const std::string cut = ReadInParts(longCell, {"x", {}, true}, {1}).problem;
  EXPECT_EQ(cut, ReadWhole(longCell, {"x", {}, true}).problem);
  EXPECT_EQ(cut, "line 3, column 'x': '" + std::string(37, 'z') + "...' is not a number");
  const std::string comma = Write("comma.csv", "y,x\n1,2\n2,\"3,5\"\n");
  EXPECT_EQ(ReadInParts(comma, {"y", {"x"}, true}, {1}).problem,
            "line 3, column 'x': '3,5' is not a number (a decimal comma? try --decimal ',')");
}

TEST_F(CsvStream, RecordFormProblemsAreThoseOfTheWholeFileReading) {
  const ModelRequest request = {"y", {"x"}, true};
  for (const std::string& text :
       {std::string("y,x,z\n1,2,3\n\n1,2\n"), std::string("y,x,z\n1,2,3\n1,2,3,4\n"),
        std::string("y,x,z\n1,2,3\n1,2,\n1,2,3,\n"), std::string("y;x\n1;2\n1,2;3\n"),
        std::string("y,x,z\n1,2,3\n1,\"2\"3,4\n"), std::string("y,x,z\n1,2,3\n1,2\",4\n"),
        std::string("y,x,z\n1,2,3\n1,2,\"4")}) {
    SCOPED_TRACE(text);
    const std::string path = Write("form.csv", text);
    const WholeRead whole = ReadWhole(path, request);
    ASSERT_NE(whole.problem, "");
    for (const size_t bufferBytes : {size_t{3}, size_t{1024}})
      for (int parts = 1; parts <= 4; ++parts)
        EXPECT_EQ(ReadInParts(path, request, {parts, bufferBytes, 2}).problem, whole.problem);
  }
}

TEST_F(CsvStream, TheFirstProblemInTheFileIsTheOneReported) {
  // The whole-file reading checks every record's form before any cell; the stream cannot look
  // ahead, and reports the text of line 2 before the short record of line 3.
  const std::string path = Write("two_problems.csv", "y,x,z\n1,text,3\n1,2\n");
  EXPECT_EQ(ReadWhole(path, {"y", {"x"}, true}).problem, "line 3: 2 fields where the header has 3");
  EXPECT_EQ(ReadInParts(path, {"y", {"x"}, true}, {2}).problem,
            "line 2, column 'x': 'text' is not a number");
}

TEST_F(CsvStream, LineBreaksThatCannotBeSplitAreProblems) {
  const ModelRequest request = {"y", {"x"}, true};
  const std::string quoted = Write("quoted_break.csv", "y,x,note\n1,2,a\n3,4,\"two\nlines\"\n");
  for (const size_t bufferBytes : {size_t{7}, size_t{1024}})
    for (int parts = 1; parts <= 4; ++parts)
      EXPECT_EQ(ReadInParts(quoted, request, {parts, bufferBytes}).problem,
                std::string("line 3: ") + kelmath_cli::kQuotedLineBreak);
  const std::string crlf = Write("quoted_crlf.csv", "y,x,note\n1,2,\"a\r\nb\"\n");
  EXPECT_EQ(ReadInParts(crlf, request, {1}).problem,
            std::string("line 2: ") + kelmath_cli::kQuotedLineBreak);
  const std::string mac = Write("mac.csv", "y,x\n1,2\r3,4\n");
  EXPECT_EQ(ReadInParts(mac, request, {1}).problem,
            std::string("line 2: ") + kelmath_cli::kLoneCarriageReturn);
}

TEST_F(CsvStream, RewindReadsTheSameRangeAgain) {
  const std::string path = kel_test::ReferencePath("r/swiss.csv");
  const ModelRequest request = {"Fertility", {"Agriculture", "Education"}, true};
  const CsvStreamHeader header = ReadCsvStreamHeader(path, request);
  ASSERT_TRUE(header.Ok()) << header.problem;
  CsvRowStream stream(path, header, RangeOfPart(path, header.dataStart, 1, 3), 64);
  std::vector<std::vector<double>> passes;
  for (int pass = 0; pass < 3; ++pass) {
    std::vector<double> values;
    while (stream.NextBlock(4) > 0)
      values.insert(values.end(), stream.Values().begin(), stream.Values().end());
    EXPECT_TRUE(stream.AtEnd());
    EXPECT_GT(stream.RecordsRead(), 0);
    passes.push_back(values);
    stream.Rewind();
    EXPECT_EQ(stream.RecordsRead(), 0);
    EXPECT_EQ(stream.LinesRead(), 0);
  }
  EXPECT_FALSE(passes[0].empty());
  EXPECT_EQ(passes[1], passes[0]);
  EXPECT_EQ(passes[2], passes[0]);
}

TEST_F(CsvStream, AStreamOfAFailedHeaderOrFileGivesNoRows) {
  const std::string path = Write("ok.csv", "y,x\n1,2\n");
  CsvStreamHeader header = ReadCsvStreamHeader(path, ResponseOnly("q"));
  CsvRowStream unresolved(path, header, Bytes(4, 8));
  EXPECT_EQ(unresolved.NextBlock(10), 0u);
  EXPECT_EQ(unresolved.Problem().At(1), "no column named 'q'");
  header = ReadCsvStreamHeader(path, ResponseOnly("y"));
  CsvRowStream absent(folder + "/absent.csv", header, Bytes(4, 8));
  EXPECT_EQ(absent.NextBlock(10), 0u);
  EXPECT_TRUE(absent.Problem().Found());
  EXPECT_EQ(absent.Problem().line, -1);
  absent.Rewind();
  EXPECT_TRUE(absent.Problem().Found());
  // A range beyond the file's end: the file changed after the parts were chosen.
  CsvRowStream shrunk(path, header, Bytes(4, 20));
  EXPECT_EQ(shrunk.NextBlock(10), 0u);
  EXPECT_EQ(shrunk.Problem().text, "the file became shorter while it was read");
}

}  // namespace
