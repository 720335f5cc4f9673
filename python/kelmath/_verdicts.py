"""The decisions of the library's linear reports as plain values (OLSResults.verdicts)."""
from dataclasses import dataclass

from ._labels import row_labels


@dataclass(frozen=True)
class Verdicts:
    """What the library's least-squares, singular value and robust reports and the command's
    summary decide about a fit, as computed there (the thresholds are the guide's table "Verdicts
    at a glance").

    conditioning: "none", "ill_conditioned" (condition number above 1000) or
        "must_be_normalized" (balancing lowers it more than 100 times, or the balanced and plain
        solutions differ by more than 10 %), with ``ill_conditioned``, ``badly_scaled``,
        ``solutions_disagree``, ``condition_number`` and ``system_conditioning`` behind it.
    multicollinearity: any of the correlation (> 0.99), variance inflation (> 1000), tolerance
        (< 0.01) and column correlation (< 0.1) tests; ``principal_components`` the singular
        value analysis' verdict.
    normality: "consistent", "probably_violated" or "violated" by ``normality_index`` (the
        correlation of the sorted normalized residuals with their plotting positions: above 0.95,
        above 0.9); ``normality_rejected`` when not "consistent". The index is not a test: it has
        no P value.
    outlier: the row that leaving out lowers the mean square error below 0.5 (``outlier_kind``
        "highly_probable") or 0.8 ("probable") of the fit's, else None ("none").
    robust_outliers: the rows beyond 2.5 robust scales of the least-median-of-squares fit;
        ``homoscedasticity`` the robust report's verdict ("verified", "possibly_violated",
        "probably_violated", "violated").
    heteroscedasticity: ``breusch_pagan`` (the studentized statistic), ``breusch_pagan_df`` and
        ``breusch_pagan_pvalue`` of the command's summary (NaN where undefined).
    influential_rows: the rows the command's summary flags (Cook's distance > 4/m, |studentized
        residual| > 3 or leverage > 2n/m).
    """

    conditioning: str
    ill_conditioned: bool
    badly_scaled: bool
    solutions_disagree: bool
    condition_number: float
    system_conditioning: float
    multicollinearity: bool
    principal_components: bool
    normality: str
    normality_index: float
    normality_rejected: bool
    outlier: object
    outlier_kind: str
    robust_outliers: tuple
    homoscedasticity: str
    breusch_pagan: float
    breusch_pagan_df: int
    breusch_pagan_pvalue: float
    influential_rows: tuple


def verdicts_of(values, breusch_pagan, index):
    """The Verdicts of the compiled core's _LinearVerdicts, rows labelled by index."""
    if values.highly_probable_outlier:
        outlier, kind = values.highly_probable_outlier, "highly_probable"
    elif values.probable_outlier:
        outlier, kind = values.probable_outlier, "probable"
    else:
        outlier, kind = None, "none"
    statistic, dof, pvalue = breusch_pagan
    return Verdicts(
        conditioning=values.conditioning,
        ill_conditioned=values.ill_conditioned,
        badly_scaled=values.badly_scaled,
        solutions_disagree=values.solutions_disagree,
        condition_number=values.condition_number,
        system_conditioning=values.system_conditioning,
        multicollinearity=values.multicollinearity,
        principal_components=values.principal_components,
        normality=values.normality,
        normality_index=values.normality_index,
        normality_rejected=values.normality != "consistent",
        outlier=None if outlier is None else row_labels([outlier], index)[0],
        outlier_kind=kind,
        robust_outliers=tuple(row_labels(values.robust_outliers, index)),
        homoscedasticity=values.homoscedasticity,
        breusch_pagan=statistic,
        breusch_pagan_df=dof,
        breusch_pagan_pvalue=pvalue,
        influential_rows=tuple(row_labels(values.influential_rows, index)),
    )
