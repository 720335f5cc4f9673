// KelLinearRegression: the diagnostics of the least-squares report, computed by
// KelComputeLinearDiagnostics (kel_linear_diagnostics.h) and held as the member diagnostics, and
// their accessors.
#include <utility>

#include "linear_regression/kel_linear_diagnostics.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_linear_regression_collinearity.h"

// The new diagnostics take over the containers of the old ones, so that the serial numbers drawn
// by the diagnostics stay as they were.
void KelLinearRegression::EnsureDiagnostics() {
  EnsureLeastSquares();
  if (diagnosticsComputed) return;
  diagnostics = KelComputeLinearDiagnostics(
      {F, fit, responseVariance, degreesOfFreedom, varianceDegreesOfFreedom, interceptFlag != 0},
      std::move(diagnostics));
  diagnosticsComputed = true;
}

const KelMatrixSymmetric& KelLinearRegression::ParameterCorrelation() {
  return Diagnostics().parameterCorrelation;
}

KelVector KelLinearRegression::VarianceInflationFactors() {
  return Diagnostics().varianceInflationFactors;
}

const KelVector& KelLinearRegression::Tolerances() {
  return Diagnostics().tolerances;
}

const KelVector& KelLinearRegression::ColumnsCorrelationFactors() {
  return Diagnostics().columnFactors;
}

double KelLinearRegression::NormalityIndex() {
  EnsureLeastSquares();
  return KelLeastSquaresNormalityIndex(fit, responseVariance);
}

// Each column regressed on the others (centred R^2 for a model with intercept, uncentred
// without), from one factorization of F instead of one regression per column.
KelVector KelLinearRegression::ComputeTolerances() {
  return KelComputeTolerancesCollinearity(F, interceptFlag != 0).tolerances;
}

// |last diagonal element of R| in the QR factorization of the normalized columns with column i
// moved last: the distance of that column from the space the others span.
KelVector KelLinearRegression::ComputeColumnsCorrelation() {
  return ComputeCollinearity(F, interceptFlag != 0).columnFactors;
}
