"""kelmath regress under mpirun on 1, 2, 3 and 4 processes, every rank reading its own part of
the file, against the same command streaming the file in one process without mpirun: the summary
line for line (but the Call line), every number of the JSON result to 1e-12 relative, and the
--observations rows in data row order, each number to 1e-12 of its column's spread, and the
diagnostic plots to the byte (their coordinates are printed to a hundredth of a pixel). The files: a
generated one of a few thousand rows with missing values (dropped rows) and quoted labels
holding separators, the same with a column that is the sum of two others (dropped as NA), both
scaled by 1e150 and 1e-150, rows of which the last has leverage 1, R's mtcars, and three data rows
on four processes (a rank with no line). Then the errors: a bad cell
on the last line, read by the last rank, too few rows spread over more ranks than rows, and an
option that needs the file in memory: status 2, the message printed once, and no file written.

Usage: check_streamed_regress.py MPIRUN PROGRAM MTCARS WORKDIR, MPIRUN a ';'-separated list
(mpirun and its options)."""
import json
import math
import os
import random
import shutil
import subprocess
import sys

TOLERANCE = 1e-12
OBSERVATION_NUMBERS = range(1, 6)  # row, then fitted ... cooks_distance, then the flags
PLOTS = ("residuals_fitted.svg", "qq.svg", "scale_location.svg", "residuals_leverage.svg")


def generated_rows(count, dependent, scale=1.0):
    """y = 0.2 + 0.15 x1 - 0.05 x2 + 0.0003 x3 + noise; with `dependent`, x3 = x1 + x2 exactly;
    every value times `scale`. The effects are of the noise's size: a residual far below the
    response, or a t far out in the tail (where P changes by t^2 times t's relative change),
    would not be defined to 1e-12."""
    rng = random.Random(27)
    lines = ["id,x1,label,x2,x3,y"]
    for i in range(1, count + 1):
        x1, x2 = rng.gauss(0, 1), rng.gauss(5, 3)
        x3 = x1 + x2 if dependent else rng.uniform(-1e3, 1e3)
        y = 0.2 + 0.15 * x1 - 0.05 * x2 + 0.0003 * x3 + rng.gauss(0, 1) * (1 + abs(x1))
        x1, x2, x3, y = (v * scale for v in (x1, x2, x3, y))
        if dependent:
            x3 = x1 + x2
        cells = [str(i), repr(x1), '"a, ""b"" %d"' % i, repr(x2), repr(x3), repr(y)]
        if i % 97 == 5:
            cells[rng.choice([1, 3, 4, 5])] = rng.choice(["NA", ""])
        lines.append(",".join(cells))
    return lines


def write(path, lines, last_break=True):
    with open(path, "w", newline="") as f:
        f.write("\n".join(lines) + ("\n" if last_break else ""))


def read(folder, name):
    with open(os.path.join(folder, name)) as f:
        return f.read()


def run(command, folder):
    done = subprocess.run(command, cwd=folder, capture_output=True, text=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


def without_call(summary):
    return [line for line in summary.splitlines() if not line.startswith("Call: ")]


def json_differences(reference, value, path=""):
    """Where the value differs from the reference: numbers beyond TOLERANCE relative, anything
    else at all."""
    if isinstance(reference, float):
        if not isinstance(value, (int, float)) or isinstance(value, bool) or \
                abs(value - reference) > TOLERANCE * abs(reference):
            yield "%s: %r against %r" % (path, value, reference)
    elif isinstance(reference, dict):
        if not isinstance(value, dict) or set(value) != set(reference):
            yield "%s: members %r against %r" % (path, value, sorted(reference))
        else:
            for key in reference:
                yield from json_differences(reference[key], value[key], path + "." + key)
    elif isinstance(reference, list):
        if not isinstance(value, list) or len(value) != len(reference):
            yield "%s: %r against %r" % (path, value, reference)
        else:
            for i, (r, v) in enumerate(zip(reference, value)):
                yield from json_differences(r, v, "%s[%d]" % (path, i))
    elif reference != value:
        yield "%s: %r against %r" % (path, value, reference)


def near(reference, value, spread):
    """Two cells of an observations column: the same NA, or numbers within TOLERANCE x spread."""
    if "NA" in (reference, value):
        return reference == value
    return abs(float(reference) - float(value)) <= TOLERANCE * spread


def observations_difference(reference, value):
    """The first line where the observations file differs from the reference, or None: the rows
    and flags exactly, the numbers to TOLERANCE of their column's spread."""
    a = [line.split(",") for line in reference.splitlines()]
    b = [line.split(",") for line in value.splitlines()]
    if len(a) != len(b) or a[0] != b[0]:
        return "%d lines against %d, header %s" % (len(b), len(a), b[:1])
    spread = {}
    for k in OBSERVATION_NUMBERS:
        numbers = [float(r[k]) for r in a[1:] if r[k] != "NA"]
        spread[k] = max(numbers) - min(numbers) if numbers else 0.0
    for line, (r, v) in enumerate(zip(a[1:], b[1:]), start=2):
        if len(r) != len(v) or r[0] != v[0] or r[6:] != v[6:] or any(
                not near(r[k], v[k], spread[k]) for k in OBSERVATION_NUMBERS):
            return "line %d: %s against %s" % (line, v, r)
    return None


class Checks:
    def __init__(self, mpirun, program, workdir):
        self.mpirun = mpirun
        self.program = program
        self.workdir = workdir
        self.failures = []

    def fail(self, text):
        self.failures.append(text)
        print("FAILED: " + text, file=sys.stderr)

    def fresh_folder(self, name, data):
        folder = os.path.join(self.workdir, name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        shutil.copy(data, folder)
        return folder

    def same_on_every_process_count(self, name, data, arguments, same_plots=True):
        """The runs on 1 to 4 processes against the run streamed without mpirun; returns its
        JSON result. With same_plots the plots are the same to the byte."""
        folder = self.fresh_folder(name, data)
        regress = [self.program, "regress", os.path.basename(data)] + arguments
        # The files have the same names in every run: the summary names the observations file.
        outputs = ["--json", "r.json", "--observations", "r.csv", "--plots", "plots"]
        status, summary, errors = run(regress + ["--stream"] + outputs, folder)
        if status != 0:
            self.fail("%s streamed in one process: status %d: %s" % (name, status, errors))
            return None
        reference, rows = json.loads(read(folder, "r.json")), read(folder, "r.csv")
        plots = {plot: read(folder, "plots/" + plot) for plot in PLOTS}
        for processes in (1, 2, 3, 4):
            where = "%s on %d processes" % (name, processes)
            for stale in ("r.json", "r.csv"):
                os.remove(os.path.join(folder, stale))
            shutil.rmtree(os.path.join(folder, "plots"))
            # Under mpirun a run of several processes streams without being asked to.
            stream = ["--stream"] if processes == 1 else []
            status, out, errors = run(
                self.mpirun + ["-np", str(processes)] + regress + stream + outputs, folder)
            if status != 0:
                self.fail("%s: status %d: %s" % (where, status, errors))
                continue
            if without_call(out) != without_call(summary):
                self.fail("%s: the summary\n%s\nagainst\n%s" % (where, out, summary))
            for difference in json_differences(reference, json.loads(read(folder, "r.json"))):
                self.fail("%s, JSON %s" % (where, difference))
            difference = observations_difference(rows, read(folder, "r.csv"))
            if difference:
                self.fail("%s, observations %s" % (where, difference))
            for plot in PLOTS if same_plots else ():
                if read(folder, "plots/" + plot) != plots[plot]:
                    self.fail("%s: plots/%s differs" % (where, plot))
        return reference

    def scale_free(self, name, result, unscaled):
        """The numbers a change of scale leaves alone, to 1e-10 relative (the data differ by a
        rounding each)."""
        if unscaled is None:
            return
        pairs = [(result[k], unscaled[k], k) for k in ("r_squared", "f_statistic")]
        pairs.append((result["breusch_pagan"]["statistic"],
                      unscaled["breusch_pagan"]["statistic"], "BP"))
        for i, (a, b) in enumerate(zip(result["coefficients"], unscaled["coefficients"])):
            pairs.append((a["t_value"], b["t_value"], "t[%d]" % i))
        for value, reference, what in pairs:
            if (value is None) != (reference is None) or \
                    (value is not None and abs(value - reference) > 1e-10 * abs(reference)):
                self.fail("%s: %s %r against %r unscaled" % (name, what, value, reference))

    def error(self, name, data, processes, arguments, message):
        """One message, status 2, no output, and nothing written beside the input."""
        folder = self.fresh_folder(name, data)
        before = sorted(os.listdir(folder))
        command = self.mpirun + ["-np", str(processes), self.program, "regress",
                                 os.path.basename(data)] + arguments
        status, out, errors = run(command + ["--json", "r.json", "--observations", "o.csv"],
                                  folder)
        where = "%s on %d processes" % (name, processes)
        if status != 2 or out != "" or errors.count("kelmath: ") != 1:
            self.fail("%s: status %d, output %r, errors:\n%s" % (where, status, out, errors))
        if "kelmath: " + message + "\n" not in errors:
            self.fail("%s: the message is not 'kelmath: %s':\n%s" % (where, message, errors))
        if sorted(os.listdir(folder)) != before:
            self.fail("%s: files written: %s" % (where, sorted(os.listdir(folder))))


def unit_leverage_rows(count):
    """y = 0.1 x + noise, and a column that is 1 on the last row alone (its leverage is 1)."""
    noise = random.Random(5)
    lines = ["y,x,alone"]
    for i in range(1, count + 1):
        x = math.sin(0.9 * i)
        lines.append("%r,%r,%d" % (0.1 * x + noise.gauss(0, 1), x, i == count))
    return lines


def write_inputs(inputs):
    """The data files in the folder inputs, by name."""
    generated = generated_rows(3000, False)
    contents = {
        "generated": generated,
        "dependent": generated_rows(3000, True),
        "huge": generated_rows(3000, False, 1e150),
        "tiny": generated_rows(3000, True, 1e-150),
        "unit_leverage": unit_leverage_rows(500),
        "bad_last_line": generated + ['3001,1.5,"x",abc,2,3'],
        "three_rows": ["y,x", "1,2", "2,3.5", "3,4"],
        "two_rows": ["y,x", "1,2", "2,3.5"],
    }
    data = {}
    for name, lines in contents.items():
        data[name] = os.path.join(inputs, name + ".csv")
        write(data[name], lines, last_break=name != "bad_last_line")
    return data


def main():
    mpirun, program, mtcars, workdir = sys.argv[1].split(";"), sys.argv[2], sys.argv[3], sys.argv[4]
    shutil.rmtree(workdir, ignore_errors=True)
    inputs = os.path.join(workdir, "inputs")
    os.makedirs(inputs)
    data = write_inputs(inputs)
    checks = Checks(mpirun, program, workdir)

    model = ["--response", "y", "--columns", "x1,x2,x3"]
    results = {}
    results["generated"] = checks.same_on_every_process_count("generated", data["generated"],
                                                              model)
    if results["generated"] is not None and not results["generated"]["dropped_rows"]:
        checks.fail("the generated file has no dropped rows")
    checks.same_on_every_process_count("generated_hc5", data["generated"], model + ["--se", "hc5"])
    results["dependent"] = checks.same_on_every_process_count("dependent", data["dependent"],
                                                              model + ["--se", "hc1"])
    if results["dependent"] is not None and \
            results["dependent"]["coefficients"][3]["estimate"] is not None:
        checks.fail("x3 = x1 + x2 is not dropped: %r" % results["dependent"]["coefficients"][3])
    # The same rows scaled by 1e150 and 1e-150 (rounded again, so not exactly): the same t
    # values, R^2 and tests.
    for scaled, unscaled, se in (("huge", "generated", "classical"), ("tiny", "dependent", "hc1")):
        result = checks.same_on_every_process_count(scaled, data[scaled], model + ["--se", se])
        if result is not None:
            checks.scale_free(scaled, result, results[unscaled])
    for se in ("hc0", "hc3"):
        result = checks.same_on_every_process_count("unit_leverage_" + se,
                                                     data["unit_leverage"], ["--response", "y",
                                                                             "--se", se])
        if result is not None and result.get("unit_leverage_rows") != [500]:
            checks.fail("unit_leverage_%s: %r" % (se, result.get("unit_leverage_rows")))
    cars = ["--response", "mpg", "--columns", "wt,hp,qsec,am"]
    checks.same_on_every_process_count("mtcars", mtcars, cars)
    checks.same_on_every_process_count("mtcars_hc3", mtcars, cars + ["--se", "hc3"])
    # Its three standardized residuals are 1, -1 and 1 exactly, so their rounding decides the
    # plots' axes: the plots differ at rounding.
    checks.same_on_every_process_count("three_rows", data["three_rows"], ["--response", "y"],
                                       same_plots=False)

    last_line = 1 + 3000 + 1  # the header, the generated rows, then the bad one
    for processes in (2, 3, 4):
        checks.error("bad_last_line", data["bad_last_line"], processes, model,
                     "bad_last_line.csv: rank %d, line %d, column 'x2': 'abc' is not a number"
                     % (processes - 1, last_line))
    checks.error("two_rows", data["two_rows"], 4, ["--response", "y"],
                 "two_rows.csv: 2 complete rows (0 dropped for missing values), but a model with "
                 "2 parameters needs at least 3")
    # A usage error is the same on every rank: printed once, naming no rank.
    checks.error("refused", mtcars, 3, cars + ["--html", "r.html"],
                 "--html needs the whole file in memory: it is not available with "
                 "--stream or under mpirun")
    if checks.failures:
        sys.exit("%d failures" % len(checks.failures))
    print("the streamed regression agrees on 1 to 4 processes")


main()
