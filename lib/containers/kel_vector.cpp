// KelVector: construction, assignment, element access, printing.
#include "kel_vector.h"

#include <cstring>
#include <utility>

#include "kel_array_kernels.h"
#include "kel_errors.h"
#include "kel_output.h"
#include "kel_storage.h"

KelObjectCounter KelVector::counter;

void KelVector::Allocate(int n, bool clear) {
  if (n <= 0) {
    buffer = nullptr;
    dimensions = 0;
    return;
  }
  buffer = kel_storage::Allocate<double>(static_cast<long long>(n) + 1, clear, kelClassVector,
                                         "%s%s%sInitialize");
  dimensions = n;
}

KelVector::KelVector() : serialNumber(counter.Draw()) {}

KelVector::KelVector(int n) : serialNumber(counter.Draw()) {
  Allocate(n, true);
}

KelVector::KelVector(char, int n) : serialNumber(counter.Draw()) {
  Allocate(n, false);
}

void KelVector::FillFromList(int n, int count, const double* list) {
  if (count != (n > 0 ? n : 0))
    KelError("%s%s%sKelVector", kelClassVector, kelErrCheck, kelErrConstructor);
  if (n > 0) {
    buffer[0] = 0.0;
    std::memcpy(buffer + 1, list, sizeof(double) * static_cast<size_t>(n));
  }
}

KelVector::KelVector(const KelVector& v) : serialNumber(counter.Draw()) {
  Allocate(v.dimensions, false);
  if (dimensions > 0) std::memcpy(buffer, v.buffer, sizeof(double) * (size_t(dimensions) + 1));
}

KelVector::KelVector(KelVector&& v) noexcept
    : buffer(v.buffer), dimensions(v.dimensions), serialNumber(v.serialNumber) {
  // The receiving object is the temporary's continuation: it keeps the temporary's number, and
  // the moved-from shell (destroyed right after) no longer counts as alive.
  v.buffer = nullptr;
  v.dimensions = 0;
  ++counter.aliveCount;
}

KelVector::~KelVector() {
  delete[] buffer;
  buffer = nullptr;
  dimensions = 0;
  counter.Release();
}

void KelVector::Resize(int n, bool clear) {
  if (n < 0) n = 0;
  if (n != dimensions) {
    delete[] buffer;
    buffer = nullptr;
    dimensions = 0;
    Allocate(n, clear);
  } else if (clear && dimensions > 0) {
    std::memset(buffer, 0, sizeof(double) * (size_t(dimensions) + 1));
  }
}

KelVector& KelVector::operator=(const KelVector& v) {
  if (this == &v) return *this;
  Resize(v.dimensions, false);
  if (dimensions > 0) std::memcpy(buffer + 1, v.buffer + 1, sizeof(double) * size_t(dimensions));
  return *this;
}

KelVector& KelVector::operator=(KelVector&& v) noexcept {
  if (this != &v) {
    std::swap(buffer, v.buffer);
    std::swap(dimensions, v.dimensions);
  }
  return *this;
}

KelVector& KelVector::operator=(double c) {
  if (dimensions == 0) return *this;
  if (c == 0.0) {
    std::memset(buffer + 1, 0, sizeof(double) * size_t(dimensions));
  } else {
    for (int i = 1; i <= dimensions; ++i) buffer[i] = c;
  }
  return *this;
}

void KelVector::CheckIndex(int i, const char* format, const char* kind) const {
  if (i < 1 || i > dimensions) KelError(format, kelClassVector, kelErrIndex, kind);
}

double KelVector::GetValue(int i) const {
  CheckIndex(i, "%s%s%sGetValue", kelErrFunction);
  return buffer[i];
}

double& KelVector::operator()(int i) {
  CheckIndex(i, "%s%s%s()", kelErrOperator);
  return buffer[i];
}

double KelVector::operator()(int i) const {
  CheckIndex(i, "%s%s%s()", kelErrOperator);
  return buffer[i];
}

KelVector KelVector::GetKelVector(int n, int start) const {
  if (n < 1 || start < 1 || static_cast<long long>(start) + n - 1 > dimensions)
    KelError("%s%s%sGetKelVector", kelClassVector, kelErrCheck, kelErrFunction);
  KelVector result('u', n);
  std::memcpy(result.buffer + 1, buffer + start, sizeof(double) * size_t(n));
  return result;
}

bool operator==(const KelVector& a, const KelVector& b) {
  if (a.serialNumber == b.serialNumber) return true;
  if (a.dimensions != b.dimensions) return false;
  if (a.dimensions == 0) return true;
  return std::memcmp(a.buffer + 1, b.buffer + 1, sizeof(double) * size_t(a.dimensions)) == 0;
}

void Swap(KelVector& a, KelVector& b) noexcept {
  std::swap(a.buffer, b.buffer);
  std::swap(a.dimensions, b.dimensions);
}

void KelVector::Append(double v) {
  KelVector grown('u', dimensions + 1);
  if (dimensions > 0)
    std::memcpy(grown.buffer + 1, buffer + 1, sizeof(double) * size_t(dimensions));
  grown.buffer[0] = 0.0;
  grown.buffer[dimensions + 1] = v;
  Swap(*this, grown);
}

double KelVector::RemoveElement(int i) {
  if (i < 1 || i > dimensions) return 0.0;
  double removed = buffer[i];
  KelVector shrunk('u', dimensions - 1);
  if (shrunk.dimensions > 0) {
    shrunk.buffer[0] = 0.0;
    std::memcpy(shrunk.buffer + 1, buffer + 1, sizeof(double) * size_t(i - 1));
    std::memcpy(shrunk.buffer + i, buffer + i + 1, sizeof(double) * size_t(dimensions - i));
  }
  Swap(*this, shrunk);
  return removed;
}

void KelVector::PrintObject() {
  KelPrint("\nKelVector No.%d", serialNumber);
  KelPrint("\nSize %d\n", dimensions);
  for (int i = 1; i <= dimensions; ++i) KelPrint("%5d     %22.14le\n", i, buffer[i]);
}
