// KelLoad: the checked text reader of regression data files and KelSave files.
#include "linear_regression/kel_load.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace {

constexpr size_t kBlockSize = size_t{1} << 20;
// At most this much of an offending item is quoted in the message.
constexpr size_t kQuotedLength = 40;

// White space as the C locale's isspace sees it.
inline bool isSpace(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The item as it may be quoted in one line: cut at kQuotedLength characters, every character
// that is not printable ASCII shown as '?'.
std::string quotedForMessage(std::string_view text) {
  std::string quoted;
  for (size_t i = 0; i < text.size() && i < kQuotedLength; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    quoted.push_back(c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?');
  }
  if (text.size() > kQuotedLength) quoted += "...";
  return quoted;
}

}  // namespace

KelLoad::KelLoad(const char* fileName) : name(fileName == nullptr ? "" : fileName) {
  file = fileName == nullptr ? nullptr : std::fopen(fileName, "r");
  if (file == nullptr) KelError("%s%s%s", kelClassLoad, kelErrOpen, name.c_str());
  if (std::fseek(file, 0, SEEK_END) == 0) {
    fileSize = std::ftell(file);
    std::rewind(file);
  }
  if (fileSize < 0) fileSize = 0;
  buffer.resize(kBlockSize);
}

KelLoad::~KelLoad() {
  Close();
}

void KelLoad::Close() {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
}

void KelLoad::Fail(std::string_view text) const {
  KelError("%s%s%s\nline %lld, item %lld: \"%s\"", kelClassLoad, kelErrRead, name.c_str(), line,
           itemsRead, quotedForMessage(text).c_str());
}

void KelLoad::FailWithReason(const char* reason, long long itemNumber) const {
  KelError("%s%s%s\nline %lld, item %lld: %s", kelClassLoad, kelErrRead, name.c_str(), line,
           itemNumber, reason);
}

bool KelLoad::Refill() {
  if (endOfFile || file == nullptr) return false;
  if (begin > 0) {
    std::memmove(buffer.data(), buffer.data() + begin, end - begin);
    bufferOffset += static_cast<long long>(begin);
    end -= begin;
    begin = 0;
  }
  if (end == buffer.size()) return false;  // an item as long as the whole buffer
  const size_t got = std::fread(buffer.data() + end, 1, buffer.size() - end, file);
  // A read error (as opposed to the end of the file) must not pass for a short item.
  if (got == 0 && std::ferror(file)) FailWithReason("read error", itemsRead + 1);
  if (got == 0) endOfFile = true;
  end += got;
  return got > 0;
}

bool KelLoad::SkipSpace() {
  for (;;) {
    while (begin < end && isSpace(buffer[begin])) {
      if (buffer[begin] == '\n') ++line;
      ++begin;
    }
    if (begin < end) return true;
    if (!Refill()) return false;
  }
}

std::string_view KelLoad::NextItem() {
  if (file == nullptr) FailWithReason("the file is closed", itemsRead + 1);
  if (!SkipSpace()) FailWithReason("end of file", itemsRead + 1);
  size_t stop = begin;
  for (;;) {
    while (stop < end && !isSpace(buffer[stop])) ++stop;
    if (stop < end || endOfFile) break;
    const size_t scanned = stop - begin;
    if (!Refill() && !endOfFile) {
      ++itemsRead;
      Fail(std::string_view(buffer.data() + begin, end - begin));  // longer than a block
    }
    stop = begin + scanned;
  }
  ++itemsRead;
  std::string_view item(buffer.data() + begin, stop - begin);
  begin = stop;
  return item;
}

bool KelLoad::AtEnd() {
  if (file == nullptr) return true;
  return !SkipSpace();
}

KelLoad& KelLoad::operator>>(int& value) {
  std::string_view text = NextItem();
  std::string_view digits = text;
  // The standard scan takes one leading '+'; from_chars does not.
  if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-' && digits[1] != '+')
    digits.remove_prefix(1);
  int parsed = 0;
  const auto [stop, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
  if (error != std::errc() || stop != digits.data() + digits.size()) Fail(text);
  value = parsed;
  return *this;
}

double KelLoad::ParseReal(std::string_view text) {
  double parsed = 0.0;
  const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error == std::errc() && stop == text.data() + text.size()) return parsed;
  // The forms from_chars leaves to the standard scan: a leading '+', hexadecimal, and values
  // out of range (whose underflow still gives the nearest representable value).
  const std::string copy(text);
  char* last = nullptr;
  errno = 0;
  parsed = std::strtod(copy.c_str(), &last);
  if (last == copy.c_str() || *last != '\0') Fail(text);
  if (errno == ERANGE && std::isinf(parsed)) Fail(text);
  return parsed;
}

KelLoad& KelLoad::operator>>(double& value) {
  value = ParseReal(NextItem());
  return *this;
}

int KelLoad::ReadSize() {
  int size = 0;
  *this >> size;
  if (size < 0) Fail(std::to_string(size));
  return size;
}

// Each item takes at least one character and one separator, so a file cannot hold more than
// about half its length in items; a larger count is a damaged size, refused before any
// allocation is attempted.
void KelLoad::CheckCount(long long count) {
  if (count > INT_MAX - 1) FailWithReason("more elements than a container can hold", itemsRead);
  const long long position = bufferOffset + static_cast<long long>(begin);
  const long long left = fileSize - position;
  if (count > (left + 1) / 2) FailWithReason("more elements than the file holds", itemsRead);
}

KelLoad& KelLoad::operator>>(KelVector& v) {
  const int size = ReadSize();
  CheckCount(size);
  v.Resize(size, false);
  double* data = v.Data();
  for (int i = 0; i < size; ++i) data[i] = ParseReal(NextItem());
  return *this;
}

KelLoad& KelLoad::operator>>(KelMatrix& A) {
  const int rows = ReadSize();
  const int columns = ReadSize();
  const long long count = static_cast<long long>(rows) * columns;
  CheckCount(count);
  // Either size 0 gives the empty matrix.
  A.Resize(rows, columns, false);
  double* data = A.Data();
  for (long long k = 0; k < count; ++k) data[k] = ParseReal(NextItem());
  return *this;
}
