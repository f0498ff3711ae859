// The run's log file: opened once from the command line, appended to line by line.
#include "common/setup_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static HANDLE logFile = INVALID_HANDLE_VALUE;

int SetupLogOpen(const char *path) {
    SetupLogClose();
    logFile = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, NULL);
    return logFile == INVALID_HANDLE_VALUE;
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
