// kelmath robust: its options, and the run from the data file to the summary and result files.
#include "robust_command.h"

#include <cstdio>

#include "command_html.h"
#include "foundation/kel_output.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"
#include "progress_line.h"
#include "report_file.h"
#include "robust_report.h"

namespace kelmath_cli {

void AddRobustOptions(CLI::App& robust, RobustOptions& o) {
  robust.add_option("data", o.dataFile, "CSV file with a header row of column names")->required();
  AddModelOptions(robust, o.fit);
  robust.add_option("--json", o.jsonFile, "JSON file for the results");
  robust.add_option("--output", o.outputFile, "text file for the library's robust report");
  robust.add_option("--plots", o.plotFolder,
                    "folder for the plot of the normalized robust residuals by row (SVG)");
  robust.add_option("--observations", o.observationsFile,
                    "CSV file for every row's robust fitted value, residual, normalized residual "
                    "and outlier flag");
  robust.add_option("--html", o.htmlFile,
                    "self-contained HTML page of the results, with the plots inline");
  AddCsvFormatOptions(robust, o.format);
}

namespace {

void WriteResultFiles(const RobustOptions& o, const PreparedData& prepared,
                      const RobustAnalysis& analysis, KelLinearRegression& regression,
                      const std::string& call, const std::string& summary) {
  PendingFiles pending;
  if (!o.jsonFile.empty()) WritePending(pending, o.jsonFile, FormatRobustJson(analysis));
  if (!o.observationsFile.empty()) {
    StreamPending(pending, o.observationsFile,
                  [&](std::FILE* file) { return WriteRobustObservationsCsv(analysis, file); });
  }
  if (!o.plotFolder.empty())
    WritePlotImages({RenderRobustPlot(analysis.fit)}, o.plotFolder, pending);
  if (!o.htmlFile.empty())
    WritePending(pending, o.htmlFile, RobustHtml(analysis, {call, o.dataFile, summary}));
  if (!o.outputFile.empty()) {
    const std::string header = ReportHeader(prepared.data, call, o.dataFile);
    WritePendingAt(pending, o.outputFile, [&](const std::string& path) {
      return WriteReportFile(path, header, {"robust"}, regression);
    });
  }
  CommitPending(pending);
}

}  // namespace

int RunRobust(const RobustOptions& o, const Invocation& invocation) {
  const char separator = SeparatorOf(o.format, invocation.subcommand);
  CheckCsvFormat(o.format, separator);
  const ModelRequest model = ModelOf(o.fit, "robust", o.format.decimal[0]);
  ProgressLine progress("kelmath robust");
  progress.Step("reading " + o.dataFile);
  const PreparedData prepared = ReadModelData(o.fit, o.dataFile, separator, model);
  if (!prepared.Ok()) throw UsageError(o.dataFile + ": " + prepared.problem);
  progress.Step(FittingStep(prepared.data));
  KelLinearRegression regression;
  std::string libraryText;
  ComputedRobust computed;
  {
    KelOutputScope capture(libraryText);
    KelQuietMessages quiet;
    computed = ComputeRobustAnalysis(prepared.data, regression);
  }
  if (!computed.Ok()) throw UsageError(o.dataFile + ": " + computed.problem);
  const std::string summary =
      FormatRobustSummary(computed.analysis, invocation.call, o.dataFile, o.observationsFile);
  progress.Step("writing the result files");
  WriteResultFiles(o, prepared, computed.analysis, regression, invocation.call, summary);
  progress.Finish();
  std::fputs(summary.c_str(), stdout);
  for (const std::string& line : WarningLines(libraryText))
    std::fprintf(stderr, "kelmath: %s\n", line.c_str());
  return 0;
}

}  // namespace kelmath_cli
