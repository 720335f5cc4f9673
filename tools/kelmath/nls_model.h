// The models of kelmath nls: a formula "RESPONSE ~ EXPRESSION" in R's notation with its starting
// values "NAME=VALUE,...", the names of its right side bound either to a parameter (named by the
// start) or to a data column, and its value at one experiment for the nonlinear regression.
#ifndef KELMATH_TOOLS_KELMATH_NLS_MODEL_H
#define KELMATH_TOOLS_KELMATH_NLS_MODEL_H

#include <string>
#include <unordered_map>
#include <vector>

#include "containers/kel_vector.h"
#include "expression.h"

namespace kelmath_cli {

// What a name of a model's right side stands for: parameter `index` of the model, or column
// `index` of the independent variables (both 1-based, as the library numbers them).
struct NlsBinding {
  bool parameter = false;
  int index = 0;
};

struct NlsModel {
  std::string formula;  // as typed
  Expression response;  // the left side, read from the data columns only
  Expression right;
  std::vector<std::string> parameterNames;  // in the order of the start
  std::vector<double> start;
  std::vector<std::string> columns;  // data columns the right side reads, in order of appearance
  // Every name of the right side. The column indices are those of NlsModels::columns once the
  // models are gathered.
  std::unordered_map<std::string, NlsBinding> bindings;
};

// The rival models, with the independent variables they read together.
struct NlsModels {
  std::vector<NlsModel> models;
  std::vector<std::string> columns;          // union of the models' columns, the library's x order
  std::vector<std::string> responseColumns;  // the columns the common left side reads
};

// The models, or the problem that makes them unusable in one line.
struct ParsedNlsModels {
  NlsModels models;
  std::string problem;
  bool Ok() const { return problem.empty(); }
};

// The models of the formulas, each with the start of the same position; the problem is
// one of a formula that does not parse (its position named), a formula without both sides, starts
// not pairing with the formulas, a start item that is not NAME=NUMBER or names a parameter
// twice, the model does not read, or a column; a name of the right side that is neither a column
// nor a started parameter; a parameter on the left side; rivals with different left sides.
ParsedNlsModels ParseNlsModels(const std::vector<std::string>& formulas,
                               const std::vector<std::string>& starts,
                               const std::vector<std::string>& columnNames);

// The value of a model's right side at one experiment: the parameters b, the independent
// variables x (of NlsModels::columns). NaN or infinity where the model is not defined.
double NlsModelValue(const NlsModel& model, const KelVector& b, const KelVector& x);

}  // namespace kelmath_cli

#endif
