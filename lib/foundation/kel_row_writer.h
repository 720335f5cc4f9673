// Fast writing of the per-experiment rows of the regression reports (residuals, intervals for
// y), whose printf-style formatting dominates the reports' time at many experiments.
//
// KelRowWriter gathers text in a buffer and hands it to the output channel in large pieces;
// its number conversions write the same bytes as printf's "%W.Pe", "%W.Pf" and "%Wd" (std::
// to_chars gives the correctly rounded digits that glibc's printf gives in the round-to-nearest
// mode the library runs in; NaN and infinities go through snprintf). "%W.Pe" with P <= 14 of a
// normal value whose decimal exponent is within 22 of P forms its digits itself, from one product
// with an exact power of ten, and leaves to to_chars only the values within rounding of a halfway
// point.
#ifndef KELMATH_KEL_ROW_WRITER_H
#define KELMATH_KEL_ROW_WRITER_H

#include <string>

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

#endif
