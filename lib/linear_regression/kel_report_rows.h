// Fast writing of the per-experiment rows of the least-squares report (residuals, intervals
// for y), whose printf-style formatting dominates the report's time at many experiments.
//
// KelRowWriter gathers text in a buffer and hands it to the output channel in large pieces;
// its number conversions write the same bytes as printf's "%W.Pe", "%W.Pf" and "%Wd" (std::
// to_chars gives the correctly rounded digits that glibc's printf gives in the round-to-nearest
// mode the library runs in; NaN and infinities go through snprintf). "%W.Pe" with P <= 14 of a
// normal value whose decimal exponent is within 22 of P forms its digits itself, from one product
// with an exact power of ten, and leaves to to_chars only the values within rounding of a halfway
// point.
#ifndef KELMATH_KEL_REPORT_ROWS_H
#define KELMATH_KEL_REPORT_ROWS_H

#include <string>

#include "containers/kel_vector.h"

class KelRowWriter {
 public:
  KelRowWriter();
  ~KelRowWriter();  // flushes
  KelRowWriter(const KelRowWriter&) = delete;
  KelRowWriter& operator=(const KelRowWriter&) = delete;

  void Text(const char* text);
  // printf "%<width>.<precision>e", "%<width>.<precision>f" and "%<width>d".
  void Scientific(double value, int width, int precision);
  void Fixed(double value, int width, int precision);
  void Integer(int value, int width);
  void Flush();

 private:
  void Padded(const char* text, int length, int width);
  std::string buffer;
};

// "\n%3d%16.7e%16.7e%16.7e%9.2f" with j, y(j), yhat(j), r(j), e(j) for every experiment, the
// warning after a row whose |e(j)| > 2.5.
void PrintResidualRows(const KelVector& y, const KelVector& yEstimated, const KelVector& residuals,
                       const KelVector& normalized, const char* warning);
// "\n%3d %16.7e %16.7e %16.7e" with j, yhat - h, yhat, yhat + h (h = se(j) quantile) for every
// experiment, the warning after a row whose h > 2.5 |yhat|.
void PrintResponseIntervals(const KelVector& yEstimated, const KelVector& standardErrors,
                            double quantile, const char* warning);

#endif
