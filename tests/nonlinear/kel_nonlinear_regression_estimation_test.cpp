// Construction, data and estimation of KelNonLinearRegression: several live objects, flattening and
// weights, the fatal texts, estimation of models with closed-form answers, the statistics after
// estimation, lazy single estimation, and models that return NaN or infinity.
#include <cmath>
#include <limits>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

const std::string classText = "KelNonLinearRegression class\n";

// Model 1: y = b1 + b2 x (one response). Model 2: y1 = b1 x1, y2 = b2 x1^2 (two responses).
// Model 3: y = b1 exp(-b2 x), NaN where b2 < 0.3. Model 4: y = b1 exp(-b2 x), infinite
// everywhere except at b = (1, 1). Model 5: y = b1 + 2 x, which b2 does not affect. Model 6:
// y = b1 x, NaN where b1 < 1.5.
void TestModel(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  switch (model) {
    case 1:
      y(1) = b(1) + b(2) * x(1);
      break;
    case 2:
      y(1) = b(1) * x(1);
      y(2) = b(2) * x(1) * x(1);
      break;
    case 3:
      y(1) = b(1) * std::exp(-b(2) * x(1)) * (1.0 + 0.0 * std::sqrt(b(2) - 0.3));
      break;
    case 4:
      y(1) =
          (b(1) == 1.0 && b(2) == 1.0) ? std::exp(-x(1)) : std::numeric_limits<double>::infinity();
      break;
    case 5:
      y(1) = b(1) + 2.0 * x(1);
      break;
    case 6:
      y(1) = b(1) < 1.5 ? std::nan("") : b(1) * x(1);
      break;
    default:
      break;
  }
}

// y = 1 + 2x with residuals +-0.1 over x = 1..5.
KelMatrix LineX() {
  return KelMatrix(5, 1, 1., 2., 3., 4., 5.);
}
KelMatrix LineY() {
  return KelMatrix(5, 1, 3.1, 4.9, 7.1, 8.9, 11.1);
}

class NonLinearEstimation : public kel_test::QuietWarnings {};

// y = 10 - 3x with residuals +-0.2 over x = 1..5, a line of other data than LineY.
KelMatrix FallingY() {
  return KelMatrix(5, 1, 7.2, 3.8, 1.2, -2.2, -4.8);
}

struct LineFit {
  double intercept = 0.0;
  double slope = 0.0;
  double sse = 0.0;
};

// Closed-form least-squares line through (i, Y(i, 1)), i = 1..5.
LineFit ClosedFormLine(const KelMatrix& Y) {
  double sy = 0.0, sxy = 0.0;
  for (int i = 1; i <= 5; ++i) {
    sy += Y(i, 1);
    sxy += i * Y(i, 1);
  }
  const double n = 5, sx = 15, sxx = 55;
  LineFit fit;
  fit.slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  fit.intercept = (sy - fit.slope * sx) / n;
  for (int i = 1; i <= 5; ++i) {
    const double e = Y(i, 1) - fit.intercept - fit.slope * i;
    fit.sse += e * e;
  }
  return fit;
}

LineFit EstimatedLine(KelNonLinearRegression& r) {
  const KelVector b = r.GetParameters(1);
  return {b(1), b(2), r.FinalSSE(1)};
}

LineFit LineAlone(const KelMatrix& Y) {
  KelNonLinearRegression r(1, LineX(), Y, TestModel);
  r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  return EstimatedLine(r);
}

// Two objects alive at once, their estimations interleaved: each gives exactly the fit it gives
// alone, and that fit is the closed-form line of its own data (nothing leaks from the other).
TEST_F(NonLinearEstimation, TwoLiveObjectsEstimateAsEachAlone) {
  const LineFit risingAlone = LineAlone(LineY());
  const LineFit fallingAlone = LineAlone(FallingY());
  KelNonLinearRegression rising(1, LineX(), LineY(), TestModel);
  KelNonLinearRegression falling(1, LineX(), FallingY(), TestModel);
  rising.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  falling.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  const LineFit fallingTogether = EstimatedLine(falling);
  const LineFit risingTogether = EstimatedLine(rising);
  const struct {
    const char* name;
    LineFit alone, together, exact;
  } cases[] = {{"rising", risingAlone, risingTogether, ClosedFormLine(LineY())},
               {"falling", fallingAlone, fallingTogether, ClosedFormLine(FallingY())}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.together.intercept, c.alone.intercept);
    EXPECT_EQ(c.together.slope, c.alone.slope);
    EXPECT_EQ(c.together.sse, c.alone.sse);
    // The tolerance of StraightLineMatchesClosedFormLeastSquares, relative to the data (|y| up
    // to 11).
    EXPECT_NEAR(c.together.intercept, c.exact.intercept, 1e-10 * 11);
    EXPECT_NEAR(c.together.slope, c.exact.slope, 1e-10 * 11);
    EXPECT_NEAR(c.together.sse, c.exact.sse, 1e-10 * c.exact.sse);
  }
}

void BuildMismatched() {
  KelNonLinearRegression r(1, LineX(), KelMatrix(4, 1, 1., 2., 3., 4.), TestModel);
}
void BuildAllZero() {
  KelNonLinearRegression r(1, LineX(), KelMatrix(5, 1), TestModel);
}
void SetZeroWeight() {
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetWeights(KelMatrix(5, 1, 1., 0., 1., 1., 1.));
}
void SetInfiniteVariance() {
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetVariances(3, KelVector(1, std::numeric_limits<double>::infinity()));
}
void SetThreeVariances() {
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetVariances(3, KelVector(3, 1., 1., 1.));
}
void SetNoDegreesOfFreedom() {
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetVariances(0, KelVector(1, 1.));
}
void SetNullVariance() {
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetVariances(2, KelVector(1, 0.));
}
void SetParametersOfModel(int model, int size) {
  KelNonLinearRegression r(2, LineX(), LineY(), TestModel);
  r.SetInitialParameters(model, KelVector(size));
}

TEST_F(NonLinearEstimation, FatalTextsOfTheData) {
  EXPECT_KEL_FATAL(BuildMismatched(), classText + "\nDimension check failure\n5 x 1 and 4 x 1");
  EXPECT_KEL_FATAL(BuildAllZero(), classText + "\nsst == 0.");
  EXPECT_KEL_FATAL(SetZeroWeight(), classText + "\nThe weight 2 1 must be positive 0.000000e+00");
  // An infinite variance is refused as data before it could become a zero weight.
  EXPECT_KEL_FATAL(SetInfiniteVariance(), classText + "Non-finite data\nvariances(1) = inf");
  EXPECT_KEL_FATAL(SetThreeVariances(),
                   "\n" + classText + "Wrong number of variances\nsizes 3 and 1 or 2");
  EXPECT_KEL_FATAL(
      SetNoDegreesOfFreedom(),
      "\n" + classText + "Degree of fredom must be greater than 0\ndegrees of freedom = 0");
  EXPECT_KEL_FATAL(SetNullVariance(), "\n" + classText + "Variances null\nvariance 1 = 0");
  EXPECT_KEL_FATAL(SetParametersOfModel(0, 2),
                   classText + "\nDimension check failure\nindex 0, valid 1..2");
  EXPECT_KEL_FATAL(SetParametersOfModel(3, 2),
                   classText + "\nDimension check failure\nindex 3, valid 1..2");
  EXPECT_KEL_FATAL(SetParametersOfModel(1, 0), classText + "\nDimension check failure\n");
}

TEST_F(NonLinearEstimation, FlatteningIsResponseMajorWithWeightsFromVariances) {
  const KelMatrix X(3, 1, 1., 2., 3.);
  const KelMatrix Y(3, 2, 1., 10., 2., 20., 3., 30.);
  KelNonLinearRegression r(1, X, Y, TestModel);
  EXPECT_EQ(r.NumberOfMeasurements(), 6);
  EXPECT_EQ(r.WeightingKind(), 3);
  EXPECT_DOUBLE_EQ(r.TotalSumOfSquares(), 1 + 4 + 9 + 100 + 400 + 900);
  EXPECT_DOUBLE_EQ(r.MeanWeight(), 1.0);
  r.SetVariances(4, KelVector(2, 4., 0.25));
  EXPECT_EQ(r.WeightingKind(), 2);
  EXPECT_EQ(r.VarianceKind(), 1);
  const KelVector& w = r.Weights();
  for (int i = 1; i <= 3; ++i) {
    EXPECT_DOUBLE_EQ(w(i), 0.5);
    EXPECT_DOUBLE_EQ(w(i + 3), 2.0);
  }
  // sqrt of the mean over responses of the mean of 1/w^2 = sqrt((4 + 0.25) / 2).
  EXPECT_DOUBLE_EQ(r.MeanWeight(), std::sqrt(2.125));
}

TEST_F(NonLinearEstimation, VariancesOfTheIndependentVariablesSwitchToKindTwo) {
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetVariances(3, KelVector(2, 0.01, 0.0));
  EXPECT_EQ(r.VarianceKind(), 2);
  EXPECT_DOUBLE_EQ(r.Weights()(1), 10.0);
}

// A parameter the responses do not depend on is not determined by the data: its standard error
// is infinite (the report's t value 0 and P value 1), never a small number.
TEST_F(NonLinearEstimation, ParameterWithoutInfluenceHasAnInfiniteStandardError) {
  KelNonLinearRegression r(5, LineX(), LineY(), TestModel);
  r.SetInitialParameters(5, KelVector(2, 0.5, -46.9));
  EXPECT_TRUE(std::isfinite(r.StandardErrors(5)(1)));
  EXPECT_GT(r.StandardErrors(5)(1), 0.0);
  EXPECT_EQ(r.StandardErrors(5)(2), std::numeric_limits<double>::infinity());
}

// Straight line: difference quotients are exact, so every statistic has a closed form.
TEST_F(NonLinearEstimation, StraightLineMatchesClosedFormLeastSquares) {
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  const KelVector b = r.GetParameters(1);
  // Normal equations by hand: Sx = 15, Sxx = 55, Sy = 35.1, Sxy = 124.9, n = 5.
  const double n = 5, sx = 15, sxx = 55, sy = 35.1, sxy = 3.1 + 9.8 + 21.3 + 35.6 + 55.5;
  const double det = n * sxx - sx * sx;
  const double slope = (n * sxy - sx * sy) / det;
  const double intercept = (sy - slope * sx) / n;
  // The damped Gauss-Newton finish solves the linear problem up to the rounding of the
  // difference quotients (about eps |y| / h = 4e-10 of each derivative) times its last step.
  EXPECT_NEAR(b(1), intercept, 1e-10);
  EXPECT_NEAR(b(2), slope, 1e-10);
  EXPECT_TRUE(r.Converged(1));
  double sse = 0.0;
  const KelMatrix Y = LineY();
  for (int i = 1; i <= 5; ++i) {
    const double e = Y(i, 1) - intercept - slope * i;
    sse += e * e;
  }
  EXPECT_NEAR(r.FinalSSE(1), sse, 1e-12);
  EXPECT_NEAR(r.SumOfSquares(1), sse, 1e-12);
  EXPECT_EQ(r.DegreesOfFreedom(1), 3);
  EXPECT_NEAR(r.StandardDeviation(1), std::sqrt(sse / 3), 1e-12);
  EXPECT_NEAR(r.R2(1), 1.0 - sse / (3.1 * 3.1 + 4.9 * 4.9 + 7.1 * 7.1 + 8.9 * 8.9 + 11.1 * 11.1),
              1e-14);
  // R: qt(0.975, 3), qt(0.995, 3).
  EXPECT_NEAR(r.T95(1), 3.1824463052837078, 1e-10 * 3.18);
  EXPECT_NEAR(r.T99(1), 5.8409093097333544, 1e-10 * 5.84);
  // Unit weights: the covariance is s^2 (F^T F)^-1 = s^2 [[sxx, -sx], [-sx, n]] / det, with
  // s^2 = SSE / 3 estimated from the residuals.
  const double s2 = sse / 3;
  const KelMatrixSymmetric& cov = r.Covariance(1);
  EXPECT_NEAR(cov(1, 1), s2 * sxx / det, 1e-10);
  EXPECT_NEAR(cov(2, 2), s2 * n / det, 1e-10);
  EXPECT_NEAR(cov(1, 2), -s2 * sx / det, 1e-10);
  EXPECT_NEAR(r.StandardErrors(1)(1), std::sqrt(s2 * sxx / det), 1e-10);
  EXPECT_NEAR(r.StandardErrors(1)(2), std::sqrt(s2 * n / det), 1e-10);
  // Prediction standard error at x: s sqrt((sxx - 2 sx x + n x^2) / det).
  for (int i = 1; i <= 5; ++i) {
    const double x = i;
    EXPECT_NEAR(r.PredictionStandardErrors(1)(i),
                std::sqrt(s2 * (sxx - 2 * sx * x + n * x * x) / det), 1e-10);
    EXPECT_NEAR(r.Predictions(1)(i), intercept + slope * x, 1e-10);
    EXPECT_NEAR(r.Residuals(1)(i), Y(i, 1) - intercept - slope * x, 1e-10);
  }
  // Condition number: square root of the eigenvalue ratio of F^T F = [[5, 15], [15, 55]].
  const double mean = (n + sxx) / 2, radius = std::sqrt((sxx - n) * (sxx - n) / 4 + sx * sx);
  EXPECT_NEAR(r.ConditionNumber(1), std::sqrt((mean + radius) / (mean - radius)), 1e-9);
  EXPECT_EQ(r.RankDeficiency(1), 0);
}

// Two responses with different variances; each parameter belongs to one response, so the
// weighted fit splits into two one-parameter fits: b1 = Sxy1/Sxx, b2 = Sx2y2/Sx4.
void TwoResponseModel(int, int, KelVector& b, KelVector& x, KelVector& y) {
  y(1) = b(1) * x(1);
  y(2) = b(2) * x(1) * x(1);
}

TEST_F(NonLinearEstimation, WeightedTwoResponseFit) {
  const KelMatrix X(4, 1, 1., 2., 3., 4.);
  const KelMatrix Y(4, 2, 2.1, 2.9, 3.9, 12.2, 6.2, 26.8, 7.9, 48.3);
  KelNonLinearRegression r(1, X, Y, TwoResponseModel);
  r.SetVariances(6, KelVector(2, 0.04, 0.25));
  r.SetInitialParameters(1, KelVector(2, 1., 1.));
  const KelVector b = r.GetParameters(1);
  double sxy1 = 0, sxx = 0, sx2y2 = 0, sx4 = 0;
  for (int i = 1; i <= 4; ++i) {
    const double x = i;
    sxy1 += x * Y(i, 1);
    sxx += x * x;
    sx2y2 += x * x * Y(i, 2);
    sx4 += x * x * x * x;
  }
  EXPECT_NEAR(b(1), sxy1 / sxx, 1e-7);
  EXPECT_NEAR(b(2), sx2y2 / sx4, 1e-7);
  double weighted = 0;
  for (int i = 1; i <= 4; ++i) {
    const double x = i;
    const double e1 = (Y(i, 1) - b(1) * x) / 0.2, e2 = (Y(i, 2) - b(2) * x * x) / 0.5;
    weighted += e1 * e1 + e2 * e2;
  }
  EXPECT_NEAR(r.FinalSSE(1), weighted, 1e-9);
  // Weighted covariance: diag(0.04 / Sxx, 0.25 / Sx4).
  EXPECT_NEAR(r.StandardErrors(1)(1), std::sqrt(0.04 / sxx), 1e-10);
  EXPECT_NEAR(r.StandardErrors(1)(2), std::sqrt(0.25 / sx4), 1e-10);
  EXPECT_NEAR(r.Covariance(1)(1, 2), 0.0, 1e-14);
  EXPECT_EQ(r.DegreesOfFreedom(1), 6);
}

// SetWeights takes w = 1 / sigma per measurement and multiplies the residuals and the rows of
// the Jacobian by it, so the normal matrix is F^T W^2 F with W = diag(w). The weights carry the
// variances (sigma^2 = 1 / w^2), known: the covariance is (F^T W^2 F)^-1 with s^2 = 1, not
// scaled by the mean square error as with unit weights. For the straight line F = [1, x] the
// weighted sums by hand give the estimates and that inverse.
TEST_F(NonLinearEstimation, WeightedStandardErrorsAreThoseOfTheSquaredWeightsWithKnownVariance) {
  const double w[5] = {1.0, 2.0, 0.5, 4.0, 1.5};
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetWeights(KelMatrix(5, 1, w[0], w[1], w[2], w[3], w[4]));
  r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  const KelMatrix Y = LineY();
  double s0 = 0, s1 = 0, s2 = 0, sy = 0, sxy = 0;
  for (int i = 1; i <= 5; ++i) {
    const double w2 = w[i - 1] * w[i - 1], x = i;
    s0 += w2;
    s1 += w2 * x;
    s2 += w2 * x * x;
    sy += w2 * Y(i, 1);
    sxy += w2 * x * Y(i, 1);
  }
  const double det = s0 * s2 - s1 * s1;
  const double slope = (s0 * sxy - s1 * sy) / det;
  const double intercept = (sy - slope * s1) / s0;
  const KelVector b = r.GetParameters(1);
  EXPECT_NEAR(b(1), intercept, 1e-9);
  EXPECT_NEAR(b(2), slope, 1e-9);
  const double se1 = std::sqrt(s2 / det), se2 = std::sqrt(s0 / det);
  EXPECT_NEAR(r.StandardErrors(1)(1), se1, 1e-9 * se1);
  EXPECT_NEAR(r.StandardErrors(1)(2), se2, 1e-9 * se2);
  EXPECT_NEAR(r.Covariance(1)(1, 2), -s1 / det, 1e-9 * s1 / det);
  // The weighted sum of squares over 3 degrees of freedom is far from 1 here, so scaling by it
  // (or weighting by w instead of w^2) would move the standard errors well beyond the tolerance.
  double weighted = 0.0;
  for (int i = 1; i <= 5; ++i) {
    const double e = w[i - 1] * (Y(i, 1) - intercept - slope * i);
    weighted += e * e;
  }
  EXPECT_NEAR(r.FinalSSE(1), weighted, 1e-9 * weighted);
  EXPECT_GT(std::fabs(std::sqrt(weighted / 3) - 1.0), 0.1);
}

// y = b1 x is defined for b1 >= 1.5 only and the data (y = x) want b1 = 1: started on the edge,
// the fit stays there, where the central difference would reach below the edge. The one-sided
// quotient towards the domain is exact for a line: the Jacobian is x, and with unit weights the
// standard error is sqrt(s^2 / sum x^2), s^2 = sum (x - 1.5 x)^2 / 3 = 7.5 / 3, sum x^2 = 30.
TEST_F(NonLinearEstimation, FitEndingOnTheLowerEdgeOfTheDomainTakesTheOneSidedDerivative) {
  const KelMatrix X(4, 1, 1., 2., 3., 4.);
  KelNonLinearRegression r(6, X, X, TestModel);
  r.SetInitialParameters(6, KelVector(1, 1.5));
  EXPECT_EQ(r.GetParameters(6)(1), 1.5);
  EXPECT_FALSE(r.Converged(6));
  EXPECT_EQ(r.FinalSSE(6), 7.5);
  const KelMatrix& J = r.Jacobian(6);
  for (int i = 1; i <= 4; ++i) EXPECT_NEAR(J(i, 1), X(i, 1), 1e-9 * X(i, 1)) << i;
  const double se = std::sqrt(7.5 / 3 / 30);
  EXPECT_NEAR(r.StandardErrors(6)(1), se, 1e-9 * se);
}

TEST_F(NonLinearEstimation, MoreThanTwentyDegreesOfFreedomGiveExactQuantiles) {
  KelMatrix X(25, 1), Y(25, 1);
  for (int i = 1; i <= 25; ++i) {
    X(i, 1) = i;
    Y(i, 1) = 1.0 + 0.5 * i + ((i % 2) ? 0.05 : -0.05);
  }
  KelNonLinearRegression r(1, X, Y, TestModel);
  r.SetInitialParameters(1, KelVector(2, 0., 0.));
  EXPECT_EQ(r.DegreesOfFreedom(1), 23);
  // R: qt(0.975, 23), qt(0.995, 23); not the rounded 2.0 and 2.6.
  EXPECT_NEAR(r.T95(1), 2.0686576104190482, 1e-10 * 2.07);
  EXPECT_NEAR(r.T99(1), 2.8073356837699985, 1e-10 * 2.81);
}

TEST_F(NonLinearEstimation, TwentyDegreesOfFreedomGiveExactQuantiles) {
  KelMatrix X(22, 1), Y(22, 1);
  for (int i = 1; i <= 22; ++i) {
    X(i, 1) = i;
    Y(i, 1) = 2.0 - 0.1 * i + ((i % 3) ? 0.02 : -0.04);
  }
  KelNonLinearRegression r(1, X, Y, TestModel);
  r.SetInitialParameters(1, KelVector(2, 1., 1.));
  EXPECT_EQ(r.DegreesOfFreedom(1), 20);
  // R: qt(0.975, 20), qt(0.995, 20); not the four-digit 2.086 and 2.845.
  EXPECT_NEAR(r.T95(1), 2.0859634472658648, 1e-10 * 2.09);
  EXPECT_NEAR(r.T99(1), 2.8453397097861082, 1e-10 * 2.85);
}

TEST_F(NonLinearEstimation, ParametersRequestedTwiceAreEstimatedOnce) {
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  EXPECT_EQ(r.EstimationCount(1), 0);
  EXPECT_FALSE(r.IsEstimated(1));
  const KelVector first = r.GetParameters(1);
  const KelVector second = r.GetParameters(1);
  EXPECT_EQ(r.EstimationCount(1), 1);
  EXPECT_TRUE(first == second);
  r.SetInitialParameters(1, KelVector(2, 3., -1.));
  EXPECT_FALSE(r.IsEstimated(1));
  r.GetParameters(1);
  EXPECT_EQ(r.EstimationCount(1), 2);
}

TEST_F(NonLinearEstimation, ModelWithoutStartingParametersIsSkipped) {
  KelNonLinearRegression r(2, LineX(), LineY(), TestModel);
  r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  EXPECT_FALSE(r.HasInitialParameters(2));
  EXPECT_EQ(r.GetParameters(2).Size(), 0);
  EXPECT_EQ(r.FinalSSE(2), 1e30);
  EXPECT_EQ(r.EstimationCount(2), 0);
}

TEST_F(NonLinearEstimation, InitialSSEIsTheWeightedSumAtTheStart) {
  KelNonLinearRegression r(1, LineX(), LineY(), TestModel);
  r.SetInitialParameters(1, KelVector(2, 1., 2.));
  // Residuals at (1, 2): 0.1, -0.1, 0.1, -0.1, 0.1.
  EXPECT_NEAR(r.InitialSSE(1), 0.05, 1e-14);
  EXPECT_LE(r.FinalSSE(1), r.InitialSSE(1));
}

// b1 exp(-b2 x) is NaN for b2 < 0.3: such points count as outside the bounds, and the search
// still finds the minimum at (2, 0.5).
TEST_F(NonLinearEstimation, NaNRegionOfTheModelIsAvoided) {
  KelMatrix X(6, 1), Y(6, 1);
  for (int i = 1; i <= 6; ++i) {
    X(i, 1) = i;
    Y(i, 1) = 2.0 * std::exp(-0.5 * i);
  }
  KelNonLinearRegression r(3, X, Y, TestModel);
  r.SetInitialParameters(3, KelVector(2, 1., 1.));
  const KelVector b = r.GetParameters(3);
  EXPECT_NEAR(b(1), 2.0, 1e-6);
  EXPECT_NEAR(b(2), 0.5, 1e-6);
  EXPECT_TRUE(std::isfinite(r.FinalSSE(3)));
}

// Infinite everywhere but at the start: the estimation ends, at the start.
TEST_F(NonLinearEstimation, ModelInfiniteEverywhereButTheStartEndsAtTheStart) {
  KelMatrix X(4, 1, 1., 2., 3., 4.), Y(4, 1, 0.4, 0.1, 0.05, 0.02);
  KelNonLinearRegression r(4, X, Y, TestModel);
  r.SetInitialParameters(4, KelVector(2, 1., 1.));
  const KelVector b = r.GetParameters(4);
  EXPECT_EQ(b(1), 1.0);
  EXPECT_EQ(b(2), 1.0);
  EXPECT_NEAR(r.FinalSSE(4), r.InitialSSE(4), 1e-12);
}

}  // namespace
