// Distribution tails through the incomplete gamma and beta functions.
#include "kel_distributions.h"

#include <cmath>

#include "kel_special_functions.h"

double KelChiSquareProbability(int dof, double x) {
  return KelIncompleteGammaQ(0.5 * dof, 0.5 * x);
}

double KelChiSquareLowerProbability(int dof, double x) {
  return KelIncompleteGammaP(0.5 * dof, 0.5 * x);
}

double KelTStudentProbability(int dof, double t) {
  const double n = dof;
  return 0.5 * KelIncompleteBeta(0.5 * n, 0.5, n / (n + t * t));
}

double KelFProbability(int dfNum, int dfDen, double f) {
  const double num = dfNum;
  const double den = dfDen;
  return KelIncompleteBeta(0.5 * den, 0.5 * num, den / (den + num * f));
}

double KelFTwoWayProbability(int dfNum, int dfDen, double f) {
  if (f == 0.0) return 1.0;
  const double num = dfNum;
  const double den = dfDen;
  double p;
  if (f > 1.0) {
    p = 2.0 * KelIncompleteBeta(0.5 * den, 0.5 * num, den / (den + f * num));
  } else {
    // Twice the upper tail of F(dfDen, dfNum) at 1/f, i.e. twice the lower tail at f. A
    // negative f lands here and meets the beta function's check of x.
    p = 2.0 * KelIncompleteBeta(0.5 * num, 0.5 * den, num / (num + den / f));
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
