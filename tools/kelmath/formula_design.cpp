#include "formula_design.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include "expression.h"
#include "factor_levels.h"
#include "model_formula.h"
#include "name_text.h"
#include "table_columns.h"

namespace kelmath_cli {
namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

// A problem found while building the design; caught where the data are prepared.
struct DesignProblem {
  std::string text;
};

// One variable over every row of the table: numbers (NaN where missing), or level codes (-1
// where missing) with the levels' labels, the reference first once the levels are ordered.
struct VariableData {
  bool factor = false;
  std::vector<double> numbers;
  std::vector<int> codes;
  std::vector<std::string> levels;
  std::vector<double> levelValues;  // factor(...) of numbers: each level's value, its sort key
};

// The columns of one variable in a term: its name parts and, for a row, their values.
struct Part {
  const VariableData* data;
  std::string label;
  bool full = false;
  size_t Width() const {
    if (!data->factor) return 1;
    const size_t levels = data->levels.size();
    return full || levels == 0 ? levels : levels - 1;
  }
  std::string Name(size_t j) const {
    return data->factor ? label + data->levels[j + (full ? 0 : 1)] : label;
  }
  double Value(size_t row, size_t j) const {
    if (!data->factor) return data->numbers[row];
    return static_cast<size_t>(data->codes[row]) == j + (full ? 0 : 1) ? 1.0 : 0.0;
  }
};
using TermParts = std::vector<std::vector<Part>>;

TermParts PartsOf(const ModelFormula& f, const std::vector<VariableData>& vars,
                  std::vector<std::string>& names);
void AppendRow(const TermParts& terms, bool intercept, size_t row, std::vector<double>& values);

bool Missing(const VariableData& v, size_t row) {
  return v.factor ? v.codes[row] < 0 : std::isnan(v.numbers[row]);
}

class DesignBuilder {
 public:
  DesignBuilder(const CsvTable& t, const FormulaRequest& r) : table(t), request(r) {
    for (const std::string& name : table.names) columnNames.emplace_back(TrimmedName(name));
  }

  // The model's columns for new rows, the variables coded as the fit coded them.
  NewRows BuildNewRows(const FormulaCoding& coding) {
    std::vector<VariableData> variables;
    for (size_t k = 0; k < coding.formula.variables.size(); ++k)
      variables.push_back(Variable(coding.formula.variables[k], &coding.variables[k]));
    NewRows rows;
    std::vector<std::string> names;
    const TermParts terms = PartsOf(coding.formula, variables, names);
    rows.regressors.reserve(table.RowCount() * names.size());
    for (size_t i = 0; i < table.RowCount(); ++i) {
      bool complete = true;
      for (const VariableData& v : variables) complete = complete && !Missing(v, i);
      rows.complete.push_back(complete);
      if (complete)
        AppendRow(terms, coding.formula.intercept, i, rows.regressors);
      else
        rows.regressors.insert(rows.regressors.end(), names.size(), kMissing);
    }
    return rows;
  }

  RegressionData Build(FormulaCoding* coding) {
    ModelFormula formula = Parsed();
    std::vector<int> clusters;
    if (std::string problem = ChooseClusters(table, request.clusters, clusters); !problem.empty())
      throw DesignProblem{problem};
    int weightsPosition = -1;
    std::vector<double> weights;
    if (!request.weights.empty()) {
      std::string problem;
      weightsPosition = FindColumn(table, request.weights, problem);
      if (weightsPosition < 0) throw DesignProblem{"--weights: " + problem};
      problem = ReadWeightColumn(table, weightsPosition, request.decimal, weights);
      if (!problem.empty()) throw DesignProblem{problem};
    }
    const std::vector<double> response = Numeric(formula.response, formula.responseLabel);
    std::vector<VariableData> variables;
    for (const FormulaVariable& v : formula.variables) variables.push_back(Variable(v));

    RegressionData data;
    data.responseName = formula.responseLabel;
    data.dataRows = static_cast<int>(table.RowCount());
    for (size_t i = 0; i < table.RowCount(); ++i) {
      bool missing = std::isnan(response[i]);
      for (const VariableData& v : variables) missing = missing || Missing(v, i);
      for (const int position : clusters)
        missing = missing || ClusterLabel(table, i, position).empty();
      missing = missing || (weightsPosition >= 0 && std::isnan(weights[i]));
      (missing ? data.droppedRows : data.usedRows).push_back(static_cast<int>(i) + 1);
    }
    CheckFinite(response, formula.responseLabel, data.usedRows);
    for (size_t k = 0; k < variables.size(); ++k) {
      if (variables[k].factor)
        OrderLevels(variables[k], formula.variables[k].label, data.usedRows);
      else
        CheckFinite(variables[k].numbers, formula.variables[k].label, data.usedRows);
    }
    CheckReferencesNamed(formula, variables);
    Fill(formula, variables, response, data);
    NumberClusters(table, clusters, data);
    if (weightsPosition >= 0) {
      if (std::string problem = TakeWeights(table, weightsPosition, weights, data);
          !problem.empty())
        throw DesignProblem{problem};
    }
    if (coding != nullptr) {
      for (const VariableData& v : variables)
        coding->variables.push_back({v.factor, !v.levelValues.empty(), v.levels});
      coding->formula = std::move(formula);
    }
    return data;
  }

 private:
  const CsvTable& table;
  const FormulaRequest& request;
  std::vector<std::string> columnNames;
  std::unordered_map<int, std::vector<double>> numericColumns;

  ModelFormula Parsed() const {
    try {
      return ParseModelFormula(request.formula, columnNames);
    } catch (const ExpressionError& e) {
      throw DesignProblem{DescribeExpressionError(e, request.formula, "the formula")};
    }
  }

  [[noreturn]] void FailAt(const Expression& e, const std::string& problem) const {
    throw DesignProblem{DescribeExpressionError(ExpressionError(problem, e.position),
                                                request.formula, "the formula")};
  }

  int Column(const Expression& name) const {
    std::string problem;
    const int position = FindColumn(table, name.text, problem);
    if (position < 0) FailAt(name, problem);
    return position;
  }

  // True when a cell of the column is neither missing nor a number.
  bool HoldsText(int position) const {
    for (size_t i = 0; i < table.RowCount(); ++i)
      if (ReadCell(table.Cell(i, position), request.decimal).kind == CellKind::kOther) return true;
    return false;
  }

  const std::vector<double>& NumericColumn(const Expression& name) {
    const int position = Column(name);
    auto found = numericColumns.find(position);
    if (found != numericColumns.end()) return found->second;
    std::vector<double> values(table.RowCount());
    for (size_t i = 0; i < table.RowCount(); ++i) {
      const Cell cell = ReadCell(table.Cell(i, position), request.decimal);
      if (cell.kind == CellKind::kOther)
        FailAt(name, NotANumber(table, i, position, request.decimal) +
                         "; only a column by itself or factor(column) can be a factor");
      values[i] = cell.kind == CellKind::kMissing ? kMissing : cell.value;
    }
    return numericColumns.emplace(position, std::move(values)).first->second;
  }

  std::vector<double> Numeric(const Expression& e, const std::string& label) {
    if (e.kind == Expression::Kind::kCall && (e.text == "factor" || e.text == "as.factor"))
      FailAt(e, "\"" + label + "\" is a factor where a number is needed");
    try {
      return Evaluate(e, table.RowCount(), [this](const Expression& name) {
        return NameValue{NumericColumn(name), false};
      });
    } catch (const ExpressionError& error) {
      throw DesignProblem{DescribeExpressionError(error, request.formula, "the formula")};
    }
  }

  // The variable over the rows; with fitted, coded as the fit coded it: a factor's levels are
  // the fit's, and a label the fit has not seen is a problem.
  VariableData Variable(const FormulaVariable& v, const FormulaCoding::Variable* fitted = nullptr) {
    VariableData data;
    const bool bareName = v.expression.kind == Expression::Kind::kName;
    const bool textColumn = fitted != nullptr ? fitted->factor && !fitted->numericLevels
                                              : bareName && HoldsText(Column(v.expression));
    const bool factor = fitted != nullptr ? fitted->factor : v.factorCall || textColumn;
    if (!factor) {
      data.numbers = Numeric(v.expression, v.label);
      return data;
    }
    data.factor = true;
    data.codes.assign(table.RowCount(), -1);
    std::unordered_map<std::string, int> codeOf;
    if (fitted != nullptr) {
      data.levels = fitted->levels;
      for (size_t k = 0; k < data.levels.size(); ++k)
        codeOf.emplace(data.levels[k], static_cast<int>(k));
    }
    size_t row = 0;  // the row whose label is being coded, for the problem of an unseen one
    const auto code = [&](std::string label) {
      if (fitted != nullptr) {
        const auto known = codeOf.find(label);
        if (known == codeOf.end())
          throw DesignProblem{"line " + std::to_string(table.lines[row]) + ": factor '" +
                              ShownName(v.label) + "' has a level '" + ShownName(label) +
                              "' that the fit has not seen"};
        return known->second;
      }
      const auto [it, added] = codeOf.emplace(label, static_cast<int>(data.levels.size()));
      if (added) data.levels.push_back(std::move(label));
      return it->second;
    };
    if (textColumn) {
      const int position = Column(v.expression);
      for (row = 0; row < table.RowCount(); ++row)
        if (const std::string_view label = ClusterLabel(table, row, position); !label.empty())
          data.codes[row] = code(std::string(label));
    } else {
      const std::vector<double> values = Numeric(v.expression, v.label);
      for (row = 0; row < values.size(); ++row) {
        if (!std::isfinite(values[row])) continue;
        const size_t known = data.levels.size();
        data.codes[row] = code(RNumberText(values[row]));
        if (data.levels.size() > known) data.levelValues.push_back(values[row]);
      }
    }
    return data;
  }

  // The levels that occur in the rows used, in R's order with the chosen reference first, and
  // the codes renumbered to them.
  void OrderLevels(VariableData& v, const std::string& label, const std::vector<int>& used) const {
    std::vector<bool> present(v.levels.size(), false);
    for (const int row : used)
      present[static_cast<size_t>(v.codes[static_cast<size_t>(row - 1)])] = true;
    std::vector<int> order;
    for (size_t k = 0; k < v.levels.size(); ++k)
      if (present[k]) order.push_back(static_cast<int>(k));
    std::sort(order.begin(), order.end(), [&](int a, int b) {
      const size_t x = static_cast<size_t>(a);
      const size_t y = static_cast<size_t>(b);
      return v.levelValues.empty() ? CollatesBefore(v.levels[x], v.levels[y])
                                   : v.levelValues[x] < v.levelValues[y];
    });
    const std::string reference = ReferenceOf(label);
    if (!reference.empty()) {
      const auto it = std::find_if(order.begin(), order.end(), [&](int k) {
        return v.levels[static_cast<size_t>(k)] == reference;
      });
      if (it == order.end())
        throw DesignProblem{"--reference " + label + "=" + reference + ": " + label +
                            " has no level '" + ShownName(reference) + "' in the rows used"};
      std::rotate(order.begin(), it, it + 1);
    }
    std::vector<int> newCode(v.levels.size(), -1);
    std::vector<std::string> levels;
    for (size_t k = 0; k < order.size(); ++k) {
      newCode[static_cast<size_t>(order[k])] = static_cast<int>(k);
      levels.push_back(v.levels[static_cast<size_t>(order[k])]);
    }
    for (int& c : v.codes)
      if (c >= 0) c = newCode[static_cast<size_t>(c)];
    v.levels = std::move(levels);
  }

  std::string ReferenceOf(const std::string& label) const {
    for (const std::string& r : request.references) {
      const size_t eq = r.rfind('=');
      if (eq != std::string::npos && TrimmedName(std::string_view(r).substr(0, eq)) == label)
        return std::string(TrimmedName(std::string_view(r).substr(eq + 1)));
    }
    return "";
  }

  void CheckReferencesNamed(const ModelFormula& f, const std::vector<VariableData>& vars) const {
    for (const std::string& r : request.references) {
      const size_t eq = r.rfind('=');
      const std::string name(TrimmedName(std::string_view(r).substr(0, std::min(eq, r.size()))));
      bool factor = false;
      for (size_t k = 0; k < f.variables.size(); ++k)
        factor = factor || (f.variables[k].label == name && vars[k].factor);
      if (eq == std::string::npos || !factor)
        throw DesignProblem{"--reference " + ShownName(r) +
                            ": expected FACTOR=LEVEL with a factor of the formula"};
    }
  }

  void CheckFinite(const std::vector<double>& values, const std::string& label,
                   const std::vector<int>& used) const {
    for (const int row : used)
      if (std::isinf(values[static_cast<size_t>(row - 1)]))
        throw DesignProblem{"'" + ShownName(label) + "' is infinite on line " +
                            std::to_string(table.lines[static_cast<size_t>(row - 1)])};
  }

  void Fill(const ModelFormula& f, const std::vector<VariableData>& vars,
            const std::vector<double>& response, RegressionData& data) const;
};

// How each factor of each term is coded, R's rule: by contrasts when the term without it is in
// the model before (or is empty), else by one indicator a level; without an intercept the first
// factor of the first term holding one takes indicators.
std::vector<std::vector<bool>> fullCoding(const ModelFormula& f,
                                          const std::vector<VariableData>& vars) {
  std::vector<std::vector<bool>> full(f.terms.size());
  bool firstFound = f.intercept;
  for (size_t t = 0; t < f.terms.size(); ++t) {
    const std::vector<int>& term = f.terms[t].variables;
    full[t].assign(term.size(), false);
    for (size_t k = 0; k < term.size(); ++k) {
      if (!vars[static_cast<size_t>(term[k])].factor) continue;
      std::vector<int> rest = term;
      rest.erase(rest.begin() + static_cast<long>(k));
      bool margin = rest.empty();
      for (size_t s = 0; s < t && !margin; ++s) margin = f.terms[s].variables == rest;
      full[t][k] = !margin;
      if (!firstFound) full[t][k] = firstFound = true;
    }
  }
  return full;
}

TermParts PartsOf(const ModelFormula& f, const std::vector<VariableData>& vars,
                  std::vector<std::string>& names) {
  const std::vector<std::vector<bool>> full = fullCoding(f, vars);
  TermParts terms;
  if (f.intercept) names.push_back(kInterceptName);
  for (size_t t = 0; t < f.terms.size(); ++t) {
    std::vector<Part> parts;
    size_t columns = 1;
    for (size_t k = 0; k < f.terms[t].variables.size(); ++k) {
      const size_t v = static_cast<size_t>(f.terms[t].variables[k]);
      parts.push_back({&vars[v], f.variables[v].label, full[t][k]});
      // A factor needs two levels, as R's does whatever its coding; with no row used at all, the
      // count of rows says what is wrong.
      if (vars[v].factor && vars[v].levels.size() == 1)
        throw DesignProblem{"factor '" + ShownName(f.variables[v].label) +
                            "' has a single level in the rows used ('" +
                            ShownName(vars[v].levels[0]) + "')"};
      columns *= parts.back().Width();
    }
    // Column c: the first variable's part varies fastest.
    for (size_t c = 0; c < columns; ++c) {
      std::string name;
      for (size_t k = 0, rest = c; k < parts.size(); rest /= parts[k].Width(), ++k) {
        if (k > 0) name += ':';
        name += parts[k].Name(rest % parts[k].Width());
      }
      names.push_back(std::move(name));
    }
    terms.push_back(std::move(parts));
  }
  if (names.empty()) throw DesignProblem{"the model has no parameter"};
  return terms;
}

// The row's value of every column of the model, appended.
void AppendRow(const TermParts& terms, bool intercept, size_t row, std::vector<double>& values) {
  if (intercept) values.push_back(1.0);
  for (const std::vector<Part>& parts : terms) {
    size_t columns = 1;
    for (const Part& p : parts) columns *= p.Width();
    for (size_t c = 0; c < columns; ++c) {
      double value = 1.0;
      for (size_t k = 0, rest = c; k < parts.size(); rest /= parts[k].Width(), ++k)
        value *= parts[k].Value(row, rest % parts[k].Width());
      values.push_back(value);
    }
  }
}

void DesignBuilder::Fill(const ModelFormula& f, const std::vector<VariableData>& vars,
                         const std::vector<double>& response, RegressionData& data) const {
  data.intercept = f.intercept;
  const TermParts terms = PartsOf(f, vars, data.parameterNames);
  data.response.reserve(data.usedRows.size());
  data.regressors.reserve(data.usedRows.size() * data.parameterNames.size());
  for (const int used : data.usedRows) {
    const size_t row = static_cast<size_t>(used - 1);
    data.response.push_back(response[row]);
    AppendRow(terms, f.intercept, row, data.regressors);
  }
}

}  // namespace

PreparedData PrepareFormulaData(const CsvTable& table, const FormulaRequest& request,
                                FormulaCoding* coding) {
  PreparedData prepared;
  try {
    prepared.data = DesignBuilder(table, request).Build(coding);
    prepared.problem = TooFewRows(prepared.data);
  } catch (const DesignProblem& problem) {
    prepared.problem = problem.text;
  }
  return prepared;
}

NewRows PrepareFormulaNewRows(const CsvTable& table, const FormulaCoding& coding,
                              const std::string& formulaText, char decimal) {
  FormulaRequest request;
  request.formula = formulaText;
  request.decimal = decimal;
  NewRows rows;
  try {
    rows = DesignBuilder(table, request).BuildNewRows(coding);
  } catch (const DesignProblem& problem) {
    rows.problem = problem.text;
  }
  return rows;
}

}  // namespace kelmath_cli
