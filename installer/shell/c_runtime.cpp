// The installer's answer to the one C99 formatter its static libraries ask for.
//
// zlib formats its error texts ("path: message") and its copy of the file name with mingw's C99
// vsnprintf, which brings about 20 KB of formatting code (floating point included) into the exe
// for a "%s". Linked into the installer alone (never into a library a test program links), this
// definition is taken before the runtime library's, and formats with the system C library.
#include <stdarg.h>
#include <stdio.h>

extern "C" int __cdecl __mingw_vsnprintf(char *buffer, size_t size, const char *format,
                                         va_list arguments) {
    // The C99 contract: never more than size bytes, always terminated, and the length the
    // whole text needs as the result.
    va_list counting;
    va_copy(counting, arguments);
    int needed = _vscprintf(format, counting);
    va_end(counting);
    if (size == 0)
        return needed;
    int written = _vsnprintf(buffer, size, format, arguments);
    if (written < 0 || (size_t)written >= size)
        buffer[size - 1] = '\0';
    return needed;
}
