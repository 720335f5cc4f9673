// Large matrices are eliminated in panels with the trailing update done by the product
// kernel. These tests hold the panel order to the column-by-column elimination written out
// below from the documented steps: same pivot rows, same factors to the last bit, same
// messages, on every instruction set the processor offers.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "containers/kel_dense_kernel.h"
#include "factorization_test_helpers.h"
#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

class GaussProbe : public KelFactorizedGauss {
 public:
  using KelFactorizedGauss::KelFactorizedGauss;
  void Factorize() { PrepSolve(); }
  double Factor(int i, int j) { return FactorRows()[i][j]; }
  int Pivot(int k) const { return pivots[k]; }
};

// The documented elimination, step by step, on a plain copy: scale factors from the row
// maxima, pivot search with the 0.9 margin, multipliers as a(i, k) times the reciprocal of
// the pivot, rows with a zero a(i, k) skipped.
struct ReferenceLu {
  std::vector<std::vector<double>> rows;  // 1-based, rows in pivoted order
  std::vector<int> pivots;
  std::string messages;
};

ReferenceLu ReferenceElimination(const KelMatrix& A) {
  const int n = A.Rows();
  ReferenceLu lu;
  lu.rows.assign(n + 1, std::vector<double>(n + 1, 0.0));
  lu.pivots.assign(n + 1, 0);
  std::vector<double> scale(n + 1);
  for (int i = 1; i <= n; ++i) {
    double largest = 0.0;
    for (int j = 1; j <= n; ++j) {
      lu.rows[i][j] = A(i, j);
      largest = std::max(largest, std::fabs(A(i, j)));
    }
    scale[i] = 1.0 / (largest == 0.0 ? kelBigValue : largest);
  }
  auto& a = lu.rows;
  for (int k = 1; k < n; ++k) {
    int winner = k;
    double best = 0.0;
    for (int i = k + 1; i <= n; ++i) {
      const double candidate = std::fabs(scale[i] * a[i][k]);
      if (candidate > best) {
        best = candidate;
        winner = i;
      }
    }
    lu.pivots[k] = k;
    if (best == 0.0) {
      if (a[k][k] == 0.0) lu.messages += "\nSingular: row = " + std::to_string(k);
      continue;
    }
    if (std::fabs(scale[k] * a[k][k]) < 0.9 * best) {
      std::swap(a[k], a[winner]);
      std::swap(scale[k], scale[winner]);
      lu.pivots[k] = winner;
    }
    const double reciprocal = 1.0 / a[k][k];
    for (int i = k + 1; i <= n; ++i) {
      if (a[i][k] == 0.0) continue;
      const double m = a[i][k] * reciprocal;
      a[i][k] = m;
      for (int j = k + 1; j <= n; ++j) a[i][j] -= m * a[k][j];
    }
  }
  lu.pivots[n] = n;
  return lu;
}

// Compares pivots, every factor element bit for bit and the printed messages.
void ExpectSameAsReference(const KelMatrix& A, const std::string& what) {
  const ReferenceLu reference = ReferenceElimination(A);
  GaussProbe F(A);
  const std::string messages = CaptureOutput([&] { F.Factorize(); });
  EXPECT_EQ(messages, reference.messages) << what;
  const int n = A.Rows();
  int differentPivots = 0, differentFactors = 0;
  for (int k = 1; k <= n; ++k) differentPivots += F.Pivot(k) != reference.pivots[k];
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      const double got = F.Factor(i, j);
      differentFactors += std::memcmp(&got, &reference.rows[i][j], sizeof got) != 0;
    }
  EXPECT_EQ(differentPivots, 0) << what;
  EXPECT_EQ(differentFactors, 0) << what;
}

std::vector<KelKernelLevel> SupportedLevels() {
  std::vector<KelKernelLevel> levels;
  for (int l = 0; l <= static_cast<int>(KelSupportedKernelLevel()); ++l)
    levels.push_back(static_cast<KelKernelLevel>(l));
  return levels;
}

// Runs body once per instruction set level and puts the widest level back.
template <typename Body>
void ForEachKernelLevel(Body body) {
  for (KelKernelLevel level : SupportedLevels()) {
    KelSetDenseKernelLevel(level);
    body("level " + std::to_string(static_cast<int>(level)));
  }
  KelSetDenseKernelLevel(KelSupportedKernelLevel());
}

}  // namespace

TEST(GaussBlocked, PivotsAndFactorsEqualColumnByColumnOnRandomAndGradedMatrices) {
  ForEachKernelLevel([](const std::string& level) {
    // 70 is just above the order from which panels are used; neither is a multiple of the
    // panel width, so the last panel is a partial one.
    for (int n : {70, 300}) {
      ExpectSameAsReference(fact_test::RandomMatrix(n, n, 40 + n), level + " random");
      ExpectSameAsReference(fact_test::GradedMatrix(n, n, 41 + n), level + " graded columns");
      KelMatrix rowsGraded = fact_test::RandomMatrix(n, n, 42 + n);
      for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) rowsGraded(i, j) *= std::pow(10.0, (i * 7 % 17) - 8);
      ExpectSameAsReference(rowsGraded, level + " graded rows");
    }
  });
}

TEST(GaussBlocked, DiagonallyDominantMatrixKeepsItsRowOrder) {
  // Each diagonal element is the largest of its column by far: every step keeps its row.
  KelMatrix A = fact_test::RandomMatrix(200, 200, 77);
  for (int i = 1; i <= 200; ++i) A(i, i) = 300.0;
  GaussProbe F(A);
  F.Factorize();
  for (int k = 1; k <= 200; ++k) ASSERT_EQ(F.Pivot(k), k);
  ExpectSameAsReference(A, "dominant");
}

TEST(GaussBlocked, ZeroColumnsInsidePanelsAreReportedAndSkipped) {
  // Columns 60 and 100 are zero: those steps eliminate nothing, which splits the panel's
  // trailing update into runs; the messages name the rows as column by column.
  KelMatrix A = fact_test::RandomMatrix(180, 180, 5);
  for (int i = 1; i <= 180; ++i) A(i, 60) = A(i, 100) = 0.0;
  ExpectSameAsReference(A, "zero columns");
  GaussProbe F(A);
  const std::string messages = CaptureOutput([&] { F.Factorize(); });
  EXPECT_EQ(messages, "\nSingular: row = 60\nSingular: row = 100");
  EXPECT_TRUE(F.IsSingular());
  EXPECT_EQ(F.Determinant(), 0.0);
}

TEST(GaussBlocked, SolvesLargeSystemToBackwardStableAccuracy) {
  // x = (1, 2, ..., n): the residual of the computed solution, relative to |A| |x|, is of the
  // order of the machine precision for a stable elimination.
  const int n = 400;
  const KelMatrix A = fact_test::RandomMatrix(n, n, 9);
  KelVector b(n);
  for (int i = 1; i <= n; ++i) {
    long double sum = 0;
    for (int j = 1; j <= n; ++j) sum += static_cast<long double>(A(i, j)) * j;
    b(i) = static_cast<double>(sum);
  }
  KelFactorizedGauss F(A);
  Solve(&F, &b);
  double worst = 0.0;
  for (int i = 1; i <= n; ++i) {
    long double residual = 0, size = 0;
    for (int j = 1; j <= n; ++j) {
      residual += static_cast<long double>(A(i, j)) * b(j);
      size += std::fabs(static_cast<long double>(A(i, j))) * j;
    }
    for (int j = 1; j <= n; ++j) residual -= static_cast<long double>(A(i, j)) * j;
    worst = std::max(worst, static_cast<double>(std::fabs(residual) / size));
  }
  EXPECT_LT(worst, 1e-14);
  EXPECT_GT(worst, 0.0);  // the solution is computed, not exact by construction
}

TEST(GaussBlocked, TridiagonalMatrixMatchesReferenceAndDeterminantRecurrence) {
  // A tridiagonal matrix (under 30 % non-zeros) with 1 on the diagonal and -1/4 beside it:
  // its leading minors follow d(k) = d(k-1) - d(k-2) / 16.
  const int n = 200;
  KelMatrix A(n, n);
  for (int i = 1; i <= n; ++i) {
    A(i, i) = 1.0;
    if (i > 1) A(i, i - 1) = -0.25;
    if (i < n) A(i, i + 1) = -0.25;
  }
  ExpectSameAsReference(A, "tridiagonal");
  long double previous = 1, current = 1;  // d(0), d(1)
  for (int k = 2; k <= n; ++k) {
    const long double next = current - previous / 16;
    previous = current;
    current = next;
  }
  KelFactorizedGauss F(A);
  EXPECT_NEAR(F.Determinant(), static_cast<double>(current), 1e-13 * static_cast<double>(current));
}
