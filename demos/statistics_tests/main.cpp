// statistics_tests: robust and ordinary location and scale of fixed samples, the outlier-
// rejecting mean and variance, and the library's probabilities and tests, all written to
// "KelFile.txt".
#include <cmath>

#include "kelmath.h"

namespace {

// Robust (clever) variance, ordinary variance and squared MAD of one sample.
void PrintVariances(const KelVector& x) {
  KelPrint("\ncleverVariance = %e", GetCleverVariance(x));
  KelPrint("\nvariance = %e", KelVariance(x));
  KelPrint("\nMad2 = %e", KelMad2(x));
}

// Location, scale and both kinds of standardised residuals of one sample.
void PrintLocationAndScale(const KelVector& x) {
  KelPrint("\nMean %e StandardDeviation %e Median %e Mad %e", KelMean(x), KelStandardDeviation(x),
           KelMedian(x), KelMad(x));
  KelVector normal = ResidualsNormalDeviate(x);
  normal.Print("ResidualsNormalDeviate");
  KelVector robust = ResidualsRobustDeviate(x);
  robust.Print("ResidualsRobustDeviate");
}

void PrintCleverMeanVarianceOutliers(const KelVector& x) {
  KelPrint("\n\n\n******* GetCleverMeanVarianceOutliers ******");
  KelVector sample(x);
  double cleverMean = 0.0;
  double cleverVariance = 0.0;
  KelVectorInt outlierIndices;
  KelVector outlierValues;
  GetCleverMeanVarianceOutliers(sample, &cleverMean, &cleverVariance, outlierIndices,
                                outlierValues);
  KelPrint("\ncleverMean = %e", cleverMean);
  KelPrint("\ncleverVariance = %e", cleverVariance);
  outlierIndices.Print("Outliers Indeces");
  outlierValues.Print("Outliers");
  KelPause();
}

void PrintDiscreteProbabilities() {
  KelPrint("\nThe Binomial Probability Distribution with n %d k %d p %e is %e", 10, 2, 0.1,
           KelBinomialProbability(10, 2, 0.1));
  // P(X <= 6) for 20 fair coin tosses.
  double atMostSix = 0.0;
  for (int i = 0; i <= 6; ++i) atMostSix += KelBinomialProbability(20, i, 0.5);
  KelPrint("\nThe Probability Is %e", atMostSix);
  // Poisson with rate 24 over a time 0.25 (mean 6): P(k >= 5).
  double belowFive = 0.0;
  for (int j = 0; j <= 4; ++j) belowFive += KelPoissonProbability(24.0, 0.25, j);
  KelPrint("\nThe Probability for k>=5 is %e", 1.0 - belowFive);
  KelPrint("\nThe probability that z is greater than %e is %e", 2.326, KelNormalProbability(2.326));
}

// Is the mean of x greater than 3.13? One-sided t test at the 5% level.
void PrintOneWayTTest(const KelVector& x) {
  KelPrint("\nOne way t test");
  const double mean = KelMean(x);
  KelPrint("\nMean = %e", mean);
  const double variance = KelVariance(x, mean);
  KelPrint("\nVariance = %e", variance);
  const double meanStandardDeviation = std::sqrt(variance * 0.09090909090909091);  // n = 11
  KelPrint("\nmeanStandardDeviation = %e", meanStandardDeviation);
  const double t = (mean - 3.13) / meanStandardDeviation;
  const double p = KelTStudentProbability(10, t);
  KelPrint("\nThe probability that t with %d degrees offreedom is greater than %e is %e", 10, t, p);
  if (p >= 0.05) {
    KelPrint("\nI don't accept the hypothesis:mu > 3.13");
  } else {
    KelPrint("\nI accept the hypothesis: mu > 3.13");
  }
  KelPause();
}

void PrintTwoWayTTest() {
  KelPrint("\nTwo way t test");
  const double p = 2.0 * KelTStudentProbability(10, 2.7);
  KelPrint(
      "\nThe probability t-student with %d degreesof freedom is extern to -%e +%eis equal to %e",
      10, 2.7, 2.7, p);
  KelPause();
}

void PrintChiSquareTails() {
  KelPrint(
      "\nThe probability that chi-square with %ddegrees of freedom is greater than %eis equal to "
      "%e",
      8, 15.0, KelChiSquareProbability(8, 15.0));
  KelPrint(
      "\nThe probability that chi-square with %ddegrees of freedom is lower than %eis equal to %e",
      5, 1.2, KelChiSquareLowerProbability(5, 1.2));
}

void PrintOneWayFTest() {
  KelPrint("\nOne way F test");
  KelPrint("\nThe probability that F with dfNum %d dfDen %d \nis greater than %e is equal to %e", 4,
           9, 3.63, KelFProbability(4, 9, 3.63));
  KelPause();
}

void PrintTwoWayFLine(int dfNum, int dfDen, double f, double probability) {
  KelPrint("\ndfNum %d dfDen %d F %e Probability %e", dfNum, dfDen, f, probability);
}

// The same two-sided probability three ways: directly, as twice the upper tail, and with the
// degrees of freedom exchanged and the reciprocal ratio.
void PrintTwoWayFTest() {
  KelPrint("\nTwo way F test");
  PrintTwoWayFLine(12, 5, 9.89, KelFTwoWayProbability(12, 5, 9.89));
  PrintTwoWayFLine(12, 5, 9.89, 2.0 * KelFProbability(12, 5, 9.89));
  const double reciprocal = 0.10111223458038422;  // 1 / 9.89
  PrintTwoWayFLine(5, 12, reciprocal, KelFTwoWayProbability(5, 12, reciprocal));
}

}  // namespace

int main() {
  const KelVector s1(15, 3.112, 3.115, 3.121, 3.112, 3.114, 3.121, 3.112, 3.112, 3.115, 3.114,
                     3.121, 3.112, 3.123, 3.121, 3.112);
  const KelVector s2(20, 3.112, 3.115, 31.15, 3.121, 3.112, -3.123, 356.116, 3.114, 3.121, 3.112,
                     3.112, 3.115, 3.114, 3.121, 3.112, 3.123, -31.116, 31.14, 3.121, 3.112);
  const KelVector s3(6, 3.112, 3.115, 3.114, 3.121, 3.123, 3.116);
  const KelVector s4(6, 3.112, 3.115, 31.14, 3.121, 3.123, 3.116);
  const KelVector s5(11, 3.15, 3.19, 3.13, 3.18, 3.1, 3.15, 3.21, 3.22, 3.09, 3.12, 3.18);

  PrintVariances(s1);
  PrintVariances(s2);
  PrintLocationAndScale(s3);
  PrintLocationAndScale(s4);
  PrintCleverMeanVarianceOutliers(s2);
  PrintDiscreteProbabilities();
  PrintOneWayTTest(s5);
  PrintTwoWayTTest();
  PrintChiSquareTails();
  PrintOneWayFTest();
  PrintTwoWayFTest();
  return 0;
}
