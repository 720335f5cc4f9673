// Special functions: worked values, the integer power scheme, the log-factorial cache,
// warnings and fatal argument checks.
#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

// Runs body with warnings written to the output file only, and returns what it printed.
template <typename Body>
std::string CaptureWarnings(Body body) {
  const signed char savedMode = kelWarningMode;
  kelWarningMode = 0;
  std::string text = CaptureOutput(body);
  kelWarningMode = savedMode;
  return text;
}

}  // namespace

TEST(LnGamma, MatchesLogFactorialsOfSmallIntegers) {
  // Gamma(n) = (n-1)!, and the roots Gamma(1) = Gamma(2) = 1 come out exactly 0.
  EXPECT_EQ(KelLnGamma(1.0), 0.0);
  EXPECT_EQ(KelLnGamma(2.0), 0.0);
  double factorial = 1.0;  // (n-1)!, exact in a double up to 22!
  for (int n = 2; n <= 23; ++n) {
    const double expected = std::log(factorial);
    EXPECT_NEAR(KelLnGamma(n), expected, 4 * kEpsilon * expected) << n;
    factorial *= n;
  }
}

TEST(LnGamma, HalfIsLogOfRootPi) {
  const double expected = 0.5 * std::log(M_PI);
  EXPECT_NEAR(KelLnGamma(0.5), expected, 4 * kEpsilon * expected);
}

// Near its roots ln Gamma is small and must keep its relative accuracy. The references are the
// Taylor series about 1 and 2 written with zeta(2) = pi^2/6, zeta(4) = pi^4/90 and decimal
// zeta(3), zeta(5), in long double, on the exact offset t = x - 1 (or x - 2) of the double x:
//   ln Gamma(1 + t) = -gamma t + sum_{k>=2} (-1)^k zeta(k)/k t^k,
//   ln Gamma(2 + t) = ln Gamma(1 + t) + log1p(t).
// With |t| <= 1e-3 the first omitted term, zeta(6)/6 t^6, is below 3e-16 of the first, gamma t.
TEST(LnGamma, KeepsItsRelativeAccuracyNearTheRootsOneAndTwo) {
  const long double pi = 3.14159265358979323846264338327950288L;
  const long double zeta[6] = {0.0L,
                               0.0L,
                               pi * pi / 6.0L,
                               1.20205690315959428539973816151144999L,
                               pi * pi * pi * pi / 90.0L,
                               1.03692775514336992633136548645703417L};
  const long double euler = 0.577215664901532860606512090082402431L;
  auto logGammaOnePlus = [&](long double t) {
    long double sum = -euler * t;
    long double power = -t;  // (-t)^k
    for (int k = 2; k <= 5; ++k) {
      power *= -t;
      sum += zeta[k] / k * power;
    }
    return sum;
  };
  int compared = 0;
  for (int e = 3; e <= 15; ++e) {
    for (double sign : {-1.0, 1.0}) {
      for (double root : {1.0, 2.0}) {
        const double x = root + sign * std::pow(10.0, -e);
        const long double t = static_cast<long double>(x) - root;  // exact
        long double reference = logGammaOnePlus(t);
        if (root == 2.0) reference += std::log1p(t);
        const double value = KelLnGamma(x);
        EXPECT_NEAR(value, static_cast<double>(reference),
                    8 * kEpsilon * std::fabs(static_cast<double>(reference)))
            << "x = " << x;
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 52);
}

TEST(LnGamma, TinyAndSubnormalArgumentsAreMinusLogXMinusEulerX) {
  // ln Gamma(x) = -ln x - gamma x + zeta(2)/2 x^2 - ...: from 1e-9 down the x^2 term is below
  // 1e-18, far below one ulp of -ln x > 20 (formed in long double).
  const long double euler = 0.577215664901532860606512090082402431L;
  for (double x : {std::numeric_limits<double>::denorm_min(), 1e-320, 1e-310,
                   std::numeric_limits<double>::min(), 1e-300, 1e-100, 1e-20, 1e-9}) {
    const long double xl = x;
    const double expected = static_cast<double>(-std::log(xl) - euler * xl);
    EXPECT_NEAR(KelLnGamma(x), expected, 2 * kEpsilon * expected) << x;
  }
}

TEST(LnGamma, ZeroIsInfiniteAndNegativeOrNaNArgumentsAreNaN) {
  EXPECT_EQ(KelLnGamma(0.0), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(KelLnGamma(-0.5)));
  EXPECT_TRUE(std::isnan(KelLnGamma(-3.0)));
  EXPECT_TRUE(std::isnan(KelLnGamma(std::numeric_limits<double>::quiet_NaN())));
}

TEST(LnGamma, RecurrenceHoldsAcrossTheBranches) {
  // ln Gamma(x + 1) = ln Gamma(x) + ln x, checked across the joins at 1/2, 3/2, 5/2 and 10 (the
  // sides use different formulas), to a few ulps of the larger of the terms.
  for (double x : {0.3, 0.4999, 0.5, 0.7, 1.2, 1.4999, 1.5, 1.6, 2.5, 3.3, 8.9999, 9.0, 9.5, 10.0,
                   11.7, 150.25}) {
    const double left = KelLnGamma(x + 1.0);
    const double right = KelLnGamma(x) + std::log(x);
    const double scale =
        std::max({std::fabs(left), std::fabs(KelLnGamma(x)), std::fabs(std::log(x))});
    EXPECT_NEAR(left, right, 8 * kEpsilon * scale) << x;
  }
}

TEST(IncompleteGamma, BoundaryValuesAtZero) {
  EXPECT_EQ(KelIncompleteGammaQ(2.5, 0.0), 1.0);
  EXPECT_EQ(KelIncompleteGammaP(2.5, 0.0), 0.0);
}

TEST(IncompleteGamma, ShapeOneIsTheExponentialDistribution) {
  // P(1, x) = 1 - exp(-x), on both the series side (x < 2) and the fraction side.
  for (double x : {0.1, 0.5, 1.0, 1.9, 2.0, 5.0, 20.0}) {
    EXPECT_NEAR(KelIncompleteGammaP(1.0, x), -std::expm1(-x), -1e-14 * std::expm1(-x)) << x;
    EXPECT_NEAR(KelIncompleteGammaQ(1.0, x), std::exp(-x), 1e-14 * std::exp(-x)) << x;
  }
}

TEST(IncompleteGamma, SeriesAndFractionReturnLogGammaOfA) {
  double result = 0.0;
  double lnGammaA = 0.0;
  KelGammaSerie(&result, 4.0, 1.0, &lnGammaA);
  EXPECT_NEAR(lnGammaA, std::log(6.0), 4 * kEpsilon * std::log(6.0));
  // P(4, 1) = 1 - e^-1 (1 + 1 + 1/2 + 1/6)
  EXPECT_NEAR(result, 1.0 - std::exp(-1.0) * (8.0 / 3.0), 1e-15);
  KelGammaContinueFractions(&result, 4.0, 10.0, &lnGammaA);
  EXPECT_NEAR(lnGammaA, std::log(6.0), 4 * kEpsilon * std::log(6.0));
  // Q(4, 10) = e^-10 (1 + 10 + 50 + 1000/6)
  EXPECT_NEAR(result, std::exp(-10.0) * (61.0 + 1000.0 / 6.0), 1e-15);
}

TEST(IncompleteGamma, SeriesOfZeroIsZero) {
  double result = -1.0;
  double lnGammaA = 0.0;
  KelGammaSerie(&result, 3.0, 0.0, &lnGammaA);
  EXPECT_EQ(result, 0.0);
}

TEST(IncompleteGamma, NonConvergenceWarnsAndReturnsTheLastPartialValue) {
  double p = -1.0;
  std::string text = CaptureWarnings([&] { p = KelIncompleteGammaP(1e7, 1e7); });
  EXPECT_EQ(text,
            "\nWarning!!\nEither the value of a is too large or is ITMAX to small in function "
            "KelGammaSerie");
  EXPECT_TRUE(p > 0.0 && p < 1.0) << p;
  double q = -1.0;
  text = CaptureWarnings([&] { q = KelIncompleteGammaQ(1e7, 1e7 + 10.0); });
  EXPECT_EQ(text,
            "\nWarning!!\nEither the value of a is too large or ITMAX is to small in function "
            "KelGammaContinueFractions");
  EXPECT_TRUE(q > 0.0 && q < 1.0) << q;
}

TEST(IncompleteBeta, BoundaryValues) {
  EXPECT_EQ(KelIncompleteBeta(2.0, 3.0, 0.0), 0.0);
  EXPECT_EQ(KelIncompleteBeta(2.0, 3.0, 1.0), 1.0);
}

TEST(IncompleteBeta, HandWorkedPolynomialCases) {
  // I_x(1, 1) = x; I_x(2, 1) = x^2; I_x(1, 2) = 1 - (1-x)^2; I_x(2, 2) = 3x^2 - 2x^3; to a few
  // units of roundoff.
  for (double x : {0.05, 0.3, 0.5, 0.7, 0.95}) {
    EXPECT_NEAR(KelIncompleteBeta(1.0, 1.0, x), x, 4e-15 * x) << x;
    EXPECT_NEAR(KelIncompleteBeta(2.0, 1.0, x), x * x, 4e-15 * x * x) << x;
    EXPECT_NEAR(KelIncompleteBeta(1.0, 2.0, x), 1.0 - (1 - x) * (1 - x), 1e-15) << x;
    EXPECT_NEAR(KelIncompleteBeta(2.0, 2.0, x), 3 * x * x - 2 * x * x * x, 1e-15) << x;
  }
}

// Near x = 1, with a around 1/(1 - x), the value hangs on every digit of 1 - x. I_x(a, 1) = x^a
// = exp(a log1p(-y)) with y = 1 - x; y a power of 2, so that x = 1 - y is exact too.
TEST(IncompleteBeta, NearOneWithLargeShapeKeepsItsDigits) {
  for (int k : {17, 23, 30}) {
    const double y = std::ldexp(1.0, -k);
    const double a = 0.5 / y;
    const double expected = std::exp(a * std::log1p(-y));
    EXPECT_NEAR(KelIncompleteBeta(a, 1.0, 1.0 - y, y), expected, 1e-13 * expected) << y;
    // I_x(1, b) = 1 - (1 - x)^b, the small tail of the mirror image.
    EXPECT_NEAR(KelIncompleteBeta(1.0, a, y, 1.0 - y), -std::expm1(a * std::log1p(-y)), 1e-13) << y;
    EXPECT_EQ(KelIncompleteBeta(a, 1.0, 1.0 - y), KelIncompleteBeta(a, 1.0, 1.0 - y, y)) << y;
  }
}

TEST(IncompleteBeta, NonConvergenceWarnsAndKeepsTheLastConvergent) {
  double value = 0.0;
  std::string text = CaptureWarnings([&] { value = KelIncompleteBeta(1e8, 1e8, 0.5); });
  EXPECT_EQ(text,
            "\nWarning!!\na or b too big or is ITMAX to small in function "
            "KelBetaContinuedFractions");
  // By symmetry the true value is 1/2; the last convergent is near it (a result of 0 from the
  // fraction would have given 1).
  EXPECT_NEAR(value, 0.5, 1e-3);
}

TEST(PowInt, WorkedValues) {
  EXPECT_EQ(KelPowInt(2.0, 10), 1024.0);
  EXPECT_EQ(KelPowInt(2.0, -2), 0.25);
  EXPECT_EQ(KelPowInt(5.0, 0), 1.0);
  EXPECT_EQ(KelPowInt(0.0, 3), 0.0);
}

TEST(PowInt, EveryExponentOfTheFixedSchemeAndOfBinaryPoweringIsExact) {
  // Powers of 3 up to 3^33 are exact in a double, so every grouping must give the integer.
  double exact = 1.0;
  for (int n = 0; n <= 33; ++n) {
    EXPECT_EQ(KelPowInt(3.0, n), exact) << n;
    EXPECT_EQ(KelPowInt(-3.0, n), n % 2 == 0 ? exact : -exact) << n;
    EXPECT_EQ(KelPowInt(0.5, n), 1.0 / KelPowInt(2.0, n)) << n;
    exact *= 3.0;
  }
}

TEST(PowInt, NonIntegralBaseAgreesWithPowToRounding) {
  for (int n = -40; n <= 40; ++n) {
    const double expected = std::pow(1.1, n);
    EXPECT_NEAR(KelPowInt(1.1, n), expected, 1e-14 * expected) << n;
  }
}

TEST(PowInt, MostNegativeExponentDoesNotOverflowTheNegation) {
  EXPECT_EQ(KelPowInt(1.0, INT_MIN), 1.0);
  EXPECT_EQ(KelPowInt(-1.0, INT_MIN), 1.0);
  EXPECT_EQ(KelPowInt(2.0, INT_MIN), 0.0);
}

TEST(LogFactorial, SmallAndCachedAndLargeValues) {
  EXPECT_EQ(KelLogFactorial(0), 0.0);
  EXPECT_EQ(KelLogFactorial(1), 0.0);
  EXPECT_NEAR(KelLogFactorial(5), std::log(120.0), 4 * kEpsilon * std::log(120.0));
  const double first = KelLogFactorial(50);
  const double second = KelLogFactorial(50);
  EXPECT_EQ(first, second);
  // ln 50! and ln 150! as sums of logs in long double (a brute-force reference).
  long double sum = 0.0L;
  for (int i = 2; i <= 150; ++i) {
    sum += std::log(static_cast<long double>(i));
    if (i == 50) {
      EXPECT_NEAR(first, static_cast<double>(sum), 8 * kEpsilon * first);
    }
  }
  EXPECT_NEAR(KelLogFactorial(150), static_cast<double>(sum), 8 * kEpsilon * sum);
}

TEST(Binomial, CoefficientsAreIntegral) {
  EXPECT_EQ(KelBinomial(10, 2), 45.0);
  EXPECT_EQ(KelBinomial(10, 0), 1.0);
  EXPECT_EQ(KelBinomial(10, 10), 1.0);
  EXPECT_EQ(KelBinomial(20, 10), 184756.0);
  EXPECT_EQ(KelBinomial(30, 15), 155117520.0);
}

TEST(Binomial, AgreesWithPascalsTriangle) {
  // Pascal's triangle in exact integers up to n = 60 (C(60, 30) < 2^63): the coefficients are
  // exact up to n = 34 (below 2^32, where the log-gamma's few ulps stay far below 1/2) and within
  // a relative 2e-13 beyond (the exponential of a difference of log-factorials near 190).
  std::vector<unsigned long long> row{1};
  for (int n = 1; n <= 60; ++n) {
    std::vector<unsigned long long> next(row.size() + 1, 1);
    for (size_t k = 1; k < row.size(); ++k) next[k] = row[k - 1] + row[k];
    row = next;
    for (int k = 0; k <= n; ++k) {
      const double exact = static_cast<double>(row[static_cast<size_t>(k)]);
      if (n <= 34) {
        EXPECT_EQ(KelBinomial(n, k), exact) << n << " " << k;
      } else {
        EXPECT_NEAR(KelBinomial(n, k), exact, 2e-13 * exact) << n << " " << k;
      }
    }
  }
}

TEST(BinomialProbability, WorkedValue) {
  // C(10, 2) 0.1^2 0.9^8 = 45 x 0.01 x 0.43046721
  EXPECT_NEAR(KelBinomialProbability(10, 2, 0.1), 0.1937102445, 1e-15);
}

TEST(BinomialProbability, CertainOutcomesAtPZeroAndOne) {
  // 0^0 counts as 1 here: no fatal error from the power for p = 0 or p = 1.
  EXPECT_EQ(KelBinomialProbability(5, 0, 0.0), 1.0);
  EXPECT_EQ(KelBinomialProbability(5, 2, 0.0), 0.0);
  EXPECT_EQ(KelBinomialProbability(5, 5, 1.0), 1.0);
  EXPECT_EQ(KelBinomialProbability(5, 4, 1.0), 0.0);
}

TEST(BinomialProbability, POutsideZeroOneWarnsAndGivesZero) {
  double value = -1.0;
  std::string text = CaptureWarnings([&] { value = KelBinomialProbability(10, 2, 1.5); });
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(text, "\nWarning!!\np must be 0 <= p <= 1.");
  text = CaptureWarnings([&] { value = KelBinomialProbability(10, 2, -0.1); });
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(text, "\nWarning!!\np must be 0 <= p <= 1.");
}

TEST(PoissonProbability, UsesTheMeanLambdaTimesT) {
  // Mean 24 x 0.25 = 6: P(6) = 6^6 e^-6 / 720.
  EXPECT_NEAR(KelPoissonProbability(24.0, 0.25, 6), 46656.0 * std::exp(-6.0) / 720.0, 1e-9);
  EXPECT_NEAR(KelPoissonProbability(24.0, 0.25, 0), std::exp(-6.0), 1e-12);
}

TEST(PoissonProbability, InvalidArgumentsWarnInOrderAndGiveZero) {
  double value = -1.0;
  std::string text = CaptureWarnings([&] { value = KelPoissonProbability(-1.0, 5.0, -1); });
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(text, "\nWarning!!\nk < 0");
  text = CaptureWarnings([&] { value = KelPoissonProbability(-1.0, 5.0, 2); });
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(text, "\nWarning!!\nt >= lambda");
  text = CaptureWarnings([&] { value = KelPoissonProbability(2.0, 0.0, 2); });
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(text, "\nWarning!!\nt and lambda must be > 0");
}

// R's dbinom and dpois (mass_functions.csv) up to counts and means of 10^6, where the powers and
// factorials alone overflow or underflow (6^176 or e^-1000000).
TEST(MassFunctions, AgreeWithRToNineDigitsForLargeCountsAndMeans) {
  std::ifstream in = kel_test::OpenReference("r/mass_functions.csv");
  std::string line;
  std::getline(in, line);  // header
  int compared = 0;
  while (std::getline(in, line)) {
    std::stringstream fields(line);
    std::string function, a, b, c, value;
    std::getline(fields, function, ',');
    std::getline(fields, a, ',');
    std::getline(fields, b, ',');
    std::getline(fields, c, ',');
    std::getline(fields, value, ',');
    const double reference = std::stod(value);
    const double computed =
        function == "poisson_pmf"
            ? KelPoissonProbability(std::stod(a), std::stod(b), static_cast<int>(std::stod(c)))
            : KelBinomialProbability(static_cast<int>(std::stod(a)), static_cast<int>(std::stod(b)),
                                     std::stod(c));
    EXPECT_TRUE(std::isfinite(computed)) << line;
    if (reference == 0.0) {
      EXPECT_EQ(computed, 0.0) << line;
    } else {
      EXPECT_LE(std::fabs(computed - reference), 1e-9 * reference) << line << " gives " << computed;
    }
    ++compared;
  }
  EXPECT_EQ(compared, 50);
}

TEST(MassFunctions, SumToOneOverTheSupport) {
  long double binomial = 0.0L, poisson = 0.0L;
  for (int k = 0; k <= 2000; ++k) binomial += KelBinomialProbability(2000, k, 0.37);
  for (int k = 0; k <= 3000; ++k) poisson += KelPoissonProbability(1500.0, 1.0, k);
  EXPECT_NEAR(static_cast<double>(binomial), 1.0, 1e-13);
  EXPECT_NEAR(static_cast<double>(poisson), 1.0, 1e-13);
}

using SpecialFunctionsDeathTest = ::testing::Test;

TEST_F(SpecialFunctionsDeathTest, PowIntOfZeroToNonPositivePowerIsFatal) {
  EXPECT_KEL_FATAL(KelPowInt(0.0, 0),
                   "\n\nError!!!\nKelPowInt x^n with x == 0. and n <= 0\nx = 0, n = 0");
  EXPECT_KEL_FATAL(KelPowInt(0.0, -3),
                   "\n\nError!!!\nKelPowInt x^n with x == 0. and n <= 0\nx = 0, n = -3");
}

TEST_F(SpecialFunctionsDeathTest, IncompleteBetaChecksAThenBThenX) {
  EXPECT_KEL_FATAL(KelIncompleteBeta(0.0, -1.0, 2.0), "Bad a in function KelIncompleteBeta\na = 0");
  EXPECT_KEL_FATAL(KelIncompleteBeta(1.0, 0.0, 2.0), "Bad b in function KelIncompleteBeta\nb = 0");
  EXPECT_KEL_FATAL(KelIncompleteBeta(1.0, 1.0, 1.5),
                   "Bad x in function KelIncompleteBeta\nx = 1.5");
  EXPECT_KEL_FATAL(KelIncompleteBeta(1.0, 1.0, -0.1),
                   "Bad x in function KelIncompleteBeta\nx = -0.1");
}

TEST_F(SpecialFunctionsDeathTest, IncompleteGammaArgumentChecks) {
  EXPECT_KEL_FATAL(KelIncompleteGammaP(1.0, -1.0),
                   "Invalid argument in KelIncompleteGammaP function\na = 1, x = -1");
  EXPECT_KEL_FATAL(KelIncompleteGammaP(0.0, 1.0),
                   "Invalid argument in KelIncompleteGammaP function\na = 0, x = 1");
  EXPECT_KEL_FATAL(KelIncompleteGammaQ(-2.0, 1.0),
                   "Invalid argument in KelIncompleteGammaQ function\na = -2, x = 1");
  double result = 0.0;
  double lnGammaA = 0.0;
  EXPECT_KEL_FATAL(KelGammaSerie(&result, 1.0, -1.0, &lnGammaA),
                   "x less then 0 in function KelGammaSerie\nx = -1");
  EXPECT_KEL_FATAL(KelGammaSerie(&result, -1.0, 1.0, &lnGammaA),
                   "a must be positive in function KelGammaSerie\na = -1");
}

TEST_F(SpecialFunctionsDeathTest, FactorialAndBinomialArgumentChecks) {
  EXPECT_KEL_FATAL(KelLogFactorial(-1), "KelLogFactorial requires positive argument\nn = -1");
  EXPECT_KEL_FATAL(KelBinomial(-1, 0), "KelBinomial requires positive argument\nn = -1, k = 0");
  EXPECT_KEL_FATAL(KelBinomial(3, -1), "KelBinomial requires positive argument\nn = 3, k = -1");
  EXPECT_KEL_FATAL(KelBinomial(3, 4), "KelBinomial(n,k) requires k <= n\nn = 3, k = 4");
  EXPECT_KEL_FATAL(KelBinomialProbability(3, 4, 0.0),
                   "KelBinomial(n,k) requires k <= n\nn = 3, k = 4");
}
