#include "label_placement.h"

namespace kelmath_cli {

namespace {

// Offsets of the anchor from the point (the first two are the positions used when nothing
// collides), and whether the text runs left of the anchor.
struct Offset {
  double dx;
  double dy;
  bool end;
};
constexpr Offset kRightAbove{6.0, -5.0, false};
constexpr Offset kLeftAbove{-6.0, -5.0, true};
constexpr Offset kOthers[] = {{6.0, 13.0, false},  {-6.0, 13.0, true}, {6.0, -17.0, false},
                              {-6.0, -17.0, true}, {6.0, 25.0, false}, {-6.0, 25.0, true},
                              {14.0, 4.0, false},  {-14.0, 4.0, true}};

bool Inside(const LabelBox& box, double width, double height) {
  return box.left >= 0.0 && box.top >= 0.0 && box.right <= width && box.bottom <= height;
}

}  // namespace

LabelBox BoxOf(const PlacedLabel& label) {
  const double extent = kLabelCharWidth * kLabelFontSize * static_cast<double>(label.text.size());
  LabelBox box;
  box.left = label.anchorEnd ? label.x - extent : label.x;
  box.right = label.anchorEnd ? label.x : label.x + extent;
  // Ascent and descent of the font, rounded up.
  box.top = label.y - 0.8 * kLabelFontSize;
  box.bottom = label.y + 0.25 * kLabelFontSize;
  return box;
}

std::vector<PlacedLabel> PlaceLabels(const std::vector<LabelRequest>& requests, double width,
                                     double height, double rightEdge) {
  std::vector<PlacedLabel> placed;
  std::vector<LabelBox> taken;
  for (const LabelRequest& request : requests) {
    // Labels of points near the right edge go to their left first, so they stay inside.
    const bool left = request.x > rightEdge - 40.0;
    std::vector<Offset> offsets = {left ? kLeftAbove : kRightAbove,
                                   left ? kRightAbove : kLeftAbove};
    offsets.insert(offsets.end(), std::begin(kOthers), std::end(kOthers));
    PlacedLabel label;
    label.text = request.text;
    for (const Offset& o : offsets) {
      PlacedLabel candidate{true, request.x + o.dx, request.y + o.dy, o.end, request.text};
      const LabelBox box = BoxOf(candidate);
      if (!Inside(box, width, height)) continue;
      bool free = true;
      for (const LabelBox& other : taken) free = free && !box.Overlaps(other);
      if (!free) continue;
      label = candidate;
      taken.push_back(box);
      break;
    }
    placed.push_back(label);
  }
  return placed;
}

}  // namespace kelmath_cli
