#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::ReadFile;
using kel_test::ScratchPath;

TEST(SaveFile, ScalarsVectorsAndMatricesInTheirLayouts) {
  const std::string path = ScratchPath("save");
  {
    KelSave save(path.c_str());
    save << 7 << 0.5 << KelVector(3, 1., 2., 3.) << KelMatrix(2, 2, 1., -2., 3.5, 4.);
    save.Close();
  }  // the destructor must not close a second time
  EXPECT_EQ(ReadFile(path),
            " 7\n"
            " 5.000000000000000e-01\n"
            " 3\n"
            " 1.000000000000000e+00 2.000000000000000e+00 3.000000000000000e+00\n"
            " 2 2\n"
            "  1.000000000000000e+00 -2.000000000000000e+00\n"
            "  3.500000000000000e+00  4.000000000000000e+00\n");
}

TEST(SaveFile, SparseMatrixListsItsStoredElementsIncludingReadOnes) {
  const std::string path = ScratchPath("sparse");
  KelMatrixSparse A(2, 3);
  A(2, 3) = 1.25;
  double untouched = A(1, 2);  // stored by reading
  (void)untouched;
  KelMatrixSparse none(4, 1);
  {
    KelSave save(path.c_str());
    save << A << none;
  }  // closed by the destructor
  EXPECT_EQ(ReadFile(path),
            "\n 2 3\n 2"
            "\n1 2  0.000000000000000e+00"
            "\n2 3  1.250000000000000e+00"
            "\n 4 1\n 0");
}

TEST(SaveFile, EmptyContainersAndReplacementOfOldContent) {
  const std::string path = ScratchPath("empty");
  {
    KelSave save(path.c_str());
    save << 1 << 2 << 3;
  }
  {
    KelSave save(path.c_str());
    save << KelVector() << KelMatrix();
  }
  EXPECT_EQ(ReadFile(path), " 0\n\n 0 0\n");
}

TEST(SaveFile, UnopenableFileIsFatalWithItsName) {
  EXPECT_KEL_FATAL(KelSave("missing_folder/x.lrg"),
                   "KelSave class\nCan't open FILE\nmissing_folder/x.lrg");
}
