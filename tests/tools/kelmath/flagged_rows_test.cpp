// The flagged rows a streamed fit keeps for its summary: every row the in-memory summary would
// list, whatever the split into parts.
#include "flagged_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "regression_summary.h"

namespace kelmath_cli {
namespace {

FlaggedRow Row(int row, double cook, double studentized) {
  FlaggedRow r;
  r.observation.row = row;
  r.observation.cooksDistance = cook;
  r.observation.studentizedResidual = studentized;
  r.flags = {row, 0, true, std::fabs(studentized) > 3.0, false};
  return r;
}

// The rows the summary lists for a result holding all the flagged rows.
std::vector<int> ListedFromAll(const std::vector<FlaggedRow>& rows) {
  RegressionResult all;
  StoreFlaggedRows(rows, static_cast<long long>(rows.size()), all);
  std::vector<int> listed;
  for (const size_t k : ShownInfluential(all)) listed.push_back(all.influential[k].row);
  return listed;
}

TEST(FlaggedRows, KeepsEveryRowTheSummaryListsWhateverThePartsAndTies) {
  for (const int count : {3, 10, 11, 5000}) {
    std::mt19937 random(static_cast<unsigned>(count));
    std::uniform_int_distribution<int> level(0, 20);  // many ties
    std::vector<FlaggedRow> rows;
    for (int i = 1; i <= count; ++i)
      rows.push_back(
          Row(3 * i, level(random) / 4.0, i % 97 == 0 ? NAN : (level(random) - 10) / 2.0));
    for (const int parts : {1, 4}) {
      std::vector<FlaggedRows> kept(static_cast<size_t>(parts));
      // Contiguous parts, as ranks read them.
      for (size_t i = 0; i < rows.size(); ++i)
        kept[i * static_cast<size_t>(parts) / rows.size()].Add(rows[i]);
      FlaggedRows joined;
      for (FlaggedRows& part : kept) joined.Join(part.Bytes());
      EXPECT_EQ(joined.Count(), count);
      RegressionResult streamed;
      streamed.passes = 3;
      StoreFlaggedRows(joined.Candidates(), joined.Count(), streamed);
      std::vector<int> listed;
      for (const size_t k : ShownInfluential(streamed))
        listed.push_back(streamed.influential[k].row);
      EXPECT_EQ(listed, ListedFromAll(rows)) << count << " rows in " << parts << " parts";
      EXPECT_EQ(streamed.FlaggedCount(), static_cast<size_t>(count));
      EXPECT_LE(streamed.influential.size(), 30u);
    }
  }
}

TEST(FlaggedRows, BytesCarryEveryField) {
  FlaggedRows one;
  FlaggedRow r = Row(17, 0.5, -4.25);
  r.observation.fitted = 1e-300;
  r.observation.residual = -2.5e300;
  r.observation.leverage = 0.75;
  r.flags.leverage = true;
  one.Add(r);
  FlaggedRows joined;
  joined.Join(one.Bytes());
  const std::vector<FlaggedRow> back = joined.Candidates();
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].observation.row, 17);
  EXPECT_EQ(back[0].observation.fitted, 1e-300);
  EXPECT_EQ(back[0].observation.residual, -2.5e300);
  EXPECT_EQ(back[0].observation.leverage, 0.75);
  EXPECT_TRUE(back[0].flags.cook && back[0].flags.studentized && back[0].flags.leverage);
}

}  // namespace
}  // namespace kelmath_cli
