# Least-squares reference values for the regression_plots data sets run with the least-squares
# report, the leave-one-out quantity of the fit, and an exhaustive best-subset
# search for X20/y20 (the quantity the stepwise analysis looks for).
# Writes lm_<name>.txt and stepwise_X20.txt.
# Run from this folder: Rscript regression.R

source("common.R")
suppressPackageStartupMessages(library(car))

# Fit F (as given, its columns in order) with lm; intercept when column 1 is all 1.0.
lm_fit <- function(F, y) {
  icpt <- has_intercept(F)
  df <- data.frame(y = y, F)
  names(df) <- c("y", paste0("c", seq_len(ncol(F))))
  if (icpt) {
    rhs <- if (ncol(F) > 1) paste(names(df)[-(1:2)], collapse = " + ") else "1"
    fo <- as.formula(paste("y ~", rhs))
  } else {
    fo <- as.formula(paste("y ~ 0 +", paste(names(df)[-1], collapse = " + ")))
  }
  fit <- lm(fo, data = df, qr = TRUE, tol = 1e-12)
  stopifnot(fit$rank == ncol(F))
  list(fit = fit, formula = fo, df = df, icpt = icpt)
}

# R^2 of column i regressed on the other columns, following the library's rule
# (auxiliary matrix: for an intercept model column 1 = ones + the other columns 2..n;
# otherwise all other columns; the auxiliary model is centred iff its column 1 is ones).
aux_r2 <- function(F, i) {
  if (has_intercept(F)) {
    A <- cbind(1, F[, -c(1, i), drop = FALSE])
  } else {
    A <- F[, -i, drop = FALSE]
  }
  yy <- F[, i]
  f <- lm.fit(A, yy)
  ss <- sum(f$residuals^2)
  if (has_intercept(A)) 1 - ss / sum((yy - mean(yy))^2) else 1 - ss / sum(yy^2)
}

analyse <- function(name, set) {
  F <- set$F; y <- set$y; sigma2 <- set$sigma2
  m <- nrow(F); n <- ncol(F); dof <- m - n
  L <- lm_fit(F, y); fit <- L$fit; sm <- summary(fit)
  b <- unname(coef(fit))
  r <- unname(residuals(fit)); yhat <- unname(fitted(fit))
  SS <- sum(r^2); MSE <- SS / dof; s <- sqrt(MSE)
  SST <- sum(y^2); SSTc <- sum((y - mean(y))^2)
  R2c <- 1 - SS / SSTc; R2u <- 1 - SS / SST
  R2 <- if (L$icpt) R2c else R2u
  adjR2 <- if (L$icpt) 1 - MSE / (SSTc / (m - 1)) else 1 - MSE / (SST / m)
  se_mse <- unname(sm$coefficients[, 2])
  s2used <- if (sigma2 != 0) sigma2 else MSE
  se_s2 <- se_mse * sqrt(s2used / MSE)
  t_mse <- b / se_mse; p_mse <- 2 * pt(abs(t_mse), dof, lower.tail = FALSE)
  t_s2 <- b / se_s2;  p_s2 <- 2 * pt(abs(t_s2), dof, lower.tail = FALSE)
  covu <- unname(vcov(fit))                        # MSE-scaled
  cov_s2 <- covu * (s2used / MSE)
  sv <- svd(F)$d
  h <- unname(hatvalues(fit))
  XtXi <- solve(crossprod(F))
  se_yhat_mse <- sqrt(MSE * rowSums((F %*% XtXi) * F))
  se_yhat_s2 <- se_yhat_mse * sqrt(s2used / MSE)
  e_norm <- if (sigma2 != 0) r / sqrt(sigma2) else r / s
  q <- ((1:m) - 0.5) / m
  norm_index <- cor(sort(e_norm), q)

  # multicollinearity diagnostics
  Rcorr <- cov2cor(covu)
  vif_lib <- abs(diag(solve(Rcorr)))               # |R^-1(i,i)|, R from the full Cov
  idx <- if (L$icpt) 2:n else 1:n
  Tj <- rep(1, n); for (i in idx) Tj[i] <- 1 - aux_r2(F, i)
  vif_hand <- 1 / Tj
  G <- F
  if (L$icpt) { for (j in seq_len(n)[-1]) { v <- G[, j] - mean(G[, j]); nv <- sqrt(sum(v^2)); G[, j] <- if (nv > 0) v / nv else v } }
  else { for (j in 1:n) { nv <- sqrt(sum(G[, j]^2)); if (nv > 0) G[, j] <- G[, j] / nv } }
  K <- rep(1, n)
  for (i in idx) {
    H <- G; if (i < n) { H[, c(i, n)] <- H[, c(n, i)] }
    K[i] <- abs(qr.R(qr(H, tol = 0))[n, n])
  }
  carvif <- tryCatch(withCallingHandlers(car::vif(fit), warning = function(w) {
      message("car::vif warning (", name, "): ", conditionMessage(w)); invokeRestart("muffleWarning") }),
    error = function(e) paste("not defined:", conditionMessage(e)))

  # F-test against the assigned variance
  if (sigma2 != 0) { Fexp <- MSE / sigma2; PF <- pf(Fexp, dof, set$vdof, lower.tail = FALSE) }

  # leave-one-out: refit without experiment t
  loo <- sapply(1:m, function(t) { f <- lm.fit(F[-t, , drop = FALSE], y[-t]); sum(f$residuals^2) })
  loo_formula <- SS - r^2 / (1 - h)
  best <- min(loo); bestIndex <- which(loo == best)[1]
  loo_dof <- m - 1 - n
  Pm <- if (loo_dof > 0) best / loo_dof else NA
  verdict <- "none"
  if (loo_dof > 0) {
    test <- sigma2 == 0 || Pm > sqrt(sigma2)
    if (test) {
      if (Pm < 0.5 * MSE) verdict <- sprintf("highly probable outlier: experiment %d", bestIndex)
      else if (Pm < 0.8 * MSE) verdict <- sprintf("probable outlier: experiment %d", bestIndex)
    }
  }

  w <- kv_open(sprintf("lm_%s.txt", name))
  w$comment(sprintf("lm_%s: %s", name, set$desc))
  w$comment("R ", R.version$major, ".", R.version$minor, "; fit: lm(", deparse(L$formula), ", tol = 1e-12)")
  w$comment("model ", if (L$icpt) "WITH intercept (column 1 all 1.0)" else "WITHOUT intercept (column 1 not all 1.0)")
  w$comment("Indices are 1-based: parameter i = column i of F; experiment j = row j.")
  w$blank()
  w$scalar("m", m); w$scalar("n", n); w$scalar("dof", dof)
  w$scalar("intercept", as.integer(L$icpt)); w$scalar("sigma2", sigma2); w$scalar("sigma2_dof", set$vdof)
  w$matrix("F", F); w$vector("y", y)
  w$blank()
  w$comment("Parameters b = coef(fit)")
  w$vector("coefficient", b)
  w$comment("se_mse = summary(fit) standard errors (residual MSE); t_mse = b/se_mse; p_mse = 2*pt(-|t_mse|, dof)")
  w$vector("se_mse", se_mse); w$vector("t_mse", t_mse); w$vector("p_mse", p_mse)
  if (sigma2 != 0) {
    w$comment("se_sigma2 = se_mse*sqrt(sigma2/MSE) (assigned response variance); t_sigma2 = b/se_sigma2;")
    w$comment("p_sigma2 = 2*pt(-|t_sigma2|, dof) with dof = m - n (as the report does)")
    w$vector("se_sigma2", se_s2); w$vector("t_sigma2", t_s2); w$vector("p_sigma2", p_s2)
  }
  tl <- if (sigma2 != 0) t_s2 else t_mse
  w$comment("partial correlation sqrt(t^2/(t^2+dof)) with the t the report uses (sigma2-based when assigned)")
  w$vector("partial_correlation", sqrt(tl^2 / (tl^2 + dof)))
  w$blank()
  w$comment("Goodness of fit. SST = sum(y^2); SSTc = sum((y-mean(y))^2); R2 = R2_centred for intercept")
  w$comment("models, R2_uncentred = 1 - SS/SST otherwise (this is summary(fit)$r.squared in both cases);")
  w$comment("adjusted_R2 = summary(fit)$adj.r.squared")
  w$scalar("SS", SS); w$scalar("residual_norm", sqrt(SS)); w$scalar("MSE", MSE)
  w$scalar("residual_sd", s); w$scalar("summary_sigma", sm$sigma)
  w$scalar("SST", SST); if (L$icpt) w$scalar("SSTc", SSTc)
  w$scalar("R2", R2); w$scalar("summary_r.squared", sm$r.squared)
  w$scalar("adjusted_R2", adjR2); w$scalar("summary_adj.r.squared", sm$adj.r.squared)
  w$scalar("R2_uncentred", R2u); if (L$icpt) w$scalar("R2_centred", R2c)
  w$scalar("b_norm", sqrt(sum(b^2)))
  if (sigma2 != 0) {
    w$comment("F test: Fexp = MSE/sigma2; P = pf(Fexp, m-n, sigma2_dof, lower.tail=FALSE)")
    w$scalar("Fexp", Fexp); w$scalar("F_test_P", PF)
  }
  w$blank()
  w$comment("Conditioning: singular values = svd(F)$d; condition_number = d[1]/d[n]")
  w$vector("singular_value", sv); w$scalar("condition_number", sv[1] / sv[n])
  w$blank()
  w$comment("Covariance of b: cov_mse = vcov(fit); cov_used = cov_mse * s2used/MSE (s2used = sigma2 if assigned)")
  w$matrix("cov_mse", covu); w$matrix("cov_used", cov_s2)
  w$comment("Parameter correlation matrix = cov2cor(vcov(fit)) (independent of the scale)")
  w$matrix("param_correlation", Rcorr)
  w$blank()
  w$comment("Variance inflation factors:")
  w$comment(" vif_library = |diag(solve(cov2cor(vcov(fit))))|, all n parameters incl. the intercept row")
  w$comment("   (the quantity the report prints: inverse of the parameter correlation matrix)")
  w$comment(" Tj_tolerance = 1 - R2_j of column j on the other columns (library's auxiliary-model rule;")
  w$comment("   1 for the intercept); vif_by_hand = 1/Tj_tolerance")
  w$comment(" columns_correlation K = |R[n,n]| of qr() of the normalized F with column j moved last")
  w$comment("   (intercept models: columns 2..n centred and scaled to unit norm; else scaled); K[1]=1 w/ intercept")
  w$comment(" car_vif = car::vif(fit) (terms other than the intercept) or the reason it is not defined")
  w$vector("vif_library", vif_lib); w$vector("Tj_tolerance", Tj); w$vector("vif_by_hand", vif_hand)
  w$vector("columns_correlation", K)
  if (is.character(carvif)) w$scalar("car_vif", carvif) else {
    w$comment(" car_vif names: ", paste(names(carvif), collapse = ", "))
    w$vector("car_vif", unname(carvif))
  }
  w$blank()
  w$comment("Per experiment: fitted = fitted(fit); residual = residuals(fit); hat = hatvalues(fit);")
  w$comment("se_yhat_* = sqrt(s2 * f_j' (F'F)^-1 f_j); e_normalized = r/sqrt(sigma2) if assigned else r/s")
  w$vector("fitted", yhat); w$vector("residual", r); w$vector("hat", h)
  w$vector("se_yhat_mse", se_yhat_mse); if (sigma2 != 0) w$vector("se_yhat_sigma2", se_yhat_s2)
  w$vector("e_normalized", e_norm)
  w$comment("normality index = cor(sort(e_normalized), ((1:m)-0.5)/m)")
  w$scalar("normality_index", norm_index)
  w$blank()
  w$comment("Leave-one-out: loo_rss[t] = sum of squared residuals of lm.fit(F[-t,], y[-t]) over the other m-1")
  w$comment("experiments; loo_rss_formula[t] = SS - r_t^2/(1-h_t) (check). best = min (first index on ties);")
  w$comment("loo_P = best/(m-1-n). loo_verdict applies the leave-one-out outlier rule of the fit to these numbers (derived).")
  w$vector("loo_rss", loo); w$vector("loo_rss_formula", loo_formula)
  w$scalar("loo_best", best); w$scalar("loo_best_index", bestIndex)
  w$scalar("loo_P", Pm); w$scalar("loo_P_over_MSE", Pm / MSE)
  if (sigma2 != 0) w$scalar("loo_sqrt_sigma2", sqrt(sigma2))
  w$scalar("loo_verdict", verdict)
  w$blank()
  w$comment("summary(fit) as printed by R:")
  op <- options(digits = 7); txt <- capture.output(print(sm, digits = 10)); options(op)
  for (l in txt) w$comment(l)
  w$close()
  cat(sprintf("lm_%s.txt: R2 = %.10g, b = %s, cond = %.6g, loo best %d (%s)\n", name, R2,
              paste(sprintf("%.10g", b), collapse = ", "), sv[1] / sv[n], bestIndex, verdict))
}

for (nm in names(regression_sets)) analyse(nm, regression_sets[[nm]])

# ----------------------------------------------------------------------------------
# Exhaustive best-subset search on X20/y20 (intercept always in; candidates = columns 2..9)
best_subsets <- function(X, y, top = 2) {
  m <- nrow(X); cand <- 2:ncol(X)
  res <- list()
  for (k in 1:ncol(X)) {
    subs <- if (k == 1) list(integer(0)) else combn(cand, k - 1, simplify = FALSE)
    fits <- lapply(subs, function(s) {
      cols <- c(1, s); A <- X[, cols, drop = FALSE]
      # QR on column-scaled A (scaling changes neither the residuals nor the rank test)
      sc <- sqrt(colSums(A^2)); As <- sweep(A, 2, sc, "/")
      q <- qr(As, tol = 1e-14); stopifnot(q$rank == length(cols))
      bs <- qr.coef(q, y); rr <- qr.resid(q, y)
      rss <- sum(rr^2); mse <- rss / (m - k)
      b <- bs / sc
      Ri <- backsolve(qr.R(q), diag(length(cols)))
      XtXi_s <- Ri %*% t(Ri)                         # (As'As)^-1 in pivoted order
      piv <- q$pivot; XtXi <- matrix(0, length(cols), length(cols))
      XtXi[piv, piv] <- XtXi_s
      se <- sqrt(mse * diag(XtXi)) / sc
      list(cols = cols, rss = rss, mse = mse, b = b, t = abs(b / se),
           kappa = { d <- svd(A)$d; d[1] / d[length(d)] })
    })
    o <- order(sapply(fits, `[[`, "mse"))
    res[[k]] <- fits[o[seq_len(min(top, length(o)))]]
  }
  res
}

write_stepwise <- function(path, X, y, label) {
  bs <- best_subsets(X, y)
  w <- kv_open(path)
  w$comment("Best subsets for X20/y20 (", label, ")")
  w$comment("R ", R.version$major, ".", R.version$minor, ". For every model size k = 1..9 (number of parameters, the")
  w$comment("intercept column 1 always in), ALL subsets of columns 2..9 of size k-1 were fitted by QR")
  w$comment("(qr(), columns scaled to unit norm, tol 1e-14, full rank checked); MSE = RSS/(m-k).")
  w$comment("best_k.* = the subset with the smallest MSE; second_k.* = the runner-up (margin check).")
  w$comment("coef is given for all 9 columns (0 for columns not in the model), like the stepwise table;")
  w$comment("t = |b/se(b)| with se from the model's own residual MSE (not sigma2).")
  w$comment("Columns: 1 one, 2 x, 3 x^2, 4 x^3, 5 x^4, 6 x^2 sin x, 7 e^(x/10), 8 ln x, 9 sqrt x (4 sig. digits)")
  w$matrix("X20", X); w$vector("y20", y)
  for (k in seq_along(bs)) {
    b1 <- bs[[k]][[1]]
    w$blank()
    w$scalar(sprintf("best_%d.columns", k), paste(b1$cols, collapse = " "))
    w$scalar(sprintf("best_%d.MSE", k), b1$mse)
    w$scalar(sprintf("best_%d.RSS", k), b1$rss)
    full <- numeric(ncol(X)); full[b1$cols] <- b1$b
    tt <- numeric(ncol(X)); tt[b1$cols] <- b1$t
    w$vector(sprintf("best_%d.coef", k), full)
    w$vector(sprintf("best_%d.t", k), ifelse(seq_len(ncol(X)) %in% b1$cols[b1$cols != 1], tt, 0))
    w$scalar(sprintf("best_%d.condition_number", k), b1$kappa)
    if (length(bs[[k]]) > 1) {
      b2 <- bs[[k]][[2]]
      w$scalar(sprintf("second_%d.columns", k), paste(b2$cols, collapse = " "))
      w$scalar(sprintf("second_%d.MSE", k), b2$mse)
    }
  }
  mses <- sapply(bs, function(z) z[[1]]$mse)
  w$blank()
  w$comment("size with the lowest best MSE over k = 2..9 (first minimum)")
  w$scalar("best_size", which.min(mses[-1]) + 1)
  w$close()
  list(cols = lapply(bs, function(z) z[[1]]$cols), mse = mses)
}

a <- write_stepwise("stepwise_X20.txt", X20, y20, "15^4 rounded half away from zero: X20[15,5] = 50630")
X20e <- make_X20(FALSE)
cat("X20 variants differ at:", paste(which(X20 != X20e, arr.ind = TRUE), collapse = ","), "\n")
b <- write_stepwise("stepwise_X20_signif.txt", X20e, y20, "R signif(): X20[15,5] = 50620")
for (k in seq_along(a$cols))
  cat(sprintf("k=%d  best cols %-20s MSE %.10g | signif variant cols %-20s MSE %.10g\n", k,
              paste(a$cols[[k]], collapse = " "), a$mse[k], paste(b$cols[[k]], collapse = " "), b$mse[k]))
