// Flat kernels of the least-median-of-squares search: a reproducible generator of experiment
// subsets, the Chebyshev (minimax) fit of n + 1 experiments, and the exact least-median
// location of a sample with its quick rejection test. They know nothing of the regression
// object and print nothing.
//
// The criterion is the library's median of squared residuals: for m values, the h-th smallest
// square with h = (m + 1) / 2 when m is odd, the mean of the (m / 2)-th and (m / 2 + 1)-th
// smallest when m is even.
#ifndef KELMATH_KEL_LMS_SEARCH_H
#define KELMATH_KEL_LMS_SEARCH_H

#include <cstdint>
#include <vector>

// SplitMix64: the same sequence on every machine, compiler and standard library (the standard
// distributions are not specified bit for bit, so none is used).
class KelLmsRandom {
 public:
  explicit KelLmsRandom(std::uint64_t seed) : state(seed) {}
  std::uint64_t Next();
  // Uniform integer in 0 .. bound - 1 (bound >= 1), without modulo bias.
  int Below(int bound);
  // k distinct experiment indices out of 1 .. m (k <= m), in the order drawn.
  void DrawSubset(int m, int k, int* indices);

 private:
  std::uint64_t state;
};

// Advances indices (k of them, ascending, out of 1 .. m) to the next subset in lexicographic
// order; false after the last one.
bool KelNextSubset(int m, int k, int* indices);

// Chebyshev fit of the n + 1 experiments rows[0 .. n] (1-based indices into f and y, f rows
// 1-based as the containers store them): b (0-based, n values) minimizes the largest
// |y(i) - f(i) b| over those experiments. False when they are degenerate (the fit is not
// unique). scratch is reused between calls.
bool KelChebyshevFit(const double* const* f, const double* y, const int* rows, int n, double* b,
                     std::vector<double>& scratch);

// Chebyshev levels of the n + 1 references made by putting experiment entering in place of each
// member of reference (levels[t] for member t), from the two-dimensional left null space of the
// n + 2 experiments together, without a fit per reference: a reference with left null vector
// lambda has the level |lambda' y| / |lambda|_1. levels[t] is negative when that reference is
// degenerate. False when the n + 2 experiments have rank below n.
bool KelExchangeLevels(const double* const* f, const double* y, const int* reference, int n,
                       int entering, double* levels, std::vector<double>& scratch);

// Minimax fit of the experiments rows[0 .. count - 1] (count >= n + 1): b minimizes the largest
// |y(i) - f(i) b| over them. The exchange method: reference (n + 1 of those rows) starts as
// given and ends as the n + 1 experiments whose Chebyshev fit is the minimax fit; each step
// brings in the experiment of largest residual in place of the member whose removal leaves the
// highest level, so the level rises at every step and no reference repeats. level receives the
// largest |residual|. False when a reference is degenerate or the steps run out (b then holds
// the last fit).
bool KelMinimaxFit(const double* const* f, const double* y, const int* rows, int count, int n,
                   int* reference, double* b, double* level, std::vector<double>& scratch);

// The c minimizing the median of (values(i) - c)^2 over c, by the median rule above; values are
// sorted on return. For odd m it is the midpoint of the shortest interval holding (m + 1) / 2
// values; for even m the best of the midpoints of values m / 2 - 1, m / 2 and m / 2 + 1 ranks
// apart, where the minimum always lies.
double KelLmsLocation(std::vector<double>& values);

// KelLmsLocation, but false (location untouched; values still sorted) when no location can give
// a median of (values(i) - c)^2 below bound: no h values (as below) lie within 2 sqrt(bound).
// Exact, after the sort, where the histogram test below is a quick necessary condition.
bool KelLmsLocationBelow(std::vector<double>& values, double bound, double* location);

// False only when no location c gives a median of (values(i) - c)^2 below bound: fewer than h
// values (h = m / 2 for even m, (m + 1) / 2 for odd m) fit in any interval of width 2 sqrt(bound).
// One pass over the values with a histogram, without sorting; counts is scratch.
bool KelLmsLocationCanBeBelow(const std::vector<double>& values, double bound,
                              std::vector<int>& counts);

// The library's median of values (the middle one for odd m, the mean of the two middle ones for
// even m), the same value as a selection over all of them. When guess is near the median (the
// criterion of a nearby point), the selection runs only over the values within a factor 1.3 of
// it, gathered in buffer. values are reordered.
double KelMedianNear(std::vector<double>& values, double guess, std::vector<double>& buffer);

#endif
