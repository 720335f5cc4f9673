#include "containers/kel_vector_int.h"

#include <cstring>
#include <utility>

#include "containers/kel_storage.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelObjectCounter KelVectorInt::counter;

KelVectorInt::KelVectorInt() : serialNumber(counter.Draw()) {}

KelVectorInt::KelVectorInt(int n) : serialNumber(counter.Draw()) {
  kel_storage::ResizeBlock(buffer, dimensions, n, true, kelClassVectorInt);
}

KelVectorInt::KelVectorInt(char, int n) : serialNumber(counter.Draw()) {
  kel_storage::ResizeBlock(buffer, dimensions, n, false, kelClassVectorInt);
}

KelVectorInt::KelVectorInt(const KelVectorInt& v) : serialNumber(counter.Draw()) {
  kel_storage::CopyBlock(buffer, dimensions, v.buffer, v.dimensions, kelClassVectorInt);
}

KelVectorInt::KelVectorInt(KelVectorInt&& v) noexcept
    : buffer(v.buffer), dimensions(v.dimensions), serialNumber(v.serialNumber) {
  v.buffer = nullptr;
  v.dimensions = 0;
  counter.CountAlive();
}

KelVectorInt::~KelVectorInt() {
  delete[] buffer;
  counter.Release();
}

void KelVectorInt::Resize(int n, bool clear) {
  kel_storage::ResizeBlock(buffer, dimensions, n, clear, kelClassVectorInt);
}

KelVectorInt& KelVectorInt::operator=(const KelVectorInt& v) {
  if (this != &v)
    kel_storage::CopyBlock(buffer, dimensions, v.buffer, v.dimensions, kelClassVectorInt);
  return *this;
}

KelVectorInt& KelVectorInt::operator=(KelVectorInt&& v) noexcept {
  if (this != &v) {
    std::swap(buffer, v.buffer);
    std::swap(dimensions, v.dimensions);
  }
  return *this;
}

KelVectorInt& KelVectorInt::operator=(int c) {
  kel_storage::FillBlock(buffer, dimensions, c);
  return *this;
}

int& KelVectorInt::operator()(int i) {
  if (i < 1 || i > dimensions)
    KelError("%s%s%s()\n%s", kelClassVectorInt, kelErrIndex, kelErrOperator,
             KelIndexDetail(i, 1, dimensions).c_str());
  return buffer[i];
}

int KelVectorInt::operator()(int i) const {
  if (i < 1 || i > dimensions)
    KelError("%s%s%s()\n%s", kelClassVectorInt, kelErrIndex, kelErrOperator,
             KelIndexDetail(i, 1, dimensions).c_str());
  return buffer[i];
}

int KelVectorInt::SumElements() const {
  int sum = 0;
  for (int i = 1; i <= dimensions; ++i) sum += buffer[i];
  return sum;
}

int KelVectorInt::Max(int* position) const {
  if (dimensions == 0) return 0;
  int best = 1;
  for (int i = 2; i <= dimensions; ++i)
    if (buffer[i] > buffer[best]) best = i;
  if (position != nullptr) *position = best;
  return buffer[best];
}

void KelVectorInt::Reverse() {
  kel_storage::ReverseBlock(buffer, dimensions);
}

void KelVectorInt::Append(int v) {
  kel_storage::AppendToBlock(buffer, dimensions, v, kelClassVectorInt);
}

int KelVectorInt::RemoveElement(int i) {
  return kel_storage::RemoveFromBlock(buffer, dimensions, i, kelClassVectorInt);
}

int KelVectorInt::Locate(int v) const {
  const int n = dimensions;
  if (n < 1) return 0;
  if (n == 1) return buffer[1] < v ? 1 : 0;
  const bool ascending = buffer[1] < buffer[n];
  int lo = 0;
  int hi = n + 1;
  while (hi - lo > 1) {
    int mid = lo + (hi - lo) / 2;
    bool before = ascending ? buffer[mid] < v : v < buffer[mid];
    if (before) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return lo;
}

int KelVectorInt::RemoveValue(int v) {
  int p = Locate(v);
  if (p == dimensions || buffer[p + 1] != v) return 0;
  RemoveElement(p + 1);
  return p + 1;
}

void KelVectorInt::PrintObject() {
  KelPrint("\nKelVectorInt No.%d", serialNumber);
  KelPrint("\nSize %d\n", dimensions);
  for (int i = 1; i <= dimensions; ++i) KelPrint("%5d %5d\n", i, buffer[i]);
}
