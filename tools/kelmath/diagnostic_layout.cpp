// LayOutPanel of diagnostic_panels.h: where a panel's values land in the command's image.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "diagnostic_panels.h"
#include "regression_summary.h"

namespace kelmath_cli {

namespace {

using kel_plot::Layout;

}  // namespace

kel_plot::Scales PanelScales(const DiagnosticPanel& f) {
  // Without a point the frame still shows, over [0, 1].
  // Only finite values count (a NaN, as a standardized residual at leverage 1, is not drawn); the
  // ranges start empty, and an axis without a finite value spans [0, 1].
  const double inf = std::numeric_limits<double>::infinity();
  double xMin = f.xFromZero ? 0.0 : inf, xMax = f.xFromZero ? 0.0 : -inf;
  double yMin = inf, yMax = -inf;
  const auto widen = [](double value, double& low, double& high) {
    if (!std::isfinite(value)) return;
    low = std::min(low, value);
    high = std::max(high, value);
  };
  for (const double y : f.yShown) widen(y, yMin, yMax);
  for (const PanelMark& m : f.marks) {
    widen(m.x, xMin, xMax);
    widen(m.y, yMin, yMax);
  }
  if (f.streamed) {
    for (const double x : {f.streamed->xLow, f.streamed->xHigh}) widen(x, xMin, xMax);
    for (const double y : {f.streamed->yLow, f.streamed->yHigh}) widen(y, yMin, yMax);
  }
  return {kel_plot::ChooseAxis(xMin, xMax), kel_plot::ChooseAxis(yMin, yMax)};
}

DensityBins DrawingAreaBins() {
  return DensityBins(Layout::kLeft, Layout::kTop, Layout::kRight - Layout::kLeft,
                     Layout::kBottom - Layout::kTop, kDensityColumns, kDensityRows);
}

namespace {

DensityBins BinMarks(const DiagnosticPanel& f, const kel_plot::Scales& s) {
  DensityBins bins = DrawingAreaBins();
  for (const PanelMark& m : f.marks) bins.Add(s.X(m.x), s.Y(m.y));
  return bins;
}

// The rows a dense panel draws as markers: the labelled ones, the extreme few, then the flagged
// ones by decreasing extremeness, at most kIndividualPoints of them.
std::vector<size_t> EmphasizedMarks(const DiagnosticPanel& f, const std::vector<size_t>& labelled) {
  std::vector<int> rank(f.marks.size());
  for (size_t i = 0; i < f.marks.size(); ++i) rank[i] = f.marks[i].emphasis;
  for (const size_t i : labelled) rank[i] = 3;
  std::vector<size_t> chosen;
  for (size_t i = 0; i < f.marks.size(); ++i)
    if (rank[i] > 0) chosen.push_back(i);
  if (chosen.size() > kIndividualPoints) {
    std::nth_element(chosen.begin(), chosen.begin() + kIndividualPoints, chosen.end(),
                     [&](size_t a, size_t b) {
                       if (rank[a] != rank[b]) return rank[a] > rank[b];
                       if (f.marks[a].extremeness != f.marks[b].extremeness)
                         return f.marks[a].extremeness > f.marks[b].extremeness;
                       return a < b;
                     });
    chosen.resize(kIndividualPoints);
    std::sort(chosen.begin(), chosen.end());
  }
  return chosen;
}

std::vector<std::string> DensityNote(const DiagnosticPanel& f, size_t drawn) {
  size_t flagged = 0, points = f.marks.size();
  for (const PanelMark& m : f.marks) flagged += m.emphasis > 0 ? 1 : 0;
  if (f.streamed) {
    flagged = static_cast<size_t>(f.streamed->emphasized);
    points = static_cast<size_t>(f.streamed->points);
  }
  std::vector<std::string> lines = {
      "Shaded: density of", FormatCount(points) + " points in",
      std::to_string(kDensityColumns) + " x " + std::to_string(kDensityRows) + " bins"};
  const std::string name = f.poolName.empty() ? "flagged rows" : f.poolName;
  if (drawn >= flagged) {
    lines.push_back("Markers: " + FormatCount(drawn) + " " + name);
    lines.push_back("and the most extreme");
  } else {
    lines.push_back("Markers: the " + FormatCount(drawn) + " most");
    lines.push_back("extreme of " + FormatCount(flagged));
    lines.push_back(name);
  }
  return lines;
}

// The most extreme marks (f.labelled of them, the largest first), placed so that no two labels
// overlap; a label with no free place is dropped.
std::vector<PlacedLabel> PlaceRowLabels(const DiagnosticPanel& f, const kel_plot::Scales& s,
                                        std::vector<size_t>& order) {
  order.resize(f.marks.size());
  std::iota(order.begin(), order.end(), 0);
  const size_t labelled = std::min<size_t>(f.labelled, order.size());
  // Ties go to the earlier mark, so that the same marks are labelled alike however many others
  // the panel holds.
  std::partial_sort(order.begin(), order.begin() + labelled, order.end(), [&](size_t a, size_t b) {
    const double x = f.marks[a].extremeness, y = f.marks[b].extremeness;
    return x > y || (x == y && a < b);
  });
  order.resize(labelled);
  std::vector<LabelRequest> requests;
  for (const size_t i : order)
    requests.push_back({s.X(f.marks[i].x), s.Y(f.marks[i].y), std::to_string(f.marks[i].row)});
  return PlaceLabels(requests, Layout::kWidth, Layout::kHeight, Layout::kRight);
}

// Where each guide's label goes: its last point inside the drawing (none when it has none).
std::vector<std::pair<kel_plot::Point, std::string>> GuideLabelPoints(const DiagnosticPanel& f,
                                                                      const kel_plot::Scales& s) {
  std::vector<std::pair<kel_plot::Point, std::string>> points;
  for (const auto& [index, text] : f.guideLabels) {
    const std::vector<kel_plot::Point>& guide = f.guides[index];
    for (auto it = guide.rbegin(); it != guide.rend(); ++it) {
      const double x = s.X(it->x), y = s.Y(it->y);
      if (x < Layout::kLeft || x > Layout::kRight || y < Layout::kTop || y > Layout::kBottom)
        continue;
      points.push_back({*it, text});
      break;
    }
  }
  return points;
}

}  // namespace

std::vector<int64_t> DensityKeyCounts(int64_t largest) {
  std::vector<int64_t> counts;
  for (int k = 0; k <= 4; ++k) {
    const int64_t count = std::llround(std::pow(static_cast<double>(largest), k / 4.0));
    if (counts.empty() || count > counts.back()) counts.push_back(count);
  }
  return counts;
}

PanelLayout LayOutPanel(const DiagnosticPanel& panel) {
  PanelLayout layout;
  layout.scales = PanelScales(panel);
  layout.dense = panel.streamed || panel.marks.size() > kIndividualPoints;
  layout.note = panel.note;
  layout.guideLabels = GuideLabelPoints(panel, layout.scales);
  layout.labels = PlaceRowLabels(panel, layout.scales, layout.labelledMarks);
  size_t placed = 0;
  for (const PlacedLabel& label : layout.labels) placed += label.placed ? 1 : 0;
  if (panel.labelPool > placed)
    layout.note.push_back("and " + FormatCount(panel.labelPool - placed) + " more " +
                          panel.poolName);
  if (layout.dense) {
    layout.emphasized = EmphasizedMarks(panel, layout.labelledMarks);
    for (const std::string& line : DensityNote(panel, layout.emphasized.size()))
      layout.note.push_back(line);
    layout.bins = panel.streamed ? *panel.streamed->bins : BinMarks(panel, layout.scales);
  }
  return layout;
}

}  // namespace kelmath_cli
