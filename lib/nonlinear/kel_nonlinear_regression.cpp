// KelNonLinearRegression: construction, flattening of the data, weights from variances, starting
// parameters and the per-model accessors.
#include "nonlinear/kel_nonlinear_regression.h"

#include <cmath>
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

template <typename Record, typename T, typename Part>
const T& memberOr(const Record* m, T Part::*member, const std::type_identity_t<T>& neutral) {
  return m == nullptr ? neutral : m->*member;
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
  m.iterationLimit = 400 * m.numParameters;
  m.stopReason = KelEstimationStop::kNotEstimated;
  m.evaluations = 0;
  m.iterations = 0;
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

KelVector KelNonLinearRegression::GetParameters(int model) {
  const Model* m = Ready(model);
  return m == nullptr ? KelVector() : m->parameters;
}

bool KelNonLinearRegression::HasInitialParameters(int model) const {
  return ModelAt(model).numParameters > 0;
}
int KelNonLinearRegression::NumberOfParameters(int model) const {
  return ModelAt(model).numParameters;
}
bool KelNonLinearRegression::IsEstimated(int model) const {
  return ModelAt(model).estimated;
}
int KelNonLinearRegression::EstimationCount(int model) const {
  return ModelAt(model).estimationCount;
}

double KelNonLinearRegression::InitialSSE(int model) {
  const Model* m = Ready(model);
  return m == nullptr ? kelUnsetValue : m->initialSSE;
}
double KelNonLinearRegression::FinalSSE(int model) {
  const Model* m = Ready(model);
  return m == nullptr ? kelUnsetValue : m->finalSSE;
}

// Every result accessor of a model reads one member of its record through memberOr: Ready
// estimates the model when needed, Diagnosed also computes the diagnostics of its report, and a
// model without starting parameters gives the neutral value.
KelEstimationStop KelNonLinearRegression::StopReason(int model) {
  return memberOr(Ready(model), &Model::stopReason, KelEstimationStop::kNotEstimated);
}
int KelNonLinearRegression::ModelEvaluations(int model) {
  return memberOr(Ready(model), &Model::evaluations, 0);
}
int KelNonLinearRegression::Iterations(int model) {
  return memberOr(Ready(model), &Model::iterations, 0);
}
const KelVector& KelNonLinearRegression::Predictions(int model) {
  return memberOr(Ready(model), &Model::predictions, emptyVector);
}
const KelVector& KelNonLinearRegression::Residuals(int model) {
  return memberOr(Ready(model), &Model::residuals, emptyVector);
}
const KelVector& KelNonLinearRegression::WeightedResiduals(int model) {
  return memberOr(Ready(model), &Model::weightedResiduals, emptyVector);
}
const KelVector& KelNonLinearRegression::PredictionStandardErrors(int model) {
  return memberOr(Ready(model), &Model::predictionStandardErrors, emptyVector);
}
const KelMatrix& KelNonLinearRegression::Jacobian(int model) {
  return memberOr(Ready(model), &Model::jacobian, emptyMatrix);
}
const KelVector& KelNonLinearRegression::SingularValues(int model) {
  return memberOr(Ready(model), &Model::singularValues, emptyVector);
}
const KelMatrix& KelNonLinearRegression::RightSingularVectors(int model) {
  return memberOr(Ready(model), &Model::rightVectors, emptyMatrix);
}
int KelNonLinearRegression::RankDeficiency(int model) {
  return memberOr(Ready(model), &Model::rankDeficiency, 0);
}
const KelVector& KelNonLinearRegression::StandardErrors(int model) {
  return memberOr(Ready(model), &Model::standardErrors, emptyVector);
}
const KelMatrixSymmetric& KelNonLinearRegression::Covariance(int model) {
  return memberOr(Ready(model), &Model::covariance, emptySymmetric);
}
double KelNonLinearRegression::ConditionNumber(int model) {
  return memberOr(Ready(model), &Model::conditionNumber, 0.0);
}
double KelNonLinearRegression::ParametersNorm(int model) {
  return memberOr(Ready(model), &Model::parametersNorm, 0.0);
}
double KelNonLinearRegression::ResidualsNorm(int model) {
  return memberOr(Ready(model), &Model::residualsNorm, 0.0);
}
double KelNonLinearRegression::SumOfSquares(int model) {
  return memberOr(Ready(model), &Model::sumOfSquares, 0.0);
}
double KelNonLinearRegression::StandardDeviation(int model) {
  return memberOr(Ready(model), &Model::standardDeviation, 0.0);
}
double KelNonLinearRegression::MeanSquareError(int model) {
  return memberOr(Ready(model), &Model::meanSquareError, 0.0);
}
double KelNonLinearRegression::R2(int model) {
  return memberOr(Ready(model), &Model::r2, 0.0);
}
int KelNonLinearRegression::DegreesOfFreedom(int model) {
  return memberOr(Ready(model), &Model::degreesOfFreedom, 0);
}
double KelNonLinearRegression::T95(int model) {
  return memberOr(Ready(model), &Model::t95, 0.0);
}
double KelNonLinearRegression::T99(int model) {
  return memberOr(Ready(model), &Model::t99, 0.0);
}
const KelVector& KelNonLinearRegression::NewtonStep(int model) {
  return memberOr(Diagnosed(model), &Model::newtonStep, emptyVector);
}
const KelMatrixSymmetric& KelNonLinearRegression::ParameterCorrelation(int model) {
  return memberOr(Diagnosed(model), &Model::correlation, emptySymmetric);
}
const KelVector& KelNonLinearRegression::VarianceInflationFactors(int model) {
  return memberOr(Diagnosed(model), &Model::inflationFactors, emptyVector);
}
const KelVector& KelNonLinearRegression::Tolerances(int model) {
  return memberOr(Diagnosed(model), &Model::tolerances, emptyVector);
}
bool KelNonLinearRegression::CorrelationFlag(int model) {
  return memberOr(Diagnosed(model), &Model::correlationFlag, false);
}
bool KelNonLinearRegression::Multicollinearity(int model) {
  return memberOr(Diagnosed(model), &Model::multicollinearity, false);
}
double KelNonLinearRegression::FExperimental(int model) {
  return memberOr(Diagnosed(model), &Model::fExperimental, 0.0);
}
double KelNonLinearRegression::FTestProbability(int model) {
  return memberOr(Diagnosed(model), &Model::fProbability, 1.0);
}

bool KelNonLinearRegression::Converged(int model) {
  const KelEstimationStop reason = StopReason(model);
  return reason == KelEstimationStop::kStep || reason == KelEstimationStop::kGradient;
}

double KelNonLinearRegression::InitialLMS(int model) const {
  return ModelAt(model).initialLms;
}
double KelNonLinearRegression::FinalLMS(int model) const {
  return ModelAt(model).finalLms;
}
const KelVector& KelNonLinearRegression::LMSParameters(int model) const {
  return ModelAt(model).lmsParameters;
}
const KelVector& KelNonLinearRegression::LMSPredictions(int model) const {
  return ModelAt(model).lmsPredictions;
}
const KelVector& KelNonLinearRegression::LMSWeightedResiduals(int model) const {
  return ModelAt(model).lmsWeightedResiduals;
}
const std::vector<KelOutlier>& KelNonLinearRegression::HighlyProbableOutliers(int model) const {
  return ModelAt(model).highlyProbable;
}
const std::vector<KelOutlier>& KelNonLinearRegression::PossibleOutliers(int model) const {
  return ModelAt(model).possible;
}

const KelVector& KelNonLinearRegression::FDistances(int model) const {
  return ModelAt(model).fDistance;
}
const KelVector& KelNonLinearRegression::FDistancesPrincipal(int model) const {
  return ModelAt(model).fDistancePrincipal;
}
const KelVector& KelNonLinearRegression::CandidatePredictions(int model) const {
  return ModelAt(model).candidatePredictions;
}
int KelNonLinearRegression::EffectiveCriterion(int model) const {
  return ModelAt(model).effectiveCriterion;
}
int KelNonLinearRegression::SuggestedCandidate(int model, int kind) const {
  if (kind < 0 || kind > 4)
    KelError("%s%s%sSuggestedCandidate\n%s", kelClassNonLinearRegression, kelErrCheck,
             kelErrFunction, KelIndexDetail(kind, 0, 4).c_str());
  return ModelAt(model).suggestions[kind];
}
double KelNonLinearRegression::ComparisonValue(int model) {
  CheckModel(model, "ComparisonValue");
  return EnsureComparison().rows[static_cast<size_t>(model - 1)].value;
}
double KelNonLinearRegression::ComparisonRatio(int model) {
  CheckModel(model, "ComparisonRatio");
  return EnsureComparison().rows[static_cast<size_t>(model - 1)].ratio;
}
double KelNonLinearRegression::ComparisonProbability(int model) {
  CheckModel(model, "ComparisonProbability");
  return EnsureComparison().rows[static_cast<size_t>(model - 1)].probability;
}
double KelNonLinearRegression::ComparisonPseudoProbability(int model) {
  CheckModel(model, "ComparisonPseudoProbability");
  return EnsureComparison().rows[static_cast<size_t>(model - 1)].pseudoProbability;
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
