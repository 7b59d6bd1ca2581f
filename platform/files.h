// The few calls whose form differs between POSIX systems and Windows: opening a file by a name
// given in UTF-8, writing to and closing a descriptor, telling a terminal, and binary mode for
// the standard streams. Everything else in the program names files in UTF-8, as it received
// them; on Windows the names are turned into UTF-16 here and opened with the wide functions,
// so that any name the system allows can be used.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>

namespace asciify::platform {

inline constexpr int kStandardInput = 0;
inline constexpr int kStandardOutput = 1;
inline constexpr int kStandardError = 2;

// Opens `name` (UTF-8) with open(2)-style `flags` (O_RDONLY, O_WRONLY | O_CREAT | O_TRUNC,
// ...) and `permissions` for a file it creates. Returns the descriptor, or -1 with errno set.
// The descriptor is not inherited by child processes, and on Windows it is in binary mode.
int open_file(const char* name, int flags, int permissions = 0666);

// Opens `name` (UTF-8) as a stream, as std::fopen does with `mode` ("rb", "wb", ...).
std::FILE* open_stream(const char* name, const char* mode);

// Writes up to `count` bytes (at most 1 GiB at a time) to the descriptor. Returns how many
// were written, or -1 with errno set; an interrupted call is repeated.
long long write_some(int descriptor, const char* bytes, size_t count);

// Closes the descriptor. Returns 0, or -1 with errno set.
int close_file(int descriptor);

// True when the descriptor is a terminal: on Windows a console (the device NUL is a character
// device too, but shows nothing).
bool is_terminal(int descriptor);

// Puts the standard input, output and error streams in binary mode: bytes pass unchanged, no
// carriage return is added before a newline and no byte ends the input early. Nothing to do
// on POSIX systems. Call before anything is read or written.
void use_binary_standard_streams();

// A path from a name in UTF-8, and back (a plain string would be taken in the ANSI code page on
// Windows).
std::filesystem::path path_from_utf8(const std::string& name);
std::string utf8_from_path(const std::filesystem::path& path);

#ifdef _WIN32
// Conversions between the UTF-8 of the program and the UTF-16 of the Windows interfaces. An
// invalid sequence becomes U+FFFD.
std::wstring wide_from_utf8(const std::string& text);
std::string utf8_from_wide(const std::wstring& text);

// The body of a program's wmain: standard streams in binary mode, the UTF-16 arguments passed on
// to `run` in UTF-8, and the console's output code page set to UTF-8 for the run, so that
// messages in UTF-8 show as written.
int run_with_utf8_arguments(int argc, wchar_t** argv, int (*run)(int, char**));
#endif

}  // namespace asciify::platform
