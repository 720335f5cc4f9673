// Location and scale of a sample with two wild values, and three tests of hypotheses.
#include <cmath>

#include "kelmath.h"

int main() {
  // Ten measurements of the same length in mm; the 4th and the 9th were misread.
  KelVector x(10, 12.1, 12.3, 11.9, 31.0, 12.0, 12.2, 11.8, 12.1, -5.0, 12.0);

  KelPrint("\nMean %g Median %g", KelMean(x), KelMedian(x));
  KelPrint("\nStandard deviation %g MAD %g", KelStandardDeviation(x), KelMad(x));

  // Mean and variance after rejecting the values more than 2.5 standard deviations away.
  double mean = 0.0;
  double variance = 0.0;
  KelVectorInt positions;
  KelVector values;
  GetCleverMeanVarianceOutliers(x, &mean, &variance, positions, values);
  KelPrint("\nClever mean %g variance %g", mean, variance);
  positions.Print("Rejected positions");

  // Is the mean of the eight good values above 12 mm? One-sided t test at the 5 % level.
  const double t = (mean - 12.0) / std::sqrt(variance / 8.0);
  KelPrint("\nt %g P(T > t) %g", t, KelTStudentProbability(7, t));
  // Upper tails of the chi-square and F distributions.
  KelPrint("\nP(chi2(8) > 15) %g", KelChiSquareProbability(8, 15.0));
  KelPrint("\nP(F(4, 9) > 3.63) %g", KelFProbability(4, 9, 3.63));
  return 0;
}
