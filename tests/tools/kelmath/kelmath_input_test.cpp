// The `kelmath regress` command on hostile input files: names that are not UTF-8, very long or
// holding control characters, repeated names, semicolon-separated files with decimal commas,
// CR-only line ends, blanks in --columns, and the library's warnings. The fits are checked
// against hand-worked least squares: x = 1..5, y = 2, 4, 5, 4, 5 gives slope 0.6 and intercept
// 2.2 (Sxy = 6, Sxx = 10, means 3 and 4); shifted by 0.5 both (x = 1.5..5.5, y = 2.5, ...) the
// slope stays 0.6 and the intercept is 4.5 - 0.6 * 3.5 = 2.4.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;

constexpr const char* kRows = "2,1\n4,2\n5,3\n4,4\n5,5\n";

// The summary line of the coefficient table that starts with the shown name.
std::string CoefficientLine(const std::string& summary, const std::string& shownName) {
  std::istringstream lines(summary);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(shownName + " ", 0) == 0) return line;
  return "";
}

double Estimate(const std::string& line, const std::string& shownName) {
  return std::stod(line.substr(shownName.size()));
}

TEST_F(KelmathCommand, NameNotUtf8IsReplacedInTheJsonAndTheRunSucceeds) {
  Write("d.csv", std::string("y,x\xFF\xC3(\n") + kRows);
  const auto run = Run("regress d.csv --response y --json r.json --plots plots");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("r.json"));
  EXPECT_EQ(j["coefficients"][1]["name"].get<std::string>(), "x\xEF\xBF\xBD\xEF\xBF\xBD(");
  EXPECT_NEAR(j["coefficients"][1]["estimate"].get<double>(), 0.6, 1e-14);
  EXPECT_NEAR(j["coefficients"][0]["estimate"].get<double>(), 2.2, 1e-14);
  // The summary shows the bytes that are not UTF-8 escaped.
  EXPECT_NEAR(Estimate(CoefficientLine(run.out, "x\\xFF\\xC3("), "x\\xFF\\xC3("), 0.6, 1e-5)
      << run.out;
  EXPECT_FALSE(Exists("KelFile.txt"));
}

TEST_F(KelmathCommand, LongAndOddNamesAreShortenedOrEscapedNeverAtTheCostOfNumbers) {
  const struct {
    std::string header;  // the name of x as the file writes it
    std::string shown;   // as the summary shows it
  } cases[] = {
      {std::string(10'000'000, 'L'), std::string(37, 'L') + "..."},
      {std::string("a\0b", 3), "a\\x00b"},
      {"\"a\nb\"", "a\\x0Ab"},
      {"\"a\rb\"", "a\\x0Db"},
      {"\x1B[31mred", "\\x1B[31mred"},
      {std::string(30, 'e') + "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
       std::string(30, 'e') + "\xC3\xA9\xC3\xA9\xC3\xA9..."},
  };
  for (const auto& c : cases) {
    Write("d.csv", "y," + c.header + "\n" + kRows);
    const auto run = Run("regress d.csv --response y --json r.json --output r.txt");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string line = CoefficientLine(run.out, c.shown);
    ASSERT_NE(line, "") << c.shown << "\n" << run.out.substr(0, 2000);
    EXPECT_NEAR(Estimate(line, c.shown), 0.6, 1e-5) << line;
    EXPECT_NEAR(Estimate(CoefficientLine(run.out, "(Intercept)"), "(Intercept)"), 2.2, 1e-5);
    EXPECT_LT(run.out.size(), 4000u);
    EXPECT_FALSE(Exists("KelFile.txt"));
  }
}

TEST_F(KelmathCommand, RepeatedColumnNameIsNamedAsSuch) {
  Write("d.csv", "y,x,x\n2,1,3\n4,2,1\n5,3,4\n4,4,1\n5,5,9\n");
  for (const char* arguments : {"--response y", "--response y --columns x", "--response x"}) {
    const auto run = Run(std::string("regress d.csv ") + arguments + " --json r.json");
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err, "kelmath: d.csv: column 'x' appears twice (columns 2 and 3)\n");
    EXPECT_FALSE(Exists("r.json"));
  }
}

TEST_F(KelmathCommand, SemicolonsAndDecimalCommasAreReadWhenAskedOrHinted) {
  Write("d.csv", "y;x\n2,5;1,5\n4,5;2,5\n5,5;3,5\n4,5;4,5\n5,5;5,5\n");
  Write("t.csv", "y\tx\n2.5\t1.5\n4.5\t2.5\n5.5\t3.5\n4.5\t4.5\n5.5\t5.5\n");
  for (const char* arguments :
       {"d.csv --decimal ,", "d.csv --sep ';' --decimal ,", "t.csv", "t.csv --sep tab"}) {
    const auto run = Run(std::string("regress ") + arguments + " --response y --json r.json");
    ASSERT_EQ(run.status, 0) << arguments << ": " << run.err;
    const auto j = nlohmann::json::parse(Read("r.json"));
    EXPECT_NEAR(j["coefficients"][0]["estimate"].get<double>(), 2.4, 1e-13) << arguments;
    EXPECT_NEAR(j["coefficients"][1]["estimate"].get<double>(), 0.6, 1e-13) << arguments;
  }
  std::remove((folder + "/r.json").c_str());
  const struct {
    const char* arguments;
    const char* message;
  } refusals[] = {
      {"d.csv",
       "kelmath: d.csv: line 2, column 'y': '2,5' is not a number (a decimal comma? "
       "try --decimal ',')\n"},
      {"d.csv --sep ,",
       "kelmath: d.csv: line 2: 3 fields where the header has 1 (fields "
       "separated by ';'? try --sep ';' --decimal ',')\n"},
      {"d.csv --sep , --decimal ,",
       "kelmath: --sep ',' and --decimal ',' cannot be used together\n"},
  };
  for (const auto& c : refusals) {
    const auto run = Run(std::string("regress ") + c.arguments + " --response y --json r.json");
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_EQ(run.err, c.message);
    EXPECT_FALSE(Exists("r.json"));
  }
}

TEST_F(KelmathCommand, CrOnlyAndCrLfLineEndsAreLines) {
  for (const char* end : {"\r", "\r\n"}) {
    std::string text = std::string("y,x\n") + kRows;
    std::string converted;
    for (const char c : text) converted += c == '\n' ? std::string(end) : std::string(1, c);
    Write("d.csv", converted);
    const auto run = Run("regress d.csv --response y --json r.json");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(Read("r.json"));
    EXPECT_EQ(j["rows_used"].get<int>(), 5);
    EXPECT_NEAR(j["coefficients"][1]["estimate"].get<double>(), 0.6, 1e-13);
  }
}

TEST_F(KelmathCommand, BlanksAroundNamesInColumnsAreIgnored) {
  Write("d.csv", "y,x,z\n2,1,0\n4,2,1\n5,3,0\n4,4,2\n5,5,0\n6,3,1\n");
  const auto run = Run("regress d.csv --response y --columns ' x , z' --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("r.json"));
  EXPECT_EQ(j["coefficients"][1]["name"].get<std::string>(), "x");
  EXPECT_EQ(j["coefficients"][2]["name"].get<std::string>(), "z");
}

// Half the rows on a line: the robust search ends with a median squared residual of about zero,
// which the library reports as "Robust PHASE ITERATIONS VALUE"; the user gets a sentence.
TEST_F(KelmathCommand, LibraryWarningsReachTheUserAsSentences) {
  std::string text = "y,x\n";
  for (int i = 1; i <= 12; ++i) text += std::to_string(2 * i) + "," + std::to_string(i) + "\n";
  text += "9,1\n3,7\n8,2\n1,9\n30,3\n";
  Write("d.csv", text);
  const auto run = Run("regress d.csv --response y --reports robust --output r.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("Robust "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.rfind("kelmath: warning: the robust fit stopped after ", 0), 0u) << run.err;
  EXPECT_EQ(run.err.find("Warning!!"), std::string::npos) << run.err;
  std::istringstream lines(run.err);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.rfind("kelmath: warning: ", 0) == 0 || line.rfind("kelmath: note: ", 0) == 0)
        << line;
  EXPECT_FALSE(Exists("KelFile.txt"));
}

}  // namespace
