// kelmath predict: its options, and the run from the two data files to the predictions.
#include "predict_command.h"

#include <cmath>
#include <cstdio>

#include "command_html.h"
#include "name_text.h"
#include "prediction.h"
#include "table_columns.h"

namespace kelmath_cli {

void AddPredictOptions(CLI::App& predict, PredictOptions& o) {
  predict.add_option("data", o.dataFile, "CSV file the model is fitted to")->required();
  AddModelOptions(predict, o.fit);
  AddWeightsOption(predict, o.fit);
  predict
      .add_option("--new", o.newFile,
                  "CSV file of the rows to predict, with the model's columns (the response is "
                  "not needed); with --weights, its weights column, if any, weighs a new "
                  "observation's variance")
      ->required();
  predict
      .add_option("--interval", o.interval,
                  "none (default), confidence (of the mean response) or prediction (of a new "
                  "observation)")
      ->check(CLI::IsMember({"none", "confidence", "prediction"}));
  predict.add_option("--level", o.level, "the intervals' level, between 0 and 1 (default 0.95)")
      ->check(CLI::Range(0.0, 1.0));
  predict.add_option("--output", o.outputFile,
                     "CSV file for the predictions (default: standard output)");
  predict.add_option("--html", o.htmlFile, "self-contained HTML page of the predictions");
  AddCsvFormatOptions(predict, o.format);
}

namespace {

IntervalKind IntervalOf(const std::string& name) {
  if (name == "confidence") return IntervalKind::kConfidence;
  if (name == "prediction") return IntervalKind::kPrediction;
  return IntervalKind::kNone;
}

// The separator of the output: the one given, else the one the reader chose from the header.
char OutputSeparator(char given, const CsvTable& table) {
  if (given != 0) return given;
  const std::string_view header = std::string_view(table.text).substr(0, table.text.find('\n'));
  if (header.find(',') != std::string_view::npos) return ',';
  if (header.find(';') != std::string_view::npos) return ';';
  if (header.find('\t') != std::string_view::npos) return '\t';
  return ',';
}

// A field as CSV writes it: in double quotes (quotes doubled) when it holds the separator, a
// quote or a line break.
void AppendField(std::string_view field, char separator, std::string& line) {
  if (field.find_first_of(std::string{separator, '"', '\n', '\r'}) == std::string_view::npos) {
    line += field;
    return;
  }
  line += '"';
  for (const char c : field) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

// 17 significant digits (the double read back exactly) with the decimal mark asked for, or NA.
void AppendNumber(double value, char decimal, std::string& line) {
  if (std::isnan(value)) {
    line += "NA";
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  for (char* c = text; *c != '\0'; ++c)
    if (*c == '.') *c = decimal;
  line += text;
}

std::string PredictionsCsv(const CsvTable& table, const Predictions& predictions, bool interval,
                           char separator, char decimal) {
  std::string text;
  for (const std::string& name : table.names) {
    AppendField(name, separator, text);
    text += separator;
  }
  text += interval ? std::string("fit") + separator + "lwr" + separator + "upr\n" : "fit\n";
  for (size_t i = 0; i < table.RowCount(); ++i) {
    for (size_t j = 0; j < table.names.size(); ++j) {
      AppendField(table.Cell(i, j), separator, text);
      text += separator;
    }
    const PredictedRow& row = predictions.rows[i];
    AppendNumber(row.fit, decimal, text);
    if (interval) {
      text += separator;
      AppendNumber(row.lower, decimal, text);
      text += separator;
      AppendNumber(row.upper, decimal, text);
    }
    text += '\n';
  }
  return text;
}

// The weights of the new rows from the fit's weights column, when the new file has it: NaN
// where missing; a weight that is not positive is a usage error.
std::vector<double> NewWeights(const PredictOptions& o, const CsvTable& table, char decimal) {
  std::vector<double> weights;
  if (o.fit.model.weights.empty()) return weights;
  std::string problem;
  const int position = FindColumn(table, o.fit.model.weights, problem);
  if (position < 0) return weights;
  problem = ReadWeightColumn(table, position, decimal, weights);
  for (size_t i = 0; i < weights.size() && problem.empty(); ++i)
    if (!std::isnan(weights[i]) && !(weights[i] > 0.0))
      problem = "line " + std::to_string(table.lines[i]) + ", column '" +
                ShownName(table.names[static_cast<size_t>(position)]) + "': the weight '" +
                ShownName(TrimmedName(table.Cell(i, position))) + "' is not a positive number";
  if (!problem.empty()) throw UsageError(o.newFile + ": " + problem);
  return weights;
}

}  // namespace

int RunPredict(const PredictOptions& o, const Invocation& invocation) {
  const char separator = SeparatorOf(o.format, invocation.subcommand);
  CheckCsvFormat(o.format, separator);
  if (!(o.level > 0.0 && o.level < 1.0))
    throw UsageError("--level: the level must be between 0 and 1");
  const char decimal = o.format.decimal[0];
  const ModelRequest model = ModelOf(o.fit, "predict", decimal);
  FormulaCoding coding;
  const PreparedData prepared = ReadModelData(o.fit, o.dataFile, separator, model, &coding);
  if (!prepared.Ok()) throw UsageError(o.dataFile + ": " + prepared.problem);
  const CsvTable table = ReadCsvFile(o.newFile, separator);
  const NewRows rows = o.fit.formula.empty()
                           ? PrepareColumnNewRows(table, prepared.data, decimal)
                           : PrepareFormulaNewRows(table, coding, o.fit.formula, decimal);
  if (!rows.Ok()) throw UsageError(o.newFile + ": " + rows.problem);
  const IntervalKind interval = IntervalOf(o.interval);
  const Predictions predictions =
      Predict(prepared.data, rows, NewWeights(o, table, decimal), interval, o.level);
  if (!predictions.Ok()) throw UsageError(o.dataFile + ": " + predictions.problem);
  const std::string text = PredictionsCsv(table, predictions, interval != IntervalKind::kNone,
                                          OutputSeparator(separator, table), decimal);
  PendingFiles pending;
  if (!o.outputFile.empty()) WritePending(pending, o.outputFile, text);
  if (!o.htmlFile.empty()) {
    WritePending(pending, o.htmlFile,
                 PredictionHtml(predictions, interval, o.level, o.newFile,
                                {invocation.call, o.dataFile, ""}));
  }
  CommitPending(pending);
  if (o.outputFile.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
  if (predictions.rankDeficient)
    std::fputs(
        "kelmath: the fit dropped columns that are linear combinations of the others: the "
        "predictions leave them out, as R's predict does, and may be misleading\n",
        stderr);
  if (predictions.unitPredictionWeights)
    std::fprintf(stderr,
                 "kelmath: the new file has no column '%s': each new observation is taken to "
                 "have weight 1 in the prediction intervals, as R's predict assumes\n",
                 ShownName(o.fit.model.weights).c_str());
  return 0;
}

}  // namespace kelmath_cli
