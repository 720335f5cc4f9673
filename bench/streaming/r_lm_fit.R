# The R anchor: fread, then lm(y ~ ., data) and its summary, all in memory.
#
#     Rscript r_lm_fit.R FILE.csv
#
# Prints "phase read SECONDS", "phase fit SECONDS" (lm and summary.lm) and one line
# "coefficient NAME VALUE" per estimate, 17 significant digits, for the accuracy comparison.
suppressMessages(library(data.table))
file <- commandArgs(trailingOnly = TRUE)[1]
read_seconds <- system.time(data <- fread(file, showProgress = FALSE))[["elapsed"]]
cat(sprintf("phase read %.3f\n", read_seconds))
fit_seconds <- system.time({
  fit <- lm(y ~ ., data = data)
  fit_summary <- summary(fit)
})[["elapsed"]]
cat(sprintf("phase fit %.3f\n", fit_seconds))
estimates <- coef(fit_summary)[, "Estimate"]
cat(sprintf("coefficient %s %.17g\n", names(estimates), estimates), sep = "")
