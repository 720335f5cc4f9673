// The accumulator of KelStreamingLeastSquares: folding rows, merging, its flat state.
#include "linear_regression/kel_streaming_least_squares.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "foundation/kel_array_kernels.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace {

// Rows shifted and folded at a time: about 256 KiB of them.
constexpr long long kBlockValues = 32768;

// The state's leading values: columns, intercept (0 or 1), rows; then the origin and T.
constexpr size_t kStateHeader = 3;

size_t stateSize(int columns) {
  const size_t width = static_cast<size_t>(columns) + 1;
  return kStateHeader + width + width * width;
}

}  // namespace

KelStreamingLeastSquares::KelStreamingLeastSquares(int columnsOfF, bool withIntercept,
                                                   std::vector<double> originRow)
    : columns(columnsOfF),
      intercept(withIntercept),
      origin(std::move(originRow)),
      qr(std::max(columnsOfF, 1)) {
  if (columns < 1)
    KelError("%s%s%sKelStreamingLeastSquares\n%d columns", kelClassStreamingLeastSquares,
             kelErrCheck, kelErrConstructor, columns);
  if (origin.size() != static_cast<size_t>(columns) + 1)
    KelError("%s%s%sKelStreamingLeastSquares\n%zu origin values for %d columns and the response",
             kelClassStreamingLeastSquares, kelErrCheck, kelErrConstructor, origin.size(), columns);
  const long long bad = KelFirstNonFinite(static_cast<long long>(origin.size()), origin.data());
  if (bad >= 0)
    KelError("%sNon-finite origin\ncolumn %lld = %s", kelClassStreamingLeastSquares, bad + 1,
             KelNonFiniteText(origin[static_cast<size_t>(bad)]));
}

void KelStreamingLeastSquares::AddRows(long long count, const double* values) {
  const int width = columns + 1;
  if (count < 0 || (count > 0 && values == nullptr))
    KelError("%s%s%sAddRows\n%lld rows", kelClassStreamingLeastSquares, kelErrCheck, kelErrFunction,
             count);
  const long long bad = KelFirstNonFinite(count * width, values);
  if (bad >= 0)
    KelError("%sNon-finite data\nrow %lld, column %lld = %s", kelClassStreamingLeastSquares,
             rows + bad / width + 1, bad % width + 1, KelNonFiniteText(values[bad]));
  if (!intercept) {
    qr.AddRows(count, values);
    rows += count;
    return;
  }
  const long long chunkRows = std::max<long long>(8, kBlockValues / width);
  for (long long first = 0; first < count; first += chunkRows) {
    const long long blockRows = std::min(chunkRows, count - first);
    shifted.assign(values + first * width, values + (first + blockRows) * width);
    for (long long i = 0; i < blockRows; ++i) {
      double* row = shifted.data() + i * width;
      row[0] = 1.0;
      for (int j = 1; j < width; ++j) row[j] -= origin[static_cast<size_t>(j)];
    }
    qr.AddRows(blockRows, shifted.data());
  }
  rows += count;
}

void KelStreamingLeastSquares::Merge(const KelStreamingLeastSquares& other) {
  if (other.columns != columns)
    KelError("%s%s%sMerge\n%d and %d columns", kelClassStreamingLeastSquares, kelErrCheck,
             kelErrFunction, columns, other.columns);
  if (other.intercept != intercept)
    KelError("%s%s%sMerge\none fit has an intercept, the other none", kelClassStreamingLeastSquares,
             kelErrCheck, kelErrFunction);
  if (intercept && other.origin != origin)
    KelError("%s%s%sMerge\nthe origins differ", kelClassStreamingLeastSquares, kelErrCheck,
             kelErrFunction);
  qr.Merge(other.qr);
  rows += other.rows;
}

std::vector<double> KelStreamingLeastSquares::State() const {
  std::vector<double> state = {static_cast<double>(columns), intercept ? 1.0 : 0.0,
                               static_cast<double>(rows)};
  state.insert(state.end(), origin.begin(), origin.end());
  const KelMatrix T = qr.Triangle();
  state.insert(state.end(), T.Data(), T.Data() + T.Rows() * T.Columns());
  return state;
}

void KelStreamingLeastSquares::MergeState(const std::vector<double>& state) {
  if (state.size() != stateSize(columns) || state[0] != columns)
    KelError("%s%s%sMergeState\na state of %zu values, %zu expected for %d columns",
             kelClassStreamingLeastSquares, kelErrCheck, kelErrFunction, state.size(),
             stateSize(columns), columns);
  const long long stateRows = static_cast<long long>(state[2]);
  const size_t width = static_cast<size_t>(columns) + 1;
  const std::vector<double> stateOrigin(state.begin() + kStateHeader,
                                        state.begin() + kStateHeader + width);
  const bool stateIntercept = state[1] != 0.0;
  if (stateIntercept != intercept || (intercept && stateOrigin != origin) || stateRows < 0 ||
      static_cast<double>(stateRows) != state[2])
    KelError("%s%s%sMergeState\nthe state is of another intercept, origin or row count",
             kelClassStreamingLeastSquares, kelErrCheck, kelErrFunction);
  // The other accumulator's rows are represented by its triangle: folding T's rows is a merge.
  qr.AddRows(static_cast<long long>(width), state.data() + kStateHeader + width);
  rows += stateRows;
}
