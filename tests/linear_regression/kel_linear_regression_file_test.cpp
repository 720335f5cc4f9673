// Regression data files read through the file constructor: the NIST certified linear problems,
// the optional variance items, and the files the regression demonstration writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "containers/kel_save.h"
#include "foundation/kel_output.h"
#include "kel_nist_linear.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression_test_data.h"

namespace {

using kel_nist_linear::Certified;
using kel_nist_linear::kProblems;
using kel_nist_linear::NistProblem;
using kel_nist_linear::ReadCertified;

class NistCertified : public ::testing::TestWithParam<NistProblem> {};

TEST_P(NistCertified, ParametersAndStandardErrorsReachTheLogRelativeError) {
  const NistProblem problem = GetParam();
  const Certified certified = ReadCertified(problem.name);
  const std::string path =
      kel_test::ReferencePath(std::string("nist/linear/") + problem.name + ".lrg");
  KelLinearRegression regression(path.c_str());
  ASSERT_EQ(regression.NumberOfParameters(), static_cast<int>(certified.parameters.size()));
  EXPECT_EQ(regression.DegreesOfFreedom(), certified.dof);
  EXPECT_EQ(regression.ResponseVariance(), 0.0);
  const KelVector& b = regression.Parameters();
  const KelVector& se = regression.ParameterStandardErrors();
  std::ostringstream lres;
  double lowest = 99.0;
  for (int i = 1; i <= regression.NumberOfParameters(); ++i) {
    const double lreB = kel_test::LogRelativeError(b(i), certified.parameters[i - 1]);
    const double lreSe = kel_test::LogRelativeError(se(i), certified.standardErrors[i - 1]);
    EXPECT_GE(lreB, problem.minimumLre) << problem.name << " parameter " << i;
    EXPECT_GE(lreSe, problem.minimumLre) << problem.name << " standard error " << i;
    lres << " b" << i << " " << lreB << " se" << i << " " << lreSe;
    lowest = std::min({lowest, lreB, lreSe});
  }
  const double lreSd =
      kel_test::LogRelativeError(regression.StandardDeviation(), certified.residualSd);
  const double lreR2 = kel_test::LogRelativeError(regression.GetR2(), certified.r2);
  EXPECT_GE(lreSd, problem.minimumLre) << problem.name;
  EXPECT_GE(lreR2, problem.minimumLre) << problem.name;
  lres << " sd " << lreSd << " R2 " << lreR2;
  RecordProperty("lre", lres.str());
  std::printf("[ LRE      ] %s lowest %.2f:%s\n", problem.name, lowest, lres.str().c_str());
}

INSTANTIATE_TEST_SUITE_P(LinearProblems, NistCertified, ::testing::ValuesIn(kProblems),
                         [](const ::testing::TestParamInfo<NistProblem>& info) {
                           return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------------------

std::string WriteText(const std::string& stem, const std::string& text) {
  const std::string path = kel_test::ScratchPath(stem);
  std::ofstream(path) << text;
  return path;
}

TEST(RegressionDataFile, VarianceAndDegreesOfFreedomAreAssigned) {
  // The example of the file layout: three experiments, variance 0.04 with 5 degrees of freedom.
  const std::string path =
      WriteText("lrg", " 3 2\n 1.0 0.5\n 1.0 1.0\n 1.0 1.5\n 3\n 2.1 2.9 4.2\n 0.04\n 5\n");
  KelLinearRegression regression(path.c_str());
  EXPECT_EQ(regression.Experiments(), 3);
  EXPECT_EQ(regression.NumberOfParameters(), 2);
  EXPECT_TRUE(regression.HasIntercept());
  EXPECT_EQ(regression.ResponseVariance(), 0.04);
  EXPECT_EQ(regression.ResponseVarianceDegreesOfFreedom(), 5);
  // Hand fit: slope (4.2 - 2.1) / 1 = 2.1, intercept 3.0666... - 2.1 * 1 = 0.9666...
  EXPECT_NEAR(regression.Parameters()(2), 2.1, 1e-13);
  EXPECT_NEAR(regression.Parameters()(1), (2.1 + 2.9 + 4.2) / 3.0 - 2.1, 1e-13);
  // Residuals normalized by sqrt(0.04) = 0.2.
  const KelVector e = regression.NormalizedResiduals();
  EXPECT_NEAR(e(1), regression.Residuals()(1) / 0.2, 1e-15);
}

TEST(RegressionDataFile, EndingAfterTheResponsesOrAfterAZeroVarianceMeansNoVariance) {
  const std::string afterY = WriteText("lrg", "3 2 1 0.5 1 1 1 1.5 3 2.1 2.9 4.2");
  KelLinearRegression a(afterY.c_str());
  EXPECT_EQ(a.ResponseVariance(), 0.0);
  EXPECT_EQ(a.ResponseVarianceDegreesOfFreedom(), 0);
  const std::string afterZero = WriteText("lrg", "3 2\n1 0.5\n1 1\n1 1.5\n3\n2.1 2.9 4.2\n0\n");
  KelLinearRegression b(afterZero.c_str());
  EXPECT_EQ(b.ResponseVariance(), 0.0);
  EXPECT_TRUE(a.Parameters() == b.Parameters());
}

TEST(RegressionDataFile, NegativeVarianceOrNonPositiveDegreesLeaveTheVarianceUnassigned) {
  const std::string negative = WriteText("lrg", "3 2 1 0.5 1 1 1 1.5 3 2.1 2.9 4.2 -0.04 5");
  KelLinearRegression a(negative.c_str());
  EXPECT_EQ(a.ResponseVariance(), 0.0);
  EXPECT_EQ(a.ResponseVarianceDegreesOfFreedom(), 0);
  const std::string zeroDegrees = WriteText("lrg", "3 2 1 0.5 1 1 1 1.5 3 2.1 2.9 4.2 0.04 0");
  KelLinearRegression b(zeroDegrees.c_str());
  EXPECT_EQ(b.ResponseVariance(), 0.0);
  EXPECT_EQ(b.ResponseVarianceDegreesOfFreedom(), 0);
}

TEST(RegressionDataFile, WrittenByKelSaveReadsBackTheSameProblem) {
  // As the regression demonstration writes "Simple1.lrg": [1, x12], y12, 0.04, 5.
  const std::string path = kel_test::ScratchPath("simple1");
  const KelMatrix X = lr_test::MakeX12();
  const KelVector y = lr_test::MakeY12();
  {
    KelSave save(path.c_str());
    save << X << y << 0.04 << 5;
    save.Close();
  }
  KelLinearRegression fromFile(path.c_str());
  KelLinearRegression direct(X, y);
  direct.SetResponseVariance(0.04, 5);
  EXPECT_TRUE(fromFile.Parameters() == direct.Parameters());
  EXPECT_TRUE(fromFile.ParameterStandardErrors() == direct.ParameterStandardErrors());
  EXPECT_EQ(fromFile.ResponseVariance(), 0.04);
  EXPECT_EQ(fromFile.ResponseVarianceDegreesOfFreedom(), 5);
}

TEST(RegressionDataFileDeathTest, MissingFileIsFatal) {
  EXPECT_KEL_FATAL(KelLinearRegression("no_such_file.lrg"),
                   "KelLoad class\nCan't open FILE\nno_such_file.lrg");
}

TEST(RegressionDataFileDeathTest, AsManyColumnsAsRowsIsFatal) {
  const std::string path = WriteText("lrg", "2 2 1 0 0 1 2 1 2");
  EXPECT_KEL_FATAL(KelLinearRegression(path.c_str()),
                   "KelLinearRegression class\n\nDimension check failure\n2 x 2");
}

TEST(RegressionDataFileDeathTest, NonzeroVarianceWithoutDegreesOfFreedomIsFatal) {
  const std::string path = WriteText("lrg", "3 2 1 0.5 1 1 1 1.5 3 2.1 2.9 4.2 0.04");
  EXPECT_KEL_FATAL(
      KelLinearRegression(path.c_str()),
      std::string("KelLoad class\nCan't read FILE\n") + path + "\nline 1, item 14: end of file");
}

}  // namespace

namespace {

// A degree-10 polynomial in one variable with 82 experiments in [-8.8, -3.1] (condition number
// about 1.5e15, as hard as the hardest NIST linear problem), whose exact least-squares solution
// was computed in rational arithmetic (tests/reference/polynomial/make_polynomial.py). Without
// the refinement of the solution the parameters reach 7.4 digits.
TEST(IllConditionedPolynomial, RefinedSolutionReachesNineDigits) {
  std::ifstream in = kel_test::OpenReference("polynomial/polynomial10.exact");
  std::vector<double> exact;
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') exact.push_back(std::stod(line));
  ASSERT_EQ(exact.size(), 11u);
  const std::string path = kel_test::ReferencePath("polynomial/polynomial10.lrg");
  KelLinearRegression regression(path.c_str());
  EXPECT_GT(regression.ConditionNumber(), 1e14);
  const KelVector& b = regression.Parameters();
  for (int j = 1; j <= 11; ++j) {
    EXPECT_GE(kel_test::LogRelativeError(b(j), exact[static_cast<size_t>(j - 1)]), 9.0)
        << "b" << j << " = " << b(j);
  }
}

}  // namespace
