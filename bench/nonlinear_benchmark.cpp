// Nonlinear regression benchmark: the whole experiment_selection run, the estimation of each of
// its four models, and the reports with the experiment search on models already estimated
// (automatic criterion, and criterion 1 with its SVD of the augmented Jacobian per candidate).
#include <benchmark/benchmark.h>

#include "kelmath.h"

namespace {

KelVector noise(31, 1.22, 1.44, -1.22, 1.66, -1.1, -1.22, -1.44, 1.88, 1.44, -1.24, 1.66, -1.22,
                -1.88, 1.22, 1.44, -1.66, 1.66, -1.88, -1.44, 1.44, 1.22, 1.66, -1.44, -1.22, 1.44,
                -1.22, 1.22, -1.22, 1.44, -1.22, -1.44);

void KineticModel(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  const double x1 = x(1), x2 = x(2), d = b(3) * x2 * x1;
  const double E = 1.0 + b(3) * x1;
  if (model <= 2) {
    const double D = 1.0 + b(3) * x1 + b(4) * x2;
    y(1) = b(1) * b(4) * d / (D * D);
    y(2) = model == 1 ? b(2) * b(4) * d / (D * D) : b(1) * b(4) * d / D;
  } else if (model == 3) {
    y(1) = b(1) * d / E;
    y(2) = b(2) * d / (E * E);
  } else {
    const double F = 1.0 + b(3) * x1 + b(4) * x1;
    y(1) = b(1) * d / E;
    y(2) = b(2) * d / (F * F);
  }
}

struct Data {
  KelMatrix X{5, 2, 0.5, 0.5, 1., 0.5, 0.5, 1., 1., 1., 0.01, 2.};
  KelMatrix Y{5, 2};
  Data() {
    for (int i = 1; i <= 5; ++i) {
      const double x1 = X(i, 1), x2 = X(i, 2), den = 15.0 * x1 + 1.0 + 1.9 * x1;
      Y(i, 1) = 0.0005 * 15.0 * x1 * x2 / (15.0 * x1 + 1.0) + 2e-6 * noise(i);
      Y(i, 2) = 0.16 * 15.0 * x1 * x2 / (den * den) + 5e-5 * noise(31 - i);
    }
  }
};

void Prepare(KelNonLinearRegression& r, int onlyModel = 0) {
  r.SetVariances(4, KelVector(2, 8.6e-12, 5.4e-9));
  if (onlyModel == 0 || onlyModel == 1) r.SetInitialParameters(1, KelVector(4, 0., 1., 1., 1.));
  if (onlyModel == 0 || onlyModel == 2) r.SetInitialParameters(2, KelVector(4, 0., 1., 1., 1.));
  if (onlyModel == 0 || onlyModel == 3) r.SetInitialParameters(3, KelVector(3, 0.0005, 0.16, 1.));
  if (onlyModel == 0 || onlyModel == 4)
    r.SetInitialParameters(4, KelVector(4, 0.0005, 0.16, 1., 1.));
}

void Quiet() {
  static bool done = false;
  if (!done) KelSetOutputFile("/dev/null");
  done = true;
  kelWarningMode = -1;
}

void BM_WholeExperimentSelection(benchmark::State& state) {
  Quiet();
  const Data data;
  for (auto _ : state) {
    KelNonLinearRegression r(4, data.X, data.Y, KineticModel);
    Prepare(r);
    r.RobustAnalysis();
    r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(2, 0.01, 0.01), KelVector(2, 2., 2.));
  }
}
BENCHMARK(BM_WholeExperimentSelection)->Unit(benchmark::kMillisecond);

void BM_EstimateModel(benchmark::State& state) {
  Quiet();
  const Data data;
  const int model = static_cast<int>(state.range(0));
  for (auto _ : state) {
    KelNonLinearRegression r(4, data.X, data.Y, KineticModel);
    Prepare(r, model);
    benchmark::DoNotOptimize(r.GetParameters(model));
  }
}
BENCHMARK(BM_EstimateModel)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);

void BM_ReportsAndExperimentSearch(benchmark::State& state) {
  Quiet();
  const Data data;
  KelNonLinearRegression r(4, data.X, data.Y, KineticModel);
  Prepare(r);
  r.SetExperimentCriterion(static_cast<int>(state.range(0)));
  for (int m = 1; m <= 4; ++m) r.GetParameters(m);
  for (auto _ : state)
    r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(2, 0.01, 0.01), KelVector(2, 2., 2.));
}
BENCHMARK(BM_ReportsAndExperimentSearch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
