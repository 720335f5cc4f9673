// The least-squares report: diagnostics against R (variance inflation factors, Tj tolerances,
// column-correlation factors, partial and parameter correlations, normality index), the
// sections in order with their formats, verdicts and flags, and the report's fatal error.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/kel_output.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression_test_data.h"

namespace {

using lr_test::Reference;
using lr_test::RelativelyNear;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  return buffer;
}

struct DataSet {
  const char* name;
  const char* file;
  KelMatrix (*regressors)();
  KelVector (*responses)();
};
// Names the case in test listings instead of a byte dump of the struct.
void PrintTo(const DataSet& value, std::ostream* os) {
  *os << value.name;
}

const DataSet kDataSets[] = {
    {"X6", "r/lm_X6.txt", lr_test::MakeX6, lr_test::MakeY6},
    {"x12", "r/lm_x12.txt", lr_test::MakeX12, lr_test::MakeY12},
    {"Xc", "r/lm_Xc.txt", lr_test::MakeXc, lr_test::MakeYc},
    {"X20_147", "r/lm_X20_147.txt", lr_test::MakeX20Columns147, lr_test::MakeY20},
};

class DiagnosticsAgainstR : public ::testing::TestWithParam<DataSet> {};

TEST_P(DiagnosticsAgainstR, InflationFactorsTolerancesAndColumnFactors) {
  const Reference reference(GetParam().file);
  KelLinearRegression regression(GetParam().regressors(), GetParam().responses());
  const KelVector vif = regression.VarianceInflationFactors();
  const KelVector& tolerances = regression.Tolerances();
  const KelVector& factors = regression.ColumnsCorrelationFactors();
  const KelVector partial = regression.PartialCorrelations();
  const KelMatrixSymmetric& correlation = regression.ParameterCorrelation();
  const int n = regression.NumberOfParameters();
  for (int i = 1; i <= n; ++i) {
    EXPECT_TRUE(RelativelyNear(vif(i), reference("vif_library", i), 1e-8)) << i;
    EXPECT_TRUE(RelativelyNear(tolerances(i), reference("Tj_tolerance", i), 1e-8)) << i;
    EXPECT_TRUE(RelativelyNear(factors(i), reference("columns_correlation", i), 1e-8)) << i;
    for (int k = 1; k <= n; ++k)
      EXPECT_TRUE(RelativelyNear(correlation(i, k), reference("param_correlation", i, k), 1e-8));
  }
  EXPECT_TRUE(RelativelyNear(regression.NormalityIndex(), reference("normality_index"), 1e-8));
  // The partial correlations of the reference use the t of the report (assigned variance).
  KelLinearRegression assigned(GetParam().regressors(), GetParam().responses());
  assigned.SetResponseVariance(reference("sigma2"), static_cast<int>(reference("sigma2_dof")));
  const KelVector assignedPartial = assigned.PartialCorrelations();
  for (int i = 1; i <= n; ++i)
    EXPECT_TRUE(RelativelyNear(assignedPartial(i), reference("partial_correlation", i), 1e-8));
}

INSTANTIATE_TEST_SUITE_P(DemonstrationDataSets, DiagnosticsAgainstR, ::testing::ValuesIn(kDataSets),
                         [](const ::testing::TestParamInfo<DataSet>& info) {
                           return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------------------

// Expected report text of X6 with the variance 0.025 (5 dof), section by section, from R's
// values printed in the report's formats.
std::vector<std::string> ExpectedX6Sections(const Reference& r) {
  std::vector<std::string> sections;
  // Two-sided Student quantiles at 4 residual degrees of freedom, R's qt.
  const Reference quantiles("r/t_quantiles.txt");
  const double t95 = quantiles("t[4,0.025]");
  const double t99 = quantiles("t[4,0.005]");
  sections.push_back(
      "\n\n================================\nLeast Squares Regression Analysis\n"
      "================================\n");
  sections.push_back(
      Format("\nCondition Number %e   The matrix F is well conditioned"
             "\nThe condition number does not identify serious multicollinearities\n"
             "\nSystem Contitioning ",
             r("condition_number")));
  std::string parameters = Format("\nParameters Norm2 %16.7e", r("b_norm"));
  parameters += "\n\n Par.      Value       Standard Error      T-Value          P-Value";
  for (int i = 1; i <= 2; ++i)
    parameters += Format("\n%3d %16.7e %16.7e %16.7e %16.7e", i, r("coefficient", i),
                         r("se_sigma2", i), r("t_sigma2", i), r("p_sigma2", i));
  parameters += "\n\nPartial Correlations";
  for (int i = 1; i <= 2; ++i) parameters += Format("\n%3d %16.7e", i, r("partial_correlation", i));
  parameters += "\n\nConfidence Interval 95%\n Par.      Lower           Upper";
  for (int i = 1; i <= 2; ++i) {
    const double h = r("se_sigma2", i) * t95;
    parameters +=
        Format("\n%3d %16.7e %16.7e", i, r("coefficient", i) - h, r("coefficient", i) + h);
  }
  parameters += "\n\nConfidence Interval 99%\n Par.      Lower           Upper";
  for (int i = 1; i <= 2; ++i) {
    const double h = r("se_sigma2", i) * t99;
    parameters +=
        Format("\n%3d %16.7e %16.7e", i, r("coefficient", i) - h, r("coefficient", i) + h);
  }
  sections.push_back(parameters);
  sections.push_back("\n\nVariance-Covariance Matrix\nKelMatrixSymm No.");
  sections.push_back("\nCorrelation Matrix\nKelMatrixSymm No.");
  sections.push_back(
      Format("\n\nVariance inflation factor\n1 %16.7e\n2 %16.7e"
             "\n\nThe Variance inflation factor does not identify serious "
             "multicollinearities",
             r("vif_library", 1), r("vif_library", 2)));
  sections.push_back(
      Format("\n\nColumns correlation = Tj Tolerance\n1 %16.7e\n2 %16.7e"
             "\n\nThe Tj Tolerance does not identify serious multicollinearities",
             r("Tj_tolerance", 1), r("Tj_tolerance", 2)));
  sections.push_back(
      Format("\n\nkelColumnsCorrelation\n1 %16.7e\n2 %16.7e"
             "\n\nThe kelColumnsCorrelation factor does not identify serious "
             "multicollinearities",
             r("columns_correlation", 1), r("columns_correlation", 2)));
  sections.push_back("\nNo serious multicollinearities have been identified");
  sections.push_back(
      Format("\n\n\nTotal Sum of Squares                    = %16.7e"
             "\nTotal Sum of Squares corrected by mean  = %16.7e"
             "\nResiduals Norm2                         = %16.7e"
             "\nSum of Squares                          = %16.7e"
             "\nStandard Deviation                      = %16.7e"
             "\nMean Square Error                       = %16.7e"
             "\nCoefficient of Determination (R2)       = %16.7e"
             "\nAdjusted R2                             = %16.7e",
             r("SST"), r("SSTc"), r("residual_norm"), r("SS"), r("residual_sd"), r("MSE"), r("R2"),
             r("adjusted_R2")));
  sections.push_back(
      Format("\nResponse Variance Assigned              = %16.7e"
             "\n\n\nF-test for the model\nFexperimental = %e"
             "\nThe probability that F with dfNum 4 dfDen 5 \nis greater than %e is ",
             0.025, r("Fexp"), r("Fexp")));
  std::string residuals =
      "\n\n        Observed y     Estimated y     Residuals r    Residuals\n"
      "                                                      Normalized";
  for (int j = 1; j <= 6; ++j)
    residuals += Format("\n%3d%16.7e%16.7e%16.7e%9.2f", j, r("y", j), r("fitted", j),
                        r("residual", j), r("e_normalized", j));
  sections.push_back(residuals);
  for (int level = 0; level < 2; ++level) {
    std::string intervals =
        level == 0 ? "\n\nConfidence Interval 95% for y" : "\n\nConfidence Interval 99% for y";
    intervals += "\n Exp.      Lower            y             Upper";
    for (int j = 1; j <= 6; ++j) {
      const double h = r("se_yhat_sigma2", j) * (level == 0 ? t95 : t99);
      intervals += Format("\n%3d %16.7e %16.7e %16.7e", j, r("fitted", j) - h, r("fitted", j),
                          r("fitted", j) + h);
    }
    sections.push_back(intervals);
  }
  sections.push_back(
      Format("\n\n\nFirst Index for normality assumption       = %16.7e"
             "\nThe data are consistent with the normality assumption",
             r("normality_index")));
  return sections;
}

TEST(LeastSquaresReport, SectionsInOrderWithTheirFormats) {
  const Reference reference("r/lm_X6.txt");
  KelLinearRegression regression(lr_test::MakeX6(), lr_test::MakeY6());
  regression.SetResponseVariance(0.025, 5);
  const std::string text = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  size_t position = 0;
  for (const std::string& section : ExpectedX6Sections(reference)) {
    const size_t found = text.find(section, position);
    EXPECT_NE(found, std::string::npos)
        << "section not found in order:\n[" << section << "]\nreport:\n"
        << text;
    if (found != std::string::npos) position = found + section.size();
  }
  // No outlier with the assigned variance: the report ends after the normality verdict.
  EXPECT_EQ(text.find("outlier"), std::string::npos);
  EXPECT_EQ(text.find("WARNING"), std::string::npos);
  EXPECT_FALSE(regression.MulticollinearityFound());
  EXPECT_EQ(regression.ConditioningVerdict(), KelLinearRegression::kConditioningNone);
}

TEST(LeastSquaresReport, RunningTwicePrintsTheSameReport) {
  KelLinearRegression regression(lr_test::MakeX12(), lr_test::MakeY12());
  const std::string first = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  const std::string second = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  EXPECT_EQ(first, second);
  // Without an assigned variance there is no F-test and residuals are normalized by s.
  EXPECT_EQ(first.find("F-test"), std::string::npos);
  const Reference reference("r/lm_x12.txt");
  EXPECT_NE(first.find(Format("\n%3d%16.7e%16.7e%16.7e%9.2f", 11, reference("y", 11),
                              reference("fitted", 11), reference("residual", 11),
                              reference("residual", 11) / reference("residual_sd"))),
            std::string::npos);
}

TEST(LeastSquaresReport, CollinearDataSetRaisesEveryMulticollinearityVerdict) {
  const Reference reference("r/lm_Xc.txt");
  KelLinearRegression regression(lr_test::MakeXc(), lr_test::MakeYc());
  const std::string text = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  const std::string warning = "  ** WARNING **";
  // Condition number 157.8: well conditioned by the condition number alone.
  EXPECT_NE(text.find("   The matrix F is well conditioned"), std::string::npos);
  EXPECT_NE(text.find(Format("\n1 %16.7e %s", reference("vif_library", 1), warning.c_str())),
            std::string::npos);
  EXPECT_NE(text.find("\n\n " + warning +
                      " Correlation between Parameters\nThe Variance inflation factor identifies "
                      "serious multicollinearities"),
            std::string::npos);
  EXPECT_NE(text.find("\nThe Tj Tolerance identifies serious multicollinearities"),
            std::string::npos);
  EXPECT_NE(text.find("\nThe kelColumnsCorrelation factor identifies serious multicollinearities"),
            std::string::npos);
  EXPECT_NE(text.find("\n " + warning +
                      " Correlation between Parameters\nSerious multicollinearities have been "
                      "identified"),
            std::string::npos);
  // No column of ones: no corrected total sum of squares.
  EXPECT_EQ(text.find("corrected by mean"), std::string::npos);
  EXPECT_NE(text.find("\n\n\nThe experiment 5 is a probable outlier"), std::string::npos);
  const std::string last = "\n\n\nThe experiment 5 is a probable outlier";
  EXPECT_TRUE(text.size() >= last.size() &&
              text.compare(text.size() - last.size(), last.size(), last) == 0);
  EXPECT_TRUE(regression.MulticollinearityFound());
}

TEST(LeastSquaresReport, ConditionNumberAboveAThousandAndUnbalancedColumns) {
  // [1, x12] has condition number 3299.8 and balancing lowers it far more than a hundredfold.
  KelLinearRegression regression(lr_test::MakeX12(), lr_test::MakeY12());
  const std::string text = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  EXPECT_NE(
      text.find("  ** WARNING **\nThe condition number identifies serious multicollinearities\n"),
      std::string::npos);
  const double cond = regression.ConditionNumber();
  const double system = regression.SystemConditioning();
  if (0.01 * cond > system) {
    EXPECT_NE(text.find("  ** WARNING **\nMatrix F has to be normalized\n"), std::string::npos);
    EXPECT_EQ(regression.ConditioningVerdict(), KelLinearRegression::kMustBeNormalized);
  } else {
    EXPECT_EQ(text.find("Matrix F has to be normalized"), std::string::npos);
    EXPECT_EQ(regression.ConditioningVerdict(), KelLinearRegression::kIllConditioned);
  }
}

TEST(LeastSquaresReport, ConditionNumberOfExactlyAThousandIsWellConditioned) {
  // Orthogonal columns of norms 1000 and 1: singular values 1000 and 1.
  KelLinearRegression regression(KelMatrix(3, 2, 1000., 0., 0., 1., 0., 0.),
                                 KelVector(3, 1., 2., 3.));
  ASSERT_EQ(regression.ConditionNumber(), 1000.0);
  const std::string text = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  EXPECT_NE(text.find("\nCondition Number 1.000000e+03   The matrix F is well conditioned"),
            std::string::npos);
}

TEST(LeastSquaresReport, SingleParameterSkipsTolerancesAndHasUnitInflation) {
  KelLinearRegression regression(KelMatrix(4, 1, 1., 2., 3., 4.), KelVector(4, 2.1, 3.9, 6.2, 7.8));
  const std::string text = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  EXPECT_EQ(text.find("Tj Tolerance"), std::string::npos);
  EXPECT_NE(text.find("\n\nVariance inflation factor\n1    1.0000000e+00"), std::string::npos)
      << text;
  // Hand fit: b = sum(x y) / sum(x^2) = 59.7 / 30.
  EXPECT_NEAR(regression.Parameters()(1), 59.7 / 30.0, 1e-14);
}

TEST(LeastSquaresReport, PlottingPositionsOfThreeExperiments) {
  // Residuals of (1, 2, 4) on [1, x], x = 0, 1, 2: (1/6, -1/3, 1/6); sorted (-1/3, 1/6, 1/6)
  // against (1/6, 1/2, 5/6): correlation sqrt(3)/2.
  KelLinearRegression regression(KelMatrix(3, 2, 1., 0., 1., 1., 1., 2.), KelVector(3, 1., 2., 4.));
  EXPECT_NEAR(regression.NormalityIndex(), std::sqrt(3.0) / 2.0, 1e-12);
  const std::string text = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  EXPECT_NE(text.find("\nThe normality assumption is violated"), std::string::npos);
}

TEST(LeastSquaresReportDeathTest, ConstantColumnBesideTheInterceptIsFatal) {
  KelMatrix F(4, 3, 1., 2., 1., 1., 2., 2., 1., 2., 3., 1., 2., 5.);
  KelLinearRegression regression(F, KelVector(4, 1., 2., 3., 5.));
  EXPECT_KEL_FATAL(regression.LeastSquaresAnalysis(), "KelLinearRegression class\n\nssm == 0.");
}

}  // namespace
