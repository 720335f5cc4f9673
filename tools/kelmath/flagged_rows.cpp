#include "flagged_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace kelmath_cli {

namespace {

// The summary's list lengths (kListedRows of the summary): first, largest by each measure.
constexpr size_t kKept = 10;
// Candidates are pruned when this many have gathered: O(1) amortized a row.
constexpr size_t kPruneAt = 256;

// A measure as the summary orders it: largest first, NaN as the smallest.
double Key(double value) {
  return std::isnan(value) ? -HUGE_VAL : value;
}

// The positions of the kKept largest keys, ties to the earlier row.
template <typename Measure>
void MarkLargest(const std::vector<FlaggedRow>& rows, Measure measure, std::vector<bool>& keep) {
  std::vector<size_t> order(rows.size());
  for (size_t k = 0; k < rows.size(); ++k) order[k] = k;
  const auto before = [&](size_t a, size_t b) {
    const double x = Key(measure(rows[a])), y = Key(measure(rows[b]));
    return x > y || (x == y && rows[a].observation.row < rows[b].observation.row);
  };
  const size_t count = std::min(kKept, rows.size());
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count), order.end(),
                    before);
  for (size_t k = 0; k < count; ++k) keep[order[k]] = true;
}

// The fields of a flagged row as doubles, in a fixed order.
constexpr size_t kFields = 11;
void Pack(const FlaggedRow& r, double* out) {
  const ObservationRow& o = r.observation;
  const double fields[kFields] = {static_cast<double>(o.row),
                                  o.fitted,
                                  o.residual,
                                  o.leverage,
                                  o.cooksDistance,
                                  o.studentizedResidual,
                                  o.standardizedResidual,
                                  o.weightedResidual,
                                  r.flags.cook ? 1.0 : 0.0,
                                  r.flags.studentized ? 1.0 : 0.0,
                                  r.flags.leverage ? 1.0 : 0.0};
  std::memcpy(out, fields, sizeof fields);
}

FlaggedRow Unpack(const double* in) {
  FlaggedRow r;
  r.observation.row = static_cast<int>(in[0]);
  r.observation.fitted = in[1];
  r.observation.residual = in[2];
  r.observation.leverage = in[3];
  r.observation.cooksDistance = in[4];
  r.observation.studentizedResidual = in[5];
  r.observation.standardizedResidual = in[6];
  r.observation.weightedResidual = in[7];
  r.flags.row = r.observation.row;
  r.flags.cook = in[8] != 0.0;
  r.flags.studentized = in[9] != 0.0;
  r.flags.leverage = in[10] != 0.0;
  return r;
}

}  // namespace

void FlaggedRows::Add(const FlaggedRow& row) {
  ++count;
  rows.push_back(row);
  if (rows.size() >= kPruneAt) Prune();
}

void FlaggedRows::Prune() {
  std::sort(rows.begin(), rows.end(), [](const FlaggedRow& a, const FlaggedRow& b) {
    return a.observation.row < b.observation.row;
  });
  std::vector<bool> keep(rows.size(), false);
  for (size_t k = 0; k < std::min(kKept, rows.size()); ++k) keep[k] = true;
  MarkLargest(
      rows, [](const FlaggedRow& r) { return r.observation.cooksDistance; }, keep);
  MarkLargest(
      rows, [](const FlaggedRow& r) { return std::fabs(r.observation.studentizedResidual); }, keep);
  std::vector<FlaggedRow> kept;
  for (size_t k = 0; k < rows.size(); ++k)
    if (keep[k]) kept.push_back(rows[k]);
  rows = std::move(kept);
}

std::vector<FlaggedRow> FlaggedRows::Candidates() {
  Prune();
  return rows;
}

std::string FlaggedRows::Bytes() {
  Prune();
  std::vector<double> values(1 + rows.size() * kFields);
  values[0] = static_cast<double>(count);
  for (size_t k = 0; k < rows.size(); ++k) Pack(rows[k], &values[1 + k * kFields]);
  return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double));
}

void FlaggedRows::Join(const std::string& bytes) {
  std::vector<double> values(bytes.size() / sizeof(double));
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(double));
  if (values.empty()) return;
  count += static_cast<long long>(values[0]);
  for (size_t at = 1; at + kFields <= values.size(); at += kFields)
    rows.push_back(Unpack(&values[at]));
  Prune();
}

void StoreFlaggedRows(std::vector<FlaggedRow> candidates, long long count,
                      RegressionResult& result) {
  result.observations.clear();
  result.influential.clear();
  for (FlaggedRow& candidate : candidates) {
    candidate.flags.row = candidate.observation.row;
    candidate.flags.observation = static_cast<int>(result.observations.size());
    result.observations.push_back(candidate.observation);
    result.influential.push_back(candidate.flags);
  }
  result.streamedFlagged = static_cast<size_t>(count);
}

}  // namespace kelmath_cli
