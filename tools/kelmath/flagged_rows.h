// The flagged rows a summary of a streamed fit may list, kept in bounded memory while the rows
// pass: the summary lists all flagged rows when there are at most ten, else the ten largest
// Cook's distances and the ten largest |studentized residuals|. Keeping the first ten flagged
// rows and the ten largest by each measure keeps every row it can list, whatever the count.
// Parts of the rows (ranks reading parts of a file) keep their own and are joined afterwards:
// the candidates of the whole are among the candidates of the parts.
#ifndef KELMATH_TOOLS_KELMATH_FLAGGED_ROWS_H
#define KELMATH_TOOLS_KELMATH_FLAGGED_ROWS_H

#include <string>
#include <vector>

#include "regression_result.h"

namespace kelmath_cli {

struct FlaggedRow {
  ObservationRow observation;
  InfluentialRow flags;
};

class FlaggedRows {
 public:
  // A flagged row; rows come in data row order. Amortized O(1).
  void Add(const FlaggedRow& row);
  long long Count() const { return count; }
  // The candidates, in data row order.
  std::vector<FlaggedRow> Candidates();

  // The candidates and the count as bytes, and the joining of parts' bytes in any order.
  std::string Bytes();
  void Join(const std::string& bytes);

 private:
  void Prune();
  std::vector<FlaggedRow> rows;
  long long count = 0;
};

// Puts the candidates into the result as its observations and influential rows (positions into
// those observations), with the count of all flagged rows.
void StoreFlaggedRows(std::vector<FlaggedRow> candidates, long long count,
                      RegressionResult& result);

}  // namespace kelmath_cli

#endif
