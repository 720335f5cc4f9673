// Bidiagonalization, accumulation of the reflections and the implicit-shift QR iteration.
// The singular vectors are accumulated as the rows of U^T and V^T: the rotations of the
// iteration then combine two contiguous rows instead of two strided columns of a row-major
// matrix, and each reflection updates whole rows.
#include "factorizations/kel_svd.h"

#include <algorithm>
#include <cmath>

#include "factorizations/kel_householder.h"
#include "foundation/kel_array_kernels.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_output.h"

namespace {

double dot(int count, const double* x, const double* y) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    s0 += x[i] * y[i];
    s1 += x[i + 1] * y[i + 1];
    s2 += x[i + 2] * y[i + 2];
    s3 += x[i + 3] * y[i + 3];
  }
  for (; i < count; ++i) s0 += x[i] * y[i];
  return (s0 + s1) + (s2 + s3);
}

// y -= 2 (u . y) u over count elements.
// Not inlined: inside the large routines that call it, the loop lost its registers to theirs.
__attribute__((noinline)) void reflect(int count, const double* u, double* y) {
  const double s = 2.0 * dot(count, u, y);
  if (s == 0.0) return;
  for (int i = 0; i < count; ++i) y[i] -= s * u[i];
}

// Rows p and q of T, as columns p and q of its transpose: (y, z) -> (y c + z s, z c - y s).
void rotateRows(KelMatrix* T, int p, int q, double c, double s) {
  double* y = T->RowPointers()[p] + 1;
  double* z = T->RowPointers()[q] + 1;
  const int count = T->Columns();
  for (int r = 0; r < count; ++r) {
    const double a = y[r];
    const double b = z[r];
    y[r] = a * c + b * s;
    z[r] = b * c - a * s;
  }
}

void negateRow(KelMatrix* T, int p) {
  double* y = T->RowPointers()[p] + 1;
  for (int r = 0; r < T->Columns(); ++r) y[r] = -y[r];
}

// T (n x n) = I; rows then take, from last to first, the right reflections stored in rows
// 1..n-1 of b: T = V^T.
void formRightTransposed(int n, double* const* b, KelMatrix* T) {
  T->Resize(n, n, true);
  double* const* t = T->RowPointers();
  for (int j = 1; j <= n; ++j) t[j][j] = 1.0;
  // Row j of I P(n-1) ... P(k+1) is still e_j for j <= k, and P(k) acts on positions k+1..n.
  for (int k = n - 1; k >= 1; --k)
    for (int j = k + 1; j <= n; ++j) reflect(n - k, b[k] + k + 1, t[j] + k + 1);
}

// T (n x m) = [I 0] H(n) ... H(1) = U^T for the left reflections stored in the columns of b.
void formLeftTransposed(int m, int n, double* const* b, KelMatrix* T, std::vector<double>& u) {
  T->Resize(n, m, true);
  double* const* t = T->RowPointers();
  for (int j = 1; j <= n; ++j) t[j][j] = 1.0;
  u.resize(static_cast<size_t>(m) + 1);
  for (int k = n; k >= 1; --k) {
    const int count = m - k + 1;
    for (int i = k; i <= m; ++i) u[i - k] = b[i][k];
    // Rows j < k are still e_j, untouched by a reflection acting on positions k..m.
    for (int j = k; j <= n; ++j) reflect(count, u.data(), t[j] + k);
  }
}

// A value is negligible when adding it to the matrix norm changes nothing in double.
bool negligibleAgainst(double x, double anorm) {
  volatile double sum = x + anorm;
  return sum == anorm;
}

// w(l-1) is zero for all practical purposes: chase e(l) away with rotations.
void chaseSuperdiagonal(int l, int k, double anorm, double* w, double* e, KelMatrix* ut) {
  double c = 0.0, s = 1.0;
  for (int i = l; i <= k; ++i) {
    const double f = s * e[i];
    e[i] = c * e[i];
    if (negligibleAgainst(f, anorm)) break;
    const double g = w[i];
    const double h = std::hypot(f, g);
    w[i] = h;
    c = g / h;
    s = -f / h;
    if (ut != nullptr) rotateRows(ut, l - 1, i, c, s);
  }
}

// One implicit QR sweep on rows l..k of the bidiagonal, shifted by the eigenvalue of the
// trailing 2 x 2 block nearer its last element.
void shiftedSweep(int l, int k, double* w, double* e, KelMatrix* ut, KelMatrix* vt) {
  const double z0 = w[k];
  double x = w[l];
  double y = w[k - 1];
  double g = e[k - 1];
  double h = e[k];
  double f = ((y - z0) * (y + z0) + (g - h) * (g + h)) / (2.0 * h * y);
  g = std::hypot(f, 1.0);
  f = ((x - z0) * (x + z0) + h * (y / (f + (f >= 0.0 ? g : -g)) - h)) / x;
  double c = 1.0, s = 1.0;
  for (int j = l; j < k; ++j) {
    const int i = j + 1;
    g = e[i];
    y = w[i];
    h = s * g;
    g = c * g;
    double z = std::hypot(f, h);
    e[j] = z;
    if (z != 0.0) {
      c = f / z;
      s = h / z;
    }
    f = x * c + g * s;
    g = g * c - x * s;
    h = y * s;
    y *= c;
    if (vt != nullptr) rotateRows(vt, j, i, c, s);
    z = std::hypot(f, h);
    w[j] = z;
    if (z != 0.0) {
      c = f / z;
      s = h / z;
    }
    f = c * g + s * y;
    x = c * y - s * g;
    if (ut != nullptr) rotateRows(ut, j, i, c, s);
  }
  e[l] = 0.0;
  e[k] = f;
  w[k] = x;
}

// Golub-Reinsch iteration on the bidiagonal (w, e); the rotations are applied to the rows of
// U^T and V^T when given. Sweeps for one singular value stop after 30 without convergence.
void diagonalize(int n, double* w, double* e, KelMatrix* ut, KelMatrix* vt) {
  double anorm = 0.0;
  for (int i = 1; i <= n; ++i) anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(e[i]));
  for (int k = n; k >= 1; --k) {
    for (int sweep = 1;; ++sweep) {
      int l = k;
      bool cancel = false;
      for (; l >= 1; --l) {
        // e(1) = 0 always splits, so the search never runs past the first row (even on NaN).
        if (l == 1 || negligibleAgainst(e[l], anorm)) break;
        if (negligibleAgainst(w[l - 1], anorm)) {
          cancel = true;
          break;
        }
      }
      if (cancel) chaseSuperdiagonal(l, k, anorm, w, e, ut);
      if (l == k || sweep > 30) {
        if (w[k] < 0.0) {
          w[k] = -w[k];
          if (vt != nullptr) negateRow(vt, k);
        }
        break;
      }
      shiftedSweep(l, k, w, e, ut, vt);
    }
  }
}

}  // namespace

void Bidiagonal(int m, int n, double* const* a, double* w, double* e) {
  if (m < n) KelError("\n m < n in Bidiagonal\n%s", KelShapeDetail(m, n).c_str());
  std::vector<double> u(static_cast<size_t>(m) + 1);
  std::vector<double> s(static_cast<size_t>(n) + 1);
  e[1] = 0.0;
  for (int i = 1; i <= n; ++i) {
    const int count = m - i + 1;
    for (int r = i; r <= m; ++r) u[r - i] = a[r][i];
    w[i] = HouseholderVector(count, u.data(), u.data());
    for (int r = i; r <= m; ++r) a[r][i] = u[r - i];
    if (i < n) {
      // Left reflection on columns i+1..n, organised by rows: first all the dot products,
      // then the updates, each a sweep over contiguous row segments.
      std::fill(s.begin() + i + 1, s.end(), 0.0);
      for (int r = i; r <= m; ++r) {
        const double ur = u[r - i];
        if (ur == 0.0) continue;
        const double* row = a[r];
        for (int j = i + 1; j <= n; ++j) s[j] += ur * row[j];
      }
      for (int r = i; r <= m; ++r) {
        const double ur = 2.0 * u[r - i];
        if (ur == 0.0) continue;
        double* row = a[r];
        for (int j = i + 1; j <= n; ++j) row[j] -= s[j] * ur;
      }
      double* right = a[i] + i + 1;
      e[i + 1] = HouseholderVector(n - i, right, right);
      for (int r = i + 1; r <= m; ++r) reflect(n - i, right, a[r] + i + 1);
    }
  }
}

void SVDFactorization(int mode, int m, int n, double* const* a, double* w, KelMatrix* V,
                      KelSvdWorkspace& workspace) {
  if (mode < 1 || mode > 4)
    KelError("1 <= required <= 4 in SVD\n%s", KelValueDetail("required", mode).c_str());
  if (m < n) KelError("m < n in SVD\n%s", KelShapeDetail(m, n).c_str());
  if (n <= 0) return;
  const bool wantU = mode >= 3;
  const bool wantV = mode == 2 || mode == 4;
  workspace.superdiagonal.assign(static_cast<size_t>(n) + 1, 0.0);
  double* e = workspace.superdiagonal.data();
  const bool throughR = 3LL * m >= 5LL * n;
  double* const* b = a;
  int mb = m;
  if (throughR) {
    // Zero tolerance: only an exactly zero column is "singular", and its sign-change
    // reflection loses nothing, so R is the exact triangle of A.
    workspace.qrDiagonal.assign(static_cast<size_t>(n) + 1, 0.0);
    workspace.qrNorms.assign(static_cast<size_t>(n) + 1, 0.0);
    {
      const KelQuietMessages quiet;
      QRFactorization(m, n, a, workspace.qrDiagonal.data(), workspace.qrNorms.data(), 0.0,
                      workspace.buffer, QRDependentColumns::kSignChange);
    }
    workspace.triangle.Resize(n, n, true);
    double* const* t = workspace.triangle.RowPointers();
    for (int i = 1; i <= n; ++i) {
      t[i][i] = workspace.qrDiagonal[i];
      for (int j = i + 1; j <= n; ++j) t[i][j] = a[i][j];
    }
    b = t;
    mb = n;
  }
  Bidiagonal(mb, n, b, w, e);
  KelMatrix* vt = wantV ? &workspace.rightTransposed : nullptr;
  KelMatrix* ut = wantU ? &workspace.leftTransposed : nullptr;
  if (wantV) formRightTransposed(n, b, vt);
  if (wantU) formLeftTransposed(mb, n, b, ut, workspace.buffer);
  diagonalize(n, w, e, ut, vt);
  if (wantV) {
    V->Resize(n, n, false);
    double* const* v = V->RowPointers();
    double* const* t = vt->RowPointers();
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j) v[i][j] = t[j][i];
  }
  if (!wantU) return;
  KelMatrix* full = ut;
  if (throughR) {
    // U^T = [Us^T 0] H(n) ... H(1): the QR reflections, moved once into contiguous rows,
    // act on whole rows of U^T.
    KelMatrix& reflections = workspace.reflections;
    reflections.Resize(n, m, false);
    double* const* h = reflections.RowPointers();
    for (int i = 1; i <= m; ++i) {
      const double* row = a[i];
      const int last = std::min(i, n);
      for (int k = 1; k <= last; ++k) h[k][i] = row[k];
    }
    KelMatrix extended(n, m);
    double* const* x = extended.RowPointers();
    double* const* small = ut->RowPointers();
    for (int j = 1; j <= n; ++j)
      for (int i = 1; i <= n; ++i) x[j][i] = small[j][i];
    for (int k = n; k >= 1; --k)
      for (int j = 1; j <= n; ++j) reflect(m - k + 1, h[k] + k, x[j] + k);
    Swap(*ut, extended);
  }
  double* const* t = full->RowPointers();
  for (int i = 1; i <= m; ++i) {
    double* row = a[i];
    for (int j = 1; j <= n; ++j) row[j] = t[j][i];
  }
}

void SVDBack(int m, int n, double* const* u, const double* w, const KelMatrix& V, const double* b,
             double* x, double t) {
  if (m < n) KelError("\nm<n in SVDBack\n%s", KelShapeDetail(m, n).c_str());
  std::vector<double> y(static_cast<size_t>(n) + 1, 0.0);
  if (t != 0.0) {
    for (int j = 1; j <= m; ++j) {
      const double bj = b[j];
      if (bj == 0.0) continue;
      const double* row = u[j];
      for (int i = 1; i <= n; ++i) y[i] += row[i] * bj;
    }
    for (int i = 1; i <= n; ++i) y[i] = std::fabs(t) <= w[i] ? y[i] / w[i] : 0.0;
  }
  const double* const* v = V.RowPointers();
  for (int j = 1; j <= n; ++j) x[j] = t != 0.0 ? dot(n, v[j] + 1, y.data() + 1) : 0.0;
}

void SVDSolution(int m, int n, double* const* u, const double* w, const KelMatrix& V,
                 const double* b, double* x, double t) {
  if (m < n) KelError("\nrows < columns in SVDSolution\n%s", KelShapeDetail(m, n).c_str());
  std::vector<double> y(static_cast<size_t>(n) + 1, 0.0);
  const double* const* v = V.RowPointers();
  if (t != 0.0) {
    for (int r = 1; r <= n; ++r) {
      const double br = b[r];
      for (int j = 1; j <= n; ++j) y[j] += v[r][j] * br;
    }
    for (int j = 1; j <= n; ++j) y[j] = KelClampToFloat(std::fabs(t) <= w[j] ? y[j] / w[j] : 0.0);
  }
  for (int i = 1; i <= m; ++i) x[i] = KelClampToFloat(dot(n, u[i] + 1, y.data() + 1));
}
