// Marks what the shared library exports; everything else in it stays hidden.
#pragma once

#if defined(_WIN32) || !defined(__GNUC__)
#define ASCIIFY_API
#else
#define ASCIIFY_API __attribute__((visibility("default")))
#endif
