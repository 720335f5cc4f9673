// The regression-from-file programs and their data files: the files hold what their
// description says (regenerated here with KelSave and compared byte for byte), the analyses
// expose what the files were designed to show, and each program, run in a scratch folder,
// ends normally with its report, or with status 1 and the KelLoad message when its file is
// missing.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "foundation/kel_output.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"
#include "regression_demo_files.h"

namespace {

std::string DemoFile(const std::string& program, const std::string& file) {
  return std::string(KELMATH_SOURCE_DIR) + "/demos/" + program + "/" + file;
}

std::string PiecewisePath() {
  return DemoFile("piecewise_regression", "PicewiseA1.lrg");
}
std::string LeveragePath() {
  return DemoFile("leverage_regression", "Leverage.lrg");
}

TEST(RegressionDataFiles, PiecewiseFileIsTheDescribedData) {
  const std::string path = kel_test::ScratchPath("piecewise.lrg");
  demo_files::WritePiecewiseFile(path.c_str());
  EXPECT_EQ(kel_test::ReadFile(path), kel_test::ReadFile(PiecewisePath()));
}

TEST(RegressionDataFiles, LeverageFileIsTheDescribedData) {
  const std::string path = kel_test::ScratchPath("leverage.lrg");
  demo_files::WriteLeverageFile(path.c_str());
  EXPECT_EQ(kel_test::ReadFile(path), kel_test::ReadFile(LeveragePath()));
}

// The hinge model recovered by the robust fit, the recorded error exposed, the variance read.
TEST(RegressionDataFiles, PiecewiseRobustFitExposesTheRecordingError) {
  KelLinearRegression regression(PiecewisePath().c_str());
  EXPECT_EQ(regression.ResponseVariance(), demo_files::piecewiseVariance);
  EXPECT_EQ(regression.ResponseVarianceDegreesOfFreedom(),
            demo_files::piecewiseVarianceDegreesOfFreedom);
  const KelVector& b = regression.RobustParameters();
  EXPECT_NEAR(b(1), 2.0, 0.3);
  EXPECT_NEAR(b(2), 0.8, 0.1);
  EXPECT_NEAR(b(3), -1.5, 0.15);
  EXPECT_EQ(regression.RobustHighlyProbableOutliers().Size(), 1);
  EXPECT_EQ(regression.RobustHighlyProbableOutliers()(1), demo_files::piecewiseOutlier);
  // At the least median of squares a few clean experiments may sit just beyond 2.5 scale units
  // (possible outliers); none comes near the recorded error.
  const KelVectorInt& possible = regression.RobustPossibleOutliers();
  for (int i = 1; i <= possible.Size(); ++i)
    EXPECT_LT(std::fabs(regression.NormalizedRobustResiduals()(possible(i))), 3.5) << possible(i);
}

// Least squares is tilted by the two high-leverage experiments and its residuals hide them
// (none beyond 2.5, no leave-one-out verdict); the robust fit follows the line and lists both.
TEST(RegressionDataFiles, LeverageExperimentsTiltLeastSquaresAndTheRobustFitExposesThem) {
  KelLinearRegression regression(LeveragePath().c_str());
  KelVector leastSquares;
  regression.GetParameters(leastSquares);
  EXPECT_LT(leastSquares(2), 0.1);  // the line's slope is 0.5
  const KelVector e = regression.NormalizedResiduals();
  for (int i = 1; i <= e.Size(); ++i) EXPECT_LE(std::fabs(e(i)), 2.5) << i;
  EXPECT_EQ(regression.HighlyProbableOutlier(), 0);
  EXPECT_EQ(regression.ProbableOutlier(), 0);

  const KelVector& b = regression.RobustParameters();
  EXPECT_NEAR(b(1), 1.0, 0.1);
  EXPECT_NEAR(b(2), 0.5, 0.02);
  EXPECT_EQ(regression.RobustOutliers().Size(), 2);
  EXPECT_EQ(regression.RobustHighlyProbableOutliers().Size(), 2);
  EXPECT_EQ(regression.RobustHighlyProbableOutliers()(1), demo_files::leverageFirst);
  EXPECT_EQ(regression.RobustHighlyProbableOutliers()(2), demo_files::leverageSecond);
}

// Runs a program in a fresh scratch folder, with or without its data file beside it; returns
// the exit status and leaves the report in *report.
int RunProgram(const char* program, const std::string& dataFile, const std::string& name,
               std::string* report) {
  static int runs = 0;
  const std::string folder =
      "regression_program_" + std::to_string(::getpid()) + "_" + std::to_string(++runs);
  ::mkdir(folder.c_str(), 0755);
  std::string command = "cd '" + folder + "'";
  if (!dataFile.empty()) command += " && cp '" + dataFile + "' '" + name + "'";
  command += " && '" + std::string(program) + "' > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  *report = kel_test::ReadFile(folder + "/KelFile.txt");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#ifdef KELMATH_PIECEWISE_REGRESSION_PROGRAM
constexpr const char* piecewiseProgram = KELMATH_PIECEWISE_REGRESSION_PROGRAM;
#else
constexpr const char* piecewiseProgram = nullptr;
#endif
#ifdef KELMATH_LEVERAGE_REGRESSION_PROGRAM
constexpr const char* leverageProgram = KELMATH_LEVERAGE_REGRESSION_PROGRAM;
#else
constexpr const char* leverageProgram = nullptr;
#endif

size_t Find(const std::string& text, const std::string& part, size_t from = 0) {
  return text.find(part, from);
}

TEST(RegressionPrograms, PiecewiseRegressionPrintsBothReportsInTheEarlierForm) {
  if (piecewiseProgram == nullptr) GTEST_SKIP() << "the demonstration programs are not built";
  std::string report;
  EXPECT_EQ(RunProgram(piecewiseProgram, PiecewisePath(), "PicewiseA1.lrg", &report), 0);
  EXPECT_EQ(report.rfind("\nsystemConditioning ", 0), 0u);
  const size_t leastSquares = Find(report, "\nLeast Square Regression Analysis\n");
  const size_t fTest = Find(report, "\n\n\nF-test for the model");
  const size_t robust = Find(report, "\nRobust Regression Analysis\n");
  ASSERT_NE(leastSquares, std::string::npos);
  ASSERT_NE(fTest, std::string::npos);
  ASSERT_NE(robust, std::string::npos);
  EXPECT_LT(leastSquares, fTest);
  EXPECT_LT(fTest, robust);
  EXPECT_NE(Find(report, "dfNum 22 dfDen 6", fTest), std::string::npos);
  EXPECT_NE(Find(report, "\n\nThese are highly probable Outliers: 20", robust), std::string::npos);
  EXPECT_EQ(Find(report, "Outliers sorted by importance"), std::string::npos);
  EXPECT_EQ(Find(report, "Fatal Error"), std::string::npos);
  EXPECT_NE(Find(report,
                 "\nThe principal component analysis does not identify serious "
                 "multicollinearities",
                 robust),
            std::string::npos);
}

TEST(RegressionPrograms, LeverageRegressionPrintsOnlyTheRobustReport) {
  if (leverageProgram == nullptr) GTEST_SKIP() << "the demonstration programs are not built";
  std::string report;
  EXPECT_EQ(RunProgram(leverageProgram, LeveragePath(), "Leverage.lrg", &report), 0);
  // The report opens with the robust title; the fit runs inside the robust computation (the
  // earlier form prints the system conditioning there), but its report is not printed.
  const std::string title =
      "\n\n\n==========================\nRobust Regression Analysis\n"
      "==========================\n\nsystemConditioning ";
  EXPECT_EQ(report.substr(0, title.size()), title);
  EXPECT_EQ(Find(report, "Least Square"), std::string::npos);
  EXPECT_NE(Find(report, "\n\nThese are highly probable Outliers: 13 14"), std::string::npos);
  EXPECT_NE(Find(report,
                 "\nThe correlation matrix does not identify serious multicollinearities"
                 "\nThe condition number does not identify serious multicollinearities"
                 "\nThe principal component analysis does not identify serious "
                 "multicollinearities"),
            std::string::npos);
  EXPECT_EQ(Find(report, "Fatal Error"), std::string::npos);
}

TEST(RegressionPrograms, MissingDataFileEndsWithStatusOneAndTheLoadMessage) {
  if (piecewiseProgram == nullptr || leverageProgram == nullptr)
    GTEST_SKIP() << "the demonstration programs are not built";
  const struct {
    const char* program;
    const char* file;
  } runs[] = {{piecewiseProgram, "PicewiseA1.lrg"}, {leverageProgram, "Leverage.lrg"}};
  for (const auto& run : runs) {
    std::string report;
    EXPECT_EQ(RunProgram(run.program, "", run.file, &report), 1) << run.file;
    const std::string expected =
        std::string("\nFatal Error!!\nKelLoad class\nCan't open FILE\n") + run.file;
    EXPECT_TRUE(report.size() >= expected.size() &&
                report.compare(report.size() - expected.size(), std::string::npos, expected) == 0)
        << "[" << report << "]";
  }
}

}  // namespace
