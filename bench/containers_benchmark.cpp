// Speed of the container kernels: dense and sparse matrix products against a plain i-k-j loop
// (and, when Eigen is installed, against Eigen built for this processor:
// bench/eigen_native/), the product kernel at each instruction set level, matrix-vector
// products, copies and returned results.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "containers/kel_dense_kernel.h"
#include "kelmath.h"

namespace {

KelMatrix randomMatrix(int rows, int columns, unsigned seed, double nonZeroShare = 1.0) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  KelMatrix M(rows, columns);
  double* a = M.Data();
  for (long long k = 0; k < static_cast<long long>(rows) * columns; ++k)
    a[k] = coin(generator) < nonZeroShare ? value(generator) : 0.0;
  return M;
}

void setFlops(benchmark::State& state, double flopsPerIteration) {
  state.counters["GFLOP/s"] = benchmark::Counter(flopsPerIteration * state.iterations() * 1e-9,
                                                 benchmark::Counter::kIsRate);
}

void BM_DenseProduct(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const KelMatrix A = randomMatrix(n, n, 1);
  const KelMatrix B = randomMatrix(n, n, 2);
  KelMatrix C;
  for (auto _ : state) {
    Product(A, B, C);
    benchmark::DoNotOptimize(C.Data());
  }
  setFlops(state, 2.0 * n * n * n);
}
BENCHMARK(BM_DenseProduct)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

// The product with the kernel held to one instruction set level (0 portable, 1 AVX2,
// 2 AVX-512); a level the processor lacks is skipped.
void BM_DenseProductAtLevel(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto level = static_cast<KelKernelLevel>(state.range(1));
  if (level > KelSupportedKernelLevel()) {
    state.SkipWithError("instruction set not supported by this processor");
    return;
  }
  const KelMatrix A = randomMatrix(n, n, 1);
  const KelMatrix B = randomMatrix(n, n, 2);
  KelMatrix C;
  KelSetDenseKernelLevel(level);
  for (auto _ : state) {
    Product(A, B, C);
    benchmark::DoNotOptimize(C.Data());
  }
  KelSetDenseKernelLevel(KelSupportedKernelLevel());
  setFlops(state, 2.0 * n * n * n);
}
BENCHMARK(BM_DenseProductAtLevel)
    ->Args({512, 0})
    ->Args({512, 1})
    ->Args({512, 2})
    ->Unit(benchmark::kMillisecond);

// The baseline: a plain i-k-j triple loop over contiguous row-major arrays.
void BM_PlainTripleLoop(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const KelMatrix A = randomMatrix(n, n, 1);
  const KelMatrix B = randomMatrix(n, n, 2);
  std::vector<double> a(A.Data(), A.Data() + size_t(n) * n);
  std::vector<double> b(B.Data(), B.Data() + size_t(n) * n);
  std::vector<double> c(size_t(n) * n);
  for (auto _ : state) {
    std::fill(c.begin(), c.end(), 0.0);
    for (int i = 0; i < n; ++i)
      for (int k = 0; k < n; ++k) {
        const double aik = a[size_t(i) * n + k];
        for (int j = 0; j < n; ++j) c[size_t(i) * n + j] += aik * b[size_t(k) * n + j];
      }
    benchmark::DoNotOptimize(c.data());
  }
  setFlops(state, 2.0 * n * n * n);
}
BENCHMARK(BM_PlainTripleLoop)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

// Right factor with 10 % non-zeros: the sparse path.
void BM_SparseRightFactorProduct(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const KelMatrix A = randomMatrix(n, n, 1);
  const KelMatrix B = randomMatrix(n, n, 3, 0.10);
  KelMatrix C;
  for (auto _ : state) {
    Product(A, B, C);
    benchmark::DoNotOptimize(C.Data());
  }
}
BENCHMARK(BM_SparseRightFactorProduct)->Arg(512)->Unit(benchmark::kMillisecond);

void BM_MatrixVectorProduct(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const KelMatrix A = randomMatrix(n, n, 4);
  KelVector x(n), y;
  for (int i = 1; i <= n; ++i) x(i) = 1.0 / i;
  for (auto _ : state) {
    Product(A, x, y);
    benchmark::DoNotOptimize(y.Data());
  }
  setFlops(state, 2.0 * n * n);
}
BENCHMARK(BM_MatrixVectorProduct)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_TransposedMatrixVectorProduct(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const KelMatrix A = randomMatrix(n, n, 4);
  KelVector x(n), y;
  for (int i = 1; i <= n; ++i) x(i) = 1.0 / i;
  for (auto _ : state) {
    TProduct(A, x, y);
    benchmark::DoNotOptimize(y.Data());
  }
  setFlops(state, 2.0 * n * n);
}
BENCHMARK(BM_TransposedMatrixVectorProduct)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_CopyConstruct(benchmark::State& state) {
  const KelMatrix A = randomMatrix(1000, 1000, 5);
  for (auto _ : state) {
    KelMatrix copy(A);
    benchmark::DoNotOptimize(copy.Data());
  }
}
BENCHMARK(BM_CopyConstruct)->Unit(benchmark::kMicrosecond);

void BM_CopyAssign(benchmark::State& state) {
  const KelMatrix A = randomMatrix(1000, 1000, 5);
  KelMatrix target(1000, 1000);
  for (auto _ : state) {
    target = A;
    benchmark::DoNotOptimize(target.Data());
  }
}
BENCHMARK(BM_CopyAssign)->Unit(benchmark::kMicrosecond);

// A product returned by value and taken over: the same cost as the product into a result.
void BM_ReturnedProduct(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const KelMatrix A = randomMatrix(n, n, 1);
  const KelMatrix B = randomMatrix(n, n, 2);
  for (auto _ : state) {
    KelMatrix C = A * B;
    benchmark::DoNotOptimize(C.Data());
  }
}
BENCHMARK(BM_ReturnedProduct)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace
