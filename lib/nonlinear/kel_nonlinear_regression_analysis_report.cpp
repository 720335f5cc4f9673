// KelNonLinearRegression analysis without experiment search: the least-squares report of every
// model, the report of the re-estimated independent variables and the summary comparison.
#include "kel_nonlinear_regression.h"
#include "kel_output.h"

namespace {

const char* const bannerRule =
    "===========================================================================";

}  // namespace

void KelNonLinearRegression::LeastSquaresAnalysis() {
  // The comparison reads the final SSE of every model, 1e30 for those left out; the report
  // below sets it for those and estimates the others.
  for (int model = 1; model <= numModels; ++model) {
    Model& m = models[static_cast<size_t>(model - 1)];
    m.comparisonValue = 1e30;
    m.comparisonRatio = 1e30;
    LeastSquaresReport(model);
  }
  if (varianceKind == 2) PrintIndependentVariables();
  if (CountComparedModels() < 2) return;
  PrintSummary();
}

void KelNonLinearRegression::PrintIndependentVariables() {
  KelPrint("\n\n");
  KelPrint("%s", bannerRule);
  KelPrint("\n=====================< Independent Variables >=============================");
  KelPrint("\n%s", bannerRule);
  const KelMatrix& measured = MeasuredIndependentVariables();
  for (int k = 1; k <= numX; ++k) {
    KelPrint("\n\n===============< Independent Variables  %d >=============================", k);
    KelPrint("\n        Observed x     Estimated x     Residuals r");
    for (int l = 1; l <= numExperiments; ++l)
      KelPrint("\n%3d%16.7e%16.7e%16.7e", l, measured(l, k), X(l, k), measured(l, k) - X(l, k));
  }
  KelPause();
}

void KelNonLinearRegression::PrintSummary() {
  KelPrint("\n\n");
  KelPrint("%s", bannerRule);
  KelPrint("\n================================< Summary >================================");
  KelPrint("\n%s", bannerRule);
  if (weightingKind == 2 && numY == 1)
    PrintComparisonOneResponse();
  else if (weightingKind == 2)
    PrintComparisonSeveralResponses();
  // The chi-square table follows in every case; with variances it reads the weighted SSE
  // against the degrees of freedom of each model alone.
  PrintComparisonChiSquare();
  KelPause();
}
