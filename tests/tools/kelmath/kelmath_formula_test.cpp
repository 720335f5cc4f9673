// `kelmath regress --formula`: coefficient names in R's spelling and order and every number of the
// JSON against R's lm(formula, data) on R's data sets with factors, transformations, interactions
// and dropped rows (tests/reference/r/formulas.R); and the faults of a formula, each one line
// with exit status 2 and no result file.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "../../linear_regression/linear_regression_test_data.h"
#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;
using lr_test::Reference;
using lr_test::RelativelyNear;

// Both sides fit in double precision from the same CSV; the JSON keeps 17 digits. The worst seen
// is about 1e-12 (iris, with an interaction of a factor and a column).
constexpr double kTight = 1e-9;

struct FormulaCase {
  const char* name;  // formula_<name>.txt
};
void PrintTo(const FormulaCase& value, std::ostream* os) {
  *os << value.name;
}

const FormulaCase kCases[] = {
    {"cars93_interaction"}, {"cars93_reference"}, {"cars93_missing"},  {"iris_dots"},
    {"tooth_factor_call"},  {"tooth_no_margin"},  {"warpbreaks_star"}, {"warpbreaks_no_intercept"},
    {"mtcars_mixed"},       {"mtcars_power"},     {"mtcars_dot"},      {"airquality_dropped"},
};

class FormulaAgainstR : public KelmathCommand, public ::testing::WithParamInterface<FormulaCase> {};

TEST_P(FormulaAgainstR, NamesOrderAndNumbersAreLms) {
  const Reference r("r/formula_" + std::string(GetParam().name) + ".txt");
  std::string command = "regress " + Data("formula_" + r.Text("data") + ".csv") + " --formula '" +
                        r.Text("formula") + "' --json r.json";
  if (r.Has("reference") && !r.Text("reference").empty())
    command += " --reference " + r.Text("reference");
  const auto run = Run(command);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("r.json"));
  EXPECT_EQ(j["rows_used"].get<double>(), r("rows_used"));
  const int n = static_cast<int>(r("parameters"));
  ASSERT_EQ(j["coefficients"].size(), static_cast<size_t>(n));
  for (int i = 1; i <= n; ++i) {
    const auto& k = j["coefficients"][i - 1];
    EXPECT_EQ(k["name"], r.Text("name[" + std::to_string(i) + "]"));
    SCOPED_TRACE(k["name"].get<std::string>());
    EXPECT_TRUE(RelativelyNear(k["estimate"].get<double>(), r("estimate", i), kTight));
    EXPECT_TRUE(RelativelyNear(k["std_error"].get<double>(), r("se", i), kTight));
    EXPECT_TRUE(RelativelyNear(k["t_value"].get<double>(), r("t", i), kTight));
    EXPECT_TRUE(RelativelyNear(k["p_value"].get<double>(), r("p", i), kTight));
    // The summary prints the same names.
    std::string line = "\n";
    line += k["name"].get<std::string>();
    EXPECT_NE(run.out.find(line + ' '), std::string::npos);
  }
  EXPECT_TRUE(RelativelyNear(j["sigma"].get<double>(), r("sigma"), kTight));
  EXPECT_TRUE(RelativelyNear(j["r_squared"].get<double>(), r("r2"), kTight));
  EXPECT_TRUE(RelativelyNear(j["adj_r_squared"].get<double>(), r("adj_r2"), kTight));
  EXPECT_TRUE(RelativelyNear(j["f_statistic"].get<double>(), r("f"), kTight));
  EXPECT_TRUE(RelativelyNear(j["f_p_value"].get<double>(), r("f_p"), kTight));
  EXPECT_TRUE(RelativelyNear(j["aic"].get<double>(), r("aic"), kTight));
  EXPECT_TRUE(RelativelyNear(j["bic"].get<double>(), r("bic"), kTight));
}

INSTANTIATE_TEST_SUITE_P(RDataSets, FormulaAgainstR, ::testing::ValuesIn(kCases),
                         ::testing::PrintToStringParamName());

// The same model by --formula and by --columns: the same JSON but for nothing.
TEST_F(KelmathCommand, FormulaOfPlainColumnsIsTheColumnsModel) {
  const std::string data = Data("formula_mtcars.csv");
  ASSERT_EQ(Run("regress " + data + " --formula 'mpg ~ wt + hp' --json f.json").status, 0);
  ASSERT_EQ(Run("regress " + data + " --response mpg --columns wt,hp --json c.json").status, 0);
  EXPECT_EQ(Read("f.json"), Read("c.json"));
  ASSERT_EQ(Run("regress " + data + " --formula 'mpg ~ wt + hp - 1' --json f0.json").status, 0);
  ASSERT_EQ(Run("regress " + data + " --response mpg --columns wt,hp --no-intercept --json c0.json")
                .status,
            0);
  EXPECT_EQ(Read("f0.json"), Read("c0.json"));
}

// Each fault is one line naming what is wrong (with the position in the formula where there is
// one), exit status 2 and no result file.
TEST_F(KelmathCommand, FormulaFaultsAreOneClearLine) {
  const std::string data = Data("formula_cars93.csv");
  const struct {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"--formula 'log(Price ~ Weight'",
       "the formula \"log(Price ~ Weight\" at position 19: \")\" or \",\" expected"},
      {"--formula 'Price ~ Weight +'",
       "the formula \"Price ~ Weight +\" at position 17: the expression ends where an operand is "
       "expected"},
      {"--formula 'Price ~ Wieght'",
       "the formula \"Price ~ Wieght\" at position 9: no column named 'Wieght'"},
      {"--formula 'Price ~ log(Type)'",
       "the formula \"Price ~ log(Type)\" at position 13: line 2, column 'Type': 'Small' is not a "
       "number; only a column by itself or factor(column) can be a factor"},
      {"--formula 'Price ~ Weight + Type' --reference Type=Tiny",
       "--reference Type=Tiny: Type has no level 'Tiny' in the rows used"},
      {"--formula 'Price ~ Weight' --reference Weight=1",
       "--reference Weight=1: expected FACTOR=LEVEL with a factor of the formula"},
      {"--formula 'Price ~ log(Weight - 2705)'", "'log(Weight - 2705)' is infinite on line 2"},
      {"--formula 'Price ~ Weight + 3'",
       "the formula \"Price ~ Weight + 3\" at position 18: a number other than 0 or 1 as a term "
       "(write it inside I())"},
      {"--formula 'Price ~ Price + Weight'",
       "the formula \"Price ~ Price + Weight\" at position 9: the response \"Price\" is also a "
       "term"},
      {"--formula 'Price ~ Weight / Type'",
       "the formula \"Price ~ Weight / Type\" at position 16: \"/\" is not supported in a "
       "formula's terms"},
      {"--formula 'Price ~ sinh(Weight)'",
       "the formula \"Price ~ sinh(Weight)\" at position 9: unknown function \"sinh\""},
      {"--formula 'Price + Weight'",
       "the formula \"Price + Weight\" at position 7: a formula \"response ~ terms\" is "
       "expected"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const auto run = Run("regress " + data + " " + c.arguments + " --json r.json");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "kelmath: " + data.substr(1, data.size() - 2) + ": " + c.message + "\n");
    EXPECT_FALSE(Exists("r.json"));
  }
  const auto both = Run("regress " + data + " --formula 'Price ~ Weight' --response Price");
  EXPECT_EQ(both.status, 2);
  const auto neither = Run("regress " + data + " --columns Weight");
  EXPECT_EQ(neither.status, 2);
  EXPECT_EQ(neither.err, "kelmath: regress: --response or --formula is required\n");
}

// Numbers as factor levels sort by value (9 before 10, 1e+05 last); a factor with one level in
// the rows used is refused, as R refuses it; no row left is said by the count of rows.
TEST_F(KelmathCommand, FormulaFactorLevelsOfNumbersAndTooFewLevels) {
  Write("d.csv", "y,d,g,z\n1,10,a,\n2,9,a,\n3,100000,a,\n4,0.5,a,\n5,10,a,\n6,9,a,\n7,0.5,a,\n");
  const auto run = Run("regress d.csv --formula 'y ~ factor(d)' --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("r.json"));
  ASSERT_EQ(j["coefficients"].size(), 4u);
  EXPECT_EQ(j["coefficients"][1]["name"], "factor(d)9");
  EXPECT_EQ(j["coefficients"][2]["name"], "factor(d)10");
  EXPECT_EQ(j["coefficients"][3]["name"], "factor(d)1e+05");
  const auto single = Run("regress d.csv --formula 'y ~ d + g'");
  EXPECT_EQ(single.status, 2);
  EXPECT_EQ(single.err, "kelmath: d.csv: factor 'g' has a single level in the rows used ('a')\n");
  const auto none = Run("regress d.csv --formula 'y ~ d + factor(z)'");
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err,
            "kelmath: d.csv: 0 complete rows (7 dropped for missing values), but a model with 2 "
            "parameters needs at least 3\n");
}

// A text column named by itself is a factor; the rows where a term's value is missing or not a
// number (log of a negative number) are dropped as R drops them, and counted.
TEST_F(KelmathCommand, FormulaDropsRowsWhereAValueIsMissing) {
  Write("d.csv",
        "y,x,g\n1,1,a\n2,2,b\n3,-1,a\n4,4,\n5,5,b\n6,6,a\n7,7,b\n8,8,NA\n9,9,a\n10,10,b\n");
  const auto run = Run("regress d.csv --formula 'y ~ log(x) + g' --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("r.json"));
  EXPECT_EQ(j["rows_used"], 7);
  EXPECT_EQ(j["coefficients"][2]["name"], "gb");
}

}  // namespace
