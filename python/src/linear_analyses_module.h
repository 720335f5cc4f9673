// The bindings of the linear analyses besides the least-squares fit: the least median of
// squares, the stepwise selection, the singular value analysis, the library's reports and the
// verdicts of a fit (kelmath._kelmath._fit_lms, _stepwise, _svd_analysis, _library_reports,
// _linear_verdicts), each taking the arguments kelmath.ols prepares.
#ifndef KELMATH_PYTHON_LINEAR_ANALYSES_MODULE_H
#define KELMATH_PYTHON_LINEAR_ANALYSES_MODULE_H

#include <pybind11/pybind11.h>

namespace kelmath_python {

void RegisterLinearAnalyses(pybind11::module_& m);

}  // namespace kelmath_python

#endif
