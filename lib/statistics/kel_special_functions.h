// Special functions under every probability of the library: log-gamma, the regularized
// incomplete gamma and beta functions, integer powers, log-factorials, binomial coefficients and
// the binomial and Poisson probability mass functions.
//
// The incomplete gamma and beta functions agree with R's pgamma and pbeta to 1e-14 relative in
// the bulk and to 5e-13 far into the tails (down to 1e-300, shapes up to 5 10^4, the t tail to
// 10^6 degrees of freedom): their iterations (gamma series, gamma continued fraction, beta
// continued fraction) run to a relative 4 eps = 8.9e-16 or at most 1000 steps, and the factors
// in front of them are formed without differences of large log-gammas. An iteration that
// reaches 1000 steps without converging (arguments beyond about 10^5) warns (KelWarning) and
// returns its last partial value, so the caller always gets a number; P and Q pass that value
// on.
#ifndef KELMATH_KEL_SPECIAL_FUNCTIONS_H
#define KELMATH_KEL_SPECIAL_FUNCTIONS_H

// ln Gamma(x) for x > 0, within a few ulps (relative, also near the roots 1 and 2; tiny,
// subnormal and huge x included; +infinity past about 2.5e305). Not checked: 0 gives +infinity,
// a negative x or NaN gives NaN.
double KelLnGamma(double x);

// P(a, x) by its series into *result and ln Gamma(a) into *lnGammaA. x < 0 or (x > 0 and
// a <= 0) is fatal; x = 0 gives 0. Not converged: warning, *result gets the last partial sum.
void KelGammaSerie(double* result, double a, double x, double* lnGammaA);
// Q(a, x) by its continued fraction into *result and ln Gamma(a) into *lnGammaA; meant for
// x >= a + 1. Not converged: warning, *result gets the last convergent.
void KelGammaContinueFractions(double* result, double a, double x, double* lnGammaA);
// Regularized lower incomplete gamma function P(a, x); x < 0 or a <= 0 is fatal.
double KelIncompleteGammaP(double a, double x);
// Regularized upper incomplete gamma function Q(a, x) = 1 - P(a, x); x < 0 or a <= 0 is fatal.
double KelIncompleteGammaQ(double a, double x);

// Regularized incomplete beta function I_x(a, b); a <= 0, b <= 0, x outside 0..1 are fatal
// (checked in this order).
double KelIncompleteBeta(double a, double b, double x);
// I_x(a, b) with y = 1 - x passed by the caller, who can often form it without the cancellation
// of 1 - x near x = 1 (a t or F tail at many degrees of freedom). The checks are those above,
// on a, b and x.
double KelIncompleteBeta(double a, double b, double x, double y);
// Continued fraction of I_x(a, b), converging fast for x < (a + 1)/(a + b + 2). Not converged:
// warning and the last convergent.
double KelBetaContinuedFractions(double a, double b, double x);

// x^n with a fixed multiplication scheme up to n = 22 and binary powering above; x = 0 with
// n <= 0 is fatal.
double KelPowInt(double x, int n);
// ln n!, cached for 2 <= n <= 100 for the life of the process; n < 0 is fatal.
double KelLogFactorial(int n);
// Binomial coefficient n over k as an integral double; n < 0, k < 0 or k > n is fatal.
double KelBinomial(int n, int k);
// C(n, k) p^k (1-p)^(n-k); p outside 0..1 warns and gives 0; n < 0, k < 0 or k > n are fatal
// (KelBinomial's texts). A zero base with a zero exponent counts as 1, so p = 0 and p = 1 are
// valid. Computed in the saddle-point form (kel_saddle_point.h): finite and accurate to about
// 1e-14 relative for any n and k; results below the smallest double are 0.
double KelBinomialProbability(int n, int k, double p);
// (lambda t)^k exp(-lambda t) / k!; k < 0, t > lambda, lambda <= 0 or t <= 0 warn (in this order)
// and give 0. Computed in the saddle-point form: finite and accurate to about 1e-14 relative for
// any count and mean; results below the smallest double are 0.
double KelPoissonProbability(double lambda, double t, int k);

#endif
