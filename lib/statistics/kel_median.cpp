// Exact and triple-reduced medians without a full sort.
#include "statistics/kel_median.h"

#include <algorithm>
#include <limits>

namespace {

// Above this many values the fast median reduces the sample by triples.
constexpr size_t kFastMedianExactLimit = 30000;

double middleOfThree(double a, double b, double c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

}  // namespace

double kel_median::MedianInPlace(std::vector<double>& values) {
  const size_t n = values.size();
  if (n == 0) return std::numeric_limits<double>::quiet_NaN();
  // 0-based here: the upper middle value s_(n/2+1) sits at index n/2 once selected.
  const auto upper = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(values.begin(), upper, values.end());
  if (n % 2 == 1) return *upper;
  // Everything before the selected element is not greater than it, so the lower middle value
  // is the largest of that part: the exact rule without sorting.
  const double lower = *std::max_element(values.begin(), upper);
  return (lower + *upper) / 2.0;
}

double kel_median::FastMedianInPlace(std::vector<double>& values) {
  while (values.size() > kFastMedianExactLimit) {
    // 0-based: triple g covers indices 3g, 3g+1, 3g+2; the reduced values are written over the
    // front of the same array, which the loop has already read.
    const size_t triples = values.size() / 3;
    const size_t rest = values.size() % 3;
    for (size_t g = 0; g < triples; ++g) {
      values[g] = middleOfThree(values[3 * g], values[3 * g + 1], values[3 * g + 2]);
    }
    for (size_t r = 0; r < rest; ++r) values[triples + r] = values[3 * triples + r];
    values.resize(triples + rest);
  }
  return MedianInPlace(values);
}
