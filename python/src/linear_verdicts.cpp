#include "linear_verdicts.h"

#include "library_call.h"
#include "library_reports.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_linear_robust_fit.h"

namespace kelmath_python {

namespace {

const char* ConditioningName(KelConditioning c) {
  switch (c) {
    case KelConditioning::kIllConditioned:
      return "ill_conditioned";
    case KelConditioning::kMustBeNormalized:
      return "must_be_normalized";
    default:
      return "none";
  }
}

const char* NormalityName(KelNormality n) {
  switch (n) {
    case KelNormality::kConsistent:
      return "consistent";
    case KelNormality::kProbablyViolated:
      return "probably_violated";
    default:
      return "violated";
  }
}

const char* HomoscedasticityName(KelHomoscedasticity h) {
  switch (h) {
    case KelHomoscedasticity::kVerified:
      return "verified";
    case KelHomoscedasticity::kPossiblyViolated:
      return "possibly_violated";
    case KelHomoscedasticity::kProbablyViolated:
      return "probably_violated";
    default:
      return "violated";
  }
}

// The data row of an experiment (1-based; 0 stays 0, no experiment).
int DataRow(const OlsRequest& request, int experiment) {
  return experiment > 0 ? request.data.usedRows[static_cast<size_t>(experiment) - 1] : 0;
}

void ReadLeastSquares(const OlsRequest& request, KelLinearRegression& regression,
                      LinearVerdicts& v) {
  const KelLinearDiagnostics& d = regression.Diagnostics();
  const KelLinearLeastSquaresFit& fit = regression.LeastSquaresFit();
  v.conditioning = ConditioningName(d.conditioning);
  v.illConditioned = d.illConditioned;
  v.badlyScaled = d.badlyScaled;
  v.solutionsDisagree = fit.solutionsDisagree;
  v.conditionNumber = fit.conditionNumber;
  v.systemConditioning = fit.systemConditioning;
  v.multicollinearity = d.multicollinearity;
  v.normality = NormalityName(d.normality);
  v.normalityIndex = d.normalityIndex;
  v.highlyProbableOutlier = DataRow(request, fit.highlyProbableOutlier);
  v.probableOutlier = DataRow(request, fit.probableOutlier);
}

void ReadRobust(const OlsRequest& request, KelLinearRegression& regression, LinearVerdicts& v) {
  const KelLinearRobustFit& robust = regression.RobustFit();
  for (int k = 1; k <= robust.allOutliers.Size(); ++k)
    v.robustOutliers.push_back(DataRow(request, robust.allOutliers(k)));
  v.homoscedasticity = HomoscedasticityName(KelRobustHomoscedasticity(robust));
}

}  // namespace

LinearVerdicts ComputeLinearVerdicts(const OlsRequest& request) {
  KelLinearRegression regression;
  std::string libraryText;
  const kelmath_cli::RegressionResult result = FillRegression(request, regression, libraryText);
  LinearVerdicts v;
  CallLibrary(libraryText, true, [&] {
    ReadLeastSquares(request, regression, v);
    v.principalComponents = regression.PrincipalComponentsFlag();
    ReadRobust(request, regression, v);
  });
  for (const kelmath_cli::InfluentialRow& row : result.influential)
    v.influentialRows.push_back(row.row);
  return v;
}

}  // namespace kelmath_python
