#include "kel_test_support.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "kelmath.h"

namespace kel_test {

namespace {
std::vector<FILE*> savedChannels;
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
