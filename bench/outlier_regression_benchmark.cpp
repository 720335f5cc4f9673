// outlier_regression benchmark: the whole program's work (both runs with their robust and
// least-squares analyses), the estimation of the corrected data with and without variances of
// x, and the x step alone, timed from inside the model between its first and last call.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "kelmath.h"

namespace {

using Clock = std::chrono::steady_clock;

void OutlierModel(int, int, KelVector& b, KelVector& x, KelVector& y) {
  const double a = x(1) * x(2) / (1.0 + b(3) * x(1) + b(4) * x(2));
  y(1) = b(1) * a;
  y(2) = b(2) * a;
}

KelMatrix Responses() {
  return KelMatrix(13, 2, 6.61, 0.43, 5.42, 0.44, 5.0, 0.64, 7.5, 0.66, 5.73, 0.55, 3.8, 0.33, 7.3,
                   0.79, 4.9, 0.35, 5.9, 0.71, 9.15, 0.926, 13.74, 1.34, 6.0, 1.7, 8.2, 0.84);
}
KelMatrix IndependentVariables(double x2OfExperiment6) {
  return KelMatrix(13, 2, 20., 20., 30., 20., 20., 30., 30., 30., 25., 25., 25., x2OfExperiment6,
                   25., 35., 15., 25., 35., 25., 55., 32.8, 55., 55., 10.6, 55., 16., 55.);
}

void Quiet() {
  static bool done = false;
  if (!done) KelSetOutputFile("/dev/null");
  done = true;
  kelWarningMode = -1;
}

void BM_WholeOutlierRegression(benchmark::State& state) {
  Quiet();
  for (auto _ : state) {
    {
      KelNonLinearRegression r(1, IndependentVariables(20.), Responses(), OutlierModel);
      r.SetVariances(5, KelVector(2, 0.348, 0.0023));
      r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
      r.RobustAnalysis();
      r.LeastSquaresAnalysis();
    }
    {
      KelNonLinearRegression r(1, IndependentVariables(25.), Responses(), OutlierModel);
      r.SetVariances(5, KelVector(4, 0.348, 0.0023, 0.1, 0.2));
      r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
      r.RobustAnalysis();
      r.LeastSquaresAnalysis();
    }
  }
}
BENCHMARK(BM_WholeOutlierRegression)->Unit(benchmark::kMillisecond);

void BM_EstimationResponseVariancesOnly(benchmark::State& state) {
  Quiet();
  for (auto _ : state) {
    KelNonLinearRegression r(1, IndependentVariables(25.), Responses(), OutlierModel);
    r.SetVariances(5, KelVector(2, 0.348, 0.0023));
    r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
    benchmark::DoNotOptimize(r.GetParameters(1));
  }
}
BENCHMARK(BM_EstimationResponseVariancesOnly)->Unit(benchmark::kMillisecond);

void BM_EstimationWithVariancesOfX(benchmark::State& state) {
  Quiet();
  for (auto _ : state) {
    KelNonLinearRegression r(1, IndependentVariables(25.), Responses(), OutlierModel);
    r.SetVariances(5, KelVector(4, 0.348, 0.0023, 0.1, 0.2));
    r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
    benchmark::DoNotOptimize(r.GetParameters(1));
  }
}
BENCHMARK(BM_EstimationWithVariancesOfX)->Unit(benchmark::kMillisecond);

// The x step is the one phase of the estimation that calls the model with the same parameters
// for sweep after sweep over the experiments: its duration is the longest such run, from the
// start of its first sweep to the end of its last.
struct SweepClock {
  std::vector<double> parameters;
  Clock::time_point runStart;
  Clock::time_point lastEnd;
  int runSweeps = 0;
  int longestSweeps = 0;
  double longestSeconds = 0.0;

  void CloseRun() {
    if (runSweeps > longestSweeps) {
      longestSweeps = runSweeps;
      longestSeconds = std::chrono::duration<double>(lastEnd - runStart).count();
    }
  }
};
SweepClock sweepClock;

void TimedModel(int model, int experiment, KelVector& b, KelVector& x, KelVector& y) {
  if (experiment == 1) {
    const Clock::time_point now = Clock::now();
    bool same = static_cast<int>(sweepClock.parameters.size()) == b.Size();
    for (int k = 1; same && k <= b.Size(); ++k)
      same = sweepClock.parameters[static_cast<size_t>(k - 1)] == b(k);
    if (!same) {
      sweepClock.CloseRun();
      sweepClock.parameters.assign(b.Size(), 0.0);
      for (int k = 1; k <= b.Size(); ++k) sweepClock.parameters[static_cast<size_t>(k - 1)] = b(k);
      sweepClock.runStart = now;
      sweepClock.runSweeps = 0;
    }
    ++sweepClock.runSweeps;
  }
  OutlierModel(model, experiment, b, x, y);
  if (experiment == 13) sweepClock.lastEnd = Clock::now();
}

void BM_XStepAlone(benchmark::State& state) {
  Quiet();
  int sweeps = 0;
  for (auto _ : state) {
    sweepClock = SweepClock();
    KelNonLinearRegression r(1, IndependentVariables(25.), Responses(), TimedModel);
    r.SetVariances(5, KelVector(4, 0.348, 0.0023, 0.1, 0.2));
    r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
    benchmark::DoNotOptimize(r.GetParameters(1));
    sweepClock.CloseRun();
    state.SetIterationTime(sweepClock.longestSeconds);
    sweeps = sweepClock.longestSweeps;
  }
  state.counters["sweeps"] = sweeps;
}
BENCHMARK(BM_XStepAlone)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
