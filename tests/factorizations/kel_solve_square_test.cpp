// SolveSquare and the two LQ accessors it rests on.
#include <cmath>
#include <string>

#include "factorization_test_helpers.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

// Checks A P = [L 0] on the rows other than `singularRow` (whose row of L stays zero by
// definition) and the orthogonality of P.
void CheckLQFactors(KelMatrix A, int singularRow = 0) {
  KelFactorizedLQ F(A);
  KelMatrix P;
  KelMatrixLeft L;
  F.GetKelMatrixP(&P);
  F.GetLowerFactor(&L);
  const int m = A.Rows(), n = A.Columns();
  ASSERT_EQ(P.Rows(), n);
  ASSERT_EQ(L.Rows(), m);
  KelMatrix padded(m, n);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= i; ++j) padded(i, j) = static_cast<const KelMatrixLeft&>(L)(i, j);
  if (singularRow != 0)
    for (int j = 1; j <= n; ++j) A(singularRow, j) = 0.0;
  EXPECT_LT(fact_test::ProductError(A, P, padded), 1e-14 * fact_test::MaxAbs(A));
  EXPECT_LT(fact_test::OrthogonalityError(P), 1e-14);
}

std::vector<long double> SubsystemSolution(const KelMatrix& A, const KelVector& b, int k) {
  const int n = A.Columns();
  fact_test::LongMatrix M(n, std::vector<long double>(n));
  std::vector<long double> r(n);
  for (int i = 1; i <= n; ++i) {
    const int equation = i < n ? i : n - 1 + k;
    for (int j = 1; j <= n; ++j) M[i - 1][j - 1] = A(equation, j);
    r[i - 1] = b(equation);
  }
  return fact_test::SolveLong(M, r);
}

}  // namespace

TEST(LQFactors, PTimesAGivesLowerFactorAndZeros) {
  CheckLQFactors(fact_test::RandomMatrix(4, 7, 1));
  CheckLQFactors(fact_test::RandomMatrix(6, 6, 2));
  CheckLQFactors(fact_test::GradedMatrix(3, 9, 3));
}

TEST(LQFactors, SingularRowsLeaveZeroRowsAndColumnsInL) {
  KelMatrix A = fact_test::RandomMatrix(4, 6, 4);
  for (int j = 1; j <= 6; ++j) A(2, j) = 2.0 * A(1, j);
  kelPrintMessages = 'N';
  CheckLQFactors(A, 2);
  KelFactorizedLQ F(A);
  KelMatrixLeft L;
  F.GetLowerFactor(&L);
  kelPrintMessages = 'Y';
  const KelMatrixLeft& constL = L;
  EXPECT_EQ(constL(2, 2), 0.0);
  EXPECT_EQ(constL(2, 1), 0.0);
  EXPECT_EQ(constL(3, 2), 0.0);
  EXPECT_NE(constL(3, 3), 0.0);
}

TEST(LQFactors, TallMatrixIsFatalForP) {
  KelFactorizedLQ F(KelMatrix(3, 2));
  KelMatrix P;
  EXPECT_KEL_FATAL(
      F.GetKelMatrixP(&P),
      "KelFactorized class\n\nDimension check failure\n\nFunction:  GetKelMatrixP\n3 x 2");
}

TEST(SolveSquare, SquareSystemGivesOneRowSolution) {
  KelMatrix A = fact_test::RandomMatrix(5, 5, 11);
  KelVector b = fact_test::RandomVector(5, 12);
  KelMatrix X;
  SolveSquare(A, b, &X);
  ASSERT_EQ(X.Rows(), 1);
  ASSERT_EQ(X.Columns(), 5);
  EXPECT_LT(fact_test::MaxDifference(X.GetRow(1), SubsystemSolution(A, b, 1)), 1e-13);
}

TEST(SolveSquare, EachRowSolvesItsSubsystem) {
  KelMatrix A = fact_test::RandomMatrix(9, 4, 13);
  KelVector b = fact_test::RandomVector(9, 14);
  KelMatrix X;
  SolveSquare(A, b, &X);
  ASSERT_EQ(X.Rows(), 6);
  for (int k = 1; k <= 6; ++k)
    EXPECT_LT(fact_test::MaxDifference(X.GetRow(k), SubsystemSolution(A, b, k)), 1e-12) << k;
}

TEST(SolveSquare, DependentExtraEquationGivesMinimumNormSolutionSilently) {
  KelMatrix A = fact_test::RandomMatrix(4, 3, 15);
  for (int j = 1; j <= 3; ++j) A(3, j) = A(1, j) - 2.0 * A(2, j);  // equation 3 = 1 - 2 x 2
  KelVector b(4, 1., 2., -3., 0.5);
  KelMatrix X;
  const std::string text = kel_test::CaptureOutput([&] { SolveSquare(A, b, &X); });
  EXPECT_EQ(text, "");
  // Row 1 (equations 1, 2, 3) has a free direction: the component along it is 0, which is the
  // minimum-norm solution of equations 1 and 2.
  KelMatrix firstTwo(2, 3);
  for (int j = 1; j <= 3; ++j) {
    firstTwo(1, j) = A(1, j);
    firstTwo(2, j) = A(2, j);
  }
  std::vector<long double> reference = fact_test::MinimumNorm(firstTwo, KelVector(2, 1., 2.));
  EXPECT_LT(fact_test::MaxDifference(X.GetRow(1), reference), 1e-13);
  EXPECT_LT(fact_test::MaxDifference(X.GetRow(2), SubsystemSolution(A, b, 2)), 1e-12);
}

TEST(SolveSquare, ResultMayOverwriteTheMatrix) {
  KelMatrix A = fact_test::RandomMatrix(6, 3, 16);
  const KelMatrix original = A;
  KelVector b = fact_test::RandomVector(6, 17);
  SolveSquare(A, b, &A);
  ASSERT_EQ(A.Rows(), 4);
  for (int k = 1; k <= 4; ++k)
    EXPECT_LT(fact_test::MaxDifference(A.GetRow(k), SubsystemSolution(original, b, k)), 1e-12);
}

TEST(SolveSquare, MessageSwitchIsRestored) {
  KelMatrix A = fact_test::RandomMatrix(3, 2, 18);
  KelVector b(3, 1., 2., 3.);
  KelMatrix X;
  kelPrintMessages = 'N';
  SolveSquare(A, b, &X);
  EXPECT_EQ(kelPrintMessages, 'N');
  kelPrintMessages = 'Y';
  SolveSquare(A, b, &X);
  EXPECT_EQ(kelPrintMessages, 'Y');
}

TEST(SolveSquare, WideMatrixIsFatal) {
  KelMatrix A(2, 3);
  KelVector b(2);
  KelMatrix X;
  EXPECT_KEL_FATAL(SolveSquare(A, b, &X),
                   "\n\nERROR!!!\n\nDimension check failure\n\nFunction: SolveSquare\n2 x 3");
}
