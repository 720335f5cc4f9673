// Registers kelmath.nls's compiled part (the class _NlsProblem) in the module kelmath._kelmath.
#ifndef KELMATH_PYTHON_NLS_BINDINGS_H
#define KELMATH_PYTHON_NLS_BINDINGS_H

#include <pybind11/pybind11.h>

namespace kelmath_python {

void RegisterNls(pybind11::module_& m);

}  // namespace kelmath_python

#endif
