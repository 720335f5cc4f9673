// Speed of the medians against std::nth_element on a copy (the exact median need not cost more
// than twice that), and the linear cost of the outlier-rejecting mean and variance.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "kelmath.h"

namespace {

KelVector NormalSample(int n, unsigned seed) {
  std::mt19937 generator(seed);
  std::normal_distribution<double> normal(3.0, 0.01);
  KelVector x(n);
  for (int i = 1; i <= n; ++i) x(i) = normal(generator);
  return x;
}

// The reference cost: copy, then select the middle element.
void NthElementMedianOfCopy(benchmark::State& state) {
  const KelVector x = NormalSample(static_cast<int>(state.range(0)), 1);
  for (auto _ : state) {
    std::vector<double> copy(x.Data(), x.Data() + x.Size());
    const auto middle = copy.begin() + static_cast<std::ptrdiff_t>(copy.size() / 2);
    std::nth_element(copy.begin(), middle, copy.end());
    benchmark::DoNotOptimize(*middle);
  }
}

void Median(benchmark::State& state) {
  const KelVector x = NormalSample(static_cast<int>(state.range(0)), 1);
  for (auto _ : state) benchmark::DoNotOptimize(KelMedian(x));
}

void FastMedian(benchmark::State& state) {
  const KelVector x = NormalSample(static_cast<int>(state.range(0)), 1);
  for (auto _ : state) benchmark::DoNotOptimize(KelFastMedian(x));
}

void CleverMeanVarianceOutliers(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  // Uniform values: a large normal sample has about 1.2% of its values beyond 2.5 standard
  // deviations, more than the 100 candidates per side the procedure may reject.
  std::mt19937 generator(2);
  std::uniform_real_distribution<double> uniform(3.0, 3.1);
  KelVector x(n);
  for (int i = 1; i <= n; ++i) x(i) = uniform(generator);
  // A few planted outliers on both sides, so that rejections happen.
  for (int i = 1; i <= 3; ++i) {
    x(i * n / 4) = 10.0 * i;
    x(i * n / 5) = -10.0 * i;
  }
  double mean = 0.0;
  double variance = 0.0;
  KelVectorInt indices;
  KelVector values;
  for (auto _ : state) {
    GetCleverMeanVarianceOutliers(x, &mean, &variance, indices, values);
    benchmark::DoNotOptimize(mean);
    benchmark::DoNotOptimize(variance);
  }
  state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(NthElementMedianOfCopy)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(Median)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(FastMedian)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(CleverMeanVarianceOutliers)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
