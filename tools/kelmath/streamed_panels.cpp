#include "streamed_panels.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "regression_summary.h"

namespace kelmath_cli {

namespace {

// The measures the candidates are kept by, each with how many rows it keeps.
enum Keeper {
  kByResidual,         // |residual|: the residual panel's labels
  kByStandardized,     // |standardized residual|: the Q-Q and scale panels' labels
  kByCook,             // Cook's distance: the leverage panel's labels
  kByStudentized,      // |studentized residual|, of every row: the extreme few
  kByCookOfAll,        // Cook's distance, of every row: the extreme few
  kFlaggedByResidual,  // the flagged rows each panel may draw, by its measure
  kFlaggedByStandardized,
  kFlaggedByCook,
  kKeepers
};

constexpr size_t kKeptBy[kKeepers] = {kExtremeFew,       kExtremeFew,      kExtremeFew,
                                      kExtremeFew,       kExtremeFew,      kIndividualPoints,
                                      kIndividualPoints, kIndividualPoints};

// The panels, in the order of ComposeDiagnosticPanels.
enum Panel { kResiduals, kQuantiles, kScale, kLeverage };

// A panel of at most this many points draws each as a marker.
constexpr long long kFewPoints = static_cast<long long>(kIndividualPoints);

constexpr int kCandidateWidth = 8;  // doubles per candidate row in the bytes ranks exchange

bool Standardizable(double standardized) {
  return std::isfinite(standardized);
}

// A measure that is undefined ranks below every defined one.
double Key(double value) {
  return std::isnan(value) ? -1.0 : value;
}

void Widen(double value, double& low, double& high) {
  if (!std::isfinite(value)) return;
  low = std::min(low, value);
  high = std::max(high, value);
}

}  // namespace

bool StreamedPanels::Largest::Before(const Keyed& a, const Keyed& b) {
  return a.first > b.first || (a.first == b.first && a.second.row.row < b.second.row.row);
}

void StreamedPanels::Largest::Add(double key, const Candidate& candidate) {
  // Below the smallest key kept at the last pruning a row can never be among the largest.
  if (key < lowestKept) return;
  rows.push_back({key, candidate});
  if (rows.size() >= 2 * kept) {
    std::nth_element(rows.begin(), rows.begin() + static_cast<long>(kept), rows.end(), Before);
    rows.resize(kept);
    lowestKept = HUGE_VAL;
    for (const auto& row : rows) lowestKept = std::min(lowestKept, row.first);
  }
}

std::vector<StreamedPanels::Candidate> StreamedPanels::Largest::Rows() {
  std::sort(rows.begin(), rows.end(), Before);
  std::vector<Candidate> largest;
  for (size_t i = 0; i < rows.size() && i < kept; ++i) largest.push_back(rows[i].second);
  return largest;
}

StreamedPanels::StreamedPanels(long long rows, long long rowsBefore)
    : rows(rows),
      usedIndex(rowsBefore),
      sampleStep(std::max<long long>(
          1, (rows + static_cast<long long>(kLowessPoints) - 1) / kLowessPoints)) {
  for (const size_t kept : kKeptBy) keepers.emplace_back(kept);
  // The quartiles' ranks are known once the standardizable rows are counted, after the first
  // histogram: SetRanks then.
  quartiles.emplace(rows, std::vector<long long>(4, 0), 1.0);
}

void StreamedPanels::Keep(const Candidate& c) {
  const ObservationRow& o = c.row;
  const double residual = std::fabs(o.weightedResidual);
  keepers[kByResidual].Add(Key(residual), c);
  keepers[kByStudentized].Add(Key(std::fabs(o.studentizedResidual)), c);
  keepers[kByCookOfAll].Add(Key(o.cooksDistance), c);
  if (c.flagged) keepers[kFlaggedByResidual].Add(Key(residual), c);
  if (!Standardizable(o.standardizedResidual)) return;
  const double standardized = std::fabs(o.standardizedResidual);
  keepers[kByStandardized].Add(standardized, c);
  keepers[kByCook].Add(Key(o.cooksDistance), c);
  if (c.flagged) {
    keepers[kFlaggedByStandardized].Add(standardized, c);
    keepers[kFlaggedByCook].Add(Key(o.cooksDistance), c);
  }
}

void StreamedPanels::AddRow(const ObservationRow& o, bool flagged) {
  const bool standard = Standardizable(o.standardizedResidual);
  const double root = std::sqrt(std::fabs(o.standardizedResidual));
  Widen(o.fitted, ranges[kResiduals].xLow, ranges[kResiduals].xHigh);
  Widen(o.weightedResidual, ranges[kResiduals].yLow, ranges[kResiduals].yHigh);
  flaggedCounts[0] += flagged ? 1 : 0;
  if (standard) {
    Widen(o.standardizedResidual, ranges[kQuantiles].yLow, ranges[kQuantiles].yHigh);
    Widen(o.fitted, ranges[kScale].xLow, ranges[kScale].xHigh);
    Widen(root, ranges[kScale].yLow, ranges[kScale].yHigh);
    Widen(o.leverage, ranges[kLeverage].xLow, ranges[kLeverage].xHigh);
    Widen(o.standardizedResidual, ranges[kLeverage].yLow, ranges[kLeverage].yHigh);
    flaggedCounts[1] += flagged ? 1 : 0;
    ++standardizable;
    quartiles->Add(o.standardizedResidual);
  }
  if (usedIndex % sampleStep == 0) {
    samples[0].insert(samples[0].end(), {o.fitted, o.weightedResidual});
    if (standard) {
      samples[1].insert(samples[1].end(), {o.fitted, root});
      samples[2].insert(samples[2].end(), {o.leverage, o.standardizedResidual});
    }
  }
  ++usedIndex;
  // A panel of few enough points draws each: while this part's rows, or its standardizable
  // ones, are that few, every one is kept.
  if (rows <= kFewPoints || (standard && standardizable <= kFewPoints))
    every.push_back({o, flagged});
  Keep({o, flagged});
}

// Every rank's candidates on the root, kept again as one rank's would be: the candidates of the
// whole are among those of the parts. The extreme few are marked, the Q-Q panel's candidates'
// values sent to every rank.
void StreamedPanels::GatherCandidates(ParallelContext& context) {
  std::vector<Candidate> mine = std::move(every);
  every.clear();
  for (Largest& keeper : keepers)
    for (const Candidate& c : keeper.Rows()) mine.push_back(c);
  std::vector<double> flat;  // kCandidateWidth values a candidate
  for (const Candidate& c : mine) {
    const ObservationRow& o = c.row;
    flat.insert(flat.end(), {static_cast<double>(o.row), o.fitted, o.weightedResidual, o.leverage,
                             o.cooksDistance, o.studentizedResidual, o.standardizedResidual,
                             c.flagged ? 1.0 : 0.0});
  }
  std::vector<Candidate> all;
  const std::vector<double> gathered = GatherDoublesToRoot(context, flat);
  for (size_t i = 0; i + kCandidateWidth <= gathered.size(); i += kCandidateWidth) {
    Candidate c;
    c.row.row = static_cast<int>(gathered[i]);
    c.row.fitted = gathered[i + 1];
    c.row.residual = c.row.weightedResidual = gathered[i + 2];
    c.row.leverage = gathered[i + 3];
    c.row.cooksDistance = gathered[i + 4];
    c.row.studentizedResidual = gathered[i + 5];
    c.row.standardizedResidual = gathered[i + 6];
    c.flagged = gathered[i + 7] != 0.0;
    all.push_back(c);
  }
  const auto byRow = [](const Candidate& a, const Candidate& b) { return a.row.row < b.row.row; };
  const auto sameRow = [](const Candidate& a, const Candidate& b) {
    return a.row.row == b.row.row;
  };
  std::sort(all.begin(), all.end(), byRow);
  all.erase(std::unique(all.begin(), all.end(), sameRow), all.end());
  keepers.clear();
  for (const size_t kept : kKeptBy) keepers.emplace_back(kept);
  for (const Candidate& c : all) Keep(c);
  std::vector<int> extreme;
  for (const Keeper few : {kByStudentized, kByCookOfAll})
    for (const Candidate& c : keepers[few].Rows()) extreme.push_back(c.row.row);
  for (Largest& keeper : keepers)
    for (const Candidate& c : keeper.Rows()) candidates.push_back(c);
  if (rows <= kFewPoints) {
    candidates = all;
  } else if (standardizable <= kFewPoints) {  // summed over the ranks by now
    for (const Candidate& c : all)
      if (Standardizable(c.row.standardizedResidual)) candidates.push_back(c);
  }
  std::sort(candidates.begin(), candidates.end(), byRow);
  candidates.erase(std::unique(candidates.begin(), candidates.end(), sameRow), candidates.end());
  for (Candidate& c : candidates) {
    c.emphasis = c.flagged ? 1 : 0;
    if (std::find(extreme.begin(), extreme.end(), c.row.row) != extreme.end()) c.emphasis = 2;
  }
  keepers.clear();

  std::vector<double> values;
  for (const Candidate& c : candidates)
    if (Standardizable(c.row.standardizedResidual)) values.push_back(c.row.standardizedResidual);
  std::sort(values.begin(), values.end());
  quantileValues = DoublesOf(context.Broadcast(BytesOf(values), 0));
}

StreamedPoints StreamedPanels::RangesOf(int panel) const {
  StreamedPoints points;
  const Ranges& r = ranges[static_cast<size_t>(panel)];
  points.xLow = r.xLow;
  points.xHigh = r.xHigh;
  points.yLow = r.yLow;
  points.yHigh = r.yHigh;
  if (panel == kQuantiles && standardizable > 0) {
    points.xLow = NormalQuantilePosition(0, standardizable);
    points.xHigh = NormalQuantilePosition(standardizable - 1, standardizable);
  }
  return points;
}

std::vector<DiagnosticPanel> StreamedPanels::Skeletons() const {
  std::vector<DiagnosticPanel> panels(4, DiagnosticPanel{"", "", "", ""});
  for (int p = 0; p < 4; ++p) panels[static_cast<size_t>(p)].streamed = RangesOf(p);
  panels[kLeverage].xFromZero = true;
  return panels;
}

void StreamedPanels::EndSecondPass(ParallelContext& context) {
  for (Ranges& r : ranges) {
    r.xLow = -context.MaxAll(-r.xLow);
    r.xHigh = context.MaxAll(r.xHigh);
    r.yLow = -context.MaxAll(-r.yLow);
    r.yHigh = context.MaxAll(r.yHigh);
  }
  std::vector<long long> counts = {flaggedCounts[0], flaggedCounts[1], standardizable};
  context.SumAll(counts);
  flaggedCounts = {counts[0], counts[1]};
  standardizable = counts[2];
  for (std::vector<double>& sample : samples) sample = GatherDoublesToRoot(context, sample);
  GatherCandidates(context);

  for (const DiagnosticPanel& skeleton : Skeletons()) {
    scales.push_back(PanelScales(skeleton));
    bins.push_back(DrawingAreaBins());
  }
  quantileRowCounts.assign(kDensityRows, 0);
  valuesBelow.assign(quantileValues.size() + 1, 0);
  if (standardizable < 2) {
    quartiles.reset();
    return;
  }
  std::vector<long long> wanted;
  for (const double p : {0.25, 0.75}) {
    const long long low = static_cast<long long>(p * static_cast<double>(standardizable - 1));
    wanted.push_back(low);
    wanted.push_back(std::min(low + 1, standardizable - 1));
  }
  quartiles->SetRanks(standardizable, wanted);
  StepQuartiles(context);
}

void StreamedPanels::StepQuartiles(ParallelContext& context) {
  StepOverRanks(*quartiles, context, ranges[kQuantiles].yLow, ranges[kQuantiles].yHigh);
}

bool StreamedPanels::Done() const {
  return binned && (!quartiles || quartiles->Done());
}

void StreamedPanels::AddAgain(const KelStreamingRow& v) {
  const bool standard = Standardizable(v.standardizedResidual);
  if (!binned) {
    bins[kResiduals].Add(scales[kResiduals].X(v.fitted), scales[kResiduals].Y(v.residual));
    if (standard) {
      const double root = std::sqrt(std::fabs(v.standardizedResidual));
      bins[kScale].Add(scales[kScale].X(v.fitted), scales[kScale].Y(root));
      bins[kLeverage].Add(scales[kLeverage].X(v.leverage),
                          scales[kLeverage].Y(v.standardizedResidual));
      const int row = bins[kQuantiles].RowOf(scales[kQuantiles].Y(v.standardizedResidual));
      if (row >= 0) ++quantileRowCounts[static_cast<size_t>(row)];
      ++valuesBelow[static_cast<size_t>(
          std::upper_bound(quantileValues.begin(), quantileValues.end(), v.standardizedResidual) -
          quantileValues.begin())];
    }
  }
  if (standard && quartiles && !quartiles->Done()) quartiles->Add(v.standardizedResidual);
}

// The Q-Q panel's bins from the counts of its bin rows: the values in ascending order fill the
// rows from the bottom, and the ranks of a row are split among the columns where the normal
// quantiles of the ranks cross the columns' edges.
void StreamedPanels::CountQuantilePanel(const std::vector<long long>& rowCounts) {
  DensityBins& q = bins[kQuantiles];
  const long long n = standardizable;
  const auto column = [&](long long k) {
    return q.ColumnOf(scales[kQuantiles].X(NormalQuantilePosition(k, n)));
  };
  std::vector<long long> firstRank(static_cast<size_t>(q.Columns()) + 1, n);
  firstRank[0] = 0;
  for (int c = 1; c < q.Columns(); ++c) {
    long long low = 0, high = n;  // the first rank whose column is c or beyond
    while (low < high) {
      const long long middle = low + (high - low) / 2;
      if (column(middle) >= c)
        high = middle;
      else
        low = middle + 1;
    }
    firstRank[static_cast<size_t>(c)] = low;
  }
  long long start = 0;
  for (int r = q.Rows() - 1; r >= 0; --r) {
    const long long end = start + rowCounts[static_cast<size_t>(r)];
    for (int c = 0; c < q.Columns(); ++c) {
      const long long from = std::max(start, firstRank[static_cast<size_t>(c)]);
      const long long to = std::min(end, firstRank[static_cast<size_t>(c) + 1]);
      if (to > from) q.AddToBin(c, r, to - from);
    }
    start = end;
  }
}

void StreamedPanels::EndPass(ParallelContext& context) {
  if (!binned) {
    std::vector<long long> counts;
    for (const Panel p : {kResiduals, kScale, kLeverage})
      for (int r = 0; r < kDensityRows; ++r)
        for (int c = 0; c < kDensityColumns; ++c) counts.push_back(bins[p].Count(c, r));
    counts.insert(counts.end(), quantileRowCounts.begin(), quantileRowCounts.end());
    counts.insert(counts.end(), valuesBelow.begin(), valuesBelow.end());
    context.SumAll(counts);
    size_t at = 0;
    for (const Panel p : {kResiduals, kScale, kLeverage}) {
      bins[p] = DrawingAreaBins();
      for (int r = 0; r < kDensityRows; ++r)
        for (int c = 0; c < kDensityColumns; ++c) bins[p].AddToBin(c, r, counts[at++]);
    }
    const std::vector<long long> rowCounts(counts.begin() + static_cast<long>(at),
                                           counts.begin() + static_cast<long>(at) + kDensityRows);
    at += kDensityRows;
    valuesBelow.assign(counts.begin() + static_cast<long>(at), counts.end());
    CountQuantilePanel(rowCounts);
    binned = true;
  }
  if (quartiles && !quartiles->Done()) StepQuartiles(context);
}

std::vector<DiagnosticPanel> StreamedPanels::Panels(const RegressionResult& result) {
  std::vector<PanelPoints> points(4);
  std::vector<const Candidate*> ordered;
  // The extreme few that the rules do not flag: emphasized beside the flagged rows.
  long long extraOfAll = 0, extraOfStandardizable = 0;
  for (const Candidate& c : candidates) {
    const ObservationRow& o = c.row;
    const long long extra = c.emphasis == 2 && !c.flagged ? 1 : 0;
    extraOfAll += extra;
    points[kResiduals].marks.push_back(
        {o.fitted, o.weightedResidual, o.row, std::fabs(o.weightedResidual), c.emphasis});
    if (!Standardizable(o.standardizedResidual)) continue;
    extraOfStandardizable += extra;
    const double root = std::sqrt(std::fabs(o.standardizedResidual));
    points[kScale].marks.push_back({o.fitted, root, o.row, root, c.emphasis});
    points[kLeverage].marks.push_back(
        {o.leverage, o.standardizedResidual, o.row, o.cooksDistance, c.emphasis});
    ordered.push_back(&c);
  }
  // The Q-Q panel's marks in the order of their values, each at the normal quantile of its rank:
  // the values below it, and the candidates of the same value before it.
  std::stable_sort(ordered.begin(), ordered.end(), [](const Candidate* a, const Candidate* b) {
    return a->row.standardizedResidual < b->row.standardizedResidual;
  });
  long long below = 0;
  for (size_t j = 0, first = 0; j < ordered.size(); ++j) {
    below += valuesBelow[j];
    if (j == 0 || quantileValues[j] != quantileValues[j - 1]) first = j;
    const ObservationRow& o = ordered[j]->row;
    const long long rank = below + static_cast<long long>(j - first);
    points[kQuantiles].marks.push_back({NormalQuantilePosition(rank, standardizable),
                                        o.standardizedResidual, o.row,
                                        std::fabs(o.standardizedResidual), ordered[j]->emphasis});
  }

  // A panel of few enough points has them all as marks, drawn as those of a fit in memory are.
  for (int p = 0; p < 4; ++p) {
    StreamedPoints streamed = RangesOf(p);
    streamed.points = p == kResiduals ? rows : standardizable;
    if (streamed.points <= kFewPoints) continue;
    streamed.emphasized =
        p == kResiduals ? flaggedCounts[0] + extraOfAll : flaggedCounts[1] + extraOfStandardizable;
    streamed.bins = bins[static_cast<size_t>(p)];
    points[static_cast<size_t>(p)].streamed = std::move(streamed);
  }
  const int smoothed[3] = {kResiduals, kScale, kLeverage};
  for (int s = 0; s < 3; ++s) {
    PanelPoints& p = points[static_cast<size_t>(smoothed[s])];
    for (size_t i = 0; i + 1 < samples[static_cast<size_t>(s)].size(); i += 2) {
      p.smoothX.push_back(samples[static_cast<size_t>(s)][i]);
      p.smoothY.push_back(samples[static_cast<size_t>(s)][i + 1]);
    }
    if (sampleStep > 1)
      p.smoothNote = {"(on " + FormatCount(p.smoothX.size()) + " points,",
                      "one row in " + FormatCount(static_cast<size_t>(sampleStep)) + ")"};
  }
  std::optional<std::pair<double, double>> quartileValues;
  if (quartiles) {
    const std::vector<double>& v = quartiles->Values();
    const auto at = [&](double p, size_t k) {
      const double position = p * static_cast<double>(standardizable - 1);
      return v[k] + (position - std::floor(position)) * (v[k + 1] - v[k]);
    };
    quartileValues = {at(0.25, 0), at(0.75, 2)};
  }
  return ComposeDiagnosticPanels(result, std::move(points), quartileValues);
}

}  // namespace kelmath_cli
