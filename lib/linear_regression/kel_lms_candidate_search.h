// The candidate search of the least-median-of-squares fit (internal: the estimator of a fit,
// kel_lms_estimator.h, creates one per fit and the search works on it).
//
// Work, for m experiments and n parameters: the consecutive elemental passes and the Chebyshev
// fits of (n + 1)-subsets are limited to D candidates each, D = 2e5 / m bounded to
// 500 .. 20000 (all (n + 1)-subsets when there are no more than D of them). A candidate costs
// one pass over the experiments (m n products and a histogram test) and, when it may beat the
// fifth best so far, a sort of m values: O(D m n) in all, so the candidate stage grows linearly
// with m (as m n) once m exceeds 400. The 5 best candidates are refined: the local search
// tries at most about 4e6 / m Chebyshev fits of experiments ranked around the median per
// iteration (each O(m n)), and the simplex minimizer runs once from the best of them, plus,
// when that run lowers the criterion, the restarts from the best point. The local search window
// holds n + 1 + 8 experiments up to m = 100 and n + 1 + 4 above (fewer when the subsets exceed the
// bound). Last, the exchange refinement starts from the best point and, up to m = 166, from all
// five refined candidates (fewer up to m = 500, none above): a round is a sort of m residuals and
// minimax fits of the nearest half (each O(m n + n^3) per exchange step: the member to leave comes
// from the levels of all n + 1 exchanges at once, one elimination of the n + 2 experiments), and
// tries at most 8e4 / ((n + 1) m / 2) experiments outside the half (none above m = 26666 for
// five parameters), each with one such elimination for its n + 1 exchanges; at most 60 rounds
// per start, and a start stops at a point where an earlier round began. Up to m = 316 it also
// starts from 1e5 / m^2 (at most 200) Chebyshev fits of random (n + 1)-subsets.
#ifndef KELMATH_KEL_LMS_CANDIDATE_SEARCH_H
#define KELMATH_KEL_LMS_CANDIDATE_SEARCH_H

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "containers/kel_vector.h"
#include "linear_regression/kel_lms_estimator.h"

class KelMinimizationRobust;

class KelLmsCandidateSearch {
 public:
  explicit KelLmsCandidateSearch(KelLmsEstimator& estimator);
  KelLmsCandidateSearch(const KelLmsCandidateSearch&) = delete;
  KelLmsCandidateSearch& operator=(const KelLmsCandidateSearch&) = delete;

  // Candidates from the consecutive elemental passes, within the budget.
  void CollectElementalPasses();
  // Candidates from Chebyshev fits of n + 1 experiments.
  void CollectSubsetFits();
  // Refines the best candidates (and the estimator's current robust parameters); the best
  // result, if lower, becomes the estimator's robust parameters and least median of squares.
  // True when the minimizer's run lowered the criterion (a restart from the same point would
  // only repeat that run).
  bool RefineBest(KelMinimizationRobust* minimizer);
  // Intercept and local search once more from the estimator's robust parameters, then the
  // exchange refinement from them and from the refined candidates.
  void PolishBest();

 private:
  struct Candidate {
    double value;
    KelVector p;
  };
  double Threshold() const;
  bool AdjustIntercept(KelVector& p, double bound);
  bool Evaluate(KelVector& p, double bound, double* value);
  void Offer(const KelVector& candidate);
  void LocalSearch(KelVector& p, double* value);
  bool NextPositions(int width, int* positions) const;
  void Exchange(KelVector& p, double* value);
  bool FirstVisit(const KelVector& p, double value);
  void SwapLevels(const std::vector<int>& reference, int entering, std::vector<double>& levels);
  void ExchangeFromRandomSubsets();
  void RankAt(const KelVector& p);
  bool MinimaxOf(const std::vector<int>& rows, std::vector<int>& reference, KelVector& b,
                 double* level);
  void TryIntercept(KelVector& p, double* value);

  KelLmsEstimator& estimator;
  const int m;
  const int n;
  const bool intercept;
  const double* const* f;  // rows of F, 1-based
  const double* y;         // responses, 1-based
  long long draws = 0;
  std::vector<Candidate> pool;     // ascending criterion
  std::vector<Candidate> refined;  // the pool after the local search
  std::vector<double> partial;     // residuals without the intercept
  std::vector<double> scratch;
  std::vector<int> counts;
  std::vector<std::pair<double, int>> ranked;    // |residual| and experiment, by RankAt
  std::set<std::vector<std::uint64_t>> visited;  // points where an exchange round began (bits)
  KelVector work;
};

#endif
