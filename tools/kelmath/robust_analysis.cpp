#include "robust_analysis.h"

#include <utility>

#include "linear_regression/kel_linear_regression.h"

namespace kelmath_cli {

RegressionData WithoutRows(const RegressionData& data, const std::vector<int>& positions) {
  RegressionData kept;
  kept.responseName = data.responseName;
  kept.parameterNames = data.parameterNames;
  kept.intercept = data.intercept;
  kept.dataRows = data.dataRows;
  kept.droppedRows = data.droppedRows;
  const size_t n = data.parameterNames.size();
  size_t next = 0;
  for (size_t i = 0; i < data.usedRows.size(); ++i) {
    if (next < positions.size() && static_cast<size_t>(positions[next]) == i) {
      ++next;
      continue;
    }
    kept.usedRows.push_back(data.usedRows[i]);
    kept.response.push_back(data.response[i]);
    const std::span<const double> row = data.Regressors(i);
    kept.regressors.insert(kept.regressors.end(), row.begin(), row.begin() + static_cast<long>(n));
  }
  return kept;
}

ComputedRobust ComputeRobustAnalysis(const RegressionData& data, KelLinearRegression& regression) {
  ComputedRobust computed;
  ComputedResult fit = ComputeRegression(data, data.intercept, 0.0, 0,
                                         KelCovarianceType::kClassical, true, regression);
  if (!fit.Ok()) {
    computed.problem = fit.problem;
    computed.kind = fit.kind;
    return computed;
  }
  RobustAnalysis& analysis = computed.analysis;
  analysis.fit = std::move(fit.result);
  const RegressionData inliers = WithoutRows(data, analysis.fit.robust.outlierObservations);
  const size_t needed = data.parameterNames.size() + 1;
  if (inliers.usedRows.size() < needed) {
    analysis.reweightedProblem = "only " + std::to_string(inliers.usedRows.size()) +
                                 " rows are not outliers, and a model with " +
                                 std::to_string(needed - 1) + " parameters needs at least " +
                                 std::to_string(needed);
    return computed;
  }
  // Its own regression object: the one given keeps the data of every row for the report.
  KelLinearRegression reweighting;
  ComputedResult reweighted = ComputeRegression(inliers, inliers.intercept, 0.0, 0,
                                                KelCovarianceType::kClassical, false, reweighting);
  if (!reweighted.Ok())
    analysis.reweightedProblem = reweighted.problem;
  else
    analysis.reweighted = std::move(reweighted.result);
  return computed;
}

}  // namespace kelmath_cli
