// KelNonLinearRegression estimation: the bounded least-squares objective, the minimizer, the
// Gauss-Newton refinement, the Newton polishing and the statistics of the estimated model.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "foundation/kel_constants.h"
#include "minimization/kel_minimization_robust.h"
#include "nonlinear/kel_nonlinear_regression.h"
#include "statistics/kel_student_t_table.h"

namespace {

enum class StepSize { kSmall, kModerate, kLarge };

// A step s from b is large when some |s_k| > 0.1 (|b_k| + 1), moderate when some exceeds
// smallStep (|b_k| + 1) (the refinement's step tolerance), small otherwise. A non-finite step
// counts as small: it ends the refinement.
StepSize classifyStep(const KelVector& s, const KelVector& b, double smallStep) {
  bool moderate = false;
  for (int k = 1; k <= s.Size(); ++k) {
    if (!std::isfinite(s(k))) return StepSize::kSmall;
    const double scale = std::fabs(b(k)) + 1.0;
    if (std::fabs(s(k)) > 0.1 * scale) return StepSize::kLarge;
    if (std::fabs(s(k)) > smallStep * scale) moderate = true;
  }
  return moderate ? StepSize::kModerate : StepSize::kSmall;
}

// A large step is shortened so that no parameter moves by much more than a tenth of itself.
KelVector shortenedStep(const KelVector& s, const KelVector& b) {
  // Starts unset so that any finite bound of a component replaces it.
  double factor = kelUnsetValue;
  for (int k = 1; k <= s.Size(); ++k)
    if (s(k) != 0.0) factor = std::min(factor, (0.1 * std::fabs(b(k)) + 0.01) / std::fabs(s(k)));
  return factor * s;
}

// The step as the refinement applies it: shortened when large, whole otherwise.
KelVector appliedStep(const KelVector& s, const KelVector& b, double smallStep) {
  return classifyStep(s, b, smallStep) == StepSize::kLarge ? shortenedStep(s, b) : s;
}

// Singular values (decreasing) and right singular vectors of J. A column of J that is exactly
// zero (a parameter no response depends on) has the singular value 0 exactly, with its unit
// vector as right singular vector; the factorization's rotations would otherwise mix it with
// the other columns and return rounding noise instead, so the other columns are factorized
// alone.
void sortedSingularValues(const KelMatrix& J, KelVector& sigma, KelMatrix& V) {
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

// Product of two vectors component by component: parameters from their scaled values.
KelVector times(const KelVector& u, const KelVector& t) {
  KelVector r(u.Size());
  for (int k = 1; k <= u.Size(); ++k) r(k) = u(k) * t(k);
  return r;
}

KelVector dividedElementwise(const KelVector& b, const KelVector& t) {
  KelVector r(b.Size());
  for (int k = 1; k <= b.Size(); ++k) r(k) = b(k) / t(k);
  return r;
}

}  // namespace

void KelNonLinearRegression::PredictRows(int model, KelVector& b, const KelMatrix& xs, bool stored,
                                         KelVector& out) {
  const int rows = xs.Rows();
  if (out.Size() != rows * numY) out.Resize(rows * numY, false);
  ++evaluationCount;
  for (int l = 1; l <= rows; ++l) {
    for (int k = 1; k <= numX; ++k) xRow(k) = xs(l, k);
    yRow = 0.0;
    modelFunction(model, stored ? l : 0, b, xRow, yRow);
    for (int j = 1; j <= numY; ++j) out(l + (j - 1) * rows) = yRow(j);
  }
}

bool KelNonLinearRegression::Predict(int model, KelVector& b, KelVector& yHat) {
  PredictRows(model, b, X, true, yHat);
  for (int i = 1; i <= nY; ++i)
    if (!std::isfinite(yHat(i))) return false;
  return true;
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

double KelNonLinearRegression::FeasibleSSE(int model, KelVector& b, double& barrier) {
  if (!InsideBounds(model, b, barrier)) return kelUnfeasibleValue;
  const double sse = WeightedSSE(model, b);
  // A model that returns NaN or infinity there is treated as a point outside the bounds, so
  // that the search turns away from it instead of wandering on meaningless values.
  return std::isfinite(sse) ? sse : kelUnfeasibleValue;
}

double KelNonLinearRegression::Objective(int model, KelVector& b) {
  double barrier = 0.0;
  const double sse = FeasibleSSE(model, b, barrier);
  return sse == kelUnfeasibleValue ? sse : sse + barrier;
}

// The minimizer works on the parameters divided by their typical sizes.
double KelNonLinearRegression::LeastSquaresObjective(int model, KelVector& u) {
  const Model& m = models[static_cast<size_t>(model - 1)];
  bObjective = times(u, m.estimate.typical);
  return Objective(model, bObjective);
}

void KelNonLinearRegression::JacobianRows(int model, KelVector& b, const KelMatrix& xs, bool stored,
                                          const KelVector& rowWeight, KelMatrix& J) {
  const Model& m = ModelAt(model);
  const int n = b.Size();
  const int count = xs.Rows();
  const int rows = count * numY;
  if (J.Rows() != rows || J.Columns() != n) J.Resize(rows, n, false);
  // A non-finite derivative (the model fails beside b) carries no direction: the entry is
  // dropped rather than poisoning the factorization.
  auto store = [&](int i, int k, double derivative) {
    J(i, k) = std::isfinite(derivative) ? derivative * rowWeight(i) : 0.0;
  };
  if (m.jacobianFunction != nullptr) {
    KelMatrix dy(numY, n);
    for (int l = 1; l <= count; ++l) {
      for (int k = 1; k <= numX; ++k) xRow(k) = xs(l, k);
      dy = 0.0;
      m.jacobianFunction(model, stored ? l : 0, b, xRow, dy);
      for (int j = 1; j <= numY; ++j)
        for (int k = 1; k <= n; ++k) store(l + (j - 1) * count, k, dy(j, k));
    }
    return;
  }
  // Central differences: the step eps^(1/3) |b_k| balances the truncation error, of order h^2,
  // against the rounding error of the model, of order eps / h, so about two thirds of the
  // digits are right whatever the parameter's size. A parameter that is (nearly) zero takes
  // the step from its typical size instead. The steps are rounded to what b_k + h represents.
  const double relative = std::cbrt(kelMachEps);
  bStep = b;
  KelVector plus;
  KelVector minus;
  KelVector centre;
  for (int k = 1; k <= n; ++k) {
    const double typical = m.estimate.typical.Size() >= k ? m.estimate.typical(k) : 1.0;
    const double h = relative * std::max(std::fabs(b(k)), std::sqrt(kelMachEps) * typical);
    const double up = b(k) + h;
    const double down = b(k) - h;
    bStep(k) = up;
    PredictRows(model, bStep, xs, stored, plus);
    bStep(k) = down;
    PredictRows(model, bStep, xs, stored, minus);
    bStep(k) = b(k);
    for (int i = 1; i <= rows; ++i) {
      if (std::isfinite(plus(i)) && std::isfinite(minus(i))) {
        store(i, k, (plus(i) - minus(i)) / (up - down));
        continue;
      }
      // One side fails: the one-sided quotient of the other.
      if (centre.Size() != rows) PredictRows(model, b, xs, stored, centre);
      if (std::isfinite(plus(i)))
        store(i, k, (plus(i) - centre(i)) / (up - b(k)));
      else
        store(i, k, (centre(i) - minus(i)) / (b(k) - down));
    }
  }
}

void KelNonLinearRegression::ComputeJacobian(int model, KelVector& b, KelMatrix& J) {
  JacobianRows(model, b, X, true, w, J);
}

void KelNonLinearRegression::EnsureEstimated(int model) {
  Model& m = ModelAt(model);
  if (m.numParameters == 0) return;
  if (!m.estimated) {
    Estimate(model);
    m.statisticsReady = false;
  }
  if (!m.statisticsReady) {
    ComputeStatistics(model);
    m.statisticsReady = true;
    m.diagnosticsReady = false;
  }
}

void KelNonLinearRegression::Estimate(int model) {
  Model& m = ModelAt(model);
  KelNonLinearEstimate& e = m.estimate;
  m.estimated = true;
  ++e.estimationCount;
  // The comparison reads every model's statistics.
  comparisonReady = false;
  e.iterations = 0;
  evaluationCount = 0;
  // A zero start says nothing about the parameter's size: it is then taken as 1.
  e.typical.Resize(m.numParameters, false);
  for (int k = 1; k <= m.numParameters; ++k)
    e.typical(k) = m.start(k) != 0.0 ? std::fabs(m.start(k)) : 1.0;
  e.working = m.start;
  e.initialSSE = WeightedSSE(model, e.working);
  EstimationPass(model, m.start);
  // With errors in the independent variables the true x are re-estimated at the parameters
  // just found, and the parameters once more at those x; two passes in all.
  if (varianceKind == 2 && numUncertainX > 0) {
    EstimateIndependentVariables(model);
    const KelVector restart = e.working;
    EstimationPass(model, restart);
  }
  e.evaluations = evaluationCount;
  EvaluateFit(model);
}

// After the count of evaluations is taken: ModelEvaluations leaves out the final predictions
// and Jacobian, which describe the fit rather than search for it.
void KelNonLinearRegression::EvaluateFit(int model) {
  KelNonLinearEstimate& e = ModelAt(model).estimate;
  Predict(model, e.parameters, e.predictions);
  ComputeJacobian(model, e.parameters, e.jacobian);
  e.weightedPredictions.Resize(nY, false);
  e.residuals.Resize(nY, false);
  e.weightedResiduals.Resize(nY, false);
  for (int i = 1; i <= nY; ++i) {
    e.weightedPredictions(i) = w(i) * e.predictions(i);
    e.residuals(i) = y(i) - e.predictions(i);
    e.weightedResiduals(i) = wy(i) - e.weightedPredictions(i);
  }
}

void KelNonLinearRegression::EstimationPass(int model, const KelVector& start) {
  const double objective = RefinementPhase(model, start);
  DampedGaussNewton(model, objective);
}

// The state of the refinement, every point in scaled units: the best point p with its
// objective g, the next trial point, and the point a large improvement suggested for the next
// pass.
struct KelNonLinearRegression::Refinement {
  KelVector p;
  double g = 0.0;
  KelVector trial;
  KelVector remembered;
  bool rememberedLarge = false;
  int retries = 0;
};

double KelNonLinearRegression::RefinementPhase(int model, const KelVector& start) {
  Model& m = ModelAt(model);
  KelNonLinearEstimate& e = m.estimate;
  const KelVector& t = e.typical;

  // Minimization from the start, then Gauss-Newton steps judged against the scaled parameters.
  e.working = start;
  Refinement R;
  R.trial = dividedElementwise(start, t);
  KelMinimizationRobust minimizer(
      R.trial, [this, model](KelVector& u) { return LeastSquaresObjective(model, u); });
  minimizer(IterationBudget(options.minimizerIterationsPerParameter, m.numParameters));
  R.p = minimizer.XMin();
  R.g = minimizer.FSolution();
  KelVector s;
  for (int pass = 0; pass < options.maximumRefinementPasses; ++pass) {
    ScaledGaussNewtonStep(model, R.p, s);
    const StepSize size = classifyStep(s, R.p, options.refinementStepTolerance);
    if (size == StepSize::kSmall) return R.g;
    if (size == StepSize::kModerate)
      R.trial = R.p + s;
    else if (R.rememberedLarge)
      R.trial = R.remembered;
    else
      R.trial = R.p + shortenedStep(s, R.p);
    e.working = times(R.trial, t);
    const RefinementOutcome outcome = RestartMinimizer(model, minimizer, R);
    if (outcome == RefinementOutcome::kFinished) return R.g;
    if (outcome == RefinementOutcome::kEndPasses) break;
  }
  e.parameters = times(R.p, t);
  return R.g;
}

void KelNonLinearRegression::ScaledGaussNewtonStep(int model, const KelVector& p, KelVector& s) {
  KelNonLinearEstimate& e = ModelAt(model).estimate;
  const KelVector& t = e.typical;
  e.parameters = times(p, t);
  Predict(model, e.parameters, e.predictions);
  ComputeJacobian(model, e.parameters, e.jacobian);
  ++e.iterations;
  KelMatrix scaledJacobian = e.jacobian;
  KelVector r(nY);
  for (int i = 1; i <= nY; ++i) {
    r(i) = wy(i) - w(i) * e.predictions(i);
    for (int k = 1; k <= t.Size(); ++k) scaledJacobian(i, k) *= t(k);
  }
  jacobianSvd = scaledJacobian;
  Solve(&jacobianSvd, r, &s);
}

KelNonLinearRegression::RefinementOutcome KelNonLinearRegression::RestartMinimizer(
    int model, KelMinimizationRobust& minimizer, Refinement& R) {
  Model& m = ModelAt(model);
  KelNonLinearEstimate& e = m.estimate;
  const KelVector& t = e.typical;
  // Restarts from the trial point until an improvement ends the pass or the refinement. A
  // restart that finds nothing better is retried twice from the mirror of its move.
  for (int restart = 0; restart < options.maximumRefinementPasses; ++restart) {
    minimizer.Initialize(R.trial);
    minimizer(IterationBudget(options.minimizerIterationsPerParameter, m.numParameters));
    KelVector q = minimizer.XMin();
    const double v = minimizer.FSolution();
    KelVector change = q - R.p;
    const StepSize changeSize = classifyStep(change, R.p, options.refinementStepTolerance);
    if (!(v < R.g)) {
      if (changeSize != StepSize::kSmall && R.retries < 2) {
        ++R.retries;
        KelVector reversed = R.p - q;
        R.trial = R.p + appliedStep(reversed, R.p, options.refinementStepTolerance);
        e.working = times(R.trial, t);
        continue;
      }
      e.parameters = times(R.p, t);
      return RefinementOutcome::kFinished;
    }
    R.retries = 0;
    e.parameters = times(q, t);
    R.g = v;
    R.p = q;
    if (changeSize == StepSize::kSmall) return RefinementOutcome::kFinished;
    if (changeSize == StepSize::kModerate) {
      R.trial = q + change;
      e.working = times(R.trial, t);
      continue;
    }
    R.remembered = q + change;
    R.rememberedLarge = true;
    return RefinementOutcome::kNextPass;
  }
  return RefinementOutcome::kEndPasses;
}

void KelNonLinearRegression::ComputeStatistics(int model) {
  Model& m = ModelAt(model);
  const KelNonLinearEstimate& e = m.estimate;
  KelNonLinearStatistics& s = m.statistics;
  const int n = m.numParameters;

  // Degrees of freedom and t quantiles.
  s.degreesOfFreedom = nY - n;
  const int dof = s.degreesOfFreedom;
  s.t95 = kel_student_t::Quantile95(dof);
  s.t99 = kel_student_t::Quantile99(dof);

  // Singular values of the weighted Jacobian, rank deficiency, scaled singular vectors.
  sortedSingularValues(e.jacobian, s.singularValues, s.rightVectors);
  jacobianSvd = e.jacobian;
  const KelVector& sigma = s.singularValues;
  const double sigma1 = sigma(1);
  s.rankDeficiency = 0;
  for (int k = 1; k <= n; ++k)
    // A Jacobian of zeros has rank 0: its singular values are all deficient.
    if (sigma(k) < 10.0 * kelMachEpsFloat * sigma1 || sigma(k) == 0.0) ++s.rankDeficiency;
  const int retained = n - s.rankDeficiency;
  s.scaledVectors.Resize(retained, n, false);
  for (int j = 1; j <= retained; ++j)
    for (int k = 1; k <= n; ++k)
      s.scaledVectors(j, k) = s.rightVectors(k, j) / (sigma(j) * meanWeight);

  // Condition number, norms, standard deviation and R2.
  s.conditionNumber = sigma(n) == 0.0 ? kelBigValue : sigma1 / sigma(n);
  s.parametersNorm = e.working.Norm2();
  s.residualsNorm = e.residuals.Norm2();
  s.sumOfSquares = s.residualsNorm * s.residualsNorm;
  s.standardDeviation = s.residualsNorm / std::sqrt(static_cast<double>(dof));
  s.meanSquareError = s.standardDeviation * s.standardDeviation;
  // A constant response leaves R2 undefined unless the fit is exact as well.
  if (sst > 0.0)
    s.r2 = 1.0 - s.sumOfSquares / sst;
  else
    s.r2 = s.sumOfSquares == 0.0 ? 1.0 : std::numeric_limits<double>::quiet_NaN();

  // Covariance, standard errors of the parameters and of the predictions.
  ComputeCovariance(model);
}

// Added to the squared singular values of the column-scaled Jacobian in the covariance.
constexpr double kUnitColumnDamping = 1e-20;

// Cov = c V D^-2 V^T over the non-zero singular values, with c = 1 when the measurement
// variances are known (assigned variances or weights) and c = the mean square error with unit
// weights, where the residuals are all that tells the variance.
//
// The decomposition is that of the weighted Jacobian with its columns scaled to unit norm,
// J = Js C: Cov = c C^-1 Vs Ds^-2 Vs^T C^-1, the same matrix as from J itself when J has full
// rank. Parameters of very different sizes give columns of very different norms, and the plain
// decomposition loses the small components of their singular vectors (Kirby2's standard errors
// keep barely two digits); the scaled one keeps them. A zero column keeps the scale 1, so its
// exactly zero singular value stays zero and is left out.
void KelNonLinearRegression::ComputeCovariance(int model) {
  Model& m = ModelAt(model);
  const KelMatrix& J = m.estimate.jacobian;
  KelNonLinearStatistics& s = m.statistics;
  const int n = m.numParameters;
  const double variance = weightingKind == 3 ? s.meanSquareError : 1.0;
  KelVector columnNorm(n);
  KelMatrix scaled = J;
  for (int k = 1; k <= n; ++k) {
    double sum = 0.0;
    for (int i = 1; i <= nY; ++i) sum += J(i, k) * J(i, k);
    columnNorm(k) = sum > 0.0 ? std::sqrt(sum) : 1.0;
    for (int i = 1; i <= nY; ++i) scaled(i, k) /= columnNorm(k);
  }
  KelVector sigma;
  KelMatrix V;
  sortedSingularValues(scaled, sigma, V);

  s.covariance = KelMatrixSymmetric(n, n);
  for (int k = 1; k <= n; ++k) {
    if (sigma(k) == 0.0) continue;
    // The singular values are those of unit-norm columns, so this damping is dimensionless: it
    // does not depend on the units of the parameters or the responses. It bounds the share of
    // singular values at the level of the finite-difference noise (a Jacobian of numerical rank
    // below n), whose inverse squares would otherwise swamp the covariance.
    const double scale = variance / (sigma(k) * sigma(k) + kUnitColumnDamping);
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= i; ++j)
        s.covariance(i, j) += V(i, k) * V(j, k) * scale / (columnNorm(i) * columnNorm(j));
  }
  // A parameter the responses do not depend on (a zero column) is not determined by the data:
  // its standard error is infinite, not the zero its left-out singular value leaves in Cov.
  s.standardErrors.Resize(n, false);
  for (int k = 1; k <= n; ++k) {
    bool zeroColumn = true;
    for (int i = 1; i <= nY && zeroColumn; ++i) zeroColumn = J(i, k) == 0.0;
    s.standardErrors(k) = zeroColumn ? std::numeric_limits<double>::infinity()
                                     : std::sqrt(std::max(s.covariance(k, k), 0.0));
  }

  // The variance of prediction i is g_i^T Cov g_i / w_i^2 (g_i the weighted Jacobian row),
  // summed as squares in the singular basis to avoid cancellation.
  s.predictionStandardErrors.Resize(nY, false);
  for (int i = 1; i <= nY; ++i) {
    double sum = 0.0;
    for (int k = 1; k <= n; ++k) {
      if (sigma(k) == 0.0) continue;
      double z = 0.0;
      for (int j = 1; j <= n; ++j) z += V(j, k) * scaled(i, j);
      z /= sigma(k);
      sum += z * z;
    }
    s.predictionStandardErrors(i) = std::sqrt(variance * sum * inverseSquaredW(i));
  }
}
