// kelmath._kelmath._OlsFit: one fit's outcome kept for the texts and plots made from it on
// demand (summary, JSON, the diagnostic plots' values), held by the Python results object.
#ifndef KELMATH_PYTHON_OLS_FIT_OBJECT_H
#define KELMATH_PYTHON_OLS_FIT_OBJECT_H

#include <pybind11/pybind11.h>

namespace kelmath_python {

void RegisterOlsFit(pybind11::module_& m);

}  // namespace kelmath_python

#endif
