// `kelmath regress --stream` against the same command holding the file in memory (itself
// checked against R by kelmath_command_test.cpp): on R's data sets and a rank-deficient design at
// scales 1, 1e150 and 1e-150, with every --se type, the summary line for line, every number of
// the JSON result, every row of the --observations file and the diagnostic plots to the byte, of
// few rows and of thousands (drawn as densities); then each kind of bad input with its exact
// one-line message, status 2 and no result file, not even a temporary one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;
using nlohmann::json;

// The two fits differ only in the order the rows are accumulated in (and their Householder
// reflections), so their numbers agree to rounding times the condition number.
constexpr double kTolerance = 1e-12;

struct DataSet {
  const char* name;
  const char* file;       // tests/reference/r/
  const char* arguments;  // after the file
};
void PrintTo(const DataSet& value, std::ostream* os) {
  *os << value.name;
}

// The data sets of kelmath_command_test.cpp; airquality drops 42 rows for missing values.
const DataSet kDataSets[] = {
    {"mtcars", "mtcars.csv", "--response mpg --columns wt,hp,qsec,am"},
    {"airquality", "airquality.csv", "--response Ozone --columns Solar.R,Wind,Temp"},
    {"swiss", "swiss.csv", "--response Fertility"},
    {"swiss_no_intercept", "swiss.csv", "--response Fertility --no-intercept"},
};
const std::vector<std::string> kStandardErrors = {"classical", "hc0", "hc1",  "hc2",
                                                  "hc3",       "hc4", "hc4m", "hc5"};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}

// The summary's lines but the Call line, which repeats the command line.
std::vector<std::string> WithoutCall(const std::string& summary) {
  std::vector<std::string> lines = Lines(summary);
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.rfind("Call: ", 0) == 0; }),
              lines.end());
  return lines;
}

// Every member of the in-memory result in the streamed one, numbers to kTolerance relative,
// except the observations, which a streamed result keeps in its --observations file only.
void ExpectSameJson(const json& memory, const json& streamed, const std::string& path) {
  if (memory.is_number() && !memory.is_number_integer()) {
    ASSERT_TRUE(streamed.is_number()) << path << ": " << streamed.dump();
    const double reference = memory.get<double>(), value = streamed.get<double>();
    EXPECT_LE(std::fabs(value - reference), kTolerance * std::fabs(reference))
        << path << ": " << value << " streamed, " << reference << " in memory";
    return;
  }
  ASSERT_EQ(memory.type(), streamed.type()) << path << ": " << streamed.dump();
  if (memory.is_object()) {
    for (auto item = memory.begin(); item != memory.end(); ++item) {
      ASSERT_TRUE(streamed.contains(item.key())) << path << "." << item.key();
      if (item.key() == "observations") continue;
      ExpectSameJson(item.value(), streamed[item.key()], path + "." + item.key());
    }
    for (auto item = streamed.begin(); item != streamed.end(); ++item)
      EXPECT_TRUE(memory.contains(item.key()) || (path.empty() && item.key() == "streamed"))
          << "streamed only: " << path << "." << item.key();
  } else if (memory.is_array()) {
    ASSERT_EQ(memory.size(), streamed.size()) << path;
    for (size_t i = 0; i < memory.size(); ++i)
      ExpectSameJson(memory[i], streamed[i], path + "[" + std::to_string(i) + "]");
  } else {
    EXPECT_EQ(memory, streamed) << path;
  }
}

// The in-memory file's rows and flags in the streamed one, in the same order, each number to
// kTolerance of its column's spread (a residual near zero is as accurate as the others in
// absolute terms). Returns the rows the in-memory file flags.
int ExpectSameObservations(const std::string& memory, const std::string& streamed) {
  const std::vector<std::string> a = Lines(memory), b = Lines(streamed);
  EXPECT_FALSE(a.empty());
  if (a.size() != b.size() || a.empty()) {
    ADD_FAILURE() << a.size() << " lines in memory, " << b.size() << " streamed";
    return -1;
  }
  EXPECT_EQ(a[0], b[0]);
  std::vector<std::vector<std::string>> rowsA, rowsB;
  for (size_t i = 1; i < a.size(); ++i) {
    rowsA.push_back(Fields(a[i]));
    rowsB.push_back(Fields(b[i]));
  }
  constexpr size_t kFirstFlag = 6;  // row, then 5 numbers, then the flags
  std::vector<double> spread(kFirstFlag, 0.0);
  for (size_t k = 1; k < kFirstFlag; ++k) {
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (const auto& f : rowsA) {
      low = std::min(low, std::strtod(f.at(k).c_str(), nullptr));
      high = std::max(high, std::strtod(f.at(k).c_str(), nullptr));
    }
    spread[k] = high - low;
  }
  int flagged = 0;
  for (size_t i = 0; i < rowsA.size(); ++i) {
    const auto &x = rowsA[i], &y = rowsB[i];
    if (x.size() != y.size()) {
      ADD_FAILURE() << a[i + 1] << "\n" << b[i + 1];
      continue;
    }
    EXPECT_EQ(x[0], y[0]) << "line " << i + 2;
    for (size_t k = 1; k < kFirstFlag; ++k) {
      const double u = std::strtod(x[k].c_str(), nullptr), v = std::strtod(y[k].c_str(), nullptr);
      EXPECT_LE(std::fabs(u - v), kTolerance * spread[k])
          << "line " << i + 2 << ", column " << k << ": " << y[k] << " streamed, " << x[k];
    }
    bool any = false;
    for (size_t k = kFirstFlag; k < x.size(); ++k) {
      EXPECT_EQ(x[k], y[k]) << "line " << i + 2 << ", flag " << k;
      any = any || x[k] == "TRUE";
    }
    flagged += any ? 1 : 0;
  }
  return flagged;
}

const char* const kPlots[] = {"residuals_fitted.svg", "qq.svg", "scale_location.svg",
                              "residuals_leverage.svg"};

class StreamedRegression : public KelmathCommand {
 protected:
  // Runs "kelmath regress ARGUMENTS" with and without --stream and compares what they print
  // and write.
  void ExpectSameAsInMemory(const std::string& arguments) {
    const auto memory =
        Run("regress " + arguments + " --json m.json --observations m.csv --plots mp");
    ASSERT_EQ(memory.status, 0) << memory.err;
    const auto streamed =
        Run("regress " + arguments + " --json s.json --observations s.csv --plots sp --stream");
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    for (const char* plot : kPlots)
      EXPECT_EQ(Read(std::string("sp/") + plot), Read(std::string("mp/") + plot)) << plot;
    EXPECT_EQ(streamed.err, memory.err);
    const json m = json::parse(Read("m.json")), s = json::parse(Read("s.json"));
    ExpectSameJson(m, s, "");
    EXPECT_EQ(s["observations"], json::array());
    const int flagged = ExpectSameObservations(Read("m.csv"), Read("s.csv"));

    // The streamed member: the file's data rows, the passes the summary names, the flagged rows.
    const json& about = s["streamed"];
    const int dataRows = m["rows_used"].get<int>() + static_cast<int>(m["dropped_rows"].size());
    EXPECT_EQ(about["data_rows"].get<int>(), dataRows);
    EXPECT_EQ(about["flagged_rows"].get<int>(), flagged);
    const int passes = about["passes"].get<int>();
    EXPECT_GE(passes, 2);

    // The summaries: line for line, the streamed one with its Streamed line after the Data line.
    std::vector<std::string> lines = WithoutCall(streamed.out);
    const auto data = std::find_if(lines.begin(), lines.end(),
                                   [](const std::string& l) { return l.rfind("Data: ", 0) == 0; });
    ASSERT_TRUE(data != lines.end() && data + 1 != lines.end()) << streamed.out;
    const std::string digits = std::to_string(dataRows);
    std::string rowsRead;  // with a comma every three digits
    for (size_t i = 0; i < digits.size(); ++i) {
      if (i > 0 && (digits.size() - i) % 3 == 0) rowsRead += ',';
      rowsRead += digits[i];
    }
    EXPECT_EQ(*(data + 1), "Streamed: " + rowsRead + " rows read in " + std::to_string(passes) +
                               " passes over the file, none held in memory");
    lines.erase(data + 1);
    // More than ten flagged rows send the reader to the observations file, named differently.
    for (std::string& line : lines) {
      const size_t at = line.find(": see s.csv");
      if (at != std::string::npos) line.replace(at, 11, ": see m.csv");
    }
    EXPECT_EQ(lines, WithoutCall(memory.out));
  }
};

class StreamedOnRData : public StreamedRegression,
                        public ::testing::WithParamInterface<std::tuple<DataSet, std::string>> {};

TEST_P(StreamedOnRData, PrintsAndWritesWhatTheInMemoryFitDoes) {
  const auto& [data, se] = GetParam();
  ExpectSameAsInMemory(Data(data.file) + " " + data.arguments + " --se " + se);
}

INSTANTIATE_TEST_SUITE_P(RDataSetsAndCovariances, StreamedOnRData,
                         ::testing::Combine(::testing::ValuesIn(kDataSets),
                                            ::testing::ValuesIn(kStandardErrors)),
                         [](const auto& info) {
                           return std::get<0>(info.param).name + ("_" + std::get<1>(info.param));
                         });

// y = 1 + 2 x1 - x2 + 0.5 w + noise with z = x1 + x2 exactly: z is dropped as R's lm drops it.
// All values scaled by `scale`, which the fit and its diagnostics must not feel.
std::string DependentDesign(double scale) {
  std::string csv = "y,x1,x2,z,w\n";
  char line[160];
  for (int i = 1; i <= 40; ++i) {
    const double x1 = std::sin(1.3 * i), x2 = std::cos(0.7 * i) + 0.1 * i, w = (i % 7) - 3.0;
    const double y = 1.0 + 2.0 * x1 - x2 + 0.5 * w + 0.3 * std::sin(5.1 * i);
    const double a = x1 * scale, b = x2 * scale;
    std::snprintf(line, sizeof line, "%.17g,%.17g,%.17g,%.17g,%.17g\n", y * scale, a, b, a + b,
                  w * scale);
    csv += line;
  }
  return csv;
}

TEST_F(StreamedRegression, DropsTheSameDependentColumnAtEveryScale) {
  for (const double scale : {1.0, 1e150, 1e-150}) {
    SCOPED_TRACE("scale " + std::to_string(std::log10(scale)));
    Write("dependent.csv", DependentDesign(scale));
    for (const char* se : {"classical", "hc3", "hc5"}) {
      SCOPED_TRACE(se);
      ExpectSameAsInMemory("dependent.csv --response y --se " + std::string(se));
      const auto run = Run("regress dependent.csv --response y --stream --json r.json");
      EXPECT_NE(run.out.find("Column 'z' is dropped (NA): it is a linear combination of the "
                             "earlier columns, within 1e-07 of its length.\n"),
                std::string::npos)
          << run.out;
      EXPECT_TRUE(json::parse(Read("r.json"))["coefficients"][3]["estimate"].is_null());
    }
  }
}

// A row alone in its column has leverage 1: HC0 stays defined, HC3 and HC5 are not, and the
// row is named alike.
TEST_F(StreamedRegression, NamesTheSameUnitLeverageRow) {
  std::string csv = "y,x,alone\n";
  char line[96];
  for (int i = 1; i <= 30; ++i) {
    std::snprintf(line, sizeof line, "%.17g,%.17g,%d\n", std::cos(2.1 * i) + 0.1 * i,
                  std::sin(0.9 * i), i == 23 ? 1 : 0);
    csv += line;
  }
  Write("unit.csv", csv);
  for (const char* se : {"hc0", "hc3", "hc5"}) {
    SCOPED_TRACE(se);
    ExpectSameAsInMemory("unit.csv --response y --se " + std::string(se));
    EXPECT_EQ(json::parse(Read("s.json"))["unit_leverage_rows"], json::array({23}));
  }
}

// y = 1 + 0.1 x1 - 0.05 x2 + noise (a sum of uniforms, as the normal) over rows rows, with rows
// 101 to 103 one and the same point far above the plane and row 400 far out in x1. The effects
// are of the noise's size: a t far out in the tail would not give its P to 1e-12.
std::string ManyRows(int rows) {
  kelmath_test::GeneratedNumbers numbers(2024);
  std::ostringstream csv;
  csv.precision(17);
  csv << "y,x1,x2\n";
  for (int row = 1; row <= rows; ++row) {
    double x1 = numbers.Uniform(), x2 = numbers.Uniform(), noise = numbers.Normal();
    if (row >= 101 && row <= 103) x1 = x2 = 0.5, noise = 40.0;
    if (row == 400) x1 = 25.0, noise = 6.0;
    csv << 1.0 + 0.1 * x1 - 0.05 * x2 + noise << ',' << x1 << ',' << x2 << '\n';
  }
  return csv.str();
}

// Above 2,000 rows the panels are densities with the flagged and most extreme rows drawn over
// them, which the streamed fit counts in a pass of its own: the same images, whatever the number
// of bins a Q-Q rank crosses.
TEST_F(StreamedRegression, DrawsTheDensitiesOfThousandsOfRowsAsTheFitInMemory) {
  Write("many.csv", ManyRows(6000));
  ExpectSameAsInMemory("many.csv --response y");
  const std::string qq = Read("sp/qq.svg");
  EXPECT_NE(qq.find(">6,000 points in</text>"), std::string::npos);
  EXPECT_NE(qq.find("data-row=\"400\""), std::string::npos);
}

// An exact fit of 3,000 rows: every standardized residual is undefined (0 / 0), so the residual
// panel is a density and the other three have no point, as in memory.
TEST_F(StreamedRegression, DrawsAnExactFitOfThousandsOfRowsAsTheFitInMemory) {
  std::string csv = "y,x\n";
  for (int i = 1; i <= 3000; ++i)
    csv += std::to_string(1 + 2 * (i % 97)) + "," + std::to_string(i % 97) + "\n";
  Write("exact.csv", csv);
  ExpectSameAsInMemory("exact.csv --response y");
  EXPECT_EQ(Read("sp/qq.svg").find("class=\"density\""), std::string::npos);
  EXPECT_NE(Read("sp/residuals_fitted.svg").find("class=\"density\""), std::string::npos);
}

// Above 20,000 rows the smooth goes through one row in every few rather than through points
// evenly spaced in x, and says so; all else is the same.
TEST_F(StreamedRegression, SmoothsASampleOfTheRowsAboveTwentyThousand) {
  Write("many.csv", ManyRows(50000));
  ASSERT_EQ(Run("regress many.csv --response y --plots mp").status, 0);
  ASSERT_EQ(Run("regress many.csv --response y --plots sp --stream").status, 0);
  const auto withoutSmooth = [](const std::string& svg) {
    std::vector<std::string> kept;
    for (const std::string& line : Lines(svg)) {
      if (line.find("class=\"smoother\"") != std::string::npos) continue;
      if (line.find("points,</text>") != std::string::npos) continue;
      if (line.find("one row in 3)</text>") != std::string::npos) continue;
      if (line.find("(on 20,000 points</text>") != std::string::npos) continue;
      if (line.find("evenly spaced in x)</text>") != std::string::npos) continue;
      kept.push_back(line);
    }
    return kept;
  };
  for (const char* plot : kPlots) {
    SCOPED_TRACE(plot);
    const std::string memory = Read(std::string("mp/") + plot);
    const std::string streamed = Read(std::string("sp/") + plot);
    EXPECT_EQ(withoutSmooth(streamed), withoutSmooth(memory));
    if (std::string(plot) == "qq.svg") continue;
    EXPECT_NE(streamed.find(">(on 16,667 points,</text>"), std::string::npos);
    EXPECT_NE(streamed.find(">one row in 3)</text>"), std::string::npos);
    EXPECT_NE(streamed.find("class=\"smoother\""), std::string::npos);
  }
}

// A file larger than --stream-above is streamed as with --stream, unless an option needs it in
// memory; below it, and by default (1024 MiB), it is held.
TEST_F(StreamedRegression, StreamsAFileLargerThanTheThresholdUnlessAnOptionNeedsItHeld) {
  const std::string cars = "regress " + Data("mtcars.csv") + " --response mpg --columns wt,hp";
  const std::string streamed = "Streamed: 32 rows read in";
  EXPECT_NE(Run(cars + " --stream-above 0.001").out.find(streamed), std::string::npos);
  EXPECT_EQ(Run(cars + " --stream-above 1").out.find(streamed), std::string::npos);
  EXPECT_EQ(Run(cars).out.find(streamed), std::string::npos);
  const auto held = Run(cars + " --stream-above 0.001 --reports least-squares");
  EXPECT_EQ(held.status, 0) << held.err;
  EXPECT_EQ(held.out.find(streamed), std::string::npos);
}

std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// Every kind of bad input to a streamed fit: one line on standard error, status 2, nothing on
// standard output, and no file beside the input, neither the results asked for nor a temporary.
TEST_F(KelmathCommand, StreamedBadInputIsOneLineWithStatusTwoAndNoResultFile) {
  // A bad cell on the last line of a file larger than the stream's buffer (4 MiB), read in many
  // blocks, after blank lines that count as lines.
  std::string big = "y,x\n\n";
  char line[64];
  for (int i = 1; i <= 300000; ++i) {
    std::snprintf(line, sizeof line, "%d.25,%d.125\n", i % 1000, (i * 7) % 13);
    big += line;
    if (i == 100) big += "\n";
  }
  big += "17,abc\n";
  Write("big.csv", big);
  Write("last.csv", "y,x\n1,2\n2,3\n3,5\n4,7x");  // no line break after the bad cell
  Write("few.csv", "y,x\n1,2\n2,NA\n");
  Write("flat.csv", "y,x\n3,2\n3,3\n3,5\n3,4\n");
  const std::set<std::string> inputs = FolderEntries(folder);
  const std::string refused =
      " needs the whole file in memory: it is not available with --stream or under mpirun\n";
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"big.csv --response y",
       "kelmath: big.csv: line 300004, column 'x': 'abc' is not a number\n"},
      {"last.csv --response y", "kelmath: last.csv: line 5, column 'x': '7x' is not a number\n"},
      {"few.csv --response y",
       "kelmath: few.csv: 1 complete rows (1 dropped for missing values), but a model with 2 "
       "parameters needs at least 3\n"},
      {"flat.csv --response y",
       "kelmath: flat.csv: the response 'y' is constant in the rows used\n"},
      {"last.csv --response y --html page.html", "kelmath: --html" + refused},
      {"last.csv --response y --weights x", "kelmath: --weights" + refused},
      {"last.csv --formula 'y ~ x'", "kelmath: --formula" + refused},
  };
  for (const auto& c : cases) {
    const auto run = Run("regress " + c.arguments + " --stream --json r.json --observations o.csv");
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_EQ(run.err, c.message) << c.arguments;
    EXPECT_EQ(run.out, "") << c.arguments;
    EXPECT_EQ(FolderEntries(folder), inputs) << c.arguments;
  }
  // The problems of the file (the first four cases) in the in-memory fit's words.
  for (size_t k = 0; k < 4; ++k) {
    const auto run = Run("regress " + cases[k].arguments);
    EXPECT_EQ(run.err, cases[k].message) << cases[k].arguments;
  }
}

}  // namespace
