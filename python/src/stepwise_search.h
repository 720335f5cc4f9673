// The best model of every size for Python: the stepwise selection of kelmath stepwise (the
// library's search) over the rows of a request, with the command's summary and JSON. Runs
// without the GIL.
#ifndef KELMATH_PYTHON_STEPWISE_SEARCH_H
#define KELMATH_PYTHON_STEPWISE_SEARCH_H

#include <string>
#include <vector>

#include "ols_fit.h"
#include "stepwise_report.h"

namespace kelmath_python {

struct StepwiseOutcome {
  kelmath_cli::StepwiseSelection selection;
  std::vector<std::string> names;  // of the parameters, the intercept's first
  std::vector<int> usedRows;
  std::string summary;
  std::string json;
  std::vector<std::string> warnings;
};

// Throws BindingError for every problem: too few rows, a constant response, a column without
// spread (singular), a library error.
StepwiseOutcome RunStepwiseSearch(const OlsRequest& request);

}  // namespace kelmath_python

#endif
