#include "stepwise_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "json_text.h"
#include "linear_regression/kel_linear_regression.h"
#include "name_text.h"
#include "regression_result.h"
#include "regression_summary.h"

namespace kelmath_cli {

namespace {

// The search reports a size it did not reach by this mean square error (the largest float).
constexpr double kNotReached = static_cast<double>(std::numeric_limits<float>::max());

void ReadModels(const RegressionData& data, KelLinearRegression& regression,
                StepwiseSelection& selection) {
  const KelMatrix& parameters = regression.StepwiseParameters();
  const KelMatrix& t = regression.StepwiseTRatios();
  const KelVector& errors = regression.StepwiseMeanSquareErrors();
  for (int k = 1; k <= parameters.Rows(); ++k) {
    SelectedModel model;
    model.parameters = k;
    model.meanSquareError = errors(k);
    model.found = errors(k) < kNotReached;
    for (int j = 1; j <= parameters.Columns() && model.found; ++j) {
      const bool intercept = data.intercept && j == 1;
      if (parameters(k, j) == 0.0 && !intercept) continue;
      const double tValue = intercept ? NAN : std::fabs(t(k, j));
      model.columns.push_back(
          {data.parameterNames[static_cast<size_t>(j) - 1], parameters(k, j), tValue});
      model.doubtful = model.doubtful || tValue < kStepwiseDoubtfulT;
    }
    if (model.found && !model.doubtful) selection.suggested = k;
    selection.models.push_back(std::move(model));
  }
}

}  // namespace

StepwiseSelection ComputeStepwiseSelection(const RegressionData& data,
                                           KelLinearRegression& regression) {
  StepwiseSelection selection;
  selection.dataRows = data.dataRows;
  selection.rowsUsed = static_cast<int>(data.usedRows.size());
  selection.droppedRows = data.droppedRows;
  const ComputedResult fit = ComputeRegression(data, data.intercept, 0.0, 0,
                                               KelCovarianceType::kClassical, false, regression);
  if (!fit.Ok()) {
    selection.problem = fit.problem;
    selection.kind = fit.kind;
    return selection;
  }
  ReadModels(data, regression, selection);
  if (selection.models.empty() || regression.StepwiseParameters().Rows() == 0) {
    selection.problem =
        "the stepwise search cannot run: a column other than the intercept has "
        "no spread";
    selection.kind = RegressionProblem::kColumnWithoutSpread;
  }
  return selection;
}

std::string FormatStepwiseSummary(const StepwiseSelection& s, const std::string& call,
                                  const std::string& fileName) {
  std::string text = "Call: " + call + "\n\n";
  text += "Data: " + fileName + ", " + std::to_string(s.dataRows) + " data rows, " +
          std::to_string(s.rowsUsed) + " used";
  if (!s.droppedRows.empty())
    text += "; " + FormatCount(s.droppedRows.size()) + " dropped for missing values: rows " +
            FormatRows(s.droppedRows);
  text += "\n\nBest model of each size (stepwise search; |t| below 2.5 marked *):\n";
  size_t width = 11;
  for (const SelectedModel& m : s.models)
    for (const SelectedColumn& c : m.columns) width = std::max(width, ShownName(c.name).size());
  for (const SelectedModel& m : s.models) {
    text += '\n';
    text += std::to_string(m.parameters);
    text += m.parameters == 1 ? " parameter" : " parameters";
    if (!m.found) {
      text += ": not reached by the search\n";
      continue;
    }
    text += ", mean square error " + Printf("%.6g", m.meanSquareError) + "\n";
    for (const SelectedColumn& c : m.columns) {
      const std::string name = ShownName(c.name);
      text += "  " + name + std::string(width - name.size(), ' ') + Printf(" %13.6g", c.estimate);
      if (!std::isnan(c.tValue))
        text += Printf("   |t| %8.4g", c.tValue) + (c.tValue < kStepwiseDoubtfulT ? " *" : "");
      text += "\n";
    }
  }
  if (s.suggested == 0)
    return text + "\nSuggested: none (every model has a column with |t| below 2.5)\n";
  return text + "\nSuggested: " + std::to_string(s.suggested) +
         " parameters, the largest model whose every |t| is at least 2.5\n";
}

std::string FormatStepwiseJson(const StepwiseSelection& s) {
  JsonValue models = JsonValue::array();
  for (const SelectedModel& m : s.models) {
    JsonValue columns = JsonValue::array();
    for (const SelectedColumn& c : m.columns)
      columns.push_back({{"name", ValidUtf8(c.name)},
                         {"estimate", JsonNumber(c.estimate)},
                         {"t_value", JsonNumber(c.tValue)}});
    models.push_back({{"parameters", m.parameters},
                      {"found", m.found},
                      {"mse", m.found ? JsonNumber(m.meanSquareError) : JsonValue(nullptr)},
                      {"doubtful", m.doubtful},
                      {"columns", columns}});
  }
  const JsonValue object = {
      {"rows_used", s.rowsUsed},
      {"dropped_rows", s.droppedRows},
      {"models", models},
      {"suggested", s.suggested == 0 ? JsonValue(nullptr) : JsonValue(s.suggested)}};
  std::string text;
  AppendJsonValue(object, 0, &text);
  return text + "\n";
}

}  // namespace kelmath_cli
