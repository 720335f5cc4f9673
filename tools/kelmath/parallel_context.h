// The processes of one run of the kelmath command and the collective operations between them:
// one process (SingleProcessContext, always built) or the ranks that mpirun started
// (MpiContext, mpi/mpi_context.h, built with -DKELMATH_MPI=ON).
//
// Every operation is collective: every rank calls the same operations in the same order, and a
// rank that skips one leaves the others waiting in it. A step that can fail on some ranks is
// therefore run on every rank with its failure caught, then AgreeOnProblems, so that every rank
// learns the same outcome and takes the same branch. Rank 0 is the root: it alone prints and
// gives result files their final names.
#ifndef KELMATH_TOOLS_KELMATH_PARALLEL_CONTEXT_H
#define KELMATH_TOOLS_KELMATH_PARALLEL_CONTEXT_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelmath_cli {

// The failure of one rank as every rank learns it.
struct RankProblem {
  int rank = 0;
  std::string message;
};

class ParallelContext {
 public:
  // Merges the state other into into; into is always the state of the lower ranks.
  using Merge = std::function<void(std::vector<double>& into, const std::vector<double>& other)>;

  virtual ~ParallelContext() = default;

  // This process's number, 0 to Size() - 1.
  virtual int Rank() const = 0;
  // The number of processes of the run.
  virtual int Size() const = 0;
  // Whether this process prints and names the result files.
  bool IsRoot() const { return Rank() == 0; }

  // Element-wise sums over all ranks, on every rank; every rank passes as many values. The order
  // of a floating-point sum is MPI's: for results that must not depend on it, use Combine.
  virtual void SumAll(std::vector<double>& values) = 0;
  virtual void SumAll(std::vector<long long>& values) = 0;
  // The largest value of all ranks, on every rank.
  virtual double MaxAll(double value) = 0;
  // The sum of the values of the lower ranks (0 on rank 0).
  virtual long long ExclusivePrefixSum(long long value) = 0;

  // The states of all ranks merged pairwise up a binary tree (rank r takes in r + 1, r + 2, r + 4,
  // ... as far as r's lowest set bit allows, so ceil(log2 Size()) steps), on every rank. The order
  // of the merges depends on Size() only: the same data on the same number of ranks gives the
  // same bits. States may differ in length.
  virtual std::vector<double> Combine(std::vector<double> state, const Merge& merge) = 0;

  // Every rank's bytes in rank order on the root; an empty list on the other ranks.
  virtual std::vector<std::string> GatherToRoot(const std::string& bytes) = 0;
  // The bytes of rank root, on every rank (what the others pass is ignored).
  virtual std::string Broadcast(std::string bytes, int root) = 0;

  // Every rank passes its problem, or none; all receive the problem of the lowest failing rank,
  // or none when no rank failed.
  virtual std::optional<RankProblem> AgreeOnProblems(
      const std::optional<std::string>& localProblem) = 0;

  // Ends every process of the run at once with the exit status: for a failure that the other
  // ranks cannot learn of through AgreeOnProblems (they may be waiting in another operation).
  [[noreturn]] virtual void AbortRun(int status) = 0;

  // Writes one file of every rank's bytes in rank order, each rank writing its own part at its
  // offset (no rank holds another's bytes). Rank 0 creates or truncates the file; every rank must
  // pass the same path, naming the same file for all of them (a temporary that the root renames
  // afterwards, for a file that appears only when complete). Returns the agreed problem, whose
  // message is "cannot be written" (the caller names the file).
  std::optional<RankProblem> WriteOrdered(const std::string& path, const std::string& localBytes);
  // The same with this rank's part streamed from an open local file (its whole content, read
  // from the start in blocks), for parts too large to hold in memory.
  std::optional<RankProblem> WriteOrderedFromFile(const std::string& path, int localDescriptor);

 private:
  template <typename CopyPart>
  std::optional<RankProblem> WriteParts(const std::string& path, long long partBytes,
                                        CopyPart copyPart);
};

// Doubles as the bytes the operations above carry, and back.
std::string BytesOf(const std::vector<double>& values);
std::vector<double> DoublesOf(const std::string& bytes);
// Every rank's values in rank order on the root; none on the other ranks.
std::vector<double> GatherDoublesToRoot(ParallelContext& context,
                                        const std::vector<double>& values);

// The run as one process: every operation returns what this process passed.
class SingleProcessContext final : public ParallelContext {
 public:
  int Rank() const override { return 0; }
  int Size() const override { return 1; }
  void SumAll(std::vector<double>&) override {}
  void SumAll(std::vector<long long>&) override {}
  double MaxAll(double value) override { return value; }
  long long ExclusivePrefixSum(long long) override { return 0; }
  std::vector<double> Combine(std::vector<double> state, const Merge&) override { return state; }
  std::vector<std::string> GatherToRoot(const std::string& bytes) override { return {bytes}; }
  std::string Broadcast(std::string bytes, int) override { return bytes; }
  std::optional<RankProblem> AgreeOnProblems(
      const std::optional<std::string>& localProblem) override;
  [[noreturn]] void AbortRun(int status) override;
};

}  // namespace kelmath_cli

#endif
