#include "csv_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace kelmath_cli {

namespace {

constexpr const char* kStrayQuote = ": a quote inside an unquoted field or after a closing quote";

// Reads records one at a time; position moves past each one and its line break. A line break
// is LF, CRLF or a CR alone (old Mac files), as R's readers take them.
class RecordReader {
 public:
  RecordReader(std::string_view text, char separator) : text(text), separator(separator) {}
  bool AtEnd() const { return position >= text.size(); }
  int Line() const { return line; }
  // The fields of the next record; problem is set when the record is malformed.
  std::vector<std::string> Next(std::string& problem);
  // Skips line breaks that stand alone (blank lines).
  void SkipBlankLines();

 private:
  // Length of the line break at position: 0 (none), 1 (LF or CR) or 2 (CRLF).
  size_t BreakAt(size_t at) const {
    if (at >= text.size()) return 0;
    if (text[at] == '\n') return 1;
    if (text[at] != '\r') return 0;
    return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
  }
  bool ReadQuoted(std::string& field, std::string& problem);
  std::string_view text;
  char separator;
  size_t position = 0;
  int line = 1;
};

void RecordReader::SkipBlankLines() {
  for (size_t length = BreakAt(position); length > 0; length = BreakAt(position)) {
    position += length;
    ++line;
  }
}

// Reads a quoted field whose opening quote is at position; stops after the closing quote.
bool RecordReader::ReadQuoted(std::string& field, std::string& problem) {
  const int startLine = line;
  ++position;
  while (position < text.size()) {
    const size_t length = BreakAt(position);
    if (length > 0) {
      field.append(text.substr(position, length));
      position += length;
      ++line;
      continue;
    }
    const char c = text[position++];
    if (c == '"') {
      if (position < text.size() && text[position] == '"') {
        field += '"';
        ++position;
        continue;
      }
      return true;
    }
    field += c;
  }
  problem = "line " + std::to_string(startLine) + ": a quoted field is not closed";
  return false;
}

std::vector<std::string> RecordReader::Next(std::string& problem) {
  std::vector<std::string> fields;
  std::string field;
  while (true) {
    if (position < text.size() && text[position] == '"') {
      if (!ReadQuoted(field, problem)) return fields;
      // RFC 4180: a closing quote ends the field.
      const bool fieldEnds =
          position >= text.size() || text[position] == separator || BreakAt(position) > 0;
      if (!fieldEnds) {
        problem = "line " + std::to_string(line) + kStrayQuote;
        return fields;
      }
    }
    while (position < text.size() && text[position] != separator && BreakAt(position) == 0) {
      if (text[position] == '"') {
        problem = "line " + std::to_string(line) + kStrayQuote;
        return fields;
      }
      field += text[position++];
    }
    fields.push_back(std::move(field));
    field.clear();
    if (position < text.size() && text[position] == separator) {
      ++position;
      continue;
    }
    // End of the record: a line break or the end of the text.
    if (position < text.size()) {
      position += BreakAt(position);
      ++line;
    }
    return fields;
  }
}

// The separator of the file: the one asked for, else a comma unless the first line has none
// but has a semicolon or a tab (the usual exports of spreadsheets set to a decimal comma).
char ChooseSeparator(std::string_view text, char asked) {
  if (asked != 0) return asked;
  const std::string_view first = text.substr(0, text.find_first_of("\r\n"));
  if (first.find(',') != std::string_view::npos) return ',';
  if (first.find(';') != std::string_view::npos) return ';';
  if (first.find('\t') != std::string_view::npos) return '\t';
  return ',';
}

// The field-count problem, with a hint when the header looks like a semicolon-separated one.
std::string WidthProblem(int line, size_t fields, const std::vector<std::string>& names) {
  std::string problem = "line " + std::to_string(line) + ": " + std::to_string(fields) +
                        (fields == 1 ? " field" : " fields") + " where the header has " +
                        std::to_string(names.size());
  if (names.size() == 1 && names[0].find(';') != std::string::npos)
    problem += " (fields separated by ';'? try --sep ';' --decimal ',')";
  return problem;
}

std::string_view Trimmed(std::string_view cell) {
  const size_t first = cell.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = cell.find_last_not_of(" \t");
  return cell.substr(first, last - first + 1);
}

}  // namespace

ParsedCsv ParseCsv(std::string_view text, char separator) {
  ParsedCsv parsed;
  // A byte order mark is not part of the first name.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  RecordReader reader(text, ChooseSeparator(text, separator));
  reader.SkipBlankLines();
  if (reader.AtEnd()) {
    parsed.problem = "the file is empty (no header row)";
    return parsed;
  }
  parsed.table.names = reader.Next(parsed.problem);
  if (!parsed.Ok()) return parsed;
  const size_t width = parsed.table.names.size();
  while (true) {
    reader.SkipBlankLines();
    if (reader.AtEnd()) break;
    const int line = reader.Line();
    std::vector<std::string> fields = reader.Next(parsed.problem);
    if (!parsed.Ok()) return parsed;
    if (fields.size() != width) {
      parsed.problem = WidthProblem(line, fields.size(), parsed.table.names);
      return parsed;
    }
    parsed.table.rows.push_back(std::move(fields));
    parsed.table.lines.push_back(line);
  }
  return parsed;
}

Cell ReadCell(std::string_view cell, char decimal) {
  std::string_view text = Trimmed(cell);
  std::string pointed;
  if (decimal != '.') {
    // A decimal comma file has no decimal points: one there makes the cell text.
    if (text.find('.') != std::string_view::npos) return {};
    pointed.assign(text);
    std::replace(pointed.begin(), pointed.end(), decimal, '.');
    text = pointed;
  }
  if (text.empty() || text == "NA") return {CellKind::kMissing, 0.0};
  std::string_view digits = text;
  // from_chars takes no plus sign, and would take "inf" and "nan", which are not data here.
  if (digits.front() == '+') {
    digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+' || digits.front() == '-') return {};
  }
  const char lead = digits.front() == '-' && digits.size() > 1 ? digits[1] : digits.front();
  if (!(lead >= '0' && lead <= '9') && lead != '.') return {};
  double value = 0.0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                            std::chars_format::general);
  if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
    return {};
  return {CellKind::kNumber, value};
}

}  // namespace kelmath_cli
