#include "golden_compare.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace golden {

namespace {

bool IsSeparator(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0 ||
         std::string_view("=\"',()<>:;/[]{}").find(c) != std::string_view::npos;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// [+-] (digits [. digits*] | . digits) [(e|E) [+-] digits]: the whole word, nothing else.
bool IsNumberWord(const std::string& word) {
  size_t i = 0;
  const size_t n = word.size();
  if (i < n && (word[i] == '+' || word[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && IsDigit(word[i])) ++i, ++digits;
  if (i < n && word[i] == '.') {
    ++i;
    while (i < n && IsDigit(word[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (word[i] == 'e' || word[i] == 'E')) {
    ++i;
    if (i < n && (word[i] == '+' || word[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < n && IsDigit(word[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == n;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// The offending pieces of two lines, or "" when they agree.
std::string LineDifference(const std::string& expected, const std::string& actual) {
  const std::vector<Piece> e = SplitLine(expected);
  const std::vector<Piece> a = SplitLine(actual);
  std::ostringstream out;
  const size_t common = std::min(e.size(), a.size());
  for (size_t k = 0; k < common; ++k) {
    if (e[k].isNumber && a[k].isNumber) {
      if (!NumbersAgree(e[k].value, a[k].value)) {
        const double scale = std::max(std::fabs(e[k].value), std::fabs(a[k].value));
        char relative[64];
        std::snprintf(relative, sizeof relative, "%.3g",
                      std::fabs(e[k].value - a[k].value) / scale);
        out << "    number " << Quoted(e[k].text) << " became " << Quoted(a[k].text)
            << " (relative difference " << relative << ")\n";
      }
    } else if (e[k].isNumber != a[k].isNumber || e[k].text != a[k].text) {
      out << "    " << (e[k].isNumber ? "number " : "text ") << Quoted(e[k].text) << " became "
          << (a[k].isNumber ? "number " : "text ") << Quoted(a[k].text) << "\n";
      // After a changed text the pieces no longer correspond: stop here.
      return out.str();
    }
  }
  for (size_t k = common; k < e.size(); ++k) out << "    missing " << Quoted(e[k].text) << "\n";
  for (size_t k = common; k < a.size(); ++k) out << "    extra " << Quoted(a[k].text) << "\n";
  return out.str();
}

}  // namespace

std::vector<Piece> SplitLine(const std::string& line) {
  std::vector<Piece> pieces;
  size_t i = 0;
  while (i < line.size()) {
    const bool separator = IsSeparator(line[i]);
    size_t end = i;
    while (end < line.size() && IsSeparator(line[end]) == separator) ++end;
    Piece piece;
    piece.text = line.substr(i, end - i);
    if (!separator && IsNumberWord(piece.text)) {
      piece.isNumber = true;
      piece.value = std::strtod(piece.text.c_str(), nullptr);
    }
    pieces.push_back(piece);
    i = end;
  }
  return pieces;
}

bool NumbersAgree(double a, double b) {
  if (a == b) return true;
  return std::fabs(a - b) <= relativeTolerance * std::max(std::fabs(a), std::fabs(b));
}

std::string CompareTexts(const std::string& fileName, const std::string& expected,
                         const std::string& actual, int maximumReports) {
  const std::vector<std::string> e = SplitLines(expected);
  const std::vector<std::string> a = SplitLines(actual);
  std::ostringstream out;
  int mismatches = 0;
  auto report = [&](size_t line, const std::string& what) {
    if (++mismatches <= maximumReports) out << fileName << ":" << line + 1 << ": " << what;
  };
  const size_t common = std::min(e.size(), a.size());
  for (size_t k = 0; k < common; ++k) {
    const std::string difference = LineDifference(e[k], a[k]);
    if (!difference.empty()) {
      report(k, "lines differ\n  golden: " + Quoted(e[k]) + "\n  output: " + Quoted(a[k]) + "\n" +
                    difference);
    }
  }
  for (size_t k = common; k < e.size(); ++k) {
    report(k, "line missing from the output\n  golden: " + Quoted(e[k]) + "\n");
  }
  for (size_t k = common; k < a.size(); ++k) {
    report(k, "extra line in the output\n  output: " + Quoted(a[k]) + "\n");
  }
  if (mismatches > maximumReports) {
    out << fileName << ": " << mismatches - maximumReports << " more mismatching lines\n";
  }
  if (mismatches > 0 && e.size() != a.size()) {
    out << fileName << ": " << e.size() << " golden lines, " << a.size() << " output lines\n";
  }
  return out.str();
}

}  // namespace golden
