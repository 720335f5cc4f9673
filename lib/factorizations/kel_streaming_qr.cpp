#include "factorizations/kel_streaming_qr.h"

#include <algorithm>
#include <cmath>

#include "foundation/kel_array_kernels.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace {

// Rows folded at a time: about 256 KiB of them, so that the n + 1 sweeps over a block run in the
// processor's cache.
constexpr long long kBlockValues = 32768;

// sqrt(sum of squares) of a[0], a[stride], ... (count values) and first, scaled by the largest
// magnitude so that neither overflows nor underflows at any scale of the data.
double ScaledNorm(double first, int count, const double* a, int stride) {
  double largest = std::fabs(first);
  for (int i = 0; i < count; ++i) largest = std::max(largest, std::fabs(a[i * stride]));
  if (largest == 0.0) return 0.0;
  const double r = first / largest;
  double sum = r * r;
  for (int i = 0; i < count; ++i) {
    const double s = a[i * stride] / largest;
    sum += s * s;
  }
  return largest * std::sqrt(sum);
}

}  // namespace

KelStreamingQR::KelStreamingQR(int columnsOfF) : columns(columnsOfF) {
  if (columns < 1)
    KelError("%s%s%sKelStreamingQR\n%d columns", kelClassStreamingQR, kelErrCheck,
             kelErrConstructor, columns);
  const size_t width = static_cast<size_t>(columns) + 1;
  triangle.assign(width * width, 0.0);
  sums.assign(width, 0.0);
}

void KelStreamingQR::AddRows(long long count, const double* values) {
  const int width = columns + 1;
  if (count < 0 || (count > 0 && values == nullptr))
    KelError("%s%s%sAddRows\n%lld rows", kelClassStreamingQR, kelErrCheck, kelErrFunction, count);
  const long long total = count * width;
  const long long bad = KelFirstNonFinite(total, values);
  if (bad >= 0) {
    const double value = values[bad];
    KelError("%sNon-finite data\nrow %lld, column %lld = %s", kelClassStreamingQR,
             rows + bad / width + 1, bad % width + 1, KelNonFiniteText(value));
  }
  const long long chunkRows = std::max<long long>(8, kBlockValues / width);
  for (long long first = 0; first < count; first += chunkRows) {
    const int blockRows = static_cast<int>(std::min(chunkRows, count - first));
    block.assign(values + first * width, values + (first + blockRows) * width);
    Fold(blockRows, block.data());
  }
  rows += count;
}

void KelStreamingQR::Merge(const KelStreamingQR& other) {
  if (other.columns != columns)
    KelError("%s%s%sMerge\n%d and %d columns", kelClassStreamingQR, kelErrCheck, kelErrFunction,
             columns, other.columns);
  // The other triangle is folded as n + 1 rows of its own (copied first: other may be *this).
  std::vector<double> stacked = other.triangle;
  Fold(columns + 1, stacked.data());
  rows += other.rows;
}

// For each column k: the reflection H = I - tau v v^T (v = [1; block column k / (t_kk - beta)])
// that maps [t_kk; block column k] onto [beta; 0], applied to row k of the triangle and to the
// block's columns k + 1 .. n + 1. |v_i| <= 1 and tau lies in [1, 2], so nothing overflows.
void KelStreamingQR::Fold(int blockRows, double* b) {
  const int width = columns + 1;
  double* t = triangle.data();
  for (int k = 0; k < width; ++k) {
    double* tk = t + static_cast<size_t>(k) * width;
    const double alpha = tk[k];
    const double norm = ScaledNorm(alpha, blockRows, b + k, width);
    if (norm == 0.0) continue;
    const double beta = alpha > 0.0 ? -norm : norm;
    const double tau = (beta - alpha) / beta;
    const double scale = 1.0 / (alpha - beta);
    for (int i = 0; i < blockRows; ++i) b[static_cast<size_t>(i) * width + k] *= scale;
    // sums_j = v^T [t_kj; block column j] for the later columns, then each is reduced by it.
    for (int j = k + 1; j < width; ++j) sums[static_cast<size_t>(j)] = tk[j];
    for (int i = 0; i < blockRows; ++i) {
      const double* row = b + static_cast<size_t>(i) * width;
      const double vi = row[k];
      for (int j = k + 1; j < width; ++j) sums[static_cast<size_t>(j)] += vi * row[j];
    }
    for (int j = k + 1; j < width; ++j) {
      sums[static_cast<size_t>(j)] *= tau;
      tk[j] -= sums[static_cast<size_t>(j)];
    }
    for (int i = 0; i < blockRows; ++i) {
      double* row = b + static_cast<size_t>(i) * width;
      const double vi = row[k];
      for (int j = k + 1; j < width; ++j) row[j] -= vi * sums[static_cast<size_t>(j)];
    }
    tk[k] = beta;
  }
}

KelMatrix KelStreamingQR::Triangle() const {
  const int width = columns + 1;
  KelMatrix T(width, width);
  for (int i = 1; i <= width; ++i) {
    const double* row = triangle.data() + static_cast<size_t>(i - 1) * width;
    const double sign = row[i - 1] < 0.0 ? -1.0 : 1.0;
    for (int j = 1; j <= width; ++j) T(i, j) = j < i ? 0.0 : sign * row[j - 1];
  }
  return T;
}

KelMatrix KelStreamingQR::R() const {
  const KelMatrix T = Triangle();
  KelMatrix R(columns, columns);
  for (int i = 1; i <= columns; ++i)
    for (int j = 1; j <= columns; ++j) R(i, j) = T(i, j);
  return R;
}

KelVector KelStreamingQR::TransformedResponse() const {
  const KelMatrix T = Triangle();
  KelVector c(columns);
  for (int i = 1; i <= columns; ++i) c(i) = T(i, columns + 1);
  return c;
}

double KelStreamingQR::ResidualNorm() const {
  const size_t last = static_cast<size_t>(columns);
  return std::fabs(triangle[last * (last + 1) + last]);
}
