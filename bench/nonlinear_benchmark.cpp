// Nonlinear regression benchmark: the whole experiment_selection run, the estimation of each of
// its four models, and the reports with the experiment search on models already estimated
// (automatic criterion, and criterion 1 with its SVD of the augmented Jacobian per candidate);
// the eighteen fits of the nine NIST StRD problems of the tests from both starts.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

struct NistProblem {
  std::string name;
  KelVector start1, start2;
  KelMatrix X, Y;
};

NistProblem ReadNist(const std::string& name) {
  std::ifstream in(std::string(KELMATH_NIST_NONLINEAR_DIR) + "/" + name + ".txt");
  std::vector<double> s1, s2, x, y;
  std::string line;
  bool data = false;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    double a = 0.0, b = 0.0;
    if (data) {
      if (fields >> a >> b) x.push_back(a), y.push_back(b);
      continue;
    }
    std::string key;
    fields >> key;
    int i = 0;
    if (key == "param" && fields >> i >> a >> b) s1.push_back(a), s2.push_back(b);
    if (key == "data:") data = true;
  }
  NistProblem p{name, KelVector(static_cast<int>(s1.size())),
                KelVector(static_cast<int>(s2.size())), KelMatrix(static_cast<int>(x.size()), 1),
                KelMatrix(static_cast<int>(y.size()), 1)};
  for (size_t k = 0; k < s1.size(); ++k) {
    p.start1(static_cast<int>(k) + 1) = s1[k];
    p.start2(static_cast<int>(k) + 1) = s2[k];
  }
  for (size_t i = 0; i < x.size(); ++i) {
    p.X(static_cast<int>(i) + 1, 1) = x[i];
    p.Y(static_cast<int>(i) + 1, 1) = y[i];
  }
  return p;
}

const std::string* nistName = nullptr;

void NistModel(int, int, KelVector& b, KelVector& xv, KelVector& yv) {
  const double x = xv(1), pi = 3.14159265358979323846;
  const std::string& n = *nistName;
  double v = 0.0;
  if (n == "Misra1a") v = b(1) * (1.0 - std::exp(-b(2) * x));
  if (n == "Misra1c") v = b(1) * (1.0 - std::pow(1.0 + 2.0 * b(2) * x, -0.5));
  if (n == "Chwirut2") v = std::exp(-b(1) * x) / (b(2) + b(3) * x);
  if (n == "Lanczos3" || n == "Lanczos2")
    v = b(1) * std::exp(-b(2) * x) + b(3) * std::exp(-b(4) * x) + b(5) * std::exp(-b(6) * x);
  if (n == "Gauss1") {
    const double u = x - b(4), t = x - b(7);
    v = b(1) * std::exp(-b(2) * x) + b(3) * std::exp(-u * u / (b(5) * b(5))) +
        b(6) * std::exp(-t * t / (b(8) * b(8)));
  }
  if (n == "DanWood") v = b(1) * std::pow(x, b(2));
  if (n == "Kirby2") v = (b(1) + b(2) * x + b(3) * x * x) / (1.0 + b(4) * x + b(5) * x * x);
  if (n == "ENSO")
    v = b(1) + b(2) * std::cos(2 * pi * x / 12) + b(3) * std::sin(2 * pi * x / 12) +
        b(5) * std::cos(2 * pi * x / b(4)) + b(6) * std::sin(2 * pi * x / b(4)) +
        b(8) * std::cos(2 * pi * x / b(7)) + b(9) * std::sin(2 * pi * x / b(7));
  yv(1) = v;
}

// All eighteen fits (nine problems, two starts each) per iteration, with their statistics.
void BM_NistEighteenFits(benchmark::State& state) {
  Quiet();
  std::vector<NistProblem> problems;
  for (const char* name : {"Misra1a", "Chwirut2", "Lanczos3", "Gauss1", "DanWood", "Kirby2",
                           "Misra1c", "ENSO", "Lanczos2"})
    problems.push_back(ReadNist(name));
  int evaluations = 0;
  for (auto _ : state) {
    evaluations = 0;
    for (const NistProblem& p : problems) {
      nistName = &p.name;
      for (int start = 1; start <= 2; ++start) {
        KelNonLinearRegression r(1, p.X, p.Y, NistModel);
        r.SetInitialParameters(1, start == 1 ? p.start1 : p.start2);
        benchmark::DoNotOptimize(r.StandardErrors(1));
        evaluations += r.ModelEvaluations(1);
      }
    }
  }
  state.counters["evaluations"] = evaluations;
}
BENCHMARK(BM_NistEighteenFits)->Unit(benchmark::kMillisecond);

}  // namespace
