// The regression data of a model formula over a CSV table, as R's lm(formula, data) builds its
// model matrix: each variable evaluated row by row, text columns and factor(...) as factors with
// treatment contrasts (levels in R's order, the first the reference unless another is chosen),
// interaction columns as products with the first variable varying fastest, and the coefficient
// names R gives (typeMidsize, weight:typeSmall, factor(dose)2, I(weight^2)).
#ifndef KELMATH_TOOLS_KELMATH_FORMULA_DESIGN_H
#define KELMATH_TOOLS_KELMATH_FORMULA_DESIGN_H

#include <string>
#include <vector>

#include "csv_table.h"
#include "model_formula.h"
#include "regression_data.h"

namespace kelmath_cli {

struct FormulaRequest {
  std::string formula;
  // "variable=level": the reference level of a factor, the variable as the formula writes it.
  std::vector<std::string> references;
  char decimal = '.';
  std::vector<std::string> clusters;  // as ModelRequest::clusters
  std::string weights;                // as ModelRequest::weights
};

// The data, or the problem in one line: a formula that does not parse or names no column (with
// its position), text where a number is needed, a value that is infinite in a row used, an unknown
// reference level, a factor with one level, or too few rows. A row where a variable is missing
// (an empty or NA cell, a NaN value such as log of a negative number, as R drops it) is dropped.
// With coding, also how the fit coded each variable, to code new rows the same way.
struct FormulaCoding {
  ModelFormula formula;  // as expanded over the fit's data ('.' means its columns)
  struct Variable {
    bool factor = false;
    bool numericLevels = false;       // factor(...) of numbers: levels are R's text of them
    std::vector<std::string> levels;  // the reference first
  };
  std::vector<Variable> variables;  // as formula.variables
};
PreparedData PrepareFormulaData(const CsvTable& table, const FormulaRequest& request,
                                FormulaCoding* coding = nullptr);

// The model's columns for the rows of a new table, coded as the fit coded its data; besides the
// problems of PrepareColumnNewRows, a factor level the fit has not seen (R's "factor has new
// levels").
NewRows PrepareFormulaNewRows(const CsvTable& table, const FormulaCoding& coding,
                              const std::string& formulaText, char decimal);

}  // namespace kelmath_cli

#endif
