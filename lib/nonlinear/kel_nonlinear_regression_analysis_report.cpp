// KelNonLinearRegression analysis without experiment search: the least-squares report of every
// model, the report of the re-estimated independent variables and the summary comparison.
#include "foundation/kel_output.h"
#include "nonlinear/kel_nonlinear_regression.h"

namespace {

const char* const kBannerRule =
    "===========================================================================";

}  // namespace

void KelNonLinearRegression::LeastSquaresAnalysis() {
  for (int model = 1; model <= numModels; ++model) LeastSquaresReport(model);
  if (varianceKind == 2) PrintIndependentVariables();
  if (CountComparedModels() < 2) return;
  // The summary gives the comparison by the assigned variances and then, in every case, the
  // chi-square table, which with variances reads the weighted SSE against the degrees of
  // freedom of each model alone.
  const KelModelComparison& primary = EnsureComparison();
  const KelModelComparison chiSquare = ComputeComparison(KelComparisonTable::kChiSquare);
  PrintSummary(primary, chiSquare);
}

void KelNonLinearRegression::PrintIndependentVariables() const {
  KelPrint("\n\n");
  KelPrint("%s", kBannerRule);
  KelPrint("\n=====================< Independent Variables >=============================");
  KelPrint("\n%s", kBannerRule);
  const KelMatrix& measured = MeasuredIndependentVariables();
  for (int k = 1; k <= numX; ++k) {
    KelPrint("\n\n===============< Independent Variables  %d >=============================", k);
    KelPrint("\n        Observed x     Estimated x     Residuals r");
    for (int l = 1; l <= numExperiments; ++l)
      KelPrint("\n%3d%16.7e%16.7e%16.7e", l, measured(l, k), X(l, k), measured(l, k) - X(l, k));
  }
  KelPause();
}

void KelNonLinearRegression::PrintSummary(const KelModelComparison& primary,
                                          const KelModelComparison& chiSquare) const {
  KelPrint("\n\n");
  KelPrint("%s", kBannerRule);
  KelPrint("\n================================< Summary >================================");
  KelPrint("\n%s", kBannerRule);
  if (primary.table != KelComparisonTable::kChiSquare) PrintComparisonTable(primary);
  PrintComparisonTable(chiSquare);
  KelPause();
}
