// How an estimation ends and what it costs (stop reason, model evaluations, iterations), the
// report line that says it, and the user's analytic Jacobian in place of differences.
#include <cmath>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

const std::string mark = "  ** WARNING **";

int storedCalls = 0;     // model calls for a stored experiment
int candidateCalls = 0;  // model calls for a candidate (experiment 0)
int jacobianStoredCalls = 0;
int jacobianCandidateCalls = 0;
double jacobianFactor = 1.0;  // 2 gives a deliberately wrong analytic Jacobian

// Model 1: y = b1 (1 - exp(-b2 x)). Model 2: y = b1 x, defined only for b1 < 1.5 (NaN beyond),
// fitted to data that want b1 = 2: the best fit lies on the edge of the model's domain.
void CountingModel(int model, int experiment, KelVector& b, KelVector& x, KelVector& y) {
  (experiment == 0 ? candidateCalls : storedCalls) += 1;
  if (model == 1) y(1) = b(1) * (1.0 - std::exp(-b(2) * x(1)));
  if (model == 2) y(1) = b(1) < 1.5 ? b(1) * x(1) : std::nan("");
}

void ExponentialJacobian(int, int experiment, KelVector& b, KelVector& x, KelMatrix& dy) {
  (experiment == 0 ? jacobianCandidateCalls : jacobianStoredCalls) += 1;
  const double e = std::exp(-b(2) * x(1));
  dy(1, 1) = jacobianFactor * (1.0 - e);
  dy(1, 2) = jacobianFactor * b(1) * x(1) * e;
}

// Eight points of y = 10 (1 - exp(-0.3 x)) with alternating errors of 0.05.
KelMatrix ExponentialX() {
  KelMatrix X(8, 1);
  for (int i = 1; i <= 8; ++i) X(i, 1) = i;
  return X;
}
KelMatrix ExponentialY() {
  KelMatrix Y(8, 1);
  for (int i = 1; i <= 8; ++i) Y(i, 1) = 10.0 * (1.0 - std::exp(-0.3 * i)) + (i % 2 ? 0.05 : -0.05);
  return Y;
}

class NonLinearFinish : public kel_test::QuietWarnings {
 protected:
  void SetUp() override {
    QuietWarnings::SetUp();
    storedCalls = candidateCalls = jacobianStoredCalls = jacobianCandidateCalls = 0;
    jacobianFactor = 1.0;
  }
};

TEST_F(NonLinearFinish, EvaluationsCountEveryPassOverTheExperiments) {
  KelNonLinearRegression r(1, ExponentialX(), ExponentialY(), CountingModel);
  r.SetInitialParameters(1, KelVector(2, 5., 1.));
  EXPECT_FALSE(r.IsEstimated(1));
  r.GetParameters(1);
  EXPECT_TRUE(r.Converged(1));
  EXPECT_TRUE(r.StopReason(1) == KelEstimationStop::kStep ||
              r.StopReason(1) == KelEstimationStop::kGradient);
  EXPECT_GE(r.Iterations(1), 1);
  // Each evaluation calls the model once per experiment. After the estimation the statistics
  // take the predictions and a central-difference Jacobian (two evaluations per parameter):
  // 1 + 2 * 2 evaluations that the estimation's count leaves out.
  EXPECT_EQ(storedCalls % 8, 0);
  EXPECT_EQ(storedCalls / 8, r.ModelEvaluations(1) + 5);
  EXPECT_EQ(candidateCalls, 0);
}

TEST_F(NonLinearFinish, FitStoppedAtTheEdgeOfTheModelIsNotConverged) {
  const KelMatrix X(4, 1, 1., 2., 3., 4.);
  const KelMatrix Y(4, 1, 2., 4., 6., 8.);
  KelNonLinearRegression r(2, X, Y, CountingModel);
  r.SetInitialParameters(2, KelVector(1, 1.));
  const std::string out = CaptureOutput(
      [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 5.)); });
  // The sum of squares still falls towards b1 = 2, but the model ends at 1.5: no test of
  // convergence can be met there, and the fit must not read as converged.
  EXPECT_FALSE(r.Converged(2));
  EXPECT_TRUE(r.StopReason(2) == KelEstimationStop::kNoProgress ||
              r.StopReason(2) == KelEstimationStop::kIterationLimit);
  EXPECT_LT(r.GetParameters(2)(1), 1.5);
  EXPECT_GT(r.GetParameters(2)(1), 1.4999);
  const std::string line = "\nEstimation NOT converged: ";
  ASSERT_NE(out.find(line), std::string::npos);
  const size_t end = out.find('\n', out.find(line) + 1);
  const std::string printed = out.substr(out.find(line), end - out.find(line));
  EXPECT_NE(printed.find(" after " + std::to_string(r.Iterations(2)) + " iterations and " +
                         std::to_string(r.ModelEvaluations(2)) + " model evaluations" + mark),
            std::string::npos)
      << printed;
}

TEST_F(NonLinearFinish, AnalyticJacobianGivesTheDifferenceStatistics) {
  KelVector differences, analytic;
  double differenceSSE = 0.0;
  {
    KelNonLinearRegression r(1, ExponentialX(), ExponentialY(), CountingModel);
    r.SetInitialParameters(1, KelVector(2, 5., 1.));
    differences = r.StandardErrors(1);
    differenceSSE = r.FinalSSE(1);
  }
  EXPECT_EQ(jacobianStoredCalls, 0);
  KelNonLinearRegression r(1, ExponentialX(), ExponentialY(), CountingModel);
  r.SetJacobian(1, ExponentialJacobian);
  r.SetInitialParameters(1, KelVector(2, 5., 1.));
  analytic = r.StandardErrors(1);
  EXPECT_TRUE(r.Converged(1));
  EXPECT_GT(jacobianStoredCalls, 0);
  EXPECT_EQ(jacobianStoredCalls % 8, 0);
  EXPECT_NEAR(r.FinalSSE(1), differenceSSE, 1e-12 * differenceSSE);
  // Central differences keep about two thirds of the digits of each derivative.
  for (int k = 1; k <= 2; ++k) EXPECT_NEAR(analytic(k), differences(k), 1e-8 * differences(k));
}

TEST_F(NonLinearFinish, AnalyticJacobianFeedsTheStatisticsAndTheExperimentSearch) {
  KelNonLinearRegression r(1, ExponentialX(), ExponentialY(), CountingModel);
  r.SetInitialParameters(1, KelVector(2, 5., 1.));
  const KelVector right = r.StandardErrors(1);
  const KelVector rightPrediction = r.PredictionStandardErrors(1);
  // A Jacobian twice the true one halves every standard error: the covariance is taken from
  // the user's derivatives, not from differences. SetJacobian asks for a new estimation.
  jacobianFactor = 2.0;
  r.SetJacobian(1, ExponentialJacobian);
  EXPECT_FALSE(r.IsEstimated(1));
  const KelVector doubled = r.StandardErrors(1);
  for (int k = 1; k <= 2; ++k) EXPECT_NEAR(doubled(k), 0.5 * right(k), 1e-6 * right(k));
  // Prediction variance g^T Cov g: the doubled rows and the quartered covariance cancel.
  for (int i = 1; i <= 8; ++i)
    EXPECT_NEAR(r.PredictionStandardErrors(1)(i), rightPrediction(i), 1e-6 * rightPrediction(i));
  CaptureOutput(
      [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 1.), KelVector(1, 20.)); });
  // The candidates' Jacobian rows come from the user as well: once per candidate.
  EXPECT_EQ(jacobianCandidateCalls, 100);
  // Back to differences.
  r.SetJacobian(1, nullptr);
  const KelVector again = r.StandardErrors(1);
  for (int k = 1; k <= 2; ++k) EXPECT_NEAR(again(k), right(k), 1e-8 * right(k));
}

// A zero start says nothing of the parameter's size (the estimation takes 1 for it); the fit
// reaches the same minimum as from a start near it.
TEST_F(NonLinearFinish, ZeroStartReachesTheSameMinimum) {
  KelVector near;
  {
    KelNonLinearRegression r(1, ExponentialX(), ExponentialY(), CountingModel);
    r.SetInitialParameters(1, KelVector(2, 10., 0.3));
    near = r.GetParameters(1);
  }
  KelNonLinearRegression r(1, ExponentialX(), ExponentialY(), CountingModel);
  r.SetInitialParameters(1, KelVector(2, 0., 0.5));
  const KelVector b = r.GetParameters(1);
  EXPECT_TRUE(r.Converged(1));
  for (int k = 1; k <= 2; ++k) EXPECT_NEAR(b(k), near(k), 1e-8 * std::fabs(near(k)));
}

// The guide: "converged on the step" and "converged on the gradient" are converged fits; "NOT
// converged: iteration limit" and "NOT converged: no progress" are not, and neither is a model
// that was not estimated, nor the estimation's own "go on", which no model ever reports.
TEST(NonLinearStopReasons, OnlyTheStepAndTheGradientTestAreConverged) {
  struct Case {
    KelEstimationStop stop;
    bool converged;
  };
  const Case cases[] = {
      {KelEstimationStop::kNotEstimated, false}, {KelEstimationStop::kStep, true},
      {KelEstimationStop::kGradient, true},      {KelEstimationStop::kIterationLimit, false},
      {KelEstimationStop::kNoProgress, false},   {KelEstimationStop::kContinue, false}};
  for (const Case& c : cases)
    EXPECT_EQ(KelConverged(c.stop), c.converged) << "stop reason " << static_cast<int>(c.stop);
  // Usable where a constant is needed.
  static_assert(KelConverged(KelEstimationStop::kStep) &&
                !KelConverged(KelEstimationStop::kIterationLimit));
}

// The values a program may have stored: the internal "go on" comes after them, so that none
// of them moved.
TEST(NonLinearStopReasons, ReportedReasonsKeepTheirValues) {
  EXPECT_EQ(static_cast<int>(KelEstimationStop::kNotEstimated), 0);
  EXPECT_EQ(static_cast<int>(KelEstimationStop::kStep), 1);
  EXPECT_EQ(static_cast<int>(KelEstimationStop::kGradient), 2);
  EXPECT_EQ(static_cast<int>(KelEstimationStop::kIterationLimit), 3);
  EXPECT_EQ(static_cast<int>(KelEstimationStop::kNoProgress), 4);
}

// The finish gets f (n + 1) damped Gauss-Newton iterations, f the option
// finishIterationsPerParameter. Started far from the minimum (one minimizer iteration per
// parameter, and a refinement that stops at once), the finish needs several of them: every f
// below the one that suffices stops at the limit, f (n + 1) iterations into the finish, and must
// not read as converged; the first f that suffices ends on the same fit as the default limit.
TEST_F(NonLinearFinish, FinishThatRunsOutOfIterationsStopsAtTheLimitAndIsNotConverged) {
  KelNonLinearOptions options;
  options.minimizerIterationsPerParameter = 1;
  options.refinementStepTolerance = 1e6;
  auto fit = [&](int perParameter, KelNonLinearRegression& r) {
    options.finishIterationsPerParameter = perParameter;
    r.SetOptions(options);
    r.SetInitialParameters(1, KelVector(2, 5., 1.));
    return r.GetParameters(1);
  };
  KelNonLinearRegression generous(1, ExponentialX(), ExponentialY(), CountingModel);
  const KelVector converged = fit(100, generous);
  ASSERT_TRUE(generous.Converged(1));

  int firstIterations = 0;
  int perParameter = 1;
  for (;; ++perParameter) {
    ASSERT_LE(perParameter, 100);
    KelNonLinearRegression r(1, ExponentialX(), ExponentialY(), CountingModel);
    const KelVector b = fit(perParameter, r);
    if (perParameter == 1) firstIterations = r.Iterations(1);
    if (r.Converged(1)) {
      EXPECT_TRUE(b == converged);
      EXPECT_LE(r.Iterations(1), firstIterations + (perParameter - 1) * 3);
      break;
    }
    EXPECT_EQ(r.StopReason(1), KelEstimationStop::kIterationLimit);
    // Each more unit of the option is n + 1 = 3 more iterations, all run.
    EXPECT_EQ(r.Iterations(1), firstIterations + (perParameter - 1) * 3);
    const std::string out = CaptureOutput([&] { r.LeastSquaresAnalysis(); });
    EXPECT_NE(out.find("\nEstimation NOT converged: iteration limit after " +
                       std::to_string(r.Iterations(1)) + " iterations and " +
                       std::to_string(r.ModelEvaluations(1)) + " model evaluations" + mark),
              std::string::npos)
        << out.substr(0, 400);
  }
  // The limit did bind: the finish needed more than n + 1 iterations from that start.
  EXPECT_GT(perParameter, 1);
}

}  // namespace
