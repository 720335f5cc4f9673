// Pieces of the saddle-point form of the binomial and Poisson mass functions, which stays
// accurate to a few units of 1e-15 where the direct product of powers and factorials overflows,
// underflows or cancels (counts and means up to 10^6 and beyond).
//
//   Poisson:  P(k; mu) = exp(-StirlingError(k) - DevianceTerm(k, mu)) / sqrt(2 pi k),  k >= 1.
//   Binomial: P(k; n, p) = exp(StirlingError(n) - StirlingError(k) - StirlingError(n - k)
//                              - DevianceTerm(k, n p) - DevianceTerm(n - k, n q))
//                          * sqrt(n / (2 pi k (n - k))),                               0 < k < n.
#ifndef KELMATH_KEL_SADDLE_POINT_H
#define KELMATH_KEL_SADDLE_POINT_H

namespace kel_saddle_point {

// ln n! - [(n + 1/2) ln n - n + ln sqrt(2 pi)], the error of Stirling's formula, for n >= 1.
double StirlingError(double n);
// x ln(x / m) + m - x >= 0, formed without the cancellation of its terms when x is close to m.
double DevianceTerm(double x, double m);

}  // namespace kel_saddle_point

#endif
