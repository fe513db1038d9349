/* plover: create, open, edit and save SpreadsheetML workbooks (.xlsx); formulas are parsed, tracked and rewritten, but no function here computes their results.
 *
 * Every text that crosses this boundary is NUL-terminated UTF-8 unless a function
 * says UTF-16. Rows and columns are numbered from 1. A function that fails returns
 * 0, a null handle or the value its comment names, and leaves the reason in the
 * process-wide last message, read with run_msg(). A successful call leaves the
 * previous message in place. */
#ifndef PLOVER_H
#define PLOVER_H

#include <stdint.h>

#include "enum.h"

#if defined(PLOVER_BUILDING)
#define PLOVER_API __attribute__((visibility("default")))
#else
#define PLOVER_API
#endif

/* Handles. Each family takes its own type; the library owns the objects behind
 * them. In C++ they are the abstract interfaces of interfaces.h, which a host
 * may also call directly; a style or rich text handed to a function must be one
 * the library made, and an object of a host's own class is refused. */
#ifdef __cplusplus
#include <cstddef>

#include "interfaces.h"

typedef vex::iDocument plover_document_t;
typedef vex::iWorkbook plover_workbook_t;
typedef vex::iWorksheet plover_worksheet_t;
typedef vex::iStyle plover_style_t;
typedef vex::iTabledef plover_tabledef_t;
typedef vex::iRichtext plover_richtext_t;
typedef char16_t plover_char16;
#define PLOVER_NOEXCEPT noexcept
extern "C" {
#else
#include <stddef.h>
#include <uchar.h>
typedef struct plover_document plover_document_t;
typedef struct plover_workbook plover_workbook_t;
typedef struct plover_worksheet plover_worksheet_t;
typedef struct plover_style plover_style_t;
typedef struct plover_tabledef plover_tabledef_t;
typedef struct plover_richtext plover_richtext_t;
typedef char16_t plover_char16;
#define PLOVER_NOEXCEPT
#endif

/* ---- Documents ---------------------------------------------------------- */

/** A new, empty workbook document; add a worksheet before saving it.
 *  @return the handle, released with doc_release(), or NULL with the reason in run_msg(). */
PLOVER_API plover_document_t* create_document(void) PLOVER_NOEXCEPT;
/** The same as create_document(). */
PLOVER_API plover_document_t* doc_create(void) PLOVER_NOEXCEPT;

/** Opens a .xlsx package.
 *  @param path UTF-8 file name; a file that an open document already holds is refused
 *         under any spelling of its path ("File <path> has been loaded.")
 *  @return the handle, released with doc_release(), or NULL with the reason in run_msg(). */
PLOVER_API plover_document_t* load_document(const char* path) PLOVER_NOEXCEPT;
/** The same as load_document(). */
PLOVER_API plover_document_t* doc_load(const char* path) PLOVER_NOEXCEPT;

/* ---- Families ------------------------------------------------------------- */
/* Each family function takes its handle first and reaches the slot of the same
 * name (less the prefix) in interfaces.h. A boolean argument is an int (true when
 * not 0); a boolean result is 1 or 0. Text arguments are UTF-8; one that is not is
 * refused with "Failed to convert from ANSI string", a NULL handle with "The
 * handle cannot be empty.", a document handle that is not open (released, or
 * never made by doc_create or doc_load) with "The document is not open: released
 * or never made.", each with the failure value its comment names
 * (functions without a result then do nothing). Returned texts belong to the
 * library and stay valid until what they describe changes. Enumerations are in
 * enum.h. */

/* ---- begin generated family exports ---- */
/* ---- doc_ family (3) ----------------------------------------------------- */
/** The document's workbook, owned by the document; NULL on failure (e.g. a released document). */
PLOVER_API plover_workbook_t* doc_get_workbook(plover_document_t* doc) PLOVER_NOEXCEPT;
/** Writes the package to path, or with a NULL path to the one it was loaded from or last saved to; a symbolic link is followed and stays a link, the new file keeps the permission bits of the one it replaces, a path that exists and is not a regular file (FIFO, device, socket, directory) is refused with "The saved file must be a regular file: PATH", and a failed save leaves the old file as it was; 1, or 0 on failure. */
PLOVER_API int doc_save(plover_document_t* doc, const char* path) PLOVER_NOEXCEPT;
/** Closes the document and frees it with its workbook and every handle they gave out; every doc_ function refuses the released handle. */
PLOVER_API void doc_release(plover_document_t* doc) PLOVER_NOEXCEPT;

/* ---- wb_ family (30) ------------------------------------------------------ */
/** Whether the workbook uses the 1904 date system; 0 on failure. */
PLOVER_API int wb_is_date1904(plover_workbook_t* wb) PLOVER_NOEXCEPT;
/** Switches the 1904 date system on or off. */
PLOVER_API void wb_set_date1904(plover_workbook_t* wb, int on) PLOVER_NOEXCEPT;
/** Whether formulas use the A1 reference style rather than R1C1; 0 on failure. */
PLOVER_API int wb_is_a1_ref_mode(plover_workbook_t* wb) PLOVER_NOEXCEPT;
/** Chooses the A1 reference style (on not 0) or R1C1. */
PLOVER_API void wb_set_a1_ref_mode(plover_workbook_t* wb, int on) PLOVER_NOEXCEPT;
/** The calculation mode (CalcTypeEnum); 0 on failure. */
PLOVER_API int wb_get_calc_mode(plover_workbook_t* wb) PLOVER_NOEXCEPT;
/** Sets the calculation mode (CalcTypeEnum); any other value is refused. */
PLOVER_API void wb_set_calc_mode(plover_workbook_t* wb, int type) PLOVER_NOEXCEPT;
/** Appends a worksheet (a NULL or empty name gets the next default name); NULL on failure (a name too long, blank, with control characters or in use in any case). */
PLOVER_API plover_worksheet_t* wb_add_worksheet(plover_workbook_t* wb, const char* name) PLOVER_NOEXCEPT;
/** Inserts a worksheet at index (from 0), named as by wb_add_worksheet; NULL on failure. */
PLOVER_API plover_worksheet_t* wb_insert_worksheet(plover_workbook_t* wb, int index, const char* name) PLOVER_NOEXCEPT;
/** Moves the sheet at index from to index to (both from 0); the other sheets keep their order. */
PLOVER_API void wb_shift_sheet(plover_workbook_t* wb, int from, int to) PLOVER_NOEXCEPT;
/** Deletes the sheet at index (from 0); its worksheet handle becomes invalid. */
PLOVER_API void wb_delete_sheet(plover_workbook_t* wb, int index) PLOVER_NOEXCEPT;
/** The number of sheets; 0xFFFFFFFF on failure. */
PLOVER_API unsigned int wb_sheet_count(plover_workbook_t* wb) PLOVER_NOEXCEPT;
/** The worksheet at index (from 0), owned by the workbook; NULL on failure. */
PLOVER_API plover_worksheet_t* wb_get_sheet(plover_workbook_t* wb, int index) PLOVER_NOEXCEPT;
/** The type (1, 2 or 3) of the sheet at index (from 0); 0 for any other type and on failure. */
PLOVER_API int wb_sheet_type(plover_workbook_t* wb, int index) PLOVER_NOEXCEPT;
/** The visibility (SheetStateEnum) of the sheet at index (from 0); 0 on failure. */
PLOVER_API int wb_get_sheet_state(plover_workbook_t* wb, int index) PLOVER_NOEXCEPT;
/** Sets the visibility (SheetStateEnum) of the sheet at index (from 0); hiding the last visible sheet is refused. */
PLOVER_API void wb_set_sheet_state(plover_workbook_t* wb, int index, int state) PLOVER_NOEXCEPT;
/** The name of the sheet at index (from 0), valid until it is renamed or deleted; NULL on failure. */
PLOVER_API const char* wb_sheet_name(plover_workbook_t* wb, int index) PLOVER_NOEXCEPT;
/** Renames the sheet at index (from 0); an empty, duplicate or over-31-character name is refused. */
PLOVER_API void wb_rename_sheet(plover_workbook_t* wb, unsigned int index, const char* name) PLOVER_NOEXCEPT;
/** The index (from 0) of the active sheet; -1 on failure. */
PLOVER_API int wb_get_active_sheet(plover_workbook_t* wb) PLOVER_NOEXCEPT;
/** Makes the sheet at index (from 0) the active one; 1, or 0 on failure. */
PLOVER_API int wb_set_active_sheet(plover_workbook_t* wb, int index) PLOVER_NOEXCEPT;
/** Defines name as expression (sheet-qualified references), local to sheet local_sheet unless NULL or empty; a name must start with a letter, _ or \, hold only letters, digits, _, \, . and ?, and neither read as a cell reference ("N1", "R1C1") nor be TRUE, FALSE, a table's name or a name of its scope, in any case; 1, or 0 on failure. */
PLOVER_API int wb_set_defined_name(plover_workbook_t* wb, const char* name, const char* expression, const char* local_sheet) PLOVER_NOEXCEPT;
/** The number of defined names; 0 on failure. */
PLOVER_API int wb_defined_name_num(plover_workbook_t* wb) PLOVER_NOEXCEPT;
/** The defined name at index (from 0); is_local (may be NULL) receives 1 when it is local to a sheet; NULL on failure. */
PLOVER_API const char* wb_get_defined_name(plover_workbook_t* wb, int index, int* is_local) PLOVER_NOEXCEPT;
/** The sheet that the defined name at index (from 0) is local to; NULL for a workbook-wide name and on failure. */
PLOVER_API const char* wb_get_local_name(plover_workbook_t* wb, int index) PLOVER_NOEXCEPT;
/** The expression of the defined name at index (from 0); NULL on failure. */
PLOVER_API const char* wb_get_defined_name_expr(plover_workbook_t* wb, int index) PLOVER_NOEXCEPT;
/** Deletes the defined name at index (from 0); an index out of range does nothing. */
PLOVER_API void wb_delete_defined_name(plover_workbook_t* wb, int index) PLOVER_NOEXCEPT;
/** A new handle on the named style (custom before built-in, the name in any ASCII case), owned by the workbook until style_release; NULL on failure. */
PLOVER_API plover_style_t* wb_get_named_style(plover_workbook_t* wb, const char* name) PLOVER_NOEXCEPT;
/** Adds a custom named style with the settings of style; a new handle on it, or NULL on failure (e.g. a name in use, by a built-in or registered style, in any ASCII case). */
PLOVER_API plover_style_t* wb_add_custom_style(plover_workbook_t* wb, const char* name, plover_style_t* style) PLOVER_NOEXCEPT;
/** Replaces the format of the named style (the name in any ASCII case) with the settings of style; 1, or 0 on failure. */
PLOVER_API int wb_modify_named_style(plover_workbook_t* wb, const char* name, plover_style_t* style) PLOVER_NOEXCEPT;
/** A new handle on the "normal" style, as wb_get_named_style gives; NULL on failure. */
PLOVER_API plover_style_t* wb_make_normal_style(plover_workbook_t* wb) PLOVER_NOEXCEPT;
/** A new, empty rich text, owned by the workbook until rt_release; NULL on failure. */
PLOVER_API plover_richtext_t* wb_make_richtext(plover_workbook_t* wb) PLOVER_NOEXCEPT;

/* ---- ws_ family (166) ------------------------------------------------------ */
/** The first row of every sheet, 1 (for the used area see ws_first_data_cell); 0 on failure. */
PLOVER_API int ws_min_row(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The first column of every sheet, 1; 0 on failure. */
PLOVER_API int ws_min_col(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The last row of every sheet, 1048576 (for the used area see ws_last_data_cell); 0 on failure. */
PLOVER_API int ws_max_row(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The last column of every sheet, 16384; 0 on failure. */
PLOVER_API int ws_max_col(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The sheet's name, valid until the sheet is renamed or deleted; NULL on failure. */
PLOVER_API const char* ws_name(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Renames the sheet; an empty, blank, over-31-character name, one with control characters or one in use in any case is refused; 1, or 0 on failure. */
PLOVER_API int ws_set_name(plover_worksheet_t* ws, const char* name) PLOVER_NOEXCEPT;
/** The sheet's type, as wb_sheet_type gives it; 0 on failure. */
PLOVER_API int ws_ws_type(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The sheet's visibility (SheetStateEnum); 0 on failure. */
PLOVER_API int ws_get_ws_state(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The type (CellTypeEnum) of the cell's value, or of a formula's result; -1 on failure. */
PLOVER_API int ws_cell_type(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** Whether the cell holds a formula; 0 on failure. */
PLOVER_API int ws_contains_formula(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** Whether the cell holds a rich text; 0 on failure. */
PLOVER_API int ws_contains_richtext(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** The cell's number, or a formula's numeric result; 0.0 on failure (e.g. no numeric value). */
PLOVER_API double ws_get_num(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** The cell's text (a rich text's plain text, a formula's text result), valid until the cell changes; NULL on failure. */
PLOVER_API const char* ws_get_text(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** The cell's boolean value, or a formula's boolean result; 0 on failure. */
PLOVER_API int ws_get_boolean(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** The serial of the cell's date or time (a number with a date format, a formula's date result); 0.0 on failure. */
PLOVER_API double ws_get_datetime(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** A copy of the cell's rich text, valid until the calling thread's next ws_get_richtext in this workbook (each thread has its own, so the call is safe from any thread) and freed with the workbook; NULL on failure. */
PLOVER_API plover_richtext_t* ws_get_richtext(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** The cell's formula text (a shared formula's follower's as read at its cell), valid until the cell changes, whichever cells are read meanwhile; NULL on failure (no formula). */
PLOVER_API const char* ws_get_formula_expr(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** The cell's error (ErrorCodeEnum, 0 for none); -1 on failure (e.g. a formula not yet calculated). */
PLOVER_API int ws_get_error(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** Stores a number in the cell, replacing any formula; 1, or 0 on failure (NaN and infinities are refused). */
PLOVER_API int ws_set_num(plover_worksheet_t* ws, int row, int col, double value) PLOVER_NOEXCEPT;
/** Stores a text in the cell; 1, or 0 on failure (e.g. a NULL text, or one over 32,767 UTF-16 units). */
PLOVER_API int ws_set_text(plover_worksheet_t* ws, int row, int col, const char* text) PLOVER_NOEXCEPT;
/** Stores a boolean in the cell; 1, or 0 on failure. */
PLOVER_API int ws_set_boolean(plover_worksheet_t* ws, int row, int col, int value) PLOVER_NOEXCEPT;
/** Stores a date or time serial in the cell with number format 14; 1, or 0 on failure. */
PLOVER_API int ws_set_datetime(plover_worksheet_t* ws, int row, int col, double serial) PLOVER_NOEXCEPT;
/** Stores a copy of the rich text in the cell; 1, or 0 on failure (e.g. a text over 32,767 UTF-16 units). */
PLOVER_API int ws_set_richtext(plover_worksheet_t* ws, int row, int col, plover_richtext_t* text) PLOVER_NOEXCEPT;
/** Stores an error value (ErrorCodeEnum, 1 to 9) in the cell; 1, or 0 on failure. */
PLOVER_API int ws_set_error(plover_worksheet_t* ws, int row, int col, int code) PLOVER_NOEXCEPT;
/** Stores a formula in the cell (a leading "=" is dropped) without a result until one is set; 1, or 0 on failure (empty, incomplete or over 8,192 UTF-16 units). */
PLOVER_API int ws_set_formula(plover_worksheet_t* ws, int row, int col, const char* formula) PLOVER_NOEXCEPT;
/** Gives the cell's formula a number as its result, without calculating; 1, or 0 on failure (no formula). */
PLOVER_API int ws_set_formula_num(plover_worksheet_t* ws, int row, int col, double value) PLOVER_NOEXCEPT;
/** Gives the cell's formula a text as its result, without calculating; 1, or 0 on failure (no formula, a text over 32,767 UTF-16 units). */
PLOVER_API int ws_set_formula_string(plover_worksheet_t* ws, int row, int col, const char* text) PLOVER_NOEXCEPT;
/** Gives the cell's formula a boolean as its result, without calculating; 1, or 0 on failure (no formula). */
PLOVER_API int ws_set_formula_boolean(plover_worksheet_t* ws, int row, int col, int value) PLOVER_NOEXCEPT;
/** Gives the cell's formula a date or time serial as its result, without calculating; 1, or 0 on failure. */
PLOVER_API int ws_set_formula_datetime(plover_worksheet_t* ws, int row, int col, double serial) PLOVER_NOEXCEPT;
/** Gives the cell's formula an error (ErrorCodeEnum, 1 to 9) as its result, without calculating; 1, or 0 on failure. */
PLOVER_API int ws_set_formula_error(plover_worksheet_t* ws, int row, int col, int code) PLOVER_NOEXCEPT;
/** Erases the values of the range (corners in either order) and keeps its styles; an invalid range does nothing. */
PLOVER_API void ws_clear_contents(plover_worksheet_t* ws, int first_row, int first_col, int last_row, int last_col) PLOVER_NOEXCEPT;
/** Sets style on the cell: a handle on a named style other than "normal", or on a whole look as ws_get_cell_style gives, takes the place of the cell's style (a named style of this workbook becomes its parent; one of another workbook gives its look alone); any other merges the parts set on it into the cell's style. */
PLOVER_API void ws_set_cell_style(plover_worksheet_t* ws, int row, int col, plover_style_t* style) PLOVER_NOEXCEPT;
/** The cell's style (its own, its row's, its column's or the default) in the sheet's shared handle, refilled by each call; NULL on failure. */
PLOVER_API plover_style_t* ws_cell_style(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** A new handle on the cell's style, owned by the workbook until style_release; NULL on failure. */
PLOVER_API plover_style_t* ws_get_cell_style(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** Applies style to the range (corners in either order) as ws_set_cell_style does to a cell; whole rows or columns get a row or column style; a corner outside the sheet is refused. */
PLOVER_API void ws_set_range_style(plover_worksheet_t* ws, int first_row, int first_col, int last_row, int last_col, plover_style_t* style) PLOVER_NOEXCEPT;
/** Whether every row from first_row to last_row (last_row 0: first_row alone) has the default height; 0 on failure. */
PLOVER_API int ws_is_default_row_height(plover_worksheet_t* ws, int first_row, int last_row) PLOVER_NOEXCEPT;
/** Writes the summed height of the rows in unit (RowHeightUnitEnum) to height (may be NULL); 0 when one has the default height, and on failure. */
PLOVER_API int ws_get_custom_row_height(plover_worksheet_t* ws, int first_row, int last_row, double* height, int unit) PLOVER_NOEXCEPT;
/** Gives the rows from first_row to last_row a height in unit (RowHeightUnitEnum), at most 409 points; a negative height is ignored. */
PLOVER_API void ws_set_custom_row_height(plover_worksheet_t* ws, int first_row, int last_row, double height, int unit) PLOVER_NOEXCEPT;
/** Whether every column from first_col to last_col (last_col 0: first_col alone) has the default width; 0 on failure. */
PLOVER_API int ws_is_default_col_width(plover_worksheet_t* ws, int first_col, int last_col) PLOVER_NOEXCEPT;
/** Writes the summed width of the columns in unit (ColWidthUnitEnum) to width (may be NULL); 0 when one has the default width, and on failure. */
PLOVER_API int ws_get_custom_col_width(plover_worksheet_t* ws, int first_col, int last_col, double* width, int unit) PLOVER_NOEXCEPT;
/** Gives the columns from first_col to last_col a width in unit (ColWidthUnitEnum), at most 255 characters; a negative width is ignored. */
PLOVER_API void ws_set_custom_col_width(plover_worksheet_t* ws, int first_col, int last_col, double width, int unit) PLOVER_NOEXCEPT;
/** The row's style in the sheet's shared handle, as ws_cell_style gives it; NULL on failure. */
PLOVER_API plover_style_t* ws_row_style(plover_worksheet_t* ws, int row) PLOVER_NOEXCEPT;
/** Returns the row's style to the default; its height and hidden flag stay. */
PLOVER_API void ws_remove_row_style(plover_worksheet_t* ws, int row) PLOVER_NOEXCEPT;
/** Applies style to the rows from first_row to last_row as ws_set_cell_style does to a cell. */
PLOVER_API void ws_set_row_style(plover_worksheet_t* ws, int first_row, int last_row, plover_style_t* style) PLOVER_NOEXCEPT;
/** The column's style in the sheet's shared handle, as ws_cell_style gives it; NULL on failure. */
PLOVER_API plover_style_t* ws_col_style(plover_worksheet_t* ws, int col) PLOVER_NOEXCEPT;
/** Returns the column's style to the default; its width and hidden flag stay. */
PLOVER_API void ws_remove_col_style(plover_worksheet_t* ws, int col) PLOVER_NOEXCEPT;
/** Applies style to the columns from first_col to last_col as ws_set_cell_style does to a cell. */
PLOVER_API void ws_set_col_style(plover_worksheet_t* ws, int first_col, int last_col, plover_style_t* style) PLOVER_NOEXCEPT;
/** Whether the row is hidden; 0 on failure. */
PLOVER_API int ws_row_hidden(plover_worksheet_t* ws, int row) PLOVER_NOEXCEPT;
/** Hides the rows from first_row to last_row (either order), or shows them when hidden is 0. */
PLOVER_API void ws_set_row_hidden(plover_worksheet_t* ws, int first_row, int last_row, int hidden) PLOVER_NOEXCEPT;
/** Whether the column is hidden; 0 on failure. */
PLOVER_API int ws_col_hidden(plover_worksheet_t* ws, int col) PLOVER_NOEXCEPT;
/** Hides the columns from first_col to last_col (either order), or shows them when hidden is 0. */
PLOVER_API void ws_set_col_hidden(plover_worksheet_t* ws, int first_col, int last_col, int hidden) PLOVER_NOEXCEPT;
/** Inserts count empty rows at row, across all columns; 1, or 0 on failure (e.g. data would leave the sheet). */
PLOVER_API int ws_insert_row(plover_worksheet_t* ws, int row, int count) PLOVER_NOEXCEPT;
/** Deletes the rows from first_row to last_row (last_row 0: first_row alone); the rows below move up; 1, or 0 on failure. */
PLOVER_API int ws_delete_row(plover_worksheet_t* ws, int first_row, int last_row) PLOVER_NOEXCEPT;
/** Inserts count empty columns at col, across all rows; 1, or 0 on failure (e.g. data would leave the sheet). */
PLOVER_API int ws_insert_col(plover_worksheet_t* ws, int col, int count) PLOVER_NOEXCEPT;
/** Deletes the columns from first_col to last_col (last_col 0: first_col alone); those to the right move left; 1, or 0 on failure. */
PLOVER_API int ws_delete_col(plover_worksheet_t* ws, int first_col, int last_col) PLOVER_NOEXCEPT;
/** Moves the cells from row onwards within first_col to last_col down by count rows; 1, or 0 on failure. */
PLOVER_API int ws_shift_range_down(plover_worksheet_t* ws, int first_col, int last_col, int row, int count) PLOVER_NOEXCEPT;
/** Moves the cells from row onwards within first_col to last_col up by count rows, deleting the count rows above it; 1, or 0 on failure. */
PLOVER_API int ws_shift_range_up(plover_worksheet_t* ws, int first_col, int last_col, int row, int count) PLOVER_NOEXCEPT;
/** Moves the cells from col onwards within first_row to last_row right by count columns; 1, or 0 on failure. */
PLOVER_API int ws_shift_range_right(plover_worksheet_t* ws, int first_row, int last_row, int col, int count) PLOVER_NOEXCEPT;
/** Moves the cells from col onwards within first_row to last_row left by count columns, deleting the count columns before it; 1, or 0 on failure. */
PLOVER_API int ws_shift_range_left(plover_worksheet_t* ws, int first_row, int last_row, int col, int count) PLOVER_NOEXCEPT;
/** Makes the image file the sheet's background picture. */
PLOVER_API void ws_set_bg_picture(plover_worksheet_t* ws, const char* file) PLOVER_NOEXCEPT;
/** Adds the image file as a picture from the top-left corner of (first_row, first_col) to the bottom-right corner of (last_row, last_col); where a first row or column lies after the last, the picture spans from the cell after the last to the start of the first ((5,5,2,2) covers C3:D4, (2,2,5,5) B2:E5); its id, or -1 on failure. */
PLOVER_API int ws_add_cell_image(plover_worksheet_t* ws, const char* file, int first_row, int first_col, int last_row, int last_col) PLOVER_NOEXCEPT;
/** As ws_add_cell_image, with the offsets (pixels) of its corners inside their cells; its id, or -1 on failure. */
PLOVER_API int ws_add_image_with_two_cells(plover_worksheet_t* ws, const char* file, int first_row, int first_col, int last_row, int last_col, int first_row_offset, int first_col_offset, int last_row_offset, int last_col_offset) PLOVER_NOEXCEPT;
/** Adds a picture at the cell, moved by the offsets, width by height (all pixels; both 0: the image's size times scale); its id, or -1 on failure. */
PLOVER_API int ws_add_image_with_one_cell(plover_worksheet_t* ws, const char* file, int row, int col, int width, int height, double scale, int col_offset, int row_offset) PLOVER_NOEXCEPT;
/** Adds a picture with its top-left corner at x, y, width by height (all pixels; both 0: the image's size times scale); its id, or -1 on failure. */
PLOVER_API int ws_add_absolute_image(plover_worksheet_t* ws, const char* file, int x, int y, int width, int height, double scale) PLOVER_NOEXCEPT;
/** The number of pictures on the sheet; -1 on failure. */
PLOVER_API int ws_image_num(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The id of the picture at index (from 0); -1 on failure. */
PLOVER_API int ws_get_image_id(plover_worksheet_t* ws, int index) PLOVER_NOEXCEPT;
/** How the picture with that id is placed (AnchorTypeEnum); 0 on failure (no such picture). */
PLOVER_API int ws_image_anchor_type(plover_worksheet_t* ws, int id) PLOVER_NOEXCEPT;
/** Writes the cell a cell-anchored picture starts at (each pointer may be NULL); 0 on failure, also for an absolute picture. */
PLOVER_API int ws_get_anchored_cell(plover_worksheet_t* ws, int id, int* row, int* col) PLOVER_NOEXCEPT;
/** Writes the position in pixels of an absolute picture (each pointer may be NULL); 0 on failure, also for a cell-anchored one. */
PLOVER_API int ws_get_absolute_coord(plover_worksheet_t* ws, int id, int* x, int* y) PLOVER_NOEXCEPT;
/** Removes the picture with that id. */
PLOVER_API void ws_delete_image(plover_worksheet_t* ws, int id) PLOVER_NOEXCEPT;
/** Removes every cell-anchored picture that starts at the cell. */
PLOVER_API void ws_remove_image(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** Removes every absolute picture placed exactly at x, y (pixels). */
PLOVER_API void ws_remove_absolute_image(plover_worksheet_t* ws, int x, int y) PLOVER_NOEXCEPT;
/** Writes the lowest row and the lowest column that hold data (each pointer may be NULL); 0 for an empty sheet and on failure. */
PLOVER_API int ws_first_data_cell(plover_worksheet_t* ws, int* row, int* col) PLOVER_NOEXCEPT;
/** Writes the highest row and the highest column that hold data (each pointer may be NULL); 0 for an empty sheet and on failure. */
PLOVER_API int ws_last_data_cell(plover_worksheet_t* ws, int* row, int* col) PLOVER_NOEXCEPT;
/** The number of merged ranges; -1 on failure. */
PLOVER_API int ws_merged_num(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Writes the corners of the merged range at index (from 0; each pointer may be NULL); 0 on failure. */
PLOVER_API int ws_merged_range(plover_worksheet_t* ws, int index, int* first_row, int* first_col, int* last_row, int* last_col) PLOVER_NOEXCEPT;
/** Merges the range (corners in either order): the first value in reading order moves to the top-left cell, the other cells are emptied, and merged ranges it overlaps without holding them whole are unmerged; 1, or 0 on failure (e.g. a range holding a whole merged range or part of a table). */
PLOVER_API int ws_merge(plover_worksheet_t* ws, int first_row, int first_col, int last_row, int last_col) PLOVER_NOEXCEPT;
/** Removes the merged range that holds the cell; 1, or 0 when there is none and on failure. */
PLOVER_API int ws_unmerge(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** The number of tables on the sheet; -1 on failure. */
PLOVER_API int ws_tabledef_count(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The name of the table at index (from 0); NULL on failure. */
PLOVER_API const char* ws_get_tabledef_name(plover_worksheet_t* ws, int index) PLOVER_NOEXCEPT;
/** Renames the table at index (from 0), whose earlier handle becomes invalid; 1, or 0 on failure (e.g. a name that a table or a defined name has, in any case). */
PLOVER_API int ws_set_tabledef_name(plover_worksheet_t* ws, int index, const char* name) PLOVER_NOEXCEPT;
/** The table at index (from 0), owned by the sheet; NULL on failure. */
PLOVER_API plover_tabledef_t* ws_get_tabledef(plover_worksheet_t* ws, int index) PLOVER_NOEXCEPT;
/** The table of that name, owned by the sheet; NULL on failure. */
PLOVER_API plover_tabledef_t* ws_get_tabledef_by_name(plover_worksheet_t* ws, const char* name) PLOVER_NOEXCEPT;
/** Makes a table named name over the range (corners in either order); the new table, or NULL on failure (e.g. a name that a table or a defined name has, in any case). */
PLOVER_API plover_tabledef_t* ws_add_tabledef(plover_worksheet_t* ws, const char* name, int first_row, int first_col, int last_row, int last_col) PLOVER_NOEXCEPT;
/** Deletes the table of that name and its handle; 1 also when there is none, 0 on failure. */
PLOVER_API int ws_delete_tabledef(plover_worksheet_t* ws, const char* name) PLOVER_NOEXCEPT;
/** Puts the rows from first_row to last_row one outline level deeper (at most 8), collapsed unless collapsed is 0. */
PLOVER_API void ws_group_rows(plover_worksheet_t* ws, int first_row, int last_row, int collapsed) PLOVER_NOEXCEPT;
/** Brings the rows from first_row to last_row one outline level up. */
PLOVER_API void ws_ungroup_rows(plover_worksheet_t* ws, int first_row, int last_row) PLOVER_NOEXCEPT;
/** Puts the columns from first_col to last_col one outline level deeper (at most 8), collapsed unless collapsed is 0. */
PLOVER_API void ws_group_cols(plover_worksheet_t* ws, int first_col, int last_col, int collapsed) PLOVER_NOEXCEPT;
/** Brings the columns from first_col to last_col one outline level up. */
PLOVER_API void ws_ungroup_cols(plover_worksheet_t* ws, int first_col, int last_col) PLOVER_NOEXCEPT;
/** The row's outline level (0 to 8); collapsed (may be NULL) receives 1 when it is collapsed; -1 on failure. */
PLOVER_API int ws_row_outline_level(plover_worksheet_t* ws, int row, int* collapsed) PLOVER_NOEXCEPT;
/** The column's outline level (0 to 8); collapsed (may be NULL) receives 1 when it is collapsed; -1 on failure. */
PLOVER_API int ws_col_outline_level(plover_worksheet_t* ws, int col, int* collapsed) PLOVER_NOEXCEPT;
/** The deepest outline level of the rows, 0 when none is grouped; -1 on failure. */
PLOVER_API int ws_max_row_outline_level(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The deepest outline level of the columns, 0 when none is grouped; -1 on failure. */
PLOVER_API int ws_max_col_outline_level(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Removes every row grouping. */
PLOVER_API void ws_delete_row_outline(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Removes every column grouping. */
PLOVER_API void ws_delete_col_outline(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Whether summary rows sit below their detail rows; 0 on failure. */
PLOVER_API int ws_group_summary_below(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Puts summary rows below their detail rows, or above when below is 0. */
PLOVER_API void ws_set_group_summary_below(plover_worksheet_t* ws, int below) PLOVER_NOEXCEPT;
/** Whether summary columns sit right of their detail columns; 0 on failure. */
PLOVER_API int ws_group_summary_right(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Puts summary columns right of their detail columns, or left when right is 0. */
PLOVER_API void ws_set_group_summary_right(plover_worksheet_t* ws, int right) PLOVER_NOEXCEPT;
/** Links the range (corners in either order) to address, a reference in the workbook or an external target; 1, or 0 on failure. */
PLOVER_API int ws_add_hyperlink(plover_worksheet_t* ws, const char* address, int first_row, int first_col, int last_row, int last_col) PLOVER_NOEXCEPT;
/** The number of hyperlinks; -1 on failure. */
PLOVER_API int ws_hyperlink_num(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The index (from 0) of the first hyperlink over the cell; -1 when there is none and on failure. */
PLOVER_API int ws_hyperlink_index(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** The address of the hyperlink at index (from 0), its corners written to the pointers (each may be NULL); NULL on failure. */
PLOVER_API const char* ws_hyperlink(plover_worksheet_t* ws, int index, int* first_row, int* first_col, int* last_row, int* last_col) PLOVER_NOEXCEPT;
/** Removes the hyperlink at index (from 0); 1, or 0 on failure. */
PLOVER_API int ws_delete_hyperlink(plover_worksheet_t* ws, int index) PLOVER_NOEXCEPT;
/** Whether the sheet is protected; 0 on failure. */
PLOVER_API int ws_is_protected(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Protects the sheet with the ProtectOptionEnum options and a password (NULL or empty: none); 1, or 0 on failure. */
PLOVER_API int ws_protect(plover_worksheet_t* ws, int options, const char* password) PLOVER_NOEXCEPT;
/** Lifts the sheet's protection and password and locks every column's cells again. */
PLOVER_API void ws_unprotect(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Protects the sheet with only the range's cells locked (corners in either order); 1, or 0 on failure. */
PLOVER_API int ws_protect_range(plover_worksheet_t* ws, int first_row, int first_col, int last_row, int last_col) PLOVER_NOEXCEPT;
/** Adds the range (corners in either order) as an editable range "Range n" and protects the sheet; 1, or 0 on failure. */
PLOVER_API int ws_set_editable_range(plover_worksheet_t* ws, int first_row, int first_col, int last_row, int last_col) PLOVER_NOEXCEPT;
/** The number of editable ranges; -1 on failure. */
PLOVER_API int ws_editable_range_count(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The name of the editable range at index (from 0), its corners written to the pointers (each may be NULL); NULL on failure. */
PLOVER_API const char* ws_get_editable_range(plover_worksheet_t* ws, int index, int* first_row, int* first_col, int* last_row, int* last_col) PLOVER_NOEXCEPT;
/** Removes the editable range at index (from 0); 1, or 0 on failure. */
PLOVER_API int ws_delete_editable_range(plover_worksheet_t* ws, int index) PLOVER_NOEXCEPT;
/** The zoom of the sheet's view in percent; 0 when there is no view and on failure. */
PLOVER_API int ws_zoom(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the zoom of the sheet's view in percent, 10 to 400; other values are ignored. */
PLOVER_API void ws_set_zoom(plover_worksheet_t* ws, int zoom) PLOVER_NOEXCEPT;
/** Whether the sheet is shown right to left; 0 on failure. */
PLOVER_API int ws_right_to_left(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Shows the sheet right to left, or left to right when on is 0. */
PLOVER_API void ws_set_right_to_left(plover_worksheet_t* ws, int on) PLOVER_NOEXCEPT;
/** Writes the cell at the top left of the sheet's view (each pointer may be NULL). */
PLOVER_API void ws_topleft_cell(plover_worksheet_t* ws, int* row, int* col) PLOVER_NOEXCEPT;
/** Sets the cell at the top left of the sheet's view. */
PLOVER_API void ws_set_topleft_cell(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** Writes the active cell (each pointer may be NULL). */
PLOVER_API void ws_active_cell(plover_worksheet_t* ws, int* row, int* col) PLOVER_NOEXCEPT;
/** Makes the cell the active cell. */
PLOVER_API void ws_set_active_cell(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** Writes the split cell of the sheet's view (each pointer may be NULL). */
PLOVER_API void ws_split_cell(plover_worksheet_t* ws, int* row, int* col) PLOVER_NOEXCEPT;
/** Sets the split cell of the sheet's view. */
PLOVER_API void ws_set_split_cell(plover_worksheet_t* ws, int row, int col) PLOVER_NOEXCEPT;
/** Whether gridlines are shown; 0 on failure. */
PLOVER_API int ws_display_gridlines(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Shows gridlines, or hides them when on is 0. */
PLOVER_API void ws_set_display_gridlines(plover_worksheet_t* ws, int on) PLOVER_NOEXCEPT;
/** The number of manual row page breaks; -1 on failure. */
PLOVER_API int ws_row_break_count(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The row of the row page break at index (from 0, ascending); -1 on failure. */
PLOVER_API int ws_row_break(plover_worksheet_t* ws, int index) PLOVER_NOEXCEPT;
/** Adds a manual page break at the row, or removes it when on is 0; 1, or 0 on failure. */
PLOVER_API int ws_set_row_break(plover_worksheet_t* ws, int row, int on) PLOVER_NOEXCEPT;
/** The number of manual column page breaks; -1 on failure. */
PLOVER_API int ws_col_break_count(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** The column of the column page break at index (from 0, ascending); -1 on failure. */
PLOVER_API int ws_col_break(plover_worksheet_t* ws, int index) PLOVER_NOEXCEPT;
/** Adds a manual page break at the column, or removes it when on is 0; 1, or 0 on failure. */
PLOVER_API int ws_set_col_break(plover_worksheet_t* ws, int col, int on) PLOVER_NOEXCEPT;
/** Whether gridlines are printed; 0 on failure. */
PLOVER_API int ws_print_gridlines(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Prints gridlines, or not when on is 0. */
PLOVER_API void ws_set_print_gridlines(plover_worksheet_t* ws, int on) PLOVER_NOEXCEPT;
/** Whether row and column headings are printed; 0 on failure. */
PLOVER_API int ws_print_headings(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Prints row and column headings, or not when on is 0. */
PLOVER_API void ws_set_print_headings(plover_worksheet_t* ws, int on) PLOVER_NOEXCEPT;
/** Whether the printout is centred horizontally on the page; 0 on failure. */
PLOVER_API int ws_h_centered_printing(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Centres the printout horizontally on the page, or not when on is 0. */
PLOVER_API void ws_set_h_centered_printing(plover_worksheet_t* ws, int on) PLOVER_NOEXCEPT;
/** Whether the printout is centred vertically on the page; 0 on failure. */
PLOVER_API int ws_v_centered_printing(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Centres the printout vertically on the page, or not when on is 0. */
PLOVER_API void ws_set_v_centered_printing(plover_worksheet_t* ws, int on) PLOVER_NOEXCEPT;
/** The left page margin in inches; 0.0 on failure. */
PLOVER_API double ws_left_margin(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the left page margin in inches; a negative value is stored as 0. */
PLOVER_API void ws_set_left_margin(plover_worksheet_t* ws, double inches) PLOVER_NOEXCEPT;
/** The right page margin in inches; 0.0 on failure. */
PLOVER_API double ws_right_margin(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the right page margin in inches; a negative value is stored as 0. */
PLOVER_API void ws_set_right_margin(plover_worksheet_t* ws, double inches) PLOVER_NOEXCEPT;
/** The top page margin in inches; 0.0 on failure. */
PLOVER_API double ws_top_margin(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the top page margin in inches; a negative value is stored as 0. */
PLOVER_API void ws_set_top_margin(plover_worksheet_t* ws, double inches) PLOVER_NOEXCEPT;
/** The bottom page margin in inches; 0.0 on failure. */
PLOVER_API double ws_bottom_margin(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the bottom page margin in inches; a negative value is stored as 0. */
PLOVER_API void ws_set_bottom_margin(plover_worksheet_t* ws, double inches) PLOVER_NOEXCEPT;
/** The header margin in inches; 0.0 on failure. */
PLOVER_API double ws_header_margin(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the header margin in inches; a negative value is stored as 0. */
PLOVER_API void ws_set_header_margin(plover_worksheet_t* ws, double inches) PLOVER_NOEXCEPT;
/** The footer margin in inches; 0.0 on failure. */
PLOVER_API double ws_footer_margin(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the footer margin in inches; a negative value is stored as 0. */
PLOVER_API void ws_set_footer_margin(plover_worksheet_t* ws, double inches) PLOVER_NOEXCEPT;
/** The paper id (PaperEnum); 0 on failure. */
PLOVER_API int ws_paper(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the paper (PaperEnum, 1 to 118); 1, or 0 on failure. */
PLOVER_API int ws_set_paper(plover_worksheet_t* ws, int id) PLOVER_NOEXCEPT;
/** The print scale in percent; 0 on failure. */
PLOVER_API int ws_print_scale(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the print scale in percent, 10 to 400; other values are ignored. */
PLOVER_API void ws_set_print_scale(plover_worksheet_t* ws, int scale) PLOVER_NOEXCEPT;
/** The page orientation (PageOrientEnum); -1 on failure. */
PLOVER_API int ws_page_orientation(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the page orientation (PageOrientEnum); any other value is refused. */
PLOVER_API void ws_set_page_orientation(plover_worksheet_t* ws, int orientation) PLOVER_NOEXCEPT;
/** How cell errors are printed (PrintErrorEnum); -1 on failure. */
PLOVER_API int ws_print_errors(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets how cell errors are printed (PrintErrorEnum); any other value is refused. */
PLOVER_API void ws_set_print_errors(plover_worksheet_t* ws, int way) PLOVER_NOEXCEPT;
/** The number of pages the printout is fitted to in height; 0 on failure. */
PLOVER_API int ws_fit_page_height(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Fits the printout to that many pages in height; a value below 1 is ignored. */
PLOVER_API void ws_set_fit_page_height(plover_worksheet_t* ws, int pages) PLOVER_NOEXCEPT;
/** The number of pages the printout is fitted to in width; 0 on failure. */
PLOVER_API int ws_fit_page_width(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Fits the printout to that many pages in width; a value below 1 is ignored. */
PLOVER_API void ws_set_fit_page_width(plover_worksheet_t* ws, int pages) PLOVER_NOEXCEPT;
/** The page header text; NULL when empty and on failure. */
PLOVER_API const char* ws_page_header(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the page header text (NULL: empty). */
PLOVER_API void ws_set_page_header(plover_worksheet_t* ws, const char* text) PLOVER_NOEXCEPT;
/** The page footer text; NULL when empty and on failure. */
PLOVER_API const char* ws_page_footer(plover_worksheet_t* ws) PLOVER_NOEXCEPT;
/** Sets the page footer text (NULL: empty). */
PLOVER_API void ws_set_page_footer(plover_worksheet_t* ws, const char* text) PLOVER_NOEXCEPT;

/* ---- style_ family (53) --------------------------------------------------- */
/** Gives the style the number format code (a built-in one, else registered as custom); its id, or -1 on failure (a code that does not parse, leaves a bracket or quote open or has more than four sections). */
PLOVER_API int style_set_numfmt(plover_style_t* style, const char* code) PLOVER_NOEXCEPT;
/** The code of the style's number format; NULL when it has none and on failure. */
PLOVER_API const char* style_numfmt_code(plover_style_t* style) PLOVER_NOEXCEPT;
/** The id of the style's number format; -1 on failure. */
PLOVER_API int style_numfmt_id(plover_style_t* style) PLOVER_NOEXCEPT;
/** Gives the style the built-in or registered number format with that id; 1, or 0 on failure (no such id). */
PLOVER_API int style_set_numfmt_id(plover_style_t* style, int id) PLOVER_NOEXCEPT;
/** Sets the font name and, unless size is 0, the font size in points. */
PLOVER_API void style_set_font(plover_style_t* style, const char* name, int size) PLOVER_NOEXCEPT;
/** The font name, valid until the font changes; NULL on failure. */
PLOVER_API const char* style_font_name(plover_style_t* style) PLOVER_NOEXCEPT;
/** The font size in points, truncated; -1 on failure. */
PLOVER_API int style_font_size(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the font size in points. */
PLOVER_API void style_set_font_size(plover_style_t* style, int size) PLOVER_NOEXCEPT;
/** Whether the font is italic; 0 on failure. */
PLOVER_API int style_italic(plover_style_t* style) PLOVER_NOEXCEPT;
/** Makes the font italic, or not when on is 0. */
PLOVER_API void style_set_italic(plover_style_t* style, int on) PLOVER_NOEXCEPT;
/** Whether the font is struck out; 0 on failure. */
PLOVER_API int style_strikeout(plover_style_t* style) PLOVER_NOEXCEPT;
/** Strikes the font out, or not when on is 0. */
PLOVER_API void style_set_strikeout(plover_style_t* style, int on) PLOVER_NOEXCEPT;
/** The font colour, 0xAARRGGBB; 0 on failure. */
PLOVER_API unsigned int style_font_color(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the font colour, 0xAARRGGBB. */
PLOVER_API void style_set_font_color(plover_style_t* style, unsigned int argb) PLOVER_NOEXCEPT;
/** Whether the font is bold; 0 on failure. */
PLOVER_API int style_bold(plover_style_t* style) PLOVER_NOEXCEPT;
/** Makes the font bold, or not when on is 0. */
PLOVER_API void style_set_bold(plover_style_t* style, int on) PLOVER_NOEXCEPT;
/** The font's vertical position (VertAlignRunEnum); 0 on failure. */
PLOVER_API int style_font_vert_align(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the font's vertical position (VertAlignRunEnum); any other value is refused. */
PLOVER_API void style_set_font_vert_align(plover_style_t* style, int align) PLOVER_NOEXCEPT;
/** The font's underline (UnderlineEnum); 0 on failure. */
PLOVER_API int style_underlined(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the font's underline (UnderlineEnum); any other value is refused. */
PLOVER_API void style_set_underline(plover_style_t* style, int underline) PLOVER_NOEXCEPT;
/** The line style (BorderStyleEnum) of the edge index (BorderIndexEnum; 8 and 9 read 0); 0 on failure. */
PLOVER_API int style_border(plover_style_t* style, int index) PLOVER_NOEXCEPT;
/** Sets the line style (BorderStyleEnum) of the edges that index (BorderIndexEnum) selects; 1, or 0 on failure. */
PLOVER_API int style_set_border(plover_style_t* style, int index, int line_style) PLOVER_NOEXCEPT;
/** The colour, 0xAARRGGBB, of the edge index (BorderIndexEnum; 8 and 9 read 0); 0 on failure. */
PLOVER_API unsigned int style_border_color(plover_style_t* style, int index) PLOVER_NOEXCEPT;
/** Sets the colour, 0xAARRGGBB, of the edges that index (BorderIndexEnum) selects; 1, or 0 on failure. */
PLOVER_API int style_set_border_color(plover_style_t* style, int index, unsigned int argb) PLOVER_NOEXCEPT;
/** The fill pattern (PatternTypeEnum); 0 on failure. */
PLOVER_API int style_fill_pattern(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the fill pattern (PatternTypeEnum); any other value is refused. */
PLOVER_API void style_set_fill_pattern(plover_style_t* style, int pattern) PLOVER_NOEXCEPT;
/** The fill's foreground colour, 0xAARRGGBB; 0 on failure. */
PLOVER_API unsigned int style_pattern_fg_color(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the fill's foreground colour, 0xAARRGGBB. */
PLOVER_API void style_set_pattern_fg_color(plover_style_t* style, unsigned int argb) PLOVER_NOEXCEPT;
/** The fill's background colour, 0xAARRGGBB; 0 on failure. */
PLOVER_API unsigned int style_pattern_bg_color(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the fill's background colour, 0xAARRGGBB. */
PLOVER_API void style_set_pattern_bg_color(plover_style_t* style, unsigned int argb) PLOVER_NOEXCEPT;
/** The horizontal alignment (HAlignEnum); 0 on failure. */
PLOVER_API int style_align_h(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the horizontal alignment (HAlignEnum); any other value is refused. */
PLOVER_API void style_set_align_h(plover_style_t* style, int align) PLOVER_NOEXCEPT;
/** The vertical alignment (VAlignEnum); 0 on failure. */
PLOVER_API int style_align_v(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the vertical alignment (VAlignEnum); any other value is refused. */
PLOVER_API void style_set_align_v(plover_style_t* style, int align) PLOVER_NOEXCEPT;
/** Whether text wraps in the cell; 0 on failure. */
PLOVER_API int style_wrap(plover_style_t* style) PLOVER_NOEXCEPT;
/** Wraps text in the cell, or not when on is 0. */
PLOVER_API void style_set_wrap(plover_style_t* style, int on) PLOVER_NOEXCEPT;
/** The text rotation in degrees, -90 to 90; -1 on failure. */
PLOVER_API int style_rotation(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the text rotation in degrees, clamped to -90 to 90. */
PLOVER_API void style_set_rotation(plover_style_t* style, int degrees) PLOVER_NOEXCEPT;
/** The indent; -1 on failure. */
PLOVER_API int style_indent(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets the indent, 0 to 250; a negative value is ignored, one above 250 refused. */
PLOVER_API void style_set_indent(plover_style_t* style, int indent) PLOVER_NOEXCEPT;
/** Whether text shrinks to fit the cell; 0 on failure. */
PLOVER_API int style_shrink_to_fit(plover_style_t* style) PLOVER_NOEXCEPT;
/** Shrinks text to fit the cell, or not when on is 0. */
PLOVER_API void style_set_shrink_to_fit(plover_style_t* style, int on) PLOVER_NOEXCEPT;
/** Whether the style's protection locks the cell; 0 on failure. */
PLOVER_API int style_cell_locked(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets whether the style's protection locks the cell; its hidden flag stays. */
PLOVER_API void style_set_cell_locked(plover_style_t* style, int on) PLOVER_NOEXCEPT;
/** Whether the style's protection hides the cell; 0 on failure. */
PLOVER_API int style_cell_hidden(plover_style_t* style) PLOVER_NOEXCEPT;
/** Sets whether the style's protection hides the cell; its locked flag stays. */
PLOVER_API void style_set_cell_hidden(plover_style_t* style, int on) PLOVER_NOEXCEPT;
/** Drops the number format from the style (id 0, "General"). */
PLOVER_API void style_unapply_numfmt(plover_style_t* style) PLOVER_NOEXCEPT;
/** Drops the font from the style. */
PLOVER_API void style_unapply_font(plover_style_t* style) PLOVER_NOEXCEPT;
/** Drops the fill from the style. */
PLOVER_API void style_unapply_fill(plover_style_t* style) PLOVER_NOEXCEPT;
/** Drops the borders from the style. */
PLOVER_API void style_unapply_border(plover_style_t* style) PLOVER_NOEXCEPT;
/** Drops the alignment from the style. */
PLOVER_API void style_unapply_alignment(plover_style_t* style) PLOVER_NOEXCEPT;
/** Drops the protection from the style (back to locked and not hidden). */
PLOVER_API void style_unapply_protection(plover_style_t* style) PLOVER_NOEXCEPT;
/** Frees a handle that the workbook gave out; the sheet's shared handle is only emptied. */
PLOVER_API void style_release(plover_style_t* style) PLOVER_NOEXCEPT;

/* ---- td_ family (20) ------------------------------------------------------ */
/** The table's name; NULL on failure (e.g. the table was deleted). */
PLOVER_API const char* td_name(plover_tabledef_t* td) PLOVER_NOEXCEPT;
/** Writes the table's corners (each pointer may be NULL). */
PLOVER_API void td_range(plover_tabledef_t* td, int* first_row, int* first_col, int* last_row, int* last_col) PLOVER_NOEXCEPT;
/** The table's display name (empty when unset); NULL on failure. */
PLOVER_API const char* td_display_name(plover_tabledef_t* td) PLOVER_NOEXCEPT;
/** Sets the display name, each blank becoming an underscore; an empty name is ignored. */
PLOVER_API void td_set_display_name(plover_tabledef_t* td, const char* name) PLOVER_NOEXCEPT;
/** The table's comment; NULL when empty and on failure. */
PLOVER_API const char* td_comment(plover_tabledef_t* td) PLOVER_NOEXCEPT;
/** Sets the table's comment; an empty text changes nothing. */
PLOVER_API void td_set_comment(plover_tabledef_t* td, const char* text) PLOVER_NOEXCEPT;
/** The name of the column at index (from 0); NULL on failure. */
PLOVER_API const char* td_col_name(plover_tabledef_t* td, int index) PLOVER_NOEXCEPT;
/** Renames the column at index (from 0); 1, or 0 on failure (e.g. another column has the name, in any case). */
PLOVER_API int td_set_col_name(plover_tabledef_t* td, int index, const char* name) PLOVER_NOEXCEPT;
/** Inserts a column named name at index (from 0); 1, or 0 on failure (e.g. a column has the name, in any case). */
PLOVER_API int td_insert_col(plover_tabledef_t* td, int index, const char* name) PLOVER_NOEXCEPT;
/** Deletes the column at index (from 0); deleting the last one deletes the table and this handle. */
PLOVER_API void td_delete_col_by_index(plover_tabledef_t* td, int index) PLOVER_NOEXCEPT;
/** Deletes the column of that name. */
PLOVER_API void td_delete_col(plover_tabledef_t* td, const char* name) PLOVER_NOEXCEPT;
/** Sets the totals-row label of the first column. */
PLOVER_API void td_set_totals_row_label(plover_tabledef_t* td, const char* label) PLOVER_NOEXCEPT;
/** Shows the totals row, or hides it when on is 0. */
PLOVER_API void td_set_display_total(plover_tabledef_t* td, int on) PLOVER_NOEXCEPT;
/** The totals-row function (TotalsFuncEnum) of column col (from 0); 0 on failure. */
PLOVER_API int td_totals_row_func(plover_tabledef_t* td, int col) PLOVER_NOEXCEPT;
/** Sets the totals-row function (TotalsFuncEnum) of column col (from 0) and shows the totals row. */
PLOVER_API void td_set_totals_row_func(plover_tabledef_t* td, int col, int func) PLOVER_NOEXCEPT;
/** The name of the table's style, an empty text for a table without one (as read from a file); NULL on failure. */
PLOVER_API const char* td_style_name(plover_tabledef_t* td) PLOVER_NOEXCEPT;
/** Sets the table's style by name; a name that is not a built-in table style is ignored. */
PLOVER_API void td_set_style_name(plover_tabledef_t* td, const char* name) PLOVER_NOEXCEPT;
/** Sets the table's style by number (TableStyleEnum, 0 to 59). */
PLOVER_API void td_set_preset_style(plover_tabledef_t* td, int number) PLOVER_NOEXCEPT;
/** Whether rows are shown in stripes; 0 on failure. */
PLOVER_API int td_row_strips(plover_tabledef_t* td) PLOVER_NOEXCEPT;
/** Shows rows in stripes, or not when on is 0. */
PLOVER_API void td_set_row_strips(plover_tabledef_t* td, int on) PLOVER_NOEXCEPT;

/* ---- rt_ family (8) ------------------------------------------------------ */
/** The number of segments; -1 on failure. */
PLOVER_API int rt_segments_num(plover_richtext_t* rt) PLOVER_NOEXCEPT;
/** All segments' texts joined, valid until the next call or change; NULL when empty and on failure. */
PLOVER_API const char* rt_plain_text(plover_richtext_t* rt) PLOVER_NOEXCEPT;
/** The text of the segment at index (from 0); style (may be NULL) gets a new workbook-owned style of its font name and size; NULL on failure. */
PLOVER_API const char* rt_text(plover_richtext_t* rt, int index, plover_style_t** style) PLOVER_NOEXCEPT;
/** Adds a segment of text in the font of style (NULL: no font) at the end; a NULL or empty text does nothing. */
PLOVER_API void rt_append(plover_richtext_t* rt, const char* text, plover_style_t* style) PLOVER_NOEXCEPT;
/** Adds a segment before the one at index (from 0), at the end past the last; otherwise as rt_append. */
PLOVER_API void rt_insert(plover_richtext_t* rt, int index, const char* text, plover_style_t* style) PLOVER_NOEXCEPT;
/** Removes the segment at index (from 0). */
PLOVER_API void rt_remove(plover_richtext_t* rt, int index) PLOVER_NOEXCEPT;
/** Replaces the segment at index (from 0) with one made as rt_append makes it. */
PLOVER_API void rt_modify(plover_richtext_t* rt, int index, const char* text, plover_style_t* style) PLOVER_NOEXCEPT;
/** Frees a rich text that wb_make_richtext made; one from ws_get_richtext is only emptied. */
PLOVER_API void rt_release(plover_richtext_t* rt) PLOVER_NOEXCEPT;
/* ---- end generated family exports ---- */

/* ---- Status ------------------------------------------------------------- */

/** The last message stored by any thread of the process.
 *  @return UTF-8, owned by the library; valid until this thread calls run_msg() again. */
PLOVER_API const char* run_msg(void) PLOVER_NOEXCEPT;

/** The library's version text, "0.1.0"; valid for the life of the process. */
PLOVER_API const char* lib_version(void) PLOVER_NOEXCEPT;
/** The same as lib_version(). */
PLOVER_API const char* get_version(void) PLOVER_NOEXCEPT;

/* ---- A1 references ------------------------------------------------------ */

/** Converts an A1 reference such as "B12" or "xfd1048576" to row and column.
 *  @param ref UTF-8 or NULL (NULL gives row 0 and column 0 and succeeds)
 *  @param row, col receive 1..1048576 and 1..16384; each may be NULL
 *  @return 1, or 0. A malformed text leaves "Wrong cell reference: <ref>" or
 *          "Wrong row identifier: <ref>" in run_msg(), a row number past any
 *          integer "stoi argument out of range"; a reference outside the
 *          sheet ("A0", "XFE1") returns 0 and leaves run_msg() alone.
 *  Example: examples/example.c */
PLOVER_API int a1_to_row_col(const char* ref, int* row, int* col) PLOVER_NOEXCEPT;

/** As a1_to_row_col() for a UTF-16 text; invalid UTF-16 fails with
 *  "Failed to convert from wide string". */
PLOVER_API int wide_a1_to_row_col(const plover_char16* ref, int* row, int* col) PLOVER_NOEXCEPT;

/** Writes the A1 text of a cell, with its NUL, into buffer (room for 11 bytes),
 *  or only measures it when buffer is NULL.
 *  @return the length without the NUL; 0 for a cell outside the sheet. */
PLOVER_API int row_col_to_a1(int row, int col, char* buffer) PLOVER_NOEXCEPT;

/* ---- Text conversions --------------------------------------------------- */

/** Converts UTF-8 to the code set of the process locale (characters it cannot hold
 *  become '?'), with a NUL, into buffer, or only measures when buffer is NULL.
 *  @return the byte count without the NUL; 0xFFFFFFFF for a NULL text or malformed
 *          UTF-8 ("Failed to convert from ANSI string"). */
PLOVER_API unsigned int to_ansi_string(const char* text, char* buffer) PLOVER_NOEXCEPT;

/** Converts UTF-8 to UTF-16, with a 16-bit NUL, into buffer, or only measures.
 *  @return the count of 16-bit units without the NUL; 0xFFFFFFFF on failure. */
PLOVER_API unsigned int to_wide_string(const char* text, plover_char16* buffer) PLOVER_NOEXCEPT;

/* ---- Serial dates and times --------------------------------------------- */
/* A serial is a double: the integer part counts days, the fraction is the time
 * of day (0.5 is 12:00). In the 1900 system day 1 is 1900-01-01 and day 60 the
 * fictitious 1900-02-29; earlier dates run on downward (1899-12-31 is 0, as is
 * "1900-01-00"). In the 1904 system day 0 is 1904-01-01. The calendar is the
 * proleptic Gregorian one, years -32767..32767, without time zones. These
 * functions keep no state and may be called from any thread. */

/** The serial of a date in the 1900 system, e.g. 45292 for 2024-01-01.
 *  @param year -32767..32767 @param month 1..12 @param day 1..the month's last
 *         (1900-01-00 and 1900-02-29 are accepted as well)
 *  @return the day number, or 0.0 for an invalid date.  Example: examples/example.c */
PLOVER_API double encode_date(int year, unsigned int month, unsigned int day) PLOVER_NOEXCEPT;
/** As encode_date() in the 1904 system (0.0 is 1904-01-01; no fictitious day). */
PLOVER_API double encode_date1904(int year, unsigned int month, unsigned int day) PLOVER_NOEXCEPT;

/** The serial of a date and time in the 1900 system, e.g. 45292.5 for 2024-01-01 12:00.
 *  @param hour 0..23 @param minute, second 0..59
 *  @param millisecond any value: it carries into the seconds and across midnight
 *         into the date (-1 at 00:00:00 is the last millisecond of the day before)
 *  @return the serial, or 2.2250738585072014e-308 (DBL_MIN) for an invalid date or
 *          time; 1900-01-00 is invalid here. */
PLOVER_API double encode_datetime(int year, unsigned int month, unsigned int day, unsigned int hour,
                                  unsigned int minute, unsigned int second, int millisecond) PLOVER_NOEXCEPT;
/** As encode_datetime() in the 1904 system. */
PLOVER_API double encode_datetime1904(int year, unsigned int month, unsigned int day, unsigned int hour,
                                      unsigned int minute, unsigned int second, int millisecond) PLOVER_NOEXCEPT;

/** A time of day as a fraction of 24 hours: 0.5 for 12:00:00.000. Nothing wraps
 *  at midnight: 23:59:59 with 1000 ms gives 1.0, 00:00:00 with -1 ms a small
 *  negative number.
 *  @return the fraction, or DBL_MIN for an hour above 23 or a minute or second above 59. */
PLOVER_API double encode_time(unsigned int hour, unsigned int minute, unsigned int second, int millisecond) PLOVER_NOEXCEPT;

/** Splits a serial of the 1900 system into its date; each pointer may be NULL.
 *  0 gives 1900-01-00 and 60 gives 1900-02-29. The serial is rounded to the
 *  nearest millisecond: one within half a millisecond of midnight is the next
 *  day. NaN, infinities and serials outside years -32767..32767 give 0, 0, 0. */
PLOVER_API void decode_date(double serial, int* year, int* month, int* day) PLOVER_NOEXCEPT;
/** As decode_date() in the 1904 system. */
PLOVER_API void decode_date1904(double serial, int* year, int* month, int* day) PLOVER_NOEXCEPT;

/** Splits a serial of the 1900 system into date and time; each pointer may be NULL.
 *  The time is that of decode_time(); a serial whose date decode_date() refuses
 *  gives zeros for all seven parts. */
PLOVER_API void decode_datetime(double serial, int* year, int* month, int* day, int* hour, int* minute,
                                int* second, int* millisecond) PLOVER_NOEXCEPT;
/** As decode_datetime() in the 1904 system. */
PLOVER_API void decode_datetime1904(double serial, int* year, int* month, int* day, int* hour, int* minute,
                                    int* second, int* millisecond) PLOVER_NOEXCEPT;

/** The time of day of a serial, the same in both systems; each pointer may be NULL.
 *  The serial is rounded to the nearest millisecond; a negative serial counts
 *  from the day below it (-0.25 is 18:00). NaN, infinities
 *  and serials beyond 2^24 days give zeros. */
PLOVER_API void decode_time(double serial, int* hour, int* minute, int* second, int* millisecond) PLOVER_NOEXCEPT;

/* ---- Colours: 0xAARRGGBB ------------------------------------------------ */

/** r << 16 | g << 8 | b. Components are not masked. */
PLOVER_API unsigned int encode_rgb(int red, int green, int blue) PLOVER_NOEXCEPT;
/** alpha << 24 | r << 16 | g << 8 | b (alpha is the last argument). */
PLOVER_API unsigned int encode_argb(int red, int green, int blue, int alpha) PLOVER_NOEXCEPT;
/** Splits a colour; each pointer may be NULL. */
PLOVER_API void decode_rgb(unsigned int color, int* red, int* green, int* blue) PLOVER_NOEXCEPT;
PLOVER_API void decode_argb(unsigned int color, int* red, int* green, int* blue, int* alpha) PLOVER_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* PLOVER_H */
