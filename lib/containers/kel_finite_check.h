// Refusal of non-finite data at the door of an analysis: a NaN or an infinity would pass
// through every computation and come out as a report of nan figures that reads like a result.
// Each check is fatal at the first offending entry, with the message
// "<class text>Non-finite data\n<name>(i, j) = nan" (or "inf", "-inf"; "(i)" for a vector, no
// index for a single value). Indices are 1-based.
#ifndef KELMATH_KEL_FINITE_CHECK_H
#define KELMATH_KEL_FINITE_CHECK_H

class KelMatrix;
class KelVector;

void KelRequireFinite(const char* classText, const char* name, const KelMatrix& A);
void KelRequireFinite(const char* classText, const char* name, const KelVector& v);
void KelRequireFinite(const char* classText, const char* name, double value);

#endif
