#include "lms_fit.h"

#include "library_call.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"
#include "robust_report.h"

namespace kelmath_python {

namespace {

// The least squares of the rows that are not outliers, with what kelmath.ols gives of a fit (its
// covariance, summary and JSON made from the rows kept when asked).
std::shared_ptr<OlsOutcome> ReweightedOutcome(const OlsRequest& request,
                                              const kelmath_cli::RobustAnalysis& a) {
  auto outcome = std::make_shared<OlsOutcome>();
  outcome->result = a.reweighted;
  outcome->data = kelmath_cli::WithoutRows(request.data, a.fit.robust.outlierObservations);
  outcome->call = request.call + ", reweighted: the rows that are not outliers";
  outcome->source = request.source;
  return outcome;
}

}  // namespace

LmsOutcome FitLms(const OlsRequest& request) {
  const std::string tooFew = kelmath_cli::TooFewRows(request.data);
  if (!tooFew.empty()) throw BindingError("dimension", tooFew);
  std::string libraryText;
  kelmath_cli::ComputedRobust computed = CallLibrary(libraryText, true, [&] {
    KelLinearRegression regression;
    return kelmath_cli::ComputeRobustAnalysis(request.data, regression);
  });
  if (!computed.Ok()) throw BindingError(ProblemCategory(computed.kind), computed.problem);
  LmsOutcome outcome;
  outcome.analysis = std::move(computed.analysis);
  // Beyond ten outliers the summary points to where the others are: the result's list.
  outcome.summary = kelmath_cli::FormatRobustSummary(outcome.analysis, request.call, request.source,
                                                     "LMSResults.outliers");
  outcome.json = kelmath_cli::FormatRobustJson(outcome.analysis);
  outcome.warnings = kelmath_cli::WarningLines(libraryText);
  if (outcome.analysis.HasReweighted())
    outcome.reweighted = ReweightedOutcome(request, outcome.analysis);
  return outcome;
}

}  // namespace kelmath_python
