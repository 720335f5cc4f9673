// What the regression benchmarks share: the synthetic regression problem and running a peer's R
// script on the same data in scratch files of the system's temporary folder.
#ifndef KELMATH_BENCH_SUPPORT_H
#define KELMATH_BENCH_SUPPORT_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"

namespace kel_bench {

// y = 3 + sum_j (0.5 + j) x_j + noise over normal regressors scaled by their column number, an
// intercept column first and one gross error in the middle experiment; the same for every run.
inline void MakeRegressionProblem(int m, int n, KelMatrix* F, KelVector* y) {
  std::mt19937_64 random(20240601u + static_cast<unsigned>(m * 31 + n));
  std::normal_distribution<double> normal(0.0, 1.0);
  F->Resize(m, n, false);
  y->Resize(m, false);
  for (int i = 1; i <= m; ++i) {
    (*F)(i, 1) = 1.0;
    double value = 3.0;
    for (int j = 2; j <= n; ++j) {
      (*F)(i, j) = normal(random) * j;
      value += (*F)(i, j) * (0.5 + j);
    }
    (*y)(i) = value + 0.1 * normal(random);
  }
  (*y)(m / 2) += 25.0;
}

// True when Rscript runs and has the named package (checked once per package by the caller).
inline bool RPackageAvailable(const std::string& package) {
  const std::string command = "Rscript -e 'quit(status = !requireNamespace(\"" + package +
                              "\", quietly = TRUE))' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// The data, output and script files of one R run, named after the process, removed when done.
struct RScratchFiles {
  explicit RScratchFiles(const std::string& stem, const std::string& dataExtension) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::string base = stem + "_" + std::to_string(getpid());
    data = (folder / (base + "_data" + dataExtension)).string();
    output = (folder / (base + "_out.txt")).string();
    script = (folder / (base + ".R")).string();
  }
  ~RScratchFiles() {
    std::remove(data.c_str());
    std::remove(output.c_str());
    std::remove(script.c_str());
  }
  RScratchFiles(const RScratchFiles&) = delete;
  RScratchFiles& operator=(const RScratchFiles&) = delete;

  // Runs the script, its output silenced; true when R ended without error.
  bool Run() const {
    const std::string command = "Rscript '" + script + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
  }

  std::string data, output, script;
};

}  // namespace kel_bench

#endif
