// The problem of outlier_regression, in process: 13 experiments of a two-response model, first
// with experiment 6's x2 recorded as 20 instead of 25, then corrected and with variances of x.
// Fits and x steps are checked against an independent Levenberg-Marquardt solution, in process
// and in the report that the program itself writes.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

constexpr int numExperiments = 13;
constexpr double responseVariance[2] = {0.348, 0.0023};
constexpr double xVariance[2] = {0.1, 0.2};

const double measuredY[numExperiments][2] = {
    {6.61, 0.43},  {5.42, 0.44}, {5.0, 0.64}, {7.5, 0.66}, {5.73, 0.55},
    {3.8, 0.33},   {7.3, 0.79},  {4.9, 0.35}, {5.9, 0.71}, {9.15, 0.926},
    {13.74, 1.34}, {6.0, 1.7},   {8.2, 0.84}};
const double measuredX[numExperiments][2] = {{20, 20}, {30, 20},   {20, 30}, {30, 30}, {25, 25},
                                             {25, 20}, {25, 35},   {15, 25}, {35, 25}, {55, 32.8},
                                             {55, 55}, {10.6, 55}, {16, 55}};

double Activity(const std::vector<double>& b, double x1, double x2) {
  return x1 * x2 / (1.0 + b[2] * x1 + b[3] * x2);
}

void OutlierModel(int, int, KelVector& b, KelVector& x, KelVector& y) {
  const double a = x(1) * x(2) / (1.0 + b(3) * x(1) + b(4) * x(2));
  y(1) = b(1) * a;
  y(2) = b(2) * a;
}

// x of one run as a table: experiment 6 has x2 = 20 in the first run, 25 in the second.
std::vector<std::vector<double>> RunX(bool corrected) {
  std::vector<std::vector<double>> x;
  for (int l = 0; l < numExperiments; ++l) x.push_back({measuredX[l][0], measuredX[l][1]});
  if (corrected) x[5][1] = 25.0;
  return x;
}
KelMatrix ToMatrix(const std::vector<std::vector<double>>& x) {
  KelMatrix m(numExperiments, 2);
  for (int l = 1; l <= numExperiments; ++l)
    for (int k = 1; k <= 2; ++k)
      m(l, k) = x[static_cast<size_t>(l - 1)][static_cast<size_t>(k - 1)];
  return m;
}
KelMatrix YMatrix() {
  KelMatrix m(numExperiments, 2);
  for (int l = 1; l <= numExperiments; ++l)
    for (int j = 1; j <= 2; ++j) m(l, j) = measuredY[l - 1][j - 1];
  return m;
}

using Residuals = std::function<std::vector<double>(const std::vector<double>&)>;

double SumOfSquares(const std::vector<double>& r) {
  double s = 0.0;
  for (double v : r) s += v * v;
  return s;
}

// Levenberg-Marquardt with a central-difference Jacobian and Gaussian elimination: a second,
// unrelated way to the least-squares minimum.
std::vector<double> Minimize(const Residuals& f, std::vector<double> p) {
  const size_t n = p.size();
  double lambda = 1e-3;
  std::vector<double> r = f(p);
  double s = SumOfSquares(r);
  for (int iteration = 0; iteration < 300; ++iteration) {
    std::vector<std::vector<double>> J(r.size(), std::vector<double>(n));
    for (size_t k = 0; k < n; ++k) {
      const double h = 1e-6 * (std::fabs(p[k]) + 1e-3);
      std::vector<double> up = p, down = p;
      up[k] += h;
      down[k] -= h;
      const std::vector<double> ru = f(up), rd = f(down);
      for (size_t i = 0; i < r.size(); ++i) J[i][k] = (ru[i] - rd[i]) / (2 * h);
    }
    std::vector<std::vector<double>> A(n, std::vector<double>(n + 1, 0.0));
    for (size_t a = 0; a < n; ++a) {
      for (size_t c = 0; c < n; ++c)
        for (size_t i = 0; i < r.size(); ++i) A[a][c] += J[i][a] * J[i][c];
      A[a][a] *= 1.0 + lambda;
      for (size_t i = 0; i < r.size(); ++i) A[a][n] -= J[i][a] * r[i];
    }
    for (size_t c = 0; c < n; ++c) {
      size_t pivot = c;
      for (size_t a = c + 1; a < n; ++a)
        if (std::fabs(A[a][c]) > std::fabs(A[pivot][c])) pivot = a;
      std::swap(A[c], A[pivot]);
      for (size_t a = c + 1; a < n; ++a) {
        const double factor = A[a][c] / A[c][c];
        for (size_t e = c; e <= n; ++e) A[a][e] -= factor * A[c][e];
      }
    }
    std::vector<double> step(n);
    for (size_t c = n; c-- > 0;) {
      double v = A[c][n];
      for (size_t e = c + 1; e < n; ++e) v -= A[c][e] * step[e];
      step[c] = v / A[c][c];
    }
    std::vector<double> trial = p;
    for (size_t k = 0; k < n; ++k) trial[k] += step[k];
    const std::vector<double> rt = f(trial);
    const double st = SumOfSquares(rt);
    if (st < s) {
      p = trial;
      r = rt;
      s = st;
      lambda = std::max(lambda / 3.0, 1e-12);
    } else {
      lambda *= 5.0;
    }
  }
  return p;
}

// Weighted residuals of the model with parameters b at the x table.
std::vector<double> FitResiduals(const std::vector<double>& b,
                                 const std::vector<std::vector<double>>& x) {
  std::vector<double> r;
  for (int j = 0; j < 2; ++j)
    for (int l = 0; l < numExperiments; ++l) {
      const double a = Activity(b, x[static_cast<size_t>(l)][0], x[static_cast<size_t>(l)][1]);
      const double yHat = (j == 0 ? b[0] : b[1]) * a;
      r.push_back((measuredY[l][j] - yHat) / std::sqrt(responseVariance[j]));
    }
  return r;
}

std::vector<double> FitParameters(const std::vector<std::vector<double>>& x) {
  return Minimize([&](const std::vector<double>& b) { return FitResiduals(b, x); },
                  {0.04, 0.005, 0.15, -0.005});
}

class OutlierProblem : public kel_test::QuietWarnings {};

TEST_F(OutlierProblem, FirstRunRobustAnalysisListsExperimentSix) {
  KelNonLinearRegression r(1, ToMatrix(RunX(false)), YMatrix(), OutlierModel);
  r.SetVariances(5, KelVector(2, responseVariance[0], responseVariance[1]));
  r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
  const std::string out = kel_test::CaptureOutput([&] { r.RobustAnalysis(); });
  const std::vector<KelOutlier>& possible = r.RobustFit(1).possible;
  const auto six = std::find_if(possible.begin(), possible.end(),
                                [](const KelOutlier& o) { return o.experiment == 6; });
  ASSERT_NE(six, possible.end());
  EXPECT_EQ(six->response, 2);
  EXPECT_NE(out.find("\n\nThese are possible Outliers:"), std::string::npos);
  EXPECT_NE(out.find("\nExperiment   6 Variable   2"), std::string::npos);
  // The weighted residual of experiment 6, recomputed from the robust parameters alone.
  const KelVector& d = r.RobustFit(1).lmsParameters;
  const std::vector<double> b = {d(1), d(2), d(3), d(4)};
  const double residual = FitResiduals(b, RunX(false))[static_cast<size_t>(numExperiments + 5)];
  EXPECT_GT(std::fabs(residual), 2.5);
  EXPECT_NEAR(six->size, std::fabs(residual), 1e-9 * std::fabs(residual));
}

TEST_F(OutlierProblem, FirstRunLeastSquaresMatchesAnIndependentFit) {
  const std::vector<double> b = FitParameters(RunX(false));
  const double sse = SumOfSquares(FitResiduals(b, RunX(false)));
  KelNonLinearRegression r(1, ToMatrix(RunX(false)), YMatrix(), OutlierModel);
  r.SetVariances(5, KelVector(2, responseVariance[0], responseVariance[1]));
  r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
  kel_test::CaptureOutput([&] {
    r.RobustAnalysis();
    r.LeastSquaresAnalysis();
  });
  EXPECT_NEAR(r.FinalSSE(1), sse, 1e-7 * sse);
  const KelVector& p = r.GetParameters(1);
  for (int k = 1; k <= 4; ++k)
    EXPECT_NEAR(p(k), b[static_cast<size_t>(k - 1)],
                1e-4 * std::fabs(b[static_cast<size_t>(k - 1)]));
}

// The second run: the x step holds the first pass's parameters (the fit to the measured x) and
// separates by experiment into problems of two unknowns.
TEST_F(OutlierProblem, SecondRunXStepAndFitAgreeWithIndependentSolutions) {
  const std::vector<std::vector<double>> measured = RunX(true);
  const std::vector<double> firstPass = FitParameters(measured);
  double minimum = 0.0;
  std::vector<std::vector<double>> zExact;
  for (int l = 0; l < numExperiments; ++l) {
    const std::vector<double>& xm = measured[static_cast<size_t>(l)];
    const auto residuals = [&](const std::vector<double>& z) {
      const double a = Activity(firstPass, z[0], z[1]);
      return std::vector<double>{
          (xm[0] - z[0]) / std::sqrt(xVariance[0]), (xm[1] - z[1]) / std::sqrt(xVariance[1]),
          (measuredY[l][0] - firstPass[0] * a) / std::sqrt(responseVariance[0]),
          (measuredY[l][1] - firstPass[1] * a) / std::sqrt(responseVariance[1])};
    };
    zExact.push_back(Minimize(residuals, xm));
    minimum += SumOfSquares(residuals(zExact.back()));
  }

  KelNonLinearRegression r(1, ToMatrix(measured), YMatrix(), OutlierModel);
  r.SetVariances(
      5, KelVector(4, responseVariance[0], responseVariance[1], xVariance[0], xVariance[1]));
  r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
  const KelVector b = r.GetParameters(1);
  EXPECT_EQ(r.XStepCount(), 1);
  EXPECT_EQ(r.NumberOfUncertainX(), 26);
  EXPECT_NEAR(r.XStepInitialValue(), SumOfSquares(FitResiduals(firstPass, measured)),
              1e-6 * r.XStepInitialValue());
  EXPECT_GE(r.XStepFinalValue(), minimum * (1.0 - 1e-6));
  EXPECT_LE(r.XStepFinalValue(), minimum * 1.005);

  const KelMatrix& z = r.EstimatedIndependentVariables();
  const KelMatrix standardized = r.StandardizedIndependentVariableResiduals();
  std::vector<std::vector<double>> estimated = measured;
  for (int l = 1; l <= numExperiments; ++l)
    for (int k = 1; k <= 2; ++k) {
      const double sd = std::sqrt(xVariance[k - 1]);
      const double exact = zExact[static_cast<size_t>(l - 1)][static_cast<size_t>(k - 1)];
      EXPECT_NEAR(z(l, k), exact, 0.1 * sd) << l << " " << k;
      EXPECT_NEAR(standardized(l, k), (measured[l - 1][k - 1] - z(l, k)) / sd, 1e-12);
      estimated[static_cast<size_t>(l - 1)][static_cast<size_t>(k - 1)] = z(l, k);
    }
  // The second pass is the least-squares fit at the estimated x.
  const std::vector<double> secondPass = FitParameters(estimated);
  const double sse = SumOfSquares(FitResiduals(secondPass, estimated));
  EXPECT_NEAR(r.FinalSSE(1), sse, 1e-6 * sse);
  for (int k = 1; k <= 4; ++k)
    EXPECT_NEAR(b(k), secondPass[static_cast<size_t>(k - 1)],
                1e-3 * std::fabs(secondPass[static_cast<size_t>(k - 1)]));
  // Below the first run's least-squares fit, and below the fit to the corrected x as measured.
  const std::vector<std::vector<double>> first = RunX(false);
  const double firstRun = SumOfSquares(FitResiduals(FitParameters(first), first));
  EXPECT_LT(r.FinalSSE(1), firstRun);
  EXPECT_LT(r.FinalSSE(1), SumOfSquares(FitResiduals(firstPass, measured)));
}

// The first run's object, and the corrected run's with variances of x, built and ready to
// estimate.
void PrepareRun(KelNonLinearRegression& r, bool corrected) {
  if (corrected) r.SetVariances(5, KelVector(4, 0.348, 0.0023, 0.1, 0.2));
  r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
}

struct RunFit {
  std::vector<double> b;
  double sse = 0.0;
  int xSteps = 0;
};

RunFit Fitted(KelNonLinearRegression& r) {
  const KelVector b = r.GetParameters(1);
  return {std::vector<double>(b.Data(), b.Data() + b.Size()), r.FinalSSE(1), r.XStepCount()};
}

RunFit RunAlone(bool corrected) {
  KelNonLinearRegression r(1, ToMatrix(RunX(corrected)), YMatrix(), OutlierModel);
  PrepareRun(r, corrected);
  return Fitted(r);
}

// Both runs alive at once, the corrected one (with its x step) estimated in between the first
// one's construction and estimation: each gives bit for bit the fit it gives alone.
TEST_F(OutlierProblem, BothRunsAliveAtOnceFitAsEachAlone) {
  const RunFit firstAlone = RunAlone(false);
  const RunFit secondAlone = RunAlone(true);
  KelNonLinearRegression first(1, ToMatrix(RunX(false)), YMatrix(), OutlierModel);
  KelNonLinearRegression second(1, ToMatrix(RunX(true)), YMatrix(), OutlierModel);
  PrepareRun(first, false);
  PrepareRun(second, true);
  const RunFit secondTogether = Fitted(second);
  const RunFit firstTogether = Fitted(first);
  EXPECT_EQ(firstTogether.b, firstAlone.b);
  EXPECT_EQ(firstTogether.sse, firstAlone.sse);
  EXPECT_EQ(firstTogether.xSteps, 0);
  EXPECT_EQ(secondTogether.b, secondAlone.b);
  EXPECT_EQ(secondTogether.sse, secondAlone.sse);
  EXPECT_EQ(secondTogether.xSteps, 1);
  EXPECT_EQ(secondTogether.b.size(), 4u);
}

// The program itself, run in a scratch folder.
class OutlierRegressionProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifdef KELMATH_OUTLIER_PROGRAM
    const std::string folder = "outlier_program_" + std::to_string(::getpid());
    ::mkdir(folder.c_str(), 0755);
    const std::string command =
        "cd '" + folder + "' && '" + std::string(KELMATH_OUTLIER_PROGRAM) + "' > /dev/null 2>&1";
    exitStatus = std::system(command.c_str());
    output = kel_test::ReadFile(folder + "/KelRegression.txt");
    startupFile = kel_test::ReadFile(folder + "/KelFile.txt");
    const std::string second = "\n\nOutlier2\n\nIndepenent variables with errors";
    const size_t at = output.find(second);
    firstRun = output.substr(0, at);
    secondRun = at == std::string::npos ? "" : output.substr(at);
#endif
  }

  void SetUp() override {
#ifndef KELMATH_OUTLIER_PROGRAM
    GTEST_SKIP() << "the demonstration programs are not part of this build";
#endif
  }

  static double ValueAfter(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    return at == std::string::npos ? std::nan("")
                                   : std::strtod(text.c_str() + at + label.size(), nullptr);
  }

  // Rows (observed, estimated, residual) of the independent-variables report of column k.
  static std::vector<std::vector<double>> XReport(int k) {
    std::vector<std::vector<double>> rows;
    const std::string header = "\n\n===============< Independent Variables  " + std::to_string(k) +
                               " >=============================\n        Observed x     "
                               "Estimated x     Residuals r";
    const size_t at = secondRun.find(header);
    if (at == std::string::npos) return rows;
    std::istringstream lines(secondRun.substr(at + header.size() + 1));
    std::string line;
    for (int l = 1; l <= numExperiments && std::getline(lines, line); ++l) {
      int index = 0;
      double observed = 0, estimated = 0, residual = 0;
      if (std::sscanf(line.c_str(), "%d %lf %lf %lf", &index, &observed, &estimated, &residual) ==
              4 &&
          index == l)
        rows.push_back({observed, estimated, residual});
    }
    return rows;
  }

  static inline int exitStatus = -1;
  static inline std::string output;
  static inline std::string startupFile;
  static inline std::string firstRun;
  static inline std::string secondRun;
};

TEST_F(OutlierRegressionProgram, WritesBothRunsToKelRegression) {
  EXPECT_EQ(exitStatus, 0);
  EXPECT_EQ(startupFile, "");
  EXPECT_EQ(output.rfind("\n\nOutlier2\n\nnumModels 1 numX 2 numY 2\n\n\n====", 0), 0u);
  ASSERT_NE(secondRun, "");
  EXPECT_EQ(secondRun.rfind("\n\nOutlier2\n\nIndepenent variables with errors\n\nnumModels 1 numX "
                            "2 numY 2\n\n\n====",
                            0),
            0u);
  EXPECT_EQ(output.find("Fatal Error!!"), std::string::npos);
  for (const std::string* run : {&firstRun, &secondRun}) {
    const size_t robust = run->find("\nRobust Regression Analysis for model 1");
    const size_t leastSquares = run->find("\nLeast Squares Regression Analysis for model 1");
    ASSERT_NE(robust, std::string::npos);
    ASSERT_NE(leastSquares, std::string::npos);
    EXPECT_LT(robust, leastSquares);
  }
  // One model: no summary in either run; x with errors only in the second.
  EXPECT_EQ(output.find("Summary"), std::string::npos);
  EXPECT_EQ(firstRun.find("Independent Variables"), std::string::npos);
  EXPECT_GT(secondRun.find("=====================< Independent Variables >"),
            secondRun.find("\nLeast Squares Regression Analysis for model 1"));
}

TEST_F(OutlierRegressionProgram, FirstRunFlagsExperimentSixAsAPossibleOutlier) {
  const size_t list = firstRun.find("\n\nThese are possible Outliers:");
  ASSERT_NE(list, std::string::npos);
  EXPECT_NE(firstRun.find("\nExperiment   6 Variable   2", list), std::string::npos);
  const size_t sorted = firstRun.find("\n\nOutliers sorted by importance:\n");
  ASSERT_NE(sorted, std::string::npos);
  EXPECT_NE(firstRun.substr(sorted, list - sorted).find(" 6"), std::string::npos);
}

TEST_F(OutlierRegressionProgram, FirstRunLeastSquaresIsTheIndependentMinimum) {
  const std::vector<std::vector<double>> x = RunX(false);
  const double sse = SumOfSquares(FitResiduals(FitParameters(x), x));
  EXPECT_NEAR(ValueAfter(firstRun, "\nFinal value of SSE "), sse, 1e-6 * sse);
}

// The x report: measured x as given, residuals measured minus estimated; the final fit is the
// least-squares fit at the estimated x and lies below the first run's.
TEST_F(OutlierRegressionProgram, SecondRunReportsTheEstimatedX) {
  const std::vector<std::vector<double>> measured = RunX(true);
  std::vector<std::vector<double>> estimated = measured;
  double largest = 0.0;
  for (int k = 1; k <= 2; ++k) {
    const std::vector<std::vector<double>> rows = XReport(k);
    ASSERT_EQ(rows.size(), static_cast<size_t>(numExperiments));
    for (int l = 1; l <= numExperiments; ++l) {
      const std::vector<double>& row = rows[static_cast<size_t>(l - 1)];
      EXPECT_EQ(row[0], measured[static_cast<size_t>(l - 1)][static_cast<size_t>(k - 1)]);
      EXPECT_NEAR(row[2], row[0] - row[1], 1e-6 * std::fabs(row[0]));
      estimated[static_cast<size_t>(l - 1)][static_cast<size_t>(k - 1)] = row[1];
      largest = std::max(largest, std::fabs(row[2]) / std::sqrt(xVariance[k - 1]));
    }
  }
  // Within three standard deviations of the measurements, yet moved.
  EXPECT_LT(largest, 3.0);
  EXPECT_GT(largest, 0.5);
  const double finalSse = ValueAfter(secondRun, "\nFinal value of SSE ");
  const double refit = SumOfSquares(FitResiduals(FitParameters(estimated), estimated));
  EXPECT_NEAR(finalSse, refit, 1e-5 * refit);
  const std::vector<std::vector<double>> first = RunX(false);
  EXPECT_LT(finalSse, SumOfSquares(FitResiduals(FitParameters(first), first)));
}

}  // namespace
