# Least-squares fits at the edges of double precision, as the `kelmath regress` command must fit
# them: data near 1e308 and 1e-300, columns of very different scales, a response offset by
# 1e15, a column of ones without intercept, a tiny assigned variance, an exact fit, a zero
# column, and a nearly repeated column. Where lm itself cannot work in double precision, it fits
# the data rescaled exactly (by a power of two, or by subtracting 1e15, exact by Sterbenz) and the
# values are transformed back: estimates and standard errors by the scale of the response over
# that of their column, sigma, fitted values and residuals by the scale of the response; t, P,
# R^2, F, leverages, Cook's distances, rstudent and the Breusch-Pagan statistic are unchanged.
# The Breusch-Pagan statistic is lmtest::bptest's default, written out in koenker_bp.
# Writes numerics_<name>.csv (the command's input) and numerics_<name>.txt.
# Run from this folder: Rscript numerics.R

source("common.R")

# lmtest::bptest's studentized (Koenker) statistic, written out: n sum(g^2) / sum(w^2) for
# w = e^2 - mean(e^2) and g its least-squares fit on the model matrix.
koenker_bp <- function(fit) {
  e <- residuals(fit)
  w <- e^2 - mean(e^2)
  X <- model.matrix(fit)[, !is.na(coef(fit)), drop = FALSE]
  g <- fitted(lm.fit(X, w))
  length(e) * sum(g^2) / sum(w^2)
}

# y_exponent, x_exponents: lm sees y * 2^-y_exponent and each column * 2^-exponent;
# y_offset: lm sees y - y_offset.
analyse <- function(name, data, columns, intercept = TRUE, y_exponent = 0,
                    x_exponents = setNames(rep(0, length(columns)), columns), y_offset = 0,
                    variance = NA) {
  # Every digit of each double (write.csv would round to 15).
  text <- as.data.frame(lapply(data, fshort))
  write.csv(text, sprintf("numerics_%s.csv", name), row.names = FALSE, quote = FALSE)
  scaled <- data
  scaled$y <- (data$y - y_offset) * 2^-y_exponent
  for (cn in columns) scaled[[cn]] <- data[[cn]] * 2^-x_exponents[[cn]]
  rhs <- paste(columns, collapse = " + ")
  if (!intercept) rhs <- paste("0 +", rhs)
  fit <- lm(as.formula(paste("y ~", rhs)), data = scaled)
  sm <- summary(fit)
  b <- coef(fit)  # NA for an aliased column
  names_all <- names(b)
  back <- 2^(y_exponent - c(if (intercept) 0, x_exponents[columns]))
  if (intercept) back[1] <- 2^y_exponent
  co <- sm$coefficients
  se <- rep(NA, length(b)); names(se) <- names_all
  se[rownames(co)] <- co[, 2]
  est <- b * back
  if (intercept) est[1] <- est[1] + y_offset
  kv <- kv_open(sprintf("numerics_%s.txt", name))
  kv$comment(sprintf("%s: lm(%s) on numerics_%s.csv, y * 2^%d - %g, columns * 2^-(%s)",
                     R.version.string, deparse(formula(fit)), name, -y_exponent, y_offset,
                     paste(x_exponents, collapse = ", ")))
  kv$scalar("parameters", length(b))
  kv$vector("aliased", as.integer(is.na(b)))
  kv$vector("estimate", ifelse(is.na(est), 0, est))
  kv$vector("std_error", ifelse(is.na(se), 0, se * back))
  # The intercept moves with y_offset, and its t value with it.
  tv <- est / (se * back)
  pv <- 2 * pt(abs(tv), fit$df.residual, lower.tail = FALSE)
  kv$vector("t_value", ifelse(is.na(tv), 0, tv))
  kv$vector("p_value", ifelse(is.na(pv), 0, pv))
  kv$scalar("sigma", sm$sigma * 2^y_exponent)
  kv$scalar("r_squared", sm$r.squared)
  kv$scalar("adj_r_squared", sm$adj.r.squared)
  if (!is.null(sm$fstatistic)) {
    kv$scalar("f_statistic", sm$fstatistic[["value"]])
    kv$scalar("f_numerator_dof", sm$fstatistic[["numdf"]])
  }
  kv$scalar("residual_dof", fit$df.residual)
  kv$scalar("bp_statistic", koenker_bp(fit))
  kv$vector("leverage", unname(hatvalues(fit)))
  kv$vector("cooks_distance", unname(cooks.distance(fit)))
  kv$vector("studentized_residual", unname(rstudent(fit)))
  kv$vector("residual", unname(residuals(fit)) * 2^y_exponent)
  if (!is.na(variance)) {
    X <- model.matrix(fit)[, !is.na(b), drop = FALSE]
    kv$comment("standard errors with the assigned variance: sqrt(variance diag((X'X)^-1))")
    kv$scalar("variance", variance)
    kv$vector("assigned_std_error",
              sqrt(diag(solve(crossprod(X)))) * sqrt(variance) * back[!is.na(b)])
  }
  kv$close()
}

set.seed(27)
m <- 30
x <- round(seq(1, 3, length.out = m) + rnorm(m, sd = 0.3), 3)
z <- round(rnorm(m), 3)
noise <- round(rnorm(m, sd = 0.2), 3)

analyse("big_column", data.frame(y = 2 + 3 * x + noise, x = x * 5e307), "x",
        x_exponents = c(x = 1020))
analyse("big_response", data.frame(y = (1 + 0.5 * x + noise) * 2e307, x = x), "x",
        y_exponent = 1020)
analyse("tiny_response", data.frame(y = (1 + 0.5 * x + noise) * 1e-300, x = x), "x",
        y_exponent = -1000)
analyse("scales", data.frame(y = 1 + x + z + noise, a = x * 1e8, b = z * 1e-8,
                             c = (x + z^2) * 2e154), c("a", "b", "c"),
        x_exponents = c(a = 0, b = 0, c = 512))
analyse("ones", data.frame(y = 4 + 2 * x + noise, one = rep(1, m), x = x), c("one", "x"),
        intercept = FALSE)
analyse("tiny_variance", data.frame(y = 1 + 2 * x + noise, x = x), "x", variance = 1e-300)
analyse("exact", data.frame(y = 1 + 2 * x + 0.5 * z, x = x, z = z), c("x", "z"))
analyse("zero_column", data.frame(y = 1 + 2 * x + noise, x = x, zero = rep(0, m)),
        c("x", "zero"))
analyse("near_copy", data.frame(y = 1 + 2 * x + noise, x = x, x2 = x * (1 + 1e-12 * z), z = z),
        c("x", "x2", "z"))
analyse("offset_response", data.frame(y = 1e15 + 2 * x + round(rnorm(m, sd = 2)), x = x), "x",
        y_offset = 1e15)
