// Errors in the independent variables: the x step between the two estimation passes, checked on
// straight lines whose x step and least-squares fits have closed forms; exact columns; the rule
// that later estimations start from the working X; the fatal texts of the variances.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

const std::string classText = "KelNonLinearRegression class\n";

// Model 1: y = b1 + b2 x1. Model 2: y = b1 + b2 x1 + b3 x2.
void LineModel(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  if (model == 1) y(1) = b(1) + b(2) * x(1);
  if (model == 2) y(1) = b(1) + b(2) * x(1) + b(3) * x(2);
}

struct Line {
  double a = 0.0;
  double b = 0.0;
};

// Ordinary least squares of y on x, from the centred sums.
Line FitLine(const std::vector<double>& x, const std::vector<double>& y) {
  const double n = static_cast<double>(x.size());
  double mx = 0.0, my = 0.0;
  for (size_t i = 0; i < x.size(); ++i) {
    mx += x[i] / n;
    my += y[i] / n;
  }
  double sxy = 0.0, sxx = 0.0;
  for (size_t i = 0; i < x.size(); ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
  }
  Line line;
  line.b = sxy / sxx;
  line.a = my - line.b * mx;
  return line;
}

// For a line held fixed, the x step separates by experiment into a quadratic in z:
// (x - z)^2 / vx + (y - a - b z)^2 / vy, least at z = x + b vx (y - a - b x) / (vy + b^2 vx).
std::vector<double> ClosedFormXStep(const std::vector<double>& x, const std::vector<double>& y,
                                    Line line, double vx, double vy) {
  std::vector<double> z(x.size());
  const double gain = line.b * vx / (vy + line.b * line.b * vx);
  for (size_t i = 0; i < x.size(); ++i) z[i] = x[i] + gain * (y[i] - line.a - line.b * x[i]);
  return z;
}

double XStepObjective(const std::vector<double>& x, const std::vector<double>& y,
                      const std::vector<double>& z, Line line, double vx, double vy) {
  double sum = 0.0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double r = y[i] - line.a - line.b * z[i];
    sum += (x[i] - z[i]) * (x[i] - z[i]) / vx + r * r / vy;
  }
  return sum;
}

// Standard normal deviates by Box-Muller from a fixed generator, the same on every platform.
class Normal {
 public:
  explicit Normal(unsigned seed) : engine(seed) {}
  double operator()() {
    const double u1 = (static_cast<double>(engine()) + 1.0) / 4294967296.0;
    const double u2 = static_cast<double>(engine()) / 4294967296.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
  }

 private:
  std::mt19937 engine;
};

// y = 1 + 2 x at 16 true x evenly spread over [0, 4], with x and y both perturbed by standard
// deviation 1: the measured x are so uncertain that a fit ignoring their errors flattens the
// slope markedly (by the factor var(x) / (var(x) + 1), about 0.6).
struct ErrorsInVariables {
  static constexpr int n = 16;
  static constexpr double trueA = 1.0;
  static constexpr double trueB = 2.0;
  static constexpr double vx = 1.0;
  static constexpr double vy = 1.0;
  std::vector<double> x;
  std::vector<double> y;

  explicit ErrorsInVariables(unsigned seed) {
    Normal normal(seed);
    for (int i = 0; i < n; ++i) {
      const double truth = 4.0 * i / (n - 1);
      x.push_back(truth + std::sqrt(vx) * normal());
      y.push_back(trueA + trueB * truth + std::sqrt(vy) * normal());
    }
  }
  KelMatrix XMatrix() const {
    KelMatrix m(n, 1);
    for (int i = 1; i <= n; ++i) m(i, 1) = x[static_cast<size_t>(i - 1)];
    return m;
  }
  KelMatrix YMatrix() const {
    KelMatrix m(n, 1);
    for (int i = 1; i <= n; ++i) m(i, 1) = y[static_cast<size_t>(i - 1)];
    return m;
  }
};

std::vector<double> Column(const KelMatrix& m, int k) {
  std::vector<double> c;
  for (int i = 1; i <= m.Rows(); ++i) c.push_back(m(i, k));
  return c;
}

double DistanceToTruth(double a, double b) {
  return std::hypot(a - ErrorsInVariables::trueA, b - ErrorsInVariables::trueB);
}

class IndependentVariables : public kel_test::QuietWarnings {};

// Over eight noise draws, the estimate with the x re-estimated lies closer to the true line
// than the fit that ignores the errors of x, which the library reproduces in closed form.
TEST_F(IndependentVariables, StraightLineCloserToTheTruthThanIgnoringTheErrorsOfX) {
  for (unsigned seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const ErrorsInVariables data(seed);
    const Line ignoring = FitLine(data.x, data.y);
    KelVector plain;
    {
      KelNonLinearRegression r(1, data.XMatrix(), data.YMatrix(), LineModel);
      r.SetVariances(5, KelVector(1, 1.0));
      r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
      plain = r.GetParameters(1);
      EXPECT_EQ(r.XStepCount(), 0);
    }
    EXPECT_NEAR(plain(1), ignoring.a, 1e-7);
    EXPECT_NEAR(plain(2), ignoring.b, 1e-7);

    KelNonLinearRegression r(1, data.XMatrix(), data.YMatrix(), LineModel);
    r.SetVariances(5, KelVector(2, 1.0, 1.0));
    r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
    const KelVector b = r.GetParameters(1);
    EXPECT_EQ(r.XStepCount(), 1);
    EXPECT_LT(DistanceToTruth(b(1), b(2)), DistanceToTruth(ignoring.a, ignoring.b));
    // The slope, flattened by the errors of x, steepens towards the true 2.
    EXPECT_GT(b(2), ignoring.b);
    EXPECT_LT(b(2), ErrorsInVariables::trueB);
  }
}

// The x step holds the first pass's line fixed; its minimum is then known per experiment. The
// simplex over all sixteen x at once gets within a percent of it; the second pass is the
// least-squares line through the x it found.
TEST_F(IndependentVariables, XStepAndSecondPassAgreeWithTheClosedForms) {
  for (unsigned seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const ErrorsInVariables data(seed);
    const Line first = FitLine(data.x, data.y);
    const std::vector<double> zExact = ClosedFormXStep(data.x, data.y, first, 1.0, 1.0);
    const double minimum = XStepObjective(data.x, data.y, zExact, first, 1.0, 1.0);
    KelNonLinearRegression r(1, data.XMatrix(), data.YMatrix(), LineModel);
    r.SetVariances(5, KelVector(2, 1.0, 1.0));
    r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
    const KelVector b = r.GetParameters(1);

    // The step starts from the measured x; its value there has no x term. The line it holds
    // is the first pass's, which agrees with the closed form to about 1e-8.
    EXPECT_NEAR(r.XStepInitialValue(), XStepObjective(data.x, data.y, data.x, first, 1.0, 1.0),
                1e-6 * minimum);
    EXPECT_GE(r.XStepFinalValue(), minimum * (1.0 - 1e-6));
    EXPECT_LE(r.XStepFinalValue(), minimum * 1.01);
    const std::vector<double> z = Column(r.EstimatedIndependentVariables(), 1);
    for (int i = 0; i < ErrorsInVariables::n; ++i) EXPECT_NEAR(z[i], zExact[i], 0.25);
    EXPECT_NEAR(XStepObjective(data.x, data.y, z, first, 1.0, 1.0), r.XStepFinalValue(),
                1e-6 * minimum);

    const Line second = FitLine(z, data.y);
    EXPECT_NEAR(b(1), second.a, 1e-7);
    EXPECT_NEAR(b(2), second.b, 1e-7);
    // The measured x stay as they were.
    EXPECT_EQ(Column(r.MeasuredIndependentVariables(), 1), data.x);
  }
}

// Residuals of x are measured minus estimated; in standard deviations they are divided by the
// square root of the column's variance.
TEST_F(IndependentVariables, ResidualsOfXInStandardDeviations) {
  const ErrorsInVariables data(3);
  KelNonLinearRegression r(1, data.XMatrix(), data.YMatrix(), LineModel);
  r.SetVariances(5, KelVector(2, 1.0, 4.0));
  r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  r.GetParameters(1);
  const KelMatrix residuals = r.IndependentVariableResiduals();
  const KelMatrix standardized = r.StandardizedIndependentVariableResiduals();
  double largest = 0.0;
  for (int i = 1; i <= ErrorsInVariables::n; ++i) {
    const double difference = data.x[static_cast<size_t>(i - 1)] - r.IndependentVariables()(i, 1);
    EXPECT_DOUBLE_EQ(residuals(i, 1), difference);
    EXPECT_DOUBLE_EQ(standardized(i, 1), difference / 2.0);
    largest = std::max(largest, std::fabs(difference));
  }
  EXPECT_GT(largest, 0.1);
}

// A variance of 0 makes its column exact: never moved, with zero residuals in the report.
TEST_F(IndependentVariables, ExactColumnIsNeverChanged) {
  const ErrorsInVariables data(5);
  KelMatrix X(ErrorsInVariables::n, 2);
  KelMatrix Y(ErrorsInVariables::n, 1);
  for (int i = 1; i <= ErrorsInVariables::n; ++i) {
    X(i, 1) = data.x[static_cast<size_t>(i - 1)];
    X(i, 2) = std::sin(0.7 * i) + 0.1 * i;  // irregular, so that the columns are not collinear
    Y(i, 1) = data.y[static_cast<size_t>(i - 1)] + 0.5 * X(i, 2);
  }
  KelNonLinearRegression r(2, X, Y, LineModel);
  r.SetVariances(5, KelVector(3, 1.0, 1.0, 0.0));
  EXPECT_EQ(r.NumberOfUncertainX(), ErrorsInVariables::n);
  r.SetInitialParameters(2, KelVector(3, 0.5, 0.5, 0.5));
  const std::string out = kel_test::CaptureOutput([&] { r.LeastSquaresAnalysis(); });
  const KelMatrix& estimated = r.EstimatedIndependentVariables();
  int moved = 0;
  for (int i = 1; i <= ErrorsInVariables::n; ++i) {
    EXPECT_EQ(estimated(i, 2), X(i, 2));
    EXPECT_EQ(r.StandardizedIndependentVariableResiduals()(i, 2), 0.0);
    if (estimated(i, 1) != X(i, 1)) ++moved;
  }
  EXPECT_EQ(moved, ErrorsInVariables::n);
  const size_t section = out.find("\n\n===============< Independent Variables  2 >");
  ASSERT_NE(section, std::string::npos);
  for (int i = 1; i <= ErrorsInVariables::n; ++i) {
    char row[128];
    std::snprintf(row, sizeof row, "\n%3d%16.7e%16.7e%16.7e", i, X(i, 2), X(i, 2), 0.0);
    EXPECT_NE(out.find(row, section), std::string::npos) << row;
  }
}

// The x estimated by one estimation are the working X of the next: its first pass fits the line
// through them, and the x step, from the measured x again, holds that line fixed.
TEST_F(IndependentVariables, LaterEstimationStartsFromTheWorkingX) {
  const ErrorsInVariables data(7);
  KelNonLinearRegression r(1, data.XMatrix(), data.YMatrix(), LineModel);
  r.SetVariances(5, KelVector(2, 1.0, 1.0));
  r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  const KelVector firstB = r.GetParameters(1);
  const std::vector<double> firstZ = Column(r.EstimatedIndependentVariables(), 1);

  r.SetInitialParameters(1, KelVector(2, 0.5, 0.5));
  const KelVector secondB = r.GetParameters(1);
  EXPECT_EQ(r.XStepCount(), 2);
  const Line firstPass = FitLine(firstZ, data.y);  // the second estimation's first pass
  EXPECT_NEAR(firstPass.b, firstB(2), 1e-7);
  const std::vector<double> zExact = ClosedFormXStep(data.x, data.y, firstPass, 1.0, 1.0);
  EXPECT_NEAR(r.XStepInitialValue(), XStepObjective(data.x, data.y, data.x, firstPass, 1.0, 1.0),
              1e-6 * r.XStepInitialValue());
  const std::vector<double> z = Column(r.EstimatedIndependentVariables(), 1);
  for (int i = 0; i < ErrorsInVariables::n; ++i) EXPECT_NEAR(z[i], zExact[i], 0.25);
  const Line secondPass = FitLine(z, data.y);
  EXPECT_NEAR(secondB(2), secondPass.b, 1e-7);
  // Starting from the measured X would have repeated the first estimation.
  EXPECT_GT(secondB(2), firstB(2) + 0.05);
}

// One response, two rival models of two parameters each, the variance known with 2 degrees of
// freedom: P(F(2, 2) > f) = 1 / (1 + f) and the chi-square tail with 2 degrees of freedom is
// exp(-x / 2).
void SummaryModel(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  if (model == 1) y(1) = b(1) + b(2) * x(1);
  if (model == 2) y(1) = b(1) * x(1) + b(2) * x(1) * x(1);
}

// Residual sum of squares of y on the columns (f1, f2), by the normal equations.
double TwoColumnResidualSS(const std::vector<double>& f1, const std::vector<double>& f2,
                           const std::vector<double>& y) {
  double s11 = 0, s12 = 0, s22 = 0, s1y = 0, s2y = 0;
  for (size_t i = 0; i < y.size(); ++i) {
    s11 += f1[i] * f1[i];
    s12 += f1[i] * f2[i];
    s22 += f2[i] * f2[i];
    s1y += f1[i] * y[i];
    s2y += f2[i] * y[i];
  }
  const double det = s11 * s22 - s12 * s12;
  const double c1 = (s22 * s1y - s12 * s2y) / det;
  const double c2 = (s11 * s2y - s12 * s1y) / det;
  double ss = 0.0;
  for (size_t i = 0; i < y.size(); ++i) {
    const double r = y[i] - c1 * f1[i] - c2 * f2[i];
    ss += r * r;
  }
  return ss;
}

// The numbers of the table row that starts with the model's number after `header`.
std::vector<double> TableRow(const std::string& out, const std::string& header, int model) {
  std::vector<double> values;
  const size_t at = out.find(header);
  if (at == std::string::npos) return values;
  char start[24];
  std::snprintf(start, sizeof start, "\n%3d ", model);
  const size_t row = out.find(start, at + header.size());
  if (row == std::string::npos) return values;
  const size_t end = out.find('\n', row + 1);
  std::string line = out.substr(row + 4, end == std::string::npos ? end : end - row - 4);
  const char* p = line.c_str();
  char* next = nullptr;
  for (double v = std::strtod(p, &next); next != p; v = std::strtod(p, &next)) {
    values.push_back(v);
    p = next;
  }
  return values;
}

TEST_F(IndependentVariables, SummaryOfTwoModelsWithTheVarianceTableAndTheChiSquareTable) {
  const std::vector<double> x = {1, 2, 3, 4};
  const std::vector<double> yv = {1.2, 1.9, 3.2, 3.8};
  KelNonLinearRegression r(2, KelMatrix(4, 1, 1., 2., 3., 4.), KelMatrix(4, 1, 1.2, 1.9, 3.2, 3.8),
                           SummaryModel);
  const double variance = 0.04;
  r.SetVariances(2, KelVector(1, variance));
  r.SetInitialParameters(1, KelVector(2, 0., 1.));
  r.SetInitialParameters(2, KelVector(2, 1., 0.));
  const std::string out = kel_test::CaptureOutput([&] { r.LeastSquaresAnalysis(); });

  const std::vector<double> ones(4, 1.0);
  const std::vector<double> squares = {1, 4, 9, 16};
  const double ss[2] = {TwoColumnResidualSS(ones, x, yv), TwoColumnResidualSS(x, squares, yv)};
  const double mse[2] = {ss[0] / 2, ss[1] / 2};
  const double bestMse = std::min(mse[0], mse[1]);

  const std::string banner =
      "\n\n===========================================================================\n"
      "================================< Summary >================================\n"
      "===========================================================================";
  const size_t summary = out.find(banner);
  ASSERT_NE(summary, std::string::npos);
  EXPECT_EQ(out.find("Independent Variables"), std::string::npos);  // no variances of x
  EXPECT_EQ(out.find("Suggestion"), std::string::npos);
  EXPECT_EQ(out.find("Experiments for discriminating"), std::string::npos);
  const std::string tail = out.substr(summary);
  const std::string varianceHeader =
      "\nSigma2 4.000000e-02 d.o.f. 2\n\n         MSE         MSE/Best       Fexp         "
      "P-Value      PseudoP-Value";
  const std::string chiHeader =
      "\n\n      WeightedSE   WeightedSE/Best  ChiSquare-test  PseudoP-Value";
  ASSERT_NE(tail.find(varianceHeader), std::string::npos);
  ASSERT_NE(tail.find("\n\nP-Values with Sigma2 4.000000e-02 d.o.f. 3"), std::string::npos);
  ASSERT_GT(tail.find(chiHeader), tail.find(varianceHeader));
  const double bestSse = std::min(ss[0], ss[1]) / variance;
  for (int m = 1; m <= 2; ++m) {
    SCOPED_TRACE("model " + std::to_string(m));
    const std::vector<double> row = TableRow(tail, varianceHeader, m);
    ASSERT_EQ(row.size(), 5u);
    const double f = mse[m - 1] / variance;
    const double ratio = mse[m - 1] / bestMse;
    EXPECT_NEAR(row[0], mse[m - 1], 1e-6 * mse[m - 1]);
    EXPECT_NEAR(row[1], ratio, 1e-6 * ratio);
    EXPECT_NEAR(row[2], f, 1e-6 * f);
    EXPECT_NEAR(row[3], 1.0 / (1.0 + f), 1e-6);
    EXPECT_NEAR(row[4], 2.0 / (1.0 + ratio), 1e-6);
    const std::vector<double> chi = TableRow(tail, chiHeader, m);
    ASSERT_EQ(chi.size(), 4u);
    const double sse = ss[m - 1] / variance;
    EXPECT_NEAR(chi[0], sse, 1e-6 * sse);
    EXPECT_NEAR(chi[1], sse / bestSse, 1e-6 * sse / bestSse);
    EXPECT_NEAR(chi[2], std::exp(-sse / 2), 1e-6);
    EXPECT_NEAR(chi[3], 2.0 / (1.0 + sse / bestSse), 1e-6);
  }
}

TEST_F(IndependentVariables, UnitWeightsGiveTheChiSquareTableAlone) {
  KelNonLinearRegression r(2, KelMatrix(4, 1, 1., 2., 3., 4.), KelMatrix(4, 1, 1.2, 1.9, 3.2, 3.8),
                           SummaryModel);
  r.SetInitialParameters(1, KelVector(2, 0., 1.));
  r.SetInitialParameters(2, KelVector(2, 1., 0.));
  const std::string out = kel_test::CaptureOutput([&] { r.LeastSquaresAnalysis(); });
  const size_t summary = out.find("================================< Summary >");
  ASSERT_NE(summary, std::string::npos);
  EXPECT_EQ(out.find("Sigma2", summary), std::string::npos);
  EXPECT_NE(out.find("\n\n      WeightedSE   WeightedSE/Best  ChiSquare-test  PseudoP-Value\n  1 ",
                     summary),
            std::string::npos);
}

// With fewer than two models holding starting parameters the analysis ends after the reports.
TEST_F(IndependentVariables, NoSummaryWithFewerThanTwoModels) {
  KelNonLinearRegression r(2, KelMatrix(4, 1, 1., 2., 3., 4.), KelMatrix(4, 1, 1.2, 1.9, 3.2, 3.8),
                           SummaryModel);
  r.SetVariances(2, KelVector(2, 0.04, 0.01));
  r.SetInitialParameters(2, KelVector(2, 1., 0.));
  const std::string out = kel_test::CaptureOutput([&] { r.LeastSquaresAnalysis(); });
  EXPECT_EQ(out.find("Summary"), std::string::npos);
  EXPECT_EQ(out.find("Least Squares Regression Analysis for model 1"), std::string::npos);
  EXPECT_NE(out.find("Least Squares Regression Analysis for model 2"), std::string::npos);
  EXPECT_EQ(r.FinalSSE(1), 1e30);
  EXPECT_EQ(r.ComparisonValue(1), 1e30);
  // The independent-variables report follows the model report.
  const size_t report = out.find(
      "\n\n===========================================================================\n"
      "=====================< Independent Variables >=============================\n"
      "===========================================================================\n\n"
      "===============< Independent Variables  1 >=============================\n"
      "        Observed x     Estimated x     Residuals r\n  1");
  ASSERT_NE(report, std::string::npos);
  EXPECT_GT(report, out.find("Least Squares Regression Analysis for model 2"));
  const KelMatrix& z = r.EstimatedIndependentVariables();
  for (int i = 1; i <= 4; ++i) {
    char row[128];
    std::snprintf(row, sizeof row, "\n%3d%16.7e%16.7e%16.7e", i, static_cast<double>(i), z(i, 1),
                  i - z(i, 1));
    EXPECT_NE(out.find(row, report), std::string::npos) << row;
  }
}

void SetVariancesOfSize(int size) {
  KelNonLinearRegression r(1, KelMatrix(3, 2, 1., 1., 2., 1., 3., 2.), KelMatrix(3, 1, 1., 2., 3.),
                           LineModel);
  r.SetVariances(2, KelVector(size));
}
void SetVariances(int dof, double v1, double v2, double v3) {
  KelNonLinearRegression r(1, KelMatrix(3, 2, 1., 1., 2., 1., 3., 2.), KelMatrix(3, 1, 1., 2., 3.),
                           LineModel);
  r.SetVariances(dof, KelVector(3, v1, v2, v3));
}

TEST_F(IndependentVariables, FatalTextsOfTheVariances) {
  // One response and two x: only 1 or 3 values are accepted.
  EXPECT_KEL_FATAL(SetVariancesOfSize(2),
                   "\n" + classText + "Wrong number of variances\nsizes 2 and 1 or 3");
  EXPECT_KEL_FATAL(SetVariancesOfSize(4),
                   "\n" + classText + "Wrong number of variances\nsizes 4 and 1 or 3");
  EXPECT_KEL_FATAL(SetVariances(2, 0.0, 0.1, 0.2),
                   "\n" + classText + "Variances null\nvariance 1 = 0");
  EXPECT_KEL_FATAL(
      SetVariances(0, 1.0, 0.1, 0.2),
      "\n" + classText + "Degree of fredom must be greater than 0\ndegrees of freedom = 0");
  EXPECT_KEL_FATAL(
      SetVariances(-3, 1.0, 0.1, 0.2),
      "\n" + classText + "Degree of fredom must be greater than 0\ndegrees of freedom = -3");
}

}  // namespace
