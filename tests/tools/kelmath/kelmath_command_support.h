// Runs the built `kelmath` command in a scratch folder of its own and collects its exit
// status, standard output and standard error.
#ifndef KELMATH_TESTS_TOOLS_KELMATH_COMMAND_SUPPORT_H
#define KELMATH_TESTS_TOOLS_KELMATH_COMMAND_SUPPORT_H

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "kel_test_support.h"

namespace kelmath_test {

struct CommandRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Reproducible numbers for generated data: uniform on [0, 1) from a 64-bit linear congruential
// generator, and nearly normal as the sum of twelve of them less six.
class GeneratedNumbers {
 public:
  explicit GeneratedNumbers(uint64_t seed) : state(seed) {}
  double Uniform() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  }
  double Normal() {
    double sum = -6.0;
    for (int k = 0; k < 12; ++k) sum += Uniform();
    return sum;
  }

 private:
  uint64_t state;
};

class KelmathCommand : public ::testing::Test {
 protected:
  void SetUp() override { folder = kel_test::NewScratchFolder("kelmath_command"); }

  // A reference data file (tests/reference/r/), quoted for the shell.
  static std::string Data(const std::string& name) {
    std::string quoted = "'";
    return quoted.append(kel_test::ReferencePath("r/" + name)).append("'");
  }

  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(folder + "/" + name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    return kel_test::ReadFile(folder + "/" + name);
  }
  bool Exists(const std::string& name) const {
    struct stat info;
    return ::stat((folder + "/" + name).c_str(), &info) == 0;
  }

  // Runs "kelmath ARGUMENTS" in the folder.
  CommandRun Run(const std::string& arguments) const {
    CommandRun run;
    const std::string command = "cd '" + folder + "' && '" + KELMATH_COMMAND_PROGRAM + "' " +
                                arguments + " > ../" + folder + ".out 2> ../" + folder + ".err";
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = kel_test::ReadFile(folder + ".out");
    run.err = kel_test::ReadFile(folder + ".err");
    return run;
  }

  std::string folder;
};

}  // namespace kelmath_test

#endif
