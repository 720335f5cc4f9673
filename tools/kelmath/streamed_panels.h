// The diagnostic panels (diagnostic_panels.h) of a fit whose rows are read in passes over a file
// (streamed_regression.h), in memory that does not grow with the rows.
//
// The second pass, which computes each row's values, keeps the ranges of every panel's
// coordinates, one row in every m / kLowessPoints (rounded up) for the smooths, and the rows a
// panel may draw as markers: the most extreme by each panel's measure and, of the flagged rows,
// the kIndividualPoints most extreme by it (every row, when there are few enough to draw each).
// The ranges give the panels' scales; the next pass counts every row in the density bins over
// them. The Q-Q panel's x is a row's rank among the standardized residuals: its bins come from
// the counts of each bin row (the sorted values fill the bin rows in order, so each bin row holds
// a run of ranks, split among the columns by the quantiles of the ranks), its markers' ranks from
// counting the values below each, and its line's quartiles from an exact order-statistic search
// begun in the second pass (the pass of the bins usually ends it). The panels are those of the
// same rows held in memory, but for the smooth of more than kLowessPoints rows, which goes
// through a systematic sample of the rows rather than points evenly spaced in x.
//
// Every method that takes the context is collective: every rank calls it at the same point.
#ifndef KELMATH_TOOLS_KELMATH_STREAMED_PANELS_H
#define KELMATH_TOOLS_KELMATH_STREAMED_PANELS_H

#include <array>
#include <optional>
#include <vector>

#include "diagnostic_panels.h"
#include "linear_regression/kel_streaming_diagnostics.h"
#include "order_statistic_search.h"
#include "parallel_context.h"
#include "regression_result.h"

namespace kelmath_cli {

class StreamedPanels {
 public:
  // rows: the rows used, over all ranks; rowsBefore: those read by the lower ranks.
  StreamedPanels(long long rows, long long rowsBefore);

  // The second pass: every row of this rank in data row order, and whether the command's
  // influence rules flag it.
  void AddRow(const ObservationRow& row, bool flagged);
  void EndSecondPass(ParallelContext& context);

  // Every later pass, until Done(): every row's values again, in the same order.
  bool Done() const;
  void AddAgain(const KelStreamingRow& row);
  void EndPass(ParallelContext& context);

  // On the root, once Done(): the four panels of the result's fit.
  std::vector<DiagnosticPanel> Panels(const RegressionResult& result);

 private:
  // The rows a panel may draw as markers: the most extreme by some measure.
  struct Candidate {
    ObservationRow row;
    bool flagged = false;
    int emphasis = 0;  // as PanelMark's, once the candidates are gathered
  };
  class Largest {
   public:
    explicit Largest(size_t kept) : kept(kept) {}
    void Add(double key, const Candidate& candidate);
    std::vector<Candidate> Rows();  // the kept rows, the largest key first

   private:
    using Keyed = std::pair<double, Candidate>;
    // The order of the kept rows: the larger key first, of equal keys the earlier row.
    static bool Before(const Keyed& a, const Keyed& b);
    size_t kept;
    double lowestKept = -HUGE_VAL;  // the smallest key kept at the last pruning
    std::vector<Keyed> rows;
  };
  struct Ranges {
    double xLow = HUGE_VAL, xHigh = -HUGE_VAL, yLow = HUGE_VAL, yHigh = -HUGE_VAL;
  };

  void Keep(const Candidate& candidate);
  void GatherCandidates(ParallelContext& context);
  void CountQuantilePanel(const std::vector<long long>& rowCounts);
  void StepQuartiles(ParallelContext& context);
  // A panel's ranges, and the panels with them alone, whose scales are those of the panels.
  StreamedPoints RangesOf(int panel) const;
  std::vector<DiagnosticPanel> Skeletons() const;

  long long rows, usedIndex, sampleStep;
  std::vector<Largest> keepers;
  std::vector<Candidate> every;  // every row, when there are at most kIndividualPoints
  std::array<Ranges, 4> ranges;
  std::array<long long, 2> flaggedCounts = {0, 0};  // of all rows; of the standardizable ones
  long long standardizable = 0;
  std::array<std::vector<double>, 3> samples;  // x, y pairs: residuals, scale, leverage panels
  // After the second pass.
  std::vector<Candidate> candidates;   // on the root, in data row order
  std::vector<double> quantileValues;  // the standardizable candidates' values, ascending
  std::vector<kel_plot::Scales> scales;
  std::vector<DensityBins> bins;
  std::vector<long long> quantileRowCounts, valuesBelow;
  std::optional<OrderStatisticSearch> quartiles;
  bool binned = false;
};

}  // namespace kelmath_cli

#endif
