// KelMatrixSymmetric: a symmetric matrix stored as its packed lower triangle; (i, j) and (j, i)
// are the same element.
#ifndef KELMATH_KEL_MATRIX_SYMMETRIC_H
#define KELMATH_KEL_MATRIX_SYMMETRIC_H

#include "containers/kel_matrix_packed.h"

class KelMatrixSymmetric : public KelMatrixPacked {
 public:
  KelMatrixSymmetric();
  // rows x columns zeros; rows must equal columns (either <= 0: empty).
  KelMatrixSymmetric(int rows, int columns);
  KelMatrixSymmetric(const KelMatrixSymmetric& S);
  KelMatrixSymmetric(KelMatrixSymmetric&& S) noexcept;
  ~KelMatrixSymmetric() override;
  KelMatrixSymmetric& operator=(const KelMatrixSymmetric& S);
  KelMatrixSymmetric& operator=(KelMatrixSymmetric&& S) noexcept;
  KelMatrixSymmetric& operator=(double c);

  // The stored element (max(i, j), min(i, j)); out of range is fatal.
  double& operator()(int i, int j);
  double operator()(int i, int j) const;

  void PrintObject() override;

  static KelObjectCounter counter;
};

#endif
