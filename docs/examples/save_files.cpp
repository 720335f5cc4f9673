// Writes the regression data file "Line.lrg" and the plot file "Line.stx".
#include "kelmath.h"

int main() {
  KelMatrix F(6, 2, 1., 1., 1., 2., 1., 3., 1., 4., 1., 5., 1., 6.);
  KelVector y(6, 3.1, 4.9, 6.9, 9.1, 11., 13.);

  // Regression data file: F, y, the variance of y and its degrees of freedom.
  KelSave data("Line.lrg");
  data << F << y << 0.01 << 5;
  data.Close();

  // Plot file: abscissas, then ordinates at the same places. Row 1 holds the six measured
  // points, row 2 the line y = 1 + 2x (two points).
  KelMatrixSparse abscissas(2, 6);
  KelMatrixSparse ordinates(2, 6);
  for (int i = 1; i <= 6; ++i) {
    abscissas(1, i) = F(i, 2);
    ordinates(1, i) = y(i);
  }
  abscissas(2, 1) = 1.;
  ordinates(2, 1) = 3.;
  abscissas(2, 2) = 6.;
  ordinates(2, 2) = 13.;
  KelSave plot("Line.stx");
  plot << abscissas << ordinates;
  plot.Close();
  return 0;
}
