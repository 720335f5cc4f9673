// Two-sided Student t quantiles at 95 % and 99 % for the confidence intervals of both
// regressions, exact at every number of degrees of freedom.
#ifndef KELMATH_KEL_STUDENT_T_TABLE_H
#define KELMATH_KEL_STUDENT_T_TABLE_H

#include "statistics/kel_distributions.h"

namespace kel_student_t {

// Without residual degrees of freedom only a known variance gives intervals, and with a known
// variance they are normal: the limits of t as the degrees of freedom grow, qnorm(0.975) and
// qnorm(0.995).
inline constexpr double normalQuantile95 = 1.959963984540054;
inline constexpr double normalQuantile99 = 2.5758293035489004;

// t with P(|T| > t) = 5 % for dof degrees of freedom.
inline double Quantile95(int dof) {
  return dof >= 1 ? KelTStudentQuantile(0.025, dof) : normalQuantile95;
}
// t with P(|T| > t) = 1 % for dof degrees of freedom.
inline double Quantile99(int dof) {
  return dof >= 1 ? KelTStudentQuantile(0.005, dof) : normalQuantile99;
}

}  // namespace kel_student_t

#endif
