// Row-by-row evaluation of expressions; a scalar (a number, a parameter) stays one value until it
// meets a column, so a model's constants cost nothing per row.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "expression.h"

namespace kelmath_cli {
namespace {

struct Value {
  std::vector<double> values;
  bool scalar = true;
  double At(size_t i) const { return scalar ? values[0] : values[i]; }
};

Value scalarValue(double x) {
  return Value{{x}, true};
}

template <class Operation>
Value elementwise(const Value& a, const Value& b, size_t rows, Operation op) {
  if (a.scalar && b.scalar) return scalarValue(op(a.values[0], b.values[0]));
  Value out{std::vector<double>(rows), false};
  for (size_t i = 0; i < rows; ++i) out.values[i] = op(a.At(i), b.At(i));
  return out;
}

template <class Operation>
Value map(Value a, Operation op) {
  for (double& x : a.values) x = op(x);
  return a;
}

double (*unaryFunction(const std::string& name))(double) {
  if (name == "log") return [](double x) { return std::log(x); };
  if (name == "log10") return [](double x) { return std::log10(x); };
  if (name == "log2") return [](double x) { return std::log2(x); };
  if (name == "exp") return [](double x) { return std::exp(x); };
  if (name == "sqrt") return [](double x) { return std::sqrt(x); };
  if (name == "abs") return [](double x) { return std::fabs(x); };
  if (name == "sin") return [](double x) { return std::sin(x); };
  if (name == "cos") return [](double x) { return std::cos(x); };
  if (name == "tan") return [](double x) { return std::tan(x); };
  return nullptr;
}

class Evaluator {
 public:
  Evaluator(size_t n, const NameLookup& l) : rows(n), lookup(l) {}

  Value Of(const Expression& e) {
    switch (e.kind) {
      case Expression::Kind::kNumber:
        return scalarValue(e.number);
      case Expression::Kind::kName: {
        const NameValue found = lookup(e);
        Value v{std::vector<double>(found.values.begin(), found.values.end()), found.scalar};
        return v;
      }
      case Expression::Kind::kParenthesis:
        return Of(e.operands[0]);
      case Expression::Kind::kUnary:
        if (e.text == "~") throw ExpressionError("a formula where a value is expected", e.position);
        return e.text == "-" ? map(Of(e.operands[0]), [](double x) { return -x; })
                             : Of(e.operands[0]);
      case Expression::Kind::kBinary:
        return Binary(e);
      case Expression::Kind::kCall:
        return Call(e);
    }
    return scalarValue(0.0);
  }

 private:
  size_t rows;
  const NameLookup& lookup;

  Value Binary(const Expression& e) {
    const std::string& op = e.text;
    if (op == "~" || op == ":")
      throw ExpressionError("\"" + op + "\" where a value is expected (write it inside I())",
                            e.position);
    const Value a = Of(e.operands[0]);
    const Value b = Of(e.operands[1]);
    if (op == "+") return elementwise(a, b, rows, [](double x, double y) { return x + y; });
    if (op == "-") return elementwise(a, b, rows, [](double x, double y) { return x - y; });
    if (op == "*") return elementwise(a, b, rows, [](double x, double y) { return x * y; });
    if (op == "/") return elementwise(a, b, rows, [](double x, double y) { return x / y; });
    if (op == "^")
      return elementwise(a, b, rows, [](double x, double y) { return std::pow(x, y); });
    // R's %% and %/%: the remainder takes the sign of the divisor.
    if (op == "%%")
      return elementwise(a, b, rows, [](double x, double y) { return x - std::floor(x / y) * y; });
    if (op == "%/%")
      return elementwise(a, b, rows, [](double x, double y) { return std::floor(x / y); });
    throw ExpressionError("unknown operator \"" + op + "\"", e.position);
  }

  Value Call(const Expression& e) {
    const size_t count = e.operands.size();
    if (e.text == "I" && count == 1) return Of(e.operands[0]);
    if (e.text == "log" && count == 2) {
      const Value x = Of(e.operands[0]);
      const Value base = Of(e.operands[1]);
      return elementwise(x, base, rows,
                         [](double v, double b) { return std::log(v) / std::log(b); });
    }
    double (*f)(double) = unaryFunction(e.text);
    if (f == nullptr && e.text != "I" && e.text != "log")
      throw ExpressionError("unknown function \"" + e.text + "\"", e.position);
    if (count != 1 || f == nullptr)
      throw ExpressionError("wrong number of arguments to \"" + e.text + "\"", e.position);
    return map(Of(e.operands[0]), f);
  }
};

}  // namespace

std::vector<double> Evaluate(const Expression& e, size_t rows, const NameLookup& lookup) {
  Value v = Evaluator(rows, lookup).Of(e);
  if (!v.scalar) return std::move(v.values);
  return std::vector<double>(rows, v.values[0]);
}

}  // namespace kelmath_cli
