// Householder reflections and the QR and LQ factorizations built from them.
#include "factorizations/kel_householder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "foundation/kel_array_kernels.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_output.h"

namespace {

// Euclidean norm safe against overflow and underflow of the squares: magnitudes far from 1 are
// scaled by the largest one before squaring, so that a column of 1e-200 keeps its true norm.
double safeNorm(int count, const double* x) {
  double largest = 0.0;
  for (int i = 0; i < count; ++i) largest = std::max(largest, std::fabs(x[i]));
  if (largest == 0.0 || !std::isfinite(largest)) return largest;
  if (largest > 1e-140 && largest < 1e140) {
    double sum = 0.0;
    for (int i = 0; i < count; ++i) sum += x[i] * x[i];
    return std::sqrt(sum);
  }
  const double inverse = 1.0 / largest;
  double sum = 0.0;
  for (int i = 0; i < count; ++i) sum += (x[i] * inverse) * (x[i] * inverse);
  return largest * std::sqrt(sum);
}

}  // namespace

double HouseholderVector(int count, const double* x, double* u) {
  // 0-based: x[0] is the element that receives the diagonal value.
  if (count <= 0) return 0.0;
  const double c = count == 1 ? std::fabs(x[0]) : safeNorm(count, x);
  if (c == 0.0) {
    for (int i = 0; i < count; ++i) u[i] = 0.0;
    return 0.0;
  }
  // Taking the diagonal value opposite in sign to x[0] avoids cancellation in u[0].
  const double f = std::sqrt((std::fabs(x[0]) / c + 1.0) * 0.5);
  const double diagonal = x[0] >= 0.0 ? -c : c;
  const double g = x[0] >= 0.0 ? 2.0 * c * f : -2.0 * c * f;
  const double inverse = 1.0 / g;
  for (int i = 1; i < count; ++i) u[i] = x[i] * inverse;
  u[0] = f;
  return diagonal;
}

void HouseholderApply(int count, const double* u, double* y) {
  const double s = 2.0 * KelArrayDot(count, u, y);
  for (int i = 0; i < count; ++i) y[i] -= s * u[i];
}

namespace {

// Norm of column j over rows first..m through the overflow-safe kernel (gathers the column).
double columnNorm(int first, int m, int j, double* const* a, std::vector<double>& gather) {
  const int count = m - first + 1;
  if (count <= 0) return 0.0;
  gather.resize(static_cast<size_t>(count));
  for (int i = first; i <= m; ++i) gather[i - first] = a[i][j];
  return count == 1 ? std::fabs(gather[0]) : safeNorm(count, gather.data());
}

// Sums of squares are trusted for the norm (and cross products for the dot products) only where
// no square can have overflowed or underflowed harmfully.
bool safeSumOfSquares(double s) {
  return s > 1e-280 && s < 1e280;
}

// One sweep of QRFactorization down the rows below pivot row p: the multipliers u(i) = a(i, k) / g
// stored in column k, reflection k applied to columns k+1 .. n with the given 2 (u . column j),
// and the sums for the next reflection (column k + 1, pivot row p + 1) formed from the updated
// elements. Returns the sum of squares of column k + 1 below row p + 1; sums[j] receives its
// cross products with the later columns.
struct ReflectionSweep {
  int k, p, m, n;
  bool regular;  // false for a sign change (a dependent column kept in place): multipliers 0
  double inverseG;
  const double* dots;
  double* sums;
};

double sweepRows(const ReflectionSweep& w, double* const* a) {
  const int k = w.k;
  const int next = k + 1;
  const int nextPivot = w.p + 1;
  const int n = w.n;
  const double* __restrict__ dots = w.dots;
  double* __restrict__ sums = w.sums;
  double nextTail = 0.0;
  for (int i = w.p + 1; i <= w.m; ++i) {
    double* __restrict__ row = a[i];
    const double u = w.regular ? row[k] * w.inverseG : 0.0;
    row[k] = u;
    if (next > n) continue;
    const double x = row[next] - dots[next] * u;
    row[next] = x;
    if (i == nextPivot) {
      for (int j = next + 1; j <= n; ++j) row[j] -= dots[j] * u;
      continue;
    }
    // The update of reflection k and the sums for reflection k + 1 in one pass over the row.
    nextTail += x * x;
    for (int j = next + 1; j <= n; ++j) {
      const double updated = row[j] - dots[j] * u;
      row[j] = updated;
      sums[j] += x * updated;
    }
  }
  return nextTail;
}

// Two doubles operated on together (the compiler's vector extension, one SSE2 register on
// x86-64): each lane does exactly the scalar operations, so the results do not change, but a
// row's columns go through in half the instructions and the sums need half the registers.
using Pair = double __attribute__((vector_size(16)));

inline Pair loadPair(const double* p) {
  Pair v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline void storePair(double* p, Pair v) {
  __builtin_memcpy(p, &v, sizeof v);
}

// sweepRows for a number of columns after k + 1 known at compile time (k < n, p < m): the
// sums and 2 (u . column j) stay in registers across the rows instead of going through
// memory at every row, which chained each row to the previous one. Column k + 1 and the later
// ones are taken in pairs; the sum of squares of column k + 1 is its lane of the cross
// products. The operations and their order are those of sweepRows, so the results are the
// same to the bit.
template <int kWidth>
double sweepFixedWidth(const ReflectionSweep& w, double* const* a) {
  const int k = w.k;
  const int next = k + 1;
  constexpr int kLanes = kWidth + 1;  // column k + 1 and the kWidth after it
  constexpr int kPairs = kLanes / 2;
  constexpr bool kOdd = kLanes % 2 != 0;
  const double* dotsIn = w.dots + next;
  Pair dots[kPairs > 0 ? kPairs : 1];
  Pair sums[kPairs > 0 ? kPairs : 1];
  for (int t = 0; t < kPairs; ++t) {
    dots[t] = loadPair(dotsIn + 2 * t);
    sums[t] = Pair{0.0, 0.0};
  }
  if (kPairs > 0) sums[0][1] = w.sums[next + 1];
  for (int t = 1; t < kPairs; ++t) sums[t] = loadPair(w.sums + next + 2 * t);
  const double dotLast = kOdd ? dotsIn[kLanes - 1] : 0.0;
  double sumLast = kOdd && kLanes > 1 ? w.sums[next + kLanes - 1] : 0.0;
  {
    double* row = a[w.p + 1];
    const double u = w.regular ? row[k] * w.inverseG : 0.0;
    row[k] = u;
    for (int t = 0; t < kLanes; ++t) row[next + t] -= dotsIn[t] * u;
  }
  double tailOdd = 0.0;  // used when column k + 1 is the only lane
  for (int i = w.p + 2; i <= w.m; ++i) {
    double* __restrict__ row = a[i];
    const double u = w.regular ? row[k] * w.inverseG : 0.0;
    row[k] = u;
    double* segment = row + next;
    if constexpr (kPairs > 0) {
      const Pair uu = Pair{u, u};
      Pair v0 = loadPair(segment) - dots[0] * uu;
      storePair(segment, v0);
      const double x = v0[0];
      const Pair xx = Pair{x, x};
      sums[0] += xx * v0;
      for (int t = 1; t < kPairs; ++t) {
        const Pair v = loadPair(segment + 2 * t) - dots[t] * uu;
        storePair(segment + 2 * t, v);
        sums[t] += xx * v;
      }
      if constexpr (kOdd) {
        const double v = segment[kLanes - 1] - dotLast * u;
        segment[kLanes - 1] = v;
        sumLast += x * v;
      }
    } else {
      const double x = segment[0] - dotLast * u;
      segment[0] = x;
      tailOdd += x * x;
    }
  }
  if constexpr (kPairs > 0) {
    w.sums[next + 1] = sums[0][1];
    for (int t = 1; t < kPairs; ++t) storePair(w.sums + next + 2 * t, sums[t]);
    if constexpr (kOdd) w.sums[next + kLanes - 1] = sumLast;
    return sums[0][0];
  } else {
    return tailOdd;
  }
}

// |x[0]| + ... + |x[count - 1]|, in that order.
inline double absoluteSum(int count, const double* x) {
  double sum = 0.0;
  for (int j = 0; j < count; ++j) sum += std::fabs(x[j]);
  return sum;
}

// The sums before the first reflection: column sums of squares of the matrix as given, and
// the squared norm of column 1 below row 1 (returned) with its cross products with the
// later columns.
double firstSums(int m, int n, double* const* a, double* squares, double* cross,
                 double* largestRowSum) {
  double tail = 0.0;
  double largest = 0.0;
  for (int i = 1; i <= m; ++i) {
    const double* row = a[i];
    if (largestRowSum != nullptr) largest = std::max(largest, absoluteSum(n, row + 1));
    for (int j = 1; j <= n; ++j) squares[j] += row[j] * row[j];
    if (i >= 2) {
      tail += row[1] * row[1];
      for (int j = 2; j <= n; ++j) cross[j] += row[1] * row[j];
    }
  }
  if (largestRowSum != nullptr) *largestRowSum = largest;
  return tail;
}

// firstSums for n known at compile time, its sums in registers in pairs as in sweepFixedWidth;
// the cross products of column 1 with itself are the tail. The operations and their order are
// those of firstSums, so the results are the same to the bit.
template <int kColumns>
double firstSumsFixedWidth(int m, double* const* a, double* squares, double* cross,
                           double* largestRowSum) {
  constexpr int kPairs = kColumns / 2;
  constexpr bool kOdd = kColumns % 2 != 0;
  Pair square[kPairs > 0 ? kPairs : 1] = {};
  Pair product[kPairs > 0 ? kPairs : 1] = {};  // lane j: sum of a(i, 1) a(i, j) over i >= 2
  double squareLast = 0.0;
  double productLast = 0.0;
  double largest = 0.0;
  for (int i = 1; i <= m; ++i) {
    const double* row = a[i] + 1;
    if (largestRowSum != nullptr) largest = std::max(largest, absoluteSum(kColumns, row));
    const double x = row[0];
    const Pair xx = Pair{x, x};
    const bool below = i >= 2;
    for (int t = 0; t < kPairs; ++t) {
      const Pair v = loadPair(row + 2 * t);
      square[t] += v * v;
      if (below) product[t] += xx * v;
    }
    if constexpr (kOdd) {
      const double v = row[kColumns - 1];
      squareLast += v * v;
      if (below) productLast += x * v;
    }
  }
  for (int t = 0; t < kPairs; ++t) {
    storePair(squares + 1 + 2 * t, square[t]);
    storePair(cross + 1 + 2 * t, product[t]);
  }
  if constexpr (kOdd) {
    squares[kColumns] = squareLast;
    cross[kColumns] = productLast;
  }
  const double tail = cross[1];
  cross[1] = 0.0;
  if (largestRowSum != nullptr) *largestRowSum = largest;
  return tail;
}

using FirstSumsRoutine = double (*)(int, double* const*, double*, double*, double*);
using SweepRoutine = double (*)(const ReflectionSweep&, double* const*);
constexpr int kLargestFixedWidth = 15;

template <int... kWidths>
constexpr std::array<SweepRoutine, sizeof...(kWidths)> fixedWidthSweeps(
    std::integer_sequence<int, kWidths...>) {
  return {sweepFixedWidth<kWidths>...};
}

constexpr auto kFixedWidthSweeps =
    fixedWidthSweeps(std::make_integer_sequence<int, kLargestFixedWidth + 1>());

template <int... kColumns>
constexpr std::array<FirstSumsRoutine, sizeof...(kColumns)> fixedWidthFirstSums(
    std::integer_sequence<int, kColumns...>) {
  return {firstSumsFixedWidth<kColumns>...};
}

constexpr auto kFixedWidthFirstSums =
    fixedWidthFirstSums(std::make_integer_sequence<int, kLargestFixedWidth + 1>());

// 2 (u . column j) for j > k by a pass down the rows below pivot row p, for a reflection whose
// sums could not be trusted (u(p) = f, u(i) = a(i, k) / g below).
void directTwiceDots(int k, int p, int m, int n, const double* const* a, double f, double inverseG,
                     double* twiceDot) {
  for (int j = k + 1; j <= n; ++j) twiceDot[j] = f * a[p][j];
  for (int i = p + 1; i <= m; ++i) {
    const double* row = a[i];
    const double u = row[k] * inverseG;
    for (int j = k + 1; j <= n; ++j) twiceDot[j] += u * row[j];
  }
  for (int j = k + 1; j <= n; ++j) twiceDot[j] *= 2.0;
}

// What QRFactorization carries from one column to the next. The matrix is row-major, so every
// step is organised as one sweep down the rows: while row i receives reflection k, its updated
// elements already feed the sums that reflection k + 1 needs (the squared norm of column k + 1
// below its pivot row and the cross products of that column with the later ones). Each step thus
// reads the trailing matrix once.
struct QRSweepState {
  QRSweepState(int rows, int columns, double* const* matrix, std::vector<double>& scratch)
      : m(rows), n(columns), a(matrix) {
    scratch.assign(4 * (static_cast<size_t>(n) + 1), 0.0);
    cross = scratch.data();
    nextCross = cross + (n + 1);
    twiceDot = nextCross + (n + 1);
    squares = twiceDot + (n + 1);
  }
  int m, n;
  double* const* a;
  double* cross;      // cross[j]: sum below the pivot row of a(i, k) a(i, j)
  double* nextCross;  // the same for step k + 1
  double* twiceDot;   // 2 (u . column j)
  double* squares;    // column sums of squares of the matrix as given
  std::vector<double> gather;
  double tail = 0.0;      // sum below the pivot row of a(i, k)^2
  bool sumsValid = true;  // tail and cross hold column k's sums below the pivot row
};

// The sums before the first reflection, and the column norms of the matrix as given in
// norms[1..n] (through the safe kernel where a sum of squares cannot be trusted).
void startSweeps(QRSweepState& s, double* norms, double* largestRowSum) {
  s.tail = s.n <= kLargestFixedWidth
               ? kFixedWidthFirstSums[s.n](s.m, s.a, s.squares, s.cross, largestRowSum)
               : firstSums(s.m, s.n, s.a, s.squares, s.cross, largestRowSum);
  for (int j = 1; j <= s.n; ++j)
    norms[j] = safeSumOfSquares(s.squares[j]) ? std::sqrt(s.squares[j])
                                              : columnNorm(1, s.m, j, s.a, s.gather);
}

// Norm of column k from pivot row p down. *fast tells whether the sums could be trusted for it
// and for the dot products of the reflection; otherwise the column is gathered.
double pivotColumnNorm(QRSweepState& s, int k, int p, bool* fast) {
  const double head = s.a[p][k];
  const double squaredNorm = head * head + s.tail;
  *fast = s.sumsValid && safeSumOfSquares(squaredNorm);
  for (int j = k + 1; *fast && j <= s.n; ++j) *fast = std::isfinite(s.cross[j]);
  if (p == s.m) return std::fabs(head);
  if (*fast) return std::sqrt(squaredNorm);
  return columnNorm(p, s.m, k, s.a, s.gather);
}

// Reflection k with u(p) = f at the pivot row and u(i) = a(i, k) / g below; a dependent column
// keeps f = 1 and 1 / g = 0 (the sign change of row p).
struct Reflection {
  bool regular = false;
  double f = 1.0;
  double inverseG = 0.0;
};

// The reflection of column k of norm c below its pivot row, whose element there is head; its
// diagonal element of R goes to *diagonal (0 for a dependent column).
Reflection chooseReflection(double head, double c, double norm, double tolerance,
                            double* diagonal) {
  Reflection r;
  r.regular = c > tolerance * norm && norm != 0.0;
  if (!r.regular) {
    *diagonal = 0.0;
    return r;
  }
  r.f = std::sqrt((std::fabs(head) / c + 1.0) * 0.5);
  *diagonal = head >= 0.0 ? -c : c;
  r.inverseG = 1.0 / (head >= 0.0 ? 2.0 * c * r.f : -2.0 * c * r.f);
  return r;
}

// Reflection k applied to pivot row p (which then holds f and R's row p), the dot products
// 2 (u . column j) taken from the sums when fast, else by a pass down the rows.
void reflectPivotRow(QRSweepState& s, int k, int p, const Reflection& r, bool fast) {
  double* rowP = s.a[p];
  rowP[k] = r.f;
  if (r.regular && !fast) {
    directTwiceDots(k, p, s.m, s.n, s.a, r.f, r.inverseG, s.twiceDot);
  } else {
    for (int j = k + 1; j <= s.n; ++j)
      s.twiceDot[j] = 2.0 * (r.f * rowP[j] + r.inverseG * s.cross[j]);
  }
  for (int j = k + 1; j <= s.n; ++j) rowP[j] -= s.twiceDot[j] * r.f;
}

// Reflection k applied to the rows below pivot row p, which leaves the sums for column k + 1.
void sweepBelowPivot(QRSweepState& s, int k, int p, const Reflection& r) {
  for (int j = k + 2; j <= s.n; ++j) s.nextCross[j] = 0.0;
  const ReflectionSweep sweep{k, p, s.m, s.n, r.regular, r.inverseG, s.twiceDot, s.nextCross};
  const int width = s.n - k - 1;  // columns after k + 1
  s.tail = k < s.n && p < s.m && width <= kLargestFixedWidth ? kFixedWidthSweeps[width](sweep, s.a)
                                                             : sweepRows(sweep, s.a);
  std::swap(s.cross, s.nextCross);
  s.sumsValid = true;
}

}  // namespace

bool QRFactorization(int m, int n, double* const* a, double* d, double* norms, double tolerance,
                     std::vector<double>& scratch, QRDependentColumns dependent,
                     double* largestRowSum) {
  if (m < n) KelError("rows < columns in QRFactorization\n%s", KelShapeDetail(m, n).c_str());
  QRSweepState s(m, n, a, scratch);
  startSweeps(s, norms, largestRowSum);
  bool anySingular = false;
  int p = 1;  // pivot row: the row that receives the diagonal of column k
  for (int k = 1; k <= n; ++k) {
    bool fast = false;
    const double c = pivotColumnNorm(s, k, p, &fast);
    const Reflection r = chooseReflection(a[p][k], c, norms[k], tolerance, &d[k]);
    if (!r.regular) {
      anySingular = true;
      KelMessage("\nSingular matrix in QRDec for column %d", k);
      if (dependent == QRDependentColumns::kSkipped) {
        // The column lies in the span of the earlier ones: it takes no reflection and no
        // pivot row, so every later column keeps all the rows not yet used. Its remainder
        // below the pivot row (within the tolerance of 0) is dropped.
        for (int i = p; i <= m; ++i) a[i][k] = 0.0;
        s.sumsValid = false;
        continue;
      }
      // Kept in place: the reflection becomes the sign change of row p (the sweep below
      // zeroes the multipliers).
    }
    reflectPivotRow(s, k, p, r, fast);
    sweepBelowPivot(s, k, p, r);
    ++p;
  }
  return anySingular;
}

bool LQFactorization(int m, int n, double* const* a, double* d, double* norms, double tolerance,
                     std::vector<double>& scratch) {
  if (m > n) KelError("rows > columns in LQFactorization\n%s", KelShapeDetail(m, n).c_str());
  scratch.assign(static_cast<size_t>(n) + 1, 0.0);
  for (int i = 1; i <= m; ++i) norms[i] = safeNorm(n, a[i] + 1);
  bool anySingular = false;
  int pivot = 1;
  for (int k = 1; k <= m; ++k) {
    const int count = n - pivot + 1;
    double* u = scratch.data();
    const double diagonal = HouseholderVector(count, a[k] + pivot, u);
    // The threshold is shared among the n columns, so a long row is judged by the same
    // per-element accuracy as a short one.
    if (std::fabs(diagonal) > tolerance * norms[k] / n && norms[k] != 0.0) {
      d[k] = diagonal;
      double* rowK = a[k] + pivot;
      for (int j = 0; j < count; ++j) rowK[j] = u[j];
      for (int i = k + 1; i <= m; ++i) HouseholderApply(count, rowK, a[i] + pivot);
      ++pivot;
    } else {
      d[k] = 0.0;
      anySingular = true;
      KelMessage("\nSingular matrix in LQFactorization for row %d", k);
    }
  }
  return anySingular;
}

void LQSolution(int m, int n, double* const* a, const double* d, const double* b, double* x) {
  for (int j = 1; j <= n; ++j) x[j] = 0.0;
  int s = 0;
  for (int i = 1; i <= m; ++i) {
    if (d[i] == 0.0) {
      ++s;
      continue;
    }
    const int p = i - s;
    long double sum = b[i];
    for (int t = 1; t < p; ++t) sum -= static_cast<long double>(a[i][t]) * x[t];
    x[p] = static_cast<double>(sum) / d[i];
  }
  for (int i = m; i >= 1; --i) {
    if (d[i] == 0.0) {
      --s;
      continue;
    }
    const int p = i - s;
    HouseholderApply(n - p + 1, a[i] + p, x + p);
  }
}

void LQTransposeSolution(int m, int n, double* const* a, const double* d, double* work, double* x) {
  int s = 0;
  for (int i = 1; i <= m; ++i) {
    if (d[i] == 0.0) {
      ++s;
      continue;
    }
    const int p = i - s;
    HouseholderApply(n - p + 1, a[i] + p, work + p);
  }
  for (int k = m; k >= 1; --k) {
    if (d[k] == 0.0) {
      x[k] = 0.0;
      --s;
      continue;
    }
    const int p = k - s;
    long double sum = work[p];
    for (int t = k + 1; t <= m; ++t)
      if (d[t] != 0.0) sum -= static_cast<long double>(a[t][p]) * x[t];
    x[k] = static_cast<double>(sum) / d[k];
  }
}
