// Bounds on the parameters of a nonlinear model (SetBounds): the estimation stays strictly
// inside them, bounds far from the minimum leave the fit as it was, SetInitialParameters resets
// them, and the fatal texts of bad bounds.
#include <cmath>
#include <limits>
#include <string>

#include "kel_eight_point_exponential.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

const std::string classText = "KelNonLinearRegression class\n";

using kel_test::EightX;
using kel_test::EightY;
using kel_test::Exponential;

class NonLinearBounds : public kel_test::QuietWarnings {};

// The unconstrained minimum has b2 near 0.3: an upper bound of 0.25 holds it below, and the
// sum of squares can only be larger than without the bound.
TEST_F(NonLinearBounds, EstimationStaysInsideAnActiveBound) {
  KelNonLinearRegression free(1, EightX(), EightY(), Exponential);
  free.SetInitialParameters(1, KelVector(2, 5., 0.1));
  const KelVector unconstrained = free.GetParameters(1);
  ASSERT_GT(unconstrained(2), 0.28);

  KelNonLinearRegression bounded(1, EightX(), EightY(), Exponential);
  bounded.SetInitialParameters(1, KelVector(2, 5., 0.1));
  const double inf = std::numeric_limits<double>::infinity();
  bounded.SetBounds(1, KelVector(2, -inf, 0.), KelVector(2, inf, 0.25));
  const KelVector b = bounded.GetParameters(1);
  EXPECT_LT(b(2), 0.25);
  EXPECT_GT(b(2), 0.2);
  EXPECT_GT(bounded.SumOfSquares(1), free.SumOfSquares(1));
  const std::string out = kel_test::CaptureOutput([&] { bounded.LeastSquaresAnalysis(); });
  EXPECT_NE(out.find("Parameter 2 is near the upper constraint"), std::string::npos);
}

// Bounds far from the minimum: the barrier that keeps the search inside changes the sum of
// squares by about 1e-5 / distance, which moves the estimates far less than their standard
// errors.
TEST_F(NonLinearBounds, DistantBoundsLeaveTheFitAsItWas) {
  KelNonLinearRegression free(1, EightX(), EightY(), Exponential);
  free.SetInitialParameters(1, KelVector(2, 5., 0.1));
  KelNonLinearRegression bounded(1, EightX(), EightY(), Exponential);
  bounded.SetInitialParameters(1, KelVector(2, 5., 0.1));
  bounded.SetBounds(1, KelVector(2, -1000., -1000.), KelVector(2, 1000., 1000.));
  const KelVector a = free.GetParameters(1), b = bounded.GetParameters(1);
  for (int k = 1; k <= 2; ++k) EXPECT_NEAR(a(k), b(k), 1e-3 * free.StandardErrors(1)(k));
  EXPECT_TRUE(bounded.Converged(1));

  // New starting parameters take the bounds away.
  bounded.SetInitialParameters(1, KelVector(2, 5., 0.1));
  bounded.SetBounds(1, KelVector(2, 0., 0.), KelVector(2, 100., 0.25));
  bounded.SetInitialParameters(1, KelVector(2, 5., 0.1));
  const KelVector c = bounded.GetParameters(1);
  for (int k = 1; k <= 2; ++k) EXPECT_EQ(c(k), a(k));
}

void ThreeLowerBounds() {
  KelNonLinearRegression r(1, EightX(), EightY(), Exponential);
  r.SetInitialParameters(1, KelVector(2, 5., 0.1));
  r.SetBounds(1, KelVector(3, 0., 0., 0.), KelVector(2, 100., 1.));
}
void BoundsBeforeTheStart() {
  KelNonLinearRegression r(1, EightX(), EightY(), Exponential);
  r.SetBounds(1, KelVector(2, 0., 0.), KelVector(2, 1., 1.));
}
void CrossedBounds() {
  KelNonLinearRegression r(1, EightX(), EightY(), Exponential);
  r.SetInitialParameters(1, KelVector(2, 5., 0.1));
  r.SetBounds(1, KelVector(2, 0., 0.5), KelVector(2, 100., 0.5));
}
void StartOutside() {
  KelNonLinearRegression r(1, EightX(), EightY(), Exponential);
  r.SetInitialParameters(1, KelVector(2, 5., 0.1));
  r.SetBounds(1, KelVector(2, 6., 0.), KelVector(2, 100., 1.));
}

TEST_F(NonLinearBounds, FatalTextsOfBadBounds) {
  EXPECT_KEL_FATAL(ThreeLowerBounds(),
                   classText + "\nDimension check failure\n\nFunction: SetBounds\nsizes 3 and 2");
  EXPECT_KEL_FATAL(BoundsBeforeTheStart(),
                   classText + "\nDimension check failure\n\nFunction: SetBounds\nsizes 2 and 0");
  EXPECT_KEL_FATAL(CrossedBounds(), "\n" + classText +
                                        "Bad bounds in SetBounds: lower not below upper\n"
                                        "lower 2 = 0.5\nupper 2 = 0.5");
  EXPECT_KEL_FATAL(StartOutside(), "\n" + classText +
                                       "Bad bounds in SetBounds: the start lies outside them\n"
                                       "b0 1 = 5");
}

}  // namespace
