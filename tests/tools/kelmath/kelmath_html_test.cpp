// The --html page of every subcommand: one self-contained file (nothing fetched, no script)
// holding the results' tables with the numbers of the JSON, the verdicts marked, the plots
// inline and the text summary; written only by a successful run. With Chromium present, a real
// browser renders each page at a desktop and a phone width: the screenshots are not blank, the
// verdict colours are drawn, the tables and plots are in the document, nothing overflows the
// phone's width and the browser logs no console message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "html_page.h"
#include "kelmath_command_support.h"

#if defined(KELMATH_CHROMIUM) && defined(KELMATH_RSVG_CONVERT)
#include "png_image.h"
#define KELMATH_BROWSER_TESTS 1
#endif

namespace {

using kelmath_test::CommandRun;
using kelmath_test::KelmathCommand;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

struct PageCase {
  const char* name;
  const char* arguments;  // %s: the data file
  const char* data;
  int plots;                // inline SVG images
  bool summaryOnPage;       // the text summary is folded at the end
  const char* verdict;      // a verdict line the page must mark
  const char* verdictMark;  // its class: "good" or "warning"
};
void PrintTo(const PageCase& value, std::ostream* os) {
  *os << value.name;
}

const PageCase kPages[] = {
    {"regress", "regress %s --response mpg --columns wt,hp,qsec,am --json r.json --html p.html",
     "mtcars.csv", 4, true, "Well-conditioned columns: condition number", "good"},
    {"robust",
     "robust %s --response stack.loss --columns Air.Flow,Water.Temp,Acid.Conc. --html p.html",
     "stackloss.csv", 1, true, "outliers (|normalized robust residual| &gt; 2.5)", "warning"},
    {"stepwise", "stepwise %s --response mpg --columns wt,hp,qsec,am,drat,disp --html p.html",
     "mtcars.csv", 0, true, "Suggested: the model of", "good"},
    {"nls",
     "nls %s --model 'y ~ b1 * x/(b2 + x)' --start b1=1,b2=1 --model 'y ~ b1 * (1 - exp(-b2 * "
     "x))' --start b1=1,b2=1 --variances 1e-4 --variance-df 5 --design 0.1:10 --html p.html",
     "nls_saturation.csv", 0, true, "Balanced next experiment: x = 10", "good"},
    {"predict",
     "predict %s --response mpg --columns wt,hp --new new.csv --interval prediction --level 0.9 "
     "--output p.csv --html p.html",
     "mtcars.csv", 0, false, "prediction intervals of a new observation at level 0.9", ""},
};

class KelmathHtml : public KelmathCommand, public ::testing::WithParamInterface<PageCase> {
 protected:
  // Runs the case and returns its page.
  std::string RunCase(const PageCase& c) {
    Write("new.csv", "wt,hp\n2.5,100\n3.5,150\n,120\n");
    char arguments[512];
    std::snprintf(arguments, sizeof arguments, c.arguments, Data(c.data).c_str());
    run = Run(arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    return Read("p.html");
  }
  kelmath_test::CommandRun run;
};

TEST_P(KelmathHtml, WritesOneSelfContainedPageWithTablesVerdictsAndPlots) {
  const PageCase& c = GetParam();
  const std::string page = RunCase(c);
  ASSERT_EQ(page.rfind("<!DOCTYPE html>\n", 0), 0u);
  ASSERT_GE(page.size(), 8u);
  EXPECT_EQ(page.substr(page.size() - 8), "</html>\n");
  EXPECT_GE(Count(page, "<table>"), 1u);
  EXPECT_EQ(Count(page, "<table>"), Count(page, "</table>"));
  EXPECT_EQ(Count(page, "<svg "), static_cast<size_t>(c.plots));
  EXPECT_EQ(Count(page, "<?xml"), 0u) << "an XML declaration inside the page";
  // Nothing loaded from elsewhere, and nothing run.
  for (const char* outside : {"src=", "href=", "@import", "<script", "<link", "<iframe"})
    EXPECT_EQ(Count(page, outside), 0u) << outside;
  EXPECT_EQ(Count(page, "http"), Count(page, "xmlns=\"http://www.w3.org/2000/svg\""));
  // The plots' clip paths refer to elements of the page itself.
  EXPECT_EQ(Count(page, "url("), Count(page, "url(#"));
  const size_t at = page.find(c.verdict);
  ASSERT_NE(at, std::string::npos) << c.verdict;
  const size_t item = page.rfind("<li", at);
  ASSERT_NE(item, std::string::npos);
  const std::string opening = page.substr(item, page.find('>', item) + 1 - item);
  EXPECT_EQ(opening, *c.verdictMark == '\0' ? std::string("<li>")
                                            : std::string("<li class=\"") + c.verdictMark + "\">");
  if (c.summaryOnPage) {
    EXPECT_NE(page.find(kelmath_cli::HtmlEscape(run.out)), std::string::npos)
        << "the page folds the summary the run printed";
  }
}

INSTANTIATE_TEST_SUITE_P(Subcommands, KelmathHtml, ::testing::ValuesIn(kPages),
                         [](const auto& info) { return std::string(info.param.name); });

// The page's numbers are the results' own: every estimate, standard error and P value of the
// JSON, as the page rounds them.
TEST_F(KelmathCommand, HtmlPageShowsTheNumbersOfTheJson) {
  const CommandRun run = Run("regress " + Data("mtcars.csv") +
                             " --response mpg --columns wt,hp,qsec,am --json r.json --html p.html");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string page = Read("p.html");
  const nlohmann::json j = nlohmann::json::parse(Read("r.json"));
  ASSERT_EQ(j["coefficients"].size(), 5u);
  for (const auto& c : j["coefficients"]) {
    const std::string name = c["name"].get<std::string>();
    const size_t row = page.find("<tr><td>" + name + "</td>");
    ASSERT_NE(row, std::string::npos) << name;
    const std::string cells = page.substr(row, page.find("</tr>", row) - row);
    for (const char* field : {"estimate", "std_error", "t_value"}) {
      const std::string value = kelmath_cli::NumberCell(c[field].get<double>()).text;
      EXPECT_NE(cells.find(">" + value + "</td>"), std::string::npos) << name << " " << field;
    }
  }
  EXPECT_NE(page.find(kelmath_cli::NumberCell(j["r_squared"].get<double>()).text),
            std::string::npos);
}

TEST_F(KelmathCommand, HtmlPageEscapesNamesAndIsNotWrittenByAFailedRun) {
  Write("odd.csv", "\"a<b>&'c\",y\n1,2\n2,3.5\n3,7\n4,8.1\n5,9.7\n");
  CommandRun run = Run("regress odd.csv --response y --html p.html");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string page = Read("p.html");
  EXPECT_NE(page.find("<td>a&lt;b&gt;&amp;'c</td>"), std::string::npos);
  EXPECT_EQ(page.find("a<b>"), std::string::npos);

  run = Run("regress odd.csv --response nope --html q.html");
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(Exists("q.html"));
  // The page is one of the run's files: when another cannot be written, there is no page.
  run = Run("regress odd.csv --response y --html r.html --json missing_folder/r.json");
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(Exists("r.html"));
}

TEST(HtmlPage, CellsWriteMissingAndInfiniteValuesAsR) {
  EXPECT_EQ(kelmath_cli::NumberCell(std::nan("")).text, "NA");
  EXPECT_EQ(kelmath_cli::NumberCell(HUGE_VAL).text, "Inf");
  EXPECT_EQ(kelmath_cli::NumberCell(-HUGE_VAL).text, "-Inf");
  EXPECT_EQ(kelmath_cli::NumberCell(1234567.0).text, "1.23457e+06");
  EXPECT_EQ(kelmath_cli::CountCell(1234567).text, "1234567");
  EXPECT_EQ(kelmath_cli::PValueCell(0.01).mark, kelmath_cli::HtmlMark::kGood);
  EXPECT_EQ(kelmath_cli::PValueCell(0.5).mark, kelmath_cli::HtmlMark::kNone);
}

#ifdef KELMATH_BROWSER_TESTS

constexpr int kPhoneWidth = 390;
constexpr int kDesktopWidth = 1280;
constexpr int kHeight = 1800;

// A page that shows the report in a frame of each width and records, once they have loaded,
// the width each frame's document needs and the tables and plots the browser found in it.
std::string Harness() {
  std::string frames;
  for (const int width : {kPhoneWidth, kDesktopWidth}) {
    frames += "<iframe id=\"w" + std::to_string(width) +
              "\" src=\"p.html\" style=\"width:" + std::to_string(width) +
              "px;height:" + std::to_string(kHeight) + "px;border:0;display:block\"></iframe>\n";
  }
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body style=\"margin:0\">\n" +
         frames +
         "<script>\n"
         "for (const frame of document.querySelectorAll('iframe')) {\n"
         "  frame.addEventListener('load', () => {\n"
         "    const d = frame.contentDocument;\n"
         "    document.body.dataset[frame.id] = d.documentElement.scrollWidth + ' ' +\n"
         "      d.querySelectorAll('table').length + ' ' + d.querySelectorAll('svg').length;\n"
         "  });\n"
         "}\n"
         "</script></body></html>\n";
}

class KelmathHtmlBrowser : public KelmathHtml {
 protected:
  // Runs Chromium headless on the file in the folder with the action (--screenshot=..., or
  // --dump-dom) and returns what it printed; its messages go to stderr.txt.
  std::string Browse(const std::string& file, const std::string& action, int width) {
    char here[4096];
    const std::string absolute =
        std::string(getcwd(here, sizeof here) != nullptr ? here : ".") + "/" + folder;
    const std::string command =
        "cd '" + folder + "' && timeout 120 '" + KELMATH_CHROMIUM +
        "' --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--allow-file-access-from-files --virtual-time-budget=5000 --enable-logging=stderr "
        "--v=0 --user-data-dir=profile --window-size=" +
        std::to_string(width) + "," + std::to_string(kHeight) + " " + action + " 'file://" +
        absolute + "/" + file + "' > browser.out 2>> browser.err";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return Read("browser.out");
  }
};

// The share of pixels that are not white, and whether a colour (within a small tolerance for
// anti-aliasing) is drawn at least a few times.
double InkShare(const kelmath_test::Image& image, int columns) {
  size_t ink = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < columns; ++x) {
      const unsigned char* p = image.Pixel(x, y);
      if (p[0] < 240 || p[1] < 240 || p[2] < 240) ++ink;
    }
  return static_cast<double>(ink) / (static_cast<double>(columns) * image.height);
}
bool Drawn(const kelmath_test::Image& image, unsigned colour) {
  int seen = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const unsigned char* p = image.Pixel(x, y);
      if (std::abs(p[0] - static_cast<int>(colour >> 16)) < 6 &&
          std::abs(p[1] - static_cast<int>((colour >> 8) & 0xff)) < 6 &&
          std::abs(p[2] - static_cast<int>(colour & 0xff)) < 6)
        ++seen;
    }
  return seen > 20;
}

TEST_P(KelmathHtmlBrowser, RendersAtAPhoneAndADesktopWidth) {
  const PageCase& c = GetParam();
  const std::string page = RunCase(c);
  ASSERT_FALSE(page.empty());
  Write("harness.html", Harness());

  Browse("p.html", "--screenshot=desktop.png", kDesktopWidth);
  const kelmath_test::Image desktop = kelmath_test::ReadPng(folder + "/desktop.png");
  ASSERT_EQ(desktop.width, kDesktopWidth);
  EXPECT_GT(InkShare(desktop, desktop.width), 0.002) << "a blank screenshot";
  // The verdict bars: green for a sound result, amber for a warning.
  if (page.find("<li class=\"good\">") != std::string::npos) {
    EXPECT_TRUE(Drawn(desktop, 0x2e7d32));
  }
  if (page.find("<li class=\"warning\">") != std::string::npos) {
    EXPECT_TRUE(Drawn(desktop, 0xb26a00));
  }

  Browse("harness.html", "--screenshot=frames.png", kDesktopWidth);
  const kelmath_test::Image frames = kelmath_test::ReadPng(folder + "/frames.png");
  ASSERT_EQ(frames.width, kDesktopWidth);
  EXPECT_GT(InkShare(frames, kPhoneWidth), 0.002) << "a blank page at the phone's width";

  const std::string dom = Browse("harness.html", "--dump-dom", kDesktopWidth);
  const std::string tables = std::to_string(Count(page, "<table>"));
  const std::string plots = std::to_string(c.plots);
  for (const int width : {kPhoneWidth, kDesktopWidth}) {
    const std::string key = "data-w" + std::to_string(width) + "=\"";
    const size_t at = dom.find(key);
    ASSERT_NE(at, std::string::npos) << "the frame did not load\n" << dom;
    int needed = 0, foundTables = 0, foundPlots = 0;
    ASSERT_EQ(
        std::sscanf(dom.c_str() + at + key.size(), "%d %d %d", &needed, &foundTables, &foundPlots),
        3);
    EXPECT_LE(needed, width) << "the page is wider than the window";
    EXPECT_EQ(std::to_string(foundTables), tables);
    EXPECT_EQ(std::to_string(foundPlots), plots);
  }
  const std::string messages = Read("browser.err");
  EXPECT_EQ(messages.find(":CONSOLE"), std::string::npos) << messages;
}

INSTANTIATE_TEST_SUITE_P(Subcommands, KelmathHtmlBrowser, ::testing::ValuesIn(kPages),
                         [](const auto& info) { return std::string(info.param.name); });

#endif

}  // namespace
