#include "prediction.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "linear_regression/kel_scaled_least_squares.h"
#include "statistics/kel_distributions.h"

namespace kelmath_cli {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

KelScaledLeastSquaresResult Fit(const RegressionData& data) {
  const int m = static_cast<int>(data.response.size());
  const int n = static_cast<int>(data.parameterNames.size());
  KelMatrix F(m, n);
  KelVector y(m);
  std::copy(data.regressors.begin(), data.regressors.end(), F.Data());
  for (int i = 1; i <= m; ++i) y(i) = data.response[static_cast<size_t>(i) - 1];
  KelScaledLeastSquaresOptions options;
  options.intercept = data.intercept;
  options.weights = data.weights;
  return KelFitScaledLeastSquares(F, y, options);
}

}  // namespace

Predictions Predict(const RegressionData& data, const NewRows& rows,
                    const std::vector<double>& newWeights, IntervalKind interval, double level) {
  Predictions predictions;
  const KelScaledLeastSquaresResult fit = Fit(data);
  predictions.rankDeficient = !fit.aliasedColumns.empty();
  predictions.unitPredictionWeights =
      interval == IntervalKind::kPrediction && !data.weights.empty() && newWeights.empty();
  if (!std::isfinite(fit.sigma)) {
    predictions.problem = "the residual standard error is beyond the range of double precision";
    return predictions;
  }
  const double quantile =
      interval == IntervalKind::kNone
          ? kNaN
          : KelTStudentQuantile((1.0 - level) / 2.0, fit.residualDegreesOfFreedom);
  const size_t n = data.parameterNames.size();
  std::vector<double> x(n);
  for (size_t i = 0; i < rows.complete.size(); ++i) {
    PredictedRow row{kNaN, kNaN, kNaN};
    if (rows.complete[i]) {
      std::copy_n(rows.regressors.begin() + static_cast<std::ptrdiff_t>(i * n), n, x.begin());
      const KelScaledPrediction p = KelPredictScaled(fit, x);
      row.fit = p.fit;
      // A new observation varies about the mean by sigma^2 over its weight.
      const double weight = newWeights.empty() ? 1.0 : newWeights[i];
      const double spread = interval == IntervalKind::kPrediction
                                ? std::hypot(p.standardError, fit.sigma / std::sqrt(weight))
                                : p.standardError;
      if (interval != IntervalKind::kNone) {
        row.lower = p.fit - quantile * spread;
        row.upper = p.fit + quantile * spread;
      }
      if (!std::isfinite(row.fit) || std::isinf(row.lower) || std::isinf(row.upper)) {
        predictions.problem = "the prediction for new row " + std::to_string(i + 1) +
                              " is beyond the range of double precision";
        return predictions;
      }
    }
    predictions.rows.push_back(row);
  }
  return predictions;
}

}  // namespace kelmath_cli
