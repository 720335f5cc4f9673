// Expressions in R's notation, as model formulas and nonlinear models write them: numbers, names
// (letters, digits, dots and underscores, or any text in backquotes), the operators ~ + - * / ^ :
// and %op%, calls f(a, b) and parentheses, with R's precedence. Parsed into a tree, written back
// as R deparses it (the spelling R gives coefficient names) and evaluated row by row.
#ifndef KELMATH_TOOLS_KELMATH_EXPRESSION_H
#define KELMATH_TOOLS_KELMATH_EXPRESSION_H

#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelmath_cli {

struct Expression {
  enum class Kind { kNumber, kName, kUnary, kBinary, kCall, kParenthesis };
  Kind kind = Kind::kNumber;
  double number = 0.0;
  // The name, the operator ("+", "%/%", ...) or the function called.
  std::string text;
  std::vector<Expression> operands;
  int position = 0;  // 0-based offset of the expression's first character in the parsed text

  bool Is(Kind k, std::string_view t) const { return kind == k && text == t; }
};

// A fault of an expression, with the 0-based offset in its text where it was found.
class ExpressionError : public std::runtime_error {
 public:
  ExpressionError(const std::string& message, int where)
      : std::runtime_error(message), position(where) {}
  int position;
};

// The whole text as one expression; anything left over, an unbalanced parenthesis, an unknown
// character or a missing operand is an ExpressionError at its offset.
Expression ParseExpression(std::string_view text);

// The expression as R deparses it: spaces around + - * ~ (binary), none around / ^ : %op%, a
// blank after each comma, numbers with up to 15 significant digits in the shorter of fixed and
// scientific notation (0.001, 1e+05).
std::string Deparse(const Expression& e);

// A number as R writes it with 15 significant digits: the fewest digits that give the value to
// 15 digits, in fixed notation unless scientific is shorter (0.001, 1e+05, 123456).
std::string RNumberText(double x);

// The names the expression reads (each once, in order of first appearance), calls excluded.
std::vector<std::string> NamesIn(const Expression& e);

// Values of the names: a column gives one value a row, a scalar (a parameter) one value for all.
struct NameValue {
  std::span<const double> values;
  bool scalar = false;
};
using NameLookup = std::function<NameValue(const Expression& name)>;

// The expression's value at each of rows rows: + - * / ^ %% %/%, unary minus, parentheses, I()
// and the functions log (natural, or log(x, base)), log10, log2, exp, sqrt, abs, sin, cos, tan.
// A domain error gives NaN, as R does; an unknown function or a wrong number of arguments is an
// ExpressionError. lookup is asked for each name once.
std::vector<double> Evaluate(const Expression& e, size_t rows, const NameLookup& lookup);

// The error in one line, naming the 1-based position in the text:
//   the formula "y ~ log(x" at position 9: ")" expected
std::string DescribeExpressionError(const ExpressionError& error, std::string_view text,
                                    std::string_view what);

}  // namespace kelmath_cli

#endif
