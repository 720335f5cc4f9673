// Location and scale of a sample held in a KelVector: mean, variance, standard deviation, the
// medians, and standardised values. The input is never changed.
//
// Sizes are not checked: the variance and standard deviation of one element divide by 0 (the
// result is infinite or NaN); the mean, variance and medians of an empty vector are NaN; the
// standard deviation of an empty vector is fatal in SqrtSumSqr.
#ifndef KELMATH_KEL_DESCRIPTIVE_STATISTICS_H
#define KELMATH_KEL_DESCRIPTIVE_STATISTICS_H

#include "containers/kel_vector.h"

// Sum of the elements over n, accumulated in extended precision.
double KelMean(const KelVector& x);
// Sum of squared deviations from the mean over n - 1.
double KelVariance(const KelVector& x);
// Sum of squared deviations from the centre m over n - 1.
double KelVariance(const KelVector& x, double m);
// Overflow-safe norm of the deviations from m over sqrt(n - 1).
double KelStandardDeviation(const KelVector& x, double m);
// The same about the mean.
double KelStandardDeviation(const KelVector& x);

// Exact median: the middle sorted value, or the mean of the two middle ones for even n.
double KelMedian(const KelVector& x);
// Exact median up to 30000 elements; above, the median of the medians of consecutive triples
// (the 1 or 2 elements left over join unchanged), reduced again until at most 30000 remain.
double KelFastMedian(const KelVector& x);
// Exact median of the absolute values.
double KelMedianAbs(const KelVector& x);

// (x_i - c) / s; s = 0 gives a vector of zeros.
KelVector KelStandardize(const KelVector& x, double c, double s);
// Deviations from the mean in units of the standard deviation.
KelVector ResidualsNormalDeviate(const KelVector& x);

#endif
