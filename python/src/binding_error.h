// A problem the bindings report to Python: the text, and the name of the error class it belongs
// to, which the module's exception translator maps to the kelmath.KelMathError hierarchy.
#ifndef KELMATH_PYTHON_BINDING_ERROR_H
#define KELMATH_PYTHON_BINDING_ERROR_H

#include <stdexcept>
#include <string>

namespace kelmath_python {

// The categories of the library's KelErrorCategoryName ("dimension", "singular", ...), plus
// "input" for arguments the bindings refuse before any computation.
class BindingError : public std::runtime_error {
 public:
  BindingError(std::string category, const std::string& text)
      : std::runtime_error(text), category(std::move(category)) {}
  const std::string& Category() const noexcept { return category; }

 private:
  std::string category;
};

}  // namespace kelmath_python

#endif
