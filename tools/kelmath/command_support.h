// The steps every kelmath subcommand shares: the registration of subcommands and the run with its
// error handling (one line on standard error and exit status 2 for any failure), the command
// line as reports quote it, the CSV format options and the reading of a data file, and the
// writing of result files that appear only when all of them are complete (pending_files.h).
#ifndef KELMATH_TOOLS_KELMATH_COMMAND_SUPPORT_H
#define KELMATH_TOOLS_KELMATH_COMMAND_SUPPORT_H

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "csv_table.h"
#include "diagnostic_plots.h"
#include "parallel_context.h"
#include "pending_files.h"

namespace kelmath_cli {

// The exit status of a usage or data error, and of any other failure.
inline constexpr int kUsageOrDataError = 2;

// Thrown for a usage or data error; what() is the one-line message.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Thrown on every rank alike once the ranks have agreed on a problem: the run fails with this
// message, which the root alone prints.
struct AgreedFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The error for a result file that cannot be written.
UsageError NotWritable(const std::string& path);

// The text as it may appear inside a one-line message.
std::string OneLine(std::string text);
// The word as a shell reads it back: as it is, or in double quotes (with \ before " \ $ and `)
// when it is empty or holds a blank or a character the shell treats specially.
std::string ShellWord(const std::string& word);
// The command as typed, on one line, as the reports quote it: each argument a ShellWord.
std::string CommandLine(int argc, char** argv);
// Names of a comma-separated option as typed in "A, B": the blanks around each are not part of it.
std::vector<std::string> TrimmedNames(const std::vector<std::string>& names);

// The options --sep and --decimal of a subcommand that reads a CSV file.
struct CsvFormatOptions {
  std::string separator = ",";  // ",", ";" or "tab"; unset: chosen from the header
  std::string decimal = ".";
};
void AddCsvFormatOptions(CLI::App& subcommand, CsvFormatOptions& format);
// The separator as the CSV reader takes it: 0 when it is to be chosen from the header.
char SeparatorOf(const CsvFormatOptions& format, const CLI::App& subcommand);
// A usage error when the separator and the decimal mark are both a comma.
void CheckCsvFormat(const CsvFormatOptions& format, char separator);

// The table of a CSV file (separator 0: chosen from the header); a file that cannot be read or
// parsed is a usage error naming it.
CsvTable ReadCsvFile(const std::string& path, char separator);

// Writes the text as the pending content of the file at path.
void WritePending(PendingFiles& pending, const std::string& path, const std::string& text);

// Writes the file as writer produces it (writer(FILE*) returns false on a write error).
template <typename Writer>
void StreamPending(PendingFiles& pending, const std::string& path, Writer writer) {
  std::FILE* file = std::fopen(pending.Temporary(path).c_str(), "wb");
  if (file == nullptr) throw NotWritable(path);
  const bool written = writer(file);
  if (std::fclose(file) != 0 || !written) throw NotWritable(path);
}

// Writes the file through a writer that opens a path itself (writer(temporaryPath) returns false
// when it cannot write there).
template <typename Writer>
void WritePendingAt(PendingFiles& pending, const std::string& path, Writer writer) {
  if (!writer(pending.Temporary(path))) throw NotWritable(path);
}

// Writes the images into the folder, created when missing.
void WritePlotImages(const std::vector<PlotImage>& images, const std::string& folder,
                     PendingFiles& pending);

// Gives every pending file its final name.
void CommitPending(PendingFiles& pending);

// What a subcommand's run gets besides its options: its parsed subcommand (to ask which options
// were given), the command line as typed and the processes of the run.
struct Invocation {
  const CLI::App& subcommand;
  std::string call;
  ParallelContext& context;
};

// A subcommand as the command registers it. The messages about a failed run name its subject,
// the data file. Only a subcommand that runs on all ranks (it calls the context's collective
// operations and prints on the root only) may be started on more than one process.
struct Subcommand {
  std::string name;
  std::string description;
  std::function<void(CLI::App&)> addOptions;
  std::function<int(const Invocation&)> run;
  std::function<std::string()> subject;
  bool runsOnAllRanks = false;
};

// The subcommand, marked as one that runs on all ranks.
Subcommand RunsOnAllRanks(Subcommand subcommand);

// The one-line message of the failure being handled (call it inside a catch block), without the
// leading "kelmath: ", as the command prints it: a usage error alone, the others after the
// subject (the data file).
std::string FailureMessage(const std::string& subject);

// Runs the step on every rank, each catching its own failure, and throws AgreedFailure on every
// rank when any failed: the message of the lowest failing rank, after its rank when the run has
// several processes.
void RunAgreed(ParallelContext& context, const std::string& subject,
               const std::function<void()>& step);
// The same for a step whose outcome is the same on every rank (checks of the command line, which
// every rank parsed alike): its message names no rank.
void RunAlikeOnEveryRank(ParallelContext& context, const std::string& subject,
                         const std::function<void()>& step);
// Throws AgreedFailure for the agreed problem, if there is one (on every rank alike).
void ThrowIfAgreedProblem(const std::optional<RankProblem>& problem,
                          const ParallelContext& context);

// A subcommand from the function adding its options (bound to one Options record, which has a
// member dataFile) and the function running it on them, returning the exit status.
template <typename Options>
Subcommand MakeSubcommand(const char* name, const char* description,
                          void (*addOptions)(CLI::App&, Options&),
                          int (*run)(const Options&, const Invocation&)) {
  auto options = std::make_shared<Options>();
  return {name,
          description,
          [options, addOptions](CLI::App& app) { addOptions(app, *options); },
          [options, run](const Invocation& invocation) { return run(*options, invocation); },
          [options] { return options->dataFile; },
          false};
}

// Parses the command line, runs the chosen subcommand on the processes of the context and returns
// the exit status; every failure is one line on standard error (from the root) and
// kUsageOrDataError. A failure that one rank raised alone, outside RunAgreed, ends every rank of
// a run of several processes (ParallelContext::AbortRun) after that rank printed it.
int RunCommand(int argc, char** argv, const std::string& description,
               std::vector<Subcommand> subcommands, ParallelContext& context);

}  // namespace kelmath_cli

#endif
