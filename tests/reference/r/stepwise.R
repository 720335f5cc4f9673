# Best subsets (leaps::regsubsets, exhaustive) of R's data sets, for the kelmath command's
# stepwise: for every number of parameters (the intercept and k columns), the lowest residual
# sum of squares over all subsets of k columns, as the mean square error RSS / (m - k - 1), and
# the columns of that subset. The data are written as stepwise_<name>.csv.
# Writes stepwise_<name>.txt. Run from this folder: Rscript stepwise.R
source("common.R")
suppressPackageStartupMessages(library(leaps))
sets <- list(
  mtcars = list(data = mtcars, response = "mpg"),
  swiss = list(data = swiss, response = "Fertility"),
  savings = list(data = LifeCycleSavings, response = "sr"),
  stackloss = list(data = stackloss, response = "stack.loss")
)
for (name in names(sets)) {
  data <- sets[[name]]$data
  response <- sets[[name]]$response
  write.csv(data, sprintf("stepwise_%s.csv", name), row.names = FALSE)
  p <- ncol(data) - 1
  m <- nrow(data)
  fit <- regsubsets(as.formula(paste(response, "~ .")), data = data, nvmax = p,
                    method = "exhaustive")
  s <- summary(fit)
  y <- data[[response]]
  kv <- kv_open(sprintf("stepwise_%s.txt", name))
  kv$comment(sprintf("%s, leaps %s: regsubsets(%s ~ ., stepwise_%s.csv, nvmax = %d, method = 'exhaustive')",
                     R.version.string, packageVersion("leaps"), response, name, p))
  kv$scalar("response", response)
  kv$scalar("sizes", p + 1)
  mse <- c(sum((y - mean(y))^2) / (m - 1), s$rss / (m - seq_len(p) - 1))
  kv$vector("mse", mse)
  columns <- c("", apply(s$which[, -1, drop = FALSE], 1, function(w) paste(names(w)[w], collapse = ",")))
  kv$vector("columns", columns)
  kv$close()
}
