// The triangle of a least-squares problem accumulated block by block (KelStreamingQR) against the
// QR of all the rows held at once (KelTallQR), on the same 10^5 x 10 and 10^6 x 10 designs plus
// their responses. Rows are fed in blocks of 10^4, as a reader of a file would hand them over;
// the counter rows/s gives the throughput of each, measured in this run. The in-memory QR also
// needs the whole matrix (8 bytes a value); the accumulator needs (n + 1)^2 values and one block.
// The whole streaming least-squares fit (pass 1: KelStreamingLeastSquares and its Fit; pass 2:
// KelStreamingDiagnostics with each row's values and the HC3 sandwich) against the in-memory
// KelFitScaledLeastSquares with KelHeteroskedasticityConsistentCovariance on the same rows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "factorizations/kel_tall_qr.h"
#include "kelmath.h"

namespace {

constexpr int kColumns = 10;
constexpr long long kBlockRows = 10000;

// Rows of F (an intercept and normal regressors) each followed by y.
std::vector<double> Rows(long long m) {
  std::mt19937_64 engine(20261210u + static_cast<unsigned>(m));
  std::normal_distribution<double> normal;
  std::vector<double> values(static_cast<size_t>(m) * (kColumns + 1));
  for (long long i = 0; i < m; ++i) {
    double* row = values.data() + i * (kColumns + 1);
    double y = 3.0;
    row[0] = 1.0;
    for (int j = 1; j < kColumns; ++j) {
      row[j] = normal(engine) * j;
      y += (0.5 + j) * row[j];
    }
    row[kColumns] = y + normal(engine);
  }
  return values;
}

void BM_WholeTallQR(benchmark::State& state) {
  const long long m = state.range(0);
  const std::vector<double> values = Rows(m);
  for (auto _ : state) {
    KelMatrix A(static_cast<int>(m), kColumns + 1);
    std::copy(values.begin(), values.end(), A.Data());
    KelTallQR qr(&A);
    benchmark::DoNotOptimize(qr.R()(1, 1));
  }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(m) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_StreamingQR(benchmark::State& state) {
  const long long m = state.range(0);
  const std::vector<double> values = Rows(m);
  for (auto _ : state) {
    KelStreamingQR qr(kColumns);
    for (long long first = 0; first < m; first += kBlockRows)
      qr.AddRows(std::min(kBlockRows, m - first), values.data() + first * (kColumns + 1));
    benchmark::DoNotOptimize(qr.ResidualNorm());
  }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(m) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_StreamingLeastSquaresTwoPasses(benchmark::State& state) {
  const long long m = state.range(0);
  const std::vector<double> values = Rows(m);
  const int width = kColumns + 1;
  std::vector<KelStreamingRow> rows(static_cast<size_t>(kBlockRows));
  for (auto _ : state) {
    KelStreamingLeastSquares pass1(kColumns, true,
                                   std::vector<double>(values.begin(), values.begin() + width));
    for (long long first = 0; first < m; first += kBlockRows)
      pass1.AddRows(std::min(kBlockRows, m - first), values.data() + first * width);
    const KelScaledLeastSquaresResult fit = pass1.Fit();
    KelStreamingDiagnostics pass2(fit, m, KelCovarianceType::kHC3);
    for (long long first = 0; first < m; first += kBlockRows)
      pass2.AddRows(std::min(kBlockRows, m - first), values.data() + first * width, rows.data());
    benchmark::DoNotOptimize(pass2.Covariance().scaled(2, 2));
    benchmark::DoNotOptimize(pass2.BreuschPagan().statistic);
  }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(m) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_InMemoryScaledLeastSquares(benchmark::State& state) {
  const long long m = state.range(0);
  const std::vector<double> values = Rows(m);
  const int width = kColumns + 1;
  for (auto _ : state) {
    KelMatrix F(static_cast<int>(m), kColumns);
    KelVector y(static_cast<int>(m));
    for (long long i = 0; i < m; ++i) {
      std::copy(values.data() + i * width, values.data() + i * width + kColumns,
                F.Data() + i * kColumns);
      y.Data()[i] = values[static_cast<size_t>(i * width + kColumns)];
    }
    const KelScaledLeastSquaresResult fit = KelFitScaledLeastSquares(F, y, {});
    benchmark::DoNotOptimize(
        KelHeteroskedasticityConsistentCovariance(F, fit, KelCovarianceType::kHC3).scaled(2, 2));
  }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(m) * state.iterations(), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_WholeTallQR)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamingQR)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamingLeastSquaresTwoPasses)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InMemoryScaledLeastSquares)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
