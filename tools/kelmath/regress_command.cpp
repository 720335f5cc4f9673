// kelmath regress: its options, and the run from the data file to the summary and result files.
#include "regress_command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "command_html.h"
#include "foundation/kel_output.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"
#include "observations_csv.h"
#include "ordered_lines.h"
#include "progress_line.h"
#include "regression_json.h"
#include "regression_result.h"
#include "regression_summary.h"
#include "report_file.h"
#include "streamed_regression.h"

namespace kelmath_cli {

namespace {

// The options that need every row in memory, which a streamed fit refuses.
constexpr const char* kInMemoryOptions[] = {"--formula", "--reference", "--weights",
                                            "--cluster", "--variance",  "--dof",
                                            "--reports", "--output",    "--html"};

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

// --se and --cluster, which exclude each other and an assigned variance.
void AddCovarianceOptions(CLI::App& regress, RegressOptions& o, CLI::Option* variance) {
  auto* se = regress
                 .add_option("--se", o.standardErrors,
                             "covariance of the estimates behind their standard errors, t, P, "
                             "intervals and F: classical (default), or heteroskedasticity-"
                             "consistent " +
                                 HeteroskedasticityNames(", "))
                 ->check(CLI::IsMember(StandardErrorChoices()));
  auto* cluster = regress
                      .add_option("--cluster", o.fit.model.clusters,
                                  "cluster-robust standard errors (CR1) by the groups of one or "
                                  "two columns of labels, comma-separated; a row without a "
                                  "label is dropped")
                      ->delimiter(',');
  se->excludes(cluster);
  for (CLI::Option* robust : {se, cluster}) robust->excludes(variance);
}

}  // namespace

void AddRegressOptions(CLI::App& regress, RegressOptions& o) {
  regress.add_option("data", o.dataFile, "CSV file with a header row of column names")->required();
  AddModelOptions(regress, o.fit);
  auto* variance = regress.add_option("--variance", o.variance,
                                      "experimental variance of the response (with --dof)");
  auto* dof = regress.add_option("--dof", o.varianceDof, "degrees of freedom of --variance");
  variance->needs(dof)->check(CLI::PositiveNumber);
  dof->needs(variance)->check(CLI::PositiveNumber);
  AddCovarianceOptions(regress, o, variance);
  auto* weights = AddWeightsOption(regress, o.fit);
  auto* reports =
      regress
          .add_option("--reports", o.reports,
                      "library reports: least-squares,svd,robust,stepwise (default least-squares)")
          ->delimiter(',')
          ->check(CLI::IsMember(kReportNames));
  auto* output =
      regress.add_option("--output", o.outputFile, "text file for the library's reports");
  // The library's reports are of unweighted fits.
  weights->excludes(reports)->excludes(output);
  regress.add_option("--json", o.jsonFile, "JSON file for the results");
  regress.add_option("--plots", o.plotFolder, "folder for the diagnostic plots (SVG)");
  regress.add_option("--observations", o.observationsFile,
                     "CSV file for every row's fitted value, residual and diagnostics");
  regress.add_option("--html", o.htmlFile,
                     "self-contained HTML page of the results, with the plots inline");
  AddCsvFormatOptions(regress, o.format);
  // The options that need every row in memory are refused by RunStreamedRegress, in words that
  // say why, as they are under mpirun.
  regress.add_flag(
      "--stream", o.stream,
      "read the file in passes without holding it in memory, for files larger than memory "
      "(with --response and --columns; --se, --json, --observations and --plots as without it)");
  regress
      .add_option("--stream-above", o.streamAboveMegabytes,
                  "stream a file larger than this many megabytes (MiB) as --stream does, unless "
                  "an option needs it in memory (default 1024)")
      ->check(CLI::NonNegativeNumber);
}

namespace {

KelCovarianceType CovarianceOf(const RegressOptions& o, const ModelRequest& model) {
  if (!model.clusters.empty()) return KelCovarianceType::kCluster;
  for (const KelCovarianceTypeName& known : kelCovarianceTypes)
    if (o.standardErrors == known.name) return known.type;
  return KelCovarianceType::kClassical;
}

std::vector<std::string> ReportsOf(const RegressOptions& o) {
  return o.reports.empty() ? std::vector<std::string>{"least-squares"} : o.reports;
}

// The fit and the results; the library's warnings are caught in libraryText, to be shown as
// sentences once the run has succeeded.
ComputedResult ComputeCapturingWarnings(const RegressOptions& o, const PreparedData& prepared,
                                        const ModelRequest& model, KelLinearRegression& regression,
                                        std::string& libraryText) {
  const std::vector<std::string> reports = ReportsOf(o);
  const bool robust = std::find(reports.begin(), reports.end(), "robust") != reports.end();
  KelOutputScope capture(libraryText);
  KelQuietMessages quiet;
  return ComputeRegression(prepared.data, prepared.data.intercept, o.variance, o.varianceDof,
                           CovarianceOf(o, model), robust, regression);
}

// Every file asked for, named only once all of them are complete.
void WriteResultFiles(const RegressOptions& o, const PreparedData& prepared,
                      const RegressionResult& result, KelLinearRegression& regression,
                      const std::string& call, const std::string& summary) {
  PendingFiles pending;
  if (!o.jsonFile.empty())
    StreamPending(pending, o.jsonFile, [&](std::FILE* file) { return WriteJson(result, file); });
  if (!o.observationsFile.empty()) {
    StreamPending(pending, o.observationsFile,
                  [&](std::FILE* file) { return WriteObservationsCsv(result, file); });
  }
  if (!o.plotFolder.empty()) WritePlotImages(RenderDiagnosticPlots(result), o.plotFolder, pending);
  if (!o.htmlFile.empty())
    WritePending(pending, o.htmlFile, RegressionHtml(result, {call, o.dataFile, summary}));
  if (!o.outputFile.empty()) {
    const std::string header = ReportHeader(prepared.data, call, o.dataFile);
    WritePendingAt(pending, o.outputFile, [&](const std::string& path) {
      return WriteReportFile(path, header, ReportsOf(o), regression);
    });
  }
  CommitPending(pending);
}

// The regression read in passes from the file (every rank its part under mpirun): the summary
// and the JSON written by rank 0, the observations of every rank in data row order.
int RunStreamedRegress(const RegressOptions& o, const Invocation& invocation) {
  ParallelContext& context = invocation.context;
  char separator = 0;
  ModelRequest model;
  // Every rank parsed the same command line: a usage error is the same on all, printed once.
  RunAlikeOnEveryRank(context, o.dataFile, [&] {
    // Under mpirun the file is streamed whether --stream was given or not: the options that
    // need every row in memory are refused as --stream refuses them.
    for (const char* name : kInMemoryOptions) {
      if (invocation.subcommand.count(name) > 0)
        throw UsageError(std::string(name) +
                         " needs the whole file in memory: it is not available with --stream or "
                         "under mpirun");
    }
    separator = SeparatorOf(o.format, invocation.subcommand);
    CheckCsvFormat(o.format, separator);
    model = ModelOf(o.fit, "regress", o.format.decimal[0]);
  });
  const bool root = context.Rank() == 0;
  std::optional<ProgressLine> progress;
  if (root) {
    progress.emplace("kelmath regress");
    progress->Step("streaming " + o.dataFile);
  }
  // The ranks of a run write into the root's file by its visible temporary name.
  PendingFiles pending(context.Size() == 1);
  OrderedLines observations(context, pending, o.observationsFile,
                            ObservationsHeader(RegressionResult{}) + "\n");
  StreamedRequest request{o.dataFile, model, separator, CovarianceOf(o, model)};
  if (!o.observationsFile.empty())
    request.observationLines = [&](const std::string& lines) { observations.Write(lines); };
  std::vector<PlotImage> images;
  if (!o.plotFolder.empty())
    request.panels = [&](const std::vector<DiagnosticPanel>& panels) {
      images = RenderPanels(panels);
    };
  const ComputedResult computed = ComputeStreamedRegression(request, context);
  // The ranks agreed on the problem: each throws it, the root prints it.
  if (!computed.Ok()) throw AgreedFailure(o.dataFile + ": " + computed.problem);
  observations.Finish();
  if (!root) return 0;
  const std::string summary =
      FormatSummary(computed.result, invocation.call, o.dataFile, o.observationsFile);
  if (!o.jsonFile.empty()) {
    StreamPending(pending, o.jsonFile,
                  [&](std::FILE* file) { return WriteJson(computed.result, file); });
  }
  if (!o.plotFolder.empty()) WritePlotImages(images, o.plotFolder, pending);
  progress->Finish();
  CommitPending(pending);
  std::fputs(summary.c_str(), stdout);
  return 0;
}

// Whether the file is larger than --stream-above and no option asks for it in memory.
bool StreamsBySize(const RegressOptions& o, const Invocation& invocation) {
  for (const char* name : kInMemoryOptions)
    if (invocation.subcommand.count(name) > 0) return false;
  std::error_code error;
  const auto bytes = std::filesystem::file_size(o.dataFile, error);
  return !error && static_cast<double>(bytes) > o.streamAboveMegabytes * 1048576.0;
}

}  // namespace

int RunRegress(const RegressOptions& o, const Invocation& invocation) {
  if (o.stream || invocation.context.Size() > 1 || StreamsBySize(o, invocation))
    return RunStreamedRegress(o, invocation);
  const char separator = SeparatorOf(o.format, invocation.subcommand);
  CheckCsvFormat(o.format, separator);
  const ModelRequest model = ModelOf(o.fit, "regress", o.format.decimal[0]);
  ProgressLine progress("kelmath regress");
  progress.Step("reading " + o.dataFile);
  const PreparedData prepared = ReadModelData(o.fit, o.dataFile, separator, model);
  if (!prepared.Ok()) throw UsageError(o.dataFile + ": " + prepared.problem);
  progress.Step(FittingStep(prepared.data));
  KelLinearRegression regression;
  std::string libraryText;
  const ComputedResult computed =
      ComputeCapturingWarnings(o, prepared, model, regression, libraryText);
  if (!computed.Ok()) throw UsageError(o.dataFile + ": " + computed.problem);
  const std::string summary =
      FormatSummary(computed.result, invocation.call, o.dataFile, o.observationsFile);
  progress.Step("writing the result files");
  WriteResultFiles(o, prepared, computed.result, regression, invocation.call, summary);
  progress.Finish();
  std::fputs(summary.c_str(), stdout);
  for (const std::string& line : WarningLines(libraryText))
    std::fprintf(stderr, "kelmath: %s\n", line.c_str());
  return 0;
}

}  // namespace kelmath_cli
