// Parsing of expressions in R's notation by recursive descent, one function per precedence level
// (lowest first): ~, binary + -, * /, %op%, :, unary + -, ^ (right to left), then numbers,
// names, calls and parentheses.
#include "expression.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <utility>

namespace kelmath_cli {
namespace {

bool startsName(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '.';
}
bool continuesName(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_';
}

class Parser {
 public:
  explicit Parser(std::string_view text) : s(text) {}

  Expression Whole() {
    Expression e = Formula();
    Blanks();
    if (at < s.size()) Fail("unexpected \"" + std::string(1, s[at]) + "\"");
    return e;
  }

 private:
  // Nesting deeper than this (parentheses, calls, signs) is refused rather than recursed into:
  // no formula needs it, and a long enough text would otherwise exhaust the stack.
  static constexpr int kDeepest = 200;

  std::string_view s;
  size_t at = 0;
  int depth = 0;

  // Counts one level of nesting for as long as it lives.
  struct Nested {
    explicit Nested(Parser& p) : parser(p) {
      if (++parser.depth > kDeepest) parser.Fail("the expression is nested too deeply");
    }
    ~Nested() { --parser.depth; }
    Nested(const Nested&) = delete;
    Nested& operator=(const Nested&) = delete;
    Parser& parser;
  };

  [[noreturn]] void Fail(const std::string& message) const {
    throw ExpressionError(message, static_cast<int>(at));
  }
  void Blanks() {
    while (at < s.size() && std::isspace(static_cast<unsigned char>(s[at]))) ++at;
  }
  // The operator of one character at the cursor (after blanks), taken when it is one of ops.
  bool Take(char op) {
    Blanks();
    if (at < s.size() && s[at] == op) {
      ++at;
      return true;
    }
    return false;
  }
  static Expression Binary(std::string op, Expression left, Expression right, int position) {
    Expression e;
    e.kind = Expression::Kind::kBinary;
    e.text = std::move(op);
    e.position = position;
    e.operands.push_back(std::move(left));
    e.operands.push_back(std::move(right));
    return e;
  }

  Expression Formula() {
    const Nested level(*this);
    Blanks();
    // A one-sided formula (~ x) has no left side.
    if (at < s.size() && s[at] == '~') {
      const int where = static_cast<int>(at++);
      Expression e;
      e.kind = Expression::Kind::kUnary;
      e.text = "~";
      e.position = where;
      e.operands.push_back(Sum());
      return e;
    }
    Expression left = Sum();
    Blanks();
    if (at < s.size() && s[at] == '~') {
      const int where = static_cast<int>(at++);
      left = Binary("~", std::move(left), Sum(), where);
    }
    return left;
  }
  Expression Sum() {
    Expression left = Product();
    for (;;) {
      Blanks();
      if (at >= s.size() || (s[at] != '+' && s[at] != '-')) return left;
      const int where = static_cast<int>(at);
      const std::string op(1, s[at++]);
      left = Binary(op, std::move(left), Product(), where);
    }
  }
  Expression Product() {
    Expression left = Special();
    for (;;) {
      Blanks();
      if (at >= s.size() || (s[at] != '*' && s[at] != '/')) return left;
      const int where = static_cast<int>(at);
      const std::string op(1, s[at++]);
      left = Binary(op, std::move(left), Special(), where);
    }
  }
  Expression Special() {
    Expression left = Colon();
    for (;;) {
      Blanks();
      if (at >= s.size() || s[at] != '%') return left;
      const int where = static_cast<int>(at);
      const size_t end = s.find('%', at + 1);
      if (end == std::string_view::npos) Fail("unterminated %operator%");
      const std::string op(s.substr(at, end + 1 - at));
      at = end + 1;
      left = Binary(op, std::move(left), Colon(), where);
    }
  }
  Expression Colon() {
    Expression left = Unary();
    for (;;) {
      const size_t before = at;
      if (!Take(':')) return left;
      left = Binary(":", std::move(left), Unary(), static_cast<int>(before));
    }
  }
  Expression Unary() {
    const Nested level(*this);
    Blanks();
    if (at < s.size() && (s[at] == '-' || s[at] == '+')) {
      Expression e;
      e.kind = Expression::Kind::kUnary;
      e.position = static_cast<int>(at);
      e.text = std::string(1, s[at++]);
      e.operands.push_back(Unary());
      return e;
    }
    return Power();
  }
  Expression Power() {
    Expression base = Primary();
    Blanks();
    if (at < s.size() && s[at] == '^') {
      const int where = static_cast<int>(at++);
      return Binary("^", std::move(base), Unary(), where);
    }
    return base;
  }
  Expression Primary() {
    Blanks();
    if (at >= s.size()) Fail("the expression ends where an operand is expected");
    Expression e;
    e.position = static_cast<int>(at);
    const char c = s[at];
    if (c == '(') {
      ++at;
      e.kind = Expression::Kind::kParenthesis;
      e.operands.push_back(Formula());
      if (!Take(')')) Fail("\")\" expected");
      return e;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && at + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[at + 1])))) {
      e.kind = Expression::Kind::kNumber;
      e.number = Number();
      return e;
    }
    if (c == '`') {
      const size_t end = s.find('`', at + 1);
      if (end == std::string_view::npos) Fail("unterminated backquoted name");
      e.kind = Expression::Kind::kName;
      e.text = std::string(s.substr(at + 1, end - at - 1));
      at = end + 1;
      return e;
    }
    if (!startsName(c)) Fail("unexpected \"" + std::string(1, c) + "\"");
    const size_t start = at;
    while (at < s.size() && continuesName(s[at])) ++at;
    e.text = std::string(s.substr(start, at - start));
    e.kind = Expression::Kind::kName;
    Blanks();
    if (at < s.size() && s[at] == '(') {
      ++at;
      e.kind = Expression::Kind::kCall;
      if (!Take(')')) {
        do e.operands.push_back(Formula());
        while (Take(','));
        if (!Take(')')) Fail("\")\" or \",\" expected");
      }
    }
    return e;
  }
  double Number() {
    const size_t start = at;
    while (at < s.size() && (std::isdigit(static_cast<unsigned char>(s[at])) || s[at] == '.')) ++at;
    if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
      size_t k = at + 1;
      if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
      if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
        at = k;
        while (at < s.size() && std::isdigit(static_cast<unsigned char>(s[at]))) ++at;
      }
    }
    double value = 0.0;
    const auto result = std::from_chars(s.data() + start, s.data() + at, value);
    if (result.ec != std::errc() || result.ptr != s.data() + at) {
      at = start;
      Fail("malformed number");
    }
    return value;
  }
};

}  // namespace

Expression ParseExpression(std::string_view text) {
  // The tree of a longer text could be deep enough (a chain of 10^5 sums) to exhaust the stack
  // of the functions that walk it.
  constexpr size_t kLongest = 20000;
  if (text.size() > kLongest)
    throw ExpressionError(
        "the expression is longer than " + std::to_string(kLongest) + " characters",
        static_cast<int>(kLongest));
  return Parser(text).Whole();
}

std::string DescribeExpressionError(const ExpressionError& error, std::string_view text,
                                    std::string_view what) {
  return std::string(what) + " \"" + std::string(text) + "\" at position " +
         std::to_string(error.position + 1) + ": " + error.what();
}

std::vector<std::string> NamesIn(const Expression& e) {
  std::vector<std::string> names;
  std::function<void(const Expression&)> walk = [&](const Expression& x) {
    if (x.kind == Expression::Kind::kName) {
      for (const std::string& n : names)
        if (n == x.text) return;
      names.push_back(x.text);
    }
    for (const Expression& o : x.operands) walk(o);
  };
  walk(e);
  return names;
}

}  // namespace kelmath_cli
