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
  double responseVariance = 0.0;  // > 0: the assigned variance of a row of weight 1
  int varianceDegreesOfFreedom = 0;
  double aliasTolerance = kelAliasTolerance;
  // Empty, or one positive finite weight a row: weighted least squares, minimizing
  // sum w_i (y_i - x_i b)^2, every statistic as R's lm(weights = w) gives it.
  std::vector<double> weights = {};
};

// What predicting a new row needs of a fit, in the fit's scaled units: per column of F its
// power of two, (weighted) mean in two parts (first, then a correction: their sum can be off
// by many units of a deviation beside a large offset) and centred length, the kept columns with
// R^-1 of their unit columns, and the response's scaling. Predictions are formed from deviations
// from the means, so that an offset of 1e15 in the data costs no digits.
struct KelScaledPredictor {
  bool intercept = true;
  std::vector<int> exponents;  // per column of F; the intercept's entries are not used
  std::vector<double> means, meanCorrections, norms;
  std::vector<int> kept;                      // 0-based columns of F
  std::vector<std::vector<double>> rInverse;  // k x k, upper triangular, row-major
  std::vector<double> coefficients;           // of the unit columns, for the unit response
  int responseExponent = 0;
  double responseMean = 0.0, responseCorrection = 0.0, responseNorm = 0.0;
  double weightSum = 0.0;      // of the weights scaled by weightExponent, as the fit used them
  int weightExponent = 0;      // even: the weights were scaled by 2^-weightExponent
  double sigmaMantissa = 0.0;  // the standard deviation of the estimates' covariance, scaled
  int sigmaExponent = 0;
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
  // residuals are y - fitted; weightedResiduals sqrt(w) (y - fitted), which the influence
  // measures and a weighted fit's summary use (the same as residuals without weights).
  KelVector fitted, residuals, weightedResiduals, leverages, cooksDistances, studentizedResiduals;
  KelVector standardizedResiduals;
  KelScaledPredictor predictor;
};

// Fits y on the columns of F (m x n, m > n) as described above; 95 % intervals. With weights,
// the columns are centred on their weighted means and the leverages, the residual standard
// error (of a row of weight 1), R^2, F, the log-likelihood (R's, with its sum of log weights)
// and the influence measures are those of the weighted fit; the Breusch-Pagan test, which has
// no weighted form in common use, is NaN. Weights of the wrong count, or not positive and
// finite, are fatal.
KelScaledLeastSquaresResult KelFitScaledLeastSquares(const KelMatrix& F, const KelVector& y,
                                                     const KelScaledLeastSquaresOptions& options);

// The fitted value of a new row x (one value per column of F; the intercept's and the aliased
// columns' are not read, as R's predict leaves aliased columns out) and its standard error
// sqrt(x' V x) under the fit's classical covariance V.
struct KelScaledPrediction {
  double fit = 0.0;
  double standardError = 0.0;
};
KelScaledPrediction KelPredictScaled(const KelScaledLeastSquaresResult& fit,
                                     const std::vector<double>& x);

#endif
