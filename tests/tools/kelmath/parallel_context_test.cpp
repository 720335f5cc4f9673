// The one-process context: every collective operation gives back what the process passed, and
// the ordered writing of a file (shared with the MPI context) writes, truncates, streams in
// blocks, reports a file it cannot write and works through a pending file's visible temporary.
// The same operations on several processes: tests/mpi/ (a build with -DKELMATH_MPI=ON).
#include "parallel_context.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "pending_files.h"

namespace {

using kelmath_cli::PendingFiles;
using kelmath_cli::RankProblem;
using kelmath_cli::SingleProcessContext;

TEST(SingleProcessContextTest, IsRankZeroOfOneAndTheRoot) {
  SingleProcessContext context;
  EXPECT_EQ(context.Rank(), 0);
  EXPECT_EQ(context.Size(), 1);
  EXPECT_TRUE(context.IsRoot());
}

TEST(SingleProcessContextTest, ReductionsGiveBackTheProcesssOwnValues) {
  SingleProcessContext context;
  std::vector<double> values{std::ldexp(3, 500), -std::ldexp(5, -500)};
  context.SumAll(values);
  EXPECT_EQ(values, (std::vector<double>{std::ldexp(3, 500), -std::ldexp(5, -500)}));
  std::vector<long long> counts{1LL << 40, -7};
  context.SumAll(counts);
  EXPECT_EQ(counts, (std::vector<long long>{1LL << 40, -7}));
  EXPECT_EQ(context.MaxAll(-std::ldexp(1, -500)), -std::ldexp(1, -500));
  EXPECT_EQ(context.ExclusivePrefixSum(1234567890123LL), 0);
}

TEST(SingleProcessContextTest, CombineNeverMergesTheOnlyState) {
  SingleProcessContext context;
  int merges = 0;
  const std::vector<double> state = context.Combine(
      {1, 2, 3}, [&merges](std::vector<double>&, const std::vector<double>&) { ++merges; });
  EXPECT_EQ(state, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(merges, 0);
}

TEST(SingleProcessContextTest, GatherAndBroadcastGiveBackTheBytes) {
  SingleProcessContext context;
  const std::string bytes("with\0zero", 9);
  EXPECT_EQ(context.GatherToRoot(bytes), std::vector<std::string>{bytes});
  EXPECT_EQ(context.Broadcast(bytes, 0), bytes);
}

TEST(SingleProcessContextTest, AgreedProblemIsTheProcesssOwnAsRankZero) {
  SingleProcessContext context;
  EXPECT_FALSE(context.AgreeOnProblems(std::nullopt));
  const std::optional<RankProblem> problem = context.AgreeOnProblems("line 7: not a number");
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->rank, 0);
  EXPECT_EQ(problem->message, "line 7: not a number");
}

class OrderedWritingTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = kel_test::NewScratchFolder("ordered"); }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::string folder;
  SingleProcessContext context;
};

TEST_F(OrderedWritingTest, WritesTheBytesOverALongerFile) {
  const std::string path = folder + "/rows.csv";
  std::ofstream(path) << std::string(100'000, 'x');
  const std::string bytes("a,b\n1,\0\n", 8);
  EXPECT_FALSE(context.WriteOrdered(path, bytes));
  EXPECT_EQ(kel_test::ReadFile(path), bytes);
  EXPECT_FALSE(context.WriteOrdered(path, ""));
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(OrderedWritingTest, StreamsALocalFileLargerThanOneBlock) {
  // 2.5 MiB of a pattern whose period is prime, so that a block copied to the wrong offset or
  // twice shows.
  std::string part(2'621'440 + 17, '\0');
  for (size_t i = 0; i < part.size(); ++i) part[i] = static_cast<char>('a' + i % 23);
  const std::string local = folder + "/local";
  std::ofstream(local, std::ios::binary) << part;
  const int descriptor = ::open(local.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(descriptor, 0);
  EXPECT_FALSE(context.WriteOrderedFromFile(folder + "/rows.csv", descriptor));
  ::close(descriptor);
  EXPECT_EQ(kel_test::ReadFile(folder + "/rows.csv"), part);
}

TEST_F(OrderedWritingTest, FileThatCannotBeWrittenIsRankZerosProblem) {
  const std::optional<RankProblem> missing = context.WriteOrdered(folder + "/no/rows.csv", "x");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->rank, 0);
  EXPECT_EQ(missing->message, "cannot be written");
  const std::optional<RankProblem> unreadable = context.WriteOrderedFromFile(folder + "/r.csv", -1);
  ASSERT_TRUE(unreadable);
  EXPECT_EQ(unreadable->message, "cannot be written");
}

// The way a command writes an ordered file that appears only when complete: every rank writes
// into the root's visible temporary, which the root names at the end, or abandons.
TEST_F(OrderedWritingTest, FileAppearsThroughAPendingTemporaryOnlyWhenCommitted) {
  const std::string final = folder + "/rows.csv";
  {
    PendingFiles pending(false);
    const std::string temporary = context.Broadcast(pending.Temporary(final), 0);
    EXPECT_FALSE(context.WriteOrdered(temporary, "abandoned\n"));
    EXPECT_FALSE(std::filesystem::exists(final));
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  PendingFiles pending(false);
  EXPECT_FALSE(context.WriteOrdered(context.Broadcast(pending.Temporary(final), 0), "rows\n"));
  EXPECT_EQ(pending.Commit(), "");
  EXPECT_EQ(kel_test::ReadFile(final), "rows\n");
}

}  // namespace
