// The results of KelLinearRegression as plain structs: the least-squares fit, its diagnostics
// with the values behind every verdict of the least-squares report, the candidate solutions of
// the singular value analysis, the least-median-of-squares fit and the stepwise tables.
//
// They are filled by computations that never print and read by reports that never write: a
// report is a function of these const results. KelLinearRegression holds one of each as a member,
// written by its own computation only, and hands them out as const structs (LeastSquaresFit(),
// Diagnostics(), RobustFit(), SvdAnalysis()); the fields without an accessor of their own are
// read there.
#ifndef KELMATH_KEL_LINEAR_REGRESSION_RESULTS_H
#define KELMATH_KEL_LINEAR_REGRESSION_RESULTS_H

#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_matrix_symmetric.h"
#include "containers/kel_vector.h"
#include "containers/kel_vector_int.h"
#include "foundation/kel_base.h"
#include "linear_regression/kel_linear_thresholds.h"

// The least-squares fit (balanced and plain SVD, statistics, covariance, leave-one-out test).
struct KelLinearLeastSquaresFit {
  KelMatrix V;  // right singular vectors; column i belongs to d(i)
  KelMatrix U;  // left singular vectors
  // The kept left singular vectors of F with unit-norm columns are U times this n x scaledRank
  // matrix.
  KelMatrix scaledLeftInU;
  KelMatrix W;  // W(i, j) = V(j, i) / d(i) for the singular values that are not negligible
  KelMatrixSymmetric covariance;
  KelVector yEstimated;
  KelVector b;
  KelVector residuals;
  KelVector d;               // singular values of F, decreasing
  KelVector leftProjection;  // U^T y
  KelVector leverages;       // diagonal of the hat matrix over the kept singular values
  KelVector seB;
  KelVector seYEstimated;

  int highlyProbableOutlier = 0;
  int probableOutlier = 0;
  int smallSingularValues = 0;
  int negligibleSingularValues = 0;
  int leaveOneOutBestIndex = 0;
  int leaveOneOutRefits = 0;  // explicit refits the leave-one-out test needed to confirm its choice
  int scaledRank = 0;         // singular values of the column-scaled F kept by the transposed solve

  double meanSquareError = 0.0;
  double sumOfSquares = 0.0;
  double totalSumOfSquares = 0.0;
  double correctedTotalSumOfSquares = 0.0;
  double r2 = 0.0;
  double adjustedR2 = 0.0;
  double t95 = 0.0;
  double t99 = 0.0;
  double maximumSingularValue = 0.0;
  double conditionNumber = 0.0;
  double systemConditioning = 0.0;
  double parametersNorm = 0.0;
  double residualsNorm = 0.0;
  double standardDeviation = 0.0;
  double varianceUsed = 0.0;
  double meanOfY = 0.0;
  double leaveOneOutBest = 0.0;
  double scaledConditioning = 0.0;  // condition number of F with unit-norm columns
  // Least distance of a column of F, scaled to unit norm, from the span of the other columns
  // (over the nonzero singular values of the scaled F).
  double leastColumnIndependence = 0.0;
  bool solutionsDisagree = false;
};

// How well F determines the parameters: the last that applies of ill conditioned (condition
// number), badly scaled (balancing helps a lot) and solutions that disagree (both must then be
// normalized).
enum class KelConditioning { kWell, kIllConditioned, kMustBeNormalized };
enum class KelNormality { kConsistent, kProbablyViolated, kViolated };

// The diagnostics of the least-squares report, with the values behind every verdict it prints.
struct KelLinearDiagnostics {
  KelMatrixSymmetric parameterCorrelation;
  KelMatrix inverseCorrelation;
  KelVector tolerances;
  KelVector columnFactors;
  KelVector varianceInflationFactors;
  KelVector tValues;
  KelVector pValues;
  KelVector partialCorrelations;
  KelVector normalizedResiduals;
  double fExperimental = 0.0;
  double fTestProbability = 0.0;

  // The verdicts of the parameter rows, 1-based like the vectors above (element 0 unused and
  // false): P-value above kNotSignificant, |t| below kPartialCorrelationT, variance inflation
  // factor above kVarianceInflation, Tj tolerance below kTolerance and column correlation factor
  // below kColumnFactor.
  std::vector<bool> notSignificant;
  std::vector<bool> lowPartialCorrelation;
  std::vector<bool> varianceInflated;
  std::vector<bool> lowTolerance;
  std::vector<bool> lowColumnFactor;
  // The F-test probability below kModelFTest: the model leaves more than the measurement error
  // behind. False without an assigned response variance, when there is no test.
  bool fTestLackOfFit = false;

  bool illConditioned = false;  // condition number above kIllConditioned
  bool badlyScaled = false;     // kBadlyScaled * condition number > system conditioning
  KelConditioning conditioning = KelConditioning::kWell;
  double largestCorrelation = 0.0;  // largest |R(j, k)|, j != k
  bool correlatedParameters = false;
  double largestVarianceInflation = 0.0;
  bool varianceInflationFound = false;  // any varianceInflated
  // The tolerances are judged only with more than one parameter.
  double smallestTolerance = 1.0;
  bool toleranceFound = false;  // any lowTolerance, with more than one parameter
  double smallestColumnFactor = 1.0;
  bool columnsCorrelationFound = false;  // any lowColumnFactor
  // Any of the four above.
  bool multicollinearity = false;
  double normalityIndex = 0.0;
  KelNormality normality = KelNormality::kViolated;
};

// The homoscedasticity verdict of the robust report: outliers violate it (highly probable ones)
// or probably violate it; without outliers it is possibly violated when the median |normalized
// residual| is below a fifth of the largest.
enum class KelHomoscedasticity { kVerified, kPossiblyViolated, kProbablyViolated, kViolated };

// The least-median-of-squares fit, the standardized data and the classified residuals.
struct KelLinearRobustFit {
  KelMatrix standardizedF;
  KelVector robustYEstimated;
  KelVector robustB;
  KelVector robustResiduals;
  KelVector normalizedRobustResiduals;
  KelVector columnMedians;
  KelVector columnDispersions;
  KelVector standardizedY;
  KelVectorInt allOutliers;
  KelVectorInt highlyProbableOutliers;
  KelVectorInt possibleOutliers;
  // The work of the computation: evaluations of the least-median-of-squares criterion
  // (minimizer, candidates and local search) and searches run by the minimizer (the first from
  // the least-squares start, one from the best refined candidate, and the restarts from the best
  // point); the exact fits through subsets of the experiments tried by the consecutive elemental
  // passes, and the Chebyshev fits of n + 1 experiments.
  long long robustEvaluations = 0;
  int robustMinimizerRuns = 0;
  long long robustElementalCandidates = 0;
  long long robustSubsetCandidates = 0;
  // Median and dispersion (median absolute deviation) of y, by which standardizedY is y
  // standardized; columnMedians and columnDispersions standardize the columns of F alike into
  // standardizedF (a column of no dispersion other than the first only centred, a constant
  // first column, the intercept, left zero).
  double medianOfY = 0.0;
  double dispersionOfY = 0.0;
  double residualMedian = 0.0;
  double residualMad = 0.0;
  double scale = 0.0;
  double leastMedianOfSquares = 0.0;
  double robustComponentMaximum = 0.0;
  double robustComponentMinimum = 0.0;

  // The verdicts of the report's experiment rows, 1-based like the vectors above (element 0
  // unused and false): |standardized y| above kRobustStandardized, a row of the standardized F
  // with an |entry| above it, and |normalized robust residual| above kRobustOutlier (the
  // experiments of allOutliers).
  std::vector<bool> extremeY;
  std::vector<bool> extremeFRow;
  std::vector<bool> outlyingResidual;
  // The largest singular value of the standardized F beyond kRobustComponentsRatio times the
  // smallest: the robust principal components identify serious multicollinearities (false for a
  // single-column model, whose extremes are both 0).
  bool componentsMulticollinear = false;
};

// One candidate of the singular value analysis: least squares with the i largest singular
// values, and what its small report prints.
struct KelSvdCandidate {
  KelVector parameters;
  KelVector standardErrors;
  KelMatrixSymmetric covariance;
  KelMatrixSymmetric correlation;
  bool correlated = false;  // two parameters correlated beyond 0.99
  KelVector estimated;
  KelVector residuals;
  double parametersNorm = 0.0;
  double residualsNorm = 0.0;
  double sumOfSquares = 0.0;
  double standardDeviation = 0.0;
  double meanSquareError = 0.0;
  double r2 = 0.0;         // against the uncorrected total sum of squares
  bool discarded = false;  // keeps a small singular value
};

// What the singular value analysis finds besides what it prints: the norms of the candidate
// solutions with the 1..n largest singular values and of their residuals, and whether the
// principal components show serious multicollinearity.
struct KelSvdAnalysis {
  KelVector candidateParameterNorms;
  KelVector candidateResidualNorms;
  bool multicollinear = false;
};

// The best model of every size found by the stepwise search.
struct KelLinearStepwiseTables {
  KelMatrix stepwiseParameters;
  KelMatrix stepwiseTRatios;
  KelVector stepwiseMeanSquareErrors;
  KelVector columnMeans;  // of the candidate columns, with an intercept
  double meanOfY = 0.0;   // with an intercept
};

#endif
