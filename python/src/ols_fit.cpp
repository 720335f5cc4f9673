#include "ols_fit.h"

#include <algorithm>
#include <cctype>

#include "binding_error.h"
#include "library_call.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"
#include "ols_covariance.h"

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
    case kelmath_cli::RegressionProblem::kDataFile:
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
  // The library's warnings are caught in libraryText instead of reaching KelFile.txt or
  // standard error.
  kelmath_cli::ComputedResult computed = CallLibrary(libraryText, true, [&] {
    KelLinearRegression regression;
    return kelmath_cli::ComputeRegression(request.data, request.data.intercept, 0.0, 0,
                                          request.covariance, false, regression);
  });
  if (!computed.Ok()) throw BindingError(ProblemCategory(computed.kind), computed.problem);
  OlsOutcome outcome;
  outcome.result = std::move(computed.result);
  outcome.call = request.call;
  outcome.source = request.source;
  outcome.warnings = kelmath_cli::WarningLines(libraryText);
  return outcome;
}

std::vector<double> OlsCovariance(const OlsOutcome& outcome) {
  std::string libraryText;  // what the library writes is not this function's result
  return CallLibrary(libraryText, true, [&] {
    return CovarianceMatrix(outcome.data, outcome.result, outcome.result.covariance);
  });
}

}  // namespace kelmath_python
