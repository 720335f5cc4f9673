#include "regression_data.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "name_text.h"

namespace kelmath_cli {

namespace {

std::string_view TrimmedName(std::string_view name) {
  const size_t first = name.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return name.substr(first, name.find_last_not_of(" \t") - first + 1);
}

// The second header position holding the name of position, or -1 when it is the only one.
int RepeatOf(const CsvTable& table, int position) {
  const std::string_view name = TrimmedName(table.names[position]);
  for (int j = 0; j < static_cast<int>(table.names.size()); ++j)
    if (j != position && TrimmedName(table.names[j]) == name) return j;
  return -1;
}

std::string AppearsTwice(const CsvTable& table, int position) {
  const int other = RepeatOf(table, position);
  const int first = std::min(position, other) + 1;
  const int second = std::max(position, other) + 1;
  return "column '" + ShownName(table.names[position]) + "' appears twice (columns " +
         std::to_string(first) + " and " + std::to_string(second) + ")";
}

// Position of the name in the header (blanks around either ignored), or -1 with the problem set:
// absent, or held by several columns.
int FindColumn(const CsvTable& table, const std::string& name, std::string& problem) {
  const std::string_view wanted = TrimmedName(name);
  for (int j = 0; j < static_cast<int>(table.names.size()); ++j) {
    if (TrimmedName(table.names[j]) != wanted) continue;
    if (RepeatOf(table, j) >= 0) {
      problem = AppearsTwice(table, j);
      return -1;
    }
    return j;
  }
  problem = "no column named '" + ShownName(wanted) + "'";
  return -1;
}

// The header positions of the clustering columns, or a problem.
std::string ChooseClusters(const CsvTable& table, const ModelRequest& request,
                           std::vector<int>& clusters) {
  std::string problem;
  for (const std::string& name : request.clusters) {
    const int position = FindColumn(table, name, problem);
    if (position < 0) return problem;
    if (std::find(clusters.begin(), clusters.end(), position) != clusters.end())
      return "column '" + ShownName(table.names[position]) + "' is a cluster twice";
    clusters.push_back(position);
  }
  return "";
}

// The header positions of the response (first) and the regressor columns, or a problem. By
// default the regressors are every column but the response and the clustering columns.
std::string ChooseColumns(const CsvTable& table, const ModelRequest& request,
                          const std::vector<int>& clusters, std::vector<int>& positions) {
  std::string problem;
  const int response = FindColumn(table, request.response, problem);
  if (response < 0) return problem;
  positions.push_back(response);
  if (request.columns.empty()) {
    for (int j = 0; j < static_cast<int>(table.names.size()); ++j) {
      if (j == response || std::find(clusters.begin(), clusters.end(), j) != clusters.end())
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

// The problem of a cell that is not a number, with a hint when it holds a decimal comma.
std::string NotANumber(const CsvTable& table, size_t row, int position, char decimal) {
  const std::string_view cell = table.Cell(row, position);
  std::string problem = "line " + std::to_string(table.lines[row]) + ", column '" +
                        ShownName(table.names[position]) + "': '" + ShownName(cell) +
                        "' is not a number";
  if (decimal == '.' && cell.find(',') != std::string_view::npos &&
      ReadCell(cell, ',').kind == CellKind::kNumber)
    problem += " (a decimal comma? try --decimal ',')";
  return problem;
}

// A cluster label as the cell holds it, blanks around it ignored; empty or NA is missing.
std::string_view ClusterLabel(const CsvTable& table, size_t row, int position) {
  const std::string_view label = TrimmedName(table.Cell(row, position));
  return label == "NA" ? std::string_view() : label;
}

// Numbers the labels of the clustering columns over the rows used, in order of first appearance
// (one hash lookup a row and column).
void NumberClusters(const CsvTable& table, const std::vector<int>& clusters, RegressionData& data) {
  for (const int position : clusters) {
    data.clusterNames.push_back(table.names[position]);
    std::unordered_map<std::string_view, int> numbers;
    std::vector<int> groups;
    groups.reserve(data.usedRows.size());
    for (const int row : data.usedRows) {
      const std::string_view label = ClusterLabel(table, static_cast<size_t>(row) - 1, position);
      groups.push_back(numbers.emplace(label, static_cast<int>(numbers.size())).first->second);
    }
    data.clusters.push_back(std::move(groups));
  }
}

// Reads the used columns of every row as numbers: a complete row goes into the data, a row with
// a missing value (or cluster label) into the dropped rows; a cell that is not a number is the
// problem returned.
std::string TakeRows(const CsvTable& table, const std::vector<int>& positions,
                     const std::vector<int>& clusters, const ModelRequest& request,
                     RegressionData& data) {
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
  return "";
}

}  // namespace

PreparedData PrepareRegressionData(const CsvTable& table, const ModelRequest& request) {
  PreparedData prepared;
  RegressionData& data = prepared.data;
  std::vector<int> clusters;
  prepared.problem = ChooseClusters(table, request, clusters);
  if (!prepared.Ok()) return prepared;
  std::vector<int> positions;
  prepared.problem = ChooseColumns(table, request, clusters, positions);
  if (!prepared.Ok()) return prepared;
  data.responseName = table.names[positions[0]];
  if (request.intercept) data.parameterNames.push_back(kInterceptName);
  for (size_t k = 1; k < positions.size(); ++k)
    data.parameterNames.push_back(table.names[positions[k]]);
  data.dataRows = static_cast<int>(table.RowCount());
  prepared.problem = TakeRows(table, positions, clusters, request, data);
  if (!prepared.Ok()) return prepared;
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
