// The regression of a data file: F, y and the variance of y read from "Line.lrg".
#include "kelmath.h"

int main() {
  KelLinearRegression regression("Line.lrg");
  regression.LeastSquaresAnalysis();
  return 0;
}
