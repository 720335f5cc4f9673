#include "nls_data.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <stdexcept>

#include "name_text.h"
#include "table_columns.h"

namespace kelmath_cli {

namespace {

// The problem that ends the reading, caught once in ReadNlsData.
struct DataProblem : std::runtime_error {
  using std::runtime_error::runtime_error;
};

int Column(const CsvTable& table, const std::string& name) {
  std::string problem;
  const int position = FindColumn(table, name, problem);
  if (position < 0) throw DataProblem(problem);
  return position;
}

std::string LineOf(const CsvTable& table, size_t row, int position) {
  return "line " + std::to_string(table.lines[row]) + ", column '" +
         ShownName(table.names[static_cast<size_t>(position)]) + "'";
}

// The weighting the options ask for; the position of its column, or -1.
int ChooseWeighting(const CsvTable& table, const NlsDataRequest& request, NlsData& data) {
  if (!request.weightsColumn.empty()) {
    data.weighting = NlsWeighting::kWeights;
    data.weightingColumn = request.weightsColumn;
    return Column(table, request.weightsColumn);
  }
  if (request.variances.empty()) return -1;
  std::string absent;
  const int position = FindColumn(table, request.variances, absent);
  if (position >= 0) {
    data.weighting = NlsWeighting::kVarianceColumn;
    data.weightingColumn = request.variances;
    return position;
  }
  const Cell number = ReadCell(request.variances, request.decimal);
  if (number.kind != CellKind::kNumber)
    throw DataProblem("--variances '" + ShownName(request.variances) +
                      "' is neither a column of the data nor a number");
  if (!(number.value > 0.0))
    throw DataProblem("--variances " + ShownName(request.variances) + " is not a positive number");
  if (request.varianceDegreesOfFreedom < 1)
    throw DataProblem("--variances " + ShownName(request.variances) +
                      " needs --variance-df N: the degrees of freedom (1 or more) it was "
                      "estimated with");
  data.weighting = NlsWeighting::kVariance;
  data.variance = number.value;
  data.varianceDegreesOfFreedom = request.varianceDegreesOfFreedom;
  return -1;
}

// --errors-in COLUMN=VARIANCE: the variances of the independent variables.
void ReadErrorsIn(const NlsModels& models, const NlsDataRequest& request, NlsData& data) {
  if (request.errorsIn.empty()) return;
  if (data.weighting != NlsWeighting::kVariance)
    throw DataProblem(
        "--errors-in needs --variances NUMBER: the known variance of the response, against "
        "which the errors of the independent variables are weighed");
  data.xVariances.assign(models.columns.size(), 0.0);
  for (const std::string& item : request.errorsIn) {
    const size_t equals = item.find('=');
    const std::string name(TrimmedName(item.substr(0, equals)));
    const auto column = std::find(models.columns.begin(), models.columns.end(), name);
    const Cell variance = equals == std::string::npos
                              ? Cell{}
                              : ReadCell(TrimmedName(item.substr(equals + 1)), request.decimal);
    if (variance.kind != CellKind::kNumber || variance.value < 0.0)
      throw DataProblem("--errors-in '" + ShownName(item) +
                        "' is not COLUMN=VARIANCE with a variance of 0 or more");
    if (column == models.columns.end())
      throw DataProblem("--errors-in names '" + ShownName(name) +
                        "', which is not an independent variable of the models");
    data.xVariances[static_cast<size_t>(column - models.columns.begin())] = variance.value;
  }
}

// The value of a cell, false when it is missing; a cell that is not a number is a problem.
bool ReadValue(const CsvTable& table, size_t row, int position, char decimal, double& value) {
  const Cell cell = ReadCell(table.Cell(row, position), decimal);
  if (cell.kind == CellKind::kOther) throw DataProblem(NotANumber(table, row, position, decimal));
  value = cell.value;
  return cell.kind == CellKind::kNumber;
}

// The rows with every value the models (and the weighting column) need: the independent
// variables in data.x, the response's columns in responseValues (one vector per column).
void ReadRows(const CsvTable& table, const std::vector<int>& xPositions,
              const std::vector<int>& responsePositions, int weightPosition, char decimal,
              NlsData& data, std::vector<std::vector<double>>& responseValues) {
  std::vector<double> row(xPositions.size());
  std::vector<double> response(responsePositions.size());
  for (size_t i = 0; i < table.RowCount(); ++i) {
    bool complete = true;
    for (size_t k = 0; k < xPositions.size(); ++k)
      complete = ReadValue(table, i, xPositions[k], decimal, row[k]) && complete;
    for (size_t k = 0; k < responsePositions.size(); ++k)
      complete = ReadValue(table, i, responsePositions[k], decimal, response[k]) && complete;
    double weight = 1.0;
    if (weightPosition >= 0) {
      complete = ReadValue(table, i, weightPosition, decimal, weight) && complete;
      if (complete && !(weight > 0.0))
        throw DataProblem(LineOf(table, i, weightPosition) + ": the " +
                          (data.weighting == NlsWeighting::kWeights ? "weight" : "variance") +
                          " '" + ShownName(TrimmedName(table.Cell(i, weightPosition))) +
                          "' is not a positive number");
    }
    if (!complete) {
      data.droppedRows.push_back(static_cast<int>(i) + 1);
      continue;
    }
    data.usedRows.push_back(static_cast<int>(i) + 1);
    data.x.insert(data.x.end(), row.begin(), row.end());
    for (size_t k = 0; k < response.size(); ++k) responseValues[k].push_back(response[k]);
    if (weightPosition >= 0)
      data.rowWeights.push_back(data.weighting == NlsWeighting::kWeights ? std::sqrt(weight)
                                                                         : 1.0 / std::sqrt(weight));
  }
}

// The response of every used row: the models' common left side of the response columns.
void EvaluateResponse(const CsvTable& table, const NlsModels& models,
                      const std::vector<std::vector<double>>& responseValues, NlsData& data) {
  const NlsModel& first = models.models.front();
  const NameLookup lookup = [&](const Expression& name) {
    const auto k =
        std::find(models.responseColumns.begin(), models.responseColumns.end(), name.text) -
        models.responseColumns.begin();
    return NameValue{responseValues[static_cast<size_t>(k)], false};
  };
  data.y = Evaluate(first.response, data.RowsUsed(), lookup);
  for (size_t i = 0; i < data.y.size(); ++i)
    if (!std::isfinite(data.y[i]))
      throw DataProblem(
          "line " + std::to_string(table.lines[static_cast<size_t>(data.usedRows[i] - 1)]) +
          ": the response " + ShownName(Deparse(first.response)) + " is not a finite number");
}

void CheckRowCount(const NlsModels& models, const NlsData& data) {
  for (const NlsModel& model : models.models) {
    const size_t parameters = model.parameterNames.size();
    if (data.RowsUsed() <= parameters)
      throw DataProblem("the model '" + ShownName(model.formula) + "' has " +
                        std::to_string(parameters) + " parameters and " +
                        std::to_string(data.RowsUsed()) + " rows are usable: it needs at least " +
                        std::to_string(parameters + 1));
  }
}

NlsData Read(const CsvTable& table, const NlsModels& models, const NlsDataRequest& request) {
  NlsData data;
  data.dataRows = table.RowCount();
  data.columns = models.columns.size();
  std::vector<int> xPositions;
  for (const std::string& name : models.columns) xPositions.push_back(Column(table, name));
  std::vector<int> responsePositions;
  for (const std::string& name : models.responseColumns)
    responsePositions.push_back(Column(table, name));
  const int weightPosition = ChooseWeighting(table, request, data);
  ReadErrorsIn(models, request, data);
  std::vector<std::vector<double>> responseValues(responsePositions.size());
  ReadRows(table, xPositions, responsePositions, weightPosition, request.decimal, data,
           responseValues);
  CheckRowCount(models, data);
  EvaluateResponse(table, models, responseValues, data);
  return data;
}

}  // namespace

PreparedNlsData ReadNlsData(const CsvTable& table, const NlsModels& models,
                            const NlsDataRequest& request) {
  PreparedNlsData prepared;
  try {
    prepared.data = Read(table, models, request);
  } catch (const DataProblem& problem) {
    prepared.problem = problem.what();
  }
  return prepared;
}

}  // namespace kelmath_cli
