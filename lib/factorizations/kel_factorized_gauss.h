// KelFactorizedGauss: LU factorization of a square matrix with scaled partial pivoting.
#ifndef KELMATH_KEL_FACTORIZED_GAUSS_H
#define KELMATH_KEL_FACTORIZED_GAUSS_H

#include <vector>

#include "containers/kel_vector_int.h"
#include "factorizations/kel_factorized.h"

// Solve contract (n x n only): Solve gives x with A x = b and TransposeSolve x with A^T x = b.
// A zero pivot marks the matrix singular ("\nSingular: row = %d" when factorizing); a singular
// system is still solved, each unknown of a zero pivot set to 0 ("\nSingular matrix", with
// " and incompatible system" when the equation cannot hold). Determinant and ConditionNumber
// keep the loaded matrix; a solve consumes it.
class KelFactorizedGauss : public KelFactorized {
 public:
  KelFactorizedGauss() = default;
  KelFactorizedGauss(int rows, int columns) : KelFactorized(rows, columns) {}
  explicit KelFactorizedGauss(const KelMatrix& A) { AssignMatrix(A); }
  using KelFactorized::operator=;

  // Sign of the row permutation times the product of the pivots.
  double Determinant() override;
  // The initial indices of the rows that gave a zero pivot, in increasing order (empty when
  // the object is not factorized).
  virtual void GetSingularRows(KelVectorInt* rows);

 protected:
  void Factorization() override;
  void SpecificInitialize() override;
  void SpecificDeinitialize() override;
  void SpecificSolve(KelVector* bx) override;
  void SpecificTransposeSolve(KelVector* bx) override;
  double SpecificConditionNumber() override;

  // Row pivots, 1-based: pivots[k] is the row exchanged with row k at step k.
  std::vector<int> pivots;
  int permutationSign = 1;

 private:
  // Forward and backward substitution on a raw 1-based right-hand side.
  void SolveInPlace(double* b);
  // Pivot search and row exchange of step k; false when step k eliminates nothing.
  bool ChoosePivot(int k);
  // Step k on rows k+1 .. lastRow: multipliers stored in column k, columns fromColumn ..
  // toColumn updated within the pivot row's non-zero span.
  void EliminateBelow(int k, int fromColumn, int toColumn, int lastRow);
  // The stored multipliers of step k applied to rows k+1 .. lastRow, columns fromColumn ..
  // toColumn.
  void ApplyMultipliers(int k, int fromColumn, int toColumn, int lastRow);
  void FactorizeBlocked();

  std::vector<double> scale;
};

#endif
