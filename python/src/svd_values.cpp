#include "svd_values.h"

#include "library_call.h"
#include "library_reports.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"

namespace kelmath_python {

namespace {

void AppendVector(const KelVector& v, std::vector<double>& out) {
  for (int i = 1; i <= v.Size(); ++i) out.push_back(v(i));
}

void ReadDecomposition(KelLinearRegression& regression, SvdOutcome& outcome) {
  const KelLinearLeastSquaresFit& fit = regression.LeastSquaresFit();
  AppendVector(fit.d, outcome.singularValues);
  for (int j = 1; j <= fit.V.Rows(); ++j)
    for (int k = 1; k <= fit.V.Columns(); ++k) outcome.rightVectors.push_back(fit.V(j, k));
  const int n = regression.NumberOfParameters();
  for (int k = 1; k <= n; ++k) {
    AppendVector(regression.CandidateParameters(k), outcome.candidateParameters);
    AppendVector(regression.CandidateStandardErrors(k), outcome.candidateStandardErrors);
  }
  const KelSvdAnalysis& analysis = regression.SvdAnalysis();
  AppendVector(analysis.candidateParameterNorms, outcome.candidateParameterNorms);
  AppendVector(analysis.candidateResidualNorms, outcome.candidateResidualNorms);
  outcome.multicollinear = analysis.multicollinear;
  outcome.smallSingularValues = regression.SmallSingularValueCount();
  outcome.negligibleSingularValues = regression.NegligibleSingularValueCount();
}

}  // namespace

SvdOutcome AnalyseSingularValues(const OlsRequest& request) {
  KelLinearRegression regression;
  std::string libraryText;
  FillRegression(request, regression, libraryText);
  SvdOutcome outcome;
  CallLibrary(libraryText, true, [&] { ReadDecomposition(regression, outcome); });
  outcome.report = ReportText(request, {"svd"}, regression);
  outcome.names = request.data.parameterNames;
  outcome.usedRows = request.data.usedRows;
  outcome.droppedRows = request.data.droppedRows;
  outcome.warnings = kelmath_cli::WarningLines(libraryText);
  return outcome;
}

}  // namespace kelmath_python
