// Reading regression data files: KelLoad over a file as KelSave writes it (" %22.15le" per
// value), m x n regressors, m responses and a variance with its degrees of freedom.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "linear_regression/kel_load.h"

namespace {

std::string WriteDataFile(int m, int n) {
  const std::string path = "load_benchmark_" + std::to_string(m) + "x" + std::to_string(n) + ".lrg";
  FILE* file = std::fopen(path.c_str(), "w");
  std::mt19937_64 random(20261207u);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::fprintf(file, " %d %d\n", m, n);
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < n; ++j) std::fprintf(file, " %22.15le", j == 0 ? 1.0 : normal(random));
    std::fprintf(file, "\n");
  }
  std::fprintf(file, " %d\n", m);
  for (int i = 0; i < m; ++i) std::fprintf(file, " %.15le", normal(random));
  std::fprintf(file, "\n %.15le\n %d\n", 0.04, 5);
  std::fclose(file);
  return path;
}

void BM_ReadRegressionDataFile(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  const std::string path = WriteDataFile(m, n);
  KelMatrix F;
  KelVector y;
  for (auto _ : state) {
    KelLoad load(path.c_str());
    double variance = 0.0;
    int degrees = 0;
    load >> F >> y >> variance >> degrees;
    benchmark::DoNotOptimize(F.Data());
  }
  const double numbers = static_cast<double>(m) * n + m + 5;
  state.counters["numbers/s"] = benchmark::Counter(
      numbers * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_ReadRegressionDataFile)
    ->Args({10000, 10})
    ->Args({100000, 10})
    ->Unit(benchmark::kMillisecond);
