// kelmath._kelmath._fit_ols_seconds: the library's own time for the work of one kelmath.ols call
// (the fit with its influence measures and covariance, and the summary text) on a request built
// once, measured in C++ with no Python in the loop. Only bench/python/bench_ols.py uses it, to
// set the time of the Python call beside that of the C++ work it wraps.
#ifndef KELMATH_PYTHON_OLS_TIMING_H
#define KELMATH_PYTHON_OLS_TIMING_H

#include <pybind11/pybind11.h>

namespace kelmath_python {

void RegisterOlsTiming(pybind11::module_& m);

}  // namespace kelmath_python

#endif
