// Report rows written through one buffer, with printf's bytes.
#include "foundation/kel_row_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "foundation/kel_output.h"

namespace {

// Pieces of about this size go to the output channel at once.
constexpr size_t kFlushSize = 1 << 16;

// Powers of ten that are exact doubles.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;

// "%.<precision>e" of a positive normal x in the common case, without the general conversion:
// with k the decimal exponent, x 10^(precision - k) is formed by one product or quotient with an
// exact power of ten (one rounding, at most scaled 2^-53 off) and rounded to the integer N of
// precision + 1 digits. Returns 0, leaving the value to the general conversion, when the power
// is not exact or the fraction dropped is too near one half for that rounding to be ruled out.
int scientificDigits(double x, int precision, char* text) {
  // N below 10^15 < 2^52: N and its fraction are exact in a double.
  if (precision < 1 || precision > 14 || !(x >= 2.2250738585072014e-308)) return 0;
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int binaryExponent = static_cast<int>((bits >> 52) & 0x7ff) - 1023;
  // floor(binaryExponent log10 2): the decimal exponent or one below it.
  int k = (binaryExponent * 78913) >> 18;
  auto scale = [x, precision](int exponent, double* scaled) {
    const int shift = precision - exponent;
    if (shift > kLargestExactPower || -shift > kLargestExactPower) return false;
    *scaled = shift >= 0 ? x * kExactPowers[shift] : x / kExactPowers[-shift];
    return true;
  };
  double scaled;
  if (!scale(k, &scaled)) return 0;
  const double lowest = kExactPowers[precision];
  if (scaled >= 10.0 * lowest) {
    ++k;
    if (!scale(k, &scaled)) return 0;
  }
  if (scaled < lowest) return 0;
  // Round to nearest, ties to even: adding and removing 2^52 leaves no fraction bits.
  constexpr double kTwo52 = 4503599627370496.0;
  double whole = (scaled + kTwo52) - kTwo52;
  const double fraction = scaled - whole;
  const double roundingError = scaled * 0x1p-52;
  if (std::fabs(std::fabs(fraction) - 0.5) <= roundingError + 1e-9) return 0;
  if (whole >= 10.0 * lowest) {
    whole = lowest;
    ++k;
  }
  std::uint64_t n = static_cast<std::uint64_t>(whole);
  char digits[16];
  for (int i = precision; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  int length = 0;
  text[length++] = digits[0];
  text[length++] = '.';
  for (int i = 1; i <= precision; ++i) text[length++] = digits[i];
  text[length++] = 'e';
  text[length++] = k < 0 ? '-' : '+';
  const int magnitude = k < 0 ? -k : k;
  if (magnitude >= 100) text[length++] = static_cast<char>('0' + magnitude / 100);
  text[length++] = static_cast<char>('0' + magnitude / 10 % 10);
  text[length++] = static_cast<char>('0' + magnitude % 10);
  return length;
}

}  // namespace

KelRowWriter::KelRowWriter() {
  buffer.reserve(kFlushSize + 256);
}

KelRowWriter::~KelRowWriter() {
  Flush();
}

void KelRowWriter::Flush() {
  if (buffer.empty()) return;
  KelPrint("%s", buffer.c_str());
  buffer.clear();
}

void KelRowWriter::Text(const char* text) {
  buffer += text;
  if (buffer.size() >= kFlushSize) Flush();
}

void KelRowWriter::Padded(const char* text, int length, int width) {
  if (length < width) buffer.append(static_cast<size_t>(width - length), ' ');
  buffer.append(text, static_cast<size_t>(length));
  if (buffer.size() >= kFlushSize) Flush();
}

void KelRowWriter::Scientific(double value, int width, int precision) {
  char text[64];
  int length;
  if (std::isfinite(value)) {
    const bool negative = std::signbit(value);
    if (negative) text[0] = '-';
    length = value != 0.0 ? scientificDigits(std::fabs(value), precision, text + negative) : 0;
    if (length > 0) {
      length += negative;
    } else {
      const auto result =
          std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, precision);
      length = static_cast<int>(result.ptr - text);
    }
  } else {
    length = std::snprintf(text, sizeof text, "%.*e", precision, value);
  }
  Padded(text, length, width);
}

void KelRowWriter::Fixed(double value, int width, int precision) {
  // Fixed notation of a huge value needs up to 309 digits before the point.
  char text[400];
  int length;
  if (std::isfinite(value)) {
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
    length = static_cast<int>(result.ptr - text);
  } else {
    length = std::snprintf(text, sizeof text, "%.*f", precision, value);
  }
  Padded(text, length, width);
}

void KelRowWriter::Integer(int value, int width) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value);
  Padded(text, static_cast<int>(result.ptr - text), width);
}
