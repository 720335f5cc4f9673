// The leave-one-out outlier test of a least-squares fit (the experiment whose removal leaves the
// lowest residual sum of squares, and the verdict on it).
#include <algorithm>
#include <cmath>
#include <vector>

#include "factorizations/kel_householder.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "linear_regression/kel_kept_columns_fit.h"
#include "linear_regression/kel_linear_least_squares_fit.h"

namespace {

struct LeaveOneOutBounds;

// The test of one fit, on the data it was fitted to.
class LeaveOneOutTester {
 public:
  LeaveOneOutTester(const KelLinearFitInputs& inputs, const KelLinearLeastSquaresFit& fitted)
      : in(inputs), fit(fitted), m(inputs.F.Rows()), n(inputs.F.Columns()) {}
  KelLeaveOneOutTest Run() const {
    KelLeaveOneOutTest test = search();
    classify(&test);
    return test;
  }

 private:
  KelLeaveOneOutTest search() const;
  // Residual sum of squares of the fit without experiment t, by Householder QR of the other
  // rows (the explicit refit).
  double refit(int t) const;
  bool closedFormBounds(LeaveOneOutBounds* bounds) const;
  int verdict(double best) const;
  void classify(KelLeaveOneOutTest* test) const;

  const KelLinearFitInputs& in;
  const KelLinearLeastSquaresFit& fit;
  const int m;  // experiments
  const int n;  // parameters
};

// Residual sum of squares of the least-squares fit, by Householder QR, of every experiment
// except t: the factorization and solution of KelFactorizedQR (its singularity tolerance, its
// notes), made on the one reduced copy.
double LeaveOneOutTester::refit(int t) const {
  KelMatrix reduced(m - 1, n);
  KelVector reducedY(m - 1);
  const double* const* f = in.F.RowPointers();
  double* const* g = reduced.RowPointers();
  for (int i = 1, row = 1; i <= m; ++i) {
    if (i == t) continue;
    std::copy(f[i] + 1, f[i] + 1 + n, g[row] + 1);
    reducedY(row) = in.y(i);
    ++row;
  }
  std::vector<double> diagonal(static_cast<size_t>(n) + 1);
  std::vector<double> norms(static_cast<size_t>(n) + 1);
  std::vector<double> scratch;
  const bool singular =
      QRFactorization(m - 1, n, g, diagonal.data(), norms.data(), kelTenMachEpsFloat, scratch);
  KelVector reducedB(n);
  if (singular)
    QRSolution(m - 1, n, g, diagonal.data(), reducedY.Data() - 1, reducedB.Data() - 1);
  else
    QRSolutionByGroups(m - 1, n, g, diagonal.data(), reducedY.Data() - 1, reducedB.Data() - 1);
  KelVector reducedResiduals(m - 1);
  for (int i = 1, row = 1; i <= m; ++i) {
    if (i == t) continue;
    double estimate = 0.0;
    for (int j = 1; j <= n; ++j) estimate += f[i][j] * reducedB(j);
    reducedResiduals(row) = in.y(i) - estimate;
    ++row;
  }
  const double norm = reducedResiduals.Norm2();
  return norm * norm;
}

// Per experiment t (1-based): the closed form's sum without t and the interval that holds both
// it and the refit's sum, or the mark that only a refit can tell (every experiment of a badly
// conditioned F).
struct LeaveOneOutBounds {
  std::vector<double> estimates;
  std::vector<double> lower;
  std::vector<double> upper;
  std::vector<unsigned char> mustRefit;
};

// The experiment whose removal leaves the lowest residual sum of squares; strict comparison,
// so the lowest index wins a tie.
//
// Refitting without every experiment costs m factorizations, O(m^2 n^2). The sum without
// experiment t follows from the full fit instead: SS - r_t^2 / (1 - h_tt). Each of these is
// given an error bound that covers rounding in the shortcut (cancellation against SS, a small
// 1 - h_tt, the conditioning of F) and in the explicit refit; only the experiments whose bound
// reaches the best upper bound are refitted explicitly, in index order, and the refits decide.
// Any experiment whose removal the shortcut cannot judge (1 - h_tt tiny or inaccurate, or,
// with dependent columns, a refit that might keep other columns) is refitted as well, and a
// badly conditioned F is refitted throughout. The chosen index and the
// verdict are therefore those of refitting every experiment, at O(m n^2) plus a few refits; the
// best sum is that of the refit, or the closed form's (within its bound of it) when a single
// experiment wins beyond doubt and the verdict is the same anywhere within the bound: then no
// refit is made at all, which on large data saves a copy of F and a second factorization.
// Data fitted exactly (every residual within rounding of zero) have no experiment to leave out:
// index 0 and no verdict, where the refits would only rank rounding noise.
KelLeaveOneOutTest LeaveOneOutTester::search() const {
  KelLeaveOneOutTest test;
  test.best = kelBigValue;
  test.bestIndex = 0;
  test.refits = 0;
  LeaveOneOutBounds bounds;
  if (!closedFormBounds(&bounds)) {
    test.best = fit.sumOfSquares;
    return test;
  }
  const std::vector<unsigned char>& mustRefit = bounds.mustRefit;
  double bestUpper = kelBigValue;
  for (int t = 1; t <= m; ++t)
    if (mustRefit[t] == 0) bestUpper = std::min(bestUpper, bounds.upper[t]);
  int candidates = 0;
  int candidate = 0;
  for (int t = 1; t <= m; ++t)
    if (mustRefit[t] != 0 || bounds.lower[t] <= bestUpper) {
      ++candidates;
      candidate = t;
    }
  // One experiment beats all others beyond doubt and the verdict is the same anywhere within
  // its bound: the closed form's sum stands, and no refit is needed.
  if (candidates == 1 && mustRefit[candidate] == 0 &&
      verdict(bounds.lower[candidate]) == verdict(bounds.upper[candidate])) {
    test.best = bounds.estimates[candidate];
    test.bestIndex = candidate;
    return test;
  }
  for (int t = 1; t <= m; ++t) {
    if (mustRefit[t] == 0 && bounds.lower[t] > bestUpper) continue;
    ++test.refits;
    const double rss = refit(t);
    if (rss < test.best) {
      test.best = rss;
      test.bestIndex = t;
    }
  }
  return test;
}

// What the closed form needs from the least-squares fit that the refits reproduce (arrays
// 1-based).
struct ClosedFormInputs {
  const double* residuals;
  const double* leverages;
  double sumOfSquares;
  double residualsNorm;
  double conditioning;  // of the fitted columns scaled to unit length
  // Experiments whose refit fits the same columns.
  const unsigned char* sameColumnsWithout;
};

// Fills the bounds; false when the data are fitted exactly (every residual within rounding of
// zero), where every sum without one experiment is rounding noise and none tells an outlier
// (refitting every experiment would only pick the noise of one).
//
// The refits fit the columns that their QR keeps. When every column is clearly independent the
// closed form comes from the fit itself; otherwise from the fit on the columns that the QR of
// all experiments keeps. Either way it serves only the experiments whose removal keeps the same
// columns.
bool LeaveOneOutTester::closedFormBounds(LeaveOneOutBounds* bounds) const {
  const size_t size = static_cast<size_t>(m) + 1;
  bounds->estimates.assign(size, 0.0);
  bounds->lower.assign(size, 0.0);
  bounds->upper.assign(size, 0.0);
  bounds->mustRefit.assign(size, 1);
  ClosedFormInputs inputs{fit.residuals.Data() - 1, fit.leverages.Data() - 1, fit.sumOfSquares,
                          fit.residualsNorm,        fit.scaledConditioning,   nullptr};
  // The refit without t keeps every column when each column's distance from the others, which
  // falls at most by the factor sqrt(1 - h_tt) without t, stays clear of the QR's tolerance.
  const double tolerance = kelTenMachEpsFloat;
  const double qrRounding = 16.0 * std::sqrt(static_cast<double>(m)) * kelMachEps *
                            (1.0 + std::min(fit.scaledConditioning, 1e100));
  const double clearOfTolerance = tolerance * (1.0 + 1e-3) + qrRounding;
  std::vector<unsigned char> everyColumnWithout;
  KeptColumnsFit kept;
  bool fromFit = fit.scaledRank == n && fit.scaledConditioning < 1e12 &&
                 fit.leastColumnIndependence > clearOfTolerance;
  if (fromFit) {
    // The few experiments this bound cannot clear are refitted; with more than a few, the
    // kept columns' fit, which judges each experiment exactly, costs less.
    constexpr int kFewUnclear = 4;
    everyColumnWithout.assign(size, 1);
    int unclear = 0;
    for (int t = 1; t <= m; ++t) {
      const double complement = 1.0 - fit.leverages(t);
      const bool clear =
          fit.leastColumnIndependence * std::sqrt(std::max(complement, 0.0)) > clearOfTolerance;
      everyColumnWithout[static_cast<size_t>(t)] = clear ? 1 : 0;
      if (!clear && complement > 1e-8) ++unclear;
    }
    fromFit = unclear <= kFewUnclear;
  }
  if (fromFit) {
    inputs.sameColumnsWithout = everyColumnWithout.data();
  } else {
    if (!FitKeptColumns(in.F, in.y, tolerance, &kept)) return true;
    inputs = ClosedFormInputs{kept.residuals.data(), kept.leverages.data(),
                              kept.sumOfSquares,     std::sqrt(kept.sumOfSquares),
                              kept.conditioning,     kept.sameColumnsWithout.data()};
  }
  if (!(inputs.conditioning < 1e12)) return true;
  const double epsilon = kelMachEps;
  double normY = 0.0;
  for (int i = 1; i <= m; ++i) normY += in.y(i) * in.y(i);
  normY = std::sqrt(normY);
  // Error of a computed residual, generously: rounding amplified by the conditioning.
  const double residualError = 1e3 * epsilon * inputs.conditioning * normY;
  if (inputs.residualsNorm <= residualError) return false;
  const double absoluteFloor =
      2.0 * inputs.residualsNorm * residualError + residualError * residualError;
  const double leverageError = 1e3 * epsilon * inputs.conditioning;
  for (int t = 1; t <= m; ++t) {
    if (inputs.sameColumnsWithout[t] == 0) continue;
    const double complement = 1.0 - inputs.leverages[t];
    if (!(complement > 1e-8) || leverageError / complement > 1e-2) continue;
    const double residual = inputs.residuals[t];
    const double removed = residual * residual / complement;
    const double estimate = inputs.sumOfSquares - removed;
    const double bound = 1e-9 * (inputs.sumOfSquares + removed) +
                         removed * leverageError / complement + absoluteFloor;
    bounds->mustRefit[t] = 0;
    bounds->estimates[t] = estimate;
    bounds->lower[t] = estimate - bound;
    bounds->upper[t] = estimate + bound;
  }
  return true;
}

// The verdict on a best sum of squares without one experiment: 2 highly probable outlier, 1
// probable outlier, 0 none, from the mean square error without that experiment. A step function
// of the sum that never decreases as the sum falls.
int LeaveOneOutTester::verdict(double best) const {
  const int reducedDof = m - 1 - n;
  if (reducedDof <= 0) return 0;
  const double p = best / reducedDof;
  // With an assigned variance the test only runs when the reduced mean square error exceeds
  // the square root of that variance (docs/developers.md, intended behaviour 3).
  if (in.responseVariance != 0.0 && !(p > std::sqrt(in.responseVariance))) return 0;
  if (p < kel_linear_thresholds::kHighlyProbableOutlierShare * fit.meanSquareError) return 2;
  if (p < kel_linear_thresholds::kProbableOutlierShare * fit.meanSquareError) return 1;
  return 0;
}

// Outlier verdicts from the mean square error without the best experiment to leave out.
void LeaveOneOutTester::classify(KelLeaveOneOutTest* test) const {
  test->highlyProbableOutlier = 0;
  test->probableOutlier = 0;
  if (test->bestIndex == 0) return;
  const int outcome = verdict(test->best);
  if (outcome == 2) test->highlyProbableOutlier = test->bestIndex;
  if (outcome == 1) test->probableOutlier = test->bestIndex;
}

}  // namespace

KelLeaveOneOutTest KelComputeLeaveOneOut(const KelLinearFitInputs& inputs,
                                         const KelLinearLeastSquaresFit& fit) {
  return LeaveOneOutTester(inputs, fit).Run();
}
