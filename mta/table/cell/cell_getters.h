#pragma once
// What the public cell getters answer for one cell of a sheet, with the messages
// they leave. A position outside the sheet limits gives the failure value (only
// get_num says why); a cell that does not hold what is asked for leaves its
// message and gives 0, false, null or -1; an exception leaves its text. The
// worktable handle takes its lock around these.

#include "mta/table/cell/richtext.h"

#include <memory>

namespace vex::mta {
class Table;
}

namespace vex::mta::cell_getters {

// The public type: 0 empty, 1 number, 2 text, 3 boolean, 4 date/time, 5 error;
// -1 for a formula without a result.
int cell_type(const Table& table, int row, int col);
// Numbers, date-times as serials, a formula's number.
double get_num(const Table& table, int row, int col);
// Plain text, the plain text of a rich text, a formula's text; NUL-terminated and
// valid until the cell or its result changes.
const char* get_text(const Table& table, int row, int col);
bool get_boolean(const Table& table, int row, int col);
// The serial of a date-time result, or of a number shown as a date, brought to
// the date codec's resolution.
double get_datetime(const Table& table, int row, int col);
// A copy of the cell's rich text.
std::unique_ptr<richtext_t> get_richtext(const Table& table, int row, int col);
// The formula's text, a shared follower's as read at its cell; valid until
// the cell changes.
const char* get_formula_expr(const Table& table, int row, int col);
// The public error code, the error value plus one: 0 for a cell without an error,
// -1 for a formula without an error result.
int get_error(const Table& table, int row, int col);

} // namespace vex::mta::cell_getters
