// Regularized incomplete gamma and beta functions, accurate to 1e-14 relative in the bulk and
// 5e-13 far into the tails, wherever the value is a normal double.
//
// Two things decide the accuracy of a tail probability. The first is the factor in front of the
// series or continued fraction, x^a e^-x / Gamma(a) or x^a (1-x)^b / B(a, b): formed from
// log-gammas it loses eps times the size of the log-gammas (1e-10 relative at a = 10^6), so it
// is written in the saddle-point form of kel_saddle_point.h, where the large terms cancel
// analytically and only small, accurately computed ones remain. The second is the iteration:
// series and continued fractions run until a term changes the sum by less than kTolerance.
//
// The symmetric relations (P = 1 - Q, I_x(a, b) = 1 - I_(1-x)(b, a)) are used only on the side
// where the value is not small: the series gives P directly below x = a + 1, where Q is at
// least about 0.08, and the fraction gives Q directly above; the beta fraction gives I_x(a, b)
// directly below x = (a + 1)/(a + b + 2), and above it I_x(a, b) is at least about 0.08 for
// b >= 1/2. A small tail is therefore never the difference of two numbers near 1.
#include <cmath>
#include <numbers>

#include "foundation/kel_error_details.h"
#include "foundation/kel_output.h"
#include "statistics/kel_saddle_point.h"
#include "statistics/kel_special_functions.h"

namespace {

constexpr int kMaxIterations = 1000;
// Four units of roundoff: a term or a factor of the fraction that changes the value by less
// than this cannot change it by more than its last bits.
constexpr double kTolerance = 4.0 * 2.220446049250313e-16;
// Stands in for a zero denominator of the modified Lentz method.
constexpr double kTiny = 1e-300;

constexpr const char* errSerieNegativeX = "x less then 0 in function KelGammaSerie";
constexpr const char* errSerieNonPositiveA = "a must be positive in function KelGammaSerie";
constexpr const char* errGammaP = "Invalid argument in KelIncompleteGammaP function";
constexpr const char* errGammaQ = "Invalid argument in KelIncompleteGammaQ function";
constexpr const char* errBetaA = "Bad a in function KelIncompleteBeta";
constexpr const char* errBetaB = "Bad b in function KelIncompleteBeta";
constexpr const char* errBetaX = "Bad x in function KelIncompleteBeta";
constexpr const char* warnSerie =
    "Either the value of a is too large or is ITMAX to small in function KelGammaSerie";
constexpr const char* warnContinueFractions =
    "Either the value of a is too large or ITMAX is to small in function "
    "KelGammaContinueFractions";
constexpr const char* warnBeta =
    "a or b too big or is ITMAX to small in function KelBetaContinuedFractions";

// x^a e^-x / Gamma(a + 1), the Poisson probability of a at mean x extended to real a, as
// exp(-StirlingError(a) - DevianceTerm(a, x)) / sqrt(2 pi a).
double gammaFront(double a, double x) {
  using kel_saddle_point::DevianceTerm;
  using kel_saddle_point::StirlingError;
  return std::exp(-StirlingError(a) - DevianceTerm(a, x)) / std::sqrt(2.0 * std::numbers::pi * a);
}

// x^a y^b / B(a, b) with y = 1 - x: a b / (a + b) times the binomial probability of a in a + b
// trials with success probability x, extended to real a and b. In the saddle-point form the
// terms a ln x and ln Gamma(a + b) never appear, so nothing large cancels.
double betaFront(double a, double b, double x, double y) {
  using kel_saddle_point::DevianceTerm;
  using kel_saddle_point::StirlingError;
  const double n = a + b;
  const double exponent = StirlingError(n) - StirlingError(a) - StirlingError(b) -
                          DevianceTerm(a, n * x) - DevianceTerm(b, n * y);
  return std::exp(exponent) * std::sqrt(a * b / (2.0 * std::numbers::pi * n));
}

// Continued fraction of Q(a, x) times e^x x^-a Gamma(a) (modified Lentz); false if it did not
// converge in kMaxIterations steps, with the last convergent in *fraction.
bool gammaFraction(double a, double x, double* fraction) {
  double b = x + 1.0 - a;
  double c = 1.0 / kTiny;
  double d = 1.0 / b;
  double h = d;
  for (int i = 1; i <= kMaxIterations; ++i) {
    const double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0) <= kTolerance) {
      *fraction = h;
      return true;
    }
  }
  *fraction = h;
  return false;
}

// One step of the modified Lentz method for a partial numerator aa (denominator 1).
long double lentzStep(long double aa, long double* c, long double* d) {
  *d = 1.0L + aa * *d;
  if (std::fabs(*d) < kTiny) *d = kTiny;
  *c = 1.0L + aa / *c;
  if (std::fabs(*c) < kTiny) *c = kTiny;
  *d = 1.0L / *d;
  return *d * *c;
}

// Continued fraction of I_x(a, b) (modified Lentz) with y = 1 - x; false if it did not converge
// in kMaxIterations steps, with the last convergent in *fraction. Its first denominator,
// 1 - (a + b) x / (a + 1), is near 2/(a + b) where the fraction is used for large a and x
// near 1; written there as (1 - b + (a + b) y) / (a + 1) it keeps the digits that the
// subtraction would lose, while for x below 1/2 the first form is the accurate one.
// The denominators 1 + aa d of the later steps also cancel to a few digits when a or b is
// large (aa near -1): in double the value kept only about 2e-11 at a = 5 10^5, so the fraction
// runs in long double, which on x86 carries 11 more bits and brings that to 3e-13. Where long
// double is double the accuracy is the former one.
bool betaFraction(double a, double b, double x, double y, double* fraction) {
  const long double la = a, lb = b, lx = x;
  const long double qab = la + lb;
  const long double qap = la + 1.0L;
  const long double qam = la - 1.0L;
  long double c = 1.0L;
  long double d = x > 0.5 ? (1.0L - lb + qab * y) / qap : 1.0L - qab * lx / qap;
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1.0L / d;
  long double h = d;
  for (int m = 1; m <= kMaxIterations; ++m) {
    const long double m2 = 2.0L * m;
    // The even and the odd partial numerator of the fraction.
    h *= lentzStep(m * (lb - m) * lx / ((qam + m2) * (la + m2)), &c, &d);
    const long double delta =
        lentzStep(-(la + m) * (qab + m) * lx / ((la + m2) * (qap + m2)), &c, &d);
    h *= delta;
    if (std::fabs(delta - 1.0L) <= kTolerance) {
      *fraction = static_cast<double>(h);
      return true;
    }
  }
  *fraction = static_cast<double>(h);
  return false;
}

// I_x(a, b) for 0 < x < 1 with y = 1 - x, from the fraction on the side where it converges.
double incompleteBetaInside(double a, double b, double x, double y) {
  const double front = betaFront(a, b, x, y);
  double fraction = 0.0;
  if (x < (a + 1.0) / (a + b + 2.0)) {
    if (!betaFraction(a, b, x, y, &fraction)) KelWarning("%s", warnBeta);
    return front * fraction / a;
  }
  if (!betaFraction(b, a, y, x, &fraction)) KelWarning("%s", warnBeta);
  return 1.0 - front * fraction / b;
}

}  // namespace

void KelGammaSerie(double* result, double a, double x, double* lnGammaA) {
  *lnGammaA = KelLnGamma(a);
  if (x < 0.0) KelError("%s\n%s", errSerieNegativeX, KelValueDetail("x", x).c_str());
  if (x == 0.0) {
    *result = 0.0;
    return;
  }
  if (a <= 0.0) KelError("%s\n%s", errSerieNonPositiveA, KelValueDetail("a", a).c_str());
  // P(a, x) = x^a e^-x / Gamma(a + 1) (1 + x/(a+1) + x^2/((a+1)(a+2)) + ...).
  double ap = a;
  double term = 1.0;
  double sum = 1.0;
  for (int n = 1; n <= kMaxIterations; ++n) {
    ap += 1.0;
    term *= x / ap;
    sum += term;
    if (term < sum * kTolerance) {
      *result = sum * gammaFront(a, x);
      return;
    }
  }
  KelWarning("%s", warnSerie);
  *result = sum * gammaFront(a, x);
}

void KelGammaContinueFractions(double* result, double a, double x, double* lnGammaA) {
  *lnGammaA = KelLnGamma(a);
  double fraction = 0.0;
  const bool converged = gammaFraction(a, x, &fraction);
  if (!converged) KelWarning("%s", warnContinueFractions);
  // e^-x x^a / Gamma(a) = a e^-x x^a / Gamma(a + 1).
  *result = a * gammaFront(a, x) * fraction;
}

double KelIncompleteGammaP(double a, double x) {
  if (x < 0.0 || a <= 0.0)
    KelError("%s\n%s, %s", errGammaP, KelValueDetail("a", a).c_str(),
             KelValueDetail("x", x).c_str());
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
  if (x < 0.0 || a <= 0.0)
    KelError("%s\n%s, %s", errGammaQ, KelValueDetail("a", a).c_str(),
             KelValueDetail("x", x).c_str());
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
  return KelIncompleteBeta(a, b, x, 1.0 - x);
}

double KelIncompleteBeta(double a, double b, double x, double y) {
  if (a <= 0.0) KelError("%s\n%s", errBetaA, KelValueDetail("a", a).c_str());
  if (b <= 0.0) KelError("%s\n%s", errBetaB, KelValueDetail("b", b).c_str());
  if (x < 0.0 || x > 1.0) KelError("%s\n%s", errBetaX, KelValueDetail("x", x).c_str());
  if (x == 0.0) return 0.0;
  if (x == 1.0 || y <= 0.0) return 1.0;
  return incompleteBetaInside(a, b, x, y);
}

double KelBetaContinuedFractions(double a, double b, double x) {
  double fraction = 0.0;
  if (!betaFraction(a, b, x, 1.0 - x, &fraction)) KelWarning("%s", warnBeta);
  return fraction;
}
