// Linear regression: the whole least-squares fit (balanced and plain SVD, covariance, se(yhat),
// leave-one-out test) and the least-squares report written to a file, on random problems with
// an intercept column, normal noise and one gross outlier.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

#include "bench_support.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

void BM_LeastSquaresFit(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  KelMatrix F;
  KelVector y;
  kel_bench::MakeRegressionProblem(m, n, &F, &y);
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
  kel_bench::MakeRegressionProblem(m, n, &F, &y);
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
