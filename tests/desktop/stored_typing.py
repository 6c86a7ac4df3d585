#!/usr/bin/env python3
"""Compares two CSV exports of one table (vardimo-admin export) taken before and after a person
typed into one text of one row, and says whether the stored text is exactly what the typing
should have made: the typed piece inserted where the cursor was, every other value unchanged.

    stored_typing.py BEFORE.csv AFTER.csv --what TEXT --column COL --at N --typed TEXT
                     [--name COL ...] [--ignore COL ...]

Exit status 0 when it is, 1 (with what was expected and what was found) when it is not.
"""
import argparse
import collections
import csv
import sys


def read(path):
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.DictReader(f))


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


def main():
    p = argparse.ArgumentParser()
    p.add_argument("before")
    p.add_argument("after")
    p.add_argument("--what", required=True, help="the box typed into, for the messages")
    p.add_argument("--name", action="append", default=[], help="a column naming the row in the messages")
    p.add_argument("--column", required=True)
    p.add_argument("--at", type=int, required=True, help="the cursor position when typing began")
    p.add_argument("--typed", required=True)
    p.add_argument("--ignore", action="append", default=["Modified By", "Modified Date"])
    a = p.parse_args()

    before = read(a.before)
    after = read(a.after)
    # The export has no key of its own for every table (two strategies of a global goal may have
    # one user and number): a row is named by all its values but the typed one and those a save
    # changes anyway.
    def key(row):
        return tuple((c, v) for c, v in row.items() if c != a.column and c not in a.ignore)

    old, new = collections.defaultdict(collections.Counter), collections.defaultdict(collections.Counter)
    for row in before:
        old[key(row)][row[a.column]] += 1
    for row in after:
        new[key(row)][row[a.column]] += 1
    changes = []
    for k in old.keys() | new.keys():
        gone, came = old[k] - new[k], new[k] - old[k]
        if gone or came:
            changes.append((k, list(gone.elements()), list(came.elements())))

    problems = []
    if not changes:
        problems.append(f"{a.what}: no row's {a.column} changed; the typing {quoted(a.typed)} was not stored")
    elif len(changes) > 1 or len(changes[0][1]) != 1 or len(changes[0][2]) != 1:
        lines = []
        for k, gone, came in changes:
            name = ", ".join(f"{c} {quoted(v)}" for c, v in k)
            lines.append(f"  {name}: {a.column} {[quoted(g) for g in gone]} -> {[quoted(c) for c in came]}")
        problems.append(f"{a.what}: more changed than the one {a.column} typed into:\n" + "\n".join(lines))
    else:
        k, (original,), (found,) = changes[0]
        if a.at > len(original):
            sys.exit(f"{a.what}: the cursor position {a.at} lies beyond the text {quoted(original)}")
        expected = original[: a.at] + a.typed + original[a.at :]
        row = ", ".join(f"{c} {v}" for c, v in k if c in a.name)
        if found != expected:
            hint = ""
            if sorted(found) == sorted(expected):
                hint = "\n  (every typed character arrived, but not all where the cursor was)"
            problems.append(
                f"{a.what} ({row}): typed {quoted(a.typed)} at position {a.at} of {quoted(original)}\n"
                f"  expected: {quoted(expected)}\n"
                f"  found:    {quoted(found)}{hint}")
        else:
            print(f"{a.what} ({row}): stored {quoted(found)} as typed")

    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
