#!/usr/bin/python3
# report_xlsx_check.py - reads a report's report.xlsx back with openpyxl and
# holds it against report.csv, the same table as text.
#
#     /usr/bin/python3 report_xlsx_check.py FOLDER
#
# Prints one line per fault found, then "rows N" (the workbook's screenshot
# rows) and the name cells, one per line (a line break in a name shown as
# \n). Checks: the sheets and their order; the header row, frozen and
# filtered; every cell typed (name a text cell, file time a date-time with a
# date-time format, health and damage numbers shown with one decimal, score a
# whole number, a hit's position a number shown with three decimals, an
# empty cell for an empty field) and equal to report.csv's
# field once written as report.csv writes it; columns at least as wide as
# their headers and the names; the summary's folder, count and time span.
import csv
import datetime
import os
import sys

import openpyxl

TIME_FORMAT = "yyyy-mm-dd hh:mm:ss"
faults = []


def fault(text):
    faults.append(text)


def unguarded(field):
    """A name as report.csv holds it, without the guard against formulas."""
    if field.startswith("'"):
        rest = field[1:]
        if rest.lstrip(" \t\r\n")[:1] in ("=", "+", "-", "@") or rest[:1] in ("\t", "\r"):
            return rest
    return field


def cell_text(value):
    """Control characters other than tab, CR and LF as the workbook shows them."""
    return "".join("\ufffd" if ord(c) < 0x20 and c not in "\t\r\n" else c for c in value)


def check_number(where, cell, field, number_format, as_text):
    if field == "":
        if cell.value is not None:
            fault(f"{where}: {cell.value!r} where report.csv is empty")
        return
    if cell.data_type != "n" or isinstance(cell.value, bool) or not isinstance(cell.value, (int, float)):
        fault(f"{where}: not a number: {cell.value!r} ({cell.data_type})")
        return
    if cell.number_format != number_format:
        fault(f"{where}: format {cell.number_format!r}, not {number_format!r}")
    if as_text(cell.value) != field:
        fault(f"{where}: {cell.value!r} against report.csv's {field!r}")


def check_row(n, cells, fields):
    name, time, health, damage, status, layout, score, position = cells
    if name.data_type != "s" or name.value != cell_text(unguarded(fields[0])):
        fault(f"row {n} name: {name.value!r} ({name.data_type}) against {fields[0]!r}")
    if fields[1] == "":
        if time.value is not None:
            fault(f"row {n} time: {time.value!r} where report.csv is empty")
    elif not isinstance(time.value, datetime.datetime):
        fault(f"row {n} time: not a date-time: {time.value!r}")
    else:
        if time.number_format != TIME_FORMAT:
            fault(f"row {n} time: format {time.number_format!r}")
        if time.value.strftime("%Y-%m-%d %H:%M:%S") != fields[1]:
            fault(f"row {n} time: {time.value} against {fields[1]!r}")
    check_number(f"row {n} health", health, fields[2], "0.0", lambda v: f"{v:.1f}")
    check_number(f"row {n} damage", damage, fields[3], "0.0", lambda v: f"{v:.1f}")
    check_number(f"row {n} score", score, fields[6], "0",
                 lambda v: str(int(v)) if float(v).is_integer() else repr(v))
    check_number(f"row {n} position", position, fields[7], "0.000", lambda v: f"{v:.3f}")
    for column, cell, field in (("status", status, fields[4]), ("layout", layout, fields[5])):
        if cell.data_type != "s" or cell.value != field:
            fault(f"row {n} {column}: {cell.value!r} against {field!r}")


def shown_width(text):
    return sum(2 if ord(c) >= 0x3000 else 1 for c in text)


def check_sheet(sheet, table):
    header = [c.value for c in sheet[1]]
    if header != table[0]:
        fault(f"header {header} against report.csv's {table[0]}")
    if sheet.freeze_panes != "A2":
        fault(f"frozen at {sheet.freeze_panes}, not under the header")
    if sheet.auto_filter.ref != f"A1:H{len(table)}":
        fault(f"filter over {sheet.auto_filter.ref}")
    rows = list(sheet.iter_rows(min_row=2))
    if len(rows) != len(table) - 1:
        fault(f"{len(rows)} rows against report.csv's {len(table) - 1}")
    for n, (cells, fields) in enumerate(zip(rows, table[1:]), start=2):
        check_row(n, cells[:8], fields)
    for column, title in zip("ABCDEFGH", table[0]):
        width = sheet.column_dimensions[column].width
        if width < len(title):
            fault(f"column {column} ({width}) narrower than its header")
    longest = max([shown_width(cells[0].value) for cells in rows] + [0])
    if sheet.column_dimensions["A"].width < min(longest, 80):
        fault(f"name column ({sheet.column_dimensions['A'].width}) narrower than {longest}")
    return rows


def check_summary(sheet, folder, rows, hits):
    figures = {row[0].value: row[1] for row in sheet.iter_rows() if row[0].value}
    expected = {"Folder": os.path.basename(os.path.abspath(folder)),
                "Hits" if hits else "Screenshots": len(rows)}
    for label, value in expected.items():
        if label not in figures or figures[label].value != value:
            fault(f"summary {label}: {figures.get(label) and figures[label].value!r}, not {value!r}")
    times = [cells[1].value for cells in rows if cells[1].value is not None]
    if times:
        first, last = ("First hit", "Last hit") if hits else ("Oldest screenshot", "Newest screenshot")
        for label, value in ((first, times[0]), (last, times[-1])):
            if label not in figures or figures[label].value != value:
                fault(f"summary {label}: not {value}")


def main(folder):
    with open(os.path.join(folder, "report.csv"), encoding="utf-8-sig", newline="") as file:
        table = list(csv.reader(file))
    book = openpyxl.load_workbook(os.path.join(folder, "report.xlsx"))
    # A report of recordings has a sheet of hits, each with its position.
    hits = len(table) > 1 and len(table[1]) > 7 and table[1][7] != ""
    first = "Hits" if hits else "Screenshots"
    if book.sheetnames != [first, "Summary"]:
        fault(f"sheets {book.sheetnames}")
        return []
    rows = check_sheet(book[first], table)
    check_summary(book["Summary"], folder, rows, hits)
    return rows


rows = main(sys.argv[1])
out = sys.stdout
for text in faults:
    out.write(f"fault: {text}\n")
out.write(f"rows {len(rows)}\n")
for cells in rows:
    out.write(str(cells[0].value).replace("\n", "\\n") + "\n")
