#include <cmath>
#include <string>
#include <type_traits>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

void expectElements(const KelVector& v, std::initializer_list<double> expected) {
  ASSERT_EQ(v.Size(), static_cast<int>(expected.size()));
  int i = 1;
  for (double e : expected) EXPECT_EQ(v(i++), e) << "element " << i - 1;
}

}  // namespace

TEST(VectorConstruction, ValueListFillsInOrderAndZeroSizeIsEmpty) {
  KelVector v(3, 1.5, -2., 3.25);
  expectElements(v, {1.5, -2.0, 3.25});
  KelVector zeros(4);
  expectElements(zeros, {0, 0, 0, 0});
  KelVector empty(-3);
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_EQ(empty.Data(), nullptr);
}

TEST(VectorConstruction, ValueListRefusesNonDoubleArgumentsAtCompileTime) {
  static_assert(std::is_constructible_v<KelVector, int, double, double, double>);
  static_assert(!std::is_constructible_v<KelVector, int, int, int, int>);
  static_assert(!std::is_constructible_v<KelVector, int, double, int>);
  static_assert(!std::is_constructible_v<KelMatrix, int, int, int, int, int, int>);
  static_assert(std::is_constructible_v<KelMatrix, int, int, double, double>);
}

TEST(VectorConstruction, ValueCountDifferentFromSizeIsFatal) {
  EXPECT_KEL_FATAL(
      KelVector(3, 1., 2.),
      "KelVector class\n\nDimension check failure\n\nConstructor: KelVector\nsizes 3 and 2");
  EXPECT_KEL_FATAL(
      KelVector(1, 1., 2.),
      "KelVector class\n\nDimension check failure\n\nConstructor: KelVector\nsizes 1 and 2");
}

TEST(VectorConstruction, HugeSizeIsNoRoomInHeap) {
  EXPECT_KEL_FATAL(KelVector(2147483647),
                   "KelVector class\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(VectorNumbering, SerialNumbersCountConstructionsAndReturnedValuesKeepOne) {
  const int before = KelVector::counter.createdCount;
  const int aliveBefore = KelVector::counter.aliveCount;
  KelVector a(2, 1., 2.);
  KelVector b(2, 3., 4.);
  EXPECT_EQ(a.GetSerialNumber(), before + 1);
  EXPECT_EQ(b.GetSerialNumber(), before + 2);
  KelVector c = a + b;  // the result object built inside operator+ becomes c
  EXPECT_EQ(KelVector::counter.createdCount, before + 3);
  EXPECT_EQ(c.GetSerialNumber(), before + 3);
  KelVector d(c);  // a real copy draws its own number
  EXPECT_EQ(d.GetSerialNumber(), before + 4);
  c = a;  // assignment keeps the number
  EXPECT_EQ(c.GetSerialNumber(), before + 3);
  c = a - b;
  EXPECT_EQ(c.GetSerialNumber(), before + 3);
  EXPECT_EQ(KelVector::counter.aliveCount, aliveBefore + 4);
}

TEST(VectorAccess, OutOfRangeIndexIsFatalWithItsKind) {
  KelVector v(3);
  EXPECT_KEL_FATAL(v(0),
                   "KelVector class\n\nIndex out of range\n\nOperator: ()\nindex 0, valid 1..3");
  EXPECT_KEL_FATAL(v(4),
                   "KelVector class\n\nIndex out of range\n\nOperator: ()\nindex 4, valid 1..3");
  EXPECT_KEL_FATAL(
      v.GetValue(4),
      "KelVector class\n\nIndex out of range\n\nFunction: GetValue\nindex 4, valid 1..3");
}

TEST(VectorAccess, SubvectorCopiesTheRangeAndChecksIt) {
  KelVector v(5, 1., 2., 3., 4., 5.);
  expectElements(v.GetKelVector(3, 2), {2, 3, 4});
  expectElements(v.GetKelVector(1, 5), {5});
  const std::string text = "KelVector class\n\nDimension check failure\n\nFunction: GetKelVector\n";
  EXPECT_KEL_FATAL(v.GetKelVector(3, 4), text + "range 4..6, valid 1..5");
  EXPECT_KEL_FATAL(v.GetKelVector(0, 1), text + "range 1..0, valid 1..5");
  EXPECT_KEL_FATAL(v.GetKelVector(1, 0), text + "range 0..0, valid 1..5");
}

TEST(VectorComparison, EqualityIsByteWise) {
  KelVector a(2, 0.0, 1.0);
  KelVector b(2, -0.0, 1.0);
  EXPECT_FALSE(a == b);  // +0 and -0 differ
  EXPECT_TRUE(a == a);
  KelVector nanA(1, std::nan(""));
  KelVector nanB(nanA);
  EXPECT_TRUE(nanA == nanB);  // identical NaN bit patterns
  EXPECT_FALSE(a == KelVector(3));
}

TEST(VectorArithmetic, SumAliasingFormsMatchDistinctResult) {
  const KelVector a0(3, 1., 2.5, -4.);
  const KelVector b0(3, 0.5, -1., 8.);
  KelVector distinct;
  Sum(a0, b0, distinct);
  expectElements(distinct, {1.5, 1.5, 4.0});
  KelVector a(a0), b(b0);
  Sum(a, b, a);
  EXPECT_TRUE(a == distinct);
  a = a0;
  Sum(a, b, b);
  EXPECT_TRUE(b == distinct);
  b = b0;
  KelVector twice(a0);
  Sum(twice, twice, twice);
  expectElements(twice, {2, 5, -8});
}

TEST(VectorArithmetic, DifferenceAliasingFormsMatchDistinctResult) {
  const KelVector a0(3, 1., 2.5, -4.);
  const KelVector b0(3, 0.5, -1., 8.);
  KelVector distinct;
  Difference(a0, b0, distinct);
  expectElements(distinct, {0.5, 3.5, -12.0});
  KelVector a(a0), b(b0);
  Difference(a, b, a);
  EXPECT_TRUE(a == distinct);
  a = a0;
  Difference(a, b, b);
  EXPECT_TRUE(b == distinct);
  b = b0;
  Difference(a, b);  // b = a - b in place
  EXPECT_TRUE(b == distinct);
  KelVector c = a0 - b0;
  EXPECT_TRUE(c == distinct);
}

TEST(VectorArithmetic, SelfUpdateOperatorsDoubleAndClear) {
  KelVector a(3, 1., -2., 3.);
  a += a;
  expectElements(a, {2, -4, 6});
  a -= a;
  expectElements(a, {0, 0, 0});
  KelVector b(2, 1., 2.);
  b *= -3.0;
  expectElements(b, {-3, -6});
  b /= 2.0;
  expectElements(b, {-1.5, -3});
  expectElements(0.5 * b, {-0.75, -1.5});
  Product(2.0, b, b);
  expectElements(b, {-3, -6});
}

TEST(VectorArithmetic, SizeMismatchesAreFatalWithOperationName) {
  KelVector a(2), b(3), c;
  const std::string head = "KelVector class\n\nDimension check failure\n";
  EXPECT_KEL_FATAL(Sum(a, b, c), head + "\nFunction: Sum\nsizes 2 and 3");
  EXPECT_KEL_FATAL(a += b, head + "\nOperator: +=\nsizes 2 and 3");
  EXPECT_KEL_FATAL(a -= b, head + "\nOperator: -=\nsizes 2 and 3");
  EXPECT_KEL_FATAL(Difference(a, b, c), head + "\nFunction: Difference\nsizes 2 and 3");
  EXPECT_KEL_FATAL(TProduct(a, b), head + "\nFunction: TProduct\nsizes 2 and 3");
  EXPECT_KEL_FATAL(ElementByElementProduct(a, b, c),
                   head + "\nFunction: ElementByElementProduct\nsizes 2 and 3");
  KelMatrix A(3, 2);
  EXPECT_KEL_FATAL(Product(A, b, c), head + "\nOperator: Product\n3 x 2 and size 3");
  EXPECT_KEL_FATAL(TProduct(A, a, c), head + "\nFunction: %TProduct\n3 x 2 and size 2");
  EXPECT_KEL_FATAL(a /= 0.0, "Division with 0.");
}

TEST(VectorArithmetic, MatrixVectorProductsAliasingAndTransposed) {
  const KelMatrix A(2, 3, 1., 2., 3., 4., 5., 6.);
  KelVector x(3, 1., 0., -1.);
  KelVector y;
  Product(A, x, y);
  expectElements(y, {-2, -2});
  KelVector w(2, 1., -1.);
  TProduct(A, w, w);  // result replaces the input
  expectElements(w, {-3, -3, -3});
  KelVector z(2, 0., 2.);
  KelVector t;
  TProduct(A, z, t);
  expectElements(t, {8, 10, 12});
  const KelMatrix S(2, 2, 1., 2., 3., 4.);
  KelVector s(2, 1., 1.);
  Product(S, s, s);  // y is x: computed through a local vector
  expectElements(s, {3, 7});
  EXPECT_EQ(TProduct(KelVector(3, 1., 2., 3.), KelVector(3, 4., 5., 6.)), 32.0);
}

TEST(VectorArithmetic, ElementByElementProductAllowsAliasing) {
  KelVector x(3, 1., 2., 3.);
  KelVector y(3, 4., 5., 6.);
  ElementByElementProduct(x, y, x);
  expectElements(x, {4, 10, 18});
  KelVector z;
  ElementByElementProduct(y, y, z);
  expectElements(z, {16, 25, 36});
}

TEST(VectorOrder, ExtremaTakeFirstOccurrence) {
  int position = -1;
  EXPECT_EQ(KelVector(3, 1., 3., 3.).Max(&position), 3.0);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(KelVector(3, 2., 1., 1.).Min(&position), 1.0);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(KelVector(4, 1., -5., 5., 2.).MaxAbs(&position), 5.0);
  EXPECT_EQ(position, 2);
  position = 99;
  EXPECT_EQ(KelVector().Max(&position), 0.0);
  EXPECT_EQ(position, 99);
}

TEST(VectorOrder, NormNormalizeAndReverse) {
  KelVector v(2, 3., 4.);
  EXPECT_EQ(v.Norm2(), 5.0);
  EXPECT_EQ(v.Normalize(), 5.0);
  expectElements(v, {0.6, 0.8});
  KelVector zero(2);
  EXPECT_EQ(zero.Normalize(), 0.0);
  expectElements(zero, {0, 0});
  KelVector r(4, 1., 2., 3., 4.);
  r.Reverse();
  expectElements(r, {4, 3, 2, 1});
  EXPECT_KEL_FATAL(KelVector().Norm2(), "\nIndex out of range\n\nFunction: SqrtSumSqr");
}

// The sort without positions gives the values of the sort with positions, on a long vector
// with many repeated values and zeros of both signs; a NaN leaves the heap sort in charge.
TEST(VectorOrder, SortWithoutPositionsGivesTheSameValues) {
  const int n = 5000;
  KelVector a(n);
  for (int i = 1; i <= n; ++i) a(i) = ((i * 7919) % 101 - 50) * 0.25;
  a(17) = -0.0;
  a(4000) = 0.0;
  KelVector b = a;
  a.Sort();
  KelVectorInt positions;
  b.Sort(positions);
  for (int i = 1; i <= n; ++i) ASSERT_EQ(a(i), b(i)) << i;
  for (int i = 2; i <= n; ++i) {
    ASSERT_LE(a(i - 1), a(i)) << i;
    if (a(i - 1) == 0.0 && a(i) == 0.0) {
      EXPECT_FALSE(std::signbit(a(i)) && !std::signbit(a(i - 1)));
    }
  }
  KelVector withNaN(5, 3., std::nan(""), 1., 2., 0.5);
  KelVector heap = withNaN;
  withNaN.Sort();
  heap.Sort(positions);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(std::isnan(withNaN(i)), std::isnan(heap(i))) << i;
    if (!std::isnan(heap(i))) {
      EXPECT_EQ(withNaN(i), heap(i)) << i;
    }
  }
}

TEST(VectorOrder, SortAscendsAndPositionsFollowTheHeapExchanges) {
  KelVector v(6, 3., -1., 7., 0., 2.5, -8.);
  v.Sort();
  expectElements(v, {-8, -1, 0, 2.5, 3, 7});
  // Worked by hand from the insertion heap and the extraction sift: equal values end up in
  // the order the exchanges leave them, not in their original order.
  KelVector equal(4, 5., 5., 5., 5.);
  KelVectorInt positions;
  equal.Sort(positions);
  ASSERT_EQ(positions.Size(), 4);
  EXPECT_EQ(positions(1), 3);
  EXPECT_EQ(positions(2), 2);
  EXPECT_EQ(positions(3), 1);
  EXPECT_EQ(positions(4), 4);
  KelVector mixed(4, 3., 1., 3., 2.);
  mixed.Sort(positions);
  expectElements(mixed, {1, 2, 3, 3});
  EXPECT_EQ(positions(1), 2);
  EXPECT_EQ(positions(2), 4);
  EXPECT_EQ(positions(3), 1);
  EXPECT_EQ(positions(4), 3);
  KelVector single(1, 9.);
  single.Sort(positions);
  ASSERT_EQ(positions.Size(), 1);
  EXPECT_EQ(positions(1), 1);
}

TEST(VectorOrder, SortWithPositionsPermutesTheOriginal) {
  KelVector original(9, 4., 1., 4., 9., 1., 0., 4., 9., 2.);
  KelVector sorted(original);
  KelVectorInt positions;
  sorted.Sort(positions);
  for (int i = 1; i <= 9; ++i) {
    EXPECT_EQ(sorted(i), original(positions(i)));
    if (i > 1) {
      EXPECT_LE(sorted(i - 1), sorted(i));
    }
  }
  EXPECT_EQ(positions.SumElements(), 45);
}

TEST(VectorResize, AppendAndRemoveElement) {
  KelVector v;
  v.Append(1.0);
  v.Append(2.0);
  v.Append(3.0);
  const int serial = v.GetSerialNumber();
  expectElements(v, {1, 2, 3});
  EXPECT_EQ(v.RemoveElement(5), 0.0);
  expectElements(v, {1, 2, 3});
  EXPECT_EQ(v.RemoveElement(2), 2.0);
  expectElements(v, {1, 3});
  EXPECT_EQ(v.GetSerialNumber(), serial);
  KelVector one(1, 7.);
  EXPECT_EQ(one.RemoveElement(1), 7.0);
  EXPECT_EQ(one.Size(), 0);
}

TEST(VectorResize, SwapExchangesContentsButNotNumbers) {
  KelVector a(1, 1.), b(2, 2., 3.);
  const int sa = a.GetSerialNumber(), sb = b.GetSerialNumber();
  Swap(a, b);
  expectElements(a, {2, 3});
  expectElements(b, {1});
  EXPECT_EQ(a.GetSerialNumber(), sa);
  EXPECT_EQ(b.GetSerialNumber(), sb);
}

TEST(VectorCorrelation, CoefficientOfLinearAndConstantData) {
  KelVector x(4, 1., 2., 3., 4.);
  KelVector y(4, 2., 4., 6., 8.);
  EXPECT_NEAR(LinearRegressionCoefficient(x, y), 1.0, 1e-15);
  KelVector down(4, 4., 3., 2., 1.);
  EXPECT_NEAR(LinearRegressionCoefficient(x, down), -1.0, 1e-15);
  // x = 1..4 against (1, 3, 2, 4): centred dot product 4, norms sqrt(5) each.
  EXPECT_NEAR(LinearRegressionCoefficient(x, KelVector(4, 1., 3., 2., 4.)), 0.8, 1e-15);
  kelWarningMode = 0;
  std::string text = CaptureOutput(
      [&] { EXPECT_EQ(LinearRegressionCoefficient(KelVector(4, 2., 2., 2., 2.), x), 0.0); });
  kelWarningMode = 1;
  EXPECT_EQ(text, "\nWarning!!\nnorm = 0");
}

TEST(VectorPrint, PrintsNumberSizeAndOneLinePerElement) {
  KelVector v(2, 1., -2.5e-3);
  std::string text = CaptureOutput([&] { v.PrintObject(); });
  EXPECT_EQ(text, "\nKelVector No." + std::to_string(v.GetSerialNumber()) +
                      "\nSize 2\n"
                      "    1       1.00000000000000e+00\n"
                      "    2      -2.50000000000000e-03\n");
}
