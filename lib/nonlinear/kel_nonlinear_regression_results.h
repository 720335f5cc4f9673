// Results of the nonlinear regression: the parts of each model's record, the comparison of the
// rival models and the discrimination among them. Plain structs filled by computations that
// print nothing, and read by the reports, which write nothing back.
#ifndef KELMATH_KEL_NONLINEAR_REGRESSION_RESULTS_H
#define KELMATH_KEL_NONLINEAR_REGRESSION_RESULTS_H

#include <functional>
#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_matrix_symmetric.h"
#include "containers/kel_vector.h"
#include "foundation/kel_constants.h"

// The user's model: fills y (numY values) from the parameters b and the independent variables x
// of one experiment. experiment is the stored experiment's number, or 0 for a candidate. A plain
// function or any callable: a model built at run time (a formula read from a command line)
// carries its own data with it instead of reaching for global state.
using KelNonLinearModel =
    std::function<void(int model, int experiment, KelVector& b, KelVector& x, KelVector& y)>;

// The user's analytic Jacobian of a model, optional: fills dy (numY x number of parameters)
// with dy(j, k) = d y_j / d b_k at the parameters b and the independent variables x of one
// experiment, called with the same arguments as the model. Without it the derivatives are taken
// by central differences with steps relative to each parameter.
using KelNonLinearJacobian =
    std::function<void(int model, int experiment, KelVector& b, KelVector& x, KelMatrix& dy)>;

// How the estimation of a model ended. Only kStep and kGradient are converged fits: ask
// KelConverged rather than comparing values.
enum class KelEstimationStop {
  kNotEstimated,    // the model has not been estimated
  kStep,            // converged: the Gauss-Newton step is negligible against every parameter
  kGradient,        // converged: the residuals are orthogonal to the Jacobian's columns
  kIterationLimit,  // the damped Gauss-Newton iterations ran out with neither test met
  kNoProgress,      // no damped step lowers the sum of squares while neither test is met
  // Inside the estimation only: neither test is met yet and the iterations go on. Never the
  // stop reason of a model, and never reported.
  kContinue,
};

// Whether an estimation that stopped for this reason is a converged fit: the step test or the
// gradient test was met.
constexpr bool KelConverged(KelEstimationStop stop) {
  return stop == KelEstimationStop::kStep || stop == KelEstimationStop::kGradient;
}

// How an estimation that stopped for this reason ended, as the least-squares report says it:
// "converged on the step", "converged on the gradient", "NOT converged: iteration limit", "NOT
// converged: no progress", or "not estimated".
const char* KelEstimationStopText(KelEstimationStop stop);

// One measurement singled out by the robust report.
struct KelOutlier {
  int experiment = 0;
  int response = 0;
  double size = 0.0;  // |weighted residual|
};

// The parts of one model's results, each filled by one computation.

// The estimation: the fit, its cost and how it ended.
struct KelNonLinearEstimate {
  KelVector parameters;
  KelVector working;  // the last restart or trial point of the estimation
  // Typical size of each parameter: |starting value|, or 1 for a zero start. The estimation
  // works on the parameters divided by it, so that its steps and tests are relative.
  KelVector typical;
  KelEstimationStop stopReason = KelEstimationStop::kNotEstimated;
  int evaluations = 0;
  int iterations = 0;
  int estimationCount = 0;
  KelVector predictions;
  KelVector weightedPredictions;
  KelVector residuals;
  KelVector weightedResiduals;
  KelMatrix jacobian;
  double initialSSE = 0.0;
  double finalSSE = kelUnsetValue;
};

// The statistics of the fit: conditioning, covariance and the figures of the variance analysis.
struct KelNonLinearStatistics {
  int degreesOfFreedom = 0;
  double t95 = 0.0;
  double t99 = 0.0;
  KelVector singularValues;
  KelMatrix rightVectors;
  int rankDeficiency = 0;
  KelMatrix scaledVectors;  // row j: V(k, j) / (sigma_j * mean weight)
  double conditionNumber = 0.0;
  double parametersNorm = 0.0;
  double residualsNorm = 0.0;
  double sumOfSquares = 0.0;
  double standardDeviation = 0.0;
  double meanSquareError = 0.0;
  double r2 = 0.0;
  KelMatrixSymmetric covariance;
  KelVector standardErrors;
  KelVector predictionStandardErrors;
};

// The diagnostics of the least-squares report, with the values behind its verdicts.
struct KelNonLinearDiagnostics {
  KelVector newtonStep;
  KelMatrixSymmetric correlation;
  KelVector inflationFactors;
  KelVector tolerances;
  bool correlationFlag = false;    // a correlation above 0.99 or a variance inflation above 1000
  bool multicollinearity = false;  // a tolerance below 0.01
  double fExperimental = 0.0;
  double fProbability = 1.0;
  int fDegreesOfFreedom = 0;
};

// The robust (least median of squares) fit and the outliers it finds.
struct KelNonLinearRobustFit {
  double initialLms = kelUnsetValue;
  double finalLms = kelUnsetValue;
  KelVector lmsParameters;
  KelVector lmsPredictions;
  KelVector lmsResiduals;
  KelVector lmsWeightedResiduals;
  std::vector<KelOutlier> highlyProbable;
  std::vector<KelOutlier> possible;
};

// One model's part of the experiment search over the candidates.
struct KelNonLinearCandidateSearch {
  KelVector candidatePredictions;
  KelMatrix candidateJacobian;
  KelMatrix predictionVariance;  // candidates x numY
  KelVector fDistance;
  KelVector fDistancePrincipal;
  int effectiveCriterion = 0;
  int suggestions[5] = {0, 0, 0, 0, 0};
};

// Which table compares the models: the F-test of the mean square errors against the one assigned
// variance, the F-test of the weighted SSE against several assigned variances, or the chi-square
// test of the weighted SSE with unit weights.
enum class KelComparisonTable { kOneResponse, kSeveralResponses, kChiSquare };

// One model's line of the comparison. A model left out (no starting parameters) keeps
// kelUnsetValue for its value and ratio and 0 for its probabilities.
struct KelModelComparisonRow {
  bool compared = false;
  double value = kelUnsetValue;  // mean square error or weighted SSE
  double ratio = kelUnsetValue;  // value / the smallest value
  double statistic = 0.0;        // the F statistic of the two F tables
  double probability = 0.0;      // P-value of the F test, or the chi-square tail
  double pseudoProbability = 0.0;
  // The P-value of the F tables again with one more degree of freedom for the variance.
  double probabilityOneMoreDegree = 0.0;
};

struct KelModelComparison {
  KelComparisonTable table = KelComparisonTable::kChiSquare;
  double best = 1.0;  // the smallest value, 1 when it is 0
  int bestDegreesOfFreedom = 0;
  std::vector<KelModelComparisonRow> rows;  // one per model, model k at k - 1
  // Models whose P-value is below 0.05, with the variance's degrees of freedom and with one more;
  // more warnings with one more degree call for a better estimate of the variance.
  int warnings = 0;
  int warningsOneMoreDegree = 0;
};

// The Tij measure of every couple of compared models over the candidate experiments.
struct KelDiscrimination {
  KelMatrix bestTij;                  // numModels x numModels, upper triangle
  std::vector<int> bestTijCandidate;  // (a - 1) * numModels + (b - 1)
  KelVector tijSum;                   // per candidate, summed over the couples
  std::vector<int> tijCount;          // per candidate (1-based), couples with Tij >= 1.2
  int numberOfCouples = 0;
  int largestSumCandidate = 0;  // the candidate with the largest Tij sum
  double largestSum = 0.0;
  int mostCounts = 0;
  int candidate = 0;  // the suggestion, 0 when no candidate discriminates
};

// The suggestion balancing discrimination against parameter estimation, with the three scores
// whose contributions its report gives.
struct KelBalancedSuggestion {
  int candidate = 0;
  KelVector score;
  KelVector estimation;      // criterion 11, relative
  KelVector discrimination;  // Tij sums relative to the largest, times 2
};

#endif
