// A value divided by its scale (a t value, a normalized residual), scale-free.
#ifndef KELMATH_KEL_STANDARDIZED_H
#define KELMATH_KEL_STANDARDIZED_H

// value / scale. A value of exactly zero on a zero scale (a parameter left out of a fit, or a
// zero residual of an exact fit) gives 0 rather than 0/0; any other value on a zero scale gives
// an infinity of the value's sign, as R gives for the t values of an exact fit.
inline double KelStandardized(double value, double scale) {
  if (value == 0.0 && scale == 0.0) return 0.0;
  return value / scale;
}

#endif  // KELMATH_KEL_STANDARDIZED_H
