// Allocation of the containers' storage blocks with the library's fatal "No room in heap".
#ifndef KELMATH_KEL_STORAGE_H
#define KELMATH_KEL_STORAGE_H

#include <cstddef>
#include <new>

#include "kel_errors.h"
#include "kel_output.h"

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

}  // namespace kel_storage

#endif
