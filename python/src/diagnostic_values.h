// The values of the kelmath command's diagnostic plots (tools/kelmath/diagnostic_panels.h) as
// Python values, which kelmath/_plots.py draws with matplotlib: the same points, smooth, guides,
// labelled rows and density bins as the command's SVG images.
#ifndef KELMATH_PYTHON_DIAGNOSTIC_VALUES_H
#define KELMATH_PYTHON_DIAGNOSTIC_VALUES_H

#include <pybind11/pybind11.h>

#include "regression_result.h"

namespace kelmath_python {

// One dict per panel, in the command's order. Computes without the GIL, so it is called with
// the GIL held and releases it meanwhile.
pybind11::list DiagnosticPanelValues(const kelmath_cli::RegressionResult& result);

}  // namespace kelmath_python

#endif
