// Robust (least-median-of-squares) regression: the whole computation, without the report, on
// random problems with an intercept column, normal noise and 20 % of the experiments shifted by
// 20 noise units. "per_evaluation" is the time per evaluation of the criterion (each one a
// product F b and a median of m squared residuals), over all evaluations of the computation:
// the minimizer's and the elemental candidates'.
#include <benchmark/benchmark.h>

#include <random>

#include "kel_linear_regression.h"
#include "kel_output.h"

namespace {

void MakeProblem(int m, int n, KelMatrix* F, KelVector* y) {
  std::mt19937_64 random(19960229u + static_cast<unsigned>(m * 31 + n));
  std::normal_distribution<double> normal(0.0, 1.0);
  std::uniform_real_distribution<double> uniform(0.0, 10.0);
  F->Resize(m, n, false);
  y->Resize(m, false);
  for (int i = 1; i <= m; ++i) {
    (*F)(i, 1) = 1.0;
    double value = 2.0;
    for (int j = 2; j <= n; ++j) {
      (*F)(i, j) = uniform(random);
      value += (*F)(i, j) * (j % 2 == 0 ? 1.5 : -0.5);
    }
    (*y)(i) = value + normal(random);
  }
  // Every fifth experiment is an outlier.
  for (int i = 5; i <= m; i += 5) (*y)(i) += 20.0;
}

void BM_RobustComputation(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  KelMatrix F;
  KelVector y;
  MakeProblem(m, n, &F, &y);
  KelSetOutputFile("robust_regression_benchmark_report.txt");
  long long evaluations = 0;
  long long candidates = 0;
  int runs = 0;
  for (auto _ : state) {
    KelLinearRegression regression(F, y);
    benchmark::DoNotOptimize(regression.LeastMedianOfSquares());
    evaluations = regression.RobustCriterionEvaluations();
    candidates = regression.RobustElementalCandidates();
    runs = regression.RobustMinimizerRuns();
  }
  std::remove("robust_regression_benchmark_report.txt");
  state.counters["evaluations"] = static_cast<double>(evaluations);
  state.counters["candidates"] = static_cast<double>(candidates);
  state.counters["minimizer_runs"] = runs;
  state.counters["per_evaluation"] =
      benchmark::Counter(static_cast<double>(evaluations),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_RobustComputation)
    ->Args({50, 2})
    ->Args({200, 3})
    ->Args({1000, 5})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
