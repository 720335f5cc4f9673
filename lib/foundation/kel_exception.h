// What a violated precondition does: end the process (the default) or throw KelException, chosen
// per thread, so that a program embedding the library can catch an error and go on.
#ifndef KELMATH_KEL_EXCEPTION_H
#define KELMATH_KEL_EXCEPTION_H

#include <stdexcept>
#include <string>

// Exit: KelError writes its text to standard error and the output channel, closes the channel
// and ends the process with exit status 1. Throw: KelError throws KelException with the same
// text and writes nothing anywhere.
enum class KelErrorMode { Exit, Throw };

// The kind of violated precondition, read from the error's text.
enum class KelErrorCategory {
  Dimension,       // operands of incompatible sizes, too few experiments, a bad sub-range
  Index,           // an element, row or column index outside its range
  Singular,        // a singular or degenerate system (zero pivot, no variation in the data)
  NotFactorized,   // a factorization used after its matrix was destroyed
  FileOpen,        // a file could not be opened
  FileRead,        // a data file could not be read or holds a bad item
  FileWrite,       // a write to a file failed
  FileClose,       // a file could not be closed
  NonFiniteData,   // a NaN or infinite value in the data
  OutOfMemory,     // an allocation failed
  NotImplemented,  // an operation a class declares but does not provide
  Domain,          // an argument outside a function's domain (negative, zero, out of (0, 1))
  Other            // any other violated precondition
};

// A violated precondition in throw mode. what() is the text the fatal path writes after
// "\nFatal Error!!\n" (class text, message, kind and operation name run together).
class KelException : public std::runtime_error {
 public:
  KelException(const std::string& text, KelErrorCategory category, std::string classText);
  KelErrorCategory Category() const noexcept { return category; }
  // The first line of the text when it names a class ("KelVector class"), otherwise "".
  const std::string& ClassText() const noexcept { return classText; }

 private:
  KelErrorCategory category;
  std::string classText;
};

// The error mode of the calling thread; a new thread starts with the mode of the main thread.
void KelSetErrorMode(KelErrorMode mode);
KelErrorMode KelGetErrorMode();

// Sets the calling thread's error mode for its lifetime and puts the previous one back on every
// way out, an exception included.
class KelErrorModeScope {
 public:
  explicit KelErrorModeScope(KelErrorMode mode) : saved(KelGetErrorMode()) {
    KelSetErrorMode(mode);
  }
  ~KelErrorModeScope() { KelSetErrorMode(saved); }
  KelErrorModeScope(const KelErrorModeScope&) = delete;
  KelErrorModeScope& operator=(const KelErrorModeScope&) = delete;

 private:
  KelErrorMode saved;
};

// The category of an error text and the short name of a category ("dimension", "index", ...).
KelErrorCategory KelClassifyError(const std::string& text);
// The exception KelError throws for a formatted text: its category and class text read from it.
KelException KelMakeException(const std::string& text);
const char* KelErrorCategoryName(KelErrorCategory category);

#endif
