// kelmath nls: its options, and the run from the data file to the summary and result files.
#include "nls_command.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>

#include "command_html.h"
#include "foundation/kel_output.h"
#include "library_warnings.h"
#include "name_text.h"
#include "nls_analysis.h"
#include "nls_report.h"
#include "progress_line.h"
#include "table_columns.h"

namespace kelmath_cli {

void AddNlsOptions(CLI::App& nls, NlsOptions& o) {
  nls.add_option("data", o.dataFile, "CSV file with a header row of column names")->required();
  nls.add_option("--model", o.models,
                 "the model \"Y ~ EXPRESSION\" in R's notation; repeat for rival models")
      ->required()
      ->allow_extra_args(false);
  nls.add_option("--start", o.starts,
                 "NAME=VALUE,...: the parameters of the --model before it and their starting "
                 "values")
      ->required()
      ->allow_extra_args(false);
  CLI::Option* weights =
      nls.add_option("--weights", o.weights,
                     "column of weights as R's nls weights (the residual variance estimated)");
  nls.add_option("--variances", o.variances,
                 "column of known variances of each row's response, or one known variance of "
                 "every response (a number, with --variance-df)")
      ->excludes(weights);
  nls.add_option("--variance-df", o.varianceDegreesOfFreedom,
                 "degrees of freedom the --variances number was estimated with");
  nls.add_option("--errors-in", o.errorsIn,
                 "COLUMN=VARIANCE: an independent variable measured with that variance (needs "
                 "--variances NUMBER); comma-separated or repeated for several")
      ->allow_extra_args(false)
      ->delimiter(',');
  nls.add_option("--design", o.design,
                 "XMIN:XMAX (or X=MIN:MAX,... for several variables): search this box for the "
                 "next experiment");
  nls.add_option("--json", o.jsonFile, "JSON file for the results");
  nls.add_option("--output", o.outputFile, "text file for the library's least-squares reports");
  nls.add_option("--html", o.htmlFile, "self-contained HTML page of the results");
  AddCsvFormatOptions(nls, o.format);
}

namespace {

std::pair<double, double> RangeOf(const std::string& text, char decimal) {
  const size_t colon = text.find(':');
  const Cell low = ReadCell(text.substr(0, colon), decimal);
  const Cell high = colon == std::string::npos ? Cell{} : ReadCell(text.substr(colon + 1), decimal);
  if (low.kind != CellKind::kNumber || high.kind != CellKind::kNumber || !(low.value < high.value))
    throw UsageError("--design '" + ShownName(text) + "' is not MIN:MAX with MIN < MAX");
  return {low.value, high.value};
}

// The box of --design: "MIN:MAX" for a model of one variable, else "X=MIN:MAX" for every one.
NlsDesignBox DesignBoxOf(const std::string& text, const std::vector<std::string>& columns,
                         char decimal) {
  NlsDesignBox box;
  box.low.assign(columns.size(), 0.0);
  box.high.assign(columns.size(), 0.0);
  if (columns.size() == 1 && text.find('=') == std::string::npos) {
    std::tie(box.low[0], box.high[0]) = RangeOf(text, decimal);
    return box;
  }
  std::vector<bool> given(columns.size(), false);
  size_t from = 0;
  while (from <= text.size()) {
    const size_t comma = text.find(',', from);
    const std::string item = text.substr(from, comma - from);
    const size_t equals = item.find('=');
    const std::string name(TrimmedName(item.substr(0, equals)));
    const auto k =
        static_cast<size_t>(std::find(columns.begin(), columns.end(), name) - columns.begin());
    if (equals == std::string::npos || k == columns.size())
      throw UsageError("--design '" + ShownName(item) +
                       "' is not X=MIN:MAX for an independent variable X of the models");
    std::tie(box.low[k], box.high[k]) = RangeOf(item.substr(equals + 1), decimal);
    given[k] = true;
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  for (size_t k = 0; k < columns.size(); ++k)
    if (!given[k])
      throw UsageError("--design gives no range for '" + ShownName(columns[k]) +
                       "', an independent variable of the models");
  return box;
}

std::string ReportHeaderOf(const NlsModels& models, const NlsData& data, const std::string& call,
                           const std::string& fileName) {
  std::string text = "kelmath: " + call + "\n";
  text += "Data: " + fileName + ", " + std::to_string(data.RowsUsed()) + " of " +
          std::to_string(data.dataRows) + " data rows used\n";
  for (size_t m = 0; m < models.models.size(); ++m) {
    const NlsModel& model = models.models[m];
    text += "Model " + std::to_string(m + 1) + ": " + ShownName(model.formula) + ";";
    for (size_t k = 0; k < model.parameterNames.size(); ++k)
      text += " b" + std::to_string(k + 1) + " = " + ShownName(model.parameterNames[k]);
    text += "\n";
  }
  text += "Independent variables:";
  for (size_t k = 0; k < models.columns.size(); ++k)
    text += " x" + std::to_string(k + 1) + " = " + ShownName(models.columns[k]);
  text += "\nExperiments of the reports and their data rows (experiment:row):";
  for (size_t i = 0; i < data.usedRows.size(); ++i)
    text += " " + std::to_string(i + 1) + ":" + std::to_string(data.usedRows[i]);
  return text + "\n";
}

// The library's least-squares reports (and the search's, with a box) after the header.
bool WriteNlsReport(const std::string& path, const std::string& header,
                    const std::optional<NlsDesignBox>& box, KelNonLinearRegression& regression) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::unique_ptr<FILE, int (*)(FILE*)> closer(file, std::fclose);
  std::fputs(header.c_str(), file);
  {
    KelOutputScope channel(file);
    if (box) {
      KelVector low(static_cast<int>(box->low.size()));
      KelVector high(static_cast<int>(box->high.size()));
      for (int k = 1; k <= low.Size(); ++k) {
        low(k) = box->low[static_cast<size_t>(k - 1)];
        high(k) = box->high[static_cast<size_t>(k - 1)];
      }
      regression.LeastSquaresAnalysisAndExperimentsSearch(low, high);
    } else {
      regression.LeastSquaresAnalysis();
    }
    KelPrint("\n");
  }
  const bool written = std::ferror(file) == 0;
  return std::fclose(closer.release()) == 0 && written;
}

}  // namespace

int RunNls(const NlsOptions& o, const Invocation& invocation) {
  const char separator = SeparatorOf(o.format, invocation.subcommand);
  CheckCsvFormat(o.format, separator);
  const char decimal = o.format.decimal[0];
  const CsvTable table = ReadCsvFile(o.dataFile, separator);
  const ParsedNlsModels parsed = ParseNlsModels(o.models, o.starts, table.names);
  if (!parsed.Ok()) throw UsageError(o.dataFile + ": " + parsed.problem);
  const NlsModels& models = parsed.models;
  const PreparedNlsData prepared = ReadNlsData(
      table, models, {o.weights, o.variances, o.varianceDegreesOfFreedom, o.errorsIn, decimal});
  if (!prepared.Ok()) throw UsageError(o.dataFile + ": " + prepared.problem);
  const NlsData& data = prepared.data;
  const std::string start = CheckNlsStarts(models, data);
  if (!start.empty()) throw UsageError(o.dataFile + ": " + start);
  std::optional<NlsDesignBox> box;
  if (!o.design.empty()) {
    if (data.weighting == NlsWeighting::kWeights || data.weighting == NlsWeighting::kVarianceColumn)
      throw UsageError(
          "--design needs the rows unweighted or one known variance (--variances NUMBER): the "
          "search weighs its candidates by the response's variance");
    box = DesignBoxOf(o.design, models.columns, decimal);
  }
  const std::unique_ptr<KelNonLinearRegression> regression = MakeNlsRegression(models, data);
  std::string libraryText;
  NlsAnalysis analysis;
  ProgressLine progress("kelmath nls");
  {
    KelOutputScope capture(libraryText);
    KelQuietMessages quiet;
    analysis = ComputeNlsAnalysis(models, data, box, *regression,
                                  [&](std::string step) { progress.Step(std::move(step)); });
  }
  const std::string summary = FormatNlsSummary(analysis, invocation.call, o.dataFile);
  progress.Step("writing the result files");
  PendingFiles pending;
  if (!o.htmlFile.empty())
    WritePending(pending, o.htmlFile, NlsHtml(analysis, {invocation.call, o.dataFile, summary}));
  if (!o.jsonFile.empty()) WritePending(pending, o.jsonFile, FormatNlsJson(analysis));
  if (!o.outputFile.empty()) {
    const std::string header = ReportHeaderOf(models, data, invocation.call, o.dataFile);
    WritePendingAt(pending, o.outputFile, [&](const std::string& path) {
      return WriteNlsReport(path, header, box, *regression);
    });
  }
  CommitPending(pending);
  progress.Finish();
  std::fputs(summary.c_str(), stdout);
  for (const std::string& line : NlsWarnings(analysis))
    std::fprintf(stderr, "kelmath: %s\n", line.c_str());
  for (const std::string& line : WarningLines(libraryText))
    std::fprintf(stderr, "kelmath: %s\n", line.c_str());
  return 0;
}

}  // namespace kelmath_cli
