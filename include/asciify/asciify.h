/* The asciify reader for C: every line the asciify converter writes, and the numbers of every
 * binary record as values, one item at a time or as runs of one layout in columns.
 *
 *   asciify_reader* reader;
 *   if (asciify_open_file(&reader, "data.dat") < 0) fprintf(stderr, "%s\n",
 *                                                         asciify_error_message(reader));
 *   while (asciify_next(reader) > 0) { const char* text; size_t size; ... }
 *   asciify_close(reader);
 *
 * Every function takes the reader its open function gave, also after a failed open (which gives
 * a reader whose error tells why; only when no memory is left is it NULL). What a function
 * points to stays valid until the next call on that reader. Results below zero are errors, as
 * when a pointer to give a result through is NULL. */
#ifndef ASCIIFY_ASCIIFY_H
#define ASCIIFY_ASCIIFY_H

#include <stddef.h>
#include <stdint.h>

#include "asciify/export.h"
#include "asciify/version.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct asciify_reader asciify_reader;

/* Item kinds, the results of asciify_next. */
#define ASCIIFY_ASCII_LINE 1
#define ASCIIFY_TEXT_RECORD 2
#define ASCIIFY_DATA_RECORD 3

/* Field types. */
#define ASCIIFY_INT32 1
#define ASCIIFY_INT64 2
#define ASCIIFY_REAL32 3
#define ASCIIFY_REAL64 4
#define ASCIIFY_STRING 5

/* Opens a file by its name (compressed input as the command reads it), bytes in memory (which
 * must outlive the reader), or what `read` gives: up to `capacity` bytes into `buffer`, their
 * count, 0 at the end, or 0 with *error set to the system's error number. 0, or < 0 when the
 * input cannot be opened (minus the system's error number where there is one). */
ASCIIFY_API int asciify_open_file(asciify_reader** reader, const char* path);
ASCIIFY_API int asciify_open_memory(asciify_reader** reader, const void* data, size_t size);
ASCIIFY_API int asciify_open_callback(asciify_reader** reader,
                                      size_t (*read)(void* context, void* buffer, size_t capacity,
                                                     int* error),
                                      void* context);

/* The next line: > 0 its kind, 0 at the end of the input, < 0 at the error that ended it. */
ASCIIFY_API int asciify_next(asciify_reader* reader);

/* Of the current line: its text byte for byte, with its '\n'; its 1-based number; where its
 * line or record begins in the (decompressed) input; its record's format code (-1 for an ASCII
 * line). */
ASCIIFY_API int asciify_line(const asciify_reader* reader, const char** text, size_t* size);
ASCIIFY_API int64_t asciify_line_number(const asciify_reader* reader);
ASCIIFY_API int64_t asciify_input_byte(const asciify_reader* reader);
ASCIIFY_API int asciify_format_code(const asciify_reader* reader);

/* The fields of the current data record (0 for another line), in this machine's byte order:
 * a type, whether it is zero-filled (1, or 0), its value as an integer (the integer types), as
 * a real (the real types; a 4-byte real widened) or as characters (a string). */
ASCIIFY_API int asciify_field_count(const asciify_reader* reader);
ASCIIFY_API int asciify_field_type(const asciify_reader* reader, int field);
ASCIIFY_API int asciify_field_is_zero_fill(const asciify_reader* reader, int field);
ASCIIFY_API int asciify_field_int(const asciify_reader* reader, int field, int64_t* value);
ASCIIFY_API int asciify_field_real(const asciify_reader* reader, int field, double* value);
ASCIIFY_API int asciify_field_string(const asciify_reader* reader, int field, const char** text,
                                     size_t* size);
/* The current data record's field format bytes; their count, or < 0 for another line. */
ASCIIFY_API int asciify_layout(const asciify_reader* reader, const uint8_t** bytes);

/* The current data record's values written again by the converter's own field writers: its
 * text, as asciify_line gives it. 0, or < 0. */
ASCIIFY_API int asciify_render_record(asciify_reader* reader, const char** text, size_t* size);

/* The next run of data records of one layout, at most `max_rows` rows, as columns; the lines
 * between runs are passed over. > 0: its rows, 0 at the end, < 0 at the error. */
ASCIIFY_API int64_t asciify_next_batch(asciify_reader* reader, int64_t max_rows);
/* Of the current run: its layout (the count of its field format bytes, or < 0), the line
 * number and input byte of its first row, and the last text line before it (without '\n'). */
ASCIIFY_API int asciify_batch_layout(const asciify_reader* reader, const uint8_t** bytes);
ASCIIFY_API int64_t asciify_batch_line_number(const asciify_reader* reader);
ASCIIFY_API int64_t asciify_batch_input_byte(const asciify_reader* reader);
ASCIIFY_API int asciify_batch_heading(const asciify_reader* reader, const char** text,
                                      size_t* size);
/* A field of the current run: its type; its values, an array of int32_t, int64_t, float or
 * double, one a row (NULL for a string field); a string field's characters, row r from
 * offsets[r] to offsets[r + 1]; and 1 for each row where it is zero-filled. */
ASCIIFY_API int asciify_batch_field_type(const asciify_reader* reader, int field);
ASCIIFY_API const void* asciify_batch_values(const asciify_reader* reader, int field);
ASCIIFY_API int asciify_batch_strings(const asciify_reader* reader, int field, const char** chars,
                                      const uint32_t** offsets);
ASCIIFY_API const uint8_t* asciify_batch_zero_fill(const asciify_reader* reader, int field);

/* The error that ended the reading: the command's message ("" when none), where the failing
 * item begins in the input (-1 when none), and the number of the line being made. When no
 * memory was left for a step, the message is "out of memory", with -1 and 0. */
ASCIIFY_API const char* asciify_error_message(const asciify_reader* reader);
ASCIIFY_API int64_t asciify_error_input_byte(const asciify_reader* reader);
ASCIIFY_API int64_t asciify_error_line(const asciify_reader* reader);

/* Closes the reader; NULL is fine. */
ASCIIFY_API void asciify_close(asciify_reader* reader);

/* The library's version: equals ASCIIFY_VERSION_NUMBER of the header it was built with. */
ASCIIFY_API unsigned asciify_version_number(void);

#ifdef __cplusplus
}
#endif

#endif
