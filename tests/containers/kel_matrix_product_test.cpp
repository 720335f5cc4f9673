#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "containers/kel_dense_kernel.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

// A matrix whose element (i, j) is non-zero exactly when (i * 37 + j * 11) % 100 falls below
// the given percentage, so the share of non-zeros is controlled to the element.
KelMatrix withNonZeroShare(int rows, int columns, int percent, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  KelMatrix M(rows, columns);
  int cell = 0;
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= columns; ++j, ++cell)
      if (cell % 100 < percent) M(i, j) = value(generator);
  return M;
}

KelMatrix randomMatrix(int rows, int columns, unsigned seed) {
  return withNonZeroShare(rows, columns, 100, seed);
}

// Reference product in long double with the plain triple loop.
long double referenceElement(const KelMatrix& A, const KelMatrix& B, int i, int j) {
  long double sum = 0.0L;
  for (int k = 1; k <= A.Columns(); ++k) sum += static_cast<long double>(A(i, k)) * B(k, j);
  return sum;
}

// Element (i, j) summed in one chain in ascending k, zeros skipped, each term rounded as the
// product kernel rounds it at the level in use: fused multiply-add where the processor has
// it, product then sum on the portable path. Both product paths must give exactly this.
double chainElement(const KelMatrix& A, const KelMatrix& B, int i, int j) {
  const bool fused = KelFusedMultiplyAddInUse();
  double sum = 0.0;
  for (int k = 1; k <= A.Columns(); ++k) {
    if (A(i, k) == 0.0 || B(k, j) == 0.0) continue;
    sum = fused ? std::fma(A(i, k), B(k, j), sum) : sum + A(i, k) * B(k, j);
  }
  return sum;
}

// Runs body once per instruction set level the processor offers and puts the widest back.
template <typename Body>
void forEachKernelLevel(Body body) {
  for (int l = 0; l <= static_cast<int>(KelSupportedKernelLevel()); ++l) {
    KelSetDenseKernelLevel(static_cast<KelKernelLevel>(l));
    body(l);
  }
  KelSetDenseKernelLevel(KelSupportedKernelLevel());
}

bool bitwiseEqual(const KelMatrix& A, const KelMatrix& B) {
  if (A.Rows() != B.Rows() || A.Columns() != B.Columns()) return false;
  for (int i = 1; i <= A.Rows(); ++i)
    for (int j = 1; j <= A.Columns(); ++j)
      if (std::memcmp(&A.RowPointers()[i][j], &B.RowPointers()[i][j], sizeof(double)) != 0)
        return false;
  return true;
}

}  // namespace

TEST(MatrixProduct, SmallProductByHand) {
  KelMatrix A(2, 3, 1., 2., 3., 4., 5., 6.);
  KelMatrix B(3, 2, 7., 8., 9., 10., 11., 12.);
  KelMatrix C;
  Product(A, B, C);
  ASSERT_EQ(C.Rows(), 2);
  ASSERT_EQ(C.Columns(), 2);
  EXPECT_EQ(C(1, 1), 58.0);
  EXPECT_EQ(C(1, 2), 64.0);
  EXPECT_EQ(C(2, 1), 139.0);
  EXPECT_EQ(C(2, 2), 154.0);
  KelMatrix D;
  ProductT(A, KelMatrix(2, 3, 7., 9., 11., 8., 10., 12.), D);
  EXPECT_TRUE(bitwiseEqual(C, D));
  EXPECT_KEL_FATAL(
      Product(A, A, C),
      "KelMatrix class\n\nDimension check failure\n\nOperator: Product\n2 x 3 and 2 x 3");
}

TEST(MatrixProduct, AliasedResultMatchesDistinctResult) {
  const KelMatrix A0 = randomMatrix(7, 7, 1);
  const KelMatrix B0 = randomMatrix(7, 7, 2);
  KelMatrix distinct;
  Product(A0, B0, distinct);
  KelMatrix A(A0);
  Product(A, B0, A);
  EXPECT_TRUE(bitwiseEqual(A, distinct));
  KelMatrix B(B0);
  Product(A0, B, B);
  EXPECT_TRUE(bitwiseEqual(B, distinct));
  KelMatrix S(A0);
  KelMatrix square;
  Product(A0, A0, square);
  Product(S, S, S);
  EXPECT_TRUE(bitwiseEqual(S, square));
}

TEST(MatrixProduct, SparseAndDensePathsSumEachElementInOneAscendingChain) {
  // 29 % non-zeros takes the sparse path, 31 % the dense one; each must give every element
  // as the single chain of terms in ascending k, at every instruction set level.
  const KelMatrix A = randomMatrix(40, 50, 3);
  const KelMatrix sparse = withNonZeroShare(50, 60, 29, 4);
  const KelMatrix dense = withNonZeroShare(50, 60, 31, 4);
  forEachKernelLevel([&](int level) {
    KelMatrix viaSparse, viaDense;
    Product(A, sparse, viaSparse);
    Product(A, dense, viaDense);
    for (const auto* pair : {&viaSparse, &viaDense}) {
      const KelMatrix& B = pair == &viaSparse ? sparse : dense;
      int mismatches = 0;
      for (int i = 1; i <= 40; ++i)
        for (int j = 1; j <= 60; ++j) mismatches += (*pair)(i, j) != chainElement(A, B, i, j);
      EXPECT_EQ(mismatches, 0) << "level " << level;
    }
  });
}

TEST(MatrixProduct, RightFactorsOf29And31PercentGiveIdenticalResults) {
  // B29 holds 2900 non-zeros of 10000 (sparse path); B31 adds 200 non-zeros in rows 99 and
  // 100, which meet only zeros of A, so it takes the dense path while describing the same
  // product. Both paths add the terms of each element in ascending k with the same
  // rounding: identical bits, at every instruction set level.
  const int n = 100;
  KelMatrix A = randomMatrix(30, n, 7);
  for (int i = 1; i <= 30; ++i) A(i, 99) = A(i, 100) = 0.0;
  std::vector<int> cells(98 * n);
  for (int c = 0; c < 98 * n; ++c) cells[c] = c;
  std::mt19937 generator(8);
  std::shuffle(cells.begin(), cells.end(), generator);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  KelMatrix B29(n, n);
  for (int t = 0; t < 2900; ++t) B29(cells[t] / n + 1, cells[t] % n + 1) = value(generator);
  KelMatrix B31(B29);
  for (int j = 1; j <= n; ++j) B31(99, j) = B31(100, j) = 1.0 + j;
  forEachKernelLevel([&](int level) {
    KelMatrix viaSparse, viaDense;
    Product(A, B29, viaSparse);
    Product(A, B31, viaDense);
    EXPECT_TRUE(bitwiseEqual(viaSparse, viaDense)) << "level " << level;
    for (int i = 1; i <= 30; ++i)
      for (int j = 1; j <= n; ++j) ASSERT_EQ(viaSparse(i, j), chainElement(A, B29, i, j));
  });
}

TEST(MatrixProduct, DenseKernelBlocksAndEdgeTilesAgreeWithReferences) {
  // Shapes that cross every block boundary of the kernel: more than 256 terms per element
  // (two runs of k), more than 96 rows (two row blocks), more than 2048 columns (two column
  // panels), and sizes that leave partial register tiles at every level.
  const int shapes[][3] = {{13, 300, 17}, {100, 40, 33}, {3, 7, 2100}, {25, 1, 9}};
  unsigned seed = 50;
  for (const auto& s : shapes) {
    const KelMatrix A = randomMatrix(s[0], s[1], ++seed);
    const KelMatrix B = randomMatrix(s[1], s[2], ++seed);
    forEachKernelLevel([&](int level) {
      KelMatrix C;
      Product(A, B, C);
      int chainMismatches = 0;
      double worst = 0.0;
      for (int i = 1; i <= s[0]; ++i)
        for (int j = 1; j <= s[2]; ++j) {
          chainMismatches += C(i, j) != chainElement(A, B, i, j);
          long double magnitude = 0.0L;
          for (int k = 1; k <= s[1]; ++k) magnitude += std::fabs(A(i, k) * B(k, j));
          const double error =
              static_cast<double>(std::fabs(C(i, j) - referenceElement(A, B, i, j)) / magnitude);
          worst = std::max(worst, error);
        }
      EXPECT_EQ(chainMismatches, 0) << s[0] << "x" << s[1] << "x" << s[2] << " level " << level;
      // Rounding of a sum of n terms: at most about n units of 2^-53 relative to sum |a b|.
      EXPECT_LT(worst, s[1] * 1.2e-16) << s[0] << "x" << s[1] << "x" << s[2];
    });
  }
}

TEST(MatrixProduct, DenseProductAgreesWithLongDoubleReference) {
  const int sizes[][3] = {{1, 1, 1}, {3, 5, 2}, {17, 9, 33}, {65, 130, 70}, {5, 600, 3}};
  unsigned seed = 10;
  for (const auto& s : sizes) {
    const KelMatrix A = randomMatrix(s[0], s[1], ++seed);
    KelMatrix B = randomMatrix(s[1], s[2], ++seed);
    // Scatter zeros in A so that the four-at-a-time sweep and the single steps both run.
    KelMatrix Az(A);
    for (int i = 1; i <= s[0]; ++i)
      for (int k = 1; k <= s[1]; k += 3) Az(i, k) = 0.0;
    for (const KelMatrix* left : std::initializer_list<const KelMatrix*>{&A, &Az}) {
      KelMatrix C;
      Product(*left, B, C);
      for (int i = 1; i <= s[0]; ++i)
        for (int j = 1; j <= s[2]; ++j)
          EXPECT_NEAR(C(i, j), static_cast<double>(referenceElement(*left, B, i, j)), 1e-13 * s[1]);
    }
  }
}

TEST(MatrixProduct, ZerosOfTheLeftFactorAreSkippedEvenAgainstInfinities) {
  KelMatrix A(1, 2, 0., 1.);
  KelMatrix B(2, 1, HUGE_VAL, 2.);
  KelMatrix C;
  Product(A, B, C);
  EXPECT_EQ(C(1, 1), 2.0);  // 0 x inf is never formed
  // The same on the sparse path: 2 non-zeros of 10 in B.
  KelMatrix Asparse(2, 5, 0., 1., 0., 0., 0., 1., 1., 0., 0., 0.);
  KelMatrix Bsparse(5, 2);
  Bsparse(1, 1) = HUGE_VAL;
  Bsparse(2, 1) = 3.0;
  Product(Asparse, Bsparse, C);
  EXPECT_EQ(C(1, 1), 3.0);
  EXPECT_EQ(C(2, 1), HUGE_VAL);
  EXPECT_EQ(C(1, 2), 0.0);
  EXPECT_FALSE(std::signbit(C(1, 2)));
}

TEST(MatrixProduct, SparsePathBlocksOfRowsAndRemainderAgreeWithChainSums) {
  // 11 rows: one block of eight and three single rows; zeros in A meet finite B.
  KelMatrix A = randomMatrix(11, 30, 21);
  for (int i = 1; i <= 11; ++i) A(i, i) = 0.0;
  const KelMatrix B = withNonZeroShare(30, 9, 12, 22);
  forEachKernelLevel([&](int level) {
    KelMatrix C;
    Product(A, B, C);
    for (int i = 1; i <= 11; ++i)
      for (int j = 1; j <= 9; ++j) EXPECT_EQ(C(i, j), chainElement(A, B, i, j)) << level;
  });
}
