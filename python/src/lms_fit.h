// The least-median-of-squares fit for Python: the analysis of kelmath robust (the library's exact
// search, the outliers by data row, the reweighted least squares) over the rows of a request,
// with the command's summary and JSON. Runs without the GIL.
#ifndef KELMATH_PYTHON_LMS_FIT_H
#define KELMATH_PYTHON_LMS_FIT_H

#include <memory>
#include <string>
#include <vector>

#include "ols_fit.h"
#include "robust_analysis.h"

namespace kelmath_python {

struct LmsOutcome {
  kelmath_cli::RobustAnalysis analysis;
  std::string summary;
  std::string json;
  std::vector<std::string> warnings;
  // The reweighted least squares as an ols fit (when analysis.HasReweighted()).
  std::shared_ptr<OlsOutcome> reweighted;
};

// Throws BindingError for every problem (too few rows, a constant response, a library error).
LmsOutcome FitLms(const OlsRequest& request);

}  // namespace kelmath_python

#endif
