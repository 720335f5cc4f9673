#include <cmath>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

void expectMatrix(const KelMatrix& A, int rows, int columns, std::initializer_list<double> values) {
  ASSERT_EQ(A.Rows(), rows);
  ASSERT_EQ(A.Columns(), columns);
  auto it = values.begin();
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= columns; ++j) EXPECT_EQ(A(i, j), *it++) << "(" << i << ", " << j << ")";
}

}  // namespace

TEST(MatrixConstruction, ValueListFillsRowByRow) {
  KelMatrix A(2, 3, 1., 2., 3., 4., 5., 6.);
  expectMatrix(A, 2, 3, {1, 2, 3, 4, 5, 6});
  // Rows follow each other without gaps in one block.
  const double* block = A.Data();
  for (int k = 0; k < 6; ++k) EXPECT_EQ(block[k], k + 1.0);
  EXPECT_EQ(A.RowPointers()[2] + 1, block + 3);
  KelMatrix empty(0, 5);
  EXPECT_EQ(empty.Rows(), 0);
  EXPECT_EQ(empty.Columns(), 0);
  EXPECT_EQ(empty.Data(), nullptr);
}

TEST(MatrixConstruction, WrongValueCountAndOverflowingSizesAreFatal) {
  EXPECT_KEL_FATAL(
      KelMatrix(2, 2, 1., 2., 3.),
      "KelMatrix class\n\nDimension check failure\n\nConstructor: KelMatrix\n2 x 2 and size 3");
  const char* noRoom = "KelMatrix class\n\nNo room in heap\n\nFunction: Initialize";
  EXPECT_KEL_FATAL(KelMatrix(100000, 100000), noRoom);
  EXPECT_KEL_FATAL(KelMatrix(2147483647, 2), noRoom);
  EXPECT_KEL_FATAL(KelMatrixSymmetric(70000, 70000),
                   "KelMatrixSymmetric class\n\nNo room in heap\n\nFunction: Initialize");
  EXPECT_KEL_FATAL(KelMatrixLeft(70000, 70000),
                   "KelMatrixLeft class\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(MatrixConstruction, CopyMoveAndAssignmentKeepNumbers) {
  KelMatrix A(2, 2, 1., 2., 3., 4.);
  KelMatrix B(A);
  expectMatrix(B, 2, 2, {1, 2, 3, 4});
  EXPECT_NE(B.GetSerialNumber(), A.GetSerialNumber());
  KelMatrix C(3, 1);
  const int serial = C.GetSerialNumber();
  C = A;
  expectMatrix(C, 2, 2, {1, 2, 3, 4});
  EXPECT_EQ(C.GetSerialNumber(), serial);
  C = 2.5;
  expectMatrix(C, 2, 2, {2.5, 2.5, 2.5, 2.5});
  C = 0.0;
  expectMatrix(C, 2, 2, {0, 0, 0, 0});
  const int created = KelMatrix::counter.createdCount;
  KelMatrix D = A * B;
  EXPECT_EQ(KelMatrix::counter.createdCount, created + 1);
  expectMatrix(D, 2, 2, {7, 10, 15, 22});
}

TEST(MatrixAccess, IndicesOutsideAreFatalWithOperationName) {
  KelMatrix A(2, 3);
  const std::string head = "KelMatrix class\n\nIndex out of range\n";
  EXPECT_KEL_FATAL(A(3, 1), head + "\nOperator: ()\nindex (3, 1), valid (1..2, 1..3)");
  EXPECT_KEL_FATAL(A(1, 0), head + "\nOperator: ()\nindex (1, 0), valid (1..2, 1..3)");
  EXPECT_KEL_FATAL(A.GetValue(0, 1),
                   head + "\nFunction: GetValue\nindex (0, 1), valid (1..2, 1..3)");
  EXPECT_KEL_FATAL(A.GetRow(3), head + "\nFunction: GetRow\nindex 3, valid 1..2");
  EXPECT_KEL_FATAL(A.GetColumn(0), head + "\nFunction: GetColumn\nindex 0, valid 1..3");
  EXPECT_KEL_FATAL(A.GetColumn(4), head + "\nFunction: GetColumn\nindex 4, valid 1..3");
  EXPECT_KEL_FATAL(A.SetRow(1, KelVector(2)), head + "\nFunction: SetRow\n2 x 3 and size 2");
  EXPECT_KEL_FATAL(A.SetColumn(1, KelVector(3)), head + "\nFunction: SetColumn\n2 x 3 and size 3");
  EXPECT_KEL_FATAL(A.SetColumn(4, 1.0), head + "\nFunction: SetColumn\nindex 4, valid 1..3");
  double mean, norm;
  EXPECT_KEL_FATAL(A.NormalizeColumn(4, &mean, &norm),
                   head + "\nFunction: NormalizeColumn\nindex 4, valid 1..3");
}

TEST(MatrixAccess, RowsAndColumnsReadAndWrite) {
  KelMatrix A(2, 3, 1., 2., 3., 4., 5., 6.);
  KelVector row = A.GetRow(2);
  EXPECT_TRUE(row == KelVector(3, 4., 5., 6.));
  KelVector column;
  A.GetColumn(3, column);
  EXPECT_TRUE(column == KelVector(2, 3., 6.));
  A.SetRow(1, KelVector(3, -1., -2., -3.));
  A.SetColumn(2, KelVector(2, 9., 8.));
  A.SetColumn(3, 0.5);
  expectMatrix(A, 2, 3, {-1, 9, 0.5, 4, 8, 0.5});
}

TEST(MatrixReshape, TransposeSquareAndRectangular) {
  KelMatrix S(2, 2, 1., 2., 3., 4.);
  S.Transpose();
  expectMatrix(S, 2, 2, {1, 3, 2, 4});
  KelMatrix R(2, 3, 1., 2., 3., 4., 5., 6.);
  const int serial = R.GetSerialNumber();
  R.Transpose();
  expectMatrix(R, 3, 2, {1, 4, 2, 5, 3, 6});
  EXPECT_EQ(R.GetSerialNumber(), serial);
}

TEST(MatrixReshape, RemoveAndSwapIgnoreInvalidIndices) {
  KelMatrix A(3, 3, 1., 2., 3., 4., 5., 6., 7., 8., 9.);
  A.RemoveColumn(0);
  A.RemoveRow(4);
  A.SwapColumns(1, 4);
  expectMatrix(A, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  A.RemoveRow(2);
  expectMatrix(A, 2, 3, {1, 2, 3, 7, 8, 9});
  A.RemoveColumn(1);
  expectMatrix(A, 2, 2, {2, 3, 8, 9});
  A.SwapColumns(1, 2);
  expectMatrix(A, 2, 2, {3, 2, 9, 8});
  KelMatrix single(1, 1, 5.);
  single.RemoveRow(1);
  EXPECT_EQ(single.Rows(), 0);
  EXPECT_EQ(single.Data(), nullptr);
}

TEST(MatrixReshape, MaxAbsInRowAndColumnTakeFirstOccurrence) {
  KelMatrix A(3, 3, 1., -7., 7., 4., 0., -2., -4., 3., 1.);
  int where = 0;
  EXPECT_EQ(A.MaxAbsInRow(1, &where), 7.0);
  EXPECT_EQ(where, 2);
  EXPECT_EQ(A.MaxAbsInColumn(1, &where), 4.0);
  EXPECT_EQ(where, 2);
}

TEST(MatrixReshape, NormalizeColumnCentresThenScales) {
  KelMatrix A(3, 2, 1., 5., 2., 5., 3., 5.);
  double mean = 0, norm = 0;
  A.NormalizeColumn(1, &mean, &norm);
  EXPECT_EQ(mean, 2.0);
  EXPECT_DOUBLE_EQ(norm, std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(A(1, 1), -1.0 / std::sqrt(2.0));
  EXPECT_EQ(A(2, 1), 0.0);
  A.NormalizeColumn(2, &mean, &norm);  // constant column: mean returned, norm 0, column all 0
  EXPECT_EQ(mean, 5.0);
  EXPECT_EQ(norm, 0.0);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(A(i, 2), 0.0);
  KelMatrix B(2, 2, 3., 0., 4., 0.);
  B.NormalizeColumns();
  expectMatrix(B, 2, 2, {0.6, 0, 0.8, 0});
}

TEST(MatrixReshape, RowAndColumnScalingCheckSizes) {
  KelMatrix A(2, 2, 1., 2., 3., 4.);
  A.ScaleRows(KelVector(2, 2., -1.));
  expectMatrix(A, 2, 2, {2, 4, -3, -4});
  A.ScaleColumns(KelVector(2, 0.5, 0.25));
  expectMatrix(A, 2, 2, {1, 1, -1.5, -1});
  const std::string text = "KelMatrix class\n\nDimension check failure\n\nFunction: InsertRow\n";
  EXPECT_KEL_FATAL(A.ScaleRows(KelVector(3)), text + "2 x 2 and size 3");
  EXPECT_KEL_FATAL(A.ScaleColumns(KelVector(1)), text + "2 x 2 and size 1");
}

TEST(MatrixBalance, TallScalesColumnsWideScalesRowsWithRightHandSide) {
  KelMatrix tall(3, 2, 2., -8., 1., 4., -4., 2.);
  KelVector rowScale, columnScale;
  tall.Balance(KelVector(3), rowScale, columnScale);
  EXPECT_TRUE(columnScale == KelVector(2, 0.25, 0.125));
  EXPECT_TRUE(rowScale == KelVector(3, 1., 1., 1.));
  expectMatrix(tall, 3, 2, {0.5, -1, 0.25, 0.5, -1, 0.25});
  KelMatrix wide(2, 3, 1., 2., 0., 0., 0., 0.);
  wide.Balance(KelVector(2, 4., 0.), rowScale, columnScale);
  EXPECT_TRUE(rowScale ==
              KelVector(2, 0.25, 0.));  // the right-hand side counts; a zero row keeps 0
  EXPECT_TRUE(columnScale == KelVector(3, 1., 1., 1.));
  expectMatrix(wide, 2, 3, {0.25, 0.5, 0, 0, 0, 0});
}

TEST(MatrixBalance, SquareScalesRowsThenColumns) {
  KelMatrix A(2, 2, 2., 1., 8., 4.);
  KelVector rowScale, columnScale;
  A.Balance(KelVector(2, 1., 16.), rowScale, columnScale);
  // Rows: max(2, 1, |1|) = 2 and max(8, 4, 16) = 16; then columns of the row-scaled matrix
  // (1, 0.5) and (0.5, 0.25) have maxima 1 and 0.5.
  EXPECT_TRUE(rowScale == KelVector(2, 0.5, 0.0625));
  EXPECT_TRUE(columnScale == KelVector(2, 1., 2.));
  expectMatrix(A, 2, 2, {1, 1, 0.5, 0.5});
}

TEST(MatrixArithmetic, AccumulateAndOuterProduct) {
  KelMatrix A(2, 2, 1., 2., 3., 4.);
  A += A;
  expectMatrix(A, 2, 2, {2, 4, 6, 8});
  A += KelMatrix(2, 2, 1., 1., 1., 1.);
  expectMatrix(A, 2, 2, {3, 5, 7, 9});
  EXPECT_KEL_FATAL(A += KelMatrix(2, 3),
                   "KelMatrix class\n\nDimension check failure\n\nOperator: +=\n2 x 2 and 2 x 3");
  KelMatrix M(5, 5);
  OuterProduct(KelVector(2, 1., 2.), KelVector(3, 1., 0., -1.), M);
  expectMatrix(M, 2, 3, {1, 0, -1, 2, 0, -2});
}

TEST(MatrixPrint, PrintsRowMajorWithIndices) {
  KelMatrix A(2, 3, 1., 2., 3., 4., 5., 6.);
  std::string text = CaptureOutput([&] { A.PrintObject(); });
  std::string expected =
      "\nKelMatrix No." + std::to_string(A.GetSerialNumber()) + "\nrows 2 columns 3\n";
  expected +=
      "    1     1       1.00000000000000e+00\n"
      "    1     2       2.00000000000000e+00\n"
      "    1     3       3.00000000000000e+00\n"
      "    2     1       4.00000000000000e+00\n"
      "    2     2       5.00000000000000e+00\n"
      "    2     3       6.00000000000000e+00\n";
  EXPECT_EQ(text, expected);
}
