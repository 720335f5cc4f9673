// The reports' row writer gives the bytes of printf's formats, on values chosen to stress the
// conversions (rounding ties, carries into a new digit, three-digit exponents, subnormals, signed
// zero, NaN and infinities) and on many random ones.
#include "foundation/kel_row_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kel_test_support.h"

namespace {

std::string Printf(const char* format, double value) {
  char text[512];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::vector<double> StressValues() {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> values = {0.0,
                                -0.0,
                                0.125,
                                -0.125,
                                0.375,
                                2.5,
                                9.995,
                                -9.995,
                                0.005,
                                0.015,
                                99.995,
                                1e300,
                                -1e-300,
                                4.9e-324,
                                2.2e-308,
                                1.2345675,
                                12345678.5,
                                9.9999999e99,
                                9.99999995e-100,
                                123.456,
                                -7.0,
                                std::numeric_limits<double>::quiet_NaN(),
                                inf,
                                -inf};
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> exponent(-310.0, 310.0);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> halves(-4000, 4000);
  for (int k = 0; k < 3000; ++k)
    values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
  // Exact binary ties at the second decimal: multiples of 1/8.
  for (int k = 0; k < 300; ++k) values.push_back(halves(random) / 8.0);
  return values;
}

TEST(RowWriter, ConversionsMatchPrintf) {
  for (const double value : StressValues()) {
    const std::string written = kel_test::CaptureOutput([&] {
      KelRowWriter out;
      out.Scientific(value, 16, 7);
      out.Text("|");
      out.Fixed(value, 9, 2);
      out.Text("|");
      out.Scientific(value, 0, 3);
    });
    const std::string expected =
        Printf("%16.7e", value) + "|" + Printf("%9.2f", value) + "|" + Printf("%.3e", value);
    ASSERT_EQ(written, expected) << value;
  }
}

// Values whose digits the writer forms itself (decimal exponents -15 .. 30): random ones at every
// precision, and values at and next to the halfway points between two outputs, where the digit
// kept depends on the last bits of the double.
TEST(RowWriter, ScientificDigitsMatchPrintfAroundEveryRoundingBoundary) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> exponent(-15.0, 30.0);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::vector<std::pair<double, int>> cases;
  for (int k = 0; k < 60000; ++k) {
    const int precision = 1 + k % 15;
    const double value = mantissa(random) * std::pow(10.0, std::floor(exponent(random)));
    cases.push_back({k % 2 == 0 ? value : -value, precision});
    // The halfway point between two outputs of this precision, and its neighbours.
    const double scale = std::pow(10.0, std::floor(std::log10(value)) - precision);
    const double halfway = (std::floor(value / scale) + 0.5) * scale;
    cases.push_back({halfway, precision});
    cases.push_back({std::nextafter(halfway, 0.0), precision});
    cases.push_back({std::nextafter(halfway, 1e300), precision});
  }
  // Carries into a new leading digit and exact binary ties.
  for (int precision = 1; precision <= 15; ++precision) {
    for (double value : {9.9999999999999999, 99.999999999999, 0.999999995, 999999.5, 1.5, 2.5,
                         0.375, 1e22, 1e-15, 123456785.0, 1.25e-7}) {
      cases.push_back({value, precision});
      cases.push_back({std::nextafter(value, 0.0), precision});
      cases.push_back({std::nextafter(value, 1e300), precision});
    }
  }
  std::string expected;
  char text[64];
  for (const auto& [value, precision] : cases) {
    std::snprintf(text, sizeof text, "%.*e\n", precision, value);
    expected += text;
  }
  const std::string written = kel_test::CaptureOutput([&] {
    KelRowWriter out;
    for (const auto& [value, precision] : cases) {
      out.Scientific(value, 0, precision);
      out.Text("\n");
    }
  });
  ASSERT_EQ(written.size(), expected.size());
  size_t line = 0;
  for (size_t start = 0; start < expected.size();) {
    const size_t end = expected.find('\n', start);
    ASSERT_EQ(written.substr(start, end - start), expected.substr(start, end - start))
        << "value " << cases[line].first << " precision " << cases[line].second;
    start = end + 1;
    ++line;
  }
}

TEST(RowWriter, IntegersArePaddedLikePrintf) {
  const std::string written = kel_test::CaptureOutput([] {
    KelRowWriter out;
    for (int value : {0, 7, 42, 999, 1000, 123456, -5}) out.Integer(value, 3);
  });
  std::string expected;
  char text[32];
  for (int value : {0, 7, 42, 999, 1000, 123456, -5}) {
    std::snprintf(text, sizeof text, "%3d", value);
    expected += text;
  }
  EXPECT_EQ(written, expected);
}

TEST(RowWriter, LongOutputArrivesWholeAndInOrder) {
  const std::string written = kel_test::CaptureOutput([] {
    KelRowWriter out;
    for (int j = 1; j <= 20000; ++j) out.Integer(j, 6);
  });
  ASSERT_EQ(written.size(), 20000u * 6u);
  EXPECT_EQ(written.substr(0, 12), "     1     2");
  EXPECT_EQ(written.substr(written.size() - 6), " 20000");
}

}  // namespace
