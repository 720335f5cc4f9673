# Weighted nonlinear least squares of the experiment_selection and outlier_regression data,
# the fits those programs print in their least-squares reports. Writes nonlinear_demos.txt.
source("common.R")
out <- kv_open("nonlinear_demos.txt")

# Parameters, the weighted sum of squares, and the standard errors with the variances known:
# sqrt(diag((J^T W J)^-1)) = sqrt(diag(vcov)) / sigma, since vcov = sigma^2 (J^T W J)^-1.
write_fit <- function(key, fit) {
  s <- summary(fit)
  out$comment(key, ": ", paste(deparse(formula(fit)), collapse = " "), ", weights 1/variance")
  out$vector(paste0(key, "_b"), coef(fit))
  out$scalar(paste0(key, "_wsse"), deviance(fit))
  out$vector(paste0(key, "_se_known"), sqrt(diag(vcov(fit))) / s$sigma)
}

# ------------------------------------------------------------------ experiment_selection
noise <- c(1.22, 1.44, -1.22, 1.66, -1.1, -1.22, -1.44, 1.88, 1.44, -1.24, 1.66, -1.22,
           -1.88, 1.22, 1.44, -1.66, 1.66, -1.88, -1.44, 1.44, 1.22, 1.66, -1.44, -1.22, 1.44,
           -1.22, 1.22, -1.22, 1.44, -1.22, -1.44)
x1 <- c(0.5, 1, 0.5, 1, 0.01)
x2 <- c(0.5, 0.5, 1, 1, 2)
e1 <- 2e-6 * noise
e2 <- 5e-5 * noise
y1 <- 0.0005 * 15 * x1 * x2 / (15 * x1 + 1) + e1[1:5]
y2 <- 0.16 * 15 * x1 * x2 / (15 * x1 + 1 + 1.9 * x1)^2 + e2[31 - (1:5)]
d <- data.frame(y = c(y1, y2), x1 = rep(x1, 2), x2 = rep(x2, 2), r = rep(1:2, each = 5),
                w = rep(c(1 / 8.6e-12, 1 / 5.4e-9), each = 5))
m3 <- y ~ ifelse(r == 1, b1 * b3 * x2 * x1 / (1 + b3 * x1),
                 b2 * b3 * x2 * x1 / (1 + b3 * x1)^2)
m4 <- y ~ ifelse(r == 1, b1 * b3 * x2 * x1 / (1 + b3 * x1),
                 b2 * b3 * x2 * x1 / (1 + b3 * x1 + b4 * x1)^2)
# Gauss-Newton with nls's relative-offset tolerance 1e-7, the smallest at which all three fits
# converge (1e-8 exceeds 1000 iterations on experiment_selection's model 3).
ctl <- nls.control(maxiter = 1000, tol = 1e-7, minFactor = 1e-12)
# Started from the values that generated the data.
write_fit("es_model3", nls(m3, d, start = c(b1 = 0.0005, b2 = 0.16, b3 = 15), weights = w,
                           control = ctl))
write_fit("es_model4", nls(m4, d, start = c(b1 = 0.0005, b2 = 0.16, b3 = 15, b4 = 1.9),
                           weights = w, control = ctl))

# ------------------------------------------------------------------ outlier_regression, run 1
# (the first object: an outlier in x, response variances assigned, started at 1, 1, 1, 1)
ox1 <- c(20, 30, 20, 30, 25, 25, 25, 15, 35, 55, 55, 10.6, 16)
ox2 <- c(20, 20, 30, 30, 25, 20, 35, 25, 25, 32.8, 55, 55, 55)
oy1 <- c(6.61, 5.42, 5.0, 7.5, 5.73, 3.8, 7.3, 4.9, 5.9, 9.15, 13.74, 6.0, 8.2)
oy2 <- c(0.43, 0.44, 0.64, 0.66, 0.55, 0.33, 0.79, 0.35, 0.71, 0.926, 1.34, 1.7, 0.84)
o <- data.frame(y = c(oy1, oy2), x1 = rep(ox1, 2), x2 = rep(ox2, 2), r = rep(1:2, each = 13),
                w = rep(c(1 / 0.348, 1 / 0.0023), each = 13))
mo <- y ~ ifelse(r == 1, b1, b2) * x1 * x2 / (1 + b3 * x1 + b4 * x2)
write_fit("or_run1", nls(mo, o, start = c(b1 = 1, b2 = 1, b3 = 1, b4 = 1), weights = w,
                         control = ctl))
out$close()
