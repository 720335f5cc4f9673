// The built-in data sets of regression_plots: matrices row by row, vectors element by element.
// Kept in a header of inline functions so that the tests can check the data against values
// computed elsewhere.
#ifndef KELMATH_DEMOS_REGRESSION_PLOTS_DATA_H
#define KELMATH_DEMOS_REGRESSION_PLOTS_DATA_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kelmath.h"

namespace regression_plots {

// Rows (1, k) for k = 1..6.
inline KelMatrix MakeX6() {
  KelMatrix X(6, 2);
  for (int k = 1; k <= 6; ++k) {
    X(k, 1) = 1.0;
    X(k, 2) = k;
  }
  return X;
}

inline KelVector MakeY6() {
  return KelVector(6, 12.6225, 11.9095, 11.4522, 10.4553, 9.8861, 9.5247);
}

inline KelVector MakeX12() {
  return KelVector(12, 110.87, 107.14, 104.12, 101.98, 103.01, 104.89, 106.02, 107.96, 109.08,
                   110.14, 101.12, 112.04);
}

inline KelVector MakeY12() {
  return KelVector(12, 6.7596, 9.0492, 10.4553, 11.9095, 11.4522, 9.8861, 9.5247, 8.1732, 7.5921,
                   7.4424, 12.6225, 6.0732);
}

// 0.0, 0.1, ..., 1.0, each the double nearest to its decimal (i / 10, not an accumulated sum).
inline KelVector MakeX11() {
  KelVector x(11);
  for (int i = 1; i <= 11; ++i) x(i) = (i - 1) / 10.0;
  return x;
}

inline KelVector MakeY11() {
  return KelVector(11, 2.5002, 2.5576, 2.5768, 2.5672, 2.5384, 2.5010, 2.4616, 2.4328, 2.4232,
                   2.4424, 2.4999);
}

// Two nearly collinear columns.
inline KelMatrix MakeXc() {
  return KelMatrix(11, 2, 2.0, 4.95, 2.1, 5.21, 2.2, 5.39, 2.3, 5.61, 2.4, 5.79, 2.5, 6.01, 2.6,
                   6.19, 2.7, 6.41, 2.8, 6.59, 2.9, 6.81, 2.0, 4.8);
}

// Three gross outliers, experiments 5, 7 and 9.
inline KelVector MakeYc() {
  return KelVector(11, 7.0, 7.3, 7.6, 7.9, 58.2, 8.5, 58.8, 9.1, 59.4, 9.7, 6.9);
}

// v to four significant digits, a half rounded away from zero, so that 15^4 = 50625 becomes
// 50630 (round-half-to-even would give 50620). The decision is made on the decimal expansion of
// the double, not on a scaled product whose own rounding could create or break a tie: a double
// that is not exactly a four-digit half lies far further from one than the 26th digit, so the
// expansion to 26 digits decides exactly. The four digits are then read back as a decimal, which
// gives the double nearest to it (-121.0, 0.8415, 1.105).
inline double RoundToFourSignificantDigits(double v) {
  if (v == 0.0 || !std::isfinite(v)) return v;
  char expansion[64];  // "d.ddd...de+XX"
  std::snprintf(expansion, sizeof expansion, "%.25e", std::fabs(v));
  int digits = (expansion[0] - '0') * 1000 + (expansion[2] - '0') * 100 +
               (expansion[3] - '0') * 10 + (expansion[4] - '0');
  int exponent = std::atoi(std::strchr(expansion, 'e') + 1);
  if (expansion[5] >= '5') ++digits;  // a half and anything above it
  if (digits == 10000) {
    digits = 1000;
    ++exponent;
  }
  char decimal[32];
  std::snprintf(decimal, sizeof decimal, "%de%d", digits, exponent - 3);
  return std::copysign(std::strtod(decimal, nullptr), v);
}

// 20 x 9: for x = 1..20 the columns 1, x, x^2, x^3, x^4, x^2 sin x, e^(x/10), ln x, sqrt x, each
// to four significant digits.
inline KelMatrix MakeX20() {
  KelMatrix X(20, 9);
  for (int i = 1; i <= 20; ++i) {
    const double x = i;
    const double columns[9] = {1.0,
                               x,
                               x * x,
                               x * x * x,
                               x * x * x * x,
                               x * x * std::sin(x),
                               std::exp(x / 10.0),
                               std::log(x),
                               std::sqrt(x)};
    for (int j = 1; j <= 9; ++j) X(i, j) = RoundToFourSignificantDigits(columns[j - 1]);
  }
  return X;
}

inline KelVector MakeY20() {
  return KelVector(20, 9.4318, 11.756, 16.766, 26.419, 41.333, 63.821, 94.357, 135.5, 187.58, 252.4,
                   331.65, 426.69, 538.35, 668.96, 819.0, 991.03, 1185.4, 1404.0, 1648.5, 1920.0);
}

// 7 x 5 holding 1, 2, ..., 35 row by row: every row is an arithmetic progression, so the rank
// is 2.
inline KelMatrix MakeX7() {
  KelMatrix X(7, 5);
  for (int i = 1; i <= 7; ++i)
    for (int j = 1; j <= 5; ++j) X(i, j) = 5 * (i - 1) + j;
  return X;
}

inline KelVector MakeY7() {
  return KelVector(7, 15.02, 39.8, 65.03, 89.95, 115.03, 140.01, 164.95);
}

}  // namespace regression_plots

#endif
