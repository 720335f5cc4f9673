// KelNonLinearRegression: construction, flattening of the data, weights from variances, starting
// parameters and the per-model accessors.
#include "nonlinear/kel_nonlinear_regression.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <type_traits>

#include "containers/kel_finite_check.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelObjectCounter KelNonLinearRegression::counter;

namespace {

const KelVector emptyVector;
const KelMatrix emptyMatrix;
const KelMatrixSymmetric emptySymmetric;

// One field of a result part, or the neutral value when there is no part (a model without
// starting parameters).
template <typename Part, typename T>
const T& memberOr(const Part* part, T Part::*member, const std::type_identity_t<T>& neutral) {
  return part == nullptr ? neutral : part->*member;
}

}  // namespace

KelNonLinearRegression::KelNonLinearRegression(int numberOfModels, const KelMatrix& XIn,
                                               const KelMatrix& YIn, KelNonLinearModel model) {
  weightingKind = 3;
  serialNumber = counter.Draw();
  weights.Resize(YIn.Rows(), YIn.Columns());
  weights = 1.0;
  varianceKind = 1;
  numExperiments = XIn.Rows();
  numX = XIn.Columns();
  numY = YIn.Columns();
  if (XIn.Rows() != YIn.Rows())
    KelError("%s%s%s", kelClassNonLinearRegression, kelErrCheck,
             KelShapesDetail(XIn.Rows(), XIn.Columns(), YIn.Rows(), YIn.Columns()).c_str());
  if (numberOfModels < 1 || model == nullptr)
    KelError("%s%s", kelClassNonLinearRegression, kelErrCheck);
  KelRequireFinite(kelClassNonLinearRegression, "X", XIn);
  KelRequireFinite(kelClassNonLinearRegression, "Y", YIn);
  modelFunction = model;
  numModels = numberOfModels;
  X = XIn;
  Y = YIn;
  nY = numExperiments * numY;
  models.resize(static_cast<size_t>(numModels));
  xRow.Resize(numX);
  yRow.Resize(numY);
  Flatten();
}

KelNonLinearRegression::~KelNonLinearRegression() {
  counter.Release();
}

void KelNonLinearRegression::Flatten() {
  y.Resize(nY);
  w.Resize(nY);
  inverseSquaredW.Resize(nY);
  wy.Resize(nY);
  int i = 0;
  double sumOfMeans = 0.0;
  for (int j = 1; j <= numY; ++j) {
    double sumInverse = 0.0;
    for (int l = 1; l <= numExperiments; ++l) {
      ++i;
      y(i) = Y(l, j);
      const double weight = weights(l, j);
      // Written so that a NaN weight fails as well.
      if (!(weight > 0.0))
        KelError("%s\nThe weight %d %d must be positive %e", kelClassNonLinearRegression, l, j,
                 weight);
      w(i) = weight;
      inverseSquaredW(i) = 1.0 / (weight * weight);
      wy(i) = weight * y(i);
      sumInverse += inverseSquaredW(i);
    }
    if (numExperiments > 0) sumOfMeans += sumInverse / numExperiments;
  }
  meanWeight = numY > 0 ? std::sqrt(sumOfMeans / numY) : 1.0;
  sst = 0.0;
  for (int k = 1; k <= nY; ++k) sst += y(k) * y(k);
  if (sst == 0.0) KelError("%s\nsst == 0.", kelClassNonLinearRegression);
}

void KelNonLinearRegression::SetVariances(int degreesOfFreedom, const KelVector& variances) {
  KelRequireFinite(kelClassNonLinearRegression, "variances", variances);
  if (variances.Size() == numY) {
    varianceKind = 1;
    responseVariances = variances;
  } else if (variances.Size() == numY + numX) {
    varianceKind = 2;
    responseVariances = variances.GetKelVector(numY, 1);
    xVariances = variances.GetKelVector(numX, numY + 1);
    // Taken once: after an x step the working X holds estimates, which must not become the
    // measurements when the variances are assigned again.
    if (measuredX.Rows() == 0) measuredX = X;
  } else {
    // Two lengths are valid: the responses' variances alone, or followed by the x variances.
    KelError("\n%sWrong number of variances\n%s or %d", kelClassNonLinearRegression,
             KelSizesDetail(variances.Size(), numY).c_str(), numY + numX);
  }
  weightingKind = 2;
  varianceDegreesOfFreedom = degreesOfFreedom;
  if (degreesOfFreedom <= 0)
    KelError("\n%sDegree of fredom must be greater than 0\n%s", kelClassNonLinearRegression,
             KelValueDetail("degrees of freedom", degreesOfFreedom).c_str());
  for (int j = 1; j <= numY; ++j)
    if (responseVariances(j) == 0.0)
      KelError("\n%sVariances null\n%s", kelClassNonLinearRegression,
               KelValueDetail(("variance " + std::to_string(j)).c_str(), 0.0).c_str());
  for (int j = 1; j <= numY; ++j) {
    const double weight = 1.0 / std::sqrt(responseVariances(j));
    for (int l = 1; l <= numExperiments; ++l) weights(l, j) = weight;
  }
  numUncertainX = 0;
  if (varianceKind == 2) {
    xWeights.Resize(numExperiments, numX);
    for (int k = 1; k <= numX; ++k) {
      // A variance of 0 marks an exact independent variable, never re-estimated.
      const double weight = xVariances(k) != 0.0 ? 1.0 / std::sqrt(xVariances(k)) : 0.0;
      for (int l = 1; l <= numExperiments; ++l) {
        xWeights(l, k) = weight;
        if (weight != 0.0) ++numUncertainX;
      }
    }
  }
  Flatten();
  // Estimates made with the former weights no longer describe the data.
  for (Model& m : models) m.estimated = false;
}

void KelNonLinearRegression::SetWeights(const KelMatrix& newWeights) {
  if (newWeights.Rows() != numExperiments || newWeights.Columns() != numY)
    KelError(
        "%s%s%sSetWeights\n%s", kelClassNonLinearRegression, kelErrCheck, kelErrFunction,
        KelShapesDetail(newWeights.Rows(), newWeights.Columns(), numExperiments, numY).c_str());
  KelRequireFinite(kelClassNonLinearRegression, "weights", newWeights);
  weights = newWeights;
  weightingKind = 1;
  Flatten();
  for (Model& m : models) m.estimated = false;
}

void KelNonLinearRegression::SetInitialParameters(int model, const KelVector& b0) {
  if (model < 1 || model > numModels)
    KelError("%s%s%s", kelClassNonLinearRegression, kelErrCheck,
             KelIndexDetail(model, 1, numModels).c_str());
  if (b0.Size() < 1) KelError("%s%s", kelClassNonLinearRegression, kelErrCheck);
  KelRequireFinite(kelClassNonLinearRegression, "b0", b0);
  Model& m = models[static_cast<size_t>(model - 1)];
  m.start = b0;
  m.numParameters = b0.Size();
  m.estimated = false;
  m.statisticsReady = false;
  m.diagnosticsReady = false;
  m.estimate.stopReason = KelEstimationStop::kNotEstimated;
  m.estimate.evaluations = 0;
  m.estimate.iterations = 0;
  m.lower.Resize(m.numParameters);
  m.upper.Resize(m.numParameters);
  m.lower = -kelUnbounded;
  m.upper = kelUnbounded;
}

void KelNonLinearRegression::SetJacobian(int model, KelNonLinearJacobian jacobian) {
  Model& m = ModelAt(model);
  m.jacobianFunction = jacobian;
  m.estimated = false;
  m.statisticsReady = false;
  m.diagnosticsReady = false;
}

void KelNonLinearRegression::SetBounds(int model, const KelVector& lower, const KelVector& upper) {
  Model& m = ModelAt(model);
  const int n = m.numParameters;
  if (n == 0 || lower.Size() != n || upper.Size() != n)
    KelError("%s%s%sSetBounds\n%s", kelClassNonLinearRegression, kelErrCheck, kelErrFunction,
             KelSizesDetail(lower.Size() != n ? lower.Size() : upper.Size(), n).c_str());
  for (int k = 1; k <= n; ++k) {
    const std::string name = std::to_string(k);
    // Written so that a NaN bound fails as well.
    if (!(lower(k) < upper(k)))
      KelError("\n%sBad bounds in SetBounds: lower not below upper\n%s\n%s",
               kelClassNonLinearRegression,
               KelValueDetail(("lower " + name).c_str(), lower(k)).c_str(),
               KelValueDetail(("upper " + name).c_str(), upper(k)).c_str());
    if (!(m.start(k) > lower(k) && m.start(k) < upper(k)))
      KelError("\n%sBad bounds in SetBounds: the start lies outside them\n%s",
               kelClassNonLinearRegression,
               KelValueDetail(("b0 " + name).c_str(), m.start(k)).c_str());
  }
  for (int k = 1; k <= n; ++k) {
    m.lower(k) = std::max(lower(k), -kelUnbounded);
    m.upper(k) = std::min(upper(k), kelUnbounded);
  }
  m.estimated = false;
  m.statisticsReady = false;
  m.diagnosticsReady = false;
}

void KelNonLinearRegression::SetOptions(const KelNonLinearOptions& newOptions) {
  const KelNonLinearOptions& o = newOptions;
  auto require = [](bool valid, const char* name, double value) {
    if (!valid)
      KelError("\n%sOption out of range in SetOptions\n%s", kelClassNonLinearRegression,
               KelValueDetail(name, value).c_str());
  };
  // A NaN fails the comparison, and is refused with the infinities.
  auto positive = [](double value) { return value > 0.0 && std::isfinite(value); };
  require(o.minimizerIterationsPerParameter >= 1, "minimizerIterationsPerParameter",
          o.minimizerIterationsPerParameter);
  require(positive(o.refinementStepTolerance), "refinementStepTolerance",
          o.refinementStepTolerance);
  require(o.maximumRefinementPasses >= 1, "maximumRefinementPasses", o.maximumRefinementPasses);
  require(o.finishIterationsPerParameter >= 1, "finishIterationsPerParameter",
          o.finishIterationsPerParameter);
  require(positive(o.stepTolerance), "stepTolerance", o.stepTolerance);
  require(o.xStepIterationsPerValue >= 1, "xStepIterationsPerValue", o.xStepIterationsPerValue);
  require(o.xStepIterationLimit >= 1, "xStepIterationLimit", o.xStepIterationLimit);
  require(o.robustIterationsPerParameter >= 1, "robustIterationsPerParameter",
          o.robustIterationsPerParameter);
  require(o.robustExtrapolationRounds >= 0, "robustExtrapolationRounds",
          o.robustExtrapolationRounds);
  require(positive(o.robustExtrapolationLimit), "robustExtrapolationLimit",
          o.robustExtrapolationLimit);
  options = newOptions;
  // Estimates made under the former options no longer follow them.
  for (Model& m : models) m.estimated = false;
}

int KelNonLinearRegression::IterationBudget(int perUnit, int units) {
  const long long budget = static_cast<long long>(perUnit) * units;
  return budget > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                  : static_cast<int>(budget);
}

void KelNonLinearRegression::SetExperimentCriterion(int criterion) {
  if (criterion < 0 || criterion > 7)
    KelError("%s%s%sSetExperimentCriterion\n%s", kelClassNonLinearRegression, kelErrCheck,
             kelErrFunction, KelIndexDetail(criterion, 0, 7).c_str());
  requestedCriterion = criterion;
}

void KelNonLinearRegression::CheckModel(int model, const char* operation) const {
  if (model < 1 || model > numModels)
    KelError("%s%s%s%s\n%s", kelClassNonLinearRegression, kelErrCheck, kelErrFunction, operation,
             KelIndexDetail(model, 1, numModels).c_str());
}

const KelNonLinearRegression::Model& KelNonLinearRegression::ModelAt(int model) const {
  CheckModel(model, "Model");
  return models[static_cast<size_t>(model - 1)];
}

KelNonLinearRegression::Model& KelNonLinearRegression::ModelAt(int model) {
  CheckModel(model, "Model");
  return models[static_cast<size_t>(model - 1)];
}

KelNonLinearRegression::Model* KelNonLinearRegression::Ready(int model) {
  Model& m = ModelAt(model);
  if (m.numParameters == 0) return nullptr;
  EnsureEstimated(model);
  return &m;
}

KelNonLinearRegression::Model* KelNonLinearRegression::Diagnosed(int model) {
  Model* m = Ready(model);
  if (m != nullptr && !m->diagnosticsReady) ComputeDiagnostics(model);
  return m;
}

const KelNonLinearEstimate* KelNonLinearRegression::EstimateOf(int model) {
  const Model* m = Ready(model);
  return m == nullptr ? nullptr : &m->estimate;
}

const KelNonLinearStatistics* KelNonLinearRegression::StatisticsOf(int model) {
  const Model* m = Ready(model);
  return m == nullptr ? nullptr : &m->statistics;
}

const KelNonLinearDiagnostics* KelNonLinearRegression::DiagnosticsOf(int model) {
  const Model* m = Diagnosed(model);
  return m == nullptr ? nullptr : &m->diagnostics;
}

KelVector KelNonLinearRegression::GetParameters(int model) {
  const Model* m = Ready(model);
  return m == nullptr ? KelVector() : m->estimate.parameters;
}

int KelNonLinearRegression::NumberOfParameters(int model) const {
  return ModelAt(model).numParameters;
}
bool KelNonLinearRegression::IsEstimated(int model) const {
  return ModelAt(model).estimated;
}
int KelNonLinearRegression::EstimationCount(int model) const {
  return ModelAt(model).estimate.estimationCount;
}

double KelNonLinearRegression::InitialSSE(int model) {
  const Model* m = Ready(model);
  return m == nullptr ? kelUnsetValue : m->estimate.initialSSE;
}
double KelNonLinearRegression::FinalSSE(int model) {
  const Model* m = Ready(model);
  return m == nullptr ? kelUnsetValue : m->estimate.finalSSE;
}

// Every result accessor of a model reads one field of a part of its record through memberOr:
// the estimate and the statistics come from Ready, which estimates the model when needed, the
// diagnostics from Diagnosed, which also computes those of its report, and a model without
// starting parameters gives the neutral value.
KelEstimationStop KelNonLinearRegression::StopReason(int model) {
  return memberOr(EstimateOf(model), &KelNonLinearEstimate::stopReason,
                  KelEstimationStop::kNotEstimated);
}
int KelNonLinearRegression::ModelEvaluations(int model) {
  return memberOr(EstimateOf(model), &KelNonLinearEstimate::evaluations, 0);
}
int KelNonLinearRegression::Iterations(int model) {
  return memberOr(EstimateOf(model), &KelNonLinearEstimate::iterations, 0);
}
const KelVector& KelNonLinearRegression::Predictions(int model) {
  return memberOr(EstimateOf(model), &KelNonLinearEstimate::predictions, emptyVector);
}
const KelVector& KelNonLinearRegression::Residuals(int model) {
  return memberOr(EstimateOf(model), &KelNonLinearEstimate::residuals, emptyVector);
}
const KelVector& KelNonLinearRegression::WeightedResiduals(int model) {
  return memberOr(EstimateOf(model), &KelNonLinearEstimate::weightedResiduals, emptyVector);
}
const KelVector& KelNonLinearRegression::PredictionStandardErrors(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::predictionStandardErrors,
                  emptyVector);
}
const KelMatrix& KelNonLinearRegression::Jacobian(int model) {
  return memberOr(EstimateOf(model), &KelNonLinearEstimate::jacobian, emptyMatrix);
}
const KelVector& KelNonLinearRegression::SingularValues(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::singularValues, emptyVector);
}
const KelMatrix& KelNonLinearRegression::RightSingularVectors(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::rightVectors, emptyMatrix);
}
int KelNonLinearRegression::RankDeficiency(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::rankDeficiency, 0);
}
const KelVector& KelNonLinearRegression::StandardErrors(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::standardErrors, emptyVector);
}
const KelMatrixSymmetric& KelNonLinearRegression::Covariance(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::covariance, emptySymmetric);
}
double KelNonLinearRegression::ConditionNumber(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::conditionNumber, 0.0);
}
double KelNonLinearRegression::ParametersNorm(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::parametersNorm, 0.0);
}
double KelNonLinearRegression::ResidualsNorm(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::residualsNorm, 0.0);
}
double KelNonLinearRegression::SumOfSquares(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::sumOfSquares, 0.0);
}
double KelNonLinearRegression::StandardDeviation(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::standardDeviation, 0.0);
}
double KelNonLinearRegression::MeanSquareError(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::meanSquareError, 0.0);
}
double KelNonLinearRegression::R2(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::r2, 0.0);
}
int KelNonLinearRegression::DegreesOfFreedom(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::degreesOfFreedom, 0);
}
double KelNonLinearRegression::T95(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::t95, 0.0);
}
double KelNonLinearRegression::T99(int model) {
  return memberOr(StatisticsOf(model), &KelNonLinearStatistics::t99, 0.0);
}
const KelVector& KelNonLinearRegression::NewtonStep(int model) {
  return memberOr(DiagnosticsOf(model), &KelNonLinearDiagnostics::newtonStep, emptyVector);
}
const KelMatrixSymmetric& KelNonLinearRegression::ParameterCorrelation(int model) {
  return memberOr(DiagnosticsOf(model), &KelNonLinearDiagnostics::correlation, emptySymmetric);
}
const KelVector& KelNonLinearRegression::VarianceInflationFactors(int model) {
  return memberOr(DiagnosticsOf(model), &KelNonLinearDiagnostics::inflationFactors, emptyVector);
}
const KelVector& KelNonLinearRegression::Tolerances(int model) {
  return memberOr(DiagnosticsOf(model), &KelNonLinearDiagnostics::tolerances, emptyVector);
}
bool KelNonLinearRegression::CorrelationFlag(int model) {
  return memberOr(DiagnosticsOf(model), &KelNonLinearDiagnostics::correlationFlag, false);
}
bool KelNonLinearRegression::Multicollinearity(int model) {
  return memberOr(DiagnosticsOf(model), &KelNonLinearDiagnostics::multicollinearity, false);
}
double KelNonLinearRegression::FExperimental(int model) {
  return memberOr(DiagnosticsOf(model), &KelNonLinearDiagnostics::fExperimental, 0.0);
}
double KelNonLinearRegression::FTestProbability(int model) {
  return memberOr(DiagnosticsOf(model), &KelNonLinearDiagnostics::fProbability, 1.0);
}

const KelNonLinearRobustFit& KelNonLinearRegression::RobustFit(int model) const {
  return ModelAt(model).robust;
}

const KelVector& KelNonLinearRegression::FDistances(int model) const {
  return ModelAt(model).search.fDistance;
}
const KelVector& KelNonLinearRegression::FDistancesPrincipal(int model) const {
  return ModelAt(model).search.fDistancePrincipal;
}
const KelVector& KelNonLinearRegression::CandidatePredictions(int model) const {
  return ModelAt(model).search.candidatePredictions;
}
int KelNonLinearRegression::EffectiveCriterion(int model) const {
  return ModelAt(model).search.effectiveCriterion;
}
int KelNonLinearRegression::SuggestedCandidate(int model, int kind) const {
  if (kind < 0 || kind > 4)
    KelError("%s%s%sSuggestedCandidate\n%s", kelClassNonLinearRegression, kelErrCheck,
             kelErrFunction, KelIndexDetail(kind, 0, 4).c_str());
  return ModelAt(model).search.suggestions[kind];
}
double KelNonLinearRegression::ComparisonValue(int model) {
  CheckModel(model, "ComparisonValue");
  return Comparison().rows[static_cast<size_t>(model - 1)].value;
}
double KelNonLinearRegression::ComparisonRatio(int model) {
  CheckModel(model, "ComparisonRatio");
  return Comparison().rows[static_cast<size_t>(model - 1)].ratio;
}
double KelNonLinearRegression::ComparisonProbability(int model) {
  CheckModel(model, "ComparisonProbability");
  return Comparison().rows[static_cast<size_t>(model - 1)].probability;
}
double KelNonLinearRegression::ComparisonPseudoProbability(int model) {
  CheckModel(model, "ComparisonPseudoProbability");
  return Comparison().rows[static_cast<size_t>(model - 1)].pseudoProbability;
}
double KelNonLinearRegression::BestTij(int a, int b) const {
  CheckModel(a, "BestTij");
  CheckModel(b, "BestTij");
  if (discrimination.bestTij.Rows() != numModels || a >= b) return 0.0;
  return discrimination.bestTij(a, b);
}
int KelNonLinearRegression::BestTijCandidate(int a, int b) const {
  CheckModel(a, "BestTijCandidate");
  CheckModel(b, "BestTijCandidate");
  if (discrimination.bestTijCandidate.empty() || a >= b) return 0;
  return discrimination.bestTijCandidate[static_cast<size_t>((a - 1) * numModels + (b - 1))];
}
