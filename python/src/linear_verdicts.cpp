#include "linear_verdicts.h"

#include "library_call.h"
#include "library_reports.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_linear_robust_fit.h"

namespace kelmath_python {

namespace {

// The names of the verdicts, in the order of their enumerators.
constexpr const char* kConditioningNames[] = {"none", "ill_conditioned", "must_be_normalized"};
constexpr const char* kNormalityNames[] = {"consistent", "probably_violated", "violated"};
constexpr const char* kHomoscedasticityNames[] = {"verified", "possibly_violated",
                                                  "probably_violated", "violated"};

template <size_t count, typename Verdict>
const char* NameOf(const char* const (&names)[count], Verdict verdict) {
  return names[static_cast<size_t>(verdict)];
}

// The data row of an experiment (1-based; 0 stays 0, no experiment).
int DataRow(const OlsRequest& request, int experiment) {
  return experiment > 0 ? request.data.usedRows[static_cast<size_t>(experiment) - 1] : 0;
}

void ReadLeastSquares(const OlsRequest& request, KelLinearRegression& regression,
                      LinearVerdicts& v) {
  const KelLinearDiagnostics& d = regression.Diagnostics();
  const KelLinearLeastSquaresFit& fit = regression.LeastSquaresFit();
  v.conditioning = NameOf(kConditioningNames, d.conditioning);
  v.illConditioned = d.illConditioned;
  v.badlyScaled = d.badlyScaled;
  v.solutionsDisagree = fit.solutionsDisagree;
  v.conditionNumber = fit.conditionNumber;
  v.systemConditioning = fit.systemConditioning;
  v.multicollinearity = d.multicollinearity;
  v.normality = NameOf(kNormalityNames, d.normality);
  v.normalityIndex = d.normalityIndex;
  v.highlyProbableOutlier = DataRow(request, fit.highlyProbableOutlier);
  v.probableOutlier = DataRow(request, fit.probableOutlier);
}

void ReadRobust(const OlsRequest& request, KelLinearRegression& regression, LinearVerdicts& v) {
  const KelLinearRobustFit& robust = regression.RobustFit();
  for (int k = 1; k <= robust.allOutliers.Size(); ++k)
    v.robustOutliers.push_back(DataRow(request, robust.allOutliers(k)));
  v.homoscedasticity = NameOf(kHomoscedasticityNames, KelRobustHomoscedasticity(robust));
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
