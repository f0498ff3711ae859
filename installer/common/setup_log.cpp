// The run's log file: opened once from the command line, appended to line by line.
#include "common/setup_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "common/file_removal.h"
#include "common/paths.h"
#include "common/protected_folders.h"

static HANDLE logFile = INVALID_HANDLE_VALUE;

// Whether the opened file is one the log may fill: a plain file on a disk, not a device, a
// folder or a link (the handle was opened without following one).
static int isPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileType(file) == FILE_TYPE_DISK && !isReparsePointHandle(file) &&
           GetFileInformationByHandle(file, &information) &&
           !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

int SetupLogOpen(const char *path) {
    SetupLogClose();
    // Someone else may have put a link there, or at a folder on the way to it, or named a device:
    // the log would empty and fill whatever it leads to. Such a path is not opened at all; the
    // path is checked first, then the handle opened without following a link and checked, and
    // only then is the file emptied.
    char fullPath[PATH_BUFFER], link[PATH_BUFFER];
    DWORD length = GetFullPathNameA(path, sizeof(fullPath), fullPath, NULL);
    if (path[0] == '\0' || namesDevice(path) || length == 0 || length >= sizeof(fullPath) ||
        findLinkOnPath(fullPath, link, sizeof(link)))
        return 1;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    if (!isPlainFile(file) || SetFilePointer(file, 0, NULL, FILE_BEGIN) != 0 ||
        !SetEndOfFile(file)) {
        CloseHandle(file);
        return 1;
    }
    logFile = file;
    return 0;
}

// Writes one finished line; a failed write is not retried and changes nothing else.
static void writeLine(const char *line) {
    DWORD written;
    WriteFile(logFile, line, (DWORD)strlen(line), &written, NULL);
    WriteFile(logFile, "\r\n", 2, &written, NULL);
}

void SetupLog(const char *format, ...) {
    if (logFile == INVALID_HANDLE_VALUE)
        return;
    char line[SETUP_LOG_LINE];
    va_list arguments;
    va_start(arguments, format);
    int length = _vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    if (length < 0 || length >= (int)sizeof(line))
        line[sizeof(line) - 1] = '\0';
    writeLine(line);
}

void SetupLogError(const char *what, DWORD error) {
    if (logFile == INVALID_HANDLE_VALUE)
        return;
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                                  error, 0, text, sizeof(text), NULL);
    // The system's texts end with a line break, which the log line does not want.
    while (length > 0 &&
           (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        text[--length] = '\0';
    SetupLog("%s: %s (error %lu)", what, length > 0 ? text : "unknown error", (unsigned long)error);
}

void SetupLogClose() {
    if (logFile == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(logFile);
    logFile = INVALID_HANDLE_VALUE;
}
