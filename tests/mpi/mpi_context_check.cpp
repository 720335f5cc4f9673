// The collective operations of MpiContext on the ranks that mpirun started (ctest runs this with
// 1, 2, 3 and 4 processes). Every rank runs every check; the expected values are worked out
// here by plain loops or written by hand, never taken from another run of the operations. The
// root prints each failed check and the totals; the exit status is 1 when any rank failed one.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mpi_context.h"

namespace {

using kelmath_cli::MpiContext;
using kelmath_cli::RankProblem;

class Checks {
 public:
  explicit Checks(MpiContext& context) : context(context) {}

  void Expect(bool ok, const std::string& what) {
    if (ok) {
      ++passed;
      return;
    }
    ++failed;
    std::fprintf(stderr, "rank %d of %d: failed: %s\n", context.Rank(), context.Size(),
                 what.c_str());
  }

  // The totals over all ranks, printed by the root; the exit status, the same on every rank.
  int Finish() {
    std::vector<long long> counts{passed, failed};
    context.SumAll(counts);
    if (context.IsRoot())
      std::printf("mpi_context on %d processes: %lld passed, %lld failed\n", context.Size(),
                  counts[0], counts[1]);
    return counts[1] == 0 ? 0 : 1;
  }

 private:
  MpiContext& context;
  long long passed = 0;
  long long failed = 0;
};

// The sizes of the run as mpirun announced it to the process.
void CheckRankAndSize(MpiContext& context, Checks& checks) {
  const char* announced = std::getenv("OMPI_COMM_WORLD_SIZE");
  checks.Expect(announced != nullptr && context.Size() == std::atoi(announced),
                "Size() is the number of processes mpirun started");
  checks.Expect(context.Rank() >= 0 && context.Rank() < context.Size(), "Rank() in range");
  checks.Expect(context.IsRoot() == (context.Rank() == 0), "IsRoot() on rank 0 alone");
}

// Sums of values at 2^+-500 (about 10^+-150), powers of two times small integers, so that the
// sums are exact whatever order MPI adds them in.
void CheckSums(MpiContext& context, Checks& checks) {
  const int p = context.Size();
  const double r = context.Rank();
  std::vector<double> values{std::ldexp(r + 1, 500), std::ldexp(r + 1, -500), -r};
  context.SumAll(values);
  const double ranks = p * (p - 1) / 2.0;
  checks.Expect(values[0] == std::ldexp(ranks + p, 500), "SumAll(double) at 2^500");
  checks.Expect(values[1] == std::ldexp(ranks + p, -500), "SumAll(double) at 2^-500");
  checks.Expect(values[2] == -ranks, "SumAll(double) of -rank");

  std::vector<long long> counts{context.Rank(), (1LL << 40) * context.Rank(), -1};
  context.SumAll(counts);
  checks.Expect(counts[0] == p * (p - 1) / 2, "SumAll(long long) of the ranks");
  checks.Expect(counts[1] == (1LL << 40) * (p * (p - 1) / 2), "SumAll(long long) past 2^32");
  checks.Expect(counts[2] == -p, "SumAll(long long) of -1 per rank");

  std::vector<double> none;
  context.SumAll(none);
  checks.Expect(none.empty(), "SumAll of no values");
}

// The largest value sits on a middle rank, and every value is negative.
void CheckMax(MpiContext& context, Checks& checks) {
  const int middle = context.Size() / 2;
  const double distance = context.Rank() - middle;
  const double largest = context.MaxAll(-std::ldexp(distance * distance + 1, -500));
  checks.Expect(largest == -std::ldexp(1, -500), "MaxAll finds the middle rank's -2^-500");
  checks.Expect(
      context.MaxAll(std::ldexp(context.Rank() + 1, 500)) == std::ldexp(context.Size(), 500),
      "MaxAll of (rank + 1) 2^500");
}

void CheckPrefixSum(MpiContext& context, Checks& checks) {
  const long long mine = (context.Rank() + 1LL) * (context.Rank() + 1LL) * 1000000007LL;
  long long lower = 0;
  for (long long k = 0; k < context.Rank(); ++k) lower += (k + 1) * (k + 1) * 1000000007LL;
  checks.Expect(context.ExclusivePrefixSum(mine) == lower,
                "ExclusivePrefixSum of (rank + 1)^2 (10^9 + 7), 0 on rank 0");
  checks.Expect(
      context.ExclusivePrefixSum(context.Rank() == 1 ? -5 : 0) == (context.Rank() >= 2 ? -5 : 0),
      "ExclusivePrefixSum of a negative value on rank 1");
}

// The merges as a bracketed text: rank r starts with r + 1 copies of r (states of different
// lengths), and a merge writes "( into other )". Concatenation in brackets is neither
// commutative nor associative in this form, so the text shows the order and the tree's shape.
std::string Bracketed(const std::vector<double>& state) {
  std::string text;
  for (const double token : state) {
    if (!text.empty()) text += ' ';
    text += token == -1 ? "(" : token == -2 ? ")" : std::to_string(static_cast<int>(token));
  }
  return text;
}

void CheckCombine(MpiContext& context, Checks& checks) {
  // Written by hand from the tree: rank 0 takes in 1, then 2 (which took in 3).
  const std::vector<std::string> expected{
      "0",
      "( 0 1 1 )",
      "( ( 0 1 1 ) 2 2 2 )",
      "( ( 0 1 1 ) ( 2 2 2 3 3 3 3 ) )",
  };
  const std::vector<double> state(static_cast<size_t>(context.Rank() + 1), context.Rank());
  int merges = 0;
  const std::vector<double> combined = context.Combine(
      state, [&merges](std::vector<double>& into, const std::vector<double>& other) {
        ++merges;
        into.insert(into.begin(), -1);
        into.insert(into.end(), other.begin(), other.end());
        into.push_back(-2);
      });
  const size_t p = static_cast<size_t>(context.Size());
  if (p <= expected.size())
    checks.Expect(Bracketed(combined) == expected[p - 1],
                  "Combine merges up the tree, lower rank into: got " + Bracketed(combined));
  // A rank merges once per step in which it takes in a partner: rank 0 ceil(log2 P) times.
  if (context.IsRoot()) {
    int steps = 0;
    while ((1 << steps) < context.Size()) ++steps;
    checks.Expect(merges == steps, "Combine takes log2 P steps on rank 0");
  }
  const std::vector<double> empty =
      context.Combine({}, [](std::vector<double>& into, const std::vector<double>& other) {
        into.insert(into.end(), other.begin(), other.end());
      });
  checks.Expect(empty.empty(), "Combine of empty states");
}

// What rank r sends: rank 1 nothing, the last rank 3 MB, the others a short text with a zero
// byte inside.
std::string PartOf(int rank, int size) {
  if (rank == 1) return "";
  if (rank == size - 1 && size > 1) return std::string(3'000'000, static_cast<char>('a' + rank));
  std::string part = "rank ";
  part += std::to_string(rank);
  part += '\0';
  part += "end\n";
  return part;
}

void CheckGatherAndBroadcast(MpiContext& context, Checks& checks) {
  const std::vector<std::string> all = context.GatherToRoot(PartOf(context.Rank(), context.Size()));
  if (context.IsRoot()) {
    bool same = all.size() == static_cast<size_t>(context.Size());
    for (int r = 0; same && r < context.Size(); ++r)
      same = all[static_cast<size_t>(r)] == PartOf(r, context.Size());
    checks.Expect(same, "GatherToRoot gives the root every rank's bytes in rank order");
  } else {
    checks.Expect(all.empty(), "GatherToRoot gives the other ranks nothing");
  }
  const int last = context.Size() - 1;
  const std::string fromLast =
      context.Broadcast(context.Rank() == last ? PartOf(0, 1) + "last" : "ignored", last);
  checks.Expect(fromLast == PartOf(0, 1) + "last", "Broadcast from the last rank");
  checks.Expect(context.Broadcast(context.IsRoot() ? "" : "ignored", 0).empty(),
                "Broadcast of no bytes");
}

bool SameProblem(const std::optional<RankProblem>& got, int rank, const std::string& message) {
  return got && got->rank == rank && got->message == message;
}

void CheckAgreement(MpiContext& context, Checks& checks) {
  const int rank = context.Rank();
  const int last = context.Size() - 1;
  const std::string mine = "line " + std::to_string(10 + rank) + ": not a number";
  checks.Expect(!context.AgreeOnProblems(std::nullopt), "AgreeOnProblems with no failure");
  checks.Expect(
      SameProblem(context.AgreeOnProblems(rank == last ? std::optional(mine) : std::nullopt), last,
                  "line " + std::to_string(10 + last) + ": not a number"),
      "AgreeOnProblems with the last rank failing");
  checks.Expect(SameProblem(context.AgreeOnProblems(mine), 0, "line 10: not a number"),
                "AgreeOnProblems with every rank failing: rank 0's");
  // Every rank but 0 failing (on one process, none).
  const auto upper = context.AgreeOnProblems(rank > 0 ? std::optional(mine) : std::nullopt);
  checks.Expect(context.Size() == 1 ? !upper : SameProblem(upper, 1, "line 11: not a number"),
                "AgreeOnProblems with every rank but 0 failing: rank 1's");
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string AllParts(int size) {
  std::string text;
  for (int r = 0; r < size; ++r) text += PartOf(r, size);
  return text;
}

// A local file holding the text, for the streamed variant; its descriptor.
int LocalFileWith(const std::string& folder, const std::string& text, int rank) {
  const std::string path = folder + "/local" + std::to_string(rank);
  std::ofstream(path, std::ios::binary) << text;
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

void CheckOrderedWriting(MpiContext& context, Checks& checks, const std::string& folder) {
  const int rank = context.Rank();
  const std::string path = folder + "/ordered.csv";
  // A longer file already there is truncated.
  if (context.IsRoot()) std::ofstream(path) << std::string(4'000'000, 'x');
  const auto written = context.WriteOrdered(path, PartOf(rank, context.Size()));
  checks.Expect(!written, "WriteOrdered succeeds");
  if (context.IsRoot())
    checks.Expect(FileText(path) == AllParts(context.Size()),
                  "WriteOrdered puts every rank's bytes in rank order, rank 1 empty");

  // The streamed parts are larger than a copy block (1 MiB) on the middle rank.
  const std::string part = rank == context.Size() / 2
                               ? std::string(2'500'000, static_cast<char>('A' + rank))
                               : PartOf(rank, context.Size());
  std::vector<std::string> expected = context.GatherToRoot(part);
  const int local = LocalFileWith(folder, part, rank);
  const auto streamed = context.WriteOrderedFromFile(folder + "/streamed.csv", local);
  ::close(local);
  checks.Expect(!streamed, "WriteOrderedFromFile succeeds");
  if (context.IsRoot()) {
    std::string all;
    for (const std::string& each : expected) all += each;
    checks.Expect(FileText(folder + "/streamed.csv") == all,
                  "WriteOrderedFromFile puts every rank's local file in rank order");
  }

  const auto missingFolder = context.WriteOrdered(folder + "/no/such/folder.csv", "x");
  checks.Expect(SameProblem(missingFolder, 0, "cannot be written"),
                "WriteOrdered into a missing folder: rank 0's problem on every rank");
  const int last = context.Size() - 1;
  const int readable = LocalFileWith(folder, "fine\n", rank);
  const auto unreadable =
      context.WriteOrderedFromFile(folder + "/bad.csv", rank == last ? -1 : readable);
  ::close(readable);
  checks.Expect(SameProblem(unreadable, last, "cannot be written"),
                "WriteOrderedFromFile with an unreadable part on the last rank");
}

// A scratch folder made by the root in the working directory, known to every rank.
std::string ScratchFolder(MpiContext& context) {
  std::string name = "mpi_context_XXXXXX";
  if (context.IsRoot() && ::mkdtemp(name.data()) == nullptr) name.clear();
  return context.Broadcast(name, 0);
}

// The last rank fails alone while the others wait for it in a collective operation: AbortRun
// must end them all with its status (2) instead of leaving them waiting.
int AbortOnTheLastRank(MpiContext& context) {
  if (context.Rank() == context.Size() - 1) context.AbortRun(2);
  context.AgreeOnProblems(std::nullopt);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  MpiContext context(argc, argv);
  if (argc == 2 && std::string(argv[1]) == "--abort-on-the-last-rank")
    return AbortOnTheLastRank(context);
  Checks checks(context);
  CheckRankAndSize(context, checks);
  CheckSums(context, checks);
  CheckMax(context, checks);
  CheckPrefixSum(context, checks);
  CheckCombine(context, checks);
  CheckGatherAndBroadcast(context, checks);
  CheckAgreement(context, checks);
  const std::string folder = ScratchFolder(context);
  checks.Expect(!folder.empty(), "the scratch folder is made");
  if (!folder.empty()) {
    CheckOrderedWriting(context, checks, folder);
    // Every rank is done with the folder before the root removes it.
    context.MaxAll(0);
    if (context.IsRoot()) std::filesystem::remove_all(folder);
  }
  return checks.Finish();
}
