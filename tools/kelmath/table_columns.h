// Finding a CSV table's columns by name, and the cells of clustering columns, as every kind of
// model request needs them.
#ifndef KELMATH_TOOLS_KELMATH_TABLE_COLUMNS_H
#define KELMATH_TOOLS_KELMATH_TABLE_COLUMNS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "csv_table.h"
#include "regression_data.h"

namespace kelmath_cli {

// The name without the blanks around it.
std::string_view TrimmedName(std::string_view name);

// The second header position holding the name of position, or -1 when it is the only one.
int RepeatOf(const CsvTable& table, int position);

// The problem of a name that two columns of the header hold.
std::string AppearsTwice(const CsvTable& table, int position);

// Position of the name in the header (blanks around either ignored), or -1 with the problem set:
// absent, or held by several columns.
int FindColumn(const CsvTable& table, const std::string& name, std::string& problem);

// The header positions of the clustering columns, or a problem.
std::string ChooseClusters(const CsvTable& table, const std::vector<std::string>& names,
                           std::vector<int>& clusters);

// The problem of a cell that is not a number, with a hint when it holds a decimal comma.
std::string NotANumber(const CsvTable& table, size_t row, int position, char decimal);
// The same problem's text after its place ("'abc' is not a number").
std::string NotANumberText(std::string_view cell, char decimal);
// "line <line>, column '<name>': <text>", the form of every problem of one cell.
std::string CellProblem(int64_t line, std::string_view column, std::string_view text);

// A cluster label as the cell holds it, blanks around it ignored; empty or NA is missing.
std::string_view ClusterLabel(const CsvTable& table, size_t row, int position);

// The values of a column of weights by row, NaN where missing, or the problem of a cell that is
// not a number.
std::string ReadWeightColumn(const CsvTable& table, int position, char decimal,
                             std::vector<double>& weights);

// Keeps the weights of the rows used in data.weights, or returns the problem of one that is not
// a positive finite number (R refuses negative weights; a zero weight would leave its row out of
// the fit but not out of the counts, so it is refused too).
std::string TakeWeights(const CsvTable& table, int position, const std::vector<double>& weights,
                        RegressionData& data);

// Numbers the labels of the clustering columns over the rows used, in order of first appearance
// (one hash lookup a row and column).
void NumberClusters(const CsvTable& table, const std::vector<int>& clusters, RegressionData& data);

}  // namespace kelmath_cli

#endif
