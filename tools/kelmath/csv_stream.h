// A regression's rows read from a CSV file a block at a time, in the byte range of one part of
// the file, with a memory that does not grow with the file: for files larger than memory, and
// for processes (MPI ranks) that each read their own part. The rules are those of ParseCsv and
// PrepareRegressionData, except that a quoted field may not hold a line break, so that every
// line break ends a record and a part can start at any line.
#ifndef KELMATH_TOOLS_KELMATH_CSV_STREAM_H
#define KELMATH_TOOLS_KELMATH_CSV_STREAM_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "regression_data.h"

namespace kelmath_cli {

// Bytes read from the file at a time.
inline constexpr size_t kCsvStreamBufferBytes = size_t{4} << 20;

// What the first record of the file says about the model's rows.
struct CsvStreamHeader {
  char separator = ',';
  char decimal = '.';
  std::vector<std::string> names;  // the header row
  // Header positions (0-based) of the model's columns: the regressors in parameter order, then
  // the response.
  std::vector<int> columns;
  bool intercept = true;  // whether each row starts with a constant 1
  std::string responseName;
  std::vector<std::string> parameterNames;  // as RegressionData::parameterNames
  uint64_t dataStart = 0;   // the byte after the header record's line break (or the file's end)
  int64_t headerLines = 0;  // lines before dataStart: the header and blank lines before it
  std::string problem;      // one line, without the file name
  bool Ok() const { return problem.empty(); }
  // Values of a row: [1 if intercept, regressors..., response].
  size_t Width() const { return parameterNames.size() + 1; }
};

// Reads the header of the file (a byte order mark and blank lines before it skipped, separator 0
// chosen as ParseCsv does) and resolves the request's columns as PrepareRegressionData does, with
// its problems. Clusters and weights are not read in parts: a request with them is a problem.
CsvStreamHeader ReadCsvStreamHeader(const std::string& path, const ModelRequest& request,
                                    char separator = 0);

// Bytes [begin, end) of the file.
struct CsvByteRange {
  uint64_t begin = 0;
  uint64_t end = 0;
  std::string problem;  // why the file could not be split, or empty
  bool Ok() const { return problem.empty(); }
  bool Empty() const { return begin >= end; }
};

// The range of part `part` (0-based) of `parts` of the data [dataStart, file size): the data
// split into equal spans whose inner boundaries are moved forward to the next line start (the
// byte after a '\n'), so that every line belongs to exactly one part and the parts, in order,
// cover the data. A part may be empty. It depends on the file and the arguments alone, so every
// process finds the same boundaries without talking to the others.
CsvByteRange RangeOfPart(const std::string& path, uint64_t dataStart, int part, int parts);

// What stopped a stream. Its line is counted from 0 at the range's start; the caller knows the
// file's line number from the lines of the parts before (see CsvRowStream::LinesRead).
struct CsvStreamProblem {
  int64_t line = -1;   // where the record starts; -1 when the file itself failed
  int position = -1;   // header position (0-based) of the cell at fault; -1: the record is
  std::string column;  // that column's name
  std::string cell;    // that cell's text, shortened as messages show names
  std::string text;    // what is wrong, after the place ("'abc' is not a number")
  bool Found() const { return !text.empty(); }
  // The problem in PrepareRegressionData's words for the 1-based line of the file:
  // "line 12, column 'x': 'abc' is not a number", "line 12: 3 fields where the header has 4".
  std::string At(int64_t fileLine) const;
};

// The problem of a quoted field that runs past the end of its line.
inline constexpr const char* kQuotedLineBreak =
    "a quoted field holding a line break cannot be read in parts";
// The problem of a carriage return that no line feed follows.
inline constexpr const char* kLoneCarriageReturn =
    "a line broken by a carriage return alone (old Mac text) cannot be read in parts";

// Reads the complete rows of a range a block at a time. A record (one line) is read as ParseCsv
// and PrepareRegressionData read it: blank lines are skipped, CRLF and LF end lines, cells are
// read by ReadCell, and a row missing a value in a used column is dropped. The first problem
// stops the stream: a record with another number of fields than the header, a cell of a used
// column that is neither a number nor missing, a misplaced or unclosed quote, a quoted line
// break, a lone carriage return. Its memory is the buffer (grown only for a line longer than it)
// and the last block.
class CsvRowStream {
 public:
  // The range is read in reads of at most bufferBytes.
  CsvRowStream(const std::string& path, const CsvStreamHeader& header, const CsvByteRange& range,
               size_t bufferBytes = kCsvStreamBufferBytes);
  ~CsvRowStream();
  CsvRowStream(const CsvRowStream&) = delete;
  CsvRowStream& operator=(const CsvRowStream&) = delete;

  // Reads up to maxRows complete rows, and returns their number: 0 at the end of the range or
  // when a problem stopped the stream (a block never holds rows read before a problem in it).
  size_t NextBlock(size_t maxRows);
  // The rows of the last block, row after row, Width() values each; valid until the next call.
  std::span<const double> Values() const { return {values.data(), rows * Width()}; }
  // The record number (0-based among the range's records, blank lines not counted) of each row
  // of the last block, and of each row dropped for a missing value while reading it.
  std::span<const int64_t> Records() const { return {records.data(), rows}; }
  std::span<const int64_t> DroppedRecords() const { return dropped; }
  size_t Width() const { return width; }

  const CsvStreamProblem& Problem() const { return problem; }
  // Whether the whole range has been read (without a problem).
  bool AtEnd() const { return finished && !problem.Found(); }
  // Counts since the range's start: records (rows used and dropped), rows dropped, and lines
  // consumed (blank ones and a last line without a line break included). At the end of a range
  // they are the numbers a caller adds over the parts before it to number rows and lines.
  int64_t RecordsRead() const { return recordCount; }
  int64_t RowsDropped() const { return droppedCount; }
  int64_t LinesRead() const { return lineCount; }

  // Starts the range again from its first byte, counters and problem cleared.
  void Rewind();

 private:
  struct LineText {
    const char* data = nullptr;
    size_t size = 0;
    bool broken = false;  // ended by a line feed (not by the end of the range)
  };
  bool NextLine(LineText& line);
  bool Refill();
  bool ReadRecord(const LineText& line, double* row, bool& missing);
  bool TakeField(const char*& at, const char* end, const LineText& line, bool plain,
                 std::string_view& cell);
  bool ReadNumberInPlace(const char*& at, const char* end, double& value) const;
  bool ReadQuoted(const char*& at, const char* end, bool broken, std::string_view& cell);
  void Stop(std::string text, int position = -1, std::string_view cell = {});
  void StopReading(const std::string& what);

  int file = -1;
  CsvByteRange range;
  size_t bufferBytes;
  char separator;
  char decimal;
  std::vector<std::string> names;
  // For each header position, where its value goes in a row (-1: unused), and its rank in
  // PrepareRegressionData's reading order (response first) that picks the cell a problem names.
  std::vector<int> slots;
  std::vector<int> ranks;
  size_t width;
  bool intercept;

  std::vector<char> buffer;
  size_t filled = 0;    // bytes of the buffer holding text
  size_t scan = 0;      // start of the first line not yet taken
  size_t searched = 0;  // bytes from scan on known to hold no line feed
  uint64_t offset = 0;  // file offset of the next read
  bool finished = false;

  std::vector<double> values;
  std::vector<int64_t> records;
  std::vector<int64_t> dropped;
  std::string decoded;  // a quoted cell with doubled quotes, decoded
  size_t rows = 0;
  int64_t recordCount = 0;
  int64_t droppedCount = 0;
  int64_t lineCount = 0;
  CsvStreamProblem problem;
};

}  // namespace kelmath_cli

#endif
