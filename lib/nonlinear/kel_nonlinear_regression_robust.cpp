// KelNonLinearRegression robust estimation: the least median of squares of the weighted
// residuals, searched from three starts and extrapolated, and the outliers it reveals. Prints
// nothing; the robust report reads what it leaves.
#include <cmath>
#include <limits>
#include <utility>

#include "foundation/kel_constants.h"
#include "minimization/kel_minimization_robust.h"
#include "nonlinear/kel_nonlinear_regression.h"
#include "nonlinear/kel_nonlinear_thresholds.h"
#include "statistics/kel_median.h"

// Three points of the search with their medians, kept ordered: best, middle, worst.
struct KelNonLinearRegression::RobustTriple {
  KelVector best, middle, worst;
  double fBest = 0.0, fMiddle = 0.0, fWorst = 0.0;

  void Order() {
    if (fMiddle < fBest) SwapBestAndMiddle();
    if (fWorst < fMiddle) {
      Swap(middle, worst);
      std::swap(fMiddle, fWorst);
    }
    if (fMiddle < fBest) SwapBestAndMiddle();
  }
  void SwapBestAndMiddle() {
    Swap(best, middle);
    std::swap(fBest, fMiddle);
  }
  // A new point takes its rank; the worst one drops out.
  void Insert(KelVector&& found, double f) {
    if (f < fBest) {
      worst = std::move(middle);
      fWorst = fMiddle;
      middle = std::move(best);
      fMiddle = fBest;
      best = std::move(found);
      fBest = f;
    } else if (f >= fMiddle) {
      worst = std::move(found);
      fWorst = f;
    } else {
      worst = std::move(middle);
      fWorst = fMiddle;
      middle = std::move(found);
      fMiddle = f;
    }
  }
};

namespace {

// Runs the minimizer from x0 and returns its best point, with its value in f.
KelVector minimizeFrom(KelMinimizationRobust& minimizer, const KelVector& x0, int limit,
                       double& f) {
  minimizer.Initialize(x0);
  minimizer(limit);
  f = minimizer.FSolution();
  return minimizer.XMin();
}

}  // namespace

double KelNonLinearRegression::MedianOfSquares(int model, KelVector& b) {
  const bool finite = Predict(model, b, yStep);
  squaresScratch.resize(static_cast<size_t>(nY));
  for (int i = 1; i <= nY; ++i) {
    const double r = (y(i) - yStep(i)) * w(i);
    squaresScratch[static_cast<size_t>(i - 1)] = r * r;
  }
  if (!finite) return std::numeric_limits<double>::quiet_NaN();
  return kel_median::FastMedianInPlace(squaresScratch);
}

double KelNonLinearRegression::MedianObjective(int model, KelVector& b) {
  double barrier = 0.0;
  if (!InsideBounds(model, b, barrier)) return kelUnfeasibleValue;
  const double median = MedianOfSquares(model, b);
  // As in the least-squares objective, a failing model counts as a point outside the bounds.
  if (!std::isfinite(median)) return kelUnfeasibleValue;
  return median + barrier;
}

void KelNonLinearRegression::RobustEstimate(int model) {
  Model& m = models[static_cast<size_t>(model - 1)];
  const int limit = IterationBudget(options.robustIterationsPerParameter, m.numParameters);
  KelVector start = m.start;
  m.robust.initialLms = MedianOfSquares(model, start);

  // Three starts: the starting parameters, the least-squares ones, and a point well beyond.
  RobustTriple t;
  KelMinimizationRobust minimizer(
      start, [this, model](KelVector& b) { return MedianObjective(model, b); });
  minimizer(limit);
  t.best = minimizer.XMin();
  t.fBest = minimizer.FSolution();

  EnsureEstimated(model);
  const KelVector leastSquares = m.estimate.parameters;
  t.middle = minimizeFrom(minimizer, leastSquares, limit, t.fMiddle);
  KelVector beyond(m.numParameters);
  for (int k = 1; k <= m.numParameters; ++k)
    beyond(k) =
        m.upper(k) >= kelUnbounded ? 1.5 * t.middle(k) + 1.0 : 0.3 * (m.upper(k) + t.middle(k));
  t.worst = minimizeFrom(minimizer, beyond, limit, t.fWorst);
  t.Order();
  ExtrapolateRobust(model, minimizer, t);
  KeepRobustFit(model, t.best);
  FindOutliers(model);
}

void KelNonLinearRegression::ExtrapolateRobust(int model, KelMinimizationRobust& minimizer,
                                               RobustTriple& t) {
  const Model& m = models[static_cast<size_t>(model - 1)];
  const int n = m.numParameters;
  const int limit = IterationBudget(options.robustIterationsPerParameter, n);
  // From the middle of the worse two through the best, a tenth of the way relative to the
  // best point's largest coordinate.
  KelVector c(n);
  for (int round = 0; round < options.robustExtrapolationRounds; ++round) {
    const KelVector& d = t.best;
    int p = 1;
    d.MaxAbs(&p);
    double e = 1.0;
    if (std::fabs(d(p)) >= 0.001) {
      e = std::fabs((d(p) - 0.5 * (t.worst(p) + t.middle(p))) / d(p));
      // An extrapolation longer than the limit times the best point's size stops the search.
      if (e > options.robustExtrapolationLimit) break;
    }
    for (int k = 1; k <= n; ++k) {
      c(k) = d(k) + (d(k) - 0.5 * (t.worst(k) + t.middle(k))) * (0.1 / e);
      if (c(k) < m.lower(k)) c(k) = m.lower(k) + 1.1 * std::fabs(m.lower(k)) + 0.01;
      if (c(k) >= m.upper(k)) c(k) = m.upper(k) - 1.1 * std::fabs(m.upper(k)) - 0.01;
    }
    double fc = 0.0;
    KelVector found = minimizeFrom(minimizer, c, limit, fc);
    t.Insert(std::move(found), fc);
  }
}

void KelNonLinearRegression::KeepRobustFit(int model, const KelVector& lms) {
  Model& m = models[static_cast<size_t>(model - 1)];
  KelNonLinearRobustFit& r = m.robust;
  // The next least-squares use estimates the model afresh, as it always has after a robust
  // analysis: the stored reports follow from that estimation (the serial numbers of its
  // matrices and, with errors in x, the x it starts from).
  m.estimated = false;
  r.lmsParameters = lms;
  Predict(model, r.lmsParameters, r.lmsPredictions);
  r.lmsResiduals.Resize(nY, false);
  r.lmsWeightedResiduals.Resize(nY, false);
  for (int i = 1; i <= nY; ++i) {
    r.lmsResiduals(i) = y(i) - r.lmsPredictions(i);
    r.lmsWeightedResiduals(i) = wy(i) - w(i) * r.lmsPredictions(i);
  }
  KelVector b = lms;
  r.finalLms = MedianOfSquares(model, b);
}

void KelNonLinearRegression::FindOutliers(int model) {
  KelNonLinearRobustFit& r = models[static_cast<size_t>(model - 1)].robust;
  // By the size of the weighted residual.
  r.highlyProbable.clear();
  r.possible.clear();
  for (int j = 1; j <= numY; ++j) {
    for (int l = 1; l <= numExperiments; ++l) {
      const double size = std::fabs(r.lmsWeightedResiduals(l + (j - 1) * numExperiments));
      if (size > kel_nonlinear_thresholds::kHighlyProbableOutlier)
        r.highlyProbable.push_back(KelOutlier{l, j, size});
      if (size > kel_nonlinear_thresholds::kPossibleOutlier)
        r.possible.push_back(KelOutlier{l, j, size});
    }
  }
}
