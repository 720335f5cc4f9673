"""The largest relative difference between two sets of least-squares coefficients.

    /usr/bin/python3 compare_coefficients.py REFERENCE OTHER

Each argument is an anchor's output (lines "coefficient NAME VALUE"), a JSON file of
`kelmath regress --json` (its "coefficients" array of objects with "name" and "estimate"), or
the word "truth" for the generator's model: intercept 1, b_j = (-1)^(j+1) j / 10 for x1..x10.
Prints "D at NAME": D the largest over the coefficients of |other - reference| / |reference|, NAME
the coefficient where it is reached. Exits 1 when the two name different coefficients.
"""
import json
import sys

INTERCEPT_NAMES = {"const", "Intercept", "(Intercept)"}


def canonical(name):
    return "(Intercept)" if name in INTERCEPT_NAMES else name


def truth():
    slopes = {f"x{j}": (1 if j % 2 else -1) * j / 10 for j in range(1, 11)}
    return {"(Intercept)": 1.0, **slopes}


def find_coefficients(node):
    """The first list named "coefficients" whose entries carry a name and an estimate."""
    if isinstance(node, dict):
        listed = node.get("coefficients")
        if isinstance(listed, list) and listed and all(
                isinstance(c, dict) and "name" in c and "estimate" in c for c in listed):
            return {canonical(c["name"]): float(c["estimate"]) for c in listed}
        children = node.values()
    elif isinstance(node, list):
        children = node
    else:
        return None
    for child in children:
        found = find_coefficients(child)
        if found is not None:
            return found
    return None


def load(argument):
    if argument == "truth":
        return truth()
    with open(argument, encoding="utf-8") as stream:
        text = stream.read()
    if text.lstrip().startswith(("{", "[")):
        found = find_coefficients(json.loads(text))
        if found is None:
            sys.exit(f"{argument}: no coefficients array with name and estimate")
        return found
    coefficients = {}
    for line in text.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[0] == "coefficient":
            coefficients[canonical(fields[1])] = float(fields[2])
    if not coefficients:
        sys.exit(f"{argument}: no coefficient lines")
    return coefficients


def main():
    reference, other = load(sys.argv[1]), load(sys.argv[2])
    if reference.keys() != other.keys():
        sys.exit(f"different coefficients: {sorted(reference)} and {sorted(other)}")
    worst = max(reference, key=lambda n: abs(other[n] - reference[n]) / abs(reference[n]))
    difference = abs(other[worst] - reference[worst]) / abs(reference[worst])
    print(f"{difference:.2e} at {worst}")


main()
