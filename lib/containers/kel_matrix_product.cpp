// KelMatrix products: C = A B with its sparse and dense paths, C = A B^T, the outer product
// and A += B.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "containers/kel_dense_kernel.h"
#include "containers/kel_matrix.h"
#include "containers/kel_storage.h"
#include "containers/kel_vector.h"
#include "foundation/kel_array_kernels.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

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

// One term of a sum, rounded as the dense kernel rounds it with KelRounding::kFused.
template <bool kFused>
inline __attribute__((always_inline)) double addTerm(double sum, double x, double y) {
  if constexpr (kFused) {
    return __builtin_fma(x, y, sum);
  } else {
    return sum + x * y;
  }
}

// Sparse path, for a right factor with fewer than 30 % non-zeros: only the non-zeros of B are
// visited, and each C(i, j) is summed in a register over the non-zeros of column j in
// ascending k, which is the order and the rounding in which the dense kernel adds the terms,
// so both paths give the same bits. Zeros of A are skipped by the definition of the product;
// with finite B their terms are signed zeros, and adding a signed zero never changes a sum
// that starts at +0 (such a sum is -0 only after a fused product so small that it rounds to
// -0), so they need no test. A non-finite B takes the walk that tests every A(i, k).
template <bool kFused>
inline __attribute__((always_inline)) void sparseSums(const KelMatrix& A,
                                                      const CompressedColumns& columns,
                                                      KelMatrix& C) {
  const int m = A.Rows();
  const int p = C.Columns();
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
          if (a[i][row[t]] != 0.0) sum = addTerm<kFused>(sum, a[i][row[t]], value[t]);
        c[i][j] = sum;
      }
    return;
  }
  // Eight rows at a time: eight independent sums per non-zero of B hide the latency of each
  // addition (longer for a fused one) behind the loads of A.
  constexpr int kRows = 8;
  int i = 1;
  for (; i + kRows - 1 <= m; i += kRows) {
    const double* ar[kRows];
    for (int r = 0; r < kRows; ++r) ar[r] = a[i + r];
    for (int j = 1; j <= p; ++j) {
      double s[kRows] = {};
      for (long long t = start[j - 1]; t < start[j]; ++t) {
        const int k = row[t];
        const double v = value[t];
#pragma GCC unroll 8
        for (int r = 0; r < kRows; ++r) s[r] = addTerm<kFused>(s[r], ar[r][k], v);
      }
      for (int r = 0; r < kRows; ++r) c[i + r][j] = s[r];
    }
  }
  for (; i <= m; ++i)
    for (int j = 1; j <= p; ++j) {
      double sum = 0.0;
      for (long long t = start[j - 1]; t < start[j]; ++t)
        sum = addTerm<kFused>(sum, a[i][row[t]], value[t]);
      c[i][j] = sum;
    }
}

__attribute__((target("fma"))) void sparseSumsFused(const KelMatrix& A,
                                                    const CompressedColumns& columns,
                                                    KelMatrix& C) {
  sparseSums<true>(A, columns, C);
}

void sparseProduct(const KelMatrix& A, const KelMatrix& B, long long nonZeros, KelMatrix& C) {
  const CompressedColumns columns = compressColumns(B, nonZeros);
  if (KelFusedMultiplyAddInUse()) {
    sparseSumsFused(A, columns, C);
  } else {
    sparseSums<false>(A, columns, C);
  }
}

// Dense path: the blocked kernel. Its terms A(i, k) B(k, j) with A(i, k) = 0 are signed zeros
// (B is finite here), which leave every sum unchanged as on the sparse path.
void denseProduct(const KelMatrix& A, const KelMatrix& B, KelMatrix& C) {
  try {
    KelDenseMultiplyAdd(A.Rows(), A.Columns(), B.Columns(), A.RowPointers() + 1, 1, 1.0,
                        B.RowPointers() + 1, 1, C.RowPointers() + 1, 1, KelRounding::kFused);
  } catch (const std::bad_alloc&) {
    // Only the kernel's packing buffers are allocated, before any element is computed.
    KelError("%s%s%sProduct", kelClassMatrix, kelErrSpace, kelErrFunction);
  }
}

// C = A B into a cleared C distinct from A and B.
void productInto(const KelMatrix& A, const KelMatrix& B, KelMatrix& C) {
  C.Resize(A.Rows(), B.Columns(), true);
  const int n = B.Rows();
  const int p = B.Columns();
  if (A.Rows() == 0 || n == 0 || p == 0) return;
  long long nonZeros = 0;
  bool allFinite = true;
  const double* const* b = B.RowPointers();
  for (int k = 1; k <= n; ++k)
    for (int j = 1; j <= p; ++j) {
      nonZeros += b[k][j] != 0.0;
      allFinite &= std::isfinite(b[k][j]);
    }
  // A non-finite B goes to the walk that never forms 0 x inf, whatever its density.
  if (static_cast<double>(n) * p * 0.3 > static_cast<double>(nonZeros) || !allFinite) {
    sparseProduct(A, B, nonZeros, C);
  } else {
    denseProduct(A, B, C);
  }
}

}  // namespace

void Product(const KelMatrix& A, const KelMatrix& B, KelMatrix& C) {
  if (A.Columns() != B.Rows())
    KelError("%s%s%sProduct\n%s", kelClassMatrix, kelErrCheck, kelErrOperator,
             KelShapesDetail(A.Rows(), A.Columns(), B.Rows(), B.Columns()).c_str());
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
    KelError("%s%s%sProduct\n%s", kelClassMatrix, kelErrCheck, kelErrOperator,
             KelShapesDetail(A.Rows(), A.Columns(), B.Rows(), B.Columns()).c_str());
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
    KelError("%s%s%s+=\n%s", kelClassMatrix, kelErrCheck, kelErrOperator,
             KelShapesDetail(numRows, numColumns, B.numRows, B.numColumns).c_str());
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
