#include "ols_fit.h"

#include <algorithm>
#include <cctype>

#include "binding_error.h"
#include "library_call.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"
#include "ols_covariance.h"
#include "regression_json.h"
#include "regression_summary.h"

namespace kelmath_python {

namespace {

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::string ProblemCategory(kelmath_cli::RegressionProblem kind) {
  switch (kind) {
    case kelmath_cli::RegressionProblem::kConstantResponse:
    case kelmath_cli::RegressionProblem::kColumnWithoutSpread:
      return "singular";
    case kelmath_cli::RegressionProblem::kSingleCluster:
      return "input";
    case kelmath_cli::RegressionProblem::kBeyondDoubles:
    case kelmath_cli::RegressionProblem::kNone:
      break;
  }
  return "non-finite data";
}

KelCovarianceType CovarianceTypeNamed(const std::string& name) {
  const std::string wanted = Lowercase(name);
  if (wanted == "nonrobust") return KelCovarianceType::kClassical;
  for (const KelCovarianceTypeName& known : kelCovarianceTypes)
    if (wanted == known.name) return known.type;
  std::string names;
  for (const KelCovarianceTypeName& known : kelCovarianceTypes)
    names += std::string(names.empty() ? "" : ", ") + known.name;
  throw BindingError("input", "unknown cov_type '" + name + "': one of " + names);
}

OlsOutcome FitOls(const OlsRequest& request) {
  const std::string tooFew = kelmath_cli::TooFewRows(request.data);
  if (!tooFew.empty()) throw BindingError("dimension", tooFew);
  std::string libraryText;
  std::vector<double> covariance;
  // The library's warnings are caught in libraryText instead of reaching KelFile.txt or
  // standard error.
  kelmath_cli::ComputedResult computed = CallLibrary(libraryText, true, [&] {
    KelLinearRegression regression;
    kelmath_cli::ComputedResult fit = kelmath_cli::ComputeRegression(
        request.data, request.data.intercept, 0.0, 0, request.covariance, false, regression);
    if (fit.Ok()) covariance = CovarianceMatrix(request.data, fit.result, request.covariance);
    return fit;
  });
  if (!computed.Ok()) throw BindingError(ProblemCategory(computed.kind), computed.problem);
  OlsOutcome outcome;
  outcome.result = std::move(computed.result);
  outcome.summary = kelmath_cli::FormatSummary(outcome.result, request.call, request.source);
  outcome.json = kelmath_cli::FormatJson(outcome.result);
  outcome.warnings = kelmath_cli::WarningLines(libraryText);
  outcome.covariance = std::move(covariance);
  return outcome;
}

}  // namespace kelmath_python
