// KelFactorizedQR: A = QR through the flat Householder routines.
#include <cstring>

#include "factorizations/kel_factorized_householder.h"
#include "factorizations/kel_householder.h"
#include "factorizations/kel_triangular_condition.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

void KelFactorizedQR::Factorization() {
  if (numRows < numColumns)
    KelError("%s%s%sFactorization QR\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeDetail(numRows, numColumns).c_str());
  norms.Resize(numColumns, false);
  singular = QRFactorization(numRows, numColumns, FactorRows(), diagonal.data(), norms.Data() - 1,
                             tolerance, scratch, QRDependentColumns::kSkipped, &norm)
                 ? 1
                 : 0;
}

void KelFactorizedQR::SpecificSolve(KelVector* bx) {
  const int m = numRows;
  const int n = numColumns;
  work.resize(static_cast<size_t>(m) + 1);
  std::memcpy(work.data() + 1, bx->Data(), sizeof(double) * static_cast<size_t>(m));
  bx->Resize(n, false);
  if (singular != 0)
    QRSolution(m, n, FactorRows(), diagonal.data(), work.data(), bx->Data() - 1);
  else
    QRSolutionByGroups(m, n, FactorRows(), diagonal.data(), work.data(), bx->Data() - 1);
}

void KelFactorizedQR::SpecificTransposeSolve(KelVector* bx) {
  const int m = numRows;
  const int n = numColumns;
  work.resize(static_cast<size_t>(n) + 1);
  std::memcpy(work.data() + 1, bx->Data(), sizeof(double) * static_cast<size_t>(n));
  bx->Resize(m, false);
  QRTransposeSolution(m, n, FactorRows(), diagonal.data(), work.data(), bx->Data() - 1);
}

double KelFactorizedQR::SpecificConditionNumber() {
  if (singular != 0) return kelBigValue;
  double** a = FactorRows();
  const double* d = diagonal.data();
  return TriangularConditionEstimate(
      numColumns, [d](int i) { return d[i]; }, [a](int j, int i) { return a[j][i]; });
}

void KelFactorizedQR::GetDiagonal(KelVector* d) {
  PrepSolve();
  d->Resize(numColumns, false);
  for (int i = 1; i <= numColumns; ++i) (*d)(i) = diagonal[i];
}
