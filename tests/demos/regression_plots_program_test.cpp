// The regression_plots demonstration run in scratch folders: the files it writes, read back
// independently; its report, step by step, against R; a second run over the first; and how it
// starts the plotting program (from the folder before the PATH, silently, waiting for it, and
// going on without it).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../linear_regression/linear_regression_test_data.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

const std::vector<std::string> kOutputFiles = {"KelRegression.txt", "Simple1.lrg",
                                               "Simple3.lrg",       "Collinearity.lrg",
                                               "Regression.stx",    "WrongPlotAnalysis.stx"};
// The program moves the output channel to "KelRegression.txt" before printing anything, so the
// default channel's file is never created, and one left by an earlier program is not touched.
const std::string kUntouchedChannel = "KelFile.txt";
// The two notices, shown on the console as the library shows its warnings.
const char kNotices[] =
    "Warning\nPlot on File Regression.stx\nWarning\nPlot on File WrongPlotAnalysis.stx\n";

const double kX12[12] = {110.87, 107.14, 104.12, 101.98, 103.01, 104.89,
                         106.02, 107.96, 109.08, 110.14, 101.12, 112.04};
const double kY12[12] = {6.7596, 9.0492, 10.4553, 11.9095, 11.4522, 9.8861,
                         9.5247, 8.1732, 7.5921,  7.4424,  12.6225, 6.0732};
const double kY6[6] = {12.6225, 11.9095, 11.4522, 10.4553, 9.8861, 9.5247};
const double kY11[11] = {2.5002, 2.5576, 2.5768, 2.5672, 2.5384, 2.5010,
                         2.4616, 2.4328, 2.4232, 2.4424, 2.4999};

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string AbsolutePath(const std::string& relative) {
  return std::filesystem::absolute(relative).string();
}

// Runs the program in the folder with the given PATH; the console goes to files beside it.
ProgramRun RunProgram(const std::string& folder, const std::string& path) {
  ProgramRun run;
#ifdef KELMATH_REGRESSION_PLOTS_PROGRAM
  const std::string command = "cd '" + folder + "' && PATH='" + path + "' '" +
                              KELMATH_REGRESSION_PLOTS_PROGRAM + "' > ../" + folder +
                              ".out 2> ../" + folder + ".err";
  const int status = std::system(command.c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = kel_test::ReadFile(folder + ".out");
  run.err = kel_test::ReadFile(folder + ".err");
#endif
  static_cast<void>(folder);
  static_cast<void>(path);
  return run;
}

std::string NewFolder(const std::string& stem) {
  const std::string folder = stem + "_" + std::to_string(::getpid());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directory(folder);
  return folder;
}

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::group_exec);
}

// One sparse matrix of a save file: its size and its elements by (row, column).
struct Sparse {
  int rows = 0;
  int columns = 0;
  long count = -1;
  std::map<std::pair<int, int>, double> elements;
};

Sparse ReadSparse(std::istream& in) {
  Sparse matrix;
  in >> matrix.rows >> matrix.columns >> matrix.count;
  for (long k = 0; k < matrix.count && in; ++k) {
    int i = 0, j = 0;
    double value = 0.0;
    in >> i >> j >> value;
    if (in) matrix.elements[{i, j}] = value;
  }
  return matrix;
}

// The matrix printed under the title (lines "%5d %5d     %22.14e").
std::vector<std::vector<double>> PrintedMatrix(const std::string& report,
                                               const std::string& title) {
  std::vector<std::vector<double>> rows;
  const size_t at = report.find("\n" + title + "\nKelMatrix No.");
  if (at == std::string::npos) return rows;
  std::istringstream lines(report.substr(at + title.size() + 2));
  std::string line;
  std::getline(lines, line);  // class and serial number
  std::getline(lines, line);
  int m = 0, n = 0;
  if (std::sscanf(line.c_str(), "rows %d columns %d", &m, &n) != 2) return rows;
  rows.assign(static_cast<size_t>(m), std::vector<double>(static_cast<size_t>(n), 0.0));
  for (int k = 0; k < m * n && std::getline(lines, line); ++k) {
    int i = 0, j = 0;
    double value = 0.0;
    if (std::sscanf(line.c_str(), "%d %d %lf", &i, &j, &value) == 3 && i >= 1 && i <= m && j >= 1 &&
        j <= n) {
      rows[static_cast<size_t>(i - 1)][static_cast<size_t>(j - 1)] = value;
    }
  }
  return rows;
}

// "%e" or "%3d %16.7e" of a value, as the reports print them.
std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
std::string ParameterLine(int i, double value) {
  char text[64];
  std::snprintf(text, sizeof text, "\n%3d %16.7e ", i, value);
  return text;
}

class RegressionPlotsProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifdef KELMATH_REGRESSION_PLOTS_PROGRAM
    folder = NewFolder("regression_plots");
    // No plotting program anywhere: the demonstration goes on without it.
    first = RunProgram(folder, "/usr/bin:/bin");
    for (const std::string& name : kOutputFiles) {
      firstFiles[name] = kel_test::ReadFile(folder + "/" + name);
      // Longer than anything the program writes, so that a file appended to or not truncated
      // keeps the tail.
      std::ofstream(folder + "/" + name) << std::string(200000, 'x');
    }
    firstLeftChannel = std::filesystem::exists(folder + "/" + kUntouchedChannel);
    std::ofstream(folder + "/" + kUntouchedChannel) << "a user's own file";
    second = RunProgram(folder, "/usr/bin:/bin");
    report = kel_test::ReadFile(folder + "/KelRegression.txt");
#endif
  }

  void SetUp() override {
#ifndef KELMATH_REGRESSION_PLOTS_PROGRAM
    GTEST_SKIP() << "the demonstration programs are not part of this build";
#endif
  }

  static std::string Path(const std::string& name) {
    return folder + "/" + name;
  }

  static inline std::string folder;
  static inline ProgramRun first;
  static inline ProgramRun second;
  static inline std::map<std::string, std::string> firstFiles;
  static inline bool firstLeftChannel = true;
  static inline std::string report;
};

}  // namespace

TEST_F(RegressionPlotsProgram, EndsNormallyShowingOnlyThePlotNotices) {
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.out, "");
  EXPECT_EQ(first.err, kNotices);
  EXPECT_EQ(report.find("Fatal Error!!"), std::string::npos);
  EXPECT_FALSE(firstLeftChannel);
  EXPECT_FALSE(std::filesystem::exists(Path("Regression.svg")));
}

TEST_F(RegressionPlotsProgram, SecondRunReplacesEveryFile) {
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.err, kNotices);
  for (const std::string& name : kOutputFiles) {
    EXPECT_EQ(kel_test::ReadFile(Path(name)), firstFiles.at(name)) << name;
    EXPECT_GT(firstFiles.at(name).size(), 100u) << name;
  }
  EXPECT_EQ(kel_test::ReadFile(Path(kUntouchedChannel)), "a user's own file");
}

TEST_F(RegressionPlotsProgram, RegressionPlotHoldsTheFittedLineAndTheData) {
  const lr_test::Reference r("r/lm_X6.txt");
  std::ifstream in(Path("Regression.stx"));
  const Sparse P = ReadSparse(in);
  const Sparse Q = ReadSparse(in);
  std::string rest;
  EXPECT_FALSE(in >> rest) << "text after the ordinates";
  for (const Sparse* M : {&P, &Q}) {
    EXPECT_EQ(M->rows, 2);
    EXPECT_EQ(M->columns, 100);
    EXPECT_EQ(M->count, 106);
    ASSERT_EQ(M->elements.size(), 106u);
    for (int i = 1; i <= 100; ++i) EXPECT_EQ(M->elements.count({1, i}), 1u) << i;
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(M->elements.count({2, k}), 1u) << k;
  }
  for (int i = 1; i <= 100; ++i) {
    const double x = 1.0 + 5.0 * (i - 1) / 99.0;
    EXPECT_TRUE(lr_test::RelativelyNear(P.elements.at({1, i}), x, 1e-15)) << i;
    const double y = r("coefficient", 1) + r("coefficient", 2) * x;
    EXPECT_TRUE(lr_test::RelativelyNear(Q.elements.at({1, i}), y, 1e-13)) << i;
  }
  EXPECT_EQ(P.elements.at({1, 1}), 1.0);
  EXPECT_EQ(P.elements.at({1, 100}), 6.0);
  for (int k = 1; k <= 6; ++k) {
    EXPECT_EQ(P.elements.at({2, k}), k);
    EXPECT_TRUE(lr_test::RelativelyNear(Q.elements.at({2, k}), kY6[k - 1], 1e-15)) << k;
  }
}

TEST_F(RegressionPlotsProgram, WrongPlotAnalysisHoldsTheCurve) {
  std::ifstream in(Path("WrongPlotAnalysis.stx"));
  const Sparse P = ReadSparse(in);
  const Sparse Q = ReadSparse(in);
  for (const Sparse* M : {&P, &Q}) {
    EXPECT_EQ(M->rows, 1);
    EXPECT_EQ(M->columns, 11);
    EXPECT_EQ(M->count, 11);
  }
  ASSERT_EQ(P.elements.size(), 11u);
  ASSERT_EQ(Q.elements.size(), 11u);
  for (int i = 1; i <= 11; ++i) {
    EXPECT_NEAR(P.elements.at({1, i}), 0.1 * (i - 1), 1e-15) << i;
    EXPECT_TRUE(lr_test::RelativelyNear(Q.elements.at({1, i}), kY11[i - 1], 1e-15)) << i;
  }
}

TEST_F(RegressionPlotsProgram, Simple1ReadsBackToTheDataAndTheFit) {
  KelLoad in(Path("Simple1.lrg").c_str());
  KelMatrix F;
  KelVector y;
  double variance = 0.0;
  int degreesOfFreedom = 0;
  in >> F >> y >> variance >> degreesOfFreedom;
  EXPECT_TRUE(in.AtEnd());
  in.Close();
  ASSERT_EQ(F.Rows(), 12);
  ASSERT_EQ(F.Columns(), 2);
  ASSERT_EQ(y.Size(), 12);
  for (int i = 1; i <= 12; ++i) {
    EXPECT_EQ(F(i, 1), 1.0);
    EXPECT_TRUE(lr_test::RelativelyNear(F(i, 2), kX12[i - 1], 1e-15)) << i;
    EXPECT_TRUE(lr_test::RelativelyNear(y(i), kY12[i - 1], 1e-15)) << i;
  }
  EXPECT_EQ(variance, 0.04);
  EXPECT_EQ(degreesOfFreedom, 5);

  const lr_test::Reference r("r/lm_x12.txt");
  KelLinearRegression regression(Path("Simple1.lrg").c_str());
  EXPECT_EQ(regression.Experiments(), 12);
  EXPECT_EQ(regression.NumberOfParameters(), 2);
  EXPECT_TRUE(regression.HasIntercept());
  EXPECT_EQ(regression.ResponseVariance(), 0.04);
  EXPECT_EQ(regression.ResponseVarianceDegreesOfFreedom(), 5);
  KelVector b;
  regression.GetParameters(b);
  EXPECT_TRUE(lr_test::RelativelyNear(b(1), r("coefficient", 1), 1e-10));
  EXPECT_TRUE(lr_test::RelativelyNear(b(2), r("coefficient", 2), 1e-10));
}

TEST_F(RegressionPlotsProgram, Simple3HoldsTheCentredAbscissas) {
  long double sum = 0.0L, sumY = 0.0L;
  for (int i = 0; i < 12; ++i) {
    sum += kX12[i];
    sumY += kY12[i];
  }
  const double mean = static_cast<double>(sum / 12.0L);
  KelLoad in(Path("Simple3.lrg").c_str());
  KelMatrix F;
  KelVector y;
  double variance = 0.0;
  int degreesOfFreedom = 0;
  in >> F >> y >> variance >> degreesOfFreedom;
  EXPECT_TRUE(in.AtEnd());
  in.Close();
  ASSERT_EQ(F.Rows(), 12);
  ASSERT_EQ(F.Columns(), 2);
  for (int i = 1; i <= 12; ++i) {
    EXPECT_EQ(F(i, 1), 1.0);
    EXPECT_NEAR(F(i, 2), kX12[i - 1] - mean, 1e-12) << i;
    EXPECT_TRUE(lr_test::RelativelyNear(y(i), kY12[i - 1], 1e-15)) << i;
  }
  EXPECT_EQ(variance, 0.04);
  EXPECT_EQ(degreesOfFreedom, 5);

  // Centring leaves the slope and makes the intercept the mean response.
  const lr_test::Reference r("r/lm_x12.txt");
  KelLinearRegression regression(Path("Simple3.lrg").c_str());
  EXPECT_TRUE(regression.HasIntercept());
  EXPECT_EQ(regression.ResponseVariance(), 0.04);
  KelVector b;
  regression.GetParameters(b);
  EXPECT_TRUE(lr_test::RelativelyNear(b(1), static_cast<double>(sumY / 12.0L), 1e-12));
  EXPECT_TRUE(lr_test::RelativelyNear(b(2), r("coefficient", 2), 1e-10));
}

TEST_F(RegressionPlotsProgram, CollinearityEndsAfterTheResponses) {
  const lr_test::Reference r("r/lm_Xc.txt");
  KelLoad in(Path("Collinearity.lrg").c_str());
  KelMatrix F;
  KelVector y;
  in >> F >> y;
  EXPECT_TRUE(in.AtEnd());
  in.Close();
  ASSERT_EQ(F.Rows(), 11);
  ASSERT_EQ(F.Columns(), 2);
  ASSERT_EQ(y.Size(), 11);
  for (int i = 1; i <= 11; ++i) {
    EXPECT_TRUE(lr_test::RelativelyNear(F(i, 1), r("F", i, 1), 1e-15)) << i;
    EXPECT_TRUE(lr_test::RelativelyNear(F(i, 2), r("F", i, 2), 1e-15)) << i;
    EXPECT_TRUE(lr_test::RelativelyNear(y(i), r("y", i), 1e-15)) << i;
  }
  KelLinearRegression regression(Path("Collinearity.lrg").c_str());
  EXPECT_FALSE(regression.HasIntercept());
  EXPECT_EQ(regression.ResponseVariance(), 0.0);
  EXPECT_EQ(regression.ResponseVarianceDegreesOfFreedom(), 0);
  KelVector b;
  regression.GetParameters(b);
  EXPECT_TRUE(lr_test::RelativelyNear(b(1), r("coefficient", 1), 1e-9));
  EXPECT_TRUE(lr_test::RelativelyNear(b(2), r("coefficient", 2), 1e-9));
}

TEST_F(RegressionPlotsProgram, ReportHoldsEveryStepInOrder) {
  const std::string leastSquares = "\nLeast Squares Regression Analysis\n";
  const lr_test::Reference x6("r/lm_X6.txt"), x12("r/lm_x12.txt"), xc("r/lm_Xc.txt"),
      x20("r/lm_X20_147.txt"), stepwise("r/stepwise_X20.txt");
  const std::vector<std::string> steps = {
      "\n\nLinearRegression constructor", leastSquares, ParameterLine(1, x6("coefficient", 1)),
      ParameterLine(2, x6("coefficient", 2)), "\n\n\n***** Examples of KelPlotSparse *****",
      "\nWarning!!\nPlot on File Regression.stx", leastSquares,
      ParameterLine(1, x12("coefficient", 1)), ParameterLine(2, x12("coefficient", 2)),
      "\nWarning!!\nPlot on File WrongPlotAnalysis.stx", leastSquares,
      ParameterLine(1, xc("coefficient", 1)), ParameterLine(2, xc("coefficient", 2)),
      "The experiment 5 is a probable outlier", "\nBest Models with Stepwise Analysis\n",
      // The smaller sizes reach the exhaustive best subsets.
      "\nNumber of Parameter(s) = 2\nMean Square Error = " + Format("%e", stepwise("best_2.MSE")),
      "\nNumber of Parameter(s) = 3\nMean Square Error = " + Format("%e", stepwise("best_3.MSE")),
      leastSquares, ParameterLine(1, x20("coefficient", 1)),
      ParameterLine(2, x20("coefficient", 2)), ParameterLine(3, x20("coefficient", 3)),
      "\nSingular Value Decomposition Analysis\n", leastSquares, "\nF\nKelMatrix No.",
      "\nB1\nKelMatrix No.", "\nB2\nKelMatrix No."};
  EXPECT_EQ(report.rfind(steps[0], 0), 0u) << "the report starts elsewhere";
  size_t at = 0;
  for (const std::string& step : steps) {
    const size_t found = report.find(step, at);
    EXPECT_NE(found, std::string::npos) << "missing after offset " << at << ": [" << step << "]";
    if (found != std::string::npos) at = found + step.size();
  }
  size_t count = 0;
  for (size_t p = report.find(leastSquares); p != std::string::npos;
       p = report.find(leastSquares, p + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(report.find("\nBest Models with Stepwise Analysis\n"),
            report.rfind("\nBest Models with Stepwise Analysis\n"));
}

TEST_F(RegressionPlotsProgram, PrincipalComponentsAreOrthonormalInTheColumnSpaceOfX7) {
  // X7(i, j) = 5 (i - 1) + j: its columns span the constant and the linear sequences, so each
  // component is a linear sequence down the rows.
  const auto F = PrintedMatrix(report, "F");
  ASSERT_EQ(F.size(), 7u);
  ASSERT_EQ(F[0].size(), 2u);
  for (size_t a = 0; a < 2; ++a) {
    for (size_t b = 0; b < 2; ++b) {
      double dot = 0.0;
      for (size_t i = 0; i < 7; ++i) dot += F[i][a] * F[i][b];
      EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-12) << a << " " << b;
    }
    for (size_t i = 2; i < 7; ++i) {
      EXPECT_NEAR(F[i][a] - F[i - 1][a], F[1][a] - F[0][a], 1e-12) << "component " << a + 1;
    }
  }
}

TEST_F(RegressionPlotsProgram, RankTwoPartsRebuildX7) {
  const auto B1 = PrintedMatrix(report, "B1");
  const auto B2 = PrintedMatrix(report, "B2");
  ASSERT_EQ(B1.size(), 7u);
  ASSERT_EQ(B2.size(), 7u);
  ASSERT_EQ(B1[0].size(), 5u);
  double x7[7][5];
  for (int i = 0; i < 7; ++i)
    for (int j = 0; j < 5; ++j) x7[i][j] = 5.0 * i + j + 1.0;
  // X7 has rank 2: the two parts together are X7.
  for (size_t i = 0; i < 7; ++i)
    for (size_t j = 0; j < 5; ++j) EXPECT_NEAR(B2[i][j], x7[i][j], 1e-12 * 35.0) << i << j;
  // B1 is the best rank-one part: rank one, orthogonal to the rest of X7, and of squared norm
  // the largest eigenvalue of X7^T X7 (by power iteration here).
  double inner = 0.0, norm2 = 0.0;
  for (size_t i = 0; i < 7; ++i) {
    for (size_t j = 0; j < 5; ++j) {
      inner += B1[i][j] * (x7[i][j] - B1[i][j]);
      norm2 += B1[i][j] * B1[i][j];
      EXPECT_NEAR(B1[i][j] * B1[0][0] - B1[i][0] * B1[0][j], 0.0, 1e-10) << i << j;
    }
  }
  EXPECT_NEAR(inner, 0.0, 1e-9);
  double gram[5][5] = {};
  for (int a = 0; a < 5; ++a)
    for (int b = 0; b < 5; ++b)
      for (int i = 0; i < 7; ++i) gram[a][b] += x7[i][a] * x7[i][b];
  double v[5] = {1, 1, 1, 1, 1};
  double lambda = 0.0;
  for (int iteration = 0; iteration < 200; ++iteration) {
    double w[5] = {};
    for (int a = 0; a < 5; ++a)
      for (int b = 0; b < 5; ++b) w[a] += gram[a][b] * v[b];
    double norm = 0.0;
    for (const double e : w) norm += e * e;
    norm = std::sqrt(norm);
    double vv = 0.0, vw = 0.0;
    for (int a = 0; a < 5; ++a) {
      vw += v[a] * w[a];
      vv += v[a] * v[a];
    }
    lambda = vw / vv;
    for (int a = 0; a < 5; ++a) v[a] = w[a] / norm;
  }
  EXPECT_TRUE(lr_test::RelativelyNear(norm2, lambda, 1e-12));
}

TEST_F(RegressionPlotsProgram, ViewerInTheFolderDrawsBothPlots) {
#ifdef KELMATH_PLOT_PROGRAM
  const std::string here = NewFolder("regression_plots_viewer");
  std::filesystem::copy_file(KELMATH_PLOT_PROGRAM, here + "/KelPlotSparse.exe");
  const ProgramRun run = RunProgram(here, "/usr/bin:/bin");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, kNotices);
  for (const std::string name : {"Regression", "WrongPlotAnalysis"}) {
    const std::string svg = kel_test::ReadFile(here + "/" + name + ".svg");
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u) << name;
    EXPECT_NE(svg.find(">" + name + ".stx</text>"), std::string::npos) << name;
    EXPECT_NE(svg.find("</svg>"), std::string::npos) << name;
  }
  const std::string regression = kel_test::ReadFile(here + "/Regression.svg");
  EXPECT_NE(regression.find("<polyline class=\"line\""), std::string::npos);
#endif
}

TEST_F(RegressionPlotsProgram, FolderViewerComesBeforeThePathIsWaitedForAndKeptQuiet) {
  const std::string here = NewFolder("regression_plots_local");
  const std::string bin = NewFolder("regression_plots_local_bin");
  // Each viewer notes which plot files it found, after a pause: a caller that did not wait
  // would end before the notes are written.
  WriteScript(here + "/KelPlotSparse.exe",
              "sleep 0.2\necho local *.stx >> calls.txt\necho chatter\necho noise >&2\nexit 3\n");
  WriteScript(bin + "/KelPlotSparse.exe", "echo path *.stx >> calls.txt\n");
  const ProgramRun run = RunProgram(here, AbsolutePath(bin) + ":/usr/bin:/bin");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, kNotices);
  EXPECT_EQ(kel_test::ReadFile(here + "/calls.txt"),
            "local Regression.stx\nlocal Regression.stx WrongPlotAnalysis.stx\n");
  EXPECT_NE(kel_test::ReadFile(here + "/KelRegression.txt").find("\nB2\nKelMatrix No."),
            std::string::npos)
      << "the demonstration stopped after the failing viewer";
}

TEST_F(RegressionPlotsProgram, PathViewerRunsWhenTheFolderHasNoProgram) {
  const std::string here = NewFolder("regression_plots_path");
  const std::string bin = NewFolder("regression_plots_path_bin");
  // A file of that name that cannot be run is not the plotting program.
  std::ofstream(here + "/KelPlotSparse.exe") << "not a program\n";
  WriteScript(bin + "/KelPlotSparse.exe", "echo path *.stx >> calls.txt\n");
  const ProgramRun run = RunProgram(here, AbsolutePath(bin) + ":/usr/bin:/bin");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, kNotices);
  EXPECT_EQ(kel_test::ReadFile(here + "/calls.txt"),
            "path Regression.stx\npath Regression.stx WrongPlotAnalysis.stx\n");
}
