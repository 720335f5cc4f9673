#include "regression_result.h"

#include <algorithm>
#include <cmath>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "foundation/kel_constants.h"
#include "linear_regression/kel_linear_regression.h"
#include "name_text.h"

namespace kelmath_cli {

namespace {

// A regression the library would refuse or could not identify, found before it runs.
std::string DataProblem(const RegressionData& data, bool intercept) {
  const size_t n = data.parameterNames.size();
  const size_t m = data.response.size();
  const auto constant = [&](auto value) {
    for (size_t i = 1; i < m; ++i)
      if (value(i) != value(0)) return false;
    return true;
  };
  if (intercept && constant([&](size_t i) { return data.response[i]; }))
    return "the response '" + ShownName(data.responseName) + "' is constant in the rows used";
  for (size_t j = intercept ? 1 : 0; j < n; ++j) {
    const auto value = [&](size_t i) { return data.regressors[i * n + j]; };
    if (intercept && constant(value))
      return "column '" + ShownName(data.parameterNames[j]) +
             "' is constant in the rows used, like the intercept";
    if (constant(value) && value(0) == 0.0)
      return "column '" + ShownName(data.parameterNames[j]) + "' is zero in every row used";
  }
  return "";
}

// R's default quantile (type 7) of sorted values.
double Quantile(const std::vector<double>& sorted, double p) {
  const double position = p * static_cast<double>(sorted.size() - 1);
  const size_t low = static_cast<size_t>(std::floor(position));
  const size_t high = std::min(low + 1, sorted.size() - 1);
  const double fraction = position - static_cast<double>(low);
  return sorted[low] + fraction * (sorted[high] - sorted[low]);
}

void FillCoefficients(const RegressionData& data, KelLinearRegression& regression,
                      RegressionResult& result) {
  const KelVector& b = regression.Parameters();
  const KelVector& se = regression.ParameterStandardErrors();
  const KelVector t = regression.ParameterTValues();
  const KelVector p = regression.ParameterPValues();
  const KelMatrix ci = regression.ConfidenceIntervals(0.95);
  const KelVector vif = regression.CenteredVarianceInflationFactors();
  for (int i = 1; i <= b.Size(); ++i) {
    CoefficientRow row;
    row.name = data.parameterNames[i - 1];
    row.estimate = b(i);
    row.stdError = se(i);
    row.tValue = t(i);
    row.pValue = p(i);
    row.ciLow = ci(i, 1);
    row.ciHigh = ci(i, 2);
    row.vif = result.intercept && i == 1 ? std::nan("") : vif(i);
    result.coefficients.push_back(row);
  }
}

void FillModelStatistics(KelLinearRegression& regression, RegressionResult& result) {
  result.sigma = regression.StandardDeviation();
  result.residualDof = regression.DegreesOfFreedom();
  result.rSquared = regression.R2();
  result.adjRSquared = regression.AdjustedR2();
  result.fStatistic = regression.FStatistic();
  result.fNumeratorDof = regression.NumberOfParameters() - (result.intercept ? 1 : 0);
  result.fPValue = regression.FStatisticPValue();
  result.logLikelihood = regression.LogLikelihood();
  result.aic = regression.AIC();
  result.bic = regression.BIC();
  result.breuschPagan = regression.BreuschPaganStatistic();
  result.breuschPaganDof = regression.NumberOfParameters() - 1;
  result.breuschPaganPValue = regression.BreuschPaganPValue();
}

void FillObservations(const RegressionData& data, KelLinearRegression& regression,
                      RegressionResult& result) {
  const KelVector& fitted = regression.EstimatedResponses();
  const KelVector& residuals = regression.Residuals();
  const KelVector& leverages = regression.Leverages();
  const KelVector cook = regression.CooksDistances();
  const KelVector studentized = regression.StudentizedResiduals();
  const double s = regression.StandardDeviation();
  const int m = fitted.Size();
  const int n = regression.NumberOfParameters();
  std::vector<double> sorted;
  for (int i = 1; i <= m; ++i) {
    ObservationRow row;
    row.row = data.usedRows[i - 1];
    row.fitted = fitted(i);
    row.residual = residuals(i);
    row.leverage = leverages(i);
    row.cooksDistance = cook(i);
    row.studentizedResidual = studentized(i);
    const double complement = 1.0 - leverages(i);
    row.standardizedResidual =
        complement > 10.0 * kelMachEps ? residuals(i) / (s * std::sqrt(complement)) : std::nan("");
    result.observations.push_back(row);
    sorted.push_back(residuals(i));
    InfluentialRow flags{row.row, i - 1, row.cooksDistance > 4.0 / m,
                         std::fabs(row.studentizedResidual) > 3.0, row.leverage > 2.0 * n / m};
    if (flags.cook || flags.studentized || flags.leverage) result.influential.push_back(flags);
  }
  std::sort(sorted.begin(), sorted.end());
  const double probabilities[] = {0.0, 0.25, 0.5, 0.75, 1.0};
  for (int k = 0; k < 5; ++k) result.residualQuantiles[k] = Quantile(sorted, probabilities[k]);
}

void FillRobust(const RegressionData& data, KelLinearRegression& regression,
                RegressionResult& result) {
  result.hasRobust = true;
  RobustResult& robust = result.robust;
  robust.leastMedianOfSquares = regression.LeastMedianOfSquares();
  robust.scale = regression.RobustScale();
  const KelVector& b = regression.RobustParameters();
  for (int i = 1; i <= b.Size(); ++i) robust.coefficients.push_back(b(i));
  const KelVector& normalized = regression.NormalizedRobustResiduals();
  for (int i = 1; i <= normalized.Size(); ++i) robust.normalizedResiduals.push_back(normalized(i));
  const KelVectorInt& outliers = regression.RobustOutliers();
  for (int k = 1; k <= outliers.Size(); ++k) {
    robust.outlierRows.push_back(data.usedRows[outliers(k) - 1]);
    robust.outlierObservations.push_back(outliers(k) - 1);
  }
}

}  // namespace

ComputedResult ComputeRegression(const RegressionData& data, bool intercept, double variance,
                                 int varianceDof, bool robust, KelLinearRegression& regression) {
  ComputedResult computed;
  computed.problem = DataProblem(data, intercept);
  if (!computed.Ok()) return computed;
  const int m = static_cast<int>(data.response.size());
  const int n = static_cast<int>(data.parameterNames.size());
  KelMatrix F(m, n);
  KelVector y(m);
  // Both hold their values row after row, contiguously.
  std::copy(data.regressors.begin(), data.regressors.end(), F.Data());
  for (int i = 1; i <= m; ++i) y(i) = data.response[i - 1];
  regression.Initialize(std::move(F), std::move(y));
  if (variance > 0.0) regression.SetResponseVariance(variance, varianceDof);
  // Columns dependent up to rounding: the usual numerical rank rule for the singular values.
  if (regression.ConditionNumber() >= 1.0 / (std::max(m, n) * kelMachEps)) {
    computed.problem = "the columns are linearly dependent in the rows used (condition number " +
                       std::to_string(regression.ConditionNumber()) + ")";
    return computed;
  }
  RegressionResult& result = computed.result;
  result.response = data.responseName;
  result.dataRows = data.dataRows;
  result.droppedRows = data.droppedRows;
  result.intercept = intercept;
  result.varianceAssigned = variance > 0.0;
  result.variance = variance;
  result.varianceDof = varianceDof;
  if (result.varianceAssigned) {
    result.varianceF = regression.FExperimental();
    result.varianceFPValue = regression.FTestProbability();
  }
  FillCoefficients(data, regression, result);
  FillModelStatistics(regression, result);
  FillObservations(data, regression, result);
  if (robust) FillRobust(data, regression, result);
  return computed;
}

}  // namespace kelmath_cli
