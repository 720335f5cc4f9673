// The weighted fits that the experiment_selection and outlier_regression programs report,
// against R's nls (tests/reference/r/nonlinear_demos.txt): parameters, weighted sum of squares
// and standard errors with the variances known.
#include <cmath>
#include <string>

#include "../linear_regression/linear_regression_test_data.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

using lr_test::Reference;
using lr_test::RelativelyNear;

const KelVector noise(31, 1.22, 1.44, -1.22, 1.66, -1.1, -1.22, -1.44, 1.88, 1.44, -1.24, 1.66,
                      -1.22, -1.88, 1.22, 1.44, -1.66, 1.66, -1.88, -1.44, 1.44, 1.22, 1.66, -1.44,
                      -1.22, 1.44, -1.22, 1.22, -1.22, 1.44, -1.22, -1.44);

// experiment_selection's models 3 and 4.
void KineticModel(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  const double x1 = x(1), x2 = x(2), d = b(3) * x2 * x1, E = 1.0 + b(3) * x1;
  y(1) = b(1) * d / E;
  const double F = model == 3 ? E : 1.0 + b(3) * x1 + b(4) * x1;
  y(2) = b(2) * d / (F * F);
}

// outlier_regression's model.
void OutlierModel(int, int, KelVector& b, KelVector& x, KelVector& y) {
  const double a = x(1) * x(2) / (1.0 + b(3) * x(1) + b(4) * x(2));
  y(1) = b(1) * a;
  y(2) = b(2) * a;
}

// nls stops at its own tolerance: parameters agree within 1e-4 of their standard error, the
// weighted sum of squares (flat at the minimum) to 1e-9, the standard errors to 1e-5.
void ExpectFit(KelNonLinearRegression& r, int model, const Reference& ref, const std::string& key) {
  const KelVector b = r.GetParameters(model);
  EXPECT_TRUE(r.Converged(model));
  for (int k = 1; k <= b.Size(); ++k) {
    const double se = ref(key + "_se_known", k);
    EXPECT_NEAR(b(k), ref(key + "_b", k), 1e-4 * se) << key << " b" << k;
    EXPECT_TRUE(RelativelyNear(r.StandardErrors(model)(k), se, 1e-5)) << key << " se" << k;
  }
  EXPECT_TRUE(RelativelyNear(r.FinalSSE(model), ref(key + "_wsse"), 1e-9)) << key;
}

class NonLinearDemoFits : public kel_test::QuietWarnings {};

TEST_F(NonLinearDemoFits, ExperimentSelectionModelsThreeAndFourMatchR) {
  const Reference ref("r/nonlinear_demos.txt");
  const KelMatrix X(5, 2, 0.5, 0.5, 1., 0.5, 0.5, 1., 1., 1., 0.01, 2.);
  KelMatrix Y(5, 2);
  for (int i = 1; i <= 5; ++i) {
    const double x1 = X(i, 1), x2 = X(i, 2), den = 15.0 * x1 + 1.0 + 1.9 * x1;
    Y(i, 1) = 0.0005 * 15.0 * x1 * x2 / (15.0 * x1 + 1.0) + 2e-6 * noise(i);
    Y(i, 2) = 0.16 * 15.0 * x1 * x2 / (den * den) + 5e-5 * noise(31 - i);
  }
  KelNonLinearRegression r(4, X, Y, KineticModel);
  r.SetVariances(4, KelVector(2, 8.6e-12, 5.4e-9));
  r.SetInitialParameters(3, KelVector(3, 0.0005, 0.16, 1.));
  r.SetInitialParameters(4, KelVector(4, 0.0005, 0.16, 1., 1.));
  ExpectFit(r, 3, ref, "es_model3");
  ExpectFit(r, 4, ref, "es_model4");
}

TEST_F(NonLinearDemoFits, OutlierRegressionFirstFitMatchesR) {
  const Reference ref("r/nonlinear_demos.txt");
  const KelMatrix X(13, 2, 20., 20., 30., 20., 20., 30., 30., 30., 25., 25., 25., 20., 25., 35.,
                    15., 25., 35., 25., 55., 32.8, 55., 55., 10.6, 55., 16., 55.);
  const KelMatrix Y(13, 2, 6.61, 0.43, 5.42, 0.44, 5.0, 0.64, 7.5, 0.66, 5.73, 0.55, 3.8, 0.33, 7.3,
                    0.79, 4.9, 0.35, 5.9, 0.71, 9.15, 0.926, 13.74, 1.34, 6.0, 1.7, 8.2, 0.84);
  KelNonLinearRegression r(1, X, Y, OutlierModel);
  r.SetVariances(5, KelVector(2, 0.348, 0.0023));
  r.SetInitialParameters(1, KelVector(4, 1., 1., 1., 1.));
  ExpectFit(r, 1, ref, "or_run1");
}

}  // namespace
