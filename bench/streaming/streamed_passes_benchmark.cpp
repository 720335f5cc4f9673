// The passes of `kelmath regress --stream` over a CSV file, each against merely reading the
// file: the file's rows parsed (the floor any pass pays), pass 1 (parsed and folded into the
// streaming QR), pass 2 (parsed, each row's diagnostics, Breusch-Pagan and the HC3 meat), and
// the combining of two ranks' states (what a reduction tree pays per step).
//
// The file is named by the environment variable KELMATH_STREAM_CSV (a file of run.sh, with a
// header x1..x10,y); without it a file of 10^6 rows is written into the temporary folder first.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "csv_stream.h"
#include "linear_regression/kel_streaming_diagnostics.h"
#include "linear_regression/kel_streaming_least_squares.h"

namespace {

using kelmath_cli::CsvRowStream;
using kelmath_cli::CsvStreamHeader;

constexpr size_t kBlockRows = 4096;

std::string WriteDefaultFile() {
  const char* folder = std::getenv("TMPDIR");
  const std::string path =
      std::string(folder != nullptr ? folder : "/tmp") + "/kelmath_streamed_passes_1000000.csv";
  if (std::FILE* existing = std::fopen(path.c_str(), "rb")) {
    std::fclose(existing);
    return path;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return "";
  std::fputs("x1,x2,x3,x4,x5,x6,x7,x8,x9,x10,y\n", file);
  std::mt19937_64 random(1);
  std::normal_distribution<double> normal;
  for (int i = 0; i < 1000000; ++i) {
    double y = 1.0;
    for (int j = 1; j <= 10; ++j) {
      const double x = j + normal(random);
      y += (j % 2 == 1 ? 0.1 : -0.1) * j * x;
      std::fprintf(file, "%.17g,", x);
    }
    std::fprintf(file, "%.17g\n", y + 0.5 * normal(random));
  }
  std::fclose(file);
  return path;
}

const std::string& CsvPath() {
  static const std::string path = [] {
    const char* given = std::getenv("KELMATH_STREAM_CSV");
    return given != nullptr ? std::string(given) : WriteDefaultFile();
  }();
  return path;
}

CsvStreamHeader Header() {
  kelmath_cli::ModelRequest request;
  request.response = "y";
  return kelmath_cli::ReadCsvStreamHeader(CsvPath(), request);
}

// Reads every block of the file, handing each to use(rows, values); returns the rows.
template <typename Use>
long long ReadAll(const CsvStreamHeader& header, Use use) {
  CsvRowStream stream(CsvPath(), header,
                      kelmath_cli::RangeOfPart(CsvPath(), header.dataStart, 0, 1));
  long long rows = 0;
  while (const size_t block = stream.NextBlock(kBlockRows)) {
    use(static_cast<long long>(block), stream.Values().data());
    rows += static_cast<long long>(block);
  }
  return rows;
}

void Report(benchmark::State& state, long long rows) {
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["rows_per_second"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

void BM_ParseOnly(benchmark::State& state) {
  const CsvStreamHeader header = Header();
  long long rows = 0;
  for (auto _ : state) {
    double sum = 0.0;
    rows = ReadAll(header, [&](long long block, const double* values) {
      sum += values[(block - 1) * static_cast<long long>(header.Width())];
    });
    benchmark::DoNotOptimize(sum);
  }
  Report(state, rows);
}

KelStreamingLeastSquares FirstPass(const CsvStreamHeader& header, long long& rows) {
  CsvRowStream first(CsvPath(), header,
                     kelmath_cli::RangeOfPart(CsvPath(), header.dataStart, 0, 1));
  first.NextBlock(1);
  const std::vector<double> origin(first.Values().begin(), first.Values().end());
  KelStreamingLeastSquares squares(static_cast<int>(header.parameterNames.size()), header.intercept,
                                   origin);
  rows = ReadAll(header,
                 [&](long long block, const double* values) { squares.AddRows(block, values); });
  return squares;
}

void BM_Pass1Fit(benchmark::State& state) {
  const CsvStreamHeader header = Header();
  long long rows = 0;
  for (auto _ : state) {
    const KelStreamingLeastSquares squares = FirstPass(header, rows);
    benchmark::DoNotOptimize(squares.Fit().sigma);
  }
  Report(state, rows);
}

void BM_Pass2DiagnosticsHC3(benchmark::State& state) {
  const CsvStreamHeader header = Header();
  long long rows = 0;
  const KelScaledLeastSquaresResult fit = FirstPass(header, rows).Fit();
  std::vector<KelStreamingRow> out(kBlockRows);
  for (auto _ : state) {
    KelStreamingDiagnostics diagnostics(fit, rows, KelCovarianceType::kHC3);
    ReadAll(header, [&](long long block, const double* values) {
      diagnostics.AddRows(block, values, out.data());
    });
    benchmark::DoNotOptimize(diagnostics.Covariance().covariance(2, 2));
  }
  Report(state, rows);
}

// One step of the reduction tree: a rank's state received and merged, for the fit and for the
// diagnostics (10 columns and the intercept).
void BM_CombineTwoRanks(benchmark::State& state) {
  std::mt19937_64 random(3);
  std::normal_distribution<double> normal;
  std::vector<double> rows(11 * 1000);
  for (double& v : rows) v = normal(random);
  std::vector<double> origin(rows.begin(), rows.begin() + 11);
  KelStreamingLeastSquares a(10, true, origin), b(10, true, origin);
  a.AddRows(500, rows.data());
  b.AddRows(500, rows.data() + 11 * 500);
  const std::vector<double> bytes = b.State();
  for (auto _ : state) {
    KelStreamingLeastSquares merged = a;
    merged.MergeState(bytes);
    benchmark::DoNotOptimize(merged.Rows());
  }
  state.counters["state_bytes"] = static_cast<double>(bytes.size() * sizeof(double));
}

BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Pass1Fit)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Pass2DiagnosticsHC3)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_CombineTwoRanks)->Unit(benchmark::kMicrosecond);

}  // namespace
