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
PLOVER_API double encode_date(int year, unsigned int month, unsigned int day);
/** As encode_date() in the 1904 system (0.0 is 1904-01-01; no fictitious day). */
PLOVER_API double encode_date1904(int year, unsigned int month, unsigned int day);

/** The serial of a date and time in the 1900 system, e.g. 45292.5 for 2024-01-01 12:00.
 *  @param hour 0..23 @param minute, second 0..59
 *  @param millisecond any value: it carries into the seconds and across midnight
 *         into the date (-1 at 00:00:00 is the last millisecond of the day before)
 *  @return the serial, or 2.2250738585072014e-308 (DBL_MIN) for an invalid date or
 *          time; 1900-01-00 is invalid here. */
PLOVER_API double encode_datetime(int year, unsigned int month, unsigned int day, unsigned int hour,
                                  unsigned int minute, unsigned int second, int millisecond);
/** As encode_datetime() in the 1904 system. */
PLOVER_API double encode_datetime1904(int year, unsigned int month, unsigned int day, unsigned int hour,
                                      unsigned int minute, unsigned int second, int millisecond);

/** A time of day as a fraction of 24 hours: 0.5 for 12:00:00.000. Nothing wraps
 *  at midnight: 23:59:59 with 1000 ms gives 1.0, 00:00:00 with -1 ms a small
 *  negative number.
 *  @return the fraction, or DBL_MIN for an hour above 23 or a minute or second above 59. */
PLOVER_API double encode_time(unsigned int hour, unsigned int minute, unsigned int second, int millisecond);

/** Splits a serial of the 1900 system into its date; each pointer may be NULL.
 *  0 gives 1900-01-00 and 60 gives 1900-02-29. The serial is rounded to the
 *  nearest millisecond: one within half a millisecond of midnight is the next
 *  day. NaN, infinities and serials outside years -32767..32767 give 0, 0, 0. */
PLOVER_API void decode_date(double serial, int* year, int* month, int* day);
/** As decode_date() in the 1904 system. */
PLOVER_API void decode_date1904(double serial, int* year, int* month, int* day);

/** Splits a serial of the 1900 system into date and time; each pointer may be NULL.
 *  The time is that of decode_time(); a serial whose date decode_date() refuses
 *  gives zeros for all seven parts. */
PLOVER_API void decode_datetime(double serial, int* year, int* month, int* day, int* hour, int* minute,
                                int* second, int* millisecond);
/** As decode_datetime() in the 1904 system. */
PLOVER_API void decode_datetime1904(double serial, int* year, int* month, int* day, int* hour, int* minute,
                                    int* second, int* millisecond);

/** The time of day of a serial, the same in both systems; each pointer may be NULL.
 *  The serial is rounded to the nearest millisecond; a negative serial counts
 *  from the day below it (-0.25 is 18:00). NaN, infinities
 *  and serials beyond 2^24 days give zeros. */
PLOVER_API void decode_time(double serial, int* hour, int* minute, int* second, int* millisecond);

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
