// Statistics of a least-squares fit that the linear regression's accessors and the scaled fit
// of the kelmath command both give: the influence of each experiment and the Gaussian
// likelihood with its information criteria. Each is a function of plain inputs only, so that
// both read the same numbers.
#ifndef KELMATH_KEL_FIT_STATISTICS_H
#define KELMATH_KEL_FIT_STATISTICS_H

// The influence of one experiment on a fit with residual sum of squares rss, dof residual
// degrees of freedom and the given number of estimated parameters, from its residual and its
// leverage h. The three values are ratios: residual and rss may be in any common unit (rss in its
// square). NaN where undefined: a leverage of 1 up to rounding (the fit passes through the
// experiment whatever its response), no residual degrees of freedom, or none left without the
// experiment for the studentized residual (nor a sum of squares: one that rounds below zero).
struct KelExperimentInfluence {
  double standardized;  // e / (s sqrt(1 - h)), s^2 = rss / dof
  double studentized;   // e / (s_(i) sqrt(1 - h)), s_(i) from the fit without the experiment
  double cooks;         // standardized^2 h / (parameters (1 - h))
};
KelExperimentInfluence KelInfluenceOf(double residual, double leverage, double rss, int dof,
                                      int parameters);

// The maximized Gaussian log-likelihood of m experiments whose residual sum of squares has the
// logarithm logRss (taken apart so that callers need not form a sum of squares out of range).
double KelGaussianLogLikelihood(int m, double logRss);
// Akaike's and Schwarz's criteria of a fit with the given number of coefficients; the variance
// counts as one more parameter, as R's AIC and BIC of lm count it.
double KelAkaikeCriterion(double logLikelihood, int coefficients);
double KelSchwarzCriterion(double logLikelihood, int coefficients, int m);

#endif
