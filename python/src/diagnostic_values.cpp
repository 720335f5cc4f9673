#include "diagnostic_values.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <utility>
#include <vector>

#include "diagnostic_panels.h"

namespace py = pybind11;

namespace kelmath_python {

namespace {

using kelmath_cli::DiagnosticPanel;
using kelmath_cli::PanelLayout;

template <typename Value, typename Field>
py::array_t<Value> MarkColumn(const DiagnosticPanel& panel, Field field) {
  py::array_t<Value> values(static_cast<py::ssize_t>(panel.marks.size()));
  auto out = values.template mutable_unchecked<1>();
  for (size_t i = 0; i < panel.marks.size(); ++i)
    out(static_cast<py::ssize_t>(i)) = panel.marks[i].*field;
  return values;
}

// A polyline as an (n, 2) array of x, y.
py::array_t<double> PointArray(const std::vector<kel_plot::Point>& points) {
  py::array_t<double> values({static_cast<py::ssize_t>(points.size()), py::ssize_t{2}});
  auto out = values.mutable_unchecked<2>();
  for (size_t i = 0; i < points.size(); ++i) {
    out(static_cast<py::ssize_t>(i), 0) = points[i].x;
    out(static_cast<py::ssize_t>(i), 1) = points[i].y;
  }
  return values;
}

py::dict AxisValues(const kel_plot::Axis& axis) {
  py::dict d;
  d["limits"] = py::make_tuple(axis.low, axis.high);
  d["ticks"] = axis.ticks;
  d["tick_labels"] = axis.labels;
  return d;
}

// The row labels placed in the command's image: the mark's index, its row, and the label's
// offset from its point in image units (x right, y up) with the side its text extends to.
py::list LabelValues(const DiagnosticPanel& panel, const PanelLayout& layout) {
  py::list labels;
  for (size_t k = 0; k < layout.labels.size(); ++k) {
    const kelmath_cli::PlacedLabel& label = layout.labels[k];
    if (!label.placed) continue;
    const kelmath_cli::PanelMark& mark = panel.marks[layout.labelledMarks[k]];
    py::dict d;
    d["index"] = layout.labelledMarks[k];
    d["row"] = mark.row;
    d["offset"] =
        py::make_tuple(label.x - layout.scales.X(mark.x), layout.scales.Y(mark.y) - label.y);
    d["anchor_end"] = label.anchorEnd;
    labels.append(d);
  }
  return labels;
}

// The non-empty bins of a density as rectangles in data units with their counts and shades,
// and the key's counts and shades.
py::dict DensityValues(const PanelLayout& layout) {
  const kelmath_cli::DensityBins& bins = *layout.bins;
  const kel_plot::Axis &x = layout.scales.x, &y = layout.scales.y;
  const double width = (x.high - x.low) / bins.Columns();
  const double height = (y.high - y.low) / bins.Rows();
  std::vector<double> rectangles;
  std::vector<int64_t> counts;
  std::vector<std::string> shades;
  for (int r = 0; r < bins.Rows(); ++r) {
    for (int c = 0; c < bins.Columns(); ++c) {
      const int64_t count = bins.Count(c, r);
      if (count == 0) continue;
      // Row 0 is the top of the image: its bin ends at the top of the y axis.
      rectangles.insert(rectangles.end(),
                        {x.low + c * width, y.high - (r + 1) * height, width, height});
      counts.push_back(count);
      shades.push_back(kelmath_cli::DensityShade(count, bins.Largest()));
    }
  }
  py::dict d;
  d["rectangles"] = py::array_t<double>({static_cast<py::ssize_t>(counts.size()), py::ssize_t{4}},
                                        rectangles.data());
  d["counts"] = py::array_t<int64_t>(static_cast<py::ssize_t>(counts.size()), counts.data());
  d["shades"] = shades;
  py::list key;
  for (const int64_t count : kelmath_cli::DensityKeyCounts(bins.Largest()))
    key.append(py::make_tuple(count, kelmath_cli::DensityShade(count, bins.Largest())));
  d["key"] = key;
  d["emphasized"] = layout.emphasized;
  return d;
}

py::dict PanelValues(const DiagnosticPanel& panel, const PanelLayout& layout) {
  using Mark = kelmath_cli::PanelMark;
  py::dict d;
  d["name"] = panel.fileName.substr(0, panel.fileName.rfind('.'));
  d["title"] = panel.title;
  d["xlabel"] = panel.xLabel;
  d["ylabel"] = panel.yLabel;
  d["x"] = MarkColumn<double>(panel, &Mark::x);
  d["y"] = MarkColumn<double>(panel, &Mark::y);
  d["rows"] = MarkColumn<int>(panel, &Mark::row);
  d["emphasis"] = MarkColumn<int>(panel, &Mark::emphasis);
  py::list guides;
  for (const auto& guide : panel.guides) guides.append(PointArray(guide));
  d["guides"] = guides;
  py::list guideLabels;
  for (const auto& [at, text] : layout.guideLabels)
    guideLabels.append(py::make_tuple(at.x, at.y, text));
  d["guide_labels"] = guideLabels;
  d["smoother"] = PointArray(panel.smoother);
  d["xaxis"] = AxisValues(layout.scales.x);
  d["yaxis"] = AxisValues(layout.scales.y);
  d["note"] = layout.note;
  d["labels"] = LabelValues(panel, layout);
  d["density"] = layout.dense ? py::object(DensityValues(layout)) : py::object(py::none());
  return d;
}

}  // namespace

py::list DiagnosticPanelValues(const kelmath_cli::RegressionResult& result) {
  std::vector<std::pair<DiagnosticPanel, PanelLayout>> laidOut;
  {
    // The smooths and the bins touch no Python object.
    py::gil_scoped_release released;
    for (DiagnosticPanel& panel : kelmath_cli::ComputeDiagnosticPanels(result)) {
      PanelLayout layout = kelmath_cli::LayOutPanel(panel);
      laidOut.emplace_back(std::move(panel), std::move(layout));
    }
  }
  py::list panels;
  for (const auto& [panel, layout] : laidOut) panels.append(PanelValues(panel, layout));
  return panels;
}

}  // namespace kelmath_python
