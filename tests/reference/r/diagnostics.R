# Regression diagnostics of lm on three of R's data sets, exported as CSV files with a header
# row (the form the `kelmath regress` command reads) together with every value the command
# and the library's diagnostic accessors report: coefficients, standard errors, t and P values,
# 95 % intervals (confint), centred variance inflation factors (car::vif), sigma, R^2, adjusted
# R^2, the overall F test, log-likelihood, AIC, BIC, the studentized Breusch-Pagan test
# (lmtest::bptest), leverages (hatvalues), Cook's distances and externally studentized
# residuals (rstudent), by data row. The model matrix F and the response y of the rows used are
# written too, for tests that build the regression directly.
# Writes <name>.csv and diagnostics_<name>.txt.
# Run from this folder: Rscript diagnostics.R

source("common.R")
suppressPackageStartupMessages({ library(car); library(lmtest) })

write_csv <- function(df, path) {
  write.csv(df, path, row.names = FALSE, na = "NA")
}

analyse_csv <- function(name, data, response, columns, intercept = TRUE) {
  rhs <- paste(sprintf("`%s`", columns), collapse = " + ")
  if (!intercept) rhs <- paste("0 +", rhs)
  fo <- as.formula(paste(sprintf("`%s`", response), "~", rhs))
  fit <- lm(fo, data = data)  # na.action = na.omit: rows with a missing used value are dropped
  stopifnot(fit$rank == length(coef(fit)))
  sm <- summary(fit)
  used <- as.integer(rownames(model.frame(fit)))
  dropped <- setdiff(seq_len(nrow(data)), used)
  co <- sm$coefficients
  ci <- confint(fit, level = 0.95)
  ci99 <- confint(fit, level = 0.99)
  v <- suppressWarnings(car::vif(fit))
  vif <- if (intercept) c(0, unname(v)) else unname(v)
  fst <- sm$fstatistic
  fp <- pf(fst[["value"]], fst[["numdf"]], fst[["dendf"]], lower.tail = FALSE)
  bp <- lmtest::bptest(fit)  # studentized (Koenker) form, the default
  X <- model.matrix(fit)
  kv <- kv_open(sprintf("diagnostics_%s.txt", name))
  kv$comment(sprintf("%s: lm(%s, data = read.csv(\"%s.csv\"))", R.version.string,
                     deparse(fo), name))
  kv$scalar("response", response)
  kv$scalar("intercept", as.integer(intercept))
  kv$scalar("rows", nrow(data))
  kv$scalar("rows_used", length(used))
  kv$scalar("dropped_count", length(dropped))
  if (length(dropped) > 0) kv$vector("dropped", as.integer(dropped))
  kv$scalar("parameters", ncol(X))
  kv$vector("name", colnames(X))
  kv$comment("summary(fit)$coefficients, confint(fit, level = 0.95 and 0.99)")
  kv$vector("estimate", unname(co[, 1]))
  kv$vector("std_error", unname(co[, 2]))
  kv$vector("t_value", unname(co[, 3]))
  kv$vector("p_value", unname(co[, 4]))
  kv$vector("ci95_low", unname(ci[, 1]))
  kv$vector("ci95_high", unname(ci[, 2]))
  kv$vector("ci99_low", unname(ci99[, 1]))
  kv$vector("ci99_high", unname(ci99[, 2]))
  kv$comment("car::vif(fit) (0 for the intercept)")
  kv$vector("vif", vif)
  kv$comment("summary(fit): sigma, r.squared, adj.r.squared, fstatistic and its P value")
  kv$scalar("sigma", sm$sigma)
  kv$scalar("r_squared", sm$r.squared)
  kv$scalar("adj_r_squared", sm$adj.r.squared)
  kv$scalar("f_statistic", fst[["value"]])
  kv$scalar("f_numdf", fst[["numdf"]])
  kv$scalar("f_dendf", fst[["dendf"]])
  kv$scalar("f_p_value", fp)
  kv$comment("logLik(fit), AIC(fit), BIC(fit)")
  kv$scalar("log_likelihood", as.numeric(logLik(fit)))
  kv$scalar("aic", AIC(fit))
  kv$scalar("bic", BIC(fit))
  kv$comment("lmtest::bptest(fit)")
  kv$scalar("bp_statistic", unname(bp$statistic))
  kv$scalar("bp_df", unname(bp$parameter))
  kv$scalar("bp_p_value", unname(bp$p.value))
  kv$comment("per row used (i = 1..rows_used): data row, fitted, residuals, hatvalues, ",
             "cooks.distance, rstudent")
  kv$vector("row", used)
  kv$vector("fitted", unname(fitted(fit)))
  kv$vector("residual", unname(residuals(fit)))
  kv$vector("leverage", unname(hatvalues(fit)))
  kv$vector("cooks_distance", unname(cooks.distance(fit)))
  kv$vector("studentized_residual", unname(rstudent(fit)))
  kv$comment("model matrix F (rows used) and response y")
  kv$matrix("F", unname(X))
  kv$vector("y", unname(model.response(model.frame(fit))))
  kv$close()
}

cars_data <- data.frame(model = rownames(mtcars), mtcars, check.names = FALSE)
write_csv(cars_data, "mtcars.csv")
write_csv(airquality, "airquality.csv")
write_csv(swiss, "swiss.csv")

mt <- read.csv("mtcars.csv", check.names = FALSE)
aq <- read.csv("airquality.csv", check.names = FALSE)
sw <- read.csv("swiss.csv", check.names = FALSE)
analyse_csv("mtcars", mt, "mpg", c("wt", "hp", "qsec", "am"))
analyse_csv("airquality", aq, "Ozone", c("Solar.R", "Wind", "Temp"))
analyse_csv("swiss", sw, "Fertility", setdiff(names(sw), "Fertility"))
analyse_csv("swiss_no_intercept", sw, "Fertility", setdiff(names(sw), "Fertility"),
            intercept = FALSE)
