// The covariance matrix of a fit's estimates, which the command's result does not keep (it keeps
// the standard errors): computed again by the library's sandwich functions from the data, the
// residuals and the aliased columns of the result, for OLSResults.cov_params().
#ifndef KELMATH_PYTHON_OLS_COVARIANCE_H
#define KELMATH_PYTHON_OLS_COVARIANCE_H

#include <vector>

#include "linear_regression/kel_sandwich_covariance.h"
#include "regression_data.h"
#include "regression_result.h"

namespace kelmath_python {

// n x n, row after row, over the parameters of the data (NaN rows and columns for aliased ones;
// NaN throughout where the type is undefined, as the standard errors are). Unweighted data only.
std::vector<double> CovarianceMatrix(const kelmath_cli::RegressionData& data,
                                     const kelmath_cli::RegressionResult& result,
                                     KelCovarianceType type);

}  // namespace kelmath_python

#endif
