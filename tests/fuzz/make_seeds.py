#!/usr/bin/python3
"""Writes the fuzzing seeds: small packages made by openpyxl and XlsxWriter,
plus any packages named on the command line (our own writer's), as whole
files for the package target and as their entries for the part targets.

usage: make_seeds.py OUT_DIR [package.xlsx ...]
"""

import io
import pathlib
import sys
import zipfile

import openpyxl
import xlsxwriter
from openpyxl.comments import Comment
from openpyxl.worksheet.table import Table

PARTS = {
    "content_types": lambda n: n == "[Content_Types].xml",
    "relationships": lambda n: n == "xl/_rels/workbook.xml.rels",
    "workbook": lambda n: n == "xl/workbook.xml",
    "sheet": lambda n: n.startswith("xl/worksheets/sheet") and n.endswith(".xml"),
    "sheet_relationships": lambda n: n.startswith("xl/worksheets/_rels/"),
    "styles": lambda n: n == "xl/styles.xml",
    "shared_strings": lambda n: n == "xl/sharedStrings.xml",
    "table": lambda n: n.startswith("xl/tables/table"),
    "drawing": lambda n: n.startswith("xl/drawings/drawing") and n.endswith(".xml"),
    "comments": lambda n: n.startswith("xl/comments"),
    "vml": lambda n: n.endswith(".vml"),
}


def openpyxl_book():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Data"
    ws.append(["Name", "Qty", "When"])
    for i in range(1, 6):
        ws.append([f"item{i}", i * 1.25, None])
    ws["D1"] = "=SUM(B2:B6)"
    ws["A2"].font = openpyxl.styles.Font(bold=True, vertAlign="superscript")
    ws["B2"].number_format = "0.000"
    ws.merge_cells("F1:G2")
    ws["A3"].comment = Comment("remark", "me")
    ws.add_table(Table(displayName="T1", ref="A1:C6"))
    ws.freeze_panes = "B2"
    ws.column_dimensions["A"].width = 20
    ws.row_dimensions[4].hidden = True
    wb.create_sheet("Second")["A1"] = "=Data!B2"
    buf = io.BytesIO()
    wb.save(buf)
    return buf.getvalue()


def xlsxwriter_book():
    buf = io.BytesIO()
    wb = xlsxwriter.Workbook(buf, {"in_memory": True, "strings_to_numbers": False})
    ws = wb.add_worksheet("Sheet1")
    bold = wb.add_format({"bold": True, "italic": True, "border": 2, "pattern": 1, "bg_color": "#C0FFC0",
                          "num_format": "#,##0.00;[Red]-#,##0.00", "rotation": 45})
    ws.write_rich_string("A1", "plain ", bold, "bold", " tail")
    ws.write_number("B1", 0.1234567891234)
    ws.write_boolean("C1", True)
    ws.write_formula("D1", '=B1&"x"', None, "0.12x")
    ws.write_url("A3", "internal:Sheet1!B1", string="link")
    ws.write_comment("B3", "note", {"author": "A"})
    ws.data_validation("E1:E9", {"validate": "list", "source": ["a", "b"]})
    ws.autofilter("A5:C9")
    ws.set_row(6, 30)
    ws.set_column("C:D", 14)
    ws.set_landscape()
    ws.protect("pw")
    wb.close()
    return buf.getvalue()


def main():
    out = pathlib.Path(sys.argv[1])
    packages = {"openpyxl.xlsx": openpyxl_book(), "xlsxwriter.xlsx": xlsxwriter_book()}
    for extra in sys.argv[2:]:
        packages[pathlib.Path(extra).name] = pathlib.Path(extra).read_bytes()
    (out / "package").mkdir(parents=True, exist_ok=True)
    for name, data in packages.items():
        (out / "package" / name).write_bytes(data)
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            for entry in z.namelist():
                for target, wanted in PARTS.items():
                    if wanted(entry):
                        folder = out / target
                        folder.mkdir(exist_ok=True)
                        (folder / (name + "-" + entry.replace("/", "_"))).write_bytes(z.read(entry))


if __name__ == "__main__":
    main()
