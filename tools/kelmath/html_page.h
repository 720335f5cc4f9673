// One self-contained HTML page of a subcommand's results (--html FILE): its tables, with the
// verdicts highlighted, the plots as inline SVG and the text summary folded at the end. The page
// loads nothing from elsewhere (its style is inline, it has no script) and reads on a phone as
// on a desktop: wide tables scroll sideways inside their box, the plots shrink to the width.
#ifndef KELMATH_TOOLS_KELMATH_HTML_PAGE_H
#define KELMATH_TOOLS_KELMATH_HTML_PAGE_H

#include <string>
#include <string_view>
#include <vector>

#include "diagnostic_plots.h"

namespace kelmath_cli {

// How a cell or a verdict is highlighted: a sound result, a warning, or neither.
enum class HtmlMark { kNone, kGood, kWarning };

struct HtmlCell {
  std::string text;
  bool number = false;  // set right-aligned in figures of equal width
  HtmlMark mark = HtmlMark::kNone;
};
HtmlCell TextCell(std::string text, HtmlMark mark = HtmlMark::kNone);
// Six significant digits; NaN as R's "NA", infinities as "Inf" and "-Inf".
HtmlCell NumberCell(double value, HtmlMark mark = HtmlMark::kNone);
// A count or a row number, every digit shown (six significant digits would round row 1234567).
HtmlCell CountCell(long long count);
// A P value as the summary prints it, marked good below 0.05.
HtmlCell PValueCell(double p);

struct HtmlTable {
  std::string caption;
  std::vector<std::string> heads;
  std::vector<std::vector<HtmlCell>> rows;
};

struct HtmlVerdict {
  std::string text;
  HtmlMark mark = HtmlMark::kNone;
};

struct HtmlSection {
  std::string heading;
  std::vector<HtmlVerdict> verdicts;
  std::vector<HtmlTable> tables;
};

struct HtmlPage {
  std::string title;  // "kelmath regress: cars.csv"
  std::string call;   // the command line
  std::vector<HtmlSection> sections;
  std::vector<PlotImage> plots;
  std::string textSummary;  // what the subcommand printed, shown folded
};

// The text with & < > " as character references (control characters and invalid UTF-8 as ?).
std::string HtmlEscape(std::string_view text);

// The whole page, from <!DOCTYPE html> to </html>.
std::string RenderHtmlPage(const HtmlPage& page);

}  // namespace kelmath_cli

#endif
