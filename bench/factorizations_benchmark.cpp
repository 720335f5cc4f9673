// Timings of the dense factorizations: Gauss (n = 100, 300, 1000), Householder QR and the SVD
// with U and V (1000 x 10, 10000 x 10, 100000 x 10, 1000 x 100, 300 x 300). Each timed
// iteration loads the matrix and solves one right-hand side, which includes the factorization.
//
// Built with KELMATH_HAVE_EIGEN (bench/CMakeLists.txt defines it when Eigen 3 is found), the
// same matrices are also given to Eigen's PartialPivLU, HouseholderQR and BDCSVD, and every
// KelMath benchmark reports the counter kel/eigen: its median processor time over Eigen's,
// both measured in this run with the same compiler flags.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <random>
#include <vector>

#include "kelmath.h"

#ifdef KELMATH_HAVE_EIGEN
#include <Eigen/Dense>
#include <Eigen/SVD>
#endif

namespace {

KelMatrix RandomMatrix(int m, int n) {
  std::mt19937 engine(12345u + static_cast<unsigned>(m * 7 + n));
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  KelMatrix A(m, n);
  double* a = A.Data();
  for (long long k = 0; k < static_cast<long long>(m) * n; ++k) a[k] = uniform(engine);
  return A;
}

KelVector RandomVector(int n) {
  std::mt19937 engine(777u + static_cast<unsigned>(n));
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  KelVector v(n);
  for (int i = 1; i <= n; ++i) v(i) = uniform(engine);
  return v;
}

// Processor time of the calling thread: on a machine shared with other work, wall-clock
// times of the two libraries measured one after the other would differ by the load.
double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

template <typename Body>
double MedianSeconds(Body body, int repetitions) {
  std::vector<double> times;
  for (int r = 0; r < repetitions; ++r) {
    const double start = ThreadSeconds();
    body();
    times.push_back(ThreadSeconds() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// One KelMath factorization and solve; Kind selects the class.
template <typename Factorized>
void KelSolve(Factorized& F, const KelMatrix& A, const KelVector& b) {
  F.AssignMatrix(A);
  KelVector x = b;
  Solve(&F, &x);
  benchmark::DoNotOptimize(x.Data());
}

#ifdef KELMATH_HAVE_EIGEN
int RepetitionsFor(int m, int n) {
  const double work = static_cast<double>(m) * n * n;
  return work > 5e7 ? 3 : (work > 5e6 ? 7 : 21);
}

Eigen::MatrixXd ToEigen(const KelMatrix& A) {
  Eigen::MatrixXd E(A.Rows(), A.Columns());
  for (int i = 1; i <= A.Rows(); ++i)
    for (int j = 1; j <= A.Columns(); ++j) E(i - 1, j - 1) = A(i, j);
  return E;
}

Eigen::VectorXd ToEigen(const KelVector& b) {
  Eigen::VectorXd e(b.Size());
  for (int i = 1; i <= b.Size(); ++i) e(i - 1) = b(i);
  return e;
}

enum class Method { kGauss, kQR, kSVD };

void EigenSolve(Method method, const Eigen::MatrixXd& A, const Eigen::VectorXd& b) {
  Eigen::VectorXd x;
  switch (method) {
    case Method::kGauss: {
      Eigen::PartialPivLU<Eigen::MatrixXd> lu(A);
      x = lu.solve(b);
      break;
    }
    case Method::kQR: {
      Eigen::HouseholderQR<Eigen::MatrixXd> qr(A);
      x = qr.solve(b);
      break;
    }
    case Method::kSVD: {
      Eigen::BDCSVD<Eigen::MatrixXd> svd(A, Eigen::ComputeThinU | Eigen::ComputeThinV);
      x = svd.solve(b);
      break;
    }
  }
  benchmark::DoNotOptimize(x.data());
}

template <typename Factorized>
void ReportRatio(benchmark::State& state, Method method, const KelMatrix& A, const KelVector& b) {
  const Eigen::MatrixXd E = ToEigen(A);
  const Eigen::VectorXd e = ToEigen(b);
  const int repetitions = RepetitionsFor(A.Rows(), A.Columns());
  Factorized F;
  const double kel = MedianSeconds([&] { KelSolve(F, A, b); }, repetitions);
  const double eigen = MedianSeconds([&] { EigenSolve(method, E, e); }, repetitions);
  state.counters["kel_ms"] = kel * 1e3;
  state.counters["eigen_ms"] = eigen * 1e3;
  state.counters["kel/eigen"] = kel / eigen;
}
#endif

template <typename Factorized>
void BenchKel(benchmark::State& state, [[maybe_unused]] int method) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  const KelMatrix A = RandomMatrix(m, n);
  const KelVector b = RandomVector(m);
  Factorized F;
  for (auto _ : state) KelSolve(F, A, b);
#ifdef KELMATH_HAVE_EIGEN
  ReportRatio<Factorized>(state, static_cast<Method>(method), A, b);
#endif
}

void BM_KelGauss(benchmark::State& state) {
  BenchKel<KelFactorizedGauss>(state, 0);
}
void BM_KelQR(benchmark::State& state) {
  BenchKel<KelFactorizedQR>(state, 1);
}
void BM_KelSVD(benchmark::State& state) {
  BenchKel<KelFactorizedSVD>(state, 2);
}

void SquareSizes(benchmark::internal::Benchmark* b) {
  for (int n : {100, 300, 1000}) b->Args({n, n});
}

void LeastSquaresSizes(benchmark::internal::Benchmark* b) {
  b->Args({1000, 10})->Args({10000, 10})->Args({100000, 10})->Args({1000, 100})->Args({300, 300});
}

BENCHMARK(BM_KelGauss)->Apply(SquareSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KelQR)->Apply(LeastSquaresSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KelSVD)->Apply(LeastSquaresSizes)->Unit(benchmark::kMillisecond);

#ifdef KELMATH_HAVE_EIGEN
void BenchEigen(benchmark::State& state, Method method) {
  const int m = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  const Eigen::MatrixXd A = ToEigen(RandomMatrix(m, n));
  const Eigen::VectorXd b = ToEigen(RandomVector(m));
  for (auto _ : state) EigenSolve(method, A, b);
}

void BM_EigenPartialPivLU(benchmark::State& state) {
  BenchEigen(state, Method::kGauss);
}
void BM_EigenHouseholderQR(benchmark::State& state) {
  BenchEigen(state, Method::kQR);
}
void BM_EigenBDCSVD(benchmark::State& state) {
  BenchEigen(state, Method::kSVD);
}

BENCHMARK(BM_EigenPartialPivLU)->Apply(SquareSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EigenHouseholderQR)->Apply(LeastSquaresSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EigenBDCSVD)->Apply(LeastSquaresSizes)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
