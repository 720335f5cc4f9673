#include "lms_fit.h"

#include "library_call.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"
#include "ols_covariance.h"
#include "regression_json.h"
#include "regression_summary.h"
#include "robust_report.h"

namespace kelmath_python {

namespace {

// The least squares of the rows that are not outliers, with what kelmath.ols gives of a fit.
OlsOutcome ReweightedOutcome(const OlsRequest& request, const kelmath_cli::RobustAnalysis& a) {
  OlsOutcome outcome;
  outcome.result = a.reweighted;
  const kelmath_cli::RegressionData inliers =
      kelmath_cli::WithoutRows(request.data, a.fit.robust.outlierObservations);
  std::string libraryText;
  outcome.covariance = CallLibrary(libraryText, true, [&] {
    return CovarianceMatrix(inliers, outcome.result, KelCovarianceType::kClassical);
  });
  outcome.summary = kelmath_cli::FormatSummary(
      outcome.result, request.call + ", reweighted: the rows that are not outliers",
      request.source);
  outcome.json = kelmath_cli::FormatJson(outcome.result);
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
