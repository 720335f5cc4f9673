// Line-by-line comparison of an output file with its golden copy: numbers within a relative
// tolerance, everything else exactly.
#ifndef KELMATH_TESTS_GOLDEN_COMPARE_H
#define KELMATH_TESTS_GOLDEN_COMPARE_H

#include <string>
#include <vector>

namespace golden {

// Relative tolerance of the comparison of two numbers.
inline constexpr double relativeTolerance = 1e-9;

// One piece of a line: a number, a run of other word characters, or a run of separators
// (white space and punctuation such as = " , ( ) < > : ; / [ ] { }).
struct Piece {
  bool isNumber = false;
  double value = 0.0;
  std::string text;
};

// Splits a line into pieces; concatenating their texts gives the line back. A word is a number
// when the whole of it reads as one: optional sign, digits with an optional point (or a point
// and digits), optional exponent. "No.12", "x1" or "1-2" are words; "nan" and "inf" too.
std::vector<Piece> SplitLine(const std::string& line);

// True when a and b agree within the relative tolerance: |a - b| <= tolerance * max(|a|, |b|).
// There is no absolute tolerance: a number matches 0 only when it is 0 (either sign).
bool NumbersAgree(double a, double b);

// Compares the text of an output file with its golden text, line by line. Returns "" when they
// agree, else a description naming the file, each mismatching line number, both lines and the
// offending pieces (and missing or extra lines), at most `maximumReports` mismatches in detail.
std::string CompareTexts(const std::string& fileName, const std::string& expected,
                         const std::string& actual, int maximumReports = 10);

}  // namespace golden

#endif
