// KelNonLinearRegression estimation finish: damped Gauss-Newton (Levenberg-Marquardt) iterations
// from the point the minimizer and the refinement left, with the Jacobian recomputed at every
// iterate and convergence tests that are relative to each parameter, so that the fit ends on
// the same digits whatever units the parameters are expressed in.
#include <algorithm>
#include <cmath>

#include "foundation/kel_constants.h"
#include "nonlinear/kel_nonlinear_regression.h"

namespace {

// One iterate's linearization: the weighted Jacobian with its columns scaled to unit norm,
// J D^-1 = U diag(sigma) V^T, and g = U^T r. Scaling the columns makes the damping and the
// singular value cut-off independent of the parameters' units.
struct Linearization {
  KelVector columnNorm;
  KelVector sigma;
  KelMatrix V;
  KelVector g;
  int rank = 0;
  double residualNorm = 0.0;
  double projectedNorm = 0.0;  // ||g|| over the retained singular values
};

// The rounding error of the weighted sum of squares near b. Each residual w y - w yhat is
// rounded to about eps (|w y| + |w yhat|), which moves the sum by twice the residual times
// that, and each of the nY additions rounds the sum by eps of itself. The typical error adds
// these as independent errors (root sum of squares); the bound adds their sizes.
struct Rounding {
  double typical = 0.0;
  double bound = 0.0;
};

Rounding sumOfSquaresRounding(const KelVector& r, const KelVector& wy, const KelVector& w,
                              const KelVector& yHat) {
  double sum = 0.0;
  double shifts = 0.0;
  double shiftSquares = 0.0;
  const int count = r.Size();
  for (int i = 1; i <= count; ++i) {
    sum += r(i) * r(i);
    const double shift = 2.0 * std::fabs(r(i)) * (std::fabs(wy(i)) + std::fabs(w(i) * yHat(i)));
    shifts += shift;
    shiftSquares += shift * shift;
  }
  Rounding e;
  e.typical = kelMachEps * (std::sqrt(static_cast<double>(count)) * sum + std::sqrt(shiftSquares));
  e.bound = kelMachEps * (count * sum + shifts);
  return e;
}

void linearize(const KelMatrix& J, const KelVector& r, KelFactorizedSVD& svd, Linearization& L) {
  const int rows = J.Rows();
  const int n = J.Columns();
  L.columnNorm.Resize(n, false);
  KelMatrix scaled = J;
  for (int k = 1; k <= n; ++k) {
    double sum = 0.0;
    for (int i = 1; i <= rows; ++i) sum += J(i, k) * J(i, k);
    L.columnNorm(k) = sum > 0.0 ? std::sqrt(sum) : 1.0;
    for (int i = 1; i <= rows; ++i) scaled(i, k) /= L.columnNorm(k);
  }
  svd = scaled;
  KelMatrix U;
  svd.GetSortedDecomposition(&L.sigma, &L.V, &U);
  L.g.Resize(n, false);
  for (int k = 1; k <= n; ++k) {
    double dot = 0.0;
    for (int i = 1; i <= rows; ++i) dot += U(i, k) * r(i);
    L.g(k) = dot;
  }
  // Singular values at rounding level belong to directions the model does not resolve (a
  // parameter no response depends on): they take no step and count in no test.
  L.rank = 0;
  L.projectedNorm = 0.0;
  for (int k = 1; k <= n; ++k) {
    if (!(L.sigma(k) > n * kelMachEps * L.sigma(1))) break;
    ++L.rank;
    L.projectedNorm += L.g(k) * L.g(k);
  }
  L.projectedNorm = std::sqrt(L.projectedNorm);
  L.residualNorm = r.Norm2();
}

// The step minimizing ||J s - r||^2 + lambda ||D s||^2 in the original units, and the
// reduction of the sum of squares that the linear model predicts for it.
KelVector dampedStep(const Linearization& L, double lambda, double& predicted) {
  const int n = L.columnNorm.Size();
  KelVector s(n);
  predicted = 0.0;
  for (int k = 1; k <= L.rank; ++k) {
    const double sk = L.sigma(k);
    const double t = sk * L.g(k) / (sk * sk + lambda);
    predicted += 2.0 * sk * t * L.g(k) - sk * sk * t * t;
    for (int j = 1; j <= n; ++j) s(j) += L.V(j, k) * t;
  }
  for (int j = 1; j <= n; ++j) s(j) /= L.columnNorm(j);
  return s;
}

// The step is negligible when every component is below the tolerance of its parameter; a
// parameter at or near zero is measured against its typical size instead. With the default
// tolerance, sqrt(eps), such a step changes no more than the last half of the digits, and the
// quadratic model that gave it has converged as far as differences of the model can tell.
bool negligibleStep(const KelVector& s, const KelVector& b, const KelVector& typical,
                    double tolerance) {
  for (int k = 1; k <= s.Size(); ++k) {
    const double size = std::max(std::fabs(b(k)), tolerance * typical(k));
    if (!(std::fabs(s(k)) <= tolerance * size)) return false;
  }
  return true;
}

// Damped steps from b until one lowers the objective f (then b and f move there and true is
// returned) or the damping outweighs every curvature by 1/eps, where the step is below the
// rounding of the parameters (false). The damping starts at a thousandth of the largest
// curvature of the scaled problem and adapts to how well the linear model predicted the
// reduction (Nielsen's rule: shrink by up to 3 after a good prediction, grow by 2, 4, 8, ...
// after failures).
template <typename ObjectiveAt>
bool dampedSteps(const Linearization& L, KelVector& b, double& f, double& lambda, double& growth,
                 ObjectiveAt objective) {
  KelVector trial;
  double predicted = 0.0;
  while (lambda <= L.sigma(1) * L.sigma(1) / kelMachEps) {
    trial = b + dampedStep(L, lambda, predicted);
    const double value = objective(trial);
    if (value < f) {
      const double rho = predicted > 0.0 ? (f - value) / predicted : 1.0;
      const double c = 2.0 * rho - 1.0;
      lambda *= std::max(1.0 / 3.0, 1.0 - c * c * c);
      growth = 2.0;
      b = trial;
      f = value;
      return true;
    }
    lambda *= growth;
    growth *= 2.0;
  }
  return false;
}

// The convergence tests on the undamped Gauss-Newton step: converged when it is negligible
// against every parameter, or when the reduction of the sum of squares it promises, ||g||^2,
// is below the rounding error of that sum, so that no step could be seen to lower it. Returns
// kContinue when neither is met.
KelEstimationStop convergenceTest(const Linearization& L, const Rounding& rounding,
                                  const KelVector& newton, const KelVector& b,
                                  const KelVector& typical, double stepTolerance) {
  if (negligibleStep(newton, b, typical, stepTolerance)) return KelEstimationStop::kStep;
  if (L.projectedNorm * L.projectedNorm <= rounding.typical) return KelEstimationStop::kGradient;
  return KelEstimationStop::kContinue;
}

}  // namespace

void KelNonLinearRegression::DampedGaussNewton(int model, double objective) {
  Model& m = ModelAt(model);
  KelNonLinearEstimate& e = m.estimate;
  const int n = m.numParameters;
  KelVector b = e.parameters;
  // The finish compares sums of squares without the barrier (FeasibleSSE).
  double barrier = 0.0;
  double f = InsideBounds(model, b, barrier) ? objective - barrier : objective;
  // What remains when the iterations run out with neither test met.
  e.stopReason = KelEstimationStop::kIterationLimit;
  // Fewer measurements than parameters leave the fit undetermined: no test can be met.
  if (nY < n) {
    e.stopReason = KelEstimationStop::kNoProgress;
    e.finalSSE = f;
    return;
  }
  const int limit = IterationBudget(options.finishIterationsPerParameter, n + 1);
  KelVector r(nY);
  Linearization L;
  KelFactorizedSVD svd;
  double lambda = -1.0;
  double growth = 2.0;
  for (int iteration = 0; iteration < limit; ++iteration) {
    ++e.iterations;
    Predict(model, b, e.predictions);
    for (int i = 1; i <= nY; ++i) r(i) = wy(i) - w(i) * e.predictions(i);
    ComputeJacobian(model, b, e.jacobian);
    linearize(e.jacobian, r, svd, L);
    double predicted = 0.0;
    const KelVector newton = dampedStep(L, 0.0, predicted);
    const Rounding rounding = sumOfSquaresRounding(r, wy, w, e.predictions);
    const KelEstimationStop reason =
        convergenceTest(L, rounding, newton, b, e.typical, options.stepTolerance);
    if (KelConverged(reason)) {
      TakeLastStep(model, newton, rounding.typical, b, f);
      e.stopReason = reason;
      break;
    }
    if (lambda < 0.0) lambda = 1e-3 * L.sigma(1) * L.sigma(1);
    const bool accepted = dampedSteps(L, b, f, lambda, growth, [&](KelVector& point) {
      e.working = point;
      return FeasibleSSE(model, point, barrier);
    });
    if (!accepted) {
      // No step, down to the rounding of the parameters, lowers the computed sum: that is a
      // minimum of the arithmetic when the reduction promised stays within the rounding bound
      // of the sum, and a failure otherwise.
      e.stopReason = L.projectedNorm * L.projectedNorm <= rounding.bound
                         ? KelEstimationStop::kGradient
                         : KelEstimationStop::kNoProgress;
      break;
    }
  }
  e.parameters = b;
  e.finalSSE = f;
}

void KelNonLinearRegression::TakeLastStep(int model, const KelVector& newton, double tolerance,
                                          KelVector& b, double& f) {
  // The converged step is still taken, for the digits it adds, unless it raises the sum by
  // more than its rounding error.
  KelNonLinearEstimate& e = ModelAt(model).estimate;
  KelVector trial = b + newton;
  e.working = trial;
  double barrier = 0.0;
  const double value = FeasibleSSE(model, trial, barrier);
  if (value <= f + tolerance) {
    b = trial;
    f = value;
  }
}
