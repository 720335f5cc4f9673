// Inference on regression coefficients from any covariance of the estimates (classical,
// heteroskedasticity-consistent, cluster-robust): standard errors, t values, two-sided P values,
// intervals at any level and the Wald F test of a linear hypothesis. Each is a function of its
// inputs only, so that every accessor, report and command reads the same numbers.
//
// Vectors are 1-based over the parameters; a NaN estimate is an aliased parameter and stays NaN
// in everything that follows from it, as does a NaN variance (an undefined covariance).
#ifndef KELMATH_KEL_COEFFICIENT_INFERENCE_H
#define KELMATH_KEL_COEFFICIENT_INFERENCE_H

#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "linear_regression/kel_sandwich_covariance.h"

// The square roots of the covariance's diagonal (NaN where a variance is NaN or negative: a
// two-way cluster covariance need not be positive semidefinite).
KelVector KelStandardErrors(const KelMatrix& covariance);
// The same for a covariance held as scaled(j, k) 2^(exponents[j-1] + exponents[k-1]), which stays
// in the double range where the covariance itself would not (standard errors near 1e-309).
KelVector KelStandardErrors(const KelMatrix& scaled, const std::vector<int>& exponents);
KelVector KelStandardErrors(const KelSandwichCovariance& covariance);

// estimate / standard error; NaN where either is NaN or the standard error is 0 (an exact fit
// has no t statistic).
KelVector KelTValues(const KelVector& estimates, const KelVector& standardErrors);

// P(|T| > |t|) for Student's t on dof degrees of freedom (> 0); NaN where t is NaN.
KelVector KelTwoSidedPValues(const KelVector& tValues, int dof);

// estimate -/+ t(1 - (1 - level) / 2, dof) standard error for 0 < level < 1 (fatal otherwise):
// n x 2, the lower bounds in column 1.
KelMatrix KelConfidenceIntervals(const KelVector& estimates, const KelVector& standardErrors,
                                 int dof, double level);

// The Wald test of R b = r (q restrictions, R q x n): F = (Rb - r)' (R V R')^-1 (Rb - r) / q on
// q and dof degrees of freedom. Restrictions must not involve aliased parameters (their
// coefficients in R are 0). Undefined (defined false, F and P NaN) when R V R' is singular to
// working precision, as a cluster covariance of G groups is for more than G - 1 restrictions.
struct KelWaldTest {
  double f = 0.0;
  double pValue = 0.0;
  int numeratorDof = 0;
  int denominatorDof = 0;
  bool defined = true;
};
KelWaldTest KelWaldFTest(const KelVector& estimates, const KelMatrix& covariance,
                         const KelMatrix& R, const KelVector& r, int dof);
// The same from a scaled covariance (see KelStandardErrors); each restriction is scaled by a
// power of two of its own, which leaves F unchanged and keeps every product in range.
KelWaldTest KelWaldFTest(const KelVector& estimates, const KelMatrix& scaled,
                         const std::vector<int>& exponents, const KelMatrix& R, const KelVector& r,
                         int dof);
KelWaldTest KelWaldFTest(const KelVector& estimates, const KelSandwichCovariance& covariance,
                         const KelMatrix& R, const KelVector& r, int dof);

#endif
