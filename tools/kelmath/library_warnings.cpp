#include "library_warnings.h"

#include <cstdio>
#include <utility>

namespace kelmath_cli {

namespace {

constexpr const char* kWarningMark = "\nWarning!!\n";

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::string JoinedLines(const std::string& text) {
  std::string line;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string part = text.substr(start, end - start);
    if (!part.empty()) line += (line.empty() ? "" : " ") + part;
    start = end + 1;
  }
  return line;
}

// The robust search's stall: its phase, its iterations and the criterion it reached.
bool RobustStall(const std::string& text, std::string& sentence) {
  int phase = 0, iterations = 0;
  double criterion = 0.0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "Robust %d %d %lf%c", &phase, &iterations, &criterion, &rest) != 3)
    return false;
  char value[32];
  std::snprintf(value, sizeof value, "%.4g", criterion);
  sentence = "the robust fit stopped after " + std::to_string(iterations) +
             " iterations, its median squared residual at " + value +
             ": half the rows or more are fitted almost exactly, or the search stalled; "
             "the robust estimates may not be the best";
  return true;
}

}  // namespace

std::vector<std::string> WarningTexts(const std::string& channelText) {
  std::vector<std::string> texts;
  const std::string mark = kWarningMark;
  size_t at = channelText.find(mark);
  while (at != std::string::npos) {
    const size_t start = at + mark.size();
    at = channelText.find(mark, start);
    texts.push_back(channelText.substr(start, at == std::string::npos ? at : at - start));
  }
  return texts;
}

std::string WarningSentence(const std::string& text) {
  std::string sentence;
  if (RobustStall(text, sentence)) return "warning: " + sentence;
  if (Contains(text, "KelMinimizationRobust used with kelStop"))
    return "warning: the robust fit was stopped before it converged";
  if (text == "KelExceptionHandling")
    return "warning: the robust fit stopped on a numerical failure; its results are incomplete";
  if (Contains(text, "KelBetaContinuedFractions"))
    return "warning: a P value may be inaccurate (the incomplete beta function did not "
           "converge)";
  if (Contains(text, "KelGammaSerie") || Contains(text, "KelGammaContinueFractions"))
    return "warning: a P value may be inaccurate (the incomplete gamma function did not "
           "converge)";
  if (text == "norm = 0") return "warning: a vector of length zero could not be normalized";
  return "note: " + JoinedLines(text);
}

std::vector<std::string> WarningLines(const std::string& channelText) {
  std::vector<std::pair<std::string, int>> counted;
  for (const std::string& text : WarningTexts(channelText)) {
    const std::string line = WarningSentence(text);
    bool seen = false;
    for (auto& [known, count] : counted)
      if (known == line) seen = ++count > 0;
    if (!seen) counted.emplace_back(line, 1);
  }
  std::vector<std::string> lines;
  for (const auto& [line, count] : counted)
    lines.push_back(count == 1 ? line : line + " (" + std::to_string(count) + " times)");
  return lines;
}

}  // namespace kelmath_cli
