// Counts of points in a grid of equal rectangles over the drawing area of a plot: the way the
// diagnostic plots show many thousands of points, in time and space proportional to their
// number and an image whose size does not depend on it.
#ifndef KELMATH_TOOLS_KELMATH_DENSITY_BINS_H
#define KELMATH_TOOLS_KELMATH_DENSITY_BINS_H

#include <cstdint>
#include <string>
#include <vector>

namespace kelmath_cli {

class DensityBins {
 public:
  // A grid of columns x rows rectangles covering [left, left + width] x [top, top + height] in
  // image coordinates.
  DensityBins(double left, double top, double width, double height, int columns, int rows);

  // Counts one point; points on or beyond an edge count in the bin at that edge.
  void Add(double x, double y);
  // The column and the row of the bin Add counts a point at x or y in; -1 for NaN.
  int ColumnOf(double x) const;
  int RowOf(double y) const;
  // Adds count points to the bin in column c and row r.
  void AddToBin(int c, int r, int64_t count) {
    counts[static_cast<size_t>(r) * columns + c] += count;
  }

  int Columns() const { return columns; }
  int Rows() const { return rows; }
  // Count of the bin in column c and row r (0-based, row 0 at the top).
  int64_t Count(int c, int r) const { return counts[static_cast<size_t>(r) * columns + c]; }
  int64_t Largest() const;
  double BinLeft(int c) const { return left + width * c / columns; }
  double BinTop(int r) const { return top + height * r / rows; }
  double BinWidth() const { return width / columns; }
  double BinHeight() const { return height / rows; }

 private:
  double left, top, width, height;
  int columns, rows;
  std::vector<int64_t> counts;
};

// The grey of a bin holding count points when the fullest holds largest (count >= 1): darker
// for more, on a logarithmic scale so that sparse tails stay visible beside a dense core.
std::string DensityShade(int64_t count, int64_t largest);

}  // namespace kelmath_cli

#endif
