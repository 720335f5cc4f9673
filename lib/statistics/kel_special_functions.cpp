// Integer powers, log-factorials and the discrete distributions (the log-gamma is in
// kel_log_gamma.cpp, the incomplete gamma and beta functions in kel_incomplete_gamma_beta.cpp).
#include "statistics/kel_special_functions.h"

#include <array>
#include <climits>
#include <cmath>
#include <numbers>

#include "foundation/kel_error_details.h"
#include "foundation/kel_output.h"
#include "statistics/kel_saddle_point.h"

namespace {

// Texts of the argument checks and of the warnings.
constexpr const char* errPowInt = "\n\nError!!!\nKelPowInt x^n with x == 0. and n <= 0";
constexpr const char* errLogFactorial = "KelLogFactorial requires positive argument";
constexpr const char* errBinomialNegative = "KelBinomial requires positive argument";
constexpr const char* errBinomialOrder = "KelBinomial(n,k) requires k <= n";
constexpr const char* warnBinomialP = "p must be 0 <= p <= 1.";
constexpr const char* warnPoissonK = "k < 0";
constexpr const char* warnPoissonT = "t >= lambda";
constexpr const char* warnPoissonPositive = "t and lambda must be > 0";

// x^n for 1 <= n <= 22 by few multiplications from the squares.
double powSmall(double x, int n) {
  // Few multiplications from the squares; the grouping is fixed, so results may differ in
  // the last bits from repeated multiplication.
  const double x2 = x * x;
  const double x4 = x2 * x2;
  const double x8 = x4 * x4;
  switch (n) {
    case 1:
      return x;
    case 2:
      return x2;
    case 3:
      return x * x2;
    case 4:
      return x4;
    case 5:
      return x * x4;
    case 6:
      return x2 * x4;
    case 7:
      return x * x2 * x4;
    case 8:
      return x8;
    case 9:
      return x * x8;
    case 10:
      return x2 * x8;
    case 11:
      return x * x2 * x8;
    case 12: {
      const double x6 = x2 * x4;
      return x6 * x6;
    }
    case 13: {
      const double x6 = x2 * x4;
      return x * (x6 * x6);
    }
    case 14:
      return x2 * x4 * x8;
    case 15:
      return x * x2 * x4 * x8;
    case 16:
      return x8 * x8;
    case 17:
      return x * (x8 * x8);
    case 18: {
      const double x9 = x * x8;
      return x9 * x9;
    }
    case 19: {
      const double x9 = x * x8;
      return x * (x9 * x9);
    }
    case 20: {
      const double x10 = x2 * x8;
      return x10 * x10;
    }
    case 21: {
      const double x10 = x2 * x8;
      return x * (x10 * x10);
    }
    default: {  // 22
      const double x10 = x2 * x8;
      return x2 * (x10 * x10);
    }
  }
}

}  // namespace

double KelPowInt(double x, int n) {
  if (n <= 0) {
    if (x == 0.0)
      KelError("%s\n%s, %s", errPowInt, KelValueDetail("x", x).c_str(),
               KelValueDetail("n", n).c_str());
    if (n == 0) return 1.0;
    // -INT_MIN does not exist as an int: split off one factor first.
    if (n == INT_MIN) return 1.0 / (KelPowInt(x, INT_MAX) * x);
    return 1.0 / KelPowInt(x, -n);
  }
  if (n <= 22) return powSmall(x, n);
  double r = 1.0;
  for (;;) {
    if (n % 2 == 1) r *= x;
    if (n <= 1) break;
    n /= 2;
    x *= x;
  }
  return r;
}

double KelLogFactorial(int n) {
  if (n < 0) KelError("%s\n%s", errLogFactorial, KelValueDetail("n", n).c_str());
  if (n <= 1) return 0.0;
  if (n > 100) return KelLnGamma(n + 1.0);
  // Entries 2..100 of ln n!, filled once by the first call from any thread (the initialization
  // of a local static is thread-safe) and never written again, so concurrent calls only read.
  static const std::array<double, 101> table = [] {
    std::array<double, 101> values{};
    for (int k = 2; k <= 100; ++k) values[static_cast<size_t>(k)] = KelLnGamma(k + 1.0);
    return values;
  }();
  return table[static_cast<size_t>(n)];
}

double KelBinomial(int n, int k) {
  if (n < 0 || k < 0)
    KelError("%s\n%s, %s", errBinomialNegative, KelValueDetail("n", n).c_str(),
             KelValueDetail("k", k).c_str());
  if (k > n)
    KelError("%s\n%s, %s", errBinomialOrder, KelValueDetail("n", n).c_str(),
             KelValueDetail("k", k).c_str());
  // Rounded to the nearest integer: the log-factorials carry the log-gamma's small error.
  return std::floor(std::exp(KelLogFactorial(n) - KelLogFactorial(k) - KelLogFactorial(n - k)) +
                    0.5);
}

double KelBinomialProbability(int n, int k, double p) {
  if (p < 0.0 || p > 1.0) {
    KelWarning("%s", warnBinomialP);
    return 0.0;
  }
  if (n < 0 || k < 0)
    KelError("%s\n%s, %s", errBinomialNegative, KelValueDetail("n", n).c_str(),
             KelValueDetail("k", k).c_str());
  if (k > n)
    KelError("%s\n%s, %s", errBinomialOrder, KelValueDetail("n", n).c_str(),
             KelValueDetail("k", k).c_str());
  using kel_saddle_point::DevianceTerm;
  using kel_saddle_point::StirlingError;
  const double q = 1.0 - p;
  // A zero base with a zero exponent counts as 1: p = 0 and p = 1 are valid.
  if (p == 0.0) return k == 0 ? 1.0 : 0.0;
  if (q == 0.0) return k == n ? 1.0 : 0.0;
  const double trials = n;
  if (k == 0)
    return std::exp(p < 0.1 ? -DevianceTerm(trials, trials * q) - trials * p
                            : trials * std::log(q));
  if (k == n)
    return std::exp(q < 0.1 ? -DevianceTerm(trials, trials * p) - trials * q
                            : trials * std::log(p));
  const double successes = k;
  const double failures = trials - successes;
  const double logCore = StirlingError(trials) - StirlingError(successes) -
                         StirlingError(failures) - DevianceTerm(successes, trials * p) -
                         DevianceTerm(failures, trials * q);
  // ln(2 pi k (n - k) / n), with (n - k)/n as 1 - k/n.
  const double logSpread =
      std::log(2.0 * std::numbers::pi * successes) + std::log1p(-successes / trials);
  return std::exp(logCore - 0.5 * logSpread);
}

double KelPoissonProbability(double lambda, double t, int k) {
  if (k < 0) {
    KelWarning("%s", warnPoissonK);
    return 0.0;
  }
  if (t > lambda) {
    KelWarning("%s", warnPoissonT);
    return 0.0;
  }
  if (lambda <= 0.0 || t <= 0.0) {
    KelWarning("%s", warnPoissonPositive);
    return 0.0;
  }
  const double mean = lambda * t;
  if (k == 0) return std::exp(-mean);
  const double count = k;
  return std::exp(-kel_saddle_point::StirlingError(count) -
                  kel_saddle_point::DevianceTerm(count, mean)) /
         std::sqrt(2.0 * std::numbers::pi * count);
}
