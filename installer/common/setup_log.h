// The run's plain-text log (/LOG=<file>): one line per step, for administrators who deploy the
// product with scripts. Every call is harmless while no log is open, so the pages and the copy
// log unconditionally; a log file that cannot be written never stops the installation.
#pragma once

#include <windows.h>

// Opens (creates or empties) the log file. A path that names a device, or is or lies in a
// junction or a link, is never opened. Returns 0 when it is open; 1 when it could not be made or
// was refused, in which case every later call does nothing.
int SetupLogOpen(const char *path);
// Appends one line, formatted as printf does (cut at SETUP_LOG_LINE characters).
void SetupLog(const char *format, ...);
// Appends "<what>: <the system's own text for error> (error N)".
void SetupLogError(const char *what, DWORD error);
void SetupLogClose();

enum { SETUP_LOG_LINE = 1024 };
