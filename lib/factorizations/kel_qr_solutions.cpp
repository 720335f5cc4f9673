// The solutions from a Householder QR made by QRFactorization: the least-squares solution with
// the reflections applied one by one (QRSolution) or a few at a time (QRSolutionByGroups), and
// the least-norm solution of the transposed system (QRTransposeSolution).
//
// Applied one by one (QRSolution), the n reflections cost n passes over the rows of the
// row-major factor, each reading a cache line per row for two multiplications.
// QRSolutionByGroups applies a group of reflections in each pass and forms there the dot
// products of the next group: for reflections H_j = I - 2 u_j u_j^T applied in order to c, the
// coefficients s_j = u_j . (c after H_1 .. H_{j-1}) of a group follow from the dot products
// z_j = u_j . c taken before the group and the inner products of its vectors,
// s_j = z_j - 2 sum_{l < j} s_l (u_l . u_j), so one pass over the rows gives them all. Each row
// is still updated by the reflections one after the other, as the one-by-one application does.
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "factorizations/kel_householder.h"
#include "foundation/kel_output.h"

namespace {

// Reflections per group. Larger groups take fewer passes but more sums in a row (the group's
// coefficients, the next group's dot products and their inner products: 5 + 5 + 10 here);
// five was the fastest of 3, 4, 5 and 10 at ten columns.
constexpr int kGroup = 5;
constexpr int kGramSize = kGroup * (kGroup - 1) / 2;

// One pass: the reflections first .. first + U - 1 applied to c with their 2 s_j (twice), and
// the dot products z and inner products gram (pairs t < l in order) of the reflections next ..
// next + D - 1 accumulated from the updated c. Reflection j is column j of a, rows j .. m.
struct GroupPass {
  int first;
  int next;
  int keptRows;  // c[i] is stored for rows i <= keptRows only (later passes read no more)
  const double* twice;
  double* z;
  double* gram;
};

// Rows from .. to - 1, where some reflections of either group do not yet reach the row.
void partialRows(int from, int to, int updates, int dots, const double* const* a, double* c,
                 const GroupPass& g) {
  for (int i = from; i < to; ++i) {
    const double* row = a[i];
    double ci = c[i];
    for (int t = 0; t < updates && g.first + t <= i; ++t) ci -= g.twice[t] * row[g.first + t];
    c[i] = ci;
    for (int t = 0, pair = 0; t < dots; ++t) {
      const bool reaches = g.next + t <= i;
      const double v = reaches ? row[g.next + t] : 0.0;
      if (reaches) g.z[t] += v * ci;
      for (int l = t + 1; l < dots; ++l, ++pair)
        if (reaches && g.next + l <= i) g.gram[pair] += v * row[g.next + l];
    }
  }
}

// Rows from .. m, which every reflection of both groups reaches; the group sizes are known at
// compile time so that the sums stay in registers.
template <int kUpdates, int kDots>
void fullRows(int from, int m, const double* const* a, double* c, const GroupPass& g) {
  double twice[kUpdates > 0 ? kUpdates : 1];
  double z[kDots > 0 ? kDots : 1];
  double gram[kGramSize > 0 ? kGramSize : 1];
  for (int t = 0; t < kUpdates; ++t) twice[t] = g.twice[t];
  for (int t = 0; t < kDots; ++t) z[t] = g.z[t];
  for (int p = 0; p < kDots * (kDots - 1) / 2; ++p) gram[p] = g.gram[p];
  const int first = g.first;
  const int next = g.next;
  for (int i = from; i <= m; ++i) {
    const double* __restrict__ row = a[i];
    double ci = c[i];
    if constexpr (kUpdates > 0) {
      for (int t = 0; t < kUpdates; ++t) ci -= twice[t] * row[first + t];
      if (i <= g.keptRows) c[i] = ci;
    }
    int pair = 0;
    for (int t = 0; t < kDots; ++t) {
      const double v = row[next + t];
      z[t] += v * ci;
      for (int l = t + 1; l < kDots; ++l, ++pair) gram[pair] += v * row[next + l];
    }
  }
  for (int t = 0; t < kDots; ++t) g.z[t] = z[t];
  for (int p = 0; p < kDots * (kDots - 1) / 2; ++p) g.gram[p] = gram[p];
}

using FullRowsRoutine = void (*)(int, int, const double* const*, double*, const GroupPass&);

template <int kUpdates, int... kDots>
constexpr std::array<FullRowsRoutine, sizeof...(kDots)> fullRowsFor(
    std::integer_sequence<int, kDots...>) {
  return {fullRows<kUpdates, kDots>...};
}

template <int... kUpdates>
constexpr std::array<std::array<FullRowsRoutine, kGroup + 1>, sizeof...(kUpdates)> fullRowsTable(
    std::integer_sequence<int, kUpdates...>) {
  return {fullRowsFor<kUpdates>(std::make_integer_sequence<int, kGroup + 1>())...};
}

constexpr auto kFullRows = fullRowsTable(std::make_integer_sequence<int, kGroup + 1>());

}  // namespace

void QRSolutionByGroups(int m, int n, const double* const* a, const double* d, double* c,
                        double* x) {
  if (n < 1) return;
  std::array<double, kGroup> twice{};
  std::array<double, kGroup> z{};
  std::array<double, kGramSize> gram{};
  int first = 1;  // the group being applied
  int updates = 0;
  int next = 1;  // the group whose dot products are formed
  int dots = std::min(kGroup, n);
  while (true) {
    z.fill(0.0);
    gram.fill(0.0);
    // Only rows 1 .. n of the last group's result are needed (the solution's right-hand side),
    // and a pass after which only that group follows needs to store no more either.
    const int last = dots > 0 ? m : n;
    const int keptRows = next + dots <= n ? m : n;
    const GroupPass pass{first, next, keptRows, twice.data(), z.data(), gram.data()};
    const int from = updates > 0 ? first : next;
    // Reflection j reaches rows j .. m: from this row on, every reflection of both groups does.
    const int reachedByAll =
        std::min(last + 1, std::max(first + updates - 1, next + std::max(dots, 1) - 1));
    partialRows(from, reachedByAll, updates, dots, a, c, pass);
    kFullRows[updates][dots](std::max(from, reachedByAll), last, a, c, pass);
    if (dots == 0) break;
    // gram[] holds the pairs (l, t), l < t, in the order (0, 1), (0, 2), ..., (1, 2), ...
    for (int t = 0; t < dots; ++t) {
      double s = z[t];
      for (int l = 0; l < t; ++l) s -= twice[l] * gram[l * (2 * dots - l - 1) / 2 + (t - l - 1)];
      twice[t] = 2.0 * s;
    }
    first = next;
    updates = dots;
    next = first + updates;
    dots = std::min(kGroup, n - next + 1);
  }
  for (int i = n; i >= 1; --i) {
    const double* row = a[i];
    long double sum = c[i];
    for (int j = i + 1; j <= n; ++j) sum -= static_cast<long double>(row[j]) * x[j];
    x[i] = static_cast<double>(sum) / d[i];
  }
}

namespace {

// The regular columns in order (0-based list of 1-based columns): reflection q (1-based) of a
// QR made with dependent columns skipped lives in column regular[q - 1], rows q .. m.
std::vector<int> regularColumns(int n, const double* d) {
  std::vector<int> regular;
  regular.reserve(static_cast<size_t>(n));
  for (int k = 1; k <= n; ++k)
    if (d[k] != 0.0) regular.push_back(k);
  return regular;
}

}  // namespace

void QRSolution(int m, int n, double* const* a, const double* d, double* b, double* x) {
  // Q^T b, one sweep down the rows per reflection: while row i receives reflection q, its new
  // b[i] already feeds the dot product that reflection q + 1 needs, so each sweep reads a row's
  // cache line once instead of twice. Two partial sums (alternate rows from the first row of
  // the reflection) shorten the dependency chain of the long tall columns.
  if (n < 1) return;
  const std::vector<int> regular = regularColumns(n, d);
  const int rank = static_cast<int>(regular.size());
  double twice = 0.0;
  if (rank > 0) {
    const int k = regular[0];
    double s0 = 0.0, s1 = 0.0;
    int i = 1;
    for (; i + 1 <= m; i += 2) {
      s0 += a[i][k] * b[i];
      s1 += a[i + 1][k] * b[i + 1];
    }
    if (i <= m) s0 += a[i][k] * b[i];
    twice = 2.0 * (s0 + s1);
  }
  for (int q = 1; q <= rank; ++q) {
    const int k = regular[static_cast<size_t>(q - 1)];
    b[q] -= twice * a[q][k];
    int i = q + 1;
    if (q == rank) {
      for (; i <= m; ++i) b[i] -= twice * a[i][k];
      break;
    }
    const int next = regular[static_cast<size_t>(q)];
    double s0 = 0.0, s1 = 0.0;
    for (; i + 1 <= m; i += 2) {
      const double* row0 = a[i];
      const double* row1 = a[i + 1];
      b[i] -= twice * row0[k];
      s0 += row0[next] * b[i];
      b[i + 1] -= twice * row1[k];
      s1 += row1[next] * b[i + 1];
    }
    if (i <= m) {
      b[i] -= twice * a[i][k];
      s0 += a[i][next] * b[i];
    }
    twice = 2.0 * (s0 + s1);
  }
  // Back substitution on the pivot rows; a dependent column's unknown is 0.
  int q = rank;
  for (int i = n; i >= 1; --i) {
    if (d[i] != 0.0) {
      const double* row = a[q];
      long double sum = b[q];
      for (int j = i + 1; j <= n; ++j)
        if (d[j] != 0.0) sum -= static_cast<long double>(row[j]) * x[j];
      x[i] = static_cast<double>(sum) / d[i];
      --q;
    } else {
      KelMessage("\nSingular matrix in QRSolution! for variable %d", i);
      x[i] = 0.0;
    }
  }
}

void QRTransposeSolution(int m, int n, double* const* a, const double* d, const double* b,
                         double* x) {
  // A^T x = b reads R^T w = b with w = (Q^T x)(1..rank): forward substitution on the regular
  // columns (a dependent column's equation follows from the earlier ones and is not used),
  // then x = Q [w; 0], the least-norm solution.
  for (int i = 1; i <= m; ++i) x[i] = 0.0;
  const std::vector<int> regular = regularColumns(n, d);
  const int rank = static_cast<int>(regular.size());
  for (int k = 1, q = 0; k <= n; ++k) {
    if (d[k] != 0.0) {
      ++q;
      long double sum = b[k];
      for (int j = 1; j < q; ++j) sum -= static_cast<long double>(a[j][k]) * x[j];
      x[q] = static_cast<double>(sum) / d[k];
    } else {
      KelMessage("\nSingular matrix in QRTransposeSolution! for column %d", k);
    }
  }
  for (int q = rank; q >= 1; --q) {
    const int k = regular[static_cast<size_t>(q - 1)];
    long double s = 0.0L;
    for (int i = q; i <= m; ++i) s += static_cast<long double>(a[i][k]) * x[i];
    const double twice = static_cast<double>(2.0L * s);
    for (int i = q; i <= m; ++i) x[i] -= twice * a[i][k];
  }
}
