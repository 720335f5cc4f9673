#include "kel_rival_models.h"

namespace kel_test {

namespace {

const KelVector& noise() {
  static const KelVector values(31, 1.22, 1.44, -1.22, 1.66, -1.1, -1.22, -1.44, 1.88, 1.44, -1.24,
                                1.66, -1.22, -1.88, 1.22, 1.44, -1.66, 1.66, -1.88, -1.44, 1.44,
                                1.22, 1.66, -1.44, -1.22, 1.44, -1.22, 1.22, -1.22, 1.44, -1.22,
                                -1.44);
  return values;
}

}  // namespace

void RivalModels(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  const double x1 = x(1), x2 = x(2), d = b(3) * x2 * x1, E = 1.0 + b(3) * x1;
  if (model <= 2) {
    const double D = 1.0 + b(3) * x1 + b(4) * x2;
    y(1) = b(1) * b(4) * d / (D * D);
    y(2) = model == 1 ? b(2) * b(4) * d / (D * D) : b(1) * b(4) * d / D;
  } else {
    // Model 3 has three parameters: b(4) exists only for model 4.
    const double F = model == 3 ? E : 1.0 + b(3) * x1 + b(4) * x1;
    y(1) = b(1) * d / E;
    y(2) = b(2) * d / (F * F);
  }
}

RivalModelsData MakeRivalModelsData(int shift) {
  RivalModelsData data{KelMatrix(5, 2, 0.5, 0.5, 1., 0.5, 0.5, 1., 1., 1., 0.01, 2.),
                       KelMatrix(5, 2)};
  for (int i = 1; i <= 5; ++i) {
    const double x1 = data.X(i, 1), x2 = data.X(i, 2), den = 15.0 * x1 + 1.0 + 1.9 * x1;
    data.Y(i, 1) = 0.0005 * 15.0 * x1 * x2 / (15.0 * x1 + 1.0) + 2e-6 * noise()(i + shift);
    data.Y(i, 2) = 0.16 * 15.0 * x1 * x2 / (den * den) + 5e-5 * noise()(31 - i - shift);
  }
  return data;
}

void SetRivalModelsProgramStart(KelNonLinearRegression& regression) {
  regression.SetVariances(4, KelVector(2, 8.6e-12, 5.4e-9));
  regression.SetInitialParameters(1, KelVector(4, 0., 1., 1., 1.));
  regression.SetInitialParameters(2, KelVector(4, 0., 1., 1., 1.));
  regression.SetInitialParameters(3, KelVector(3, 0.0005, 0.16, 1.));
  regression.SetInitialParameters(4, KelVector(4, 0.0005, 0.16, 1., 1.));
}

}  // namespace kel_test
