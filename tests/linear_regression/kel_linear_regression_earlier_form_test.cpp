// The earlier form of the regression ("Version 6.0.20080930") that the regression-from-file
// programs carry: its four observable differences, and nothing else different.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "foundation/kel_output.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression_test_data.h"

namespace {

// Column 3 is twice column 2: a rank-deficient F on which the balanced and the plain solutions
// disagree and the leave-one-out factorizations meet singular columns.
void MakeDuplicateDirection(KelMatrix* F, KelVector* y) {
  const int m = 8;
  *F = KelMatrix(m, 3);
  *y = KelVector(m);
  for (int i = 1; i <= m; ++i) {
    (*F)(i, 1) = 1.0;
    (*F)(i, 2) = i;
    (*F)(i, 3) = 2.0 * i;
    (*y)(i) = 1.0 + 0.5 * i + 0.1 * std::sin(7.0 * i);
  }
}

const char* const standardizedText = "\nParameters have to be evaluated with standardized matrix";

TEST(EarlierForm, OffByDefaultAndNamedByItsVersion) {
  KelLinearRegression regression;
  EXPECT_FALSE(regression.EarlierForm());
  regression.SetEarlierForm(true);
  EXPECT_TRUE(regression.EarlierForm());
  EXPECT_STREQ(KelLinearRegression::kEarlierFormVersion, "Version 6.0.20080930");
}

// 1 and 2: the fit lets the factorizations' notes through and prints the system conditioning
// first; the current form prints nothing while fitting.
TEST(EarlierForm, FitPrintsTheSystemConditioningAndTheFactorizationNotes) {
  KelMatrix F;
  KelVector y;
  MakeDuplicateDirection(&F, &y);
  // Column 3 leaves twice column 2 at experiment 8 alone: without it, column 3 is dependent,
  // which the leave-one-out test finds by refitting that experiment.
  F(8, 3) += 1.0;
  KelLinearRegression current(F, y);
  EXPECT_EQ(kel_test::CaptureOutput([&] { current.GetR2(); }), "");

  KelLinearRegression earlier(F, y);
  earlier.SetEarlierForm(true);
  const std::string text = kel_test::CaptureOutput([&] { earlier.GetR2(); });
  char line[64];
  std::snprintf(line, sizeof line, "\nsystemConditioning %e", earlier.SystemConditioning());
  EXPECT_EQ(text.substr(0, std::string(line).size()), line);
  EXPECT_GT(text.size(), std::string(line).size());  // notes of the factorizations follow
  // The messages switch is left as it was.
  EXPECT_EQ(kelPrintMessages, 'Y');
}

// 3: b is the plain SVD solution with all singular values (the last candidate of the singular
// value analysis), bit for bit, and the two solutions are not compared.
TEST(EarlierForm, KeepsThePlainSolution) {
  KelMatrix F;
  KelVector y;
  MakeDuplicateDirection(&F, &y);
  KelLinearRegression current(F, y);
  EXPECT_TRUE(current.SolutionsDisagree());

  KelLinearRegression earlier(F, y);
  earlier.SetEarlierForm(true);
  kel_test::CaptureOutput([&] {
    const KelVector plain = earlier.CandidateParameters(3);
    KelVector b;
    earlier.GetParameters(b);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(b(i), plain(i)) << i;
    EXPECT_FALSE(earlier.SolutionsDisagree());
  });
}

// 4: the least-squares title and the missing request for a standardized matrix.
TEST(EarlierForm, LeastSquaresReportTitleAndNoStandardizedMatrixRequest) {
  KelMatrix F;
  KelVector y;
  MakeDuplicateDirection(&F, &y);
  KelLinearRegression current(F, y);
  const std::string now = kel_test::CaptureOutput([&] { current.LeastSquaresAnalysis(); });
  EXPECT_NE(now.find("\nLeast Squares Regression Analysis"), std::string::npos);
  EXPECT_NE(now.find(standardizedText), std::string::npos);

  KelLinearRegression earlier(F, y);
  earlier.SetEarlierForm(true);
  const std::string then = kel_test::CaptureOutput([&] { earlier.LeastSquaresAnalysis(); });
  EXPECT_NE(then.find("\n\n================================\nLeast Square Regression Analysis\n"
                      "================================\n"),
            std::string::npos);
  EXPECT_EQ(then.find("Least Squares"), std::string::npos);
  EXPECT_EQ(then.find(standardizedText), std::string::npos);
}

// 4: the robust report has no list of outliers by importance; the other lists stay.
TEST(EarlierForm, RobustReportWithoutTheListByImportance) {
  KelLinearRegression earlier(lr_test::MakeXc(), lr_test::MakeYc());
  earlier.SetEarlierForm(true);
  const std::string text = kel_test::CaptureOutput([&] { earlier.RobustAnalysis(); });
  EXPECT_EQ(text.find("Outliers sorted by importance"), std::string::npos);
  EXPECT_NE(text.find("\n\nThese are highly probable Outliers: 5 7 9"), std::string::npos);

  KelLinearRegression current(lr_test::MakeXc(), lr_test::MakeYc());
  const std::string now = kel_test::CaptureOutput([&] { current.RobustAnalysis(); });
  EXPECT_NE(now.find("\n\nOutliers sorted by importance:\n"), std::string::npos);
}

// On a well-conditioned problem both forms print the same reports, apart from the printed
// system conditioning, the title and the list by importance.
TEST(EarlierForm, NothingElseDiffers) {
  KelLinearRegression current(lr_test::MakeX12(), lr_test::MakeY12());
  KelLinearRegression earlier(lr_test::MakeX12(), lr_test::MakeY12());
  earlier.SetEarlierForm(true);
  std::string now = kel_test::CaptureOutput([&] {
    current.LeastSquaresAnalysis();
    current.RobustAnalysis();
  });
  std::string then = kel_test::CaptureOutput([&] {
    earlier.LeastSquaresAnalysis();
    earlier.RobustAnalysis();
  });
  char line[64];
  std::snprintf(line, sizeof line, "\nsystemConditioning %e", earlier.SystemConditioning());
  ASSERT_EQ(then.substr(0, std::string(line).size()), line);
  then.erase(0, std::string(line).size());
  const size_t title = then.find("Least Square Regression");
  ASSERT_NE(title, std::string::npos);
  then.replace(title, std::string("Least Square Regression").size(), "Least Squares Regression");
  // The balanced and plain solutions of this problem agree to rounding: compare the reports
  // number by number at 8 significant digits, the precision they print.
  EXPECT_EQ(now.size(), then.size());
  EXPECT_EQ(now.find("Outliers sorted by importance"), std::string::npos);
  size_t differing = 0;
  for (size_t i = 0; i < std::min(now.size(), then.size()); ++i)
    if (now[i] != then[i]) ++differing;
  EXPECT_LE(differing, 40u) << "reports differ in more than the last printed digits";
}

}  // namespace
