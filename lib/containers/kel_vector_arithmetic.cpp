// KelVector arithmetic. Operands are the same object when their serial numbers are equal;
// results that may not overlap an input are built in a local vector and exchanged in.
#include <cmath>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "foundation/kel_array_kernels.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace {

bool sameObject(const KelVector& a, const KelVector& b) {
  return a.GetSerialNumber() == b.GetSerialNumber();
}

void checkEqualSizes(const KelVector& a, const KelVector& b, const char* format, const char* kind) {
  if (a.Size() != b.Size())
    KelError(format, kelClassVector, kelErrCheck, kind, KelSizesDetail(a.Size(), b.Size()).c_str());
}

}  // namespace

void Sum(const KelVector& a, const KelVector& b, KelVector& c) {
  checkEqualSizes(a, b, "%s%s%sSum\n%s", kelErrFunction);
  if (sameObject(c, a)) {
    c += b;
  } else if (sameObject(c, b)) {
    c += a;
  } else {
    c.Resize(a.Size(), false);
    KelArraySum(a.Size(), a.Data(), b.Data(), c.Data());
  }
}

KelVector operator+(const KelVector& a, const KelVector& b) {
  checkEqualSizes(a, b, "%s%s%sSum\n%s", kelErrFunction);
  KelVector c('u', a.Size());
  KelArraySum(a.Size(), a.Data(), b.Data(), c.Data());
  return c;
}

KelVector& KelVector::operator+=(const KelVector& b) {
  checkEqualSizes(*this, b, "%s%s%s+=\n%s", kelErrOperator);
  if (sameObject(*this, b)) {
    KelArrayDouble(dimensions, Data());
  } else {
    KelArrayAccumulate(dimensions, Data(), b.Data());
  }
  return *this;
}

void Difference(const KelVector& a, const KelVector& b, KelVector& c) {
  checkEqualSizes(a, b, "%s%s%sDifference\n%s", kelErrFunction);
  if (sameObject(c, a)) {
    c -= b;
  } else if (sameObject(c, b)) {
    KelArrayReverseSubtract(a.Size(), a.Data(), c.Data());
  } else {
    c.Resize(a.Size(), false);
    KelArrayDifference(a.Size(), a.Data(), b.Data(), c.Data());
  }
}

void Difference(const KelVector& a, KelVector& b) {
  checkEqualSizes(a, b, "%s%s%sDifference\n%s", kelErrFunction);
  if (sameObject(a, b)) {
    b = 0.0;
  } else {
    KelArrayReverseSubtract(a.Size(), a.Data(), b.Data());
  }
}

KelVector operator-(const KelVector& a, const KelVector& b) {
  checkEqualSizes(a, b, "%s%s%sDifference\n%s", kelErrFunction);
  KelVector c('u', a.Size());
  KelArrayDifference(a.Size(), a.Data(), b.Data(), c.Data());
  return c;
}

KelVector& KelVector::operator-=(const KelVector& b) {
  checkEqualSizes(*this, b, "%s%s%s-=\n%s", kelErrOperator);
  if (sameObject(*this, b)) {
    *this = 0.0;
  } else {
    KelArraySubtract(dimensions, Data(), b.Data());
  }
  return *this;
}

namespace {

// y_i = (row i of A) . x, each accumulated in extended precision; y must not be x.
void matrixTimesVector(const KelMatrix& A, const KelVector& x, KelVector& y) {
  y.Resize(A.Rows(), false);
  const double* const* a = A.RowPointers();
  double* out = y.Data();
  for (int i = 1; i <= A.Rows(); ++i) out[i - 1] = KelArrayDot(A.Columns(), a[i] + 1, x.Data());
}

// y = A^T x as a sum of the rows of A weighted by x; rows with x_i = 0 are skipped.
void transposedMatrixTimesVector(const KelMatrix& A, const KelVector& x, KelVector& y) {
  y.Resize(A.Columns(), true);
  const double* const* a = A.RowPointers();
  double* out = y.Data();
  const int columns = A.Columns();
  for (int i = 1; i <= A.Rows(); ++i) {
    const double xi = x.Data()[i - 1];
    if (xi == 0.0) continue;
    const double* row = a[i] + 1;
    for (int j = 0; j < columns; ++j) out[j] += xi * row[j];
  }
}

}  // namespace

void Product(const KelMatrix& A, const KelVector& x, KelVector& y) {
  if (x.Size() != A.Columns())
    KelError("%s%s%sProduct\n%s", kelClassVector, kelErrCheck, kelErrOperator,
             KelShapeSizeDetail(A.Rows(), A.Columns(), x.Size()).c_str());
  if (sameObject(x, y)) {
    KelVector local;
    matrixTimesVector(A, x, local);
    Swap(local, y);
  } else {
    matrixTimesVector(A, x, y);
  }
}

KelVector operator*(const KelMatrix& A, const KelVector& x) {
  if (x.Size() != A.Columns())
    KelError("%s%s%sProduct\n%s", kelClassVector, kelErrCheck, kelErrOperator,
             KelShapeSizeDetail(A.Rows(), A.Columns(), x.Size()).c_str());
  KelVector y;
  matrixTimesVector(A, x, y);
  return y;
}

void Product(double s, const KelVector& x, KelVector& y) {
  if (sameObject(x, y)) {
    KelArrayScaleInPlace(y.Size(), s, y.Data());
  } else {
    y.Resize(x.Size(), false);
    KelArrayScale(x.Size(), s, x.Data(), y.Data());
  }
}

KelVector operator*(double s, const KelVector& x) {
  KelVector y('u', x.Size());
  KelArrayScale(x.Size(), s, x.Data(), y.Data());
  return y;
}

KelVector& KelVector::operator*=(double s) {
  KelArrayScaleInPlace(dimensions, s, Data());
  return *this;
}

KelVector& KelVector::operator/=(double s) {
  KelArrayDivide(dimensions, Data(), s);
  return *this;
}

double TProduct(const KelVector& x, const KelVector& y) {
  checkEqualSizes(x, y, "%s%s%sTProduct\n%s", kelErrFunction);
  return KelArrayDot(x.Size(), x.Data(), y.Data());
}

void TProduct(const KelMatrix& A, const KelVector& x, KelVector& y) {
  // Callers match the message, which names the operation "%TProduct" with the '%' printed
  // literally (docs/developers.md, intended behaviour 1).
  if (x.Size() != A.Rows())
    KelError("%s%s%s%%TProduct\n%s", kelClassVector, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(A.Rows(), A.Columns(), x.Size()).c_str());
  if (sameObject(x, y)) {
    KelVector local;
    transposedMatrixTimesVector(A, x, local);
    Swap(local, y);
  } else {
    transposedMatrixTimesVector(A, x, y);
  }
}

void ElementByElementProduct(const KelVector& x, const KelVector& y, KelVector& z) {
  checkEqualSizes(x, y, "%s%s%sElementByElementProduct\n%s", kelErrFunction);
  const int n = x.Size();
  if (sameObject(z, x) || sameObject(z, y)) {
    KelVector local('u', n);
    for (int i = 0; i < n; ++i) local.Data()[i] = x.Data()[i] * y.Data()[i];
    Swap(local, z);
  } else {
    z.Resize(n, false);
    for (int i = 0; i < n; ++i) z.Data()[i] = x.Data()[i] * y.Data()[i];
  }
}

double LinearRegressionCoefficient(const KelVector& x, const KelVector& y) {
  checkEqualSizes(x, y, "%s%s%sLinearRegressionCoefficient\n%s", kelErrFunction);
  const int n = x.Size();
  KelVector xc(x);
  KelVector yc(y);
  long double xSum = 0.0L;
  long double ySum = 0.0L;
  for (int i = 0; i < n; ++i) {
    xSum += x.Data()[i];
    ySum += y.Data()[i];
  }
  const double xMean = static_cast<double>(xSum / n);
  const double yMean = static_cast<double>(ySum / n);
  for (int i = 0; i < n; ++i) {
    xc.Data()[i] -= xMean;
    yc.Data()[i] -= yMean;
  }
  const double xNorm = n > 0 ? SqrtSumSqr(n, xc.Data()) : 0.0;
  const double yNorm = n > 0 ? SqrtSumSqr(n, yc.Data()) : 0.0;
  if (xNorm == 0.0 || yNorm == 0.0) {
    KelWarning("norm = 0");
    return 0.0;
  }
  return KelArrayDot(n, xc.Data(), yc.Data()) / (xNorm * yNorm);
}
