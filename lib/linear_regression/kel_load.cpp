// KelLoad: the checked text reader of regression data files and KelSave files.
#include "kel_load.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "kel_errors.h"
#include "kel_matrix.h"
#include "kel_output.h"
#include "kel_vector.h"

KelLoad::KelLoad(const char* fileName) : name(fileName == nullptr ? "" : fileName) {
  file = fileName == nullptr ? nullptr : std::fopen(fileName, "r");
  if (file == nullptr) KelError("%s%s%s", kelClassLoad, kelErrOpen, name.c_str());
  if (std::fseek(file, 0, SEEK_END) == 0) {
    fileSize = std::ftell(file);
    std::rewind(file);
  }
  if (fileSize < 0) fileSize = 0;
}

KelLoad::~KelLoad() {
  Close();
}

void KelLoad::Close() {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
}

void KelLoad::Fail() const {
  KelError("%s%s%s", kelClassLoad, kelErrRead, name.c_str());
}

const std::string& KelLoad::NextItem() {
  item.clear();
  if (file == nullptr) Fail();
  int c = std::fgetc(file);
  while (c != EOF && std::isspace(c)) c = std::fgetc(file);
  if (c == EOF) Fail();
  while (c != EOF && !std::isspace(c)) {
    item.push_back(static_cast<char>(c));
    c = std::fgetc(file);
  }
  // A read error (as opposed to the end of the file) must not pass for a short item.
  if (c == EOF && std::ferror(file)) Fail();
  return item;
}

bool KelLoad::AtEnd() {
  if (file == nullptr) return true;
  int c = std::fgetc(file);
  while (c != EOF && std::isspace(c)) c = std::fgetc(file);
  if (c == EOF) return true;
  std::ungetc(c, file);
  return false;
}

KelLoad& KelLoad::operator>>(int& value) {
  const std::string& text = NextItem();
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || errno == ERANGE || parsed < INT_MIN ||
      parsed > INT_MAX)
    Fail();
  value = static_cast<int>(parsed);
  return *this;
}

KelLoad& KelLoad::operator>>(double& value) {
  const std::string& text = NextItem();
  char* end = nullptr;
  errno = 0;
  const double parsed = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0') Fail();
  // Overflow is refused; an underflow still gives the nearest representable value.
  if (errno == ERANGE && std::isinf(parsed)) Fail();
  value = parsed;
  return *this;
}

int KelLoad::ReadSize() {
  int size = 0;
  *this >> size;
  if (size < 0) Fail();
  return size;
}

// Each item takes at least one character and one separator, so a file cannot hold more than
// about half its length in items; a larger count is a damaged size, refused before any
// allocation is attempted.
void KelLoad::CheckCount(long long count) {
  if (count > INT_MAX - 1) Fail();
  const long position = file == nullptr ? 0 : std::ftell(file);
  const long long left = position < 0 ? fileSize : fileSize - position;
  if (count > (left + 1) / 2) Fail();
}

KelLoad& KelLoad::operator>>(KelVector& v) {
  const int size = ReadSize();
  CheckCount(size);
  v.Resize(size, false);
  double* data = v.Data();
  for (int i = 0; i < size; ++i) *this >> data[i];
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
  for (long long k = 0; k < count; ++k) *this >> data[k];
  return *this;
}
