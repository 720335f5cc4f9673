// KelLinearRegression: the least-squares fit of the current data, computed by
// KelComputeLeastSquaresFit (kel_linear_least_squares_fit.h) and held as the member fit.
#include <utility>

#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_least_squares_fit.h"
#include "linear_regression/kel_linear_regression.h"

void KelLinearRegression::EnsureLeastSquares() {
  if (!leastSquaresComputed) ComputeLeastSquares();
}

// Runs the whole fit for the current data and marks it current. The new fit takes over the
// containers of the old one, so that the serial numbers drawn by a fit stay as they were.
void KelLinearRegression::ComputeLeastSquares() {
  if (numParameters < 1)
    KelError("%s%s%s", kelClassLinearRegression, kelErrCheck,
             KelShapeDetail(numExperiments, numParameters).c_str());
  // Every later step reads y element by element next to the rows of F.
  CheckResponseSize();
  degreesOfFreedom = numExperiments - numParameters;
  fit = KelComputeLeastSquaresFit(
      {F, y, responseVariance, degreesOfFreedom, interceptFlag != 0, earlierForm}, std::move(fit));
  diagnosticsComputed = false;
  leastSquaresComputed = true;
}
