// Independent objects on several threads: four least-squares fits of a 100000 x 10 design
// (construct, fit, coefficients and their standard errors) one after the other, then on two
// threads with two fits each. Wall-clock time (UseRealTime): on a machine with two free cores the
// second takes about half the first, as the objects share nothing.
#include <benchmark/benchmark.h>

#include <array>
#include <thread>

#include "bench_support.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

constexpr int kFits = 4;
constexpr int kRows = 100000;
constexpr int kColumns = 10;

struct Problem {
  KelMatrix F;
  KelVector y;
};

// Four designs of the same shape: the rows of the shared problem, each with the response shifted
// by its own constant so that the four fits differ in their intercepts.
const std::array<Problem, kFits>& Problems() {
  static const std::array<Problem, kFits> problems = [] {
    std::array<Problem, kFits> made;
    for (int k = 0; k < kFits; ++k) {
      kel_bench::MakeRegressionProblem(kRows, kColumns, &made[k].F, &made[k].y);
      for (int i = 1; i <= kRows; ++i) made[k].y(i) += k;
    }
    return made;
  }();
  return problems;
}

// One whole fit; its output (warnings, notes) is discarded on the calling thread.
void Fit(const Problem& p) {
  KelOutputScope discard(nullptr);
  KelLinearRegression regression(p.F, p.y);
  benchmark::DoNotOptimize(regression.Parameters()(1));
  benchmark::DoNotOptimize(regression.ParameterStandardErrors()(1));
}

void BM_FourFitsSequential(benchmark::State& state) {
  const auto& problems = Problems();
  for (auto _ : state)
    for (const Problem& p : problems) Fit(p);
}

void BM_FourFitsOnTwoThreads(benchmark::State& state) {
  const auto& problems = Problems();
  for (auto _ : state) {
    std::thread second([&] {
      Fit(problems[2]);
      Fit(problems[3]);
    });
    Fit(problems[0]);
    Fit(problems[1]);
    second.join();
  }
}

BENCHMARK(BM_FourFitsSequential)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FourFitsOnTwoThreads)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
