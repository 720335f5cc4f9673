// One least-squares fit for Python: the command's computation (ComputeRegression) over data the
// bindings hand over as plain values, with the library's errors thrown, its output captured and
// nothing written anywhere. No Python object is touched, so it runs without the GIL.
#ifndef KELMATH_PYTHON_OLS_FIT_H
#define KELMATH_PYTHON_OLS_FIT_H

#include <string>
#include <vector>

#include "linear_regression/kel_sandwich_covariance.h"
#include "regression_data.h"
#include "regression_result.h"

namespace kelmath_python {

struct OlsRequest {
  kelmath_cli::RegressionData
      data;  // the intercept's column (of ones) included when data.intercept
  KelCovarianceType covariance = KelCovarianceType::kClassical;
  std::string call;    // the "Call:" line of the summary
  std::string source;  // what the summary names as the data
};

// The fit's values; its summary and JSON texts are made from them only when asked (FormatSummary
// and FormatJson of the command), as they cost more than the fit's conversion on many rows.
struct OlsOutcome {
  kelmath_cli::RegressionResult result;
  std::string call;  // the request's, for the summary
  std::string source;
  std::vector<std::string> warnings;  // the library's warnings as sentences, each once
  // The data fitted (set by the caller after the fit), from which the covariance of the
  // estimates is made when asked: it takes a second factorization that few callers need.
  kelmath_cli::RegressionData data;
};

// The covariance type named as statsmodels names it ("nonrobust" and "classical", "HC0".."HC5",
// "HC4m", "cluster"; case ignored); throws BindingError("input") for any other name.
KelCovarianceType CovarianceTypeNamed(const std::string& name);

// The error class of a problem ComputeRegression returns instead of a result: a constant
// response, or a column without spread, has nothing to explain (singular), a clustering with
// one group is a bad argument, and a result beyond the range of doubles is non-finite data.
std::string ProblemCategory(kelmath_cli::RegressionProblem kind);

// Fits the request; throws BindingError for every problem (too few rows, a constant response,
// a library error), with the library's text.
OlsOutcome FitOls(const OlsRequest& request);

// The covariance of the estimates under the fit's covariance type (cov_params), n x n row after
// row; outcome.data holds the data fitted. Throws BindingError for a library error.
std::vector<double> OlsCovariance(const OlsOutcome& outcome);

}  // namespace kelmath_python

#endif
