// Reading plot files: two sparse matrices of the same shape, abscissas then ordinates, each as
// its size, its count and its (row, column, value) elements.
#include "plot_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kel_plot::ParsePlotText;

namespace {

// A 3 x 4 plot: row 1 holds two points, row 2 none, row 3 one.
const std::string kThreeRows =
    "\n 3 4\n 3\n1 2  5.000000000000000e-01\n1 4  2.000000000000000e+00\n3 1 -1.0e+01"
    "\n 3 4\n 3\n1 2  1.000000000000000e+00\n1 4 -2.500000000000000e+00\n3 1 7";

void ExpectProblem(const std::string& text, const std::string& part) {
  const kel_plot::ParsedPlot parsed = ParsePlotText(text);
  EXPECT_FALSE(parsed.Ok()) << "accepted: [" << text << "]";
  EXPECT_NE(parsed.problem.find(part), std::string::npos)
      << "problem [" << parsed.problem << "] does not mention [" << part << "]";
  EXPECT_EQ(parsed.problem.find('\n'), std::string::npos) << "not one line";
  EXPECT_TRUE(parsed.plot.series.empty());
}

}  // namespace

TEST(PlotFile, RowsWithPointsBecomeSeriesInColumnOrder) {
  const kel_plot::ParsedPlot parsed = ParsePlotText(kThreeRows);
  ASSERT_TRUE(parsed.Ok()) << parsed.problem;
  EXPECT_EQ(parsed.plot.rows, 3);
  EXPECT_EQ(parsed.plot.columns, 4);
  ASSERT_EQ(parsed.plot.series.size(), 2u);
  EXPECT_EQ(parsed.plot.series[0].row, 1);
  ASSERT_EQ(parsed.plot.series[0].points.size(), 2u);
  EXPECT_EQ(parsed.plot.series[0].points[0].x, 0.5);
  EXPECT_EQ(parsed.plot.series[0].points[0].y, 1.0);
  EXPECT_EQ(parsed.plot.series[0].points[1].x, 2.0);
  EXPECT_EQ(parsed.plot.series[0].points[1].y, -2.5);
  EXPECT_EQ(parsed.plot.series[1].row, 3);
  ASSERT_EQ(parsed.plot.series[1].points.size(), 1u);
  EXPECT_EQ(parsed.plot.series[1].points[0].x, -10.0);
  EXPECT_EQ(parsed.plot.series[1].points[0].y, 7.0);
}

TEST(PlotFile, AnyWhiteSpaceSeparatesTheItems) {
  const kel_plot::ParsedPlot parsed =
      ParsePlotText("1\t2\r\n1 1 1 0.25\n\n\n1 2 1\t1 1\v-4\f\r\n  ");
  ASSERT_TRUE(parsed.Ok()) << parsed.problem;
  ASSERT_EQ(parsed.plot.series.size(), 1u);
  EXPECT_EQ(parsed.plot.series[0].points[0].x, 0.25);
  EXPECT_EQ(parsed.plot.series[0].points[0].y, -4.0);
}

TEST(PlotFile, MatricesWithoutStoredElementsGiveNoSeries) {
  const kel_plot::ParsedPlot parsed = ParsePlotText("\n 2 5\n 0\n 2 5\n 0\n");
  ASSERT_TRUE(parsed.Ok()) << parsed.problem;
  EXPECT_EQ(parsed.plot.rows, 2);
  EXPECT_EQ(parsed.plot.columns, 5);
  EXPECT_TRUE(parsed.plot.series.empty());
}

TEST(PlotFile, EveryTruncationIsAProblem) {
  // Cut the text after each of its items: never a plot.
  std::vector<size_t> cuts;
  for (size_t i = 1; i < kThreeRows.size(); ++i) {
    if (kThreeRows[i] == ' ' || kThreeRows[i] == '\n') cuts.push_back(i);
  }
  ASSERT_GT(cuts.size(), 20u);
  for (const size_t cut : cuts) {
    const std::string text = kThreeRows.substr(0, cut);
    const kel_plot::ParsedPlot parsed = ParsePlotText(text);
    EXPECT_FALSE(parsed.Ok()) << "accepted a text cut at " << cut;
  }
  ExpectProblem(kThreeRows.substr(0, kThreeRows.size() - 40), "the file ends before");
  ExpectProblem("\n 2 100\n 106\n1 1 1.0\n1 2 1.05", "ends before the row of element 3 of 106");
}

TEST(PlotFile, EmptyFileIsAProblem) {
  ExpectProblem("", "empty");
  ExpectProblem(" \n\t ", "empty");
}

TEST(PlotFile, MalformedNumbersAreProblems) {
  ExpectProblem("1 2 1 1 1 1.2.3 1 2 1 1 1 0", "'1.2.3' is not a number");
  ExpectProblem("1 2 1 1 1 abc 1 2 1 1 1 0", "'abc' is not a number");
  ExpectProblem("1 2 1 1 1 1.5e 1 2 1 1 1 0", "is not a number");
  ExpectProblem("1 x 1 1 1 1 1 2 1 1 1 0", "'x' is not an integer");
  ExpectProblem("1 2 1 1.0 1 1 1 2 1 1 1 0", "'1.0' is not an integer");
  ExpectProblem("1 2 1 1 1 1e400 1 2 1 1 1 0", "'1e400' is not a number");
  ExpectProblem("99999999999999999999 2 0 1 2 0", "is not an integer");
}

TEST(PlotFile, ValuesThatCannotBeDrawnAreProblems) {
  ExpectProblem("1 2 1 1 1 nan 1 2 1 1 1 0", "'nan' is not a finite number");
  ExpectProblem("1 2 1 1 1 0 1 2 1 1 1 -inf", "'-inf' is not a finite number");
  ExpectProblem("1 2 1 1 1 1e301 1 2 1 1 1 0", "is not a finite number the viewer can draw");
}

TEST(PlotFile, GarbageIsShownPrintableAndShort) {
  std::string garbage = "1 2 1 1 1 ";
  garbage += std::string("\x01\x02\xff", 3) + std::string(100, 'z');
  garbage.push_back('\0');
  garbage += " 1 2 1 1 1 0";
  const kel_plot::ParsedPlot parsed = ParsePlotText(garbage);
  ASSERT_FALSE(parsed.Ok());
  for (const char c : parsed.problem) {
    EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "unprintable character in the problem";
  }
  EXPECT_LT(parsed.problem.size(), 120u);
}

TEST(PlotFile, ImpossibleSizesAndCountsAreProblems) {
  ExpectProblem("0 5 0 0 5 0", "impossible size 0 x 5");
  ExpectProblem("2 -1 0 2 -1 0", "impossible size 2 x -1");
  ExpectProblem("3000000000 1 0 3000000000 1 0", "impossible size");
  ExpectProblem("2 2 -1 2 2 0", "claim -1 stored elements in a 2 x 2 matrix");
  ExpectProblem("2 2 5 1 1 0 1 2 0 2 1 0 2 2 0 2 2 0", "claim 5 stored elements");
  // A large honest-looking count stops at the end of the file, not at an allocation.
  ExpectProblem("2000000000 2000000000 4000000000000000000 1 1 0", "ends before the row of");
}

TEST(PlotFile, ElementsOutsideTheMatrixAreProblems) {
  ExpectProblem("2 3 1 3 1 0 2 3 1 3 1 0",
                "element 1 of 1 of the abscissas at (3, 1) lies outside");
  ExpectProblem("2 3 1 1 4 0 2 3 1 1 4 0", "at (1, 4) lies outside the 2 x 3 matrix");
  ExpectProblem("2 3 1 1 0 0 2 3 1 1 0 0", "lies outside");
  ExpectProblem("2 3 1 1 1 0 2 3 1 0 1 0", "of the ordinates at (0, 1) lies outside");
}

TEST(PlotFile, ElementsOutOfOrderOrRepeatedAreProblems) {
  ExpectProblem("2 3 2 1 2 0 1 1 0 2 3 2 1 2 0 1 1 0", "at (1, 1) does not follow (1, 2)");
  ExpectProblem("2 3 2 2 1 0 1 3 0 2 3 2 2 1 0 1 3 0", "at (1, 3) does not follow (2, 1)");
  ExpectProblem("2 3 2 1 2 0 1 2 5 2 3 2 1 2 0 1 2 5", "at (1, 2) does not follow (1, 2)");
}

TEST(PlotFile, OrdinatesMustMatchTheAbscissas) {
  ExpectProblem("2 3 1 1 1 0 3 3 1 1 1 0", "the ordinates are 3 x 3 but the abscissas 2 x 3");
  ExpectProblem("2 3 1 1 1 0 2 3 2 1 1 0 1 2 0",
                "the ordinates store 2 elements but the abscissas 1");
  ExpectProblem("2 3 2 1 1 0 1 2 0 2 3 2 1 1 0 2 2 0",
                "element 2 of the ordinates at (2, 2) is not at the place of the abscissa (1, 2)");
}

TEST(PlotFile, TextAfterTheOrdinatesIsAProblem) {
  ExpectProblem(kThreeRows + "\n 1 1\n 0\n", "unexpected text after the ordinates: '1'");
  ExpectProblem(kThreeRows + " x", "unexpected text after the ordinates: 'x'");
}

TEST(PlotFile, MissingFileIsAProblem) {
  const kel_plot::ParsedPlot parsed = kel_plot::ReadPlotFile("no_such_plot_file.stx");
  EXPECT_FALSE(parsed.Ok());
  EXPECT_EQ(parsed.problem, "cannot be opened");
}
