// The diagnostic plots of a large regression (30,000 rows generated here, above the 2,000 points
// a panel draws one by one): each SVG is well formed and small, the points are shaded bins, the
// planted outliers and the most influential row are markers on top of them, the smooth comes
// after every marker (so it is drawn over them), the labels of three coinciding outliers do not
// overlap, and the robust plot counts the outliers it does not label.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../xml_check.h"
#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;

constexpr int kRows = 30000;
// Rows 1001 to 1003 hold one and the same point, 60 noise units above the plane; row 20000 lies
// far out in x1 and 8 units off the plane.
const std::set<std::string> kPlanted = {"1001", "1002", "1003", "20000"};

std::string GeneratedData() {
  kelmath_test::GeneratedNumbers numbers(12345);
  std::ostringstream csv;
  csv.precision(17);
  csv << "y,x1,x2\n";
  for (int row = 1; row <= kRows; ++row) {
    double x1 = numbers.Uniform(), x2 = numbers.Uniform(), noise = numbers.Normal();
    if (row >= 1001 && row <= 1003) x1 = x2 = 0.5, noise = 60.0;
    if (row == 20000) x1 = 30.0, noise = 8.0;
    csv << 1.0 + 2.0 * x1 - x2 + noise << ',' << x1 << ',' << x2 << '\n';
  }
  return csv.str();
}

class KelmathLargePlots : public KelmathCommand {
 protected:
  // The run takes seconds: the tests share the folder of the first one.
  void SetUp() override {
    static std::string shared;
    if (!shared.empty()) {
      folder = shared;
      return;
    }
    KelmathCommand::SetUp();
    Write("large.csv", GeneratedData());
    const auto run =
        Run("regress large.csv --response y --columns x1,x2 --reports robust --plots plots --json "
            "r.json");
    ASSERT_EQ(run.status, 0) << run.err;
    shared = folder;
  }

  std::vector<const xml_check::Element*> Children(const xml_check::Document& d,
                                                  const std::string& parentClass,
                                                  const std::string& name) const {
    std::vector<const xml_check::Element*> found;
    for (const auto& e : d.elements) {
      if (e.name != name || e.parent < 0) continue;
      const auto& attributes = d.elements[static_cast<size_t>(e.parent)].attributes;
      const auto it = attributes.find("class");
      if (it != attributes.end() && it->second == parentClass) found.push_back(&e);
    }
    return found;
  }
};

const char* const kPlots[] = {"residuals_fitted.svg", "qq.svg", "scale_location.svg",
                              "residuals_leverage.svg", "robust_residuals.svg"};

bool Smoothed(const std::string& file) {
  return file != "qq.svg" && file != "robust_residuals.svg";
}

TEST_F(KelmathLargePlots, EachPlotIsSmallWellFormedAndShowsTheDensity) {
  for (const char* file : kPlots) {
    const std::string svg = Read(std::string("plots/") + file);
    EXPECT_LT(svg.size(), 2000000u) << file;
    const auto document = xml_check::Parse(svg);
    ASSERT_EQ(document.problem, "") << file;
    const auto bins = Children(document, "density", "rect");
    EXPECT_GT(bins.size(), 0u) << file;
    EXPECT_LE(bins.size(), 60u * 40u) << file;
    const auto markers = Children(document, "observations", "circle");
    EXPECT_GT(markers.size(), 0u) << file;
    EXPECT_LE(markers.size(), 2000u) << file;
    bool noted = false;
    for (const auto& e : document.elements) noted = noted || e.text == "30,000 points in";
    EXPECT_TRUE(noted) << file;
  }
}

TEST_F(KelmathLargePlots, PlantedOutliersAndTheInfluentialRowAreMarkers) {
  for (const char* file : kPlots) {
    const auto document = xml_check::Parse(Read(std::string("plots/") + file));
    std::set<std::string> rows;
    for (const auto* m : Children(document, "observations", "circle"))
      rows.insert(m->attributes.at("data-row"));
    for (const std::string& row : kPlanted) EXPECT_EQ(rows.count(row), 1u) << file << " " << row;
  }
}

// SVG paints in document order: the smooth after the last marker lies over all of them.
TEST_F(KelmathLargePlots, TheSmoothIsDrawnAfterTheMarkersWhereRDrawsOne) {
  for (const char* file : kPlots) {
    const auto document = xml_check::Parse(Read(std::string("plots/") + file));
    size_t lastPoint = 0, smooth = 0, smooths = 0;
    for (size_t i = 0; i < document.elements.size(); ++i) {
      const auto& e = document.elements[i];
      const auto it = e.attributes.find("class");
      const std::string cls = it == e.attributes.end() ? "" : it->second;
      if (cls == "marker" ||
          (e.name == "rect" && e.parent >= 0 &&
           document.elements[static_cast<size_t>(e.parent)].attributes.count("class") &&
           document.elements[static_cast<size_t>(e.parent)].attributes.at("class") == "density"))
        lastPoint = i;
      if (cls == "smoother") smooth = i, ++smooths;
    }
    EXPECT_EQ(smooths, Smoothed(file) ? 1u : 0u) << file;
    if (Smoothed(file)) {
      EXPECT_GT(smooth, lastPoint) << file;
    }
  }
}

struct Box {
  double left, top, right, bottom;
};

// DejaVu Sans: digits 0.636 em wide, ascent 0.76 em, descent 0.24 em, at 11 units.
std::vector<Box> LabelBoxes(const std::vector<const xml_check::Element*>& labels) {
  std::vector<Box> boxes;
  for (const auto* l : labels) {
    const double x = std::stod(l->attributes.at("x")), y = std::stod(l->attributes.at("y"));
    const double width = 0.636 * 11.0 * static_cast<double>(l->text.size());
    const bool end = l->attributes.at("text-anchor") == "end";
    boxes.push_back({end ? x - width : x, y - 0.76 * 11.0, end ? x : x + width, y + 0.24 * 11.0});
  }
  return boxes;
}

TEST_F(KelmathLargePlots, NoTwoLabelsOverlap) {
  for (const char* file : kPlots) {
    const auto document = xml_check::Parse(Read(std::string("plots/") + file));
    const auto labels = Children(document, "row-labels", "text");
    const std::vector<Box> boxes = LabelBoxes(labels);
    for (size_t i = 0; i < boxes.size(); ++i)
      for (size_t j = 0; j < i; ++j)
        EXPECT_FALSE(boxes[i].left < boxes[j].right && boxes[j].left < boxes[i].right &&
                     boxes[i].top < boxes[j].bottom && boxes[j].top < boxes[i].bottom)
            << file << ": " << labels[i]->text << " and " << labels[j]->text;
    if (std::string(file) == "residuals_fitted.svg") {
      // The three coinciding outliers have the largest residuals: all three labelled.
      std::set<std::string> texts;
      for (const auto* l : labels) texts.insert(l->text);
      EXPECT_EQ(texts, (std::set<std::string>{"1001", "1002", "1003"}));
    }
  }
}

TEST_F(KelmathLargePlots, TheRobustPlotLabelsTenOutliersAndCountsTheRest) {
  const auto j = nlohmann::json::parse(Read("r.json"));
  const size_t outliers = j.at("robust").at("outlier_rows").size();
  ASSERT_GT(outliers, 10u);
  const auto document = xml_check::Parse(Read("plots/robust_residuals.svg"));
  const auto labels = Children(document, "row-labels", "text");
  EXPECT_LE(labels.size(), 10u);
  EXPECT_GE(labels.size(), 5u);
  const std::string note = "and " + std::to_string(outliers - labels.size()) + " more outliers";
  bool found = false;
  for (const auto& e : document.elements) found = found || e.text == note;
  EXPECT_TRUE(found) << note;
}

}  // namespace
