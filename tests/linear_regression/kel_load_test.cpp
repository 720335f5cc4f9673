// KelLoad: well-formed files with any line breaks, the KelSave round trip bit for bit, and every
// malformed, missing, truncated or overflowing item ending the program with the read message.
#include "linear_regression/kel_load.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_save.h"
#include "containers/kel_vector.h"
#include "foundation/kel_output.h"
#include "kel_test_support.h"

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

// Reading text must end with the read message, naming the file and then where: `detail`.
void ExpectUnreadable(const std::string& text, const std::string& detail) {
  const std::string path = WriteText(text);
  SCOPED_TRACE("[" + text + "]");
  EXPECT_KEL_FATAL(ReadMatrixVectorReal(path),
                   std::string("KelLoad class\nCan't read FILE\n") + path + "\n" + detail);
}

TEST(KelLoadDeathTest, MissingFileIsFatal) {
  EXPECT_KEL_FATAL(KelLoad("absent.txt"), "KelLoad class\nCan't open FILE\nabsent.txt");
}

TEST(KelLoadDeathTest, MalformedNumbersAreFatalWithTheirItemAndText) {
  ExpectUnreadable("2 1 1.5 abc 1 2 0.5", "line 1, item 4: \"abc\"");      // not a number
  ExpectUnreadable("2 1 1.5 2.5x 1 2 0.5", "line 1, item 4: \"2.5x\"");    // trailing characters
  ExpectUnreadable("2 1 1.5 2,5 1 2 0.5", "line 1, item 4: \"2,5\"");      // decimal comma
  ExpectUnreadable("2.0 1 1.5 2.5 1 2 0.5", "line 1, item 1: \"2.0\"");    // size not an integer
  ExpectUnreadable("2 1 1.5 2.5 1x 2 0.5", "line 1, item 5: \"1x\"");      // malformed size
  ExpectUnreadable("2 1 1.5 2.5 1 2 --0.5", "line 1, item 7: \"--0.5\"");  // malformed real
  ExpectUnreadable("2 1 1.5 2.5 +-1 2 0.5", "line 1, item 5: \"+-1\"");    // two signs
}

TEST(KelLoadDeathTest, PositionCountsLinesAndItemsOverTheWholeFile) {
  // A regression data file whose 14th item, on line 8, has a decimal comma.
  ExpectUnreadable(" 5 2\n 1 1\n 1 2\n 1 3\n 1 4\n 1 5\n 5\n 1,5 2 3 4 5\n 0\n",
                   "line 8, item 14: \"1,5\"");
  ExpectUnreadable(" 5 2\n 1 1\n 1 2\n 1 3\n 1 4\n 1 5\n 5 1 2 3 4\n\n\n 1,5\n",
                   "line 10, item 18: \"1,5\"");
  // Text that cannot be printed is shown as '?' and a long item is cut.
  ExpectUnreadable(
      "2 1 1\x01"
      "5 2 1 2 0.5",
      "line 1, item 3: \"1?5\"");
  ExpectUnreadable("2 1 " + std::string(50, '7') + "x 2 1 2 0.5",
                   "line 1, item 3: \"" + std::string(40, '7') + "...\"");
}

TEST(KelLoadDeathTest, FilesEndingInsideAnItemAreFatal) {
  ExpectUnreadable("", "line 1, item 1: end of file");                 // nothing at all
  ExpectUnreadable("2", "line 1, item 2: end of file");                // matrix size cut short
  ExpectUnreadable("2 2 1 2 3 ", "line 1, item 6: end of file");       // inside the matrix
  ExpectUnreadable("2 1 1 2", "line 1, item 5: end of file");          // vector size missing
  ExpectUnreadable("2 1 1 2 3 1 2  ", "line 1, item 8: end of file");  // inside the vector
  // Where the size alone shows that the file is too short, the size is at fault.
  ExpectUnreadable("2 2 1 2 3", "line 1, item 2: more elements than the file holds");
  ExpectUnreadable("2 1 1 2 1 2", "line 1, item 7: end of file");  // the real is missing
}

TEST(KelLoadDeathTest, NegativeOrOverflowingSizesAreFatal) {
  ExpectUnreadable("-1 2 1 2 1 2 0.5", "line 1, item 1: \"-1\"");  // negative rows
  ExpectUnreadable("2 1 1 2 -3 0.5", "line 1, item 5: \"-3\"");    // negative vector size
  ExpectUnreadable("99999999999 1 1 2 1 2 0.5", "line 1, item 1: \"99999999999\"");
  ExpectUnreadable("65536 65536 1 2 1 2 0.5",
                   "line 1, item 2: more elements than a container can hold");
  ExpectUnreadable("1000000 1000 1 2 1 2 0.5", "line 1, item 2: more elements than the file holds");
  ExpectUnreadable("2 1 1 2 2000000000 0.5", "line 1, item 5: more elements than the file holds");
}

TEST(KelLoadDeathTest, OverflowingValuesAreFatal) {
  ExpectUnreadable("2 1 1e999 2 1 2 0.5", "line 1, item 3: \"1e999\"");
  ExpectUnreadable("2 1 1 2 1 2 -1e400", "line 1, item 7: \"-1e400\"");
}

TEST(KelLoad, UnderflowNonFiniteAndUncommonFormsRead) {
  const std::string path = WriteText("2 1 1e-400 +2.5 4 nan inf -INFINITY 0x1p-3 +7");
  KelLoad load(path.c_str());
  KelMatrix A;
  KelVector v;
  int k = 0;
  load >> A >> v >> k;
  EXPECT_EQ(A(1, 1), 0.0);
  EXPECT_EQ(A(2, 1), 2.5);
  EXPECT_TRUE(std::isnan(v(1)));
  EXPECT_EQ(v(2), HUGE_VAL);
  EXPECT_EQ(v(3), -HUGE_VAL);
  EXPECT_EQ(v(4), 0.125);
  EXPECT_EQ(k, 7);
  EXPECT_TRUE(load.AtEnd());
}

TEST(KelLoad, ItemsAcrossBlockBoundariesReadExactly) {
  // 300,000 values of varied lengths: the 1 MiB blocks end inside items many times.
  std::mt19937_64 generator(7);
  std::uniform_real_distribution<double> uniform(-1e6, 1e6);
  std::vector<double> values(300000);
  std::string text = "300000\n";
  char number[40];
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = uniform(generator) / static_cast<double>(1 + i % 97);
    std::snprintf(number, sizeof number, i % 3 == 0 ? "%.17g " : "%.17g\n", values[i]);
    text += number;
  }
  const std::string path = WriteText(text);
  KelLoad load(path.c_str());
  KelVector v;
  load >> v;
  ASSERT_EQ(v.Size(), 300000);
  for (int i = 1; i <= 300000; ++i)
    ASSERT_EQ(Bits(v(i)), Bits(values[static_cast<size_t>(i - 1)])) << i;
  EXPECT_TRUE(load.AtEnd());
}

TEST(KelLoadDeathTest, AnItemLongerThanABlockIsFatal) {
  ExpectUnreadable("2 1 " + std::string(size_t{1} << 21, '1') + " 2 1 2 0.5",
                   "line 1, item 3: \"" + std::string(40, '1') + "...\"");
}

}  // namespace
