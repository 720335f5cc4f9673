// KelLinearRegression: constructors, new data, result accessors and the printed object.
#include "linear_regression/kel_linear_regression.h"

#include <cmath>
#include <utility>

#include "containers/kel_finite_check.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "foundation/kel_report_format.h"
#include "linear_regression/kel_linear_diagnostics.h"
#include "linear_regression/kel_linear_robust_fit.h"

KelObjectCounter KelLinearRegression::counter;

namespace {

// The messages of SetResponseVariance; the kind and the value follow on their own lines.
constexpr const char* kBadVarianceText = "\nBad response variance, negative\n";
constexpr const char* kBadDegreesOfFreedomText = "\nBad degrees of freedom, negative\n";

}  // namespace

void KelLinearRegression::SetUpEmpty() {
  // Built before anything else of the object after its members, so that its containers draw
  // their serial numbers right after those of F and y.
  lmsWorkspace = std::make_unique<KelLmsWorkspace>();
  serialNumber = counter.Draw();
}

KelLinearRegression::KelLinearRegression() {
  SetUpEmpty();
}

KelLinearRegression::KelLinearRegression(const KelMatrix& regressors, const KelVector& responses) {
  SetUpEmpty();
  Initialize(regressors, responses);
}

KelLinearRegression::KelLinearRegression(KelMatrix&& regressors, KelVector&& responses) {
  SetUpEmpty();
  Initialize(std::move(regressors), std::move(responses));
}

KelLinearRegression::KelLinearRegression(const KelMatrix& X, const KelVector& Y,
                                         const KelVectorInt& parameterColumns,
                                         const KelVectorInt& experimentRows) {
  SetUpEmpty();
  const int m = experimentRows.Size();
  const int n = parameterColumns.Size();
  if (m < 1 || n < 1)
    KelError("%s%s%sConstructor\n%s", kelClassLinearRegression, kelErrCheck, kelErrConstructor,
             KelShapeDetail(m, n).c_str());
  // m == n would leave no residual degrees of freedom (every statistic divides by m - n), so the
  // selection is held to the rule of the other constructors.
  if (m <= n || n > X.Columns() || m > X.Rows())
    KelError("%s%s%s", kelClassLinearRegression, kelErrCheck,
             KelShapesDetail(m, n, X.Rows(), X.Columns()).c_str());
  F.Resize(m, n, false);
  y.Resize(m, false);
  for (int i = 1; i <= m; ++i) {
    const int row = experimentRows(i);
    for (int j = 1; j <= n; ++j) F(i, j) = X(row, parameterColumns(j));
    y(i) = Y(row);
  }
  DataChanged();
}

KelLinearRegression::~KelLinearRegression() {
  counter.Release();
}

void KelLinearRegression::CheckDimensions() const {
  if (F.Columns() < 1 || F.Columns() >= F.Rows())
    KelError("%s%s%s", kelClassLinearRegression, kelErrCheck,
             KelShapeDetail(F.Rows(), F.Columns()).c_str());
}

namespace {

void checkRegressorShape(const KelMatrix& regressors) {
  if (regressors.Columns() < 1 || regressors.Columns() >= regressors.Rows())
    KelError("%s%s%s", kelClassLinearRegression, kelErrCheck,
             KelShapeDetail(regressors.Rows(), regressors.Columns()).c_str());
}

}  // namespace

void KelLinearRegression::Initialize(const KelMatrix& regressors, const KelVector& responses) {
  checkRegressorShape(regressors);
  F = regressors;
  y = responses;
  NewDataTaken();
}

void KelLinearRegression::Initialize(KelMatrix&& regressors, KelVector&& responses) {
  checkRegressorShape(regressors);
  F = std::move(regressors);
  y = std::move(responses);
  // The moves swap storage: what F and y held before is released here.
  regressors.Resize(0, 0, false);
  responses.Resize(0, false);
  NewDataTaken();
}

// New data forget the assigned variance with every result.
void KelLinearRegression::NewDataTaken() {
  responseVariance = 0.0;
  varianceDegreesOfFreedom = 0;
  DataChanged();
}

void KelLinearRegression::CheckResponseSize() const {
  if (y.Size() != F.Rows())
    KelError("%s%sy has %d elements, F has %d rows", kelClassLinearRegression, kelErrCheck,
             y.Size(), F.Rows());
}

// A NaN or an infinity would pass through every computation and come out as a report of nan
// figures that reads like a result: the data are refused where they come in instead.
void KelLinearRegression::CheckFiniteData() const {
  KelRequireFinite(kelClassLinearRegression, "F", F);
  KelRequireFinite(kelClassLinearRegression, "y", y);
  KelRequireFinite(kelClassLinearRegression, "variance", responseVariance);
}

void KelLinearRegression::DataChanged() {
  CheckFiniteData();
  numExperiments = F.Rows();
  numParameters = F.Columns();
  degreesOfFreedom = numExperiments - numParameters;
  interceptFlag = 1;
  for (int i = 1; i <= numExperiments; ++i) {
    if (F(i, 1) != 1.0) {
      interceptFlag = 0;
      break;
    }
  }
  leastSquaresComputed = false;
  diagnosticsComputed = false;
  robustComputed = false;
  stepwiseComputed = false;
  svdComputed = false;
  reported = ReportedVerdicts{};
  fit.solutionsDisagree = false;
  fit.highlyProbableOutlier = 0;
  fit.probableOutlier = 0;
}

void KelLinearRegression::SetResponseVariance(double variance, int assignedDegreesOfFreedom) {
  KelRequireFinite(kelClassLinearRegression, "variance", variance);
  // A negative variance would only fail much later, inside the F distribution of the first
  // report, with a message that names neither the class nor this call.
  if (variance < 0.0)
    KelError("%s%s%sSetResponseVariance\n%s", kelClassLinearRegression, kBadVarianceText,
             kelErrFunction, KelValueDetail("variance", variance).c_str());
  if (assignedDegreesOfFreedom < 0)
    KelError("%s%s%sSetResponseVariance\n%s", kelClassLinearRegression, kBadDegreesOfFreedomText,
             kelErrFunction,
             KelValueDetail("degrees of freedom", assignedDegreesOfFreedom).c_str());
  responseVariance = variance;
  varianceDegreesOfFreedom = assignedDegreesOfFreedom;
  // Results scaled by the former variance would otherwise stay cached: the next query refits.
  leastSquaresComputed = false;
  diagnosticsComputed = false;
  robustComputed = false;
  svdComputed = false;
}

// The one place each result struct is reached from outside: the computation runs first when
// its results are not current, then the struct is handed out read-only. Every accessor of a
// single result is a read of one of these.
const KelLinearLeastSquaresFit& KelLinearRegression::LeastSquaresFit() {
  EnsureLeastSquares();
  return fit;
}

const KelLinearDiagnostics& KelLinearRegression::Diagnostics() {
  EnsureDiagnostics();
  return diagnostics;
}

const KelLinearRobustFit& KelLinearRegression::RobustFit() {
  EnsureRobust();
  return robust;
}

double KelLinearRegression::GetR2() {
  return LeastSquaresFit().r2;
}

void KelLinearRegression::GetParameters(KelVector& parameters) {
  EnsureLeastSquares();
  parameters = fit.b;
}

void KelLinearRegression::GetSingularValueDecomposition(KelVector& singularValues,
                                                        KelMatrix& rightVectors,
                                                        KelMatrix& leftVectors) {
  EnsureLeastSquares();
  singularValues = fit.d;
  rightVectors = fit.V;
  leftVectors = fit.U;
}

void KelLinearRegression::GetWeightedRightVectors(KelMatrix& weighted) {
  EnsureLeastSquares();
  weighted = fit.W;
}

const KelVector& KelLinearRegression::Parameters() {
  return LeastSquaresFit().b;
}

const KelVector& KelLinearRegression::ParameterStandardErrors() {
  return LeastSquaresFit().seB;
}

KelVector KelLinearRegression::ParameterTValues() {
  EnsureLeastSquares();
  return KelLeastSquaresTValues(fit);
}

KelVector KelLinearRegression::ParameterPValues() {
  EnsureLeastSquares();
  return KelLeastSquaresPValues(fit, degreesOfFreedom);
}

KelVector KelLinearRegression::PartialCorrelations() {
  EnsureLeastSquares();
  return KelLeastSquaresPartialCorrelations(fit, degreesOfFreedom);
}

const KelMatrixSymmetric& KelLinearRegression::Covariance() {
  return LeastSquaresFit().covariance;
}

const KelVector& KelLinearRegression::EstimatedResponses() {
  return LeastSquaresFit().yEstimated;
}

const KelVector& KelLinearRegression::Residuals() {
  return LeastSquaresFit().residuals;
}

const KelVector& KelLinearRegression::EstimatedResponseStandardErrors() {
  return LeastSquaresFit().seYEstimated;
}

KelVector KelLinearRegression::NormalizedResiduals() {
  EnsureLeastSquares();
  return KelLeastSquaresNormalizedResiduals(fit, responseVariance);
}

const KelVector& KelLinearRegression::SingularValues() {
  return LeastSquaresFit().d;
}

double KelLinearRegression::SumOfSquares() {
  return LeastSquaresFit().sumOfSquares;
}

double KelLinearRegression::MeanSquareError() {
  return LeastSquaresFit().meanSquareError;
}

double KelLinearRegression::StandardDeviation() {
  return LeastSquaresFit().standardDeviation;
}

double KelLinearRegression::ResidualsNorm() {
  return LeastSquaresFit().residualsNorm;
}

double KelLinearRegression::ParametersNorm() {
  return LeastSquaresFit().parametersNorm;
}

double KelLinearRegression::TotalSumOfSquares() {
  return LeastSquaresFit().totalSumOfSquares;
}

double KelLinearRegression::CorrectedTotalSumOfSquares() {
  return LeastSquaresFit().correctedTotalSumOfSquares;
}

double KelLinearRegression::AdjustedR2() {
  return LeastSquaresFit().adjustedR2;
}

double KelLinearRegression::ConditionNumber() {
  return LeastSquaresFit().conditionNumber;
}

double KelLinearRegression::SystemConditioning() {
  return LeastSquaresFit().systemConditioning;
}

double KelLinearRegression::VarianceUsed() {
  return LeastSquaresFit().varianceUsed;
}

double KelLinearRegression::T95() {
  return LeastSquaresFit().t95;
}

double KelLinearRegression::T99() {
  return LeastSquaresFit().t99;
}

bool KelLinearRegression::SolutionsDisagree() {
  EnsureLeastSquares();
  return fit.solutionsDisagree;
}

double KelLinearRegression::LeaveOneOutBestSumOfSquares() {
  return LeastSquaresFit().leaveOneOutBest;
}

int KelLinearRegression::LeaveOneOutBestIndex() {
  return LeastSquaresFit().leaveOneOutBestIndex;
}

int KelLinearRegression::HighlyProbableOutlier() {
  return LeastSquaresFit().highlyProbableOutlier;
}

int KelLinearRegression::ProbableOutlier() {
  return LeastSquaresFit().probableOutlier;
}

double KelLinearRegression::FExperimental() {
  EnsureLeastSquares();
  return KelLeastSquaresFExperimental(fit, responseVariance);
}

double KelLinearRegression::FTestProbability() {
  EnsureLeastSquares();
  return KelLeastSquaresFTestProbability(fit, responseVariance, degreesOfFreedom,
                                         varianceDegreesOfFreedom);
}

void KelLinearRegression::PrintDataBlock() const {
  KelPrint("\n\nNumber of Experiments = %d", numExperiments);
  KelPrint("\nNumber of Parameters = %d", numParameters);
  KelPrint("\nDegrees of Freedom = %d", numExperiments - numParameters);
  KelPrint("\n\nResponse Variable:\n");
  for (int i = 1; i <= y.Size(); ++i) KelPrint("\n%5d %16.7e", i, y(i));
  KelPause();
  KelPrintResult(F, "Matrix F");
  KelPause();
}

void KelLinearRegression::PrintObject() {
  KelPrint("\nKelLinearRegression No.%d", serialNumber);
  PrintDataBlock();
  LeastSquaresAnalysis();
  SVDAnalysis();
  RobustAnalysis();
}
