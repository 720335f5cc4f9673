// Placement of the row labels: labels of points that crowd together are moved apart (their
// boxes, measured with DejaVu Sans' digit width of 0.636 em, never overlap), a label keeps the
// usual place beside its point when nothing is in the way, goes left near the right edge, and is
// dropped when no place is free.
#include "label_placement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kelmath_cli::LabelRequest;
using kelmath_cli::PlacedLabel;
using kelmath_cli::PlaceLabels;

struct Box {
  double left, top, right, bottom;
};

// The text's extent from the font's metrics, independently of the placement code.
Box Measured(const PlacedLabel& l) {
  const double width = 0.636 * 11.0 * static_cast<double>(l.text.size());
  const double left = l.anchorEnd ? l.x - width : l.x;
  return {left, l.y - 0.76 * 11.0, left + width, l.y + 0.24 * 11.0};
}

bool Overlap(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(LabelPlacement, CrowdedLabelsAreAllPlacedWithoutOverlap) {
  const struct {
    const char* name;
    std::vector<LabelRequest> requests;
  } cases[] = {
      {"one point", {{300, 200, "117"}, {300, 200, "62"}, {300, 200, "30"}}},
      {"a row", {{300, 200, "100001"}, {303, 200, "100002"}, {306, 201, "100003"}}},
      {"a column", {{300, 200, "1"}, {300, 204, "22"}, {300, 208, "333"}}},
      {"right edge", {{615, 300, "4711"}, {616, 301, "4712"}, {617, 300, "4713"}}},
      {"ten outliers",
       {{100, 100, "10"},
        {102, 100, "11"},
        {104, 100, "12"},
        {106, 100, "13"},
        {108, 100, "14"},
        {110, 100, "15"},
        {112, 100, "16"},
        {114, 100, "17"},
        {116, 100, "18"},
        {118, 100, "19"}}},
  };
  for (const auto& c : cases) {
    const std::vector<PlacedLabel> placed = PlaceLabels(c.requests, 800, 560, 620);
    ASSERT_EQ(placed.size(), c.requests.size()) << c.name;
    size_t count = 0;
    for (size_t i = 0; i < placed.size(); ++i) {
      EXPECT_EQ(placed[i].text, c.requests[i].text) << c.name;
      if (!placed[i].placed) continue;
      ++count;
      for (size_t j = 0; j < i; ++j) {
        if (placed[j].placed) {
          EXPECT_FALSE(Overlap(Measured(placed[i]), Measured(placed[j]))) << c.name << i << j;
        }
      }
      // Near its point: within 30 units either way.
      EXPECT_LT(std::abs(placed[i].y - c.requests[i].y), 30.0) << c.name << i;
    }
    // The three-label cases (as R labels three) lose none.
    if (c.requests.size() == 3) {
      EXPECT_EQ(count, 3u) << c.name;
    }
  }
}

TEST(LabelPlacement, AFreeLabelKeepsItsUsualPlace) {
  const std::vector<PlacedLabel> placed =
      PlaceLabels({{300, 200, "12"}, {610, 100, "13"}}, 800, 560, 620);
  ASSERT_TRUE(placed[0].placed && placed[1].placed);
  // Above right of the point; near the right edge above left.
  EXPECT_EQ(placed[0].x, 306.0);
  EXPECT_EQ(placed[0].y, 195.0);
  EXPECT_FALSE(placed[0].anchorEnd);
  EXPECT_EQ(placed[1].x, 604.0);
  EXPECT_EQ(placed[1].y, 95.0);
  EXPECT_TRUE(placed[1].anchorEnd);
}

TEST(LabelPlacement, ALabelWithNoFreePlaceIsDropped) {
  // An image just large enough for one label beside the point.
  const std::vector<PlacedLabel> placed = PlaceLabels({{2, 16, "7"}, {2, 16, "8"}}, 20, 20, 620);
  EXPECT_TRUE(placed[0].placed);
  EXPECT_FALSE(placed[1].placed);
}

}  // namespace
