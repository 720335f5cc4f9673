// The image of the straight-line example: a plot file written by the library's own writer
// (a fitted line of 100 points in row 1, the six data points in row 2), drawn as SVG.
#include "plot_svg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "kelmath.h"
#include "plot_file.h"
#include "plot_scale.h"
#include "xml_check.h"

namespace {

// One value "key = value" of an R reference file.
double ReferenceValue(const std::string& file, const std::string& key) {
  std::ifstream in = kel_test::OpenReference(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key + " = ", 0) == 0) return std::strtod(line.c_str() + key.size() + 3, nullptr);
  }
  ADD_FAILURE() << "no " << key << " in " << file;
  return 0.0;
}

const double kY6[6] = {12.6225, 11.9095, 11.4522, 10.4553, 9.8861, 9.5247};

// The straight-line plot file, written with KelSave; returns the points of the line.
std::vector<kel_plot::Point> WriteStraightLinePlot(const std::string& path) {
  const double b1 = ReferenceValue("r/lm_X6.txt", "coefficient[1]");
  const double b2 = ReferenceValue("r/lm_X6.txt", "coefficient[2]");
  std::vector<kel_plot::Point> line;
  KelMatrixSparse P(2, 100);
  KelMatrixSparse Q(2, 100);
  for (int i = 1; i <= 100; ++i) {
    const double x = 1.0 + 5.0 * (i - 1) / 99.0;
    P(1, i) = x;
    Q(1, i) = b1 + b2 * x;
    line.push_back({x, b1 + b2 * x});
  }
  for (int k = 1; k <= 6; ++k) {
    P(2, k) = k;
    Q(2, k) = kY6[k - 1];
  }
  KelSave file(path.c_str());
  file << P << Q;
  file.Close();
  return line;
}

struct Drawing {
  xml_check::Document document;
  std::vector<const xml_check::Element*> polylines;
  std::vector<const xml_check::Element*> markers;
  const xml_check::Element* frame = nullptr;
  std::vector<double> xTicks;  // label values, in order
  std::vector<double> yTicks;
};

bool HasClass(const xml_check::Element& e, const std::string& name) {
  const auto it = e.attributes.find("class");
  return it != e.attributes.end() && it->second == name;
}

double Attribute(const xml_check::Element& e, const std::string& name) {
  return std::stod(e.attributes.at(name));
}

Drawing Examine(const std::string& svg) {
  Drawing drawing;
  drawing.document = xml_check::Parse(svg);
  const std::vector<xml_check::Element>& elements = drawing.document.elements;
  for (const xml_check::Element& e : elements) {
    const xml_check::Element* group =
        e.parent >= 0 ? &elements[static_cast<size_t>(e.parent)] : nullptr;
    if (e.name == "polyline" && HasClass(e, "line")) drawing.polylines.push_back(&e);
    if (e.name == "circle" && HasClass(e, "marker")) drawing.markers.push_back(&e);
    if (e.name == "rect" && HasClass(e, "frame")) drawing.frame = &e;
    if (e.name == "text" && HasClass(e, "tick") && group != nullptr) {
      if (HasClass(*group, "x-axis")) drawing.xTicks.push_back(std::stod(e.text));
      if (HasClass(*group, "y-axis")) drawing.yTicks.push_back(std::stod(e.text));
    }
  }
  return drawing;
}

std::vector<kel_plot::Point> PolylinePoints(const xml_check::Element& polyline) {
  std::vector<kel_plot::Point> points;
  std::istringstream in(polyline.attributes.at("points"));
  std::string pair;
  while (in >> pair) {
    const size_t comma = pair.find(',');
    points.push_back({std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1))});
  }
  return points;
}

class StraightLineImage : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = kel_test::ScratchPath("Regression") + ".stx";
    line = WriteStraightLinePlot(path);
    const kel_plot::ParsedPlot parsed = kel_plot::ReadPlotFile(path);
    ASSERT_TRUE(parsed.Ok()) << parsed.problem;
    svg = kel_plot::RenderSvg(parsed.plot, "Regression.stx");
    drawing = Examine(svg);
  }

  std::vector<kel_plot::Point> line;
  std::string svg;
  Drawing drawing;
};

}  // namespace

TEST_F(StraightLineImage, IsWellFormedXml) {
  EXPECT_EQ(drawing.document.problem, "");
  ASSERT_FALSE(drawing.document.elements.empty());
  EXPECT_EQ(drawing.document.elements[0].name, "svg");
  EXPECT_EQ(drawing.document.elements[0].attributes.at("xmlns"), "http://www.w3.org/2000/svg");
}

TEST_F(StraightLineImage, HoldsOneLineOf100PointsAndSixMarkers) {
  ASSERT_EQ(drawing.polylines.size(), 1u);
  EXPECT_EQ(PolylinePoints(*drawing.polylines[0]).size(), 100u);
  EXPECT_EQ(drawing.markers.size(), 6u);
}

TEST_F(StraightLineImage, SeriesHaveTheirOwnColours) {
  ASSERT_EQ(drawing.polylines.size(), 1u);
  ASSERT_FALSE(drawing.markers.empty());
  const std::string lineColour = drawing.polylines[0]->attributes.at("stroke");
  for (const xml_check::Element* marker : drawing.markers) {
    EXPECT_NE(marker->attributes.at("fill"), lineColour);
    EXPECT_EQ(marker->attributes.at("fill"), drawing.markers[0]->attributes.at("fill"));
  }
}

TEST_F(StraightLineImage, TitleAndLegendNameTheFileAndTheRows) {
  bool title = false;
  std::vector<std::string> entries;
  for (const xml_check::Element& e : drawing.document.elements) {
    if (e.name == "text" && HasClass(e, "title")) title = e.text == "Regression.stx";
    if (e.name == "text" && HasClass(e, "entry")) entries.push_back(e.text);
  }
  EXPECT_TRUE(title);
  EXPECT_EQ(entries, (std::vector<std::string>{"Row 1 (100 points)", "Row 2 (6 points)"}));
}

TEST_F(StraightLineImage, TickLabelsAreRoundAndCoverTheData) {
  EXPECT_EQ(drawing.xTicks, (std::vector<double>{1, 2, 3, 4, 5, 6}));
  // The data run from 9.36 (the line at x = 6) to 12.6225.
  ASSERT_FALSE(drawing.yTicks.empty());
  EXPECT_EQ(drawing.yTicks.front(), 9.0);
  EXPECT_EQ(drawing.yTicks.back(), 13.0);
}

TEST_F(StraightLineImage, DataRangeIsMappedOntoTheDrawingArea) {
  ASSERT_NE(drawing.frame, nullptr);
  ASSERT_EQ(drawing.polylines.size(), 1u);
  ASSERT_GE(drawing.xTicks.size(), 2u);
  ASSERT_GE(drawing.yTicks.size(), 2u);
  const double left = Attribute(*drawing.frame, "x");
  const double top = Attribute(*drawing.frame, "y");
  const double right = left + Attribute(*drawing.frame, "width");
  const double bottom = top + Attribute(*drawing.frame, "height");
  // The first and last tick labels are the ends of each axis: x left to right, y bottom to top.
  const double xLow = drawing.xTicks.front(), xHigh = drawing.xTicks.back();
  const double yLow = drawing.yTicks.front(), yHigh = drawing.yTicks.back();
  const auto pixelX = [&](double x) { return left + (x - xLow) / (xHigh - xLow) * (right - left); };
  const auto pixelY = [&](double y) {
    return bottom - (y - yLow) / (yHigh - yLow) * (bottom - top);
  };
  const std::vector<kel_plot::Point> drawn = PolylinePoints(*drawing.polylines[0]);
  ASSERT_EQ(drawn.size(), line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    EXPECT_NEAR(drawn[i].x, pixelX(line[i].x), 0.006) << "point " << i + 1;
    EXPECT_NEAR(drawn[i].y, pixelY(line[i].y), 0.006) << "point " << i + 1;
    EXPECT_GE(drawn[i].x, left);
    EXPECT_LE(drawn[i].x, right);
    EXPECT_GE(drawn[i].y, top);
    EXPECT_LE(drawn[i].y, bottom);
  }
  // The line runs across the whole width, from x = 1 to x = 6.
  EXPECT_NEAR(drawn.front().x, left, 0.006);
  EXPECT_NEAR(drawn.back().x, right, 0.006);
  ASSERT_EQ(drawing.markers.size(), 6u);
  for (int k = 1; k <= 6; ++k) {
    const xml_check::Element& marker = *drawing.markers[static_cast<size_t>(k - 1)];
    EXPECT_NEAR(Attribute(marker, "cx"), pixelX(k), 0.006) << "marker " << k;
    EXPECT_NEAR(Attribute(marker, "cy"), pixelY(kY6[k - 1]), 0.006) << "marker " << k;
  }
  // The data fill most of the drawing: more than half of its height.
  EXPECT_GT(pixelY(9.3642) - pixelY(12.6225), 0.5 * (bottom - top));
}

TEST(PlotSvg, TwentyPointsAreMarkersAndTwentyOneALine) {
  kel_plot::PlotData plot;
  plot.rows = 2;
  plot.columns = 21;
  plot.series.push_back({1, {}});
  plot.series.push_back({2, {}});
  for (int i = 1; i <= 20; ++i) plot.series[0].points.push_back({double(i), double(i * i)});
  for (int i = 1; i <= 21; ++i) plot.series[1].points.push_back({double(i), -double(i)});
  const Drawing drawing = Examine(kel_plot::RenderSvg(plot, "Sizes.stx"));
  EXPECT_EQ(drawing.document.problem, "");
  EXPECT_EQ(drawing.markers.size(), 20u);
  ASSERT_EQ(drawing.polylines.size(), 1u);
  EXPECT_EQ(PolylinePoints(*drawing.polylines[0]).size(), 21u);
}

TEST(PlotSvg, EmptyPlotStillHasAxes) {
  kel_plot::PlotData plot;
  plot.rows = 1;
  plot.columns = 1;
  const Drawing drawing = Examine(kel_plot::RenderSvg(plot, "Empty.stx"));
  EXPECT_EQ(drawing.document.problem, "");
  EXPECT_NE(drawing.frame, nullptr);
  EXPECT_FALSE(drawing.xTicks.empty());
  EXPECT_TRUE(drawing.markers.empty());
}

TEST(PlotSvg, ManySeriesCycleColoursAndCountTheRestInTheLegend) {
  kel_plot::PlotData plot;
  plot.rows = 30;
  plot.columns = 1;
  for (int row = 1; row <= 30; ++row) plot.series.push_back({row, {{double(row), 1.0}}});
  const Drawing drawing = Examine(kel_plot::RenderSvg(plot, "Many.stx"));
  EXPECT_EQ(drawing.document.problem, "");
  ASSERT_EQ(drawing.markers.size(), 30u);
  EXPECT_NE(drawing.markers[0]->attributes.at("fill"), drawing.markers[1]->attributes.at("fill"));
  EXPECT_EQ(drawing.markers[0]->attributes.at("fill"), drawing.markers[10]->attributes.at("fill"));
  std::string last;
  for (const xml_check::Element& e : drawing.document.elements) {
    if (e.name == "text" && HasClass(e, "entry")) last = e.text;
  }
  EXPECT_EQ(last, "and 10 more rows");
}

TEST(PlotSvg, TitleIsEscaped) {
  kel_plot::PlotData plot;
  const std::string title = std::string("a<b>&\"c\x01\xff\xc3\xa9.stx");
  const Drawing drawing = Examine(kel_plot::RenderSvg(plot, title));
  EXPECT_EQ(drawing.document.problem, "");
  bool found = false;
  for (const xml_check::Element& e : drawing.document.elements) {
    if (e.name == "text" && HasClass(e, "title")) {
      found = true;
      EXPECT_EQ(e.text, "a<b>&\"c??\xc3\xa9.stx");
    }
  }
  EXPECT_TRUE(found);
}
