#include "foundation/kel_error_details.h"

#include <charconv>
#include <cstdio>

namespace {

// Enough for any of the short lines below; the numbers are at most 20 characters each.
constexpr int kDetailSize = 128;

}  // namespace

std::string KelIndexDetail(long long index, long long first, long long last) {
  char text[kDetailSize];
  std::snprintf(text, sizeof text, "index %lld, valid %lld..%lld", index, first, last);
  return text;
}

std::string KelElementDetail(long long i, long long j, long long rows, long long columns) {
  char text[kDetailSize];
  std::snprintf(text, sizeof text, "index (%lld, %lld), valid (1..%lld, 1..%lld)", i, j, rows,
                columns);
  return text;
}

std::string KelRangeDetail(long long first, long long last, long long validFirst,
                           long long validLast) {
  char text[kDetailSize];
  std::snprintf(text, sizeof text, "range %lld..%lld, valid %lld..%lld", first, last, validFirst,
                validLast);
  return text;
}

std::string KelSizesDetail(long long first, long long second) {
  char text[kDetailSize];
  std::snprintf(text, sizeof text, "sizes %lld and %lld", first, second);
  return text;
}

std::string KelShapesDetail(long long rows1, long long columns1, long long rows2,
                            long long columns2) {
  char text[kDetailSize];
  std::snprintf(text, sizeof text, "%lld x %lld and %lld x %lld", rows1, columns1, rows2, columns2);
  return text;
}

std::string KelShapeSizeDetail(long long rows, long long columns, long long size) {
  char text[kDetailSize];
  std::snprintf(text, sizeof text, "%lld x %lld and size %lld", rows, columns, size);
  return text;
}

std::string KelShapeDetail(long long rows, long long columns) {
  char text[kDetailSize];
  std::snprintf(text, sizeof text, "%lld x %lld", rows, columns);
  return text;
}

std::string KelValueDetail(const char* name, double value) {
  // The shortest round-trip text: 1.5 stays "1.5" and 0.1 stays "0.1", while two arguments
  // that differ in the last bit still print differently.
  char number[64];
  const std::to_chars_result end = std::to_chars(number, number + sizeof number, value);
  return std::string(name) + " = " + std::string(number, end.ptr);
}
