// Packages with tables, filters and pictures made by openpyxl and XlsxWriter
// load, save and load again with the same tables, filters, pictures and
// values; a second save writes their parts as the first did.

#include "kestrel/document/xml_document.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;

namespace {

const char* const make_books = R"(import sys, os, struct, zlib
d = sys.argv[1]
def png(w, h):
    raw = b"".join(b"\x00" + b"\xff\x80\x00" * w for _ in range(h))
    def chunk(t, data):
        return struct.pack(">I", len(data)) + t + data + struct.pack(">I", zlib.crc32(t + data) & 0xffffffff)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
open(os.path.join(d, "a.png"), "wb").write(png(20, 10))
open(os.path.join(d, "b.png"), "wb").write(png(7, 9))

import openpyxl
from openpyxl.worksheet.table import Table, TableStyleInfo
from openpyxl.worksheet.filters import FilterColumn, Filters, SortState, SortCondition
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Data"
ws.append(["name", "qty", "price"])
for i in range(1, 9):
    ws.append(["item%d" % i, i, i * 1.5])
t = Table(displayName="Stock", ref="A1:C9")
t.tableStyleInfo = TableStyleInfo(name="TableStyleMedium9", showRowStripes=True, showColumnStripes=False)
ws.add_table(t)
f = wb.create_sheet("Filtered")
f.append(["k", "v"])
for i in range(10):
    f.append(["k%d" % (i % 3), i])
f.auto_filter.ref = "A1:B11"
f.auto_filter.filterColumn.append(FilterColumn(colId=0, filters=Filters(filter=["k1", "k2"])))
f.auto_filter.sortState = SortState(ref="A2:B11", sortCondition=[SortCondition(ref="B2:B11", descending=True)])
wb.save(os.path.join(d, "openpyxl.xlsx"))

import xlsxwriter
wb = xlsxwriter.Workbook(os.path.join(d, "xlsxwriter.xlsx"))
ws = wb.add_worksheet("Table")
ws.add_table("B2:D7", {"name": "Sales", "total_row": True, "style": "Table Style Light 11",
                       "columns": [{"header": "Region", "total_string": "Total"},
                                   {"header": "Q1", "total_function": "sum"},
                                   {"header": "Q2", "total_function": "average"}],
                       "data": [["N", 1, 2], ["S", 3, 4], ["E", 5, 6], ["W", 7, 8]]})
ws.insert_image("F2", os.path.join(d, "a.png"), {"x_offset": 5, "y_offset": 7, "x_scale": 2, "y_scale": 1.5})
ws.insert_image("F12", os.path.join(d, "b.png"), {"object_position": 3, "url": "https://example.com/"})
ws.insert_image("H20", os.path.join(d, "a.png"), {"object_position": 1})
p = wb.add_worksheet("Pictures")
for i in range(5):
    p.insert_image(i * 3, i, os.path.join(d, "b.png"), {"object_position": 2})
g = wb.add_worksheet("Filter")
g.write_row(0, 0, ["a", "b"])
for i in range(6):
    g.write_row(i + 1, 0, [i, "x%d" % i])
g.autofilter("A1:B7")
g.filter_column(0, "x > 2")
wb.close()

# The sheets properties element is no concern here, and a load without its
# reader refuses to save it.
import re, zipfile
for name in ("openpyxl.xlsx", "xlsxwriter.xlsx"):
    path = os.path.join(d, name)
    with zipfile.ZipFile(path) as z:
        items = [(i.filename, z.read(i.filename)) for i in z.infolist()]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as out:
        for n, data in items:
            if n.startswith("xl/worksheets/sheet"):
                data = re.sub(rb"<sheetPr\b[^>]*/>|<sheetPr\b[^>]*>.*?</sheetPr>", b"", data, flags=re.S)
            out.writestr(n, data)
)";

// Every entry passes the CRC check and each XML one parses.
const char* const valid_xml = R"(import sys, zipfile, xml.dom.minidom
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
for n in z.namelist():
    if n.endswith(".xml") or n.endswith(".rels"):
        xml.dom.minidom.parseString(z.read(n))
)";

// Tables, filters, pictures and values of two packages are the same.
const char* const compare_books = R"(import sys, zipfile, posixpath, hashlib
import xml.etree.ElementTree as ET
import openpyxl
a, b = sys.argv[1].split("|")
def tables(path):
    wb = openpyxl.load_workbook(path)
    out = {}
    for ws in wb.worksheets:
        rows = [[c.value for c in r] for r in ws.iter_rows()]
        ts = []
        for t in ws.tables.values():
            cols = [(c.id, c.name, c.totalsRowFunction, c.totalsRowLabel) for c in t.tableColumns]
            s = t.tableStyleInfo
            af = t.autoFilter.ref if t.autoFilter else None
            flags = (bool(s.showRowStripes), bool(s.showColumnStripes), bool(s.showFirstColumn), bool(s.showLastColumn))
            ts.append((t.name, t.displayName, t.ref, t.headerRowCount or 1, t.totalsRowCount or 0, cols,
                       (s.name,) + flags if s else None, af))
        flt = ws.auto_filter
        cols = [(c.colId, c.filters.filter if c.filters else None,
                 [(x.operator, x.val) for x in c.customFilters.customFilter] if c.customFilters else None)
                for c in flt.filterColumn]
        srt = None
        if flt.sortState:
            srt = (flt.sortState.ref, [(c.ref, c.descending) for c in flt.sortState.sortCondition])
        out[ws.title] = (rows, sorted(ts, key=str), flt.ref, cols, srt)
    return out
NS = {"xdr": "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing",
      "a": "http://schemas.openxmlformats.org/drawingml/2006/main"}
R = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
def rels(z, name):
    path = posixpath.join(posixpath.dirname(name), "_rels", posixpath.basename(name) + ".rels")
    if path not in z.namelist():
        return {}
    out = {}
    for r in ET.fromstring(z.read(path)):
        target = r.get("Target")
        if r.get("TargetMode") != "External":
            target = posixpath.normpath(posixpath.join(posixpath.dirname(name), target))
        out[r.get("Id")] = target
    return out
def pictures(path):
    z = zipfile.ZipFile(path)
    out = []
    for name in z.namelist():
        if not name.startswith("xl/drawings/drawing"):
            continue
        rs = rels(z, name)
        for anchor in ET.fromstring(z.read(name)):
            cells = [tuple(e.text for e in anchor.find("xdr:" + k, NS)) if anchor.find("xdr:" + k, NS) is not None else None
                     for k in ("from", "to")]
            ext = anchor.find("xdr:ext", NS)
            size = (ext.get("cx"), ext.get("cy")) if ext is not None else None
            blip = anchor.find(".//a:blip", NS)
            data = hashlib.md5(z.read(rs[blip.get(R + "embed")])).hexdigest() if blip is not None else None
            link = anchor.find(".//a:hlinkClick", NS)
            url = rs.get(link.get(R + "id")) if link is not None else None
            out.append((anchor.tag, anchor.get("editAs", "twoCell"), cells, size, data, url))
    return sorted(out, key=str)
ta, tb = tables(a), tables(b)
assert ta == tb, (ta, tb)
pa, pb = pictures(a), pictures(b)
assert pa == pb, (pa, pb)
)";

entries_t parts_of(const entries_t& saved) {
    entries_t out;
    for (const auto& [name, bytes] : saved)
        if (name.starts_with("xl/tables/") || name.starts_with("xl/drawings/") || name.starts_with("xl/worksheets/"))
            out.emplace_back(name, bytes);
    return out;
}

} // namespace

TEST(table_drawing_round_trip, packages_of_openpyxl_and_xlsxwriter) {
    scratch_dir dir;
    ASSERT_EQ(writer_test::run_python(make_books, dir.path.string()), 0);
    for (const char* name : {"openpyxl", "xlsxwriter"}) {
        SCOPED_TRACE(name);
        const std::string in = dir / (std::string(name) + ".xlsx");
        const std::string once = dir / (std::string(name) + "-1.xlsx");
        const std::string twice = dir / (std::string(name) + "-2.xlsx");
        {
            vex::xml_document_t doc;
            ASSERT_NO_THROW(doc.load(in.c_str(), false));
            ASSERT_NO_THROW(doc.save(once.c_str(), 2));
        }
        EXPECT_EQ(writer_test::run_python(valid_xml, once), 0);
        expect_no_dangling_targets(read_zip(once));
        EXPECT_EQ(writer_test::run_python(compare_books, in + "|" + once), 0);
        {
            vex::xml_document_t doc;
            ASSERT_NO_THROW(doc.load(once.c_str(), false));
            ASSERT_NO_THROW(doc.save(twice.c_str(), 2));
        }
        EXPECT_EQ(parts_of(read_zip(twice)), parts_of(read_zip(once)));
    }
}
