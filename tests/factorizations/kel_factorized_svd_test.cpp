#include <cmath>
#include <string>

#include "factorization_test_helpers.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

// Largest |U W V^T - A| relative to max |A|, and the orthogonality of U and V.
void CheckDecomposition(const KelMatrix& A, double tolerance) {
  KelFactorizedSVD F(A);
  KelVector w;
  KelMatrix V, U;
  F.GetDecomposition(&w, &V, &U);
  ASSERT_EQ(U.Rows(), A.Rows());
  ASSERT_EQ(U.Columns(), A.Columns());
  ASSERT_EQ(V.Rows(), A.Columns());
  KelMatrix UW = U;
  for (int i = 1; i <= U.Rows(); ++i)
    for (int j = 1; j <= U.Columns(); ++j) UW(i, j) *= w(j);
  const double scale = fact_test::MaxAbs(A);
  EXPECT_LT(fact_test::ProductError(UW, V, A, true), tolerance * scale)
      << A.Rows() << "x" << A.Columns();
  EXPECT_LT(fact_test::OrthogonalityError(U), tolerance);
  EXPECT_LT(fact_test::OrthogonalityError(V), tolerance);
  for (int j = 1; j <= w.Size(); ++j) EXPECT_GE(w(j), 0.0);
}

}  // namespace

TEST(SVDFactorization, ReproducesMatricesOfSeveralShapesOnBothPaths) {
  struct Shape {
    int m, n;
  };
  // 3m < 5n: direct bidiagonalization (4x3, 40x40, 30x20); otherwise QR first.
  for (Shape s : {Shape{1, 1}, Shape{4, 3}, Shape{10, 2}, Shape{40, 40}, Shape{30, 20},
                  Shape{60, 30}, Shape{300, 7}}) {
    CheckDecomposition(fact_test::RandomMatrix(s.m, s.n, 3 * s.m + s.n), 5e-14);
    CheckDecomposition(fact_test::GradedMatrix(s.m, s.n, s.m), 5e-14);
    if (s.n >= 3) CheckDecomposition(fact_test::RankDeficientMatrix(s.m, s.n, 2, s.n), 5e-14);
  }
}

TEST(SVDFactorization, SingularValuesOfHandWorkedMatrix) {
  // A^T A = [[25, 20], [20, 25]] has eigenvalues 45 and 5.
  KelFactorizedSVD F(KelMatrix(2, 2, 3., 0., 4., 5.));
  KelVector w;
  F.GetSingularValues(&w);
  const double large = std::max(w(1), w(2)), small = std::min(w(1), w(2));
  EXPECT_NEAR(large, std::sqrt(45.0), 1e-14);
  EXPECT_NEAR(small, std::sqrt(5.0), 1e-14);
  EXPECT_NEAR(F.ConditionNumber(), 3.0, 1e-14);
  EXPECT_NEAR(F.MaximumSingularValue(), std::sqrt(45.0), 1e-14);
  EXPECT_NEAR(F.MinimumSingularValue(), std::sqrt(5.0), 1e-14);
}

TEST(SVDFactorization, NegativeDiagonalGivesNonNegativeSingularValues) {
  KelMatrix A(3, 3, -2., 0., 0., 0., 5., 0., 0., 0., -1.);
  KelFactorizedSVD F(A);
  KelVector w;
  KelMatrix V, U;
  F.GetSortedDecomposition(&w, &V, &U);
  EXPECT_NEAR(w(1), 5.0, 1e-15);
  EXPECT_NEAR(w(2), 2.0, 1e-15);
  EXPECT_NEAR(w(3), 1.0, 1e-15);
  CheckDecomposition(A, 1e-15);
}

// The required mode belongs to the object: one object set to singular values only leaves
// another's factorizations whole, and the other still gives the least-squares solution.
TEST(SVDFactorization, RequiredModeIsPerObject) {
  KelFactorizedSVD valuesOnly(fact_test::RandomMatrix(6, 4, 3));
  KelFactorizedSVD full(fact_test::RandomMatrix(6, 4, 3));
  valuesOnly.SetRequiredMode(1);
  EXPECT_EQ(valuesOnly.RequiredMode(), 1);
  EXPECT_EQ(full.RequiredMode(), 4);
  const KelMatrix A = fact_test::RandomMatrix(6, 4, 3);
  KelVector b = fact_test::RandomVector(6, 4);
  const std::vector<long double> reference = fact_test::NormalEquations(A, b);
  Solve(&full, &b);
  EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-13);
  EXPECT_EQ(valuesOnly.RequiredMode(), 1);
}

TEST(SVDFactorization, GetSingularValuesDoesNotKeepItsFactorization) {
  KelFactorizedSVD F(fact_test::RandomMatrix(6, 4, 3));
  KelVector w;
  F.GetSingularValues(&w);
  EXPECT_FALSE(F.IsFactorized());
  EXPECT_EQ(F.RequiredMode(), 4);
  EXPECT_EQ(F.MatrixStatus(), 0);
  // The condition number comes from the known values without factorizing.
  F.ConditionNumber();
  EXPECT_FALSE(F.IsFactorized());
  // A later solve factorizes in the full mode and gives the least-squares solution.
  KelMatrix A = fact_test::RandomMatrix(6, 4, 3);
  KelVector b = fact_test::RandomVector(6, 4);
  std::vector<long double> reference = fact_test::NormalEquations(A, b);
  Solve(&F, &b);
  EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-13);
}

TEST(SVDFactorization, NewMatrixMakesSingularValuesUnknown) {
  KelFactorizedSVD F(KelMatrix(2, 2, 1., 0., 0., 4.));
  EXPECT_DOUBLE_EQ(F.ConditionNumber(), 4.0);
  F = KelMatrix(2, 2, 1., 0., 0., 2.);
  EXPECT_DOUBLE_EQ(F.ConditionNumber(), 2.0);
}

TEST(SVDSolve, LeastSquaresMatchesNormalEquationsOnBothPaths) {
  for (int m : {5, 50}) {
    KelMatrix A = fact_test::RandomMatrix(m, 4, m);
    KelVector b = fact_test::RandomVector(m, m + 1);
    std::vector<long double> reference = fact_test::NormalEquations(A, b);
    KelFactorizedSVD F(A);
    KelVector x;
    Solve(&F, b, &x);
    EXPECT_LT(fact_test::MaxDifference(x, reference), 1e-13) << m;
  }
}

TEST(SVDSolve, IdenticalColumnsShareTheWeightEqually) {
  KelMatrix A(4, 2);
  KelVector b(4);
  for (int i = 1; i <= 4; ++i) {
    A(i, 1) = A(i, 2) = i;
    b(i) = 3.0 * i;
  }
  KelFactorizedSVD F(A);
  KelVector w;
  F.GetSingularValues(&w);
  EXPECT_LT(std::min(w(1), w(2)), 1e-14 * std::max(w(1), w(2)));
  Solve(&F, &b);
  EXPECT_NEAR(b(1), 1.5, 1e-14);
  EXPECT_NEAR(b(2), 1.5, 1e-14);
}

TEST(SVDSolve, NumberOfSingularValuesLimitsTheSolution) {
  KelMatrix A(3, 3, 3., 0., 0., 0., 2., 0., 0., 0., 1.);
  KelVector b(3, 3., 2., 1.);
  KelFactorizedSVD F(A);
  KelVector x;
  Solve(&F, b, &x, 2);
  EXPECT_NEAR(x(1), 1.0, 1e-15);
  EXPECT_NEAR(x(2), 1.0, 1e-15);
  EXPECT_EQ(x(3), 0.0);
  Solve(&F, b, &x, 0);  // at least one singular value
  EXPECT_NEAR(x(1), 1.0, 1e-15);
  EXPECT_EQ(x(2), 0.0);
  Solve(&F, b, &x, 9);  // capped at n
  EXPECT_NEAR(x(3), 1.0, 1e-15);
}

TEST(SVDSolve, ZeroKthSingularValueGivesZeroSolution) {
  KelMatrix A(3, 2, 1., 0., 1., 0., 1., 0.);
  KelFactorizedSVD F(A);
  KelVector b(3, 1., 1., 1.), x;
  Solve(&F, b, &x, 2);
  EXPECT_EQ(x(1), 0.0);
  EXPECT_EQ(x(2), 0.0);
  KelFactorizedSVD Z(3, 2);
  KelVector y = b;
  Solve(&Z, &y);
  EXPECT_EQ(y(1), 0.0);
  EXPECT_EQ(y(2), 0.0);
}

TEST(SVDSolve, TransposeSolveGivesMinimumNormSolution) {
  KelMatrix A = fact_test::RandomMatrix(8, 3, 17);
  KelVector b = fact_test::RandomVector(3, 18);
  KelMatrix At = A;
  At.Transpose();
  std::vector<long double> reference = fact_test::MinimumNorm(At, b);
  KelFactorizedSVD F(A);
  TransposeSolve(&F, &b);
  ASSERT_EQ(b.Size(), 8);
  EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-13);
}

TEST(SVDConditionNumber, ZeroColumnGivesBigValue) {
  KelFactorizedSVD F(KelMatrix(3, 2, 1., 0., 2., 0., 3., 0.));
  EXPECT_EQ(F.ConditionNumber(), kelBigValue);
}

TEST(SVDSortedDecomposition, EqualSingularValuesUseEachColumnOnce) {
  KelMatrix A(3, 3, 1., 0., 0., 0., 2., 0., 0., 0., 2.);
  KelFactorizedSVD F(A);
  KelVector w;
  KelMatrix V, U;
  F.GetSortedDecomposition(&w, &V, &U);
  EXPECT_DOUBLE_EQ(w(1), 2.0);
  EXPECT_DOUBLE_EQ(w(2), 2.0);
  EXPECT_DOUBLE_EQ(w(3), 1.0);
  EXPECT_LT(fact_test::OrthogonalityError(V), 1e-15);
  EXPECT_LT(fact_test::OrthogonalityError(U), 1e-15);
  KelMatrix UW = U;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) UW(i, j) *= w(j);
  EXPECT_LT(fact_test::ProductError(UW, V, A, true), 1e-15);
}

TEST(SVDSortedDecomposition, RandomMatrixValuesDecrease) {
  KelMatrix A = fact_test::RandomMatrix(12, 6, 5);
  KelFactorizedSVD F(A);
  KelVector w;
  KelMatrix V, U;
  F.GetSortedDecomposition(&w, &V, &U);
  for (int j = 2; j <= 6; ++j) EXPECT_GE(w(j - 1), w(j));
  KelMatrix UW = U;
  for (int i = 1; i <= 12; ++i)
    for (int j = 1; j <= 6; ++j) UW(i, j) *= w(j);
  EXPECT_LT(fact_test::ProductError(UW, V, A, true), 1e-14);
}

TEST(SVDDeterminant, SignComesFromTheSingularVectors) {
  KelFactorizedSVD F(KelMatrix(2, 2, 0., 1., 1., 0.));
  EXPECT_NEAR(F.Determinant(), -1.0, 1e-15);
  KelFactorizedSVD G(KelMatrix(3, 3, 2., 1., 1., 4., -6., 0., -2., 7., 2.));
  EXPECT_NEAR(G.Determinant(), -16.0, 1e-13);
}

TEST(SVDBadInput, SameVectorForBAndXIsFatal) {
  KelFactorizedSVD F(KelMatrix(2, 2, 1., 0., 0., 1.));
  KelVector b(2, 1., 1.);
  EXPECT_KEL_FATAL(Solve(&F, b, &b, 1), "KelFactorized class\n\nFunction:  b is equal to x");
}

TEST(SVDBadInput, WideMatrixAndTransposedMatrixSolveAreFatal) {
  KelFactorizedSVD F(KelMatrix(2, 3));
  KelVector b(2);
  EXPECT_KEL_FATAL(
      Solve(&F, &b),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Factorization SVD\n2 x 3");
  KelFactorizedSVD G(KelMatrix(3, 2, 1., 0., 0., 1., 1., 1.));
  KelMatrix B(2, 1);
  EXPECT_KEL_FATAL(TransposeSolve(&G, &B), "KelFactorized class\n\nFunction not implemented\n");
}

TEST(SVDBadInput, NanAndInfinityEndWithinTheSweepLimit) {
  KelMatrix A = fact_test::RandomMatrix(7, 4, 9);
  A(3, 2) = std::nan("");
  KelFactorizedSVD F(A);
  KelVector w;
  F.GetSingularValues(&w);
  EXPECT_EQ(w.Size(), 4);
  KelMatrix B = fact_test::RandomMatrix(4, 4, 10);
  B(1, 1) = HUGE_VAL;
  KelFactorizedSVD G(B);
  KelVector b(4, 1., 1., 1., 1.);
  Solve(&G, &b);
  EXPECT_EQ(b.Size(), 4);
}
