#include "kel_vector_int.h"

#include <cstring>
#include <utility>

#include "kel_errors.h"
#include "kel_output.h"
#include "kel_storage.h"

KelObjectCounter KelVectorInt::counter;

void KelVectorInt::Allocate(int n, bool clear) {
  if (n <= 0) {
    buffer = nullptr;
    dimensions = 0;
    return;
  }
  buffer = kel_storage::Allocate<int>(static_cast<long long>(n) + 1, clear, kelClassVectorInt,
                                      "%s%s%sInitialize");
  dimensions = n;
}

KelVectorInt::KelVectorInt() : serialNumber(counter.Draw()) {}

KelVectorInt::KelVectorInt(int n) : serialNumber(counter.Draw()) {
  Allocate(n, true);
}

KelVectorInt::KelVectorInt(char, int n) : serialNumber(counter.Draw()) {
  Allocate(n, false);
}

KelVectorInt::KelVectorInt(const KelVectorInt& v) : serialNumber(counter.Draw()) {
  Allocate(v.dimensions, false);
  if (dimensions > 0) std::memcpy(buffer, v.buffer, sizeof(int) * (size_t(dimensions) + 1));
}

KelVectorInt::KelVectorInt(KelVectorInt&& v) noexcept
    : buffer(v.buffer), dimensions(v.dimensions), serialNumber(v.serialNumber) {
  v.buffer = nullptr;
  v.dimensions = 0;
  ++counter.aliveCount;
}

KelVectorInt::~KelVectorInt() {
  delete[] buffer;
  counter.Release();
}

void KelVectorInt::Resize(int n, bool clear) {
  if (n < 0) n = 0;
  if (n != dimensions) {
    delete[] buffer;
    buffer = nullptr;
    dimensions = 0;
    Allocate(n, clear);
  } else if (clear && dimensions > 0) {
    std::memset(buffer, 0, sizeof(int) * (size_t(dimensions) + 1));
  }
}

KelVectorInt& KelVectorInt::operator=(const KelVectorInt& v) {
  if (this == &v) return *this;
  Resize(v.dimensions, false);
  if (dimensions > 0) std::memcpy(buffer, v.buffer, sizeof(int) * (size_t(dimensions) + 1));
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
  if (dimensions == 0) return *this;
  if (c == 0) {
    std::memset(buffer + 1, 0, sizeof(int) * size_t(dimensions));
  } else {
    for (int i = 1; i <= dimensions; ++i) buffer[i] = c;
  }
  return *this;
}

int& KelVectorInt::operator()(int i) {
  if (i < 1 || i > dimensions) KelError("%s%s%s()", kelClassVectorInt, kelErrIndex, kelErrOperator);
  return buffer[i];
}

int KelVectorInt::operator()(int i) const {
  if (i < 1 || i > dimensions) KelError("%s%s%s()", kelClassVectorInt, kelErrIndex, kelErrOperator);
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
  for (int i = 1, j = dimensions; i < j; ++i, --j) std::swap(buffer[i], buffer[j]);
}

void KelVectorInt::Append(int v) {
  KelVectorInt grown('u', dimensions + 1);
  grown.buffer[0] = 0;
  if (dimensions > 0) std::memcpy(grown.buffer + 1, buffer + 1, sizeof(int) * size_t(dimensions));
  grown.buffer[dimensions + 1] = v;
  std::swap(buffer, grown.buffer);
  std::swap(dimensions, grown.dimensions);
}

int KelVectorInt::RemoveElement(int i) {
  if (i < 1 || i > dimensions) return 0;
  int removed = buffer[i];
  KelVectorInt shrunk('u', dimensions - 1);
  if (shrunk.dimensions > 0) {
    shrunk.buffer[0] = 0;
    std::memcpy(shrunk.buffer + 1, buffer + 1, sizeof(int) * size_t(i - 1));
    std::memcpy(shrunk.buffer + i, buffer + i + 1, sizeof(int) * size_t(dimensions - i));
  }
  std::swap(buffer, shrunk.buffer);
  std::swap(dimensions, shrunk.dimensions);
  return removed;
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
