// KelFactorizedHouseholder: work arrays and determinant shared by the QR and LQ factorizations.
#include "factorizations/kel_factorized_householder.h"

#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelFactorizedHouseholder::KelFactorizedHouseholder() : tolerance(kelTenMachEpsFloat) {}

KelFactorizedHouseholder::KelFactorizedHouseholder(int rows, int columns)
    : KelFactorized(rows, columns), tolerance(kelTenMachEpsFloat) {}

void KelFactorizedHouseholder::SpecificInitialize() {
  const int shorter = numRows < numColumns ? numRows : numColumns;
  diagonal.assign(static_cast<size_t>(shorter) + 1, 0.0);
  work.assign(static_cast<size_t>(numRows) + 1, 0.0);
}

void KelFactorizedHouseholder::SpecificDeinitialize() {
  diagonal.clear();
  work.clear();
  scratch.clear();
}

double KelFactorizedHouseholder::Determinant() {
  if (numRows != numColumns) {
    KelWarning("%s%s%sDeterminant", kelClassFactorized, kelErrCheck, kelErrFunction);
    return 0.0;
  }
  PrepSolve();
  double product = 1.0;
  for (int i = 1; i <= numRows; ++i) product *= -diagonal[i];
  return product;
}
