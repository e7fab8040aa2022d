#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a workbook the way a spreadsheet program would and prints what the
export tests check, as JSON: sheet names, the active sheet, the cells of the
first sheet (value, type, number format) for rows 1..ROWS and columns A..J,
the values of every sheet's rows 1..ROWS, and the column widths and formats.
Dates come as text ("1970-01-01 00:00:02").

usage: read_xlsx.py PATH ROWS
"""
import json
import sys

import openpyxl


def main():
    path, rows = sys.argv[1], int(sys.argv[2])
    # A file object: openpyxl judges a path by its suffix, and ours is ".xls".
    with open(path, "rb") as f:
        book = openpyxl.load_workbook(f)
    sheet = book.worksheets[0]
    max_row = sheet.max_row  # before reading cells, which makes them
    cells = []
    for row in sheet.iter_rows(min_row=1, max_row=rows, min_col=1, max_col=10):
        cells.append([{"value": c.value, "type": c.data_type, "format": c.number_format} for c in row])
    columns = {}
    for letter, dim in sheet.column_dimensions.items():
        columns[letter] = {"min": dim.min, "max": dim.max, "width": dim.width,
                           "customWidth": bool(dim.customWidth), "format": dim.number_format}
    json.dump({
        "sheets": book.sheetnames,
        "active": book.active.title,
        "maxRow": max_row,
        "cells": cells,
        "columns": columns,
        "otherSheetRows": [s.max_row for s in book.worksheets[1:]],
        "sheetValues": [[[c.value for c in row] for row in s.iter_rows(min_row=1, max_row=min(rows, s.max_row),
                                                                        min_col=1, max_col=9)]
                        for s in book.worksheets],
    }, sys.stdout, default=str)


if __name__ == "__main__":
    main()
