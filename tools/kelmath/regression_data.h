// The data of one regression taken from a CSV table: the response, the chosen columns, the
// rows used and the rows dropped for missing values.
#ifndef KELMATH_TOOLS_KELMATH_REGRESSION_DATA_H
#define KELMATH_TOOLS_KELMATH_REGRESSION_DATA_H

#include <span>
#include <string>
#include <vector>

#include "csv_table.h"

namespace kelmath_cli {

// The name the intercept's parameter carries, as statistics packages print it.
inline constexpr const char* kInterceptName = "(Intercept)";

struct ModelRequest {
  std::string response;
  std::vector<std::string> columns;  // empty: every column but the response, in file order
  bool intercept = true;
  char decimal = '.';  // the decimal mark of the cells: '.' or ','
  // Columns whose cells are group labels (any text) for a cluster-robust covariance; they are
  // not regressors unless named in columns too.
  std::vector<std::string> clusters = {};
  // A column of positive weights (weighted least squares), or empty; not a regressor.
  std::string weights = {};
};

struct RegressionData {
  std::string responseName;
  std::vector<std::string> parameterNames;  // the intercept first when there is one
  bool intercept = true;
  // Row after row of the rows used, one value per parameter (a flat array: no allocation a row).
  std::vector<double> regressors;
  std::vector<double> response;
  std::vector<int> usedRows;     // data row numbers (1-based among the file's data rows)
  std::vector<int> droppedRows;  // rows with a missing value in a used column
  int dataRows = 0;
  std::vector<std::string> clusterNames;
  // Per clustering column, the group of each row used: labels numbered from 0 in order of first
  // appearance.
  std::vector<std::vector<int>> clusters;
  // The weight of each row used (positive and finite), or empty for an unweighted fit.
  std::string weightsName;
  std::vector<double> weights;
  // The values of a row used (0-based), one per parameter.
  std::span<const double> Regressors(size_t row) const {
    const size_t n = parameterNames.size();
    return std::span<const double>(regressors).subspan(row * n, n);
  }
};

// The regression data, or the problem in one line without the file name.
struct PreparedData {
  RegressionData data;
  std::string problem;
  bool Ok() const { return problem.empty(); }
};

// The header positions (0-based) of the response (first) and the regressor columns, or the
// problem: an unknown name, a name used twice or held twice by the header, no parameter at all.
// By default the regressors are every column but the response, the clustering columns and the
// weights (-1: none).
std::string ChooseModelColumns(const CsvTable& table, const ModelRequest& request,
                               const std::vector<int>& clusters, int weights,
                               std::vector<int>& positions);

// The parameter names of the columns ChooseModelColumns gave: the intercept's first when there
// is one, then the regressors' names as the header holds them.
std::vector<std::string> ModelParameterNames(const CsvTable& table,
                                             const std::vector<int>& positions, bool intercept);

// Takes the response and the columns from the table, names matched with blanks around them
// ignored: unknown names, names used twice, a used name the header holds twice, a cell that is
// neither missing nor a number, and fewer rows left than the model needs (one more than its
// parameters) are problems. A row with a missing value in a used column, a cluster label
// included, is dropped.
PreparedData PrepareRegressionData(const CsvTable& table, const ModelRequest& request);

// The model's columns for the rows of a new table, for predictions: each row's values
// (parameterNames.size() of them; NaN throughout a row where a value is missing), or the problem
// in one line: an unknown column, or text where the fit had numbers. The response is not needed.
struct NewRows {
  std::vector<double> regressors;  // row after row
  std::vector<bool> complete;
  std::string problem;
  bool Ok() const { return problem.empty(); }
};
NewRows PrepareColumnNewRows(const CsvTable& table, const RegressionData& data, char decimal);

// The problem of data with fewer rows used than the model needs (one more than its parameters),
// or empty.
std::string TooFewRows(const RegressionData& data);

}  // namespace kelmath_cli

#endif
