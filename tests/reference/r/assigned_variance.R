# Inference with a response variance known from replicates, as the kelmath command and the
# library's least-squares report make it: sigma^2 = 25 with 10 degrees of freedom assigned to
# lm(Fertility ~ ., swiss). The standard errors use sigma^2 in place of the residual mean
# square; the t quantiles and P values keep the residual degrees of freedom m - n (as the
# library's report does); the F test of the model compares the residual mean square with
# sigma^2 on (m - n, 10) degrees of freedom.
# Writes assigned_variance_swiss.txt. Run from this folder: Rscript assigned_variance.R

source("common.R")

sigma2 <- 25
k <- 10
fit <- lm(Fertility ~ ., data = read.csv("swiss.csv"))
m <- nobs(fit)
dof <- fit$df.residual
se <- sqrt(diag(vcov(fit)) * sigma2 / summary(fit)$sigma^2)
est <- coef(fit)
t <- est / se
kv <- kv_open("assigned_variance_swiss.txt")
kv$comment(R.version.string, ": lm(Fertility ~ ., data = read.csv(\"swiss.csv\")), sigma^2 = 25, 10 dof")
kv$scalar("parameters", length(est))
kv$scalar("residual_dof", dof)
kv$vector("std_error", unname(se))
kv$vector("t_value", unname(t))
kv$vector("p_value", unname(2 * pt(abs(t), dof, lower.tail = FALSE)))
kv$vector("ci95_low", unname(est - qt(0.975, dof) * se))
kv$vector("ci95_high", unname(est + qt(0.975, dof) * se))
mse <- sum(residuals(fit)^2) / dof
kv$scalar("f_experimental", mse / sigma2)
kv$scalar("f_p_value", pf(mse / sigma2, dof, k, lower.tail = FALSE))
kv$close()
