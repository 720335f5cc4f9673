#include "kel_test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "kelmath.h"

namespace kel_test {

namespace {
std::vector<FILE*> savedChannels;

// The variable that makes a test program print the reference analysis and end before its tests.
constexpr const char* kFreshAnalysisVariable = "KELMATH_TEST_FRESH_ANALYSIS";

// A fixed least-squares and least-median-of-squares analysis (an intercept, two regressors, one
// gross outlier), its results as raw bytes so that equality is bit for bit.
std::string analysisBytes() {
  KelOutputScope discard(nullptr);
  KelMatrix F(12, 3);
  KelVector y(12);
  for (int i = 1; i <= 12; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = i;
    F(i, 3) = std::sin(i);
    y(i) = 2.0 + 0.5 * i - std::cos(3.0 * i) + (i == 7 ? 25.0 : 0.0);
  }
  KelLinearRegression regression(F, y);
  std::string bytes;
  const auto appendValue = [&bytes](double value) {
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
  };
  const auto append = [&](const KelVector& v) {
    for (int i = 1; i <= v.Size(); ++i) appendValue(v(i));
  };
  append(regression.LeastSquaresFit().b);
  append(regression.LeastSquaresFit().seB);
  append(regression.RobustParameters());
  appendValue(regression.RobustScale());
  return bytes;
}

// In the program started again by ExpectAnalysisAsInFreshProcess: print the bytes and end,
// before any test has run.
const bool freshAnalysisPrinted = [] {
  if (std::getenv(kFreshAnalysisVariable) == nullptr) return false;
  const std::string bytes = analysisBytes();
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
  std::_Exit(0);
}();

// The reference bytes from a fresh process: this program started again with the variable set.
std::string freshProcessAnalysis() {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return "";
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeEnds[1], 1);
    ::close(pipeEnds[0]);
    ::setenv(kFreshAnalysisVariable, "1", 1);
    ::execl("/proc/self/exe", "fresh_analysis", nullptr);
    std::_Exit(127);
  }
  ::close(pipeEnds[1]);
  std::string bytes;
  char chunk[4096];
  ssize_t got = 0;
  while ((got = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0)
    bytes.append(chunk, static_cast<size_t>(got));
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return bytes;
}
}  // namespace

void ExpectAnalysisAsInFreshProcess() {
  static const std::string fresh = freshProcessAnalysis();
  ASSERT_FALSE(fresh.empty()) << "the fresh process gave no analysis";
  EXPECT_TRUE(analysisBytes() == fresh) << "an analysis after the caught error differs from a "
                                           "fresh process's";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string ScratchPath(const std::string& stem) {
  static int counter = 0;
  return stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + ".txt";
}

std::string NewScratchFolder(const std::string& stem) {
  std::string name = stem + "_XXXXXX";
  if (::mkdtemp(name.data()) == nullptr)
    throw std::runtime_error("cannot make a scratch folder " + stem + "_XXXXXX");
  return name;
}

std::string RedirectOutput(const std::string& stem) {
  std::fflush(kelOutputFile);
  savedChannels.push_back(kelOutputFile);
  std::string path = ScratchPath(stem);
  FILE* file = std::fopen(path.c_str(), "w");
  if (file != nullptr) kelOutputFile = file;
  return path;
}

void RestoreOutput() {
  if (savedChannels.empty()) return;
  if (kelOutputFile != savedChannels.back()) std::fclose(kelOutputFile);
  kelOutputFile = savedChannels.back();
  savedChannels.pop_back();
}

std::string ReferencePath(const std::string& relative) {
  return std::string(KELMATH_REFERENCE_DIR) + "/" + relative;
}

std::ifstream OpenReference(const std::string& relative) {
  const std::string path = ReferencePath(relative);
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open reference file " + path);
  return in;
}

double LogRelativeError(double value, double certified) {
  const double error =
      certified == 0.0 ? std::fabs(value) : std::fabs(value - certified) / std::fabs(certified);
  if (error == 0.0) return 15.0;
  return -std::log10(error);
}

}  // namespace kel_test
