#!/usr/bin/env python3
"""Generates the family exports from the slot table below.

Writes api/interfaces.h (the abstract interfaces), the family section of
api/plover.h, kestrel/interface/exports_families.cpp (one entry per export),
kestrel/interface/unbuilt_slots.h (bases whose every slot answers
"Not implemented.") and api/plover.map (the linker's list of exported names).
Run it from anywhere after editing the table; the output is checked in, and
"--check" only verifies that it is current (a test does).

A table row is: entry form | failure value | C++ slot declaration.
Entry forms: '-' plain; 'r' bool result as int; 'b2'..'b4' that argument (the
handle is argument 1) an int taken as bool; 'b3r', 'b4r' both; 'o' the third
argument an int* that receives a bool; 'p' a pointer result as int 1 or 0;
'x' a slot without an export.
"""

import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

FAMILIES = [
    ("doc", "iDocument", "plover_document_t", "doc", """
- | nullptr | iWorkbook* get_workbook()
r | false | bool save(const char* path)
- | | void release()
"""),
    ("wb", "iWorkbook", "plover_workbook_t", "wb", """
r | false | bool is_date1904()
b2 | | void set_date1904(bool on)
r | false | bool is_a1_ref_mode()
b2 | | void set_a1_ref_mode(bool on)
- | 0 | int get_calc_mode()
- | | void set_calc_mode(int type)
- | nullptr | iWorksheet* add_worksheet(const char* name)
- | nullptr | iWorksheet* insert_worksheet(int index, const char* name)
- | | void shift_sheet(int from, int to)
- | | void delete_sheet(int index)
- | 0xFFFFFFFFu | unsigned int sheet_count()
- | nullptr | iWorksheet* get_sheet(int index)
- | 0 | int sheet_type(int index)
- | 0 | int get_sheet_state(int index)
- | | void set_sheet_state(int index, int state)
- | nullptr | const char* sheet_name(int index)
- | | void rename_sheet(unsigned int index, const char* name)
- | -1 | int get_active_sheet()
r | false | bool set_active_sheet(int index)
r | false | bool set_defined_name(const char* name, const char* expression, const char* local_sheet)
- | 0 | int defined_name_num()
o | nullptr | const char* get_defined_name(int index, bool* is_local)
- | nullptr | const char* get_local_name(int index)
- | nullptr | const char* get_defined_name_expr(int index)
- | | void delete_defined_name(int index)
- | nullptr | iStyle* get_named_style(const char* name)
- | nullptr | iStyle* add_custom_style(const char* name, iStyle* style)
r | false | bool modify_named_style(const char* name, iStyle* style)
- | nullptr | iStyle* make_normal_style()
- | nullptr | iRichtext* make_richtext()
"""),
    ("ws", "iWorksheet", "plover_worksheet_t", "ws", """
- | 0 | int min_row()
- | 0 | int min_col()
- | 0 | int max_row()
- | 0 | int max_col()
- | nullptr | const char* name()
r | false | bool set_name(const char* name)
- | 0 | int ws_type()
- | 0 | int get_ws_state()
- | -1 | int cell_type(int row, int col)
r | false | bool contains_formula(int row, int col)
r | false | bool contains_richtext(int row, int col)
- | 0.0 | double get_num(int row, int col)
- | nullptr | const char* get_text(int row, int col)
r | false | bool get_boolean(int row, int col)
- | 0.0 | double get_datetime(int row, int col)
- | nullptr | iRichtext* get_richtext(int row, int col)
- | nullptr | const char* get_formula_expr(int row, int col)
- | -1 | int get_error(int row, int col)
r | false | bool set_num(int row, int col, double value)
r | false | bool set_text(int row, int col, const char* text)
b4r | false | bool set_boolean(int row, int col, bool value)
r | false | bool set_datetime(int row, int col, double serial)
r | false | bool set_richtext(int row, int col, iRichtext* text)
r | false | bool set_error(int row, int col, int code)
r | false | bool set_formula(int row, int col, const char* formula)
r | false | bool set_formula_num(int row, int col, double value)
r | false | bool set_formula_string(int row, int col, const char* text)
b4r | false | bool set_formula_boolean(int row, int col, bool value)
r | false | bool set_formula_datetime(int row, int col, double serial)
r | false | bool set_formula_error(int row, int col, int code)
- | | void clear_contents(int first_row, int first_col, int last_row, int last_col)
- | | void set_cell_style(int row, int col, iStyle* style)
- | nullptr | iStyle* cell_style(int row, int col)
- | nullptr | iStyle* get_cell_style(int row, int col)
- | | void set_range_style(int first_row, int first_col, int last_row, int last_col, iStyle* style)
r | false | bool is_default_row_height(int first_row, int last_row)
r | false | bool get_custom_row_height(int first_row, int last_row, double* height, int unit)
- | | void set_custom_row_height(int first_row, int last_row, double height, int unit)
r | false | bool is_default_col_width(int first_col, int last_col)
r | false | bool get_custom_col_width(int first_col, int last_col, double* width, int unit)
- | | void set_custom_col_width(int first_col, int last_col, double width, int unit)
- | nullptr | iStyle* row_style(int row)
- | | void remove_row_style(int row)
- | | void set_row_style(int first_row, int last_row, iStyle* style)
- | nullptr | iStyle* col_style(int col)
- | | void remove_col_style(int col)
- | | void set_col_style(int first_col, int last_col, iStyle* style)
r | false | bool row_hidden(int row)
b4 | | void set_row_hidden(int first_row, int last_row, bool hidden)
r | false | bool col_hidden(int col)
b4 | | void set_col_hidden(int first_col, int last_col, bool hidden)
r | false | bool insert_row(int row, int count)
r | false | bool delete_row(int first_row, int last_row)
r | false | bool insert_col(int col, int count)
r | false | bool delete_col(int first_col, int last_col)
r | false | bool shift_range_down(int first_col, int last_col, int row, int count)
r | false | bool shift_range_up(int first_col, int last_col, int row, int count)
r | false | bool shift_range_right(int first_row, int last_row, int col, int count)
r | false | bool shift_range_left(int first_row, int last_row, int col, int count)
- | | void set_bg_picture(const char* file)
- | -1 | int add_cell_image(const char* file, int first_row, int first_col, int last_row, int last_col)
- | -1 | int add_image_with_two_cells(const char* file, int first_row, int first_col, int last_row, int last_col, int first_row_offset, int first_col_offset, int last_row_offset, int last_col_offset)
- | -1 | int add_image_with_one_cell(const char* file, int row, int col, int width, int height, double scale, int col_offset, int row_offset)
- | -1 | int add_absolute_image(const char* file, int x, int y, int width, int height, double scale)
- | -1 | int image_num()
- | -1 | int get_image_id(int index)
- | 0 | int image_anchor_type(int id)
r | false | bool get_anchored_cell(int id, int* row, int* col)
r | false | bool get_absolute_coord(int id, int* x, int* y)
- | | void delete_image(int id)
- | | void remove_image(int row, int col)
- | | void remove_absolute_image(int x, int y)
r | false | bool first_data_cell(int* row, int* col)
r | false | bool last_data_cell(int* row, int* col)
- | -1 | int merged_num()
r | false | bool merged_range(int index, int* first_row, int* first_col, int* last_row, int* last_col)
r | false | bool merge(int first_row, int first_col, int last_row, int last_col)
r | false | bool unmerge(int row, int col)
- | -1 | int tabledef_count()
- | nullptr | const char* get_tabledef_name(int index)
p | nullptr | iTabledef* set_tabledef_name(int index, const char* name)
- | nullptr | iTabledef* get_tabledef(int index)
- | nullptr | iTabledef* get_tabledef_by_name(const char* name)
- | nullptr | iTabledef* add_tabledef(const char* name, int first_row, int first_col, int last_row, int last_col)
r | false | bool delete_tabledef(const char* name)
b4 | | void group_rows(int first_row, int last_row, bool collapsed)
- | | void ungroup_rows(int first_row, int last_row)
b4 | | void group_cols(int first_col, int last_col, bool collapsed)
- | | void ungroup_cols(int first_col, int last_col)
o | -1 | int row_outline_level(int row, bool* collapsed)
o | -1 | int col_outline_level(int col, bool* collapsed)
- | -1 | int max_row_outline_level()
- | -1 | int max_col_outline_level()
- | | void delete_row_outline()
- | | void delete_col_outline()
r | false | bool group_summary_below()
b2 | | void set_group_summary_below(bool below)
r | false | bool group_summary_right()
b2 | | void set_group_summary_right(bool right)
r | false | bool add_hyperlink(const char* address, int first_row, int first_col, int last_row, int last_col)
- | -1 | int hyperlink_num()
- | -1 | int hyperlink_index(int row, int col)
- | nullptr | const char* hyperlink(int index, int* first_row, int* first_col, int* last_row, int* last_col)
r | false | bool delete_hyperlink(int index)
r | false | bool is_protected()
r | false | bool protect(int options, const char* password)
- | | void unprotect()
r | false | bool protect_range(int first_row, int first_col, int last_row, int last_col)
r | false | bool set_editable_range(int first_row, int first_col, int last_row, int last_col)
- | -1 | int editable_range_count()
- | nullptr | const char* get_editable_range(int index, int* first_row, int* first_col, int* last_row, int* last_col)
r | false | bool delete_editable_range(int index)
- | 0 | int zoom()
- | | void set_zoom(int zoom)
r | false | bool right_to_left()
b2 | | void set_right_to_left(bool on)
- | | void topleft_cell(int* row, int* col)
- | | void set_topleft_cell(int row, int col)
- | | void active_cell(int* row, int* col)
- | | void set_active_cell(int row, int col)
- | | void split_cell(int* row, int* col)
- | | void set_split_cell(int row, int col)
r | false | bool display_gridlines()
b2 | | void set_display_gridlines(bool on)
- | -1 | int row_break_count()
- | -1 | int row_break(int index)
b3r | false | bool set_row_break(int row, bool on)
- | -1 | int col_break_count()
- | -1 | int col_break(int index)
b3r | false | bool set_col_break(int col, bool on)
r | false | bool print_gridlines()
b2 | | void set_print_gridlines(bool on)
r | false | bool print_headings()
b2 | | void set_print_headings(bool on)
r | false | bool h_centered_printing()
b2 | | void set_h_centered_printing(bool on)
r | false | bool v_centered_printing()
b2 | | void set_v_centered_printing(bool on)
- | 0.0 | double left_margin()
- | | void set_left_margin(double inches)
- | 0.0 | double right_margin()
- | | void set_right_margin(double inches)
- | 0.0 | double top_margin()
- | | void set_top_margin(double inches)
- | 0.0 | double bottom_margin()
- | | void set_bottom_margin(double inches)
- | 0.0 | double header_margin()
- | | void set_header_margin(double inches)
- | 0.0 | double footer_margin()
- | | void set_footer_margin(double inches)
- | 0 | int paper()
r | false | bool set_paper(int id)
- | 0 | int print_scale()
- | | void set_print_scale(int scale)
- | -1 | int page_orientation()
- | | void set_page_orientation(int orientation)
- | -1 | int print_errors()
- | | void set_print_errors(int way)
- | 0 | int fit_page_height()
- | | void set_fit_page_height(int pages)
- | 0 | int fit_page_width()
- | | void set_fit_page_width(int pages)
- | nullptr | const char* page_header()
- | | void set_page_header(const char* text)
- | nullptr | const char* page_footer()
- | | void set_page_footer(const char* text)
"""),
    ("style", "iStyle", "plover_style_t", "style", """
- | -1 | int set_numfmt(const char* code)
- | nullptr | const char* numfmt_code()
- | -1 | int numfmt_id()
r | false | bool set_numfmt_id(int id)
- | | void set_font(const char* name, int size)
- | nullptr | const char* font_name()
- | -1 | int font_size()
- | | void set_font_size(int size)
r | false | bool italic()
b2 | | void set_italic(bool on)
r | false | bool strikeout()
b2 | | void set_strikeout(bool on)
- | 0u | unsigned int font_color()
- | | void set_font_color(unsigned int argb)
r | false | bool bold()
b2 | | void set_bold(bool on)
- | 0 | int font_vert_align()
- | | void set_font_vert_align(int align)
- | 0 | int underlined()
- | | void set_underline(int underline)
- | 0 | int border(int index)
r | false | bool set_border(int index, int line_style)
- | 0u | unsigned int border_color(int index)
r | false | bool set_border_color(int index, unsigned int argb)
- | 0 | int fill_pattern()
- | | void set_fill_pattern(int pattern)
- | 0u | unsigned int pattern_fg_color()
- | | void set_pattern_fg_color(unsigned int argb)
- | 0u | unsigned int pattern_bg_color()
- | | void set_pattern_bg_color(unsigned int argb)
- | 0 | int align_h()
- | | void set_align_h(int align)
- | 0 | int align_v()
- | | void set_align_v(int align)
r | false | bool wrap()
b2 | | void set_wrap(bool on)
- | -1 | int rotation()
- | | void set_rotation(int degrees)
- | -1 | int indent()
- | | void set_indent(int indent)
r | false | bool shrink_to_fit()
b2 | | void set_shrink_to_fit(bool on)
r | false | bool cell_locked()
b2 | | void set_cell_locked(bool on)
r | false | bool cell_hidden()
b2 | | void set_cell_hidden(bool on)
- | | void unapply_numfmt()
- | | void unapply_font()
- | | void unapply_fill()
- | | void unapply_border()
- | | void unapply_alignment()
- | | void unapply_protection()
x | | void unapply_all()
- | | void release()
"""),
    ("td", "iTabledef", "plover_tabledef_t", "td", """
- | nullptr | const char* name()
- | | void range(int* first_row, int* first_col, int* last_row, int* last_col)
- | nullptr | const char* display_name()
- | | void set_display_name(const char* name)
- | nullptr | const char* comment()
- | | void set_comment(const char* text)
- | nullptr | const char* col_name(int index)
r | false | bool set_col_name(int index, const char* name)
r | false | bool insert_col(int index, const char* name)
- | | void delete_col_by_index(int index)
- | | void delete_col(const char* name)
- | | void set_totals_row_label(const char* label)
b2 | | void set_display_total(bool on)
- | 0 | int totals_row_func(int col)
- | | void set_totals_row_func(int col, int func)
- | nullptr | const char* style_name()
- | | void set_style_name(const char* name)
- | | void set_preset_style(int number)
r | false | bool row_strips()
b2 | | void set_row_strips(bool on)
"""),
    ("rt", "iRichtext", "plover_richtext_t", "rt", """
- | -1 | int segments_num()
- | nullptr | const char* plain_text()
- | nullptr | const char* text(int index, iStyle** style)
- | | void append(const char* text, iStyle* style)
- | | void insert(int index, const char* text, iStyle* style)
- | | void remove(int index)
- | | void modify(int index, const char* text, iStyle* style)
- | | void release()
"""),
]

EXPECTED_COUNTS = {"doc": 3, "wb": 30, "ws": 166, "style": 53, "td": 20, "rt": 8}

# The exports that reach no slot, in the order of plover.h.
FREE_EXPORTS = [
    "create_document", "doc_create", "load_document", "doc_load",
    "run_msg", "lib_version", "get_version",
    "a1_to_row_col", "wide_a1_to_row_col", "row_col_to_a1", "to_ansi_string", "to_wide_string",
    "encode_date", "encode_date1904", "encode_datetime", "encode_datetime1904", "encode_time",
    "decode_date", "decode_date1904", "decode_datetime", "decode_datetime1904", "decode_time",
    "encode_rgb", "encode_argb", "decode_rgb", "decode_argb",
]

OUTPUT = {}  # path -> generated text

HANDLE_OF = {fam[1]: fam[2] for fam in FAMILIES}


class Param:
    def __init__(self, text):
        m = re.fullmatch(r"(.+?)\s*(\w+)", text.strip())
        self.type, self.name = m.group(1).replace(" *", "*"), m.group(2)

    def c_type(self, as_int):
        if as_int:
            return "int*" if self.type == "bool*" else "int"
        t = self.type
        for iface, handle in HANDLE_OF.items():
            t = re.sub(rf"\b{iface}\b", handle, t)
        return t


class Slot:
    def __init__(self, line):
        form, failure, decl = (part.strip() for part in line.split("|"))
        m = re.fullmatch(r"(.+?)\s*(\w+)\((.*)\)", decl)
        self.form, self.failure, self.ret, self.name = form, failure, m.group(1), m.group(2)
        self.params = [Param(p) for p in m.group(3).split(",")] if m.group(3) else []
        self.bool_arg = int(form[1]) - 2 if form.startswith("b") else None
        self.check()

    def check(self):
        # Every bool must be converted by the entry form, and only bools.
        for i, p in enumerate(self.params):
            if p.type == "bool":
                assert self.bool_arg == i, self.name
            if p.type == "bool*":
                assert self.form == "o" and i == 1, self.name
        if self.bool_arg is not None:
            assert self.params[self.bool_arg].type == "bool", self.name
        if self.ret == "bool":
            assert self.form in ("r", "b3r", "b4r"), self.name
        if self.form == "p":
            assert self.ret.endswith("*"), self.name
        if self.ret == "void":
            assert self.failure == "", self.name
        elif self.form != "x":
            assert self.failure != "", self.name

    @property
    def exported(self):
        return self.form != "x"

    def c_result(self):
        if self.form in ("r", "b3r", "b4r", "p"):
            return "int"
        return Param("%s x" % self.ret).c_type(False)

    def c_failure(self):
        if self.form in ("r", "b3r", "b4r", "p"):
            return "0"
        return self.failure

    def c_params(self):
        out = []
        for i, p in enumerate(self.params):
            out.append("%s %s" % (p.c_type(i == self.bool_arg or (self.form == "o" and i == 1)), p.name))
        return out

    def cpp_decl(self, named=True):
        params = ("%s %s" % (p.type, p.name) if named else p.type for p in self.params)
        return "%s %s(%s)" % (self.ret, self.name, ", ".join(params))


def load():
    fams = []
    for prefix, iface, handle, var, table in FAMILIES:
        slots = [Slot(line) for line in table.strip().splitlines()]
        assert sum(s.exported for s in slots) == EXPECTED_COUNTS[prefix], prefix
        fams.append((prefix, iface, handle, var, slots))
    return fams


HEADER_NOTE = "Generated by scripts/gen_exports.py from its slot table; edit the table, not this file."


def write_interfaces(fams):
    out = ["// " + HEADER_NOTE, """#pragma once
// The object face of plover: the abstract interfaces behind the handles of
// plover.h. A C++ host may call them directly; every slot keeps the behaviour of
// its export (the export named after the family prefix and the slot). The
// library owns every object; documents are released with doc_release, style and
// rich-text handles with their release slots.

namespace vex {
"""]
    for _, iface, _, _, _ in fams:
        out.append("class %s;" % iface)
    for prefix, iface, _, _, slots in fams:
        out.append("\n// Slots in the order of the %s_ exports; the order is part of the boundary." % prefix)
        out.append("class %s {\npublic:" % iface)
        for s in slots:
            note = "  // no export" if not s.exported else ""
            out.append("    virtual %s = 0;%s" % (s.cpp_decl(), note))
        out.append("    virtual ~%s() = default;\n};" % iface)
    out.append("\n} // namespace vex")
    OUTPUT[ROOT / "api/interfaces.h"] = "\n".join(out) + "\n"


FORM_NOTE = {
    "r": "returns 1 or 0",
    "b3r": "returns 1 or 0",
    "b4r": "returns 1 or 0",
    "p": "returns 1 on success, else 0",
}


def write_header_section(fams):
    lines = []
    for prefix, iface, handle, var, slots in fams:
        lines.append("/* ---- %s_ family (%d) %s */" % (prefix, sum(s.exported for s in slots), "-" * (56 - len(prefix))))
        for s in slots:
            if not s.exported:
                continue
            args = ["%s* %s" % (handle, var)] + s.c_params()
            note = " /* failure: %s */" % s.c_failure().replace("nullptr", "NULL") if s.ret != "void" else ""
            lines.append("PLOVER_API %s %s_%s(%s) PLOVER_NOEXCEPT;%s" % (s.c_result(), prefix, s.name, ", ".join(args), note))
        lines.append("")
    path = ROOT / "api/plover.h"
    text = path.read_text()
    begin, end = "/* ---- begin generated family exports ---- */\n", "/* ---- end generated family exports ---- */\n"
    head, rest = text.split(begin)
    _, tail = rest.split(end)
    OUTPUT[path] = head + begin + "\n".join(lines) + end + tail


def entry_body(prefix, var, s):
    call_args = []
    for i, p in enumerate(s.params):
        if i == s.bool_arg:
            call_args.append("%s != 0" % p.name)
        elif s.form == "o" and i == 1:
            call_args.append("&flag")
        else:
            call_args.append(p.name)
    call = "%s->%s(%s)" % (var, s.name, ", ".join(call_args))
    if s.form == "o":
        return "bool flag = false;\n        auto result = %s;\n        put(%s, flag ? 1 : 0);\n        return result;" % (call, s.params[1].name)
    if s.form in ("r", "b3r", "b4r"):
        return "return %s ? 1 : 0;" % call
    if s.form == "p":
        return "return %s != nullptr ? 1 : 0;" % call
    return ("return %s;" if s.ret != "void" else "%s;") % call


def write_exports(fams):
    out = ["// " + HEADER_NOTE, """// The family exports: each checks its handle and host texts, calls its slot and
// converts booleans; nothing thrown leaves the library.
#include "plover.h"

#include "interfaces.h"
#include "kestrel/interface/entry.h"

using vex::detail::enter;
using vex::detail::enter_void;
using vex::detail::put;

extern "C" {"""]
    for prefix, iface, handle, var, slots in fams:
        out.append("\n/* %s_ */\n" % prefix)
        for s in slots:
            if not s.exported:
                continue
            args = ["%s* %s" % (handle, var)] + s.c_params()
            texts = [p.name for p in s.params if p.type == "const char*"]
            body = entry_body(prefix, var, s)
            out.append("PLOVER_API %s %s_%s(%s) noexcept {" % (s.c_result(), prefix, s.name, ", ".join(args)))
            if s.ret == "void":
                out.append("    enter_void(%s, {%s}, [&] {\n        %s\n    });" % (var, ", ".join(texts), body))
            else:
                fail = s.c_failure()
                if fail == "nullptr":
                    fail = "static_cast<%s>(nullptr)" % s.c_result()
                out.append("    return enter(%s, %s, {%s}, [&] {\n        %s\n    });" % (var, fail, ", ".join(texts), body))
            out.append("}\n")
    out.append("}")
    OUTPUT[ROOT / "kestrel/interface/exports_families.cpp"] = "\n".join(out) + "\n"


def write_unbuilt(fams):
    out = ["// " + HEADER_NOTE, """#pragma once
// Bases for interface objects under construction: every slot not yet overridden
// answers "Not implemented." with its failure value. An implementation derives
// from its interface directly once all of its slots are built.
#include "interfaces.h"

#include "kestrel/interface/entry.h"

namespace vex {
"""]
    for prefix, iface, handle, var, slots in fams:
        out.append("class %s_unbuilt : public %s {\npublic:" % (iface, iface))
        for s in slots:
            ret = "not_implemented(%s)" % s.failure if s.ret != "void" else "not_implemented()"
            if s.ret != "void" and s.failure == "nullptr":
                ret = "not_implemented(static_cast<%s>(nullptr))" % s.ret
            body = "return detail::%s;" % ret if s.ret != "void" else "detail::%s;" % ret
            out.append("    %s override { %s }" % (s.cpp_decl(named=False), body))
        out.append("};\n")
    out.append("} // namespace vex")
    OUTPUT[ROOT / "kestrel/interface/unbuilt_slots.h"] = "\n".join(out) + "\n"


def write_map(fams):
    names = list(FREE_EXPORTS)
    for prefix, _, _, _, slots in fams:
        names += ["%s_%s" % (prefix, s.name) for s in slots if s.exported]
    assert len(names) == len(set(names)) == 306, len(names)
    body = "\n".join("    %s;" % n for n in names)
    text = "/* %s */\n/* Every name libplover.so exports; nothing else leaves it. */\n{\n  global:\n%s\n  local:\n    *;\n};\n" % (HEADER_NOTE, body)
    OUTPUT[ROOT / "api/plover.map"] = text


def main():
    fams = load()
    write_interfaces(fams)
    write_header_section(fams)
    write_exports(fams)
    write_unbuilt(fams)
    write_map(fams)
    if "--check" in sys.argv:
        stale = [str(p.relative_to(ROOT)) for p, text in OUTPUT.items() if p.read_text() != text]
        if stale:
            sys.exit("out of date with scripts/gen_exports.py: " + ", ".join(stale))
        return
    for path, text in OUTPUT.items():
        path.write_text(text)


if __name__ == "__main__":
    main()
