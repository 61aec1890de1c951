#!/usr/bin/env python3
"""Reads a report's spreadsheet with openpyxl and checks it against the JSON of the same report."""
import datetime
import json
import sys

import openpyxl


def near(a, b):
    if a is None or b is None:
        return a is None and b is None
    return abs(a - b) <= 1e-9 * max(1.0, abs(b))


def main(xlsx_path, json_path):
    report = json.load(open(json_path, encoding="utf-8"))
    book = openpyxl.load_workbook(xlsx_path)
    days, hours = book.worksheets[0], book.worksheets[1]
    if days.freeze_panes != "A2" or hours.freeze_panes != "A2":
        return "header rows are not frozen"
    bands = len(report["bands"])
    keys = (["import_kwh"] + [None] * bands +
            ["export_kwh", "inductive_kvarh", "capacitive_kvarh", "inductive_ratio", "capacitive_ratio",
             "max_demand_w", "max_demand_time", "max_demand_va", "average_pf"])
    rows = list(days.iter_rows(min_row=2, values_only=True))
    expected = report["days"] + [report["total"]]
    for index, figures in enumerate(expected):
        row = rows[index]
        if index < len(report["days"]):
            if not isinstance(row[0], datetime.datetime) or row[0].date().isoformat() != figures["date"]:
                return f"row {index + 2}: date {row[0]!r}, expected {figures['date']}"
        for column, key in enumerate(keys, start=1):
            cell = row[column]
            if key is None:
                want = figures["bands_kwh"][column - 2]
            else:
                want = figures[key]
            if key == "max_demand_time":
                got = cell.isoformat() if cell else None
                if (want or None) and not want.startswith(got or "-"):
                    return f"row {index + 2} {key}: {got!r}, expected {want!r}"
            elif not near(cell, want):
                return f"row {index + 2} {key}: {cell!r}, expected {want!r}"
    hour_import = sum(r[1] for r in hours.iter_rows(min_row=2, values_only=True) if r[1] is not None)
    if not near(round(hour_import, 6), round(report["total"]["import_kwh"], 6)):
        return f"hours sum to {hour_import}, total import {report['total']['import_kwh']}"
    return None


if __name__ == "__main__":
    problem = main(sys.argv[1], sys.argv[2])
    if problem:
        print(problem)
        sys.exit(1)
