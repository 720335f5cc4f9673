// Fatal messages of the containers: KelVector, KelMatrix, KelVectorInt, the symmetric and
// lower-triangular matrices, the sparse matrix and KelSave.
#include <climits>
#include <cstdio>

#include "fatal_walk.h"
#include "kel_test_support.h"
#include "kelmath.h"

// ---- KelVector ----

TEST(FatalKelVector, ListOfTheWrongLength) {
  EXPECT_KEL_FATAL(
      KelVector(3, 1., 2.),
      "KelVector class\n\nDimension check failure\n\nConstructor: KelVector\nsizes 3 and 2");
}

TEST(FatalKelVector, GetValueOutOfRange) {
  KelVector v(2);
  EXPECT_KEL_FATAL(
      v.GetValue(3),
      "KelVector class\n\nIndex out of range\n\nFunction: GetValue\nindex 3, valid 1..2");
}

TEST(FatalKelVector, ElementOutOfRange) {
  KelVector v(2);
  EXPECT_KEL_FATAL(v(0) = 1.0,
                   "KelVector class\n\nIndex out of range\n\nOperator: ()\nindex 0, valid 1..2");
}

TEST(FatalKelVector, ConstElementOutOfRange) {
  const KelVector v(2);
  EXPECT_KEL_FATAL(v(3),
                   "KelVector class\n\nIndex out of range\n\nOperator: ()\nindex 3, valid 1..2");
}

TEST(FatalKelVector, SubvectorBeyondTheEnd) {
  KelVector v(3);
  EXPECT_KEL_FATAL(v.GetKelVector(2, 3),
                   "KelVector class\n\nDimension check failure\n\nFunction: GetKelVector\nrange "
                   "3..4, valid 1..3");
}

TEST(FatalKelVector, SumOfDifferentSizes) {
  KelVector a(2), b(3), c;
  EXPECT_KEL_FATAL(Sum(a, b, c),
                   "KelVector class\n\nDimension check failure\n\nFunction: Sum\nsizes 2 and 3");
}

TEST(FatalKelVector, PlusOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(a + b,
                   "KelVector class\n\nDimension check failure\n\nFunction: Sum\nsizes 2 and 3");
}

TEST(FatalKelVector, PlusAssignOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(a += b,
                   "KelVector class\n\nDimension check failure\n\nOperator: +=\nsizes 2 and 3");
}

TEST(FatalKelVector, DifferenceOfDifferentSizes) {
  KelVector a(2), b(3), c;
  EXPECT_KEL_FATAL(
      Difference(a, b, c),
      "KelVector class\n\nDimension check failure\n\nFunction: Difference\nsizes 2 and 3");
}

TEST(FatalKelVector, DifferenceIntoSecondOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(
      Difference(a, b),
      "KelVector class\n\nDimension check failure\n\nFunction: Difference\nsizes 2 and 3");
}

TEST(FatalKelVector, MinusOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(
      a - b, "KelVector class\n\nDimension check failure\n\nFunction: Difference\nsizes 2 and 3");
}

TEST(FatalKelVector, MinusAssignOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(a -= b,
                   "KelVector class\n\nDimension check failure\n\nOperator: -=\nsizes 2 and 3");
}

TEST(FatalKelVector, MatrixTimesVectorOfWrongSize) {
  KelMatrix A(2, 3);
  KelVector x(2), y;
  EXPECT_KEL_FATAL(
      Product(A, x, y),
      "KelVector class\n\nDimension check failure\n\nOperator: Product\n2 x 3 and size 2");
}

TEST(FatalKelVector, MatrixTimesVectorOperatorOfWrongSize) {
  KelMatrix A(2, 3);
  KelVector x(2);
  EXPECT_KEL_FATAL(
      A * x, "KelVector class\n\nDimension check failure\n\nOperator: Product\n2 x 3 and size 2");
}

TEST(FatalKelVector, DotProductOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(
      TProduct(a, b),
      "KelVector class\n\nDimension check failure\n\nFunction: TProduct\nsizes 2 and 3");
}

TEST(FatalKelVector, TransposedMatrixTimesVectorOfWrongSize) {
  KelMatrix A(2, 3);
  KelVector x(3), y;
  EXPECT_KEL_FATAL(
      TProduct(A, x, y),
      "KelVector class\n\nDimension check failure\n\nFunction: %TProduct\n2 x 3 and size 3");
}

TEST(FatalKelVector, ElementByElementProductOfDifferentSizes) {
  KelVector a(2), b(3), c;
  EXPECT_KEL_FATAL(ElementByElementProduct(a, b, c),
                   "KelVector class\n\nDimension check failure\n\nFunction: "
                   "ElementByElementProduct\nsizes 2 and 3");
}

TEST(FatalKelVector, CorrelationOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(LinearRegressionCoefficient(a, b),
                   "KelVector class\n\nDimension check failure\n\nFunction: "
                   "LinearRegressionCoefficient\nsizes 2 and 3");
}

TEST(FatalKelVector, SizeBeyondTheIntRange) {
  EXPECT_KEL_FATAL(KelVector(INT_MAX),
                   "KelVector class\n\nNo room in heap\n\nFunction: Initialize");
}

// ---- KelMatrix ----

TEST(FatalKelMatrix, ListOfTheWrongLength) {
  EXPECT_KEL_FATAL(
      KelMatrix(2, 2, 1., 2., 3.),
      "KelMatrix class\n\nDimension check failure\n\nConstructor: KelMatrix\n2 x 2 and size 3");
}

TEST(FatalKelMatrix, GetValueOutOfRange) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A.GetValue(1, 3),
                   "KelMatrix class\n\nIndex out of range\n\nFunction: GetValue\nindex (1, 3), "
                   "valid (1..2, 1..2)");
}

TEST(FatalKelMatrix, ElementOutOfRange) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(
      A(3, 1) = 1.0,
      "KelMatrix class\n\nIndex out of range\n\nOperator: ()\nindex (3, 1), valid (1..2, 1..2)");
}

TEST(FatalKelMatrix, ConstElementOutOfRange) {
  const KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(
      A(1, 0),
      "KelMatrix class\n\nIndex out of range\n\nOperator: ()\nindex (1, 0), valid (1..2, 1..2)");
}

TEST(FatalKelMatrix, GetRowOutOfRange) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(
      A.GetRow(3),
      "KelMatrix class\n\nIndex out of range\n\nFunction: GetRow\nindex 3, valid 1..2");
}

TEST(FatalKelMatrix, GetColumnOutOfRange) {
  KelMatrix A(2, 2);
  KelVector v;
  EXPECT_KEL_FATAL(
      A.GetColumn(0, v),
      "KelMatrix class\n\nIndex out of range\n\nFunction: GetColumn\nindex 0, valid 1..2");
}

TEST(FatalKelMatrix, SetRowOfWrongSize) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A.SetRow(1, KelVector(3)),
                   "KelMatrix class\n\nIndex out of range\n\nFunction: SetRow\n2 x 2 and size 3");
}

TEST(FatalKelMatrix, SetColumnOfWrongSize) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(
      A.SetColumn(1, KelVector(3)),
      "KelMatrix class\n\nIndex out of range\n\nFunction: SetColumn\n2 x 2 and size 3");
}

TEST(FatalKelMatrix, SetColumnToConstantOutOfRange) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(
      A.SetColumn(3, 1.0),
      "KelMatrix class\n\nIndex out of range\n\nFunction: SetColumn\nindex 3, valid 1..2");
}

TEST(FatalKelMatrix, ProductOfIncompatibleMatrices) {
  KelMatrix A(2, 3), B(2, 2), C;
  EXPECT_KEL_FATAL(
      Product(A, B, C),
      "KelMatrix class\n\nDimension check failure\n\nOperator: Product\n2 x 3 and 2 x 2");
}

TEST(FatalKelMatrix, ProductOperatorOfIncompatibleMatrices) {
  KelMatrix A(2, 3), B(2, 2);
  EXPECT_KEL_FATAL(
      A * B, "KelMatrix class\n\nDimension check failure\n\nOperator: Product\n2 x 3 and 2 x 2");
}

TEST(FatalKelMatrix, ProductWithTransposeOfIncompatibleMatrices) {
  KelMatrix A(2, 3), B(2, 2), C;
  EXPECT_KEL_FATAL(
      ProductT(A, B, C),
      "KelMatrix class\n\nDimension check failure\n\nOperator: Product\n2 x 3 and 2 x 2");
}

TEST(FatalKelMatrix, PlusAssignOfDifferentShapes) {
  KelMatrix A(2, 3), B(3, 2);
  EXPECT_KEL_FATAL(A += B,
                   "KelMatrix class\n\nDimension check failure\n\nOperator: +=\n2 x 3 and 3 x 2");
}

TEST(FatalKelMatrix, ScaleRowsWithWrongSize) {
  KelMatrix A(2, 3);
  EXPECT_KEL_FATAL(
      A.ScaleRows(KelVector(3)),
      "KelMatrix class\n\nDimension check failure\n\nFunction: InsertRow\n2 x 3 and size 3");
}

TEST(FatalKelMatrix, ScaleColumnsWithWrongSize) {
  KelMatrix A(2, 3);
  EXPECT_KEL_FATAL(
      A.ScaleColumns(KelVector(2)),
      "KelMatrix class\n\nDimension check failure\n\nFunction: InsertRow\n2 x 3 and size 2");
}

TEST(FatalKelMatrix, NormalizeColumnOutOfRange) {
  KelMatrix A(2, 3);
  double mean = 0.0, norm = 0.0;
  EXPECT_KEL_FATAL(
      A.NormalizeColumn(4, &mean, &norm),
      "KelMatrix class\n\nIndex out of range\n\nFunction: NormalizeColumn\nindex 4, valid 1..3");
}

TEST(FatalKelMatrix, SizeBeyondTheIntRange) {
  EXPECT_KEL_FATAL(KelMatrix(100000, 100000),
                   "KelMatrix class\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(FatalKelMatrix, ResizeBeyondTheIntRange) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A.Resize(100000, 100000),
                   "KelMatrix class\n\nNo room in heap\n\nFunction: Initialize");
}

// A right factor with under 30 % non-zeros is first compressed column by column; the result
// (1 x 1) is allocated before, so only the compressed copy meets the limit.
TEST(FatalKelMatrix, SparseProductWithoutHeap) {
  if (fatal_walk::kAddressSanitizer) GTEST_SKIP() << "needs an address-space limit";
  const int n = 2000000;
  KelMatrix A(1, n), B(n, 1), C;
  for (int k = 1; k <= n; k += 5) B(k, 1) = 1.0;
  EXPECT_KEL_FATAL_EXIT_ONLY(
      {
        KelPrint("\n");
        std::fflush(kelOutputFile);
        fatal_walk::LimitAddressSpace(1 << 19);
        Product(A, B, C);
      },
      "KelMatrix class\n\nNo room in heap\n\nFunction: Product");
}

// ---- KelVectorInt ----

TEST(FatalKelVectorInt, ElementOutOfRange) {
  KelVectorInt v(2);
  EXPECT_KEL_FATAL(v(3) = 1,
                   "class KelVectorInt\n\nIndex out of range\n\nOperator: ()\nindex 3, valid 1..2");
}

TEST(FatalKelVectorInt, ConstElementOutOfRange) {
  const KelVectorInt v(2);
  EXPECT_KEL_FATAL(v(0),
                   "class KelVectorInt\n\nIndex out of range\n\nOperator: ()\nindex 0, valid 1..2");
}

TEST(FatalKelVectorInt, SizeBeyondTheIntRange) {
  EXPECT_KEL_FATAL(KelVectorInt(INT_MAX),
                   "class KelVectorInt\n\nNo room in heap\n\nFunction: Initialize");
}

// ---- KelMatrixSymmetric ----

TEST(FatalKelMatrixSymmetric, NotSquare) {
  EXPECT_KEL_FATAL(
      KelMatrixSymmetric(2, 3),
      "KelMatrixSymmetric class\n\nDimension check failure\n\nFunction: Initialize\n2 x 3");
}

TEST(FatalKelMatrixSymmetric, SizeBeyondTheIntRange) {
  EXPECT_KEL_FATAL(KelMatrixSymmetric(70000, 70000),
                   "KelMatrixSymmetric class\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(FatalKelMatrixSymmetric, ChangeDimensionsNotSquare) {
  KelMatrixSymmetric S(2, 2);
  EXPECT_KEL_FATAL(
      S.ChangeDimensions(2, 3),
      "KelMatrixSymmetric class\n\nDimension check failure\n\nFunction: ChangeDimensions\n2 x 3");
}

TEST(FatalKelMatrixSymmetric, ChangeDimensionsBeyondTheIntRange) {
  KelMatrixSymmetric S(2, 2);
  EXPECT_KEL_FATAL(S.ChangeDimensions(70000, 70000),
                   "KelMatrixSymmetric class\n\nNo room in heap\n\nFunction: ChangeDimensions");
}

TEST(FatalKelMatrixSymmetric, ElementOutOfRange) {
  KelMatrixSymmetric S(2, 2);
  EXPECT_KEL_FATAL(S(1, 3) = 1.0,
                   "KelMatrixSymmetric class\n\nIndex out of range\n\nOperator: ()\nindex (1, 3), "
                   "valid (1..2, 1..2)");
}

TEST(FatalKelMatrixSymmetric, ConstElementOutOfRange) {
  const KelMatrixSymmetric S(2, 2);
  EXPECT_KEL_FATAL(S(0, 1),
                   "KelMatrixSymmetric class\n\nIndex out of range\n\nOperator: ()\nindex (0, 1), "
                   "valid (1..2, 1..2)");
}

// ---- KelMatrixLeft ----

TEST(FatalKelMatrixLeft, NotSquare) {
  EXPECT_KEL_FATAL(KelMatrixLeft(3, 2),
                   "KelMatrixLeft class\n\nDimension check failure\n\nFunction: Initialize\n3 x 2");
}

TEST(FatalKelMatrixLeft, SizeBeyondTheIntRange) {
  EXPECT_KEL_FATAL(KelMatrixLeft(70000, 70000),
                   "KelMatrixLeft class\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(FatalKelMatrixLeft, ChangeDimensionsNotSquare) {
  KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(
      L.ChangeDimensions(3, 2),
      "KelMatrixLeft class\n\nDimension check failure\n\nFunction: ChangeDimensions\n3 x 2");
}

TEST(FatalKelMatrixLeft, ChangeDimensionsBeyondTheIntRange) {
  KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(L.ChangeDimensions(70000, 70000),
                   "KelMatrixLeft class\n\nNo room in heap\n\nFunction: ChangeDimensions");
}

TEST(FatalKelMatrixLeft, ElementOutOfRange) {
  KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(L(3, 1) = 1.0,
                   "KelMatrixLeft class\n\nIndex out of range\n\nOperator: ()\nindex (3, 1), valid "
                   "(1..2, 1..2)");
}

TEST(FatalKelMatrixLeft, ElementAboveTheDiagonalIsNotStored) {
  KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(
      L(1, 2) = 1.0,
      "KelMatrixLeft class\n\nIndex out of range\n\nOperator: ()\nindex 2, valid 1..1");
}

TEST(FatalKelMatrixLeft, ConstElementOutOfRange) {
  const KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(L(2, 3),
                   "KelMatrixLeft class\n\nIndex out of range\n\nOperator: ()\nindex (2, 3), valid "
                   "(1..2, 1..2)");
}

TEST(FatalKelMatrixLeft, SolveWithWrongSize) {
  KelMatrixLeft L(2, 2);
  KelVector b(3);
  EXPECT_KEL_FATAL(
      Solve(L, b),
      "KelMatrixLeft class\n\nDimension check failure\n\nFunction: Solve\n2 x 2 and size 3");
}

// ---- KelMatrixSparse ----

TEST(FatalKelMatrixSparse, ElementOutOfRange) {
  KelMatrixSparse A(2, 2);
  EXPECT_KEL_FATAL(A(3, 1) = 1.0,
                   "KelMatrixSparse class\n\nDimension check failure\n\nOperator: ()\nindex (3, "
                   "1), valid (1..2, 1..2)");
}

TEST(FatalKelMatrixSparse, RowTableWithoutHeap) {
  if (fatal_walk::kAddressSanitizer) GTEST_SKIP() << "needs an address-space limit";
  EXPECT_KEL_FATAL_EXIT_ONLY(
      {
        KelPrint("\n");
        std::fflush(kelOutputFile);
        fatal_walk::LimitAddressSpace(1 << 20);
        KelMatrixSparse A(100000000, 1);
      },
      "KelMatrixSparse class\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(FatalKelMatrixSparse, InsertionWithoutHeap) {
  if (fatal_walk::kAddressSanitizer) GTEST_SKIP() << "needs an address-space limit";
  KelMatrixSparse A(1000, 1000);
  EXPECT_KEL_FATAL_EXIT_ONLY(
      {
        KelPrint("\n");
        std::fflush(kelOutputFile);
        fatal_walk::LimitAddressSpace(1 << 20);
        for (int i = 1; i <= 1000; ++i)
          for (int j = 1; j <= 1000; ++j) A(i, j) = 1.0;
      },
      "KelMatrixSparse class\n\nNo room in heap\n\nFunction: InsertElement");
}

// ---- KelSave ----

TEST(FatalKelSave, UnopenableFile) {
  EXPECT_KEL_FATAL(KelSave("no_such_folder/data.lrg"),
                   "KelSave class\nCan't open FILE\nno_such_folder/data.lrg");
}

TEST(FatalKelSave, WriteAfterClose) {
  const std::string path = kel_test::ScratchPath("save");
  EXPECT_KEL_FATAL(
      {
        KelSave save(path.c_str());
        save.Close();
        save << 1;
      },
      "KelSave class\nCan't write FILE\n");
}

// The device that is always full accepts the buffered text and refuses it when flushed.
TEST(FatalKelSave, CloseOnFullDevice) {
  EXPECT_KEL_FATAL(
      {
        KelSave save("/dev/full");
        save << 1.5;
        save.Close();
      },
      "KelSave class\nCan't close FILE\n");
}
