#include "regression_data.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>

#include "name_text.h"
#include "table_columns.h"

namespace kelmath_cli {

std::string ChooseModelColumns(const CsvTable& table, const ModelRequest& request,
                               const std::vector<int>& clusters, int weights,
                               std::vector<int>& positions) {
  std::string problem;
  const int response = FindColumn(table, request.response, problem);
  if (response < 0) return problem;
  positions.push_back(response);
  if (request.columns.empty()) {
    for (int j = 0; j < static_cast<int>(table.names.size()); ++j) {
      if (j == response || j == weights ||
          std::find(clusters.begin(), clusters.end(), j) != clusters.end())
        continue;
      // Two columns of one name would be fitted as two parameters no one can tell apart.
      if (RepeatOf(table, j) >= 0) return AppearsTwice(table, j);
      positions.push_back(j);
    }
  } else {
    for (const std::string& name : request.columns) {
      const int position = FindColumn(table, name, problem);
      if (position < 0) return problem;
      positions.push_back(position);
    }
  }
  for (size_t i = 0; i < positions.size(); ++i)
    for (size_t k = 0; k < i; ++k)
      if (positions[i] == positions[k])
        return "column '" + ShownName(table.names[positions[i]]) + "' is used twice";
  if (positions.size() == 1 && !request.intercept) return "the model has no parameter";
  return "";
}

std::vector<std::string> ModelParameterNames(const CsvTable& table,
                                             const std::vector<int>& positions, bool intercept) {
  std::vector<std::string> names;
  if (intercept) names.push_back(kInterceptName);
  for (size_t k = 1; k < positions.size(); ++k) names.push_back(table.names[positions[k]]);
  return names;
}

namespace {

// Reads the used columns of every row as numbers: a complete row goes into the data, a row with
// a missing value (or cluster label, or weight) into the dropped rows; a cell that is not a
// number, or a weight that is not positive, is the problem returned.
std::string TakeRows(const CsvTable& table, const std::vector<int>& positions,
                     const std::vector<int>& clusters, int weightsPosition,
                     const ModelRequest& request, RegressionData& data) {
  std::vector<double> weights;
  if (weightsPosition >= 0) {
    std::string problem = ReadWeightColumn(table, weightsPosition, request.decimal, weights);
    if (!problem.empty()) return problem;
  }
  const size_t width = positions.size() - 1 + (request.intercept ? 1 : 0);
  data.response.reserve(table.RowCount());
  data.regressors.reserve(table.RowCount() * width);
  std::vector<double> values(positions.size());
  for (size_t i = 0; i < table.RowCount(); ++i) {
    bool missing = false;
    for (size_t k = 0; k < positions.size(); ++k) {
      const Cell cell = ReadCell(table.Cell(i, positions[k]), request.decimal);
      if (cell.kind == CellKind::kOther) return NotANumber(table, i, positions[k], request.decimal);
      missing = missing || cell.kind == CellKind::kMissing;
      values[k] = cell.value;
    }
    for (const int position : clusters)
      missing = missing || ClusterLabel(table, i, position).empty();
    missing = missing || (weightsPosition >= 0 && std::isnan(weights[i]));
    const int row = static_cast<int>(i) + 1;
    if (missing) {
      data.droppedRows.push_back(row);
      continue;
    }
    data.usedRows.push_back(row);
    data.response.push_back(values[0]);
    if (request.intercept) data.regressors.push_back(1.0);
    data.regressors.insert(data.regressors.end(), values.begin() + 1, values.end());
  }
  NumberClusters(table, clusters, data);
  return weightsPosition >= 0 ? TakeWeights(table, weightsPosition, weights, data) : "";
}

}  // namespace

PreparedData PrepareRegressionData(const CsvTable& table, const ModelRequest& request) {
  PreparedData prepared;
  RegressionData& data = prepared.data;
  std::vector<int> clusters;
  prepared.problem = ChooseClusters(table, request.clusters, clusters);
  if (!prepared.Ok()) return prepared;
  int weights = -1;
  if (!request.weights.empty()) {
    weights = FindColumn(table, request.weights, prepared.problem);
    if (!prepared.Ok()) {
      prepared.problem = "--weights: " + prepared.problem;
      return prepared;
    }
  }
  std::vector<int> positions;
  prepared.problem = ChooseModelColumns(table, request, clusters, weights, positions);
  if (!prepared.Ok()) return prepared;
  data.responseName = table.names[positions[0]];
  data.intercept = request.intercept;
  data.parameterNames = ModelParameterNames(table, positions, request.intercept);
  data.dataRows = static_cast<int>(table.RowCount());
  prepared.problem = TakeRows(table, positions, clusters, weights, request, data);
  if (!prepared.Ok()) return prepared;
  prepared.problem = TooFewRows(data);
  return prepared;
}

std::string TooFewRows(const RegressionData& data) {
  const size_t needed = data.parameterNames.size() + 1;
  if (data.usedRows.size() >= needed) return "";
  return std::to_string(data.usedRows.size()) + " complete rows (" +
         std::to_string(data.droppedRows.size()) + " dropped for missing values)" +
         ", but a model with " + std::to_string(data.parameterNames.size()) +
         " parameters needs at least " + std::to_string(needed);
}

NewRows PrepareColumnNewRows(const CsvTable& table, const RegressionData& data, char decimal) {
  NewRows rows;
  std::vector<int> positions;
  for (size_t k = data.intercept ? 1 : 0; k < data.parameterNames.size(); ++k) {
    const int position = FindColumn(table, data.parameterNames[k], rows.problem);
    if (position < 0) return rows;
    positions.push_back(position);
  }
  const size_t n = data.parameterNames.size();
  rows.regressors.reserve(table.RowCount() * n);
  for (size_t i = 0; i < table.RowCount(); ++i) {
    const size_t start = rows.regressors.size();
    if (data.intercept) rows.regressors.push_back(1.0);
    bool complete = true;
    for (const int position : positions) {
      const Cell cell = ReadCell(table.Cell(i, position), decimal);
      if (cell.kind == CellKind::kOther) {
        rows.problem = NotANumber(table, i, position, decimal);
        return rows;
      }
      complete = complete && cell.kind == CellKind::kNumber;
      rows.regressors.push_back(cell.value);
    }
    if (!complete)
      std::fill(rows.regressors.begin() + static_cast<std::ptrdiff_t>(start), rows.regressors.end(),
                std::numeric_limits<double>::quiet_NaN());
    rows.complete.push_back(complete);
  }
  return rows;
}

}  // namespace kelmath_cli
