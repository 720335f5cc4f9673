// Regression data from a table: the response and columns by name, rows with a missing value
// dropped and numbered as data rows, and every problem with the data in one line.
#include "regression_data.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kelmath_cli::ModelRequest;
using kelmath_cli::ParseCsv;
using kelmath_cli::PrepareRegressionData;

kelmath_cli::PreparedData Prepare(const std::string& text, const ModelRequest& request) {
  const auto parsed = ParseCsv(text);
  EXPECT_TRUE(parsed.Ok()) << parsed.problem;
  return PrepareRegressionData(parsed.table, request);
}

const char kTable[] =
    "y,a,b,label\n"
    "1,2,3,first\n"
    "2,NA,4,second\n"
    "3,5,,third\n"
    "4,6,7,fourth\n"
    "5,7,9,NA\n"
    "6,8,8,sixth\n";

TEST(RegressionData, RowsWithAMissingUsedValueAreDroppedByDataRowNumber) {
  const auto prepared = Prepare(kTable, {"y", {"a", "b"}, true});
  ASSERT_TRUE(prepared.Ok()) << prepared.problem;
  const auto& data = prepared.data;
  EXPECT_EQ(data.dataRows, 6);
  EXPECT_EQ(data.droppedRows, (std::vector<int>{2, 3}));
  EXPECT_EQ(data.usedRows, (std::vector<int>{1, 4, 5, 6}));
  EXPECT_EQ(data.parameterNames, (std::vector<std::string>{"(Intercept)", "a", "b"}));
  EXPECT_EQ(data.response, (std::vector<double>{1, 4, 5, 6}));
  ASSERT_EQ(data.regressors.size(), 4u * 3u);
  const auto second = data.Regressors(1);
  EXPECT_EQ(std::vector<double>(second.begin(), second.end()),
            (std::vector<double>{1.0, 6.0, 7.0}));
}

TEST(RegressionData, WithoutInterceptTheColumnsAloneAreParameters) {
  const auto prepared = Prepare(kTable, {"y", {"b"}, false});
  ASSERT_TRUE(prepared.Ok()) << prepared.problem;
  EXPECT_EQ(prepared.data.parameterNames, (std::vector<std::string>{"b"}));
  EXPECT_EQ(prepared.data.regressors, (std::vector<double>{3.0, 4.0, 7.0, 9.0, 8.0}));
  // Only b and y are used: row 2 (a missing) stays, row 3 (b missing) goes.
  EXPECT_EQ(prepared.data.droppedRows, (std::vector<int>{3}));
}

TEST(RegressionData, DefaultColumnsAreAllButTheResponse) {
  const auto prepared = Prepare("a,y,b\n1,2,3\n4,5,7\n2,1,1\n5,5,5\n", {"y", {}, true});
  ASSERT_TRUE(prepared.Ok()) << prepared.problem;
  EXPECT_EQ(prepared.data.parameterNames, (std::vector<std::string>{"(Intercept)", "a", "b"}));
  EXPECT_EQ(prepared.data.response[0], 2.0);
}

TEST(RegressionData, ProblemsNameTheColumnLineAndText) {
  EXPECT_EQ(Prepare(kTable, {"z", {"a"}, true}).problem, "no column named 'z'");
  EXPECT_EQ(Prepare(kTable, {"y", {"a", "c"}, true}).problem, "no column named 'c'");
  EXPECT_EQ(Prepare(kTable, {"y", {"a", "a"}, true}).problem, "column 'a' is used twice");
  EXPECT_EQ(Prepare("y,x,x\n1,2,3\n", {"y", {"x"}, true}).problem,
            "column 'x' appears twice (columns 2 and 3)");
  EXPECT_EQ(Prepare("y,x,y\n1,2,3\n", {"y", {"x"}, true}).problem,
            "column 'y' appears twice (columns 1 and 3)");
  EXPECT_EQ(Prepare(kTable, {"y", {"y"}, true}).problem, "column 'y' is used twice");
  // Text in a used column is an error even in a row dropped for another missing value.
  EXPECT_EQ(Prepare(kTable, {"y", {"a", "label"}, true}).problem,
            "line 2, column 'label': 'first' is not a number");
  EXPECT_EQ(Prepare("y,x\n1,2\n\n2,\"3,5\"\n", {"y", {"x"}, true}).problem,
            "line 4, column 'x': '3,5' is not a number (a decimal comma? try --decimal ',')");
}

TEST(RegressionData, TooFewCompleteRowsForTheModel) {
  // Three parameters need four rows; four remain of six.
  EXPECT_TRUE(Prepare(kTable, {"y", {"a", "b"}, true}).Ok());
  EXPECT_EQ(Prepare("y,a,b\n1,2,3\n2,3,NA\n3,4,6\n4,1,1\n", {"y", {"a", "b"}, true}).problem,
            "3 complete rows (1 dropped for missing values), but a model with 3 parameters "
            "needs at least 4");
  EXPECT_EQ(Prepare("y,a\n", {"y", {"a"}, true}).problem,
            "0 complete rows (0 dropped for missing values), but a model with 2 parameters "
            "needs at least 3");
}

}  // namespace
