// `kelmath nls`: nonlinear models written as formulas, run end to end. Against R's nls on the
// models of the guide and the nonlinear demonstrations (tests/reference/r/nls_command.R), against
// the certified values of the NIST StRD nonlinear problems from both of NIST's starts (the same
// LRE targets as the library's own NIST test), the comparison of rival models against R's F
// test, a fit that did not converge, and each refusal with its exact message and no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "../../linear_regression/linear_regression_test_data.h"
#include "../../nonlinear/kel_nist_nonlinear_problem.h"
#include "kel_test_support.h"
#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;
using lr_test::Reference;
using lr_test::RelativelyNear;

struct RCase {
  const char* name;  // nls_<name>.csv and .txt
};
void PrintTo(const RCase& value, std::ostream* os) {
  *os << value.name;
}

class NlsAgainstR : public KelmathCommand, public ::testing::WithParamInterface<RCase> {};

// The estimates, standard errors, t and P values, residual standard error, degrees of freedom
// and residual sum of squares of summary(nls()). R stops at a relative offset of 1e-7, the
// library at steps of 1.5e-8 of each parameter: both reach the same sum of squares, while along
// a flat valley of it (the outlier model's b4 has t = 0.3) the estimates may part by a few 1e-7
// of their standard errors, which is where their difference is measured.
TEST_P(NlsAgainstR, SummaryIsRsNls) {
  const std::string name = GetParam().name;
  const Reference r("r/nls_" + name + ".txt");
  std::string arguments = "nls " + Data("nls_" + name + ".csv") + " --model '" + r.Text("formula") +
                          "' --start " + r.Text("start") + " --json r.json";
  if (!r.Text("weights").empty()) arguments += " --weights " + r.Text("weights");
  const auto run = Run(arguments);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const auto j = nlohmann::json::parse(Read("r.json"));
  ASSERT_EQ(j["models"].size(), 1u);
  const auto& model = j["models"][0];
  EXPECT_TRUE(model["converged"].get<bool>());
  const auto& parameters = model["parameters"];
  for (size_t k = 1; k <= parameters.size(); ++k) {
    SCOPED_TRACE(parameters[k - 1]["name"].get<std::string>());
    const auto& p = parameters[k - 1];
    const int i = static_cast<int>(k);
    EXPECT_LE(std::fabs(p["estimate"].get<double>() - r("b", i)), 1e-5 * r("se", i));
    EXPECT_TRUE(RelativelyNear(p["std_error"].get<double>(), r("se", i), 1e-5));
    EXPECT_TRUE(RelativelyNear(p["t_value"].get<double>(), r("t", i), 1e-5));
    EXPECT_TRUE(RelativelyNear(p["p_value"].get<double>(), r("p", i), 1e-5));
  }
  EXPECT_TRUE(RelativelyNear(model["sigma"].get<double>(), r("sigma"), 1e-10));
  EXPECT_TRUE(RelativelyNear(model["rss"].get<double>(), r("rss"), 1e-10));
  EXPECT_EQ(model["df"].get<int>(), static_cast<int>(r("df")));
  EXPECT_NE(run.out.find("Formula: " + r.Text("formula") + "\n"), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Models, NlsAgainstR,
                         ::testing::Values(RCase{"saturation"}, RCase{"first_order"},
                                           RCase{"puromycin"}, RCase{"outlier"},
                                           RCase{"selection"}),
                         [](const ::testing::TestParamInfo<RCase>& info) {
                           return std::string(info.param.name);
                         });

// Known variances 1/w instead of R's weights w: the same estimates and residual sum of squares,
// and the standard errors of the known variances, R's divided by its residual standard error
// (vcov = sigma^2 (J'WJ)^-1); t and P follow from them.
TEST_F(KelmathCommand, NlsKnownVariancesGiveRsStandardErrorsOverSigma) {
  const Reference r("r/nls_outlier.txt");
  std::string csv = kel_test::ReadFile(kel_test::ReferencePath("r/nls_outlier.csv"));
  std::string withVariances;
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  withVariances = line + ",\"v\"\n";
  while (std::getline(lines, line)) {
    char variance[40];
    std::snprintf(variance, sizeof variance, ",%.17g\n",
                  1.0 / std::stod(line.substr(line.rfind(',') + 1)));
    withVariances += line + variance;
  }
  Write("known.csv", withVariances);
  const auto run = Run("nls known.csv --model '" + r.Text("formula") + "' --start " +
                       r.Text("start") + " --variances v --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto model = nlohmann::json::parse(Read("r.json"))["models"][0];
  const double sigma = r("sigma");
  for (int i = 1; i <= 4; ++i) {
    const auto& p = model["parameters"][static_cast<size_t>(i - 1)];
    EXPECT_LE(std::fabs(p["estimate"].get<double>() - r("b", i)), 1e-5 * r("se", i));
    EXPECT_TRUE(RelativelyNear(p["std_error"].get<double>(), r("se", i) / sigma, 1e-5));
  }
  EXPECT_TRUE(RelativelyNear(model["rss"].get<double>(), r("rss"), 1e-10));
  EXPECT_NE(run.out.find("(in units of the known standard deviation)"), std::string::npos);
}

// The guide's errors-in-x example (docs/examples/x_errors.cpp): y = 2 x / (0.5 + x) to four
// digits at x = 0.2 .. 8, the x measured off by a few hundredths with variance 1e-3. The
// parameters come back near (2, 0.5), as the library's report of the same fit says.
TEST_F(KelmathCommand, NlsErrorsInXReestimateTheVariable) {
  Write("x.csv", "x,y\n0.21,0.5714\n0.49,1\n1.02,1.3333\n1.97,1.6\n4.05,1.7778\n7.9,1.8824\n");
  const auto run = Run(
      "nls x.csv --model 'y ~ b1*x/(b2 + x)' --start b1=1,b2=1 --variances 1e-4 --variance-df 5 "
      "--errors-in x=1e-3 --json r.json --output report.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto model = nlohmann::json::parse(Read("r.json"))["models"][0];
  EXPECT_TRUE(model["converged"].get<bool>());
  EXPECT_NEAR(model["parameters"][0]["estimate"].get<double>(), 2.0, 0.02);
  EXPECT_NEAR(model["parameters"][1]["estimate"].get<double>(), 0.5, 0.02);
  EXPECT_NE(run.out.find("Errors in the independent variables"), std::string::npos);
  EXPECT_NE(Read("report.txt").find("Independent Variables"), std::string::npos);
}

// ---------------------------------------------------------------- NIST StRD

struct NistCase {
  const char* name;
  const char* model;  // R's notation, parameters b1..bn
};
void PrintTo(const NistCase& value, std::ostream* os) {
  *os << value.name;
}

// The problem's data as a CSV file of columns x and y, each number with 17 digits.
std::string CsvOf(const kel_nist::NistProblem& p) {
  std::string csv = "x,y\n";
  for (size_t i = 0; i < p.x.size(); ++i) {
    char row[80];
    std::snprintf(row, sizeof row, "%.17g,%.17g\n", p.x[i], p.y[i]);
    csv += row;
  }
  return csv;
}

std::string StartOption(const std::vector<double>& start) {
  std::string text;
  for (size_t k = 0; k < start.size(); ++k) {
    char value[40];
    std::snprintf(value, sizeof value, "%.17g", start[k]);
    text += (k > 0 ? ",b" : "b") + std::to_string(k + 1) + "=" + value;
  }
  return text;
}

class NlsNist : public KelmathCommand, public ::testing::WithParamInterface<NistCase> {};

// Parameters and residual sum of squares to 6 correct digits, standard errors to 4, from both
// starts, with the model read as a formula and differentiated by central differences.
TEST_P(NlsNist, CertifiedValuesFromBothStarts) {
  const kel_nist::NistProblem p = kel_nist::ReadProblem(GetParam().name);
  ASSERT_FALSE(p.certified.empty());
  Write("data.csv", CsvOf(p));
  for (int start = 1; start <= 2; ++start) {
    SCOPED_TRACE("start " + std::to_string(start));
    const auto run = Run("nls data.csv --model '" + std::string(GetParam().model) + "' --start " +
                         StartOption(start == 1 ? p.start1 : p.start2) + " --json r.json");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto model = nlohmann::json::parse(Read("r.json"))["models"][0];
    EXPECT_TRUE(model["converged"].get<bool>()) << model["stop_reason"];
    double parameterLre = 99.0, errorLre = 99.0;
    for (size_t k = 0; k < p.certified.size(); ++k) {
      const auto& row = model["parameters"][k];
      parameterLre = std::min(
          parameterLre, kel_test::LogRelativeError(row["estimate"].get<double>(), p.certified[k]));
      errorLre = std::min(errorLre, kel_test::LogRelativeError(row["std_error"].get<double>(),
                                                               p.certifiedErrors[k]));
    }
    const double rssLre = kel_test::LogRelativeError(model["rss"].get<double>(), p.rss);
    std::printf("| %-8s | %d | %5.1f | %5.1f | %5.1f |\n", GetParam().name, start, parameterLre,
                errorLre, rssLre);
    EXPECT_GE(parameterLre, 6.0);
    EXPECT_GE(rssLre, 6.0);
    EXPECT_GE(errorLre, 4.0);
  }
}

#define NLS_PI "3.14159265358979323846"
INSTANTIATE_TEST_SUITE_P(
    StRD, NlsNist,
    ::testing::Values(
        NistCase{"Misra1a", "y ~ b1*(1-exp(-b2*x))"},
        NistCase{"Chwirut2", "y ~ exp(-b1*x)/(b2+b3*x)"},
        NistCase{"Lanczos3", "y ~ b1*exp(-b2*x) + b3*exp(-b4*x) + b5*exp(-b6*x)"},
        NistCase{"Gauss1", "y ~ b1*exp(-b2*x) + b3*exp(-(x-b4)^2/b5^2) + b6*exp(-(x-b7)^2/b8^2)"},
        NistCase{"DanWood", "y ~ b1*x^b2"},
        NistCase{"Kirby2", "y ~ (b1 + b2*x + b3*x^2)/(1 + b4*x + b5*x^2)"},
        NistCase{"Misra1c", "y ~ b1*(1-(1+2*b2*x)^(-0.5))"},
        NistCase{"ENSO", "y ~ b1 + b2*cos(2*" NLS_PI "*x/12) + b3*sin(2*" NLS_PI
                         "*x/12) + b5*cos(2*" NLS_PI "*x/b4) + b6*sin(2*" NLS_PI
                         "*x/b4) + b8*cos(2*" NLS_PI "*x/b7) + b9*sin(2*" NLS_PI "*x/b7)"},
        NistCase{"Lanczos2", "y ~ b1*exp(-b2*x) + b3*exp(-b4*x) + b5*exp(-b6*x)"}),
    [](const ::testing::TestParamInfo<NistCase>& info) { return std::string(info.param.name); });
#undef NLS_PI

// ---------------------------------------------------------------- rivals, design, convergence

// The guide's two rival models against the known variance 1e-4 on 5 degrees of freedom: the
// mean square errors, F and P values of R's F test (nls_rival_comparison.txt); model 2 rejected.
// The search over [0.1, 10] proposes x = 10, where the models part most (the guide's example).
TEST_F(KelmathCommand, NlsRivalsAreComparedAsRsFTestAndTheSearchProposesAnExperiment) {
  const Reference r("r/nls_rival_comparison.txt");
  const auto run = Run("nls " + Data("nls_saturation.csv") +
                       " --model 'y ~ b1 * x/(b2 + x)' --start b1=1,b2=1"
                       " --model 'y ~ b1 * (1 - exp(-b2 * x))' --start b1=1,b2=1"
                       " --variances 1e-4 --variance-df 5 --design 0.1:10 --json r.json"
                       " --output report.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("r.json"));
  const auto& rows = j["comparison"]["models"];
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(j["comparison"]["test"], "f_mean_square_error");
  for (int k = 1; k <= 2; ++k) {
    SCOPED_TRACE(k);
    const auto& row = rows[static_cast<size_t>(k - 1)];
    EXPECT_TRUE(RelativelyNear(row["value"].get<double>(), r("mse", k), 1e-7));
    EXPECT_TRUE(RelativelyNear(row["statistic"].get<double>(), r("f", k), 1e-7));
    EXPECT_TRUE(RelativelyNear(row["p_value"].get<double>(), r("p", k), 1e-6));
    EXPECT_EQ(row["rejected"].get<bool>(), k == 2);
  }
  const auto& design = j["design"];
  EXPECT_EQ(design["candidates"], 100);
  EXPECT_EQ(design["balanced"], nlohmann::json::array({10.0}));
  EXPECT_EQ(design["couples"][0]["models"], nlohmann::json::array({1, 2}));
  EXPECT_GE(design["couples"][0]["tij"].get<double>(), 1.2);
  EXPECT_NE(run.out.find("Next experiment (balanced between discrimination and estimation): "
                         "x = 10\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(Read("report.txt").find("Model 2: y ~ b1 * (1 - exp(-b2 * x)); b1 = b1 b2 = b2"),
            std::string::npos);
}

// Without known variances the same rivals are ranked by their sums of squares (R's deviances)
// and their ratio, and no P value claims to test the fit: the chi-square table would take the
// residuals in units of the response as having unit variance.
TEST_F(KelmathCommand, NlsRivalsWithoutVariancesAreRankedButNotTested) {
  const Reference saturation("r/nls_saturation.txt");
  const Reference firstOrder("r/nls_first_order.txt");
  const auto run = Run("nls " + Data("nls_saturation.csv") +
                       " --model 'y ~ b1 * x/(b2 + x)' --start b1=1,b2=1"
                       " --model 'y ~ b1 * (1 - exp(-b2 * x))' --start b1=1,b2=1 --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto comparison = nlohmann::json::parse(Read("r.json"))["comparison"];
  EXPECT_EQ(comparison["test"], "none");
  const auto& rows = comparison["models"];
  EXPECT_TRUE(RelativelyNear(rows[0]["value"].get<double>(), saturation("rss"), 1e-10));
  EXPECT_TRUE(RelativelyNear(rows[1]["value"].get<double>(), firstOrder("rss"), 1e-10));
  EXPECT_TRUE(
      RelativelyNear(rows[1]["ratio"].get<double>(), firstOrder("rss") / saturation("rss"), 1e-10));
  for (const auto& row : rows) {
    EXPECT_TRUE(row["p_value"].is_null());
    EXPECT_FALSE(row["rejected"].get<bool>());
  }
  EXPECT_NE(run.out.find("no test of the fit without known variances: give --variances"),
            std::string::npos)
      << run.out;
}

// y = 2x exactly but for the last row: y ~ b1 x / (b2 + x) tends to it only as b1, b2 grow
// without end, so no estimate is a minimum. The fit must say so in every output.
TEST_F(KelmathCommand, NlsFitThatDidNotConvergeSaysSoEverywhere) {
  Write("line.csv", "x,y\n1,2\n2,4\n3,6\n4,8\n5,10\n6,12.1\n");
  const auto run = Run("nls line.csv --model 'y ~ b1*x/(b2+x)' --start b1=1,b2=1 --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto model = nlohmann::json::parse(Read("r.json"))["models"][0];
  EXPECT_FALSE(model["converged"].get<bool>());
  const std::string reason = model["stop_reason"].get<std::string>();
  EXPECT_TRUE(reason == "no_progress" || reason == "iteration_limit") << reason;
  EXPECT_NE(run.out.find("*** Estimation NOT converged: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(": these are not least-squares estimates ***"), std::string::npos);
  EXPECT_NE(run.err.find("kelmath: warning: the estimation of model 1 did not converge ("),
            std::string::npos)
      << run.err;
}

// ---------------------------------------------------------------- refusals

struct Refusal {
  const char* name;
  const char* arguments;  // after "nls data.csv", before "--json r.json"
  const char* message;    // the whole of standard error
};
void PrintTo(const Refusal& value, std::ostream* os) {
  *os << value.name;
}

class NlsRefusal : public KelmathCommand, public ::testing::WithParamInterface<Refusal> {};

TEST_P(NlsRefusal, OneLineExitTwoAndNoFile) {
  Write("data.csv", "x,y,w,v\n1,2,1,1\n2,3.9,0,1\n3,6.2,1,-1\n4,7.8,2,1\n");
  const auto run = Run(std::string("nls data.csv ") + GetParam().arguments + " --json r.json");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, GetParam().message);
  EXPECT_FALSE(Exists("r.json"));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, NlsRefusal,
    ::testing::Values(
        Refusal{"BadFormula", "--model 'y ~ b1*(1-exp(-b2*x)' --start b1=1,b2=1",
                "kelmath: data.csv: the model \"y ~ b1*(1-exp(-b2*x)\" at position 21: \")\" "
                "expected\n"},
        Refusal{"UnknownFunction", "--model 'y ~ b1*foo(x)' --start b1=1",
                "kelmath: data.csv: the model \"y ~ b1*foo(x)\" at position 8: unknown function "
                "\"foo\"\n"},
        Refusal{"UnknownName", "--model 'y ~ b1*(1-exp(-b2*z))' --start b1=1,b2=1",
                "kelmath: data.csv: the model 'y ~ b1*(1-exp(-b2*z))' reads 'z', which is "
                "neither a column of the data nor a parameter of its --start\n"},
        Refusal{"StartMissesAParameter", "--model 'y ~ b1*(1-exp(-b2*x))' --start b1=1",
                "kelmath: data.csv: the model 'y ~ b1*(1-exp(-b2*x))' reads 'b2', which is "
                "neither a column of the data nor a parameter of its --start\n"},
        Refusal{"StartNamesAnUnusedParameter",
                "--model 'y ~ b1*(1-exp(-b2*x))' --start b1=1,b2=1,b3=2",
                "kelmath: data.csv: --start of the model 'y ~ b1*(1-exp(-b2*x))' names 'b3', "
                "which the model does not use\n"},
        Refusal{"StartIsNotANumber", "--model 'y ~ b1*x' --start b1=abc",
                "kelmath: data.csv: --start of the model 'y ~ b1*x': 'b1=abc' is not "
                "NAME=NUMBER\n"},
        Refusal{"StartsDoNotPairWithModels", "--model 'y ~ b1*x' --start b1=1 --model 'y ~ b2*x^2'",
                "kelmath: data.csv: each --model needs its own --start after it: 2 models, 1 "
                "starts\n"},
        Refusal{"ZeroWeight", "--model 'y ~ b1*x' --start b1=1 --weights w",
                "kelmath: data.csv: line 3, column 'w': the weight '0' is not a positive "
                "number\n"},
        Refusal{"NegativeVariance", "--model 'y ~ b1*x' --start b1=1 --variances v",
                "kelmath: data.csv: line 4, column 'v': the variance '-1' is not a positive "
                "number\n"},
        Refusal{"NaNAtTheStart", "--model 'y ~ b1*log(x - 2)' --start b1=1",
                "kelmath: data.csv: the model 'y ~ b1*log(x - 2)' is NaN at its start on data "
                "row 1\n"},
        Refusal{"InfiniteAtTheStart", "--model 'y ~ b1*x/(b2 - x)' --start b1=1,b2=1",
                "kelmath: data.csv: the model 'y ~ b1*x/(b2 - x)' is infinite at its start on "
                "data row 1\n"},
        Refusal{"ErrorsInXWithoutAVariance", "--model 'y ~ b1*x' --start b1=1 --errors-in x=0.1",
                "kelmath: data.csv: --errors-in needs --variances NUMBER: the known variance of "
                "the response, against which the errors of the independent variables are "
                "weighed\n"},
        Refusal{"EmptyDesign", "--model 'y ~ b1*x' --start b1=1 --design 5:0",
                "kelmath: --design '5:0' is not MIN:MAX with MIN < MAX\n"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

}  // namespace
