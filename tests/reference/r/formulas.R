# lm(formula, data) on R's data sets with factors, transformations and interactions, for the
# kelmath command's --formula. For every case: the formula, the reference levels it sets (by
# relevel), the rows used and dropped, the coefficient names in R's order, estimates, standard
# errors, t values, P values, sigma, R^2, adjusted R^2, the F test, AIC and BIC (AIC(fit) and
# BIC(fit)). A weighted case (lm(weights = column)) also gives each row's residual, weighted
# residual, leverage, Cook's distance and studentized residual, and the HC3 standard errors
# (sandwich::vcovHC). The data are written as CSV files (formula_<data>.csv) with write.csv, NA for
# missing values.
# Writes formula_<case>.txt and the CSV files. Run from this folder: Rscript formulas.R
source("common.R")
suppressPackageStartupMessages(library(MASS))
suppressPackageStartupMessages(library(sandwich))

datasets <- list(
  cars93 = Cars93[, c("Price", "Weight", "Type", "Origin", "MPG.city", "Rear.seat.room")],
  iris = iris,
  tooth = ToothGrowth,
  warpbreaks = warpbreaks,
  mtcars = mtcars,
  airquality = airquality
)
for (name in names(datasets))
  write.csv(datasets[[name]], sprintf("formula_%s.csv", name), row.names = FALSE)

# Each case: data set, formula, reference levels "factor=level" (empty for none), and optionally
# the column of weights.
cases <- list(
  list("cars93_interaction", "cars93", "log(Price) ~ Weight + I(Weight^2) + Type + Weight:Type", ""),
  list("cars93_reference", "cars93", "log(Price) ~ Weight + Type", "Type=Small"),
  list("cars93_missing", "cars93", "MPG.city ~ log(Weight) + Origin + Rear.seat.room", ""),
  list("iris_dots", "iris", "Sepal.Length ~ Species * Petal.Width", ""),
  list("tooth_factor_call", "tooth", "len ~ supp * factor(dose)", ""),
  list("tooth_no_margin", "tooth", "len ~ dose:supp", ""),
  list("warpbreaks_no_intercept", "warpbreaks", "breaks ~ 0 + wool + tension", ""),
  list("warpbreaks_star", "warpbreaks", "log(breaks) ~ wool * tension", ""),
  list("mtcars_mixed", "mtcars", "mpg ~ log(hp) + factor(cyl) + am:wt + I(disp/100)", ""),
  list("mtcars_power", "mtcars", "mpg ~ (wt + hp + qsec)^2 - hp:qsec", ""),
  list("mtcars_dot", "mtcars", "mpg ~ . - disp - drat", ""),
  list("airquality_dropped", "airquality", "log(Ozone) ~ Solar.R + Wind + I(Temp - 70) + factor(Month)", ""),
  list("mtcars_weighted", "mtcars", "mpg ~ wt + factor(cyl)", "", "hp"),
  list("cars93_weighted", "cars93", "log(Price) ~ Weight + Type", "Type=Small", "MPG.city"),
  list("iris_weighted", "iris", "Sepal.Length ~ Species * Petal.Width", "", "Sepal.Width"),
  list("airquality_weighted", "airquality", "log(Ozone) ~ Solar.R + Wind + factor(Month)", "", "Temp")
)

for (case in cases) {
  data <- datasets[[case[[2]]]]
  data[] <- lapply(data, function(v) if (is.factor(v)) as.character(v) else v)
  if (nchar(case[[4]]) > 0) {
    parts <- strsplit(case[[4]], "=")[[1]]
    data[[parts[1]]] <- relevel(factor(data[[parts[1]]]), ref = parts[2])
  }
  weights <- if (length(case) >= 5) case[[5]] else ""
  fit <- if (nchar(weights) > 0) {
    data$.w <- data[[weights]]
    lm(as.formula(case[[3]]), data = data, weights = .w)
  } else {
    lm(as.formula(case[[3]]), data = data)
  }
  s <- summary(fit)
  co <- coef(s)
  kv <- kv_open(sprintf("formula_%s.txt", case[[1]]))
  kv$comment(sprintf("%s: fit <- lm(%s, data = formula_%s.csv%s)%s", R.version.string, case[[3]],
                     case[[2]], if (nchar(weights) > 0) sprintf(", weights = %s", weights) else "",
                     if (nchar(case[[4]]) > 0) sprintf(", reference %s", case[[4]]) else ""))
  kv$scalar("formula", case[[3]])
  kv$scalar("reference", case[[4]])
  kv$scalar("data", case[[2]])
  kv$scalar("rows_used", nobs(fit))
  kv$scalar("rows_dropped", nrow(data) - nobs(fit))
  kv$scalar("parameters", nrow(co))
  kv$vector("name", rownames(co))
  kv$vector("estimate", unname(co[, 1]))
  kv$vector("se", unname(co[, 2]))
  kv$vector("t", unname(co[, 3]))
  kv$vector("p", unname(co[, 4]))
  kv$scalar("sigma", s$sigma)
  kv$scalar("r2", s$r.squared)
  kv$scalar("adj_r2", s$adj.r.squared)
  kv$scalar("f", unname(s$fstatistic[1]))
  kv$scalar("f_p", unname(pf(s$fstatistic[1], s$fstatistic[2], s$fstatistic[3], lower.tail = FALSE)))
  kv$scalar("aic", AIC(fit))
  kv$scalar("bic", BIC(fit))
  if (nchar(weights) > 0) {
    kv$scalar("weights", weights)
    kv$vector("row", match(names(residuals(fit)), rownames(data)))
    kv$vector("residual", unname(residuals(fit)))
    kv$vector("weighted_residual", unname(weighted.residuals(fit)))
    kv$vector("leverage", unname(hatvalues(fit)))
    kv$vector("cooks", unname(cooks.distance(fit)))
    kv$vector("rstudent", unname(rstudent(fit)))
    kv$vector("se_hc3", unname(sqrt(diag(vcovHC(fit, type = "HC3")))))
  }
  kv$close()
}
