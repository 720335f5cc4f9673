// The diagnostic plots of the command: well-formed SVG with one marker per observation, titled,
// with labelled axes and three rows labelled; rendered by a real SVG renderer (rsvg-convert),
// the markers are drawn inside the drawing area and nowhere else.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../xml_check.h"
#include "kelmath_command_support.h"
#include "plot_frame.h"

#ifdef KELMATH_RSVG_CONVERT
#include "png_image.h"
#endif

namespace {

using kelmath_test::KelmathCommand;

const char* const kPlots[] = {"residuals_fitted.svg", "qq.svg", "scale_location.svg",
                              "residuals_leverage.svg", "robust_residuals.svg"};

std::vector<const xml_check::Element*> WithClass(const xml_check::Document& d,
                                                 const std::string& name, const std::string& cls) {
  std::vector<const xml_check::Element*> found;
  for (const auto& e : d.elements) {
    const auto it = e.attributes.find("class");
    if (e.name == name && it != e.attributes.end() && it->second == cls) found.push_back(&e);
  }
  return found;
}

class KelmathPlots : public KelmathCommand {
 protected:
  void SetUp() override {
    KelmathCommand::SetUp();
    // airquality: 111 rows used of 153, so the labels are data rows, not positions.
    const auto run = Run("regress " + Data("airquality.csv") +
                         " --response Ozone --columns Solar.R,Wind,Temp --reports robust "
                         "--plots plots");
    ASSERT_EQ(run.status, 0) << run.err;
  }
};

TEST_F(KelmathPlots, EachPlotIsTitledLabelledAndHasOneMarkerPerObservation) {
  const struct {
    const char* file;
    const char* title;
    const char* xLabel;
  } expected[] = {
      {"residuals_fitted.svg", "Residuals vs Fitted", "Fitted values (units of Ozone)"},
      {"qq.svg", "Normal Q-Q", "Theoretical quantiles of the standard normal (no unit)"},
      {"scale_location.svg", "Scale-Location", "Fitted values (units of Ozone)"},
      {"residuals_leverage.svg", "Residuals vs Leverage", "Leverage h (no unit)"},
      {"robust_residuals.svg", "Robust residuals by row", "Data row"},
  };
  for (const auto& e : expected) {
    const auto document = xml_check::Parse(Read(std::string("plots/") + e.file));
    ASSERT_EQ(document.problem, "") << e.file;
    const auto titles = WithClass(document, "text", "title");
    ASSERT_EQ(titles.size(), 1u) << e.file;
    EXPECT_EQ(titles[0]->text, e.title);
    const auto xLabels = WithClass(document, "text", "x-label");
    ASSERT_EQ(xLabels.size(), 1u) << e.file;
    EXPECT_EQ(xLabels[0]->text, e.xLabel);
    EXPECT_EQ(WithClass(document, "text", "y-label").size(), 1u) << e.file;
    EXPECT_EQ(WithClass(document, "circle", "marker").size(), 111u) << e.file;
    // Observations are markers only: no line joins them.
    EXPECT_EQ(WithClass(document, "polyline", "line").size(), 0u) << e.file;
  }
}

// The plots where R's plot(lm) draws a smooth (residuals against fitted values, scale-location,
// residuals against leverage) carry it, one vertex per observation in increasing x (its values
// are checked against R's lowess in lowess_test.cpp), after every marker in the document so that
// it is painted over them; the other plots have none.
TEST_F(KelmathPlots, ThePlotsRSmoothHaveTheSmootherOverEveryObservation) {
  for (const char* file : kPlots) {
    const auto document = xml_check::Parse(Read(std::string("plots/") + file));
    const auto smoothers = WithClass(document, "polyline", "smoother");
    const std::string name = file;
    if (name == "qq.svg" || name == "robust_residuals.svg") {
      EXPECT_TRUE(smoothers.empty()) << file;
      continue;
    }
    ASSERT_EQ(smoothers.size(), 1u) << file;
    std::istringstream points(smoothers[0]->attributes.at("points"));
    std::string vertex;
    std::vector<double> xs;
    while (points >> vertex) xs.push_back(std::stod(vertex.substr(0, vertex.find(','))));
    ASSERT_EQ(xs.size(), 111u) << file;
    for (size_t i = 1; i < xs.size(); ++i) EXPECT_LE(xs[i - 1], xs[i]) << file << i;
    const auto markers = WithClass(document, "circle", "marker");
    ASSERT_FALSE(markers.empty());
    EXPECT_GT(smoothers[0], markers.back()) << file;
  }
}

// The row labels name the three most extreme observations by data row: the largest residuals
// of the fit (rows 117, 62 and 30 in R's plot(lm) of the same model) and the largest Cook's
// distances (117, 9 and 48).
TEST_F(KelmathPlots, TheThreeMostExtremeRowsAreLabelled) {
  const auto labels = [&](const char* file) {
    const auto document = xml_check::Parse(Read(std::string("plots/") + file));
    std::vector<std::string> texts;
    for (size_t i = 0; i < document.elements.size(); ++i) {
      const auto& e = document.elements[i];
      if (e.name != "text" || e.parent < 0) continue;
      const auto& parent = document.elements[e.parent].attributes;
      const auto it = parent.find("class");
      if (it != parent.end() && it->second == "row-labels") texts.push_back(e.text);
    }
    return texts;
  };
  EXPECT_EQ(labels("residuals_fitted.svg"), (std::vector<std::string>{"117", "62", "30"}));
  EXPECT_EQ(labels("residuals_leverage.svg"), (std::vector<std::string>{"117", "9", "48"}));
}

#ifdef KELMATH_RSVG_CONVERT

using kelmath_test::Image;
using kelmath_test::ReadPng;

// The marker fill (#1f77b4) within a small tolerance for anti-aliasing.
bool MarkerColour(const unsigned char* p) {
  return std::abs(p[0] - 0x1f) < 12 && std::abs(p[1] - 0x77) < 12 && std::abs(p[2] - 0xb4) < 12;
}

TEST_F(KelmathPlots, RenderedMarkersLieInsideTheDrawingArea) {
  for (const char* file : kPlots) {
    const std::string svg = folder + "/plots/" + file;
    const std::string png = svg + ".png";
    const std::string command =
        std::string("'") + KELMATH_RSVG_CONVERT + "' -o '" + png + "' '" + svg + "' 2> /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << file;
    const Image image = ReadPng(png);
    ASSERT_EQ(image.width, 800) << file;
    ASSERT_EQ(image.height, 560) << file;
    int inside = 0, outside = 0;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        if (!MarkerColour(image.Pixel(x, y))) continue;
        // Markers (radius 3.5) may reach a few pixels past the frame around an edge point.
        const bool in = x >= kel_plot::Layout::kLeft - 4 && x <= kel_plot::Layout::kRight + 4 &&
                        y >= kel_plot::Layout::kTop - 4 && y <= kel_plot::Layout::kBottom + 4;
        (in ? inside : outside)++;
      }
    }
    // 111 markers of about 30 fully coloured pixels each, some overlapping.
    EXPECT_GT(inside, 111 * 10) << file;
    EXPECT_EQ(outside, 0) << file;
  }
}

#endif

}  // namespace
