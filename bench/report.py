#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Turns the JSON of the benchmark programs into one line per figure: the
figure, its baseline measured in the same run, their ratio, and the target
with whether it is met.

    report.py RESULT.json...
"""
import json
import math
import sys

# Where each figure and its baseline come from: (benchmark, counter). A
# counter of None takes the benchmark's time per iteration in microseconds.
# A baseline given as a number is a bound rather than a measurement.
#
# target(figure, baseline) -> (text, met or None when there is no target)

def at_most(limit, unit):
    return lambda f, b: (f"<= {limit:g} {unit}", f <= limit)

def under(limit, unit):
    return lambda f, b: (f"< {limit:g} {unit}", f < limit)

def ratio_at_most(limit):
    return lambda f, b: (f"ratio <= {limit:g}", b > 0 and f / b <= limit)

def list_memory(f, b):
    return ("<= 64 B/row, <= 1/20 of baseline", f <= 64 and b > 0 and f * 20 <= b)

def latency_p99(f, b):
    return (f"<= bound + 10 = {b + 10:g} ms", f <= b + 10)

def all_of(f, b):
    return ("all of them", f == b)

def none(f, b):
    return ("-", None)

FIGURES = [
    # label, figure, baseline label, baseline, unit, target
    ("list memory, 1,000,000 rows (window)", ("windowList", "rss_B_per_row_1M"),
     "QTableWidget", ("tableWidget", "rss_B_per_row_1M"), "B/row", list_memory),
    ("list memory, 1,000 rows (window, heap)", ("windowList", "heap_B_per_row_1k"),
     "QTableWidget", ("tableWidget", "heap_B_per_row_1k"), "B/row", none),
    ("list memory, 1,000,000 rows (model alone)", ("bareModel", "rss_B_per_row_1M"),
     "QTableWidget", ("tableWidget", "rss_B_per_row_1M"), "B/row", none),
    ("list append at 1,000 rows (window)", ("windowList", "us_per_append_1k"),
     "QTableWidget", ("tableWidget", "us_per_append_1k"), "us", none),
    ("list append at 1,000,000 rows (window)", ("windowList", "us_per_append_1M"),
     "QTableWidget", ("tableWidget", "us_per_append_1M"), "us", none),
    ("list append flat: 1,000,000 vs 1,000 rows (window)", ("windowList", "us_per_append_1M"),
     "at 1,000 rows", ("windowList", "us_per_append_1k"), "us", ratio_at_most(1.5)),
    ("list append flat: 1,000,000 vs 1,000 rows (model)", ("bareModel", "us_per_append_1M"),
     "at 1,000 rows", ("bareModel", "us_per_append_1k"), "us", ratio_at_most(1.5)),
    ("list append and its paint at 1,000 rows (window)", ("windowList", "us_per_append_repaint_1k"),
     "QTableWidget", ("tableWidget", "us_per_append_repaint_1k"), "us", none),
    ("list append and its paint at 1,000,000 rows (window)", ("windowList", "us_per_append_repaint_1M"),
     "QTableWidget", ("tableWidget", "us_per_append_repaint_1M"), "us", none),
    ("graph view paint, wind speed, 350-sample page", ("viewPaint/wind_speed", None),
     "copy-only paint", ("copyOnlyPaint", None), "us", under(1000, "us")),
    ("graph view paint, air flow, 350-sample page", ("viewPaint/air_flow", None),
     "copy-only paint", ("copyOnlyPaint", None), "us", under(1000, "us")),
    ("graph view paint, neither, 350-sample page", ("viewPaint/neither", None),
     "copy-only paint", ("copyOnlyPaint", None), "us", under(1000, "us")),
    ("text export, 1,000,000 rows", ("textExport", "ms"),
     "one write per line", ("textLinePerWrite", "ms"), "ms", under(1000, "ms")),
    ("spreadsheet export, 1,000,000 rows: time", ("spreadsheetExport", "ms"),
     "libxlsxwriter direct", ("spreadsheetFloor", "ms"), "ms", under(15000, "ms")),
    ("spreadsheet export, 1,000,000 rows: peak RSS", ("spreadsheetExport", "peak_MB"),
     "libxlsxwriter direct", ("spreadsheetFloor", "peak_MB"), "MB", under(300, "MB")),
    ("start-up to first paint (median of 20)", ("startup", "breezon_ms"),
     "bare QMainWindow", ("startup", "bare_ms"), "ms", ratio_at_most(1.5)),
    ("  of which: the system's serial port list", ("startup", "port_discovery_ms"),
     "breezon start-up", ("startup", "breezon_ms"), "ms", none),
    ("CPU while recording, 20 s (% of one core)", ("recordingCpu", "recording_pct"),
     "idle, stopped", ("recordingCpu", "idle_pct"), "%", under(1, "%")),
    ("  of which: the user-interface thread", ("recordingCpu", "recording_ui_pct"),
     "whole process", ("recordingCpu", "recording_pct"), "%", none),
    ("CPU while recording, journal on (% of one core)", ("recordingCpuJournal", "recording_pct"),
     "journal off", ("recordingCpu", "recording_pct"), "%", under(1, "%")),
    ("recording file: UI-thread cost of a row (median)", ("journalAppend", "median_us"),
     "add waiting for the disk", ("syncAppend", "median_us"), "us", under(50, "us")),
    ("recording file: reopening 1,000,000 rows", ("openInWindow", "ms"),
     "SQLite reading them alone", ("readFloor", "ms"), "ms", under(3000, "ms")),
    ("  peak resident memory of the window", ("openInWindow", "peak_MB"),
     "the window before opening", ("openInWindow", "window_MB"), "MB", under(150, "MB")),
    ("statistics of a reopened 1,000,000-row recording", ("statisticsOfReopened", "ms"),
     "reading its rows alone", ("statisticsOfReopened", "read_ms"), "ms", under(100, "ms")),
    ("  the recording file's view statistics, same rows", ("statisticsOfReopened", "view_ms"),
     "reading its rows alone", ("statisticsOfReopened", "read_ms"), "ms", none),
    ("statistics: UI-thread cost of a live row (median)", ("statisticsPerRow", "statistics_median_us"),
     "the row's own cost", ("statisticsPerRow", "row_median_us"), "us", under(1, "us")),
    ("  the Statistics window's refresh (<= 4 a second)", ("statisticsPerRow", "refresh_median_us"),
     "the row's own cost", ("statisticsPerRow", "row_median_us"), "us", none),
    ("--from to a spreadsheet, 1,000,000 rows", ("fromToSpreadsheet", "from_ms"),
     "export, same rows and columns", ("fromToSpreadsheet", "export_ms"), "ms", ratio_at_most(1.2)),
    ("latency frame -> row, median (200 frames)", ("rowLatency", "median_ms"),
     "pacing bound", ("rowLatency", "bound_ms"), "ms", none),
    ("latency frame -> row, 99th percentile", ("rowLatency", "p99_ms"),
     "pacing bound", ("rowLatency", "bound_ms"), "ms", latency_p99),
    ("reader pace over garbage bytes, 10 s", ("readerPace", "bytes_per_s"),
     "10 ms pause per byte", ("readerPace", "bound_bytes_per_s"), "B/s", at_most(100, "B/s")),
    ("latency frame -> MQTT subscriber, median (100 frames)", ("brokerLatency", "broker_median_ms"),
     "frame -> row, same run", ("brokerLatency", "row_median_ms"), "ms", none),
    ("latency frame -> MQTT subscriber, 99th percentile", ("brokerLatency", "broker_p99_ms"),
     "frame -> row, same run", ("brokerLatency", "row_p99_ms"), "ms", latency_p99),
    ("CPU while publishing to MQTT, 20 s (% of one core)", ("publishingCpu", "mqtt_pct"),
     "same recorder, no --mqtt", ("publishingCpu", "plain_pct"), "%", under(1, "%")),
    ("a broker away for 1,200,000 rows: peak memory", ("awayForAWeek", "peak_MB"),
     "the same --from, no --mqtt", ("awayForAWeek", "plain_peak_MB"), "MB", under(50, "MB")),
    ("  then received in order when it is back", ("awayForAWeek", "in_order_rows"),
     "rows in the recording", ("awayForAWeek", "rows"), "rows", all_of),
    ("  the time that took, from the broker's start", ("awayForAWeek", "drain_s"),
     "one row a second", ("awayForAWeek", "rows"), "s", none),
    ("--from to text, 1,000,000 rows", ("fromToTextAndCsv", "text_ms"),
     "sqlite3 -csv, same rows", ("fromToTextAndCsv", "sqlite_ms"), "ms", lambda f, b: (
         "< 5000 ms, ratio <= 5", f < 5000 and b > 0 and f / b <= 5)),
    ("--from to CSV, 1,000,000 rows", ("fromToTextAndCsv", "csv_ms"),
     "sqlite3 -csv, same rows", ("fromToTextAndCsv", "sqlite_ms"), "ms", lambda f, b: (
         "< 5000 ms, ratio <= 5", f < 5000 and b > 0 and f / b <= 5)),
]

UNIT_US = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def load(paths):
    runs = {}
    for path in paths:
        try:
            with open(path) as f:
                data = json.load(f)
        except (OSError, ValueError):
            continue  # a program that did not get as far as its results
        for b in data.get("benchmarks", []):
            name = b["name"].split("/iterations:")[0].split("/manual_time")[0]
            runs[name] = b
    return runs


def value(runs, source):
    bench, counter = source
    b = runs.get(bench)
    if b is None:
        return None, f"{bench} did not run"
    if b.get("error_occurred"):
        return None, f"{bench}: {b.get('error_message', 'error')}"
    if counter is None:
        return b["real_time"] * UNIT_US[b.get("time_unit", "ns")], None
    if counter not in b:
        return None, f"{bench} has no {counter}"
    return float(b[counter]), None


def number(x):
    if x is None or math.isnan(x):
        return "-"
    if x == 0:
        return "0"
    magnitude = abs(x)
    if magnitude >= 100:
        return f"{x:,.0f}"
    if magnitude >= 10:
        return f"{x:.1f}"
    if magnitude >= 0.1:
        return f"{x:.2f}"
    return f"{x:.3g}"


def ratio_text(f, b):
    if f is None or b is None or b == 0:
        return "-"
    r = f / b
    if r < 1 and r > 0:
        return f"{number(r)} (1/{1 / r:.0f})"
    return f"{number(r)}"


def main(paths):
    runs = load(paths)
    met_count = checked = 0
    header = f"{'figure':<52} {'value':>14}  {'baseline':<34} {'ratio':>13}  {'target':<34} result"
    print(header)
    print("-" * len(header))
    for label, fig_src, base_label, base_src, unit, target in FIGURES:
        f, f_err = value(runs, fig_src)
        b, b_err = value(runs, base_src)
        if f_err or b_err:
            print(f"{label:<52} {'-':>14}  {base_label:<34} {'-':>13}  {'':<34} not measured: {f_err or b_err}")
            checked += 1
            continue
        text, met = target(f, b)
        result = "-" if met is None else ("met" if met else "MISSED")
        if met is not None:
            checked += 1
            met_count += 1 if met else 0
        base = f"{base_label} {number(b)} {unit}"
        print(f"{label:<52} {number(f) + ' ' + unit:>14}  {base:<34} {ratio_text(f, b):>13}  {text:<34} {result}")
    print(f"\n{met_count} of {checked} targets met.")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
