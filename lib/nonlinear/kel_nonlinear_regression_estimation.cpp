// KelNonLinearRegression estimation: the bounded least-squares objective, the minimizer, the
// Gauss-Newton refinement, the Newton polishing and the statistics of the estimated model.
#include <algorithm>
#include <cmath>
#include <vector>

#include "kel_constants.h"
#include "kel_minimization_robust.h"
#include "kel_nonlinear_regression.h"
#include "kel_student_t_table.h"

namespace {

// Estimation loops end by strict decrease of the objective; these caps only guard against a
// sequence of ever smaller decreases that would run for an absurd time.
constexpr int maximumRefinementPasses = 10000;
constexpr int maximumPolishingSteps = 1000;

enum class StepSize { kSmall, kModerate, kLarge };

// A step s from b is large when some |s_k| > 0.1 (|b_k| + 1), moderate when some exceeds 0.01
// (|b_k| + 1), small otherwise. A non-finite step counts as small: it ends the refinement.
StepSize ClassifyStep(const KelVector& s, const KelVector& b) {
  bool moderate = false;
  for (int k = 1; k <= s.Size(); ++k) {
    if (!std::isfinite(s(k))) return StepSize::kSmall;
    const double scale = std::fabs(b(k)) + 1.0;
    if (std::fabs(s(k)) > 0.1 * scale) return StepSize::kLarge;
    if (std::fabs(s(k)) > 0.01 * scale) moderate = true;
  }
  return moderate ? StepSize::kModerate : StepSize::kSmall;
}

// A large step is shortened so that no parameter moves by much more than a tenth of itself.
KelVector ShortenedStep(const KelVector& s, const KelVector& b) {
  double factor = 1e30;
  for (int k = 1; k <= s.Size(); ++k)
    if (s(k) != 0.0)
      factor = std::min(factor, (0.1 * std::fabs(b(k)) + 0.01) / (std::fabs(s(k)) + 1e-20));
  return factor * s;
}

// The step as the refinement applies it: shortened when large, whole otherwise.
KelVector AppliedStep(const KelVector& s, const KelVector& b) {
  return ClassifyStep(s, b) == StepSize::kLarge ? ShortenedStep(s, b) : s;
}

// Singular values (decreasing) and right singular vectors of J. A column of J that is exactly
// zero (a parameter no response depends on) has the singular value 0 exactly, with its unit
// vector as right singular vector; the factorization's rotations would otherwise mix it with
// the other columns and return rounding noise instead, so the other columns are factorized
// alone.
void SortedSingularValues(const KelMatrix& J, KelVector& sigma, KelMatrix& V) {
  const int rows = J.Rows();
  const int n = J.Columns();
  std::vector<int> kept;
  std::vector<int> zero;
  for (int k = 1; k <= n; ++k) {
    bool allZero = true;
    for (int i = 1; i <= rows && allZero; ++i) allZero = J(i, k) == 0.0;
    (allZero ? zero : kept).push_back(k);
  }
  KelMatrix U;
  if (zero.empty()) {
    KelFactorizedSVD svd(J);
    svd.GetSortedDecomposition(&sigma, &V, &U);
    return;
  }
  const int r = static_cast<int>(kept.size());
  sigma.Resize(n);
  V.Resize(n, n);
  if (r > 0) {
    KelMatrix reduced(rows, r);
    for (int i = 1; i <= rows; ++i)
      for (int a = 1; a <= r; ++a) reduced(i, a) = J(i, kept[static_cast<size_t>(a - 1)]);
    KelFactorizedSVD svd(reduced);
    KelVector w;
    KelMatrix reducedV;
    svd.GetSortedDecomposition(&w, &reducedV, &U);
    for (int j = 1; j <= r; ++j) {
      sigma(j) = w(j);
      for (int a = 1; a <= r; ++a) V(kept[static_cast<size_t>(a - 1)], j) = reducedV(a, j);
    }
  }
  for (size_t z = 0; z < zero.size(); ++z) V(zero[z], r + 1 + static_cast<int>(z)) = 1.0;
}

}  // namespace

bool KelNonLinearRegression::Predict(int model, KelVector& b, KelVector& yHat) {
  if (yHat.Size() != nY) yHat.Resize(nY, false);
  bool finite = true;
  for (int l = 1; l <= numExperiments; ++l) {
    for (int k = 1; k <= numX; ++k) xRow(k) = X(l, k);
    yRow = 0.0;
    modelFunction(model, l, b, xRow, yRow);
    for (int j = 1; j <= numY; ++j) {
      const double value = yRow(j);
      if (!std::isfinite(value)) finite = false;
      yHat(l + (j - 1) * numExperiments) = value;
    }
  }
  return finite;
}

double KelNonLinearRegression::WeightedSSE(int model, KelVector& b) {
  Predict(model, b, yStep);
  double sum = 0.0;
  for (int i = 1; i <= nY; ++i) {
    const double r = (y(i) - yStep(i)) * w(i);
    sum += r * r;
  }
  return sum;
}

bool KelNonLinearRegression::InsideBounds(int model, const KelVector& b, double& barrier) const {
  const Model& m = models[static_cast<size_t>(model - 1)];
  barrier = 0.0;
  for (int k = 1; k <= b.Size(); ++k) {
    // Negated so that a NaN coordinate also counts as outside.
    if (!(b(k) > m.lower(k) && b(k) < m.upper(k))) return false;
    barrier += 1e-5 / std::fabs(b(k) - m.lower(k)) + 1e-5 / std::fabs(b(k) - m.upper(k));
  }
  return true;
}

double KelNonLinearRegression::LeastSquaresObjective(KelVector& b) {
  KelNonLinearRegression& self = *active;
  double barrier = 0.0;
  if (!self.InsideBounds(activeModel, b, barrier)) return 1e30;
  const double sse = self.WeightedSSE(activeModel, b);
  // A model that returns NaN or infinity there is treated as a point outside the bounds, so
  // that the search turns away from it instead of wandering on meaningless values.
  if (!std::isfinite(sse)) return 1e30;
  return sse + barrier;
}

void KelNonLinearRegression::ComputeJacobian(int model, KelVector& b, const KelVector& yHat,
                                             KelMatrix& J) {
  const int n = b.Size();
  if (J.Rows() != nY || J.Columns() != n) J.Resize(nY, n, false);
  bStep = b;
  KelVector shifted(nY);
  for (int k = 1; k <= n; ++k) {
    const double h = 0.01 * std::fabs(b(k)) + 0.001;
    bStep(k) = b(k) + h;
    Predict(model, bStep, shifted);
    bStep(k) = b(k);
    for (int i = 1; i <= nY; ++i) {
      const double derivative = (shifted(i) - yHat(i)) / h;
      // A non-finite difference (the model fails beside b) carries no direction: the column
      // entry is dropped rather than poisoning the factorization.
      J(i, k) = std::isfinite(derivative) ? derivative * w(i) : 0.0;
    }
  }
}

void KelNonLinearRegression::EnsureEstimated(int model) {
  Model& m = ModelAt(model);
  if (m.numParameters == 0) return;
  if (m.estimated == 0) {
    Estimate(model);
    m.statisticsReady = 0;
  }
  if (m.statisticsReady == 0) {
    ComputeStatistics(model);
    m.statisticsReady = 1;
    m.diagnosticsReady = 0;
  }
}

void KelNonLinearRegression::Estimate(int model) {
  Model& m = ModelAt(model);
  m.estimated = 1;
  ++m.estimationCount;
  m.working = m.start;
  m.initialSSE = WeightedSSE(model, m.working);
  EstimationPass(model, m.start);
  // With errors in the independent variables the true x are re-estimated at the parameters
  // just found, and the parameters once more at those x; two passes in all.
  if (varianceKind == 2 && numUncertainX > 0) {
    EstimateIndependentVariables(model);
    const KelVector restart = m.working;
    EstimationPass(model, restart);
  }
}

void KelNonLinearRegression::EstimationPass(int model, const KelVector& start) {
  Model& m = ModelAt(model);
  active = this;
  activeModel = model;
  const int limit = m.iterationLimit;

  // 1-2: minimization from the start.
  m.working = start;
  KelMinimizationRobust minimizer(m.working, LeastSquaresObjective);
  minimizer(limit);
  KelVector p = minimizer.XMin();
  double g = minimizer.FSolution();

  // 3: Gauss-Newton refinement.
  KelVector s;
  KelVector r(nY);
  KelVector q;
  KelVector change;
  KelVector remembered;
  bool rememberedLarge = false;
  int retries = 0;
  bool polish = false;
  for (int pass = 0; pass < maximumRefinementPasses && !polish; ++pass) {
    m.parameters = p;
    Predict(model, m.parameters, m.predictions);
    ComputeJacobian(model, m.parameters, m.predictions, m.jacobian);
    for (int i = 1; i <= nY; ++i) r(i) = wy(i) - w(i) * m.predictions(i);
    jacobianSvd = m.jacobian;
    Solve(&jacobianSvd, r, &s);

    const StepSize size = ClassifyStep(s, m.parameters);
    if (size == StepSize::kSmall) {
      polish = true;
      break;
    }
    if (size == StepSize::kModerate)
      m.working = m.parameters + s;
    else if (rememberedLarge)
      m.working = remembered;
    else
      m.working = m.parameters + ShortenedStep(s, m.parameters);

    // f-h: restarts of the minimizer until an improvement ends the pass or the estimation.
    bool nextPass = false;
    for (int restart = 0; restart < maximumRefinementPasses; ++restart) {
      minimizer.Initialize(m.working);
      minimizer(limit);
      q = minimizer.XMin();
      const double v = minimizer.FSolution();
      change = q - p;
      const StepSize changeSize = ClassifyStep(change, p);
      if (!(v < g)) {
        if (changeSize != StepSize::kSmall && retries < 2) {
          ++retries;
          KelVector reversed = p - q;
          m.working = m.parameters + AppliedStep(reversed, m.parameters);
          continue;
        }
        m.finalSSE = g;
        return;
      }
      retries = 0;
      m.parameters = q;
      if (changeSize == StepSize::kSmall) {
        m.finalSSE = v;
        return;
      }
      g = v;
      p = q;
      if (changeSize == StepSize::kModerate) {
        m.working = q + change;
        continue;
      }
      remembered = q + change;
      rememberedLarge = true;
      nextPass = true;
      break;
    }
    if (!nextPass) break;
  }
  if (!polish) {
    m.finalSSE = g;
    return;
  }

  // 4: Newton polishing with the Jacobian factorized at the last refinement point.
  for (int step = 0; step < maximumPolishingSteps; ++step) {
    m.working = m.parameters + s;
    const double sse = WeightedSSE(model, m.working);
    if (!(sse < g)) break;
    g = sse;
    m.parameters = m.working;
    Predict(model, m.parameters, m.predictions);
    for (int i = 1; i <= nY; ++i) r(i) = wy(i) - w(i) * m.predictions(i);
    Solve(&jacobianSvd, r, &s);
    bool small = true;
    for (int k = 1; k <= s.Size(); ++k)
      if (!(std::fabs(s(k)) <= 0.01 * (std::fabs(m.parameters(k)) + 1.0))) small = false;
    if (!small) break;
  }
  m.finalSSE = g;
}

void KelNonLinearRegression::ComputeStatistics(int model) {
  Model& m = ModelAt(model);
  const int n = m.numParameters;

  // 1-3: predictions, weighted Jacobian and residuals at the final parameters.
  Predict(model, m.parameters, m.predictions);
  ComputeJacobian(model, m.parameters, m.predictions, m.jacobian);
  m.weightedPredictions.Resize(nY, false);
  m.residuals.Resize(nY, false);
  m.weightedResiduals.Resize(nY, false);
  for (int i = 1; i <= nY; ++i) {
    m.weightedPredictions(i) = w(i) * m.predictions(i);
    m.residuals(i) = y(i) - m.predictions(i);
    m.weightedResiduals(i) = wy(i) - m.weightedPredictions(i);
  }

  // 4: degrees of freedom and t quantiles.
  m.degreesOfFreedom = nY - n;
  const int dof = m.degreesOfFreedom;
  m.t95 = kel_student_t::Quantile95(dof);
  m.t99 = kel_student_t::Quantile99(dof);

  // 5-6: singular values of the weighted Jacobian, rank deficiency, scaled singular vectors.
  SortedSingularValues(m.jacobian, m.singularValues, m.rightVectors);
  jacobianSvd = m.jacobian;
  const KelVector& sigma = m.singularValues;
  const double sigma1 = sigma(1);
  m.rankDeficiency = 0;
  for (int k = 1; k <= n; ++k)
    if (sigma(k) < 10.0 * kelMachEpsFloat * sigma1) ++m.rankDeficiency;
  const int retained = n - m.rankDeficiency;
  m.scaledVectors.Resize(retained, n, false);
  for (int j = 1; j <= retained; ++j)
    for (int k = 1; k <= n; ++k)
      m.scaledVectors(j, k) = m.rightVectors(k, j) / (sigma(j) * meanWeight + 1e-20);

  // 7: condition number, norms, standard deviation and R2.
  m.conditionNumber = sigma(n) == 0.0 ? kelBigValue : sigma1 / sigma(n);
  m.parametersNorm = m.working.Norm2();
  m.residualsNorm = m.residuals.Norm2();
  m.sumOfSquares = m.residualsNorm * m.residualsNorm;
  m.standardDeviation = m.residualsNorm / std::sqrt(static_cast<double>(dof));
  m.meanSquareError = m.standardDeviation * m.standardDeviation;
  m.r2 = 1.0 - m.sumOfSquares / (sst + 1e-20);

  // 8-9: covariance over the non-zero singular values and standard errors.
  m.covariance = KelMatrixSymmetric(n, n);
  for (int k = 1; k <= n; ++k) {
    if (sigma(k) == 0.0) continue;
    const double scale = 1.0 / (sigma(k) * sigma(k) + 1e-20);
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= i; ++j)
        m.covariance(i, j) += m.rightVectors(i, k) * m.rightVectors(j, k) * scale;
  }
  m.standardErrors.Resize(n, false);
  for (int k = 1; k <= n; ++k)
    m.standardErrors(k) = std::max(std::sqrt(std::max(m.covariance(k, k), 0.0)), 1e-15);

  // 10: standard errors of the predictions, g_i^T Cov g_i through the transposed solve.
  m.predictionStandardErrors.Resize(nY, false);
  KelVector g(n);
  KelVector z;
  for (int i = 1; i <= nY; ++i) {
    for (int k = 1; k <= n; ++k) g(k) = m.jacobian(i, k);
    TransposeSolve(&jacobianSvd, g, &z);
    m.predictionStandardErrors(i) = std::sqrt(TProduct(z, z) * inverseSquaredW(i));
  }
}
