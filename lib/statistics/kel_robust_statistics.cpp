// MAD, shortest half, trimmed scale and the outlier-rejecting mean and variance.
#include "statistics/kel_robust_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "foundation/kel_constants.h"
#include "foundation/kel_output.h"
#include "statistics/kel_descriptive_statistics.h"
#include "statistics/kel_median.h"
#include "statistics/kel_special_functions.h"

namespace {

// Makes the MAD a consistent estimate of the standard deviation of normal data.
constexpr double kMadConsistency = 1.4826;
// Distance, in standard deviations of the others, beyond which an element is an outlier.
constexpr double kOutlierThreshold = 2.5;
constexpr const char* errCleverCandidates = "TODO";

std::vector<double> copyOf(const KelVector& x) {
  const double* data = x.Data();
  return data == nullptr ? std::vector<double>() : std::vector<double>(data, data + x.Size());
}

// The k most extreme values on one side of a sample, most extreme first, with their 1-based
// positions. A new value goes before the first entry that it equals or passes, so among equal
// values the later one comes first.
class CandidateList {
 public:
  // descending: the largest values (the list starts filled with -big), else the smallest.
  CandidateList(int k, bool descending)
      : values(static_cast<size_t>(k), descending ? -kelBigValue : kelBigValue),
        positions(static_cast<size_t>(k), 0),
        largest(descending) {}

  void Offer(double v, int position) {
    const size_t k = values.size();
    if (k == 0 || !Reaches(v, values[k - 1])) return;  // most values stop here: linear pass
    size_t slot = k - 1;
    while (slot > 0 && Reaches(v, values[slot - 1])) {
      values[slot] = values[slot - 1];
      positions[slot] = positions[slot - 1];
      --slot;
    }
    values[slot] = v;
    positions[slot] = position;
  }

  int Size() const { return static_cast<int>(values.size()); }
  // Entry j, 1-based.
  double Value(int j) const { return values[static_cast<size_t>(j - 1)]; }
  int Position(int j) const { return positions[static_cast<size_t>(j - 1)]; }

 private:
  bool Reaches(double v, double entry) const { return largest ? v >= entry : v <= entry; }

  std::vector<double> values;
  std::vector<int> positions;
  bool largest;
};

// One attempt with k candidates per side. Returns false when a list was used up before a
// candidate was kept; otherwise sets mean and variance of the elements kept.
bool cleverAttempt(const KelVector& x, int k, double* mean, double* variance,
                   KelVectorInt& outlierIndices, KelVector& outlierValues) {
  const int n = x.Size();
  const double* data = x.Data();
  CandidateList large(k, true);
  CandidateList small(k, false);
  // The sums are kept in extended precision: elements are later removed by subtraction, and a
  // large rejected value must not leave its rounding error in the variance of the rest.
  long double total = 0.0L;
  long double squares = 0.0L;
  for (int i = 0; i < n; ++i) {
    const double v = data[i];
    large.Offer(v, i + 1);
    small.Offer(v, i + 1);
    total += v;
    squares += static_cast<long double>(v) * v;
  }
  long double q = n;
  int nextSmall = 1;
  int nextLarge = 1;
  for (;;) {
    const long double m = total / q;
    if (nextSmall > k || nextLarge > k) return false;
    const long double s = small.Value(nextSmall);
    const long double l = large.Value(nextLarge);
    // Ties go to the small side.
    const bool takeSmall = std::fabs(m - s) >= std::fabs(m - l);
    const long double t = takeSmall ? s : l;
    const long double u = (total - t) / (q - 1);
    const long double v = (squares + q * u * u - 2 * total * u - (t - u) * (t - u)) / (q - 2);
    // v is a difference of sums and may come out a rounding error below 0 when the others are
    // all equal; and a candidate equal to them must not count as an outlier because its mean
    // differs from them in the last bits.
    const long double spread = kOutlierThreshold * std::sqrt(std::max(v, 0.0L));
    const long double rounding = (64 * std::numeric_limits<double>::epsilon() +
                                  4 * q * std::numeric_limits<long double>::epsilon()) *
                                 std::max(std::fabs(u), std::fabs(t));
    if (spread + rounding >= std::fabs(u - t)) {
      const long double w = total / q;
      *mean = static_cast<double>(w);
      *variance = static_cast<double>((squares + q * w * w - 2 * total * w) / (q - 1));
      return true;
    }
    const int position = takeSmall ? small.Position(nextSmall) : large.Position(nextLarge);
    outlierIndices.Append(position);
    outlierValues.Append(static_cast<double>(t));
    total -= t;
    squares -= t * t;
    q -= 1;
    if (takeSmall) {
      ++nextSmall;
    } else {
      ++nextLarge;
    }
  }
}

}  // namespace

double KelMad(const KelVector& x, double c) {
  std::vector<double> deviations = copyOf(x);
  for (double& d : deviations) d = std::fabs(d - c);
  return kMadConsistency * kel_median::FastMedianInPlace(deviations);
}

double KelMad(const KelVector& x) {
  return KelMad(x, KelFastMedian(x));
}

double KelMad2(const KelVector& x) {
  const double scale = KelMad(x) / KelUnbiasingFactor(x.Size());
  return scale * scale;
}

double KelUnbiasingFactor(int n) {
  if (n < 1) return std::numeric_limits<double>::quiet_NaN();
  if (n == 1) return 1.0;
  const double gammaRatio = std::exp(KelLnGamma(0.5 * n) - KelLnGamma(0.5 * (n - 1)));
  return 1.0 / (std::sqrt(2.0 / (n - 1)) * gammaRatio);
}

double KelShortestHalfMidpoint(const KelVector& x) {
  const int n = x.Size();
  if (n < 1) return 0.0;
  const double* data = x.Data();
  if (n == 1) return data[0];
  if (n == 2) return (data[0] + data[1]) / 2.0;
  std::vector<double> s = copyOf(x);
  std::sort(s.begin(), s.end());
  // 0-based from here: s[i] is the sorted value s_(i+1).
  if (n == 3) {
    return s[1] - s[0] <= s[2] - s[1] ? (s[0] + s[1]) / 2.0 : (s[1] + s[2]) / 2.0;
  }
  const int h = n / 2;
  // Every interval of h + 1 consecutive values, the top one included for odd n (n - h of them;
  // stopping after h would ignore the top half of an odd sample). The first interval starts the
  // search, so widths of any size compare (no sentinel value to exceed).
  int k = 0;
  double best = s[h] - s[0];
  for (int i = 1; i < n - h; ++i) {
    // Strictly shorter only: the first shortest interval wins.
    if (s[i + h] - s[i] < best) {
      best = s[i + h] - s[i];
      k = i;
    }
  }
  return (s[k] + s[k + h]) / 2.0;
}

double KelTrimmedScale(const KelVector& x, int h, double c) {
  const int n = x.Size();
  const int hUsed = std::min(h, n);
  std::vector<double> d = copyOf(x);
  for (double& v : d) v = (v - c) * (v - c);
  std::sort(d.begin(), d.end());
  double sum = 0.0;
  int i = 1;  // 1-based position of the last squared deviation summed, plus one if none stopped
  for (; i <= n; ++i) {
    sum += d[static_cast<size_t>(i - 1)];
    // Zero deviations carry no scale: keep summing until a non-zero one is included.
    if (i >= hUsed && d[static_cast<size_t>(i - 1)] > 0.0) break;
  }
  const double f = static_cast<double>(i) / n;
  return std::sqrt(sum / (i - 1)) * ((f - 0.5) * 2.0 - (f - 1.0) * 7.0);
}

KelVector ResidualsRobustDeviate(const KelVector& x) {
  const double median = KelFastMedian(x);
  return KelStandardize(x, median, KelMad(x, median));
}

void GetCleverMeanVarianceOutliers(const KelVector& x, double* mean, double* variance,
                                   KelVectorInt& outlierIndices, KelVector& outlierValues) {
  int k = 4;
  for (int attempt = 1; attempt <= 3; ++attempt, k *= 5) {
    outlierIndices.Resize(0);
    outlierValues.Resize(0);
    // Never more than a third of the sample per side.
    k = std::min(k, x.Size() / 3);
    if (cleverAttempt(x, k, mean, variance, outlierIndices, outlierValues)) return;
  }
  KelError("%s", errCleverCandidates);
}

double GetCleverVariance(const KelVector& x) {
  double mean = 0.0;
  double variance = 0.0;
  KelVectorInt indices;
  KelVector values;
  GetCleverMeanVarianceOutliers(x, &mean, &variance, indices, values);
  return variance;
}
