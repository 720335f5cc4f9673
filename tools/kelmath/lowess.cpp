// LOWESS after Cleveland (1979), "Robust locally weighted regression and smoothing
// scatterplots", with the choices of R's lowess(): the neighbourhood of floor(span n) points,
// tricube distance weights cut at 0.999 h (1 inside 0.001 h), the slope dropped when the
// weighted spread of x is below 0.001 of the range of x, bisquare robustness weights scaled by
// six times the median absolute residual, and interpolation over steps below delta.
// Internally 0-based.
#include "lowess.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kelmath_cli {

namespace {

double Cube(double v) {
  return v * v * v;
}

struct Smoother {
  std::vector<double> x;  // sorted
  std::vector<double> y;
  std::vector<double> robustness;  // 1 in the first pass
  std::vector<double> weights;     // scratch
  double range = 0.0;
  bool robust = false;

  // The local line's value at x[i] from the points left..right; false when every weight
  // vanishes (all neighbours discounted as outliers).
  bool FitAt(size_t i, size_t left, size_t right, double* value) {
    const size_t n = x.size();
    const double xs = x[i];
    const double h = std::max(xs - x[left], x[right] - xs);
    const double far = 0.999 * h;
    const double near = 0.001 * h;
    double total = 0.0;
    size_t j = left;
    // Ties beyond the right end of the neighbourhood at the same distance take part too.
    for (; j < n; ++j) {
      weights[j] = 0.0;
      const double r = std::fabs(x[j] - xs);
      if (r <= far) {
        weights[j] = r <= near ? 1.0 : Cube(1.0 - Cube(r / h));
        if (robust) weights[j] *= robustness[j];
        total += weights[j];
      } else if (x[j] > xs) {
        break;
      }
    }
    const size_t end = j;
    if (total <= 0.0) return false;
    for (j = left; j < end; ++j) weights[j] /= total;
    if (h > 0.0) {
      double mean = 0.0;
      for (j = left; j < end; ++j) mean += weights[j] * x[j];
      double slope = xs - mean;
      double spread = 0.0;
      for (j = left; j < end; ++j) spread += weights[j] * (x[j] - mean) * (x[j] - mean);
      // A neighbourhood of (nearly) one x has no slope to fit: the weighted mean is taken.
      if (std::sqrt(spread) > 0.001 * range) {
        slope /= spread;
        for (j = left; j < end; ++j) weights[j] *= slope * (x[j] - mean) + 1.0;
      }
    }
    double sum = 0.0;
    for (j = left; j < end; ++j) sum += weights[j] * y[j];
    *value = sum;
    return true;
  }

  // One pass over all points: fits at points spaced more than delta apart, linear
  // interpolation between them, and equal values at equal x.
  void Pass(size_t span, double delta, std::vector<double>& fitted) {
    const size_t n = x.size();
    size_t left = 0, right = span - 1, i = 0;
    size_t last = 0;
    bool any = false;
    for (;;) {
      // Slide the neighbourhood right while its far end is nearer than its near end.
      while (right < n - 1 && x[i] - x[left] > x[right + 1] - x[i]) {
        ++left;
        ++right;
      }
      if (!FitAt(i, left, right, &fitted[i])) fitted[i] = y[i];
      if (any && last + 1 < i) {
        const double width = x[i] - x[last];
        for (size_t j = last + 1; j < i; ++j) {
          const double alpha = (x[j] - x[last]) / width;
          fitted[j] = alpha * fitted[i] + (1.0 - alpha) * fitted[last];
        }
      }
      last = i;
      any = true;
      const double cut = x[last] + delta;
      for (i = last + 1; i < n; ++i) {
        if (x[i] > cut) break;
        if (x[i] == x[last]) {
          fitted[i] = fitted[last];
          last = i;
        }
      }
      i = std::max(last + 1, i - 1);
      if (last >= n - 1) break;
    }
  }

  // Bisquare weights from the residuals; false when the residuals are all (nearly) zero.
  bool Reweight(const std::vector<double>& fitted) {
    const size_t n = x.size();
    std::vector<double> absolute(n);
    double meanAbsolute = 0.0;
    for (size_t i = 0; i < n; ++i) {
      absolute[i] = std::fabs(y[i] - fitted[i]);
      meanAbsolute += absolute[i] / static_cast<double>(n);
    }
    std::vector<double> sorted = absolute;
    std::sort(sorted.begin(), sorted.end());
    const size_t m = n / 2;
    const double scale = n % 2 == 0 ? 3.0 * (sorted[m] + sorted[m - 1]) : 6.0 * sorted[m];
    if (scale < 1e-7 * meanAbsolute) return false;
    for (size_t i = 0; i < n; ++i) {
      const double r = absolute[i];
      robustness[i] = r <= 0.001 * scale ? 1.0
                      : r <= 0.999 * scale
                          ? (1.0 - (r / scale) * (r / scale)) * (1.0 - (r / scale) * (r / scale))
                          : 0.0;
    }
    return true;
  }
};

}  // namespace

std::vector<SmoothedPoint> Lowess(const std::vector<double>& x, const std::vector<double>& y,
                                  double span, int iterations) {
  const size_t n = x.size();
  if (n == 0) return {};
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return x[a] < x[b]; });
  Smoother s;
  for (const size_t k : order) {
    s.x.push_back(x[k]);
    s.y.push_back(y[k]);
  }
  std::vector<double> fitted(s.y);
  if (n >= 2) {
    s.robustness.assign(n, 1.0);
    s.weights.assign(n, 0.0);
    s.range = s.x[n - 1] - s.x[0];
    const size_t points = static_cast<size_t>(span * static_cast<double>(n) + 1e-7);
    const size_t neighbourhood = std::min(n, std::max<size_t>(2, points));
    for (int pass = 0; pass <= iterations; ++pass) {
      s.robust = pass > 0;
      s.Pass(neighbourhood, 0.01 * s.range, fitted);
      if (pass == iterations || !s.Reweight(fitted)) break;
    }
  }
  std::vector<SmoothedPoint> curve(n);
  for (size_t i = 0; i < n; ++i) curve[i] = {s.x[i], fitted[i]};
  return curve;
}

}  // namespace kelmath_cli
