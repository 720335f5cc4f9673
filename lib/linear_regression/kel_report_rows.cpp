// Per-experiment rows of the least-squares report written through one buffer.
#include "linear_regression/kel_report_rows.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "foundation/kel_output.h"

namespace {

// Pieces of about this size go to the output channel at once.
constexpr size_t kFlushSize = 1 << 16;

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
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, precision);
    length = static_cast<int>(result.ptr - text);
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

void PrintResidualRows(const KelVector& y, const KelVector& yEstimated, const KelVector& residuals,
                       const KelVector& normalized, const char* warning) {
  KelRowWriter out;
  for (int j = 1; j <= y.Size(); ++j) {
    out.Text("\n");
    out.Integer(j, 3);
    out.Scientific(y(j), 16, 7);
    out.Scientific(yEstimated(j), 16, 7);
    out.Scientific(residuals(j), 16, 7);
    out.Fixed(normalized(j), 9, 2);
    if (std::fabs(normalized(j)) > 2.5) out.Text(warning);
  }
}

void PrintResponseIntervals(const KelVector& yEstimated, const KelVector& standardErrors,
                            double quantile, const char* warning) {
  KelRowWriter out;
  for (int j = 1; j <= yEstimated.Size(); ++j) {
    const double h = standardErrors(j) * quantile;
    out.Text("\n");
    out.Integer(j, 3);
    out.Text(" ");
    out.Scientific(yEstimated(j) - h, 16, 7);
    out.Text(" ");
    out.Scientific(yEstimated(j), 16, 7);
    out.Text(" ");
    out.Scientific(yEstimated(j) + h, 16, 7);
    if (h > 2.5 * std::fabs(yEstimated(j))) out.Text(warning);
  }
}
