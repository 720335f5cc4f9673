// The subcommands' results as page sections: a table for each list of numbers, a verdict line
// for each decision the summary states (conditioning, influence, outliers, doubtful columns).
#include "command_html.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "html_page.h"
#include "name_text.h"
#include "nls_report.h"
#include "regression_summary.h"

namespace kelmath_cli {

namespace {

// The limits of the verdicts, as the summary applies them.
constexpr double kSignificance = 0.05;
constexpr double kVifWarning = 10.0;
constexpr double kRobustOutlier = 2.5;
// The robust outliers listed on the page: all, or this many of the most extreme.
constexpr size_t kListedOutliers = 10;

std::string Number(double value) {
  return NumberCell(value).text;
}

HtmlSection DataSection(const std::string& fileName, int dataRows, int rowsUsed,
                        const std::vector<int>& droppedRows) {
  HtmlSection section{"Data", {}, {}};
  std::string line = fileName + ": " + FormatCount(static_cast<size_t>(dataRows)) + " data rows, " +
                     FormatCount(static_cast<size_t>(rowsUsed)) + " used";
  section.verdicts.push_back({line, HtmlMark::kNone});
  if (!droppedRows.empty()) {
    section.verdicts.push_back({FormatCount(droppedRows.size()) +
                                    " rows dropped for missing values: " + FormatRows(droppedRows),
                                HtmlMark::kWarning});
  }
  return section;
}

HtmlTable CoefficientTable(const RegressionResult& r, const std::string& caption) {
  HtmlTable table{
      caption,
      {"Coefficient", "Estimate", "Std. Error", "t value", "Pr(>|t|)", "2.5 %", "97.5 %", "VIF"},
      {}};
  for (const CoefficientRow& c : r.coefficients) {
    if (c.aliased) {
      table.rows.push_back(
          {TextCell(ShownName(c.name)), TextCell("NA (aliased)", HtmlMark::kWarning)});
      continue;
    }
    table.rows.push_back(
        {TextCell(ShownName(c.name)), NumberCell(c.estimate), NumberCell(c.stdError),
         NumberCell(c.tValue), PValueCell(c.pValue), NumberCell(c.ciLow), NumberCell(c.ciHigh),
         std::isnan(c.vif)
             ? TextCell("")  // the intercept has none
             : NumberCell(c.vif, c.vif > kVifWarning ? HtmlMark::kWarning : HtmlMark::kNone)});
  }
  return table;
}

std::vector<HtmlVerdict> CoefficientVerdicts(const RegressionResult& r) {
  std::vector<HtmlVerdict> verdicts;
  if (r.Weighted())
    verdicts.push_back(
        {"Weighted least squares, weights from column '" + ShownName(r.weightsName) + "'",
         HtmlMark::kNone});
  if (r.covariance != KelCovarianceType::kClassical) {
    verdicts.push_back(
        {std::string("Standard errors from the ") + KelCovarianceName(r.covariance) + " covariance",
         HtmlMark::kNone});
  }
  if (!r.covarianceDefined) {
    verdicts.push_back({"The covariance is not defined: rows " + FormatRows(r.unitLeverageRows) +
                            " have leverage 1",
                        HtmlMark::kWarning});
  }
  const long aliased = std::count_if(r.coefficients.begin(), r.coefficients.end(),
                                     [](const CoefficientRow& c) { return c.aliased; });
  if (aliased > 0) {
    verdicts.push_back(
        {std::to_string(aliased) +
             " coefficients not defined because of singularities (dependent columns)",
         HtmlMark::kWarning});
  }
  if (r.exactFit)
    verdicts.push_back({"An exact fit: the residuals are at rounding level", HtmlMark::kWarning});
  if (r.illConditioned) {
    verdicts.push_back({"Ill-conditioned columns: condition number " + Number(r.conditionNumber) +
                            ", about " + std::to_string(TrustedDigits(r.conditionNumber)) +
                            " significant digits of the estimates can be trusted",
                        HtmlMark::kWarning});
  } else {
    verdicts.push_back({"Well-conditioned columns: condition number " + Number(r.conditionNumber),
                        HtmlMark::kGood});
  }
  return verdicts;
}

HtmlTable FitTable(const RegressionResult& r) {
  HtmlTable table{"The model's fit", {"Statistic", "Value"}, {}};
  const auto add = [&](const std::string& name, HtmlCell value) {
    table.rows.push_back({TextCell(name), std::move(value)});
  };
  add("Residual standard error", NumberCell(r.sigma));
  add("Residual degrees of freedom", CountCell(r.residualDof));
  add("Multiple R-squared", NumberCell(r.rSquared));
  add("Adjusted R-squared", NumberCell(r.adjRSquared));
  add("F-statistic", NumberCell(r.fStatistic));
  add("F degrees of freedom",
      TextCell(std::to_string(r.fNumeratorDof) + " and " + std::to_string(r.residualDof)));
  add("F p-value", PValueCell(r.fPValue));
  add("Log-likelihood", NumberCell(r.logLikelihood));
  add("AIC", NumberCell(r.aic));
  add("BIC", NumberCell(r.bic));
  if (!std::isnan(r.breuschPagan)) {
    add("Breusch-Pagan", NumberCell(r.breuschPagan));
    add("Breusch-Pagan p-value",
        NumberCell(r.breuschPaganPValue,
                   r.breuschPaganPValue < kSignificance ? HtmlMark::kWarning : HtmlMark::kNone));
  }
  return table;
}

HtmlSection FitSectionOf(const RegressionResult& r, const std::string& heading) {
  HtmlSection section{heading, {}, {FitTable(r)}};
  if (!std::isnan(r.breuschPagan) && !r.Weighted()) {
    if (r.breuschPaganPValue < kSignificance) {
      section.verdicts.push_back(
          {"The residuals' variance changes with the regressors "
           "(Breusch-Pagan p-value " +
               FormatPValue(r.breuschPaganPValue) + ")",
           HtmlMark::kWarning});
    } else {
      section.verdicts.push_back(
          {"No sign that the residuals' variance changes with the "
           "regressors (Breusch-Pagan p-value " +
               FormatPValue(r.breuschPaganPValue) + ")",
           HtmlMark::kGood});
    }
  }
  return section;
}

HtmlSection InfluenceSection(const RegressionResult& r) {
  const int m = r.RowsUsed();
  HtmlSection section{"Influential observations", {}, {}};
  const std::string rules =
      "Cook's distance > 4/m = " + Number(CookThreshold(m)) +
      ", |studentized residual| > 3, leverage > 2n/m = " + Number(LeverageThreshold(r.rank, m));
  if (r.influential.empty()) {
    section.verdicts.push_back({"No row flagged (" + rules + ")", HtmlMark::kGood});
    return section;
  }
  section.verdicts.push_back(
      {FormatCount(r.influential.size()) + " rows flagged (" + rules + ")", HtmlMark::kWarning});
  const std::vector<size_t> shown = ShownInfluential(r);
  HtmlTable table{shown.size() < r.influential.size()
                      ? "The largest Cook's distances and |studentized residuals|"
                      : "",
                  {"Row", "Cook's D", "Stud. res.", "Leverage"},
                  {}};
  const auto mark = [](bool flagged) { return flagged ? HtmlMark::kWarning : HtmlMark::kNone; };
  for (const size_t k : shown) {
    const InfluentialRow& f = r.influential[k];
    const ObservationRow& o = r.observations[static_cast<size_t>(f.observation)];
    table.rows.push_back({CountCell(f.row), NumberCell(o.cooksDistance, mark(f.cook)),
                          NumberCell(o.studentizedResidual, mark(f.studentized)),
                          NumberCell(o.leverage, mark(f.leverage))});
  }
  section.tables.push_back(std::move(table));
  return section;
}

// The outliers of the robust fit: all, or the most extreme by |normalized residual|.
HtmlTable OutlierTable(const RobustResult& robust) {
  std::vector<size_t> order(robust.outlierRows.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  const auto size = [&](size_t k) {
    return std::fabs(
        robust.normalizedResiduals[static_cast<size_t>(robust.outlierObservations[k])]);
  };
  const size_t listed = std::min(kListedOutliers, order.size());
  std::partial_sort(order.begin(), order.begin() + static_cast<long>(listed), order.end(),
                    [&](size_t a, size_t b) { return size(a) > size(b); });
  order.resize(listed);
  HtmlTable table{listed < robust.outlierRows.size() ? "The most extreme outliers" : "Outliers",
                  {"Row", "Normalized robust residual"},
                  {}};
  for (const size_t k : order) {
    const double residual =
        robust.normalizedResiduals[static_cast<size_t>(robust.outlierObservations[k])];
    table.rows.push_back(
        {CountCell(robust.outlierRows[k]), NumberCell(residual, HtmlMark::kWarning)});
  }
  return table;
}

HtmlSection RobustSection(const RegressionResult& r) {
  const RobustResult& robust = r.robust;
  HtmlSection section{"Least median of squares", {}, {}};
  if (robust.outlierRows.empty()) {
    section.verdicts.push_back(
        {"No outliers (|normalized robust residual| > " + Number(kRobustOutlier) + ")",
         HtmlMark::kGood});
  } else {
    section.verdicts.push_back(
        {FormatCount(robust.outlierRows.size()) + " outliers (|normalized robust residual| > " +
             Number(kRobustOutlier) + "), " + FormatCount(robust.highlyProbableRows.size()) +
             " of them highly probable (> 10)",
         HtmlMark::kWarning});
  }
  HtmlTable estimates{"Estimates", {"Coefficient", "Least squares", "Least median of squares"}, {}};
  for (size_t k = 0; k < r.coefficients.size(); ++k) {
    estimates.rows.push_back({TextCell(ShownName(r.coefficients[k].name)),
                              NumberCell(r.coefficients[k].estimate),
                              NumberCell(robust.coefficients[k])});
  }
  section.tables.push_back(std::move(estimates));
  section.tables.push_back(
      {"The robust fit",
       {"Statistic", "Value"},
       {{TextCell("Median of squared residuals"), NumberCell(robust.leastMedianOfSquares)},
        {TextCell("Robust scale"), NumberCell(robust.scale)},
        {TextCell("Robust R-squared"), NumberCell(robust.rSquared)}}});
  if (!robust.outlierRows.empty()) section.tables.push_back(OutlierTable(robust));
  return section;
}

std::string Title(const char* subcommand, const HtmlContext& context) {
  return std::string("kelmath ") + subcommand + ": " + context.fileName;
}

}  // namespace

std::string RegressionHtml(const RegressionResult& result, const HtmlContext& context) {
  HtmlPage page{Title("regress", context),
                context.call,
                {},
                RenderDiagnosticPlots(result),
                context.textSummary};
  page.sections.push_back(
      DataSection(context.fileName, result.dataRows, result.RowsUsed(), result.droppedRows));
  page.sections.push_back({"Coefficients",
                           CoefficientVerdicts(result),
                           {CoefficientTable(result, "Response: " + ShownName(result.response))}});
  page.sections.push_back(FitSectionOf(result, "Fit"));
  page.sections.push_back(InfluenceSection(result));
  if (result.hasRobust) page.sections.push_back(RobustSection(result));
  return RenderHtmlPage(page);
}

std::string RobustHtml(const RobustAnalysis& analysis, const HtmlContext& context) {
  const RegressionResult& r = analysis.fit;
  HtmlPage page{
      Title("robust", context), context.call, {}, {RenderRobustPlot(r)}, context.textSummary};
  page.sections.push_back(DataSection(context.fileName, r.dataRows, r.RowsUsed(), r.droppedRows));
  page.sections.push_back(RobustSection(r));
  if (!analysis.HasReweighted()) {
    page.sections.push_back({"Reweighted least squares",
                             {{"Not fitted: " + analysis.reweightedProblem, HtmlMark::kWarning}},
                             {}});
  } else {
    const RegressionResult& w = analysis.reweighted;
    const std::string rows = r.robust.outlierRows.empty()
                                 ? std::string("every row (no outliers)")
                                 : "the " + FormatCount(static_cast<size_t>(w.RowsUsed())) +
                                       " rows that are not outliers";
    std::vector<HtmlVerdict> verdicts{{"Least squares of " + rows, HtmlMark::kNone}};
    for (HtmlVerdict& v : CoefficientVerdicts(w)) verdicts.push_back(std::move(v));
    page.sections.push_back({"Reweighted least squares",
                             std::move(verdicts),
                             {CoefficientTable(w, "Response: " + ShownName(w.response))}});
    page.sections.push_back(FitSectionOf(w, "Reweighted fit"));
  }
  return RenderHtmlPage(page);
}

std::string StepwiseHtml(const StepwiseSelection& selection, const HtmlContext& context) {
  HtmlPage page{Title("stepwise", context), context.call, {}, {}, context.textSummary};
  page.sections.push_back(
      DataSection(context.fileName, selection.dataRows, selection.rowsUsed, selection.droppedRows));
  HtmlSection models{"The best model of every size", {}, {}};
  if (selection.suggested > 0) {
    models.verdicts.push_back({"Suggested: the model of " + std::to_string(selection.suggested) +
                                   " parameters, the largest whose every |t| is at least " +
                                   Number(kStepwiseDoubtfulT),
                               HtmlMark::kGood});
  } else {
    models.verdicts.push_back(
        {"No model has every |t| at least " + Number(kStepwiseDoubtfulT), HtmlMark::kWarning});
  }
  HtmlTable table{"", {"Parameters", "Mean square error", "Columns (|t|)", "Verdict"}, {}};
  for (const SelectedModel& model : selection.models) {
    if (!model.found) {
      table.rows.push_back({CountCell(model.parameters), TextCell("not reached by the search")});
      continue;
    }
    std::string columns;
    for (const SelectedColumn& c : model.columns) {
      if (!columns.empty()) columns += ", ";
      columns += ShownName(c.name);
      if (!std::isnan(c.tValue)) columns += " (" + Number(c.tValue) + ")";
    }
    const bool suggested = model.parameters == selection.suggested;
    table.rows.push_back(
        {CountCell(model.parameters), NumberCell(model.meanSquareError), TextCell(columns),
         suggested ? TextCell("suggested", HtmlMark::kGood)
         : model.doubtful
             ? TextCell("a column with |t| < " + Number(kStepwiseDoubtfulT), HtmlMark::kWarning)
             : TextCell("")});
  }
  models.tables.push_back(std::move(table));
  page.sections.push_back(std::move(models));
  return RenderHtmlPage(page);
}

namespace {

HtmlSection NlsFitSection(const NlsAnalysis& analysis, const NlsFit& fit,
                          const std::string& heading) {
  // With known variances the weighted residuals are in units of the known standard deviations.
  const bool known = analysis.weighting == NlsWeighting::kVarianceColumn ||
                     analysis.weighting == NlsWeighting::kVariance;
  HtmlSection section{heading, {}, {}};
  section.verdicts.push_back({"Formula: " + fit.formula, HtmlMark::kNone});
  if (fit.Converged()) {
    section.verdicts.push_back({"Estimation " + StopText(fit.stopReason), HtmlMark::kGood});
  } else {
    section.verdicts.push_back(
        {"Estimation " + StopText(fit.stopReason) + ": these are not least-squares estimates",
         HtmlMark::kWarning});
  }
  HtmlTable parameters{
      "Parameters", {"Parameter", "Estimate", "Std. Error", "t value", "Pr(>|t|)"}, {}};
  for (const NlsParameterRow& p : fit.parameters) {
    parameters.rows.push_back({TextCell(ShownName(p.name)), NumberCell(p.estimate),
                               NumberCell(p.stdError), NumberCell(p.tValue), PValueCell(p.pValue)});
  }
  section.tables.push_back(std::move(parameters));
  section.tables.push_back(
      {"The fit",
       {"Statistic", "Value"},
       {{TextCell(known ? "Residual standard error (in known standard deviations)"
                        : "Residual standard error"),
         NumberCell(fit.sigma)},
        {TextCell("Residual degrees of freedom"), CountCell(fit.residualDof)},
        {TextCell("Residual sum of squares"), NumberCell(fit.rss)},
        {TextCell("At the start"), NumberCell(fit.initialRss)},
        {TextCell("Iterations"), CountCell(fit.iterations)},
        {TextCell("Model evaluations"), CountCell(fit.evaluations)}}});
  return section;
}

HtmlSection NlsComparisonSection(const NlsComparison& comparison) {
  HtmlSection section{"Comparison of the rival models", {}, {}};
  HtmlTable table{"", {"Model", "Value", "Ratio to the best"}, {}};
  if (comparison.tested) {
    table.heads.insert(table.heads.end(), {"Statistic", "P value", "Verdict"});
  } else {
    section.verdicts.push_back(
        {"Without known variances the models are ranked by their sums of "
         "squares; no P value tests the fit",
         HtmlMark::kNone});
  }
  for (size_t k = 0; k < comparison.rows.size(); ++k) {
    const NlsComparisonRow& row = comparison.rows[k];
    std::vector<HtmlCell> cells{CountCell(k + 1), NumberCell(row.value), NumberCell(row.ratio)};
    if (comparison.tested) {
      cells.push_back(NumberCell(row.statistic));
      cells.push_back(NumberCell(row.probability));
      cells.push_back(row.rejected ? TextCell("rejected", HtmlMark::kWarning)
                                   : TextCell("not rejected", HtmlMark::kGood));
    }
    table.rows.push_back(std::move(cells));
  }
  section.tables.push_back(std::move(table));
  return section;
}

HtmlSection NlsDesignSection(const NlsAnalysis& analysis, const NlsDesign& design) {
  HtmlSection section{"The next experiment", {}, {}};
  section.verdicts.push_back(
      {FormatCount(static_cast<size_t>(design.candidates)) + " candidate experiments searched",
       HtmlMark::kNone});
  HtmlTable suggestions{"Each model's suggestions", {"Model", "Chosen as", "Experiment"}, {}};
  for (size_t k = 0; k < design.models.size(); ++k) {
    const NlsModelSuggestions& s = design.models[k];
    const auto add = [&](const std::string& how, const NlsExperiment& experiment) {
      suggestions.rows.push_back(
          {CountCell(k + 1), TextCell(how), TextCell(ExperimentText(analysis, experiment))});
    };
    if (s.criterion != 0)
      add(std::string(CriterionName(s.criterion)) + " criterion", s.byCriterion);
    add("farthest from the experiments", s.xDistance);
    add("most different sensitivities", s.fDistance);
    add("farthest, in principal axes", s.xDistancePrincipal);
    add("most different sensitivities, in principal axes", s.fDistancePrincipal);
  }
  section.tables.push_back(std::move(suggestions));
  if (!design.couples.empty()) {
    HtmlTable couples{
        "The best experiment for each couple of models", {"Models", "Tij", "Experiment"}, {}};
    for (const NlsCouple& couple : design.couples) {
      couples.rows.push_back(
          {TextCell(std::to_string(couple.first) + " and " + std::to_string(couple.second)),
           NumberCell(couple.tij), TextCell(ExperimentText(analysis, couple.where))});
    }
    section.tables.push_back(std::move(couples));
    section.verdicts.push_back(
        {"Discriminating experiment: " + ExperimentText(analysis, design.discrimination),
         design.discrimination.empty() ? HtmlMark::kWarning : HtmlMark::kGood});
  }
  section.verdicts.push_back(
      {"Balanced next experiment: " + ExperimentText(analysis, design.balanced), HtmlMark::kGood});
  return section;
}

}  // namespace

std::string NlsHtml(const NlsAnalysis& analysis, const HtmlContext& context) {
  HtmlPage page{Title("nls", context), context.call, {}, {}, context.textSummary};
  page.sections.push_back(DataSection(context.fileName, static_cast<int>(analysis.dataRows),
                                      static_cast<int>(analysis.rowsUsed), analysis.droppedRows));
  for (size_t k = 0; k < analysis.fits.size(); ++k) {
    const std::string heading =
        analysis.fits.size() > 1 ? "Model " + std::to_string(k + 1) : std::string("Model");
    page.sections.push_back(NlsFitSection(analysis, analysis.fits[k], heading));
  }
  if (analysis.comparison) page.sections.push_back(NlsComparisonSection(*analysis.comparison));
  if (analysis.design) page.sections.push_back(NlsDesignSection(analysis, *analysis.design));
  return RenderHtmlPage(page);
}

std::string PredictionHtml(const Predictions& predictions, IntervalKind interval, double level,
                           const std::string& newFile, const HtmlContext& context) {
  HtmlPage page{Title("predict", context), context.call, {}, {}, context.textSummary};
  HtmlSection section{"Predictions for " + newFile, {}, {}};
  const size_t rows = predictions.rows.size();
  std::string what = FormatCount(rows) + " new rows";
  if (interval != IntervalKind::kNone) {
    what += interval == IntervalKind::kConfidence ? ", confidence intervals of the mean response"
                                                  : ", prediction intervals of a new observation";
    what += " at level " + Number(level);
  }
  section.verdicts.push_back({what, HtmlMark::kNone});
  if (predictions.rankDeficient) {
    section.verdicts.push_back(
        {"The fit dropped dependent columns: predictions from a rank-deficient fit may be "
         "misleading",
         HtmlMark::kWarning});
  }
  if (predictions.unitPredictionWeights) {
    section.verdicts.push_back(
        {"A weighted fit: each new observation is taken with weight 1", HtmlMark::kWarning});
  }
  const size_t listed = std::min(rows, kHtmlPredictionRows);
  HtmlTable table{
      listed < rows ? "The first " + FormatCount(listed) + " rows" : "", {"Row", "fit"}, {}};
  if (interval != IntervalKind::kNone) {
    table.heads.push_back("lwr");
    table.heads.push_back("upr");
  }
  for (size_t k = 0; k < listed; ++k) {
    const PredictedRow& p = predictions.rows[k];
    std::vector<HtmlCell> row{CountCell(k + 1), NumberCell(p.fit)};
    if (interval != IntervalKind::kNone) {
      row.push_back(NumberCell(p.lower));
      row.push_back(NumberCell(p.upper));
    }
    table.rows.push_back(std::move(row));
  }
  section.tables.push_back(std::move(table));
  page.sections.push_back(std::move(section));
  return RenderHtmlPage(page);
}

}  // namespace kelmath_cli
