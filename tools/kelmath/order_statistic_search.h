// Exact order statistics of values that are read in passes and never held together: the
// residuals of a fit on data larger than memory.
//
// Each pass counts the values in the bins of a histogram over the interval known to hold each
// wanted order statistic; after the pass the bin holding it becomes its interval. Once an
// interval holds few enough values, the next pass keeps them, and the order statistic is selected
// among them. Intervals are defined by the bin numbers of every histogram on the way (not by bin
// edges recomputed in floating point), so a value belongs to the same interval in every pass.
// The first histogram is laid over +-8 scales (the residual standard error): since the squared
// residuals sum to about m scale^2, at most m/64 of them lie beyond it, so the quartiles are
// almost always found in its bins after one pass; values beyond it fall into two outer bins whose
// bounds are the minimum and the maximum.
//
// The counts of parts of the values (threads, processes) add up: Counts() and the kept values
// of every part are combined by the caller, and every part reaches the same next step from the
// summed counts.
#ifndef KELMATH_TOOLS_KELMATH_ORDER_STATISTIC_SEARCH_H
#define KELMATH_TOOLS_KELMATH_ORDER_STATISTIC_SEARCH_H

#include <vector>

#include "parallel_context.h"

namespace kelmath_cli {

class OrderStatisticSearch {
 public:
  // ranks: the 0-based order statistics wanted among count values (each below count); scale: a
  // positive spread of the values around 0 for the first histogram.
  OrderStatisticSearch(long long count, std::vector<long long> ranks, double scale);

  // Sets the wanted order statistics and their count anew, before the first Step: for values
  // whose count is known only after the first pass, whose histograms do not depend on either.
  // As many ranks as the constructor was given.
  void SetRanks(long long count, const std::vector<long long>& ranks);

  // Whether another pass over the values is needed.
  bool Done() const;
  // The pass: every value in turn (O(ranks) each), then the step with the counts of all parts
  // summed (Counts() of each part, element by element), the minimum and maximum of all values,
  // and the values all parts kept (Kept()) in any order.
  void Add(double value);
  const std::vector<long long>& Counts() const { return counts; }
  const std::vector<double>& Kept() const { return kept; }
  void Step(const std::vector<long long>& summedCounts, double minimum, double maximum,
            std::vector<double> allKept);
  // The order statistics, once Done(), in the order of the ranks: on the part that Step gave
  // every part's kept values (the others agree on Done() but hold no values).
  const std::vector<double>& Values() const { return values; }

 private:
  // One histogram of nested intervals: bins equal parts of [low, high]; the first level has an
  // outer bin on each side.
  struct Level {
    double low = 0.0, high = 0.0;
    int bins = 0;
    bool outerBins = false;
    int bin = 0;  // the bin of this level that the interval is
  };
  struct Target {
    long long rank = 0;         // among the values of the interval
    std::vector<Level> levels;  // the interval: every level's bin; the last is being counted
    bool counting = true;       // a histogram this pass, else its values are kept
    bool found = false;
    double value = 0.0;
    int countAt = 0;  // its histogram's first entry in counts
  };
  int BinOf(const Level& level, double value) const;
  bool Inside(const Target& target, double value) const;  // in every level but the last
  void StartPass();

  std::vector<Target> targets;
  std::vector<long long> counts;
  std::vector<double> kept;
  std::vector<double> values;
  double minimum = 0.0, maximum = 0.0;
  int passes = 0;
};

// The step after a pass on every rank of the run: the counts summed, the kept values gathered
// on the root; minimum and maximum of the values of all ranks.
void StepOverRanks(OrderStatisticSearch& search, ParallelContext& context, double minimum,
                   double maximum);

}  // namespace kelmath_cli

#endif
