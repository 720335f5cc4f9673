// Collinearity diagnostics of a regressor matrix from one Householder QR factorization of its
// normalized columns: the Tj tolerances (1 - R^2 of each column regressed on the others) and
// the column-correlation factors (the distance of each normalized column from the space the
// others span).
//
// Work: one QR of the m x n normalized copy, O(m n^2), and per column one QR of the n x n
// triangular factor with that column moved last, O(n^3) each; memory: one copy of F. The
// regression on the others and the QR of the permuted m x n copy that define both quantities
// leave the same last diagonal (in absolute value) as the n x n factorization: the triangular
// factor carries every inner product of the columns, and an orthogonal change of rows keeps
// the distance of a column from the span of the others.
#ifndef KELMATH_KEL_LINEAR_REGRESSION_COLLINEARITY_H
#define KELMATH_KEL_LINEAR_REGRESSION_COLLINEARITY_H

#include "containers/kel_matrix.h"
#include "containers/kel_matrix_symmetric.h"
#include "containers/kel_vector.h"

// The standard deviation of a parameter from its variance; a variance slightly negative by
// rounding counts by its magnitude. Both regressions and the singular value candidates use it.
double GuardedDeviation(double variance);
// Correlation of the parameters from their covariance: R(j, k) = Cov(j, k) / (sd(j) sd(k)) with
// guarded deviations, unit diagonal. Written into *correlation (assigned, not a new object:
// the reports print object numbers).
void CorrelationOfCovariance(const KelMatrixSymmetric& covariance, KelMatrixSymmetric* correlation);
// The largest |R(j, k)|, j != k, of a correlation matrix (0 for one parameter).
double LargestCorrelation(const KelMatrixSymmetric& correlation);

struct KelCollinearity {
  // T(i) = 1 - R^2 of column i on the other columns (1 for the intercept, whose entry is not
  // regressed; all 1 when n < 2).
  KelVector tolerances;
  // K(i) = |last diagonal of R| of the normalized columns with column i moved last, where a
  // column within the QR's singularity tolerance of the previous ones gives 0 (1 for the
  // intercept).
  KelVector columnFactors;
};

// Both diagnostics of F (m x n, m >= n). With an intercept (column 1 all ones) the other
// columns are centred and scaled to unit norm, and T is the centred 1 - R^2; without one the
// columns are scaled to unit norm, and T is uncentred unless the regression of column 1 on the
// others has an intercept of its own (column 2 all ones). A column whose regression has an
// intercept and whose centred sum of squares is exactly 0 is fatal ("ssm == 0."), as its
// regression would be. Prints nothing: the factorizations' notes are silenced.
KelCollinearity ComputeCollinearity(const KelMatrix& F, bool intercept);

#endif
