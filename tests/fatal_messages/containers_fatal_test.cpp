// Fatal messages of the containers: KelVector, KelMatrix, KelVectorInt, the symmetric and
// lower-triangular matrices, the sparse matrix and KelSave.
#include <climits>
#include <cstdio>

#include "fatal_walk.h"
#include "kel_test_support.h"
#include "kelmath.h"

// ---- KelVector ----

TEST(FatalKelVector, ListOfTheWrongLength) {
  EXPECT_KEL_FATAL(KelVector(3, 1., 2.),
                   "KelVector class\n\nDimension check failure\n\nConstructor: KelVector");
}

TEST(FatalKelVector, GetValueOutOfRange) {
  KelVector v(2);
  EXPECT_KEL_FATAL(v.GetValue(3), "KelVector class\n\nIndex out of range\n\nFunction: GetValue");
}

TEST(FatalKelVector, ElementOutOfRange) {
  KelVector v(2);
  EXPECT_KEL_FATAL(v(0) = 1.0, "KelVector class\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelVector, ConstElementOutOfRange) {
  const KelVector v(2);
  EXPECT_KEL_FATAL(v(3), "KelVector class\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelVector, SubvectorBeyondTheEnd) {
  KelVector v(3);
  EXPECT_KEL_FATAL(v.GetKelVector(2, 3),
                   "KelVector class\n\nDimension check failure\n\nFunction: GetKelVector");
}

TEST(FatalKelVector, SumOfDifferentSizes) {
  KelVector a(2), b(3), c;
  EXPECT_KEL_FATAL(Sum(a, b, c), "KelVector class\n\nDimension check failure\n\nFunction: Sum");
}

TEST(FatalKelVector, PlusOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(a + b, "KelVector class\n\nDimension check failure\n\nFunction: Sum");
}

TEST(FatalKelVector, PlusAssignOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(a += b, "KelVector class\n\nDimension check failure\n\nOperator: +=");
}

TEST(FatalKelVector, DifferenceOfDifferentSizes) {
  KelVector a(2), b(3), c;
  EXPECT_KEL_FATAL(Difference(a, b, c),
                   "KelVector class\n\nDimension check failure\n\nFunction: Difference");
}

TEST(FatalKelVector, DifferenceIntoSecondOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(Difference(a, b),
                   "KelVector class\n\nDimension check failure\n\nFunction: Difference");
}

TEST(FatalKelVector, MinusOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(a - b, "KelVector class\n\nDimension check failure\n\nFunction: Difference");
}

TEST(FatalKelVector, MinusAssignOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(a -= b, "KelVector class\n\nDimension check failure\n\nOperator: -=");
}

TEST(FatalKelVector, MatrixTimesVectorOfWrongSize) {
  KelMatrix A(2, 3);
  KelVector x(2), y;
  EXPECT_KEL_FATAL(Product(A, x, y),
                   "KelVector class\n\nDimension check failure\n\nOperator: Product");
}

TEST(FatalKelVector, MatrixTimesVectorOperatorOfWrongSize) {
  KelMatrix A(2, 3);
  KelVector x(2);
  EXPECT_KEL_FATAL(A * x, "KelVector class\n\nDimension check failure\n\nOperator: Product");
}

TEST(FatalKelVector, DotProductOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(TProduct(a, b),
                   "KelVector class\n\nDimension check failure\n\nFunction: TProduct");
}

TEST(FatalKelVector, TransposedMatrixTimesVectorOfWrongSize) {
  KelMatrix A(2, 3);
  KelVector x(3), y;
  EXPECT_KEL_FATAL(TProduct(A, x, y),
                   "KelVector class\n\nDimension check failure\n\nFunction: %TProduct");
}

TEST(FatalKelVector, ElementByElementProductOfDifferentSizes) {
  KelVector a(2), b(3), c;
  EXPECT_KEL_FATAL(
      ElementByElementProduct(a, b, c),
      "KelVector class\n\nDimension check failure\n\nFunction: ElementByElementProduct");
}

TEST(FatalKelVector, CorrelationOfDifferentSizes) {
  KelVector a(2), b(3);
  EXPECT_KEL_FATAL(
      LinearRegressionCoefficient(a, b),
      "KelVector class\n\nDimension check failure\n\nFunction: LinearRegressionCoefficient");
}

TEST(FatalKelVector, SizeBeyondTheIntRange) {
  EXPECT_KEL_FATAL(KelVector(INT_MAX),
                   "KelVector class\n\nNo room in heap\n\nFunction: Initialize");
}

// ---- KelMatrix ----

TEST(FatalKelMatrix, ListOfTheWrongLength) {
  EXPECT_KEL_FATAL(KelMatrix(2, 2, 1., 2., 3.),
                   "KelMatrix class\n\nDimension check failure\n\nConstructor: KelMatrix");
}

TEST(FatalKelMatrix, GetValueOutOfRange) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A.GetValue(1, 3), "KelMatrix class\n\nIndex out of range\n\nFunction: GetValue");
}

TEST(FatalKelMatrix, ElementOutOfRange) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A(3, 1) = 1.0, "KelMatrix class\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelMatrix, ConstElementOutOfRange) {
  const KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A(1, 0), "KelMatrix class\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelMatrix, GetRowOutOfRange) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A.GetRow(3), "KelMatrix class\n\nIndex out of range\n\nFunction: GetRow");
}

TEST(FatalKelMatrix, GetColumnOutOfRange) {
  KelMatrix A(2, 2);
  KelVector v;
  EXPECT_KEL_FATAL(A.GetColumn(0, v),
                   "KelMatrix class\n\nIndex out of range\n\nFunction: GetColumn");
}

TEST(FatalKelMatrix, SetRowOfWrongSize) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A.SetRow(1, KelVector(3)),
                   "KelMatrix class\n\nIndex out of range\n\nFunction: SetRow");
}

TEST(FatalKelMatrix, SetColumnOfWrongSize) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A.SetColumn(1, KelVector(3)),
                   "KelMatrix class\n\nIndex out of range\n\nFunction: SetColumn");
}

TEST(FatalKelMatrix, SetColumnToConstantOutOfRange) {
  KelMatrix A(2, 2);
  EXPECT_KEL_FATAL(A.SetColumn(3, 1.0),
                   "KelMatrix class\n\nIndex out of range\n\nFunction: SetColumn");
}

TEST(FatalKelMatrix, ProductOfIncompatibleMatrices) {
  KelMatrix A(2, 3), B(2, 2), C;
  EXPECT_KEL_FATAL(Product(A, B, C),
                   "KelMatrix class\n\nDimension check failure\n\nOperator: Product");
}

TEST(FatalKelMatrix, ProductOperatorOfIncompatibleMatrices) {
  KelMatrix A(2, 3), B(2, 2);
  EXPECT_KEL_FATAL(A * B, "KelMatrix class\n\nDimension check failure\n\nOperator: Product");
}

TEST(FatalKelMatrix, ProductWithTransposeOfIncompatibleMatrices) {
  KelMatrix A(2, 3), B(2, 2), C;
  EXPECT_KEL_FATAL(ProductT(A, B, C),
                   "KelMatrix class\n\nDimension check failure\n\nOperator: Product");
}

TEST(FatalKelMatrix, PlusAssignOfDifferentShapes) {
  KelMatrix A(2, 3), B(3, 2);
  EXPECT_KEL_FATAL(A += B, "KelMatrix class\n\nDimension check failure\n\nOperator: +=");
}

TEST(FatalKelMatrix, ScaleRowsWithWrongSize) {
  KelMatrix A(2, 3);
  EXPECT_KEL_FATAL(A.ScaleRows(KelVector(3)),
                   "KelMatrix class\n\nDimension check failure\n\nFunction: InsertRow");
}

TEST(FatalKelMatrix, ScaleColumnsWithWrongSize) {
  KelMatrix A(2, 3);
  EXPECT_KEL_FATAL(A.ScaleColumns(KelVector(2)),
                   "KelMatrix class\n\nDimension check failure\n\nFunction: InsertRow");
}

TEST(FatalKelMatrix, NormalizeColumnOutOfRange) {
  KelMatrix A(2, 3);
  double mean = 0.0, norm = 0.0;
  EXPECT_KEL_FATAL(A.NormalizeColumn(4, &mean, &norm),
                   "KelMatrix class\n\nIndex out of range\n\nFunction: NormalizeColumn");
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
  EXPECT_KEL_FATAL(v(3) = 1, "class KelVectorInt\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelVectorInt, ConstElementOutOfRange) {
  const KelVectorInt v(2);
  EXPECT_KEL_FATAL(v(0), "class KelVectorInt\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelVectorInt, SizeBeyondTheIntRange) {
  EXPECT_KEL_FATAL(KelVectorInt(INT_MAX),
                   "class KelVectorInt\n\nNo room in heap\n\nFunction: Initialize");
}

// ---- KelMatrixSymmetric ----

TEST(FatalKelMatrixSymmetric, NotSquare) {
  EXPECT_KEL_FATAL(KelMatrixSymmetric(2, 3),
                   "KelMatrixSymmetric class\n\nDimension check failure\n\nFunction: Initialize");
}

TEST(FatalKelMatrixSymmetric, SizeBeyondTheIntRange) {
  EXPECT_KEL_FATAL(KelMatrixSymmetric(70000, 70000),
                   "KelMatrixSymmetric class\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(FatalKelMatrixSymmetric, ChangeDimensionsNotSquare) {
  KelMatrixSymmetric S(2, 2);
  EXPECT_KEL_FATAL(
      S.ChangeDimensions(2, 3),
      "KelMatrixSymmetric class\n\nDimension check failure\n\nFunction: ChangeDimensions");
}

TEST(FatalKelMatrixSymmetric, ChangeDimensionsBeyondTheIntRange) {
  KelMatrixSymmetric S(2, 2);
  EXPECT_KEL_FATAL(S.ChangeDimensions(70000, 70000),
                   "KelMatrixSymmetric class\n\nNo room in heap\n\nFunction: ChangeDimensions");
}

TEST(FatalKelMatrixSymmetric, ElementOutOfRange) {
  KelMatrixSymmetric S(2, 2);
  EXPECT_KEL_FATAL(S(1, 3) = 1.0, "KelMatrixSymmetric class\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelMatrixSymmetric, ConstElementOutOfRange) {
  const KelMatrixSymmetric S(2, 2);
  EXPECT_KEL_FATAL(S(0, 1), "KelMatrixSymmetric class\n\nIndex out of range\n\nOperator: ()");
}

// ---- KelMatrixLeft ----

TEST(FatalKelMatrixLeft, NotSquare) {
  EXPECT_KEL_FATAL(KelMatrixLeft(3, 2),
                   "KelMatrixLeft class\n\nDimension check failure\n\nFunction: Initialize");
}

TEST(FatalKelMatrixLeft, SizeBeyondTheIntRange) {
  EXPECT_KEL_FATAL(KelMatrixLeft(70000, 70000),
                   "KelMatrixLeft class\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(FatalKelMatrixLeft, ChangeDimensionsNotSquare) {
  KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(L.ChangeDimensions(3, 2),
                   "KelMatrixLeft class\n\nDimension check failure\n\nFunction: ChangeDimensions");
}

TEST(FatalKelMatrixLeft, ChangeDimensionsBeyondTheIntRange) {
  KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(L.ChangeDimensions(70000, 70000),
                   "KelMatrixLeft class\n\nNo room in heap\n\nFunction: ChangeDimensions");
}

TEST(FatalKelMatrixLeft, ElementOutOfRange) {
  KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(L(3, 1) = 1.0, "KelMatrixLeft class\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelMatrixLeft, ElementAboveTheDiagonalIsNotStored) {
  KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(L(1, 2) = 1.0, "KelMatrixLeft class\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelMatrixLeft, ConstElementOutOfRange) {
  const KelMatrixLeft L(2, 2);
  EXPECT_KEL_FATAL(L(2, 3), "KelMatrixLeft class\n\nIndex out of range\n\nOperator: ()");
}

TEST(FatalKelMatrixLeft, SolveWithWrongSize) {
  KelMatrixLeft L(2, 2);
  KelVector b(3);
  EXPECT_KEL_FATAL(Solve(L, b),
                   "KelMatrixLeft class\n\nDimension check failure\n\nFunction: Solve");
}

// ---- KelMatrixSparse ----

TEST(FatalKelMatrixSparse, ElementOutOfRange) {
  KelMatrixSparse A(2, 2);
  EXPECT_KEL_FATAL(A(3, 1) = 1.0,
                   "KelMatrixSparse class\n\nDimension check failure\n\nOperator: ()");
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
