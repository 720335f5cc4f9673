// Kernels of the least-median-of-squares search: the generator of experiment subsets, the
// Chebyshev fit of n + 1 experiments, the exchange levels and the minimax fit; all work 0-based
// internally (the experiment indices they receive and return are 1-based, as everywhere in the
// library). The location kernels are in kel_lms_location.cpp.
#include "linear_regression/kel_lms_search.h"

#include <algorithm>
#include <cmath>

namespace {

// Below this fraction of the largest element a pivot counts as zero: the subset is degenerate
// and its fit would be dominated by rounding.
constexpr double kPivotTolerance = 1e-12;

// Solves the k x k system a x = rhs (a row-major, overwritten) by Gauss elimination with partial
// pivoting; x replaces rhs. False when a pivot vanishes.
bool solveSmallSystem(double* a, double* rhs, int k) {
  double largest = 0.0;
  for (int i = 0; i < k * k; ++i) largest = std::max(largest, std::fabs(a[i]));
  const double tiny = kPivotTolerance * largest;
  if (!(largest > 0.0) || !std::isfinite(largest)) return false;
  for (int col = 0; col < k; ++col) {
    int pivot = col;
    for (int r = col + 1; r < k; ++r)
      if (std::fabs(a[r * k + col]) > std::fabs(a[pivot * k + col])) pivot = r;
    if (!(std::fabs(a[pivot * k + col]) > tiny)) return false;
    if (pivot != col) {
      for (int c = 0; c < k; ++c) std::swap(a[pivot * k + c], a[col * k + c]);
      std::swap(rhs[pivot], rhs[col]);
    }
    for (int r = col + 1; r < k; ++r) {
      const double factor = a[r * k + col] / a[col * k + col];
      if (factor == 0.0) continue;
      for (int c = col; c < k; ++c) a[r * k + c] -= factor * a[col * k + c];
      rhs[r] -= factor * rhs[col];
    }
  }
  for (int r = k - 1; r >= 0; --r) {
    double sum = rhs[r];
    for (int c = r + 1; c < k; ++c) sum -= a[r * k + c] * rhs[c];
    rhs[r] = sum / a[r * k + r];
  }
  return true;
}

// Pivot columns of an echelon form: on the stack up to 64 rows (every subset of the search),
// on the heap beyond.
class PivotColumns {
 public:
  explicit PivotColumns(int n) {
    if (n > kOnStack) heap.resize(static_cast<size_t>(n));
    data = n > kOnStack ? heap.data() : local;
  }
  PivotColumns(const PivotColumns&) = delete;
  PivotColumns& operator=(const PivotColumns&) = delete;
  int* data;

 private:
  static constexpr int kOnStack = 64;
  int local[kOnStack];
  std::vector<int> heap;
};

// Row echelon form of t (n x columns, row-major, overwritten) by partial pivoting, a pivot below
// kPivotTolerance times the largest element counting as zero. pivotColumn[0 .. n - 1] receives
// the pivot columns, freeColumns the others; false unless t is finite and nonzero with exactly
// `frees` columns without a pivot (rank n).
bool rowEchelon(double* t, int n, int columns, int* pivotColumn, int* freeColumns, int frees) {
  double largest = 0.0;
  for (int i = 0; i < n * columns; ++i) largest = std::max(largest, std::fabs(t[i]));
  if (!(largest > 0.0) || !std::isfinite(largest)) return false;
  const double tiny = kPivotTolerance * largest;
  int found = 0;
  int row = 0;
  for (int col = 0; col < columns; ++col) {
    int pivot = row;
    for (int r = row + 1; r < n; ++r)
      if (std::fabs(t[r * columns + col]) > std::fabs(t[pivot * columns + col])) pivot = r;
    if (row == n || !(std::fabs(t[pivot * columns + col]) > tiny)) {
      if (found == frees) return false;  // rank below n
      freeColumns[found++] = col;
      continue;
    }
    if (pivot != row)
      for (int c = 0; c < columns; ++c) std::swap(t[pivot * columns + c], t[row * columns + c]);
    for (int r = row + 1; r < n; ++r) {
      const double factor = t[r * columns + col] / t[row * columns + col];
      for (int c = col; c < columns; ++c) t[r * columns + c] -= factor * t[row * columns + c];
    }
    pivotColumn[row++] = col;
  }
  return row == n && found == frees;
}

// The null vector x of the echelon form that is 1 at free column `one` and 0 at the other free
// columns, by back substitution.
void nullVectorOf(const double* t, int n, int columns, const int* pivotColumn, int one, double* x) {
  for (int c = 0; c < columns; ++c) x[c] = 0.0;
  x[one] = 1.0;
  for (int r = n - 1; r >= 0; --r) {
    const int p = pivotColumn[r];
    double sum = 0.0;
    for (int c = p + 1; c < columns; ++c) sum += t[r * columns + c] * x[c];
    x[p] = -sum / t[r * columns + p];
  }
}

// A nonzero lambda (n + 1 values) with lambda' A = 0 for the (n + 1) x n matrix A of the
// subset, by row echelon form of A' (t, n x (n + 1), overwritten). False unless A has rank n,
// when lambda is unique up to its scale.
bool leftNullVector(double* t, int n, double* lambda) {
  PivotColumns pivots(n);
  int freeColumn = -1;
  if (!rowEchelon(t, n, n + 1, pivots.data, &freeColumn, 1)) return false;
  nullVectorOf(t, n, n + 1, pivots.data, freeColumn, lambda);
  return true;
}

}  // namespace

std::uint64_t KelLmsRandom::Next() {
  state += 0x9E3779B97F4A7C15ull;
  std::uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int KelLmsRandom::Below(int bound) {
  const std::uint64_t range = static_cast<std::uint64_t>(bound);
  // Values below 2^64 mod range would make the low residues more likely.
  const std::uint64_t threshold = (0 - range) % range;
  for (;;) {
    const std::uint64_t x = Next();
    if (x >= threshold) return static_cast<int>(x % range);
  }
}

void KelLmsRandom::DrawSubset(int m, int k, int* indices) {
  for (int j = 0; j < k; ++j) {
    bool repeated = true;
    while (repeated) {
      indices[j] = 1 + Below(m);
      repeated = std::find(indices, indices + j, indices[j]) != indices + j;
    }
  }
}

bool KelNextSubset(int m, int k, int* indices) {
  int i = k - 1;
  while (i >= 0 && indices[i] == m - k + i + 1) --i;
  if (i < 0) return false;
  ++indices[i];
  for (int j = i + 1; j < k; ++j) indices[j] = indices[j - 1] + 1;
  return true;
}

// The minimax fit of n + 1 equations has equal absolute residuals delta at all of them, with
// the signs of the left null vector lambda of their matrix; b and delta then solve the square
// system [A s] (b, delta) = y.
bool KelChebyshevFit(const double* const* f, const double* y, const int* rows, int n, double* b,
                     std::vector<double>& scratch) {
  const int k = n + 1;
  scratch.resize(static_cast<size_t>(k * k + n * k + 2 * k));
  double* system = scratch.data();
  double* transposed = system + k * k;
  double* lambda = transposed + n * k;
  double* rhs = lambda + k;
  for (int i = 0; i < k; ++i) {
    const double* row = f[rows[i]];
    for (int j = 0; j < n; ++j) transposed[j * k + i] = row[j + 1];
  }
  if (!leftNullVector(transposed, n, lambda)) return false;
  for (int i = 0; i < k; ++i) {
    const double* row = f[rows[i]];
    for (int j = 0; j < n; ++j) system[i * k + j] = row[j + 1];
    system[i * k + n] = lambda[i] > 0.0 ? 1.0 : (lambda[i] < 0.0 ? -1.0 : 0.0);
    rhs[i] = y[rows[i]];
  }
  if (!solveSmallSystem(system, rhs, k)) return false;
  for (int j = 0; j < n; ++j) {
    if (!std::isfinite(rhs[j])) return false;
    b[j] = rhs[j];
  }
  return true;
}

namespace {

// Basis u, v of the left null space of the (n + 2) x n matrix whose transpose t (n x (n + 2),
// overwritten) is given, by row echelon form: u is 1 at the first free column and 0 at the
// second, v the other way round. False unless the matrix has rank n (exactly two free columns).
bool leftNullPair(double* t, int n, double* u, double* v) {
  PivotColumns pivots(n);
  int freeColumns[2] = {-1, -1};
  if (!rowEchelon(t, n, n + 2, pivots.data, freeColumns, 2)) return false;
  nullVectorOf(t, n, n + 2, pivots.data, freeColumns[0], u);
  nullVectorOf(t, n, n + 2, pivots.data, freeColumns[1], v);
  return true;
}

}  // namespace

// Every left null vector of the n + 2 experiments is a combination of u and v; the one of the
// reference without member t is v(t) u - u(t) v, zero at t. Both coefficients near zero mean the
// remaining n + 1 experiments have rank below n.
bool KelExchangeLevels(const double* const* f, const double* y, const int* reference, int n,
                       int entering, double* levels, std::vector<double>& scratch) {
  const int columns = n + 2;
  scratch.resize(static_cast<size_t>(n * columns + 3 * columns));
  double* transposed = scratch.data();
  double* u = transposed + n * columns;
  double* v = u + columns;
  double* responses = v + columns;
  for (int i = 0; i < columns; ++i) {
    const int experiment = i <= n ? reference[i] : entering;
    const double* row = f[experiment];
    for (int j = 0; j < n; ++j) transposed[j * columns + i] = row[j + 1];
    responses[i] = y[experiment];
  }
  if (!leftNullPair(transposed, n, u, v)) return false;
  double largestU = 0.0;
  double largestV = 0.0;
  for (int i = 0; i < columns; ++i) {
    largestU = std::max(largestU, std::fabs(u[i]));
    largestV = std::max(largestV, std::fabs(v[i]));
  }
  for (int t = 0; t <= n; ++t) {
    levels[t] = -1.0;
    const double a = v[t];
    const double c = u[t];
    if (!(std::fabs(a) > kPivotTolerance * largestV || std::fabs(c) > kPivotTolerance * largestU))
      continue;
    double product = 0.0;
    double norm = 0.0;
    for (int i = 0; i < columns; ++i) {
      const double lambda = a * u[i] - c * v[i];
      product += lambda * responses[i];
      norm += std::fabs(lambda);
    }
    const double level = std::fabs(product) / norm;
    if (std::isfinite(level)) levels[t] = level;
  }
  return true;
}

namespace {

double absoluteResidual(const double* const* f, const double* y, int row, int n, const double* b) {
  const double* x = f[row];
  double estimate = 0.0;
  for (int j = 0; j < n; ++j) estimate += x[j + 1] * b[j];
  return std::fabs(y[row] - estimate);
}

// Chebyshev fit of the reference and its level (the common |residual| there).
bool referenceFit(const double* const* f, const double* y, const int* reference, int n, double* b,
                  double* level, std::vector<double>& scratch) {
  if (!KelChebyshevFit(f, y, reference, n, b, scratch)) return false;
  *level = absoluteResidual(f, y, reference[0], n, b);
  return std::isfinite(*level);
}

// One exchange step with the member chosen from the levels of all n + 1 exchanges at once: the
// highest level, as the step by one fit per exchange would choose. Confirmed by the fit of the
// new reference, whose level must rise; false (reference, b and level untouched) when the
// levels cannot be formed or the fit does not confirm them, and the caller fits each exchange.
bool fastExchange(const double* const* f, const double* y, int* reference, int n, int entering,
                  double* b, double* level, double* trial, std::vector<double>& scratch) {
  double levels[65];
  std::vector<double> levelStorage;
  double* levelOf = levels;
  if (n + 1 > 65) {
    levelStorage.resize(static_cast<size_t>(n + 1));
    levelOf = levelStorage.data();
  }
  if (!KelExchangeLevels(f, y, reference, n, entering, levelOf, scratch)) return false;
  int replaced = -1;
  double highest = *level;
  for (int t = 0; t <= n; ++t)
    if (levelOf[t] > highest) {
      highest = levelOf[t];
      replaced = t;
    }
  if (replaced < 0) return false;
  const int kept = reference[replaced];
  reference[replaced] = entering;
  double fitLevel = 0.0;
  if (referenceFit(f, y, reference, n, trial, &fitLevel, scratch) && fitLevel > *level) {
    std::copy(trial, trial + n, b);
    *level = fitLevel;
    return true;
  }
  reference[replaced] = kept;
  return false;
}

}  // namespace

bool KelMinimaxFit(const double* const* f, const double* y, const int* rows, int count, int n,
                   int* reference, double* b, double* level, std::vector<double>& scratch) {
  const int k = n + 1;
  std::vector<double> trial(static_cast<size_t>(n));
  std::vector<double> scratchFit;
  if (!referenceFit(f, y, reference, n, b, level, scratch)) return false;
  // The level rises strictly, and there are finitely many references; the bound only guards
  // against rounding making it stall.
  const int stepLimit = 4 * count + 50;
  for (int step = 0; step < stepLimit; ++step) {
    int worst = -1;
    double largest = *level;
    for (int i = 0; i < count; ++i) {
      const double r = absoluteResidual(f, y, rows[i], n, b);
      if (!(r <= largest)) {
        largest = r;
        worst = rows[i];
      }
    }
    // Within rounding of the level: the fit is minimax over all rows.
    if (worst < 0 || largest <= *level * (1.0 + 1e-12)) {
      *level = std::max(*level, largest);
      return true;
    }
    if (fastExchange(f, y, reference, n, worst, b, level, trial.data(), scratch)) continue;
    int replaced = -1;
    double highest = *level;
    for (int t = 0; t < k; ++t) {
      const int kept = reference[t];
      reference[t] = worst;
      double candidateLevel = 0.0;
      if (referenceFit(f, y, reference, n, trial.data(), &candidateLevel, scratchFit) &&
          candidateLevel > highest) {
        highest = candidateLevel;
        replaced = t;
      }
      reference[t] = kept;
    }
    if (replaced < 0) return false;
    reference[replaced] = worst;
    if (!referenceFit(f, y, reference, n, b, level, scratch)) return false;
  }
  return false;
}
