// The conversions between Python values and the plain values of a fit: the request built from
// NumPy arrays (copied once into the layout the library reads) and the result as a dict of NumPy
// arrays and numbers, which kelmath/_results.py wraps. Called with the GIL held.
#ifndef KELMATH_PYTHON_OLS_CONVERSION_H
#define KELMATH_PYTHON_OLS_CONVERSION_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <vector>

#include "ols_fit.h"

namespace kelmath_python {

// What the Python layer prepared: every row (NaN where a value is missing), the columns without
// the intercept's, groups as integer codes (m x 1 or m x 2; -1 where missing) or None.
struct OlsArguments {
  pybind11::array_t<double, pybind11::array::c_style | pybind11::array::forcecast> x, y;
  std::vector<std::string> names;
  std::string response;
  bool intercept = true;
  std::string covType;
  pybind11::object groups = pybind11::none();
  std::vector<std::string> groupNames;
  std::string call, source;
};

// The request over the complete rows (a row with a NaN or a missing group is dropped, numbered
// from 1 in the request's droppedRows). Throws BindingError when the shapes disagree or a value
// is infinite.
OlsRequest MakeOlsRequest(const OlsArguments& arguments);

// The values under their Python names, and the outcome itself as "fit" (an _OlsFit: its summary,
// JSON and plots are made from it when asked).
pybind11::dict ResultDict(const std::shared_ptr<OlsOutcome>& outcome);

}  // namespace kelmath_python

#endif
