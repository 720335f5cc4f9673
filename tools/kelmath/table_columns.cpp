#include "table_columns.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "name_text.h"

namespace kelmath_cli {

std::string_view TrimmedName(std::string_view name) {
  const size_t first = name.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return name.substr(first, name.find_last_not_of(" \t") - first + 1);
}

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

std::string ChooseClusters(const CsvTable& table, const std::vector<std::string>& names,
                           std::vector<int>& clusters) {
  std::string problem;
  for (const std::string& name : names) {
    const int position = FindColumn(table, name, problem);
    if (position < 0) return problem;
    if (std::find(clusters.begin(), clusters.end(), position) != clusters.end())
      return "column '" + ShownName(table.names[position]) + "' is a cluster twice";
    clusters.push_back(position);
  }
  return "";
}

std::string NotANumber(const CsvTable& table, size_t row, int position, char decimal) {
  return CellProblem(table.lines[row], table.names[position],
                     NotANumberText(table.Cell(row, position), decimal));
}

std::string NotANumberText(std::string_view cell, char decimal) {
  std::string problem = "'";
  problem += ShownName(cell);
  problem += "' is not a number";
  if (decimal == '.' && cell.find(',') != std::string_view::npos &&
      ReadCell(cell, ',').kind == CellKind::kNumber)
    problem += " (a decimal comma? try --decimal ',')";
  return problem;
}

std::string CellProblem(int64_t line, std::string_view column, std::string_view text) {
  std::string problem = "line ";
  problem += std::to_string(line);
  problem += ", column '";
  problem += ShownName(column);
  problem += "': ";
  problem += text;
  return problem;
}

std::string_view ClusterLabel(const CsvTable& table, size_t row, int position) {
  const std::string_view label = TrimmedName(table.Cell(row, position));
  return label == "NA" ? std::string_view() : label;
}

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

std::string ReadWeightColumn(const CsvTable& table, int position, char decimal,
                             std::vector<double>& weights) {
  weights.assign(table.RowCount(), std::numeric_limits<double>::quiet_NaN());
  for (size_t i = 0; i < table.RowCount(); ++i) {
    const Cell cell = ReadCell(table.Cell(i, position), decimal);
    if (cell.kind == CellKind::kOther) return NotANumber(table, i, position, decimal);
    if (cell.kind == CellKind::kNumber) weights[i] = cell.value;
  }
  return "";
}

std::string TakeWeights(const CsvTable& table, int position, const std::vector<double>& weights,
                        RegressionData& data) {
  data.weightsName = table.names[static_cast<size_t>(position)];
  data.weights.reserve(data.usedRows.size());
  for (const int row : data.usedRows) {
    const size_t i = static_cast<size_t>(row - 1);
    const double w = weights[i];
    if (!(w > 0.0 && std::isfinite(w)))
      return "line " + std::to_string(table.lines[i]) + ", column '" +
             ShownName(table.names[static_cast<size_t>(position)]) + "': the weight '" +
             ShownName(TrimmedName(table.Cell(i, position))) + "' is not a positive number";
    data.weights.push_back(w);
  }
  return "";
}

}  // namespace kelmath_cli
