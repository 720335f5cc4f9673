#include "ols_fit.h"

#include <algorithm>
#include <cctype>

#include "binding_error.h"
#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"
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

// The error class of a problem ComputeRegression returns instead of a result. Its three kinds
// are told apart by their texts (regression_result.cpp): a constant response has nothing to
// explain (singular), a clustering with one group is a bad argument, and the rest are results
// beyond the range of doubles.
std::string ProblemCategory(const std::string& problem) {
  if (problem.find("is constant") != std::string::npos) return "singular";
  if (problem.find("single group") != std::string::npos) return "input";
  return "non-finite data";
}

}  // namespace

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
  kelmath_cli::ComputedResult computed;
  try {
    // The library's errors become exceptions, and what it writes (warnings) is caught in
    // libraryText instead of reaching KelFile.txt or standard error.
    KelErrorModeScope throwing(KelErrorMode::Throw);
    KelOutputScope capture(libraryText);
    KelQuietMessages quiet;
    KelLinearRegression regression;
    computed = kelmath_cli::ComputeRegression(request.data, request.data.intercept, 0.0, 0,
                                              request.covariance, false, regression);
  } catch (const KelException& error) {
    throw BindingError(KelErrorCategoryName(error.Category()), error.what());
  }
  if (!computed.Ok()) throw BindingError(ProblemCategory(computed.problem), computed.problem);
  OlsOutcome outcome;
  outcome.result = std::move(computed.result);
  outcome.call = request.call;
  outcome.source = request.source;
  outcome.warnings = kelmath_cli::WarningLines(libraryText);
  return outcome;
}

std::vector<double> OlsCovariance(const OlsOutcome& outcome) {
  try {
    KelErrorModeScope throwing(KelErrorMode::Throw);
    KelOutputScope discard(nullptr);
    return CovarianceMatrix(outcome.data, outcome.result, outcome.result.covariance);
  } catch (const KelException& error) {
    throw BindingError(KelErrorCategoryName(error.Category()), error.what());
  }
}

}  // namespace kelmath_python
