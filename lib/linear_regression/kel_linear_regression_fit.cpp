// KelLinearRegression: the least-squares fit (balanced and plain SVD, statistics, covariance,
// standard errors of the estimated responses, leave-one-out outlier test).
#include <algorithm>
#include <cmath>
#include <vector>

#include "factorizations/kel_factorized_householder.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_regression.h"
#include "statistics/kel_student_t_table.h"

void KelLinearRegression::EnsureLeastSquares() {
  if (leastSquaresComputed == 0) ComputeLeastSquares();
}

// Runs the whole fit for the current data and marks it current.
void KelLinearRegression::ComputeLeastSquares() {
  if (numParameters < 1) KelError("%s%s", kelClassLinearRegression, kelErrCheck);
  // Every later step reads y element by element next to the rows of F.
  CheckResponseSize();
  // The earlier form of the regression lets the factorizations' notes through.
  const KelQuietMessages quiet(earlierForm == 0);
  degreesOfFreedom = numExperiments - numParameters;
  ComputeBalancedSolution();
  ComputeSingularValueDecomposition();
  const int dof = degreesOfFreedom;
  t95 = kel_student_t::Quantile95(dof);
  t99 = kel_student_t::Quantile99(dof);
  ComputeResidualStatistics();
  ComputeCovariance();
  ComputeResponseStandardErrors();
  ComputeLeaveOneOut();
  ClassifyLeaveOneOut();
  diagnosticsComputed = 0;
  leastSquaresComputed = 1;
}

// b = the solution of the row- and column-balanced problem, which is the one kept, refined once
// by the corrected semi-normal equations: with the residual r = y - F b and g = F^T r both
// formed in extended precision, the correction d of A^T A d = g comes from the same balanced
// factorization. On a polynomial of degree 10 (condition number about 1e15) this gains about
// a digit; on well-conditioned problems the correction is below the last digit.
void KelLinearRegression::ComputeBalancedSolution() {
  balancedSvd.AssignMatrix(F);
  b = y;
  balancedSvd.SolveScaled(&F, &b);
  KelVector correction = ResidualCrossProduct();
  balancedSvd.SolveScaledNormalEquations(&correction);
  b += correction;
  systemConditioning = balancedSvd.ConditionNumber();
  if (earlierForm != 0) KelPrint("\nsystemConditioning %e", systemConditioning);
  // Nothing later solves with the balanced factorization: its copies of F (the loaded matrix
  // and the factors) are freed before the next factorizations need their own.
  balancedSvd.AssignMatrix(KelMatrix());
}

// F^T (y - F b), the residual and the products formed in extended precision.
KelVector KelLinearRegression::ResidualCrossProduct() const {
  const int n = numParameters;
  std::vector<long double> sums(static_cast<size_t>(n), 0.0L);
  const double* beta = b.Data();
  for (int i = 1; i <= numExperiments; ++i) {
    const double* row = F.RowPointers()[i] + 1;
    long double residual = y(i);
    for (int j = 0; j < n; ++j) residual -= static_cast<long double>(row[j]) * beta[j];
    for (int j = 0; j < n; ++j) sums[static_cast<size_t>(j)] += row[j] * residual;
  }
  KelVector g(n);
  for (int j = 1; j <= n; ++j) g(j) = static_cast<double>(sums[static_cast<size_t>(j - 1)]);
  return g;
}

// Singular values (decreasing), V, U and W, and the comparison of b with the plain solution.
void KelLinearRegression::ComputeSingularValueDecomposition() {
  const int n = numParameters;
  plainSvd.AssignMatrix(F);
  plainSvd.GetSortedDecomposition(&d, &V, &U);
  maximumSingularValue = plainSvd.MaximumSingularValue();
  const double epsilon = kelMachEpsFloat;
  const double smallBound = d(1) * std::sqrt(epsilon);
  const double negligibleBound = 10.0 * epsilon * d(1);
  smallSingularValues = 0;
  negligibleSingularValues = 0;
  for (int i = 1; i <= n; ++i) {
    if (d(i) < smallBound) ++smallSingularValues;
    if (d(i) < negligibleBound) ++negligibleSingularValues;
  }
  const int kept = n - negligibleSingularValues;
  W.Resize(kept, n, false);
  for (int i = 1; i <= kept; ++i)
    for (int j = 1; j <= n; ++j) W(i, j) = V(j, i) / d(i);

  KelVector plain;
  Solve(&plainSvd, y, &plain, n);
  solutionsDisagree = 0;
  if (earlierForm != 0) {
    // The earlier form keeps the plain solution and does not compare the two.
    b = plain;
  } else {
    for (int i = 1; i <= n; ++i)
      if (std::fabs(b(i) - plain(i)) > 0.1 * std::fabs(b(i))) solutionsDisagree = 1;
  }
  conditionNumber = plainSvd.ConditionNumber();
}

// Estimated responses, residuals, sums of squares and coefficients of determination.
void KelLinearRegression::ComputeResidualStatistics() {
  const int m = numExperiments;
  parametersNorm = b.Norm2();
  Product(F, b, yEstimated);
  residuals.Resize(m, false);
  for (int i = 1; i <= m; ++i) residuals(i) = y(i) - yEstimated(i);
  residualsNorm = residuals.Norm2();
  sumOfSquares = residualsNorm * residualsNorm;
  standardDeviation = residualsNorm / std::sqrt(static_cast<double>(degreesOfFreedom));
  meanSquareError = standardDeviation * standardDeviation;

  totalSumOfSquares = 0.0;
  for (int i = 1; i <= m; ++i) totalSumOfSquares += y(i) * y(i);
  if (totalSumOfSquares == 0.0) totalSumOfSquares = 1e-20;
  if (interceptFlag == 0) {
    correctedTotalSumOfSquares = 0.0;
    r2 = 1.0 - sumOfSquares / totalSumOfSquares;
    adjustedR2 = 1.0 - meanSquareError / (totalSumOfSquares / m);
    return;
  }
  meanOfY = 0.0;
  for (int i = 1; i <= m; ++i) meanOfY += y(i);
  meanOfY /= m;
  correctedTotalSumOfSquares = 0.0;
  for (int i = 1; i <= m; ++i) {
    const double deviation = y(i) - meanOfY;
    correctedTotalSumOfSquares += deviation * deviation;
  }
  if (correctedTotalSumOfSquares == 0.0) KelError("%s\nssm == 0.", kelClassLinearRegression);
  r2 = 1.0 - sumOfSquares / correctedTotalSumOfSquares;
  adjustedR2 = 1.0 - meanSquareError / (correctedTotalSumOfSquares / (m - 1));
}

// Cov = s^2 V D^-2 V^T over the nonzero singular values, and se(b); the leverages, from which
// se(yhat) follows.
//
// The decomposition used here is that of F with its columns scaled to unit norm, F = Fs C:
// Cov = s^2 C^-1 Vs Ds^-2 Vs^T C^-1 and the rows of Us span the same space as those of U, so
// for a matrix of full rank both are the same quantities as from the plain decomposition. The
// plain one loses the small components of the singular vectors of badly scaled columns (a
// quadratic in x ~ 1e6 leaves barely five correct digits in the standard errors); the scaled
// one keeps them. Zero columns keep the scale 1, so an exactly zero singular value stays zero
// and is left out as before.
void KelLinearRegression::ComputeCovariance() {
  const int m = numExperiments;
  const int n = numParameters;
  varianceUsed = responseVariance != 0.0 ? responseVariance : meanSquareError;

  std::vector<double> columnNorm(static_cast<size_t>(n) + 1, 0.0);
  const double* const* f = F.RowPointers();
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) columnNorm[j] += f[i][j] * f[i][j];
  for (int j = 1; j <= n; ++j) {
    columnNorm[j] = std::sqrt(columnNorm[j]);
    if (columnNorm[j] == 0.0) columnNorm[j] = 1.0;
  }
  KelMatrix scaled(m, n);
  double* const* g = scaled.RowPointers();
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) g[i][j] = f[i][j] / columnNorm[j];
  KelFactorizedSVD scaledSvd;
  MoveMatrixIntoFactorized(&scaled, &scaledSvd);
  KelVector ds;
  KelMatrix vs;
  scaledSvd.GetSortedDecomposition(&ds, &vs, &scaledLeftVectors);

  covariance.ChangeDimensions(n, n, true);
  double* const* cov = covariance.RowPointers();
  const double* const* v = vs.RowPointers();
  for (int i = 1; i <= n; ++i) {
    // An exactly zero singular value carries no information and is left out.
    if (ds(i) == 0.0) continue;
    const double weight = varianceUsed / (ds(i) * ds(i));
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= j; ++k) cov[j][k] += weight * v[j][i] * v[k][i];
  }
  for (int j = 1; j <= n; ++j)
    for (int k = 1; k <= j; ++k) cov[j][k] /= columnNorm[j] * columnNorm[k];
  seB.Resize(n, false);
  for (int i = 1; i <= n; ++i) seB(i) = std::max(std::sqrt(cov[i][i]), 1e-20);

  // The transposed solve keeps the singular values not below machine epsilon times the largest.
  const double threshold = kelMachEps * ds(1);
  scaledRank = 0;
  if (ds(1) != 0.0)
    while (scaledRank < n && ds(scaledRank + 1) >= threshold) ++scaledRank;
  scaledConditioning = ds(n) != 0.0 ? ds(1) / ds(n) : kelBigValue;
}

// se(yhat)(j)^2 = s^2 f_j^T (F^T F)^+ f_j. With F = U D V^T this is s^2 times the squared norm
// of row j of U over the kept singular values, i.e. the leverage h_jj: O(n) per experiment
// instead of one transposed solve of size m each.
void KelLinearRegression::ComputeResponseStandardErrors() {
  const int m = numExperiments;
  leverages.Resize(m, false);
  seYEstimated.Resize(m, false);
  const double* const* u = scaledLeftVectors.RowPointers();
  for (int j = 1; j <= m; ++j) {
    double h = 0.0;
    for (int k = 1; k <= scaledRank; ++k) h += u[j][k] * u[j][k];
    leverages(j) = h;
    seYEstimated(j) = std::sqrt(varianceUsed * h);
  }
}

// Residual sum of squares of the least-squares fit, by Householder QR, of every experiment
// except t.
double KelLinearRegression::LeaveOneOutRefit(int t) {
  const int m = numExperiments;
  const int n = numParameters;
  KelMatrix reduced(m - 1, n);
  KelVector reducedY(m - 1);
  const double* const* f = F.RowPointers();
  double* const* g = reduced.RowPointers();
  for (int i = 1, row = 1; i <= m; ++i) {
    if (i == t) continue;
    std::copy(f[i] + 1, f[i] + 1 + n, g[row] + 1);
    reducedY(row) = y(i);
    ++row;
  }
  KelFactorizedQR qr;
  MoveMatrixIntoFactorized(&reduced, &qr);
  KelVector reducedB;
  Solve(&qr, reducedY, &reducedB);
  KelVector reducedResiduals(m - 1);
  for (int i = 1, row = 1; i <= m; ++i) {
    if (i == t) continue;
    double estimate = 0.0;
    for (int j = 1; j <= n; ++j) estimate += f[i][j] * reducedB(j);
    reducedResiduals(row) = y(i) - estimate;
    ++row;
  }
  const double norm = reducedResiduals.Norm2();
  return norm * norm;
}

// The experiment whose removal leaves the lowest residual sum of squares; strict comparison,
// so the lowest index wins a tie.
//
// Refitting without every experiment costs m factorizations, O(m^2 n^2). The sum without
// experiment t follows from the full fit instead: SS - r_t^2 / (1 - h_tt). Each of these is
// given an error bound that covers rounding in the shortcut (cancellation against SS, a small
// 1 - h_tt, the conditioning of F) and in the explicit refit; only the experiments whose bound
// reaches the best upper bound are refitted explicitly, in index order, and the refits decide.
// Any experiment whose removal the shortcut cannot judge (1 - h_tt tiny or inaccurate) is
// refitted as well, and a rank-deficient F is refitted throughout. The chosen index and the
// best sum are therefore those of refitting every experiment, at O(m n^2) plus a few refits.
void KelLinearRegression::ComputeLeaveOneOut() {
  const int m = numExperiments;
  leaveOneOutBest = kelBigValue;
  leaveOneOutBestIndex = 0;
  leaveOneOutRefits = 0;

  std::vector<double> lower(static_cast<size_t>(m) + 1);
  std::vector<double> upper(static_cast<size_t>(m) + 1);
  std::vector<unsigned char> mustRefit(static_cast<size_t>(m) + 1, 0);
  const bool fullRank = scaledRank == numParameters && scaledConditioning < 1e12;
  if (fullRank) {
    const double epsilon = kelMachEps;
    double normY = 0.0;
    for (int i = 1; i <= m; ++i) normY += y(i) * y(i);
    normY = std::sqrt(normY);
    // Error of a computed residual, generously: rounding amplified by the conditioning.
    const double residualError = 1e3 * epsilon * scaledConditioning * normY;
    const double absoluteFloor =
        2.0 * residualsNorm * residualError + residualError * residualError;
    const double leverageError = 1e3 * epsilon * scaledConditioning;
    for (int t = 1; t <= m; ++t) {
      const double complement = 1.0 - leverages(t);
      if (!(complement > 1e-8) || leverageError / complement > 1e-2) {
        mustRefit[t] = 1;
        continue;
      }
      const double removed = residuals(t) * residuals(t) / complement;
      const double estimate = sumOfSquares - removed;
      const double bound =
          1e-9 * (sumOfSquares + removed) + removed * leverageError / complement + absoluteFloor;
      lower[t] = estimate - bound;
      upper[t] = estimate + bound;
    }
  } else {
    std::fill(mustRefit.begin(), mustRefit.end(), 1);
  }
  double bestUpper = kelBigValue;
  for (int t = 1; t <= m; ++t)
    if (mustRefit[t] == 0) bestUpper = std::min(bestUpper, upper[t]);
  for (int t = 1; t <= m; ++t) {
    if (mustRefit[t] == 0 && lower[t] > bestUpper) continue;
    ++leaveOneOutRefits;
    const double rss = LeaveOneOutRefit(t);
    if (rss < leaveOneOutBest) {
      leaveOneOutBest = rss;
      leaveOneOutBestIndex = t;
    }
  }
}

// Outlier verdicts from the mean square error without the best experiment to leave out.
void KelLinearRegression::ClassifyLeaveOneOut() {
  highlyProbableOutlier = 0;
  probableOutlier = 0;
  const int reducedDof = numExperiments - 1 - numParameters;
  if (reducedDof <= 0 || leaveOneOutBestIndex == 0) return;
  const double p = leaveOneOutBest / reducedDof;
  // With an assigned variance the test only runs when the reduced mean square error exceeds
  // the square root of that variance (the documented comparison).
  if (responseVariance != 0.0 && !(p > std::sqrt(responseVariance))) return;
  if (p < 0.5 * meanSquareError)
    highlyProbableOutlier = leaveOneOutBestIndex;
  else if (p < 0.8 * meanSquareError)
    probableOutlier = leaveOneOutBestIndex;
}
