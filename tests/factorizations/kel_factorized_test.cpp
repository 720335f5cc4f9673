// Lifecycle of KelFactorized (loading, preparation, element access, scaled solve, printing),
// observed through the Gauss factorization.
#include <string>

#include "factorization_test_helpers.h"
#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

class CountingGauss : public KelFactorizedGauss {
 public:
  using KelFactorizedGauss::operator=;
  int factorizations = 0;

 protected:
  void Factorization() override {
    ++factorizations;
    KelFactorizedGauss::Factorization();
  }
};

const KelMatrix kSystem(2, 2, 2., 1., 1., 3.);  // solution of kSystem x = (3, 4) is (1, 1)

}  // namespace

TEST(FactorizedLifecycle, ConditionNumberThenSolveFactorizesOnce) {
  CountingGauss F;
  F = kSystem;
  EXPECT_FALSE(F.IsFactorized());
  F.ConditionNumber();
  EXPECT_TRUE(F.IsFactorized());
  EXPECT_EQ(F.MatrixStatus(), 0);
  KelVector b(2, 3., 4.);
  Solve(&F, &b);
  EXPECT_EQ(F.factorizations, 1);
  EXPECT_EQ(F.MatrixStatus(), 1);
  EXPECT_NEAR(b(1), 1.0, 1e-15);
  EXPECT_NEAR(b(2), 1.0, 1e-15);
}

TEST(FactorizedLifecycle, SolveDestroysMatrixAndElementAccessIsFatal) {
  CountingGauss F;
  F = kSystem;
  KelVector b(2, 3., 4.);
  Solve(&F, &b);
  EXPECT_EQ(F.MatrixStatus(), 1);
  EXPECT_EQ(F.Norm(), 4.0);
  EXPECT_KEL_FATAL(F(1, 1) = 5.0, "KelFactorized class\nKelMatrix Destroyed");
  EXPECT_EQ(CaptureOutput([&] { F.PrintObject(); }),
            "\nKelFactorized No." + std::to_string(F.GetSerialNumber()) + "\nKelMatrix Destroyed");
}

TEST(FactorizedLifecycle, ElementAccessAfterConditionNumberForcesRefactorization) {
  CountingGauss F;
  F = kSystem;
  const double before = F.ConditionNumber();
  F(1, 2) = 0.0;  // now lower triangular [[2, 0], [1, 3]]
  EXPECT_EQ(F.MatrixStatus(), 2);
  KelVector b(2, 2., 4.);
  Solve(&F, &b);
  EXPECT_EQ(F.factorizations, 2);
  EXPECT_NEAR(b(1), 1.0, 1e-15);
  EXPECT_NEAR(b(2), 1.0, 1e-15);
  EXPECT_EQ(F.Norm(), 4.0);
  EXPECT_GT(before, 0.0);
}

TEST(FactorizedLifecycle, ElementAccessThenConditionNumberRefactorizesAndKeepsMatrix) {
  CountingGauss F;
  F = kSystem;
  F.ConditionNumber();
  F(2, 1) = 0.0;
  F(1, 2) = 0.0;
  F(2, 2) = 2.0;  // 2 I: condition exactly 1, while the loaded matrix had more
  EXPECT_DOUBLE_EQ(F.ConditionNumber(), 1.0);
  EXPECT_EQ(F.factorizations, 2);
  EXPECT_EQ(F.MatrixStatus(), 0);
}

TEST(FactorizedLifecycle, AssignMatrixResetsStateAndKeepsSerialNumber) {
  CountingGauss F;
  const int serial = F.GetSerialNumber();
  F = kSystem;
  KelVector b(2, 3., 4.);
  Solve(&F, &b);
  F.AssignMatrix(KelMatrix(1, 1, 4.));
  EXPECT_FALSE(F.IsFactorized());
  EXPECT_EQ(F.MatrixStatus(), 0);
  EXPECT_EQ(F.Rows(), 1);
  EXPECT_EQ(F.GetSerialNumber(), serial);
  KelVector c(1, 2.);
  Solve(&F, &c);
  EXPECT_EQ(c(1), 0.5);
}

TEST(FactorizedLifecycle, SerialNumbersComeFromTheClassCounter) {
  const int before = KelFactorized::counter.createdCount;
  const int alive = KelFactorized::counter.aliveCount;
  {
    KelFactorizedGauss F;
    EXPECT_EQ(F.GetSerialNumber(), before + 1);
    EXPECT_EQ(KelFactorized::counter.aliveCount, alive + 1);
  }
  EXPECT_EQ(KelFactorized::counter.aliveCount, alive);
}

TEST(FactorizedLifecycle, MoveMatrixIntoFactorizedLeavesSourceEmpty) {
  KelMatrix A = kSystem;
  KelFactorizedGauss F;
  MoveMatrixIntoFactorized(&A, &F);
  EXPECT_EQ(A.Rows(), 0);
  EXPECT_EQ(A.Columns(), 0);
  EXPECT_EQ(F.Rows(), 2);
  KelVector b(2, 3., 4.);
  Solve(&F, &b);
  EXPECT_NEAR(b(1), 1.0, 1e-15);
}

TEST(FactorizedLifecycle, SolveScaledGivesMatrixBackUnchangedAndSolves) {
  // Badly scaled rows and columns; the balanced solve still gives the exact solution.
  KelMatrix A(3, 3, 1e8, 2., 0., 3e8, 1e-6, 4., 0., 5e-6, 6.);
  const KelMatrix original = A;
  KelVector x(3, 1., 2e6, -1.);
  KelVector b(3);
  Product(A, x, b);
  KelFactorizedGauss F;
  F.SolveScaled(&A, &b);
  ASSERT_EQ(A.Rows(), 3);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(A(i, j), original(i, j));
  EXPECT_NEAR(b(1), 1.0, 1e-12);
  EXPECT_NEAR(b(2), 2e6, 1e-6);
  EXPECT_NEAR(b(3), -1.0, 1e-12);
}

TEST(FactorizedLifecycle, ScaledNormalEquationsSolveAtAdEqualsG) {
  // A (4 x 2, columns of very different size): A^T A = [[4, 10e3], [10e3, 30e6]], det 20e6,
  // so d = [[30e6, -10e3], [-10e3, 4]] g / 20e6 = (0.5, 0) for g = (2, 5e3).
  KelMatrix A(4, 2, 1., 1e3, 1., 2e3, 1., 3e3, 1., 4e3);
  KelVector b(4, 1., 2., 3., 4.);
  KelFactorizedSVD F;
  F.SolveScaled(&A, &b);
  KelVector g(2, 2., 5e3);
  F.SolveScaledNormalEquations(&g);
  ASSERT_EQ(g.Size(), 2);
  EXPECT_NEAR(g(1), 0.5, 1e-14);
  EXPECT_NEAR(g(2), 0.0, 1e-17);
}

TEST(FactorizedLifecycle, ScaledNormalEquationsNeedASolveScaledFirst) {
  KelFactorizedSVD F(KelMatrix(3, 2, 1., 0., 0., 1., 1., 1.));
  KelVector g(2, 1., 1.);
  EXPECT_KEL_FATAL(F.SolveScaledNormalEquations(&g),
                   "KelFactorized class\n\nSolveScaledNormalEquations needs the factorization "
                   "of a SolveScaled");
  KelMatrix A(3, 2, 1., 0., 0., 1., 1., 1.);
  KelVector b(3, 1., 2., 3.);
  F.SolveScaled(&A, &b);
  KelVector wrong(3);
  EXPECT_KEL_FATAL(F.SolveScaledNormalEquations(&wrong),
                   "KelFactorized class\n\nDimension check failure\n\nFunction: "
                   "SolveScaledNormalEquations\n3 x 2 and size 3");
}

TEST(FactorizedLifecycle, PrintObjectShowsLoadedMatrix) {
  KelFactorizedGauss F(KelMatrix(1, 2, 1.5, -2.));
  const std::string expected =
      "\nKelFactorized No." + std::to_string(F.GetSerialNumber()) +
      "\nrows 1 columns 2\n   1.50000000000000e+00  -2.00000000000000e+00\n";
  EXPECT_EQ(CaptureOutput([&] { F.PrintObject(); }), expected);
}

TEST(FactorizedBadInput, WrongVectorSizesAreFatal) {
  KelFactorizedGauss F(kSystem);
  KelVector b(3);
  EXPECT_KEL_FATAL(
      Solve(&F, &b),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Solve\n2 x 2 and size 3");
  EXPECT_KEL_FATAL(TransposeSolve(&F, &b),
                   "KelFactorized class\n\nDimension check failure\n\nFunction: TransposeSolve\n2 "
                   "x 2 and size 3");
  KelMatrix B(3, 1);
  EXPECT_KEL_FATAL(
      Solve(&F, &B),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Solve\n2 x 2 and 3 x 1");
}

TEST(FactorizedBadInput, ElementOutOfRangeIsFatal) {
  KelFactorizedGauss F(kSystem);
  EXPECT_KEL_FATAL(
      F(3, 1) = 1.0,
      "KelFactorized class\n\nDimension check failure\nindex (3, 1), valid (1..2, 1..2)");
}
