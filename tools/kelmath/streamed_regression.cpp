#include "streamed_regression.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "csv_stream.h"
#include "flagged_rows.h"
#include "linear_regression/kel_streaming_diagnostics.h"
#include "linear_regression/kel_streaming_least_squares.h"
#include "name_text.h"
#include "observations_csv.h"
#include "order_statistic_search.h"
#include "streamed_panels.h"

namespace kelmath_cli {

namespace {

// The --observations lines are handed on in pieces of about this size.
constexpr size_t kLinesPiece = 1u << 20;

// The rank's part of the file, read block by block from its start each pass.
class Part {
 public:
  Part(const StreamedRequest& request, const CsvStreamHeader& header, const CsvByteRange& range)
      : request(request), stream(request.path, header, range) {}

  // Calls visit(rows, values, records) for every block of the part, and dropped(record) for
  // every row dropped for a missing value.
  template <typename Visit, typename Dropped>
  void Read(Visit visit, Dropped dropped) {
    stream.Rewind();
    for (;;) {
      const size_t rows = stream.NextBlock(static_cast<size_t>(request.blockRows));
      for (const int64_t record : stream.DroppedRecords()) dropped(record);
      if (rows == 0) break;
      visit(static_cast<long long>(rows), stream.Values().data(), stream.Records().data());
    }
  }
  template <typename Visit>
  void Read(Visit visit) {
    Read(visit, [](int64_t) {});
  }
  const CsvRowStream& Stream() const { return stream; }

 private:
  const StreamedRequest& request;
  CsvRowStream stream;
};

// Every rank's problem, or none: the lowest failing rank's, on every rank.
std::optional<std::string> Agree(ParallelContext& context, const std::optional<std::string>& mine) {
  const std::optional<RankProblem> agreed = context.AgreeOnProblems(mine);
  if (!agreed) return std::nullopt;
  if (context.Size() == 1) return agreed->message;
  return "rank " + std::to_string(agreed->rank) + ", " + agreed->message;
}

// The first complete row of the file: the origin the rows are taken from before they are
// folded (the same on every rank, since every rank reads it).
std::vector<double> OriginRow(const StreamedRequest& request, const CsvStreamHeader& header) {
  const CsvByteRange whole = RangeOfPart(request.path, header.dataStart, 0, 1);
  if (whole.Ok()) {
    CsvRowStream first(request.path, header, whole);
    if (first.NextBlock(1) == 1)
      return std::vector<double>(first.Values().begin(), first.Values().end());
  }
  return std::vector<double>(header.Width(), 0.0);
}

// What pass 1 leaves: the fit and the counts that number the rows.
struct FirstPass {
  KelScaledLeastSquaresResult fit;
  std::vector<double> origin;
  long long rows = 0;            // used, over all ranks
  long long records = 0;         // data records of the file
  long long recordOffset = 0;    // data records before this rank's part
  std::vector<int> droppedRows;  // on the root: every rank's, ascending
};

// Combines every rank's pass-2 accumulator into each rank's.
void CombineDiagnostics(ParallelContext& context, KelStreamingDiagnostics& diagnostics,
                        const KelScaledLeastSquaresResult& fit, const FirstPass& first,
                        KelCovarianceType type, double largestLeverage) {
  const auto fresh = [&] {
    return KelStreamingDiagnostics(fit, first.rows, type, largestLeverage);
  };
  std::vector<double> state = context.Combine(
      diagnostics.State(), [&](std::vector<double>& into, const std::vector<double>& other) {
        KelStreamingDiagnostics merged = fresh();
        merged.MergeState(into);
        merged.MergeState(other);
        into = merged.State();
      });
  diagnostics = fresh();
  diagnostics.MergeState(state);
}

}  // namespace

ComputedResult ComputeStreamedRegression(const StreamedRequest& request, ParallelContext& context) {
  ComputedResult computed;
  RegressionResult& result = computed.result;
  const auto fail = [&](RegressionProblem kind, std::string text) {
    computed.kind = kind;
    computed.problem = std::move(text);
    return computed;
  };

  // The header and the part: read and split by every rank alike.
  const CsvStreamHeader header =
      ReadCsvStreamHeader(request.path, request.model, request.separator);
  const CsvByteRange range =
      header.Ok() ? RangeOfPart(request.path, header.dataStart, context.Rank(), context.Size())
                  : CsvByteRange{0, 0, header.problem};
  if (const auto problem =
          Agree(context, range.Ok() ? std::nullopt : std::optional<std::string>(range.problem)))
    return fail(RegressionProblem::kDataFile, *problem);
  const int columns = static_cast<int>(header.parameterNames.size());
  const int width = columns + 1;
  const bool intercept = header.intercept;
  Part part(request, header, range);

  // Pass 1: the triangle and the counts.
  FirstPass first;
  first.origin = OriginRow(request, header);
  KelStreamingLeastSquares squares(columns, intercept, first.origin);
  double yLow = HUGE_VAL, yHigh = -HUGE_VAL;
  std::vector<int64_t> droppedLocal;
  part.Read(
      [&](long long rows, const double* values, const int64_t*) {
        squares.AddRows(rows, values);
        for (long long i = 0; i < rows; ++i) {
          const double y = values[i * width + columns];
          yLow = std::min(yLow, y);
          yHigh = std::max(yHigh, y);
        }
      },
      [&](int64_t record) { droppedLocal.push_back(record); });
  const CsvRowStream& stream = part.Stream();
  const long long lineOffset = context.ExclusivePrefixSum(stream.LinesRead());
  first.recordOffset = context.ExclusivePrefixSum(stream.RecordsRead());
  std::optional<std::string> mine;
  if (stream.Problem().Found())
    mine = stream.Problem().At(header.headerLines + lineOffset + stream.Problem().line + 1);
  if (const auto problem = Agree(context, mine))
    return fail(RegressionProblem::kDataFile, *problem);
  std::vector<double> droppedRows;
  for (const int64_t record : droppedLocal)
    droppedRows.push_back(static_cast<double>(first.recordOffset + record + 1));

  const long long rowsBefore = context.ExclusivePrefixSum(squares.Rows());
  std::vector<long long> counts = {squares.Rows(), stream.RecordsRead()};
  context.SumAll(counts);
  first.rows = counts[0];
  first.records = counts[1];
  for (const double row : GatherDoublesToRoot(context, droppedRows))
    first.droppedRows.push_back(static_cast<int>(row));
  std::sort(first.droppedRows.begin(), first.droppedRows.end());
  result.response = header.responseName;
  result.dataRows = static_cast<int>(first.records);
  result.droppedRows = first.droppedRows;
  result.intercept = intercept;
  result.streamedRowsUsed = static_cast<int>(first.rows);

  if (first.rows < width) {
    return fail(RegressionProblem::kDataFile,
                std::to_string(first.rows) + " complete rows (" +
                    std::to_string(first.records - first.rows) +
                    " dropped for missing values), but a model with " + std::to_string(columns) +
                    " parameters needs at least " + std::to_string(width));
  }
  const double highest = context.MaxAll(yHigh), lowest = -context.MaxAll(-yLow);
  if (intercept && highest == lowest)
    return fail(
        RegressionProblem::kConstantResponse,
        "the response '" + ShownName(header.responseName) + "' is constant in the rows used");

  std::vector<double> state = context.Combine(
      squares.State(), [&](std::vector<double>& into, const std::vector<double>& other) {
        KelStreamingLeastSquares merged(columns, intercept, first.origin);
        merged.MergeState(into);
        merged.MergeState(other);
        into = merged.State();
      });
  KelStreamingLeastSquares combined(columns, intercept, first.origin);
  combined.MergeState(state);
  first.fit = combined.Fit();
  const KelScaledLeastSquaresResult& fit = first.fit;
  FillCoefficients(header.parameterNames, fit, result);
  FillModelStatistics(fit, result);

  // Pass 2: the rows' diagnostics, the flagged rows, the Breusch-Pagan regression, the meat and
  // the first histogram of the residuals.
  const int m = static_cast<int>(first.rows);
  const int n = fit.rank;
  const std::vector<long long> ranks = [&] {
    std::vector<long long> wanted;
    for (const double p : {0.25, 0.5, 0.75}) {
      const double position = p * static_cast<double>(m - 1);
      const long long low = static_cast<long long>(std::floor(position));
      wanted.push_back(low);
      wanted.push_back(std::min<long long>(low + 1, m - 1));
    }
    return wanted;
  }();
  OrderStatisticSearch quantiles(m, ranks, fit.sigma);
  const bool needsLargestLeverage = request.covariance == KelCovarianceType::kHC5;
  const KelCovarianceType secondPassType =
      needsLargestLeverage ? KelCovarianceType::kClassical : request.covariance;
  KelStreamingDiagnostics diagnostics(fit, first.rows, secondPassType);
  FlaggedRows flagged;
  std::optional<StreamedPanels> panels;
  if (request.panels) panels.emplace(first.rows, rowsBefore);
  std::vector<double> unitLeverage;
  double smallest = HUGE_VAL, largest = -HUGE_VAL, largestLeverage = 0.0;
  std::string lines;
  std::optional<std::string> beyond;
  std::vector<KelStreamingRow> rowValues(static_cast<size_t>(request.blockRows));
  const bool hetero = request.covariance != KelCovarianceType::kClassical;
  part.Read([&](long long rows, const double* values, const int64_t* records) {
    diagnostics.AddRows(rows, values, rowValues.data());
    for (long long i = 0; i < rows; ++i) {
      const KelStreamingRow& v = rowValues[static_cast<size_t>(i)];
      ObservationRow o;
      o.row = static_cast<int>(first.recordOffset + records[i] + 1);
      o.fitted = v.fitted;
      o.residual = v.residual;
      o.weightedResidual = v.residual;
      o.leverage = v.leverage;
      o.cooksDistance = v.cooksDistance;
      o.studentizedResidual = v.studentizedResidual;
      o.standardizedResidual = v.standardizedResidual;
      if ((!std::isfinite(o.fitted) || !std::isfinite(o.residual)) && !beyond)
        beyond = "the fitted value or residual of row " + std::to_string(o.row) + " of '" +
                 header.responseName + "' is beyond the range of double precision";
      InfluentialRow flags{o.row, 0, o.cooksDistance > CookThreshold(m),
                           std::fabs(o.studentizedResidual) > kStudentizedThreshold,
                           o.leverage > LeverageThreshold(n, m)};
      const bool isFlagged = flags.cook || flags.studentized || flags.leverage;
      if (isFlagged) flagged.Add({o, flags});
      if (panels) panels->AddRow(o, isFlagged);
      if (hetero && KelIsUnitLeverage(o.leverage, n)) unitLeverage.push_back(o.row);
      quantiles.Add(o.residual);
      smallest = std::min(smallest, o.residual);
      largest = std::max(largest, o.residual);
      largestLeverage = std::max(largestLeverage, o.leverage);
      if (request.observationLines) {
        AppendObservationLine(o, flags, &lines);
        if (lines.size() >= kLinesPiece) {
          request.observationLines(lines);
          lines.clear();
        }
      }
    }
  });
  if (request.observationLines && !lines.empty()) request.observationLines(lines);
  if (const auto problem = Agree(context, beyond))
    return fail(RegressionProblem::kBeyondDoubles, *problem);
  CombineDiagnostics(context, diagnostics, fit, first, secondPassType, NAN);
  smallest = -context.MaxAll(-smallest);
  largest = context.MaxAll(largest);
  largestLeverage = context.MaxAll(largestLeverage);
  FlaggedRows allFlagged;  // on the root: every rank's candidates
  for (const std::string& bytes : context.GatherToRoot(flagged.Bytes())) allFlagged.Join(bytes);
  for (const double row : GatherDoublesToRoot(context, unitLeverage))
    result.unitLeverageRows.push_back(static_cast<int>(row));
  std::sort(result.unitLeverageRows.begin(), result.unitLeverageRows.end());
  if (panels) panels->EndSecondPass(context);
  int passes = 2;

  // Passes 3 and on: the residual quantiles, and HC5's meat, whose weights need the largest
  // leverage. The quantile search steps after every pass from the counts of all ranks.
  const auto step = [&] { StepOverRanks(quantiles, context, smallest, largest); };
  step();
  std::optional<KelStreamingDiagnostics> hc5;
  while (!quantiles.Done() || (needsLargestLeverage && !hc5) || (panels && !panels->Done())) {
    ++passes;
    KelStreamingDiagnostics* meat = nullptr;
    if (needsLargestLeverage && !hc5) {
      hc5.emplace(fit, first.rows, KelCovarianceType::kHC5, std::min(largestLeverage, 1.0));
      meat = &*hc5;
    }
    part.Read([&](long long rows, const double* values, const int64_t*) {
      if (meat != nullptr)
        meat->AddRows(rows, values, rowValues.data());
      else
        diagnostics.Values(rows, values, rowValues.data());
      for (long long i = 0; i < rows; ++i) {
        if (!quantiles.Done()) quantiles.Add(rowValues[static_cast<size_t>(i)].residual);
        if (panels && !panels->Done()) panels->AddAgain(rowValues[static_cast<size_t>(i)]);
      }
    });
    if (meat != nullptr)
      CombineDiagnostics(context, *meat, fit, first, KelCovarianceType::kHC5,
                         std::min(largestLeverage, 1.0));
    if (!quantiles.Done()) step();
    if (panels && !panels->Done()) panels->EndPass(context);
  }
  result.passes = passes;

  // The result (its quantiles are the root's alone: the values selected were gathered there).
  const std::vector<double>& q = quantiles.Values();
  result.residualQuantiles[0] = smallest;
  for (int k = 0; k < 3; ++k) {
    const double position = (k + 1) * 0.25 * static_cast<double>(m - 1);
    const double fraction = position - std::floor(position);
    result.residualQuantiles[static_cast<size_t>(k) + 1] =
        q[2 * static_cast<size_t>(k)] +
        fraction * (q[2 * static_cast<size_t>(k) + 1] - q[2 * static_cast<size_t>(k)]);
  }
  result.residualQuantiles[4] = largest;
  const KelStreamingBreuschPagan bp = diagnostics.BreuschPagan();
  result.breuschPagan = bp.statistic;
  result.breuschPaganDof = bp.degreesOfFreedom;
  result.breuschPaganPValue = bp.pValue;
  if (request.covariance != KelCovarianceType::kClassical)
    ApplySandwich(fit, hc5 ? hc5->Covariance() : diagnostics.Covariance(), result);
  StoreFlaggedRows(allFlagged.Candidates(), allFlagged.Count(), result);
  computed.problem = NonFiniteProblem(result);
  if (!computed.Ok()) computed.kind = RegressionProblem::kBeyondDoubles;
  if (panels && computed.Ok() && context.IsRoot()) request.panels(panels->Panels(result));
  return computed;
}

}  // namespace kelmath_cli
