#include "order_statistic_search.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kelmath_cli {

namespace {

// Bins of the first histogram: fine enough that the values of the bin holding a quartile of
// normal residuals (about 2e-4 m of them) stay a small part of the memory up to 10^8 rows, so
// that it hardly grows with m; its counts are a fixed 0.5 MB a target.
constexpr int kFirstBins = 65536;
// Bins of a later histogram, which narrows an interval 4096-fold.
constexpr int kBins = 4096;
// An interval holding at most this many values (over all parts) is kept for selection.
constexpr long long kKeptLimit = 1LL << 18;
// A bound on the passes: after it the values of the interval are kept whatever their count
// (reached only when more than kKeptLimit values agree to about 12 digits).
constexpr int kMostHistogramPasses = 4;
// The first histogram spans this many scales on each side of 0.
constexpr double kScales = 8.0;

}  // namespace

OrderStatisticSearch::OrderStatisticSearch(long long count, std::vector<long long> ranks,
                                           double scale) {
  const double spread = scale > 0.0 && std::isfinite(scale) ? kScales * scale : 0.0;
  for (const long long rank : ranks) {
    Target target;
    target.rank = std::clamp(rank, 0LL, std::max(count - 1, 0LL));
    target.levels.push_back(Level{-spread, spread, kFirstBins, true, 0});
    targets.push_back(std::move(target));
  }
  values.assign(targets.size(), 0.0);
  StartPass();
}

void OrderStatisticSearch::SetRanks(long long count, const std::vector<long long>& ranks) {
  for (size_t t = 0; t < targets.size() && t < ranks.size(); ++t)
    targets[t].rank = std::clamp(ranks[t], 0LL, std::max(count - 1, 0LL));
}

bool OrderStatisticSearch::Done() const {
  return std::all_of(targets.begin(), targets.end(), [](const Target& t) { return t.found; });
}

int OrderStatisticSearch::BinOf(const Level& level, double value) const {
  int offset = 0;
  if (level.outerBins) {
    if (value < level.low) return 0;
    if (value >= level.high) return level.bins + 1;
    offset = 1;
  }
  // Halves keep the width finite for bounds near the ends of the double range.
  const double width = 0.5 * level.high - 0.5 * level.low;
  if (!(width > 0.0)) return offset;
  const double position = std::floor((0.5 * value - 0.5 * level.low) / width * level.bins);
  return offset + static_cast<int>(std::clamp(position, 0.0, level.bins - 1.0));
}

bool OrderStatisticSearch::Inside(const Target& target, double value) const {
  const size_t fixed = target.levels.size() - (target.counting ? 1 : 0);
  for (size_t k = 0; k < fixed; ++k)
    if (BinOf(target.levels[k], value) != target.levels[k].bin) return false;
  return true;
}

void OrderStatisticSearch::StartPass() {
  counts.clear();
  kept.clear();
  for (Target& target : targets) {
    if (target.found || !target.counting) continue;
    const Level& level = target.levels.back();
    target.countAt = static_cast<int>(counts.size());
    counts.resize(counts.size() + static_cast<size_t>(level.bins + (level.outerBins ? 2 : 0)), 0);
  }
}

void OrderStatisticSearch::Add(double value) {
  for (size_t t = 0; t < targets.size(); ++t) {
    const Target& target = targets[t];
    if (target.found || !Inside(target, value)) continue;
    if (target.counting) {
      ++counts[static_cast<size_t>(target.countAt + BinOf(target.levels.back(), value))];
    } else {
      kept.push_back(static_cast<double>(t));
      kept.push_back(value);
    }
  }
}

void OrderStatisticSearch::Step(const std::vector<long long>& summedCounts, double smallest,
                                double largest, std::vector<double> allKept) {
  ++passes;
  if (passes == 1) {
    minimum = smallest;
    maximum = largest;
  }
  for (size_t t = 0; t < targets.size(); ++t) {
    Target& target = targets[t];
    if (target.found) continue;
    if (minimum == maximum) {  // every value is the same
      target.found = true;
      values[t] = minimum;
      continue;
    }
    if (!target.counting) {
      // Every part ends here, so that all of them agree that the search is done; the value is
      // that of the part given the values every part kept.
      target.found = true;
      std::vector<double> mine;
      for (size_t k = 0; k + 1 < allKept.size(); k += 2)
        if (static_cast<size_t>(allKept[k]) == t) mine.push_back(allKept[k + 1]);
      const long long rank =
          std::min<long long>(target.rank, static_cast<long long>(mine.size()) - 1);
      if (rank < 0) continue;
      std::nth_element(mine.begin(), mine.begin() + rank, mine.end());
      values[t] = mine[static_cast<size_t>(rank)];
      continue;
    }
    Level& level = target.levels.back();
    const int bins = level.bins + (level.outerBins ? 2 : 0);
    long long below = 0;
    int bin = 0;
    for (; bin < bins - 1; ++bin) {
      const long long here = summedCounts[static_cast<size_t>(target.countAt + bin)];
      if (target.rank < below + here) break;
      below += here;
    }
    const long long inside = summedCounts[static_cast<size_t>(target.countAt + bin)];
    target.rank -= below;
    level.bin = bin;
    // The bin's bounds, for the next histogram (membership stays defined by the bin numbers).
    double low = minimum, high = maximum;
    if (!level.outerBins || (bin > 0 && bin <= level.bins)) {
      const int inner = bin - (level.outerBins ? 1 : 0);
      const double from = static_cast<double>(inner) / level.bins;
      const double to = static_cast<double>(inner + 1) / level.bins;
      low = std::max(minimum, level.low * (1.0 - from) + level.high * from);
      high = std::min(maximum, level.low * (1.0 - to) + level.high * to);
    } else if (bin == 0) {
      high = std::min(maximum, level.low);
    } else {
      low = std::max(minimum, level.high);
    }
    if (inside <= kKeptLimit || passes >= kMostHistogramPasses) {
      target.counting = false;
    } else {
      target.levels.push_back(Level{low, std::max(low, high), kBins, false, 0});
    }
  }
  StartPass();
}

void StepOverRanks(OrderStatisticSearch& search, ParallelContext& context, double minimum,
                   double maximum) {
  std::vector<long long> summed = search.Counts();
  context.SumAll(summed);
  search.Step(summed, minimum, maximum, GatherDoublesToRoot(context, search.Kept()));
}

}  // namespace kelmath_cli
