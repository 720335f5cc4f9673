#include <cmath>

#include "kel_test_support.h"
#include "kelmath.h"

TEST(ArrayKernels, ElementWiseOperations) {
  double x[] = {1.0, 2.0, 3.0};
  double y[] = {0.5, -1.0, 4.0};
  double z[3];
  KelArraySum(3, x, y, z);
  EXPECT_EQ(z[2], 7.0);
  KelArrayDifference(3, x, y, z);
  EXPECT_EQ(z[1], 3.0);
  KelArrayReverseSubtract(3, x, y);  // y = x - y
  EXPECT_EQ(y[0], 0.5);
  EXPECT_EQ(y[2], -1.0);
  KelArrayAccumulate(3, x, y);
  EXPECT_EQ(x[1], 5.0);
  KelArraySubtract(3, x, y);
  EXPECT_EQ(x[1], 2.0);
  KelArrayDouble(3, x);
  EXPECT_EQ(x[2], 6.0);
  KelArrayScale(3, 0.5, x, z);
  EXPECT_EQ(z[2], 3.0);
  KelArrayScaleInPlace(3, -1.0, z);
  EXPECT_EQ(z[0], -1.0);
  KelArrayDivide(3, x, 4.0);
  EXPECT_EQ(x[0], 0.5);
}

TEST(ArrayKernels, DotAccumulatesBeyondDoublePrecision) {
  // 1e16 + 1 - 1e16 loses the 1 in double arithmetic but not in the extended accumulator.
  double x[] = {1e16, 1.0, -1e16};
  double ones[] = {1.0, 1.0, 1.0};
  EXPECT_EQ(KelArrayDot(3, x, ones), 1.0);
  EXPECT_EQ(KelArrayDot(0, x, ones), 0.0);
}

TEST(ArrayKernels, DivisionByZeroIsFatal) {
  double x[] = {1.0, 2.0};
  EXPECT_KEL_FATAL(KelArrayDivide(2, x, 0.0), "Division with 0.");
}

TEST(SqrtSumSqr, FastAndScaledPaths) {
  double pair[] = {3.0, 4.0};
  EXPECT_EQ(SqrtSumSqr(2, pair), 5.0);
  double huge[] = {1e200, 1e200};
  EXPECT_NEAR(SqrtSumSqr(2, huge) / 1e200, std::sqrt(2.0), 1e-15);
  double tiny[] = {1e-305, 1e-305};
  EXPECT_NEAR(SqrtSumSqr(2, tiny) / 1e-305, std::sqrt(2.0), 1e-15);
  double zeros[] = {0.0, -0.0};
  EXPECT_EQ(SqrtSumSqr(2, zeros), 0.0);
  double largest[] = {1e308, 1e308};
  EXPECT_NEAR(SqrtSumSqr(2, largest) / 1e308, std::sqrt(2.0), 1e-15);
  // Squares of these underflow in double but not in the extended accumulator.
  double small[] = {3e-200, 4e-200};
  EXPECT_NEAR(SqrtSumSqr(2, small) / 5e-200, 1.0, 1e-15);
  double subnormal[] = {4e-320, 3e-320};
  EXPECT_NEAR(SqrtSumSqr(2, subnormal), 5e-320, 1e-322);
}

TEST(SqrtSumSqr, EmptyCountIsFatal) {
  double x[] = {1.0};
  EXPECT_KEL_FATAL(SqrtSumSqr(0, x), "\nIndex out of range\n\nFunction: SqrtSumSqr");
  EXPECT_KEL_FATAL(SqrtSumSqr(-1, x), "\nIndex out of range\n\nFunction: SqrtSumSqr");
}

TEST(ClampToFloat, LimitsToSinglePrecisionRange) {
  EXPECT_EQ(KelClampToFloat(1e300), 3.4028235e38);
  EXPECT_EQ(KelClampToFloat(-1e300), -3.4028235e38);
  EXPECT_EQ(KelClampToFloat(1.25), 1.25);
  EXPECT_EQ(KelClampToFloat(-3e38), -3e38);
}
