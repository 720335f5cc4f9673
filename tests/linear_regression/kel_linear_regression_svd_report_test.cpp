// Singular value analysis: the report's sections against hand-worked decompositions, the
// candidate solutions against R's fits and a rank-2 problem solved by hand, the
// principal-components flag, the refit after the report, and the fatal all-zero response.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/kel_output.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression_test_data.h"

namespace {

const std::string kWarning = "  ** WARNING **";

std::string Format(const char* format, double value) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// The text from the first `from` up to (not including) the next `to` after it (or the end).
std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  const size_t start = text.find(from);
  if (start == std::string::npos) return "";
  const size_t end = to.empty() ? std::string::npos : text.find(to, start + from.size());
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// The number printed after the last occurrence of `label` before `limit`.
double NumberAfterLast(const std::string& text, const std::string& label) {
  const size_t at = text.rfind(label);
  if (at == std::string::npos) return std::nan("");
  return std::strtod(text.c_str() + at + label.size(), nullptr);
}

// F (4 x 2) with orthogonal columns of norms 2 and 6: d = (6, 2), V = the exchange matrix up
// to signs, U = the normalized columns. y = (2, 1, 4, 3): column 1 . y = 10, column 2 . y = 6.
KelMatrix OrthogonalF() {
  return KelMatrix(4, 2, 1., 3., 1., -3., 1., 3., 1., -3.);
}
KelVector OrthogonalY() {
  return KelVector(4, 2., 1., 4., 3.);
}

// 7 x 5 holding 1..35 row by row: X7(i, j) = 5 (i - 1) + j, rank 2.
KelMatrix MakeX7() {
  KelMatrix X(7, 5);
  for (int i = 1; i <= 7; ++i)
    for (int j = 1; j <= 5; ++j) X(i, j) = 5.0 * (i - 1) + j;
  return X;
}

KelVector MakeY7() {
  return KelVector(7, 15.02, 39.8, 65.03, 89.95, 115.03, 140.01, 164.95);
}

// ---------------------------------------------------------------------------------------------
// The orthogonal case, worked by hand.

TEST(SVDAnalysis, CandidatesOfTheOrthogonalCaseMatchTheHandWorkedValues) {
  KelLinearRegression regression(OrthogonalF(), OrthogonalY());
  // Candidate 1 keeps d = 6 (column 2): b = (0, 6/36). Candidate 2 is the full fit
  // b = (10/4, 6/36) with residuals (-1, -1, 1, 1), MSE = 4/2 = 2, the variance that scales
  // every candidate's covariance: Cov_1 = diag(0, 2/36), Cov_2 = diag(2/4, 2/36).
  const KelVector b1 = regression.CandidateParameters(1);
  EXPECT_NEAR(b1(1), 0.0, 1e-15);
  EXPECT_NEAR(b1(2), 1.0 / 6.0, 1e-15);
  const KelVector b2 = regression.CandidateParameters(2);
  EXPECT_NEAR(b2(1), 2.5, 1e-14);
  EXPECT_NEAR(b2(2), 1.0 / 6.0, 1e-15);
  const KelVector se1 = regression.CandidateStandardErrors(1);
  EXPECT_EQ(se1(1), 0.0);  // a parameter left out has variance 0, and no floor raises it
  EXPECT_NEAR(se1(2), std::sqrt(2.0 / 36.0), 1e-15);
  const KelVector se2 = regression.CandidateStandardErrors(2);
  EXPECT_NEAR(se2(1), std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(se2(2), std::sqrt(2.0 / 36.0), 1e-15);

  // The analysis is the same whether or not the report has run.
  const KelVector normsBefore = regression.SvdAnalysis().candidateParameterNorms;
  kel_test::CaptureOutput([&] { regression.SVDAnalysis(); });
  ASSERT_EQ(regression.SvdAnalysis().candidateParameterNorms.Size(), 2);
  EXPECT_EQ(normsBefore(1), regression.SvdAnalysis().candidateParameterNorms(1));
  EXPECT_EQ(normsBefore(2), regression.SvdAnalysis().candidateParameterNorms(2));
  EXPECT_NEAR(regression.SvdAnalysis().candidateParameterNorms(1), 1.0 / 6.0, 1e-15);
  EXPECT_NEAR(regression.SvdAnalysis().candidateParameterNorms(2), std::sqrt(6.25 + 1.0 / 36.0),
              1e-14);
  // Residuals of candidate 1: y - (0.5, -0.5, 0.5, -0.5) = (1.5, 1.5, 3.5, 3.5).
  EXPECT_NEAR(regression.SvdAnalysis().candidateResidualNorms(1), std::sqrt(29.0), 1e-14);
  EXPECT_NEAR(regression.SvdAnalysis().candidateResidualNorms(2), 2.0, 1e-14);
  EXPECT_FALSE(regression.PrincipalComponentsFlag());
  EXPECT_EQ(regression.SmallSingularValueCount(), 0);
}

TEST(SVDAnalysis, ReportSectionsOfTheOrthogonalCaseReadLineByLine) {
  KelLinearRegression regression(OrthogonalF(), OrthogonalY());
  const std::string text = kel_test::CaptureOutput([&] { regression.SVDAnalysis(); });

  const std::vector<std::string> opening = {
      "",
      "",
      "=====================================",
      "Singular Value Decomposition Analysis",
      "=====================================",
      "",
      "",
      "Singular Values D",
      "  1   6.0000000e+00",
      "  2   2.0000000e+00",
      "",
      "Columns of Matrix V = Principal Diameters of the Confidence Region",
      "",
      "Diameter N. 1 Semi-Diameter Length = 1.666667e-01",
  };
  const std::vector<std::string> lines = Lines(text);
  ASSERT_GE(lines.size(), opening.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + opening.size()), opening);
  EXPECT_NE(text.find("\n\nDiameter N. 2 Semi-Diameter Length = 5.000000e-01\n"),
            std::string::npos);
  EXPECT_NE(text.find("\n\nColumns of Matrix U\n\nColumns N. 1\n"), std::string::npos);
  EXPECT_NE(text.find("\n\nColumns N. 2\n"), std::string::npos);
  EXPECT_EQ(text.find(kWarning + "\nThis Model should be probably discarded"), std::string::npos);

  // Candidate 2: the full fit (t95 and t99 of 2 degrees of freedom: R's qt(0.975, 2) and
  // qt(0.995, 2)).
  const double t95 = 4.3026527297494637;
  const double t99 = 9.9248432009182928;
  const double b[3] = {0.0, 2.5, 1.0 / 6.0};
  const double se[3] = {0.0, std::sqrt(0.5), std::sqrt(2.0 / 36.0)};
  std::vector<std::string> expected = {
      "===============================",
      "Model with 2 Singular Value(s)",
      "===============================",
      "",
      "Parameters Norm2 " + Format("%16.7e", std::sqrt(6.25 + 1.0 / 36.0)),
      "",
      " Par.      Value       Standard Error     T-Value",
  };
  for (int k = 1; k <= 2; ++k)
    expected.push_back(Format("%3.0f ", k) + Format("%16.7e ", b[k]) + Format("%16.7e ", se[k]) +
                       Format("%16.7e", b[k] / se[k]));
  for (double t : {t95, t99}) {
    expected.push_back("");
    expected.push_back(t == t95 ? "Confidence Interval 95%" : "Confidence Interval 99%");
    expected.push_back(" Par.      Lower           Upper");
    for (int k = 1; k <= 2; ++k) {
      const double h = se[k] * t;
      expected.push_back(Format("%3.0f ", k) + Format("%16.7e ", b[k] - h) +
                         Format("%16.7e", b[k] + h) + (h > 2.5 * b[k] ? kWarning : ""));
    }
  }
  const std::string candidate2 =
      Between(text, "===============================\nModel with 2", "\n\nVariance-Covariance");
  EXPECT_EQ(Lines(candidate2), expected) << candidate2;
  // The hand-worked warnings: only parameter 1 at 95 % is narrow enough.
  EXPECT_EQ(Count(candidate2, kWarning), 3);

  const std::string fit2 = Between(text.substr(text.find("Model with 2")), "Total Sum of Squares",
                                   "\n\n\n=============================");
  const std::vector<std::string> expectedFit = {
      "Total Sum of Squares              =    3.0000000e+01",
      "Residuals Norm2                   =    2.0000000e+00",
      "Sum of Squares                    =    4.0000000e+00",
      "Standard Deviation                = " + Format("%16.7e", std::sqrt(2.0)),
      "Mean Square Error                 =    2.0000000e+00",
      "Coefficient of Determination (R2) = " + Format("%16.7e", 1.0 - 4.0 / 30.0),
      "",
      "        Observed y     Estimated y     Residuals r    Residuals",
      "                                                      Normalized",
      "  1   2.0000000e+00   3.0000000e+00  -1.0000000e+00    -0.71",
      "  2   1.0000000e+00   2.0000000e+00  -1.0000000e+00    -0.71",
      "  3   4.0000000e+00   3.0000000e+00   1.0000000e+00     0.71",
      "  4   3.0000000e+00   2.0000000e+00   1.0000000e+00     0.71",
  };
  EXPECT_EQ(Lines(fit2), expectedFit) << fit2;

  // Candidate 1's goodness of fit: SS = 29 against the uncorrected total 30.
  const std::string candidate1 = Between(text, "Model with 1", "Model with 2");
  EXPECT_NE(candidate1.find("\nSum of Squares                    =    2.9000000e+01"),
            std::string::npos);
  EXPECT_NE(
      candidate1.find("\nCoefficient of Determination (R2) = " + Format("%16.7e", 1.0 / 30.0)),
      std::string::npos);
  EXPECT_NE(candidate1.find("\n  3   4.0000000e+00   5.0000000e-01   3.5000000e+00     " +
                            Format("%4.2f", 3.5 / std::sqrt(29.0 / 2.0))),
            std::string::npos)
      << candidate1;

  const std::string components =
      Between(text, "\n\n\n=============================\nPrincipal", "");
  EXPECT_EQ(components.find("\n\n\n=============================\nPrincipal Components Analysis"
                            "\n=============================\n\nComponent No. 1 dValue "
                            "   6.0000000e+00\nRelative Importance 1.000000e+00\n"),
            0u)
      << components;
  EXPECT_NE(components.find("\n\nComponent No. 2 dValue    2.0000000e+00\nRelative Importance "
                            "3.333333e-01\n"),
            std::string::npos);
  EXPECT_EQ(Count(components, " f[1]"), 2);
  EXPECT_EQ(Count(components, " f[2]"), 2);
  EXPECT_EQ(components.find("multicollinearities"), std::string::npos);
}

TEST(SVDAnalysis, PrincipalComponentsAreTheRightVectorsOverTheSingularValues) {
  KelLinearRegression regression(OrthogonalF(), OrthogonalY());
  KelMatrix W;
  regression.GetWeightedRightVectors(W);
  ASSERT_EQ(W.Rows(), 2);
  // Component 1 (d = 6) is column 2's direction, component 2 (d = 2) column 1's.
  EXPECT_NEAR(W(1, 1), 0.0, 1e-15);
  EXPECT_NEAR(std::fabs(W(1, 2)), 1.0 / 6.0, 1e-15);
  EXPECT_NEAR(std::fabs(W(2, 1)), 0.5, 1e-15);
  EXPECT_NEAR(W(2, 2), 0.0, 1e-15);
  // The printed rows are W's rows.
  const std::string text = kel_test::CaptureOutput([&] { regression.SVDAnalysis(); });
  EXPECT_NE(text.find(Format("\n%16.7e f[2]", W(1, 2))), std::string::npos);
  EXPECT_NE(text.find(Format("\n%16.7e f[1]", W(2, 1))), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// The principal-components flag.

// Orthogonal columns of norms 2 and 2 r: d = (2 r, 2); a smallest kept singular value below a
// thousandth of the largest sets the flag when r > 1000.
KelMatrix RatioF(double r) {
  return KelMatrix(4, 2, 1., r, 1., -r, 1., r, 1., -r);
}

TEST(SVDAnalysis, FlagIsSetWhenTheSmallestSingularValueFallsBelowAThousandth) {
  KelLinearRegression wide(RatioF(1001.0), OrthogonalY());
  std::string text = kel_test::CaptureOutput([&] { wide.SVDAnalysis(); });
  EXPECT_TRUE(wide.PrincipalComponentsFlag());
  EXPECT_EQ(wide.NegligibleSingularValueCount(), 0);
  EXPECT_NE(text.find("\n\n " + kWarning +
                      "\nThe principal component analysis identifies serious multicollinearities"),
            std::string::npos);

  KelLinearRegression narrow(RatioF(999.0), OrthogonalY());
  text = kel_test::CaptureOutput([&] { narrow.SVDAnalysis(); });
  EXPECT_FALSE(narrow.PrincipalComponentsFlag());
  EXPECT_EQ(text.find("principal component analysis identifies"), std::string::npos);
}

TEST(SVDAnalysis, NewDataClearTheFlag) {
  KelLinearRegression regression(MakeX7(), MakeY7());
  kel_test::CaptureOutput([&] { regression.SVDAnalysis(); });
  EXPECT_TRUE(regression.PrincipalComponentsFlag());
  regression.Initialize(OrthogonalF(), OrthogonalY());
  EXPECT_FALSE(regression.PrincipalComponentsFlag());
  kel_test::CaptureOutput([&] { regression.SVDAnalysis(); });
  EXPECT_FALSE(regression.PrincipalComponentsFlag());
}

// ---------------------------------------------------------------------------------------------
// Rank deficiency.

// X7 = a 1^T + 1 c^T with a_i = 5 (i - 1), c = (1..5): X7 b = s a + t 1 with s = 1^T b and
// t = c^T b. The two-singular-value candidate is the minimum-norm least-squares solution: (s, t)
// from the simple regression of y on a, then b = alpha 1 + beta c in the row space.
TEST(SVDAnalysis, RankTwoCandidateIsTheMinimumNormSolutionAndLaterOnesAreDiscarded) {
  KelLinearRegression regression(MakeX7(), MakeY7());
  regression.SetResponseVariance(1e-05, 4);
  const KelVector y = MakeY7();
  double meanA = 0.0;
  double meanY = 0.0;
  for (int i = 1; i <= 7; ++i) {
    meanA += 5.0 * (i - 1) / 7.0;
    meanY += y(i) / 7.0;
  }
  double saa = 0.0;
  double say = 0.0;
  for (int i = 1; i <= 7; ++i) {
    saa += (5.0 * (i - 1) - meanA) * (5.0 * (i - 1) - meanA);
    say += (5.0 * (i - 1) - meanA) * (y(i) - meanY);
  }
  const double s = say / saa;
  const double t = meanY - s * meanA;
  // [5 15; 15 55] (alpha, beta) = (s, t).
  const double beta = (5.0 * t - 15.0 * s) / (5.0 * 55.0 - 15.0 * 15.0);
  const double alpha = (s - 15.0 * beta) / 5.0;
  const KelVector b2 = regression.CandidateParameters(2);
  for (int j = 1; j <= 5; ++j) EXPECT_NEAR(b2(j), alpha + beta * j, 1e-11) << j;
  double rss = 0.0;
  for (int i = 1; i <= 7; ++i) {
    const double r = y(i) - (s * 5.0 * (i - 1) + t);
    rss += r * r;
  }

  EXPECT_EQ(regression.SmallSingularValueCount(), 3);
  EXPECT_EQ(regression.NegligibleSingularValueCount(), 3);
  const std::string text = kel_test::CaptureOutput([&] { regression.SVDAnalysis(); });
  EXPECT_NEAR(regression.SvdAnalysis().candidateResidualNorms(2), std::sqrt(rss), 1e-10);
  const std::string discarded = "\n\n" + kWarning + "\nThis Model should be probably discarded";
  for (int i = 1; i <= 5; ++i) {
    const std::string block =
        Between(text, "\nModel with " + std::to_string(i) + " Singular", "Model with");
    EXPECT_EQ(block.find(discarded) != std::string::npos, i >= 3) << i;
  }
  // Singular values 3..5 and their diameters carry the warning.
  const std::string values = Between(text, "Singular Values D", "Columns of Matrix V");
  EXPECT_EQ(Count(values, kWarning), 3);
  const std::string diameters = Between(text, "Columns of Matrix V", "Columns of Matrix U");
  EXPECT_EQ(Count(diameters, kWarning), 3);
  // Two principal components, and the flag with its verdict.
  EXPECT_EQ(Count(text, "Component No."), 2);
  EXPECT_TRUE(regression.PrincipalComponentsFlag());
  EXPECT_NE(text.find("The principal component analysis identifies serious multicollinearities"),
            std::string::npos);
}

// A zero column makes one singular value exactly 0: its diameter prints the largest
// single-precision number, the covariance leaves it out, and the candidate with all singular
// values is still the least-squares solution (the zero one is not used as the solve's threshold).
TEST(SVDAnalysis, ExactlyZeroSingularValueIsLeftOut) {
  const KelMatrix F(5, 3, 1., 1., 0., 1., 2., 0., 1., 4., 0., 1., 5., 0., 1., 7., 0.);
  const KelVector y(5, 1., 2., 3., 5., 4.);
  KelLinearRegression regression(F, y);
  ASSERT_EQ(regression.SingularValues()(3), 0.0);
  // Simple regression of y on x = (1, 2, 4, 5, 7): mean x 3.8, mean y 3, Sxx = 22.8, Sxy = 13.
  const double slope = 13.0 / 22.8;
  const KelVector b3 = regression.CandidateParameters(3);
  EXPECT_NEAR(b3(1), 3.0 - 3.8 * slope, 1e-13);
  EXPECT_NEAR(b3(2), slope, 1e-13);
  EXPECT_EQ(b3(3), 0.0);
  EXPECT_EQ(regression.CandidateStandardErrors(3)(3), 0.0);  // left out: no floor raises it

  const std::string text = kel_test::CaptureOutput([&] { regression.SVDAnalysis(); });
  EXPECT_NE(text.find("\n\nDiameter N. 3 Semi-Diameter Length = 3.402823e+38" + kWarning + "\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(Count(text, "Component No."), 2);
  EXPECT_TRUE(regression.PrincipalComponentsFlag());
}

// ---------------------------------------------------------------------------------------------
// The candidates with every singular value against R's fits of the demonstration data sets.

struct ReferenceCase {
  const char* name;
  const char* file;
  KelMatrix (*makeF)();
  KelVector (*makeY)();
  double variance;
  int varianceDof;
};
// Names the case in test listings instead of a byte dump of the struct.
void PrintTo(const ReferenceCase& value, std::ostream* os) {
  *os << value.name;
}

class SVDAnalysisAgainstR : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(SVDAnalysisAgainstR, FullCandidateIsTheLeastSquaresFit) {
  const ReferenceCase& c = GetParam();
  const lr_test::Reference reference(c.file);
  KelLinearRegression regression(c.makeF(), c.makeY());
  if (c.variance != 0.0) regression.SetResponseVariance(c.variance, c.varianceDof);
  const int n = regression.NumberOfParameters();
  const KelVector b = regression.CandidateParameters(n);
  const KelVector se = regression.CandidateStandardErrors(n);
  const std::string seKey = c.variance != 0.0 ? "se_sigma2" : "se_mse";
  for (int j = 1; j <= n; ++j) {
    EXPECT_TRUE(lr_test::RelativelyNear(b(j), reference("coefficient", j), 1e-8)) << j;
    EXPECT_TRUE(lr_test::RelativelyNear(se(j), reference(seKey, j), 1e-8)) << j;
    EXPECT_TRUE(lr_test::RelativelyNear(regression.SingularValues()(j),
                                        reference("singular_value", j), 1e-12))
        << j;
  }
  const std::string text = kel_test::CaptureOutput([&] { regression.SVDAnalysis(); });
  EXPECT_TRUE(lr_test::RelativelyNear(regression.SvdAnalysis().candidateResidualNorms(n),
                                      reference("residual_norm"), 1e-8));
  EXPECT_TRUE(lr_test::RelativelyNear(regression.SvdAnalysis().candidateParameterNorms(n),
                                      reference("b_norm"), 1e-8));
  // Every candidate's R^2 is the uncentred one; the report prints 8 digits.
  EXPECT_TRUE(lr_test::RelativelyNear(NumberAfterLast(text, "Coefficient of Determination (R2) = "),
                                      reference("R2_uncentred"), 1e-7));
  // The residual norms never grow as singular values are added.
  for (int i = 2; i <= n; ++i)
    EXPECT_LE(regression.SvdAnalysis().candidateResidualNorms(i),
              regression.SvdAnalysis().candidateResidualNorms(i - 1) * (1.0 + 1e-12));
}

INSTANTIATE_TEST_SUITE_P(
    DemonstrationDataSets, SVDAnalysisAgainstR,
    ::testing::Values(
        ReferenceCase{"X6", "r/lm_X6.txt", lr_test::MakeX6, lr_test::MakeY6, 0.025, 5},
        ReferenceCase{"x12", "r/lm_x12.txt", lr_test::MakeX12, lr_test::MakeY12, 0.04, 5},
        ReferenceCase{"Xc", "r/lm_Xc.txt", lr_test::MakeXc, lr_test::MakeYc, 0.0, 0},
        ReferenceCase{"X20_147", "r/lm_X20_147.txt", lr_test::MakeX20Columns147, lr_test::MakeY20,
                      0.013, 4}),
    [](const ::testing::TestParamInfo<ReferenceCase>& info) {
      return std::string(info.param.name);
    });

// ---------------------------------------------------------------------------------------------
// The fit after the report.

TEST(SVDAnalysis, LeastSquaresQueriesRefitAfterTheReport) {
  const lr_test::Reference reference("r/lm_X6.txt");
  KelLinearRegression regression(lr_test::MakeX6(), lr_test::MakeY6());
  regression.SetResponseVariance(0.025, 5);
  kel_test::CaptureOutput([&] { regression.SVDAnalysis(); });
  // The last candidate's R^2 is uncentred; the fit's is centred again.
  EXPECT_TRUE(lr_test::RelativelyNear(regression.GetR2(), reference("R2"), 1e-10));
  EXPECT_TRUE(lr_test::RelativelyNear(regression.ParameterStandardErrors()(2),
                                      reference("se_sigma2", 2), 1e-8));
}

TEST(SVDAnalysis, LeastSquaresReportIsTheSameAfterTheSingularValueReport) {
  KelLinearRegression alone(lr_test::MakeX12(), lr_test::MakeY12());
  alone.SetResponseVariance(0.04, 5);
  const std::string expected = kel_test::CaptureOutput([&] { alone.LeastSquaresAnalysis(); });
  KelLinearRegression after(lr_test::MakeX12(), lr_test::MakeY12());
  after.SetResponseVariance(0.04, 5);
  kel_test::CaptureOutput([&] { after.SVDAnalysis(); });
  std::string actual = kel_test::CaptureOutput([&] { after.LeastSquaresAnalysis(); });
  // The symmetric matrices print their own serial numbers; compare everything else.
  auto withoutNumbers = [](const std::string& text) {
    std::string out;
    for (const std::string& line : Lines(text))
      if (line.rfind("KelMatrixSymm No.", 0) != 0) out += line + "\n";
    return out;
  };
  EXPECT_EQ(withoutNumbers(actual), withoutNumbers(expected));
}

TEST(SVDAnalysis, AllZeroResponsesAreFatal) {
  // No intercept (column 1 is not all ones), so the fit itself accepts y = 0.
  const KelMatrix F(4, 2, 1., 1., 2., 0., 3., 1., 4., 0.);
  EXPECT_KEL_FATAL(
      {
        KelLinearRegression regression(F, KelVector(4));
        regression.SVDAnalysis();
      },
      "KelLinearRegression class\n\nsst == 0.");
}

TEST(SVDAnalysis, CandidateIndexOutsideTheParametersIsFatal) {
  EXPECT_KEL_FATAL(
      {
        KelLinearRegression regression(OrthogonalF(), OrthogonalY());
        regression.CandidateParameters(3);
      },
      "KelLinearRegression class\n\nIndex out of range\n\nFunction: CandidateParameters\nindex 3, "
      "valid 1..2");
  EXPECT_KEL_FATAL(
      {
        KelLinearRegression regression(OrthogonalF(), OrthogonalY());
        regression.CandidateStandardErrors(0);
      },
      "KelLinearRegression class\n\nIndex out of range\n\nFunction: CandidateStandardErrors\nindex "
      "0, valid 1..2");
}

}  // namespace
