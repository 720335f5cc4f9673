#include "density_bins.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kelmath_cli {

DensityBins::DensityBins(double left, double top, double width, double height, int columns,
                         int rows)
    : left(left),
      top(top),
      width(width),
      height(height),
      columns(columns),
      rows(rows),
      counts(static_cast<size_t>(columns) * rows, 0) {}

namespace {

// The bin of position within [start, start + extent] split into parts: clamped in double
// before the conversion, which NaN and infinities would make undefined.
int BinAlong(double position, double start, double extent, int parts) {
  const double bin = std::clamp((position - start) / extent * parts, 0.0, parts - 1.0);
  return std::isnan(bin) ? -1 : static_cast<int>(bin);
}

}  // namespace

int DensityBins::ColumnOf(double x) const {
  return BinAlong(x, left, width, columns);
}

int DensityBins::RowOf(double y) const {
  return BinAlong(y, top, height, rows);
}

void DensityBins::Add(double x, double y) {
  const int c = ColumnOf(x), r = RowOf(y);
  if (c < 0 || r < 0) return;
  ++counts[static_cast<size_t>(r) * columns + static_cast<size_t>(c)];
}

int64_t DensityBins::Largest() const {
  return counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
}

std::string DensityShade(int64_t count, int64_t largest) {
  // From light grey (#d9d9d9, one point) to near black (#252525, the fullest bin).
  const double t =
      largest > 1 ? std::log(static_cast<double>(count)) / std::log(static_cast<double>(largest))
                  : 1.0;
  const int level = static_cast<int>(std::lround(0xd9 + std::clamp(t, 0.0, 1.0) * (0x25 - 0xd9)));
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", level, level, level);
  return text;
}

}  // namespace kelmath_cli
