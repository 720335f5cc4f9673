// KelLinearRegression: the stepwise selection, computed by KelComputeStepwise
// (kel_stepwise_selection.h) and held as the member stepwise, its accessors and its report.
#include <utility>

#include "foundation/kel_output.h"
#include "foundation/kel_report_format.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_stepwise_selection.h"

namespace {

constexpr double kNoModel = kStepwiseNoModel;
constexpr double kWeakT = kel_linear_thresholds::kWeakT;

}  // namespace

// The new tables take over the containers of the old ones, so that the serial numbers stay.
void KelLinearRegression::ComputeStepwise() {
  stepwise = KelComputeStepwise(F, y, interceptFlag != 0, std::move(stepwise));
  stepwiseComputed = true;
}

const KelMatrix& KelLinearRegression::StepwiseParameters() {
  if (!stepwiseComputed) ComputeStepwise();
  return stepwise.stepwiseParameters;
}

const KelMatrix& KelLinearRegression::StepwiseTRatios() {
  if (!stepwiseComputed) ComputeStepwise();
  return stepwise.stepwiseTRatios;
}

const KelVector& KelLinearRegression::StepwiseMeanSquareErrors() {
  if (!stepwiseComputed) ComputeStepwise();
  return stepwise.stepwiseMeanSquareErrors;
}

namespace {

void printStepwiseTitle() {
  KelPrint("\n\n\n==================================");
  KelPrint("\nBest Models with Stepwise Analysis");
  KelPrint("\n==================================\n");
}

void printStepwiseModel(int k, int intercept, const KelMatrix& parameters, const KelMatrix& tRatios,
                        double meanSquareError) {
  KelPrint("\n\n\nNumber of Parameter(s) = %d", k);
  KelPrint("\nMean Square Error = %e", meanSquareError);
  if (meanSquareError == kNoModel) {
    KelPrint("\nThere are problems in models with %d parameters", k);
    return;
  }
  KelPrint("\n\n Par.      Value");
  if (k > 1) KelPrint("       t = b/sb");
  for (int i = 1; i <= parameters.Columns(); ++i) {
    if (parameters(k, i) == 0.0) continue;
    KelPrint("\n%3d %16.7e", i, parameters(k, i));
    if (i == 1 && intercept != 0) continue;
    KelPrint("%11.1e", tRatios(k, i));
    if (tRatios(k, i) < kWeakT) KelPrint("%s", kelReportWarning);
  }
}

}  // namespace

void KelLinearRegression::StepwiseAnalysis() {
  if (!stepwiseComputed) ComputeStepwise();
  printStepwiseTitle();
  for (int k = 1; k <= numParameters; ++k) {
    printStepwiseModel(k, interceptFlag, stepwise.stepwiseParameters, stepwise.stepwiseTRatios,
                       stepwise.stepwiseMeanSquareErrors(k));
    KelPause();
  }
}
