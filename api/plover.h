/* plover: create, open, edit, recalculate and save SpreadsheetML workbooks (.xlsx).
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

#ifdef __cplusplus
#include <cstddef>
typedef char16_t plover_char16;
extern "C" {
#else
#include <uchar.h>
typedef char16_t plover_char16;
#endif

/* ---- Status ------------------------------------------------------------- */

/** The last message stored by any thread of the process.
 *  @return UTF-8, owned by the library; valid until this thread calls run_msg() again. */
PLOVER_API const char* run_msg(void);

/** The library's version text, "0.1.0"; valid for the life of the process. */
PLOVER_API const char* lib_version(void);
/** The same as lib_version(). */
PLOVER_API const char* get_version(void);

/* ---- A1 references ------------------------------------------------------ */

/** Converts an A1 reference such as "B12" or "xfd1048576" to row and column.
 *  @param ref UTF-8 or NULL (NULL gives row 0 and column 0 and succeeds)
 *  @param row, col receive 1..1048576 and 1..16384; each may be NULL
 *  @return 1, or 0. A malformed text leaves "Wrong cell reference: <ref>" or
 *          "Wrong row identifier: <ref>" in run_msg(); a reference outside the
 *          sheet ("A0", "XFE1") returns 0 and leaves run_msg() alone.
 *  Example: examples/example.c */
PLOVER_API int a1_to_row_col(const char* ref, int* row, int* col);

/** As a1_to_row_col() for a UTF-16 text; invalid UTF-16 fails with
 *  "Failed to convert from wide string". */
PLOVER_API int wide_a1_to_row_col(const plover_char16* ref, int* row, int* col);

/** Writes the A1 text of a cell, with its NUL, into buffer (room for 11 bytes),
 *  or only measures it when buffer is NULL.
 *  @return the length without the NUL; 0 for a cell outside the sheet. */
PLOVER_API int row_col_to_a1(int row, int col, char* buffer);

/* ---- Text conversions --------------------------------------------------- */

/** Converts UTF-8 to the code set of the process locale (characters it cannot hold
 *  become '?'), with a NUL, into buffer, or only measures when buffer is NULL.
 *  @return the byte count without the NUL; 0xFFFFFFFF for a NULL text or malformed
 *          UTF-8 ("Failed to convert from ANSI string"). */
PLOVER_API unsigned int to_ansi_string(const char* text, char* buffer);

/** Converts UTF-8 to UTF-16, with a 16-bit NUL, into buffer, or only measures.
 *  @return the count of 16-bit units without the NUL; 0xFFFFFFFF on failure. */
PLOVER_API unsigned int to_wide_string(const char* text, plover_char16* buffer);

/* ---- Colours: 0xAARRGGBB ------------------------------------------------ */

/** r << 16 | g << 8 | b. Components are not masked. */
PLOVER_API unsigned int encode_rgb(int red, int green, int blue);
/** alpha << 24 | r << 16 | g << 8 | b (alpha is the last argument). */
PLOVER_API unsigned int encode_argb(int red, int green, int blue, int alpha);
/** Splits a colour; each pointer may be NULL. */
PLOVER_API void decode_rgb(unsigned int color, int* red, int* green, int* blue);
PLOVER_API void decode_argb(unsigned int color, int* red, int* green, int* blue, int* alpha);

#ifdef __cplusplus
}
#endif

#endif /* PLOVER_H */
