// Numeric field writers: render one value at the current position of the line being
// assembled, in fixed columns or in free format, after putting it into this machine's byte
// order when the file's order is the reverse one.
#pragma once

#include <cstdint>

namespace asciify {

// Each writer takes the value with its bytes as they stood in the record, the field's width
// (0-31), the free-format flag of the line (0 fixed columns, otherwise free format), the line
// and the position where the text goes, which it advances past the field.
// Returns 1 when the value did not fit its field and was written as '*' characters, else 0.
int32_t format_int32_field(int32_t value, int32_t width, int32_t free_format, char* line,
                           int32_t* line_position, int32_t swap_needed);
int32_t format_int64_field(int64_t value, int32_t width, int32_t free_format, char* line,
                           int32_t* line_position, int32_t swap_needed);
int32_t format_float_field(float value, int32_t width, int32_t free_format, char* line,
                           int32_t* line_position, int32_t swap_needed);
int32_t format_double_field(double value, int32_t width, int32_t free_format, char* line,
                            int32_t* line_position, int32_t swap_needed);

}  // namespace asciify
