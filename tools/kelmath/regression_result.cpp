#include "regression_result.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "foundation/kel_constants.h"
#include "linear_regression/kel_coefficient_inference.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_scaled_least_squares.h"
#include "name_text.h"

namespace kelmath_cli {

namespace {

// A regression that has nothing to explain, found before it runs; constant or zero columns are
// aliased by the fit instead, as R's lm does.
std::string DataProblem(const RegressionData& data, bool intercept) {
  const size_t m = data.response.size();
  for (size_t i = 1; i < m; ++i)
    if (data.response[i] != data.response[0]) return "";
  if (intercept)
    return "the response '" + ShownName(data.responseName) + "' is constant in the rows used";
  return "";
}

// A clustering column needs two groups or more among the rows used.
std::string ClusterProblem(const RegressionData& data) {
  for (size_t k = 0; k < data.clusters.size(); ++k) {
    const std::vector<int>& groups = data.clusters[k];
    if (std::all_of(groups.begin(), groups.end(), [](int g) { return g == 0; }))
      return "the cluster column '" + ShownName(data.clusterNames[k]) +
             "' has a single group in the rows used";
  }
  return "";
}

// R's default quantile (type 7) of the values (not empty), which it reorders: the two order
// statistics it needs are selected, not sorted for, so that it costs O(m) and gives the numbers
// of a sort.
double Quantile(std::vector<double>& values, double p) {
  const double position = p * static_cast<double>(values.size() - 1);
  const size_t low = static_cast<size_t>(std::floor(position));
  const size_t high = std::min(low + 1, values.size() - 1);
  const double fraction = position - static_cast<double>(low);
  const auto lowAt = values.begin() + static_cast<std::ptrdiff_t>(low);
  std::nth_element(values.begin(), lowAt, values.end());
  const double lowValue = *lowAt;
  // Everything after the low order statistic is at least it: the next is their smallest.
  const double highValue = high == low ? lowValue : *std::min_element(lowAt + 1, values.end());
  return lowValue + fraction * (highValue - lowValue);
}

}  // namespace

void FillCoefficients(const std::vector<std::string>& parameterNames,
                      const KelScaledLeastSquaresResult& fit, RegressionResult& result) {
  for (int i = 1; i <= fit.estimates.Size(); ++i) {
    CoefficientRow row;
    row.name = parameterNames[static_cast<size_t>(i) - 1];
    row.estimate = fit.estimates(i);
    row.stdError = fit.standardErrors(i);
    row.tValue = fit.tValues(i);
    row.pValue = fit.pValues(i);
    row.ciLow = fit.ciLow(i);
    row.ciHigh = fit.ciHigh(i);
    row.vif = fit.varianceInflation(i);
    row.aliased = std::isnan(row.estimate);
    result.coefficients.push_back(row);
  }
}

void FillModelStatistics(const KelScaledLeastSquaresResult& fit, RegressionResult& result) {
  result.rank = fit.rank;
  result.exactFit = fit.exactFit;
  result.conditionNumber = fit.conditionNumber;
  result.illConditioned = fit.conditionNumber > kIllConditioned;
  result.sigma = fit.sigma;
  result.residualDof = fit.residualDegreesOfFreedom;
  result.rSquared = fit.rSquared;
  result.adjRSquared = fit.adjustedRSquared;
  result.fStatistic = fit.fStatistic;
  result.fNumeratorDof = fit.fNumeratorDegreesOfFreedom;
  result.fPValue = fit.fPValue;
  result.logLikelihood = fit.logLikelihood;
  result.aic = fit.aic;
  result.bic = fit.bic;
  result.breuschPagan = fit.breuschPagan;
  result.breuschPaganDof = fit.breuschPaganDegreesOfFreedom;
  result.breuschPaganPValue = fit.breuschPaganPValue;
  result.varianceF = fit.varianceF;
  result.varianceFPValue = fit.varianceFPValue;
}

namespace {

void FillObservations(const RegressionData& data, const KelScaledLeastSquaresResult& fit,
                      RegressionResult& result) {
  const int m = fit.fitted.Size();
  const int n = fit.rank;
  std::vector<double> weightedResiduals;
  weightedResiduals.reserve(static_cast<size_t>(m));
  result.observations.reserve(static_cast<size_t>(m));
  for (int i = 1; i <= m; ++i) {
    ObservationRow row;
    row.row = data.usedRows[i - 1];
    // Read through the vectors' storage: the index checks would count at a million rows.
    const size_t at = static_cast<size_t>(i - 1);
    row.fitted = fit.fitted.Data()[at];
    row.residual = fit.residuals.Data()[at];
    row.weightedResidual = fit.weightedResiduals.Data()[at];
    row.leverage = fit.leverages.Data()[at];
    row.cooksDistance = fit.cooksDistances.Data()[at];
    row.studentizedResidual = fit.studentizedResiduals.Data()[at];
    row.standardizedResidual = fit.standardizedResiduals.Data()[at];
    result.observations.push_back(row);
    weightedResiduals.push_back(row.weightedResidual);
    InfluentialRow flags{row.row, i - 1, row.cooksDistance > CookThreshold(m),
                         std::fabs(row.studentizedResidual) > kStudentizedThreshold,
                         row.leverage > LeverageThreshold(n, m)};
    if (flags.cook || flags.studentized || flags.leverage) result.influential.push_back(flags);
  }
  const double probabilities[] = {0.0, 0.25, 0.5, 0.75, 1.0};
  for (int k = 0; k < 5; ++k)
    result.residualQuantiles[k] = Quantile(weightedResiduals, probabilities[k]);
}

}  // namespace

std::string NonFiniteProblem(const RegressionResult& r) {
  const auto bad = [](double v) { return !std::isfinite(v); };
  // A robust covariance may leave a standard error undefined (NaN, said in the summary); an
  // infinity is still an overflow.
  const auto lost = [&](double v) {
    return r.covariance == KelCovarianceType::kClassical ? bad(v) : std::isinf(v);
  };
  for (const CoefficientRow& c : r.coefficients) {
    if (c.aliased) continue;
    if (bad(c.estimate) || lost(c.stdError) || lost(c.ciLow) || lost(c.ciHigh))
      return "the coefficient of '" + c.name + "' or its standard error is beyond the range of " +
             "double precision";
  }
  if (bad(r.conditionNumber))
    return "the condition number of the columns is beyond the range of double precision";
  if (bad(r.sigma)) return "the residual standard error is beyond the range of double precision";
  for (const ObservationRow& o : r.observations)
    if (bad(o.fitted) || bad(o.residual))
      return "the fitted value or residual of row " + std::to_string(o.row) + " of '" + r.response +
             "' is beyond the range of double precision";
  return "";
}

namespace {

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
  const auto rowsOf = [&](const KelVectorInt& experiments) {
    std::vector<int> rows;
    for (int k = 1; k <= experiments.Size(); ++k) rows.push_back(data.usedRows[experiments(k) - 1]);
    return rows;
  };
  robust.highlyProbableRows = rowsOf(regression.RobustHighlyProbableOutliers());
  robust.possibleRows = rowsOf(regression.RobustPossibleOutliers());
  robust.rSquared = regression.RobustR2();
  const KelVector& fitted = regression.RobustEstimatedResponses();
  const KelVector& residuals = regression.RobustResiduals();
  for (int i = 1; i <= fitted.Size(); ++i) {
    robust.fitted.push_back(fitted(i));
    robust.residuals.push_back(residuals(i));
  }
}

// The Wald test that every slope is 0 under the covariance (NaN with the intercept alone).
KelWaldTest SlopesWaldTest(const KelScaledLeastSquaresResult& fit,
                           const KelSandwichCovariance& covariance, bool intercept) {
  std::vector<int> slopes;
  for (int j = intercept ? 2 : 1; j <= fit.estimates.Size(); ++j)
    if (!std::isnan(fit.estimates(j))) slopes.push_back(j);
  if (slopes.empty()) return {NAN, NAN, 0, fit.residualDegreesOfFreedom, false};
  KelMatrix R(static_cast<int>(slopes.size()), fit.estimates.Size());
  for (size_t k = 0; k < slopes.size(); ++k) R(static_cast<int>(k) + 1, slopes[k]) = 1.0;
  return KelWaldFTest(fit.estimates, covariance, R, KelVector(static_cast<int>(slopes.size())),
                      fit.residualDegreesOfFreedom);
}

// The sandwich of the fit; a weighted fit's is that of the rows and residuals multiplied by the
// roots of their weights, as R's sandwich computes it for lm(weights =).
KelSandwichCovariance RobustCovariance(const RegressionData& data, const KelMatrix& F,
                                       const KelScaledLeastSquaresResult& fit,
                                       KelCovarianceType type) {
  if (data.weights.empty()) {
    return type == KelCovarianceType::kCluster
               ? KelClusterRobustCovariance(F, fit, data.clusters)
               : KelHeteroskedasticityConsistentCovariance(F, fit, type);
  }
  KelMatrix rooted = F;
  for (int i = 1; i <= F.Rows(); ++i) {
    const double root = std::sqrt(data.weights[static_cast<size_t>(i) - 1]);
    for (int j = 1; j <= F.Columns(); ++j) rooted(i, j) *= root;
  }
  return type == KelCovarianceType::kCluster
             ? KelClusterRobustCovariance(rooted, fit.weightedResiduals, fit.aliasedColumns,
                                          data.clusters)
             : KelHeteroskedasticityConsistentCovariance(rooted, fit.weightedResiduals,
                                                         fit.aliasedColumns, type);
}

// The sandwich of the fit's type for the data.
void ApplyCovariance(const RegressionData& data, const KelMatrix& F,
                     const KelScaledLeastSquaresResult& fit, KelCovarianceType type,
                     RegressionResult& result) {
  const KelSandwichCovariance sandwich = RobustCovariance(data, F, fit, type);
  result.clusterNames = data.clusterNames;
  for (const int row : sandwich.unitLeverageRows)
    result.unitLeverageRows.push_back(data.usedRows[static_cast<size_t>(row) - 1]);
  ApplySandwich(fit, sandwich, result);
}

}  // namespace

void ApplySandwich(const KelScaledLeastSquaresResult& fit, const KelSandwichCovariance& sandwich,
                   RegressionResult& result) {
  result.covariance = sandwich.type;
  result.clusterGroups = sandwich.clusterGroups;
  if (sandwich.intersectionGroups > 0) result.clusterGroups.push_back(sandwich.intersectionGroups);
  result.covarianceDefined = sandwich.defined;
  const int dof = fit.residualDegreesOfFreedom;
  const KelVector se = KelStandardErrors(sandwich);
  const KelVector t = KelTValues(fit.estimates, se);
  const KelVector p = KelTwoSidedPValues(t, dof);
  const KelMatrix ci = KelConfidenceIntervals(fit.estimates, se, dof, 0.95);
  for (int j = 1; j <= se.Size(); ++j) {
    CoefficientRow& row = result.coefficients[static_cast<size_t>(j) - 1];
    if (row.aliased) continue;
    row.stdError = se(j);
    row.tValue = t(j);
    row.pValue = p(j);
    row.ciLow = ci(j, 1);
    row.ciHigh = ci(j, 2);
  }
  const KelWaldTest wald = SlopesWaldTest(fit, sandwich, result.intercept);
  result.fStatistic = result.exactFit ? NAN : wald.f;
  result.fPValue = result.exactFit ? NAN : wald.pValue;
}

int TrustedDigits(double conditionNumber) {
  const double digits = std::floor(-std::log10(kelMachEps * conditionNumber));
  return digits > 0.0 ? static_cast<int>(digits) : 0;
}

ComputedResult ComputeRegression(const RegressionData& data, bool intercept, double variance,
                                 int varianceDof, KelCovarianceType covariance, bool robust,
                                 KelLinearRegression& regression) {
  ComputedResult computed;
  computed.problem = DataProblem(data, intercept);
  if (!computed.Ok()) {
    computed.kind = RegressionProblem::kConstantResponse;
    return computed;
  }
  if (covariance == KelCovarianceType::kCluster) computed.problem = ClusterProblem(data);
  if (!computed.Ok()) {
    computed.kind = RegressionProblem::kSingleCluster;
    return computed;
  }
  const int m = static_cast<int>(data.response.size());
  const int n = static_cast<int>(data.parameterNames.size());
  KelMatrix F(m, n);
  KelVector y(m);
  // Both hold their values row after row, contiguously.
  std::copy(data.regressors.begin(), data.regressors.end(), F.Data());
  for (int i = 1; i <= m; ++i) y(i) = data.response[i - 1];
  KelScaledLeastSquaresOptions options;
  options.intercept = intercept;
  options.responseVariance = variance;
  options.varianceDegreesOfFreedom = varianceDof;
  options.weights = data.weights;
  const KelScaledLeastSquaresResult fit = KelFitScaledLeastSquares(F, y, options);
  RegressionResult& result = computed.result;
  result.response = data.responseName;
  result.dataRows = data.dataRows;
  result.droppedRows = data.droppedRows;
  result.intercept = intercept;
  result.weightsName = data.weightsName;
  result.varianceAssigned = variance > 0.0;
  result.variance = variance;
  result.varianceDof = varianceDof;
  FillCoefficients(data.parameterNames, fit, result);
  FillModelStatistics(fit, result);
  if (covariance != KelCovarianceType::kClassical)
    ApplyCovariance(data, F, fit, covariance, result);
  FillObservations(data, fit, result);
  computed.problem = NonFiniteProblem(result);
  if (!computed.Ok()) {
    computed.kind = RegressionProblem::kBeyondDoubles;
    return computed;
  }
  if (result.Weighted()) return computed;
  regression.Initialize(std::move(F), std::move(y));
  if (variance > 0.0) regression.SetResponseVariance(variance, varianceDof);
  if (robust) FillRobust(data, regression, result);
  return computed;
}

}  // namespace kelmath_cli
