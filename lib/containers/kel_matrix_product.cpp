// KelMatrix products: C = A B with its sparse and dense paths, C = A B^T, the outer product
// and A += B.
#include <algorithm>
#include <vector>

#include "kel_array_kernels.h"
#include "kel_errors.h"
#include "kel_matrix.h"
#include "kel_output.h"
#include "kel_storage.h"
#include "kel_vector.h"
#include "kel_vector_int.h"

namespace {

// Sparse path, for a right factor with fewer than 30 % non-zeros: the column indices of the
// non-zeros of B are listed row by row, and only those are visited. Zeros of A are skipped.
void sparseProduct(const KelMatrix& A, const KelMatrix& B, const KelVectorInt& rowCounts,
                   long long nonZeros, KelMatrix& C) {
  const int n = B.Rows();
  std::vector<int> columnIndex;
  std::vector<long long> rowStart;
  try {
    columnIndex.resize(static_cast<size_t>(nonZeros));
    rowStart.resize(static_cast<size_t>(n) + 1);
  } catch (const std::bad_alloc&) {
    KelError("%s%s%sProduct", kelClassMatrix, kelErrSpace, kelErrFunction);
  }
  const double* const* b = B.RowPointers();
  rowStart[0] = 0;
  for (int k = 1; k <= n; ++k) rowStart[k] = rowStart[k - 1] + rowCounts(k);
  for (int k = 1; k <= n; ++k) {
    long long next = rowStart[k - 1];
    for (int j = 1; j <= B.Columns(); ++j)
      if (b[k][j] != 0.0) columnIndex[static_cast<size_t>(next++)] = j;
  }
  const double* const* a = A.RowPointers();
  double* const* c = C.RowPointers();
  for (int i = 1; i <= A.Rows(); ++i) {
    for (int k = 1; k <= n; ++k) {
      const double aik = a[i][k];
      if (aik == 0.0) continue;
      for (long long t = rowStart[k - 1]; t < rowStart[k]; ++t) {
        const int j = columnIndex[static_cast<size_t>(t)];
        c[i][j] += aik * b[k][j];
      }
    }
  }
}

// Dense path: C(i, .) += A(i, k) B(k, .) for k ascending, zeros of A skipped. The loops are
// blocked over panels of columns of B and runs of k so that the part of B in use stays in
// cache, and four consecutive non-zero A(i, k) are applied in one sweep over the row of C.
// Each element of C still receives its terms one at a time in ascending k, so the result is
// the same to the last bit as the plain loop.
void denseProduct(const KelMatrix& A, const KelMatrix& B, KelMatrix& C) {
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
          if (k + 3 <= k1 && ai[k] != 0.0 && ai[k + 1] != 0.0 && ai[k + 2] != 0.0 &&
              ai[k + 3] != 0.0) {
            const double a0 = ai[k], a1 = ai[k + 1], a2 = ai[k + 2], a3 = ai[k + 3];
            const double* __restrict b0 = b[k] + j0;
            const double* __restrict b1 = b[k + 1] + j0;
            const double* __restrict b2 = b[k + 2] + j0;
            const double* __restrict b3 = b[k + 3] + j0;
            for (int j = 0; j < width; ++j) {
              double sum = ci[j];
              sum += a0 * b0[j];
              sum += a1 * b1[j];
              sum += a2 * b2[j];
              sum += a3 * b3[j];
              ci[j] = sum;
            }
            k += 4;
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
  KelVectorInt rowCounts(n);
  long long nonZeros = 0;
  const double* const* b = B.RowPointers();
  for (int k = 1; k <= n; ++k) {
    int count = 0;
    for (int j = 1; j <= p; ++j) count += b[k][j] != 0.0;
    rowCounts(k) = count;
    nonZeros += count;
  }
  if (static_cast<double>(n) * p * 0.3 > static_cast<double>(nonZeros)) {
    sparseProduct(A, B, rowCounts, nonZeros, C);
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
