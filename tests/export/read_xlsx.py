#!/usr/bin/env python3
"""Reads a workbook the way a spreadsheet program would and prints what the
export tests check, as JSON: sheet names, the active sheet, the cells of the
first sheet (value, type, number format) for rows 1..ROWS and columns A..H,
and the column widths and formats.

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
    for row in sheet.iter_rows(min_row=1, max_row=rows, min_col=1, max_col=8):
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
    }, sys.stdout)


if __name__ == "__main__":
    main()
