// KelLinearRegression: the switch to the earlier form of the regression (see the header for
// its four differences). The differences themselves sit where they act: in the fit and in the
// least-squares and robust reports.
#include "linear_regression/kel_linear_regression.h"

// Every result depends on the form, so all of them are recomputed at the next query.
void KelLinearRegression::SetEarlierForm(bool on) {
  earlierForm = on;
  leastSquaresComputed = false;
  diagnosticsComputed = false;
  robustComputed = false;
  svdComputed = false;
}
