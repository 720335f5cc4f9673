// The leave-one-out outlier test: its choice (index and best sum) equals that of refitting the
// model without every experiment in turn, on many random problems with gross outliers,
// high-leverage points, exact ties and exact fits, while needing only a few explicit refits.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "factorizations/kel_factorized_householder.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_output.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

// Residual sum of squares of the KelFactorizedQR fit of every experiment but t.
double RefitWithout(const KelMatrix& F, const KelVector& y, int t) {
  const int m = F.Rows();
  const int n = F.Columns();
  KelMatrix reduced(m - 1, n);
  KelVector reducedY(m - 1);
  for (int i = 1, row = 1; i <= m; ++i) {
    if (i == t) continue;
    for (int j = 1; j <= n; ++j) reduced(row, j) = F(i, j);
    reducedY(row) = y(i);
    ++row;
  }
  KelFactorizedQR qr;
  MoveMatrixIntoFactorized(&reduced, &qr);
  KelVector b;
  Solve(&qr, reducedY, &b);
  KelVector r(m - 1);
  for (int i = 1, row = 1; i <= m; ++i) {
    if (i == t) continue;
    double estimate = 0.0;
    for (int j = 1; j <= n; ++j) estimate += F(i, j) * b(j);
    r(row) = y(i) - estimate;
    ++row;
  }
  const double norm = r.Norm2();
  return norm * norm;
}

// The rule as documented: m Householder QR refits, strict comparison in index order.
void LiteralLeaveOneOut(const KelMatrix& F, const KelVector& y, double* best, int* bestIndex) {
  const KelQuietMessages quiet;
  *best = kelBigValue;
  *bestIndex = 0;
  for (int t = 1; t <= F.Rows(); ++t) {
    const double sum = RefitWithout(F, y, t);
    if (sum < *best) {
      *best = sum;
      *bestIndex = t;
    }
  }
}

// The verdict of the documented rule on the literal best sum: 2 highly probable outlier, 1
// probable outlier, 0 none (no assigned variance).
int LiteralVerdict(KelLinearRegression& regression, int m, int n, double best) {
  const int reducedDof = m - 1 - n;
  if (reducedDof <= 0) return 0;
  const double p = best / reducedDof;
  const double mse = regression.LeastSquaresFit().meanSquareError;
  return p < 0.5 * mse ? 2 : (p < 0.8 * mse ? 1 : 0);
}

int VerdictOf(KelLinearRegression& regression) {
  if (regression.HighlyProbableOutlier() != 0) return 2;
  return regression.ProbableOutlier() != 0 ? 1 : 0;
}

// The best sum is the refit's, or the closed form's within its bound of it (far below 1e-9 of
// the sums involved).
void ExpectBestSum(KelLinearRegression& regression, double best, int trial) {
  const double sum = regression.LeaveOneOutBestSumOfSquares();
  if (regression.LeastSquaresFit().leaveOneOutRefits > 0) {
    EXPECT_EQ(sum, best) << "trial " << trial;
  } else {
    EXPECT_NEAR(sum, best, 1e-9 * regression.LeastSquaresFit().sumOfSquares) << "trial " << trial;
  }
}

// The index, the best sum and the verdict of refitting every experiment.
void ExpectTheLiteralChoice(KelLinearRegression& regression, const KelMatrix& F, const KelVector& y,
                            int trial) {
  double best = 0.0;
  int bestIndex = 0;
  LiteralLeaveOneOut(F, y, &best, &bestIndex);
  ASSERT_EQ(regression.LeaveOneOutBestIndex(), bestIndex)
      << "trial " << trial << " m " << F.Rows() << " n " << F.Columns();
  ExpectBestSum(regression, best, trial);
  EXPECT_EQ(VerdictOf(regression), LiteralVerdict(regression, F.Rows(), F.Columns(), best))
      << "trial " << trial;
}

enum Kind { kPlain, kOutliers, kLeverage, kOutliersAndLeverage, kDuplicates, kExactFit, kKinds };

void MakeProblem(std::mt19937_64& random, Kind kind, KelMatrix* F, KelVector* y) {
  std::uniform_int_distribution<int> parameters(1, 6);
  const int n = parameters(random);
  std::uniform_int_distribution<int> experiments(n + 2, 60);
  const int m = experiments(random);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::uniform_int_distribution<int> row(1, m);
  const bool intercept = random() % 2 == 0;
  F->Resize(m, n, false);
  y->Resize(m, false);
  for (int i = 1; i <= m; ++i) {
    double value = 0.0;
    for (int j = 1; j <= n; ++j) {
      (*F)(i, j) = (j == 1 && intercept) ? 1.0 : normal(random) * std::pow(10.0, j - 3);
      value += (*F)(i, j) * (j + 0.5);
    }
    (*y)(i) = kind == kExactFit ? value : value + 0.3 * normal(random);
  }
  if (kind == kOutliers || kind == kOutliersAndLeverage) {
    const int count = 1 + static_cast<int>(random() % 3);
    for (int k = 0; k < count; ++k) (*y)(row(random)) += (random() % 2 ? 1 : -1) * (6.0 + 30.0 * k);
  }
  if (kind == kLeverage || kind == kOutliersAndLeverage) {
    const int count = 1 + static_cast<int>(random() % 2);
    for (int k = 0; k < count; ++k) {
      const int i = row(random);
      for (int j = intercept ? 2 : 1; j <= n; ++j) (*F)(i, j) *= 50.0;
    }
  }
  if (kind == kDuplicates) {
    // Exact copies of a row: removing either copy leaves the same matrix, an exact tie.
    const int source = row(random);
    const int target = row(random);
    if (source != target) {
      for (int j = 1; j <= n; ++j) (*F)(target, j) = (*F)(source, j);
      (*y)(target) = (*y)(source);
    }
    (*y)(source) += 8.0;
    (*y)(target) = (*y)(source);
  }
}

TEST(LeaveOneOut, FastChoiceEqualsRefittingEveryExperiment) {
  std::mt19937_64 random(777);
  int refits = 0;
  int problems = 0;
  for (int trial = 0; trial < 480; ++trial) {
    const Kind kind = static_cast<Kind>(trial % kKinds);
    KelMatrix F;
    KelVector y;
    MakeProblem(random, kind, &F, &y);
    // Constant responses of an intercept model are fatal in the fit: not a test of this rule.
    bool constant = true;
    for (int i = 2; i <= y.Size(); ++i) constant = constant && y(i) == y(1);
    if (constant) continue;
    KelLinearRegression regression(F, y);
    if (kind == kExactFit) {
      // Every sum without one experiment is rounding noise: no experiment stands out.
      EXPECT_EQ(regression.LeaveOneOutBestIndex(), 0) << "trial " << trial;
      EXPECT_EQ(VerdictOf(regression), 0) << "trial " << trial;
      EXPECT_EQ(regression.LeastSquaresFit().leaveOneOutRefits, 0) << "trial " << trial;
      continue;
    }
    ExpectTheLiteralChoice(regression, F, y, trial);
    refits += regression.LeastSquaresFit().leaveOneOutRefits;
    ++problems;
  }
  // Refits only for ties or near-ties and for verdicts at their thresholds.
  EXPECT_LT(refits, problems);
}

// Near-ties: a second outlier whose removal leaves almost (to 1e-13 .. 1e-7 relative) the sum
// of removing the first, in a row of high or ordinary leverage. Whichever way the explicit
// refits decide, the closed form with its error bounds must decide the same.
TEST(LeaveOneOut, NearTiesAndHighLeverageChooseAsTheRefits) {
  std::mt19937_64 random(4242);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (int trial = 0; trial < 120; ++trial) {
    const int n = 2 + trial % 4;
    const int m = n + 8 + trial % 37;
    KelMatrix F(m, n);
    KelVector y(m);
    for (int i = 1; i <= m; ++i) {
      F(i, 1) = 1.0;
      for (int j = 2; j <= n; ++j) F(i, j) = normal(random);
      y(i) = F(i, n) + 0.2 * normal(random);
    }
    const int a = 1 + trial % m;
    const int b = 1 + (trial * 7 + 3) % m;
    if (a == b) continue;
    if (trial % 3 == 0)
      for (int j = 2; j <= n; ++j) F(b, j) = 8.0 * F(a, j);  // b a high-leverage point
    else
      for (int j = 2; j <= n; ++j) F(b, j) = -F(a, j);  // b mirrors a
    y(a) += 10.0;
    y(b) = y(a);
    const double nudge = std::pow(10.0, -13.0 + (trial % 7));
    y(b) *= 1.0 + (trial % 2 == 0 ? nudge : -nudge);
    double best = 0.0;
    int bestIndex = 0;
    LiteralLeaveOneOut(F, y, &best, &bestIndex);
    KelLinearRegression regression(F, y);
    ASSERT_EQ(regression.LeaveOneOutBestIndex(), bestIndex) << "trial " << trial;
    ExpectBestSum(regression, best, trial);
    EXPECT_EQ(VerdictOf(regression), LiteralVerdict(regression, m, n, best)) << "trial " << trial;
  }
}

TEST(LeaveOneOut, ExactTieGoesToTheLowestIndex) {
  // Rows 3 and 6 are the same experiment, far off the line through the others.
  KelMatrix F(8, 2);
  KelVector y(8);
  const double x[8] = {1, 2, 3, 4, 5, 3, 7, 8};
  for (int i = 1; i <= 8; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = x[i - 1];
    y(i) = 2.0 + 0.5 * x[i - 1] + 0.01 * ((i * 7) % 5);
  }
  y(3) = y(6) = 9.0;
  KelLinearRegression regression(F, y);
  EXPECT_EQ(regression.LeaveOneOutBestIndex(), 3);
}

// Points exactly on a line (to rounding): no outlier is named and nothing is refitted, where
// the refits of every experiment would name whichever rounding error happened to be largest.
TEST(LeaveOneOut, ExactLineHasNoOutlier) {
  const int m = 2000;
  KelMatrix F(m, 2);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = 0.1 * i;
    y(i) = 3.0 - 0.7 * F(i, 2);
  }
  KelLinearRegression regression(F, y);
  EXPECT_EQ(regression.LeaveOneOutBestIndex(), 0);
  EXPECT_EQ(regression.LeastSquaresFit().leaveOneOutRefits, 0);
  EXPECT_EQ(regression.HighlyProbableOutlier(), 0);
  EXPECT_EQ(regression.ProbableOutlier(), 0);
  const std::string report = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  EXPECT_EQ(report.find("outlier"), std::string::npos);
  // A single real deviation far above rounding is still found.
  y(1234) += 1e-6;
  KelLinearRegression deviating(F, y);
  EXPECT_EQ(deviating.LeaveOneOutBestIndex(), 1234);
  EXPECT_EQ(deviating.HighlyProbableOutlier(), 1234);
}

TEST(LeaveOneOut, OrdinaryDataNeedOnlyAFewRefits) {
  std::mt19937_64 random(99);
  std::normal_distribution<double> normal(0.0, 1.0);
  const int m = 2000;
  const int n = 6;
  KelMatrix F(m, n);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    F(i, 1) = 1.0;
    for (int j = 2; j <= n; ++j) F(i, j) = normal(random);
    y(i) = F(i, 2) - 2.0 * F(i, 3) + normal(random);
  }
  y(700) += 40.0;
  KelLinearRegression regression(F, y);
  EXPECT_EQ(regression.LeaveOneOutBestIndex(), 700);
  // One gross outlier wins beyond doubt: the closed form decides without a refit.
  EXPECT_EQ(regression.LeastSquaresFit().leaveOneOutRefits, 0);
  EXPECT_EQ(regression.HighlyProbableOutlier() + regression.ProbableOutlier(), 700);
}

// Dependent columns of the kinds met in practice: a multiple of another column, the dummy-
// variable trap (an intercept and an indicator for every group), a zero column, a column
// within the tolerance of the span of the others, a column that is dependent except at one
// experiment (so that leaving that experiment out changes which columns the refit keeps), and
// one that leaves the span at two experiments by just enough to be kept (without either of them
// it is dependent, though neither has a leverage near 1); the first of those is an outlier.
enum Deficiency {
  kMultiple,
  kDummyTrap,
  kZeroColumn,
  kNearlyDependent,
  kDependentButOne,
  kDependentButTwo,
  kCount
};

void MakeRankDeficient(std::mt19937_64& random, Deficiency kind, KelMatrix* F, KelVector* y) {
  std::uniform_int_distribution<int> parameters(3, 6);
  const int n = parameters(random);
  std::uniform_int_distribution<int> experiments(n + 3, 60);
  const int m = experiments(random);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::uniform_int_distribution<int> row(1, m);
  F->Resize(m, n, false);
  y->Resize(m, false);
  for (int i = 1; i <= m; ++i) {
    (*F)(i, 1) = 1.0;
    for (int j = 2; j <= n; ++j) (*F)(i, j) = normal(random);
  }
  const int target = 2 + static_cast<int>(random() % (n - 1));  // the dependent column
  const int other = target == 2 ? 3 : 2;
  for (int i = 1; i <= m; ++i) {
    double& value = (*F)(i, target);
    switch (kind) {
      case kMultiple:
        value = -3.0 * (*F)(i, other);
        break;
      case kDummyTrap:  // columns 2 .. n: one indicator each, the intercept their sum
        for (int j = 2; j <= n; ++j) (*F)(i, j) = (i % (n - 1)) + 2 == j ? 1.0 : 0.0;
        break;
      case kZeroColumn:
        value = 0.0;
        break;
      case kNearlyDependent:
        value = 2.0 * (*F)(i, other) + 1e-9 * normal(random);
        break;
      default:
        value = 2.0 * (*F)(i, other);
        break;
    }
  }
  if (kind == kDependentButOne) (*F)(row(random), target) += 1.0 + normal(random);
  const int first = row(random);
  if (kind == kDependentButTwo) {
    // 1e-6 of the norm at each: sqrt(2) 1e-6 from the span, 1e-6 without either, about the
    // tolerance (1.19e-6) apart.
    double norm = 0.0;
    for (int i = 1; i <= m; ++i) norm += (*F)(i, target) * (*F)(i, target);
    const int second = first % m + 1;
    (*F)(first, target) += 1e-6 * std::sqrt(norm);
    (*F)(second, target) += 1e-6 * std::sqrt(norm);
  }
  for (int i = 1; i <= m; ++i) {
    double value = 0.0;
    for (int j = 1; j <= n; ++j) value += (*F)(i, j) * (j - 2.5);
    (*y)(i) = value + 0.3 * normal(random);
  }
  if (kind == kDependentButTwo) (*y)(first) += 10.0;
  const int count = static_cast<int>(random() % 3);
  for (int k = 0; k < count; ++k) (*y)(row(random)) += (random() % 2 ? 1 : -1) * (4.0 + 20.0 * k);
}

TEST(LeaveOneOut, DependentColumnsChooseAsTheRefitsWithFewRefits) {
  std::mt19937_64 random(2024);
  int refits = 0;
  int problems = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const Deficiency kind = static_cast<Deficiency>(trial % kCount);
    KelMatrix F;
    KelVector y;
    MakeRankDeficient(random, kind, &F, &y);
    KelLinearRegression regression(F, y);
    ExpectTheLiteralChoice(regression, F, y, trial);
    refits += regression.LeastSquaresFit().leaveOneOutRefits;
    ++problems;
  }
  // Refitting every experiment would take some 9,000 refits here; a column dependent but at one
  // experiment needs that experiment refitted.
  EXPECT_LT(refits, 2 * problems);
}

TEST(LeaveOneOut, DummyVariableTrapOnManyExperimentsNeedsNoRefitPerExperiment) {
  // 20,000 experiments, an intercept and an indicator for each of four groups: refitting each
  // experiment would take 20,000 factorizations of the whole data.
  std::mt19937_64 random(7);
  std::normal_distribution<double> normal(0.0, 1.0);
  const int m = 20000;
  KelMatrix F(m, 6);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    F(i, 1) = 1.0;
    F(i, 2 + i % 4) = 1.0;
    F(i, 6) = normal(random);
    y(i) = 1.0 + 0.5 * (i % 4) + F(i, 6) + normal(random);
  }
  y(12345) += 30.0;
  KelLinearRegression regression(F, y);
  EXPECT_EQ(regression.LeaveOneOutBestIndex(), 12345);
  EXPECT_LE(regression.LeastSquaresFit().leaveOneOutRefits, 1);
  // The sum is that of the one refit without experiment 12345 (column 5 dropped as dependent).
  double sum = 0.0;
  const std::string notes = kel_test::CaptureOutput([&] { sum = RefitWithout(F, y, 12345); });
  EXPECT_EQ(
      notes,
      "\nSingular matrix in QRDec for column 5\nSingular matrix in QRSolution! for variable 5");
  EXPECT_NEAR(regression.LeaveOneOutBestSumOfSquares(), sum, 1e-9 * sum);
  EXPECT_LT(sum, regression.LeastSquaresFit().sumOfSquares - 500.0);
}

// A sum without the best experiment placed right at the threshold of the highly probable
// verdict: the closed form cannot decide the verdict within its bound, so the winner is
// refitted and the verdict is the refit's.
TEST(LeaveOneOut, VerdictAtItsThresholdIsDecidedByTheRefit) {
  const int m = 40;
  KelMatrix F(m, 2);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = i;
    y(i) = 1.0 + 0.5 * i + 0.3 * std::sin(3.7 * i);
  }
  // Find by bisection the outlier size d at experiment 17 where p = 0.5 MSE exactly.
  auto ratio = [&](double d) {
    KelVector shifted = y;
    shifted(17) += d;
    KelLinearRegression regression(F, shifted);
    const double p = regression.LeaveOneOutBestSumOfSquares() / (m - 1 - 2);
    return p / regression.LeastSquaresFit().meanSquareError;
  };
  double low = 0.5;
  double high = 20.0;
  for (int step = 0; step < 200 && high - low > 0.0; ++step) {
    const double middle = 0.5 * (low + high);
    if (middle == low || middle == high) break;
    (ratio(middle) < 0.5 ? high : low) = middle;
  }
  KelVector shifted = y;
  shifted(17) += high;
  KelLinearRegression regression(F, shifted);
  ASSERT_EQ(regression.LeaveOneOutBestIndex(), 17);
  EXPECT_GE(regression.LeastSquaresFit().leaveOneOutRefits, 1);
  double best = 0.0;
  int bestIndex = 0;
  LiteralLeaveOneOut(F, shifted, &best, &bestIndex);
  EXPECT_EQ(regression.LeaveOneOutBestSumOfSquares(), best);
  EXPECT_EQ(VerdictOf(regression), LiteralVerdict(regression, m, 2, best));
}

}  // namespace

// With an assigned variance V the outlier test runs only when the reduced mean square p exceeds
// sqrt(V), not V (intended; docs/developers.md): for p below 1, a V between p^2 and p skips the
// test that a V below p^2 runs.
TEST(LeaveOneOut, AssignedVarianceGatesTheTestBySquareRoot) {
  const int m = 20;
  KelMatrix F(m, 2);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = i;
    y(i) = 1.0 + 2.0 * i + 0.1 * std::sin(7.0 * i);
  }
  y(5) += 3.0;
  KelLinearRegression plain(F, y);
  ASSERT_EQ(plain.HighlyProbableOutlier(), 5);
  const double p = plain.LeaveOneOutBestSumOfSquares() / (m - 1 - 2);
  ASSERT_LT(p, 1.0);
  KelLinearRegression gated(F, y);
  gated.SetResponseVariance(std::pow(p, 1.5), 10);
  EXPECT_EQ(gated.HighlyProbableOutlier(), 0);
  EXPECT_EQ(gated.ProbableOutlier(), 0);
  KelLinearRegression tested(F, y);
  tested.SetResponseVariance(std::pow(p, 2.5), 10);
  EXPECT_EQ(tested.HighlyProbableOutlier(), 5);
}
