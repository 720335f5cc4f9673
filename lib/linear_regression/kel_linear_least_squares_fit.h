// The least-squares fit of the linear model y ~ F b as a function of its inputs: balanced and
// plain SVD from one QR, statistics, covariance, standard errors of the estimated responses and
// the leave-one-out outlier test. Internal to the linear regression (not in kelmath.h).
#ifndef KELMATH_KEL_LINEAR_LEAST_SQUARES_FIT_H
#define KELMATH_KEL_LINEAR_LEAST_SQUARES_FIT_H

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "linear_regression/kel_linear_regression_results.h"

// What the fit reads: F (m x n, m > n, n >= 1) and y (m elements), already checked.
struct KelLinearFitInputs {
  const KelMatrix& F;
  const KelVector& y;
  double responseVariance;  // the assigned variance, 0 when none is assigned
  int degreesOfFreedom;     // m - n
  bool intercept;           // F has a column of ones
  // The earlier form lets the factorizations' notes through, prints the system conditioning and
  // keeps the plain solution.
  bool earlierForm;
};

// The fit of the inputs. The result takes over the containers of numbered (their serial numbers
// and storage) and rewrites the fields a fit writes, so that refitting draws no serial numbers
// beyond those of its scratch objects and the numbers that later objects print stay as they were
// (docs/developers.md, intended behaviour 2); a field this fit does not write (the mean of y
// without intercept) keeps numbered's value.
KelLinearLeastSquaresFit KelComputeLeastSquaresFit(const KelLinearFitInputs& inputs,
                                                   KelLinearLeastSquaresFit&& numbered);

// Least squares with the singular values of F not below fit.d(kept): V D^+ (U^T y) over them, or
// 0 when that singular value is 0 (1 <= kept <= n).
KelVector KelPlainSolution(const KelLinearLeastSquaresFit& fit, int kept);

// The leave-one-out outlier test of a fit: the experiment whose removal leaves the lowest
// residual sum of squares (0 when none is to be left out), that sum, the explicit refits made,
// and the verdict on that experiment.
struct KelLeaveOneOutTest {
  double best = 0.0;
  int bestIndex = 0;
  int refits = 0;
  int highlyProbableOutlier = 0;
  int probableOutlier = 0;
};

// The test of a fit whose statistics, leverages and column-scaled decomposition are current.
KelLeaveOneOutTest KelComputeLeaveOneOut(const KelLinearFitInputs& inputs,
                                         const KelLinearLeastSquaresFit& fit);

#endif
