#include "containers/kel_finite_check.h"

#include <cmath>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "foundation/kel_array_kernels.h"
#include "foundation/kel_output.h"

namespace {
constexpr const char* kNonFinite = "Non-finite data\n";
}

void KelRequireFinite(const char* classText, const char* name, const KelMatrix& A) {
  const int columns = A.Columns();
  const long long bad = KelFirstNonFinite(static_cast<long long>(A.Rows()) * columns, A.Data());
  if (bad < 0) return;
  const int i = static_cast<int>(bad / columns) + 1;
  const int j = static_cast<int>(bad % columns) + 1;
  KelError("%s%s%s(%d, %d) = %s", classText, kNonFinite, name, i, j, KelNonFiniteText(A(i, j)));
}

void KelRequireFinite(const char* classText, const char* name, const KelVector& v) {
  const long long bad = KelFirstNonFinite(v.Size(), v.Data());
  if (bad < 0) return;
  const int i = static_cast<int>(bad) + 1;
  KelError("%s%s%s(%d) = %s", classText, kNonFinite, name, i, KelNonFiniteText(v(i)));
}

void KelRequireFinite(const char* classText, const char* name, double value) {
  if (std::isfinite(value)) return;
  KelError("%s%s%s = %s", classText, kNonFinite, name, KelNonFiniteText(value));
}
