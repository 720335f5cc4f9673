// KelVector: construction, assignment, element access, printing.
#include "containers/kel_vector.h"

#include <cstring>
#include <utility>

#include "containers/kel_storage.h"
#include "foundation/kel_array_kernels.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelObjectCounter KelVector::counter;

KelVector::KelVector() : serialNumber(counter.Draw()) {}

KelVector::KelVector(int n) : serialNumber(counter.Draw()) {
  kel_storage::ResizeBlock(buffer, dimensions, n, true, kelClassVector);
}

KelVector::KelVector(char, int n) : serialNumber(counter.Draw()) {
  kel_storage::ResizeBlock(buffer, dimensions, n, false, kelClassVector);
}

void KelVector::FillFromList(int n, int count, const double* list) {
  if (count != (n > 0 ? n : 0))
    KelError("%s%s%sKelVector\n%s", kelClassVector, kelErrCheck, kelErrConstructor,
             KelSizesDetail(n, count).c_str());
  if (n > 0) {
    buffer[0] = 0.0;
    std::memcpy(buffer + 1, list, sizeof(double) * static_cast<size_t>(n));
  }
}

KelVector::KelVector(const KelVector& v) : serialNumber(counter.Draw()) {
  kel_storage::CopyBlock(buffer, dimensions, v.buffer, v.dimensions, kelClassVector);
}

KelVector::KelVector(KelVector&& v) noexcept
    : buffer(v.buffer), dimensions(v.dimensions), serialNumber(v.serialNumber) {
  // The receiving object continues the temporary: it keeps the temporary's number and draws
  // none, while the emptied temporary stays alive until its own destruction.
  v.buffer = nullptr;
  v.dimensions = 0;
  counter.CountAlive();
}

KelVector::~KelVector() {
  delete[] buffer;
  buffer = nullptr;
  dimensions = 0;
  counter.Release();
}

void KelVector::Resize(int n, bool clear) {
  kel_storage::ResizeBlock(buffer, dimensions, n, clear, kelClassVector);
}

KelVector& KelVector::operator=(const KelVector& v) {
  if (this != &v)
    kel_storage::CopyBlock(buffer, dimensions, v.buffer, v.dimensions, kelClassVector);
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
  kel_storage::FillBlock(buffer, dimensions, c);
  return *this;
}

void KelVector::CheckIndex(int i, const char* format, const char* kind) const {
  if (i < 1 || i > dimensions)
    KelError(format, kelClassVector, kelErrIndex, kind, KelIndexDetail(i, 1, dimensions).c_str());
}

double KelVector::GetValue(int i) const {
  CheckIndex(i, "%s%s%sGetValue\n%s", kelErrFunction);
  return buffer[i];
}

double& KelVector::operator()(int i) {
  CheckIndex(i, "%s%s%s()\n%s", kelErrOperator);
  return buffer[i];
}

double KelVector::operator()(int i) const {
  CheckIndex(i, "%s%s%s()\n%s", kelErrOperator);
  return buffer[i];
}

KelVector KelVector::GetKelVector(int n, int start) const {
  if (n < 1 || start < 1 || static_cast<long long>(start) + n - 1 > dimensions)
    KelError("%s%s%sGetKelVector\n%s", kelClassVector, kelErrCheck, kelErrFunction,
             KelRangeDetail(start, static_cast<long long>(start) + n - 1, 1, dimensions).c_str());
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
  kel_storage::AppendToBlock(buffer, dimensions, v, kelClassVector);
}

double KelVector::RemoveElement(int i) {
  return kel_storage::RemoveFromBlock(buffer, dimensions, i, kelClassVector);
}

void KelVector::PrintObject() {
  KelPrint("\nKelVector No.%d", serialNumber);
  KelPrint("\nSize %d\n", dimensions);
  for (int i = 1; i <= dimensions; ++i) KelPrint("%5d     %22.14le\n", i, buffer[i]);
}
