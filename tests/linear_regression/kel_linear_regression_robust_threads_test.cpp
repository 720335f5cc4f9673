// Least-median-of-squares analyses of four regressions on four threads at once: each object must
// give, bit for bit, what the same analysis gives alone on one thread, so no state of one robust
// search (its objective, its unfeasibility flag, its factorizations) reaches another.
#include <bit>
#include <cstdint>
#include <vector>

#include "kel_test_support.h"
#include "kel_thread_rounds.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression_test_data.h"

namespace {

struct DataSet {
  const char* name;
  KelMatrix (*regressors)();
  KelVector (*responses)();
};

// Four data sets of different shapes (6 x 2 up to 20 x 3 columns chosen from 7), so the four
// searches run through different numbers of minimizer calls and never stay in step.
const DataSet dataSets[] = {
    {"X6", lr_test::MakeX6, lr_test::MakeY6},
    {"x12", lr_test::MakeX12, lr_test::MakeY12},
    {"Xc", lr_test::MakeXc, lr_test::MakeYc},
    {"X20_147", lr_test::MakeX20Columns147, lr_test::MakeY20},
};
constexpr int kThreads = 4;

// The bits of every number the robust analysis reports for the coefficients and the scale.
struct RobustOutcome {
  std::vector<std::uint64_t> coefficients;
  std::uint64_t scale = 0;
  std::uint64_t criterion = 0;
};

RobustOutcome Analyse(const DataSet& set) {
  KelLinearRegression regression(set.regressors(), set.responses());
  RobustOutcome outcome;
  const KelVector& b = regression.RobustParameters();
  for (int j = 1; j <= b.Size(); ++j)
    outcome.coefficients.push_back(std::bit_cast<std::uint64_t>(b(j)));
  outcome.scale = std::bit_cast<std::uint64_t>(regression.RobustScale());
  outcome.criterion = std::bit_cast<std::uint64_t>(regression.LeastMedianOfSquares());
  return outcome;
}

TEST(RobustRegressionThreads, FourObjectsOnFourThreadsMatchEachAloneBitForBit) {
  // Two rounds, the data sets shifted by one thread in the second.
  kel_test::ExpectSameTogetherAsAlone(
      kThreads, 2, [](int set) { return Analyse(dataSets[set]); },
      [](const RobustOutcome& got, const RobustOutcome& alone, int set) {
        SCOPED_TRACE(dataSets[set].name);
        ASSERT_EQ(got.coefficients.size(), alone.coefficients.size());
        EXPECT_EQ(got.coefficients, alone.coefficients);
        EXPECT_EQ(got.scale, alone.scale);
        EXPECT_EQ(got.criterion, alone.criterion);
      });
}

}  // namespace
