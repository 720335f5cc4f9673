// The product kernel on its own: blocks of larger matrices reached through permuted row
// tables, both roundings and both signs, at every instruction set level of this processor.
#include "containers/kel_dense_kernel.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "kel_test_support.h"

namespace {

// A rows x columns block of doubles in [-1, 1) with a row table in a shuffled order, as the
// Gauss elimination leaves its rows after exchanges.
struct Block {
  std::vector<double> values;
  std::vector<double*> rows;
  Block(int rowCount, int columnCount, unsigned seed) : values(size_t(rowCount) * columnCount) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (double& v : values) v = uniform(generator);
    for (int i = 0; i < rowCount; ++i) rows.push_back(values.data() + size_t(i) * columnCount);
    std::shuffle(rows.begin(), rows.end(), generator);
  }
};

// c + sum of sign * a * b over k in ascending order, each term rounded as stated.
double chain(double c, const double* const* aRows, int i, int aColumn, double sign,
             const double* const* bRows, int bColumn, int j, int depth, bool fused) {
  for (int k = 0; k < depth; ++k) {
    const double a = sign * aRows[i][aColumn + k];
    const double b = bRows[k][bColumn + j];
    c = fused ? std::fma(a, b, c) : c + a * b;
  }
  return c;
}

template <typename Body>
void forEachKernelLevel(Body body) {
  for (int l = 0; l <= static_cast<int>(KelSupportedKernelLevel()); ++l) {
    ASSERT_EQ(KelSetDenseKernelLevel(static_cast<KelKernelLevel>(l)), KelKernelLevel(l));
    body(l);
  }
  KelSetDenseKernelLevel(KelSupportedKernelLevel());
}

}  // namespace

TEST(DenseKernel, BlockUpdateEqualsTheAscendingChainAndLeavesTheRestAlone) {
  // C rows 0..m-1, columns 5..5+p-1 of a wider matrix receive -A(:, 3..3+n-1) B(2.., 4..).
  const int m = 29, n = 300, p = 23;
  const Block A(m, n + 7, 1), B(n + 2, p + 9, 2);
  forEachKernelLevel([&](int level) {
    for (KelRounding rounding : {KelRounding::kSeparate, KelRounding::kFused}) {
      for (double sign : {1.0, -1.0}) {
        Block C(m, p + 11, 3);
        const std::vector<double> before = C.values;
        std::vector<const double*> bRows(B.rows.begin() + 2, B.rows.end());
        KelDenseMultiplyAdd(m, n, p, A.rows.data(), 3, sign, bRows.data(), 4, C.rows.data(), 5,
                            rounding);
        const bool fused = rounding == KelRounding::kFused && KelFusedMultiplyAddInUse();
        int mismatches = 0, touchedOutside = 0;
        for (int i = 0; i < m; ++i)
          for (int j = 0; j < p + 11; ++j) {
            const size_t cell = size_t(C.rows[i] - C.values.data()) + j;
            if (j < 5 || j >= 5 + p) {
              touchedOutside += C.values[cell] != before[cell];
              continue;
            }
            const double expected =
                chain(before[cell], A.rows.data(), i, 3, sign, bRows.data(), 4, j - 5, n, fused);
            mismatches += C.values[cell] != expected;
          }
        EXPECT_EQ(mismatches, 0) << "level " << level << " sign " << sign;
        EXPECT_EQ(touchedOutside, 0) << "level " << level;
      }
    }
  });
}

TEST(DenseKernel, LevelsAreLimitedToWhatTheProcessorSupports) {
  const KelKernelLevel supported = KelSupportedKernelLevel();
  EXPECT_EQ(KelSetDenseKernelLevel(KelKernelLevel::kAvx512), supported);
  EXPECT_EQ(KelDenseKernelLevel(), supported);
  EXPECT_EQ(KelSetDenseKernelLevel(KelKernelLevel::kPortable), KelKernelLevel::kPortable);
  EXPECT_FALSE(KelFusedMultiplyAddInUse());
  KelSetDenseKernelLevel(supported);
  EXPECT_EQ(KelFusedMultiplyAddInUse(), supported != KelKernelLevel::kPortable);
}

TEST(DenseKernel, EmptyDimensionsChangeNothing) {
  Block A(3, 3, 4), B(3, 3, 5), C(3, 3, 6);
  const std::vector<double> before = C.values;
  KelDenseMultiplyAdd(0, 3, 3, A.rows.data(), 0, 1.0, B.rows.data(), 0, C.rows.data(), 0,
                      KelRounding::kFused);
  KelDenseMultiplyAdd(3, 0, 3, A.rows.data(), 0, 1.0, B.rows.data(), 0, C.rows.data(), 0,
                      KelRounding::kFused);
  KelDenseMultiplyAdd(3, 3, 0, A.rows.data(), 0, 1.0, B.rows.data(), 0, C.rows.data(), 0,
                      KelRounding::kFused);
  EXPECT_EQ(C.values, before);
}
