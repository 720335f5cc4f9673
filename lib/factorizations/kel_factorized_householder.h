// Factorizations by Householder reflections: KelFactorizedQR (A = QR, rows >= columns) and
// KelFactorizedLQ (A = LQ, rows <= columns), over the common layer KelFactorizedHouseholder.
// Dependent columns (QR) or rows (LQ) are detected by a relative threshold and treated as
// singular; there is no column pivoting.
#ifndef KELMATH_KEL_FACTORIZED_HOUSEHOLDER_H
#define KELMATH_KEL_FACTORIZED_HOUSEHOLDER_H

#include <vector>

#include "containers/kel_matrix_left.h"
#include "factorizations/kel_factorized.h"

class KelFactorizedHouseholder : public KelFactorized {
 public:
  KelFactorizedHouseholder();
  KelFactorizedHouseholder(int rows, int columns);
  using KelFactorized::operator=;

  // Product of the diagonal of the triangular factor with the sign of the reflections (each
  // Householder reflection has determinant -1). Non-square: warning and 0.
  double Determinant() override;
  // Relative singularity threshold (ten times the single-precision epsilon).
  double Tolerance() const { return tolerance; }

 protected:
  void SpecificInitialize() override;
  void SpecificDeinitialize() override;

  std::vector<double> diagonal;  // 1-based; 0 marks a singular column (QR) or row (LQ)
  std::vector<double> work;      // 1-based copy of the current right-hand side
  std::vector<double> scratch;
  double tolerance;
  KelVector norms;
};

// Solve contract (m >= n): Solve takes b of size m and gives the x of size n minimizing
// |A x - b|; TransposeSolve takes b of size n and gives the x of size m with A^T x = b and least
// |x|. A singular column (within the tolerance of the span of the earlier ones) yields 0 for its
// unknown, with a message; the other unknowns are then the least-squares fit on the regular
// columns alone, and TransposeSolve ignores the singular columns' equations.
class KelFactorizedQR : public KelFactorizedHouseholder {
 public:
  KelFactorizedQR() = default;
  KelFactorizedQR(int rows, int columns) : KelFactorizedHouseholder(rows, columns) {}
  explicit KelFactorizedQR(const KelMatrix& A) { AssignMatrix(A); }
  using KelFactorized::operator=;

  // The diagonal of R (columns elements; 0 marks a singular column); the matrix is kept.
  void GetDiagonal(KelVector* d);

 protected:
  void Factorization() override;
  bool FactorizationSetsNorm() const override { return true; }
  // b (rows) replaced by the least-squares solution (columns).
  void SpecificSolve(KelVector* bx) override;
  // b (columns) replaced by the minimum-norm solution of A^T x = b (rows).
  void SpecificTransposeSolve(KelVector* bx) override;
  double SpecificConditionNumber() override;
};

// Solve contract (m <= n): Solve takes b of size m and gives the x of size n with A x = b and
// least |x| (the equations of singular rows are ignored); TransposeSolve takes b of size n and
// gives the x of size m minimizing |A^T x - b|. No messages.
class KelFactorizedLQ : public KelFactorizedHouseholder {
 public:
  KelFactorizedLQ() = default;
  KelFactorizedLQ(int rows, int columns) : KelFactorizedHouseholder(rows, columns) {}
  explicit KelFactorizedLQ(const KelMatrix& A) { AssignMatrix(A); }
  using KelFactorized::operator=;

  // The columns x columns orthogonal P = H1 H2 ... Hm with A P = [L 0]; the matrix is kept.
  void GetKelMatrixP(KelMatrix* P);
  // The rows x rows lower triangular factor L; the matrix is kept.
  void GetLowerFactor(KelMatrixLeft* L);

 protected:
  void Factorization() override;
  // b (rows) replaced by the minimum-norm solution of A x = b (columns).
  void SpecificSolve(KelVector* bx) override;
  // b (columns) replaced by the least-squares solution of A^T x = b (rows).
  void SpecificTransposeSolve(KelVector* bx) override;
  double SpecificConditionNumber() override;
};

#endif
