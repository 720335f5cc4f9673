// Least squares that do not depend on the units of the data: every statistic of the fit computed
// on the centred and scaled columns and transformed back, with R's rule for aliased columns.
//
// The columns and the response are first scaled by powers of two (exact), then, with an
// intercept, centred (the difference of two nearly equal numbers is exact, so an offset of 1e15
// costs nothing), then brought to unit length. A Householder QR keeps the columns in order and
// drops (aliases) a column whose distance from the span of the kept earlier ones is below
// aliasTolerance times its own length, as R's lm does with its pivoted QR (tolerance 1e-7);
// with an intercept the lengths are those of the centred columns, so a column with a large
// offset and a small spread is kept where lm, measuring it uncentred, would alias it.
// KelLinearRegression is unchanged by this; the kelmath command uses it.
#ifndef KELMATH_KEL_SCALED_LEAST_SQUARES_H
#define KELMATH_KEL_SCALED_LEAST_SQUARES_H

#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"

// R's lm: a column is aliased when its distance from the earlier kept columns is below 1e-7
// times its length.
inline constexpr double kelAliasTolerance = 1e-7;
// A fit is exact when the residuals' norm is within this many units of rounding (times the
// square root of the parameters) of the centred response's norm; its standard errors are then 0.
inline constexpr double kelExactFitUlps = 64.0;

struct KelScaledLeastSquaresOptions {
  bool intercept = true;          // column 1 of F is the intercept (its values are not read)
  double responseVariance = 0.0;  // > 0: the assigned variance of the response
  int varianceDegreesOfFreedom = 0;
  double aliasTolerance = kelAliasTolerance;
};

// Everything per parameter is 1-based over the columns of F; an aliased column has NaN entries
// (R's NA). Everything per observation is 1-based over the rows. NaN marks an undefined value:
// t, P with an exact fit, the F statistic of the intercept alone, quantities at a leverage of 1.
struct KelScaledLeastSquaresResult {
  std::vector<int> aliasedColumns;  // ascending
  int rank = 0;                     // kept columns, the intercept included
  int residualDegreesOfFreedom = 0;
  bool exactFit = false;
  double conditionNumber = 0.0;  // 2-norm condition number of the kept, centred, unit columns
  KelVector estimates, standardErrors, tValues, pValues, ciLow, ciHigh;
  KelVector varianceInflation;  // NaN for the intercept
  double sigma = 0.0, rSquared = 0.0, adjustedRSquared = 0.0;
  double fStatistic = 0.0, fPValue = 0.0;
  int fNumeratorDegreesOfFreedom = 0;
  double logLikelihood = 0.0, aic = 0.0, bic = 0.0;
  double breuschPagan = 0.0, breuschPaganPValue = 0.0;
  int breuschPaganDegreesOfFreedom = 0;
  double varianceF = 0.0, varianceFPValue = 0.0;  // with an assigned variance
  KelVector fitted, residuals, leverages, cooksDistances, studentizedResiduals;
  KelVector standardizedResiduals;
};

// Fits y on the columns of F (m x n, m > n) as described above; 95 % intervals.
KelScaledLeastSquaresResult KelFitScaledLeastSquares(const KelMatrix& F, const KelVector& y,
                                                     const KelScaledLeastSquaresOptions& options);

#endif
