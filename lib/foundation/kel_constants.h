// Machine constants computed at start-up and the floating-point environment setting.
#ifndef KELMATH_KEL_CONSTANTS_H
#define KELMATH_KEL_CONSTANTS_H

// Single-precision machine epsilon, 2^-23.
extern const float kelMachEpsFloat;
// Double-precision machine epsilon, 2^-52.
extern const double kelMachEps;
// Ten times the single-precision epsilon (relative singularity threshold of Householder code).
extern const double kelTenMachEpsFloat;
// 4 atan(1).
extern const double kelPi;

// Stands for an infinite condition number or an unset minimum: the largest finite double less
// two units in the last place.
inline constexpr double kelBigValue = 1.7976931348623153e308;
// Largest single-precision value, the bound of KelClampToFloat.
inline constexpr double kelFloatMax = 3.4028235e38;
// Smallest normalised double.
inline constexpr double kelDoubleMinNormal = 2.2250738585072014e-308;

// The three meanings of 1e30 in the regressions and the minimizer. They share one value because
// reports print it and callers compare with it; the names say which meaning a use has.
// A result not computed yet (the final SSE of a model left out, a comparison value).
inline constexpr double kelUnsetValue = 1e30;
// A parameter bound that was not given: -kelUnbounded and +kelUnbounded.
inline constexpr double kelUnbounded = 1e30;
// The objective at a point the search must not take (outside the bounds, or where the model is
// not finite), so that every feasible point compares lower.
inline constexpr double kelUnfeasibleValue = 1e30;

// Sets the floating-point environment at construction (mode 0) and sets it back at destruction.
// Every mode first masks all exceptions and rounds to nearest in double precision; mode 0 leaves
// all exceptions masked, 1 traps zero divide and overflow, 3 traps all, any other value traps
// invalid, zero divide and overflow.
class KelFloatingPointSetting {
 public:
  KelFloatingPointSetting();
  ~KelFloatingPointSetting();
  KelFloatingPointSetting(const KelFloatingPointSetting&) = delete;
  KelFloatingPointSetting& operator=(const KelFloatingPointSetting&) = delete;

  static void SetMode(int mode);

 private:
  int startMode = 0;
  int exitMode = 0;
};

#endif
