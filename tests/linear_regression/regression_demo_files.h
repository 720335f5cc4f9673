// The data files of the regression-from-file programs, written with KelSave as the programs'
// folders hold them ("PicewiseA1.lrg", "Leverage.lrg"). The tests regenerate them and compare
// byte for byte, so the files and this description cannot drift apart.
#ifndef KELMATH_TESTS_REGRESSION_DEMO_FILES_H
#define KELMATH_TESTS_REGRESSION_DEMO_FILES_H

#include <algorithm>

#include "containers/kel_matrix.h"
#include "containers/kel_save.h"
#include "containers/kel_vector.h"

namespace demo_files {

// Hinge basis (1, x, (x - 6)+) at x = 0, 0.5, ..., 12: y = 2 + 0.8 x - 1.5 (x - 6)+ measured
// with normal noise of standard deviation 0.15 (values to three decimals), except experiment 20
// (x = 9.5), recorded 2.0 too high. The response variance 0.0225 = 0.15^2 is known from
// replicates with 6 degrees of freedom.
constexpr double piecewiseKnot = 6.0;
constexpr int piecewiseOutlier = 20;
constexpr double piecewiseVariance = 0.0225;
constexpr int piecewiseVarianceDegreesOfFreedom = 6;

inline KelMatrix PiecewiseRegressors() {
  KelMatrix F(25, 3);
  for (int k = 1; k <= 25; ++k) {
    const double x = 0.5 * (k - 1);
    F(k, 1) = 1.0;
    F(k, 2) = x;
    F(k, 3) = std::max(x - piecewiseKnot, 0.0);
  }
  return F;
}

inline KelVector PiecewiseResponses() {
  return KelVector(25, 2.068, 2.353, 2.501, 3.359, 3.662, 4.114, 4.039, 4.676, 4.908, 5.569, 6.003,
                   6.306, 6.903, 6.546, 5.966, 6.101, 5.548, 4.972, 4.562, 6.441, 4.197, 3.674,
                   3.246, 2.919, 2.438);
}

// A straight line y = 1 + 0.5 x measured with noise of standard deviation 0.1 at x = 1..12, and
// two high-leverage experiments far to the right (x = 25 and 28) recorded far below the line
// (3.0 and 2.2 where it gives 13.5 and 15): together they tilt the least-squares line. No
// response variance.
constexpr int leverageFirst = 13;
constexpr int leverageSecond = 14;

inline KelMatrix LeverageRegressors() {
  KelMatrix F(14, 2);
  for (int k = 1; k <= 14; ++k) {
    F(k, 1) = 1.0;
    F(k, 2) = k <= 12 ? k : (k == leverageFirst ? 25.0 : 28.0);
  }
  return F;
}

inline KelVector LeverageResponses() {
  return KelVector(14, 1.504, 2.046, 2.454, 3.035, 3.593, 4.041, 4.656, 4.911, 5.507, 5.929, 6.422,
                   6.982, 3.0, 2.2);
}

// F, y, the variance and (when it is not 0) its degrees of freedom, as a regression data file.
inline void WritePiecewiseFile(const char* fileName) {
  KelSave file(fileName);
  file << PiecewiseRegressors() << PiecewiseResponses() << piecewiseVariance
       << piecewiseVarianceDegreesOfFreedom;
  file.Close();
}

inline void WriteLeverageFile(const char* fileName) {
  KelSave file(fileName);
  file << LeverageRegressors() << LeverageResponses() << 0.0;
  file.Close();
}

}  // namespace demo_files

#endif
