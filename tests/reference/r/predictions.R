# predict(lm, newdata, interval =, level =) for the kelmath command's predict. Each case fits a
# model to one of the CSV files of formulas.R (read back with read.csv, text columns as factors'
# labels) and predicts the rows of a new CSV file written here (predict_<case>_new.csv): the
# fitted values and the interval bounds (fit, lwr, upr) per new row, NA where a variable is
# missing (predict's default na.pass).
# Writes predict_<case>.txt and predict_<case>_new.csv. Run from this folder: Rscript predictions.R
source("common.R")

read <- function(name) read.csv(sprintf("formula_%s.csv", name), stringsAsFactors = FALSE)
cars93 <- read("cars93")
mtcars <- read("mtcars")
tooth <- read("tooth")
airquality <- read("airquality")

# New rows: some of the data's own rows with changed values, and a row with a missing value.
new_cars <- data.frame(Weight = c(2500, 3000, 3500, 4000, NA, 2800),
                       Type = c("Small", "Midsize", "Large", "Van", "Compact", "Sporty"),
                       Origin = c("USA", "non-USA", "USA", "non-USA", "USA", "non-USA"),
                       MPG.city = c(30, 22, 18, 17, 25, 24),
                       stringsAsFactors = FALSE)
new_mtcars <- data.frame(wt = c(2.2, 3.1, 4.5, 5.8), hp = c(90, 150, 230, 330),
                         cyl = c(4, 6, 8, 8), qsec = c(19.5, 17.2, 16.1, 14.5))
new_tooth <- data.frame(supp = c("OJ", "VC", "OJ", "VC"), dose = c(0.5, 1, 2, 2))
new_air <- data.frame(Solar.R = c(100, 250, 300), Wind = c(12, 7.5, 4), Temp = c(60, 82, 95),
                      Month = c(5, 7, 9))

# Each case: name, data, new rows, formula, interval, level, weights column ("" for none).
cases <- list(
  list("cars93_confidence", cars93, new_cars, "log(Price) ~ Weight + I(Weight^2) + Type + Weight:Origin", "confidence", 0.95, ""),
  list("cars93_prediction", cars93, new_cars, "log(Price) ~ Weight + Type", "prediction", 0.9, ""),
  list("mtcars_weighted", mtcars, new_mtcars, "mpg ~ wt + factor(cyl)", "prediction", 0.95, "qsec"),
  list("tooth_interaction", tooth, new_tooth, "len ~ supp * factor(dose)", "confidence", 0.99, ""),
  list("airquality_none", airquality, new_air, "log(Ozone) ~ Solar.R + Wind + I(Temp - 70) + factor(Month)", "none", 0.95, "")
)

for (case in cases) {
  name <- case[[1]]
  data <- case[[2]]
  new <- case[[3]]
  write.csv(new, sprintf("predict_%s_new.csv", name), row.names = FALSE, na = "")
  weights <- case[[7]]
  fit <- if (nchar(weights) > 0) {
    data$.w <- data[[weights]]
    lm(as.formula(case[[4]]), data = data, weights = .w)
  } else {
    lm(as.formula(case[[4]]), data = data)
  }
  p <- if (nchar(weights) > 0) {
    # The new rows' weights, as predict(weights =) takes them.
    predict(fit, newdata = new, interval = case[[5]], level = case[[6]], weights = new[[weights]])
  } else {
    predict(fit, newdata = new, interval = case[[5]], level = case[[6]])
  }
  p <- as.matrix(p)
  kv <- kv_open(sprintf("predict_%s.txt", name))
  kv$comment(sprintf("%s: predict(lm(%s, data = formula_*.csv%s), newdata = predict_%s_new.csv, interval = \"%s\", level = %s)",
                     R.version.string, case[[4]], if (nchar(weights) > 0) sprintf(", weights = %s", weights) else "",
                     name, case[[5]], case[[6]]))
  kv$scalar("data", sub("_.*", "", name))
  kv$scalar("formula", case[[4]])
  kv$scalar("interval", case[[5]])
  kv$scalar("level", case[[6]])
  kv$scalar("weights", weights)
  kv$scalar("rows", nrow(p))
  kv$vector("fit", unname(p[, 1]))
  if (ncol(p) == 3) {
    kv$vector("lwr", unname(p[, 2]))
    kv$vector("upr", unname(p[, 3]))
  }
  kv$close()
}
