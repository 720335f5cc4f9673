// kelmath stepwise: its options, and the run from the data file to the summary and result files.
#include "stepwise_command.h"

#include <cstdio>

#include "command_html.h"
#include "foundation/kel_output.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"
#include "progress_line.h"
#include "report_file.h"
#include "stepwise_report.h"

namespace kelmath_cli {

void AddStepwiseOptions(CLI::App& stepwise, StepwiseOptions& o) {
  stepwise.add_option("data", o.dataFile, "CSV file with a header row of column names")->required();
  AddModelOptions(stepwise, o.fit);
  stepwise.add_option("--json", o.jsonFile, "JSON file for the results");
  stepwise.add_option("--output", o.outputFile, "text file for the library's stepwise report");
  stepwise.add_option("--html", o.htmlFile, "self-contained HTML page of the results");
  AddCsvFormatOptions(stepwise, o.format);
}

int RunStepwise(const StepwiseOptions& o, const Invocation& invocation) {
  const char separator = SeparatorOf(o.format, invocation.subcommand);
  CheckCsvFormat(o.format, separator);
  const ModelRequest model = ModelOf(o.fit, "stepwise", o.format.decimal[0]);
  ProgressLine progress("kelmath stepwise");
  progress.Step("reading " + o.dataFile);
  const PreparedData prepared = ReadModelData(o.fit, o.dataFile, separator, model);
  if (!prepared.Ok()) throw UsageError(o.dataFile + ": " + prepared.problem);
  progress.Step(FittingStep(prepared.data));
  KelLinearRegression regression;
  std::string libraryText;
  StepwiseSelection selection;
  {
    KelOutputScope capture(libraryText);
    KelQuietMessages quiet;
    selection = ComputeStepwiseSelection(prepared.data, regression);
  }
  if (!selection.Ok()) throw UsageError(o.dataFile + ": " + selection.problem);
  const std::string summary = FormatStepwiseSummary(selection, invocation.call, o.dataFile);
  progress.Step("writing the result files");
  PendingFiles pending;
  if (!o.htmlFile.empty()) {
    WritePending(pending, o.htmlFile,
                 StepwiseHtml(selection, {invocation.call, o.dataFile, summary}));
  }
  if (!o.jsonFile.empty()) WritePending(pending, o.jsonFile, FormatStepwiseJson(selection));
  if (!o.outputFile.empty()) {
    const std::string header = ReportHeader(prepared.data, invocation.call, o.dataFile);
    WritePendingAt(pending, o.outputFile, [&](const std::string& path) {
      return WriteReportFile(path, header, {"stepwise"}, regression);
    });
  }
  CommitPending(pending);
  progress.Finish();
  std::fputs(summary.c_str(), stdout);
  for (const std::string& line : WarningLines(libraryText))
    std::fprintf(stderr, "kelmath: %s\n", line.c_str());
  return 0;
}

}  // namespace kelmath_cli
