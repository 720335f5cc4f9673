// Two-sided Student t quantiles at 95 % and 99 % for the confidence intervals of both
// regressions. They are held as single-precision numbers on purpose: the reports print
// intervals built from exactly these widened values, 2.0 and 2.6 above 20 degrees of freedom.
#ifndef KELMATH_KEL_STUDENT_T_TABLE_H
#define KELMATH_KEL_STUDENT_T_TABLE_H

namespace kel_student_t {

inline constexpr float quantile95[21] = {0.0f,   12.706f, 4.303f, 3.182f, 2.776f, 2.571f, 2.447f,
                                         2.365f, 2.306f,  2.262f, 2.228f, 2.201f, 2.179f, 2.160f,
                                         2.145f, 2.131f,  2.120f, 2.110f, 2.101f, 2.093f, 2.086f};
inline constexpr float quantile99[21] = {0.0f,   63.657f, 9.925f, 5.841f, 4.604f, 4.032f, 3.707f,
                                         3.499f, 3.355f,  3.250f, 3.169f, 3.106f, 3.055f, 3.012f,
                                         2.977f, 2.947f,  2.921f, 2.898f, 2.878f, 2.861f, 2.845f};

// The quantile for dof degrees of freedom, as a double holding the single-precision value.
inline double Quantile95(int dof) {
  return dof >= 1 && dof <= 20 ? quantile95[dof] : 2.0f;
}
inline double Quantile99(int dof) {
  return dof >= 1 && dof <= 20 ? quantile99[dof] : 2.6f;
}

}  // namespace kel_student_t

#endif
