// KelMatrixLeft: a lower triangular matrix stored as its packed lower triangle, with a
// forward-substitution solve.
#ifndef KELMATH_KEL_MATRIX_LEFT_H
#define KELMATH_KEL_MATRIX_LEFT_H

#include "containers/kel_matrix_packed.h"

class KelVector;

class KelMatrixLeft : public KelMatrixPacked {
 public:
  KelMatrixLeft();
  // rows x columns zeros; rows must equal columns (either <= 0: empty).
  KelMatrixLeft(int rows, int columns);
  KelMatrixLeft(const KelMatrixLeft& L);
  KelMatrixLeft(KelMatrixLeft&& L) noexcept;
  ~KelMatrixLeft() override;
  KelMatrixLeft& operator=(const KelMatrixLeft& L);
  KelMatrixLeft& operator=(KelMatrixLeft&& L) noexcept;
  KelMatrixLeft& operator=(double c);

  // Stored element (i, j), j <= i; out of range (or j > i, which is not stored) is fatal.
  double& operator()(int i, int j);
  // Element (i, j); 0 above the diagonal.
  double operator()(int i, int j) const;

  // Solves L x = b by forward substitution, b overwritten by x. A zero pivot sets its
  // component to 0 with a note through KelMessage.
  friend void Solve(const KelMatrixLeft& L, KelVector& b);

  void PrintObject() override;

  static KelObjectCounter counter;
};

void Solve(const KelMatrixLeft& L, KelVector& b);

#endif
