// The viewer program run in a scratch folder: every plot file drawn beside itself, a bad one
// reported on one line of standard error with exit status 1 while the others are still drawn.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "kel_test_support.h"

namespace {

const char kGood[] = "\n 1 2\n 2\n1 1 1.0\n1 2 2.0\n 1 2\n 2\n1 1 3.0\n1 2 4.0";

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

class PlotProgram : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef KELMATH_PLOT_PROGRAM
    GTEST_SKIP() << "the viewer is not part of this build";
#else
    folder = kel_test::NewScratchFolder("plot_program");
#endif
  }

  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(folder + "/" + name, std::ios::binary) << text;
  }

  bool Exists(const std::string& name) const {
    struct stat info;
    return ::stat((folder + "/" + name).c_str(), &info) == 0;
  }

  // Runs the viewer in the folder with the given arguments.
  ProgramRun Start(const std::string& arguments = "") const {
    ProgramRun run;
#ifdef KELMATH_PLOT_PROGRAM
    const std::string command = "cd '" + folder + "' && '" + KELMATH_PLOT_PROGRAM + "' " +
                                arguments + " > ../" + folder + ".out 2> ../" + folder + ".err";
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = kel_test::ReadFile(folder + ".out");
    run.err = kel_test::ReadFile(folder + ".err");
#endif
    static_cast<void>(arguments);
    return run;
  }

  std::string folder;
};

}  // namespace

TEST_F(PlotProgram, DrawsEveryPlotFileOfTheFolderQuietly) {
  Write("First.stx", kGood);
  Write("Second.stx", kGood);
  Write("notes.txt", "not a plot");
  const ProgramRun run = Start();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Exists("First.svg"));
  EXPECT_TRUE(Exists("Second.svg"));
  EXPECT_FALSE(Exists("notes.svg"));
  const std::string svg = kel_test::ReadFile(folder + "/First.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find(">First.stx</text>"), std::string::npos);
}

TEST_F(PlotProgram, BadFileGetsOneLineAndNoImageWhileTheOthersAreDrawn) {
  Write("Alpha.stx", kGood);
  Write("Broken.stx", "\n 1 2\n 2\n1 1 1.0\n1 2");
  Write("Zeta.stx", kGood);
  const ProgramRun run = Start();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "KelPlotSparse: Broken.stx: the file ends before the value of element 2 of 2 of the "
            "abscissas\n");
  EXPECT_TRUE(Exists("Alpha.svg"));
  EXPECT_FALSE(Exists("Broken.svg"));
  EXPECT_TRUE(Exists("Zeta.svg"));
}

TEST_F(PlotProgram, NamedFilesOnlyAreDrawn) {
  Write("Wanted.stx", kGood);
  Write("Other.stx", kGood);
  const ProgramRun run = Start("Wanted.stx");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Exists("Wanted.svg"));
  EXPECT_FALSE(Exists("Other.svg"));
  const ProgramRun missing = Start("Missing.stx Wanted.stx");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "KelPlotSparse: Missing.stx: does not exist\n");
}

TEST_F(PlotProgram, EmptyFolderIsNothingToDo) {
  const ProgramRun run = Start();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
}
