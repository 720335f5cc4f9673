// One call into the library or the command's computations for Python: the library's errors
// thrown (and translated to BindingError with their category), its output (warnings included)
// appended to a string instead of reaching KelFile.txt or standard error. Nothing here touches a
// Python object, so a call runs without the GIL.
#ifndef KELMATH_PYTHON_LIBRARY_CALL_H
#define KELMATH_PYTHON_LIBRARY_CALL_H

#include <string>

#include "binding_error.h"
#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"

namespace kelmath_python {

// Sends the calling thread's warnings to its output channel only (kelWarningMode 0), not to
// standard error, for its lifetime.
class WarningsToChannel {
 public:
  WarningsToChannel() noexcept : saved(kelWarningMode.load()) { kelWarningMode = 0; }
  ~WarningsToChannel() { kelWarningMode = saved; }
  WarningsToChannel(const WarningsToChannel&) = delete;
  WarningsToChannel& operator=(const WarningsToChannel&) = delete;

 private:
  signed char saved;
};

// Returns what compute() returns; the library's notes are silenced when quiet (a computation),
// kept when the text is a report the user asked for.
template <typename Compute>
auto CallLibrary(std::string& libraryText, bool quiet, Compute compute) -> decltype(compute()) {
  try {
    KelErrorModeScope throwing(KelErrorMode::Throw);
    KelOutputScope capture(libraryText);
    WarningsToChannel warnings;
    KelQuietMessages silence(quiet);
    return compute();
  } catch (const KelException& error) {
    throw BindingError(KelErrorCategoryName(error.Category()), error.what());
  }
}

}  // namespace kelmath_python

#endif
