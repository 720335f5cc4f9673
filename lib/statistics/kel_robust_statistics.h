// Outlier-resistant location and scale: median absolute deviation, the midpoint of the shortest
// half, a trimmed scale, robust standardisation and the outlier-rejecting mean and variance.
// The input is never changed.
#ifndef KELMATH_KEL_ROBUST_STATISTICS_H
#define KELMATH_KEL_ROBUST_STATISTICS_H

#include "containers/kel_vector.h"
#include "containers/kel_vector_int.h"

// 1.4826 times the fast median of |x_i - c| (a standard deviation for normal data).
double KelMad(const KelVector& x, double c);
// KelMad about the fast median of x.
double KelMad(const KelVector& x);
// (KelMad(x) / KelUnbiasingFactor(n))^2: a robust variance.
double KelMad2(const KelVector& x);
// 1 / c4(n), the factor that makes a sample standard deviation of n normal values unbiased;
// 1 for n = 1, NaN for n < 1.
double KelUnbiasingFactor(int n);

// Midpoint of the shortest interval holding n/2 + 1 consecutive sorted values (the lowest such
// interval on ties); 0 for an empty vector, the mean of the two values for n = 2.
double KelShortestHalfMidpoint(const KelVector& x);
// Scale from the smallest squared deviations from c: the root mean of the sorted squared
// deviations up to the first non-zero one at or after position min(h, n), times 6 - 5f where
// f is that position over n.
double KelTrimmedScale(const KelVector& x, int h, double c);

// Deviations from the fast median in units of KelMad (all zeros when KelMad is 0).
KelVector ResidualsRobustDeviate(const KelVector& x);

// Mean and variance after rejecting, one at a time, the most extreme element while it lies
// more than 2.5 standard deviations (of the others) from the mean of the others; the rejected
// positions (1-based) and values, in rejection order, replace the contents of the two lists.
// At most 4, then 20, then 100 candidates per side (never more than n/3) are tried; when the
// third attempt still runs out of candidates, and always for fewer than 3 elements, the call
// is fatal ("TODO"). Linear time: one pass over x per attempt.
void GetCleverMeanVarianceOutliers(const KelVector& x, double* mean, double* variance,
                                   KelVectorInt& outlierIndices, KelVector& outlierValues);
// The variance of GetCleverMeanVarianceOutliers, its lists discarded.
double GetCleverVariance(const KelVector& x);

#endif
