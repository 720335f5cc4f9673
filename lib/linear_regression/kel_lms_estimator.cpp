// The least-median-of-squares fit, step by step. The data are standardized by median and
// dispersion, the parameters minimizing the median of the squared residuals are searched by the
// robust simplex minimizer from the least-squares solution and from the best exact fits through
// subsets of the experiments (kel_lms_candidate_search.cpp), and the residuals are scaled and
// classified.
#include "linear_regression/kel_lms_estimator.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "factorizations/kel_factorized_svd.h"
#include "foundation/kel_constants.h"
#include "linear_regression/kel_lms_candidate_search.h"
#include "linear_regression/kel_lms_search.h"
#include "minimization/kel_minimization_robust.h"
#include "statistics/kel_descriptive_statistics.h"
#include "statistics/kel_median.h"
#include "statistics/kel_robust_statistics.h"

namespace {

// An elemental matrix worse conditioned than this maps the minimizer's point to parameters too
// inaccurately; the search then works on the parameters themselves.
constexpr double kElementalConditionLimit = 100000.0;
// Normalized residuals beyond these bounds mark possible and highly probable outliers.
constexpr double kOutlierBound = kel_linear_thresholds::kRobustOutlier;
constexpr double kHighlyProbableBound = kel_linear_thresholds::kRobustHighlyProbableOutlier;
// Standardized values of y and of the columns of F beyond this bound are marked.
constexpr double kStandardizedBound = kel_linear_thresholds::kRobustStandardized;
// Restarts of the minimizer from its own best point after the elemental search, and the
// relative gain below which a restart is the last one (the exchange refinement that follows
// finishes such slow descents at a fraction of their cost).
constexpr int kRestartLimit = 20;
constexpr double kRestartGain = 1e-3;
// 1.4826 turns a median absolute deviation into a standard deviation for normal data.
constexpr double kMadFactor = 1.4826;

}  // namespace

KelLmsEstimator::KelLmsEstimator(const KelRobustFitInputs& inputs, KelLinearRobustFit&& numbered,
                                 KelLmsWorkspace& workspace)
    : in(inputs),
      m(inputs.F.Rows()),
      n(inputs.F.Columns()),
      work(workspace),
      robust(std::move(numbered)) {}

// The whole robust computation.
KelLinearRobustFit KelLmsEstimator::Estimate() {
  robust.robustEvaluations = 0;
  robust.robustMinimizerRuns = 0;
  robust.robustElementalCandidates = 0;
  robust.robustSubsetCandidates = 0;
  squaredResiduals.assign(static_cast<size_t>(m), 0.0);
  criterionGuess = 0.0;
  work.elementalPoint.Resize(n, true);
  StandardizeData();
  robust.robustComponentMaximum = 0.0;
  robust.robustComponentMinimum = 0.0;
  if (n == 1) {
    // One parameter: the ratios y / f are the exact fits of single experiments, and the
    // midpoint of their shortest half is the least-median-of-squares location.
    KelVector ratios(m);
    for (int j = 1; j <= m; ++j) ratios(j) = in.F(j, 1) != 0.0 ? in.y(j) / in.F(j, 1) : 0.0;
    robust.robustB.Resize(1, false);
    robust.robustB(1) = KelShortestHalfMidpoint(ratios);
  } else {
    ComputeRobustComponents();
    ChooseElementalRows();
    SearchParameters();
  }
  ComputeRobustStatistics();
  ComputeRobustScale();
  NormalizeRobustResiduals();
  ClassifyRobustResiduals();
  FlagRobustData();
  return std::move(robust);
}

// The minimizer from the least-squares start, the candidates of the search, the refinements of
// the best of them and the restarts from the best point.
void KelLmsEstimator::SearchParameters() {
  const KelVector& leastSquares = in.leastSquaresParameters();
  KelVector x0;
  PrepareElementalSolver(leastSquares, &x0);
  // The objective carries this estimator with it, so robust fits of different data can run at
  // the same time on different threads.
  KelMinimizationRobust minimizer(x0, [this](KelVector& x) { return LmsObjective(x); });
  minimizer(0);
  ++robust.robustMinimizerRuns;
  Solve(&work.elementalSolver, minimizer.XMin(), &robust.robustB);
  robust.leastMedianOfSquares = LmsCriterion(robust.robustB);
  KelLmsCandidateSearch search(*this);
  search.CollectElementalPasses();
  search.CollectSubsetFits();
  if (search.RefineBest(&minimizer)) RestartFromTheBest(&minimizer);
  search.PolishBest();
}
// Median and dispersion of y and of every column of F, and the standardized data. A column of
// no dispersion other than the first is only centred; a constant first column (the intercept)
// stays zero.
void KelLmsEstimator::StandardizeData() {
  robust.medianOfY = KelFastMedian(in.y);
  robust.dispersionOfY = KelMad(in.y, robust.medianOfY);
  robust.standardizedY = KelStandardize(in.y, robust.medianOfY, robust.dispersionOfY);
  robust.columnMedians.Resize(n, false);
  robust.columnDispersions.Resize(n, false);
  robust.standardizedF.Resize(m, n, true);
  KelVector column;
  for (int i = 1; i <= n; ++i) {
    in.F.GetColumn(i, column);
    const double median = KelFastMedian(column);
    const double dispersion = KelMad(column, median);
    robust.columnMedians(i) = median;
    robust.columnDispersions(i) = dispersion;
    if (dispersion != 0.0) {
      robust.standardizedF.SetColumn(i, KelStandardize(column, median, dispersion));
    } else if (i > 1) {
      for (int j = 1; j <= m; ++j) robust.standardizedF(j, i) = column(j) - median;
    }
  }
}

// Extreme singular values of the standardized regressors without the intercept column.
void KelLmsEstimator::ComputeRobustComponents() {
  KelMatrix components = robust.standardizedF;
  if (in.intercept) components.RemoveColumn(1);
  KelFactorizedSVD svd;
  MoveMatrixIntoFactorized(&components, &svd);
  robust.robustComponentMaximum = svd.MaximumSingularValue();
  robust.robustComponentMinimum = svd.MinimumSingularValue();
}

// Row i of E is the experiment with the largest (signed) value in column i among those not yet
// chosen; the first maximum wins.
void KelLmsEstimator::ChooseElementalRows() {
  std::vector<unsigned char> chosen(static_cast<size_t>(m) + 1, 0);
  work.elementalRows.Resize(n, n, false);
  for (int i = 1; i <= n; ++i) {
    int row = 0;
    double largest = -kelBigValue;
    for (int j = 1; j <= m; ++j) {
      if (chosen[j] != 0) continue;
      if (in.F(j, i) > largest) {
        largest = in.F(j, i);
        row = j;
      }
    }
    // A column of NaN or -infinity has no maximum: take the first free experiment instead.
    if (row == 0)
      for (row = 1; chosen[row] != 0; ++row) {
      }
    chosen[row] = 1;
    for (int k = 1; k <= n; ++k) work.elementalRows(i, k) = in.F(row, k);
  }
}

// The minimizer moves x = E b, the responses of the elemental experiments, which all have
// comparable scales whatever the scales of the parameters. x0 holds the least-squares start.
void KelLmsEstimator::PrepareElementalSolver(const KelVector& start, KelVector* x0) {
  work.elementalSolver.AssignMatrix(work.elementalRows);
  Product(work.elementalRows, start, *x0);
  if (work.elementalSolver.ConditionNumber() > kElementalConditionLimit) {
    work.elementalRows.Resize(n, n, true);
    for (int i = 1; i <= n; ++i) work.elementalRows(i, i) = 1.0;
    work.elementalSolver.AssignMatrix(work.elementalRows);
    *x0 = start;
  }
}

// The criterion is not smooth: the simplex often collapses on a kink of it, short of the
// minimum. A restart builds a full-size simplex around the best point again; restarts go on
// while they improve by at least kRestartGain (at most kRestartLimit of them), so they can only
// lower the result.
void KelLmsEstimator::RestartFromTheBest(KelMinimizationRobust* minimizer) {
  KelVector x(n);
  KelVector candidate(n);
  for (int restart = 1; restart <= kRestartLimit; ++restart) {
    Product(work.elementalRows, robust.robustB, x);
    minimizer->Initialize(x);
    (*minimizer)(0);
    ++robust.robustMinimizerRuns;
    if (!(minimizer->FSolution() < robust.leastMedianOfSquares)) break;
    Solve(&work.elementalSolver, minimizer->XMin(), &candidate);
    const bool small =
        !(minimizer->FSolution() < robust.leastMedianOfSquares * (1.0 - kRestartGain));
    robust.leastMedianOfSquares = minimizer->FSolution();
    robust.robustB = candidate;
    if (small) break;
  }
}

// The squared residuals go to a buffer sized once per computation; the residuals are formed
// row by row from the raw storage (no temporary F p). Successive points (of the minimizer, of the
// refinements) have similar criteria: the median is selected among the squares near the last one.
double KelLmsEstimator::LmsCriterion(const KelVector& p) {
  ++robust.robustEvaluations;
  const double* const* f = in.F.RowPointers();
  const double* parameters = p.Data() - 1;  // 1-based like the rows of F
  const double* responses = in.y.Data() - 1;
  double* squares = squaredResiduals.data();
  for (int i = 1; i <= m; ++i) {
    const double* row = f[i];
    double estimate = 0.0;
    for (int j = 1; j <= n; ++j) estimate += row[j] * parameters[j];
    const double r = responses[i] - estimate;
    squares[i - 1] = r * r;
  }
  criterionGuess = KelMedianNear(squaredResiduals, criterionGuess, medianBuffer);
  return criterionGuess;
}

// The median is below the bound only if at least (m + 1) / 2 squared residuals are (for even m
// the lower middle value must be, for odd m the middle one): a candidate with more than
// m - (m + 1) / 2 squares at or above the bound is rejected as soon as that is known, without
// the selection. Candidates that pass get the exact median, so the outcome is the same as
// comparing exact medians; most elemental fits are rejected after a few rows.
bool KelLmsEstimator::LmsCriterionBelow(const KelVector& p, double bound, double* value) {
  ++robust.robustEvaluations;
  const int allowed = m - (m + 1) / 2;
  const double* const* f = in.F.RowPointers();
  const double* parameters = p.Data() - 1;
  const double* responses = in.y.Data() - 1;
  double* squares = squaredResiduals.data();
  int notBelow = 0;
  for (int i = 1; i <= m; ++i) {
    const double* row = f[i];
    double estimate = 0.0;
    for (int j = 1; j <= n; ++j) estimate += row[j] * parameters[j];
    const double r = responses[i] - estimate;
    const double square = r * r;
    squares[i - 1] = square;
    if (!(square < bound) && ++notBelow > allowed) return false;
  }
  *value = KelMedianNear(squaredResiduals, criterionGuess, medianBuffer);
  criterionGuess = *value;
  return *value < bound;
}

double KelLmsEstimator::LmsObjective(KelVector& x) {
  Solve(&work.elementalSolver, x, &work.elementalPoint);
  return LmsCriterion(work.elementalPoint);
}

// Estimated responses, residuals and their median and dispersion at the robust parameters.
void KelLmsEstimator::ComputeRobustStatistics() {
  Product(in.F, robust.robustB, robust.robustYEstimated);
  robust.robustResiduals.Resize(m, false);
  for (int i = 1; i <= m; ++i) robust.robustResiduals(i) = in.y(i) - robust.robustYEstimated(i);
  robust.residualMedian = KelFastMedian(robust.robustResiduals);
  robust.residualMad = KelMad(robust.robustResiduals, robust.residualMedian);
}

// The scale from the least median of squares, corrected for small samples, unless the trimmed
// scale shows it is far too small or the sample is too small to trust it; an assigned variance
// overrides both.
void KelLmsEstimator::ComputeRobustScale() {
  if (n == 1) {
    robust.leastMedianOfSquares = robust.residualMad;
    robust.scale = robust.residualMad;
  } else {
    robust.scale = std::sqrt(robust.leastMedianOfSquares) * (1.0 + 5.0 / (m - n)) * kMadFactor;
  }
  const double trimmed =
      KelTrimmedScale(robust.robustResiduals, (m + n + 1) / 2, robust.residualMedian);
  // A criterion of exactly 0 means more than half of the experiments lie exactly on the fit:
  // their scale is 0. The trimmed scale skips zero deviations and would measure the others
  // instead, hiding them among the experiments on the fit.
  const bool exactFit = n > 1 && robust.leastMedianOfSquares == 0.0;
  if (!exactFit && (trimmed > 5.0 * robust.scale || m / 2 < n + 1)) robust.scale = trimmed;
  if (in.responseVariance != 0.0) robust.scale = std::sqrt(in.responseVariance);
}

// Residuals over the scale re-estimated from the experiments within 2.5 scales.
void KelLmsEstimator::NormalizeRobustResiduals() {
  if (robust.scale == 0.0 && robust.residualMad != 0.0) {
    robust.normalizedRobustResiduals =
        KelStandardize(robust.robustResiduals, robust.residualMedian, robust.residualMad);
    return;
  }
  double weight = 0.0;
  double sum = 0.0;
  for (int i = 1; i <= m && robust.scale != 0.0; ++i) {
    const double r = robust.robustResiduals(i);
    if (std::fabs(r / robust.scale) <= kOutlierBound) {
      weight += 1.0;
      sum += r * r;
    }
  }
  if (weight - n > 0.0 && sum > 0.0)
    robust.scale = std::sqrt(sum / (weight - n));
  else if (in.responseVariance == 0.0)
    robust.scale = robust.residualMad;
  else
    robust.scale = std::min(robust.residualMad, std::sqrt(in.responseVariance));
  robust.normalizedRobustResiduals.Resize(m, false);
  for (int i = 1; i <= m; ++i) {
    // More than half of the experiments fitted exactly leave a scale of 0: those experiments
    // are not outliers at all (0, not 0/0), the others infinitely far.
    const double r = robust.robustResiduals(i);
    robust.normalizedRobustResiduals(i) = r == 0.0 ? 0.0 : r / robust.scale;
  }
}

void KelLmsEstimator::ClassifyRobustResiduals() {
  robust.allOutliers.Resize(0);
  robust.highlyProbableOutliers.Resize(0);
  robust.possibleOutliers.Resize(0);
  robust.outlyingResidual.assign(static_cast<size_t>(m) + 1, false);
  for (int i = 1; i <= m; ++i) {
    const double e = std::fabs(robust.normalizedRobustResiduals(i));
    if (!(e > kOutlierBound)) continue;
    robust.outlyingResidual[static_cast<size_t>(i)] = true;
    robust.allOutliers.Append(i);
    if (e > kHighlyProbableBound)
      robust.highlyProbableOutliers.Append(i);
    else
      robust.possibleOutliers.Append(i);
  }
}

// Marks the experiments whose standardized y lies beyond kStandardizedBound and those with an
// entry of the standardized F beyond it; and whether the smallest singular value of the
// standardized F is below 1 / kRobustComponentsRatio of the largest (never for a single-column
// model, whose extremes are both 0).
void KelLmsEstimator::FlagRobustData() {
  robust.extremeY.assign(static_cast<size_t>(m) + 1, false);
  robust.extremeFRow.assign(static_cast<size_t>(m) + 1, false);
  for (int j = 1; j <= m; ++j) {
    const size_t row = static_cast<size_t>(j);
    robust.extremeY[row] = std::fabs(robust.standardizedY(j)) > kStandardizedBound;
    for (int i = 1; i <= n; ++i)
      if (std::fabs(robust.standardizedF(j, i)) > kStandardizedBound)
        robust.extremeFRow[row] = true;
  }
  robust.componentsMulticollinear =
      !(kel_linear_thresholds::kRobustComponentsRatio * robust.robustComponentMinimum >=
        robust.robustComponentMaximum);
}
