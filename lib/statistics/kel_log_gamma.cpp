// ln Gamma(x) to full double precision: a Taylor series about 2 on [1/2, 5/2] (reached from
// (0, 1/2) by Gamma(x) = Gamma(x + 2) / (x (x + 1)) and from [5/2, 10) by the recurrence), and
// Stirling's series from 10 on.
#include <cmath>
#include <iterator>
#include <limits>

#include "statistics/kel_special_functions.h"

namespace {

// (-1)^k (zeta(k) - 1)/k for k = 2..27: ln Gamma(2 + t) = (1 - Euler's gamma) t + sum over k of
// these times t^k, for |t| < 2. The k-th term is below 4^-k/k for |t| <= 1/2, so 26 terms leave
// less than 1e-17. (zeta(k) - 1 to 20 digits.)
constexpr double kTwoSeries[] = {
    0.32246703342411321824,    -0.067352301053198095133,   0.020580808427784547879,
    -0.0073855510286739852663, 0.0028905103307415232858,   -0.0011927539117032609771,
    0.00050966952474304242234, -0.00022315475845357937976, 0.000099457512781808533715,
    -0.0000449262367381331417, 0.000020507212775670691553, -9.439488275268395904e-6,
    4.3748667899074878042e-6,  -2.0392157538013662368e-6,  9.5514121304074198329e-7,
    -4.4924691987645660433e-7, 2.1207184805554665869e-7,   -1.0043224823968099609e-7,
    4.7698101693639805658e-8,  -2.271109460894316491e-8,   1.0838659214896954091e-8,
    -5.1834750419700466551e-9, 2.4836745438024783172e-9,   -1.1921401405860912074e-9,
    5.7313672416788620133e-10, -2.7595228851242331452e-10};
constexpr double kOneMinusEuler = 0.42278433509846713939;
constexpr double kHalfLogTwoPi = 0.91893853320467274178;
// From here Stirling's series with the eight terms below: the first omitted one,
// B18 / (18 17 x^17), is below 2e-18.
constexpr double kStirlingFrom = 10.0;

// ln Gamma(2 + t) for |t| <= 1/2. The factor t in front keeps the relative accuracy as t -> 0,
// at the root x = 2.
double logGammaTwoPlus(double t) {
  double sum = 0.0;
  for (auto c = std::rbegin(kTwoSeries); c != std::rend(kTwoSeries); ++c) sum = sum * t + *c;
  return t * (kOneMinusEuler + t * sum);
}

// ln Gamma(x) for x >= 10: (x - 1/2) ln x - x + ln(2 pi)/2 + sum of B2k / (2k (2k - 1) x^(2k-1)).
// Past about 2.5e305 the result overflows to +infinity, as ln Gamma does.
double logGammaStirling(double x) {
  const double r = 1.0 / x;
  const double r2 = r * r;  // 0 for x above 1e154: the tail is then far below one ulp
  const double tail =
      r * (1.0 / 12.0 +
           r2 * (-1.0 / 360.0 +
                 r2 * (1.0 / 1260.0 +
                       r2 * (-1.0 / 1680.0 +
                             r2 * (1.0 / 1188.0 +
                                   r2 * (-691.0 / 360360.0 +
                                         r2 * (1.0 / 156.0 + r2 * (-3617.0 / 122400.0))))))));
  return (x - 0.5) * std::log(x) - x + kHalfLogTwoPi + tail;
}

}  // namespace

double KelLnGamma(double x) {
  if (!(x > 0.0)) {
    return x == 0.0 ? std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::quiet_NaN();
  }
  // Near the roots 1 and 2 the argument of the series is x - 1 or x - 2, exact in floating
  // point, and ln x = log1p(x - 1) there; for tiny x, -ln x carries the result (subnormal x too).
  if (x < 0.5) return logGammaTwoPlus(x) - std::log1p(x) - std::log(x);
  if (x < 1.5) return logGammaTwoPlus(x - 1.0) - std::log1p(x - 1.0);
  if (x <= 2.5) return logGammaTwoPlus(x - 2.0);
  if (x < kStirlingFrom) {
    // Gamma(x) = (x - 1) ... (y) Gamma(y) with y in (1.5, 2.5]; every y is exact, the product
    // of at most eight factors loses at most eight roundings.
    double y = x;
    double product = 1.0;
    while (y > 2.5) {
      y -= 1.0;
      product *= y;
    }
    return logGammaTwoPlus(y - 2.0) + std::log(product);
  }
  return logGammaStirling(x);
}
