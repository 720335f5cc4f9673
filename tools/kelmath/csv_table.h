// Comma-separated tables with a header row of names (RFC 4180 quoting) and their numbers.
#ifndef KELMATH_TOOLS_KELMATH_CSV_TABLE_H
#define KELMATH_TOOLS_KELMATH_CSV_TABLE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmath_cli {

// The cells are views into the file's text, kept once: a large file costs its bytes and twelve
// bytes a cell, with no allocation per cell.
struct CsvTable {
  std::vector<std::string> names;  // the header row
  std::vector<int> lines;          // line of the file where each data row starts
  size_t RowCount() const { return lines.size(); }
  // The cell of a data row (0-based) in a column (0-based), its quotes removed.
  std::string_view Cell(size_t row, size_t column) const {
    const size_t k = row * names.size() + column;
    return std::string_view(text).substr(cellStarts[k], cellLengths[k]);
  }

  // The file's text, quoted fields decoded in place (a decoded field is never longer), and
  // where each cell starts in it and its length, row after row.
  std::string text;
  std::vector<size_t> cellStarts;
  std::vector<uint32_t> cellLengths;
};

// The table, or the problem that makes the text unusable, in one line without the file name.
struct ParsedCsv {
  CsvTable table;
  std::string problem;
  bool Ok() const { return problem.empty(); }
};

// Splits the text into records: fields separated by the separator, records by a line break (LF,
// CRLF or a lone CR); a field in double quotes may hold separators, line breaks and doubled
// quotes. The first record is the header. Blank lines (between records or at the end) are
// skipped. A record with another number of fields than the header, an unterminated quote, text
// after a closing quote or a text without a header is a problem. Separator 0 chooses: a comma,
// unless the first line has none but has a semicolon (then ';') or a tab (then a tab).
ParsedCsv ParseCsv(std::string_view text, char separator = 0);
// The same, keeping the text given rather than a copy of it.
ParsedCsv ParseCsvText(std::string&& text, char separator = 0);

// The problems of a record's form, as the text after "line N: ".
inline constexpr const char* kUnclosedQuote = "a quoted field is not closed";
inline constexpr const char* kStrayQuote =
    "a quote inside an unquoted field or after a closing quote";

// "line <line>: <text>", the form of every problem tied to a line of the file.
std::string LineProblem(int64_t line, std::string_view text);

// The problem of a record with another number of fields than the header, after "line N: ", with
// a hint when the header looks like a semicolon-separated one.
std::string FieldCountProblem(size_t fields, const std::vector<std::string>& names);

// The separator of a text: the one asked for, else a comma unless the first line has none but has
// a semicolon (then ';') or a tab (then a tab), the usual exports of spreadsheets set to a decimal
// comma.
char ChooseSeparator(std::string_view text, char asked);

// What a cell holds: missing (empty, or NA), a finite number, or something else.
enum class CellKind { kMissing, kNumber, kOther };
struct Cell {
  CellKind kind = CellKind::kOther;
  double value = 0.0;
};

// Reads a cell as a number in the C locale, whatever the program's locale: an optional sign,
// digits with an optional decimal mark (decimal: '.' or ',') and exponent. Blanks around it are
// allowed. Values beyond the range of a double, "inf" and "nan" are not numbers; with a decimal
// comma, neither is a cell holding a point.
Cell ReadCell(std::string_view cell, char decimal = '.');

}  // namespace kelmath_cli

#endif
