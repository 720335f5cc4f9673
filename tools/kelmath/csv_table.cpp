#include "csv_table.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace kelmath_cli {

namespace {

constexpr const char* kStrayQuote = ": a quote inside an unquoted field or after a closing quote";

// Reads records one at a time; position moves past each one and its line break.
class RecordReader {
 public:
  explicit RecordReader(std::string_view text) : text(text) {}
  bool AtEnd() const { return position >= text.size(); }
  int Line() const { return line; }
  // The fields of the next record; problem is set when the record is malformed.
  std::vector<std::string> Next(std::string& problem);
  // Skips line breaks that stand alone (blank lines).
  void SkipBlankLines();

 private:
  bool ReadQuoted(std::string& field, std::string& problem);
  std::string_view text;
  size_t position = 0;
  int line = 1;
};

void RecordReader::SkipBlankLines() {
  while (position < text.size()) {
    if (text[position] == '\n') {
      ++position;
      ++line;
    } else if (text[position] == '\r' && position + 1 < text.size() && text[position + 1] == '\n') {
      position += 2;
      ++line;
    } else {
      break;
    }
  }
}

// Reads a quoted field whose opening quote is at position; stops after the closing quote.
bool RecordReader::ReadQuoted(std::string& field, std::string& problem) {
  const int startLine = line;
  ++position;
  while (position < text.size()) {
    const char c = text[position++];
    if (c == '"') {
      if (position < text.size() && text[position] == '"') {
        field += '"';
        ++position;
        continue;
      }
      return true;
    }
    if (c == '\n') ++line;
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
      const bool fieldEnds = position >= text.size() || text[position] == ',' ||
                             text[position] == '\n' || text.substr(position, 2) == "\r\n";
      if (!fieldEnds) {
        problem = "line " + std::to_string(line) + kStrayQuote;
        return fields;
      }
    }
    while (position < text.size() && text[position] != ',' && text[position] != '\n') {
      const char c = text[position];
      if (c == '\r' && position + 1 < text.size() && text[position + 1] == '\n') break;
      if (c == '"') {
        problem = "line " + std::to_string(line) + kStrayQuote;
        return fields;
      }
      field += c;
      ++position;
    }
    fields.push_back(field);
    field.clear();
    if (position < text.size() && text[position] == ',') {
      ++position;
      continue;
    }
    // End of the record: a line break or the end of the text.
    if (position < text.size()) {
      position += text[position] == '\r' ? 2 : 1;
      ++line;
    }
    return fields;
  }
}

std::string_view Trimmed(std::string_view cell) {
  const size_t first = cell.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = cell.find_last_not_of(" \t");
  return cell.substr(first, last - first + 1);
}

}  // namespace

ParsedCsv ParseCsv(std::string_view text) {
  ParsedCsv parsed;
  // A byte order mark is not part of the first name.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  RecordReader reader(text);
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
      parsed.problem = "line " + std::to_string(line) + ": " + std::to_string(fields.size()) +
                       (fields.size() == 1 ? " field" : " fields") + " where the header has " +
                       std::to_string(width);
      return parsed;
    }
    parsed.table.rows.push_back(std::move(fields));
    parsed.table.lines.push_back(line);
  }
  return parsed;
}

Cell ReadCell(std::string_view cell) {
  const std::string_view text = Trimmed(cell);
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
