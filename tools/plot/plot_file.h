// Plot files (".stx"): two sparse matrices of the same shape written one after the other, the
// abscissas and then the ordinates at the same (row, column) places. Each row with stored
// elements is one series; its stored columns, in increasing order, are its points.
//
// Each matrix is written as its rows and columns, the number of stored elements, then each
// element as its row, column and value, row by row and by increasing column.
#ifndef KELMATH_TOOLS_PLOT_PLOT_FILE_H
#define KELMATH_TOOLS_PLOT_PLOT_FILE_H

#include <string>
#include <string_view>
#include <vector>

namespace kel_plot {

struct Point {
  double x = 0.0;
  double y = 0.0;
};

// One row of the matrices that holds at least one point.
struct Series {
  int row = 0;
  std::vector<Point> points;  // by increasing column
};

struct PlotData {
  int rows = 0;
  int columns = 0;
  std::vector<Series> series;  // by increasing row
};

// The plot, or the problem that made the text unusable (empty when the text is sound).
struct ParsedPlot {
  PlotData plot;
  std::string problem;
  bool Ok() const { return problem.empty(); }
};

// Largest magnitude of a coordinate the viewer draws; beyond it the axis arithmetic could
// overflow.
inline constexpr double kLargestCoordinate = 1e300;
// Largest plot file the viewer reads into memory.
inline constexpr long long kLargestFileBytes = 512LL * 1024 * 1024;

// Parses the text of a plot file. Anything but a complete, consistent pair of matrices followed
// by nothing but white space is a problem, described in one line.
ParsedPlot ParsePlotText(std::string_view text);
// Reads and parses a plot file.
ParsedPlot ReadPlotFile(const std::string& path);

}  // namespace kel_plot

#endif
