#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

KelVectorInt makeInts(std::initializer_list<int> values) {
  KelVectorInt v;
  for (int x : values) v.Append(x);
  return v;
}

}  // namespace

TEST(VectorIntSearch, LocateCountsLeadingElementsOnTheSortedSide) {
  EXPECT_EQ(makeInts({1, 3, 5, 7}).Locate(5), 2);
  EXPECT_EQ(makeInts({7, 5, 3, 1}).Locate(5), 1);
  EXPECT_EQ(makeInts({1, 3, 5, 7}).Locate(0), 0);
  EXPECT_EQ(makeInts({1, 3, 5, 7}).Locate(100), 4);
  EXPECT_EQ(makeInts({}).Locate(1), 0);
  EXPECT_EQ(makeInts({4}).Locate(5), 1);
  EXPECT_EQ(makeInts({4}).Locate(4), 0);
}

TEST(VectorIntSearch, RemoveValueTakesOutOnlyPresentValues) {
  KelVectorInt v = makeInts({1, 3, 5});
  EXPECT_EQ(v.RemoveValue(4), 0);
  EXPECT_EQ(v.Size(), 3);
  EXPECT_EQ(v.RemoveValue(0), 0);
  EXPECT_EQ(v.RemoveValue(9), 0);
  EXPECT_EQ(v.RemoveValue(3), 2);
  ASSERT_EQ(v.Size(), 2);
  EXPECT_EQ(v(1), 1);
  EXPECT_EQ(v(2), 5);
  KelVectorInt empty;
  EXPECT_EQ(empty.RemoveValue(1), 0);
}

TEST(VectorIntBasics, SumMaxReverseAndRemove) {
  KelVectorInt v = makeInts({2, 9, 4, 9});
  EXPECT_EQ(v.SumElements(), 24);
  int position = 0;
  EXPECT_EQ(v.Max(&position), 9);
  EXPECT_EQ(position, 2);
  v.Reverse();
  EXPECT_EQ(v(1), 9);
  EXPECT_EQ(v(4), 2);
  EXPECT_EQ(v.RemoveElement(0), 0);
  EXPECT_EQ(v.RemoveElement(4), 2);
  EXPECT_EQ(v.Size(), 3);
  KelVectorInt one = makeInts({6});
  EXPECT_EQ(one.RemoveElement(1), 6);
  EXPECT_EQ(one.Size(), 0);
  EXPECT_EQ(KelVectorInt().Max(), 0);
  KelVectorInt filled(3);
  filled = 4;
  EXPECT_EQ(filled.SumElements(), 12);
  filled = 0;
  EXPECT_EQ(filled.SumElements(), 0);
}

TEST(VectorIntBasics, IndexOutsideIsFatalWithReversedClassText) {
  KelVectorInt v(2);
  EXPECT_KEL_FATAL(v(3),
                   "class KelVectorInt\n\nIndex out of range\n\nOperator: ()\nindex 3, valid 1..2");
  EXPECT_KEL_FATAL(KelVectorInt(2147483647),
                   "class KelVectorInt\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(VectorIntBasics, PrintsIndexAndValueInFiveColumns) {
  KelVectorInt v = makeInts({7, -12});
  std::string text = kel_test::CaptureOutput([&] { v.PrintObject(); });
  EXPECT_EQ(text, "\nKelVectorInt No." + std::to_string(v.GetSerialNumber()) +
                      "\nSize 2\n    1     7\n    2   -12\n");
}
