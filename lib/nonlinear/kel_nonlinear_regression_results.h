// Results of the comparison of rival nonlinear models and of the discrimination among them:
// plain structs filled by computations that print nothing and read by the reports, which write
// nothing back.
#ifndef KELMATH_KEL_NONLINEAR_REGRESSION_RESULTS_H
#define KELMATH_KEL_NONLINEAR_REGRESSION_RESULTS_H

#include <vector>

#include "kel_constants.h"
#include "kel_matrix.h"
#include "kel_vector.h"

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
