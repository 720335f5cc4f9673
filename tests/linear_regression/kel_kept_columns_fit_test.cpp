// The fit on the columns a Householder QR keeps, and its judgment of which experiments leave the
// kept columns unchanged, against explicit QR refits without each experiment.
#include "linear_regression/kel_kept_columns_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "factorizations/kel_factorized_householder.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_output.h"

namespace {

struct Refit {
  int dropped = 0;  // columns the QR found singular
  double sumOfSquares = 0.0;
};

// The least-squares fit by KelFactorizedQR of every experiment but t (0: all of them).
Refit RefitWithout(const KelMatrix& F, const KelVector& y, int t) {
  const int m = F.Rows();
  const int n = F.Columns();
  const int rows = t == 0 ? m : m - 1;
  KelMatrix reduced(rows, n);
  KelVector reducedY(rows);
  for (int i = 1, row = 1; i <= m; ++i) {
    if (i == t) continue;
    for (int j = 1; j <= n; ++j) reduced(row, j) = F(i, j);
    reducedY(row++) = y(i);
  }
  const KelQuietMessages quiet;
  KelFactorizedQR qr(reduced);
  KelVector d;
  qr.GetDiagonal(&d);
  KelVector b;
  Solve(&qr, reducedY, &b);
  Refit refit;
  for (int j = 1; j <= n; ++j) refit.dropped += d(j) == 0.0;
  for (int i = 1; i <= rows; ++i) {
    double fitted = 0.0;
    for (int j = 1; j <= n; ++j) fitted += reduced(i, j) * b(j);
    refit.sumOfSquares += (reducedY(i) - fitted) * (reducedY(i) - fitted);
  }
  return refit;
}

// 40 x 5: an intercept and random columns, with column 4 made from twice column 3.
void MakeData(unsigned seed, KelMatrix* F, KelVector* y) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  const int m = 40;
  *F = KelMatrix(m, 5);
  *y = KelVector(m);
  for (int i = 1; i <= m; ++i) {
    (*F)(i, 1) = 1.0;
    (*F)(i, 2) = normal(random);
    (*F)(i, 3) = normal(random);
    (*F)(i, 4) = 2.0 * (*F)(i, 3);
    (*F)(i, 5) = normal(random);
    (*y)(i) = (*F)(i, 2) - (*F)(i, 3) + 0.5 * (*F)(i, 5) + 0.3 * normal(random);
  }
}

// Every experiment judged unchanged is refitted on the same columns, with the closed form's sum
// of squares; the ones judged changed are listed.
void ExpectJudgments(const KelMatrix& F, const KelVector& y, int rank,
                     const std::vector<int>& changed) {
  KeptColumnsFit fit;
  ASSERT_TRUE(FitKeptColumns(F, y, kelTenMachEpsFloat, &fit));
  EXPECT_EQ(fit.rank, rank);
  const Refit all = RefitWithout(F, y, 0);
  EXPECT_EQ(all.dropped, F.Columns() - rank);
  EXPECT_NEAR(fit.sumOfSquares, all.sumOfSquares, 1e-9 * all.sumOfSquares);
  for (int t = 1; t <= F.Rows(); ++t) {
    const bool listed = std::find(changed.begin(), changed.end(), t) != changed.end();
    EXPECT_EQ(fit.sameColumnsWithout[static_cast<size_t>(t)], listed ? 0 : 1) << "experiment " << t;
    const Refit without = RefitWithout(F, y, t);
    if (listed) {
      // The refit really keeps other columns.
      EXPECT_NE(without.dropped, all.dropped) << "experiment " << t;
      continue;
    }
    EXPECT_EQ(without.dropped, all.dropped) << "experiment " << t;
    const double residual = fit.residuals[static_cast<size_t>(t)];
    const double closedForm =
        fit.sumOfSquares - residual * residual / (1.0 - fit.leverages[static_cast<size_t>(t)]);
    EXPECT_NEAR(closedForm, without.sumOfSquares, 1e-9 * all.sumOfSquares) << "experiment " << t;
  }
}

}  // namespace

TEST(KeptColumnsFit, ExactlyDependentColumnIsDroppedWithoutAnyExperiment) {
  KelMatrix F;
  KelVector y;
  MakeData(1, &F, &y);
  ExpectJudgments(F, y, 4, {});
}

TEST(KeptColumnsFit, ColumnIndependentThroughOneExperimentIsDroppedWithoutIt) {
  KelMatrix F;
  KelVector y;
  MakeData(2, &F, &y);
  F(17, 4) += 0.5;
  ExpectJudgments(F, y, 5, {17});
}

TEST(KeptColumnsFit, ColumnJustClearOfTheToleranceIsDroppedWithoutEitherOfItsTwoExperiments) {
  // Column 4 leaves the span of columns 1 .. 3 by 1e-6 of its norm at experiments 9 and 30:
  // sqrt(2) 1e-6 with both is above the tolerance (1.19e-6), 1e-6 without either is below it,
  // and neither experiment has a leverage near 1.
  KelMatrix F;
  KelVector y;
  MakeData(3, &F, &y);
  double norm = 0.0;
  for (int i = 1; i <= F.Rows(); ++i) norm += F(i, 4) * F(i, 4);
  F(9, 4) += 1e-6 * std::sqrt(norm);
  F(30, 4) += 1e-6 * std::sqrt(norm);
  ExpectJudgments(F, y, 5, {9, 30});
}

TEST(KeptColumnsFit, ZeroColumnStaysDropped) {
  KelMatrix F;
  KelVector y;
  MakeData(4, &F, &y);
  for (int i = 1; i <= F.Rows(); ++i) F(i, 4) = 0.0;
  ExpectJudgments(F, y, 4, {});
}
