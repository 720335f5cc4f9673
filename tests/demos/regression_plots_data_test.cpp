// The data sets built into regression_plots, against the literal values and against the X20
// matrix that the R reference computed (four significant digits, halves away from zero).
#include "../../demos/regression_plots/regression_plots_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "kel_test_support.h"

using namespace regression_plots;

namespace {

// The "X20[i,j] = value" lines of the best-subsets reference.
std::map<std::string, double> ReferenceX20() {
  std::map<std::string, double> values;
  std::ifstream in = kel_test::OpenReference("r/stepwise_X20.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("X20[", 0) != 0) continue;
    const size_t equal = line.find(" = ");
    values[line.substr(0, equal)] = std::strtod(line.c_str() + equal + 3, nullptr);
  }
  return values;
}

}  // namespace

TEST(RegressionPlotsData, RoundingKeepsFourSignificantDigitsHalvesAwayFromZero) {
  EXPECT_EQ(RoundToFourSignificantDigits(50625.0), 50630.0);
  EXPECT_EQ(RoundToFourSignificantDigits(-50625.0), -50630.0);
  EXPECT_EQ(RoundToFourSignificantDigits(14641.0), 14640.0);
  EXPECT_EQ(RoundToFourSignificantDigits(12345.0), 12350.0);
  EXPECT_EQ(RoundToFourSignificantDigits(1.0005), 1.0);  // 1.0005 is stored below the half
  EXPECT_EQ(RoundToFourSignificantDigits(0.84147098480789650), 0.8415);
  EXPECT_EQ(RoundToFourSignificantDigits(1000.0), 1000.0);
  EXPECT_EQ(RoundToFourSignificantDigits(9999.6), 10000.0);
  EXPECT_EQ(RoundToFourSignificantDigits(0.0), 0.0);
  EXPECT_EQ(RoundToFourSignificantDigits(1.2345e-7), 1.235e-7);
}

TEST(RegressionPlotsData, X20MatchesTheExamplesAndTheReference) {
  const KelMatrix X = MakeX20();
  ASSERT_EQ(X.Rows(), 20);
  ASSERT_EQ(X.Columns(), 9);
  EXPECT_EQ(X(11, 5), 14640.0);  // 11^4
  EXPECT_EQ(X(11, 6), -121.0);   // 11^2 sin 11
  EXPECT_EQ(X(15, 5), 50630.0);  // 15^4 = 50625, the one tie
  const std::map<std::string, double> reference = ReferenceX20();
  ASSERT_EQ(reference.size(), 180u);
  for (int i = 1; i <= 20; ++i) {
    for (int j = 1; j <= 9; ++j) {
      const std::string key = "X20[" + std::to_string(i) + "," + std::to_string(j) + "]";
      EXPECT_EQ(X(i, j), reference.at(key)) << key;
    }
  }
}

TEST(RegressionPlotsData, SmallDataSets) {
  const KelMatrix X6 = MakeX6();
  EXPECT_EQ(X6(4, 1), 1.0);
  EXPECT_EQ(X6(4, 2), 4.0);
  const KelVector x11 = MakeX11();
  ASSERT_EQ(x11.Size(), 11);
  EXPECT_EQ(x11(1), 0.0);
  EXPECT_EQ(x11(4), 0.3);
  EXPECT_EQ(x11(11), 1.0);
  const KelMatrix X7 = MakeX7();
  EXPECT_EQ(X7(1, 1), 1.0);
  EXPECT_EQ(X7(2, 1), 6.0);
  EXPECT_EQ(X7(7, 5), 35.0);
  EXPECT_EQ(MakeXc()(11, 2), 4.8);
  EXPECT_EQ(MakeYc()(9), 59.4);
  EXPECT_EQ(MakeY20()(20), 1920.0);
  EXPECT_EQ(MakeX12().Size(), 12);
  EXPECT_EQ(MakeY12().Size(), 12);
  EXPECT_EQ(MakeY11().Size(), 11);
  EXPECT_EQ(MakeY7().Size(), 7);
}
