#include "csv_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace kelmath_cli {

namespace {

// Where a field lies in the text, its quotes removed.
struct FieldSpan {
  size_t start = 0;
  size_t length = 0;
};

// Reads records one at a time; position moves past each one and its line break. A line break
// is LF, CRLF or a CR alone (old Mac files), as R's readers take them. A quoted field is decoded
// over its own bytes, which is safe because the decoded text is shorter than the quoted one.
class RecordReader {
 public:
  RecordReader(std::string& text, size_t start, char separator)
      : text(text), separator(separator), position(start) {}
  bool AtEnd() const { return position >= text.size(); }
  int Line() const { return line; }
  // The fields of the next record; problem is set when the record is malformed.
  void Next(std::vector<FieldSpan>& fields, std::string& problem);
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
  bool ReadQuoted(FieldSpan& field, std::string& problem);
  bool ReadField(FieldSpan& field, std::string& problem);
  std::string& text;
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
bool RecordReader::ReadQuoted(FieldSpan& field, std::string& problem) {
  const int startLine = line;
  size_t write = position;
  field.start = write;
  ++position;
  while (position < text.size()) {
    const size_t length = BreakAt(position);
    if (length > 0) {
      for (size_t k = 0; k < length; ++k) text[write++] = text[position++];
      ++line;
      continue;
    }
    const char c = text[position++];
    if (c == '"') {
      if (position < text.size() && text[position] == '"') {
        text[write++] = '"';
        ++position;
        continue;
      }
      field.length = write - field.start;
      return true;
    }
    text[write++] = c;
  }
  problem = LineProblem(startLine, kUnclosedQuote);
  return false;
}

// Reads one field, quoted or not, up to the separator or line break that ends it.
bool RecordReader::ReadField(FieldSpan& field, std::string& problem) {
  if (position < text.size() && text[position] == '"') {
    if (!ReadQuoted(field, problem)) return false;
    // RFC 4180: a closing quote ends the field.
    if (position >= text.size() || text[position] == separator || BreakAt(position) > 0)
      return true;
    problem = LineProblem(line, kStrayQuote);
    return false;
  }
  field.start = position;
  for (; position < text.size(); ++position) {
    const char c = text[position];
    if (c == separator || c == '\n' || c == '\r') break;
    if (c == '"') {
      problem = LineProblem(line, kStrayQuote);
      return false;
    }
  }
  field.length = position - field.start;
  return true;
}

void RecordReader::Next(std::vector<FieldSpan>& fields, std::string& problem) {
  fields.clear();
  while (true) {
    FieldSpan field;
    if (!ReadField(field, problem)) return;
    fields.push_back(field);
    if (position < text.size() && text[position] == separator) {
      ++position;
      continue;
    }
    // End of the record: a line break or the end of the text.
    if (position < text.size()) {
      position += BreakAt(position);
      ++line;
    }
    return;
  }
}

std::string_view Trimmed(std::string_view cell) {
  const size_t first = cell.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = cell.find_last_not_of(" \t");
  return cell.substr(first, last - first + 1);
}

}  // namespace

std::string LineProblem(int64_t line, std::string_view text) {
  std::string problem = "line ";
  problem += std::to_string(line);
  problem += ": ";
  problem += text;
  return problem;
}

std::string FieldCountProblem(size_t fields, const std::vector<std::string>& names) {
  std::string problem = std::to_string(fields) + (fields == 1 ? " field" : " fields") +
                        " where the header has " + std::to_string(names.size());
  if (names.size() == 1 && names[0].find(';') != std::string::npos)
    problem += " (fields separated by ';'? try --sep ';' --decimal ',')";
  return problem;
}

char ChooseSeparator(std::string_view text, char asked) {
  if (asked != 0) return asked;
  const std::string_view first = text.substr(0, text.find_first_of("\r\n"));
  if (first.find(',') != std::string_view::npos) return ',';
  if (first.find(';') != std::string_view::npos) return ';';
  if (first.find('\t') != std::string_view::npos) return '\t';
  return ',';
}

ParsedCsv ParseCsv(std::string_view text, char separator) {
  return ParseCsvText(std::string(text), separator);
}

ParsedCsv ParseCsvText(std::string&& text, char separator) {
  ParsedCsv parsed;
  CsvTable& table = parsed.table;
  table.text = std::move(text);
  // A byte order mark is not part of the first name.
  const size_t start = std::string_view(table.text).substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  RecordReader reader(table.text, start,
                      ChooseSeparator(std::string_view(table.text).substr(start), separator));
  reader.SkipBlankLines();
  if (reader.AtEnd()) {
    parsed.problem = "the file is empty (no header row)";
    return parsed;
  }
  std::vector<FieldSpan> fields;
  reader.Next(fields, parsed.problem);
  if (!parsed.Ok()) return parsed;
  for (const FieldSpan& field : fields)
    table.names.emplace_back(table.text, field.start, field.length);
  const size_t width = table.names.size();
  // Reserved for cells of eight bytes or more: pages never written are never resident, and
  // the arrays are not copied as they grow.
  const size_t cellGuess = table.text.size() / 8;
  table.cellStarts.reserve(cellGuess);
  table.cellLengths.reserve(cellGuess);
  table.lines.reserve(cellGuess / width);
  while (true) {
    reader.SkipBlankLines();
    if (reader.AtEnd()) break;
    const int line = reader.Line();
    reader.Next(fields, parsed.problem);
    if (!parsed.Ok()) return parsed;
    if (fields.size() != width) {
      parsed.problem = LineProblem(line, FieldCountProblem(fields.size(), table.names));
      return parsed;
    }
    for (const FieldSpan& field : fields) {
      if (field.length > UINT32_MAX) {
        parsed.problem = LineProblem(line, "a field longer than 4 GiB");
        return parsed;
      }
      table.cellStarts.push_back(field.start);
      table.cellLengths.push_back(static_cast<uint32_t>(field.length));
    }
    table.lines.push_back(line);
  }
  return parsed;
}

Cell ReadCell(std::string_view cell, char decimal) {
  std::string_view text = Trimmed(cell);
  // Cells of the usual lengths are rewritten on the stack: a stream reads millions of them.
  char stackCopy[64];
  std::string heapCopy;
  if (decimal != '.') {
    // A decimal comma file has no decimal points: one there makes the cell text.
    if (text.find('.') != std::string_view::npos) return {};
    char* copy = stackCopy;
    if (text.size() > sizeof stackCopy) {
      heapCopy.resize(text.size());
      copy = heapCopy.data();
    }
    std::replace_copy(text.begin(), text.end(), copy, decimal, '.');
    text = std::string_view(copy, text.size());
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
