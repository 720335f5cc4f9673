// The run as the ranks that mpirun started (Open MPI), built with -DKELMATH_MPI=ON. One object
// per process, made in main: it initialises MPI and finalises it when destroyed.
#ifndef KELMATH_TOOLS_KELMATH_MPI_CONTEXT_H
#define KELMATH_TOOLS_KELMATH_MPI_CONTEXT_H

#include <mpi.h>

#include "parallel_context.h"

namespace kelmath_cli {

// Whether this process was started by mpirun (its environment names the size of the run).
bool LaunchedByMpirun();

class MpiContext final : public ParallelContext {
 public:
  // Initialises MPI (only the calling thread makes MPI calls) and takes a communicator of its
  // own, so that no other message can be mistaken for one of its operations.
  MpiContext(int& argc, char**& argv);
  // Finalises MPI.
  ~MpiContext() override;
  MpiContext(const MpiContext&) = delete;
  MpiContext& operator=(const MpiContext&) = delete;

  int Rank() const override { return rank; }
  int Size() const override { return size; }
  void SumAll(std::vector<double>& values) override;
  void SumAll(std::vector<long long>& values) override;
  double MaxAll(double value) override;
  long long ExclusivePrefixSum(long long value) override;
  std::vector<double> Combine(std::vector<double> state, const Merge& merge) override;
  std::vector<std::string> GatherToRoot(const std::string& bytes) override;
  std::string Broadcast(std::string bytes, int root) override;
  std::optional<RankProblem> AgreeOnProblems(
      const std::optional<std::string>& localProblem) override;
  [[noreturn]] void AbortRun(int status) override;

 private:
  void Send(const void* bytes, long long count, int to);
  // Receives a message of any length from the rank into a buffer resized to hold it.
  template <typename Buffer>
  void Receive(Buffer& buffer, int from);
  template <typename Buffer>
  void BroadcastBuffer(Buffer& buffer, int root);

  MPI_Comm communicator = MPI_COMM_NULL;
  int rank = 0;
  int size = 1;
};

}  // namespace kelmath_cli

#endif
