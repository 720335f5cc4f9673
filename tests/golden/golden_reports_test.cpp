// Golden reports: each demonstration program runs in a scratch folder with its data files (and
// regression_plots with the plot viewer under the name it starts it by), and every file it
// leaves there is compared with the copy under tests/golden/<program>/: the same set of files,
// and each line by line, numbers within a relative tolerance of 1e-9, all else exactly. A second
// run in another folder must write the same bytes.
//
// With the environment variable KELMATH_UPDATE_GOLDEN=1 the tests copy the outputs over the
// golden files instead (see README.md in this folder).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>

#include "golden_compare.h"
#include "kel_test_support.h"

namespace fs = std::filesystem;

namespace {

struct Program {
  const char* name;
  const char* path;  // nullptr when the demonstration programs are not part of this build
};

#ifdef KELMATH_GOLDEN_EXPERIMENT_SELECTION_PROGRAM
constexpr const char* experimentSelection = KELMATH_GOLDEN_EXPERIMENT_SELECTION_PROGRAM;
#else
constexpr const char* experimentSelection = nullptr;
#endif
#ifdef KELMATH_GOLDEN_REGRESSION_PLOTS_PROGRAM
constexpr const char* regressionPlots = KELMATH_GOLDEN_REGRESSION_PLOTS_PROGRAM;
#else
constexpr const char* regressionPlots = nullptr;
#endif
#ifdef KELMATH_GOLDEN_OUTLIER_REGRESSION_PROGRAM
constexpr const char* outlierRegression = KELMATH_GOLDEN_OUTLIER_REGRESSION_PROGRAM;
#else
constexpr const char* outlierRegression = nullptr;
#endif
#ifdef KELMATH_GOLDEN_PIECEWISE_REGRESSION_PROGRAM
constexpr const char* piecewiseRegression = KELMATH_GOLDEN_PIECEWISE_REGRESSION_PROGRAM;
#else
constexpr const char* piecewiseRegression = nullptr;
#endif
#ifdef KELMATH_GOLDEN_LEVERAGE_REGRESSION_PROGRAM
constexpr const char* leverageRegression = KELMATH_GOLDEN_LEVERAGE_REGRESSION_PROGRAM;
#else
constexpr const char* leverageRegression = nullptr;
#endif
#ifdef KELMATH_GOLDEN_STATISTICS_TESTS_PROGRAM
constexpr const char* statisticsTests = KELMATH_GOLDEN_STATISTICS_TESTS_PROGRAM;
#else
constexpr const char* statisticsTests = nullptr;
#endif
#ifdef KELMATH_GOLDEN_PLOT_VIEWER
constexpr const char* plotViewer = KELMATH_GOLDEN_PLOT_VIEWER;
#else
constexpr const char* plotViewer = nullptr;
#endif

// The program regression_plots starts, and the name it starts it by.
constexpr const char* plotViewerName = "KelPlotSparse.exe";

const Program programs[] = {
    {"experiment_selection", experimentSelection}, {"regression_plots", regressionPlots},
    {"outlier_regression", outlierRegression},     {"piecewise_regression", piecewiseRegression},
    {"leverage_regression", leverageRegression},   {"statistics_tests", statisticsTests},
};

bool Updating() {
  const char* value = std::getenv("KELMATH_UPDATE_GOLDEN");
  return value != nullptr && std::string(value) == "1";
}

fs::path SourceDir() {
  return fs::path(KELMATH_SOURCE_DIR);
}

// The names of the regular files in a folder.
std::set<std::string> FilesIn(const fs::path& folder) {
  std::set<std::string> names;
  if (!fs::is_directory(folder)) return names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) names.insert(entry.path().filename().string());
  }
  return names;
}

std::string List(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text.empty() ? "(none)" : text;
}

// Runs the program as the demonstration command does: a fresh folder holding its data files
// (*.lrg of its source folder) and, for regression_plots, the viewer; standard input empty and
// the console beside the folder. Returns the folder and the names of the files put there.
// `run` tells the folders of two runs apart.
fs::path RunInScratchFolder(const Program& program, const std::string& run,
                            std::set<std::string>* inputs) {
  const fs::path folder =
      fs::absolute("golden_" + std::string(program.name) + "_" + std::to_string(::getpid()) + run);
  fs::remove_all(folder);
  fs::create_directory(folder);
  for (const std::string& name : FilesIn(SourceDir() / "demos" / program.name)) {
    if (fs::path(name).extension() == ".lrg") {
      fs::copy_file(SourceDir() / "demos" / program.name / name, folder / name);
      inputs->insert(name);
    }
  }
  if (std::string(program.name) == "regression_plots") {
    EXPECT_NE(plotViewer, nullptr) << "the plot viewer is not part of this build";
    if (plotViewer != nullptr) {
      fs::copy_file(plotViewer, folder / plotViewerName);
      inputs->insert(plotViewerName);
    }
  }
  const std::string console = folder.string() + ".console";
  const std::string command =
      "cd '" + folder.string() + "' && '" + program.path + "' < /dev/null > '" + console + "' 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << program.name << " ended with status " << status << "; console:\n"
      << kel_test::ReadFile(console);
  return folder;
}

void CheckAgainstGolden(const Program& program) {
  if (program.path == nullptr) GTEST_SKIP() << "the demonstration programs are not built";
  std::set<std::string> inputs;
  const fs::path folder = RunInScratchFolder(program, "", &inputs);
  // Nothing in the outputs may depend on the run (time, folder, addresses): a second run in
  // another folder writes the same bytes.
  {
    std::set<std::string> secondInputs;
    const fs::path second = RunInScratchFolder(program, "_again", &secondInputs);
    EXPECT_EQ(FilesIn(folder), FilesIn(second)) << program.name;
    for (const std::string& name : FilesIn(folder)) {
      EXPECT_TRUE(kel_test::ReadFile((folder / name).string()) ==
                  kel_test::ReadFile((second / name).string()))
          << program.name << ": " << name << " differs between two runs (" << folder.string()
          << ", " << second.string() << ")";
    }
    if (!::testing::Test::HasFailure()) {
      fs::remove_all(second);
      fs::remove(second.string() + ".console");
    }
  }
  // The data files are read, not written: they must leave the run as they came.
  for (const std::string& name : inputs) {
    if (name == plotViewerName) continue;
    EXPECT_EQ(kel_test::ReadFile((folder / name).string()),
              kel_test::ReadFile((SourceDir() / "demos" / program.name / name).string()))
        << program.name << " changed its data file " << name;
  }
  std::set<std::string> outputs;
  for (const std::string& name : FilesIn(folder)) {
    if (!inputs.count(name)) outputs.insert(name);
  }
  const fs::path goldenFolder = SourceDir() / "tests" / "golden" / program.name;

  if (Updating()) {
    // Never freeze the output of a failed or unrepeatable run.
    if (::testing::Test::HasFailure()) return;
    fs::create_directories(goldenFolder);
    for (const std::string& name : FilesIn(goldenFolder)) {
      if (!outputs.count(name)) fs::remove(goldenFolder / name);
    }
    for (const std::string& name : outputs) {
      fs::copy_file(folder / name, goldenFolder / name, fs::copy_options::overwrite_existing);
    }
    std::cout << "golden files of " << program.name << " written to " << goldenFolder.string()
              << ": " << List(outputs) << "\n";
    fs::remove_all(folder);
    fs::remove(folder.string() + ".console");
    return;
  }

  const std::set<std::string> golden = FilesIn(goldenFolder);
  EXPECT_EQ(outputs, golden) << program.name << " wrote " << List(outputs)
                             << "\ngolden files: " << List(golden);
  for (const std::string& name : golden) {
    if (!outputs.count(name)) continue;
    const std::string difference = golden::CompareTexts(
        std::string(program.name) + "/" + name, kel_test::ReadFile((goldenFolder / name).string()),
        kel_test::ReadFile((folder / name).string()));
    if (!difference.empty()) {
      ADD_FAILURE() << "output of " << program.name
                    << " differs from its golden files (run left in " << folder.string() << ")\n"
                    << difference;
    }
  }
  // The folder stays for inspection when something differs.
  if (!::testing::Test::HasFailure()) {
    fs::remove_all(folder);
    fs::remove(folder.string() + ".console");
  }
}

TEST(GoldenReports, ExperimentSelection) {
  CheckAgainstGolden(programs[0]);
}
TEST(GoldenReports, RegressionPlots) {
  CheckAgainstGolden(programs[1]);
}
TEST(GoldenReports, OutlierRegression) {
  CheckAgainstGolden(programs[2]);
}
TEST(GoldenReports, PiecewiseRegression) {
  CheckAgainstGolden(programs[3]);
}
TEST(GoldenReports, LeverageRegression) {
  CheckAgainstGolden(programs[4]);
}
TEST(GoldenReports, StatisticsTests) {
  CheckAgainstGolden(programs[5]);
}

// A new demonstration program needs a golden test as well.
TEST(GoldenReports, EveryDemonstrationProgramHasOne) {
  std::set<std::string> known;
  for (const Program& program : programs) known.insert(program.name);
  std::set<std::string> demos;
  for (const fs::directory_entry& entry : fs::directory_iterator(SourceDir() / "demos")) {
    if (entry.is_directory()) demos.insert(entry.path().filename().string());
  }
  EXPECT_EQ(demos, known);
}

}  // namespace
