// kelmath: analyses of the library from the command line, for people who would rather not
// write C++. Each subcommand lives in its own file (regress_command.h, ...) and is registered
// below with one line; command_support.h holds the steps they share.
//
// A usage or data error, and any other failure, is one line on standard error and exit status
// 2, and then no result file is written: every file is written unnamed (or under a temporary
// name) first and named only when all of them are complete (pending_files.h).
//
// Built with -DKELMATH_MPI=ON and started by mpirun, the command runs on every rank of the run
// (parallel_context.h): MPI lives exactly as long as the command's run, and every rank exits with
// the same status. Started otherwise, it is one process and never touches MPI.
#include "command_support.h"
#include "nls_command.h"
#include "parallel_context.h"
#include "predict_command.h"
#include "regress_command.h"
#include "robust_command.h"
#include "stepwise_command.h"
#ifdef KELMATH_WITH_MPI
#include "mpi_context.h"
#endif

namespace {

int RunKelmath(int argc, char** argv, kelmath_cli::ParallelContext& context) {
  using kelmath_cli::MakeSubcommand;
  // Name, description, the function adding its options and the one running it.
  return kelmath_cli::RunCommand(
      argc, argv, "kelmath: analyses of the KelMath library from the command line",
      {
          // Under mpirun, every rank reads its part of the file (--stream).
          kelmath_cli::RunsOnAllRanks(
              MakeSubcommand("regress", "linear regression of a CSV file's columns",
                             kelmath_cli::AddRegressOptions, kelmath_cli::RunRegress)),
          MakeSubcommand("robust",
                         "least-median-of-squares fit, its outliers and the reweighted least "
                         "squares",
                         kelmath_cli::AddRobustOptions, kelmath_cli::RunRobust),
          MakeSubcommand("stepwise", "the best model of every size, by stepwise search",
                         kelmath_cli::AddStepwiseOptions, kelmath_cli::RunStepwise),
          MakeSubcommand("predict", "predictions of a linear model for the rows of a new file",
                         kelmath_cli::AddPredictOptions, kelmath_cli::RunPredict),
          MakeSubcommand(
              "nls",
              "nonlinear least squares of rival models, their comparison and the next experiment",
              kelmath_cli::AddNlsOptions, kelmath_cli::RunNls),
      },
      context);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef KELMATH_WITH_MPI
  if (kelmath_cli::LaunchedByMpirun()) {
    kelmath_cli::MpiContext context(argc, argv);
    const int status = RunKelmath(argc, argv, context);
    return static_cast<int>(context.MaxAll(status));
  }
#endif
  kelmath_cli::SingleProcessContext context;
  return RunKelmath(argc, argv, context);
}
