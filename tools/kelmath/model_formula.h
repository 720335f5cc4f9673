// Model formulas in R's notation, "response ~ terms", expanded into the terms of the model as R's
// terms() does: + adds terms, - removes them (-1 the intercept), a:b is the interaction, a*b is
// a + b + a:b, (a + b + c)^2 the interactions up to order 2, 0 or -1 no intercept, . every other
// column of the data. The variables are the names and calls in the formula (log(x), I(x^2),
// factor(dose)), in order of first appearance; the terms are sorted by order, and otherwise keep
// the order in which they appear.
#ifndef KELMATH_TOOLS_KELMATH_MODEL_FORMULA_H
#define KELMATH_TOOLS_KELMATH_MODEL_FORMULA_H

#include <string>
#include <string_view>
#include <vector>

#include "expression.h"

namespace kelmath_cli {

struct FormulaVariable {
  Expression expression;
  std::string label;  // as R deparses it: the start of the names of its coefficients
  // factor(x) or as.factor(x): a factor whatever the values (expression is then x).
  bool factorCall = false;
};

struct FormulaTerm {
  std::vector<int> variables;  // indexes into ModelFormula::variables, ascending
  std::string label;           // the variables' labels joined by ":"
};

struct ModelFormula {
  Expression response;
  std::string responseLabel;
  std::vector<FormulaVariable> variables;
  std::vector<FormulaTerm> terms;
  bool intercept = true;
};

// The formula expanded; the columns of the data serve ".". A text that is not a two-sided
// formula, an operator a formula cannot hold there (/, %in%, a number other than 0 or 1 as a term)
// or a response among the terms is an ExpressionError at its position.
ModelFormula ParseModelFormula(std::string_view text, const std::vector<std::string>& columns);

}  // namespace kelmath_cli

#endif
