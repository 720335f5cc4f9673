#include "plot_file.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <string>
#include <system_error>

namespace kel_plot {

namespace {

// Thrown inside the parser only; ParsePlotText turns it into the problem text.
struct PlotFileProblem {
  std::string text;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A token as it may appear in a one-line message: at most 24 characters, anything that is not
// printable ASCII shown as '?'.
std::string Shown(std::string_view token) {
  std::string shown;
  for (size_t i = 0; i < token.size() && i < 24; ++i) {
    const unsigned char c = static_cast<unsigned char>(token[i]);
    shown += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
  }
  if (token.size() > 24) shown += "...";
  return "'" + shown + "'";
}

class Tokens {
 public:
  explicit Tokens(std::string_view text) : text(text) {}

  // The next whitespace-separated token; a problem naming what was expected when none is left.
  std::string_view Next(const std::string& expected) {
    SkipSpace();
    if (at == text.size()) throw PlotFileProblem{"the file ends before " + expected};
    const size_t start = at;
    while (at < text.size() && !IsSpace(text[at])) ++at;
    return text.substr(start, at - start);
  }

  long long Integer(const std::string& expected) {
    const std::string_view token = Next(expected);
    long long value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size()) {
      throw PlotFileProblem{Shown(token) + " is not an integer (" + expected + ")"};
    }
    return value;
  }

  double Real(const std::string& expected) {
    const std::string_view token = Next(expected);
    double value = 0.0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size()) {
      throw PlotFileProblem{Shown(token) + " is not a number (" + expected + ")"};
    }
    if (!std::isfinite(value) || std::fabs(value) > kLargestCoordinate) {
      throw PlotFileProblem{Shown(token) + " is not a finite number the viewer can draw (" +
                            expected + ")"};
    }
    return value;
  }

  // What follows the last token, when anything but white space does.
  std::string_view Rest() {
    SkipSpace();
    return text.substr(at);
  }

 private:
  void SkipSpace() {
    while (at < text.size() && IsSpace(text[at])) ++at;
  }

  std::string_view text;
  size_t at = 0;
};

struct Element {
  int row;
  int column;
  double value;
};

struct SparseMatrix {
  int rows = 0;
  int columns = 0;
  std::vector<Element> elements;
};

// One matrix: its size, its count, then its elements in strictly increasing (row, column)
// order inside the matrix. The elements are collected as they are read, so a count that
// promises more than the file holds costs nothing before the file runs out.
SparseMatrix ReadMatrix(Tokens& tokens, const std::string& name) {
  SparseMatrix matrix;
  const long long rows = tokens.Integer("the number of rows of the " + name);
  const long long columns = tokens.Integer("the number of columns of the " + name);
  if (rows < 1 || columns < 1 || rows > 2147483647LL || columns > 2147483647LL) {
    throw PlotFileProblem{"the " + name + " have an impossible size " + std::to_string(rows) +
                          " x " + std::to_string(columns)};
  }
  matrix.rows = static_cast<int>(rows);
  matrix.columns = static_cast<int>(columns);
  const long long count = tokens.Integer("the number of stored elements of the " + name);
  if (count < 0 || count > rows * columns) {
    throw PlotFileProblem{"the " + name + " claim " + std::to_string(count) +
                          " stored elements in a " + std::to_string(rows) + " x " +
                          std::to_string(columns) + " matrix"};
  }
  for (long long k = 1; k <= count; ++k) {
    const std::string which =
        "element " + std::to_string(k) + " of " + std::to_string(count) + " of the " + name;
    const long long row = tokens.Integer("the row of " + which);
    const long long column = tokens.Integer("the column of " + which);
    const double value = tokens.Real("the value of " + which);
    if (row < 1 || row > rows || column < 1 || column > columns) {
      throw PlotFileProblem{which + " at (" + std::to_string(row) + ", " + std::to_string(column) +
                            ") lies outside the " + std::to_string(rows) + " x " +
                            std::to_string(columns) + " matrix"};
    }
    if (!matrix.elements.empty()) {
      const Element& last = matrix.elements.back();
      if (row < last.row || (row == last.row && column <= last.column)) {
        throw PlotFileProblem{which + " at (" + std::to_string(row) + ", " +
                              std::to_string(column) + ") does not follow (" +
                              std::to_string(last.row) + ", " + std::to_string(last.column) + ")"};
      }
    }
    matrix.elements.push_back({static_cast<int>(row), static_cast<int>(column), value});
  }
  return matrix;
}

PlotData Pair(const SparseMatrix& abscissas, const SparseMatrix& ordinates) {
  if (abscissas.rows != ordinates.rows || abscissas.columns != ordinates.columns) {
    throw PlotFileProblem{"the ordinates are " + std::to_string(ordinates.rows) + " x " +
                          std::to_string(ordinates.columns) + " but the abscissas " +
                          std::to_string(abscissas.rows) + " x " +
                          std::to_string(abscissas.columns)};
  }
  if (abscissas.elements.size() != ordinates.elements.size()) {
    throw PlotFileProblem{"the ordinates store " + std::to_string(ordinates.elements.size()) +
                          " elements but the abscissas " +
                          std::to_string(abscissas.elements.size())};
  }
  PlotData plot;
  plot.rows = abscissas.rows;
  plot.columns = abscissas.columns;
  for (size_t k = 0; k < abscissas.elements.size(); ++k) {
    const Element& x = abscissas.elements[k];
    const Element& y = ordinates.elements[k];
    if (x.row != y.row || x.column != y.column) {
      throw PlotFileProblem{"element " + std::to_string(k + 1) + " of the ordinates at (" +
                            std::to_string(y.row) + ", " + std::to_string(y.column) +
                            ") is not at the place of the abscissa (" + std::to_string(x.row) +
                            ", " + std::to_string(x.column) + ")"};
    }
    if (plot.series.empty() || plot.series.back().row != x.row) plot.series.push_back({x.row, {}});
    plot.series.back().points.push_back({x.value, y.value});
  }
  return plot;
}

}  // namespace

ParsedPlot ParsePlotText(std::string_view text) {
  ParsedPlot parsed;
  try {
    Tokens tokens(text);
    if (tokens.Rest().empty()) throw PlotFileProblem{"the file is empty"};
    const SparseMatrix abscissas = ReadMatrix(tokens, "abscissas");
    const SparseMatrix ordinates = ReadMatrix(tokens, "ordinates");
    const std::string_view rest = tokens.Rest();
    if (!rest.empty()) {
      throw PlotFileProblem{"unexpected text after the ordinates: " +
                            Shown(rest.substr(0, rest.find_first_of(" \t\n\r\v\f")))};
    }
    parsed.plot = Pair(abscissas, ordinates);
  } catch (const PlotFileProblem& problem) {
    parsed.plot = PlotData();
    parsed.problem = problem.text;
  }
  return parsed;
}

ParsedPlot ReadPlotFile(const std::string& path) {
  ParsedPlot parsed;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    parsed.problem = "cannot be opened";
    return parsed;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kLargestFileBytes) {
    parsed.problem = size < 0 ? "cannot be read" : "is larger than the viewer reads";
    return parsed;
  }
  in.seekg(0, std::ios::beg);
  std::string text(static_cast<size_t>(size), '\0');
  if (!in.read(text.data(), size)) {
    parsed.problem = "cannot be read";
    return parsed;
  }
  return ParsePlotText(text);
}

}  // namespace kel_plot
