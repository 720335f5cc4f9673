// `kelmath stepwise`: the best model of every size against R's exhaustive best subsets
// (leaps::regsubsets, tests/reference/r/stepwise.R) on four data sets: the same columns and
// mean square error for every size; the suggested model and the marks of doubtful columns.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "../../linear_regression/linear_regression_test_data.h"
#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;
using lr_test::Reference;
using lr_test::RelativelyNear;

struct StepwiseCase {
  const char* name;  // stepwise_<name>.txt and .csv
};
void PrintTo(const StepwiseCase& value, std::ostream* os) {
  *os << value.name;
}

const StepwiseCase kCases[] = {{"mtcars"}, {"swiss"}, {"savings"}, {"stackloss"}};

class StepwiseAgainstLeaps : public KelmathCommand,
                             public ::testing::WithParamInterface<StepwiseCase> {};

TEST_P(StepwiseAgainstLeaps, EverySizeIsTheBestSubset) {
  const std::string name = GetParam().name;
  const Reference r("r/stepwise_" + name + ".txt");
  const auto run = Run("stepwise " + Data("stepwise_" + name + ".csv") + " --response " +
                       r.Text("response") + " --json s.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("s.json"));
  const int sizes = static_cast<int>(r("sizes"));
  ASSERT_EQ(j["models"].size(), static_cast<size_t>(sizes));
  int suggested = 0;
  for (int k = 1; k <= sizes; ++k) {
    SCOPED_TRACE(std::to_string(k) + " parameters");
    const auto& model = j["models"][k - 1];
    EXPECT_EQ(model["parameters"], k);
    ASSERT_TRUE(model["found"].get<bool>());
    EXPECT_TRUE(RelativelyNear(model["mse"].get<double>(), r("mse", k), 1e-9));
    std::string columns;
    bool doubtful = false;
    for (size_t c = 1; c < model["columns"].size(); ++c) {
      if (c > 1) columns += ',';
      columns += model["columns"][c]["name"].get<std::string>();
      doubtful = doubtful || model["columns"][c]["t_value"].get<double>() < 2.5;
    }
    EXPECT_EQ(model["columns"][0]["name"], "(Intercept)");
    EXPECT_EQ(columns, r.Text("columns[" + std::to_string(k) + "]"));
    EXPECT_EQ(model["doubtful"].get<bool>(), doubtful);
    if (!doubtful) suggested = k;
  }
  EXPECT_EQ(j["suggested"], suggested);
  EXPECT_NE(run.out.find("\nSuggested: " + std::to_string(suggested) + " parameters"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(DataSetsShippedWithR, StepwiseAgainstLeaps, ::testing::ValuesIn(kCases),
                         ::testing::PrintToStringParamName());

// The library's stepwise report goes to --output; a model without its columns is one line with
// status 2 and no file.
TEST_F(KelmathCommand, StepwiseWritesTheLibrarysReport) {
  const std::string data = Data("stepwise_stackloss.csv");
  const auto run = Run("stepwise " + data + " --formula 'stack.loss ~ .' --output r.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(Read("r.txt").find("Number of Parameter(s) = 3"), std::string::npos);
  const auto bad = Run("stepwise " + data + " --response loss --json j.json");
  EXPECT_EQ(bad.status, 2);
  EXPECT_FALSE(Exists("j.json"));
}

}  // namespace
