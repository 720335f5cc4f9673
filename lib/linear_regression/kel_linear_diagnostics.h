// The diagnostics of the least-squares report (parameter correlation, variance inflation factors,
// Tj tolerances, column-correlation factors, t and P values, normality index, F test and the
// verdicts on them) as a function of the fit, and the values derived from the fit alone that the
// regression's accessors give under the same names. Internal to the linear regression (not in
// kelmath.h).
#ifndef KELMATH_KEL_LINEAR_DIAGNOSTICS_H
#define KELMATH_KEL_LINEAR_DIAGNOSTICS_H

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "linear_regression/kel_linear_regression_collinearity.h"
#include "linear_regression/kel_linear_regression_results.h"

// What the diagnostics read: F (m x n) and a current least-squares fit of it.
struct KelLinearDiagnosticsInputs {
  const KelMatrix& F;
  const KelLinearLeastSquaresFit& fit;
  double responseVariance;       // the assigned variance, 0 when none is assigned
  int degreesOfFreedom;          // m - n
  int varianceDegreesOfFreedom;  // those of the assigned variance
  bool intercept;                // F has a column of ones
};

// The diagnostics of the inputs. The result takes over the containers of numbered (their serial
// numbers and storage) and rewrites every field, so that recomputing draws no serial numbers
// beyond those of its scratch objects, as the fit does (docs/developers.md, intended behaviour 2).
KelLinearDiagnostics KelComputeLinearDiagnostics(const KelLinearDiagnosticsInputs& inputs,
                                                 KelLinearDiagnostics&& numbered);

// The tolerances and column factors of F, after drawing the serial number of the auxiliary
// regression that once computed the tolerances (with two columns or more), as every computation
// of the tolerances draws it.
KelCollinearity KelComputeTolerancesCollinearity(const KelMatrix& F, bool intercept);

// Values derived from a fit alone; reading them runs none of the other diagnostics and draws no
// serial number beyond that of the vector returned (and of the t values behind it).
// b(i) / se(b)(i).
KelVector KelLeastSquaresTValues(const KelLinearLeastSquaresFit& fit);
// Two-sided Student t probabilities of the t values on degreesOfFreedom.
KelVector KelLeastSquaresPValues(const KelLinearLeastSquaresFit& fit, int degreesOfFreedom);
// sqrt(t^2 / (t^2 + degreesOfFreedom)).
KelVector KelLeastSquaresPartialCorrelations(const KelLinearLeastSquaresFit& fit,
                                             int degreesOfFreedom);
// Residuals over the square root of the assigned variance (when not 0), else over s.
KelVector KelLeastSquaresNormalizedResiduals(const KelLinearLeastSquaresFit& fit,
                                             double responseVariance);
// The mean square error over the assigned variance (0 when none is assigned).
double KelLeastSquaresFExperimental(const KelLinearLeastSquaresFit& fit, double responseVariance);
// The upper tail probability of that ratio on degreesOfFreedom and varianceDegreesOfFreedom (0
// when no variance is assigned).
double KelLeastSquaresFTestProbability(const KelLinearLeastSquaresFit& fit, double responseVariance,
                                       int degreesOfFreedom, int varianceDegreesOfFreedom);
// Linear correlation of the sorted normalized residuals with the plotting positions
// (j - 0.5) / m.
double KelLeastSquaresNormalityIndex(const KelLinearLeastSquaresFit& fit, double responseVariance);

#endif
