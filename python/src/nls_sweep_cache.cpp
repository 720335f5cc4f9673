#include "nls_sweep_cache.h"

#include <algorithm>
#include <utility>

namespace kelmath_python {

namespace {

// The central-difference Jacobian sweeps at b, then at b +- h_k for each parameter, and may come
// back to b for a derivative that is not finite: a few recent sweeps cover it.
constexpr size_t kEntries = 6;

bool SameValues(const double* a, const double* b, size_t count) {
  return std::equal(a, a + count, b);
}

}  // namespace

NlsSweepCache::NlsSweepCache(int numY, bool perParameter, NlsKnownRows& known, Evaluator evaluate)
    : numY(numY), perParameter(perParameter), known(known), evaluate(std::move(evaluate)) {
  // Entries are found by address while a lookup runs: their storage never moves.
  entries.reserve(kEntries);
}

void NlsSweepCache::Lookup(int model, int experiment, const double* b, int numParameters,
                           const double* x, double* out) {
  ++lookups;
  // Within a sweep every stored experiment is answered by the entry that answered the one
  // before: checked first, on the library's own vector.
  const size_t p = static_cast<size_t>(numParameters);
  if (experiment > 0 && storedEntry >= 0) {
    Entry& last = entries[static_cast<size_t>(storedEntry)];
    if (last.model == model && last.b.size() == p && SameValues(last.b.data(), b, p) &&
        RowIs(last, experiment - 1, x))
      return Answer(last, experiment - 1, out);
  }
  parameters.assign(b, b + p);
  if (experiment > 0)
    StoredLookup(model, experiment, parameters, x, out);
  else
    CandidateLookup(model, parameters, x, out);
}

bool NlsSweepCache::Matches(const Entry& e, int model, bool stored,
                            const std::vector<double>& b) const {
  // Bit for bit: the difference quotients' parameters differ from b in the last digits only.
  return e.model == model && e.stored == stored && e.b == b;
}

bool NlsSweepCache::RowIs(const Entry& e, int row, const double* x) const {
  const size_t numX = static_cast<size_t>(known.numX);
  return row < e.rows && SameValues(e.x.data() + static_cast<size_t>(row) * numX, x, numX);
}

NlsSweepCache::Entry* NlsSweepCache::Find(int model, bool stored, const std::vector<double>& b,
                                          const std::vector<double>* rows) {
  Entry* found = nullptr;
  for (Entry& e : entries)
    if (Matches(e, model, stored, b) && (rows == nullptr || e.x == *rows) &&
        (found == nullptr || e.lastUse > found->lastUse))
      found = &e;
  return found;
}

NlsSweepCache::Entry& NlsSweepCache::Evaluate(int model, bool stored, const std::vector<double>& b,
                                              const std::vector<double>& rows) {
  Entry fresh;
  fresh.model = model;
  fresh.stored = stored;
  fresh.b = b;
  fresh.x = rows;
  fresh.rows = static_cast<int>(rows.size() / static_cast<size_t>(known.numX));
  fresh.width = perParameter ? numY * static_cast<int>(b.size()) : numY;
  ++evaluations;
  fresh.values = evaluate(model, b, rows, fresh.rows);
  fresh.lastUse = ++clock;
  if (entries.size() < kEntries) {
    entries.push_back(std::move(fresh));
    return entries.back();
  }
  // The least recently used sweep gives way; the candidate sweep under way keeps its place.
  size_t oldest = 0;
  for (size_t k = 1; k < entries.size(); ++k)
    if (entries[k].lastUse < entries[oldest].lastUse) oldest = k;
  if (static_cast<int>(oldest) == candidateEntry) candidateEntry = -1;
  if (static_cast<int>(oldest) == storedEntry) storedEntry = -1;
  entries[oldest] = std::move(fresh);
  return entries[oldest];
}

void NlsSweepCache::EvaluateRow(Entry& e, int row, const double* x) {
  const size_t numX = static_cast<size_t>(known.numX);
  const size_t width = static_cast<size_t>(e.width);
  const std::vector<double> single(x, x + numX);
  ++evaluations;
  const std::vector<double> values = evaluate(e.model, e.b, single, 1);
  if (row == e.rows) {
    e.x.insert(e.x.end(), single.begin(), single.end());
    e.values.insert(e.values.end(), values.begin(), values.end());
    ++e.rows;
    return;
  }
  std::copy(single.begin(), single.end(), e.x.begin() + static_cast<std::ptrdiff_t>(row * numX));
  std::copy(values.begin(), values.end(),
            e.values.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(row) * width));
}

void NlsSweepCache::Answer(Entry& e, int row, double* out) {
  e.lastUse = ++clock;
  const size_t width = static_cast<size_t>(e.width);
  const double* values = e.values.data() + static_cast<size_t>(row) * width;
  std::copy(values, values + width, out);
}

// Stored experiments come with their number, which is their row in the sweep.
void NlsSweepCache::StoredLookup(int model, int experiment, const std::vector<double>& b,
                                 const double* x, double* out) {
  const int row = experiment - 1;
  const size_t numX = static_cast<size_t>(known.numX);
  Entry* e = Find(model, true, b, nullptr);
  if (e != nullptr) storedEntry = static_cast<int>(e - entries.data());
  if (e != nullptr && RowIs(*e, row, x)) return Answer(*e, row, out);
  std::copy(x, x + numX, known.stored.begin() + static_cast<std::ptrdiff_t>(row * numX));
  if (e != nullptr) {
    // The parameters are those of a sweep already made, the x are not: the x step moves the
    // uncertain x of one experiment after another at fixed parameters. Only this row is new.
    EvaluateRow(*e, row, x);
    return Answer(*e, row, out);
  }
  Entry& fresh = Evaluate(model, true, b, known.stored);
  storedEntry = static_cast<int>(&fresh - entries.data());
  Answer(fresh, row, out);
}

// Candidates all come as experiment 0: their row is their place in the sweep, which follows the
// order of the last sweep over them until an x differs.
void NlsSweepCache::CandidateLookup(int model, const std::vector<double>& b, const double* x,
                                    double* out) {
  const size_t numX = static_cast<size_t>(known.numX);
  Entry* current = candidateEntry >= 0 ? &entries[static_cast<size_t>(candidateEntry)] : nullptr;
  const bool continuing = current != nullptr && Matches(*current, model, false, b);
  if (continuing && RowIs(*current, candidatePosition, x))
    return Answer(*current, candidatePosition++, out);
  const bool sweepStart =
      known.candidates.size() >= numX && SameValues(known.candidates.data(), x, numX);
  if (sweepStart) {
    Entry* e = Find(model, false, b, &known.candidates);
    if (e == nullptr) e = &Evaluate(model, false, b, known.candidates);
    candidateEntry = static_cast<int>(e - entries.data());
    candidatePosition = 1;
    return Answer(*e, 0, out);
  }
  if (continuing && candidatePosition <= current->rows) {
    // The sweep leaves the known order here (or goes beyond it): what follows is recorded anew.
    current->rows = candidatePosition;
    current->x.resize(static_cast<size_t>(candidatePosition) * numX);
    current->values.resize(static_cast<size_t>(candidatePosition * current->width));
    EvaluateRow(*current, candidatePosition, x);
    known.candidates = current->x;
    return Answer(*current, candidatePosition++, out);
  }
  // A sweep over candidates not seen before: recorded one row at a time.
  Entry& fresh = Evaluate(model, false, b, std::vector<double>(x, x + numX));
  candidateEntry = static_cast<int>(&fresh - entries.data());
  candidatePosition = 1;
  known.candidates = fresh.x;
  Answer(fresh, 0, out);
}

}  // namespace kelmath_python
