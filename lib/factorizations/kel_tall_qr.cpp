// KelTallQR: the factorization in place, the compact form of Q, Q^T y and Q X.
#include "factorizations/kel_tall_qr.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "factorizations/kel_householder.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace {

// G(i, k) = y_i . y_k for i < k, the inner products of the reflection vectors; row r of the
// factors holds the components of the vectors 1 .. min(r, n) (the rest of a row is R).
KelMatrix reflectionGram(int m, int n, const double* const* a) {
  KelMatrix gram(n, n);
  double* const* g = gram.RowPointers();
  std::vector<double> sums(static_cast<size_t>(n) * static_cast<size_t>(n), 0.0);
  for (int r = 1; r <= m; ++r) {
    const double* row = a[r];
    const int last = std::min(r, n);
    for (int i = 1; i < last; ++i) {
      const double yi = row[i];
      if (yi == 0.0) continue;
      double* sum = sums.data() + static_cast<size_t>(i - 1) * static_cast<size_t>(n) - 1;
      for (int k = i + 1; k <= last; ++k) sum[k] += yi * row[k];
    }
  }
  for (int i = 1; i <= n; ++i)
    for (int k = i + 1; k <= n; ++k)
      g[i][k] = sums[static_cast<size_t>(i - 1) * static_cast<size_t>(n) + (k - 1)];
  return gram;
}

// T with H(1) ... H(n) = I - Y T Y^T for H(k) = I - 2 y_k y_k^T: T(k, k) = 2 and column k above
// the diagonal -2 T(1..k-1, 1..k-1) Y(:, 1..k-1)^T y_k.
KelMatrix compactFactor(int n, const KelMatrix& gram) {
  KelMatrix t(n, n);
  double* const* tt = t.RowPointers();
  const double* const* g = gram.RowPointers();
  for (int k = 1; k <= n; ++k) {
    tt[k][k] = 2.0;
    for (int i = 1; i < k; ++i) {
      double sum = 0.0;
      for (int j = i; j < k; ++j) sum += tt[i][j] * g[j][k];
      tt[i][k] = -2.0 * sum;
    }
  }
  return t;
}

// The Householder QR of rows 1..m of a (m >= n) in place; diagonal[1..n] receives R's diagonal.
void factorInPlace(int m, int n, double* const* a, std::vector<double>& diagonal,
                   std::vector<double>& scratch) {
  std::vector<double> norms(static_cast<size_t>(n) + 1);
  diagonal.assign(static_cast<size_t>(n) + 1, 0.0);
  // Zero tolerance: only an exactly dependent column is singular, and that is no news here.
  const KelQuietMessages quiet;
  QRFactorization(m, n, a, diagonal.data(), norms.data(), 0.0, scratch,
                  QRDependentColumns::kSignChange);
}

// head[1..n] = the first n components of Q^T v for the factorization in rows 1..m of a, whose
// compact factor is t (v 1-based).
void leadingHead(int m, int n, const double* const* a, const KelMatrix& compact, const double* v,
                 double* head) {
  const double* const* t = compact.RowPointers();
  // s = Y^T v, then w = T^T s, then (Q^T v)(i) = v(i) - (Y w)(i) for i <= n.
  std::vector<double> s(static_cast<size_t>(n) + 1, 0.0);
  for (int r = 1; r <= m; ++r) {
    const double* row = a[r];
    const double vr = v[r];
    const int last = std::min(r, n);
    for (int k = 1; k <= last; ++k) s[static_cast<size_t>(k)] += row[k] * vr;
  }
  std::vector<double> w(static_cast<size_t>(n) + 1, 0.0);
  for (int k = 1; k <= n; ++k)
    for (int j = 1; j <= k; ++j) w[static_cast<size_t>(k)] += t[j][k] * s[static_cast<size_t>(j)];
  for (int i = 1; i <= n; ++i) {
    double sum = 0.0;
    for (int k = 1; k <= i; ++k) sum += a[i][k] * w[static_cast<size_t>(k)];
    head[i] = v[i] - sum;
  }
}

// Rows 1..m of a replaced by Q [X; 0] for the factorization they hold (compact factor t) and
// the n x n X given by its rows x[1..n].
void productInPlace(int m, int n, double* const* a, const KelMatrix& compact,
                    const double* const* x) {
  const double* const* t = compact.RowPointers();
  const size_t size = static_cast<size_t>(n);
  // Q [X; 0] = [X; 0] - Y Z with Z = T Y1^T X, Y1 the first n rows of Y.
  std::vector<double> yx(size * size, 0.0);
  auto at = [size](std::vector<double>& v, int i, int j) -> double& {
    return v[static_cast<size_t>(i - 1) * size + static_cast<size_t>(j - 1)];
  };
  for (int r = 1; r <= n; ++r)
    for (int k = 1; k <= r; ++k)
      for (int c = 1; c <= n; ++c) at(yx, k, c) += a[r][k] * x[r][c];
  std::vector<double> z(size * size, 0.0);
  for (int i = 1; i <= n; ++i)
    for (int k = i; k <= n; ++k)
      for (int c = 1; c <= n; ++c) at(z, i, c) += t[i][k] * at(yx, k, c);
  // Row r of the result needs only row r of Y: it is written over it.
  std::vector<double> result(size + 1);
  for (int r = 1; r <= m; ++r) {
    double* row = a[r];
    for (int c = 1; c <= n; ++c) result[static_cast<size_t>(c)] = r <= n ? x[r][c] : 0.0;
    const int last = std::min(r, n);
    for (int k = 1; k <= last; ++k) {
      const double yk = row[k];
      if (yk == 0.0) continue;
      const double* zk = z.data() + static_cast<size_t>(k - 1) * size - 1;
      for (int c = 1; c <= n; ++c) result[static_cast<size_t>(c)] -= yk * zk[c];
    }
    std::copy(result.begin() + 1, result.end(), row + 1);
  }
}

}  // namespace

KelTallQR::KelTallQR(KelMatrix* A) : factors(std::move(*A)) {
  const int m = factors.Rows();
  const int n = factors.Columns();
  if (n < 1 || m < n)
    KelError("%s%s%sKelTallQR\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeDetail(m, n).c_str());
  double* const* a = factors.RowPointers();
  std::vector<double> diagonal;
  std::vector<double> scratch;
  const int blockRows = BlockRows(n);
  if (m <= 2 * blockRows) {
    factorInPlace(m, n, a, diagonal, scratch);
    triangle = KelMatrix(n, n);
    double* const* t = triangle.RowPointers();
    for (int i = 1; i <= n; ++i) {
      t[i][i] = diagonal[static_cast<size_t>(i)];
      for (int j = i + 1; j <= n; ++j) t[i][j] = a[i][j];
    }
    blocks.push_back(Block{1, m, compactFactor(n, reflectionGram(m, n, a))});
    return;
  }
  // Blocks of nearly equal size, each factorized while it is in the cache; their triangles are
  // stacked for the QR that gives R.
  const int count = m / blockRows;
  KelMatrix stacked(count * n, n);
  double* const* s = stacked.RowPointers();
  for (int i = 0, first = 1; i < count; ++i) {
    const int rows = m / count + (i < m % count ? 1 : 0);
    double* const* block = a + (first - 1);
    factorInPlace(rows, n, block, diagonal, scratch);
    for (int r = 1; r <= n; ++r) {
      double* target = s[i * n + r];
      target[r] = diagonal[static_cast<size_t>(r)];
      for (int c = r + 1; c <= n; ++c) target[c] = block[r][c];
    }
    blocks.push_back(Block{first, rows, compactFactor(n, reflectionGram(rows, n, block))});
    first += rows;
  }
  top = std::make_unique<KelTallQR>(&stacked);
}

KelTallQR::~KelTallQR() = default;

int KelTallQR::BlockRows(int columns) {
  constexpr int kBlockDoubles = 32768;  // 256 KiB
  return std::max(8 * columns, kBlockDoubles / std::max(columns, 1));
}

const KelMatrix& KelTallQR::R() const {
  return top ? top->R() : triangle;
}

KelVector KelTallQR::LeadingTransposedProduct(const KelVector& y) const {
  const int m = Rows();
  const int n = Columns();
  if (y.Size() != m)
    KelError("%s%s%sLeadingTransposedProduct\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(m, n, y.Size()).c_str());
  const double* const* a = factors.RowPointers();
  const double* v = y.Data() - 1;
  if (!top) {
    KelVector head(n);
    leadingHead(m, n, a, blocks.front().compact, v, head.Data() - 1);
    return head;
  }
  // Q^T y = Q_S^T (the heads of the blocks' Q_i^T y_i, stacked): the tails of the blocks'
  // products are orthogonal to everything R is made of.
  KelVector heads(static_cast<int>(blocks.size()) * n);
  double* h = heads.Data() - 1;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const Block& block = blocks[i];
    leadingHead(block.rows, n, a + (block.first - 1), block.compact, v + (block.first - 1),
                h + static_cast<size_t>(n) * i);
  }
  return top->LeadingTransposedProduct(heads);
}

KelMatrix KelTallQR::TakeProduct(const KelMatrix& X) {
  const int m = Rows();
  const int n = Columns();
  if (X.Rows() != n || X.Columns() != n)
    KelError("%s%s%sTakeProduct\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapesDetail(m, n, X.Rows(), X.Columns()).c_str());
  double* const* a = factors.RowPointers();
  if (!top) {
    productInPlace(m, n, a, blocks.front().compact, X.RowPointers());
    return std::move(factors);
  }
  // Q [X; 0] = diag(Q_i) [Z_i; 0] with Z = Q_S [X; 0] cut into the blocks' n rows each.
  const KelMatrix z = top->TakeProduct(X);
  const double* const* zRows = z.RowPointers();
  for (size_t i = 0; i < blocks.size(); ++i) {
    const Block& block = blocks[i];
    productInPlace(block.rows, n, a + (block.first - 1), block.compact,
                   zRows + static_cast<size_t>(n) * i);
  }
  return std::move(factors);
}
