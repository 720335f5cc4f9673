// KelMatrix products: C = A B with its sparse and dense paths, C = A B^T, the outer product
// and A += B.
#include <algorithm>
#include <cmath>
#include <vector>

#include "kel_array_kernels.h"
#include "kel_errors.h"
#include "kel_matrix.h"
#include "kel_output.h"
#include "kel_storage.h"
#include "kel_vector.h"

namespace {

// The non-zeros of B listed column by column, each column in ascending row order.
struct CompressedColumns {
  std::vector<long long> start;  // start[j - 1] .. start[j] - 1 hold column j
  std::vector<int> row;
  std::vector<double> value;
  bool allFinite = true;
};

CompressedColumns compressColumns(const KelMatrix& B, long long nonZeros) {
  CompressedColumns columns;
  const int n = B.Rows();
  const int p = B.Columns();
  try {
    columns.start.assign(static_cast<size_t>(p) + 1, 0);
    columns.row.resize(static_cast<size_t>(nonZeros));
    columns.value.resize(static_cast<size_t>(nonZeros));
  } catch (const std::bad_alloc&) {
    KelError("%s%s%sProduct", kelClassMatrix, kelErrSpace, kelErrFunction);
  }
  const double* const* b = B.RowPointers();
  for (int k = 1; k <= n; ++k)
    for (int j = 1; j <= p; ++j) columns.start[j] += b[k][j] != 0.0;
  for (int j = 1; j <= p; ++j) columns.start[j] += columns.start[j - 1];
  std::vector<long long> next(columns.start.begin(), columns.start.end() - 1);
  for (int k = 1; k <= n; ++k)
    for (int j = 1; j <= p; ++j) {
      const double v = b[k][j];
      if (v == 0.0) continue;
      const size_t t = static_cast<size_t>(next[j - 1]++);
      columns.row[t] = k;
      columns.value[t] = v;
      columns.allFinite &= std::isfinite(v);
    }
  return columns;
}

// Sparse path, for a right factor with fewer than 30 % non-zeros: only the non-zeros of B are
// visited, and each C(i, j) is summed in a register over the non-zeros of column j in
// ascending k, which is the order in which the terms reach it in a row-by-row walk. Zeros of
// A are skipped by the definition of the product; with finite B their terms are signed zeros,
// and adding a signed zero never changes a sum that starts at +0 (such a sum is never -0), so
// they need no test. A non-finite B takes the walk that tests every A(i, k).
void sparseProduct(const KelMatrix& A, const KelMatrix& B, long long nonZeros, KelMatrix& C) {
  const CompressedColumns columns = compressColumns(B, nonZeros);
  const int m = A.Rows();
  const int p = B.Columns();
  const double* const* a = A.RowPointers();
  double* const* c = C.RowPointers();
  const long long* start = columns.start.data();
  const int* row = columns.row.data();
  const double* value = columns.value.data();
  if (!columns.allFinite) {
    for (int i = 1; i <= m; ++i)
      for (int j = 1; j <= p; ++j) {
        double sum = 0.0;
        for (long long t = start[j - 1]; t < start[j]; ++t)
          if (a[i][row[t]] != 0.0) sum += a[i][row[t]] * value[t];
        c[i][j] = sum;
      }
    return;
  }
  constexpr int kRows = 4;
  int i = 1;
  for (; i + kRows - 1 <= m; i += kRows) {
    const double* a0 = a[i];
    const double* a1 = a[i + 1];
    const double* a2 = a[i + 2];
    const double* a3 = a[i + 3];
    for (int j = 1; j <= p; ++j) {
      double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
      for (long long t = start[j - 1]; t < start[j]; ++t) {
        const int k = row[t];
        const double v = value[t];
        s0 += a0[k] * v;
        s1 += a1[k] * v;
        s2 += a2[k] * v;
        s3 += a3[k] * v;
      }
      c[i][j] = s0;
      c[i + 1][j] = s1;
      c[i + 2][j] = s2;
      c[i + 3][j] = s3;
    }
  }
  for (; i <= m; ++i)
    for (int j = 1; j <= p; ++j) {
      double sum = 0.0;
      for (long long t = start[j - 1]; t < start[j]; ++t) sum += a[i][row[t]] * value[t];
      c[i][j] = sum;
    }
}

inline bool allNonZero(const double* a, int count) {
  bool nonZero = true;
  for (int t = 0; t < count; ++t) nonZero &= a[t] != 0.0;
  return nonZero;
}

// Dense path: C(i, .) += A(i, k) B(k, .) for k ascending, zeros of A skipped. The loops are
// blocked over panels of columns of B and runs of k so that the part of B in use stays in
// cache, and four consecutive non-zero A(i, k) are applied in one sweep over the row of C.
// Each element of C still receives its terms one at a time in ascending k, so the result is
// the same to the last bit as the plain loop.
// On processors with AVX2 a second copy of the loop runs four doubles wide; no fused
// multiply-add is involved, so both copies give the same bits.
__attribute__((target_clones("avx2", "default"))) void denseProduct(const KelMatrix& A,
                                                                    const KelMatrix& B,
                                                                    KelMatrix& C) {
  constexpr int kPanelWidth = 512;
  constexpr int kRunLength = 128;
  const int m = A.Rows();
  const int n = A.Columns();
  const int p = B.Columns();
  const double* const* a = A.RowPointers();
  const double* const* b = B.RowPointers();
  double* const* c = C.RowPointers();
  for (int j0 = 1; j0 <= p; j0 += kPanelWidth) {
    const int width = std::min(kPanelWidth, p - j0 + 1);
    for (int k0 = 1; k0 <= n; k0 += kRunLength) {
      const int k1 = std::min(n, k0 + kRunLength - 1);
      for (int i = 1; i <= m; ++i) {
        const double* ai = a[i];
        double* __restrict ci = c[i] + j0;
        int k = k0;
        while (k <= k1) {
          if (k + 7 <= k1 && allNonZero(ai + k, 8)) {
            const double* __restrict bk[8];
            double ak[8];
            for (int t = 0; t < 8; ++t) {
              bk[t] = b[k + t] + j0;
              ak[t] = ai[k + t];
            }
            for (int j = 0; j < width; ++j) {
              double sum = ci[j];
              sum += ak[0] * bk[0][j];
              sum += ak[1] * bk[1][j];
              sum += ak[2] * bk[2][j];
              sum += ak[3] * bk[3][j];
              sum += ak[4] * bk[4][j];
              sum += ak[5] * bk[5][j];
              sum += ak[6] * bk[6][j];
              sum += ak[7] * bk[7][j];
              ci[j] = sum;
            }
            k += 8;
          } else {
            const double aik = ai[k];
            if (aik != 0.0) {
              const double* __restrict bk = b[k] + j0;
              for (int j = 0; j < width; ++j) ci[j] += aik * bk[j];
            }
            ++k;
          }
        }
      }
    }
  }
}

// C = A B into a cleared C distinct from A and B.
void productInto(const KelMatrix& A, const KelMatrix& B, KelMatrix& C) {
  C.Resize(A.Rows(), B.Columns(), true);
  const int n = B.Rows();
  const int p = B.Columns();
  if (A.Rows() == 0 || n == 0 || p == 0) return;
  long long nonZeros = 0;
  const double* const* b = B.RowPointers();
  for (int k = 1; k <= n; ++k)
    for (int j = 1; j <= p; ++j) nonZeros += b[k][j] != 0.0;
  if (static_cast<double>(n) * p * 0.3 > static_cast<double>(nonZeros)) {
    sparseProduct(A, B, nonZeros, C);
  } else {
    denseProduct(A, B, C);
  }
}

}  // namespace

void Product(const KelMatrix& A, const KelMatrix& B, KelMatrix& C) {
  if (A.Columns() != B.Rows())
    KelError("%s%s%sProduct", kelClassMatrix, kelErrCheck, kelErrOperator);
  if (C.GetSerialNumber() == A.GetSerialNumber() || C.GetSerialNumber() == B.GetSerialNumber()) {
    KelMatrix local;
    productInto(A, B, local);
    Swap(local, C);
  } else {
    productInto(A, B, C);
  }
}

KelMatrix operator*(const KelMatrix& A, const KelMatrix& B) {
  if (A.Columns() != B.Rows())
    KelError("%s%s%sProduct", kelClassMatrix, kelErrCheck, kelErrOperator);
  KelMatrix C;
  productInto(A, B, C);
  return C;
}

void ProductT(const KelMatrix& A, const KelMatrix& B, KelMatrix& C) {
  KelMatrix transposed(B);
  transposed.Transpose();
  Product(A, transposed, C);
}

KelMatrix& KelMatrix::operator+=(const KelMatrix& B) {
  if (numRows != B.numRows || numColumns != B.numColumns)
    KelError("%s%s%s+=", kelClassMatrix, kelErrCheck, kelErrOperator);
  if (size == 0) return *this;
  if (serialNumber == B.serialNumber) {
    KelArrayDouble(size - 1, Data());
  } else {
    KelArrayAccumulate(size - 1, Data(), B.Data());
  }
  return *this;
}

void OuterProduct(const KelVector& x, const KelVector& y, KelMatrix& M) {
  M.Resize(x.Size(), y.Size(), false);
  double* const* m = M.RowPointers();
  for (int i = 1; i <= x.Size(); ++i) KelArrayScale(y.Size(), x.Data()[i - 1], y.Data(), m[i] + 1);
}
