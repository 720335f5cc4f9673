// The working state of one least-median-of-squares fit (internal: KelComputeRobustFit creates
// one per fit): the inputs, the workspace, the criterion's scratch and the fit being built,
// which the candidate search (kel_lms_candidate_search.h) refines.
#ifndef KELMATH_KEL_LMS_ESTIMATOR_H
#define KELMATH_KEL_LMS_ESTIMATOR_H

#include <vector>

#include "containers/kel_vector.h"
#include "linear_regression/kel_linear_regression_results.h"
#include "linear_regression/kel_linear_robust_fit.h"

class KelMinimizationRobust;

// Builds one fit: each step writes its own fields of the fit it holds, in the order of Estimate.
class KelLmsEstimator {
 public:
  KelLmsEstimator(const KelRobustFitInputs& inputs, KelLinearRobustFit&& numbered,
                  KelLmsWorkspace& workspace);
  KelLmsEstimator(const KelLmsEstimator&) = delete;
  KelLmsEstimator& operator=(const KelLmsEstimator&) = delete;
  KelLinearRobustFit Estimate();

 private:
  // The search reads the data and the elemental rows, evaluates the criterion and lowers the
  // fit's parameters and least median of squares.
  friend class KelLmsCandidateSearch;

  void StandardizeData();
  void ComputeRobustComponents();
  void ChooseElementalRows();
  void PrepareElementalSolver(const KelVector& start, KelVector* x0);
  void SearchParameters();
  void RestartFromTheBest(KelMinimizationRobust* minimizer);
  void ComputeRobustStatistics();
  void ComputeRobustScale();
  void NormalizeRobustResiduals();
  void ClassifyRobustResiduals();
  // The verdicts of the standardized data and of the robust principal components.
  void FlagRobustData();
  // Median of the squared residuals y - F p (the exact median rule), in reused scratch space.
  double LmsCriterion(const KelVector& p);
  // True when the criterion at p is below bound, judged without the median when it cannot be.
  bool LmsCriterionBelow(const KelVector& p, double bound, double* value);
  // The minimizer's objective: the criterion at E^-1 x.
  double LmsObjective(KelVector& x);

  const KelRobustFitInputs& in;
  const int m;  // experiments
  const int n;  // parameters
  KelLmsWorkspace& work;
  std::vector<double> squaredResiduals;  // scratch of the criterion
  std::vector<double> medianBuffer;      // scratch of the criterion's median
  double criterionGuess = 0.0;           // the last criterion: where the next median is sought
  KelLinearRobustFit robust;
};

#endif
