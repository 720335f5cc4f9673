// KelLinearRegression read from a regression data file: F, y, then optionally the response
// variance and its degrees of freedom.
#include "containers/kel_finite_check.h"
#include "foundation/kel_errors.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_linear_robust_fit.h"
#include "linear_regression/kel_load.h"

KelLinearRegression::KelLinearRegression(const char* fileName) {
  SetUpEmpty();
  KelLoad load(fileName);
  load >> F >> y;
  // The file may end right after y (the regression-and-plots program writes such files): no
  // variance. The degrees of freedom follow only a nonzero variance.
  double variance = 0.0;
  int degrees = 0;
  if (!load.AtEnd()) load >> variance;
  if (variance != 0.0) load >> degrees;
  load.Close();
  KelRequireFinite(kelClassLinearRegression, "variance", variance);
  if (variance > 0.0 && degrees > 0) {
    responseVariance = variance;
    varianceDegreesOfFreedom = degrees;
  }
  CheckDimensions();
  DataChanged();
}
