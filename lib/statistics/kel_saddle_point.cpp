#include "statistics/kel_saddle_point.h"

#include <cmath>
#include <numbers>

#include "statistics/kel_special_functions.h"

namespace kel_saddle_point {

double StirlingError(double n) {
  if (n <= 15.0) {
    // Small n: the difference of modest numbers loses nothing that matters here.
    return KelLnGamma(n + 1.0) - (n + 0.5) * std::log(n) + n -
           0.5 * std::log(2.0 * std::numbers::pi);
  }
  // Large n: the asymptotic series 1/(12n) - 1/(360n^3) + 1/(1260n^5) - 1/(1680n^7)
  // + 1/(1188n^9), whose next term is below 1e-17 from n = 15 on.
  const double inverseSquare = 1.0 / (n * n);
  return (1.0 / 12.0 -
          (1.0 / 360.0 - (1.0 / 1260.0 - (1.0 / 1680.0 - inverseSquare / 1188.0) * inverseSquare) *
                             inverseSquare) *
              inverseSquare) /
         n;
}

double DevianceTerm(double x, double m) {
  if (std::fabs(x - m) < 0.1 * (x + m)) {
    // With v = (x - m)/(x + m): x ln(x/m) + m - x = (x - m) v + 2x (v^3/3 + v^5/5 + ...), a
    // series of positive terms that converges fast for |v| < 0.1.
    const double v = (x - m) / (x + m);
    const double v2 = v * v;
    double sum = (x - m) * v;
    double power = 2.0 * x * v;
    for (int j = 1; j < 1000; ++j) {
      power *= v2;
      const double next = sum + power / (2 * j + 1);
      if (next == sum) return next;
      sum = next;
    }
    return sum;
  }
  return x * std::log(x / m) + m - x;
}

}  // namespace kel_saddle_point
