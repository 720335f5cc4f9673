#include "ols_covariance.h"

#include <algorithm>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"

namespace kelmath_python {

std::vector<double> CovarianceMatrix(const kelmath_cli::RegressionData& data,
                                     const kelmath_cli::RegressionResult& result,
                                     KelCovarianceType type) {
  const int m = result.RowsUsed();
  const int n = static_cast<int>(data.parameterNames.size());
  KelMatrix F(m, n);
  std::copy(data.regressors.begin(), data.regressors.end(), F.Data());
  KelVector residuals(m);
  for (int i = 1; i <= m; ++i) residuals(i) = result.observations[i - 1].residual;
  std::vector<int> aliased;
  for (int j = 1; j <= n; ++j)
    if (result.coefficients[j - 1].aliased) aliased.push_back(j);
  const KelSandwichCovariance sandwich =
      type == KelCovarianceType::kCluster
          ? KelClusterRobustCovariance(F, residuals, aliased, data.clusters)
          : KelHeteroskedasticityConsistentCovariance(F, residuals, aliased, type);
  std::vector<double> matrix;
  matrix.reserve(static_cast<size_t>(n) * n);
  for (int j = 1; j <= n; ++j)
    for (int k = 1; k <= n; ++k) matrix.push_back(sandwich.covariance(j, k));
  return matrix;
}

}  // namespace kelmath_python
