// KelFactorizedLQ: A = LQ through the flat Householder routines.
#include <cstring>

#include "kel_errors.h"
#include "kel_factorized_householder.h"
#include "kel_householder.h"
#include "kel_output.h"
#include "kel_triangular_condition.h"

void KelFactorizedLQ::Factorization() {
  if (numRows > numColumns)
    KelError("%s%s%sFactorization LQ", kelClassFactorized, kelErrCheck, kelErrFunction);
  norms.Resize(numRows, false);
  singular = LQFactorization(numRows, numColumns, FactorRows(), diagonal.data(), norms.Data() - 1,
                             tolerance, scratch)
                 ? 1
                 : 0;
}

void KelFactorizedLQ::SpecificSolve(KelVector* bx) {
  const int m = numRows;
  const int n = numColumns;
  work.resize(static_cast<size_t>(m) + 1);
  std::memcpy(work.data() + 1, bx->Data(), sizeof(double) * static_cast<size_t>(m));
  bx->Resize(n, false);
  LQSolution(m, n, FactorRows(), diagonal.data(), work.data(), bx->Data() - 1);
}

void KelFactorizedLQ::SpecificTransposeSolve(KelVector* bx) {
  const int m = numRows;
  const int n = numColumns;
  work.resize(static_cast<size_t>(n) + 1);
  std::memcpy(work.data() + 1, bx->Data(), sizeof(double) * static_cast<size_t>(n));
  bx->Resize(m, false);
  LQTransposeSolution(m, n, FactorRows(), diagonal.data(), work.data(), bx->Data() - 1);
}

double KelFactorizedLQ::SpecificConditionNumber() {
  if (singular != 0) return kelBigValue;
  double** a = FactorRows();
  const double* d = diagonal.data();
  // L presented as the upper triangular L^T: element (j, i), j < i, is L(i, j).
  return TriangularConditionEstimate(
      numRows, [d](int i) { return d[i]; }, [a](int j, int i) { return a[i][j]; });
}
