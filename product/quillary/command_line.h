// The document a program's command line names. Portable: no <windows.h>.
#pragma once

#include <stddef.h>

// Copies into out (outSize bytes) the document argument of commandLine: what follows the program
// name, without the quotes around it, or the whole rest of the line (blanks included) when it is
// not quoted, since the shell hands an unquoted path over as it stands. The program name may
// itself be unquoted and hold blanks: when the line starts with modulePath (any case), that
// much is skipped. Returns 0 with out holding the argument ("" when there is none); 1, out
// empty, when the argument does not fit.
int commandLineDocument(const char *commandLine, const char *modulePath, char *out, size_t outSize);
