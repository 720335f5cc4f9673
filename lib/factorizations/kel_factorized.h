// KelFactorized: the abstract base of the dense factorizations. It owns a copy of the matrix to
// factorize, factorizes it lazily at the first solve or condition-number request, keeps or
// sacrifices the loaded matrix depending on the preparation used, and dispatches the solves to
// the concrete factorization.
#ifndef KELMATH_KEL_FACTORIZED_H
#define KELMATH_KEL_FACTORIZED_H

#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "foundation/kel_base.h"

// What became of the loaded matrix: kept beside the factors, destroyed (its storage became the
// factors), or modified after the factorization (the next preparation factorizes again).
// MatrixStatus() returns them as the integers 0, 1 and 2 that callers compare with
// (docs/developers.md, intended behaviour 7).
enum class KelMatrixStatus : int { kKept = 0, kDestroyed = 1, kModified = 2 };

// Text of the fatal error raised when the loaded matrix was sacrificed to the factors.
extern const char* const kelErrMatrixDestroyed;

class KelFactorized : public KelBase {
 public:
  // Empty object (0 x 0).
  KelFactorized();
  // rows x columns zeros, kept as the loaded matrix.
  KelFactorized(int rows, int columns);
  KelFactorized(const KelFactorized&) = delete;
  KelFactorized& operator=(const KelFactorized&) = delete;
  ~KelFactorized() override;

  // Takes a copy of A as the matrix to factorize; the object returns to "loaded, not factorized".
  virtual void AssignMatrix(const KelMatrix& A);
  KelFactorized& operator=(const KelMatrix& A) {
    AssignMatrix(A);
    return *this;
  }
  // Hands A's storage to F as its loaded matrix without copying; A is left empty.
  friend void MoveMatrixIntoFactorized(KelMatrix* A, KelFactorized* F);

  // Modifiable element (i, j) of the loaded matrix; after a factorization that kept the matrix
  // the next preparation refactorizes. Fatal when the matrix was destroyed or out of range.
  double& operator()(int i, int j);

  // Condition-number estimate; the loaded matrix is kept. Non-square: warning and 0.
  virtual double ConditionNumber();
  // Determinant of the loaded matrix.
  virtual double Determinant() = 0;
  // Solves A x = b after balancing rows and/or columns; A comes back unchanged.
  void SolveScaled(KelMatrix* A, KelVector* bx);
  // Replaces g by the solution d of the normal equations A^T A d = g, through the balanced
  // factorization that SolveScaled left of a matrix with at least as many rows as columns: with
  // A C the balanced matrix, d = C (A C)^+ ((A C)^T)^+ C g. With g = A^T r, r the residual of the
  // least-squares solution, d is the correction of that solution (corrected semi-normal
  // equations). Fatal without that factorization or when g has not one entry per column.
  void SolveScaledNormalEquations(KelVector* g);

  void PrintObject() override;

  int Rows() const { return numRows; }
  int Columns() const { return numColumns; }
  int GetSerialNumber() const { return serialNumber; }
  bool IsFactorized() const { return factorized != 0; }
  // 0: loaded matrix kept; 1: destroyed; 2: modified after the factorization.
  int MatrixStatus() const { return static_cast<int>(matrixStatus); }
  bool IsSingular() const { return singular != 0; }
  // Infinity norm of the loaded matrix (0 until computed).
  double Norm() const { return norm; }

  static KelObjectCounter counter;

  friend void Solve(KelFactorized* F, KelVector* bx);
  friend void Solve(KelFactorized* F, const KelVector& b, KelVector* x);
  friend void Solve(KelFactorized* F, KelMatrix* BX);
  friend void Solve(KelFactorized* F, const KelMatrix& B, KelMatrix* X);
  friend void TransposeSolve(KelFactorized* F, KelVector* bx);
  friend void TransposeSolve(KelFactorized* F, const KelVector& b, KelVector* x);
  friend void TransposeSolve(KelFactorized* F, KelMatrix* BX);
  friend void TransposeSolve(KelFactorized* F, const KelMatrix& B, KelMatrix* X);

 protected:
  // Factorizes in the loaded matrix's own storage, which is then lost (solves).
  void PrepOnlySolve();
  // Factorizes a copy, keeping the loaded matrix (condition numbers, accessors).
  void PrepSolve();
  // Frees the factors and work arrays of a factorization made by PrepSolve; the loaded matrix
  // stays and the next preparation factorizes again.
  void DiscardFactorization();

  virtual void Factorization() = 0;
  virtual void SpecificInitialize() = 0;
  virtual void SpecificDeinitialize() = 0;
  virtual void SpecificSolve(KelVector* bx) = 0;
  virtual void SpecificSolve(const KelVector& b, KelVector* x);
  virtual void SpecificSolve(KelMatrix* BX);
  virtual void SpecificSolve(const KelMatrix& B, KelMatrix* X);
  virtual void SpecificTransposeSolve(KelVector* bx) = 0;
  virtual void SpecificTransposeSolve(const KelVector& b, KelVector* x);
  virtual void SpecificTransposeSolve(KelMatrix* BX);
  virtual void SpecificTransposeSolve(const KelMatrix& B, KelMatrix* X);
  // The estimate itself, once the factors are valid and the norm known.
  virtual double SpecificConditionNumber() = 0;
  // Called whenever a new matrix is loaded (results tied to the old one become unknown).
  virtual void MatrixLoaded() {}
  // True for a factorization that sets the norm itself, from its own first pass over the
  // matrix, so that the matrix is not read once more only for it.
  virtual bool FactorizationSetsNorm() const { return false; }

  // Factor rows: factorRows[i][j] is element (i, j) of the matrix being factorized; rows may be
  // exchanged by swapping these pointers.
  double** FactorRows() { return factorRows.data(); }
  void ComputeNorm();

  int factorized = 0;
  KelMatrixStatus matrixStatus = KelMatrixStatus::kKept;
  int numRows = 0;
  int numColumns = 0;
  int serialNumber = 0;
  unsigned char singular = 0;
  double norm = 0.0;
  int scalingMode = 0;
  KelVector rowScale;
  KelVector columnScale;
  KelVector savedRightHandSide;
  KelMatrix savedMatrix;

 private:
  void Reset();
  void BindFactorRows();

  KelMatrix matrix;
  KelMatrix factorStorage;
  std::vector<double*> factorRows;
};

void MoveMatrixIntoFactorized(KelMatrix* A, KelFactorized* F);
// A x = b: b (size rows) is replaced by x (size columns).
void Solve(KelFactorized* F, KelVector* bx);
// A x = b with a separate x (b untouched unless it is x).
void Solve(KelFactorized* F, const KelVector& b, KelVector* x);
// Every column of BX (rows rows) replaced by its solution.
void Solve(KelFactorized* F, KelMatrix* BX);
void Solve(KelFactorized* F, const KelMatrix& B, KelMatrix* X);
// A^T x = b: b (size columns) replaced by x (size rows).
void TransposeSolve(KelFactorized* F, KelVector* bx);
void TransposeSolve(KelFactorized* F, const KelVector& b, KelVector* x);
void TransposeSolve(KelFactorized* F, KelMatrix* BX);
void TransposeSolve(KelFactorized* F, const KelMatrix& B, KelMatrix* X);

#endif
