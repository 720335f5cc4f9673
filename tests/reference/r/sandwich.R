# Heteroskedasticity- and cluster-robust covariances of lm fits on R's data sets, with the
# inference that follows from each: sandwich::vcovHC (types HC0..HC4, HC4m, HC5), sandwich::vcovCL (its
# default for lm: type "HC1", cadjust = TRUE, i.e. G/(G-1) (m-1)/(m-p); one clustering variable,
# and two as V_1 + V_2 - V_12 with multi0 = FALSE), and vcov(fit) as "classical". For every
# covariance: standard errors, t values, two-sided P values (pt on the residual degrees of
# freedom, as lmtest::coeftest does for lm), 95 % and 90 % intervals (qt likewise), and Wald F
# tests of two linear hypotheses R b = r, F = (Rb - r)' (R V R')^-1 (Rb - r) / q, P from pf on
# q and the residual degrees of freedom.
# The design F (with its column of ones), the response y and the cluster codes (as.integer of
# the factor, 1-based) are written as well, so that the tests build the regression directly.
# Aliased coefficients (a duplicated column) are NaN rows and columns of every covariance, as
# vcov(fit) has them; vcovHC and vcovCL leave them out.
# Writes sandwich_<case>.txt and the CSV files orange.csv, chickweight.csv, savings.csv,
# stackloss.csv, mtcars_leverage.csv.
# Run from this folder: Rscript sandwich.R
source("common.R")
suppressPackageStartupMessages(library(sandwich))

nan_for_na <- function(x) { x[is.na(x)] <- NaN; x }

# Full n x n matrix from the kept-columns matrix V, NaN at the aliased coefficients.
expand <- function(V, kept) {
  n <- length(kept)
  full <- matrix(NaN, n, n)
  full[kept, kept] <- V
  full
}

# NaN when R V R' is singular (a cluster covariance has rank G - 1 at most).
wald <- function(b, V, R, r) {
  d <- R %*% b - r
  W <- tryCatch(t(d) %*% solve(R %*% V %*% t(R), d), error = function(e) NaN)
  drop(W) / nrow(R)
}

# The hypotheses: every kept slope 0; and, over the kept slopes, the first minus the last = 1
# (the first = 1 with one slope).
hypotheses <- function(kept) {
  n <- length(kept)
  slopes <- which(kept)[-1]
  R1 <- matrix(0, length(slopes), n)
  for (k in seq_along(slopes)) R1[k, slopes[k]] <- 1
  R2 <- matrix(0, 1, n)
  R2[1, slopes[1]] <- 1
  if (length(slopes) > 1) R2[1, slopes[length(slopes)]] <- -1
  list(list(R = R1, r = rep(0, length(slopes))), list(R = R2, r = 1))
}

write_covariance <- function(kv, label, V, fit, kept, hyps) {
  b <- coef(fit)
  dof <- df.residual(fit)
  se <- sqrt(diag(V))
  tv <- b / se
  kv$comment(sprintf("%s: covariance, se = sqrt(diag), t = b/se, p = 2 pt(-|t|, %d), b -/+ qt(0.975 and 0.95, %d) se",
                     label, dof, dof))
  kv$matrix(sprintf("cov_%s", label), nan_for_na(V))
  kv$vector(sprintf("se_%s", label), nan_for_na(unname(se)))
  kv$vector(sprintf("t_%s", label), nan_for_na(unname(tv)))
  kv$vector(sprintf("p_%s", label), nan_for_na(unname(2 * pt(-abs(tv), dof))))
  for (level in c(95, 90)) {
    q <- qt(1 - (1 - level / 100) / 2, dof)
    kv$vector(sprintf("ci%d_low_%s", level, label), nan_for_na(unname(b - q * se)))
    kv$vector(sprintf("ci%d_high_%s", level, label), nan_for_na(unname(b + q * se)))
  }
  if (all(is.nan(V[kept, kept]))) return()
  bk <- b; bk[!kept] <- 0
  Vk <- V; Vk[!kept, ] <- 0; Vk[, !kept] <- 0
  for (h in seq_along(hyps)) {
    f <- wald(bk, Vk, hyps[[h]]$R, hyps[[h]]$r)
    kv$scalar(sprintf("wald%d_f_%s", h, label), f)
    kv$scalar(sprintf("wald%d_p_%s", h, label), pf(f, nrow(hyps[[h]]$R), dof, lower.tail = FALSE))
  }
}

analyse <- function(name, data, formula, clusters = character()) {
  fit <- lm(formula, data = data)
  kept <- !is.na(coef(fit))
  X <- model.matrix(fit)
  kv <- kv_open(sprintf("sandwich_%s.txt", name))
  kv$comment(sprintf("%s, sandwich %s: fit <- lm(%s, data = %s)", R.version.string,
                     packageVersion("sandwich"), deparse(formula), name))
  kv$scalar("rows", nrow(X))
  kv$scalar("parameters", ncol(X))
  kv$scalar("rank", fit$rank)
  kv$scalar("residual_dof", df.residual(fit))
  kv$vector("name", colnames(X))
  kv$vector("aliased", as.integer(!kept))
  kv$vector("estimate", nan_for_na(unname(coef(fit))))
  kv$matrix("F", unname(X))
  kv$vector("y", unname(model.response(model.frame(fit))))
  kv$scalar("clusters", length(clusters))
  for (k in seq_along(clusters)) {
    codes <- as.integer(factor(data[[clusters[k]]]))
    kv$scalar(sprintf("cluster%d_name", k), clusters[k])
    kv$scalar(sprintf("cluster%d_groups", k), max(codes))
    kv$vector(sprintf("cluster%d", k), codes)
  }
  hyps <- hypotheses(kept)
  for (h in seq_along(hyps)) {
    kv$comment(sprintf("hypothesis %d: R b = r", h))
    kv$matrix(sprintf("wald%d_R", h), hyps[[h]]$R)
    kv$vector(sprintf("wald%d_r", h), hyps[[h]]$r)
  }
  covs <- list(classical = expand(vcov(fit)[kept, kept], kept))
  for (type in c("HC0", "HC1", "HC2", "HC3", "HC4", "HC4m", "HC5"))
    covs[[tolower(type)]] <- expand(suppressWarnings(vcovHC(fit, type = type)), kept)
  if (length(clusters) >= 1)
    covs$cluster1 <- expand(vcovCL(fit, cluster = data[clusters[1]]), kept)
  if (length(clusters) >= 2)
    covs$cluster2 <- expand(vcovCL(fit, cluster = data[clusters[1:2]]), kept)
  for (label in names(covs)) write_covariance(kv, label, covs[[label]], fit, kept, hyps)
  kv$close()
}

write_csv <- function(df, path) write.csv(df, path, row.names = FALSE, na = "NA")

mtcars_leverage <- data.frame(model = rownames(mtcars), mtcars, row.names = NULL)
mtcars_leverage$first_only <- c(1, rep(0, nrow(mtcars) - 1))
swiss_duplicate <- swiss
swiss_duplicate$Agriculture2 <- swiss$Agriculture
orange <- data.frame(Tree = as.integer(as.character(Orange$Tree)), age = Orange$age,
                     circumference = Orange$circumference)
chickweight <- data.frame(Chick = as.integer(as.character(ChickWeight$Chick)),
                          Diet = as.integer(as.character(ChickWeight$Diet)),
                          Time = ChickWeight$Time, weight = ChickWeight$weight)
savings <- data.frame(country = rownames(LifeCycleSavings), LifeCycleSavings, row.names = NULL)

write_csv(mtcars_leverage, "mtcars_leverage.csv")
write_csv(orange, "orange.csv")
write_csv(chickweight, "chickweight.csv")
write_csv(savings, "savings.csv")
write_csv(stackloss, "stackloss.csv")

analyse("mtcars", mtcars, mpg ~ wt + hp + qsec + am, c("carb", "gear"))
analyse("swiss", swiss, Fertility ~ .)
analyse("swiss_duplicate", swiss_duplicate,
        Fertility ~ Agriculture + Agriculture2 + Examination + Education + Catholic + Infant.Mortality)
analyse("stackloss", stackloss, stack.loss ~ Air.Flow + Water.Temp + Acid.Conc.)
analyse("savings", savings, sr ~ pop15 + pop75 + dpi + ddpi)
analyse("orange", orange, circumference ~ age, "Tree")
analyse("chickweight", chickweight, weight ~ Time + Diet, c("Chick", "Time"))
analyse("mtcars_leverage", mtcars_leverage, mpg ~ wt + hp + first_only, "cyl")
# One car made far heavier than the rest (leverage about 0.6, ten times the mean): HC5 caps the
# exponent of that row at 0.7 m max(h) / p.
mtcars_far <- mtcars
mtcars_far$wt[1] <- 10
analyse("mtcars_far", mtcars_far, mpg ~ wt + hp, "cyl")
