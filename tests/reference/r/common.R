# Shared helpers and the literal data sets used by the reference scripts.
# Sourced by distributions.R, statistics_demo.R, regression.R and lms.R.

options(digits = 17, warn = 1)

# 17 significant digits, shortest "%g"-style form; NA/NaN/Inf are written as R spells them.
f17 <- function(x) {
  ifelse(is.finite(x), sprintf("%.17g", x), as.character(x))
}

# Shortest decimal form that reads back to the same double (for arguments / inputs).
fshort <- function(x) {
  vapply(x, function(v) {
    if (!is.finite(v)) return(as.character(v))
    for (d in 15:17) { s <- sprintf(paste0("%.", d, "g"), v); if (as.numeric(s) == v) return(s) }
    sprintf("%.17g", v)
  }, "")
}

# Key/value writer: lines "key = value" or "key[i] = value" (1-based index),
# comment lines start with "#".
kv_open <- function(path) {
  con <- file(path, open = "w")
  list(
    con = con,
    comment = function(...) writeLines(paste0("# ", paste0(..., collapse = "")), con),
    blank = function() writeLines("", con),
    scalar = function(key, value) {
      v <- if (is.numeric(value)) f17(value) else as.character(value)
      writeLines(sprintf("%s = %s", key, v), con)
    },
    vector = function(key, values) {
      v <- if (is.numeric(values)) f17(values) else as.character(values)
      writeLines(sprintf("%s[%d] = %s", key, seq_along(values), v), con)
    },
    matrix = function(key, M) {
      for (i in seq_len(nrow(M))) for (j in seq_len(ncol(M)))
        writeLines(sprintf("%s[%d,%d] = %s", key, i, j, f17(M[i, j])), con)
    },
    close = function() close(con)
  )
}

# Median rule of the library: even n -> mean of the two middle order statistics.
lib_median <- function(v) stats::median(v)

# ---------------------------------------------------------------- statistics_tests samples
S1 <- c(3.112, 3.115, 3.121, 3.112, 3.114, 3.121, 3.112, 3.112, 3.115, 3.114,
        3.121, 3.112, 3.123, 3.121, 3.112)
S2 <- c(3.112, 3.115, 31.15, 3.121, 3.112, -3.123, 356.116, 3.114, 3.121, 3.112,
        3.112, 3.115, 3.114, 3.121, 3.112, 3.123, -31.116, 31.14, 3.121, 3.112)
S3 <- c(3.112, 3.115, 3.114, 3.121, 3.123, 3.116)
S4 <- c(3.112, 3.115, 31.14, 3.121, 3.123, 3.116)
S5 <- c(3.15, 3.19, 3.13, 3.18, 3.1, 3.15, 3.21, 3.22, 3.09, 3.12, 3.18)

# ---------------------------------------------------------------- regression_plots data
X6 <- cbind(1, 1:6)
y6 <- c(12.6225, 11.9095, 11.4522, 10.4553, 9.8861, 9.5247)

x12 <- c(110.87, 107.14, 104.12, 101.98, 103.01, 104.89, 106.02, 107.96, 109.08,
         110.14, 101.12, 112.04)
y12 <- c(6.7596, 9.0492, 10.4553, 11.9095, 11.4522, 9.8861, 9.5247, 8.1732, 7.5921,
         7.4424, 12.6225, 6.0732)

Xc <- matrix(c(2.0, 4.95, 2.1, 5.21, 2.2, 5.39, 2.3, 5.61, 2.4, 5.79, 2.5, 6.01,
               2.6, 6.19, 2.7, 6.41, 2.8, 6.59, 2.9, 6.81, 2.0, 4.8),
             ncol = 2, byrow = TRUE)
yc <- c(7.0, 7.3, 7.6, 7.9, 58.2, 8.5, 58.8, 9.1, 59.4, 9.7, 6.9)

# Round to 4 significant digits, halves away from zero (R's signif() rounds the one
# exact half in this data, 15^4 = 50625, to even: 50620).
signif4_half_up <- function(v) {
  out <- signif(v, 4)
  e <- floor(log10(abs(v))) - 3           # exponent of the 4th significant digit
  scaled <- abs(v) / 10^e
  half <- !is.na(scaled) & abs(scaled - floor(scaled) - 0.5) < 1e-9 & v != 0
  out[half] <- sign(v[half]) * (floor(scaled[half]) + 1) * 10^e[half]
  out
}

# X20: columns 1, x, x^2, x^3, x^4, x^2 sin x, e^(x/10), ln x, sqrt x for x = 1..20,
# each rounded to four significant digits. half_up = TRUE gives 15^4 -> 50630,
# FALSE gives R's signif() result 50620.
make_X20 <- function(half_up = TRUE) {
  x <- 1:20
  raw <- cbind(1, x, x^2, x^3, x^4, x^2 * sin(x), exp(x / 10), log(x), sqrt(x))
  r <- if (half_up) apply(raw, 2, signif4_half_up) else signif(raw, 4)
  r[, 1] <- 1
  r[x == 1, 8] <- 0                       # ln 1 = 0 exactly
  colnames(r) <- c("one", "x", "x2", "x3", "x4", "x2sinx", "expx10", "lnx", "sqrtx")
  unname(r)
}
X20 <- make_X20(TRUE)
y20 <- c(9.4318, 11.756, 16.766, 26.419, 41.333, 63.821, 94.357, 135.5, 187.58,
         252.4, 331.65, 426.69, 538.35, 668.96, 819.0, 991.03, 1185.4, 1404.0,
         1648.5, 1920.0)

# The regression data sets of regression_plots that are run with the least-squares report.
# sigma2 = response variance assigned with SetResponseVariance (0 = none), vdof its dof.
regression_sets <- list(
  X6 = list(F = X6, y = y6, sigma2 = 0.025, vdof = 5,
            desc = "X6 = rows (1,k), k=1..6; y6; SetResponseVariance(0.025, 5)"),
  x12 = list(F = cbind(1, x12), y = y12, sigma2 = 0.04, vdof = 5,
             desc = "F = [1, x12]; y12; SetResponseVariance(0.04, 5)"),
  Xc = list(F = Xc, y = yc, sigma2 = 0, vdof = 0,
            desc = "F = Xc (11x2, no column of ones: model WITHOUT intercept); yc; no variance"),
  X20_147 = list(F = X20[, c(1, 4, 7)], y = y20, sigma2 = 0.013, vdof = 4,
                 desc = "F = columns (1,4,7) of X20 = (1, x^3, e^(x/10) to 4 sig. digits); y20; SetResponseVariance(0.013, 4)")
)

# Intercept flag of the library: column 1 exactly 1.0 in every row.
has_intercept <- function(F) all(F[, 1] == 1.0)
