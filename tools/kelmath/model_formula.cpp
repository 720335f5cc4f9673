#include "model_formula.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kelmath_cli {
namespace {

using Term = std::vector<int>;  // variable indexes, ascending

// The terms of a part of the right side, and what it says of the intercept: -1 nothing, 0 none
// (a 0 term, or 1 removed), 1 one (a 1 term).
struct TermList {
  std::vector<Term> terms;
  int intercept = -1;
};

void addTerm(std::vector<Term>& terms, const Term& t) {
  if (std::find(terms.begin(), terms.end(), t) == terms.end()) terms.push_back(t);
}

Term unite(const Term& a, const Term& b) {
  Term t = a;
  for (int v : b)
    if (std::find(t.begin(), t.end(), v) == t.end()) t.push_back(v);
  std::sort(t.begin(), t.end());
  return t;
}

// More terms than any design could fit; (a + b + ... )^k could otherwise ask for millions.
constexpr size_t kMostTerms = 5000;

std::vector<Term> interactions(const std::vector<Term>& left, const std::vector<Term>& right,
                               int position) {
  if (left.size() * right.size() > kMostTerms)
    throw ExpressionError("more than " + std::to_string(kMostTerms) + " terms", position);
  std::vector<Term> out;
  for (const Term& a : left)
    for (const Term& b : right) addTerm(out, unite(a, b));
  return out;
}

class Expander {
 public:
  Expander(const Expression& responseExpression, const std::vector<std::string>& dataColumns,
           ModelFormula& f)
      : response(Deparse(responseExpression)), columns(dataColumns), formula(f) {}

  TermList Of(const Expression& e) {
    using Kind = Expression::Kind;
    switch (e.kind) {
      case Kind::kNumber:
        if (e.number == 0.0 || e.number == 1.0) return {{}, e.number == 1.0 ? 1 : 0};
        throw ExpressionError("a number other than 0 or 1 as a term (write it inside I())",
                              e.position);
      case Kind::kParenthesis:
        return Of(e.operands[0]);
      case Kind::kName:
        if (e.text == ".") return AllOtherColumns(e);
        return {{{Variable(e)}}, -1};
      case Kind::kCall:
        return {{{Variable(e)}}, -1};
      case Kind::kUnary:
        if (e.text == "-") return Without({}, Of(e.operands[0]));
        if (e.text == "+") return Of(e.operands[0]);
        break;
      case Kind::kBinary:
        return Binary(e);
    }
    throw ExpressionError("\"" + e.text + "\" cannot stand in a formula's terms", e.position);
  }

 private:
  std::string response;
  const std::vector<std::string>& columns;
  ModelFormula& formula;

  TermList Binary(const Expression& e) {
    const std::string& op = e.text;
    if (op == "+") {
      TermList left = Of(e.operands[0]);
      const TermList right = Of(e.operands[1]);
      for (const Term& t : right.terms) addTerm(left.terms, t);
      if (right.intercept >= 0) left.intercept = right.intercept;
      return left;
    }
    if (op == "-") {
      TermList left = Of(e.operands[0]);
      return Without(std::move(left), Of(e.operands[1]));
    }
    if (op == ":") {
      // Left before right: the variables are numbered in the order they appear.
      const TermList left = Of(e.operands[0]);
      const TermList right = Of(e.operands[1]);
      return {interactions(left.terms, right.terms, e.position), -1};
    }
    if (op == "*") {
      TermList left = Of(e.operands[0]);
      const TermList right = Of(e.operands[1]);
      const std::vector<Term> both = interactions(left.terms, right.terms, e.position);
      for (const Term& t : right.terms) addTerm(left.terms, t);
      for (const Term& t : both) addTerm(left.terms, t);
      return left;
    }
    if (op == "^") {
      const Expression& power = e.operands[1];
      if (power.kind != Expression::Kind::kNumber || !(power.number >= 1) ||
          power.number != std::floor(power.number))
        throw ExpressionError("the power of terms must be a whole number of at least 1",
                              power.position);
      const TermList base = Of(e.operands[0]);
      TermList out = base;
      // Each round adds the interactions one order higher; once a round adds none (every
      // variable is in the highest one), the higher powers add none either.
      for (double k = 1; k < power.number; ++k) {
        const size_t before = out.terms.size();
        for (const Term& t : interactions(out.terms, base.terms, e.position)) addTerm(out.terms, t);
        if (out.terms.size() == before) break;
      }
      return out;
    }
    throw ExpressionError("\"" + op + "\" is not supported in a formula's terms", e.position);
  }

  // The left terms less the right ones; removing 1 (or 0) removes the intercept.
  static TermList Without(TermList left, const TermList& right) {
    for (const Term& t : right.terms)
      left.terms.erase(std::remove(left.terms.begin(), left.terms.end(), t), left.terms.end());
    if (right.intercept >= 0) left.intercept = right.intercept == 1 ? 0 : 1;
    return left;
  }

  TermList AllOtherColumns(const Expression& dot) {
    TermList out;
    for (const std::string& column : columns) {
      Expression name;
      name.kind = Expression::Kind::kName;
      name.text = column;
      name.position = dot.position;
      if (Deparse(name) != response) out.terms.push_back({Variable(name)});
    }
    return out;
  }

  int Variable(const Expression& e) {
    FormulaVariable v;
    v.label = Deparse(e);
    if (v.label == response)
      throw ExpressionError("the response \"" + response + "\" is also a term", e.position);
    v.factorCall =
        e.kind == Expression::Kind::kCall && (e.text == "factor" || e.text == "as.factor");
    if (v.factorCall && e.operands.size() != 1)
      throw ExpressionError("\"" + e.text + "\" takes one argument", e.position);
    v.expression = v.factorCall ? e.operands[0] : e;
    for (size_t i = 0; i < formula.variables.size(); ++i)
      if (formula.variables[i].label == v.label) return static_cast<int>(i);
    formula.variables.push_back(std::move(v));
    return static_cast<int>(formula.variables.size()) - 1;
  }
};

std::string termLabel(const ModelFormula& f, const Term& t) {
  std::string label;
  for (int v : t) {
    if (!label.empty()) label += ':';
    label += f.variables[static_cast<size_t>(v)].label;
  }
  return label;
}

}  // namespace

ModelFormula ParseModelFormula(std::string_view text, const std::vector<std::string>& columns) {
  const Expression whole = ParseExpression(text);
  if (!whole.Is(Expression::Kind::kBinary, "~"))
    throw ExpressionError("a formula \"response ~ terms\" is expected", whole.position);
  ModelFormula f;
  f.response = whole.operands[0];
  f.responseLabel = Deparse(f.response);
  TermList list = Expander(f.response, columns, f).Of(whole.operands[1]);
  f.intercept = list.intercept != 0;
  // Terms by order (the number of their variables), otherwise as they appeared.
  std::stable_sort(list.terms.begin(), list.terms.end(),
                   [](const Term& a, const Term& b) { return a.size() < b.size(); });
  for (const Term& t : list.terms)
    if (!t.empty()) f.terms.push_back({t, termLabel(f, t)});
  return f;
}

}  // namespace kelmath_cli
