#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

TEST(MatrixSparse, AccessStoresElementsInColumnOrder) {
  KelMatrixSparse A(3, 5);
  EXPECT_EQ(A.CountStored(), 0);
  A(2, 4) = 1.5;
  A(2, 1) = -1.0;  // before the head
  A(2, 3) = 2.0;   // in between
  A(2, 5) = 3.0;   // after the tail
  A(2, 4) += 1.0;  // existing node
  EXPECT_EQ(A.CountStored(), 4);
  int expectedColumns[] = {1, 3, 4, 5};
  double expectedValues[] = {-1.0, 2.0, 2.5, 3.0};
  int k = 0;
  for (const KelMatrixSparse::Node* node = A.RowList(2); node != nullptr; node = node->next, ++k) {
    EXPECT_EQ(node->column, expectedColumns[k]);
    EXPECT_EQ(node->value, expectedValues[k]);
  }
  EXPECT_EQ(k, 4);
  double read = A(1, 1);  // reading an absent element stores it with 0
  EXPECT_EQ(read, 0.0);
  EXPECT_EQ(A.CountStored(), 5);
}

TEST(MatrixSparse, IndicesOutsideAreFatal) {
  KelMatrixSparse A(2, 2);
  EXPECT_KEL_FATAL(A(3, 1),
                   "KelMatrixSparse class\n\nDimension check failure\n\nOperator: ()\nindex (3, "
                   "1), valid (1..2, 1..2)");
  EXPECT_KEL_FATAL(A(1, 0),
                   "KelMatrixSparse class\n\nDimension check failure\n\nOperator: ()\nindex (1, "
                   "0), valid (1..2, 1..2)");
}

TEST(MatrixSparse, CopyIsDeepAndPrintListsStoredElements) {
  KelMatrixSparse A(2, 3);
  A(1, 2) = 4.0;
  A(2, 3) = -0.5;
  KelMatrixSparse B(A);
  B(1, 2) = 9.0;
  EXPECT_EQ(A(1, 2), 4.0);
  std::string text = kel_test::CaptureOutput([&] { A.PrintObject(); });
  EXPECT_EQ(text, "\nKelMatrixSparse No." + std::to_string(A.GetSerialNumber()) +
                      "\nrows 2 columns 3\n"
                      "\n    1     2     4.00000000000000e+00"
                      "\n    2     3    -5.00000000000000e-01");
}
