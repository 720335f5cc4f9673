// Kernels of the least-median-of-squares search: the exact least-median location of a sample,
// its rejection tests and the median of squares near a guess; all work 0-based internally.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "linear_regression/kel_lms_search.h"
#include "statistics/kel_median.h"

namespace {

// Median of the squared distances of the sorted values s from c, for even m (h = m / 2): the
// h + 1 values nearest c form the window s[k .. k + h], which only moves right as c grows (the
// caller passes increasing c and keeps k); its two largest distances are the h-th and
// (h + 1)-th smallest, and they sit at the window's ends or next to them.
double evenMedianOfSquares(const std::vector<double>& s, double c, int* k) {
  const int m = static_cast<int>(s.size());
  const int h = m / 2;
  while (*k + h + 1 < m && s[static_cast<size_t>(*k + h + 1)] - c < c - s[static_cast<size_t>(*k)])
    ++*k;
  const int candidates[4] = {*k, *k + 1, *k + h - 1, *k + h};
  double first = -1.0;
  double second = -1.0;
  int firstIndex = -1;
  int secondIndex = -1;
  for (int index : candidates) {
    if (index < *k || index > *k + h || index == firstIndex || index == secondIndex) continue;
    const double d = std::fabs(s[static_cast<size_t>(index)] - c);
    if (d > first) {
      second = first;
      secondIndex = firstIndex;
      first = d;
      firstIndex = index;
    } else if (d > second) {
      second = d;
      secondIndex = index;
    }
  }
  return (first * first + second * second) / 2.0;
}

}  // namespace

namespace {

// Above this many values the location sorts by radix: four counting passes over 16-bit digits
// of the keys cost less than the comparisons of a sort (the candidate search sorts the
// residuals of every promising candidate, which dominates its time for large m).
constexpr size_t kRadixSortMinimum = 4096;

// Order-preserving key of a double: the sign bit flipped for positive values, all bits for
// negative ones, so that unsigned comparison of keys orders the values (-0 before +0).
std::uint64_t sortKey(double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  return (bits >> 63) != 0 ? ~bits : bits | 0x8000000000000000ull;
}

double fromSortKey(std::uint64_t key) {
  const std::uint64_t bits = (key >> 63) != 0 ? key & 0x7FFFFFFFFFFFFFFFull : ~key;
  double v = 0.0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// The least-median location of sorted values (KelLmsLocation after its sort).
double sortedLocation(const std::vector<double>& values);

// Ascending order of values without NaN. A digit shared by all keys needs no pass.
void sortValues(std::vector<double>& values) {
  const size_t m = values.size();
  if (m < kRadixSortMinimum) {
    std::sort(values.begin(), values.end());
    return;
  }
  std::vector<std::uint64_t> keys(m);
  std::vector<std::uint64_t> other(m);
  for (size_t i = 0; i < m; ++i) keys[i] = sortKey(values[i]);
  std::vector<size_t> count(65536);
  for (int shift = 0; shift < 64; shift += 16) {
    std::fill(count.begin(), count.end(), 0);
    for (std::uint64_t key : keys) ++count[(key >> shift) & 0xFFFF];
    if (count[(keys[0] >> shift) & 0xFFFF] == m) continue;
    size_t start = 0;
    for (size_t& c : count) {
      const size_t here = c;
      c = start;
      start += here;
    }
    for (std::uint64_t key : keys) other[count[(key >> shift) & 0xFFFF]++] = key;
    keys.swap(other);
  }
  for (size_t i = 0; i < m; ++i) values[i] = fromSortKey(keys[i]);
}

}  // namespace

double KelLmsLocation(std::vector<double>& values) {
  sortValues(values);
  return sortedLocation(values);
}

// The criterion at any location is at least the square of half the width of the narrowest h
// values (h as in the rejection test below): the h nearest values lie within its root. The
// tolerance keeps a candidate whose criterion would come out within rounding of the bound.
bool KelLmsLocationBelow(std::vector<double>& values, double bound, double* location) {
  sortValues(values);
  const int m = static_cast<int>(values.size());
  if (m > 0 && std::isfinite(bound)) {
    const int span = (m % 2 == 0 ? m / 2 : (m + 1) / 2) - 1;
    double narrowest = std::numeric_limits<double>::infinity();
    for (int i = 0; i + span < m; ++i)
      narrowest = std::min(narrowest,
                           values[static_cast<size_t>(i + span)] - values[static_cast<size_t>(i)]);
    if (narrowest > 2.0 * std::sqrt(bound) * (1.0 + 1e-6)) return false;
  }
  *location = sortedLocation(values);
  return true;
}

namespace {

double sortedLocation(const std::vector<double>& values) {
  const int m = static_cast<int>(values.size());
  if (m == 0) return 0.0;
  if (m % 2 == 1) {
    const int span = (m + 1) / 2 - 1;
    int best = 0;
    // Strictly shorter only: the first shortest interval wins.
    for (int i = 1; i + span < m; ++i)
      if (values[static_cast<size_t>(i + span)] - values[static_cast<size_t>(i)] <
          values[static_cast<size_t>(best + span)] - values[static_cast<size_t>(best)])
        best = i;
    return (values[static_cast<size_t>(best)] + values[static_cast<size_t>(best + span)]) / 2.0;
  }
  // Within a stretch where the same two values are the h-th and (h + 1)-th nearest, the
  // criterion is their mean square distance, least at their midpoint (they lie on both sides of
  // c, h ranks apart); the stretches end where two distances tie, at midpoints of values h - 1,
  // h or h + 1 ranks apart.
  const int h = m / 2;
  double bestValue = std::numeric_limits<double>::infinity();
  double bestLocation = values[0];
  for (int span = std::max(h - 1, 0); span <= std::min(h + 1, m - 1); ++span) {
    int window = 0;
    for (int i = 0; i + span < m; ++i) {
      const double c =
          (values[static_cast<size_t>(i)] + values[static_cast<size_t>(i + span)]) / 2.0;
      const double g = evenMedianOfSquares(values, c, &window);
      if (g < bestValue) {
        bestValue = g;
        bestLocation = c;
      }
    }
  }
  return bestLocation;
}

}  // namespace

bool KelLmsLocationCanBeBelow(const std::vector<double>& values, double bound,
                              std::vector<int>& counts) {
  const int m = static_cast<int>(values.size());
  if (m == 0 || !(bound > 0.0)) return false;
  if (!std::isfinite(bound)) return true;
  const int h = m % 2 == 0 ? m / 2 : (m + 1) / 2;
  double low = values[0];
  double high = values[0];
  for (double v : values) {
    if (!std::isfinite(v)) return true;  // left to the exact evaluation
    low = std::min(low, v);
    high = std::max(high, v);
  }
  const double range = high - low;
  const double width = 2.0 * std::sqrt(bound);
  if (!std::isfinite(range) || range < width) return true;
  // Bins of an eighth of the width: h values within less than the width lie in nine adjacent
  // bins, which span at most 9 / 8 of it (the test passes some candidates that the exact
  // location then rejects, after a sort: finer bins leave fewer of them). Wider bins keep their
  // number below 2 m + 2 and the rounding of the bin index far below one bin; with them fewer
  // candidates are rejected, never a wrong one.
  constexpr int binsPerWidth = 8;
  const double bin =
      std::max({width / binsPerWidth, range / (2.0 * m), 1e-9 * range}) * (1.0 + 1e-6);
  const int bins = static_cast<int>(range / bin) + 1;
  counts.assign(static_cast<size_t>(bins), 0);
  // The reciprocal's rounding moves an index by far less than the widening above.
  const double perBin = 1.0 / bin;
  for (double v : values)
    ++counts[static_cast<size_t>(std::min(bins - 1, static_cast<int>((v - low) * perBin)))];
  // Once more than m - h values lie before the window, no later window can hold h of them.
  int inWindow = 0;
  int before = 0;
  for (int i = 0; i < bins && before <= m - h; ++i) {
    inWindow += counts[static_cast<size_t>(i)];
    if (i > binsPerWidth) {
      const int leaving = counts[static_cast<size_t>(i - binsPerWidth - 1)];
      inWindow -= leaving;
      before += leaving;
    }
    if (inWindow >= h) return true;
  }
  return false;
}

namespace {

// Below this many values a selection over all of them costs about as much as the gathering.
constexpr size_t kNearMedianMinimum = 64;
constexpr double kNearMedianFactor = 1.3;

}  // namespace

// 0-based ranks: the upper middle value has rank m / 2, the lower one m / 2 - 1 for even m. Both
// lie among the gathered values when fewer than the lower rank lie below them and more than the
// upper rank lie below or among them; a NaN (no order) sends the values to the full selection.
double KelMedianNear(std::vector<double>& values, double guess, std::vector<double>& buffer) {
  const size_t m = values.size();
  if (m >= kNearMedianMinimum && guess > 0.0 && std::isfinite(guess)) {
    const size_t upper = m / 2;
    const size_t lower = m % 2 == 0 ? upper - 1 : upper;
    const double low = guess / kNearMedianFactor;
    const double high = guess * kNearMedianFactor;
    size_t below = 0;
    bool ordered = true;
    buffer.clear();
    for (double v : values) {
      if (v < low) {
        ++below;
      } else if (v <= high) {
        buffer.push_back(v);
      } else if (!(v > high)) {
        ordered = false;
        break;
      }
    }
    if (ordered && below <= lower && below + buffer.size() > upper) {
      const auto middle = buffer.begin() + static_cast<std::ptrdiff_t>(upper - below);
      std::nth_element(buffer.begin(), middle, buffer.end());
      if (m % 2 == 1) return *middle;
      // Everything before the selected value is not greater: the lower middle is their largest.
      const double lowerMiddle = *std::max_element(buffer.begin(), middle);
      return (lowerMiddle + *middle) / 2.0;
    }
  }
  return kel_median::MedianInPlace(values);
}
