#!/usr/bin/python3
"""pullrec-cli's csv, jsonl and influx output and `info --json` read back by independent parsers
(Python's csv and json modules, a line-protocol pattern), over TCP and a pseudo-terminal, and held
against the grid format of the same download.

usage: check_formats.py PATH-TO-PULLREC-CLI PATH-TO-KTR58-SIM"""

import csv
import datetime
import io
import json
import os
import re
import subprocess
import sys
import tempfile

import openpyxl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import ktr58sim  # noqa: E402

CLI, SIM = sys.argv[1], sys.argv[2]
RECORDS = "6,0,4,0,0,0,0,0,0,0,0,0,0,0,0,3"  # sectors 1 and 3, the energy log
failures = []


def check(what, ok):
    if not ok:
        failures.append(what)


def start(args):
    return ktr58sim.start(SIM, args)


def cli(connection, *args):
    run = subprocess.run([CLI, *args, *connection], capture_output=True, timeout=60)
    if run.returncode != 0:
        failures.append(f"{args} {connection}: exit {run.returncode}: {run.stderr.decode(errors='replace')}")
    return run.stdout


# Line protocol: measurement, escaped tags, escaped float fields, a nanosecond time stamp.
KEY = r"(?:[^,= \\]|\\.)+"
LINE = re.compile(rf"^pullrec,analyzer=({KEY}),area=(\d+),record=(\d+) ({KEY}=-?[0-9.e+-]+(?:,{KEY}=-?[0-9.e+-]+)*) (\d{{19}})$")


def unescape(text):
    return re.sub(r"\\(.)", r"\1", text)


def exercise(connection, transport):
    info = json.loads(cli(connection, "info", "--json"))
    serial = info["serial"]
    check(f"{transport} info counts", info["sectors"][:3] == [6, 0, 4] and info["energy"] == 3)
    check(f"{transport} info quantities", [q["name"] for q in info["quantities"]][:3] == ["VLN1", "VLN2", "VLN3"])

    rows = list(csv.reader(io.StringIO(cli(connection, "download", "--all", "--format", "csv").decode("utf-8"))))
    header, rows = rows[0], rows[1:]
    check(f"{transport} csv header {header[:5]}", header[:5] == ["analyzer", "area", "record", "time", "VLN1 [V]"])
    check(f"{transport} csv energy columns", "kWh.Ex. [kWh]" in header and "TI DEM. [I]" in header)
    check(f"{transport} csv rows", [(r[1], r[2]) for r in rows] ==
          [("1", str(n)) for n in range(1, 7)] + [("3", str(n)) for n in range(1, 5)] +
          [("16", str(n)) for n in range(1, 4)])
    csv_values = {}
    for r in rows:
        check(f"{transport} csv width", len(r) == len(header))
        check(f"{transport} csv analyzer", r[0] == serial)
        t = datetime.datetime.fromisoformat(r[3])
        check(f"{transport} csv time {r[3]} has an offset", t.utcoffset() is not None)
        values = {h: float(v) for h, v in zip(header[4:], r[4:]) if v != ""}
        check(f"{transport} csv values", len(values) > 10)
        csv_values[(r[1], r[2])] = (t, values)

    if transport == "tcp":
        with tempfile.TemporaryDirectory() as scratch:
            book = os.path.join(scratch, "records.xlsx")
            cli(connection, "download", "--all", "--format", "xlsx", "-o", book)
            sheet = openpyxl.load_workbook(book).worksheets[0]
            cells = list(sheet.iter_rows(values_only=True))
            check(f"xlsx header {cells[0][:6]}", list(cells[0]) == header[:4] + ["utc offset"] + header[4:])
            check("xlsx header frozen", sheet.freeze_panes == "A2")
            check("xlsx rows", len(cells) == len(rows) + 1)
            for c in cells[1:]:
                t, values = csv_values.get((str(c[1]), str(c[2])), (None, None))
                got = {h: v for h, v in zip(header[4:], c[5:]) if v is not None}
                check(f"xlsx record {c[1]}/{c[2]} as csv", c[0] == serial and t is not None and
                      c[3] == t.replace(tzinfo=None) and got == values)

    lines = cli(connection, "download", "--all", "--format", "jsonl").decode("utf-8").splitlines()
    check(f"{transport} jsonl lines", len(lines) == len(rows))
    for line in lines:
        o = json.loads(line)
        key = (str(o["area"]), str(o["record"]))
        t, values = csv_values.get(key, (None, None))
        check(f"{transport} jsonl {key} as csv", o["analyzer"] == serial and
              datetime.datetime.fromisoformat(o["time"]) == t and o["values"] == values)

    lines = cli(connection, "download", "--all", "--format", "influx").decode("utf-8").splitlines()
    check(f"{transport} influx lines", len(lines) == len(rows))
    for n, line in enumerate(lines):
        m = LINE.match(line)
        check(f"{transport} influx line {line!r}", m is not None)
        if not m:
            continue
        fields = {}
        for field in re.findall(rf"({KEY})=(-?[0-9.e+-]+)", m.group(4)):
            fields[unescape(field[0])] = float(field[1])
        area, number = m.group(2), m.group(3)
        check(f"{transport} influx record {number}", number == [r[2] for r in rows][n])
        t, values = csv_values[(area, number)]
        check(f"{transport} influx analyzer", unescape(m.group(1)) == serial)
        check(f"{transport} influx time", int(m.group(5)) == int(t.timestamp()) * 10**9)
        check(f"{transport} influx fields {area}/{number}",
              fields == {k.split(" [")[0]: v for k, v in values.items()})

    # The grid and the other formats write the same 15 significant digits.
    grid = cli(connection, "download", "--sectors", "3", "--format", "grid").decode("cp1254").split("\n")
    names = grid[0].split(";")
    for line in grid[1:-2]:
        cells = line.split(";")
        t, values = csv_values[("3", cells[0])]
        check(f"{transport} grid date {cells[1]}", cells[1] == t.strftime("%d/%m/%y"))
        for name, cell in zip(names[3:], cells[3:]):
            label = name.replace(" : ", " [") + "]" if not name.endswith(" : ") else name[:-3]
            if label in values:
                check(f"{transport} grid {label} {cell}", float(cell) == values[label])


def zones():
    """Seed 70 logs sector 1 from 2024-03-31 00:00 every 15 minutes: through the hour Berlin skips."""
    sim, address = start(["--tcp", "127.0.0.1:0", "--seed", "70", "--records", "16" + ",0" * 14 + ",0"])
    try:
        berlin = dict(os.environ, TZ="Europe/Berlin")
        connection = ["--tcp", address]
        run = subprocess.run([CLI, "download", "--format", "csv", *connection], capture_output=True, env=berlin,
                             timeout=60)
        rows = list(csv.reader(io.StringIO(run.stdout.decode())))[1:]
        times = [r[3] for r in rows]
        check(f"zones: host zone csv exit {run.returncode}", run.returncode == 0)
        check(f"zones: skipped hour keeps the offset before {times[8:12]}",
              times[8:12] == [f"2024-03-31T02:{m:02d}:00+01:00" for m in (0, 15, 30, 45)])
        check(f"zones: after the change {times[12]}", times[12] == "2024-03-31T03:00:00+02:00")
        run = subprocess.run([CLI, "download", "--format", "influx", *connection], capture_output=True, env=berlin,
                             timeout=60)
        lines = run.stdout.decode().splitlines()
        stamps = [int(line.split(" ")[-1]) for line in lines]
        check(f"zones: influx every record {len(stamps)} exit {run.returncode}", run.returncode == 0 and len(stamps) == 16)
        check("zones: influx 15 minutes apart", all(b - a == 900 * 10**9 for a, b in zip(stamps[:12], stamps[1:12])))
        # 02:00+01:00 and 03:00+02:00 are one instant: two points all the same.
        check("zones: equal instants", stamps[8] == stamps[12])
        check("zones: distinct points", len({(line.split(" ")[0], line.split(" ")[-1]) for line in lines}) == 16)
        # The analyzer's zone, whatever the host's.
        run = subprocess.run([CLI, "download", "--tz", "America/New_York", "--format", "jsonl", *connection],
                             capture_output=True, env=berlin, timeout=60)
        first = json.loads(run.stdout.decode().splitlines()[0])
        check(f"zones: --tz {first['time']}", first["time"] == "2024-03-31T00:00:00-04:00")
        run = subprocess.run([CLI, "download", "--tz", "Europe/Berln", *connection], capture_output=True, timeout=60)
        check(f"zones: bad zone exit {run.returncode}", run.returncode == 1 and b"Europe/Berln" in run.stderr)
    finally:
        sim.terminate()
        sim.wait()


zones()
tcp, address = start(["--tcp", "127.0.0.1:0", "--records", RECORDS])
with tempfile.TemporaryDirectory() as scratch:
    pty, path = start(["--pty", os.path.join(scratch, "ktr58"), "--records", RECORDS])
    try:
        exercise(["--tcp", address], "tcp")
        exercise(["--rtu", path, "--baud", "9600"], "rtu")
    finally:
        for sim in (tcp, pty):
            sim.terminate()
            sim.wait()

for f in failures[:20]:
    print("FAIL:", f)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
