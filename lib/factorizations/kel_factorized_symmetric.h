// Factorizations of symmetric matrices in packed lower-triangle storage:
// KelFactorizedSymmetricNoPivot (A = L D L^T without interchanges, by Cholesky or by outer
// products, with a rank-one update) and KelFactorizedSymmetricPivot (1 x 1 and 2 x 2 pivots
// with symmetric interchanges, for any symmetric matrix).
#ifndef KELMATH_KEL_FACTORIZED_SYMMETRIC_H
#define KELMATH_KEL_FACTORIZED_SYMMETRIC_H

#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_matrix_symmetric.h"
#include "containers/kel_vector.h"
#include "containers/kel_vector_int.h"
#include "factorizations/kel_factorized.h"
#include "foundation/kel_base.h"

class KelFactorizedSymmetricBase : public KelBase {
 public:
  KelFactorizedSymmetricBase();
  KelFactorizedSymmetricBase(const KelFactorizedSymmetricBase&) = delete;
  KelFactorizedSymmetricBase& operator=(const KelFactorizedSymmetricBase&) = delete;
  ~KelFactorizedSymmetricBase() override;

  // Resets the object and copies S as the matrix to factorize.
  virtual void AssignMatrix(const KelMatrixSymmetric& S);
  // b (size rows) replaced by the solution of A x = b.
  virtual void Solve(KelVector* bx);
  // Updates the factors for A + alpha z z^T (z is overwritten).
  virtual void ChangeFactorization(double alpha, KelVector* z) = 0;
  // X becomes A^-1.
  void Inverse(KelMatrix* X);
  // Every column of BX (rows rows) replaced by its solution.
  friend void Solve(KelFactorizedSymmetricBase* A, KelMatrix* BX);

  void PrintObject() override;

  int Rows() const { return numRows; }
  int GetSerialNumber() const { return serialNumber; }
  bool IsFactorized() const { return factorized != 0; }

  static KelObjectCounter counter;

 protected:
  void PrepSolve();
  virtual void Factorization() = 0;
  // Solve on raw storage: the factor rows and the 1-based elements of the right-hand side.
  virtual void SolveKernel(int n, double* const* a, double* x) = 0;
  double* const* FactorRows() { return factor.RowPointers(); }

  int factorized = 0;
  KelMatrixStatus matrixStatus = KelMatrixStatus::kKept;
  int numRows = 0;
  int numColumns = 0;
  int serialNumber = 0;
  double norm = 0.0;
  KelMatrixSymmetric matrix;
  KelMatrixSymmetric factor;
};

void Solve(KelFactorizedSymmetricBase* A, KelMatrix* BX);

// Solve contract: x with A x = b for a symmetric positive definite A (Cholesky) or one whose
// leading pivots never vanish (outer products on sparse-looking matrices); a matrix that is not
// is fatal when factorized ("The matrix is not definite positive" / "The matrix is singular").
class KelFactorizedSymmetricNoPivot : public KelFactorizedSymmetricBase {
 public:
  KelFactorizedSymmetricNoPivot() = default;
  explicit KelFactorizedSymmetricNoPivot(const KelMatrixSymmetric& S) { AssignMatrix(S); }
  void ChangeFactorization(double alpha, KelVector* z) override;

 protected:
  void Factorization() override;
  void SolveKernel(int n, double* const* a, double* x) override;
};

// Solve contract: x with A x = b for any symmetric A, through 1 x 1 and 2 x 2 pivots; a singular
// A is not fatal: IsSingular() tells, and the unknowns of vanished pivots come out 0.
class KelFactorizedSymmetricPivot : public KelFactorizedSymmetricNoPivot {
 public:
  KelFactorizedSymmetricPivot() = default;
  explicit KelFactorizedSymmetricPivot(const KelMatrixSymmetric& S) { AssignMatrix(S); }
  // Not provided for the pivoting factorization (fatal).
  void ChangeFactorization(double alpha, KelVector* z) override;
  bool IsSingular() const { return singular != 0; }
  // Positions i where a 2 x 2 pivot covers rows i and i+1.
  const KelVectorInt& TwoByTwoPositions() const { return twoByTwo; }

 protected:
  void Factorization() override;
  void SolveKernel(int n, double* const* a, double* x) override;

 private:
  void EliminateTwoByTwo(int i, double D, std::vector<double>& first, std::vector<double>& second);

  // Pivots below this magnitude count as zero: a tiny fraction of the matrix's largest entry.
  double tinyPivot = 0.0;

  KelVectorInt twoByTwo;
  KelVectorInt interchanges;
  KelVector eValues;
  KelVector cValues;
  unsigned char singular = 0;
};

#endif
