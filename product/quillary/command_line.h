// What the product programs' command lines name: the viewer's document, the uninstaller's
// switches. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

// Copies into out (outSize bytes) the document argument of commandLine: what follows the program
// name, without the quotes around it, or the whole rest of the line (blanks included) when it is
// not quoted, since the shell hands an unquoted path over as it stands. The program name may
// itself be unquoted and hold blanks: when the line starts with modulePath (any case), that
// much is skipped. Returns 0 with out holding the argument ("" when there is none); 1, out
// empty, when the argument does not fit.
int commandLineDocument(const char *commandLine, const char *modulePath, char *out, size_t outSize);

enum { SWITCH_PATH_BUFFER = 260 };

// The uninstaller's switches: /S (silent), and the two its copy of itself is started with,
// /copy-of=<process handle>:<result pipe handle> and /original=<path>, which takes the rest of
// the line.
struct UninstallSwitches {
    int silent;
    int isCopy;                            // /copy-of= was given
    unsigned long long original;           // the process the copy was made from
    unsigned long long result;             // where the copy's result byte goes
    char originalPath[SWITCH_PATH_BUFFER]; // that process's program file
};

// Reads the switches after the program name (skipped as commandLineDocument skips it). Each
// argument is looked at whole, quoted or not, wherever it stands and however long the line is,
// so /S is never lost; anything else is ignored. Returns 0 when read; 1 when the line cannot be
// read (none at all, an /original= path that does not fit, a /copy-of= that is not two
// numbers), which the uninstaller answers with "not removed" and no window.
int readUninstallSwitches(const char *commandLine, const char *modulePath,
                          UninstallSwitches *switches);
