// Experiment search and model discrimination of KelNonLinearRegression: the candidate grid,
// distances, criteria, the comparison tables' probabilities in closed form, Tij, the fatal
// texts, and the demonstration problem of experiment_selection.
#include <cmath>
#include <string>

#include "kel_rival_models.h"
#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

const std::string classText = "KelNonLinearRegression class\n";

// Model 1: y = b1 + b2 x1 + ... (one response, any number of x). Model 2: y = b1 x1.
// Model 3: two responses y1 = b1 x1, y2 = b2 x1^2.
void SearchModel(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  if (model == 1) {
    double v = b(1);
    for (int k = 1; k <= x.Size(); ++k) v += b(2) * x(k);
    y(1) = v;
  } else if (model == 2) {
    y(1) = b(1) * x(1);
  } else if (model == 3) {
    y(1) = b(1) * x(1);
    y(2) = b(2) * x(1) * x(1);
  }
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class NonLinearSearch : public kel_test::QuietWarnings {};

// Experiments on the diagonal x1 = ... = xn = 0.1 i, y = 1 + 0.3 i with a small wiggle.
void GridOf(int numX, int expectedPerAxis) {
  const int n = 6;
  KelMatrix X(n, numX), Y(n, 1);
  for (int i = 1; i <= n; ++i) {
    for (int k = 1; k <= numX; ++k) X(i, k) = 0.1 * i;
    Y(i, 1) = 1.0 + 0.3 * i + ((i % 2) ? 0.01 : -0.01);
  }
  KelNonLinearRegression r(1, X, Y, SearchModel);
  r.SetInitialParameters(1, KelVector(2, 1., 1.));
  KelVector lower(numX), upper(numX);
  for (int k = 1; k <= numX; ++k) {
    lower(k) = 0.0;
    upper(k) = 1.0;
  }
  CaptureOutput([&] { r.LeastSquaresAnalysisAndExperimentsSearch(lower, upper); });
  int total = 1;
  for (int k = 1; k <= numX; ++k) total *= expectedPerAxis;
  EXPECT_EQ(r.CandidatesPerAxis(), expectedPerAxis) << "numX " << numX;
  const KelMatrix& c = r.CandidateExperiments();
  ASSERT_EQ(c.Rows(), total);
  // Odometer with the first coordinate fastest.
  const double step = 1.0 / (expectedPerAxis - 1);
  EXPECT_DOUBLE_EQ(c(2, 1), step);
  if (numX > 1) {
    EXPECT_DOUBLE_EQ(c(2, 2), 0.0);
    EXPECT_DOUBLE_EQ(c(expectedPerAxis + 1, 1), 0.0);
    EXPECT_DOUBLE_EQ(c(expectedPerAxis + 1, 2), step);
  }
  for (int k = 1; k <= numX; ++k) EXPECT_DOUBLE_EQ(c(total, k), 1.0);
}

TEST_F(NonLinearSearch, GridSizesTruncateThePointsPerAxis) {
  GridOf(1, 100);
  GridOf(2, 10);
  GridOf(4, 5);  // 1000^(1/4) = 5.62
  GridOf(5, 3);  // 1000^(1/5) = 3.98
}

TEST_F(NonLinearSearch, CandidateOnAnExistingExperimentHasXDistanceZero) {
  const KelMatrix X(4, 1, 0., 0.3, 0.6, 0.8);
  const KelMatrix Y(4, 1, 1.0, 1.31, 1.59, 1.81);
  KelNonLinearRegression r(1, X, Y, SearchModel);
  r.SetInitialParameters(1, KelVector(2, 1., 1.));
  CaptureOutput(
      [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 0.99)); });
  // Candidate 1 is x = 0, an existing experiment; the farthest candidate is x = 0.99, 0.19 from
  // 0.8, so the relative distance of candidate 2 (x = 0.01) is 0.01 / 0.19.
  EXPECT_EQ(r.XDistances()(1), 0.0);
  EXPECT_NEAR(r.XDistances()(2), 0.01 / 0.19, 1e-12);
  EXPECT_EQ(r.SuggestedCandidate(1, KelNonLinearRegression::kSuggestionXDistance), 100);
}

// Straight line, existing x = 0.3, 0.4, 0.5: the determinant of the augmented information
// matrix and f^T (F^T F)^-1 f both grow with the distance from the mean 0.4, so x = 1 wins.
TEST_F(NonLinearSearch, DeterminantAndPredictionVarianceCriteriaPickTheFarthestCandidate) {
  for (int criterion : {1, 3, 5}) {
    const KelMatrix X(3, 1, 0.3, 0.4, 0.5);
    const KelMatrix Y(3, 1, 1.31, 1.39, 1.51);
    KelNonLinearRegression r(1, X, Y, SearchModel);
    r.SetExperimentCriterion(criterion);
    r.SetInitialParameters(1, KelVector(2, 1., 1.));
    const std::string out = CaptureOutput(
        [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 1.)); });
    EXPECT_EQ(r.EffectiveCriterion(1), criterion);
    EXPECT_EQ(r.SuggestedCandidate(1, KelNonLinearRegression::kSuggestionCriterion), 100);
    if (criterion == 1) {
      EXPECT_TRUE(Contains(out, "\nMax determinant Criterion\nx values: 1.000000e+00"));
    }
    if (criterion == 3) {
      EXPECT_TRUE(Contains(out, "\nMax fT(FTF)-1f Criterion\nx values: 1.000000e+00"));
    }
  }
}

TEST_F(NonLinearSearch, CriterionThreeWithSeveralResponsesFallsBackAndStaysReset) {
  const KelMatrix X(4, 1, 1., 2., 3., 4.);
  const KelMatrix Y(4, 2, 2.1, 2.9, 3.9, 12.2, 6.2, 26.8, 7.9, 48.3);
  KelNonLinearRegression r(3, X, Y, SearchModel);
  r.SetExperimentCriterion(3);
  r.SetInitialParameters(3, KelVector(2, 1., 1.));
  CaptureOutput(
      [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 5.)); });
  EXPECT_EQ(r.RequestedCriterion(), 0);
  EXPECT_TRUE(r.EffectiveCriterion(3) == 10 || r.EffectiveCriterion(3) == 11);
}

// Two rival models of one response, unit weights: the chi-square tail with 2 degrees of
// freedom is exp(-x / 2), and Tij = (difference of the predictions)^2 / s^2 with
// s^2 = 2 (SSE_1 + SSE_2) / (df_1 + df_2).
TEST_F(NonLinearSearch, UnitWeightComparisonAndTijInClosedForm) {
  const KelMatrix X(4, 1, 1., 2., 3., 4.);
  const KelMatrix Y(4, 1, 1.2, 1.9, 3.2, 3.8);
  KelNonLinearRegression r(2, X, Y, SearchModel);
  r.SetInitialParameters(1, KelVector(2, 0., 1.));
  r.SetInitialParameters(2, KelVector(1, 1.));
  const std::string out = CaptureOutput(
      [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 8.)); });
  const double sse1 = r.FinalSSE(1), sse2 = r.FinalSSE(2);
  EXPECT_NEAR(r.ComparisonProbability(1), std::exp(-sse1 / 2), 1e-9);
  EXPECT_EQ(r.DegreesOfFreedom(2), 3);
  // Chi-square with 3 degrees of freedom: erfc(sqrt(x/2)) + sqrt(2x/pi) exp(-x/2).
  const double x = sse2;
  EXPECT_NEAR(r.ComparisonProbability(2),
              std::erfc(std::sqrt(x / 2)) + std::sqrt(2 * x / M_PI) * std::exp(-x / 2), 1e-9);
  const double best = std::min(sse1, sse2);
  EXPECT_DOUBLE_EQ(r.ComparisonRatio(1), sse1 / best);
  EXPECT_TRUE(Contains(out,
                       "\n\n      WeightedSE   WeightedSE/Best  ChiSquare-test  PseudoP-Value"
                       "\n  1 "));
  const KelVector b1 = r.GetParameters(1), b2 = r.GetParameters(2);
  const double s2 = 2.0 * (sse1 + sse2) / (2 + 3);
  double largest = 0.0;
  int where = 0;
  for (int c = 1; c <= 100; ++c) {
    const double xc = 8.0 * (c - 1) / 99.0;
    const double d = (b1(1) + b1(2) * xc) - b2(1) * xc;
    const double tij = d * d / s2;
    EXPECT_NEAR(r.Discrimination().tijSum(c), tij, 1e-9 * (1 + tij));
    if (where == 0 || tij > largest) {
      largest = tij;
      where = c;
    }
  }
  EXPECT_NEAR(r.BestTij(1, 2), largest, 1e-9 * largest);
  EXPECT_EQ(r.BestTijCandidate(1, 2), where);
  EXPECT_EQ(r.Discrimination().numberOfCouples, 1);
  EXPECT_TRUE(Contains(out, "\n\nBest Experiment for each Couple of Models\n 1 2 Tij "));
  EXPECT_GT(r.Balanced().candidate, 0);
}

// One response with an assigned variance and df 2 everywhere: P(F(2, 2) > f) = 1 / (1 + f).
TEST_F(NonLinearSearch, VarianceComparisonOfOneResponseInClosedForm) {
  const KelMatrix X(4, 1, 1., 2., 3., 4.);
  const KelMatrix Y(4, 1, 1.2, 1.9, 3.2, 3.8);
  KelNonLinearRegression r(2, X, Y, SearchModel);
  r.SetVariances(2, KelVector(1, 0.04));
  r.SetInitialParameters(1, KelVector(2, 0., 1.));
  r.SetInitialParameters(2, KelVector(2, 1., 1.));
  const std::string out = CaptureOutput(
      [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 8.)); });
  const double mse = r.MeanSquareError(1);
  EXPECT_DOUBLE_EQ(r.ComparisonValue(1), mse);
  EXPECT_NEAR(r.ComparisonProbability(1), 1.0 / (1.0 + mse / 0.04), 1e-9);
  EXPECT_NEAR(r.ComparisonPseudoProbability(1), 2.0 / (1.0 + r.ComparisonRatio(1)), 1e-9);
  EXPECT_TRUE(Contains(out,
                       "\nSigma2 4.000000e-02 d.o.f. 2\n\n         MSE         MSE/Best     "
                       "  Fexp         P-Value      PseudoP-Value\n  1 "));
  EXPECT_TRUE(Contains(out, "\n\nP-Values with Sigma2 4.000000e-02 d.o.f. 3\n  1 "));
}

void SearchWithGivenWeights() {
  const KelMatrix X(3, 1, 1., 2., 3.);
  KelNonLinearRegression r(1, X, KelMatrix(3, 1, 1., 2., 3.), SearchModel);
  r.SetWeights(KelMatrix(3, 1, 1., 2., 1.));
  r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 1.));
}
void SearchWithWrongBox() {
  const KelMatrix X(3, 1, 1., 2., 3.);
  KelNonLinearRegression r(1, X, KelMatrix(3, 1, 1., 2., 3.), SearchModel);
  r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(2, 0., 0.), KelVector(1, 1.));
}

TEST_F(NonLinearSearch, FatalTextsOfTheSearch) {
  EXPECT_KEL_FATAL(SearchWithGivenWeights(), classText +
                                                 "\nYou MUST use the weight version of\n"
                                                 "LeastSquaresAnalysisAndExperimentsSearch");
  EXPECT_KEL_FATAL(
      SearchWithWrongBox(),
      classText +
          "\nDimension check failure\nLeastSquaresAnalysisAndExperimentsSearch\nsizes 2 and 1");
}

// The demonstration problem of experiment_selection.
TEST_F(NonLinearSearch, ExperimentSelectionProblem) {
  const kel_test::RivalModelsData data = kel_test::MakeRivalModelsData(0);
  KelNonLinearRegression r(4, data.X, data.Y, kel_test::RivalModels);
  kel_test::SetRivalModelsProgramStart(r);
  const std::string out = CaptureOutput([&] {
    r.RobustAnalysis();
    r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(2, 0.01, 0.01), KelVector(2, 2., 2.));
  });
  // Model 4 generated the data.
  for (int m = 1; m <= 3; ++m) EXPECT_LT(r.FinalSSE(4), r.FinalSSE(m)) << "model " << m;
  const KelVector b4 = r.GetParameters(4);
  EXPECT_NEAR(b4(3), 15.0, 3.0);
  // Model 2: no response depends on b2.
  const KelMatrix& J = r.Jacobian(2);
  for (int i = 1; i <= J.Rows(); ++i) EXPECT_EQ(J(i, 2), 0.0);
  EXPECT_EQ(r.SingularValues(2)(4), 0.0);
  EXPECT_EQ(r.ConditionNumber(2), 1.7976931348623153e308);
  const size_t section = out.find("Least Squares Regression Analysis for model 2");
  ASSERT_NE(section, std::string::npos);
  EXPECT_EQ(out.find("\n\nCondition Number 1.797693e+308  ** WARNING **   The Jacobian matrix "
                     "is ill conditioned",
                     section),
            out.find("\n\nCondition Number", section));
  // Both suggestions lie in the box.
  for (int c : {r.Discrimination().candidate, r.Balanced().candidate}) {
    ASSERT_GT(c, 0);
    for (int k = 1; k <= 2; ++k) {
      EXPECT_GE(r.CandidateExperiments()(c, k), 0.01);
      EXPECT_LE(r.CandidateExperiments()(c, k), 2.0);
    }
  }
  EXPECT_TRUE(Contains(out, "\nThe best experiment for model discrimination is:\nx values:"));
  EXPECT_TRUE(Contains(out,
                       "\nSuggested experiment for balanced function (models discrimination "
                       "<-> parameters estimation):\nx values: "));
  EXPECT_EQ(r.Discrimination().numberOfCouples, 6);
}

}  // namespace
