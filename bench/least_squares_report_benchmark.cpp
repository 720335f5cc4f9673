// Least-squares fit and report at scale, beside R on the same data in the same run.
//
// Problems: an intercept column, n - 1 normal columns of different spreads, normal noise and
// one gross outlier (the data of linear_regression_benchmark). "fit" is the construction and
// the fit (GetR2); "report" is the fit and LeastSquaresAnalysis written to a file.
//
// Where R with car is installed, each size also runs, once, an R script on the same numbers
// (passed through a temporary binary file): lm alone ("R_lm_ms"), and lm + summary + car::vif
// + hatvalues + rstudent + confint + kappa(exact = TRUE) ("R_set_ms"), each the mean of
// several repetitions timed inside R, so R's start and the data transfer are not counted.
// Both sides are compared in processor time (R's user + system time, the library's "CPU"
// column), which a machine shared with other work disturbs less than the elapsed time.
// "R_heap_MB" is R's peak heap during those computations (gc's "max used"). A table of both
// sides is printed at the end.
//
// "peak_over_data" is the library's own peak memory in units of the data (F and y): the rise of
// the process's peak resident size over its resident size before the first construction. It is
// reported where that run raised the process's peak, i.e. for the largest size (the sizes run in
// increasing order and R runs in a child process).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
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

bool RWithCarAvailable() {
  static const bool available = kel_bench::RPackageAvailable("car");
  return available;
}

struct RTimes {
  bool ran = false;
  double lmSeconds = 0.0;
  double setSeconds = 0.0;
  double heapMegabytes = 0.0;
};

// y and the columns 2..n of F, column by column, after the two dimensions (int32).
void WriteBinary(const std::string& path, const KelMatrix& F, const KelVector& y) {
  std::ofstream out(path, std::ios::binary);
  const int dims[2] = {F.Rows(), F.Columns()};
  out.write(reinterpret_cast<const char*>(dims), sizeof dims);
  std::vector<double> column(static_cast<size_t>(F.Rows()));
  for (int j = 1; j <= F.Columns(); ++j) {
    for (int i = 1; i <= F.Rows(); ++i)
      column[static_cast<size_t>(i - 1)] = j == 1 ? y(i) : F(i, j);
    out.write(reinterpret_cast<const char*>(column.data()),
              static_cast<std::streamsize>(sizeof(double) * column.size()));
  }
}

RTimes RunR(const KelMatrix& F, const KelVector& y) {
  RTimes result;
  const kel_bench::RScratchFiles files("kelmath_lm", ".bin");
  const std::string& data = files.data;
  const std::string& output = files.output;
  const std::string& script = files.script;
  WriteBinary(data, F, y);
  // Enough repetitions for about 0.2 s of lm, at least one.
  const int repetitions = std::max(1, 200000 / F.Rows());
  {
    std::ofstream code(script);
    code << "suppressPackageStartupMessages(library(car))\n"
         << "con <- file('" << data << "', 'rb')\n"
         << "dims <- readBin(con, 'integer', 2)\n"
         << "v <- readBin(con, 'double', dims[1] * dims[2])\n"
         << "close(con)\n"
         << "d <- as.data.frame(matrix(v, dims[1], dims[2]))\n"
         << "names(d) <- c('y', paste0('x', 2:dims[2]))\n"
         << "rm(v)\n"
         << "reps <- " << repetitions << "\n"
         << "invisible(gc(reset = TRUE))\n"
         << "cpu <- function() sum(proc.time()[c('user.self', 'sys.self')])\n"
         << "t0 <- cpu()\n"
         << "for (k in 1:reps) fit <- lm(y ~ ., data = d)\n"
         << "t1 <- cpu()\n"
         << "for (k in 1:reps) {\n"
         << "  fit <- lm(y ~ ., data = d)\n"
         << "  s <- summary(fit); vif <- car::vif(fit); h <- hatvalues(fit)\n"
         << "  r <- rstudent(fit); ci <- confint(fit); kap <- kappa(fit, exact = TRUE)\n"
         << "}\n"
         << "t2 <- cpu()\n"
         << "heap <- sum(gc()[, 6])\n"
         << "writeLines(sprintf('%.17g', c((t1 - t0) / reps, (t2 - t1) / reps, heap)), '" << output
         << "')\n";
  }
  if (files.Run()) {
    std::ifstream in(output);
    result.ran =
        static_cast<bool>(in >> result.lmSeconds >> result.setSeconds >> result.heapMegabytes);
  }
  return result;
}

struct Row {
  int m, n;
  RTimes r;
};
std::vector<Row> rows;

// R's figures for this size, run once however often the benchmark calls the function.
const RTimes& RFor(int m, int n, const KelMatrix& F, const KelVector& y) {
  for (const Row& row : rows)
    if (row.m == m && row.n == n) return row.r;
  Row row{m, n, RTimes{}};
  if (RWithCarAvailable()) row.r = RunR(F, y);
  rows.push_back(row);
  return rows.back().r;
}

// Resident and peak resident size of this process, bytes.
double ResidentBytes() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

double PeakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return 1024.0 * static_cast<double>(usage.ru_maxrss);
}

// Peak memory of the runs since `before` (the resident size then), over the data, when they
// raised the process's peak above `peakBefore`.
void AddMemoryCounter(benchmark::State& state, double before, double peakBefore, int m, int n) {
  const double peak = PeakResidentBytes();
  if (peak <= peakBefore) return;
  const double data = 8.0 * static_cast<double>(m) * (n + 1);
  state.counters["peak_over_data"] = (peak - before) / data;
}

void AddRCounters(benchmark::State& state, const RTimes& r) {
  if (!r.ran) return;
  state.counters["R_lm_ms"] = 1000.0 * r.lmSeconds;
  state.counters["R_set_ms"] = 1000.0 * r.setSeconds;
  state.counters["R_heap_MB"] = r.heapMegabytes;
}

void BM_Fit(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  KelMatrix F;
  KelVector y;
  kel_bench::MakeRegressionProblem(m, n, &F, &y);
  const double before = ResidentBytes();
  const double peakBefore = PeakResidentBytes();
  for (auto _ : state) {
    KelLinearRegression regression(F, y);
    benchmark::DoNotOptimize(regression.GetR2());
  }
  AddMemoryCounter(state, before, peakBefore, m, n);
  AddRCounters(state, RFor(m, n, F, y));
}

void BM_FitAndReport(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  KelMatrix F;
  KelVector y;
  kel_bench::MakeRegressionProblem(m, n, &F, &y);
  KelSetOutputFile("least_squares_report_benchmark_report.txt");
  const double before = ResidentBytes();
  const double peakBefore = PeakResidentBytes();
  for (auto _ : state) {
    KelLinearRegression regression(F, y);
    regression.LeastSquaresAnalysis();
  }
  AddMemoryCounter(state, before, peakBefore, m, n);
  KelSetOutputFile("least_squares_report_benchmark_rest.txt");
  std::remove("least_squares_report_benchmark_report.txt");
  AddRCounters(state, RFor(m, n, F, y));
}

BENCHMARK(BM_Fit)->Args({10000, 10})->Args({100000, 10})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fit)->Args({1000000, 10})->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitAndReport)->Args({10000, 10})->Args({100000, 10})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitAndReport)->Args({1000000, 10})->Iterations(1)->Unit(benchmark::kMillisecond);

// Collects the benchmark's own time per run for the table, by name.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      names.push_back(run.benchmark_name());
      times.push_back(run.cpu_accumulated_time / static_cast<double>(run.iterations));
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double TimeOf(const std::string& prefix, int m, int n) const {
    const std::string wanted = prefix + "/" + std::to_string(m) + "/" + std::to_string(n);
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i].rfind(wanted, 0) == 0) return times[i];
    return -1.0;
  }
  std::vector<std::string> names;
  std::vector<double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::remove("least_squares_report_benchmark_rest.txt");
  std::printf("\n%8s %4s %12s %12s %12s %12s %10s %10s\n", "m", "n", "fit cpu ms", "report cpu ms",
              "R lm ms", "R set ms", "fit/lm", "report/set");
  for (const Row& row : rows) {
    const double fit = 1000.0 * reporter.TimeOf("BM_Fit", row.m, row.n);
    const double report = 1000.0 * reporter.TimeOf("BM_FitAndReport", row.m, row.n);
    if (row.r.ran)
      std::printf("%8d %4d %12.2f %12.2f %12.2f %12.2f %10.2f %10.2f\n", row.m, row.n, fit, report,
                  1000.0 * row.r.lmSeconds, 1000.0 * row.r.setSeconds,
                  fit / (1000.0 * row.r.lmSeconds), report / (1000.0 * row.r.setSeconds));
    else
      std::printf("%8d %4d %12.2f %12.2f %12s %12s %10s %10s\n", row.m, row.n, fit, report, "-",
                  "-", "-", "-");
  }
  return 0;
}
