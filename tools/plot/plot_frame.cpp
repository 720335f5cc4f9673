#include "plot_frame.h"

#include <cstdio>

namespace kel_plot {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

void WriteGridAndAxes(const Scales& s, std::string& svg) {
  svg += "<g class=\"grid\" stroke=\"#e6e6e6\" stroke-width=\"1\">\n";
  for (const double tick : s.x.ticks) {
    const std::string x = Number(s.X(tick));
    svg += "<line x1=\"" + x + "\" y1=\"" + Number(Layout::kTop) + "\" x2=\"" + x + "\" y2=\"" +
           Number(Layout::kBottom) + "\"/>\n";
  }
  for (const double tick : s.y.ticks) {
    const std::string y = Number(s.Y(tick));
    svg += "<line x1=\"" + Number(Layout::kLeft) + "\" y1=\"" + y + "\" x2=\"" +
           Number(Layout::kRight) + "\" y2=\"" + y + "\"/>\n";
  }
  svg += "</g>\n";
  svg += "<rect class=\"frame\" x=\"" + Number(Layout::kLeft) + "\" y=\"" + Number(Layout::kTop) +
         "\" width=\"" + Number(Layout::kRight - Layout::kLeft) + "\" height=\"" +
         Number(Layout::kBottom - Layout::kTop) +
         "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"/>\n";
  svg +=
      "<g class=\"x-axis\" font-family=\"sans-serif\" font-size=\"12\" text-anchor=\"middle\" "
      "stroke=\"#000000\">\n";
  for (size_t i = 0; i < s.x.ticks.size(); ++i) {
    const std::string x = Number(s.X(s.x.ticks[i]));
    svg += "<line x1=\"" + x + "\" y1=\"" + Number(Layout::kBottom) + "\" x2=\"" + x + "\" y2=\"" +
           Number(Layout::kBottom + 6.0) + "\"/>\n";
    svg += "<text class=\"tick\" x=\"" + x + "\" y=\"" + Number(Layout::kBottom + 22.0) +
           "\" stroke=\"none\">" + s.x.labels[i] + "</text>\n";
  }
  svg += "</g>\n";
  svg +=
      "<g class=\"y-axis\" font-family=\"sans-serif\" font-size=\"12\" text-anchor=\"end\" "
      "stroke=\"#000000\">\n";
  for (size_t i = 0; i < s.y.ticks.size(); ++i) {
    const std::string y = Number(s.Y(s.y.ticks[i]));
    svg += "<line x1=\"" + Number(Layout::kLeft - 6.0) + "\" y1=\"" + y + "\" x2=\"" +
           Number(Layout::kLeft) + "\" y2=\"" + y + "\"/>\n";
    svg += "<text class=\"tick\" x=\"" + Number(Layout::kLeft - 10.0) + "\" y=\"" +
           Number(s.Y(s.y.ticks[i]) + 4.0) + "\" stroke=\"none\">" + s.y.labels[i] + "</text>\n";
  }
  svg += "</g>\n";
}

}  // namespace kel_plot
