# Real data sets that ship with R, for the least-median-of-squares quality checks: the data,
# MASS::lqs(method = "lms") with its default sampling, and lqs's fit evaluated on the library's
# criterion median(r^2) (R's median() is the library's median rule). Writes lms_data_<name>.txt.
# Run from this folder: Rscript lms_datasets.R
#
# The tests compute the exact minimum of the library's criterion themselves for odd m (the
# Chebyshev fits of all (n+1)-subsets). For even m and two parameters this script adds it
# (libcrit.exact_min): Chebyshev fits plus the equality-constrained candidates of lms.R.
# "leverage" is the data of the leverage_regression program (not an R data set).

source("common.R")
source("lms_exact.R")
suppressPackageStartupMessages(library(MASS))
leverage <- data.frame(x = c(1:12, 25, 28),
                       y = c(1.504, 2.046, 2.454, 3.035, 3.593, 4.041, 4.656, 4.911, 5.507,
                             5.929, 6.422, 6.982, 3.0, 2.2))

sets <- list(
  leverage = list(desc = "leverage_regression data, y ~ x", data = leverage, formula = y ~ x),
  cars = list(desc = "datasets::cars, dist ~ speed", data = cars, formula = dist ~ speed),
  trees = list(desc = "datasets::trees, Volume ~ Girth + Height", data = trees,
               formula = Volume ~ Girth + Height),
  hills = list(desc = "MASS::hills, time ~ dist + climb", data = hills,
               formula = time ~ dist + climb),
  stackloss = list(desc = "datasets::stackloss, stack.loss ~ Air.Flow + Water.Temp + Acid.Conc.",
                   data = stackloss, formula = stack.loss ~ .),
  savings = list(desc = "datasets::LifeCycleSavings, sr ~ pop15 + pop75 + dpi + ddpi",
                 data = LifeCycleSavings, formula = sr ~ .),
  swiss = list(desc = "datasets::swiss, Fertility ~ the five other columns", data = swiss,
               formula = Fertility ~ .)
)

for (name in names(sets)) {
  s <- sets[[name]]
  F <- model.matrix(s$formula, s$data)
  y <- model.response(model.frame(s$formula, s$data))
  m <- nrow(F); n <- ncol(F)
  set.seed(1)
  fit <- lqs(s$formula, data = s$data, method = "lms")
  b <- unname(fit$coefficients)
  w <- kv_open(sprintf("lms_data_%s.txt", name))
  w$comment(sprintf("lms_data_%s: %s (intercept first)", name, s$desc))
  w$comment("R ", R.version$major, ".", R.version$minor, ", MASS ", as.character(packageVersion("MASS")))
  w$scalar("m", m); w$scalar("n", n)
  w$matrix("F", unname(F))
  w$vector("y", unname(as.numeric(y)))
  w$blank()
  w$comment("set.seed(1); MASS::lqs(formula, data, method = 'lms')  [nsamp = 'best', adjust = TRUE]")
  w$vector("lqs.coefficient", b)
  w$scalar("lqs.lib_median_sq", lib_median(as.vector((y - F %*% b)^2)))
  if (m %% 2 == 0 && n == 2) {
    cheb <- Filter(Negate(is.null), lapply(combn(m, n + 1, simplify = FALSE),
                                           function(S) cheb_fit(F, y, S)))
    cands <- c(lapply(cheb, `[[`, "b"), exact_even(F, y))
    vals <- sapply(cands, function(b) libcrit(F, y, b))
    w$blank()
    w$comment("Exact minimum of median(r^2) (even m): the least value over the Chebyshev fits of all")
    w$comment("(n+1)-subsets and the equality-constrained candidates of lms_exact.R (", length(cands), " candidates)")
    w$scalar("libcrit.exact_min", min(vals))
    w$vector("libcrit.exact_coefficient", cands[[which.min(vals)]])
  }
  w$close()
  cat(sprintf("%s: m %d n %d lqs lib_median_sq %.10g\n", name, m, n, lib_median(as.vector((y - F %*% b)^2))))
}
