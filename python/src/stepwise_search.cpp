#include "stepwise_search.h"

#include <algorithm>

#include "library_call.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"

namespace kelmath_python {

StepwiseOutcome RunStepwiseSearch(const OlsRequest& request) {
  const std::string tooFew = kelmath_cli::TooFewRows(request.data);
  if (!tooFew.empty()) throw BindingError("dimension", tooFew);
  std::string libraryText;
  StepwiseOutcome outcome;
  outcome.selection = CallLibrary(libraryText, true, [&] {
    KelLinearRegression regression;
    return kelmath_cli::ComputeStepwiseSelection(request.data, regression);
  });
  const std::string& problem = outcome.selection.problem;
  if (!problem.empty()) throw BindingError(ProblemCategory(outcome.selection.kind), problem);
  // A search that reached no size would read as a result with every model missing.
  const auto& models = outcome.selection.models;
  if (std::none_of(models.begin(), models.end(), [](const auto& m) { return m.found; }))
    throw BindingError("singular",
                       "the stepwise search reached no model of any size: a column other than "
                       "the intercept is constant or depends on the others");
  outcome.names = request.data.parameterNames;
  outcome.usedRows = request.data.usedRows;
  outcome.summary =
      kelmath_cli::FormatStepwiseSummary(outcome.selection, request.call, request.source);
  outcome.json = kelmath_cli::FormatStepwiseJson(outcome.selection);
  outcome.warnings = kelmath_cli::WarningLines(libraryText);
  return outcome;
}

}  // namespace kelmath_python
