// Where the row labels of a plot go: beside their point, on the first of a few fixed positions
// around it whose box overlaps no label placed before and stays inside the image.
#ifndef KELMATH_TOOLS_KELMATH_LABEL_PLACEMENT_H
#define KELMATH_TOOLS_KELMATH_LABEL_PLACEMENT_H

#include <string>
#include <vector>

namespace kelmath_cli {

// Font size of the row labels and the width of one character as a fraction of it: 0.65 em is
// wider than the digits of the usual sans-serif fonts (0.55 to 0.64 em), so boxes err on the
// large side.
inline constexpr double kLabelFontSize = 11.0;
inline constexpr double kLabelCharWidth = 0.65;

struct LabelBox {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
  bool Overlaps(const LabelBox& other) const {
    return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
};

struct LabelRequest {
  double x = 0.0;  // the point labelled, in image coordinates
  double y = 0.0;
  std::string text;
};

struct PlacedLabel {
  bool placed = false;  // false when every position collides: the label is dropped
  double x = 0.0;       // the text's anchor point (baseline)
  double y = 0.0;
  bool anchorEnd = false;  // text-anchor="end" (left of the point) rather than "start"
  std::string text;
};

// The box a label's text covers, from its anchor, with the metrics above.
LabelBox BoxOf(const PlacedLabel& label);

// Places the labels in the order given (the most important first), each beside its point
// (above right, or above left near the right edge as before, then the other corners, then
// further out), never overlapping an earlier one and inside width x height.
std::vector<PlacedLabel> PlaceLabels(const std::vector<LabelRequest>& requests, double width,
                                     double height, double rightEdge);

}  // namespace kelmath_cli

#endif
