// Reading the installer's switches from its command line, and checking a /D= destination.
#include "common/setup_switches.h"

#include <string.h>

static int isBlank(char c) { return c == ' ' || c == '\t'; }

static char upperAscii(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// Whether text starts with the upper-case word, ignoring the case of text.
static int startsWith(const char *text, const char *word) {
    for (; *word != '\0'; text++, word++)
        if (upperAscii(*text) != *word)
            return 0;
    return 1;
}

// Where the argument starting at p ends: at the next blank outside quotes, or the line's end.
static const char *argumentEnd(const char *p) {
    int quoted = 0;
    for (; *p != '\0'; p++) {
        if (*p == '"')
            quoted = !quoted;
        else if (isBlank(*p) && !quoted)
            break;
    }
    return p;
}

// Copies text[0, length) into out without its quotes; out is left empty when it does not fit.
static void copyUnquoted(char *out, size_t outSize, const char *text, size_t length) {
    size_t used = 0;
    for (size_t i = 0; i < length; i++) {
        if (text[i] == '"')
            continue;
        if (used + 1 >= outSize) {
            out[0] = '\0';
            return;
        }
        out[used++] = text[i];
    }
    out[used] = '\0';
}

void parseSetupSwitches(const char *commandLine, SetupSwitches *switches) {
    memset(switches, 0, sizeof(*switches));
    const char *p = commandLine != NULL ? commandLine : "";
    for (;;) {
        while (isBlank(*p))
            p++;
        if (*p == '\0')
            return;
        // A switch may stand in quotes whole ("/LOG=C:\My Logs\a.log").
        const char *name = *p == '"' ? p + 1 : p;
        const char *end = argumentEnd(p);
        if (startsWith(name, "/D=")) {
            // The last switch: the rest of the line as it stands, blanks included.
            const char *value = name + 3;
            size_t length = strlen(value);
            while (length > 0 && isBlank(value[length - 1]))
                length--;
            switches->hasDestination = 1;
            if (length < sizeof(switches->destination)) {
                memcpy(switches->destination, value, length);
                switches->destination[length] = '\0';
            }
            return;
        }
        size_t length = (size_t)(end - name);
        if (name != p && length > 0 && name[length - 1] == '"')
            length--;
        if (length == 2 && startsWith(name, "/S"))
            switches->unattended = 1;
        else if (length == 2 && startsWith(name, "/?"))
            switches->help = 1;
        else if (startsWith(name, "/LOG="))
            copyUnquoted(switches->logPath, sizeof(switches->logPath), name + 5, length - 5);
        p = end;
    }
}

DestinationProblem destinationProblem(const char *path, size_t maxLength) {
    if (path == NULL || path[0] == '\0')
        return DESTINATION_EMPTY;
    char letter = upperAscii(path[0]);
    if (letter < 'A' || letter > 'Z' || path[1] != ':' || path[2] != '\\')
        return DESTINATION_NOT_FULL_LOCAL;
    if (path[3] == '\0')
        return DESTINATION_DRIVE_ROOT;
    if (strlen(path) > maxLength)
        return DESTINATION_TOO_LONG;
    // Each part between backslashes must be one folder name (an empty part is refused too).
    return areFolderNames(path + 3) ? DESTINATION_OK : DESTINATION_BAD_NAME;
}
