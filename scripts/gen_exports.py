#!/usr/bin/env python3
"""Generates the family exports from the slot table below.

Writes api/interfaces.h (the abstract interfaces), the family section of
api/plover.h, kestrel/interface/exports_families.cpp (one entry per export),
tests/kestrel/interface/unbuilt_slots.h (bases for test fakes, whose every
slot answers "Not implemented.") and api/plover.map (the linker's list of exported names).
Run it from anywhere after editing the table; the output is checked in, and
"--check" only verifies that it is current (a test does).

A table row is: entry form | failure value | C++ slot declaration | description.
The description becomes the export's one-line comment in plover.h; for a slot
with a result it names the failure value (a slot without an export has none).
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
- | nullptr | iWorkbook* get_workbook() | The document's workbook, owned by the document; NULL on failure (e.g. a released document).
r | false | bool save(const char* path) | Writes the package to path, or with a NULL path to the one it was loaded from or last saved to; a symbolic link is followed and stays a link, the new file keeps the permission bits of the one it replaces, a path that exists and is not a regular file (FIFO, device, socket, directory) is refused with "The saved file must be a regular file: PATH", and a failed save leaves the old file as it was; 1, or 0 on failure.
- | | void release() | Closes the document and frees it with its workbook and every handle they gave out; every doc_ function refuses the released handle.
"""),
    ("wb", "iWorkbook", "plover_workbook_t", "wb", """
r | false | bool is_date1904() | Whether the workbook uses the 1904 date system; 0 on failure.
b2 | | void set_date1904(bool on) | Switches the 1904 date system on or off.
r | false | bool is_a1_ref_mode() | Whether formulas use the A1 reference style rather than R1C1; 0 on failure.
b2 | | void set_a1_ref_mode(bool on) | Chooses the A1 reference style (on not 0) or R1C1.
- | 0 | int get_calc_mode() | The calculation mode (CalcTypeEnum); 0 on failure.
- | | void set_calc_mode(int type) | Sets the calculation mode (CalcTypeEnum); any other value is refused.
- | nullptr | iWorksheet* add_worksheet(const char* name) | Appends a worksheet (a NULL or empty name gets the next default name); NULL on failure (a name too long, blank, with control characters or in use in any case).
- | nullptr | iWorksheet* insert_worksheet(int index, const char* name) | Inserts a worksheet at index (from 0), named as by wb_add_worksheet; NULL on failure.
- | | void shift_sheet(int from, int to) | Moves the sheet at index from to index to (both from 0); the other sheets keep their order.
- | | void delete_sheet(int index) | Deletes the sheet at index (from 0); its worksheet handle becomes invalid.
- | 0xFFFFFFFFu | unsigned int sheet_count() | The number of sheets; 0xFFFFFFFF on failure.
- | nullptr | iWorksheet* get_sheet(int index) | The worksheet at index (from 0), owned by the workbook; NULL on failure.
- | 0 | int sheet_type(int index) | The type (1, 2 or 3) of the sheet at index (from 0); 0 for any other type and on failure.
- | 0 | int get_sheet_state(int index) | The visibility (SheetStateEnum) of the sheet at index (from 0); 0 on failure.
- | | void set_sheet_state(int index, int state) | Sets the visibility (SheetStateEnum) of the sheet at index (from 0); hiding the last visible sheet is refused.
- | nullptr | const char* sheet_name(int index) | The name of the sheet at index (from 0), valid until it is renamed or deleted; NULL on failure.
- | | void rename_sheet(unsigned int index, const char* name) | Renames the sheet at index (from 0); an empty, duplicate or over-31-character name is refused.
- | -1 | int get_active_sheet() | The index (from 0) of the active sheet; -1 on failure.
r | false | bool set_active_sheet(int index) | Makes the sheet at index (from 0) the active one; 1, or 0 on failure.
r | false | bool set_defined_name(const char* name, const char* expression, const char* local_sheet) | Defines name as expression (sheet-qualified references), local to sheet local_sheet unless NULL or empty; a name must start with a letter, _ or \\, hold only letters, digits, _, \\, . and ?, and neither read as a cell reference ("N1", "R1C1") nor be TRUE, FALSE, a table's name or a name of its scope, in any case; 1, or 0 on failure.
- | 0 | int defined_name_num() | The number of defined names; 0 on failure.
o | nullptr | const char* get_defined_name(int index, bool* is_local) | The defined name at index (from 0); is_local (may be NULL) receives 1 when it is local to a sheet; NULL on failure.
- | nullptr | const char* get_local_name(int index) | The sheet that the defined name at index (from 0) is local to; NULL for a workbook-wide name and on failure.
- | nullptr | const char* get_defined_name_expr(int index) | The expression of the defined name at index (from 0); NULL on failure.
- | | void delete_defined_name(int index) | Deletes the defined name at index (from 0); an index out of range does nothing.
- | nullptr | iStyle* get_named_style(const char* name) | A new handle on the named style (custom before built-in, the name in any ASCII case), owned by the workbook until style_release; NULL on failure.
- | nullptr | iStyle* add_custom_style(const char* name, iStyle* style) | Adds a custom named style with the settings of style; a new handle on it, or NULL on failure (e.g. a name in use, by a built-in or registered style, in any ASCII case).
r | false | bool modify_named_style(const char* name, iStyle* style) | Replaces the format of the named style (the name in any ASCII case) with the settings of style; 1, or 0 on failure.
- | nullptr | iStyle* make_normal_style() | A new handle on the "normal" style, as wb_get_named_style gives; NULL on failure.
- | nullptr | iRichtext* make_richtext() | A new, empty rich text, owned by the workbook until rt_release; NULL on failure.
"""),
    ("ws", "iWorksheet", "plover_worksheet_t", "ws", """
- | 0 | int min_row() | The first row of every sheet, 1 (for the used area see ws_first_data_cell); 0 on failure.
- | 0 | int min_col() | The first column of every sheet, 1; 0 on failure.
- | 0 | int max_row() | The last row of every sheet, 1048576 (for the used area see ws_last_data_cell); 0 on failure.
- | 0 | int max_col() | The last column of every sheet, 16384; 0 on failure.
- | nullptr | const char* name() | The sheet's name, valid until the sheet is renamed or deleted; NULL on failure.
r | false | bool set_name(const char* name) | Renames the sheet; an empty, blank, over-31-character name, one with control characters or one in use in any case is refused; 1, or 0 on failure.
- | 0 | int ws_type() | The sheet's type, as wb_sheet_type gives it; 0 on failure.
- | 0 | int get_ws_state() | The sheet's visibility (SheetStateEnum); 0 on failure.
- | -1 | int cell_type(int row, int col) | The type (CellTypeEnum) of the cell's value, or of a formula's result; -1 on failure.
r | false | bool contains_formula(int row, int col) | Whether the cell holds a formula; 0 on failure.
r | false | bool contains_richtext(int row, int col) | Whether the cell holds a rich text; 0 on failure.
- | 0.0 | double get_num(int row, int col) | The cell's number, or a formula's numeric result; 0.0 on failure (e.g. no numeric value).
- | nullptr | const char* get_text(int row, int col) | The cell's text (a rich text's plain text, a formula's text result), valid until the cell changes; NULL on failure.
r | false | bool get_boolean(int row, int col) | The cell's boolean value, or a formula's boolean result; 0 on failure.
- | 0.0 | double get_datetime(int row, int col) | The serial of the cell's date or time (a number with a date format, a formula's date result); 0.0 on failure.
- | nullptr | iRichtext* get_richtext(int row, int col) | A copy of the cell's rich text, valid until the calling thread's next ws_get_richtext in this workbook (each thread has its own, so the call is safe from any thread) and freed with the workbook; NULL on failure.
- | nullptr | const char* get_formula_expr(int row, int col) | The cell's formula text (a shared formula's follower's as read at its cell), valid until the cell changes, whichever cells are read meanwhile; NULL on failure (no formula).
- | -1 | int get_error(int row, int col) | The cell's error (ErrorCodeEnum, 0 for none); -1 on failure (e.g. a formula not yet calculated).
r | false | bool set_num(int row, int col, double value) | Stores a number in the cell, replacing any formula; 1, or 0 on failure (NaN and infinities are refused).
r | false | bool set_text(int row, int col, const char* text) | Stores a text in the cell; 1, or 0 on failure (e.g. a NULL text, or one over 32,767 UTF-16 units).
b4r | false | bool set_boolean(int row, int col, bool value) | Stores a boolean in the cell; 1, or 0 on failure.
r | false | bool set_datetime(int row, int col, double serial) | Stores a date or time serial in the cell with number format 14; 1, or 0 on failure.
r | false | bool set_richtext(int row, int col, iRichtext* text) | Stores a copy of the rich text in the cell; 1, or 0 on failure (e.g. a text over 32,767 UTF-16 units).
r | false | bool set_error(int row, int col, int code) | Stores an error value (ErrorCodeEnum, 1 to 9) in the cell; 1, or 0 on failure.
r | false | bool set_formula(int row, int col, const char* formula) | Stores a formula in the cell (a leading "=" is dropped) without a result until one is set; 1, or 0 on failure (empty, incomplete or over 8,192 UTF-16 units).
r | false | bool set_formula_num(int row, int col, double value) | Gives the cell's formula a number as its result, without calculating; 1, or 0 on failure (no formula).
r | false | bool set_formula_string(int row, int col, const char* text) | Gives the cell's formula a text as its result, without calculating; 1, or 0 on failure (no formula, a text over 32,767 UTF-16 units).
b4r | false | bool set_formula_boolean(int row, int col, bool value) | Gives the cell's formula a boolean as its result, without calculating; 1, or 0 on failure (no formula).
r | false | bool set_formula_datetime(int row, int col, double serial) | Gives the cell's formula a date or time serial as its result, without calculating; 1, or 0 on failure.
r | false | bool set_formula_error(int row, int col, int code) | Gives the cell's formula an error (ErrorCodeEnum, 1 to 9) as its result, without calculating; 1, or 0 on failure.
- | | void clear_contents(int first_row, int first_col, int last_row, int last_col) | Erases the values of the range (corners in either order) and keeps its styles; an invalid range does nothing.
- | | void set_cell_style(int row, int col, iStyle* style) | Sets style on the cell: a handle on a named style other than "normal", or on a whole look as ws_get_cell_style gives, takes the place of the cell's style (a named style of this workbook becomes its parent; one of another workbook gives its look alone); any other merges the parts set on it into the cell's style.
- | nullptr | iStyle* cell_style(int row, int col) | The cell's style (its own, its row's, its column's or the default) in the sheet's shared handle, refilled by each call; NULL on failure.
- | nullptr | iStyle* get_cell_style(int row, int col) | A new handle on the cell's style, owned by the workbook until style_release; NULL on failure.
- | | void set_range_style(int first_row, int first_col, int last_row, int last_col, iStyle* style) | Applies style to the range (corners in either order) as ws_set_cell_style does to a cell; whole rows or columns get a row or column style; a corner outside the sheet is refused.
r | false | bool is_default_row_height(int first_row, int last_row) | Whether every row from first_row to last_row (last_row 0: first_row alone) has the default height; 0 on failure.
r | false | bool get_custom_row_height(int first_row, int last_row, double* height, int unit) | Writes the summed height of the rows in unit (RowHeightUnitEnum) to height (may be NULL); 0 when one has the default height, and on failure.
- | | void set_custom_row_height(int first_row, int last_row, double height, int unit) | Gives the rows from first_row to last_row a height in unit (RowHeightUnitEnum), at most 409 points; a negative height is ignored.
r | false | bool is_default_col_width(int first_col, int last_col) | Whether every column from first_col to last_col (last_col 0: first_col alone) has the default width; 0 on failure.
r | false | bool get_custom_col_width(int first_col, int last_col, double* width, int unit) | Writes the summed width of the columns in unit (ColWidthUnitEnum) to width (may be NULL); 0 when one has the default width, and on failure.
- | | void set_custom_col_width(int first_col, int last_col, double width, int unit) | Gives the columns from first_col to last_col a width in unit (ColWidthUnitEnum), at most 255 characters; a negative width is ignored.
- | nullptr | iStyle* row_style(int row) | The row's style in the sheet's shared handle, as ws_cell_style gives it; NULL on failure.
- | | void remove_row_style(int row) | Returns the row's style to the default; its height and hidden flag stay.
- | | void set_row_style(int first_row, int last_row, iStyle* style) | Applies style to the rows from first_row to last_row as ws_set_cell_style does to a cell.
- | nullptr | iStyle* col_style(int col) | The column's style in the sheet's shared handle, as ws_cell_style gives it; NULL on failure.
- | | void remove_col_style(int col) | Returns the column's style to the default; its width and hidden flag stay.
- | | void set_col_style(int first_col, int last_col, iStyle* style) | Applies style to the columns from first_col to last_col as ws_set_cell_style does to a cell.
r | false | bool row_hidden(int row) | Whether the row is hidden; 0 on failure.
b4 | | void set_row_hidden(int first_row, int last_row, bool hidden) | Hides the rows from first_row to last_row (either order), or shows them when hidden is 0.
r | false | bool col_hidden(int col) | Whether the column is hidden; 0 on failure.
b4 | | void set_col_hidden(int first_col, int last_col, bool hidden) | Hides the columns from first_col to last_col (either order), or shows them when hidden is 0.
r | false | bool insert_row(int row, int count) | Inserts count empty rows at row, across all columns; 1, or 0 on failure (e.g. data would leave the sheet).
r | false | bool delete_row(int first_row, int last_row) | Deletes the rows from first_row to last_row (last_row 0: first_row alone); the rows below move up; 1, or 0 on failure.
r | false | bool insert_col(int col, int count) | Inserts count empty columns at col, across all rows; 1, or 0 on failure (e.g. data would leave the sheet).
r | false | bool delete_col(int first_col, int last_col) | Deletes the columns from first_col to last_col (last_col 0: first_col alone); those to the right move left; 1, or 0 on failure.
r | false | bool shift_range_down(int first_col, int last_col, int row, int count) | Moves the cells from row onwards within first_col to last_col down by count rows; 1, or 0 on failure.
r | false | bool shift_range_up(int first_col, int last_col, int row, int count) | Moves the cells from row onwards within first_col to last_col up by count rows, deleting the count rows above it; 1, or 0 on failure.
r | false | bool shift_range_right(int first_row, int last_row, int col, int count) | Moves the cells from col onwards within first_row to last_row right by count columns; 1, or 0 on failure.
r | false | bool shift_range_left(int first_row, int last_row, int col, int count) | Moves the cells from col onwards within first_row to last_row left by count columns, deleting the count columns before it; 1, or 0 on failure.
- | | void set_bg_picture(const char* file) | Makes the image file the sheet's background picture.
- | -1 | int add_cell_image(const char* file, int first_row, int first_col, int last_row, int last_col) | Adds the image file as a picture from the top-left corner of (first_row, first_col) to the bottom-right corner of (last_row, last_col); where a first row or column lies after the last, the picture spans from the cell after the last to the start of the first ((5,5,2,2) covers C3:D4, (2,2,5,5) B2:E5); its id, or -1 on failure.
- | -1 | int add_image_with_two_cells(const char* file, int first_row, int first_col, int last_row, int last_col, int first_row_offset, int first_col_offset, int last_row_offset, int last_col_offset) | As ws_add_cell_image, with the offsets (pixels) of its corners inside their cells; its id, or -1 on failure.
- | -1 | int add_image_with_one_cell(const char* file, int row, int col, int width, int height, double scale, int col_offset, int row_offset) | Adds a picture at the cell, moved by the offsets, width by height (all pixels; both 0: the image's size times scale); its id, or -1 on failure.
- | -1 | int add_absolute_image(const char* file, int x, int y, int width, int height, double scale) | Adds a picture with its top-left corner at x, y, width by height (all pixels; both 0: the image's size times scale); its id, or -1 on failure.
- | -1 | int image_num() | The number of pictures on the sheet; -1 on failure.
- | -1 | int get_image_id(int index) | The id of the picture at index (from 0); -1 on failure.
- | 0 | int image_anchor_type(int id) | How the picture with that id is placed (AnchorTypeEnum); 0 on failure (no such picture).
r | false | bool get_anchored_cell(int id, int* row, int* col) | Writes the cell a cell-anchored picture starts at (each pointer may be NULL); 0 on failure, also for an absolute picture.
r | false | bool get_absolute_coord(int id, int* x, int* y) | Writes the position in pixels of an absolute picture (each pointer may be NULL); 0 on failure, also for a cell-anchored one.
- | | void delete_image(int id) | Removes the picture with that id.
- | | void remove_image(int row, int col) | Removes every cell-anchored picture that starts at the cell.
- | | void remove_absolute_image(int x, int y) | Removes every absolute picture placed exactly at x, y (pixels).
r | false | bool first_data_cell(int* row, int* col) | Writes the lowest row and the lowest column that hold data (each pointer may be NULL); 0 for an empty sheet and on failure.
r | false | bool last_data_cell(int* row, int* col) | Writes the highest row and the highest column that hold data (each pointer may be NULL); 0 for an empty sheet and on failure.
- | -1 | int merged_num() | The number of merged ranges; -1 on failure.
r | false | bool merged_range(int index, int* first_row, int* first_col, int* last_row, int* last_col) | Writes the corners of the merged range at index (from 0; each pointer may be NULL); 0 on failure.
r | false | bool merge(int first_row, int first_col, int last_row, int last_col) | Merges the range (corners in either order): the first value in reading order moves to the top-left cell, the other cells are emptied, and merged ranges it overlaps without holding them whole are unmerged; 1, or 0 on failure (e.g. a range holding a whole merged range or part of a table).
r | false | bool unmerge(int row, int col) | Removes the merged range that holds the cell; 1, or 0 when there is none and on failure.
- | -1 | int tabledef_count() | The number of tables on the sheet; -1 on failure.
- | nullptr | const char* get_tabledef_name(int index) | The name of the table at index (from 0); NULL on failure.
p | nullptr | iTabledef* set_tabledef_name(int index, const char* name) | Renames the table at index (from 0), whose earlier handle becomes invalid; 1, or 0 on failure (e.g. a name that a table or a defined name has, in any case).
- | nullptr | iTabledef* get_tabledef(int index) | The table at index (from 0), owned by the sheet; NULL on failure.
- | nullptr | iTabledef* get_tabledef_by_name(const char* name) | The table of that name, owned by the sheet; NULL on failure.
- | nullptr | iTabledef* add_tabledef(const char* name, int first_row, int first_col, int last_row, int last_col) | Makes a table named name over the range (corners in either order); the new table, or NULL on failure (e.g. a name that a table or a defined name has, in any case).
r | false | bool delete_tabledef(const char* name) | Deletes the table of that name and its handle; 1 also when there is none, 0 on failure.
b4 | | void group_rows(int first_row, int last_row, bool collapsed) | Puts the rows from first_row to last_row one outline level deeper (at most 8), collapsed unless collapsed is 0.
- | | void ungroup_rows(int first_row, int last_row) | Brings the rows from first_row to last_row one outline level up.
b4 | | void group_cols(int first_col, int last_col, bool collapsed) | Puts the columns from first_col to last_col one outline level deeper (at most 8), collapsed unless collapsed is 0.
- | | void ungroup_cols(int first_col, int last_col) | Brings the columns from first_col to last_col one outline level up.
o | -1 | int row_outline_level(int row, bool* collapsed) | The row's outline level (0 to 8); collapsed (may be NULL) receives 1 when it is collapsed; -1 on failure.
o | -1 | int col_outline_level(int col, bool* collapsed) | The column's outline level (0 to 8); collapsed (may be NULL) receives 1 when it is collapsed; -1 on failure.
- | -1 | int max_row_outline_level() | The deepest outline level of the rows, 0 when none is grouped; -1 on failure.
- | -1 | int max_col_outline_level() | The deepest outline level of the columns, 0 when none is grouped; -1 on failure.
- | | void delete_row_outline() | Removes every row grouping.
- | | void delete_col_outline() | Removes every column grouping.
r | false | bool group_summary_below() | Whether summary rows sit below their detail rows; 0 on failure.
b2 | | void set_group_summary_below(bool below) | Puts summary rows below their detail rows, or above when below is 0.
r | false | bool group_summary_right() | Whether summary columns sit right of their detail columns; 0 on failure.
b2 | | void set_group_summary_right(bool right) | Puts summary columns right of their detail columns, or left when right is 0.
r | false | bool add_hyperlink(const char* address, int first_row, int first_col, int last_row, int last_col) | Links the range (corners in either order) to address, a reference in the workbook or an external target; 1, or 0 on failure.
- | -1 | int hyperlink_num() | The number of hyperlinks; -1 on failure.
- | -1 | int hyperlink_index(int row, int col) | The index (from 0) of the first hyperlink over the cell; -1 when there is none and on failure.
- | nullptr | const char* hyperlink(int index, int* first_row, int* first_col, int* last_row, int* last_col) | The address of the hyperlink at index (from 0), its corners written to the pointers (each may be NULL); NULL on failure.
r | false | bool delete_hyperlink(int index) | Removes the hyperlink at index (from 0); 1, or 0 on failure.
r | false | bool is_protected() | Whether the sheet is protected; 0 on failure.
r | false | bool protect(int options, const char* password) | Protects the sheet with the ProtectOptionEnum options and a password (NULL or empty: none); 1, or 0 on failure.
- | | void unprotect() | Lifts the sheet's protection and password and locks every column's cells again.
r | false | bool protect_range(int first_row, int first_col, int last_row, int last_col) | Protects the sheet with only the range's cells locked (corners in either order); 1, or 0 on failure.
r | false | bool set_editable_range(int first_row, int first_col, int last_row, int last_col) | Adds the range (corners in either order) as an editable range "Range n" and protects the sheet; 1, or 0 on failure.
- | -1 | int editable_range_count() | The number of editable ranges; -1 on failure.
- | nullptr | const char* get_editable_range(int index, int* first_row, int* first_col, int* last_row, int* last_col) | The name of the editable range at index (from 0), its corners written to the pointers (each may be NULL); NULL on failure.
r | false | bool delete_editable_range(int index) | Removes the editable range at index (from 0); 1, or 0 on failure.
- | 0 | int zoom() | The zoom of the sheet's view in percent; 0 when there is no view and on failure.
- | | void set_zoom(int zoom) | Sets the zoom of the sheet's view in percent, 10 to 400; other values are ignored.
r | false | bool right_to_left() | Whether the sheet is shown right to left; 0 on failure.
b2 | | void set_right_to_left(bool on) | Shows the sheet right to left, or left to right when on is 0.
- | | void topleft_cell(int* row, int* col) | Writes the cell at the top left of the sheet's view (each pointer may be NULL).
- | | void set_topleft_cell(int row, int col) | Sets the cell at the top left of the sheet's view.
- | | void active_cell(int* row, int* col) | Writes the active cell (each pointer may be NULL).
- | | void set_active_cell(int row, int col) | Makes the cell the active cell.
- | | void split_cell(int* row, int* col) | Writes the split cell of the sheet's view (each pointer may be NULL).
- | | void set_split_cell(int row, int col) | Sets the split cell of the sheet's view.
r | false | bool display_gridlines() | Whether gridlines are shown; 0 on failure.
b2 | | void set_display_gridlines(bool on) | Shows gridlines, or hides them when on is 0.
- | -1 | int row_break_count() | The number of manual row page breaks; -1 on failure.
- | -1 | int row_break(int index) | The row of the row page break at index (from 0, ascending); -1 on failure.
b3r | false | bool set_row_break(int row, bool on) | Adds a manual page break at the row, or removes it when on is 0; 1, or 0 on failure.
- | -1 | int col_break_count() | The number of manual column page breaks; -1 on failure.
- | -1 | int col_break(int index) | The column of the column page break at index (from 0, ascending); -1 on failure.
b3r | false | bool set_col_break(int col, bool on) | Adds a manual page break at the column, or removes it when on is 0; 1, or 0 on failure.
r | false | bool print_gridlines() | Whether gridlines are printed; 0 on failure.
b2 | | void set_print_gridlines(bool on) | Prints gridlines, or not when on is 0.
r | false | bool print_headings() | Whether row and column headings are printed; 0 on failure.
b2 | | void set_print_headings(bool on) | Prints row and column headings, or not when on is 0.
r | false | bool h_centered_printing() | Whether the printout is centred horizontally on the page; 0 on failure.
b2 | | void set_h_centered_printing(bool on) | Centres the printout horizontally on the page, or not when on is 0.
r | false | bool v_centered_printing() | Whether the printout is centred vertically on the page; 0 on failure.
b2 | | void set_v_centered_printing(bool on) | Centres the printout vertically on the page, or not when on is 0.
- | 0.0 | double left_margin() | The left page margin in inches; 0.0 on failure.
- | | void set_left_margin(double inches) | Sets the left page margin in inches; a negative value is stored as 0.
- | 0.0 | double right_margin() | The right page margin in inches; 0.0 on failure.
- | | void set_right_margin(double inches) | Sets the right page margin in inches; a negative value is stored as 0.
- | 0.0 | double top_margin() | The top page margin in inches; 0.0 on failure.
- | | void set_top_margin(double inches) | Sets the top page margin in inches; a negative value is stored as 0.
- | 0.0 | double bottom_margin() | The bottom page margin in inches; 0.0 on failure.
- | | void set_bottom_margin(double inches) | Sets the bottom page margin in inches; a negative value is stored as 0.
- | 0.0 | double header_margin() | The header margin in inches; 0.0 on failure.
- | | void set_header_margin(double inches) | Sets the header margin in inches; a negative value is stored as 0.
- | 0.0 | double footer_margin() | The footer margin in inches; 0.0 on failure.
- | | void set_footer_margin(double inches) | Sets the footer margin in inches; a negative value is stored as 0.
- | 0 | int paper() | The paper id (PaperEnum); 0 on failure.
r | false | bool set_paper(int id) | Sets the paper (PaperEnum, 1 to 118); 1, or 0 on failure.
- | 0 | int print_scale() | The print scale in percent; 0 on failure.
- | | void set_print_scale(int scale) | Sets the print scale in percent, 10 to 400; other values are ignored.
- | -1 | int page_orientation() | The page orientation (PageOrientEnum); -1 on failure.
- | | void set_page_orientation(int orientation) | Sets the page orientation (PageOrientEnum); any other value is refused.
- | -1 | int print_errors() | How cell errors are printed (PrintErrorEnum); -1 on failure.
- | | void set_print_errors(int way) | Sets how cell errors are printed (PrintErrorEnum); any other value is refused.
- | 0 | int fit_page_height() | The number of pages the printout is fitted to in height; 0 on failure.
- | | void set_fit_page_height(int pages) | Fits the printout to that many pages in height; a value below 1 is ignored.
- | 0 | int fit_page_width() | The number of pages the printout is fitted to in width; 0 on failure.
- | | void set_fit_page_width(int pages) | Fits the printout to that many pages in width; a value below 1 is ignored.
- | nullptr | const char* page_header() | The page header text; NULL when empty and on failure.
- | | void set_page_header(const char* text) | Sets the page header text (NULL: empty).
- | nullptr | const char* page_footer() | The page footer text; NULL when empty and on failure.
- | | void set_page_footer(const char* text) | Sets the page footer text (NULL: empty).
"""),
    ("style", "iStyle", "plover_style_t", "style", """
- | -1 | int set_numfmt(const char* code) | Gives the style the number format code (a built-in one, else registered as custom); its id, or -1 on failure (a code that does not parse, leaves a bracket or quote open or has more than four sections).
- | nullptr | const char* numfmt_code() | The code of the style's number format; NULL when it has none and on failure.
- | -1 | int numfmt_id() | The id of the style's number format; -1 on failure.
r | false | bool set_numfmt_id(int id) | Gives the style the built-in or registered number format with that id; 1, or 0 on failure (no such id).
- | | void set_font(const char* name, int size) | Sets the font name and, unless size is 0, the font size in points.
- | nullptr | const char* font_name() | The font name, valid until the font changes; NULL on failure.
- | -1 | int font_size() | The font size in points, truncated; -1 on failure.
- | | void set_font_size(int size) | Sets the font size in points.
r | false | bool italic() | Whether the font is italic; 0 on failure.
b2 | | void set_italic(bool on) | Makes the font italic, or not when on is 0.
r | false | bool strikeout() | Whether the font is struck out; 0 on failure.
b2 | | void set_strikeout(bool on) | Strikes the font out, or not when on is 0.
- | 0u | unsigned int font_color() | The font colour, 0xAARRGGBB; 0 on failure.
- | | void set_font_color(unsigned int argb) | Sets the font colour, 0xAARRGGBB.
r | false | bool bold() | Whether the font is bold; 0 on failure.
b2 | | void set_bold(bool on) | Makes the font bold, or not when on is 0.
- | 0 | int font_vert_align() | The font's vertical position (VertAlignRunEnum); 0 on failure.
- | | void set_font_vert_align(int align) | Sets the font's vertical position (VertAlignRunEnum); any other value is refused.
- | 0 | int underlined() | The font's underline (UnderlineEnum); 0 on failure.
- | | void set_underline(int underline) | Sets the font's underline (UnderlineEnum); any other value is refused.
- | 0 | int border(int index) | The line style (BorderStyleEnum) of the edge index (BorderIndexEnum; 8 and 9 read 0); 0 on failure.
r | false | bool set_border(int index, int line_style) | Sets the line style (BorderStyleEnum) of the edges that index (BorderIndexEnum) selects; 1, or 0 on failure.
- | 0u | unsigned int border_color(int index) | The colour, 0xAARRGGBB, of the edge index (BorderIndexEnum; 8 and 9 read 0); 0 on failure.
r | false | bool set_border_color(int index, unsigned int argb) | Sets the colour, 0xAARRGGBB, of the edges that index (BorderIndexEnum) selects; 1, or 0 on failure.
- | 0 | int fill_pattern() | The fill pattern (PatternTypeEnum); 0 on failure.
- | | void set_fill_pattern(int pattern) | Sets the fill pattern (PatternTypeEnum); any other value is refused.
- | 0u | unsigned int pattern_fg_color() | The fill's foreground colour, 0xAARRGGBB; 0 on failure.
- | | void set_pattern_fg_color(unsigned int argb) | Sets the fill's foreground colour, 0xAARRGGBB.
- | 0u | unsigned int pattern_bg_color() | The fill's background colour, 0xAARRGGBB; 0 on failure.
- | | void set_pattern_bg_color(unsigned int argb) | Sets the fill's background colour, 0xAARRGGBB.
- | 0 | int align_h() | The horizontal alignment (HAlignEnum); 0 on failure.
- | | void set_align_h(int align) | Sets the horizontal alignment (HAlignEnum); any other value is refused.
- | 0 | int align_v() | The vertical alignment (VAlignEnum); 0 on failure.
- | | void set_align_v(int align) | Sets the vertical alignment (VAlignEnum); any other value is refused.
r | false | bool wrap() | Whether text wraps in the cell; 0 on failure.
b2 | | void set_wrap(bool on) | Wraps text in the cell, or not when on is 0.
- | -1 | int rotation() | The text rotation in degrees, -90 to 90; -1 on failure.
- | | void set_rotation(int degrees) | Sets the text rotation in degrees, clamped to -90 to 90.
- | -1 | int indent() | The indent; -1 on failure.
- | | void set_indent(int indent) | Sets the indent, 0 to 250; a negative value is ignored, one above 250 refused.
r | false | bool shrink_to_fit() | Whether text shrinks to fit the cell; 0 on failure.
b2 | | void set_shrink_to_fit(bool on) | Shrinks text to fit the cell, or not when on is 0.
r | false | bool cell_locked() | Whether the style's protection locks the cell; 0 on failure.
b2 | | void set_cell_locked(bool on) | Sets whether the style's protection locks the cell; its hidden flag stays.
r | false | bool cell_hidden() | Whether the style's protection hides the cell; 0 on failure.
b2 | | void set_cell_hidden(bool on) | Sets whether the style's protection hides the cell; its locked flag stays.
- | | void unapply_numfmt() | Drops the number format from the style (id 0, "General").
- | | void unapply_font() | Drops the font from the style.
- | | void unapply_fill() | Drops the fill from the style.
- | | void unapply_border() | Drops the borders from the style.
- | | void unapply_alignment() | Drops the alignment from the style.
- | | void unapply_protection() | Drops the protection from the style (back to locked and not hidden).
x | | void unapply_all() | Drops every part of the style; the library's own, with no export.
- | | void release() | Frees a handle that the workbook gave out; the sheet's shared handle is only emptied.
"""),
    ("td", "iTabledef", "plover_tabledef_t", "td", """
- | nullptr | const char* name() | The table's name; NULL on failure (e.g. the table was deleted).
- | | void range(int* first_row, int* first_col, int* last_row, int* last_col) | Writes the table's corners (each pointer may be NULL).
- | nullptr | const char* display_name() | The table's display name (empty when unset); NULL on failure.
- | | void set_display_name(const char* name) | Sets the display name, each blank becoming an underscore; an empty name is ignored.
- | nullptr | const char* comment() | The table's comment; NULL when empty and on failure.
- | | void set_comment(const char* text) | Sets the table's comment; an empty text changes nothing.
- | nullptr | const char* col_name(int index) | The name of the column at index (from 0); NULL on failure.
r | false | bool set_col_name(int index, const char* name) | Renames the column at index (from 0); 1, or 0 on failure (e.g. another column has the name, in any case).
r | false | bool insert_col(int index, const char* name) | Inserts a column named name at index (from 0); 1, or 0 on failure (e.g. a column has the name, in any case).
- | | void delete_col_by_index(int index) | Deletes the column at index (from 0); deleting the last one deletes the table and this handle.
- | | void delete_col(const char* name) | Deletes the column of that name.
- | | void set_totals_row_label(const char* label) | Sets the totals-row label of the first column.
b2 | | void set_display_total(bool on) | Shows the totals row, or hides it when on is 0.
- | 0 | int totals_row_func(int col) | The totals-row function (TotalsFuncEnum) of column col (from 0); 0 on failure.
- | | void set_totals_row_func(int col, int func) | Sets the totals-row function (TotalsFuncEnum) of column col (from 0) and shows the totals row.
- | nullptr | const char* style_name() | The name of the table's style, an empty text for a table without one (as read from a file); NULL on failure.
- | | void set_style_name(const char* name) | Sets the table's style by name; a name that is not a built-in table style is ignored.
- | | void set_preset_style(int number) | Sets the table's style by number (TableStyleEnum, 0 to 59).
r | false | bool row_strips() | Whether rows are shown in stripes; 0 on failure.
b2 | | void set_row_strips(bool on) | Shows rows in stripes, or not when on is 0.
"""),
    ("rt", "iRichtext", "plover_richtext_t", "rt", """
- | -1 | int segments_num() | The number of segments; -1 on failure.
- | nullptr | const char* plain_text() | All segments' texts joined, valid until the next call or change; NULL when empty and on failure.
- | nullptr | const char* text(int index, iStyle** style) | The text of the segment at index (from 0); style (may be NULL) gets a new workbook-owned style of its font name and size; NULL on failure.
- | | void append(const char* text, iStyle* style) | Adds a segment of text in the font of style (NULL: no font) at the end; a NULL or empty text does nothing.
- | | void insert(int index, const char* text, iStyle* style) | Adds a segment before the one at index (from 0), at the end past the last; otherwise as rt_append.
- | | void remove(int index) | Removes the segment at index (from 0).
- | | void modify(int index, const char* text, iStyle* style) | Replaces the segment at index (from 0) with one made as rt_append makes it.
- | | void release() | Frees a rich text that wb_make_richtext made; one from ws_get_richtext is only emptied.
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
        form, failure, decl, *doc = (part.strip() for part in line.split("|", 3))
        self.doc = doc[0] if doc else ""
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
        # The description is the headers' only word on the failure value.
        assert self.doc, self.name
        if self.form != "x":
            assert self.doc.endswith(".") and "*/" not in self.doc, self.name
            if self.ret != "void":
                value = re.escape(self.c_failure().replace("nullptr", "NULL").rstrip("u"))
                assert "on failure" in self.doc and re.search(rf"(?<![\w.-]){value}(?![\w.])", self.doc), self.name

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
// its export (the export named after the family prefix and the slot), and its
// comment is that export's: where it says 1 or 0, a bool slot answers true or
// false, and NULL is nullptr.
//
// Releasing: the library makes and frees every object; never delete one (the
// destructors are the library's own: a deleted object is freed a second time by
// its owner, at the latest when the process ends).
// - A document goes with its release() slot, which frees its workbook, its
//   sheets and every handle they gave out.
// - Workbooks, worksheets and table handles belong to their document.
// - A handle that a slot calls new (get_named_style, get_cell_style,
//   make_richtext, a segment's style from iRichtext::text) belongs to the
//   workbook: release() frees it early, else it goes with the document.
// - A shared handle (cell_style, row_style, col_style) and the rich text of
//   get_richtext stay the sheet's or the workbook's: copy what must outlive the
//   next such call; release() only empties them.
// A style or rich text handed to a slot must be one the library made: an object
// of a host's own class is refused with a message saying so.

namespace vex {
"""]
    for _, iface, _, _, _ in fams:
        out.append("class %s;" % iface)
    for prefix, iface, _, _, slots in fams:
        out.append("\n// Slots in the order of the %s_ exports; the order is part of the boundary." % prefix)
        out.append("class %s {\npublic:" % iface)
        for s in slots:
            out.append("    // %s" % s.doc)
            out.append("    virtual %s = 0;" % s.cpp_decl())
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
            lines.append("/** %s */" % s.doc)
            lines.append("PLOVER_API %s %s_%s(%s) PLOVER_NOEXCEPT;" % (s.c_result(), prefix, s.name, ", ".join(args)))
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
// Bases for the tests' fakes of the interfaces: every slot a fake does not
// override answers "Not implemented." with its failure value.
#include "interfaces.h"

#include "kestrel/interface/entry.h"

#include <string_view>

namespace vex {

namespace detail {

inline constexpr std::string_view not_implemented_message = "Not implemented.";

template <typename R>
R not_implemented(R failure) noexcept {
    report(not_implemented_message);
    return failure;
}

inline void not_implemented() noexcept { report(not_implemented_message); }

} // namespace detail
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
    OUTPUT[ROOT / "tests/kestrel/interface/unbuilt_slots.h"] = "\n".join(out) + "\n"


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
