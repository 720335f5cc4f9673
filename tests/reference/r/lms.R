# Least median of squares reference values for the regression_plots regression data sets.
# Writes lms_<name>.txt. Run from this folder: Rscript lms.R
#
# Three independent views of the LMS fit:
#  1. MASS::lqs(method = "lms", nsamp = "exact") - R's LMS (elemental subsets, for an
#     intercept model each subset's intercept adjusted); its criterion is the
#     floor((m+1)/2)-th smallest squared residual, NOT the library's median (which for even
#     m averages the m/2-th and (m/2+1)-th). Also robustbase::ltsReg for comparison.
#  2. Exact minimum of the k-th smallest squared residual, for k = m/2, m/2+1 (even m) or
#     (m+1)/2 (odd m): by enumeration of the Chebyshev (minimax) fits of all (n+1)-row
#     subsets - the minimiser of an order statistic of |r| is the Chebyshev fit of n+1 rows.
#  3. The library's criterion median(r^2) (median rule of the library): its value at every
#     solution above, and its exact global minimum:
#     - odd m: it is the (m+1)/2-th order statistic, so view 2 gives it;
#     - even m: g(b) = (r2_(h) + r2_(h+1))/2, h = m/2. At a minimiser either the two order
#       statistics tie (then b is a Chebyshev fit of n+1 rows) or b minimises
#       max_{s in S} r_s^2 + r_a^2 for a row a and a set S of n-1..n+1 rows tied at one level;
#       b then solves the equality-constrained QP  min tau^2 + r_a^2  s.t. r_s = sign_s * tau.
#       All such (a, S, signs) are enumerated, g is evaluated at every candidate, the least
#       value is the minimum. Checked against Nelder-Mead refinement (never lower) and, for X6,
#       a brute-force grid.

source("common.R")
suppressPackageStartupMessages({ library(MASS); library(robustbase) })

source("lms_exact.R")


analyse_lms <- function(name, set) {
  F <- set$F; y <- set$y; m <- nrow(F); n <- ncol(F)
  icpt <- has_intercept(F)
  xr <- if (icpt) F[, -1, drop = FALSE] else F

  # 1. R's LMS and LTS
  fl <- lqs(xr, y, intercept = icpt, method = "lms", nsamp = "exact")
  fl0 <- lqs(xr, y, intercept = icpt, method = "lms", nsamp = "exact", adjust = FALSE)
  qlms <- floor((m + 1) / 2)
  set.seed(1)
  ft <- ltsReg(xr, y, intercept = icpt, nsamp = "exact")
  bl <- unname(fl$coefficients); bl0 <- unname(fl0$coefficients)
  braw <- unname(ft$raw.coefficients); brew <- unname(ft$coefficients)
  bls <- as.vector(qr.coef(qr(F), y))

  # 2. Chebyshev enumeration
  cheb <- Filter(Negate(is.null), lapply(combn(m, n + 1, simplify = FALSE),
                                         function(S) cheb_fit(F, y, S)))
  elem <- Filter(Negate(is.null), lapply(combn(m, n, simplify = FALSE),
                                         function(S) elemental_fit(F, y, S)))
  ks <- if (m %% 2 == 0) c(m / 2, m / 2 + 1) else (m + 1) / 2
  exact <- lapply(ks, function(k) {
    v <- sapply(cheb, function(cf) ordstat(F, y, cf$b, k))
    i <- which.min(v); list(k = k, value = v[i], b = cheb[[i]]$b, rows = cheb[[i]]$rows)
  })

  # 3. Library criterion: exact minimum
  chebb <- lapply(cheb, `[[`, "b")
  exc <- if (m %% 2 == 0) c(chebb, exact_even(F, y)) else chebb
  exv <- sapply(exc, function(b) libcrit(F, y, b))
  exmin <- min(exv); exb <- exc[[which.min(exv)]]
  exdistinct <- distinct_minimisers(exc, exv, exmin)
  # cross-check: Nelder-Mead from the best candidates of all kinds
  cands <- c(chebb, lapply(elem, `[[`, "b"), list(bl, bl0, braw, brew, bls))
  vals <- sapply(cands, function(b) libcrit(F, y, b))
  o <- order(vals)[1:min(40, length(vals))]
  best <- list(value = vals[o[1]], b = cands[[o[1]]], how = "candidate")
  for (i in o) {
    b0 <- cands[[i]]
    for (rep in 1:3) {
      op <- optim(b0, function(b) libcrit(F, y, b), method = "Nelder-Mead",
                  control = list(reltol = 1e-16, abstol = 0, maxit = 20000))
      b0 <- op$par
    }
    if (op$value < best$value) best <- list(value = op$value, b = op$par, how = "Nelder-Mead refined")
  }
  lower <- if (m %% 2 == 0) mean(sapply(exact, `[[`, "value")) else exact[[1]]$value

  w <- kv_open(sprintf("lms_%s.txt", name))
  w$comment(sprintf("lms_%s: %s", name, set$desc))
  w$comment("R ", R.version$major, ".", R.version$minor, ", MASS ", as.character(packageVersion("MASS")),
            ", robustbase ", as.character(packageVersion("robustbase")), ". Parameter i = column i of F.")
  w$comment("lib_median_sq = median(r^2) with R's median() = the library's median rule (even m: mean of")
  w$comment("the two middle values). These are reference values from other LMS algorithms; where the")
  w$comment("LMS minimum is flat or not unique the library's fit may legitimately differ.")
  w$scalar("m", m); w$scalar("n", n); w$scalar("intercept", as.integer(icpt))
  w$blank()
  w$comment("MASS::lqs(x, y, intercept = ", icpt, ", method = 'lms', nsamp = 'exact')  [adjust = TRUE default]")
  w$comment("crit = the quantile-th smallest squared residual, quantile = floor((m+1)/2) = ", qlms)
  w$comment("scale[1] = sqrt(crit)/qnorm((m+quantile)/(2m)); scale[2] = RMS of residuals with |r| <= 2.5 scale[1], divisor (count - n)")
  w$vector("lqs.coefficient", bl)
  w$scalar("lqs.crit", fl$crit)
  w$scalar("lqs.crit_check_sorted_r2_at_quantile", ordstat(F, y, bl, qlms))
  w$vector("lqs.scale", fl$scale)
  w$scalar("lqs.bestone", paste(fl$bestone, collapse = " "))
  w$scalar("lqs.lib_median_sq", libcrit(F, y, bl))
  w$vector("lqs.residual", as.vector(y - F %*% bl))
  if (icpt) {
    w$comment("same with lqs.control adjust = FALSE (pure elemental fits, intercept not adjusted)")
    w$vector("lqs_noadjust.coefficient", bl0)
    w$scalar("lqs_noadjust.crit", fl0$crit)
    w$scalar("lqs_noadjust.lib_median_sq", libcrit(F, y, bl0))
  }
  w$blank()
  w$comment("robustbase::ltsReg(x, y, intercept = ", icpt, ", nsamp = 'exact'), alpha = ", ft$alpha,
            ", quan = ", ft$quan, "; raw = LTS fit, coefficient = reweighted LS fit")
  w$vector("lts.raw_coefficient", braw)
  w$vector("lts.coefficient", brew)
  w$scalar("lts.crit", ft$crit)
  w$scalar("lts.raw_scale", ft$raw.scale)
  w$scalar("lts.scale", ft$scale)
  w$scalar("lts.best", paste(ft$best, collapse = " "))
  w$scalar("lts.raw_lib_median_sq", libcrit(F, y, braw))
  w$scalar("lts.lib_median_sq", libcrit(F, y, brew))
  w$blank()
  w$comment("least squares (qr) for comparison")
  w$vector("ls.coefficient", bls)
  w$scalar("ls.lib_median_sq", libcrit(F, y, bls))
  w$blank()
  w$comment("Exact minimum over b of the k-th smallest squared residual (enumeration of the Chebyshev fits of all")
  w$comment(choose(m, n + 1), " subsets of n+1 rows; ", length(cheb), " non-degenerate)")
  for (e in exact) {
    w$scalar(sprintf("exact_k%d.value", e$k), e$value)
    w$vector(sprintf("exact_k%d.coefficient", e$k), e$b)
    w$scalar(sprintf("exact_k%d.rows", e$k), paste(e$rows, collapse = " "))
    w$scalar(sprintf("exact_k%d.lib_median_sq", e$k), libcrit(F, y, e$b))
  }
  w$blank()
  w$comment("Library criterion median(r^2): EXACT global minimum (", if (m %% 2 == 0)
    "even m: enumeration of the QP/Chebyshev candidates, see lms.R" else
    "odd m: = exact minimum of the (m+1)/2-th squared residual", "), ", length(exc), " candidates")
  w$scalar("libcrit.exact_min", exmin)
  w$vector("libcrit.exact_coefficient", exb)
  w$vector("libcrit.exact_residual", as.vector(y - F %*% exb))
  w$comment("number of distinct coefficient vectors among the candidates attaining the minimum (1 = unique")
  w$comment("among the candidates; > 1 = the minimum is not unique)")
  w$scalar("libcrit.exact_distinct_minimisers", length(exdistinct))
  if (length(exdistinct) > 1) for (i in seq_along(exdistinct))
    w$vector(sprintf("libcrit.exact_alternative_%d", i), exdistinct[[i]])
  w$comment("checks: lower bound = ", if (m %% 2 == 0) "mean of the exact minima of the m/2-th and (m/2+1)-th squared residuals"
    else "the exact minimum itself", "; lowest found by Nelder-Mead (40 best candidates refined) - never below the exact minimum")
  w$scalar("libcrit.lower_bound", lower)
  w$scalar("libcrit.nelder_mead_lowest", best$value)
  w$vector("libcrit.nelder_mead_coefficient", best$b)
  w$close()
  cat(sprintf("lms_%s: lqs b = %s crit %.6g lib_med %.6g | exact k %s | lib: lower %.6g exact %.10g (%d distinct) NM %.10g b = %s\n",
              name, paste(sprintf("%.6g", bl), collapse = ", "), fl$crit, libcrit(F, y, bl),
              paste(sapply(exact, function(e) sprintf("%d:%.6g", e$k, e$value)), collapse = " "),
              lower, exmin, length(exdistinct), best$value, paste(sprintf("%.8g", exb), collapse = ", ")))
  stopifnot(best$value >= exmin * (1 - 1e-12), lower <= exmin * (1 + 1e-12))
}

for (nm in names(regression_sets)) analyse_lms(nm, regression_sets[[nm]])
