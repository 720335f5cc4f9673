// Expressions written back as R deparses them, so that coefficient names read as R's.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "expression.h"

namespace kelmath_cli {
namespace {

bool isSyntacticName(const std::string& name) {
  static const char* const kReserved[] = {"if",   "else", "repeat", "while", "function",
                                          "for",  "next", "break",  "TRUE",  "FALSE",
                                          "NULL", "Inf",  "NaN",    "NA",    "in"};
  if (name.empty()) return false;
  const auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
  const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  if (!letter(name[0]) && name[0] != '.') return false;
  if (name[0] == '.' && name.size() > 1 && digit(name[1])) return false;
  for (char c : name)
    if (!letter(c) && !digit(c) && c != '.' && c != '_') return false;
  for (const char* word : kReserved)
    if (name == word) return false;
  return true;
}

bool spacedOperator(const std::string& op) {
  return op == "+" || op == "-" || op == "*" || op == "~";
}

}  // namespace

std::string RNumberText(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  if (x == 0.0) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", x);
  std::string mantissa(buffer, std::string(buffer).find('e'));
  const int exponent = std::atoi(std::string(buffer).substr(mantissa.size() + 1).c_str());
  while (mantissa.back() == '0') mantissa.pop_back();
  if (mantissa.back() == '.') mantissa.pop_back();
  const int digits = static_cast<int>(mantissa.size()) -
                     (mantissa.find('.') == std::string::npos ? 0 : 1) - (x < 0 ? 1 : 0);
  std::snprintf(buffer, sizeof buffer, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  const std::string scientific = mantissa + buffer;
  const int decimals = std::max(0, digits - exponent - 1);
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
  const std::string fixed = buffer;
  return fixed.size() <= scientific.size() ? fixed : scientific;
}

namespace {

// Appends rather than concatenates temporaries: one buffer for the whole text.
void deparseInto(const Expression& e, std::string& out) {
  switch (e.kind) {
    case Expression::Kind::kNumber:
      out += RNumberText(e.number);
      return;
    case Expression::Kind::kName:
      if (isSyntacticName(e.text)) {
        out += e.text;
      } else {
        out += '`';
        out += e.text;
        out += '`';
      }
      return;
    case Expression::Kind::kParenthesis:
      out += '(';
      deparseInto(e.operands[0], out);
      out += ')';
      return;
    case Expression::Kind::kUnary:
      out += e.text;
      deparseInto(e.operands[0], out);
      return;
    case Expression::Kind::kBinary: {
      const bool spaced = spacedOperator(e.text);
      deparseInto(e.operands[0], out);
      if (spaced) out += ' ';
      out += e.text;
      if (spaced) out += ' ';
      deparseInto(e.operands[1], out);
      return;
    }
    case Expression::Kind::kCall:
      out += e.text;
      out += '(';
      for (size_t i = 0; i < e.operands.size(); ++i) {
        if (i > 0) out += ", ";
        deparseInto(e.operands[i], out);
      }
      out += ')';
      return;
  }
}

}  // namespace

std::string Deparse(const Expression& e) {
  std::string text;
  deparseInto(e, text);
  return text;
}

}  // namespace kelmath_cli
