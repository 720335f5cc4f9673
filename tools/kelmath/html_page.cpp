// The HTML page: escaped text, tables in scrolling boxes, verdicts as a list of marked lines,
// each plot's SVG element inline (without its XML declaration, which belongs to a file).
#include "html_page.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "plot_svg.h"
#include "regression_summary.h"

namespace kelmath_cli {

namespace {

// System fonts only: the page must not fetch any. Long words (a file's path) break anywhere
// rather than widen the page; table cells keep to one line and their tables scroll instead.
// Marks: green for a sound result, amber with a bar for a warning, so that they differ without
// colour too.
constexpr const char* kStyle = R"(
:root { color-scheme: light; }
body { font-family: system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; margin: 0 auto;
  padding: 1rem; max-width: 70rem; color: #1b1b1b; background: #ffffff; line-height: 1.4;
  overflow-wrap: anywhere; }
h1 { font-size: 1.4rem; margin: 0 0 .3rem; }
h2 { font-size: 1.15rem; margin: 1.6rem 0 .5rem; border-bottom: 1px solid #d0d0d0; }
code.call { display: block; font-size: .85rem; color: #444; }
ul.verdicts { padding: 0; list-style: none; }
ul.verdicts li { margin: .25rem 0; padding: .3rem .6rem; border-left: .3rem solid #c8c8c8; }
ul.verdicts li.good { border-color: #2e7d32; background: #edf7ee; }
ul.verdicts li.warning { border-color: #b26a00; background: #fff4e0; font-weight: 600; }
div.table { overflow-x: auto; margin: .5rem 0 1rem; }
table { border-collapse: collapse; font-size: .9rem; }
caption { text-align: left; font-weight: 600; padding: .2rem 0; white-space: nowrap; }
th, td { padding: .25rem .6rem; border-bottom: 1px solid #e2e2e2; white-space: nowrap; }
th { text-align: left; background: #f3f3f3; }
td.number { text-align: right; font-variant-numeric: tabular-nums; }
td.good { color: #1b5e20; font-weight: 600; }
td.warning { background: #fff4e0; color: #8a4b00; font-weight: 600; }
div.plots { display: flex; flex-wrap: wrap; gap: 1rem; }
figure.plot { margin: 0; flex: 1 1 28rem; max-width: 100%; }
figure.plot svg { width: 100%; height: auto; border: 1px solid #e2e2e2; }
pre { font-size: .8rem; overflow-x: auto; background: #f7f7f7; padding: .6rem; }
)";

const char* MarkClass(HtmlMark mark) {
  switch (mark) {
    case HtmlMark::kGood:
      return "good";
    case HtmlMark::kWarning:
      return "warning";
    case HtmlMark::kNone:
      break;
  }
  return "";
}

void AppendTable(const HtmlTable& table, std::string& html) {
  html += "<div class=\"table\"><table>\n";
  if (!table.caption.empty()) html += "<caption>" + HtmlEscape(table.caption) + "</caption>\n";
  html += "<thead><tr>";
  for (const std::string& head : table.heads)
    html += "<th scope=\"col\">" + HtmlEscape(head) + "</th>";
  html += "</tr></thead>\n<tbody>\n";
  for (const std::vector<HtmlCell>& row : table.rows) {
    html += "<tr>";
    for (const HtmlCell& cell : row) {
      std::string classes = cell.number ? "number" : "";
      if (cell.mark != HtmlMark::kNone) {
        if (!classes.empty()) classes += ' ';
        classes += MarkClass(cell.mark);
      }
      html += classes.empty() ? "<td>" : "<td class=\"" + classes + "\">";
      html += HtmlEscape(cell.text);
      html += "</td>";
    }
    html += "</tr>\n";
  }
  html += "</tbody></table></div>\n";
}

void AppendSection(const HtmlSection& section, std::string& html) {
  html += "<section>\n<h2>" + HtmlEscape(section.heading) + "</h2>\n";
  if (!section.verdicts.empty()) {
    html += "<ul class=\"verdicts\">\n";
    for (const HtmlVerdict& verdict : section.verdicts) {
      const char* mark = MarkClass(verdict.mark);
      html += *mark == '\0' ? std::string("<li>") : std::string("<li class=\"") + mark + "\">";
      html += HtmlEscape(verdict.text) + "</li>\n";
    }
    html += "</ul>\n";
  }
  for (const HtmlTable& table : section.tables) AppendTable(table, html);
  html += "</section>\n";
}

// The svg element of an SVG file: the XML declaration before it is dropped.
std::string_view SvgElement(const std::string& svg) {
  const size_t start = svg.find("<svg");
  return start == std::string::npos ? std::string_view() : std::string_view(svg).substr(start);
}

}  // namespace

HtmlCell TextCell(std::string text, HtmlMark mark) {
  return {std::move(text), false, mark};
}

HtmlCell NumberCell(double value, HtmlMark mark) {
  if (std::isnan(value)) return {"NA", true, mark};
  if (std::isinf(value)) return {value > 0 ? "Inf" : "-Inf", true, mark};
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return {text, true, mark};
}

HtmlCell CountCell(long long count) {
  return {std::to_string(count), true, HtmlMark::kNone};
}

HtmlCell PValueCell(double p) {
  return {FormatPValue(p), true, p < 0.05 ? HtmlMark::kGood : HtmlMark::kNone};
}

std::string HtmlEscape(std::string_view text) {
  // The XML escaping of the plots serves HTML text and attributes as well, and it also replaces
  // control characters and broken UTF-8, which a page must not carry either.
  return kel_plot::EscapeXmlText(std::string(text));
}

std::string RenderHtmlPage(const HtmlPage& page) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  html += HtmlEscape(page.title);
  html += "</title>\n<style>";
  html += kStyle;
  html += "</style>\n</head>\n<body>\n<header>\n<h1>";
  html += HtmlEscape(page.title);
  html += "</h1>\n<code class=\"call\">";
  html += HtmlEscape(page.call);
  html += "</code>\n</header>\n<main>\n";
  for (const HtmlSection& section : page.sections) AppendSection(section, html);
  if (!page.plots.empty()) {
    html += "<section>\n<h2>Plots</h2>\n<div class=\"plots\">\n";
    for (const PlotImage& plot : page.plots) {
      html += "<figure class=\"plot\">\n";
      html += SvgElement(plot.svg);
      html += "</figure>\n";
    }
    html += "</div>\n</section>\n";
  }
  if (!page.textSummary.empty()) {
    html += "<section>\n<h2>Text summary</h2>\n<details>\n<summary>As printed</summary>\n<pre>";
    html += HtmlEscape(page.textSummary);
    html += "</pre>\n</details>\n</section>\n";
  }
  html += "</main>\n</body>\n</html>\n";
  return html;
}

}  // namespace kelmath_cli
