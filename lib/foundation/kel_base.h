// Abstract base of every printable object, the per-class object numbering and the exception
// through which an objective function abandons a minimization.
#ifndef KELMATH_KEL_BASE_H
#define KELMATH_KEL_BASE_H

#include <atomic>
#include <type_traits>

class KelBase {
 public:
  virtual ~KelBase() = default;
  // Writes the object's body to the output channel.
  virtual void PrintObject() = 0;
  // Writes a newline and the printf-style title, then the object.
  void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// Thrown only by caller-supplied code (an objective function); the robust minimizer marks
// itself stopped and passes it on to its owner.
class KelExceptionHandling {};

// Class-wide numbering: each class owns one of these as a static member. The serial number of
// an object is the value of createdCount right after its construction. The counts are atomic so
// that objects built on several threads at once each draw a distinct number; when one thread
// works alone its objects are numbered as in a single-threaded program. Relaxed order: the counts
// publish no data, and an ordered read-modify-write would make every object construction a
// synchronization point between threads, hiding from ThreadSanitizer the races it must find.
struct KelObjectCounter {
  std::atomic<int> createdCount{0};
  std::atomic<int> aliveCount{0};
  // Draws the number of a newly constructed object.
  int Draw() {
    CountAlive();
    return createdCount.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  // Counts an object that takes over another's number (a move) as alive.
  void CountAlive() { aliveCount.fetch_add(1, std::memory_order_relaxed); }
  // Gives back a drawn number when the object takes over another object's number instead.
  void GiveBack() { createdCount.fetch_sub(1, std::memory_order_relaxed); }
  void Release() { aliveCount.fetch_sub(1, std::memory_order_relaxed); }
};

namespace kel_detail {
// Types accepted in the value lists of the vector and matrix constructors: floating-point
// values that convert to double exactly. Integers are refused, so that a list written as
// (3, 1, 2, 3) does not compile instead of being read as something else.
template <typename T>
inline constexpr bool IsListValue = std::is_same_v<T, double> || std::is_same_v<T, float>;
}  // namespace kel_detail

#endif
