// Storage blocks of the containers: allocation with the library's fatal "No room in heap", and
// the 1-based blocks of the dense vectors (element 0 allocated and never used).
#ifndef KELMATH_KEL_STORAGE_H
#define KELMATH_KEL_STORAGE_H

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace kel_storage {

// Largest element count a container may hold: sizes are int throughout the interface, so a
// block whose count does not fit an int is refused like a failed allocation.
inline constexpr long long kMaxElements = 2147483647LL;

// Allocates count elements (cleared when asked); a count that does not fit or a failed
// allocation is fatal with the class text and "%s%s%s<operation>".
template <typename T>
T* Allocate(long long count, bool clear, const char* classText, const char* fatalFormat) {
  if (count < 0 || count > kMaxElements ||
      static_cast<unsigned long long>(count) > static_cast<size_t>(-1) / sizeof(T))
    KelError(fatalFormat, classText, kelErrSpace, kelErrFunction);
  T* block = clear ? new (std::nothrow) T[static_cast<size_t>(count)]()
                   : new (std::nothrow) T[static_cast<size_t>(count)];
  if (block == nullptr) KelError(fatalFormat, classText, kelErrSpace, kelErrFunction);
  return block;
}

// A dense vector's block: buffer[1..dimensions], buffer null exactly when dimensions is 0.
// The functions keep that invariant; the owning class keeps its serial number throughout.

// Gives the block n elements (n <= 0: none); contents are lost, and the new block is cleared
// unless clear is false. A block of the right size is only cleared (when asked).
template <typename T>
void ResizeBlock(T*& buffer, int& dimensions, int n, bool clear, const char* classText) {
  if (n < 0) n = 0;
  if (n == dimensions) {
    if (clear && n > 0) std::memset(buffer, 0, sizeof(T) * (size_t(n) + 1));
    return;
  }
  delete[] buffer;
  buffer = nullptr;
  dimensions = 0;
  if (n == 0) return;
  buffer = Allocate<T>(static_cast<long long>(n) + 1, clear, classText, "%s%s%sInitialize");
  dimensions = n;
}

// Makes the block an exact copy of source's n elements (element 0 included).
template <typename T>
void CopyBlock(T*& buffer, int& dimensions, const T* source, int n, const char* classText) {
  ResizeBlock(buffer, dimensions, n, false, classText);
  if (n > 0) std::memcpy(buffer, source, sizeof(T) * (size_t(n) + 1));
}

// Sets every element to value; 0 is a block fill.
template <typename T>
void FillBlock(T* buffer, int dimensions, T value) {
  if (dimensions == 0) return;
  if (value == T(0)) {
    std::memset(buffer + 1, 0, sizeof(T) * size_t(dimensions));
  } else {
    for (int i = 1; i <= dimensions; ++i) buffer[i] = value;
  }
}

// Grows the block by one element holding value (new block, copy, exchange).
template <typename T>
void AppendToBlock(T*& buffer, int& dimensions, T value, const char* classText) {
  T* grown =
      Allocate<T>(static_cast<long long>(dimensions) + 2, false, classText, "%s%s%sInitialize");
  grown[0] = T(0);
  if (dimensions > 0) std::memcpy(grown + 1, buffer + 1, sizeof(T) * size_t(dimensions));
  grown[dimensions + 1] = value;
  delete[] buffer;
  buffer = grown;
  ++dimensions;
}

// Removes element i and returns it; i outside 1..dimensions returns 0 and changes nothing.
template <typename T>
T RemoveFromBlock(T*& buffer, int& dimensions, int i, const char* classText) {
  if (i < 1 || i > dimensions) return T(0);
  const T removed = buffer[i];
  T* shrunk = nullptr;
  if (dimensions > 1) {
    shrunk = Allocate<T>(dimensions, false, classText, "%s%s%sInitialize");
    shrunk[0] = T(0);
    std::memcpy(shrunk + 1, buffer + 1, sizeof(T) * size_t(i - 1));
    std::memcpy(shrunk + i, buffer + i + 1, sizeof(T) * size_t(dimensions - i));
  }
  delete[] buffer;
  buffer = shrunk;
  --dimensions;
  return removed;
}

template <typename T>
void ReverseBlock(T* buffer, int dimensions) {
  for (int i = 1, j = dimensions; i < j; ++i, --j) std::swap(buffer[i], buffer[j]);
}

}  // namespace kel_storage

#endif
