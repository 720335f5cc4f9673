# R's nls on the models of the nonlinear demonstrations and the guide, for `kelmath nls`:
# summary(nls()) of each model (estimates, standard errors, t and P values, residual standard
# error, degrees of freedom, residual sum of squares). Writes the data as nls_<case>.csv and
# the values as nls_<case>.txt, with the command's arguments (formula, start, weights).
# The demonstrations' two stacked responses (r = 1, 2) are one response here: R's
# ifelse(r == 1, A, B) is written (2 - r) * A + (r - 1) * B, which `kelmath nls` evaluates too.
source("common.R")

# Gauss-Newton with the relative-offset tolerance 1e-7 of nonlinear_demos.R (1e-8 runs out of
# iterations on the saturation model: its offset stalls at 3e-8, the rounding level).
ctl <- nls.control(maxiter = 1000, tol = 1e-7, minFactor = 1e-12)

write_case <- function(name, data, formula, start, weights = NULL) {
  # Fitted to the file as read back, so that R and the command see the same doubles.
  write.csv(data, paste0("nls_", name, ".csv"), row.names = FALSE)
  data <- read.csv(paste0("nls_", name, ".csv"))
  fit <- if (is.null(weights)) {
    nls(as.formula(formula), data, start = start, control = ctl)
  } else {
    nls(as.formula(formula), data, start = start, control = ctl, weights = data[[weights]])
  }
  s <- summary(fit)
  out <- kv_open(paste0("nls_", name, ".txt"))
  out$comment("nls(", formula, ", start = ", paste(names(start), start, sep = "=", collapse = ","),
              if (!is.null(weights)) paste0(", weights = ", weights), ")")
  out$scalar("formula", formula)
  out$scalar("start", paste(names(start), fshort(unlist(start)), sep = "=", collapse = ","))
  out$scalar("weights", if (is.null(weights)) "" else weights)
  out$vector("b", coef(fit))
  out$vector("se", s$coefficients[, 2])
  out$vector("t", s$coefficients[, 3])
  out$vector("p", s$coefficients[, 4])
  out$scalar("sigma", s$sigma)
  out$scalar("df", s$df[2])
  out$scalar("rss", deviance(fit))
  out$close()
}

# The guide's rival models (docs/examples/rival_models.cpp), each on its own.
rival <- data.frame(x = c(0.2, 0.5, 1, 2, 4, 8), y = c(0.58, 0.99, 1.34, 1.59, 1.78, 1.88))
write_case("saturation", rival, "y ~ b1 * x/(b2 + x)", list(b1 = 1, b2 = 1))
write_case("first_order", rival, "y ~ b1 * (1 - exp(-b2 * x))", list(b1 = 1, b2 = 1))

# datasets::Puromycin, the treated cells: Michaelis-Menten.
treated <- Puromycin[Puromycin$state == "treated", c("conc", "rate")]
write_case("puromycin", treated, "rate ~ Vm * conc/(K + conc)", list(Vm = 200, K = 0.1))

# outlier_regression, run 1 (nonlinear_demos.R): weights 1/variance of each response.
ox1 <- c(20, 30, 20, 30, 25, 25, 25, 15, 35, 55, 55, 10.6, 16)
ox2 <- c(20, 20, 30, 30, 25, 20, 35, 25, 25, 32.8, 55, 55, 55)
oy1 <- c(6.61, 5.42, 5.0, 7.5, 5.73, 3.8, 7.3, 4.9, 5.9, 9.15, 13.74, 6.0, 8.2)
oy2 <- c(0.43, 0.44, 0.64, 0.66, 0.55, 0.33, 0.79, 0.35, 0.71, 0.926, 1.34, 1.7, 0.84)
o <- data.frame(y = c(oy1, oy2), x1 = rep(ox1, 2), x2 = rep(ox2, 2), r = rep(1:2, each = 13),
                w = rep(c(1 / 0.348, 1 / 0.0023), each = 13))
write_case("outlier", o, "y ~ (b1 * (2 - r) + b2 * (r - 1)) * x1 * x2/(1 + b3 * x1 + b4 * x2)",
           list(b1 = 1, b2 = 1, b3 = 1, b4 = 1), weights = "w")

# experiment_selection's model 3 (nonlinear_demos.R), started where the data came from.
noise <- c(1.22, 1.44, -1.22, 1.66, -1.1, -1.22, -1.44, 1.88, 1.44, -1.24, 1.66, -1.22,
           -1.88, 1.22, 1.44, -1.66, 1.66, -1.88, -1.44, 1.44, 1.22, 1.66, -1.44, -1.22, 1.44,
           -1.22, 1.22, -1.22, 1.44, -1.22, -1.44)
x1 <- c(0.5, 1, 0.5, 1, 0.01)
x2 <- c(0.5, 0.5, 1, 1, 2)
y1 <- 0.0005 * 15 * x1 * x2 / (15 * x1 + 1) + 2e-6 * noise[1:5]
y2 <- 0.16 * 15 * x1 * x2 / (15 * x1 + 1 + 1.9 * x1)^2 + 5e-5 * noise[31 - (1:5)]
d <- data.frame(y = c(y1, y2), x1 = rep(x1, 2), x2 = rep(x2, 2), r = rep(1:2, each = 5),
                w = rep(c(1 / 8.6e-12, 1 / 5.4e-9), each = 5))
write_case("selection", d,
           "y ~ (2 - r) * b1 * b3 * x2 * x1/(1 + b3 * x1) + (r - 1) * b2 * b3 * x2 * x1/(1 + b3 * x1)^2",
           list(b1 = 0.0005, b2 = 0.16, b3 = 15), weights = "w")

# The two rival models of the guide compared against the known variance 1e-4 on 5 degrees of
# freedom: each model's mean square error, F = MSE / 1e-4 and P(F(4, 5) > F).
fits <- list(nls(y ~ b1 * x/(b2 + x), rival, start = list(b1 = 1, b2 = 1), control = ctl),
             nls(y ~ b1 * (1 - exp(-b2 * x)), rival, start = list(b1 = 1, b2 = 1), control = ctl))
out <- kv_open("nls_rival_comparison.txt")
out$comment("summary(nls)$sigma^2 of y ~ b1 * x/(b2 + x) and y ~ b1 * (1 - exp(-b2 * x)),",
            " F = MSE / 1e-4, pf(F, 4, 5, lower.tail = FALSE)")
mse <- sapply(fits, function(f) summary(f)$sigma^2)
out$vector("mse", mse)
out$vector("f", mse / 1e-4)
out$vector("p", pf(mse / 1e-4, 4, 5, lower.tail = FALSE))
out$close()
