#include "csv_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

#include "name_text.h"
#include "table_columns.h"

namespace kelmath_cli {

namespace {

// Bytes read at a time while looking for the end of the header or for a line start.
constexpr size_t kLookBytes = size_t{64} << 10;
// A header record longer than this is taken for an unclosed quote rather than read into memory.
constexpr size_t kHeaderBytesLimit = size_t{64} << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A file open for reading, closed when it goes out of scope.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::string& path) : descriptor(::open(path.c_str(), O_RDONLY)) {}
  ~ReadOnlyFile() {
    if (descriptor >= 0) ::close(descriptor);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  int Descriptor() const { return descriptor; }

 private:
  int descriptor;
};

// Reads up to size bytes at offset, retrying an interrupted read: the bytes read, or -1.
ssize_t ReadAt(int file, char* into, size_t size, uint64_t offset) {
  while (true) {
    const ssize_t got = ::pread(file, into, size, static_cast<off_t>(offset));
    if (got >= 0 || errno != EINTR) return got;
  }
}

std::string SystemProblem(const std::string& what) {
  std::string problem = what;
  problem += ": ";
  problem += std::strerror(errno);
  return problem;
}

// Finds the line break that ends the header record, fed a prefix of the file that grows. Only a
// quote at a field's start opens a quoted field (as in ParseCsv), so that a stray quote does not
// send the search through the whole file; ParseCsv then names what is wrong with the record.
class HeaderEndSearch {
 public:
  HeaderEndSearch(char separator, size_t start) : separator(separator), at(start) {}
  enum class Outcome { kFound, kMore, kProblem };
  // Continues over text (the prefix, which only grows); atEnd: the prefix is the whole file.
  Outcome Continue(std::string_view text, bool atEnd, std::string& problem);
  size_t End() const { return at; }  // the byte after the record's line break
  int64_t Lines() const { return breaks; }

 private:
  char separator;
  size_t at;
  bool quoted = false;
  bool fieldStart = true;
  bool content = false;  // the current line is not blank
  int64_t breaks = 0;
};

HeaderEndSearch::Outcome HeaderEndSearch::Continue(std::string_view text, bool atEnd,
                                                   std::string& problem) {
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\r') {
      if (at + 1 == text.size() && !atEnd) return Outcome::kMore;
      if (at + 1 < text.size() && text[at + 1] == '\n') continue;
      if (at + 1 < text.size()) {
        problem = LineProblem(breaks + 1, kLoneCarriageReturn);
        return Outcome::kProblem;
      }
      // A carriage return ending the file ends its last line.
      ++at;
      ++breaks;
      return Outcome::kFound;
    }
    if (c == '\n') {
      ++breaks;
      if (!quoted && content) {
        ++at;
        return Outcome::kFound;
      }
      fieldStart = !quoted;
      continue;
    }
    content = true;
    if (quoted) {
      if (c != '"') continue;
      if (at + 1 == text.size() && !atEnd) return Outcome::kMore;
      if (at + 1 < text.size() && text[at + 1] == '"') {
        ++at;
        continue;
      }
      quoted = false;
    } else if (c == '"' && fieldStart) {
      quoted = true;
    }
    fieldStart = !quoted && c == separator;
  }
  return atEnd ? Outcome::kFound : Outcome::kMore;
}

// Appends the next bytes of the file to text, or sets the problem: an error, or a header that
// would not end. atEnd: the text is the whole file.
void ReadMore(int file, std::string& text, bool& atEnd, std::string& problem) {
  if (text.size() >= kHeaderBytesLimit) {
    problem = "the header is longer than " + std::to_string(kHeaderBytesLimit >> 20) +
              " MiB (a quote not closed?)";
    return;
  }
  const size_t had = text.size();
  text.resize(had + kLookBytes);
  const ssize_t got = ReadAt(file, text.data() + had, kLookBytes, had);
  if (got < 0) problem = SystemProblem("cannot read the file");
  text.resize(had + static_cast<size_t>(std::max<ssize_t>(got, 0)));
  atEnd = got <= 0;
}

// The prefix of the file that holds the header record, the line breaks before the data and the
// separator; or the problem.
std::string ReadHeaderText(int file, char asked, std::string& text, CsvStreamHeader& header) {
  std::string problem;
  bool atEnd = false;
  ReadMore(file, text, atEnd, problem);
  // A byte order mark is not part of the first name; the first line chooses the separator.
  const size_t start = std::string_view(text).starts_with(kByteOrderMark) ? 3 : 0;
  while (problem.empty() && !atEnd && text.find_first_of("\r\n", start) == std::string::npos)
    ReadMore(file, text, atEnd, problem);
  if (!problem.empty()) return problem;
  header.separator = ChooseSeparator(std::string_view(text).substr(start), asked);
  HeaderEndSearch search(header.separator, start);
  while (true) {
    const auto outcome = search.Continue(text, atEnd, problem);
    if (outcome == HeaderEndSearch::Outcome::kProblem) return problem;
    if (outcome == HeaderEndSearch::Outcome::kFound) break;
    ReadMore(file, text, atEnd, problem);
    if (!problem.empty()) return problem;
  }
  text.resize(search.End());
  header.dataStart = search.End();
  header.headerLines = search.Lines();
  return "";
}

// The model's columns of the header: [regressors..., response], as PrepareRegressionData
// chooses them.
std::string ResolveColumns(const ModelRequest& request, CsvStreamHeader& header) {
  if (!request.clusters.empty() || !request.weights.empty())
    return "clusters and weights cannot be read in parts";
  CsvTable table;
  table.names = header.names;
  std::vector<int> positions;
  std::string problem = ChooseModelColumns(table, request, {}, -1, positions);
  if (!problem.empty()) return problem;
  header.decimal = request.decimal;
  header.intercept = request.intercept;
  header.responseName = table.names[static_cast<size_t>(positions[0])];
  header.parameterNames = ModelParameterNames(table, positions, request.intercept);
  header.columns.assign(positions.begin() + 1, positions.end());
  header.columns.push_back(positions[0]);
  return "";
}

// The first line start at or after at (the end of the file when none).
uint64_t NextLineStart(int file, uint64_t at, uint64_t size, std::string& problem) {
  std::vector<char> chunk(kLookBytes);
  // A line starts at `at` when the byte before it ends a line.
  for (uint64_t from = at - 1; from < size;) {
    const ssize_t got =
        ReadAt(file, chunk.data(), std::min<uint64_t>(kLookBytes, size - from), from);
    if (got <= 0) {
      problem = got < 0 ? SystemProblem("cannot read the file") : "the file became shorter";
      return size;
    }
    const size_t length = static_cast<size_t>(got);
    if (const void* feed = std::memchr(chunk.data(), '\n', length))
      return from + static_cast<uint64_t>(static_cast<const char*>(feed) - chunk.data()) + 1;
    from += length;
  }
  return size;
}

// Boundary k of parts: the data's span divided evenly, moved forward to a line start.
uint64_t PartBoundary(int file, uint64_t dataStart, uint64_t size, int k, int parts,
                      std::string& problem) {
  if (k == 0) return dataStart;
  if (k == parts) return size;
  const uint64_t span = size - dataStart;
  const uint64_t count = static_cast<uint64_t>(parts);
  const uint64_t index = static_cast<uint64_t>(k);
  // span * k / parts without overflow: the remainder's product is below parts squared.
  const uint64_t nominal = dataStart + span / count * index + span % count * index / count;
  if (nominal <= dataStart) return dataStart;
  return NextLineStart(file, nominal, size, problem);
}

}  // namespace

CsvStreamHeader ReadCsvStreamHeader(const std::string& path, const ModelRequest& request,
                                    char separator) {
  CsvStreamHeader header;
  const ReadOnlyFile file(path);
  if (file.Descriptor() < 0) {
    header.problem = SystemProblem("cannot open the file");
    return header;
  }
  std::string text;
  header.problem = ReadHeaderText(file.Descriptor(), separator, text, header);
  if (!header.Ok()) return header;
  ParsedCsv parsed = ParseCsvText(std::move(text), separator);
  if (!parsed.Ok()) {
    header.problem = std::move(parsed.problem);
    return header;
  }
  header.names = std::move(parsed.table.names);
  header.problem = ResolveColumns(request, header);
  return header;
}

CsvByteRange RangeOfPart(const std::string& path, uint64_t dataStart, int part, int parts) {
  CsvByteRange range;
  if (parts < 1) {
    range.problem = "the number of parts must be at least 1";
    return range;
  }
  if (part < 0 || part >= parts) {
    range.problem = "a part's number lies in 0 .. " + std::to_string(parts - 1) + ", not " +
                    std::to_string(part);
    return range;
  }
  const ReadOnlyFile file(path);
  struct stat status {};
  if (file.Descriptor() < 0 || ::fstat(file.Descriptor(), &status) != 0) {
    range.problem = SystemProblem("cannot open the file");
    return range;
  }
  const uint64_t size = static_cast<uint64_t>(status.st_size);
  if (dataStart > size) {
    range.problem = "the data start lies beyond the end of the file";
    return range;
  }
  range.begin = PartBoundary(file.Descriptor(), dataStart, size, part, parts, range.problem);
  range.end = PartBoundary(file.Descriptor(), dataStart, size, part + 1, parts, range.problem);
  return range;
}

std::string CsvStreamProblem::At(int64_t fileLine) const {
  if (line < 0) return text;
  if (position >= 0) return CellProblem(fileLine, column, text);
  return LineProblem(fileLine, text);
}

CsvRowStream::CsvRowStream(const std::string& path, const CsvStreamHeader& header,
                           const CsvByteRange& range, size_t bufferBytes)
    : range(range),
      bufferBytes(std::max<size_t>(bufferBytes, 1)),
      separator(header.separator),
      decimal(header.decimal),
      names(header.names),
      slots(header.names.size(), -1),
      ranks(header.names.size(), INT_MAX),
      width(header.Width()),
      intercept(header.intercept),
      buffer(this->bufferBytes) {
  const size_t first = intercept ? 1 : 0;
  for (size_t k = 0; k < header.columns.size(); ++k) {
    const size_t position = static_cast<size_t>(header.columns[k]);
    slots[position] = static_cast<int>(first + k);
    // PrepareRegressionData reads the response first, then the regressors in order.
    ranks[position] = k + 1 == header.columns.size() ? 0 : static_cast<int>(k + 1);
  }
  if (!header.Ok() || !range.Ok()) {
    StopReading(header.Ok() ? range.problem : header.problem);
    return;
  }
  file = ::open(path.c_str(), O_RDONLY);
  if (file < 0) {
    StopReading(SystemProblem("cannot open the file"));
    return;
  }
  if (!range.Empty())
    ::posix_fadvise(file, static_cast<off_t>(range.begin),
                    static_cast<off_t>(range.end - range.begin), POSIX_FADV_SEQUENTIAL);
  Rewind();
}

CsvRowStream::~CsvRowStream() {
  if (file >= 0) ::close(file);
}

void CsvRowStream::Rewind() {
  // A stream that could not open its file stays stopped.
  if (file < 0) return;
  offset = range.begin;
  filled = scan = searched = 0;
  finished = false;
  rows = 0;
  dropped.clear();
  recordCount = droppedCount = lineCount = 0;
  problem = {};
}

void CsvRowStream::StopReading(const std::string& what) {
  problem = {};
  problem.text = what;
  rows = 0;
  dropped.clear();
}

void CsvRowStream::Stop(std::string text, int position, std::string_view cell) {
  problem = {};
  problem.line = lineCount - 1;
  problem.text = std::move(text);
  if (position >= 0) {
    problem.position = position;
    problem.column = names[static_cast<size_t>(position)];
    problem.cell = ShownName(cell);
  }
  rows = 0;
  dropped.clear();
}

bool CsvRowStream::Refill() {
  // The start of a line that the buffer does not hold whole moves to the front.
  const size_t carried = filled - scan;
  if (scan > 0) std::memmove(buffer.data(), buffer.data() + scan, carried);
  filled = carried;
  scan = 0;
  // Only a line longer than the buffer makes it grow.
  if (filled == buffer.size()) buffer.resize(2 * buffer.size());
  const uint64_t room = std::min(buffer.size() - filled, bufferBytes);
  const ssize_t got =
      ReadAt(file, buffer.data() + filled, std::min(room, range.end - offset), offset);
  if (got <= 0) {
    StopReading(got < 0 ? SystemProblem("cannot read the file")
                        : "the file became shorter while it was read");
    return false;
  }
  filled += static_cast<size_t>(got);
  offset += static_cast<uint64_t>(got);
  return true;
}

bool CsvRowStream::NextLine(LineText& line) {
  while (true) {
    char* const base = buffer.data();
    const size_t from = scan + searched;
    if (const void* feed = std::memchr(base + from, '\n', filled - from)) {
      const size_t at = static_cast<size_t>(static_cast<const char*>(feed) - base);
      line = {base + scan, at - scan, true};
      scan = at + 1;
      searched = 0;
      break;
    }
    searched = filled - scan;
    if (offset >= range.end) {
      if (scan == filled) return false;
      line = {base + scan, filled - scan, false};
      scan = filled;
      searched = 0;
      break;
    }
    if (!Refill()) return false;
  }
  // CRLF ends a line as LF does (and a carriage return ends the file's last line).
  if (line.size > 0 && line.data[line.size - 1] == '\r') --line.size;
  return true;
}

bool CsvRowStream::ReadQuoted(const char*& at, const char* end, bool broken,
                              std::string_view& cell) {
  const char* const start = ++at;
  bool doubled = false;
  const char* close = nullptr;
  for (const char* from = start;; from = close + 2) {
    close = static_cast<const char*>(std::memchr(from, '"', static_cast<size_t>(end - from)));
    if (close == nullptr) {
      // The line ends inside the quotes: a line break or the end of the file follows.
      Stop(broken ? kQuotedLineBreak : kUnclosedQuote);
      return false;
    }
    if (close + 1 == end || close[1] != '"') break;
    doubled = true;
  }
  if (std::memchr(start, '\r', static_cast<size_t>(close - start)) != nullptr) {
    Stop(kQuotedLineBreak);
    return false;
  }
  at = close + 1;
  cell = std::string_view(start, static_cast<size_t>(close - start));
  if (doubled) {
    decoded.clear();
    for (const char* c = start; c < close; ++c) {
      decoded.push_back(*c);
      if (*c == '"') ++c;
    }
    cell = decoded;
  }
  return true;
}

bool CsvRowStream::TakeField(const char*& at, const char* end, const LineText& line, bool plain,
                             std::string_view& cell) {
  if (at < end && *at == '"') {
    if (!ReadQuoted(at, end, line.broken, cell)) return false;
    // RFC 4180: a closing quote ends the field.
    if (at == end || *at == separator) return true;
    Stop(kStrayQuote);
    return false;
  }
  const char* const start = at;
  if (plain) {
    while (at < end && *at != separator) ++at;
  } else {
    for (; at < end && *at != separator; ++at) {
      if (*at == '"' || *at == '\r') {
        Stop(*at == '"' ? kStrayQuote : kLoneCarriageReturn);
        return false;
      }
    }
  }
  cell = std::string_view(start, static_cast<size_t>(at - start));
  return true;
}

bool CsvRowStream::ReadRecord(const LineText& line, double* row, bool& missing) {
  const char* at = line.data;
  const char* const end = line.data + line.size;
  // Almost every line has neither quotes nor carriage returns: its fields end at separators.
  const bool plain = std::memchr(line.data, '"', line.size) == nullptr &&
                     std::memchr(line.data, '\r', line.size) == nullptr;
  size_t field = 0;
  // The cell a problem names, if any: the first that PrepareRegressionData reads.
  int faultRank = INT_MAX;
  int faultPosition = -1;
  std::string faultCell;
  missing = false;
  while (true) {
    const int slot = field < slots.size() ? slots[field] : -1;
    if (!(slot >= 0 && plain && ReadNumberInPlace(at, end, row[slot]))) {
      std::string_view cell;
      if (!TakeField(at, end, line, plain, cell)) return false;
      const Cell value = slot >= 0 ? ReadCell(cell, decimal) : Cell{};
      if (value.kind == CellKind::kNumber) {
        row[slot] = value.value;
      } else if (slot >= 0 && value.kind == CellKind::kMissing) {
        missing = true;
      } else if (slot >= 0 && ranks[field] < faultRank) {
        faultRank = ranks[field];
        faultPosition = static_cast<int>(field);
        faultCell.assign(cell);
      }
    }
    ++field;
    if (at == end) break;
    ++at;  // past the separator
  }
  // As ParseCsv before PrepareRegressionData: the record's form is checked before its cells.
  if (field != slots.size()) {
    Stop(FieldCountProblem(field, names));
    return false;
  }
  if (faultPosition >= 0) {
    Stop(NotANumberText(faultCell, decimal), faultPosition, faultCell);
    return false;
  }
  if (intercept) row[0] = 1.0;
  return true;
}

bool CsvRowStream::ReadNumberInPlace(const char*& at, const char* end, double& value) const {
  // ReadCell's rule for the common cell: a number with a decimal point, nothing around it. A
  // number that from_chars ends at the separator or the line's end is the whole cell; anything
  // else (blanks, a plus sign, NA, text, a decimal comma) is read by ReadCell.
  if (decimal != '.' || at == end) return false;
  const char lead = *at == '-' ? (at + 1 < end ? at[1] : '-') : *at;
  if (!((lead >= '0' && lead <= '9') || lead == '.')) return false;
  double number = 0.0;
  const auto [stop, error] = std::from_chars(at, end, number, std::chars_format::general);
  if (error != std::errc() || (stop != end && *stop != separator) || !std::isfinite(number))
    return false;
  value = number;
  at = stop;
  return true;
}

size_t CsvRowStream::NextBlock(size_t maxRows) {
  rows = 0;
  dropped.clear();
  if (problem.Found() || finished) return 0;
  if (values.size() < maxRows * width) values.resize(maxRows * width);
  if (records.size() < maxRows) records.resize(maxRows);
  LineText line;
  while (rows < maxRows) {
    if (!NextLine(line)) {
      finished = !problem.Found();
      break;
    }
    ++lineCount;
    if (line.size == 0) continue;  // a blank line
    bool missing = false;
    if (!ReadRecord(line, values.data() + rows * width, missing)) return 0;
    const int64_t record = recordCount++;
    if (missing) {
      dropped.push_back(record);
      ++droppedCount;
    } else {
      records[rows++] = record;
    }
  }
  return problem.Found() ? 0 : rows;
}

}  // namespace kelmath_cli
