// Robust (least-median-of-squares) regression: the whole computation, without the report, on
// random problems with an intercept column, normal noise and 20 % of the experiments shifted by
// 20 noise units. "per_evaluation" is the time per evaluation of the criterion (each one a
// product F b and a median of m squared residuals), over all evaluations of the computation.
//
// Where R with MASS is installed, each size also runs MASS::lqs(method = "lms") on the same
// data in the same run (the data go through a temporary file; R's time is that of the lqs call
// alone, measured in R). lqs optimizes a slightly different quantile, so its coefficients are
// evaluated on the library's criterion here: "lqs_criterion" against "criterion", "lqs_ms"
// against the benchmark's own time. A table of both is printed at the end, with the processor
// times beside the elapsed ones (the library's process time, R's user and system time of the
// lqs call): on a shared machine the elapsed times measure the load as much as the work.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_regression.h"

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

// The library's criterion: median (mean of the two middle values for even m) of the squared
// residuals, by a full sort.
double MedianOfSquares(const KelMatrix& F, const KelVector& y, const std::vector<double>& b) {
  std::vector<double> squares;
  for (int i = 1; i <= F.Rows(); ++i) {
    double r = y(i);
    for (int j = 1; j <= F.Columns(); ++j) r -= F(i, j) * b[static_cast<size_t>(j - 1)];
    squares.push_back(r * r);
  }
  std::sort(squares.begin(), squares.end());
  const size_t m = squares.size();
  return m % 2 == 1 ? squares[m / 2] : (squares[m / 2 - 1] + squares[m / 2]) / 2.0;
}

bool RWithMassAvailable() {
  static const bool available = kel_bench::RPackageAvailable("MASS");
  return available;
}

struct LqsResult {
  bool ran = false;
  double seconds = 0.0;
  double cpuSeconds = 0.0;  // R's user and system time of the call
  std::vector<double> coefficients;
};

// Writes y and the columns 2..n of F, runs lqs on them in R and reads back its time and
// coefficients (intercept first).
LqsResult RunLqs(const KelMatrix& F, const KelVector& y) {
  LqsResult result;
  const kel_bench::RScratchFiles files("kelmath_lqs", ".txt");
  const std::string& data = files.data;
  const std::string& output = files.output;
  const std::string& script = files.script;
  {
    std::ofstream out(data);
    char field[40];
    for (int i = 1; i <= F.Rows(); ++i) {
      std::snprintf(field, sizeof field, "%.17g", y(i));
      out << field;
      for (int j = 2; j <= F.Columns(); ++j) {
        std::snprintf(field, sizeof field, " %.17g", F(i, j));
        out << field;
      }
      out << '\n';
    }
    std::ofstream code(script);
    code << "suppressPackageStartupMessages(library(MASS))\n"
         << "d <- as.matrix(read.table('" << data << "'))\n"
         << "set.seed(1)\n"
         << "t <- system.time(fit <- lqs(d[, -1, drop = FALSE], d[, 1], method = 'lms'))\n"
         << "writeLines(sprintf('%.17g', c(t[['elapsed']], t[['user.self']] + t[['sys.self']], "
         << "fit$coefficients)), '" << output << "')\n";
  }
  if (files.Run()) {
    std::ifstream in(output);
    double value = 0.0;
    if (in >> result.seconds >> result.cpuSeconds) {
      while (in >> value) result.coefficients.push_back(value);
      result.ran = static_cast<int>(result.coefficients.size()) == F.Columns();
    }
  }
  return result;
}

struct Row {
  int m, n;
  double seconds, criterion;
  bool lqs;
  double lqsSeconds, lqsCpuSeconds, lqsCriterion;
};
std::vector<Row> rows;

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
  double criterion = 0.0;
  for (auto _ : state) {
    KelLinearRegression regression(F, y);
    criterion = regression.LeastMedianOfSquares();
    benchmark::DoNotOptimize(criterion);
    evaluations = regression.RobustFit().robustEvaluations;
    candidates = regression.RobustFit().robustElementalCandidates +
                 regression.RobustFit().robustSubsetCandidates;
    runs = regression.RobustFit().robustMinimizerRuns;
  }
  std::remove("robust_regression_benchmark_report.txt");
  state.counters["criterion"] = criterion;
  state.counters["evaluations"] = static_cast<double>(evaluations);
  state.counters["candidates"] = static_cast<double>(candidates);
  state.counters["minimizer_runs"] = runs;
  state.counters["per_evaluation"] = benchmark::Counter(
      static_cast<double>(evaluations),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  // The benchmark calls this function several times while it settles the iteration count: R
  // runs once per size.
  auto found =
      std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.m == m && r.n == n; });
  if (found != rows.end()) {
    found->criterion = criterion;
    if (found->lqs) {
      state.counters["lqs_ms"] = 1000.0 * found->lqsSeconds;
      state.counters["lqs_criterion"] = found->lqsCriterion;
    }
    return;
  }
  Row row{m, n, 0.0, criterion, false, 0.0, 0.0, 0.0};
  if (RWithMassAvailable()) {
    const LqsResult lqs = RunLqs(F, y);
    if (lqs.ran) {
      row.lqs = true;
      row.lqsSeconds = lqs.seconds;
      row.lqsCpuSeconds = lqs.cpuSeconds;
      row.lqsCriterion = MedianOfSquares(F, y, lqs.coefficients);
      state.counters["lqs_ms"] = 1000.0 * lqs.seconds;
      state.counters["lqs_criterion"] = row.lqsCriterion;
    }
  }
  rows.push_back(row);
}

BENCHMARK(BM_RobustComputation)
    ->Args({50, 2})
    ->Args({200, 3})
    ->Args({300, 8})
    ->Args({1000, 5})
    ->Args({10000, 10})
    ->Args({100000, 5})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Collects the benchmark's own time per computation for the table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      times.push_back(run.real_accumulated_time / static_cast<double>(run.iterations));
      cpuTimes.push_back(run.cpu_accumulated_time / static_cast<double>(run.iterations));
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::vector<double> times;
  std::vector<double> cpuTimes;  // the process's processor time: the machine may be shared
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\n%8s %4s %10s %10s %10s %10s %14s %14s %8s\n", "m", "n", "library s", "lib cpu s",
              "lqs s", "lqs cpu s", "library LMS", "lqs LMS", "lqs/lib");
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    const double seconds = i < reporter.times.size() ? reporter.times[i] : 0.0;
    const double cpu = i < reporter.cpuTimes.size() ? reporter.cpuTimes[i] : 0.0;
    if (row.lqs)
      std::printf("%8d %4d %10.4f %10.4f %10.4f %10.4f %14.7e %14.7e %8.4f\n", row.m, row.n,
                  seconds, cpu, row.lqsSeconds, row.lqsCpuSeconds, row.criterion, row.lqsCriterion,
                  row.lqsCriterion / row.criterion);
    else
      std::printf("%8d %4d %10.4f %10.4f %10s %10s %14.7e %14s %8s\n", row.m, row.n, seconds, cpu,
                  "-", "-", row.criterion, "-", "-");
  }
  return 0;
}
