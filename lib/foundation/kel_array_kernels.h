// Element-wise kernels over raw arrays of n doubles (no checks), the guarded division, the
// overflow-safe Euclidean norm and the clamp to the single-precision range.
#ifndef KELMATH_KEL_ARRAY_KERNELS_H
#define KELMATH_KEL_ARRAY_KERNELS_H

// z_i = x_i + y_i
void KelArraySum(int n, const double* x, const double* y, double* z);
// x_i += y_i
void KelArrayAccumulate(int n, double* x, const double* y);
// x_i = 2 x_i
void KelArrayDouble(int n, double* x);
// z_i = x_i - y_i
void KelArrayDifference(int n, const double* x, const double* y, double* z);
// x_i -= y_i
void KelArraySubtract(int n, double* x, const double* y);
// y_i = x_i - y_i
void KelArrayReverseSubtract(int n, const double* x, double* y);
// Sum of x_i y_i accumulated in extended precision and rounded once.
double KelArrayDot(int n, const double* x, const double* y);
// y_i = s x_i
void KelArrayScale(int n, double s, const double* x, double* y);
// x_i = s x_i
void KelArrayScaleInPlace(int n, double s, double* x);
// x_i = x_i / s; s = 0 is fatal ("Division with 0.") before any element is touched.
void KelArrayDivide(int n, double* x, double s);

// Euclidean norm of n doubles, safe against overflow and underflow of the squares; n <= 0 is fatal.
double SqrtSumSqr(int n, const double* x);

// Position (0-based) of the first NaN or infinity among n doubles, or -1 when all are finite.
long long KelFirstNonFinite(long long n, const double* x);
// "nan", "inf" or "-inf" for a non-finite x (whatever sign a NaN carries), "finite" otherwise.
const char* KelNonFiniteText(double x);

// x limited to the single-precision range [-3.4028235e38, 3.4028235e38].
double KelClampToFloat(double x);

#endif
