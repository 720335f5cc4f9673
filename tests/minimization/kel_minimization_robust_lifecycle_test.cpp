// Life of a search: limits and continuation, finished searches, restarts, the exception guard,
// NaN starts and values, and the fatal preconditions.
#include <cmath>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"
#include "minimization_test_objectives.h"

using kel_test::Bowl;
using kel_test::CaptureOutput;
using kel_test::Rosenbrock;

namespace {

class MinimizationLifecycle : public kel_test::QuietWarnings {};

int callsBeforeThrow = -1;
// The bowl, abandoned by an exception at the call that brings callsBeforeThrow to 0.
double abandoningBowl(KelVector& x) {
  if (callsBeforeThrow >= 0 && callsBeforeThrow-- == 0) throw KelExceptionHandling();
  return Bowl(x);
}

// Unfeasible wherever the first coordinate is negative.
double rightHalf(KelVector& x) {
  if (x(1) < 0.0) kelUnfeasible = 1;
  return Bowl(x);
}

double alwaysNan(KelVector&) {
  return std::nan("");
}
double constantOne(KelVector&) {
  return 1.0;
}

// NaN everywhere except at the start point (1, 2).
double nanBesideStart(KelVector& x) {
  return (x(1) == 1.0 && x(2) == 2.0) ? 5.0 : std::nan("");
}

// Writes into its argument after computing the value.
double scribblingBowl(KelVector& x) {
  const double value = Bowl(x);
  x(1) = 1e6;
  x(2) = -1e6;
  return value;
}

}  // namespace

TEST_F(MinimizationLifecycle, ConstructionEvaluatesTheStartOnceAndDoesNotSearch) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
  EXPECT_EQ(minimizer.ExitCause(), KelMinimizationRobust::kNotRun);
  EXPECT_EQ(minimizer.TotalIterations(), 1);
  EXPECT_EQ(minimizer.FeasibleIterations(), 1);
  EXPECT_EQ(minimizer.IterationsInLastCall(), 0);
  EXPECT_EQ(minimizer.StartValue(), 25.0);
  EXPECT_EQ(minimizer.FSolution(), 25.0);
  EXPECT_TRUE(minimizer.XMin() == KelVector(2, 3.0, 4.0));
  EXPECT_EQ(minimizer.VertexValues()(3), 25.0);
}

TEST_F(MinimizationLifecycle, LimitReachedThenSecondCallContinuesTheSameSearch) {
  KelMinimizationRobust whole(KelVector(2, -1.2, 1.0), Rosenbrock);
  const signed char wholeCause = whole(0);
  ASSERT_NE(wholeCause, KelMinimizationRobust::kIterationLimit);

  KelMinimizationRobust split(KelVector(2, -1.2, 1.0), Rosenbrock);
  EXPECT_EQ(split(40), KelMinimizationRobust::kIterationLimit);
  EXPECT_EQ(split.ExitCause(), KelMinimizationRobust::kIterationLimit);
  const int first = split.IterationsInLastCall();
  // Checked between steps: a step may overshoot by its own few evaluations (at most 2n).
  EXPECT_GE(first, 40);
  EXPECT_LE(first, 44);
  EXPECT_EQ(split(0), wholeCause);
  // Had the second call rebuilt the simplex, the path and the counts would differ.
  EXPECT_EQ(first + split.IterationsInLastCall(), whole.IterationsInLastCall());
  EXPECT_EQ(split.TotalIterations(), whole.TotalIterations());
  EXPECT_EQ(split.FSolution(), whole.FSolution());
  EXPECT_TRUE(split.XMin() == whole.XMin());
  EXPECT_NEAR(split.XMin()(1), 1.0, 1e-6);
  EXPECT_NEAR(split.XMin()(2), 1.0, 1e-6);
}

TEST_F(MinimizationLifecycle, ManySmallCallsFollowTheSamePathAsOne) {
  KelMinimizationRobust whole(KelVector(5, -1.2, 1.0, -1.2, 1.0, -1.2), Rosenbrock);
  const signed char wholeCause = whole(0);
  KelMinimizationRobust pieces(KelVector(5, -1.2, 1.0, -1.2, 1.0, -1.2), Rosenbrock);
  signed char cause = KelMinimizationRobust::kIterationLimit;
  int calls = 0;
  while (cause == KelMinimizationRobust::kIterationLimit && calls < 10000) {
    cause = pieces(7);
    ++calls;
  }
  EXPECT_GT(calls, 50);
  EXPECT_EQ(cause, wholeCause);
  EXPECT_EQ(pieces.TotalIterations(), whole.TotalIterations());
  EXPECT_TRUE(pieces.XMin() == whole.XMin());
}

TEST_F(MinimizationLifecycle, ZeroAndNegativeLimitsMeanNoPracticalLimit) {
  for (int limit : {0, -3}) {
    KelMinimizationRobust minimizer(KelVector(5, -1.2, 1.0, -1.2, 1.0, -1.2), Rosenbrock);
    EXPECT_NE(minimizer(limit), KelMinimizationRobust::kIterationLimit);
    EXPECT_GT(minimizer.IterationsInLastCall(), 500);
  }
}

TEST_F(MinimizationLifecycle, FinishedSearchReturnsItsCauseWithoutEvaluating) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
  const signed char cause = minimizer(0);
  const int total = minimizer.TotalIterations();
  EXPECT_EQ(minimizer(0), cause);
  EXPECT_EQ(minimizer(5), cause);
  EXPECT_EQ(minimizer.TotalIterations(), total);
  EXPECT_EQ(minimizer.IterationsInLastCall(), 0);
}

TEST_F(MinimizationLifecycle, SearchFinishedOnTheLimitReportsItsOwnCause) {
  KelMinimizationRobust whole(KelVector(2, 3.0, 4.0), Bowl);
  whole.SetFToll(0.5);
  ASSERT_EQ(whole(0), KelMinimizationRobust::kBelowFToll);
  const int needed = whole.IterationsInLastCall();
  // The step that went below fToll also used up the limit: the search is over, and saying
  // "maximum number of iterations" would invite a caller to call again forever.
  KelMinimizationRobust exact(KelVector(2, 3.0, 4.0), Bowl);
  exact.SetFToll(0.5);
  EXPECT_EQ(exact(needed), KelMinimizationRobust::kBelowFToll);
  EXPECT_EQ(exact(0), KelMinimizationRobust::kBelowFToll);
  EXPECT_EQ(exact.TotalIterations(), whole.TotalIterations());
}

TEST_F(MinimizationLifecycle, InitializeStartsANewSearchFromTheNewPoint) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
  minimizer(0);
  const int total = minimizer.TotalIterations();
  const int feasible = minimizer.FeasibleIterations();
  minimizer.Initialize(KelVector(2, -5.0, 5.0));
  EXPECT_EQ(minimizer.ExitCause(), KelMinimizationRobust::kNotRun);
  EXPECT_EQ(minimizer.TotalIterations(), total + 1);
  EXPECT_EQ(minimizer.FeasibleIterations(), feasible + 1);
  EXPECT_EQ(minimizer.IterationsInLastCall(), 0);
  EXPECT_EQ(minimizer.StartValue(), 50.0);
  EXPECT_EQ(minimizer.FSolution(), 50.0);
  EXPECT_TRUE(minimizer.X0() == KelVector(2, -5.0, 5.0));
  EXPECT_NE(minimizer(0), KelMinimizationRobust::kIterationLimit);
  EXPECT_LT(minimizer.FSolution(), 1e-12);
}

TEST_F(MinimizationLifecycle, ExceptionFromTheObjectiveStopsTheObjectUntilInitialize) {
  callsBeforeThrow = 30;
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), abandoningBowl);
  std::string output = CaptureOutput([&] { EXPECT_THROW(minimizer(0), KelExceptionHandling); });
  EXPECT_EQ(output, "\nWarning!!\nKelExceptionHandling");
  EXPECT_EQ(minimizer.ExitCause(), KelMinimizationRobust::kStopped);

  const int total = minimizer.TotalIterations();
  for (int limit : {0, 100}) {
    signed char cause = 0;
    output = CaptureOutput([&] { cause = minimizer(limit); });
    EXPECT_EQ(cause, KelMinimizationRobust::kStopped);
    EXPECT_EQ(output,
              "\nWarning!!\nKelMinimizationRobust class\n\n"
              "Object KelMinimizationRobust used with kelStop == 1");
  }
  EXPECT_EQ(minimizer.TotalIterations(), total);

  callsBeforeThrow = -1;
  minimizer.Initialize(KelVector(2, 1.0, 1.0));
  EXPECT_NE(minimizer(0), KelMinimizationRobust::kStopped);
  EXPECT_LT(minimizer.FSolution(), 1e-12);
}

TEST_F(MinimizationLifecycle, NanEverywhereButTheStartEndsWithTheStartAsSolution) {
  KelMinimizationRobust minimizer(KelVector(2, 1.0, 2.0), nanBesideStart);
  // No feasible evaluation ever counts against the limit: the collapse handling must end it.
  EXPECT_EQ(minimizer(0), KelMinimizationRobust::kCollapsed);
  EXPECT_EQ(minimizer.FSolution(), 5.0);
  EXPECT_TRUE(minimizer.XMin() == KelVector(2, 1.0, 2.0));
  EXPECT_EQ(minimizer.FeasibleIterations(), 1);
  EXPECT_LT(minimizer.TotalIterations(), 2000);
}

TEST_F(MinimizationLifecycle, ObjectiveWritingIntoItsArgumentCannotMoveTheSimplex) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), scribblingBowl);
  minimizer(0);
  EXPECT_TRUE(minimizer.X0() == KelVector(2, 3.0, 4.0));
  EXPECT_LT(minimizer.FSolution(), 1e-12);
  EXPECT_NEAR(minimizer.XMin()(1), 0.0, 1e-6);
}

using MinimizationLifecycleDeathTest = MinimizationLifecycle;

TEST_F(MinimizationLifecycleDeathTest, UnfeasibleStartIsFatalAtConstruction) {
  EXPECT_KEL_FATAL(KelMinimizationRobust(KelVector(2, -1.0, 0.0), rightHalf),
                   "The starting point must be feasible in KelMinimizationRobust");
}

TEST_F(MinimizationLifecycleDeathTest, UnfeasibleStartIsFatalAtInitialize) {
  EXPECT_KEL_FATAL(
      {
        KelMinimizationRobust minimizer(KelVector(2, 1.0, 0.0), rightHalf);
        minimizer.Initialize(KelVector(2, -1.0, 0.0));
      },
      "The starting point must be feasible in KelMinimizationRobust");
}

TEST_F(MinimizationLifecycleDeathTest, NanStartValueIsAnUnfeasibleStart) {
  EXPECT_KEL_FATAL(KelMinimizationRobust(KelVector(2, 1.0, 0.0), alwaysNan),
                   "The starting point must be feasible in KelMinimizationRobust");
}

TEST_F(MinimizationLifecycleDeathTest, NanStartCoordinateIsAnUnfeasibleStart) {
  // The objective would happily return 1 for it; the point never reaches the objective.
  EXPECT_KEL_FATAL(KelMinimizationRobust(KelVector(2, 1.0, std::nan("")), constantOne),
                   "The starting point must be feasible in KelMinimizationRobust");
}

TEST_F(MinimizationLifecycleDeathTest, MissingObjectiveIsFatal) {
  EXPECT_KEL_FATAL(KelMinimizationRobust(KelVector(2, 1.0, 0.0), nullptr),
                   "KelMinimizationRobust class\n Error in Initialization");
}

TEST_F(MinimizationLifecycleDeathTest, DimensionMismatchAtInitializeIsFatal) {
  EXPECT_KEL_FATAL(
      {
        KelMinimizationRobust minimizer(KelVector(2, 1.0, 0.0), Bowl);
        minimizer.Initialize(KelVector(3, 1.0, 0.0, 0.0));
      },
      "KelMinimizationRobust class\n\nDimension check failure\n");
}

TEST_F(MinimizationLifecycleDeathTest, EmptyStartIsFatal) {
  EXPECT_KEL_FATAL(KelMinimizationRobust(KelVector(), Bowl),
                   "KelMinimizationRobust class\n\nDimension check failure\n");
}

TEST_F(MinimizationLifecycleDeathTest, BoundsOfTheWrongSizeOrCrossedAreFatal) {
  EXPECT_KEL_FATAL(
      {
        KelMinimizationRobust minimizer(KelVector(2, 1.0, 0.0), Bowl);
        minimizer.SetBounds(KelVector(1, 0.0), KelVector(2, 1.0, 1.0));
      },
      "KelMinimizationRobust class\n\nDimension check failure\n");
  EXPECT_KEL_FATAL(
      {
        KelMinimizationRobust minimizer(KelVector(2, 1.0, 0.0), Bowl);
        minimizer.SetBounds(KelVector(2, 0.0, 2.0), KelVector(2, 1.0, 1.0));
      },
      "KelMinimizationRobust class\n\nDimension check failure\n");
}

TEST_F(MinimizationLifecycleDeathTest, UnopenableTrajectoryFileIsFatal) {
  EXPECT_KEL_FATAL(
      {
        KelMinimizationRobust minimizer(KelVector(2, 1.0, 0.0), Bowl);
        minimizer.Save("no_such_folder/sub/trajectory.txt");
      },
      "\nCan't open FILE\n");
}
