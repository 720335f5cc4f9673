// KelNonLinearRegression robust analysis: the robust estimation of each model in turn and its
// report, with the outliers it reveals.
#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/kel_output.h"
#include "foundation/kel_report_format.h"
#include "minimization/kel_minimization_robust.h"
#include "nonlinear/kel_nonlinear_regression.h"
#include "nonlinear/kel_nonlinear_thresholds.h"
#include "statistics/kel_median.h"

void KelNonLinearRegression::RobustAnalysis() {
  for (int model = 1; model <= numModels; ++model) RobustAnalysisOfModel(model);
}

void KelNonLinearRegression::RobustAnalysisOfModel(int model) {
  if (model < 1 || model > numModels) {
    KelWarning("Wrong number for model analysis");
    return;
  }
  if (!HasInitialParameters(model)) return;
  RobustEstimate(model);
  PrintRobustReport(model);
}

void KelNonLinearRegression::PrintRobustReport(int model) const {
  const Model& m = models[static_cast<size_t>(model - 1)];
  KelPrint("\n\n\n=========================================");
  KelPrint("\nRobust Regression Analysis for model %d", model);
  KelPrint("\n=========================================\n");
  KelPrint("\nInitial value of LMS %e", m.robust.initialLms);
  KelPrint("\nFinal value of LMS %e", m.robust.finalLms);
  KelPrint("\n\n\n Parameters for Least Median of Squares");
  KelPrint("\n\n Par.         Value");
  for (int k = 1; k <= m.numParameters; ++k)
    KelPrint("\n%3d %23.14e", k, m.robust.lmsParameters(k));
  KelPrint("\n\n\nLeast Median of Squares =%16.7e", m.robust.finalLms);
  KelPause();
  PrintRobustResiduals(m.robust);
  PrintOutliers(m.robust);
}

void KelNonLinearRegression::PrintRobustResiduals(const KelNonLinearRobustFit& r) const {
  KelPrint("\n\n===================");
  KelPrint("\nResiduals Analysis");
  KelPrint("\n===================");
  for (int j = 1; j <= numY; ++j) {
    KelPrint("\n\nResponse Variable %d", j);
    KelPrint(
        "\n        Observed y     Estimated y     Residuals r    Residuals\n"
        "                                                       Weighted");
    for (int l = 1; l <= numExperiments; ++l) {
      const int i = l + (j - 1) * numExperiments;
      KelPrint("\n%3d%16.7e%16.7e%16.7e%10.2f", l, y(i), r.lmsPredictions(i), r.lmsResiduals(i),
               r.lmsWeightedResiduals(i));
      if (std::fabs(r.lmsWeightedResiduals(i)) > kel_nonlinear_thresholds::kHighlyProbableOutlier)
        KelPrint("%s", kelReportWarning);
    }
    KelPause();
  }
}

void KelNonLinearRegression::PrintOutliers(const KelNonLinearRobustFit& r) const {
  if (!r.possible.empty() || !r.highlyProbable.empty()) {
    KelPrint("\n\nOutliers sorted by importance:\n");
    std::vector<KelOutlier> sorted = r.possible;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const KelOutlier& a, const KelOutlier& b) { return a.size > b.size; });
    for (const KelOutlier& o : sorted) KelPrint(" %d", o.experiment);
    if (r.highlyProbable.empty()) {
      KelPrint("\n\nThere are no highly probable Outliers");
    } else {
      KelPrint("\n\nThese are highly probable Outliers:");
      for (const KelOutlier& o : r.highlyProbable)
        KelPrint("\nExperiment %3d Variable %3d", o.experiment, o.response);
    }
  } else {
    KelPrint("\n\nThere are no Outliers");
    KelPrint("\n\nThere are no highly probable Outliers");
  }
  if (!r.possible.empty()) {
    KelPrint("\n\nThese are possible Outliers:");
    for (const KelOutlier& o : r.possible)
      KelPrint("\nExperiment %3d Variable %3d", o.experiment, o.response);
  }
  KelPause();
}
