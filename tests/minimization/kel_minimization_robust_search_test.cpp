// Searches on functions with known minima: curved valleys, a shifted quadratic, an unfeasible
// region, a region where the objective is NaN, a minimum on a bound, the stall guard and fToll.
#include <cmath>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"
#include "minimization_test_objectives.h"

using kel_test::Bowl;
using kel_test::CaptureOutput;
using kel_test::Rosenbrock;

namespace {

class MinimizationSearch : public kel_test::QuietWarnings {};

// Minimum 3 at (1.5, -2, 0.25), with different curvatures along the axes.
double shiftedQuadratic(KelVector& x) {
  const double a = x(1) - 1.5, b = x(2) + 2.0, c = x(3) - 0.25;
  return a * a + 4.0 * b * b + 9.0 * c * c + 3.0;
}

// Unconstrained minimum at (4, 2) inside the region x > 3 that the objective refuses: the
// constrained minimum is (3, 2) with value 1.
double wallAtThree(KelVector& x) {
  if (x(1) > 3.0) {
    kelUnfeasible = 1;
    return -1e300;  // must be ignored
  }
  const double a = x(1) - 4.0, b = x(2) - 2.0;
  return a * a + b * b;
}

// A round obstacle of radius 1 around (2, 2) between the start and the minimum 0 at (0, 0.5).
double obstacle(KelVector& x) {
  const double ox = x(1) - 2.0, oy = x(2) - 2.0;
  if (ox * ox + oy * oy < 1.0) kelUnfeasible = 1;
  const double b = x(2) - 0.5;
  return x(1) * x(1) + b * b;
}

int nanSeen = 0;
// NaN where x < 0.5 (as a logarithm or a root of a negative number would give): the minimum
// over the rest is 0.25 at (0.5, 2).
double nanLeftOfHalf(KelVector& x) {
  if (std::isnan(x(1)) || std::isnan(x(2))) ++nanSeen;
  const double b = x(2) - 2.0;
  if (x(1) < 0.5) return std::nan("");
  return x(1) * x(1) + b * b;
}

int outsideSeen = 0;
// Unconstrained minimum at (-1, 2); with x >= 0 imposed by the bounds the minimum is 1 at (0, 2).
double leftOfBound(KelVector& x) {
  if (x(1) < 0.0 || x(2) < -5.0 || x(2) > 5.0) ++outsideSeen;
  const double a = x(1) + 1.0, b = x(2) - 2.0;
  return a * a + b * b;
}

double tinyFloor(KelVector& x) {
  const double a = x(1) - 1.0, b = x(2) + 2.0;
  return a * a + b * b + 1e-30;
}

double oneVariable(KelVector& x) {
  return (x(1) - 3.0) * (x(1) - 3.0) + 1.0;
}

double maxDistance(const KelVector& x, const KelVector& target) {
  double d = 0.0;
  for (int i = 1; i <= x.Size(); ++i) d = std::fmax(d, std::fabs(x(i) - target(i)));
  return d;
}

}  // namespace

TEST_F(MinimizationSearch, RosenbrockInTwoVariablesReachesOneOne) {
  KelMinimizationRobust minimizer(KelVector(2, -1.2, 1.0), Rosenbrock);
  minimizer(0);
  EXPECT_LT(maxDistance(minimizer.XMin(), KelVector(2, 1.0, 1.0)), 1e-6);
  EXPECT_LT(minimizer.FSolution(), 1e-12);
  KelVector best = minimizer.XMin();
  EXPECT_EQ(minimizer.FSolution(), Rosenbrock(best));
}

TEST_F(MinimizationSearch, RosenbrockInFiveVariablesReachesAllOnes) {
  KelMinimizationRobust minimizer(KelVector(5, -1.2, 1.0, -1.2, 1.0, -1.2), Rosenbrock);
  minimizer(0);
  EXPECT_LT(maxDistance(minimizer.XMin(), KelVector(5, 1.0, 1.0, 1.0, 1.0, 1.0)), 1e-6);
  EXPECT_LT(minimizer.FSolution(), 1e-12);
}

TEST_F(MinimizationSearch, ShiftedQuadraticReachesItsCentreAndEndsOnCollapse) {
  KelMinimizationRobust minimizer(KelVector(3, 10.0, 10.0, 10.0), shiftedQuadratic);
  EXPECT_EQ(minimizer(0), KelMinimizationRobust::kCollapsed);
  EXPECT_LT(maxDistance(minimizer.XMin(), KelVector(3, 1.5, -2.0, 0.25)), 1e-6);
  EXPECT_NEAR(minimizer.FSolution(), 3.0, 1e-11);
}

TEST_F(MinimizationSearch, OneVariableUsesTwoVertices) {
  KelMinimizationRobust minimizer(KelVector(1, 0.0), oneVariable);
  minimizer(0);
  EXPECT_EQ(minimizer.VertexValues().Size(), 2);
  EXPECT_NEAR(minimizer.XMin()(1), 3.0, 1e-6);
  EXPECT_NEAR(minimizer.FSolution(), 1.0, 1e-12);
}

TEST_F(MinimizationSearch, UnfeasibleRegionIsAvoidedAndMinimumFoundOnItsEdge) {
  // Starting next to the wall forces the first simplex to try the other side of the start.
  KelMinimizationRobust minimizer(KelVector(2, 2.9, 5.0), wallAtThree);
  minimizer(0);
  EXPECT_LE(minimizer.XMin()(1), 3.0);
  EXPECT_LT(maxDistance(minimizer.XMin(), KelVector(2, 3.0, 2.0)), 1e-7);
  EXPECT_NEAR(minimizer.FSolution(), 1.0, 1e-12);
  // Unfeasible calls count in the total only.
  EXPECT_GT(minimizer.TotalIterations(), minimizer.FeasibleIterations());
  // No unfeasible value (1e30) and no ignored return value (-1e300) is left among the vertices.
  for (int i = 1; i <= 3; ++i) EXPECT_LT(std::fabs(minimizer.VertexValues()(i)), 10.0);
}

TEST_F(MinimizationSearch, UnfeasibleObstacleIsWalkedAround) {
  KelMinimizationRobust minimizer(KelVector(2, 3.5, 3.5), obstacle);
  minimizer(0);
  EXPECT_LT(maxDistance(minimizer.XMin(), KelVector(2, 0.0, 0.5)), 1e-6);
  EXPECT_LT(minimizer.FSolution(), 1e-12);
}

TEST_F(MinimizationSearch, NanValuesCountAsUnfeasibleAndNeverBecomeTheSolution) {
  nanSeen = 0;
  KelMinimizationRobust minimizer(KelVector(2, 3.0, -1.0), nanLeftOfHalf);
  minimizer(0);
  EXPECT_FALSE(std::isnan(minimizer.FSolution()));
  EXPECT_LT(maxDistance(minimizer.XMin(), KelVector(2, 0.5, 2.0)), 1e-7);
  EXPECT_NEAR(minimizer.FSolution(), 0.25, 1e-12);
  EXPECT_GT(minimizer.TotalIterations(), minimizer.FeasibleIterations());
  EXPECT_EQ(nanSeen, 0);
}

TEST_F(MinimizationSearch, MinimumOnABoundIsReachedWithoutHandingOutsidePointsToTheObjective) {
  outsideSeen = 0;
  KelMinimizationRobust minimizer(KelVector(2, 2.0, 0.0), leftOfBound);
  minimizer.SetBounds(KelVector(2, 0.0, -5.0), KelVector(2, 10.0, 5.0));
  const std::string output = CaptureOutput([&] { minimizer(0); });
  EXPECT_EQ(outsideSeen, 0);
  EXPECT_GE(minimizer.XMin()(1), 0.0);
  EXPECT_LT(maxDistance(minimizer.XMin(), KelVector(2, 0.0, 2.0)), 1e-7);
  EXPECT_NEAR(minimizer.FSolution(), 1.0, 1e-12);
  // Points beyond the bound were clipped, penalised and announced.
  EXPECT_NE(output.find("\nFc "), std::string::npos);
}

TEST_F(MinimizationSearch, StallGuardEndsASearchWhoseValuesAreAllTinyButPositive) {
  KelMinimizationRobust minimizer(KelVector(2, 5.0, 5.0), tinyFloor);
  signed char cause = 0;
  const std::string output = CaptureOutput([&] { cause = minimizer(0); });
  EXPECT_EQ(cause, KelMinimizationRobust::kStall);
  EXPECT_GT(minimizer.FSolution(), 0.0);
  EXPECT_LT(minimizer.VertexValues().Max(), 1e-20);
  EXPECT_GT(minimizer.TotalIterations(), 2 * 2 + 100);
  EXPECT_LT(maxDistance(minimizer.XMin(), KelVector(2, 1.0, -2.0)), 1e-9);
  char expected[100];
  std::snprintf(expected, sizeof expected, "\nWarning!!\nRobust %d %d %e", 0,
                minimizer.TotalIterations(), minimizer.FSolution());
  EXPECT_NE(output.find(expected), std::string::npos) << output;
}

TEST_F(MinimizationSearch, FTollEndsTheSearchAsSoonAsTheBestValueFallsBelowIt) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
  minimizer.SetFToll(0.5);
  EXPECT_EQ(minimizer(0), KelMinimizationRobust::kBelowFToll);
  EXPECT_LT(minimizer.FSolution(), 0.5);
  // Only the last step crossed the threshold: the run was short.
  EXPECT_LT(minimizer.TotalIterations(), 60);
}

TEST_F(MinimizationSearch, FTollAboveTheStartValueEndsRightAfterTheFirstSimplex) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
  minimizer.SetFToll(100.0);
  EXPECT_EQ(minimizer(0), KelMinimizationRobust::kBelowFToll);
  EXPECT_EQ(minimizer.TotalIterations(), 1 + 2);
}
