// Distribution tails through the incomplete gamma and beta functions.
#include "statistics/kel_distributions.h"

#include <cmath>

#include "statistics/kel_special_functions.h"

double KelChiSquareProbability(int dof, double x) {
  return KelIncompleteGammaQ(0.5 * dof, 0.5 * x);
}

double KelChiSquareLowerProbability(int dof, double x) {
  return KelIncompleteGammaP(0.5 * dof, 0.5 * x);
}

namespace {

// I_x(a, b) at x = u / (u + v), with the complement v / (u + v) formed directly: near x = 1
// (a small statistic against many degrees of freedom) 1 - x would keep only the digits of v
// that survive the rounding of u + v.
double incompleteBetaOfRatio(double a, double b, double u, double v) {
  const double sum = u + v;
  // An infinite statistic: the ratio is 0 and its complement 1 (inf / inf would be NaN).
  if (std::isinf(v) && v > 0.0) return KelIncompleteBeta(a, b, 0.0, 1.0);
  return KelIncompleteBeta(a, b, u / sum, v / sum);
}

}  // namespace

double KelTStudentProbability(int dof, double t) {
  const double n = dof;
  return 0.5 * incompleteBetaOfRatio(0.5 * n, 0.5, n, t * t);
}

double KelFProbability(int dfNum, int dfDen, double f) {
  const double num = dfNum;
  const double den = dfDen;
  return incompleteBetaOfRatio(0.5 * den, 0.5 * num, den, num * f);
}

double KelFTwoWayProbability(int dfNum, int dfDen, double f) {
  if (f == 0.0) return 1.0;
  const double num = dfNum;
  const double den = dfDen;
  double p;
  if (f > 1.0) {
    p = 2.0 * incompleteBetaOfRatio(0.5 * den, 0.5 * num, den, f * num);
  } else {
    // Twice the upper tail of F(dfDen, dfNum) at 1/f, i.e. twice the lower tail at f. A
    // negative f lands here and meets the beta function's check of x.
    p = 2.0 * incompleteBetaOfRatio(0.5 * num, 0.5 * den, num, den / f);
  }
  return p > 1.0 ? 2.0 - p : p;
}

double KelErfc(double x) {
  if (x >= 0.0) return KelIncompleteGammaQ(0.5, x * x);
  return 1.0 + KelIncompleteGammaP(0.5, x * x);
}

double KelNormalProbability(double z) {
  return 0.5 * KelErfc(z / std::sqrt(2.0));
}
