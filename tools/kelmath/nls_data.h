// The data of kelmath nls: the rows of a CSV table that the models can use, their independent
// variables, the response the models' left side makes of them, and how the rows are weighted.
#ifndef KELMATH_TOOLS_KELMATH_NLS_DATA_H
#define KELMATH_TOOLS_KELMATH_NLS_DATA_H

#include <string>
#include <utility>
#include <vector>

#include "csv_table.h"
#include "nls_model.h"

namespace kelmath_cli {

// How the rows are weighted: not at all; by R's precision weights (a column, the residual
// variance estimated from the fit as R's nls(weights =) does); by a known variance of each row's
// response (a column), or one known variance of every response estimated with some degrees of
// freedom (a number, which the errors in the independent variables need).
enum class NlsWeighting { kNone, kWeights, kVarianceColumn, kVariance };

// What the options ask of the data.
struct NlsDataRequest {
  std::string weightsColumn;  // --weights
  std::string variances;      // --variances: a column name, or a number
  int varianceDegreesOfFreedom = 0;
  std::vector<std::string> errorsIn;  // --errors-in COLUMN=VARIANCE
  char decimal = '.';
};

struct NlsData {
  size_t dataRows = 0;
  std::vector<int> usedRows;     // data rows (1-based) of the experiments, in order
  std::vector<int> droppedRows;  // data rows with a missing value the models or weights need
  size_t columns = 0;            // independent variables: NlsModels::columns
  std::vector<double> x;         // used rows x columns, row-major
  std::vector<double> y;         // the response of each used row
  NlsWeighting weighting = NlsWeighting::kNone;
  std::string weightingColumn;  // the column of --weights or --variances
  // The library's weight of each used row (a multiplier of its residual: sqrt(weight), or
  // 1/sqrt(variance)); empty without a weighting column.
  std::vector<double> rowWeights;
  double variance = 0.0;  // kVariance
  int varianceDegreesOfFreedom = 0;
  // Variance of each independent variable (0: exact); empty without --errors-in.
  std::vector<double> xVariances;
  size_t RowsUsed() const { return usedRows.size(); }
};

// The data, or the problem that makes it unusable in one line.
struct PreparedNlsData {
  NlsData data;
  std::string problem;
  bool Ok() const { return problem.empty(); }
};

// Reads the columns the models need from the table. A row with a missing cell among them (or
// its weight or variance) is dropped; a cell that is not a number, a response that is not finite,
// a weight or variance that is not a positive number, a malformed --errors-in or --variances,
// and fewer rows than a model has parameters plus one are problems.
PreparedNlsData ReadNlsData(const CsvTable& table, const NlsModels& models,
                            const NlsDataRequest& request);

}  // namespace kelmath_cli

#endif
