// `kelmath predict`: the fitted values and the confidence and prediction intervals of new rows
// against R's predict(lm, newdata, interval =, level =) (tests/reference/r/predictions.R), with
// factors, interactions whose factor has no margin, transformations, weights and a row with a
// missing value; the same predictions by --columns; and the faults of a new file, each one line
// with exit status 2 and no result file.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "../../linear_regression/linear_regression_test_data.h"
#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;
using lr_test::Reference;
using lr_test::RelativelyNear;

constexpr double kTight = 1e-9;

// The lines of a CSV text split at commas (the tests' files quote nothing).
std::vector<std::vector<std::string>> Fields(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) fields.push_back(cell);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    rows.push_back(fields);
  }
  return rows;
}

struct PredictCase {
  const char* name;  // predict_<name>.txt
};
void PrintTo(const PredictCase& value, std::ostream* os) {
  *os << value.name;
}

const PredictCase kCases[] = {{"cars93_confidence"},
                              {"cars93_prediction"},
                              {"mtcars_weighted"},
                              {"tooth_interaction"},
                              {"airquality_none"}};

class PredictAgainstR : public KelmathCommand, public ::testing::WithParamInterface<PredictCase> {};

TEST_P(PredictAgainstR, FitAndIntervalsAreRsPredict) {
  const std::string name = GetParam().name;
  const Reference r("r/predict_" + name + ".txt");
  std::string command = "predict " + Data("formula_" + r.Text("data") + ".csv") + " --formula '" +
                        r.Text("formula") + "' --new " + Data("predict_" + name + "_new.csv") +
                        " --interval " + r.Text("interval") + " --level " + r.Text("level") +
                        " --output p.csv";
  if (!r.Text("weights").empty()) command += " --weights " + r.Text("weights");
  const auto run = Run(command);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  const auto rows = Fields(Read("p.csv"));
  const bool interval = r.Text("interval") != "none";
  const size_t added = interval ? 3 : 1;
  ASSERT_EQ(rows.size(), static_cast<size_t>(r("rows")) + 1);
  const std::vector<std::string>& header = rows[0];
  ASSERT_GE(header.size(), added);
  EXPECT_EQ(header[header.size() - added], "fit");
  if (interval) {
    EXPECT_EQ(header[header.size() - 2], "lwr");
    EXPECT_EQ(header.back(), "upr");
  }
  for (size_t i = 1; i < rows.size(); ++i) {
    SCOPED_TRACE("new row " + std::to_string(i));
    ASSERT_EQ(rows[i].size(), header.size());
    const int k = static_cast<int>(i);
    const std::vector<std::string> keys =
        interval ? std::vector<std::string>{"fit", "lwr", "upr"} : std::vector<std::string>{"fit"};
    for (size_t c = 0; c < keys.size(); ++c) {
      const std::string& cell = rows[i][header.size() - added + c];
      if (r.Text(keys[c] + "[" + std::to_string(k) + "]") == "NA") {
        EXPECT_EQ(cell, "NA") << keys[c];
      } else {
        EXPECT_TRUE(RelativelyNear(std::stod(cell), r(keys[c], k), kTight)) << keys[c];
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(RDataSets, PredictAgainstR, ::testing::ValuesIn(kCases),
                         ::testing::PrintToStringParamName());

// The new file's columns come first, as they stand; --columns predicts as the formula of the
// same columns; without --output the predictions go to standard output.
TEST_F(KelmathCommand, PredictByColumnsIsTheFormulasPrediction) {
  const std::string data = Data("formula_mtcars.csv");
  const std::string fresh = Data("predict_mtcars_weighted_new.csv");
  const auto formula = Run("predict " + data + " --formula 'mpg ~ wt + hp' --new " + fresh +
                           " --interval confidence");
  ASSERT_EQ(formula.status, 0) << formula.err;
  const auto columns = Run("predict " + data + " --response mpg --columns wt,hp --new " + fresh +
                           " --interval confidence");
  ASSERT_EQ(columns.status, 0) << columns.err;
  EXPECT_EQ(formula.out, columns.out);
  EXPECT_EQ(formula.out.substr(0, formula.out.find('\n')), "wt,hp,cyl,qsec,fit,lwr,upr");
}

// A weighted fit predicting new observations without their weights takes weight 1 and says so,
// as R's predict warns.
TEST_F(KelmathCommand, PredictWithoutNewWeightsSaysItTakesWeightOne) {
  Write("new.csv", "wt,cyl\n3,6\n");
  const auto run = Run("predict " + Data("formula_mtcars.csv") +
                       " --formula 'mpg ~ wt + factor(cyl)' --weights qsec --new new.csv "
                       "--interval prediction");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "kelmath: the new file has no column 'qsec': each new observation is taken to have "
            "weight 1 in the prediction intervals, as R's predict assumes\n");
}

// Each fault is one line naming the file and what is wrong, with status 2 and no output file.
TEST_F(KelmathCommand, PredictFaultsAreOneClearLine) {
  const std::string data = Data("formula_cars93.csv");
  Write("tiny.csv", "Weight,Type\n3000,Small\n2500,Tiny\n");
  Write("nocolumn.csv", "Type\nSmall\n");
  Write("text.csv", "Weight,Type\nheavy,Small\n");
  const struct {
    const char* file;
    const char* message;
  } cases[] = {
      {"tiny.csv", "tiny.csv: line 3: factor 'Type' has a level 'Tiny' that the fit has not seen"},
      {"nocolumn.csv",
       "nocolumn.csv: the formula \"log(Price) ~ Weight + Type\" at position 14: no column named "
       "'Weight'"},
      {"text.csv",
       "text.csv: the formula \"log(Price) ~ Weight + Type\" at position 14: line 2, column "
       "'Weight': 'heavy' is not a number; only a column by itself or factor(column) can be a "
       "factor"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto run = Run("predict " + data + " --formula 'log(Price) ~ Weight + Type' --new " +
                         c.file + " --output p.csv");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, std::string("kelmath: ") + c.message + "\n");
    EXPECT_FALSE(Exists("p.csv"));
  }
  const auto level =
      Run("predict " + data + " --formula 'Price ~ Weight' --new tiny.csv --level 1.5");
  EXPECT_EQ(level.status, 2);
  const auto columns =
      Run("predict " + data + " --response Price --columns Weight,MPG.city --new tiny.csv");
  EXPECT_EQ(columns.status, 2);
  EXPECT_EQ(columns.err, "kelmath: tiny.csv: no column named 'MPG.city'\n");
}

}  // namespace
