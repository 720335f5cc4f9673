// Least-median-of-squares analyses of four regressions on four threads at once: each object must
// give, bit for bit, what the same analysis gives alone on one thread, so no state of one robust
// search (its objective, its unfeasibility flag, its factorizations) reaches another.
#include <bit>
#include <cstdint>
#include <latch>
#include <thread>
#include <vector>

#include "kel_test_support.h"
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
  std::vector<RobustOutcome> alone;
  for (const DataSet& set : dataSets) alone.push_back(Analyse(set));

  // Two rounds, the data sets shifted by one thread in the second, so that every analysis meets
  // other neighbours; the latch makes the four start together.
  for (int round = 0; round < 2; ++round) {
    std::vector<RobustOutcome> together(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      const int set = (t + round) % kThreads;
      threads.emplace_back([&, t, set] {
        start.arrive_and_wait();
        together[static_cast<size_t>(t)] = Analyse(dataSets[set]);
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
      const size_t set = static_cast<size_t>((t + round) % kThreads);
      SCOPED_TRACE(testing::Message() << dataSets[set].name << " round " << round);
      const RobustOutcome& got = together[static_cast<size_t>(t)];
      ASSERT_EQ(got.coefficients.size(), alone[set].coefficients.size());
      EXPECT_EQ(got.coefficients, alone[set].coefficients);
      EXPECT_EQ(got.scale, alone[set].scale);
      EXPECT_EQ(got.criterion, alone[set].criterion);
    }
  }
}

}  // namespace
