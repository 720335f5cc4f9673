// Expressions and model formulas against what R gives for the same text (Rscript, R 4.2.2):
// deparse(str2lang(...)) for the spelling of terms, attr(terms(formula), "term.labels") and
// "intercept" for the expansion, sort() for the order of factor levels; and evaluation against
// values worked by hand.
#include "model_formula.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "expression.h"
#include "factor_levels.h"

namespace {

using kelmath_cli::CollatesBefore;
using kelmath_cli::Deparse;
using kelmath_cli::Evaluate;
using kelmath_cli::Expression;
using kelmath_cli::ExpressionError;
using kelmath_cli::NameValue;
using kelmath_cli::ParseExpression;
using kelmath_cli::ParseModelFormula;

TEST(Expression, DeparsesAsR) {
  const struct {
    const char* text;
    const char* r;
  } cases[] = {
      {"I(x/2)", "I(x/2)"},
      {"I(x*2)", "I(x * 2)"},
      {"I(x^2)", "I(x^2)"},
      {"I(-x)", "I(-x)"},
      {"I(x-1)", "I(x - 1)"},
      {"log(x,2)", "log(x, 2)"},
      {"I((x+1)^2)", "I((x + 1)^2)"},
      {"I(x %/% 2)", "I(x%/%2)"},
      {"I(2*x+1)", "I(2 * x + 1)"},
      {"exp(x/10)", "exp(x/10)"},
      {"I(x^-1)", "I(x^-1)"},
      {"I(1e-3*x)", "I(0.001 * x)"},
      {"I(0.5*x)", "I(0.5 * x)"},
      {"I(100000*x)", "I(1e+05 * x)"},
      {"I(123456*x)", "I(123456 * x)"},
      {"I(1e-4*x)", "I(1e-04 * x)"},
      {"`my var`", "`my var`"},
      {"Sepal.Length", "Sepal.Length"},
  };
  for (const auto& c : cases) EXPECT_EQ(Deparse(ParseExpression(c.text)), c.r) << c.text;
}

TEST(Expression, FaultsNameTheirPosition) {
  const struct {
    const char* text;
    int position;
  } cases[] = {{"log(x", 5}, {"x +", 3}, {"x $ y", 2}, {"(x + 1))", 7}, {"1e", 1}, {"a %in b", 2}};
  for (const auto& c : cases) {
    try {
      ParseExpression(c.text);
      ADD_FAILURE() << c.text << " parsed";
    } catch (const ExpressionError& e) {
      EXPECT_EQ(e.position, c.position) << c.text << ": " << e.what();
    }
  }
}

// Deep nesting is an error, not a stack overflow, however long the text.
TEST(Expression, DeepNestingIsRefused) {
  EXPECT_EQ(Deparse(ParseExpression(std::string(60, '(') + "x" + std::string(60, ')'))),
            std::string(60, '(') + "x" + std::string(60, ')'));
  for (const std::string& text : {std::string(100000, '(') + "x", std::string(100000, '-') + "x",
                                  std::string(100000, 'f') + std::string(100000, '(')}) {
    EXPECT_THROW(ParseExpression(text), ExpressionError);
  }
  // A long chain of sums is refused by its length.
  std::string sum = "x";
  while (sum.size() < 30000) sum += "+x";
  EXPECT_THROW(ParseExpression(sum), ExpressionError);
  // So is a power of terms that would ask for millions of interactions.
  EXPECT_THROW(ParseModelFormula("y ~ (a+b+c+d+e+f+g+h+i+j+k+l+m+n+o+p+q+r+s+t+u+v+w)^20", {}),
               ExpressionError);
}

TEST(Expression, EvaluatesRowByRowWithRsArithmetic) {
  const std::vector<double> x = {-5.0, 5.0, 8.0};
  const auto lookup = [&](const Expression& name) {
    static const double three = 3.0;
    if (name.text == "k") return NameValue{std::span<const double>(&three, 1), true};
    return NameValue{x, false};
  };
  const auto at = [&](const char* text) { return Evaluate(ParseExpression(text), 3, lookup); };
  EXPECT_EQ(at("x %% k"), (std::vector<double>{1.0, 2.0, 2.0}));  // -5 %% 3 is 1 in R
  EXPECT_EQ(at("x %/% -k"), (std::vector<double>{1.0, -2.0, -3.0}));
  EXPECT_EQ(at("-2^2 + 0*x"), (std::vector<double>{-4.0, -4.0, -4.0}));
  EXPECT_EQ(at("2^k^0 * I(1)"), (std::vector<double>{2.0, 2.0, 2.0}));  // right to left
  EXPECT_DOUBLE_EQ(at("log(x, 2)")[2], 3.0);
  EXPECT_TRUE(std::isnan(at("sqrt(x)")[0]));  // NaN, as R gives, not an error
  EXPECT_THROW(at("x:k"), ExpressionError);
  EXPECT_THROW(at("cosh(x)"), ExpressionError);
  EXPECT_THROW(at("log(x, 2, 3)"), ExpressionError);
}

std::string labels(const char* formula, const std::vector<std::string>& columns = {}) {
  const kelmath_cli::ModelFormula f = ParseModelFormula(formula, columns);
  std::string text;
  for (const auto& term : f.terms) {
    if (!text.empty()) text += ' ';
    text += term.label;
  }
  return text + (f.intercept ? " | 1" : " | 0");
}

TEST(ModelFormula, ExpandsTermsAsRsTermsDoes) {
  EXPECT_EQ(labels("y~(a+b):(c+d)"), "a:c a:d b:c b:d | 1");
  EXPECT_EQ(labels("y~a*b*c"), "a b c a:b a:c b:c a:b:c | 1");
  EXPECT_EQ(labels("y~b:a+a"), "a b:a | 1");
  EXPECT_EQ(labels("y~(a+b+c)^2"), "a b c a:b a:c b:c | 1");
  EXPECT_EQ(labels("y~a+b-a"), "b | 1");
  EXPECT_EQ(labels("y~0+a"), "a | 0");
  EXPECT_EQ(labels("y~a-1+1"), "a | 1");
  EXPECT_EQ(labels("y~log(x)+I(x^2)+x:log(x)"), "log(x) I(x^2) log(x):x | 1");
  EXPECT_EQ(labels("y~c:a*b"), "b c:a c:a:b | 1");
  EXPECT_EQ(labels("y ~ -1 + a"), "a | 0");
  EXPECT_EQ(labels("y~a:b:a"), "a:b | 1");
  EXPECT_EQ(labels("y~(a+b)^3333333333332"), "a b a:b | 1");
  EXPECT_EQ(labels("y ~ . - b", {"a", "y", "b", "c"}), "a c | 1");
  EXPECT_EQ(labels("log(y) ~ factor(a) + a"), "factor(a) a | 1");
}

TEST(FactorLevels, SortAsRsSortUnderItsDefaultCollation) {
  const std::vector<std::string> r = {"_x",      "10",  "1a",  "9",     "a",       "A",     "a b",
                                      "a-b",     "a1",  "ab",  "aB",    "Ab",      "b",     "B",
                                      "Compact", "e",   "f",   "Large", "Midsize", "small", "Small",
                                      "Sporty",  "SUV", "Van", "Z"};
  std::vector<std::string> shuffled(r.rbegin(), r.rend());
  std::swap(shuffled[3], shuffled[17]);
  EXPECT_EQ(kelmath_cli::SortedLevels(shuffled), r);
  for (size_t i = 0; i + 1 < r.size(); ++i) EXPECT_FALSE(CollatesBefore(r[i + 1], r[i])) << r[i];
}

}  // namespace
