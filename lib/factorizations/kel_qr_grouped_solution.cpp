// QRSolutionByGroups: the least-squares solution from a Householder QR, the reflections applied
// to the right-hand side a few at a time.
//
// Applied one by one, the n reflections cost n passes over the rows of the row-major factor,
// each reading a cache line per row for two multiplications. Here each pass applies a group of
// reflections and forms the dot products of the next group: for reflections H_j = I - 2 u_j
// u_j^T applied in order to c, the coefficients s_j = u_j . (c after H_1 .. H_{j-1}) of a group
// follow from the dot products z_j = u_j . c taken before the group and the inner products of
// its vectors, s_j = z_j - 2 sum_{l < j} s_l (u_l . u_j), so one pass over the rows gives them
// all. Each row is still updated by the reflections one after the other, as the one-by-one
// application does.
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "factorizations/kel_householder.h"

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
    for (int t = 0; t < kUpdates; ++t) ci -= twice[t] * row[first + t];
    c[i] = ci;
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
    const GroupPass pass{first, next, twice.data(), z.data(), gram.data()};
    // Only rows 1 .. n of the last group's result are needed (the solution's right-hand side).
    const int last = dots > 0 ? m : n;
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
