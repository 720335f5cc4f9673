// Helpers shared by the test suites: reading files, checking fatal exits, comparing values.
#ifndef KELMATH_TESTS_KEL_TEST_SUPPORT_H
#define KELMATH_TESTS_KEL_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"

namespace kel_test {

// Whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::string& path);
// A fresh file name in the working folder, unique within the process run.
std::string ScratchPath(const std::string& stem);
// A new, empty folder "<stem>_XXXXXX" in the working directory, made by mkdtemp: a folder named
// after the process id could be one an earlier test left behind when the id comes round again.
// Throws std::runtime_error when it cannot be made.
std::string NewScratchFolder(const std::string& stem);
// Runs `body` with the output channel moved to a scratch file and returns what it printed.
template <typename Body>
std::string CaptureOutput(Body body);
// Moves the output channel to a scratch file and returns its name.
std::string RedirectOutput(const std::string& stem);
// Moves the output channel back to the file that was current before RedirectOutput.
void RestoreOutput();
// Path of a file in the reference data (tests/reference/).
std::string ReferencePath(const std::string& relative);
// The reference file opened for reading; throws std::runtime_error naming the file when it
// cannot be opened, so the test fails with that name instead of with a missing value.
std::ifstream OpenReference(const std::string& relative);
// Log relative error: -log10(|value - certified| / |certified|), or of the absolute error
// where the certified value is 0; 15 where they agree exactly.
double LogRelativeError(double value, double certified);

// Runs `body` in throw mode with its output captured and returns the text of the KelException it
// throws, or a text saying that it threw nothing or something else.
template <typename Body>
std::string ThrownText(Body body);
// Expects a fixed least-squares and least-median-of-squares analysis, run now, to give results
// bit-identical to the same analysis in a fresh process (this program started again), so that
// an error caught before has left nothing behind that changes later results.
void ExpectAnalysisAsInFreshProcess();

// Fixture for tests that provoke warnings on purpose: while a test runs they go to the output
// file only, not to the console; the previous mode comes back afterwards.
class QuietWarnings : public ::testing::Test {
 protected:
  void SetUp() override {
    savedWarningMode = kelWarningMode;
    kelWarningMode = 0;
  }
  void TearDown() override { kelWarningMode = savedWarningMode; }

 private:
  signed char savedWarningMode = 1;
};

}  // namespace kel_test

template <typename Body>
std::string kel_test::CaptureOutput(Body body) {
  std::string path = RedirectOutput("capture");
  body();
  RestoreOutput();
  return ReadFile(path);
}

template <typename Body>
std::string kel_test::ThrownText(Body body) {
  KelErrorModeScope throwing(KelErrorMode::Throw);
  std::string output;
  try {
    KelOutputScope capture(output);
    body();
  } catch (const KelException& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("[not a KelException: ") + e.what() + "]";
  }
  return "[nothing thrown]";
}

// Runs `statement` in a child process whose output channel is a scratch file, expects exit
// status 1, and expects the file to end with "\nFatal Error!!\n" followed by `text`. Then runs
// it again in this process in throw mode: the exception's text is `text`, and a later analysis
// gives the results of a fresh process.
#define EXPECT_KEL_FATAL(statement, text)                                     \
  do {                                                                        \
    EXPECT_KEL_FATAL_EXIT_ONLY(statement, text);                              \
    EXPECT_EQ(::kel_test::ThrownText([&] { statement; }), std::string(text)); \
    ::kel_test::ExpectAnalysisAsInFreshProcess();                             \
  } while (0)

// The death test alone, for statements that must not run in the test's own process (they limit
// its address space).
#define EXPECT_KEL_FATAL_EXIT_ONLY(statement, text)                                        \
  do {                                                                                     \
    const std::string kelFatalPath_ = ::kel_test::ScratchPath("fatal");                    \
    EXPECT_EXIT(                                                                           \
        {                                                                                  \
          KelSetOutputFile(kelFatalPath_.c_str());                                         \
          statement;                                                                       \
        },                                                                                 \
        ::testing::ExitedWithCode(1), "");                                                 \
    const std::string kelFatalExpected_ = std::string("\nFatal Error!!\n") + (text);       \
    const std::string kelFatalActual_ = ::kel_test::ReadFile(kelFatalPath_);               \
    EXPECT_TRUE(kelFatalActual_.size() >= kelFatalExpected_.size() &&                      \
                kelFatalActual_.compare(kelFatalActual_.size() - kelFatalExpected_.size(), \
                                        std::string::npos, kelFatalExpected_) == 0)        \
        << "output file ends with:\n[" << kelFatalActual_ << "]\nexpected ending:\n["      \
        << kelFatalExpected_ << "]";                                                       \
  } while (0)

#endif
