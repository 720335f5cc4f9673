#include "nls_analysis.h"

#include <cmath>
#include <utility>

#include "containers/kel_matrix.h"
#include "linear_regression/kel_coefficient_inference.h"
#include "name_text.h"
#include "nonlinear/kel_nonlinear_thresholds.h"
#include "regression_summary.h"

namespace kelmath_cli {

namespace {

KelVector VectorOf(const std::vector<double>& values) {
  KelVector v(static_cast<int>(values.size()));
  for (size_t k = 0; k < values.size(); ++k) v(static_cast<int>(k) + 1) = values[k];
  return v;
}

KelVector RowOf(const NlsData& data, size_t row) {
  KelVector x(static_cast<int>(data.columns));
  for (size_t k = 0; k < data.columns; ++k)
    x(static_cast<int>(k) + 1) = data.x[row * data.columns + k];
  return x;
}

// The weights or variances of the data, as the library takes them.
void SetWeighting(const NlsData& data, KelNonLinearRegression& regression) {
  const int rows = static_cast<int>(data.RowsUsed());
  if (!data.rowWeights.empty()) {
    KelMatrix weights(rows, 1);
    for (int i = 1; i <= rows; ++i) weights(i, 1) = data.rowWeights[static_cast<size_t>(i - 1)];
    regression.SetWeights(weights);
  } else if (data.weighting == NlsWeighting::kVariance) {
    // The response's variance, then with errors in the variables those of x (0: exact).
    std::vector<double> variances = {data.variance};
    variances.insert(variances.end(), data.xVariances.begin(), data.xVariances.end());
    regression.SetVariances(data.varianceDegreesOfFreedom, VectorOf(variances));
  }
}

NlsFit FitOf(const NlsModel& model, int number, const NlsData& data,
             KelNonLinearRegression& regression) {
  NlsFit fit;
  // As R's summary prints it: deparsed, on one line whatever was typed.
  fit.formula = Deparse(model.response) + " ~ " + Deparse(model.right);
  const KelVector b = regression.GetParameters(number);
  fit.stopReason = regression.StopReason(number);
  fit.evaluations = regression.ModelEvaluations(number);
  fit.iterations = regression.Iterations(number);
  fit.initialRss = regression.InitialSSE(number);
  // R's deviance: the sum of the squared weighted residuals (no barrier term of the estimation).
  const KelVector& r = regression.WeightedResiduals(number);
  for (int i = 1; i <= r.Size(); ++i) fit.rss += r(i) * r(i);
  fit.residualDof = regression.DegreesOfFreedom(number);
  fit.sigma = std::sqrt(fit.rss / fit.residualDof);
  KelVector se = regression.StandardErrors(number);
  // With R's precision weights the library's covariance, (J'WJ)^-1, takes the weights as known
  // inverse variances; R's scales it by the residual variance of the weighted fit.
  if (data.weighting == NlsWeighting::kWeights) se *= fit.sigma;
  const KelVector t = KelTValues(b, se);
  const KelVector p = KelTwoSidedPValues(t, fit.residualDof);
  for (int k = 1; k <= b.Size(); ++k)
    fit.parameters.push_back(
        {model.parameterNames[static_cast<size_t>(k - 1)], b(k), se(k), t(k), p(k)});
  return fit;
}

NlsComparison ComparisonOf(NlsWeighting weighting, KelNonLinearRegression& regression) {
  const KelModelComparison& c = regression.Comparison();
  NlsComparison comparison;
  comparison.table = c.table;
  comparison.tested =
      c.table != KelComparisonTable::kChiSquare || weighting == NlsWeighting::kVarianceColumn;
  for (const KelModelComparisonRow& row : c.rows)
    comparison.rows.push_back(
        {row.value, row.ratio, row.statistic, row.probability, row.pseudoProbability,
         comparison.tested && row.probability < kel_nonlinear_thresholds::kModelRejected});
  return comparison;
}

NlsExperiment CandidateOf(const KelNonLinearRegression& regression, int candidate) {
  NlsExperiment x;
  if (candidate < 1) return x;
  const KelMatrix& candidates = regression.CandidateExperiments();
  for (int k = 1; k <= candidates.Columns(); ++k) x.push_back(candidates(candidate, k));
  return x;
}

NlsDesign DesignOf(const NlsDesignBox& box, int models, KelNonLinearRegression& regression) {
  regression.SearchExperiments(VectorOf(box.low), VectorOf(box.high));
  NlsDesign design;
  design.box = box;
  design.candidates = regression.CandidateExperiments().Rows();
  using R = KelNonLinearRegression;
  for (int m = 1; m <= models; ++m) {
    const auto suggestion = [&](int kind) {
      return CandidateOf(regression, regression.SuggestedCandidate(m, kind));
    };
    NlsModelSuggestions s;
    // Only the criteria 1..7 keep a suggestion of their own.
    const int criterion = regression.EffectiveCriterion(m);
    if (criterion >= 1 && criterion <= 7) {
      s.criterion = criterion;
      s.byCriterion = suggestion(R::kSuggestionCriterion);
    }
    s.xDistance = suggestion(R::kSuggestionXDistance);
    s.fDistance = suggestion(R::kSuggestionFDistance);
    s.xDistancePrincipal = suggestion(R::kSuggestionXDistancePrincipal);
    s.fDistancePrincipal = suggestion(R::kSuggestionFDistancePrincipal);
    design.models.push_back(s);
  }
  if (models < 2) return design;
  for (int a = 1; a <= models; ++a)
    for (int b = a + 1; b <= models; ++b)
      design.couples.push_back({a, b, regression.BestTij(a, b),
                                CandidateOf(regression, regression.BestTijCandidate(a, b))});
  const KelDiscrimination& d = regression.Discrimination();
  design.discrimination = CandidateOf(regression, d.candidate);
  if (d.candidate > 0) design.discriminationMeanTij = d.largestSum / d.numberOfCouples;
  design.balanced = CandidateOf(regression, regression.Balanced().candidate);
  return design;
}

}  // namespace

std::unique_ptr<KelNonLinearRegression> MakeNlsRegression(const NlsModels& models,
                                                          const NlsData& data) {
  const int rows = static_cast<int>(data.RowsUsed());
  const int columns = static_cast<int>(data.columns);
  KelMatrix X(rows, columns);
  KelMatrix Y(rows, 1);
  for (int i = 1; i <= rows; ++i) {
    for (int k = 1; k <= columns; ++k)
      X(i, k) = data.x[static_cast<size_t>((i - 1) * columns + (k - 1))];
    Y(i, 1) = data.y[static_cast<size_t>(i - 1)];
  }
  const NlsModels* gathered = &models;
  auto regression = std::make_unique<KelNonLinearRegression>(
      static_cast<int>(models.models.size()), X, Y,
      [gathered](int model, int, KelVector& b, KelVector& x, KelVector& y) {
        y(1) = NlsModelValue(gathered->models[static_cast<size_t>(model - 1)], b, x);
      });
  SetWeighting(data, *regression);
  for (size_t m = 0; m < models.models.size(); ++m)
    regression->SetInitialParameters(static_cast<int>(m) + 1, VectorOf(models.models[m].start));
  return regression;
}

std::string CheckNlsStarts(const NlsModels& models, const NlsData& data) {
  for (const NlsModel& model : models.models) {
    const KelVector b = VectorOf(model.start);
    for (size_t i = 0; i < data.RowsUsed(); ++i) {
      const double value = NlsModelValue(model, b, RowOf(data, i));
      if (!std::isfinite(value))
        return "the model '" + ShownName(model.formula) + "' is " +
               (std::isnan(value) ? "NaN" : "infinite") + " at its start on data row " +
               std::to_string(data.usedRows[i]);
    }
  }
  return "";
}

NlsAnalysis ComputeNlsAnalysis(const NlsModels& models, const NlsData& data,
                               const std::optional<NlsDesignBox>& box,
                               KelNonLinearRegression& regression,
                               const std::function<void(std::string)>& step) {
  NlsAnalysis analysis;
  analysis.columns = models.columns;
  analysis.response = Deparse(models.models.front().response);
  analysis.dataRows = data.dataRows;
  analysis.rowsUsed = data.RowsUsed();
  analysis.droppedRows = data.droppedRows;
  analysis.weighting = data.weighting;
  analysis.weightingColumn = data.weightingColumn;
  analysis.variance = data.variance;
  analysis.varianceDegreesOfFreedom = data.varianceDegreesOfFreedom;
  analysis.errorsInVariables = !data.xVariances.empty();
  const int count = static_cast<int>(models.models.size());
  const auto tell = [&](std::string text) {
    if (step) step(std::move(text));
  };
  for (int m = 1; m <= count; ++m) {
    tell("fitting model " + std::to_string(m) + " of " + std::to_string(count) + " to " +
         FormatCount(data.RowsUsed()) + " rows");
    analysis.fits.push_back(FitOf(models.models[static_cast<size_t>(m - 1)], m, data, regression));
  }
  if (count >= 2) analysis.comparison = ComparisonOf(data.weighting, regression);
  if (box) {
    tell("searching the box for the next experiment");
    analysis.design = DesignOf(*box, count, regression);
  }
  return analysis;
}

}  // namespace kelmath_cli
