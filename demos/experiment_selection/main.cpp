// experiment_selection: four rival kinetic-type models of five experiments with two independent
// variables and two responses, known measurement variances, a robust analysis of every model,
// then the least-squares analysis with model discrimination and the search for new experiments
// over [0.01, 2] x [0.01, 2]. Everything goes to the output file.
#include "kelmath.h"

namespace {

// Noise values shared by the two responses (indices 1..31).
KelVector noise(31, 1.22, 1.44, -1.22, 1.66, -1.1, -1.22, -1.44, 1.88, 1.44, -1.24, 1.66, -1.22,
                -1.88, 1.22, 1.44, -1.66, 1.66, -1.88, -1.44, 1.44, 1.22, 1.66, -1.44, -1.22, 1.44,
                -1.22, 1.22, -1.22, 1.44, -1.22, -1.44);

// The four rival models; model 4 with b = (0.0005, 0.16, 15, 1.9) generated the data, and
// model 2's second response does not depend on b2.
void Model(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  const double x1 = x(1);
  const double x2 = x(2);
  const double d = b(3) * x2 * x1;
  switch (model) {
    case 1: {
      const double D = 1.0 + b(3) * x1 + b(4) * x2;
      y(1) = b(1) * b(4) * d / (D * D);
      y(2) = b(2) * b(4) * d / (D * D);
      break;
    }
    case 2: {
      const double D = 1.0 + b(3) * x1 + b(4) * x2;
      y(1) = b(1) * b(4) * d / (D * D);
      y(2) = b(1) * b(4) * d / D;
      break;
    }
    case 3: {
      const double E = 1.0 + b(3) * x1;
      y(1) = b(1) * d / E;
      y(2) = b(2) * d / (E * E);
      break;
    }
    case 4: {
      const double E = 1.0 + b(3) * x1;
      const double F = 1.0 + b(3) * x1 + b(4) * x1;
      y(1) = b(1) * d / E;
      y(2) = b(2) * d / (F * F);
      break;
    }
    default:
      break;
  }
}

}  // namespace

int main() {
  KelPrint("\n\nExperimentSelectionEx2");
  KelPrint("\n\nnumModels 3 numX 2 numY 2");

  KelMatrix X(5, 2, 0.5, 0.5, 1., 0.5, 0.5, 1., 1., 1., 0.01, 2.);
  KelMatrix Y(5, 2);
  KelVector e1 = 2e-6 * noise;
  KelVector e2 = 5e-5 * noise;
  KelPrint("\n>>>>%e %e", KelVariance(e1), KelVariance(e2));

  for (int i = 1; i <= 5; ++i) {
    const double x1 = X(i, 1);
    const double x2 = X(i, 2);
    const double denominator = 15.0 * x1 + 1.0 + 1.9 * x1;
    Y(i, 1) = 0.0005 * 15.0 * x1 * x2 / (15.0 * x1 + 1.0) + e1(i);
    Y(i, 2) = 0.16 * 15.0 * x1 * x2 / (denominator * denominator) + e2(31 - i);
    KelPrint("\n%.3e %.3e %.3e %.3e", x1, x2, Y(i, 1), Y(i, 2));
  }

  KelNonLinearRegression regression(4, X, Y, Model);
  regression.SetVariances(4, KelVector(2, 8.6e-12, 5.4e-9));
  regression.SetInitialParameters(1, KelVector(4, 0., 1., 1., 1.));
  regression.SetInitialParameters(2, KelVector(4, 0., 1., 1., 1.));
  regression.SetInitialParameters(3, KelVector(3, 0.0005, 0.16, 1.));
  regression.SetInitialParameters(4, KelVector(4, 0.0005, 0.16, 1., 1.));
  regression.RobustAnalysis();
  regression.LeastSquaresAnalysisAndExperimentsSearch(KelVector(2, 0.01, 0.01),
                                                      KelVector(2, 2., 2.));
  KelPause();
  return 0;
}
