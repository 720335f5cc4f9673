// Comma-separated tables with a header row of names (RFC 4180 quoting) and their numbers.
#ifndef KELMATH_TOOLS_KELMATH_CSV_TABLE_H
#define KELMATH_TOOLS_KELMATH_CSV_TABLE_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmath_cli {

struct CsvTable {
  std::vector<std::string> names;              // the header row
  std::vector<std::vector<std::string>> rows;  // data rows, each with one cell per name
  std::vector<int> lines;                      // line of the file where each data row starts
};

// The table, or the problem that makes the text unusable, in one line without the file name.
struct ParsedCsv {
  CsvTable table;
  std::string problem;
  bool Ok() const { return problem.empty(); }
};

// Splits the text into records: fields separated by commas, records by a line break (LF or
// CRLF); a field in double quotes may hold commas, line breaks and doubled quotes. The first
// record is the header. Blank lines (between records or at the end) are skipped. A record with
// another number of fields than the header, an unterminated quote, text after a closing quote
// or a text without a header is a problem.
ParsedCsv ParseCsv(std::string_view text);

// What a cell holds: missing (empty, or NA), a finite number, or something else.
enum class CellKind { kMissing, kNumber, kOther };
struct Cell {
  CellKind kind = CellKind::kOther;
  double value = 0.0;
};

// Reads a cell as a number in the C locale, whatever the program's locale: an optional sign,
// digits with an optional decimal point and exponent. Blanks around it are allowed. Values
// beyond the range of a double, "inf" and "nan" are not numbers.
Cell ReadCell(std::string_view cell);

}  // namespace kelmath_cli

#endif
