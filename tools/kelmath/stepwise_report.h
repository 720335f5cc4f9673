// The stepwise selection of kelmath stepwise: the library's best model of every size, and what
// the command prints and writes of it.
#ifndef KELMATH_TOOLS_KELMATH_STEPWISE_REPORT_H
#define KELMATH_TOOLS_KELMATH_STEPWISE_REPORT_H

#include <string>
#include <vector>

#include "regression_data.h"
#include "regression_result.h"

class KelLinearRegression;

namespace kelmath_cli {

// The library's warning threshold: a column whose |t| is below it is doubtful in its model.
inline constexpr double kStepwiseDoubtfulT = 2.5;

struct SelectedColumn {
  std::string name;
  double estimate = 0.0;
  double tValue = 0.0;  // |b / se(b)|; NaN for the intercept, which the search always keeps
};

struct SelectedModel {
  int parameters = 0;
  bool found = true;  // false: no run of the search reached this size
  double meanSquareError = 0.0;
  std::vector<SelectedColumn> columns;  // in the order of the data's columns
  bool doubtful = false;                // a column with |t| < kStepwiseDoubtfulT
};

struct StepwiseSelection {
  int dataRows = 0;
  int rowsUsed = 0;
  std::vector<int> droppedRows;
  std::vector<SelectedModel> models;  // sizes 1..n
  // The suggested size: the largest model found whose every |t| is at least
  // kStepwiseDoubtfulT (0 when none is).
  int suggested = 0;
  std::string problem;  // the search could not run (a column without spread), or the data's
  RegressionProblem kind = RegressionProblem::kNone;
  bool Ok() const { return problem.empty(); }
};

// Hands the data to the regression and runs its stepwise search.
StepwiseSelection ComputeStepwiseSelection(const RegressionData& data,
                                           KelLinearRegression& regression);

// The summary: each size's mean square error and columns with their estimates and |t|, the
// doubtful ones marked, and the suggested model.
std::string FormatStepwiseSummary(const StepwiseSelection& selection, const std::string& call,
                                  const std::string& fileName);

// One JSON object: rows_used, dropped_rows, models (parameters, mse, found, doubtful, columns:
// name, estimate, t_value) and suggested.
std::string FormatStepwiseJson(const StepwiseSelection& selection);

}  // namespace kelmath_cli

#endif
