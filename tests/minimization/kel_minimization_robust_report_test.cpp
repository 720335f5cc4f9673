// The summary report for every cause of exit, the trajectory file and the trace lines.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "kelmath.h"
#include "minimization_test_objectives.h"

using kel_test::Bowl;
using kel_test::CaptureOutput;

namespace {

class MinimizationReport : public kel_test::QuietWarnings {};

double raisedBowl(KelVector& x) {
  return Bowl(x) + 2.0;
}
double tinyFloor(KelVector& x) {
  return Bowl(x) + 1e-30;
}

int callsBeforeThrow = -1;
double abandoningBowl(KelVector& x) {
  if (callsBeforeThrow >= 0 && callsBeforeThrow-- == 0) throw KelExceptionHandling();
  return Bowl(x);
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
  char buffer[200];
  std::snprintf(buffer, sizeof buffer, pattern, args...);
  return buffer;
}

// A titled vector as the containers print it.
std::string vectorText(const char* title, const KelVector& v) {
  std::string text = std::string("\n") + title + format("\nKelVector No.%d", v.GetSerialNumber()) +
                     format("\nSize %d\n", v.Size());
  for (int i = 1; i <= v.Size(); ++i) text += format("%5d     %22.14le\n", i, v(i));
  return text;
}

std::string expectedSummary(const KelMinimizationRobust& m, const char* causeMessage) {
  return "\nStarting Point" + vectorText("x0", m.X0()) +
         format("\nObjective Function value in starting point %.14e", m.StartValue()) +
         format("\n\nNumber of iterations in the last call %d", m.IterationsInLastCall()) +
         format("\nTotal number of iterations (feasible and unfeasible) %d", m.TotalIterations()) +
         format("\nTotal number of feasible iterations %d", m.FeasibleIterations()) +
         format("\n\nFunction KelMinimum Value %.14e", m.FSolution()) +
         vectorText("xMin KelVector", m.XMin()) +
         vectorText("Function values in all final vertices", m.VertexValues()) +
         "\n\nCause of exit:" + causeMessage;
}

std::string printed(KelMinimizationRobust& m) {
  return CaptureOutput([&] { m.PrintObject(); });
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

}  // namespace

TEST_F(MinimizationReport, SearchNotRunShowsTheStartAndTheFailureMessage) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
  const std::string text = printed(minimizer);
  // Every figure is known without running anything: one evaluation, f(3, 4) = 25.
  const int x0 = minimizer.X0().GetSerialNumber();
  const int xMin = minimizer.XMin().GetSerialNumber();
  const int values = minimizer.VertexValues().GetSerialNumber();
  const std::string expected =
      format("\nStarting Point\nx0\nKelVector No.%d\nSize 2\n", x0) +
      "    1       3.00000000000000e+00\n    2       4.00000000000000e+00\n"
      "\nObjective Function value in starting point 2.50000000000000e+01"
      "\n\nNumber of iterations in the last call 0"
      "\nTotal number of iterations (feasible and unfeasible) 1"
      "\nTotal number of feasible iterations 1"
      "\n\nFunction KelMinimum Value 2.50000000000000e+01" +
      format("\nxMin KelVector\nKelVector No.%d\nSize 2\n", xMin) +
      "    1       3.00000000000000e+00\n    2       4.00000000000000e+00\n" +
      format("\nFunction values in all final vertices\nKelVector No.%d\nSize 3\n", values) +
      "    1       0.00000000000000e+00\n    2       0.00000000000000e+00\n"
      "    3       2.50000000000000e+01\n"
      "\n\nCause of exit:\nSearch failed before reaching the solution\n";
  EXPECT_EQ(text, expected);
}

TEST_F(MinimizationReport, IterationLimit) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
  ASSERT_EQ(minimizer(5), KelMinimizationRobust::kIterationLimit);
  EXPECT_EQ(printed(minimizer), expectedSummary(minimizer, "\nMaximum number of iterations\n"));
}

TEST_F(MinimizationReport, StallGuard) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), tinyFloor);
  ASSERT_EQ(minimizer(0), KelMinimizationRobust::kStall);
  EXPECT_EQ(printed(minimizer), expectedSummary(minimizer, "\nSatisfied test on dx\n"));
}

TEST_F(MinimizationReport, BelowFToll) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
  minimizer.SetFToll(1.0);
  ASSERT_EQ(minimizer(0), KelMinimizationRobust::kBelowFToll);
  EXPECT_EQ(printed(minimizer), expectedSummary(minimizer, "\nfSolution <= fToll\n"));
}

TEST_F(MinimizationReport, CollapsedSimplex) {
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), raisedBowl);
  ASSERT_EQ(minimizer(0), KelMinimizationRobust::kCollapsed);
  EXPECT_EQ(
      printed(minimizer),
      expectedSummary(minimizer, "\nSatisfied test on the function values for simplex vertices"));
}

TEST_F(MinimizationReport, StoppedByAnException) {
  callsBeforeThrow = 10;
  KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), abandoningBowl);
  CaptureOutput([&] { EXPECT_THROW(minimizer(0), KelExceptionHandling); });
  callsBeforeThrow = -1;
  EXPECT_EQ(printed(minimizer),
            expectedSummary(minimizer, "\nSearch failed before reaching the solution\n"));
}

TEST_F(MinimizationReport, TrajectoryHoldsTheStartThenEveryStrictImprovement) {
  const std::string path = kel_test::ScratchPath("trajectory");
  double best = 0.0;
  {
    KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
    minimizer.Save(path.c_str());
    minimizer(0);
    best = minimizer.FSolution();
  }  // the destructor closes (and so flushes) the file
  const std::string text = kel_test::ReadFile(path);
  const std::string head = std::string("F x[1] x[2] \n") + format("%22.14e ", 25.0) +
                           format("%22.14e ", 3.0) + format("%22.14e ", 4.0);
  ASSERT_EQ(text.substr(0, head.size()), head);
  const std::vector<std::string> rows = lines(text);
  ASSERT_GT(rows.size(), 3u);
  double previous = 25.0;
  for (size_t i = 2; i < rows.size(); ++i) {
    double value = 0.0;
    ASSERT_EQ(std::sscanf(rows[i].c_str(), "%le", &value), 1);
    EXPECT_LT(value, previous) << "row " << i;
    previous = value;
  }
  // The last line holds the best value; a later vertex that merely ties with it (another
  // point, same value) is no strict improvement and earns no line.
  double value = 0.0, y1 = 0.0, y2 = 0.0;
  ASSERT_EQ(std::sscanf(rows.back().c_str(), "%le %le %le", &value, &y1, &y2), 3);
  EXPECT_EQ(format("%22.14e ", value), format("%22.14e ", best));
  KelVector point(2, y1, y2);
  EXPECT_NEAR(Bowl(point), best, 1e-13 * best);
}

TEST_F(MinimizationReport, SecondSaveClosesTheFirstFileAndStartsANewOne) {
  const std::string first = kel_test::ScratchPath("trajectory");
  const std::string second = kel_test::ScratchPath("trajectory");
  const std::string head = std::string("F x[1] x[2] \n") + format("%22.14e ", 27.0) +
                           format("%22.14e ", 3.0) + format("%22.14e ", 4.0);
  {
    KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), raisedBowl);
    minimizer.Save(first.c_str());
    minimizer(20);
    minimizer.Save(second.c_str());
    // Readable while the object lives: the first file was closed, not abandoned.
    const std::string firstText = kel_test::ReadFile(first);
    EXPECT_EQ(firstText.substr(0, head.size()), head);
    EXPECT_EQ(lines(firstText).back(), format("%22.14e ", minimizer.FSolution()) +
                                           format("%22.14e ", minimizer.XMin()(1)) +
                                           format("%22.14e ", minimizer.XMin()(2)));
    minimizer(0);
  }
  const std::string secondText = kel_test::ReadFile(second);
  EXPECT_EQ(secondText.substr(0, head.size()), head);
  EXPECT_GT(lines(secondText).size(), 2u);
}

TEST_F(MinimizationReport, TraceNamesEveryStepInOrder) {
  const std::string text = CaptureOutput([] {
    KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), Bowl);
    minimizer.SetTrace(1);
    minimizer(3);
  });
  const std::string start =
      "\n*** KelMinimizationRobust: operator()"
      "\n*** KelMinimizationRobust: MinimumSolve"
      "\n*** KelMinimizationRobust: Start"
      "\n*** KelMinimizationRobust: Action"
      "\n*** KelMinimizationRobust: Baricenter"
      "\n*** KelMinimizationRobust: Reflection";
  EXPECT_EQ(text.substr(0, start.size()), start);
  const std::string end = "\n*** KelMinimizationRobust: Destructor";
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

TEST_F(MinimizationReport, NoTraceByDefault) {
  const std::string text = CaptureOutput([] {
    KelMinimizationRobust minimizer(KelVector(2, 3.0, 4.0), raisedBowl);
    minimizer(0);
  });
  EXPECT_EQ(text, "");
}
