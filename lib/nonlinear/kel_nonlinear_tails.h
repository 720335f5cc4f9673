// Tail probabilities for the nonlinear reports that stay defined for a model with no residual
// degrees of freedom (there is then no evidence against it) and for a NaN statistic.
#ifndef KELMATH_KEL_NONLINEAR_TAILS_H
#define KELMATH_KEL_NONLINEAR_TAILS_H

#include <cmath>

#include "statistics/kel_distributions.h"

namespace kel_nonlinear_tails {

inline double TwoSidedT(int dof, double t) {
  return dof < 1 ? 1.0 : 2.0 * KelTStudentProbability(dof, t);
}
inline double F(int dfNum, int dfDen, double f) {
  return dfNum < 1 || dfDen < 1 || std::isnan(f) ? 1.0 : KelFProbability(dfNum, dfDen, f);
}
inline double ChiSquare(int dof, double x) {
  return dof < 1 || std::isnan(x) ? 1.0 : KelChiSquareProbability(dof, x);
}

}  // namespace kel_nonlinear_tails

#endif
