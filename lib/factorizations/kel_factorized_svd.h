// KelFactorizedSVD: A = U W V^T for a matrix with at least as many rows as columns. Solving
// gives the least-squares solution with the singular values below a relative threshold dropped.
#ifndef KELMATH_KEL_FACTORIZED_SVD_H
#define KELMATH_KEL_FACTORIZED_SVD_H

#include <vector>

#include "factorizations/kel_factorized.h"
#include "factorizations/kel_svd.h"

// Solve contract (m >= n): Solve takes b of size m and gives the x of size n minimizing
// |A x - b| with the singular values below 2.22e-16 times the largest dropped (a zero matrix
// gives x = 0); the form with a number of singular values keeps only that many. TransposeSolve
// takes b of size n and gives x of size m under the same threshold, clamped to the float range.
// Rank deficiency is never an error.
class KelFactorizedSVD : public KelFactorized {
 public:
  KelFactorizedSVD() = default;
  KelFactorizedSVD(int rows, int columns) : KelFactorized(rows, columns) {}
  explicit KelFactorizedSVD(const KelMatrix& A) { AssignMatrix(A); }
  using KelFactorized::operator=;

  // w_max / w_min, or the big value when w_min is 0; computes only the singular values when
  // the object is not factorized yet.
  double ConditionNumber() override;
  // Sign of det(U) det(V) times the product of the singular values (square matrices;
  // otherwise a warning and 0).
  double Determinant() override;
  // The singular values in the order the iteration leaves them; the matrix is kept, and a
  // factorization made only for them is not kept.
  void GetSingularValues(KelVector* w);
  // Largest and smallest singular value (computed when needed; the matrix is kept).
  double MaximumSingularValue();
  double MinimumSingularValue();
  // w (columns), V (columns x columns) and U (rows x columns); the matrix is kept.
  void GetDecomposition(KelVector* w, KelMatrix* V, KelMatrix* U);
  // As GetDecomposition, with w decreasing and the columns of U and V moved along.
  void GetSortedDecomposition(KelVector* w, KelMatrix* V, KelMatrix* U);

  // Least squares with only the max(1, k) largest singular values (capped at the columns).
  friend void Solve(KelFactorizedSVD* A, const KelVector& b, KelVector* x,
                    int numberOfSingularValues);

  // What the next factorization of this object computes: 1 singular values, 2 and V, 3 and U,
  // 4 all (the default). A setting of the object, not of the class, so that objects used on
  // different threads never change each other's factorizations.
  void SetRequiredMode(int mode) { requiredMode = mode; }
  int RequiredMode() const { return requiredMode; }

 protected:
  void Factorization() override;
  void SpecificInitialize() override;
  void SpecificDeinitialize() override;
  void SpecificSolve(KelVector* bx) override;
  void SpecificTransposeSolve(KelVector* bx) override;
  // The transposed matrix forms are not provided (fatal).
  void SpecificTransposeSolve(KelMatrix* BX) override;
  void SpecificTransposeSolve(const KelMatrix& B, KelMatrix* X) override;
  double SpecificConditionNumber() override;
  void MatrixLoaded() override;

 private:
  std::vector<double> singularValues;  // 1-based
  std::vector<double> work;            // 1-based copy of the right-hand side
  KelMatrix V;
  KelSvdWorkspace workspace;
  double largestSingularValue = 0.0;
  double smallestSingularValue = 0.0;
  bool singularValuesKnown = false;
  int requiredMode = 4;
  int factorizedMode = 0;
};

void Solve(KelFactorizedSVD* A, const KelVector& b, KelVector* x, int numberOfSingularValues);

#endif
