// Abstract base of every printable object, the per-class object numbering and the exception
// through which an objective function abandons a minimization.
#ifndef KELMATH_KEL_BASE_H
#define KELMATH_KEL_BASE_H

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
// an object is the value of createdCount right after its construction.
struct KelObjectCounter {
  int createdCount = 0;
  int aliveCount = 0;
  // Draws the number of a newly constructed object.
  int Draw() {
    ++aliveCount;
    return ++createdCount;
  }
  // Gives back a drawn number when the object takes over another object's number instead.
  void GiveBack() { --createdCount; }
  void Release() { --aliveCount; }
};

#endif
