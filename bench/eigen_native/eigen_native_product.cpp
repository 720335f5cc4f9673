// The peer figure for the dense product: Eigen's matrix product compiled for the building
// processor (-march=native, set on this file only by bench/CMakeLists.txt), on the same
// sizes as BM_DenseProduct in containers_benchmark, reported in GFLOP/s in the same run.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>

namespace {

void BM_EigenNativeProduct(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Eigen::MatrixXd A = Eigen::MatrixXd::Random(n, n);
  const Eigen::MatrixXd B = Eigen::MatrixXd::Random(n, n);
  Eigen::MatrixXd C(n, n);
  for (auto _ : state) {
    C.noalias() = A * B;
    benchmark::DoNotOptimize(C.data());
  }
  state.counters["GFLOP/s"] =
      benchmark::Counter(2.0 * n * n * n * state.iterations() * 1e-9, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EigenNativeProduct)->Arg(256)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace
