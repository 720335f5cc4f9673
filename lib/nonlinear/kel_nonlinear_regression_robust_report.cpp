// KelNonLinearRegression robust analysis: least median of squares of the weighted residuals,
// searched from three starts and extrapolated, and its report with the outliers it reveals.
#include <algorithm>
#include <cmath>
#include <limits>

#include "kel_median.h"
#include "kel_minimization_robust.h"
#include "kel_nonlinear_regression.h"
#include "kel_output.h"
#include "kel_report_format.h"

namespace {

constexpr int extrapolationRounds = 10;
constexpr double highlyProbableLimit = 10.0;
constexpr double possibleLimit = 2.5;

}  // namespace

void KelNonLinearRegression::RobustAnalysis() {
  for (int model = 1; model <= numModels; ++model) RobustAnalysisOfModel(model);
}

void KelNonLinearRegression::RobustAnalysisOfModel(int model) {
  if (model < 1 || model > numModels) {
    KelWarning("Wrong number for model analysis");
    return;
  }
  Model& m = models[static_cast<size_t>(model - 1)];
  if (m.numParameters == 0) {
    m.finalSSE = 1e30;
    return;
  }
  RobustEstimate(model);
  PrintRobustReport(model);
}

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

double KelNonLinearRegression::MedianObjective(KelVector& b) {
  KelNonLinearRegression& self = *active;
  double barrier = 0.0;
  if (!self.InsideBounds(activeModel, b, barrier)) return 1e30;
  const double median = self.MedianOfSquares(activeModel, b);
  // As in the least-squares objective, a failing model counts as a point outside the bounds.
  if (!std::isfinite(median)) return 1e30;
  return median + barrier;
}

void KelNonLinearRegression::RobustEstimate(int model) {
  Model& m = models[static_cast<size_t>(model - 1)];
  const int n = m.numParameters;
  const int limit = 100 * n;

  KelVector start = m.start;
  m.initialLms = MedianOfSquares(model, start);

  // Three starts: the starting parameters, the least-squares ones, and a point well beyond.
  active = this;
  activeModel = model;
  KelMinimizationRobust minimizer(start, MedianObjective);
  minimizer(limit);
  KelVector d = minimizer.XMin();
  double fd = minimizer.FSolution();

  EnsureEstimated(model);
  const KelVector leastSquares = m.parameters;
  // The least-squares fields are about to hold the robust fit: the next least-squares use
  // estimates the model afresh.
  m.estimated = 0;
  m.statisticsReady = 0;
  m.diagnosticsReady = 0;
  active = this;
  activeModel = model;
  minimizer.Initialize(leastSquares);
  minimizer(limit);
  KelVector r = minimizer.XMin();
  double fr = minimizer.FSolution();

  KelVector q(n);
  for (int k = 1; k <= n; ++k)
    q(k) = m.upper(k) >= 1e30 ? 1.5 * r(k) + 1.0 : 0.3 * (m.upper(k) + r(k));
  minimizer.Initialize(q);
  minimizer(limit);
  q = minimizer.XMin();
  double fq = minimizer.FSolution();

  // Order the triple by value: d best, r middle, q worst.
  if (fr < fd) {
    Swap(d, r);
    std::swap(fd, fr);
  }
  if (fq < fr) {
    Swap(r, q);
    std::swap(fr, fq);
  }
  if (fr < fd) {
    Swap(d, r);
    std::swap(fd, fr);
  }

  // Extrapolation from the worse two through the best.
  KelVector c(n);
  for (int round = 0; round < extrapolationRounds; ++round) {
    int p = 1;
    d.MaxAbs(&p);
    double e = 1.0;
    if (std::fabs(d(p)) >= 0.001) {
      e = std::fabs((d(p) - 0.5 * (q(p) + r(p))) / d(p));
      if (e > 1000.0) break;
    }
    for (int k = 1; k <= n; ++k) {
      c(k) = d(k) + (d(k) - 0.5 * (q(k) + r(k))) * (0.1 / e);
      if (c(k) < m.lower(k)) c(k) = m.lower(k) + 1.1 * std::fabs(m.lower(k)) + 0.01;
      if (c(k) >= m.upper(k)) c(k) = m.upper(k) - 1.1 * std::fabs(m.upper(k)) - 0.01;
    }
    minimizer.Initialize(c);
    minimizer(limit);
    KelVector found = minimizer.XMin();
    const double fc = minimizer.FSolution();
    if (fc < fd) {
      q = std::move(r);
      fq = fr;
      r = std::move(d);
      fr = fd;
      d = std::move(found);
      fd = fc;
    } else if (fc >= fr) {
      q = std::move(found);
      fq = fc;
    } else {
      q = std::move(r);
      fq = fr;
      r = std::move(found);
      fr = fc;
    }
  }

  m.parameters = d;
  m.lmsParameters = d;
  Predict(model, m.parameters, m.predictions);
  m.residuals.Resize(nY, false);
  m.weightedResiduals.Resize(nY, false);
  for (int i = 1; i <= nY; ++i) {
    m.residuals(i) = y(i) - m.predictions(i);
    m.weightedResiduals(i) = wy(i) - w(i) * m.predictions(i);
  }
  m.lmsPredictions = m.predictions;
  m.lmsResiduals = m.residuals;
  m.lmsWeightedResiduals = m.weightedResiduals;
  m.finalLms = MedianOfSquares(model, d);
  m.finalSSE = m.finalLms;

  // Outliers, by the size of the weighted residual.
  m.highlyProbable.clear();
  m.possible.clear();
  for (int j = 1; j <= numY; ++j) {
    for (int l = 1; l <= numExperiments; ++l) {
      const double size = std::fabs(m.weightedResiduals(l + (j - 1) * numExperiments));
      if (size > highlyProbableLimit) m.highlyProbable.push_back(KelOutlier{l, j, size});
      if (size > possibleLimit) m.possible.push_back(KelOutlier{l, j, size});
    }
  }
}

void KelNonLinearRegression::PrintRobustReport(int model) {
  const Model& m = models[static_cast<size_t>(model - 1)];
  KelPrint("\n\n\n=========================================");
  KelPrint("\nRobust Regression Analysis for model %d", model);
  KelPrint("\n=========================================\n");
  KelPrint("\nInitial value of LMS %e", m.initialLms);
  KelPrint("\nFinal value of LMS %e", m.finalLms);
  KelPrint("\n\n\n Parameters for Least Median of Squares");
  KelPrint("\n\n Par.         Value");
  for (int k = 1; k <= m.numParameters; ++k) KelPrint("\n%3d %23.14e", k, m.lmsParameters(k));
  KelPrint("\n\n\nLeast Median of Squares =%16.7e", m.finalLms);
  KelPause();
  KelPrint("\n\n===================");
  KelPrint("\nResiduals Analysis");
  KelPrint("\n===================");
  for (int j = 1; j <= numY; ++j) {
    KelPrint("\n\nResponse Variable %d", j);
    KelPrint(
        "\n        Observed y     Estimated y     Residuals r    Residuals\n"
        "                                                       Weighted");
    for (int l = 1; l <= numExperiments; ++l) {
      const int i = l + (j - 1) * numExperiments;
      KelPrint("\n%3d%16.7e%16.7e%16.7e%10.2f", l, y(i), m.lmsPredictions(i), m.lmsResiduals(i),
               m.lmsWeightedResiduals(i));
      if (std::fabs(m.lmsWeightedResiduals(i)) > highlyProbableLimit) KelPrint("%s", kelReportWarning);
    }
    KelPause();
  }

  if (!m.possible.empty() || !m.highlyProbable.empty()) {
    KelPrint("\n\nOutliers sorted by importance:\n");
    std::vector<KelOutlier> sorted = m.possible;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const KelOutlier& a, const KelOutlier& b) { return a.size > b.size; });
    for (const KelOutlier& o : sorted) KelPrint(" %d", o.experiment);
    if (m.highlyProbable.empty()) {
      KelPrint("\n\nThere are no highly probable Outliers");
    } else {
      KelPrint("\n\nThese are highly probable Outliers:");
      for (const KelOutlier& o : m.highlyProbable)
        KelPrint("\nExperiment %3d Variable %3d", o.experiment, o.response);
    }
  } else {
    KelPrint("\n\nThere are no Outliers");
    KelPrint("\n\nThere are no highly probable Outliers");
  }
  if (!m.possible.empty()) {
    KelPrint("\n\nThese are possible Outliers:");
    for (const KelOutlier& o : m.possible)
      KelPrint("\nExperiment %3d Variable %3d", o.experiment, o.response);
  }
  KelPause();
}
