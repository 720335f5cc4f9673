#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

TEST(MatrixPacked, ThreeByThreeBlockHoldsSevenDoublesWithRowsPacked) {
  KelMatrixSymmetric S(3, 3);
  EXPECT_EQ(S.BlockSize(), 7);
  S(3, 1) = 31.0;
  EXPECT_EQ(S.Data() + 3, &S.RowPointers()[3][1]);  // (3, 1) at block index 4
  EXPECT_EQ(S.Data()[3], 31.0);
  KelMatrixLeft L(3, 3);
  EXPECT_EQ(L.BlockSize(), 7);
  EXPECT_EQ(L.RowPointers()[2] + 1, L.Data() + 1);  // (2, 1) at block index 2
}

TEST(MatrixSymmetric, MirroredIndicesReachTheSameElement) {
  KelMatrixSymmetric S(3, 3);
  S(1, 3) = 4.5;
  EXPECT_EQ(S(3, 1), 4.5);
  S(2, 2) = -1.0;
  KelMatrixSymmetric copy(S);
  EXPECT_EQ(copy(1, 3), 4.5);
  EXPECT_EQ(copy(2, 2), -1.0);
  EXPECT_KEL_FATAL(S(4, 1),
                   "KelMatrixSymmetric class\n\nIndex out of range\n\nOperator: ()\nindex (4, 1), "
                   "valid (1..3, 1..3)");
}

TEST(MatrixSymmetric, NonSquareIsFatal) {
  EXPECT_KEL_FATAL(
      KelMatrixSymmetric(1, 2),
      "KelMatrixSymmetric class\n\nDimension check failure\n\nFunction: Initialize\n1 x 2");
  KelMatrixSymmetric S;
  EXPECT_KEL_FATAL(
      S.ChangeDimensions(2, 3),
      "KelMatrixSymmetric class\n\nDimension check failure\n\nFunction: ChangeDimensions\n2 x 3");
  S.ChangeDimensions(2, 2);
  EXPECT_EQ(S.Rows(), 2);
  EXPECT_EQ(S(2, 1), 0.0);
}

TEST(MatrixSymmetric, PrintsTheFullSquare) {
  KelMatrixSymmetric S(2, 2);
  S(1, 1) = 1.0;
  S(2, 1) = 2.0;
  S(2, 2) = 3.0;
  std::string text = CaptureOutput([&] { S.PrintObject(); });
  EXPECT_EQ(text, "\nKelMatrixSymm No." + std::to_string(S.GetSerialNumber()) +
                      "\nrows 2 cols 2\n"
                      "   1.00000000000000e+00   2.00000000000000e+00\n"
                      "   2.00000000000000e+00   3.00000000000000e+00\n");
}

TEST(MatrixLeft, PrintsZerosAboveTheDiagonal) {
  KelMatrixLeft L(2, 2);
  L(1, 1) = 1.0;
  L(2, 1) = -2.0;
  L(2, 2) = 3.0;
  const KelMatrixLeft& view = L;
  EXPECT_EQ(view(1, 2), 0.0);
  std::string text = CaptureOutput([&] { L.PrintObject(); });
  EXPECT_EQ(text, "\nKelMatrixLeft No." + std::to_string(L.GetSerialNumber()) +
                      "\nrows 2 cols 2\n"
                      "   1.00000000000000e+00   0.00000000000000e+00\n"
                      "  -2.00000000000000e+00   3.00000000000000e+00\n");
}

TEST(MatrixLeft, ForwardSubstitutionSolves) {
  KelMatrixLeft L(3, 3);
  L(1, 1) = 2.0;
  L(2, 1) = 1.0;
  L(2, 2) = 4.0;
  L(3, 1) = -1.0;
  L(3, 2) = 2.0;
  L(3, 3) = 0.5;
  // x = (1, -1, 2): b = (2, 1 - 4, -1 - 2 + 1) = (2, -3, -2).
  KelVector b(3, 2., -3., -2.);
  Solve(L, b);
  EXPECT_TRUE(b == KelVector(3, 1., -1., 2.));
  KelVector zero(3);
  Solve(L, zero);
  EXPECT_TRUE(zero == KelVector(3));
  KelVector leading(3, 0., 4., 4.);  // x1 = 0 kept, x2 = 1, x3 = (4 - 2) / 0.5
  Solve(L, leading);
  EXPECT_TRUE(leading == KelVector(3, 0., 1., 4.));
  EXPECT_KEL_FATAL(
      Solve(L, zero = KelVector(2)),
      "KelMatrixLeft class\n\nDimension check failure\n\nFunction: Solve\n3 x 3 and size 2");
}

TEST(MatrixLeft, ZeroPivotGivesZeroComponentAndOneNote) {
  KelMatrixLeft L(3, 3);
  L(1, 1) = 1.0;
  L(2, 1) = 1.0;
  L(3, 1) = 1.0;
  L(3, 2) = 1.0;
  L(3, 3) = 2.0;
  KelVector b(3, 1., 5., 7.);
  std::string text = CaptureOutput([&] { Solve(L, b); });
  EXPECT_EQ(text, "KelMatrixLeft class\nSingular KelMatrix");
  EXPECT_TRUE(b == KelVector(3, 1., 0., 3.));  // x3 = (7 - 1 - 0) / 2
  kelPrintMessages = 'N';
  KelVector quiet(3, 1., 5., 7.);
  EXPECT_EQ(CaptureOutput([&] { Solve(L, quiet); }), "");
  kelPrintMessages = 'Y';
}
