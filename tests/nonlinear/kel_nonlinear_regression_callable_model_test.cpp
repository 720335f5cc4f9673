// A model given as a callable that carries its own data (a lambda with captures): two objects
// alive at once, each fitting with its own captured constant, reach NIST's certified Misra1a
// values (the second one's data and b1 scaled by its constant, exactly as the model says).
#include <gtest/gtest.h>

#include <cmath>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

constexpr double kCertifiedB1 = 2.3894212918E+02;
constexpr double kCertifiedB2 = 5.5015643181E-04;

KelMatrix MisraX() {
  return KelMatrix(14, 1, 77.6, 114.9, 141.1, 190.8, 239.9, 289.0, 332.8, 378.4, 434.8, 477.3,
                   536.8, 593.1, 689.1, 760.0);
}

KelMatrix MisraY(double scale) {
  const double y[14] = {10.07, 14.73, 17.94, 23.93, 29.61, 35.18, 40.02,
                        44.82, 50.76, 55.05, 61.01, 66.40, 75.47, 81.78};
  KelMatrix Y(14, 1);
  for (int i = 1; i <= 14; ++i) Y(i, 1) = scale * y[i - 1];
  return Y;
}

TEST(NonLinearCallableModel, CapturedDataMakesEachObjectItsOwnModel) {
  // y = scale b1 (1 - exp(-b2 x)) fitted to scale times Misra1a's y has Misra1a's estimates.
  auto model = [](double scale) {
    return [scale](int, int, KelVector& b, KelVector& x, KelVector& y) {
      y(1) = scale * b(1) * (1.0 - std::exp(-b(2) * x(1)));
    };
  };
  KelNonLinearRegression plain(1, MisraX(), MisraY(1.0), model(1.0));
  KelNonLinearRegression scaled(1, MisraX(), MisraY(1000.0), model(1000.0));
  plain.SetInitialParameters(1, KelVector(2, 500.0, 1e-4));
  scaled.SetInitialParameters(1, KelVector(2, 500.0, 1e-4));
  const KelVector b = plain.GetParameters(1);
  const KelVector c = scaled.GetParameters(1);
  ASSERT_TRUE(plain.Converged(1));
  ASSERT_TRUE(scaled.Converged(1));
  EXPECT_GE(kel_test::LogRelativeError(b(1), kCertifiedB1), 6.0);
  EXPECT_GE(kel_test::LogRelativeError(b(2), kCertifiedB2), 6.0);
  EXPECT_GE(kel_test::LogRelativeError(c(1), kCertifiedB1), 6.0);
  EXPECT_GE(kel_test::LogRelativeError(c(2), kCertifiedB2), 6.0);
}

}  // namespace
