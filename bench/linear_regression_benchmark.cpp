// Linear regression: the whole least-squares fit (balanced and plain SVD, covariance, se(yhat),
// leave-one-out test) and the least-squares report written to a file, on random problems with
// an intercept column, normal noise and one gross outlier.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

void MakeProblem(int m, int n, KelMatrix* F, KelVector* y) {
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

void BM_LeastSquaresFit(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  KelMatrix F;
  KelVector y;
  MakeProblem(m, n, &F, &y);
  for (auto _ : state) {
    KelLinearRegression regression(F, y);
    benchmark::DoNotOptimize(regression.GetR2());
  }
}

void BM_LeastSquaresAnalysis(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  KelMatrix F;
  KelVector y;
  MakeProblem(m, n, &F, &y);
  KelSetOutputFile("linear_regression_benchmark_report.txt");
  for (auto _ : state) {
    KelLinearRegression regression(F, y);
    regression.LeastSquaresAnalysis();
  }
  std::remove("linear_regression_benchmark_report.txt");
}

BENCHMARK(BM_LeastSquaresFit)
    ->Args({100, 5})
    ->Args({1000, 5})
    ->Args({10000, 10})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LeastSquaresAnalysis)
    ->Args({100, 5})
    ->Args({1000, 5})
    ->Args({10000, 10})
    ->Unit(benchmark::kMillisecond);

}  // namespace
