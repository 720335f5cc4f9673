// The density grid of the large diagnostic plots: points counted in the bin that holds them
// (hand-worked positions, edges and points beyond them), NaN ignored, and the grey scale running
// from light for one point to dark for the fullest bin.
#include "density_bins.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using kelmath_cli::DensityBins;
using kelmath_cli::DensityShade;

TEST(DensityBins, PointsAreCountedInTheBinHoldingThem) {
  // 4 x 2 bins of 10 x 20 units from (100, 50).
  DensityBins bins(100.0, 50.0, 40.0, 40.0, 4, 2);
  const struct {
    double x, y;
    int column, row;
  } points[] = {
      {100.0, 50.0, 0, 0},   {109.9, 69.9, 0, 0}, {110.0, 70.0, 1, 1},
      {139.9, 89.9, 3, 1},   {140.0, 90.0, 3, 1}, {500.0, -7.0, 3, 0},
      {-1e300, 1e300, 0, 1}, {125.0, 55.0, 2, 0}, {125.5, 56.0, 2, 0},
  };
  for (const auto& p : points) bins.Add(p.x, p.y);
  bins.Add(std::nan(""), 60.0);
  bins.Add(std::numeric_limits<double>::infinity(), 60.0);  // beyond the right edge
  int64_t expected[2][4] = {};
  for (const auto& p : points) ++expected[p.row][p.column];
  ++expected[0][3];
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(bins.Count(c, r), expected[r][c]) << c << " " << r;
  EXPECT_EQ(bins.Largest(), 2);
  EXPECT_DOUBLE_EQ(bins.BinLeft(2), 120.0);
  EXPECT_DOUBLE_EQ(bins.BinTop(1), 70.0);
}

TEST(DensityBins, ShadesRunFromLightForOnePointToDarkForTheFullestBin) {
  EXPECT_EQ(DensityShade(1, 1000), "#d9d9d9");
  EXPECT_EQ(DensityShade(1000, 1000), "#252525");
  // Logarithmic: 10 of 100 is half way, (0xd9 + 0x25) / 2 = 0x7f.
  EXPECT_EQ(DensityShade(10, 100), "#7f7f7f");
  EXPECT_EQ(DensityShade(1, 1), "#252525");
}

}  // namespace
