#include <cmath>
#include <random>
#include <string>

#include "factorization_test_helpers.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

KelMatrixSymmetric RandomSymmetric(int n, unsigned seed, double diagonalShift) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  KelMatrixSymmetric S(n, n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) S(i, j) = uniform(engine) + (i == j ? diagonalShift : 0.0);
  return S;
}

KelMatrix Full(const KelMatrixSymmetric& S) {
  KelMatrix A(S.Rows(), S.Rows());
  for (int i = 1; i <= S.Rows(); ++i)
    for (int j = 1; j <= S.Rows(); ++j) A(i, j) = S(i, j);
  return A;
}

// Largest difference between X and the long-double inverse of S.
double InverseError(const KelMatrixSymmetric& S, const KelMatrix& X) {
  fact_test::LongMatrix reference = fact_test::InverseLong(Full(S));
  double worst = 0.0;
  for (int i = 1; i <= S.Rows(); ++i)
    for (int j = 1; j <= S.Rows(); ++j)
      worst = std::max(worst, static_cast<double>(std::fabs(X(i, j) - reference[i - 1][j - 1])));
  return worst;
}

}  // namespace

TEST(SymmetricPivot, DiagonalMatrixInverseIsReciprocals) {
  KelMatrixSymmetric S(3, 3);
  S(1, 1) = 2.0;
  S(2, 2) = -4.0;
  S(3, 3) = 0.5;
  KelFactorizedSymmetricPivot F(S);
  KelMatrix X;
  F.Inverse(&X);
  EXPECT_EQ(F.TwoByTwoPositions().Size(), 0);
  EXPECT_EQ(X(1, 1), 0.5);
  EXPECT_EQ(X(2, 2), -0.25);
  EXPECT_EQ(X(3, 3), 2.0);
  EXPECT_EQ(X(1, 2), 0.0);
}

TEST(SymmetricPivot, SwapMatrixTakesTwoByTwoPivotAndIsItsOwnInverse) {
  KelMatrixSymmetric S(2, 2);
  S(2, 1) = 1.0;
  KelFactorizedSymmetricPivot F(S);
  KelMatrix X;
  F.Inverse(&X);
  ASSERT_EQ(F.TwoByTwoPositions().Size(), 1);
  EXPECT_EQ(F.TwoByTwoPositions()(1), 1);
  EXPECT_FALSE(F.IsSingular());
  EXPECT_EQ(X(1, 1), 0.0);
  EXPECT_EQ(X(1, 2), 1.0);
  EXPECT_EQ(X(2, 1), 1.0);
  EXPECT_EQ(X(2, 2), 0.0);
}

TEST(SymmetricPivot, ZeroSecondColumnSearchesPartnerAndInterchanges) {
  KelMatrixSymmetric S(3, 3);
  S(1, 1) = 1.0;
  S(3, 1) = 2.0;
  S(3, 2) = 3.0;
  S(3, 3) = 1.0;
  KelFactorizedSymmetricPivot F(S);
  KelMatrix X;
  F.Inverse(&X);
  EXPECT_LT(InverseError(S, X), 1e-15);
}

TEST(SymmetricPivot, ZeroDiagonalMatricesNeedSeveralInterchanges) {
  for (int n : {4, 7, 12}) {
    KelMatrixSymmetric S = RandomSymmetric(n, 40 + n, 0.0);
    for (int i = 1; i <= n; ++i) S(i, i) = 0.0;
    KelFactorizedSymmetricPivot F(S);
    KelMatrix X;
    F.Inverse(&X);
    EXPECT_LT(InverseError(S, X), 1e-11) << n;
  }
}

TEST(SymmetricPivot, RandomIndefiniteSolveMatchesUnpivotedReference) {
  for (unsigned seed : {1u, 2u, 3u}) {
    KelMatrixSymmetric S = RandomSymmetric(15, seed, 0.0);
    KelFactorizedSymmetricPivot F(S);
    KelVector b = fact_test::RandomVector(15, seed + 7);
    std::vector<long double> reference =
        fact_test::SolveLong(fact_test::ToLong(Full(S)), {b.Data(), b.Data() + 15});
    F.Solve(&b);
    EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-11 * (1 + fact_test::MaxAbs(reference)));
  }
}

TEST(SymmetricPivot, ZeroBlockSetsSingularFlagAndGivesZeroComponents) {
  KelMatrixSymmetric S(3, 3);
  S(3, 3) = 2.0;
  KelFactorizedSymmetricPivot F(S);
  KelVector b(3, 1., 1., 4.);
  F.Solve(&b);
  EXPECT_TRUE(F.IsSingular());
  EXPECT_EQ(b(1), 0.0);
  EXPECT_EQ(b(2), 0.0);
  EXPECT_EQ(b(3), 2.0);
}

TEST(SymmetricNoPivot, CholeskyPathSolvesPositiveDefiniteSystem) {
  KelMatrixSymmetric S = RandomSymmetric(10, 5, 12.0);
  KelFactorizedSymmetricNoPivot F(S);
  KelVector b = fact_test::RandomVector(10, 6);
  std::vector<long double> reference =
      fact_test::SolveLong(fact_test::ToLong(Full(S)), {b.Data(), b.Data() + 10});
  F.Solve(&b);
  EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-15);
}

TEST(SymmetricNoPivot, OuterProductPathSolvesSparseIndefiniteSystem) {
  // Tridiagonal: many zeros in the first two columns, and a negative pivot (no definiteness).
  KelMatrixSymmetric S(5, 5);
  const double diagonal[] = {4.0, -3.0, 5.0, 2.0, 6.0};
  for (int i = 1; i <= 5; ++i) S(i, i) = diagonal[i - 1];
  for (int i = 2; i <= 5; ++i) S(i, i - 1) = 1.0;
  KelFactorizedSymmetricNoPivot F(S);
  KelMatrix X;
  F.Inverse(&X);
  EXPECT_LT(InverseError(S, X), 1e-15);
}

TEST(SymmetricNoPivot, RankOneChangeMatchesFactorizationOfChangedMatrix) {
  KelMatrixSymmetric S = RandomSymmetric(6, 9, 8.0);
  KelVector z = fact_test::RandomVector(6, 10);
  const double alpha = 0.75;
  KelMatrixSymmetric changed = S;
  for (int i = 1; i <= 6; ++i)
    for (int j = 1; j <= i; ++j) changed(i, j) += alpha * z(i) * z(j);
  KelFactorizedSymmetricNoPivot F(S);
  F.ChangeFactorization(alpha, &z);
  KelVector b = fact_test::RandomVector(6, 11);
  std::vector<long double> reference =
      fact_test::SolveLong(fact_test::ToLong(Full(changed)), {b.Data(), b.Data() + 6});
  F.Solve(&b);
  EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-14);
}

TEST(SymmetricPrint, PrintsTheFullSymmetricMatrix) {
  KelMatrixSymmetric S(2, 2);
  S(1, 1) = 1.0;
  S(2, 1) = 2.0;
  S(2, 2) = 3.0;
  KelFactorizedSymmetricPivot F(S);
  const std::string expected =
      "\nKelFactorizedSymm No." + std::to_string(F.GetSerialNumber()) +
      "\nrows 2 columns 2\n   1.00000000000000e+00   2.00000000000000e+00\n"
      "   2.00000000000000e+00   3.00000000000000e+00\n";
  EXPECT_EQ(kel_test::CaptureOutput([&] { F.PrintObject(); }), expected);
}

TEST(SymmetricBadInput, NumericalAndDimensionFailuresAreFatal) {
  KelMatrixSymmetric indefinite(2, 2);
  indefinite(1, 1) = 1.0;
  indefinite(2, 1) = 2.0;
  indefinite(2, 2) = 1.0;
  KelFactorizedSymmetricNoPivot F(indefinite);
  KelVector b(2, 1., 1.);
  EXPECT_KEL_FATAL(F.Solve(&b),
                   "KelFactorizedSymmetricBase class\n The matrix is not definite positive");
  KelMatrixSymmetric zeroPivot(2, 2);
  zeroPivot(2, 2) = 1.0;
  KelFactorizedSymmetricNoPivot G(zeroPivot);
  EXPECT_KEL_FATAL(G.Solve(&b), "KelFactorizedSymmetricBase class\n The matrix is singular");
  KelFactorizedSymmetricPivot P(indefinite);
  KelMatrix wrong(3, 1);
  EXPECT_KEL_FATAL(Solve(&P, &wrong),
                   "KelFactorizedSymmetricBase class\n\nDimension check failure\n\nFunction: "
                   "Solve\n2 x 2 and 3 x 1");
  KelVector z(2, 1., 1.);
  EXPECT_KEL_FATAL(P.ChangeFactorization(1.0, &z),
                   "ChangeFactorization\nFunction not implemented\n");
  KelMatrixSymmetric positive(2, 2);
  positive(1, 1) = 1.0;
  positive(2, 1) = 0.5;
  positive(2, 2) = 1.0;
  KelFactorizedSymmetricNoPivot H(positive);
  EXPECT_KEL_FATAL(H.ChangeFactorization(-10.0, &z),
                   "KelFactorizedSymmetricBase class\n The matrix is not definite positive");
}
