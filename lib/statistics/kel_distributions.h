// Tail probabilities of the chi-square, Student t, F and standard normal distributions, each a
// reduction to an incomplete gamma or beta function (accuracy and failures are theirs).
// Degrees of freedom are halved as real numbers (5 gives 2.5).
#ifndef KELMATH_KEL_DISTRIBUTIONS_H
#define KELMATH_KEL_DISTRIBUTIONS_H

// P(chi-square with dof degrees of freedom > x).
double KelChiSquareProbability(int dof, double x);
// P(chi-square with dof degrees of freedom < x).
double KelChiSquareLowerProbability(int dof, double x);
// P(T > |t|) for Student's t with dof degrees of freedom: one tail (twice it is two-sided).
double KelTStudentProbability(int dof, double t);
// The t with P(T > t) = upperTailProbability for Student's t with degreesOfFreedom (> 0, not
// necessarily whole) degrees of freedom, to a relative accuracy of 1e-10 or better; the
// two-sided 95 % quantile is KelTStudentQuantile(0.025, dof). A probability outside (0, 1) or
// degrees of freedom <= 0 are fatal.
double KelTStudentQuantile(double upperTailProbability, double degreesOfFreedom);
// P(F(dfNum, dfDen) > f).
double KelFProbability(int dfNum, int dfDen, double f);
// Two-sided probability of the variance ratio f: twice the tail on the side of f (upper for
// f > 1, lower for f <= 1), folded back below 1; f = 0 gives 1.
double KelFTwoWayProbability(int dfNum, int dfDen, double f);
// Complementary error function.
double KelErfc(double x);
// P(Z > z) for the standard normal.
double KelNormalProbability(double z);

#endif
