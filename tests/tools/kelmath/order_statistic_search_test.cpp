// The exact order statistics of values seen in passes, against a sort of all of them.
#include "order_statistic_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace kelmath_cli {
namespace {

// Runs the search over values split into parts (as ranks would hold them), every part adding
// its own values each pass, the counts summed and the kept values joined; returns the values
// found and the passes it took.
std::vector<double> Search(const std::vector<double>& values, const std::vector<long long>& ranks,
                           double scale, int parts, int* passes) {
  std::vector<OrderStatisticSearch> searches(
      static_cast<size_t>(parts),
      OrderStatisticSearch(static_cast<long long>(values.size()), ranks, scale));
  const double lowest = *std::min_element(values.begin(), values.end());
  const double highest = *std::max_element(values.begin(), values.end());
  *passes = 0;
  while (!searches[0].Done()) {
    ++*passes;
    for (size_t i = 0; i < values.size(); ++i)
      searches[i % static_cast<size_t>(parts)].Add(values[i]);
    std::vector<long long> summed(searches[0].Counts().size(), 0);
    std::vector<double> kept;
    for (const OrderStatisticSearch& s : searches) {
      for (size_t k = 0; k < summed.size(); ++k) summed[k] += s.Counts()[k];
      kept.insert(kept.end(), s.Kept().begin(), s.Kept().end());
    }
    for (size_t p = 0; p < searches.size(); ++p)
      searches[p].Step(summed, lowest, highest, p == 0 ? kept : std::vector<double>());
    for (const OrderStatisticSearch& s : searches) EXPECT_EQ(s.Done(), searches[0].Done());
    if (*passes > 10) break;
  }
  return searches[0].Values();
}

std::vector<double> Sorted(std::vector<double> values, const std::vector<long long>& ranks) {
  std::sort(values.begin(), values.end());
  std::vector<double> wanted;
  for (const long long r : ranks) wanted.push_back(values[static_cast<size_t>(r)]);
  return wanted;
}

TEST(OrderStatisticSearch, QuartilesOfNormalValuesInTwoPassesAtAnyScale) {
  for (const double unit : {1.0, 1e-150, 1e150}) {
    std::mt19937_64 random(7);
    std::normal_distribution<double> normal(0.0, unit);
    std::vector<double> values(100001);
    for (double& v : values) v = normal(random);
    const long long m = static_cast<long long>(values.size());
    const std::vector<long long> ranks = {0, m / 4, m / 4 + 1, m / 2, 3 * m / 4, m - 1};
    for (const int parts : {1, 3}) {
      int passes = 0;
      EXPECT_EQ(Search(values, ranks, unit, parts, &passes), Sorted(values, ranks)) << unit;
      EXPECT_EQ(passes, 2);  // a histogram, then the values of the bins kept
    }
  }
}

// Values whose count is known only after the first pass (some of them are not counted, as the
// undefined standardized residuals of rows of leverage 1): the ranks set before the first step.
TEST(OrderStatisticSearch, RanksSetAfterTheFirstPassGiveTheExactValues) {
  std::mt19937_64 random(3);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<double> values(50000);
  for (double& v : values) v = normal(random);
  const long long count = static_cast<long long>(values.size());
  const std::vector<long long> ranks = {count / 4, count / 4 + 1, 3 * count / 4, count - 1};
  for (const int parts : {1, 3}) {
    std::vector<OrderStatisticSearch> searches(static_cast<size_t>(parts),
                                               OrderStatisticSearch(2 * count, {0, 0, 0, 0}, 1.0));
    for (size_t i = 0; i < values.size(); ++i)
      searches[i % static_cast<size_t>(parts)].Add(values[i]);
    std::vector<long long> summed(searches[0].Counts().size(), 0);
    for (OrderStatisticSearch& s : searches) {
      s.SetRanks(count, ranks);
      for (size_t k = 0; k < summed.size(); ++k) summed[k] += s.Counts()[k];
    }
    const double lowest = *std::min_element(values.begin(), values.end());
    const double highest = *std::max_element(values.begin(), values.end());
    for (OrderStatisticSearch& s : searches) s.Step(summed, lowest, highest, {});
    for (size_t i = 0; i < values.size(); ++i)
      searches[i % static_cast<size_t>(parts)].Add(values[i]);
    std::vector<double> kept;
    for (const OrderStatisticSearch& s : searches)
      kept.insert(kept.end(), s.Kept().begin(), s.Kept().end());
    for (size_t p = 0; p < searches.size(); ++p)
      searches[p].Step({}, lowest, highest, p == 0 ? kept : std::vector<double>());
    ASSERT_TRUE(searches[0].Done());
    EXPECT_EQ(searches[0].Values(), Sorted(values, ranks)) << parts << " parts";
  }
}

TEST(OrderStatisticSearch, HeavyTailsAndAWrongScaleStillGiveTheExactValues) {
  // Most values far beyond the +-8 scales of the first histogram, in its outer bins.
  std::mt19937_64 random(11);
  std::cauchy_distribution<double> cauchy(5.0, 1e3);
  std::vector<double> values(20000);
  for (double& v : values) v = cauchy(random);
  const std::vector<long long> ranks = {1, 5000, 9999, 10000, 15000, 19998};
  int passes = 0;
  EXPECT_EQ(Search(values, ranks, 1e-3, 2, &passes), Sorted(values, ranks));
}

TEST(OrderStatisticSearch, ManyValuesInOneBinNeedAnotherHistogram) {
  // Two million values within one part in 10^9 of each other: the first histogram's bin holds
  // more than the search keeps, so it is refined before the values are kept.
  std::vector<double> values(2000000);
  for (size_t i = 0; i < values.size(); ++i)
    values[i] = 1.0 + 1e-9 * static_cast<double>((i * 7919) % values.size()) / 2e6;
  values[0] = -3.0;
  const std::vector<long long> ranks = {500000, 500001, 1000000, 1999999};
  int passes = 0;
  EXPECT_EQ(Search(values, ranks, 1.0, 2, &passes), Sorted(values, ranks));
  EXPECT_GT(passes, 2);
}

TEST(OrderStatisticSearch, EqualValuesAndTinyCounts) {
  int passes = 0;
  EXPECT_EQ(Search(std::vector<double>(50, 2.5), {0, 25, 49}, 0.0, 2, &passes),
            (std::vector<double>{2.5, 2.5, 2.5}));
  EXPECT_EQ(passes, 1);
  const std::vector<double> three = {3.0, -1.0, 2.0};
  EXPECT_EQ(Search(three, {0, 1, 2}, 0.0, 3, &passes), (std::vector<double>{-1.0, 2.0, 3.0}));
}

}  // namespace
}  // namespace kelmath_cli
