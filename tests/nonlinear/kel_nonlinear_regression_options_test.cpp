// The options record of the nonlinear estimation: its documented defaults, SetOptions writing
// it, and the estimation following it.
#include <cmath>
#include <limits>

#include "kel_eight_point_exponential.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

using kel_test::EightX;
using kel_test::EightY;
using kel_test::Exponential;

class NonLinearOptions : public kel_test::QuietWarnings {};

// The values the header documents, written out: 400 n minimizer iterations, a refinement step
// tolerance of 0.01, 10000 refinement passes, 100 (n + 1) finish iterations, a step tolerance of
// sqrt(eps) for doubles (2^-26), 300 iterations per uncertain x up to 10000, 100 n robust
// iterations and 10 extrapolation rounds up to 1000 times the best point's size.
TEST_F(NonLinearOptions, DefaultsAreTheDocumentedOnes) {
  const KelNonLinearOptions o;
  EXPECT_EQ(o.minimizerIterationsPerParameter, 400);
  EXPECT_EQ(o.refinementStepTolerance, 0.01);
  EXPECT_EQ(o.maximumRefinementPasses, 10000);
  EXPECT_EQ(o.finishIterationsPerParameter, 100);
  EXPECT_EQ(o.stepTolerance, 1.4901161193847656e-8);
  EXPECT_EQ(o.stepTolerance, std::sqrt(std::numeric_limits<double>::epsilon()));
  EXPECT_EQ(o.xStepIterationsPerValue, 300);
  EXPECT_EQ(o.xStepIterationLimit, 10000);
  EXPECT_EQ(o.robustIterationsPerParameter, 100);
  EXPECT_EQ(o.robustExtrapolationRounds, 10);
  EXPECT_EQ(o.robustExtrapolationLimit, 1000.0);
  // A new regression starts with them.
  KelNonLinearRegression r(1, EightX(), EightY(), Exponential);
  const KelNonLinearOptions& held = r.Options();
  EXPECT_EQ(held.minimizerIterationsPerParameter, 400);
  EXPECT_EQ(held.refinementStepTolerance, 0.01);
  EXPECT_EQ(held.maximumRefinementPasses, 10000);
  EXPECT_EQ(held.finishIterationsPerParameter, 100);
  EXPECT_EQ(held.stepTolerance, 1.4901161193847656e-8);
  EXPECT_EQ(held.xStepIterationsPerValue, 300);
  EXPECT_EQ(held.xStepIterationLimit, 10000);
  EXPECT_EQ(held.robustIterationsPerParameter, 100);
  EXPECT_EQ(held.robustExtrapolationRounds, 10);
  EXPECT_EQ(held.robustExtrapolationLimit, 1000.0);
}

TEST_F(NonLinearOptions, SetOptionsWritesEveryField) {
  KelNonLinearRegression r(1, EightX(), EightY(), Exponential);
  KelNonLinearOptions o;
  o.minimizerIterationsPerParameter = 7;
  o.refinementStepTolerance = 0.02;
  o.maximumRefinementPasses = 11;
  o.finishIterationsPerParameter = 13;
  o.stepTolerance = 1e-6;
  o.xStepIterationsPerValue = 17;
  o.xStepIterationLimit = 19;
  o.robustIterationsPerParameter = 23;
  o.robustExtrapolationRounds = 0;
  o.robustExtrapolationLimit = 29.5;
  r.SetOptions(o);
  const KelNonLinearOptions& held = r.Options();
  EXPECT_EQ(held.minimizerIterationsPerParameter, 7);
  EXPECT_EQ(held.refinementStepTolerance, 0.02);
  EXPECT_EQ(held.maximumRefinementPasses, 11);
  EXPECT_EQ(held.finishIterationsPerParameter, 13);
  EXPECT_EQ(held.stepTolerance, 1e-6);
  EXPECT_EQ(held.xStepIterationsPerValue, 17);
  EXPECT_EQ(held.xStepIterationLimit, 19);
  EXPECT_EQ(held.robustIterationsPerParameter, 23);
  EXPECT_EQ(held.robustExtrapolationRounds, 0);
  EXPECT_EQ(held.robustExtrapolationLimit, 29.5);
}

// Setting the defaults explicitly changes nothing: the estimation reads the record, and the
// record starts with the values the estimation always used.
TEST_F(NonLinearOptions, ExplicitDefaultsGiveTheSameFit) {
  KelNonLinearRegression plain(1, EightX(), EightY(), Exponential);
  plain.SetInitialParameters(1, KelVector(2, 5., 1.));
  KelNonLinearRegression set(1, EightX(), EightY(), Exponential);
  set.SetOptions(KelNonLinearOptions());
  set.SetInitialParameters(1, KelVector(2, 5., 1.));
  EXPECT_TRUE(plain.GetParameters(1) == set.GetParameters(1));
  EXPECT_EQ(plain.Iterations(1), set.Iterations(1));
  EXPECT_EQ(plain.ModelEvaluations(1), set.ModelEvaluations(1));
  EXPECT_EQ(plain.StopReason(1), set.StopReason(1));
}

// New options ask for a new estimation, which follows them: a step tolerance of 1e-3 accepts a
// step that changes each parameter by up to a thousandth of itself, so the finish stops on the
// step test no later than with the default 1.5e-8, and the fit stays within that tolerance of
// the default one (here the sum of squares is flat to first order at the minimum, so the
// parameters agree far better than the tolerance).
TEST_F(NonLinearOptions, NewOptionsAreFollowedByTheNextEstimation) {
  KelNonLinearRegression r(1, EightX(), EightY(), Exponential);
  r.SetInitialParameters(1, KelVector(2, 5., 1.));
  const KelVector tight = r.GetParameters(1);
  const int tightIterations = r.Iterations(1);
  EXPECT_EQ(r.EstimationCount(1), 1);
  KelNonLinearOptions o;
  o.stepTolerance = 1e-3;
  r.SetOptions(o);
  EXPECT_FALSE(r.IsEstimated(1));
  const KelVector loose = r.GetParameters(1);
  EXPECT_EQ(r.EstimationCount(1), 2);
  EXPECT_TRUE(r.Converged(1));
  EXPECT_LE(r.Iterations(1), tightIterations);
  for (int k = 1; k <= 2; ++k) EXPECT_NEAR(loose(k), tight(k), 1e-3 * std::fabs(tight(k)));
}

// One minimizer iteration per parameter and a refinement that ends at once leave the finish
// to do the work from near the start: it still reaches the default fit, by more iterations.
TEST_F(NonLinearOptions, ShorterMinimizerLeavesMoreToTheFinish) {
  KelNonLinearRegression r(1, EightX(), EightY(), Exponential);
  r.SetInitialParameters(1, KelVector(2, 5., 1.));
  const KelVector reference = r.GetParameters(1);
  const int evaluations = r.ModelEvaluations(1);
  KelNonLinearOptions o;
  o.minimizerIterationsPerParameter = 1;
  o.refinementStepTolerance = 1e6;
  r.SetOptions(o);
  const KelVector b = r.GetParameters(1);
  EXPECT_TRUE(r.Converged(1));
  EXPECT_LT(r.ModelEvaluations(1), evaluations);
  for (int k = 1; k <= 2; ++k) EXPECT_NEAR(b(k), reference(k), 1e-7 * std::fabs(reference(k)));
}

}  // namespace
