// Log-gamma, incomplete gamma and beta functions, integer powers and the discrete distributions.
#include "kel_special_functions.h"

#include <array>
#include <climits>
#include <cmath>
#include <numbers>

#include "kel_output.h"
#include "kel_saddle_point.h"

namespace {

constexpr int maxIterations = 1000;
constexpr double relativeAccuracy = 3e-7;

// Texts of the argument checks and of the non-convergence warnings.
constexpr const char* errSerieNegativeX = "x less then 0 in function KelGammaSerie";
constexpr const char* errSerieNonPositiveA = "a must be positive in function KelGammaSerie";
constexpr const char* errGammaP = "Invalid argument in KelIncompleteGammaP function";
constexpr const char* errGammaQ = "Invalid argument in KelIncompleteGammaQ function";
constexpr const char* errBetaA = "Bad a in function KelIncompleteBeta";
constexpr const char* errBetaB = "Bad b in function KelIncompleteBeta";
constexpr const char* errBetaX = "Bad x in function KelIncompleteBeta";
constexpr const char* errPowInt = "\n\nError!!!\nKelPowInt x^n with x == 0. and n <= 0";
constexpr const char* errLogFactorial = "KelLogFactorial requires positive argument";
constexpr const char* errBinomialNegative = "KelBinomial requires positive argument";
constexpr const char* errBinomialOrder = "KelBinomial(n,k) requires k <= n";
constexpr const char* warnSerie =
    "Either the value of a is too large or is ITMAX to small in function KelGammaSerie";
constexpr const char* warnContinueFractions =
    "Either the value of a is too large or ITMAX is to small in function "
    "KelGammaContinueFractions";
constexpr const char* warnBeta =
    "a or b too big or is ITMAX to small in function KelBetaContinuedFractions";
constexpr const char* warnBinomialP = "p must be 0 <= p <= 1.";
constexpr const char* warnPoissonK = "k < 0";
constexpr const char* warnPoissonT = "t >= lambda";
constexpr const char* warnPoissonPositive = "t and lambda must be > 0";

// Entries 2..100 of ln n!, 0 until first asked for.
std::array<double, 101> logFactorialCache{};

}  // namespace

double KelLnGamma(double x) {
  static constexpr double coefficients[6] = {76.18009173,  -86.50532033,   24.01409822,
                                             -1.231739516, 0.120858003e-2, -0.536382e-5};
  double y = x - 1.0;
  double t = y + 5.5;
  t -= (y + 0.5) * std::log(t);
  double s = 1.0;
  for (double c : coefficients) {
    y += 1.0;
    s += c / y;
  }
  return std::log(2.50662827465 * s) - t;
}

void KelGammaSerie(double* result, double a, double x, double* lnGammaA) {
  *lnGammaA = KelLnGamma(a);
  if (x < 0.0) KelError("%s", errSerieNegativeX);
  if (x == 0.0) {
    *result = 0.0;
    return;
  }
  if (a <= 0.0) KelError("%s", errSerieNonPositiveA);
  double ap = a;
  double del = 1.0 / a;
  double sum = del;
  const double factor = std::exp(-x + a * std::log(x) - *lnGammaA);
  for (int n = 1; n <= maxIterations; ++n) {
    ap += 1.0;
    del *= x / ap;
    sum += del;
    if (std::fabs(del) < std::fabs(sum) * relativeAccuracy) {
      *result = sum * factor;
      return;
    }
  }
  KelWarning("%s", warnSerie);
  *result = sum * factor;
}

void KelGammaContinueFractions(double* result, double a, double x, double* lnGammaA) {
  *lnGammaA = KelLnGamma(a);
  double gOld = 0.0;
  double g = 0.0;
  double a0 = 1.0;
  double a1 = x;
  double b0 = 0.0;
  double b1 = 1.0;
  double fac = 1.0;
  const double factor = std::exp(-x + a * std::log(x) - *lnGammaA);
  for (int n = 1; n <= maxIterations; ++n) {
    const double ana = n - a;
    a0 = (a1 + a0 * ana) * fac;
    b0 = (b1 + b0 * ana) * fac;
    const double anf = n * fac;
    a1 = x * a0 + anf * a1;
    b1 = x * b0 + anf * b1;
    // The convergents are renormalised by a1 at every step so that they cannot overflow.
    if (a1 != 0.0) {
      fac = 1.0 / a1;
      g = b1 * fac;
      if (std::fabs((g - gOld) / g) < relativeAccuracy) {
        *result = factor * g;
        return;
      }
      gOld = g;
    }
  }
  KelWarning("%s", warnContinueFractions);
  *result = factor * g;
}

double KelIncompleteGammaP(double a, double x) {
  if (x < 0.0 || a <= 0.0) KelError("%s", errGammaP);
  double value = 0.0;
  double lnGammaA = 0.0;
  // The series converges fast below a + 1, the continued fraction above.
  if (x < a + 1.0) {
    KelGammaSerie(&value, a, x, &lnGammaA);
    return value;
  }
  KelGammaContinueFractions(&value, a, x, &lnGammaA);
  return 1.0 - value;
}

double KelIncompleteGammaQ(double a, double x) {
  if (x < 0.0 || a <= 0.0) KelError("%s", errGammaQ);
  double value = 0.0;
  double lnGammaA = 0.0;
  if (x < a + 1.0) {
    KelGammaSerie(&value, a, x, &lnGammaA);
    return 1.0 - value;
  }
  KelGammaContinueFractions(&value, a, x, &lnGammaA);
  return value;
}

double KelIncompleteBeta(double a, double b, double x) {
  if (a <= 0.0) KelError("%s", errBetaA);
  if (b <= 0.0) KelError("%s", errBetaB);
  if (x < 0.0 || x > 1.0) KelError("%s", errBetaX);
  double bt = 0.0;
  if (x != 0.0 && x != 1.0) {
    bt = std::exp(KelLnGamma(a + b) - KelLnGamma(a) - KelLnGamma(b) + a * std::log(x) +
                  b * std::log(1.0 - x));
  }
  // The continued fraction converges fast below (a + 1)/(a + b + 2); above, the symmetry
  // I_x(a, b) = 1 - I_(1-x)(b, a) brings the argument back below it.
  if (x < (a + 1.0) / (a + b + 2.0)) return bt * KelBetaContinuedFractions(a, b, x) / a;
  return 1.0 - bt * KelBetaContinuedFractions(b, a, 1.0 - x) / b;
}

double KelBetaContinuedFractions(double a, double b, double x) {
  const double qab = a + b;
  const double qap = a + 1.0;
  const double qam = a - 1.0;
  double am = 1.0;
  double bm = 1.0;
  double az = 1.0;
  double bz = 1.0 - qab * x / qap;
  for (int m = 1; m <= maxIterations; ++m) {
    const double tem = 2.0 * m;
    double d = m * (b - m) * x / ((qam + tem) * (a + tem));
    const double ap = az + d * am;
    const double bp = bz + d * bm;
    d = -(a + m) * (qab + m) * x / ((a + tem) * (qap + tem));
    const double app = ap + d * az;
    const double bpp = bp + d * bz;
    const double aold = az;
    // Renormalised by bpp so that the convergents stay finite.
    am = ap / bpp;
    bm = bp / bpp;
    az = app / bpp;
    bz = 1.0;
    if (std::fabs(az - aold) < relativeAccuracy * std::fabs(az)) return az;
  }
  KelWarning("%s", warnBeta);
  return az;
}

namespace {

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
    if (x == 0.0) KelError("%s", errPowInt);
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
  if (n < 0) KelError("%s", errLogFactorial);
  if (n <= 1) return 0.0;
  if (n > 100) return KelLnGamma(n + 1.0);
  double& cached = logFactorialCache[static_cast<size_t>(n)];
  if (cached == 0.0) cached = KelLnGamma(n + 1.0);
  return cached;
}

double KelBinomial(int n, int k) {
  if (n < 0 || k < 0) KelError("%s", errBinomialNegative);
  if (k > n) KelError("%s", errBinomialOrder);
  // Rounded to the nearest integer: the log-factorials carry the log-gamma's small error.
  return std::floor(std::exp(KelLogFactorial(n) - KelLogFactorial(k) - KelLogFactorial(n - k)) +
                    0.5);
}

double KelBinomialProbability(int n, int k, double p) {
  if (p < 0.0 || p > 1.0) {
    KelWarning("%s", warnBinomialP);
    return 0.0;
  }
  if (n < 0 || k < 0) KelError("%s", errBinomialNegative);
  if (k > n) KelError("%s", errBinomialOrder);
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
