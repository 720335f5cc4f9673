# The read alone: data.table::fread of the whole CSV into memory, as the R anchor's first step.
#
#     Rscript fread_read.R FILE.csv
#
# Prints "phase read SECONDS" (the fread call only, R's start excluded) and "threads N" (fread's
# threads: data.table's default, half the logical cores unless R_DATATABLE_NUM_THREADS says).
suppressMessages(library(data.table))
file <- commandArgs(trailingOnly = TRUE)[1]
seconds <- system.time(data <- fread(file, showProgress = FALSE))[["elapsed"]]
cat(sprintf("phase read %.3f\n", seconds))
cat(sprintf("threads %d\n", getDTthreads()))
cat(sprintf("rows %d\n", nrow(data)))
