#include <cmath>
#include <string>

#include "factorization_test_helpers.h"
#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

// Exposes the factors so that the tests can rebuild P A = L U.
class GaussProbe : public KelFactorizedGauss {
 public:
  using KelFactorizedGauss::KelFactorizedGauss;
  using KelFactorizedGauss::operator=;
  void Factorize() { PrepSolve(); }
  double Factor(int i, int j) { return FactorRows()[i][j]; }
  int Pivot(int k) const { return pivots[k]; }
};

// Largest |(P A - L U)(i, j)| relative to max |A|, with P replayed from the pivots.
double LuReconstructionError(const KelMatrix& A) {
  GaussProbe F(A);
  F.Factorize();
  const int n = A.Rows();
  std::vector<int> order(n + 1);
  for (int i = 1; i <= n; ++i) order[i] = i;
  for (int k = 1; k <= n; ++k) std::swap(order[k], order[F.Pivot(k)]);
  double worst = 0.0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      long double sum = 0;
      for (int k = 1; k <= std::min(i, j); ++k)
        sum += (k == i ? 1.0L : static_cast<long double>(F.Factor(i, k))) * F.Factor(k, j);
      worst = std::max(worst, static_cast<double>(std::fabs(sum - A(order[i], j))));
    }
  return worst / fact_test::MaxAbs(A);
}

}  // namespace

TEST(GaussSolve, HandWorkedThreeByThreeSystem) {
  KelMatrix A(3, 3, 2., 1., 1., 4., -6., 0., -2., 7., 2.);
  KelFactorizedGauss F(A);
  KelVector b(3, 5., -2., 9.);
  Solve(&F, &b);
  EXPECT_NEAR(b(1), 1.0, 1e-15);
  EXPECT_NEAR(b(2), 1.0, 1e-15);
  EXPECT_NEAR(b(3), 2.0, 1e-15);
}

TEST(GaussSolve, DeterminantIncludesPermutationSign) {
  KelMatrix A(3, 3, 2., 1., 1., 4., -6., 0., -2., 7., 2.);
  KelFactorizedGauss F(A);
  EXPECT_NEAR(F.Determinant(), -16.0, 1e-13);
  // An exchange is forced by a zero leading element: det [[0, 1], [1, 0]] = -1.
  KelFactorizedGauss G(KelMatrix(2, 2, 0., 1., 1., 0.));
  EXPECT_EQ(G.Determinant(), -1.0);
}

TEST(GaussFactorization, PivotedLuReproducesRandomAndGradedMatrices) {
  for (int n : {1, 2, 7, 40}) {
    EXPECT_LT(LuReconstructionError(fact_test::RandomMatrix(n, n, 11 + n)), 4e-15 * n) << n;
    EXPECT_LT(LuReconstructionError(fact_test::GradedMatrix(n, n, 3 + n)), 4e-15 * n) << n;
  }
}

TEST(GaussFactorization, KeepsRowWithinZeroPointNineMargin) {
  // Scaled candidates 0.95 (row 1) and 1 (row 2): row 1 stays since 0.95 >= 0.9.
  GaussProbe F(KelMatrix(2, 2, 0.95, 1., 1., 0.5));
  F.Factorize();
  EXPECT_EQ(F.Pivot(1), 1);
  EXPECT_DOUBLE_EQ(F.Factor(2, 1), 1.0 / 0.95);
  EXPECT_NEAR(F.Determinant(), 0.95 * 0.5 - 1.0, 1e-15);
  // 0.85 < 0.9: the rows are exchanged.
  GaussProbe G(KelMatrix(2, 2, 0.85, 1., 1., 0.5));
  G.Factorize();
  EXPECT_EQ(G.Pivot(1), 2);
  EXPECT_NEAR(G.Determinant(), 0.85 * 0.5 - 1.0, 1e-15);
}

TEST(GaussFactorization, ZeroRowIsNeverPivotAndIsReportedSingular) {
  KelMatrix A(3, 3, 0., 0., 0., 1., 2., 3., 4., 5., 7.);
  GaussProbe F(A);
  std::string text = CaptureOutput([&] { F.Factorize(); });
  EXPECT_TRUE(F.IsSingular());
  EXPECT_EQ(F.Determinant(), 0.0);
  EXPECT_EQ(F.ConditionNumber(), kelBigValue);
  KelVectorInt rows;
  F.GetSingularRows(&rows);
  ASSERT_EQ(rows.Size(), 1);
  EXPECT_EQ(rows(1), 1);
  EXPECT_EQ(text, "");  // the zero pivot is the last one, which is flagged silently
}

TEST(GaussFactorization, SingularRowsBeforeFactorizationAreEmpty) {
  KelFactorizedGauss F(KelMatrix(2, 2, 1., 2., 2., 4.));
  KelVectorInt rows(3);
  F.GetSingularRows(&rows);
  EXPECT_EQ(rows.Size(), 0);
}

TEST(GaussFactorization, ReducedColumnWithZeroPivotPrintsSingularRow) {
  // Column 1 is zero: step 1 finds nothing to eliminate and a(1, 1) = 0.
  KelFactorizedGauss F(KelMatrix(2, 2, 0., 1., 0., 2.));
  std::string text = CaptureOutput([&] { F.Determinant(); });
  EXPECT_EQ(text, "\nSingular: row = 1");
  kelPrintMessages = 'N';
  KelFactorizedGauss G(KelMatrix(2, 2, 0., 1., 0., 2.));
  EXPECT_EQ(CaptureOutput([&] { G.Determinant(); }), "");
  kelPrintMessages = 'Y';
}

TEST(GaussSolve, SingularCompatibleSystemSetsFreeUnknownToZero) {
  KelFactorizedGauss F(KelMatrix(2, 2, 1., 2., 2., 4.));
  KelVector b(2, 1., 2.);
  std::string text = CaptureOutput([&] { Solve(&F, &b); });
  EXPECT_EQ(text, "\nSingular matrix");
  EXPECT_DOUBLE_EQ(b(1), 1.0);
  EXPECT_EQ(b(2), 0.0);
}

TEST(GaussSolve, SingularIncompatibleSystemSaysSo) {
  KelFactorizedGauss F(KelMatrix(2, 2, 1., 2., 2., 4.));
  KelVector b(2, 1., 3.);
  EXPECT_EQ(CaptureOutput([&] { Solve(&F, &b); }), "\nSingular matrix and incompatible system");
}

TEST(GaussSolve, TransposedSolveSatisfiesTransposedSystem) {
  KelMatrix A = fact_test::RandomMatrix(12, 12, 5);
  KelVector b = fact_test::RandomVector(12, 6);
  KelFactorizedGauss F(A);
  KelVector x;
  TransposeSolve(&F, b, &x);
  KelMatrix At = A;
  At.Transpose();
  std::vector<long double> reference =
      fact_test::SolveLong(fact_test::ToLong(At), {b.Data(), b.Data() + 12});
  EXPECT_LT(fact_test::MaxDifference(x, reference), 1e-12 * (1 + fact_test::MaxAbs(reference)));
  EXPECT_EQ(b.Size(), 12);  // the separate-output form leaves b alone
}

TEST(GaussSolve, MatrixOfRightHandSidesSolvedColumnByColumn) {
  KelMatrix A = fact_test::RandomMatrix(6, 6, 8);
  KelMatrix B = fact_test::RandomMatrix(6, 3, 9);
  KelFactorizedGauss F(A);
  KelMatrix X;
  Solve(&F, B, &X);
  ASSERT_EQ(X.Rows(), 6);
  ASSERT_EQ(X.Columns(), 3);
  EXPECT_LT(fact_test::ProductError(A, X, B), 1e-13);
}

TEST(GaussConditionNumber, WithinFactorTenOfExactOneNormCondition) {
  for (int n : {3, 10, 30, 60}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      KelMatrix A = fact_test::RandomMatrix(n, n, 100 * n + seed);
      fact_test::LongMatrix inverse = fact_test::InverseLong(A);
      const double exact = static_cast<double>(fact_test::NormOne(fact_test::ToLong(A)) *
                                               fact_test::NormOne(inverse));
      KelFactorizedGauss F(A);
      const double estimate = F.ConditionNumber();
      EXPECT_GT(estimate, exact / 10) << n << " " << seed;
      EXPECT_LT(estimate, exact * 10) << n << " " << seed;
    }
  }
}

TEST(GaussConditionNumber, IdentityHasConditionOne) {
  KelFactorizedGauss F(KelMatrix(3, 3, 1., 0., 0., 0., 1., 0., 0., 0., 1.));
  EXPECT_DOUBLE_EQ(F.ConditionNumber(), 1.0);
}

TEST(GaussConditionNumber, SingularAndZeroMatricesGiveBigValue) {
  kelPrintMessages = 'N';
  KelFactorizedGauss F(KelMatrix(2, 2, 1., 2., 2., 4.));
  EXPECT_EQ(F.ConditionNumber(), kelBigValue);
  KelFactorizedGauss Z(2, 2);
  EXPECT_EQ(Z.ConditionNumber(), kelBigValue);
  kelPrintMessages = 'Y';
}

TEST(GaussConditionNumber, NonSquareWarnsAndReturnsZero) {
  kelWarningMode = 0;
  KelFactorizedGauss F(KelMatrix(2, 3));
  double result = -1;
  std::string text = CaptureOutput([&] { result = F.ConditionNumber(); });
  kelWarningMode = 1;
  EXPECT_EQ(result, 0.0);
  EXPECT_EQ(
      text,
      "\nWarning!!\nKelFactorized class\n\nDimension check failure\n\nFunction: ConditionNumber");
}

TEST(GaussBadInput, NonSquareSolveIsFatalInSpecificInitialize) {
  KelFactorizedGauss F(KelMatrix(2, 3));
  KelVector b(2);
  EXPECT_KEL_FATAL(
      Solve(&F, &b),
      "KelFactorized class\n\nDimension check failure\n\nFunction: SpecificInitialize\n2 x 3");
}

// Only a pivot equal to 0 is singular. The row of infinity has scale 1/inf = 0, so no candidate
// beats the NaN pivot, which stays: nothing is flagged or printed, and the NaN reaches the unknown
// it divides, x1 = (1 - 1 x2) / NaN, while x2 = 0 / inf (or 1 / inf) is 0.
TEST(GaussBadInput, NanPivotIsNotSingularAndGivesNanForItsUnknownOnly) {
  const double nan = std::nan("");
  const double infinity = HUGE_VAL;
  KelMatrix A(2, 2, nan, 1., 1., infinity);
  KelFactorizedGauss F(A);
  KelVector b(2, 1., 1.);
  const std::string text = CaptureOutput([&] { Solve(&F, &b); });
  EXPECT_EQ(text, "");
  EXPECT_FALSE(F.IsSingular());
  ASSERT_EQ(b.Size(), 2);
  EXPECT_TRUE(std::isnan(b(1)));
  EXPECT_EQ(b(2), 0.0);
}
