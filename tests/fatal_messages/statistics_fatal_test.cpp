// Fatal messages of the statistics: special functions and the outlier-rejecting mean.
#include "kel_test_support.h"
#include "kelmath.h"

TEST(FatalSpecialFunctions, GammaSeriesOfNegativeX) {
  double result = 0.0, lnGamma = 0.0;
  EXPECT_KEL_FATAL(KelGammaSerie(&result, 1.0, -1.0, &lnGamma),
                   "x less then 0 in function KelGammaSerie\nx = -1");
}

TEST(FatalSpecialFunctions, GammaSeriesOfNonPositiveA) {
  double result = 0.0, lnGamma = 0.0;
  EXPECT_KEL_FATAL(KelGammaSerie(&result, 0.0, 1.0, &lnGamma),
                   "a must be positive in function KelGammaSerie\na = 0");
}

TEST(FatalSpecialFunctions, IncompleteGammaPOfNegativeX) {
  EXPECT_KEL_FATAL(KelIncompleteGammaP(1.0, -0.5),
                   "Invalid argument in KelIncompleteGammaP function\na = 1, x = -0.5");
}

TEST(FatalSpecialFunctions, IncompleteGammaPOfNonPositiveA) {
  EXPECT_KEL_FATAL(KelIncompleteGammaP(0.0, 1.0),
                   "Invalid argument in KelIncompleteGammaP function\na = 0, x = 1");
}

TEST(FatalSpecialFunctions, IncompleteGammaQOfNegativeX) {
  EXPECT_KEL_FATAL(KelIncompleteGammaQ(1.0, -0.5),
                   "Invalid argument in KelIncompleteGammaQ function\na = 1, x = -0.5");
}

TEST(FatalSpecialFunctions, IncompleteGammaQOfNonPositiveA) {
  EXPECT_KEL_FATAL(KelIncompleteGammaQ(-1.0, 1.0),
                   "Invalid argument in KelIncompleteGammaQ function\na = -1, x = 1");
}

TEST(FatalSpecialFunctions, IncompleteBetaOfNonPositiveA) {
  EXPECT_KEL_FATAL(KelIncompleteBeta(0.0, 1.0, 0.5), "Bad a in function KelIncompleteBeta\na = 0");
}

TEST(FatalSpecialFunctions, IncompleteBetaOfNonPositiveB) {
  EXPECT_KEL_FATAL(KelIncompleteBeta(1.0, -2.0, 0.5),
                   "Bad b in function KelIncompleteBeta\nb = -2");
}

TEST(FatalSpecialFunctions, IncompleteBetaOfXAboveOne) {
  EXPECT_KEL_FATAL(KelIncompleteBeta(1.0, 1.0, 1.5),
                   "Bad x in function KelIncompleteBeta\nx = 1.5");
}

TEST(FatalSpecialFunctions, IncompleteBetaOfNegativeX) {
  EXPECT_KEL_FATAL(KelIncompleteBeta(1.0, 1.0, -0.5),
                   "Bad x in function KelIncompleteBeta\nx = -0.5");
}

TEST(FatalSpecialFunctions, ZeroToANonPositivePower) {
  EXPECT_KEL_FATAL(KelPowInt(0.0, -2),
                   "\n\nError!!!\nKelPowInt x^n with x == 0. and n <= 0\nx = 0, n = -2");
}

TEST(FatalSpecialFunctions, ZeroToThePowerZero) {
  EXPECT_KEL_FATAL(KelPowInt(0.0, 0),
                   "\n\nError!!!\nKelPowInt x^n with x == 0. and n <= 0\nx = 0, n = 0");
}

TEST(FatalSpecialFunctions, LogFactorialOfNegative) {
  EXPECT_KEL_FATAL(KelLogFactorial(-1), "KelLogFactorial requires positive argument\nn = -1");
}

TEST(FatalSpecialFunctions, BinomialOfNegativeN) {
  EXPECT_KEL_FATAL(KelBinomial(-1, 0), "KelBinomial requires positive argument\nn = -1, k = 0");
}

TEST(FatalSpecialFunctions, BinomialOfNegativeK) {
  EXPECT_KEL_FATAL(KelBinomial(3, -1), "KelBinomial requires positive argument\nn = 3, k = -1");
}

TEST(FatalSpecialFunctions, BinomialWithKAboveN) {
  EXPECT_KEL_FATAL(KelBinomial(3, 4), "KelBinomial(n,k) requires k <= n\nn = 3, k = 4");
}

// With fewer than three elements no candidate may be rejected (k = 0), so every attempt runs
// out of candidates.
TEST(FatalRobustStatistics, CleverMeanOfTwoElements) {
  double mean = 0.0, variance = 0.0;
  KelVectorInt indices;
  KelVector values;
  EXPECT_KEL_FATAL(
      GetCleverMeanVarianceOutliers(KelVector(2, 1., 2.), &mean, &variance, indices, values),
      "TODO");
}

TEST(FatalRobustStatistics, CleverVarianceOfTwoElements) {
  EXPECT_KEL_FATAL(GetCleverVariance(KelVector(2, 1., 2.)), "TODO");
}
