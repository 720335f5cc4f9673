# The R side of the benchmark: what `kelmath regress FILE.csv --response y` computes.
# read.csv, lm, summary, hatvalues, cooks.distance, rstudent, and the number of rows the three
# rules of thumb flag.
#
#     Rscript r_regress.R FILE.csv
file <- commandArgs(trailingOnly = TRUE)[1]
data <- read.csv(file)
fit <- lm(y ~ ., data = data)
print(summary(fit))
h <- hatvalues(fit)
cook <- cooks.distance(fit)
studentized <- rstudent(fit)
m <- nrow(data)
n <- length(coef(fit))
flagged <- cook > 4 / m | abs(studentized) > 3 | h > 2 * n / m
cat("influential rows:", sum(flagged), "\n")
