// KelLoad: well-formed files with any line breaks, the KelSave round trip bit for bit, and every
// malformed, missing, truncated or overflowing item ending the program with the read message.
#include "kel_load.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "kel_matrix.h"
#include "kel_output.h"
#include "kel_save.h"
#include "kel_test_support.h"
#include "kel_vector.h"

namespace {

std::string WriteText(const std::string& text) {
  const std::string path = kel_test::ScratchPath("load");
  std::ofstream(path) << text;
  return path;
}

uint64_t Bits(double v) {
  uint64_t u = 0;
  std::memcpy(&u, &v, sizeof u);
  return u;
}

TEST(KelLoad, ItemsReadInOrderWhateverTheLineBreaks) {
  const std::string path =
      WriteText("2\n3 \t 1.5 -2\n\n 4e-3 0x1p-2\n 3\n5\n3 7\n  -8.25E+01 \n  42 \n\n 0.125\n-9\n");
  KelLoad load(path.c_str());
  KelMatrix A;
  KelVector v;
  double x = 0.0;
  int k = 0;
  load >> A >> v >> x >> k;
  ASSERT_EQ(A.Rows(), 2);
  ASSERT_EQ(A.Columns(), 3);
  EXPECT_EQ(A(1, 1), 1.5);
  EXPECT_EQ(A(1, 2), -2.0);
  EXPECT_EQ(A(1, 3), 4e-3);
  EXPECT_EQ(A(2, 1), 0.25);
  EXPECT_EQ(A(2, 2), 3.0);
  EXPECT_EQ(A(2, 3), 5.0);
  ASSERT_EQ(v.Size(), 3);
  EXPECT_EQ(v(1), 7.0);
  EXPECT_EQ(v(2), -82.5);
  EXPECT_EQ(v(3), 42.0);
  EXPECT_EQ(x, 0.125);
  EXPECT_EQ(k, -9);
  EXPECT_TRUE(load.AtEnd());
}

TEST(KelLoad, EmptySizesGiveEmptyContainers) {
  const std::string path = WriteText("0 0\n0\n 7");
  KelLoad load(path.c_str());
  KelMatrix A(2, 2);
  KelVector v(3);
  int k = 0;
  load >> A >> v >> k;
  EXPECT_EQ(A.Rows(), 0);
  EXPECT_EQ(v.Size(), 0);
  EXPECT_EQ(k, 7);
  EXPECT_TRUE(load.AtEnd());
}

TEST(KelLoad, KelSaveRoundTripIsBitForBit) {
  // KelSave writes 16 significant digits: every double whose shortest decimal form has at most
  // 16 digits comes back exactly. Random 15-digit values, extremes and subnormals.
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-300, 300);
  KelMatrix A(7, 5);
  KelVector v(40);
  char text[64];
  auto draw = [&]() {
    double value = mantissa(random) * std::pow(10.0, exponent(random));
    if (random() % 2 != 0) value = -value;
    std::snprintf(text, sizeof text, "%.14e", value);
    return std::strtod(text, nullptr);
  };

  for (int i = 1; i <= 7; ++i)
    for (int j = 1; j <= 5; ++j) A(i, j) = draw();
  for (int i = 1; i <= 34; ++i) v(i) = draw();
  v(35) = 1.797693134862315e308;
  v(36) = 2.225073858507201e-308;
  v(37) = 4.9406564584124654e-324;
  v(38) = -0.0;
  v(39) = 0.1;
  v(40) = 1e22;
  const double variance = 0.013;
  const int degrees = 4;
  const std::string path = kel_test::ScratchPath("roundtrip");
  {
    KelSave save(path.c_str());
    save << A << v << variance << degrees;
    save.Close();
  }
  KelLoad load(path.c_str());
  KelMatrix B;
  KelVector w;
  double readVariance = 0.0;
  int readDegrees = 0;
  load >> B >> w >> readVariance >> readDegrees;
  EXPECT_TRUE(load.AtEnd());
  ASSERT_EQ(B.Rows(), 7);
  ASSERT_EQ(B.Columns(), 5);
  for (int i = 1; i <= 7; ++i)
    for (int j = 1; j <= 5; ++j) EXPECT_EQ(Bits(B(i, j)), Bits(A(i, j))) << i << "," << j;
  ASSERT_EQ(w.Size(), 40);
  for (int i = 1; i <= 40; ++i) EXPECT_EQ(Bits(w(i)), Bits(v(i))) << i;
  EXPECT_EQ(Bits(readVariance), Bits(variance));
  EXPECT_EQ(readDegrees, degrees);
}

// ---------------------------------------------------------------------------------------------

void ReadMatrixVectorReal(const std::string& path) {
  KelLoad load(path.c_str());
  KelMatrix A;
  KelVector v;
  double x = 0.0;
  load >> A >> v >> x;
}

void ExpectUnreadable(const std::string& text) {
  const std::string path = WriteText(text);
  SCOPED_TRACE("[" + text + "]");
  EXPECT_KEL_FATAL(ReadMatrixVectorReal(path),
                   std::string("KelLoad class\nCan't read FILE\n") + path);
}

TEST(KelLoadDeathTest, MissingFileIsFatal) {
  EXPECT_KEL_FATAL(KelLoad("absent.txt"), "KelLoad class\nCan't open FILE\nabsent.txt");
}

TEST(KelLoadDeathTest, MalformedNumbersAreFatal) {
  ExpectUnreadable("2 1 1.5 abc 1 2 0.5");    // not a number
  ExpectUnreadable("2 1 1.5 2.5x 1 2 0.5");   // trailing characters
  ExpectUnreadable("2 1 1.5 2,5 1 2 0.5");    // decimal comma
  ExpectUnreadable("2.0 1 1.5 2.5 1 2 0.5");  // size that is not an integer
  ExpectUnreadable("2 1 1.5 2.5 1x 2 0.5");   // malformed size
  ExpectUnreadable("2 1 1.5 2.5 1 2 --0.5");  // malformed real
}

TEST(KelLoadDeathTest, FilesEndingInsideAnItemAreFatal) {
  ExpectUnreadable("");               // nothing at all
  ExpectUnreadable("2");              // matrix size cut short
  ExpectUnreadable("2 2 1 2 3");      // inside the matrix
  ExpectUnreadable("2 1 1 2");        // vector size missing
  ExpectUnreadable("2 1 1 2 3 1 2");  // inside the vector
  ExpectUnreadable("2 1 1 2 1 2");    // the real after the vector is missing
}

TEST(KelLoadDeathTest, NegativeOrOverflowingSizesAreFatal) {
  ExpectUnreadable("-1 2 1 2 1 2 0.5");           // negative rows
  ExpectUnreadable("2 1 1 2 -3 0.5");             // negative vector size
  ExpectUnreadable("99999999999 1 1 2 1 2 0.5");  // size beyond int
  ExpectUnreadable("65536 65536 1 2 1 2 0.5");    // element count beyond int
  ExpectUnreadable("1000000 1000 1 2 1 2 0.5");   // more elements than the file can hold
  ExpectUnreadable("2 1 1 2 2000000000 0.5");     // the same for a vector
}

TEST(KelLoadDeathTest, OverflowingValuesAreFatal) {
  ExpectUnreadable("2 1 1e999 2 1 2 0.5");
  ExpectUnreadable("2 1 1 2 1 2 -1e400");
}

}  // namespace
