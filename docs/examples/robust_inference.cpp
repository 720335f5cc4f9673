// Heteroskedasticity-consistent (HC3) standard errors, t and P values, intervals and a Wald test
// for a straight line, and the influence of its last point: each a function of the fit.
#include "kelmath.h"

int main() {
  // clang-format off
  KelMatrix F(8, 2, 1., 1.,
                    1., 2.,
                    1., 3.,
                    1., 4.,
                    1., 5.,
                    1., 6.,
                    1., 7.,
                    1., 8.);
  // clang-format on
  KelVector y(8, 2.1, 3.9, 6.2, 7.8, 10.5, 11.4, 14.9, 15.2);
  KelLinearRegression regression(F, y);
  const KelVector& b = regression.Parameters();
  const int dof = regression.DegreesOfFreedom();

  // The covariance is an argument: any of classical, HC0..HC5 or cluster-robust gives the rest.
  const KelSandwichCovariance hc3 = KelHeteroskedasticityConsistentCovariance(
      F, regression.Residuals(), {}, KelCovarianceType::kHC3);
  const KelVector se = KelStandardErrors(hc3);
  const KelVector t = KelTValues(b, se);
  const KelVector p = KelTwoSidedPValues(t, dof);
  const KelMatrix ci = KelConfidenceIntervals(b, se, dof, 0.95);
  KelPrint("Covariance %s", KelCovarianceName(hc3.type));
  for (int j = 1; j <= b.Size(); ++j)
    KelPrint("\nb%d %.7e se %.7e t %.7e P %.7e CI %.7e %.7e", j, b(j), se(j), t(j), p(j),
             ci(j, 1), ci(j, 2));

  // The Wald test of "slope = 0": R = (0 1), r = 0.
  const KelMatrix R(1, 2, 0., 1.);
  const KelVector r(1, 0.);
  const KelWaldTest slope = KelWaldFTest(b, hc3, R, r, dof);
  KelPrint("\nWald F %.7e on %d and %d, P %.7e", slope.f, slope.numeratorDof,
           slope.denominatorDof, slope.pValue);

  // The influence of point 8 from its residual and leverage.
  const KelExperimentInfluence last =
      KelInfluenceOf(regression.Residuals()(8), regression.Leverages()(8),
                     regression.SumOfSquares(), dof, regression.NumberOfParameters());
  KelPrint("\nPoint 8: Cook's distance %.7e, studentized residual %.7e", last.cooks,
           last.studentized);
  KelPrint("\nAIC %.7e BIC %.7e", regression.AIC(), regression.BIC());
  return 0;
}
