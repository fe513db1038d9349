#pragma once
// The lock that makes one thread at a time edit a document, whichever of its
// handles the host calls: a call on one sheet may reach another sheet (a row
// shift rewrites every formula), the workbook's names or, for a save, all of it.
//
// Lock order, outermost first; a thread holding one of them takes only later ones:
//  1. The document lock, one per document (iWorkbook_impl owns it), shared by the
//     document, workbook, sheet, worktable, table, style and rich-text handles.
//     Every slot takes it for its whole call; a slot calling another slot of
//     the same document takes it again, which the holding thread may. No thread
//     holds two documents' locks: a handle of another document (a style or rich
//     text handed in) is read under its leaf mutex alone and copied.
//  2. A style or rich-text handle's leaf mutex, held while its value is copied
//     in or out; under it only the locks of 3.
//  3. Process-wide and component locks: the document registry, the cell
//     tracker, the table registry, a workbook's style tables, the counters,
//     a workbook's name store (its names before the readings it keeps).
// Recalculation workers take no document lock and call no slot: the slot that
// starts them holds the lock until they finish.

#include <mutex>

namespace vex {

using document_lock_t = std::recursive_mutex;

} // namespace vex
