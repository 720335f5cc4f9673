#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "factorization_test_helpers.h"
#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

// Rebuilds Q (m x n, thin) and R from the stored reflections, as their definition says.
class QRProbe : public KelFactorizedQR {
 public:
  using KelFactorizedQR::KelFactorizedQR;
  void Factorize() { PrepSolve(); }
  double Factor(int i, int j) { return FactorRows()[i][j]; }
  double Diagonal(int k) const { return diagonal[k]; }
  void Factors(KelMatrix* Q, KelMatrix* R) {
    PrepSolve();
    const int m = Rows(), n = Columns();
    double** a = FactorRows();
    R->Resize(n, n);
    for (int i = 1; i <= n; ++i) {
      (*R)(i, i) = diagonal[i];
      for (int j = i + 1; j <= n; ++j) (*R)(i, j) = a[i][j];
    }
    Q->Resize(m, n);
    for (int j = 1; j <= n; ++j) {
      std::vector<long double> q(m + 1, 0.0L);
      q[j] = 1.0L;
      for (int k = n; k >= 1; --k) {
        long double s = 0;
        for (int i = k; i <= m; ++i) s += a[i][k] * q[i];
        for (int i = k; i <= m; ++i) q[i] -= 2 * s * a[i][k];
      }
      for (int i = 1; i <= m; ++i) (*Q)(i, j) = static_cast<double>(q[i]);
    }
  }
};

double QrReconstructionError(const KelMatrix& A, double* orthogonality) {
  QRProbe F(A);
  KelMatrix Q, R;
  F.Factors(&Q, &R);
  *orthogonality = fact_test::OrthogonalityError(Q);
  return fact_test::ProductError(Q, R, A) / fact_test::MaxAbs(A);
}

}  // namespace

TEST(QRFactorization, ReproducesRandomTallSquareAndGradedMatrices) {
  struct Shape {
    int m, n;
  };
  for (Shape s : {Shape{1, 1}, Shape{10, 3}, Shape{40, 40}, Shape{300, 7}, Shape{25, 12}}) {
    double orthogonality = 0;
    EXPECT_LT(QrReconstructionError(fact_test::RandomMatrix(s.m, s.n, s.m + s.n), &orthogonality),
              3e-15 * s.n)
        << s.m << "x" << s.n;
    EXPECT_LT(orthogonality, 3e-15 * s.n);
    // Graded columns: the error is relative to each column's own size.
    KelMatrix G = fact_test::GradedMatrix(s.m, s.n, 7 * s.m);
    QRProbe F(G);
    KelMatrix Q, R;
    F.Factors(&Q, &R);
    EXPECT_LT(fact_test::OrthogonalityError(Q), 3e-15 * s.n);
    for (int j = 1; j <= s.n; ++j) {
      double columnNorm = 0, error = 0;
      for (int i = 1; i <= s.m; ++i) {
        long double sum = 0;
        for (int k = 1; k <= s.n; ++k) sum += static_cast<long double>(Q(i, k)) * R(k, j);
        error = std::max(error, static_cast<double>(std::fabs(sum - G(i, j))));
        columnNorm = std::max(columnNorm, std::fabs(G(i, j)));
      }
      EXPECT_LT(error, 3e-15 * s.n * columnNorm) << "column " << j;
    }
  }
}

TEST(QRFactorization, ColumnsAreFactorizedAlikeWhateverTheWidth) {
  // Reflection k and the updates of column j depend only on columns 1 .. max(k, j), so the
  // first ten columns of A and of A with ten more columns appended get the same factors:
  // the narrow matrix goes through the sweeps specialised for few trailing columns, the
  // wide one through the general sweep for its first steps. They must agree to the bit;
  // the fourth column (twice the second) stays singular in both.
  const int m = 300;
  KelMatrix A = fact_test::RandomMatrix(m, 10, 61);
  for (int i = 1; i <= m; ++i) A(i, 4) = 2.0 * A(i, 2);
  const KelMatrix extra = fact_test::RandomMatrix(m, 10, 62);
  KelMatrix wide(m, 20);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= 10; ++j) {
      wide(i, j) = A(i, j);
      wide(i, 10 + j) = extra(i, j);
    }
  QRProbe narrowQR(A), wideQR(wide);
  const std::string narrowMessages = CaptureOutput([&] { narrowQR.Factorize(); });
  const std::string wideMessages = CaptureOutput([&] { wideQR.Factorize(); });
  EXPECT_EQ(narrowMessages, "\nSingular matrix in QRDec for column 4");
  EXPECT_EQ(wideMessages, narrowMessages);
  int mismatches = 0;
  for (int k = 1; k <= 10; ++k) mismatches += narrowQR.Diagonal(k) != wideQR.Diagonal(k);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= 10; ++j) mismatches += narrowQR.Factor(i, j) != wideQR.Factor(i, j);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(narrowQR.Diagonal(4), 0.0);
  EXPECT_NE(narrowQR.Diagonal(5), 0.0);
}

TEST(QRFactorization, HugeAndTinyColumnsTakeTheSafeNormPath) {
  KelMatrix A = fact_test::RandomMatrix(30, 3, 4);
  for (int i = 1; i <= 30; ++i) {
    A(i, 1) *= 1e200;
    A(i, 3) *= 1e-200;
  }
  long double squares = 0;
  for (int i = 1; i <= 30; ++i)
    squares += static_cast<long double>(A(i, 1) / 1e200) * (A(i, 1) / 1e200);
  QRProbe F(A);
  KelMatrix Q, R;
  F.Factors(&Q, &R);
  EXPECT_FALSE(F.IsSingular());
  EXPECT_LT(fact_test::OrthogonalityError(Q), 1e-14);
  EXPECT_NEAR(std::fabs(R(1, 1)) / 1e200, std::sqrt(static_cast<double>(squares)), 1e-14);
  EXPECT_GT(std::fabs(R(3, 3)), 1e-202);
}

TEST(QRSolve, LeastSquaresMatchesNormalEquationsInLongDouble) {
  for (unsigned seed : {1u, 2u, 3u}) {
    KelMatrix A = fact_test::RandomMatrix(60, 6, seed);
    KelVector b = fact_test::RandomVector(60, seed + 10);
    std::vector<long double> reference = fact_test::NormalEquations(A, b);
    KelFactorizedQR F(A);
    Solve(&F, &b);
    ASSERT_EQ(b.Size(), 6);
    EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-13);
  }
}

TEST(QRSolve, GroupedReflectionsGiveTheOneByOneSolution) {
  // Every shape from square to tall, around the group boundaries (groups of five reflections)
  // and the rows that the later reflections of a group do not reach yet: the head of Q^T b and
  // the solution agree with the reflections applied one by one, to rounding.
  for (int n = 1; n <= 17; ++n) {
    for (int m : {n, n + 1, n + 4, 3 * n + 7, 200}) {
      KelMatrix A = fact_test::RandomMatrix(m, n, static_cast<unsigned>(100 * n + m));
      const KelVector b = fact_test::RandomVector(m, static_cast<unsigned>(7 * n + m));
      std::vector<double> d(static_cast<size_t>(n) + 1), norms(d), scratch;
      ASSERT_FALSE(QRFactorization(m, n, A.RowPointers(), d.data(), norms.data(),
                                   kelTenMachEpsFloat, scratch));
      std::vector<double> oneByOne(b.Data() - 1, b.Data() + m), grouped(oneByOne);
      std::vector<double> x1(static_cast<size_t>(n) + 1), x2(x1);
      QRSolution(m, n, A.RowPointers(), d.data(), oneByOne.data(), x1.data());
      QRSolutionByGroups(m, n, A.RowPointers(), d.data(), grouped.data(), x2.data());
      double largest = 0.0;
      for (int j = 1; j <= n; ++j) largest = std::max(largest, std::fabs(x1[j]));
      for (int j = 1; j <= n; ++j) {
        EXPECT_NEAR(grouped[j], oneByOne[j], 1e-13 * std::sqrt(m)) << m << "x" << n << " " << j;
        EXPECT_NEAR(x2[j], x1[j], 1e-12 * (1.0 + largest)) << m << "x" << n << " " << j;
      }
    }
  }
}

TEST(QRSolve, SolvingLeavesTheInfinityNormOfTheMatrix) {
  // The factorization's first pass gives the norm; every width of its specialised passes and
  // the general one, with the row sums taken in column order as a separate pass would.
  for (int n : {1, 2, 7, 15, 16, 23}) {
    const KelMatrix A = fact_test::RandomMatrix(3 * n + 5, n, static_cast<unsigned>(n));
    double expected = 0.0;
    for (int i = 1; i <= A.Rows(); ++i) {
      double sum = 0.0;
      for (int j = 1; j <= n; ++j) sum += std::fabs(A(i, j));
      expected = std::max(expected, sum);
    }
    KelFactorizedQR F(A);
    KelVector b = fact_test::RandomVector(A.Rows(), 5);
    Solve(&F, &b);
    EXPECT_EQ(F.Norm(), expected) << n;
  }
}

TEST(QRSolve, FiveByThreeReplacesVectorByThreeElementSolution) {
  // Fits y = 1 + 2 t + 3 t^2 exactly at five points.
  KelMatrix A(5, 3);
  KelVector b(5);
  for (int i = 1; i <= 5; ++i) {
    const double t = i - 3.0;
    A(i, 1) = 1.0;
    A(i, 2) = t;
    A(i, 3) = t * t;
    b(i) = 1.0 + 2.0 * t + 3.0 * t * t;
  }
  KelFactorizedQR F(A);
  Solve(&F, &b);
  ASSERT_EQ(b.Size(), 3);
  EXPECT_NEAR(b(1), 1.0, 1e-14);
  EXPECT_NEAR(b(2), 2.0, 1e-14);
  EXPECT_NEAR(b(3), 3.0, 1e-14);
}

TEST(QRSolve, TransposeSolveGivesMinimumNormSolution) {
  KelMatrix A = fact_test::RandomMatrix(9, 4, 21);
  KelVector b = fact_test::RandomVector(4, 22);
  KelMatrix At = A;
  At.Transpose();
  std::vector<long double> reference = fact_test::MinimumNorm(At, b);
  KelFactorizedQR F(A);
  KelVector x;
  TransposeSolve(&F, b, &x);
  ASSERT_EQ(x.Size(), 9);
  EXPECT_LT(fact_test::MaxDifference(x, reference), 1e-13);
}

TEST(QRSolve, MatrixFormReplacesMatrixBySolutionsOfOtherSize) {
  KelMatrix A = fact_test::RandomMatrix(8, 3, 31);
  KelMatrix B = fact_test::RandomMatrix(8, 2, 32);
  KelMatrix X = B;
  KelFactorizedQR F(A);
  Solve(&F, &X);
  ASSERT_EQ(X.Rows(), 3);
  ASSERT_EQ(X.Columns(), 2);
  for (int j = 1; j <= 2; ++j) {
    std::vector<long double> reference = fact_test::NormalEquations(A, B.GetColumn(j));
    EXPECT_LT(fact_test::MaxDifference(X.GetColumn(j), reference), 1e-13);
  }
}

TEST(QRSingular, ZeroColumnIsReportedAndItsUnknownSetToZero) {
  KelMatrix A(4, 3, 1., 0., 2., 1., 0., -1., 1., 0., 3., 1., 0., 0.);
  KelFactorizedQR F(A);
  KelVector b(4, 3., 0., 4., 1.);
  std::string text = CaptureOutput([&] { Solve(&F, &b); });
  EXPECT_EQ(
      text,
      "\nSingular matrix in QRDec for column 2\nSingular matrix in QRSolution! for variable 2");
  EXPECT_TRUE(F.IsSingular());
  EXPECT_EQ(b(2), 0.0);
  // The other two unknowns are the least-squares fit on columns 1 and 3.
  KelMatrix A2(4, 2, 1., 2., 1., -1., 1., 3., 1., 0.);
  std::vector<long double> reference = fact_test::NormalEquations(A2, KelVector(4, 3., 0., 4., 1.));
  EXPECT_NEAR(b(1), static_cast<double>(reference[0]), 1e-14);
  EXPECT_NEAR(b(3), static_cast<double>(reference[1]), 1e-14);
}

TEST(QRSingular, MultipleOfEarlierColumnIsClassifiedSingular) {
  KelMatrix A = fact_test::RandomMatrix(10, 3, 41);
  for (int i = 1; i <= 10; ++i) A(i, 3) = 3.0 * A(i, 1);
  KelFactorizedQR F(A);
  KelVector d;
  kelPrintMessages = 'N';
  F.GetDiagonal(&d);
  kelPrintMessages = 'Y';
  EXPECT_NE(d(1), 0.0);
  EXPECT_NE(d(2), 0.0);
  EXPECT_EQ(d(3), 0.0);
}

namespace {

// A without its columns listed (1-based, ascending).
KelMatrix WithoutColumns(const KelMatrix& A, std::vector<int> dropped) {
  KelMatrix kept(A.Rows(), A.Columns() - static_cast<int>(dropped.size()));
  for (int j = 1, target = 1; j <= A.Columns(); ++j) {
    if (std::find(dropped.begin(), dropped.end(), j) != dropped.end()) continue;
    for (int i = 1; i <= A.Rows(); ++i) kept(i, target) = A(i, j);
    ++target;
  }
  return kept;
}

// 40 x 7 with column 3 = column 1 - 2 column 2 and column 6 within 1e-9 (relative) of
// 3 column 4 + column 5: both are dependent at the tolerance, and later columns follow them.
KelMatrix TwoDependentColumns() {
  KelMatrix A = fact_test::RandomMatrix(40, 7, 71);
  const KelMatrix noise = fact_test::RandomMatrix(40, 1, 72);
  for (int i = 1; i <= 40; ++i) {
    A(i, 3) = A(i, 1) - 2.0 * A(i, 2);
    A(i, 6) = 3.0 * A(i, 4) + A(i, 5) + 1e-9 * noise(i, 1);
  }
  return A;
}

}  // namespace

TEST(QRSingular, DependentColumnsLeaveTheLeastSquaresFitOnTheOthers) {
  // The unknowns of the regular columns are the least-squares fit on those columns alone,
  // and the residual is orthogonal to every column but for the noise of column 6: the rows
  // the dependent columns would have taken stay in the fit of the later ones.
  const KelMatrix A = TwoDependentColumns();
  for (unsigned seed : {73u, 74u}) {
    const KelVector b = fact_test::RandomVector(40, seed);
    KelFactorizedQR F(A);
    KelVector x;
    const std::string text = CaptureOutput([&] { Solve(&F, b, &x); });
    EXPECT_EQ(text,
              "\nSingular matrix in QRDec for column 3\nSingular matrix in QRDec for column 6"
              "\nSingular matrix in QRSolution! for variable 6"
              "\nSingular matrix in QRSolution! for variable 3");
    const std::vector<long double> reference =
        fact_test::NormalEquations(WithoutColumns(A, {3, 6}), b);
    ASSERT_EQ(x.Size(), 7);
    EXPECT_EQ(x(3), 0.0);
    EXPECT_EQ(x(6), 0.0);
    const int kept[] = {1, 2, 4, 5, 7};
    for (int t = 0; t < 5; ++t)
      EXPECT_NEAR(x(kept[t]), static_cast<double>(reference[static_cast<size_t>(t)]),
                  1e-12 * (1.0 + std::fabs(static_cast<double>(reference[t]))))
          << "column " << kept[t];
    for (int j = 1; j <= 7; ++j) {
      long double gradient = 0.0L;
      for (int i = 1; i <= 40; ++i) {
        long double fitted = 0.0L;
        for (int c = 1; c <= 7; ++c) fitted += static_cast<long double>(A(i, c)) * x(c);
        gradient += A(i, j) * (b(i) - fitted);
      }
      // Column 6 differs from the span of the others by its 1e-9 noise, which the fit ignores.
      EXPECT_LT(std::fabs(static_cast<double>(gradient)), j == 6 ? 1e-8 : 1e-12) << "column " << j;
    }
  }
}

TEST(QRSingular, TransposeSolveWithDependentColumnsGivesTheLeastNormSolution) {
  // A consistent right-hand side (b = A^T x0): x satisfies every equation, the dependent ones
  // included, and lies in the span of the regular columns (the least-norm solution).
  const KelMatrix A = TwoDependentColumns();
  const KelVector x0 = fact_test::RandomVector(40, 75);
  KelVector b(7);
  for (int j = 1; j <= 7; ++j)
    for (int i = 1; i <= 40; ++i) b(j) += A(i, j) * x0(i);
  KelFactorizedQR F(A);
  KelVector x;
  const std::string text = CaptureOutput([&] { TransposeSolve(&F, b, &x); });
  EXPECT_EQ(text,
            "\nSingular matrix in QRDec for column 3\nSingular matrix in QRDec for column 6"
            "\nSingular matrix in QRTransposeSolution! for column 3"
            "\nSingular matrix in QRTransposeSolution! for column 6");
  ASSERT_EQ(x.Size(), 40);
  KelMatrix keptT = WithoutColumns(A, {3, 6});
  keptT.Transpose();
  const std::vector<long double> reference =
      fact_test::MinimumNorm(keptT, KelVector(5, b(1), b(2), b(4), b(5), b(7)));
  EXPECT_LT(fact_test::MaxDifference(x, reference), 1e-12);
  for (int j = 1; j <= 7; ++j) {
    long double sum = 0.0L;
    for (int i = 1; i <= 40; ++i) sum += static_cast<long double>(A(i, j)) * x(i);
    EXPECT_NEAR(static_cast<double>(sum), b(j), 1e-8 * (1.0 + std::fabs(b(j)))) << j;
  }
}

TEST(QRDiagonal, LastElementIsTheDistanceEvenAfterADependentColumn) {
  // Column 2 = 2 column 1; |d(3)| is column 3's distance from the span of column 1, found over
  // all rows (rows 2.. alone would give |(0, 3, 4)| = 5 after a sign change of row 2).
  KelMatrix A(4, 3, 1., 2., 1., 1., 2., 2., 0., 0., 3., 0., 0., 4.);
  KelFactorizedQR F(A);
  KelVector d;
  const std::string text = CaptureOutput([&] { F.GetDiagonal(&d); });
  EXPECT_EQ(text, "\nSingular matrix in QRDec for column 2");
  EXPECT_EQ(d(2), 0.0);
  // Column 3 minus its projection on (1, 1, 0, 0): (-0.5, 0.5, 3, 4), of length sqrt(25.5).
  EXPECT_NEAR(std::fabs(d(3)), std::sqrt(25.5), 1e-14);
}

TEST(QRDiagonal, LastElementIsDistanceOfLastColumnFromTheOthers) {
  KelMatrix A(4, 3, 1., 0., 1., 0., 1., 1., 0., 0., 3., 0., 0., 4.);
  KelFactorizedQR F(A);
  KelVector d;
  F.GetDiagonal(&d);
  EXPECT_NEAR(std::fabs(d(3)), 5.0, 1e-15);
  EXPECT_EQ(F.MatrixStatus(), 0);  // the matrix is kept
}

TEST(HouseholderConditionNumber, WithinFactorTenOfExactOneNormCondition) {
  for (int n : {4, 15, 40}) {
    KelMatrix A = fact_test::RandomMatrix(n, n, 500 + n);
    const double exact = static_cast<double>(fact_test::NormOne(fact_test::ToLong(A)) *
                                             fact_test::NormOne(fact_test::InverseLong(A)));
    KelFactorizedQR Q(A);
    KelFactorizedLQ L(A);
    EXPECT_GT(Q.ConditionNumber(), exact / 10);
    EXPECT_LT(Q.ConditionNumber(), exact * 10);
    EXPECT_GT(L.ConditionNumber(), exact / 10);
    EXPECT_LT(L.ConditionNumber(), exact * 10);
  }
}

TEST(HouseholderConditionNumber, NonSquareWarnsAndSingularGivesBigValue) {
  kelWarningMode = -1;
  KelFactorizedQR F(fact_test::RandomMatrix(5, 3, 1));
  EXPECT_EQ(F.ConditionNumber(), 0.0);
  kelWarningMode = 1;
  kelPrintMessages = 'N';
  KelFactorizedQR G(KelMatrix(2, 2, 1., 2., 2., 4.));
  EXPECT_EQ(G.ConditionNumber(), kelBigValue);
  KelFactorizedLQ L(KelMatrix(2, 2, 1., 2., 2., 4.));
  EXPECT_EQ(L.ConditionNumber(), kelBigValue);
  kelPrintMessages = 'Y';
}

TEST(HouseholderDeterminant, IncludesSignOfTheReflections) {
  KelMatrix swap(2, 2, 0., 1., 1., 0.);
  KelMatrix rotation(2, 2, 0.6, -0.8, 0.8, 0.6);
  KelMatrix hand(3, 3, 2., 1., 1., 4., -6., 0., -2., 7., 2.);
  KelMatrix identity(3, 3, 1., 0., 0., 0., 1., 0., 0., 0., 1.);
  KelFactorizedQR q1(swap), q2(rotation), q3(hand), q4(identity);
  KelFactorizedLQ l1(swap), l2(rotation), l3(hand), l4(identity);
  EXPECT_NEAR(q1.Determinant(), -1.0, 1e-15);
  EXPECT_NEAR(l1.Determinant(), -1.0, 1e-15);
  EXPECT_NEAR(q2.Determinant(), 1.0, 1e-15);
  EXPECT_NEAR(l2.Determinant(), 1.0, 1e-15);
  EXPECT_NEAR(q3.Determinant(), -16.0, 1e-13);
  EXPECT_NEAR(l3.Determinant(), -16.0, 1e-13);
  EXPECT_NEAR(q4.Determinant(), 1.0, 1e-15);
  EXPECT_NEAR(l4.Determinant(), 1.0, 1e-15);
}

TEST(LQSolve, MinimumNormSolutionMatchesIndependentFormula) {
  KelMatrix A = fact_test::RandomMatrix(4, 11, 51);
  KelVector b = fact_test::RandomVector(4, 52);
  std::vector<long double> reference = fact_test::MinimumNorm(A, b);
  KelFactorizedLQ F(A);
  Solve(&F, &b);
  ASSERT_EQ(b.Size(), 11);
  EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-13);
}

TEST(LQSolve, TransposeSolveIsLeastSquares) {
  KelMatrix A = fact_test::RandomMatrix(5, 30, 61);
  KelVector b = fact_test::RandomVector(30, 62);
  KelMatrix At = A;
  At.Transpose();
  std::vector<long double> reference = fact_test::NormalEquations(At, b);
  KelFactorizedLQ F(A);
  TransposeSolve(&F, &b);
  ASSERT_EQ(b.Size(), 5);
  EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-13);
}

TEST(LQSingular, DuplicatedRowIsSkippedAndTheNextRowsKeepThePivotColumn) {
  KelMatrix A = fact_test::RandomMatrix(4, 7, 71);
  for (int j = 1; j <= 7; ++j) A(3, j) = A(2, j);
  KelVector b = fact_test::RandomVector(4, 72);
  b(3) = b(2);
  KelMatrix reduced(3, 7);
  KelVector reducedB(3, b(1), b(2), b(4));
  for (int j = 1; j <= 7; ++j) {
    reduced(1, j) = A(1, j);
    reduced(2, j) = A(2, j);
    reduced(3, j) = A(4, j);
  }
  std::vector<long double> reference = fact_test::MinimumNorm(reduced, reducedB);
  KelFactorizedLQ F(A);
  std::string text = CaptureOutput([&] { Solve(&F, &b); });
  EXPECT_EQ(text, "\nSingular matrix in LQFactorization for row 3");
  EXPECT_LT(fact_test::MaxDifference(b, reference), 1e-13);
}

// Row 3 repeats row 2: its unknown is 0 and the others are the least-squares solution on the
// regular rows alone. Rows 4 and 5 come after the singular row, so their reflections start one
// column earlier than their index: the back substitution must read them there.
TEST(LQSingular, TransposeSolveAfterRepeatedRowIsLeastSquaresOnTheRegularRows) {
  KelMatrix A = fact_test::RandomMatrix(5, 9, 73);
  for (int j = 1; j <= 9; ++j) A(3, j) = A(2, j);
  const KelVector b = fact_test::RandomVector(9, 74);
  const int regular[] = {1, 2, 4, 5};
  KelMatrix reducedTransposed(9, 4);
  for (int j = 1; j <= 9; ++j)
    for (int k = 0; k < 4; ++k) reducedTransposed(j, k + 1) = A(regular[k], j);
  const std::vector<long double> reduced = fact_test::NormalEquations(reducedTransposed, b);
  std::vector<long double> reference(5, 0.0L);
  for (int k = 0; k < 4; ++k) reference[static_cast<size_t>(regular[k] - 1)] = reduced[k];
  KelFactorizedLQ F(A);
  KelVector x = b;
  const std::string text = CaptureOutput([&] { TransposeSolve(&F, &x); });
  EXPECT_EQ(text, "\nSingular matrix in LQFactorization for row 3");
  ASSERT_EQ(x.Size(), 5);
  EXPECT_EQ(x(3), 0.0);
  EXPECT_LT(fact_test::MaxDifference(x, reference), 1e-13);
}

TEST(HouseholderBadInput, WrongShapesAreFatal) {
  KelFactorizedQR Q(KelMatrix(2, 3));
  KelVector b2(2);
  EXPECT_KEL_FATAL(
      Solve(&Q, &b2),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Factorization QR\n2 x 3");
  KelFactorizedLQ L(KelMatrix(3, 2));
  KelVector b3(3);
  EXPECT_KEL_FATAL(
      Solve(&L, &b3),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Factorization LQ\n3 x 2");
}

TEST(HouseholderBadInput, NanAndInfinityDoNotCrash) {
  KelMatrix A = fact_test::RandomMatrix(6, 3, 81);
  A(2, 2) = std::nan("");
  A(4, 1) = HUGE_VAL;
  KelFactorizedQR F(A);
  KelVector b = fact_test::RandomVector(6, 82);
  kelPrintMessages = 'N';
  Solve(&F, &b);
  kelPrintMessages = 'Y';
  EXPECT_EQ(b.Size(), 3);
}
