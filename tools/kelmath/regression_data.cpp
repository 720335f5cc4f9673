#include "regression_data.h"

#include <algorithm>

namespace kelmath_cli {

namespace {

// Position of the name in the header, -1 when it is absent, -2 when it names several columns.
int FindColumn(const CsvTable& table, const std::string& name) {
  const auto it = std::find(table.names.begin(), table.names.end(), name);
  if (it == table.names.end()) return -1;
  if (std::find(it + 1, table.names.end(), name) != table.names.end()) return -2;
  return static_cast<int>(it - table.names.begin());
}

std::string NotFound(int position, const std::string& name) {
  return position == -1 ? "no column named '" + name + "'"
                        : "the header names several columns '" + name + "'";
}

// The header positions of the response (first) and the regressor columns, or a problem.
std::string ChooseColumns(const CsvTable& table, const ModelRequest& request,
                          std::vector<int>& positions) {
  const int response = FindColumn(table, request.response);
  if (response < 0) return NotFound(response, request.response);
  positions.push_back(response);
  if (request.columns.empty()) {
    for (int j = 0; j < static_cast<int>(table.names.size()); ++j)
      if (j != response) positions.push_back(j);
  } else {
    for (const std::string& name : request.columns) {
      const int position = FindColumn(table, name);
      if (position < 0) return NotFound(position, name);
      positions.push_back(position);
    }
  }
  for (size_t i = 0; i < positions.size(); ++i)
    for (size_t k = 0; k < i; ++k)
      if (positions[i] == positions[k])
        return "column '" + table.names[positions[i]] + "' is used twice";
  if (positions.size() == 1 && !request.intercept) return "the model has no parameter";
  return "";
}

}  // namespace

PreparedData PrepareRegressionData(const CsvTable& table, const ModelRequest& request) {
  PreparedData prepared;
  RegressionData& data = prepared.data;
  std::vector<int> positions;
  prepared.problem = ChooseColumns(table, request, positions);
  if (!prepared.Ok()) return prepared;
  data.responseName = request.response;
  if (request.intercept) data.parameterNames.push_back(kInterceptName);
  for (size_t k = 1; k < positions.size(); ++k)
    data.parameterNames.push_back(table.names[positions[k]]);
  data.dataRows = static_cast<int>(table.rows.size());
  for (size_t i = 0; i < table.rows.size(); ++i) {
    std::vector<double> values;
    bool missing = false;
    for (const int position : positions) {
      const Cell cell = ReadCell(table.rows[i][position]);
      if (cell.kind == CellKind::kOther) {
        prepared.problem = "line " + std::to_string(table.lines[i]) + ", column '" +
                           table.names[position] + "': '" + table.rows[i][position] +
                           "' is not a number";
        return prepared;
      }
      missing = missing || cell.kind == CellKind::kMissing;
      values.push_back(cell.value);
    }
    const int row = static_cast<int>(i) + 1;
    if (missing) {
      data.droppedRows.push_back(row);
      continue;
    }
    data.usedRows.push_back(row);
    data.response.push_back(values[0]);
    std::vector<double> regressors;
    if (request.intercept) regressors.push_back(1.0);
    regressors.insert(regressors.end(), values.begin() + 1, values.end());
    data.regressors.push_back(std::move(regressors));
  }
  const size_t needed = data.parameterNames.size() + 1;
  if (data.usedRows.size() < needed) {
    prepared.problem = std::to_string(data.usedRows.size()) + " complete rows (" +
                       std::to_string(data.droppedRows.size()) + " dropped for missing values)" +
                       ", but a model with " + std::to_string(data.parameterNames.size()) +
                       " parameters needs at least " + std::to_string(needed);
  }
  return prepared;
}

}  // namespace kelmath_cli
