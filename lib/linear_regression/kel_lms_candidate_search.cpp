// The candidate search of the least-median-of-squares fit. Candidates are
// exact fits through subsets of the experiments (the consecutive elemental passes, then
// Chebyshev fits of n + 1 experiments drawn by a fixed-seed generator, or all of them when they
// are few), each with the exact least-median intercept for its slopes. The best few are refined
// by a local search over the experiments ranked around the median and by the simplex minimizer.
#include "linear_regression/kel_lms_candidate_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "factorizations/kel_solve_square.h"
#include "linear_regression/kel_lms_search.h"
#include "minimization/kel_minimization_robust.h"

namespace {

// Row evaluations (experiments times candidates) spent on random subsets, and the bounds on
// their number: the draws grow as 1 / m between the bounds, so the cost of the draws is at most
// minimumDraws m (n + 1) products for large m.
constexpr double kDrawWork = 2.0e5;
constexpr long long minimumDraws = 500;
constexpr long long maximumDraws = 20000;
// Candidates refined by the local search and the minimizer.
constexpr size_t kPoolSize = 5;
// Iterations of the local search from one candidate, and the subsets it tries per iteration at
// most (the window around the median rank shrinks to respect it).
constexpr int kLocalIterationLimit = 30;
constexpr double kLocalWork = 4.0e6;
// The window holds n + 1 + extra experiments: up to 8 extra for small problems (where a wide
// window finds minima that a narrow one misses, at little cost), 4 for the others.
constexpr int kSmallProblem = 100;
constexpr int kSmallExtra = 8;
constexpr int kLargeExtra = 4;
// Exchange refinement: its rounds from one candidate, and the row evaluations one round of swaps
// may spend (each swap is a minimax fit of the nearest half, about its size times a few rows):
// the experiments tried just outside the half shrink as the half grows, to none for large m.
constexpr int kExchangeRoundLimit = 60;
constexpr double kSwapWork = 8.0e4;
// The exchange refinement starts from the best point and from as many of the refined candidates
// as 1000 / m allows (the best point and all five up to m = 166, only the best point above
// m = 500): from the others it rarely finds more on large problems, at the cost of many fits.
constexpr double kExchangeStartWork = 1.0e3;
constexpr std::uint64_t kDrawSeed = 0x4B656C4D61746831ull;
// Exchange refinements from random subsets: kRandomStartWork / m^2 of them (none above m = 316),
// at most maximumRandomStarts.
constexpr double kRandomStartWork = 1.0e5;
constexpr long long maximumRandomStarts = 200;
constexpr std::uint64_t kRandomStartSeed = 0x4B656C4D61746832ull;

// Number of k-subsets of m, or a value above limit when it exceeds it.
double subsetCount(int m, int k, double limit) {
  double count = 1.0;
  for (int i = 1; i <= k; ++i) {
    count = count * (m - k + i) / i;
    if (count > limit) return limit + 1.0;
  }
  return std::round(count);
}

}  // namespace

KelLmsCandidateSearch::KelLmsCandidateSearch(KelLmsEstimator& estimator)
    : estimator(estimator),
      m(estimator.m),
      n(estimator.n),
      intercept(estimator.in.intercept),
      f(estimator.in.F.RowPointers()),
      y(estimator.in.y.Data() - 1) {
  draws = std::clamp(static_cast<long long>(kDrawWork / m), minimumDraws, maximumDraws);
}

double KelLmsCandidateSearch::Threshold() const {
  return pool.size() < kPoolSize ? std::numeric_limits<double>::infinity() : pool.back().value;
}

// Replaces the intercept by the least-median location of the residuals without it, the exact
// minimum over the intercept for these slopes. False, without touching p, when the histogram
// test shows no intercept can bring the criterion below bound.
bool KelLmsCandidateSearch::AdjustIntercept(KelVector& p, double bound) {
  if (!intercept) return true;
  partial.resize(static_cast<size_t>(m));
  const double* slopes = p.Data() - 1;  // 1-based like the rows of F
  for (int i = 1; i <= m; ++i) {
    const double* row = f[i];
    double estimate = 0.0;
    for (int j = 2; j <= n; ++j) estimate += row[j] * slopes[j];
    const double r = y[i] - estimate;
    // Overflowing slopes: no location to find (and no order to sort by); the criterion decides.
    if (!std::isfinite(r)) return true;
    partial[static_cast<size_t>(i - 1)] = r;
  }
  if (!KelLmsLocationCanBeBelow(partial, bound, counts)) return false;
  double location = 0.0;
  if (!KelLmsLocationBelow(partial, bound, &location)) return false;
  p(1) = location;
  return true;
}

bool KelLmsCandidateSearch::Evaluate(KelVector& p, double bound, double* value) {
  if (!AdjustIntercept(p, bound)) return false;
  return estimator.LmsCriterionBelow(p, bound, value);
}

// Keeps the kPoolSize best distinct candidates, ascending.
void KelLmsCandidateSearch::Offer(const KelVector& candidate) {
  work = candidate;
  double value = 0.0;
  if (!Evaluate(work, Threshold(), &value)) return;
  for (const Candidate& c : pool) {
    if (c.value != value) continue;
    double difference = 0.0;
    for (int j = 1; j <= n; ++j) difference = std::max(difference, std::fabs(c.p(j) - work(j)));
    if (difference == 0.0) return;
  }
  Candidate entry{value, work};
  auto place = std::upper_bound(pool.begin(), pool.end(), value,
                                [](double v, const Candidate& c) { return v < c.value; });
  pool.insert(place, std::move(entry));
  if (pool.size() > kPoolSize) pool.pop_back();
}

// Pass o solves through experiments o .. o + n - 2 and each later one (docs/developers.md, 5),
// as long as their fits stay within the candidate budget; a first pass larger than the budget
// offers only its first fits, and only those are solved (the fits of a pass share the
// factorization of its first n - 1 experiments, each later one adds its own row).
void KelLmsCandidateSearch::CollectElementalPasses() {
  const int passes = m - n - 2;
  if (passes < 1) return;
  KelMatrix c;
  KelVector r;
  KelMatrix solutions;
  KelVector candidate(n);
  long long tried = 0;
  for (int pass = 1; pass <= passes; ++pass) {
    const long long fits = m - pass - n + 2;
    if (pass > 1 && tried + fits > draws) break;
    const int offered = static_cast<int>(std::min(fits, draws));
    const int rows = n - 1 + offered;
    c.Resize(rows, n, false);
    r.Resize(rows, false);
    for (int i = 1; i <= rows; ++i) {
      const double* source = f[pass - 1 + i];
      for (int j = 1; j <= n; ++j) c(i, j) = source[j];
      r(i) = y[pass - 1 + i];
    }
    SolveSquare(c, r, &solutions);
    tried += offered;
    for (int k = 1; k <= offered; ++k) {
      const double* row = solutions.RowPointers()[k];
      for (int j = 1; j <= n; ++j) candidate(j) = row[j];
      Offer(candidate);
    }
  }
  estimator.robust.robustElementalCandidates += tried;
}

// Chebyshev fits of n + 1 experiments: all subsets when there are no more than the draws,
// otherwise draws random ones from the fixed seed.
void KelLmsCandidateSearch::CollectSubsetFits() {
  const int k = n + 1;
  std::vector<int> rows(static_cast<size_t>(k));
  std::vector<double> fit(static_cast<size_t>(n));
  KelVector candidate(n);
  const bool enumerate = subsetCount(m, k, static_cast<double>(draws)) <= draws;
  KelLmsRandom random(kDrawSeed);
  if (enumerate)
    for (int i = 0; i < k; ++i) rows[static_cast<size_t>(i)] = i + 1;
  long long tried = 0;
  for (bool more = true; more; ++tried) {
    if (!enumerate) random.DrawSubset(m, k, rows.data());
    if (KelChebyshevFit(f, y, rows.data(), n, fit.data(), scratch)) {
      for (int j = 1; j <= n; ++j) candidate(j) = fit[static_cast<size_t>(j - 1)];
      Offer(candidate);
    }
    more = enumerate ? KelNextSubset(m, k, rows.data()) : tried + 1 < draws;
  }
  estimator.robust.robustSubsetCandidates += tried;
}

// At the minimum the n + 1 experiments of a Chebyshev fit share the median absolute residual:
// near it they rank around the median. Each iteration tries the Chebyshev fits of the subsets of
// the experiments ranked there and moves to the best one that lowers the criterion.
void KelLmsCandidateSearch::LocalSearch(KelVector& p, double* value) {
  const int median = m % 2 == 1 ? (m + 1) / 2 : m / 2;
  int extra = m <= kSmallProblem ? kSmallExtra : kLargeExtra;
  while (extra > 1 && subsetCount(n + 1 + extra, extra, 1e12) * m > kLocalWork) --extra;
  const int low = std::max(1, median - n - extra / 2);
  const int high = std::min(m, low + n + extra);
  const int width = high - low + 1;
  const int k = n + 1;
  if (width < k) return;
  std::vector<std::pair<double, int>> ranked(static_cast<size_t>(m));
  std::vector<int> positions(static_cast<size_t>(k));
  std::vector<int> rows(static_cast<size_t>(k));
  std::vector<double> fit(static_cast<size_t>(n));
  KelVector candidate(n);
  KelVector best(n);
  for (int iteration = 1; iteration <= kLocalIterationLimit; ++iteration) {
    for (int i = 1; i <= m; ++i) {
      double estimate = 0.0;
      for (int j = 1; j <= n; ++j) estimate += f[i][j] * p(j);
      const double r = std::fabs(y[i] - estimate);
      // NaN would break the ordering: an overflowing residual is simply far.
      ranked[static_cast<size_t>(i - 1)] = {r == r ? r : std::numeric_limits<double>::infinity(),
                                            i};
    }
    // Ties broken by index: the window is the same whatever the standard library.
    std::nth_element(ranked.begin(), ranked.begin() + (low - 1), ranked.end());
    std::partial_sort(ranked.begin() + low, ranked.begin() + high, ranked.end());
    for (int i = 0; i < k; ++i) positions[static_cast<size_t>(i)] = i;
    double bestValue = *value;
    do {
      for (int i = 0; i < k; ++i)
        rows[static_cast<size_t>(i)] =
            ranked[static_cast<size_t>(low - 1 + positions[static_cast<size_t>(i)])].second;
      if (!KelChebyshevFit(f, y, rows.data(), n, fit.data(), scratch)) continue;
      for (int j = 1; j <= n; ++j) candidate(j) = fit[static_cast<size_t>(j - 1)];
      double v = 0.0;
      if (estimator.LmsCriterionBelow(candidate, bestValue, &v)) {
        bestValue = v;
        best = candidate;
      }
    } while (NextPositions(width, positions.data()));
    if (!(bestValue < *value)) break;
    p = best;
    *value = bestValue;
    TryIntercept(p, value);
  }
}

// ranked: (|residual| at p, experiment) for all experiments, ascending (ties by experiment, so
// the order is the same whatever the standard library).
void KelLmsCandidateSearch::RankAt(const KelVector& p) {
  ranked.resize(static_cast<size_t>(m));
  for (int i = 1; i <= m; ++i) {
    double estimate = 0.0;
    for (int j = 1; j <= n; ++j) estimate += f[i][j] * p(j);
    const double r = std::fabs(y[i] - estimate);
    ranked[static_cast<size_t>(i - 1)] = {r == r ? r : std::numeric_limits<double>::infinity(), i};
  }
  std::sort(ranked.begin(), ranked.end());
}

bool KelLmsCandidateSearch::MinimaxOf(const std::vector<int>& rows, std::vector<int>& reference,
                                      KelVector& b, double* level) {
  b.Resize(n, false);
  return KelMinimaxFit(f, y, rows.data(), static_cast<int>(rows.size()), n, reference.data(),
                       b.Data(), level, scratch);
}

// The criterion uses the squares up to rank half (the median, or the upper of the two middle
// ones): at the minimum the half experiments nearest the fit have it as their minimax fit. A
// round replaces p by the minimax fit of its nearest half when that lowers the criterion (the
// largest residual of the half can only fall); when it does not, by the first better minimax
// fit of the half with one experiment of its reference exchanged for one just outside. An
// exchange whose new reference alone already has a level at or above the half's cannot lower
// the half's minimax level and is skipped after that one small fit. The rounds stop when
// neither lowers the criterion.
void KelLmsCandidateSearch::Exchange(KelVector& p, double* value) {
  const int k = n + 1;
  const int half = m / 2 + 1;
  if (half < k || half >= m) return;
  const int outside = std::min(m - half, static_cast<int>(kSwapWork / (k * half)));
  std::vector<int> rows(static_cast<size_t>(half));
  std::vector<int> reference(static_cast<size_t>(k));
  std::vector<int> trial(static_cast<size_t>(k));
  std::vector<double> levels(static_cast<size_t>(k));
  KelVector b(n);
  for (int round = 1; round <= kExchangeRoundLimit; ++round) {
    if (!FirstVisit(p, *value)) break;
    RankAt(p);
    for (int i = 0; i < half; ++i)
      rows[static_cast<size_t>(i)] = ranked[static_cast<size_t>(i)].second;
    // The members nearest the boundary start the reference.
    for (int t = 0; t < k; ++t)
      reference[static_cast<size_t>(t)] = rows[static_cast<size_t>(half - k + t)];
    double v = 0.0;
    double level = 0.0;
    if (!MinimaxOf(rows, reference, b, &level)) break;
    if (estimator.LmsCriterionBelow(b, *value, &v)) {
      p = b;
      *value = v;
      TryIntercept(p, value);
      continue;
    }
    bool improved = false;
    for (int o = 0; o < outside && !improved; ++o) {
      const int entering = ranked[static_cast<size_t>(half + o)].second;
      SwapLevels(reference, entering, levels);
      for (int t = 0; t < k && !improved; ++t) {
        const double swapLevel = levels[static_cast<size_t>(t)];
        if (!(swapLevel >= 0.0 && swapLevel < level)) continue;
        trial = reference;
        trial[static_cast<size_t>(t)] = entering;
        const int leaving = reference[static_cast<size_t>(t)];
        // The minimax fit takes its reference from the rows; the test only guards the write.
        std::vector<int>::iterator place = std::find(rows.begin(), rows.end(), leaving);
        if (place == rows.end()) continue;
        *place = entering;
        double trialLevel = 0.0;
        if (MinimaxOf(rows, trial, b, &trialLevel) && estimator.LmsCriterionBelow(b, *value, &v)) {
          p = b;
          *value = v;
          TryIntercept(p, value);
          improved = true;
        }
        *place = leaving;
      }
    }
    if (!improved) break;
  }
}

// levels[t]: the Chebyshev level of reference with member t replaced by entering (negative when
// that reference is degenerate). All at once from the null space of the n + 2 experiments; one
// fit per member only when those have rank below n.
void KelLmsCandidateSearch::SwapLevels(const std::vector<int>& reference, int entering,
                                       std::vector<double>& levels) {
  if (KelExchangeLevels(f, y, reference.data(), n, entering, levels.data(), scratch)) return;
  std::vector<int> trial(reference);
  std::vector<double> fit(static_cast<size_t>(n));
  for (int t = 0; t <= n; ++t) {
    levels[static_cast<size_t>(t)] = -1.0;
    trial = reference;
    trial[static_cast<size_t>(t)] = entering;
    if (!KelChebyshevFit(f, y, trial.data(), n, fit.data(), scratch)) continue;
    double estimate = 0.0;
    for (int j = 1; j <= n; ++j) estimate += f[entering][j] * fit[static_cast<size_t>(j - 1)];
    levels[static_cast<size_t>(t)] = std::fabs(y[entering] - estimate);
  }
}

// The rounds from a point depend only on the point and its criterion: when another start has
// passed through the same ones (bit for bit), everything this start would still find has already
// been found. Refined candidates often converge to one point.
bool KelLmsCandidateSearch::FirstVisit(const KelVector& p, double value) {
  std::vector<std::uint64_t> key(static_cast<size_t>(n + 1));
  std::memcpy(key.data(), p.Data(), static_cast<size_t>(n) * sizeof(double));
  std::memcpy(&key[static_cast<size_t>(n)], &value, sizeof(double));
  return visited.insert(std::move(key)).second;
}

bool KelLmsCandidateSearch::NextPositions(int width, int* positions) const {
  // KelNextSubset works on 1-based indices.
  for (int i = 0; i <= n; ++i) ++positions[i];
  const bool more = KelNextSubset(width, n + 1, positions);
  for (int i = 0; i <= n; ++i) --positions[i];
  return more;
}

// The intercept moved to its least-median location when that lowers the criterion.
void KelLmsCandidateSearch::TryIntercept(KelVector& p, double* value) {
  if (!intercept) return;
  work = p;
  double v = 0.0;
  if (Evaluate(work, *value, &v)) {
    p = work;
    *value = v;
  }
}

// The best few candidates, each improved by the local search; the best result then by the
// simplex minimizer (whose point is x = E p). The best of all becomes the estimator's robust
// parameters.
bool KelLmsCandidateSearch::RefineBest(KelMinimizationRobust* minimizer) {
  Offer(estimator.robust.robustB);
  KelVector p;
  refined.clear();
  for (Candidate& c : pool) {
    p = c.p;
    double value = c.value;
    LocalSearch(p, &value);
    refined.push_back({value, p});
    if (value < estimator.robust.leastMedianOfSquares) {
      estimator.robust.leastMedianOfSquares = value;
      estimator.robust.robustB = p;
    }
  }
  KelVector x(n);
  Product(estimator.work.elementalRows, estimator.robust.robustB, x);
  minimizer->Initialize(x);
  (*minimizer)(0);
  ++estimator.robust.robustMinimizerRuns;
  if (!(minimizer->FSolution() < estimator.robust.leastMedianOfSquares)) return false;
  Solve(&estimator.work.elementalSolver, minimizer->XMin(), &p);
  estimator.robust.leastMedianOfSquares = estimator.LmsCriterion(p);
  estimator.robust.robustB = p;
  return true;
}

// The exchange refinement runs last, from the best point and from the refined candidates: the
// simplex often reaches a lower point than the exchanges from the same start, and the exchanges
// from another candidate sometimes a lower one than both.
void KelLmsCandidateSearch::PolishBest() {
  KelVector p = estimator.robust.robustB;
  double value = estimator.robust.leastMedianOfSquares;
  TryIntercept(p, &value);
  LocalSearch(p, &value);
  refined.insert(refined.begin(), {value, p});
  const size_t starts =
      std::min(refined.size(), static_cast<size_t>(std::max(1.0, kExchangeStartWork / m)));
  for (size_t s = 0; s < starts; ++s) {
    p = refined[s].p;
    value = refined[s].value;
    Exchange(p, &value);
    if (value < estimator.robust.leastMedianOfSquares) {
      estimator.robust.leastMedianOfSquares = value;
      estimator.robust.robustB = p;
    }
  }
  ExchangeFromRandomSubsets();
}

// Small problems: the exchange refinement also starts from the Chebyshev fits of random
// (n + 1)-subsets, a generator of its own drawing them (so the draws of the candidate stage do
// not move with its budget). Their number falls as 1 / m^2, the cost of one start growing about
// as m^2 (a minimax fit of half the experiments per exchange, up to m / 2 exchanges per round).
void KelLmsCandidateSearch::ExchangeFromRandomSubsets() {
  const long long starts = std::min<long long>(
      maximumRandomStarts, static_cast<long long>(kRandomStartWork / (static_cast<double>(m) * m)));
  const int k = n + 1;
  std::vector<int> rows(static_cast<size_t>(k));
  std::vector<double> fit(static_cast<size_t>(n));
  KelVector p(n);
  KelLmsRandom random(kRandomStartSeed);
  for (long long start = 0; start < starts; ++start) {
    random.DrawSubset(m, k, rows.data());
    if (!KelChebyshevFit(f, y, rows.data(), n, fit.data(), scratch)) continue;
    for (int j = 1; j <= n; ++j) p(j) = fit[static_cast<size_t>(j - 1)];
    double value = estimator.LmsCriterion(p);
    TryIntercept(p, &value);
    Exchange(p, &value);
    if (value < estimator.robust.leastMedianOfSquares) {
      estimator.robust.leastMedianOfSquares = value;
      estimator.robust.robustB = p;
    }
  }
}
