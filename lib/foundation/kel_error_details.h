// The detail line a fatal message ends with: what the caller passed and what was expected, one
// wording per kind of error. Each text is a single line without a newline; the call site puts
// it on its own line after the operation name.
#ifndef KELMATH_KEL_ERROR_DETAILS_H
#define KELMATH_KEL_ERROR_DETAILS_H

#include <string>

// An index outside its range: "index 3, valid 1..2".
std::string KelIndexDetail(long long index, long long first, long long last);
// An element index of a matrix: "index (3, 1), valid (1..2, 1..4)".
std::string KelElementDetail(long long i, long long j, long long rows, long long columns);
// A sub-range that does not fit: "range 2..4, valid 1..3".
std::string KelRangeDetail(long long first, long long last, long long validFirst,
                           long long validLast);
// Two vector operands of different sizes: "sizes 2 and 3".
std::string KelSizesDetail(long long first, long long second);
// Two matrix operands of incompatible shapes: "2 x 3 and 4 x 1".
std::string KelShapesDetail(long long rows1, long long columns1, long long rows2,
                            long long columns2);
// A matrix and a vector of incompatible sizes: "2 x 3 and size 4".
std::string KelShapeSizeDetail(long long rows, long long columns, long long size);
// One matrix whose shape is refused by itself (too few rows, not square): "2 x 3".
std::string KelShapeDetail(long long rows, long long columns);
// An argument outside a function's domain, in the shortest text that reads back to the same
// double: "x = 1.5".
std::string KelValueDetail(const char* name, double value);

#endif
