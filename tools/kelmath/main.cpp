// kelmath: analyses of the library from the command line, for people who would rather not
// write C++. One subcommand so far:
//
//   kelmath regress DATA.csv --response NAME [--columns A,B,...] [--no-intercept]
//           [--variance V --dof K] [--se classical|hc0|hc1|...]
//           [--cluster COLUMN[,COLUMN]] [--reports least-squares,svd,robust,stepwise]
//           [--output REPORT.txt] [--json RESULT.json] [--plots DIR]
//           [--sep , | ; | tab] [--decimal . | ,]
//           [--observations ROWS.csv]
//
// The summary goes to standard output, the library's warnings as sentences to standard error.
// A usage or data error, and any other failure, is one line on standard error and exit status
// 2, and then no result file is written: every file is written unnamed (or under a temporary
// name) first and named only when all of them are complete (pending_files.h).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "csv_table.h"
#include "diagnostic_plots.h"
#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"
#include "observations_csv.h"
#include "pending_files.h"
#include "regression_data.h"
#include "regression_json.h"
#include "regression_result.h"
#include "regression_summary.h"
#include "report_file.h"

namespace {

using kelmath_cli::PendingFiles;

constexpr int kUsageOrDataError = 2;

struct RegressOptions {
  std::string dataFile;
  kelmath_cli::ModelRequest model;
  bool noIntercept = false;
  double variance = 0.0;
  int varianceDof = 0;
  std::string standardErrors = "classical";
  std::vector<std::string> reports;
  std::string outputFile;
  std::string jsonFile;
  std::string plotFolder;
  std::string separator = ",";  // ",", ";" or "tab"; unset: chosen from the header
  std::string decimal = ".";
  std::string observationsFile;
};

// Thrown for a usage or data error; what() is the one-line message.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The text as it may appear inside a one-line message.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

std::string CommandLine(int argc, char** argv) {
  std::string line = "kelmath";
  for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
  return OneLine(line);
}

// The names --se takes: every covariance type but the cluster-robust one (--cluster).
std::vector<std::string> StandardErrorChoices() {
  std::vector<std::string> names;
  for (const KelCovarianceTypeName& known : kelCovarianceTypes)
    if (known.type != KelCovarianceType::kCluster) names.push_back(known.name);
  return names;
}

std::string HeteroskedasticityNames(const char* separator) {
  std::string text;
  for (const std::string& name : StandardErrorChoices())
    if (name != "classical") text += (text.empty() ? "" : separator) + name;
  return text;
}

void DefineRegress(CLI::App& regress, RegressOptions& o) {
  regress.add_option("data", o.dataFile, "CSV file with a header row of column names")->required();
  regress.add_option("--response", o.model.response, "column of the response")->required();
  regress
      .add_option("--columns", o.model.columns,
                  "columns of the regressors, comma-separated (default: all others)")
      ->delimiter(',');
  regress.add_flag("--no-intercept", o.noIntercept, "fit without intercept");
  auto* variance = regress.add_option("--variance", o.variance,
                                      "experimental variance of the response (with --dof)");
  auto* dof = regress.add_option("--dof", o.varianceDof, "degrees of freedom of --variance");
  variance->needs(dof)->check(CLI::PositiveNumber);
  dof->needs(variance)->check(CLI::PositiveNumber);
  auto* se = regress
                 .add_option("--se", o.standardErrors,
                             "covariance of the estimates behind their standard errors, t, P, "
                             "intervals and F: classical (default), or heteroskedasticity-"
                             "consistent " +
                                 HeteroskedasticityNames(", "))
                 ->check(CLI::IsMember(StandardErrorChoices()));
  auto* cluster = regress
                      .add_option("--cluster", o.model.clusters,
                                  "cluster-robust standard errors (CR1) by the groups of one or "
                                  "two columns of labels, comma-separated; a row without a "
                                  "label is dropped")
                      ->delimiter(',');
  se->excludes(cluster);
  for (CLI::Option* robust : {se, cluster}) robust->excludes(variance);
  regress
      .add_option("--reports", o.reports,
                  "library reports: least-squares,svd,robust,stepwise (default least-squares)")
      ->delimiter(',')
      ->check(CLI::IsMember(kelmath_cli::kReportNames));
  regress.add_option("--output", o.outputFile, "text file for the library's reports");
  regress.add_option("--json", o.jsonFile, "JSON file for the results");
  regress.add_option("--plots", o.plotFolder, "folder for the diagnostic plots (SVG)");
  regress.add_option("--observations", o.observationsFile,
                     "CSV file for every row's fitted value, residual and diagnostics");
  auto* sep = regress
                  .add_option("--sep", o.separator,
                              "field separator: , ; or tab (default: from the header)")
                  ->check(CLI::IsMember({",", ";", "tab"}));
  regress.add_option("--decimal", o.decimal, "decimal mark of the numbers: . or , (default .)")
      ->check(CLI::IsMember({".", ","}));
  sep->default_str("");
}

// The separator as the CSV reader takes it: 0 when it is to be chosen from the header.
char SeparatorOf(const RegressOptions& o, const CLI::App& regress) {
  if (regress.count("--sep") == 0) return 0;
  return o.separator == "tab" ? '\t' : o.separator[0];
}

// Names in --columns as typed in "A, B": the blanks around each are not part of it.
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

// The regression data of the file; the table read from it is freed before the fit.
kelmath_cli::PreparedData ReadRegressionData(const std::string& path, char separator,
                                             const kelmath_cli::ModelRequest& model) {
  const kelmath_cli::ParsedCsv parsed = kelmath_cli::ParseCsvText(ReadWholeFile(path), separator);
  if (!parsed.Ok()) throw UsageError(path + ": " + parsed.problem);
  return kelmath_cli::PrepareRegressionData(parsed.table, model);
}

void WritePending(PendingFiles& pending, const std::string& path, const std::string& text) {
  if (!pending.Write(path, text)) throw UsageError(path + ": cannot be written");
}

// Writes the file as writer produces it (writer(FILE*) returns false on a write error).
template <typename Writer>
void StreamPending(PendingFiles& pending, const std::string& path, Writer writer) {
  std::FILE* file = std::fopen(pending.Temporary(path).c_str(), "wb");
  if (file == nullptr) throw UsageError(path + ": cannot be written");
  const bool written = writer(file);
  if (std::fclose(file) != 0 || !written) throw UsageError(path + ": cannot be written");
}

void WritePlots(const kelmath_cli::RegressionResult& result, const std::string& folder,
                PendingFiles& pending) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder, error))
    throw UsageError(folder + ": cannot create the folder for the plots");
  for (const kelmath_cli::PlotImage& image : kelmath_cli::RenderDiagnosticPlots(result))
    WritePending(pending, (std::filesystem::path(folder) / image.fileName).string(), image.svg);
}

KelCovarianceType CovarianceOf(const RegressOptions& o, const kelmath_cli::ModelRequest& model) {
  if (!model.clusters.empty()) return KelCovarianceType::kCluster;
  for (const KelCovarianceTypeName& known : kelCovarianceTypes)
    if (o.standardErrors == known.name) return known.type;
  return KelCovarianceType::kClassical;
}

int RunRegress(const RegressOptions& o, char separator, const std::string& call) {
  if (separator == ',' && o.decimal == ",")
    throw UsageError("--sep ',' and --decimal ',' cannot be used together");
  kelmath_cli::ModelRequest model = o.model;
  model.columns = TrimmedNames(o.model.columns);
  model.clusters = TrimmedNames(o.model.clusters);
  if (model.clusters.size() > 2) throw UsageError("--cluster takes one or two columns");
  model.intercept = !o.noIntercept;
  model.decimal = o.decimal[0];
  const kelmath_cli::PreparedData prepared = ReadRegressionData(o.dataFile, separator, model);
  if (!prepared.Ok()) throw UsageError(o.dataFile + ": " + prepared.problem);
  const std::vector<std::string> reports =
      o.reports.empty() ? std::vector<std::string>{"least-squares"} : o.reports;
  const bool robust = std::find(reports.begin(), reports.end(), "robust") != reports.end();
  KelLinearRegression regression;
  // The library's warnings are caught here and shown as sentences once the run has succeeded.
  std::string libraryText;
  const kelmath_cli::ComputedResult computed = [&] {
    KelOutputScope capture(libraryText);
    KelQuietMessages quiet;
    return kelmath_cli::ComputeRegression(prepared.data, model.intercept, o.variance, o.varianceDof,
                                          CovarianceOf(o, model), robust, regression);
  }();
  if (!computed.Ok()) throw UsageError(o.dataFile + ": " + computed.problem);

  PendingFiles pending;
  const kelmath_cli::RegressionResult& result = computed.result;
  if (!o.jsonFile.empty())
    StreamPending(pending, o.jsonFile,
                  [&](std::FILE* file) { return kelmath_cli::WriteJson(result, file); });
  if (!o.observationsFile.empty()) {
    StreamPending(pending, o.observationsFile,
                  [&](std::FILE* file) { return kelmath_cli::WriteObservationsCsv(result, file); });
  }
  if (!o.plotFolder.empty()) WritePlots(computed.result, o.plotFolder, pending);
  if (!o.outputFile.empty()) {
    const std::string header = kelmath_cli::ReportHeader(prepared.data, call, o.dataFile);
    if (!kelmath_cli::WriteReportFile(pending.Temporary(o.outputFile), header, reports, regression))
      throw UsageError(o.outputFile + ": cannot be written");
  }
  const std::string failed = pending.Commit();
  if (!failed.empty()) throw UsageError(failed + ": cannot be written");
  std::fputs(
      kelmath_cli::FormatSummary(computed.result, call, o.dataFile, o.observationsFile).c_str(),
      stdout);
  for (const std::string& line : kelmath_cli::WarningLines(libraryText))
    std::fprintf(stderr, "kelmath: %s\n", line.c_str());
  return 0;
}

// A library error as one line: the lines of its text joined, without the empty ones.
std::string LibraryMessage(const KelException& e) {
  std::string line;
  std::istringstream text(e.what());
  for (std::string part; std::getline(text, part);)
    if (!part.empty()) line += (line.empty() ? "" : " ") + part;
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  // Library errors come back as exceptions, reported as data errors; the library's own output
  // goes nowhere unless a report file is asked for, so no "KelFile.txt" is ever created.
  KelErrorModeScope throwing(KelErrorMode::Throw);
  KelOutputScope discard(nullptr);
  // Warnings go to the channel only (captured, or into the report file), never raw to stderr.
  kelWarningMode = 0;
  CLI::App app{"kelmath: analyses of the KelMath library from the command line", "kelmath"};
  app.require_subcommand(1);
  RegressOptions options;
  CLI::App* regress = app.add_subcommand("regress", "linear regression of a CSV file's columns");
  DefineRegress(*regress, options);
  int status = 0;
  try {
    app.parse(argc, argv);
    status = RunRegress(options, SeparatorOf(options, *regress), CommandLine(argc, argv));
  } catch (const CLI::CallForHelp&) {
    std::fputs(regress->parsed() ? regress->help().c_str() : app.help().c_str(), stdout);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "kelmath: %s (see kelmath regress --help)\n", OneLine(e.what()).c_str());
    status = kUsageOrDataError;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "kelmath: %s\n", OneLine(e.what()).c_str());
    status = kUsageOrDataError;
  } catch (const KelException& e) {
    std::fprintf(stderr, "kelmath: %s: %s\n", options.dataFile.c_str(),
                 OneLine(LibraryMessage(e)).c_str());
    status = kUsageOrDataError;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "kelmath: %s: not enough memory\n", options.dataFile.c_str());
    status = kUsageOrDataError;
  } catch (const std::exception& e) {
    // Anything else (the JSON writer's errors included) is still one line and status 2.
    std::fprintf(stderr, "kelmath: %s: %s\n", options.dataFile.c_str(), OneLine(e.what()).c_str());
    status = kUsageOrDataError;
  } catch (...) {
    std::fprintf(stderr, "kelmath: %s: an unexpected error\n", options.dataFile.c_str());
    status = kUsageOrDataError;
  }
  return status;
}
