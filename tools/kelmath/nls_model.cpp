#include "nls_model.h"

#include <algorithm>
#include <span>
#include <stdexcept>

#include "csv_table.h"
#include "name_text.h"
#include "table_columns.h"

namespace kelmath_cli {

namespace {

// The problem that ends the reading of the models, caught once in ParseNlsModels.
struct ModelProblem : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Quoted(const std::string& formula) {
  return "'" + ShownName(formula) + "'";
}

bool IsColumn(const std::vector<std::string>& columnNames, const std::string& name) {
  return std::any_of(columnNames.begin(), columnNames.end(),
                     [&](const std::string& c) { return TrimmedName(c) == name; });
}

std::vector<std::string> CommaSeparated(const std::string& text) {
  std::vector<std::string> items;
  size_t from = 0;
  for (size_t comma = text.find(',');; comma = text.find(',', from)) {
    items.emplace_back(TrimmedName(text.substr(from, comma - from)));
    if (comma == std::string::npos) return items;
    from = comma + 1;
  }
}

// The items NAME=VALUE of one --start, in order.
void ParseStart(const std::string& start, const std::string& formula, NlsModel& model) {
  for (const std::string& item : CommaSeparated(start)) {
    const size_t equals = item.find('=');
    const std::string name(TrimmedName(item.substr(0, equals)));
    const std::string value = equals == std::string::npos
                                  ? std::string()
                                  : std::string(TrimmedName(item.substr(equals + 1)));
    const Cell number = ReadCell(value);
    if (name.empty() || number.kind != CellKind::kNumber)
      throw ModelProblem("--start of the model " + Quoted(formula) + ": '" + ShownName(item) +
                         "' is not NAME=NUMBER");
    if (std::find(model.parameterNames.begin(), model.parameterNames.end(), name) !=
        model.parameterNames.end())
      throw ModelProblem("--start of the model " + Quoted(formula) + " gives '" + ShownName(name) +
                         "' twice");
    model.parameterNames.push_back(name);
    model.start.push_back(number.value);
  }
  if (model.parameterNames.empty())
    throw ModelProblem("--start of the model " + Quoted(formula) + " names no parameter");
}

// Binds every name of the right side: a started parameter, else a column, else an error. Then
// a start the model does not read, or one that is also a column, is an error too.
void BindNames(const std::vector<std::string>& columnNames, NlsModel& model) {
  const std::vector<std::string>& parameters = model.parameterNames;
  for (const std::string& name : NamesIn(model.right)) {
    const auto p = std::find(parameters.begin(), parameters.end(), name);
    if (p != parameters.end()) {
      model.bindings[name] = {true, static_cast<int>(p - parameters.begin()) + 1};
    } else if (IsColumn(columnNames, name)) {
      model.columns.push_back(name);
      model.bindings[name] = {false, 0};
    } else {
      throw ModelProblem("the model " + Quoted(model.formula) + " reads '" + ShownName(name) +
                         "', which is neither a column of the data nor a parameter of its --start");
    }
  }
  for (const std::string& name : parameters) {
    if (model.bindings.count(name) == 0)
      throw ModelProblem("--start of the model " + Quoted(model.formula) + " names '" +
                         ShownName(name) + "', which the model does not use");
    if (IsColumn(columnNames, name))
      throw ModelProblem("--start of the model " + Quoted(model.formula) + " names '" +
                         ShownName(name) + "', which is a column of the data");
  }
  for (const std::string& name : NamesIn(model.response))
    if (!IsColumn(columnNames, name))
      throw ModelProblem("the response of the model " + Quoted(model.formula) + " reads '" +
                         ShownName(name) + "', which is not a column of the data");
}

// Evaluates the right side once with every name 1, so that an unknown function or a wrong
// number of arguments is found here, with its position, rather than during the fit.
void CheckFunctions(const NlsModel& model) {
  const double one = 1.0;
  const NameLookup lookup = [&](const Expression&) {
    return NameValue{std::span<const double>(&one, 1), true};
  };
  try {
    Evaluate(model.right, 1, lookup);
    Evaluate(model.response, 1, lookup);
  } catch (const ExpressionError& error) {
    throw ModelProblem(DescribeExpressionError(error, model.formula, "the model"));
  }
}

NlsModel ParseOne(const std::string& formula, const std::string& start,
                  const std::vector<std::string>& columnNames) {
  NlsModel model;
  model.formula = formula;
  Expression parsed;
  try {
    parsed = ParseExpression(formula);
  } catch (const ExpressionError& error) {
    throw ModelProblem(DescribeExpressionError(error, formula, "the model"));
  }
  if (!parsed.Is(Expression::Kind::kBinary, "~"))
    throw ModelProblem("the model " + Quoted(formula) +
                       " is not of the form RESPONSE ~ EXPRESSION");
  model.response = std::move(parsed.operands[0]);
  model.right = std::move(parsed.operands[1]);
  ParseStart(start, formula, model);
  BindNames(columnNames, model);
  CheckFunctions(model);
  return model;
}

}  // namespace

namespace {

NlsModels ParseAll(const std::vector<std::string>& formulas, const std::vector<std::string>& starts,
                   const std::vector<std::string>& columnNames) {
  if (formulas.empty()) throw ModelProblem("nls needs a --model");
  if (starts.size() != formulas.size())
    throw ModelProblem(
        "each --model needs its own --start after it: " + std::to_string(formulas.size()) +
        " models, " + std::to_string(starts.size()) + " starts");
  NlsModels result;
  for (size_t k = 0; k < formulas.size(); ++k) {
    result.models.push_back(ParseOne(formulas[k], starts[k], columnNames));
    const NlsModel& added = result.models.back();
    if (Deparse(added.response) != Deparse(result.models.front().response))
      throw ModelProblem("the rival models " + Quoted(result.models.front().formula) + " and " +
                         Quoted(added.formula) + " have different responses");
    for (const std::string& column : added.columns)
      if (std::find(result.columns.begin(), result.columns.end(), column) == result.columns.end())
        result.columns.push_back(column);
  }
  if (result.columns.empty())
    throw ModelProblem("the model " + Quoted(result.models.front().formula) +
                       " reads no column of the data");
  for (NlsModel& model : result.models)
    for (auto& [name, binding] : model.bindings)
      if (!binding.parameter)
        binding.index =
            static_cast<int>(std::find(result.columns.begin(), result.columns.end(), name) -
                             result.columns.begin()) +
            1;
  result.responseColumns = NamesIn(result.models.front().response);
  return result;
}

}  // namespace

ParsedNlsModels ParseNlsModels(const std::vector<std::string>& formulas,
                               const std::vector<std::string>& starts,
                               const std::vector<std::string>& columnNames) {
  ParsedNlsModels parsed;
  try {
    parsed.models = ParseAll(formulas, starts, columnNames);
  } catch (const ModelProblem& problem) {
    parsed.problem = problem.what();
  }
  return parsed;
}

double NlsModelValue(const NlsModel& model, const KelVector& b, const KelVector& x) {
  // The values are read in place: one experiment costs the walk of the expression and no copy
  // of the data. The lookup holds one pointer, small enough to be stored without allocating.
  struct Experiment {
    const NlsModel& model;
    const KelVector& b;
    const KelVector& x;
  } const experiment{model, b, x};
  const NameLookup lookup = [at = &experiment](const Expression& name) {
    const NlsBinding& binding = at->model.bindings.at(name.text);
    const double* value = (binding.parameter ? at->b.Data() : at->x.Data()) + (binding.index - 1);
    return NameValue{std::span<const double>(value, 1), true};
  };
  return Evaluate(model.right, 1, lookup)[0];
}

}  // namespace kelmath_cli
