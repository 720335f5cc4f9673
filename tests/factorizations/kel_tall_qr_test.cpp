// KelTallQR against the factorization it shares with KelFactorizedQR: R the same to the bit, Q^T y
// and Q X against Q rebuilt from the reflections in long double, and what the least-squares fit
// relies on: Q [U_R; 0] has orthonormal columns and reproduces A through R.
#include "factorizations/kel_tall_qr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "factorization_test_helpers.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

// Q (m x n, thin) from the reflections KelFactorizedQR stores, in long double.
class ThinQ : public KelFactorizedQR {
 public:
  using KelFactorizedQR::KelFactorizedQR;
  KelMatrix Q() {
    PrepSolve();
    const int m = Rows(), n = Columns();
    double** a = FactorRows();
    KelMatrix q(m, n);
    for (int j = 1; j <= n; ++j) {
      std::vector<long double> column(static_cast<size_t>(m) + 1, 0.0L);
      column[static_cast<size_t>(j)] = 1.0L;
      for (int k = n; k >= 1; --k) {
        long double s = 0.0L;
        for (int i = k; i <= m; ++i) s += a[i][k] * column[static_cast<size_t>(i)];
        for (int i = k; i <= m; ++i) column[static_cast<size_t>(i)] -= 2 * s * a[i][k];
      }
      for (int i = 1; i <= m; ++i) q(i, j) = static_cast<double>(column[static_cast<size_t>(i)]);
    }
    return q;
  }
  double Diagonal(int k) const { return diagonal[static_cast<size_t>(k)]; }
  double Above(int i, int j) { return FactorRows()[i][j]; }
};

struct Shape {
  int m, n;
};

class TallQRShapes : public ::testing::TestWithParam<Shape> {};

TEST_P(TallQRShapes, AgreesWithTheReflectionsOfTheHouseholderQR) {
  const int m = GetParam().m, n = GetParam().n;
  for (unsigned seed : {3u, 17u}) {
    const KelMatrix A =
        seed == 3u ? fact_test::RandomMatrix(m, n, seed) : fact_test::GradedMatrix(m, n, seed);
    ThinQ reference(A);
    const KelMatrix Q = reference.Q();
    KelMatrix copy(A);
    KelTallQR qr(&copy);
    EXPECT_EQ(copy.Rows(), 0);  // the storage was taken over
    const KelMatrix& R = qr.R();
    for (int i = 1; i <= n; ++i) {
      EXPECT_EQ(R(i, i), reference.Diagonal(i));
      for (int j = 1; j < i; ++j) EXPECT_EQ(R(i, j), 0.0);
      for (int j = i + 1; j <= n; ++j) EXPECT_EQ(R(i, j), reference.Above(i, j));
    }

    const KelVector y = fact_test::RandomVector(m, seed + 1);
    const KelVector head = qr.LeadingTransposedProduct(y);
    ASSERT_EQ(head.Size(), n);
    for (int i = 1; i <= n; ++i) {
      long double expected = 0.0L;
      for (int r = 1; r <= m; ++r) expected += static_cast<long double>(Q(r, i)) * y(r);
      EXPECT_NEAR(head(i), static_cast<double>(expected), 1e-13) << "component " << i;
    }

    const KelMatrix X = fact_test::RandomMatrix(n, n, seed + 2);
    const KelMatrix product = qr.TakeProduct(X);
    ASSERT_EQ(product.Rows(), m);
    ASSERT_EQ(product.Columns(), n);
    EXPECT_EQ(qr.Rows(), 0);
    for (int r = 1; r <= m; ++r)
      for (int c = 1; c <= n; ++c) {
        long double expected = 0.0L;
        for (int k = 1; k <= n; ++k) expected += static_cast<long double>(Q(r, k)) * X(k, c);
        EXPECT_NEAR(product(r, c), static_cast<double>(expected), 1e-13) << r << ", " << c;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TallQRShapes,
                         ::testing::Values(Shape{1, 1}, Shape{7, 7}, Shape{12, 5}, Shape{60, 3},
                                           Shape{200, 9}, Shape{40, 17}));

// An exactly zero column: R's diagonal element is 0, and Q still has orthonormal columns with
// Q R = A, which is what the left singular vectors of a rank-deficient fit rest on.
TEST(TallQR, ZeroColumnKeepsQOrthonormal) {
  const int m = 30, n = 4;
  KelMatrix A = fact_test::RandomMatrix(m, n, 5);
  for (int i = 1; i <= m; ++i) A(i, 3) = 0.0;
  KelMatrix copy(A);
  KelTallQR qr(&copy);
  EXPECT_EQ(qr.R()(3, 3), 0.0);
  const KelMatrix R = qr.R();
  KelMatrix identity(n, n);
  for (int i = 1; i <= n; ++i) identity(i, i) = 1.0;
  const KelMatrix Q = qr.TakeProduct(identity);
  for (int j = 1; j <= n; ++j)
    for (int k = 1; k <= n; ++k) {
      double dot = 0.0;
      for (int i = 1; i <= m; ++i) dot += Q(i, j) * Q(i, k);
      EXPECT_NEAR(dot, j == k ? 1.0 : 0.0, 1e-14) << j << ", " << k;
    }
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) {
      double sum = 0.0;
      for (int k = 1; k <= j; ++k) sum += Q(i, k) * R(k, j);
      EXPECT_NEAR(sum, A(i, j), 1e-14) << i << ", " << j;
    }
}

// Matrices of many rows go by blocks: R is the triangle of the one-block Householder QR up to
// the signs of its rows, Q [X; 0] has orthonormal columns when X is orthogonal and reproduces A
// through R, and Q^T y is U^T y for that Q.
TEST(TallQR, BlocksOfRowsGiveTheSameFactorization) {
  for (const Shape shape : {Shape{3 * KelTallQR::BlockRows(4) + 17, 4}, Shape{5000, 40}}) {
    const int m = shape.m, n = shape.n;
    ASSERT_GT(m, 2 * KelTallQR::BlockRows(n));
    const KelMatrix A = fact_test::GradedMatrix(m, n, 11);
    ThinQ reference(A);
    reference.Q();  // factorizes
    KelMatrix copy(A);
    KelTallQR qr(&copy);
    const KelMatrix R = qr.R();
    // Householder QR is accurate column by column: errors relative to the norm of each column.
    std::vector<double> columnNorm(static_cast<size_t>(n) + 1, 0.0);
    for (int j = 1; j <= n; ++j) {
      for (int i = 1; i <= m; ++i) columnNorm[j] += A(i, j) * A(i, j);
      columnNorm[j] = std::sqrt(columnNorm[j]);
    }
    for (int i = 1; i <= n; ++i) {
      const double sign = (R(i, i) < 0.0) == (reference.Diagonal(i) < 0.0) ? 1.0 : -1.0;
      EXPECT_NEAR(R(i, i), sign * reference.Diagonal(i), 1e-12 * columnNorm[i]);
      for (int j = 1; j < i; ++j) EXPECT_EQ(R(i, j), 0.0);
      for (int j = i + 1; j <= n; ++j)
        EXPECT_NEAR(R(i, j), sign * reference.Above(i, j), 1e-12 * columnNorm[j]) << i << ", " << j;
    }
    const KelVector y = fact_test::RandomVector(m, 12);
    const KelVector head = qr.LeadingTransposedProduct(y);
    KelMatrix identity(n, n);
    for (int i = 1; i <= n; ++i) identity(i, i) = 1.0;
    const KelMatrix Q = qr.TakeProduct(identity);
    ASSERT_EQ(Q.Rows(), m);
    for (int j = 1; j <= n; ++j) {
      long double projection = 0.0L;
      for (int i = 1; i <= m; ++i) projection += static_cast<long double>(Q(i, j)) * y(i);
      EXPECT_NEAR(head(j), static_cast<double>(projection), 1e-12) << j;
      for (int k = j; k <= n; ++k) {
        long double dot = 0.0L;
        for (int i = 1; i <= m; ++i) dot += static_cast<long double>(Q(i, j)) * Q(i, k);
        EXPECT_NEAR(static_cast<double>(dot), j == k ? 1.0 : 0.0, 1e-13) << j << ", " << k;
      }
    }
    for (int i = 1; i <= m; i += 97)
      for (int j = 1; j <= n; ++j) {
        long double sum = 0.0L;
        for (int k = 1; k <= j; ++k) sum += static_cast<long double>(Q(i, k)) * R(k, j);
        EXPECT_NEAR(static_cast<double>(sum), A(i, j), 1e-13 * columnNorm[j]) << i << ", " << j;
      }
  }
}

TEST(TallQR, WideMatrixAndWrongSizesAreFatal) {
  KelMatrix wide = fact_test::RandomMatrix(3, 4, 1);
  EXPECT_KEL_FATAL(KelTallQR qr(&wide),
                   "KelFactorized class\n\nDimension check failure\n\nFunction: KelTallQR\n3 x 4");
  KelMatrix tall = fact_test::RandomMatrix(6, 2, 1);
  KelTallQR qr(&tall);
  EXPECT_KEL_FATAL(qr.LeadingTransposedProduct(KelVector(5)),
                   "KelFactorized class\n\nDimension check failure\n\nFunction: "
                   "LeadingTransposedProduct\n6 x 2 and size 5");
  EXPECT_KEL_FATAL(
      qr.TakeProduct(KelMatrix(3, 3)),
      "KelFactorized class\n\nDimension check failure\n\nFunction: TakeProduct\n6 x 2 and 3 x 3");
}

}  // namespace
