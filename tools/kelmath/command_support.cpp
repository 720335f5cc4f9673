// The steps every kelmath subcommand shares: options, data reading, result files and the run with
// its error handling.
#include "command_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"

namespace kelmath_cli {

UsageError NotWritable(const std::string& path) {
  return UsageError(path + ": cannot be written");
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"'\\$`()<>|&;*?~[]{}!#") == std::string::npos)
    return word;
  std::string quoted = "\"";
  for (const char c : word) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CommandLine(int argc, char** argv) {
  std::string line = "kelmath";
  for (int i = 1; i < argc; ++i) {
    line += ' ';
    line += ShellWord(argv[i]);
  }
  return OneLine(line);
}

std::vector<std::string> TrimmedNames(const std::vector<std::string>& names) {
  std::vector<std::string> trimmed;
  for (const std::string& name : names) {
    const size_t first = name.find_first_not_of(" \t");
    trimmed.push_back(first == std::string::npos
                          ? std::string()
                          : name.substr(first, name.find_last_not_of(" \t") - first + 1));
  }
  return trimmed;
}

void AddCsvFormatOptions(CLI::App& subcommand, CsvFormatOptions& format) {
  auto* sep = subcommand
                  .add_option("--sep", format.separator,
                              "field separator: , ; or tab (default: from the header)")
                  ->check(CLI::IsMember({",", ";", "tab"}));
  subcommand
      .add_option("--decimal", format.decimal, "decimal mark of the numbers: . or , (default .)")
      ->check(CLI::IsMember({".", ","}));
  sep->default_str("");
}

char SeparatorOf(const CsvFormatOptions& format, const CLI::App& subcommand) {
  if (subcommand.count("--sep") == 0) return 0;
  return format.separator == "tab" ? '\t' : format.separator[0];
}

void CheckCsvFormat(const CsvFormatOptions& format, char separator) {
  if (separator == ',' && format.decimal == ",")
    throw UsageError("--sep ',' and --decimal ',' cannot be used together");
}

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw UsageError(path + ": is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError(path + ": cannot be read");
  // Read straight into the string that the table keeps: the text is held once.
  std::string text;
  const auto size = std::filesystem::file_size(path, error);
  if (!error) text.reserve(size);
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
    text.append(buffer, static_cast<size_t>(in.gcount()));
  if (in.bad()) throw UsageError(path + ": cannot be read");
  return text;
}

}  // namespace

CsvTable ReadCsvFile(const std::string& path, char separator) {
  ParsedCsv parsed = ParseCsvText(ReadWholeFile(path), separator);
  if (!parsed.Ok()) throw UsageError(path + ": " + parsed.problem);
  return std::move(parsed.table);
}

void WritePending(PendingFiles& pending, const std::string& path, const std::string& text) {
  if (!pending.Write(path, text)) throw NotWritable(path);
}

void WritePlotImages(const std::vector<PlotImage>& images, const std::string& folder,
                     PendingFiles& pending) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder, error))
    throw UsageError(folder + ": cannot create the folder for the plots");
  for (const PlotImage& image : images)
    WritePending(pending, (std::filesystem::path(folder) / image.fileName).string(), image.svg);
}

void CommitPending(PendingFiles& pending) {
  const std::string failed = pending.Commit();
  if (!failed.empty()) throw NotWritable(failed);
}

Subcommand RunsOnAllRanks(Subcommand subcommand) {
  subcommand.runsOnAllRanks = true;
  return subcommand;
}

namespace {

// A library error as one line: the lines of its text joined, without the empty ones.
std::string LibraryMessage(const KelException& e) {
  std::string line;
  std::istringstream text(e.what());
  for (std::string part; std::getline(text, part);)
    if (!part.empty()) line += (line.empty() ? "" : " ") + part;
  return line;
}

// The message for a subcommand started on several processes that runs as one.
std::string OneProcessOnly(const std::string& name, int size) {
  std::string message = name;
  message += " runs as one process; mpirun started it on " + std::to_string(size) + " processes";
  return message;
}

// The subcommand the command line chose, or -1.
int ParsedIndex(const std::vector<CLI::App*>& apps) {
  for (size_t i = 0; i < apps.size(); ++i)
    if (apps[i]->parsed()) return static_cast<int>(i);
  return -1;
}

// The subcommand that a message about the command line refers to: the one chosen or, before
// any is, the only one there is (-1 when there are several).
int SubjectIndex(const std::vector<CLI::App*>& apps) {
  const int parsed = ParsedIndex(apps);
  if (parsed >= 0 || apps.size() != 1) return parsed;
  return 0;
}

}  // namespace

std::string FailureMessage(const std::string& subject) {
  const std::string file = subject + ": ";
  try {
    throw;
  } catch (const UsageError& e) {
    return OneLine(e.what());
  } catch (const AgreedFailure& e) {
    return OneLine(e.what());
  } catch (const KelException& e) {
    return file + OneLine(LibraryMessage(e));
  } catch (const std::bad_alloc&) {
    return file + "not enough memory";
  } catch (const std::exception& e) {
    // Anything else (the JSON writer's errors included) is still one line and status 2.
    return file + OneLine(e.what());
  } catch (...) {
    return file + "an unexpected error";
  }
}

void ThrowIfAgreedProblem(const std::optional<RankProblem>& problem,
                          const ParallelContext& context) {
  if (!problem) return;
  if (context.Size() == 1) throw AgreedFailure(problem->message);
  std::string message = "rank " + std::to_string(problem->rank);
  message += ": ";
  message += problem->message;
  throw AgreedFailure(message);
}

namespace {

std::optional<RankProblem> AgreedOutcome(ParallelContext& context, const std::string& subject,
                                         const std::function<void()>& step) {
  std::optional<std::string> problem;
  try {
    step();
  } catch (...) {
    problem = FailureMessage(subject);
  }
  return context.AgreeOnProblems(problem);
}

}  // namespace

void RunAgreed(ParallelContext& context, const std::string& subject,
               const std::function<void()>& step) {
  ThrowIfAgreedProblem(AgreedOutcome(context, subject, step), context);
}

void RunAlikeOnEveryRank(ParallelContext& context, const std::string& subject,
                         const std::function<void()>& step) {
  if (const auto problem = AgreedOutcome(context, subject, step))
    throw AgreedFailure(problem->message);
}

namespace {

// Prints the failure being handled and returns the exit status. In a run of several processes a
// failure that reached here unagreed was this rank's alone: it names the rank, and ends the
// whole run, since the other ranks may be waiting for this one in a collective operation.
int ReportFailure(const std::string& subject, ParallelContext& context) {
  const std::string message = FailureMessage(subject);
  if (context.Size() == 1) {
    std::fprintf(stderr, "kelmath: %s\n", message.c_str());
    return kUsageOrDataError;
  }
  std::fprintf(stderr, "kelmath: rank %d: %s\n", context.Rank(), message.c_str());
  std::fflush(stderr);
  context.AbortRun(kUsageOrDataError);
  return kUsageOrDataError;  // not reached: the compiler does not rely on a virtual [[noreturn]]
}

// Runs the chosen subcommand: on one process, or on all ranks when it runs on all ranks.
int RunChosen(const Subcommand& chosen, const CLI::App& app, const std::string& call,
              ParallelContext& context) {
  // Every rank parsed the same command line, so every rank throws this alike.
  if (context.Size() > 1 && !chosen.runsOnAllRanks)
    throw AgreedFailure(OneProcessOnly(chosen.name, context.Size()));
  return chosen.run({app, call, context});
}

}  // namespace

int RunCommand(int argc, char** argv, const std::string& description,
               std::vector<Subcommand> subcommands, ParallelContext& context) {
  // Library errors come back as exceptions, reported as data errors; the library's own output
  // goes nowhere unless a report file is asked for, so no "KelFile.txt" is ever created.
  KelErrorModeScope throwing(KelErrorMode::Throw);
  KelOutputScope discard(nullptr);
  // Warnings go to the channel only (captured, or into the report file), never raw to stderr.
  kelWarningMode = 0;
  CLI::App app{description, "kelmath"};
  app.require_subcommand(1);
  std::vector<CLI::App*> apps;
  for (Subcommand& subcommand : subcommands) {
    apps.push_back(app.add_subcommand(subcommand.name, subcommand.description));
    subcommand.addOptions(*apps.back());
  }
  try {
    app.parse(argc, argv);
    const int chosen = ParsedIndex(apps);
    return RunChosen(subcommands[static_cast<size_t>(chosen)], *apps[chosen],
                     CommandLine(argc, argv), context);
  } catch (const CLI::CallForHelp&) {
    const int chosen = ParsedIndex(apps);
    if (context.IsRoot())
      std::fputs(chosen >= 0 ? apps[chosen]->help().c_str() : app.help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    const int about = SubjectIndex(apps);
    const std::string help = about >= 0 ? "kelmath " + subcommands[about].name : "kelmath";
    if (context.IsRoot())
      std::fprintf(stderr, "kelmath: %s (see %s --help)\n", OneLine(e.what()).c_str(),
                   help.c_str());
    return kUsageOrDataError;
  } catch (const AgreedFailure& e) {
    if (context.IsRoot()) std::fprintf(stderr, "kelmath: %s\n", OneLine(e.what()).c_str());
    return kUsageOrDataError;
  } catch (...) {
    const int about = SubjectIndex(apps);
    return ReportFailure(about >= 0 ? subcommands[about].subject() : std::string(), context);
  }
}

}  // namespace kelmath_cli
