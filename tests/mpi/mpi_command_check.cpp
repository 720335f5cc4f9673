// A subcommand that runs on all ranks, through the command's own run and error handling
// (command_support.h), for the MPI tests of check_failures_under_mpirun.cmake:
//
//   mpi_command_check probe DATA [--fail-on last|all|alone]
//
// prints, on the root only, the sum of the ranks; --fail-on makes a step fail on the last rank,
// on every rank (each with its own line number), or on the last rank alone outside RunAgreed.
#include <cstdio>
#include <string>
#include <vector>

#include "command_support.h"
#include "mpi_context.h"

namespace {

using kelmath_cli::Invocation;
using kelmath_cli::ParallelContext;
using kelmath_cli::UsageError;

struct ProbeOptions {
  std::string dataFile;
  std::string failOn;
};

void AddProbeOptions(CLI::App& probe, ProbeOptions& o) {
  probe.add_option("data", o.dataFile, "the file the messages name")->required();
  probe.add_option("--fail-on", o.failOn, "last, all or alone");
}

int RunProbe(const ProbeOptions& o, const Invocation& invocation) {
  ParallelContext& context = invocation.context;
  const bool last = context.Rank() == context.Size() - 1;
  kelmath_cli::RunAgreed(context, o.dataFile, [&] {
    if ((o.failOn == "last" && last) || o.failOn == "all")
      throw UsageError(o.dataFile + ": line " + std::to_string(10 + context.Rank()) +
                       ": not a number");
  });
  if (o.failOn == "alone" && last) throw UsageError(o.dataFile + ": failed alone");
  std::vector<long long> ranks{context.Rank()};
  context.SumAll(ranks);
  if (context.IsRoot()) std::printf("sum of ranks %lld\n", ranks[0]);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  kelmath_cli::MpiContext context(argc, argv);
  const int status =
      kelmath_cli::RunCommand(argc, argv, "a subcommand on all ranks",
                              {kelmath_cli::RunsOnAllRanks(kelmath_cli::MakeSubcommand(
                                  "probe", "sums the ranks", AddProbeOptions, RunProbe))},
                              context);
  return static_cast<int>(context.MaxAll(status));
}
