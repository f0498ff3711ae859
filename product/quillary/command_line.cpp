// The document a program's command line names.
#include "command_line.h"

#include <string.h>

static int isBlank(char c) { return c == ' ' || c == '\t'; }

static char folded(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

// Length of the program name at the start of line (blanks before it already skipped).
static size_t programNameLength(const char *line, const char *modulePath) {
    if (line[0] == '"') {
        const char *closing = strchr(line + 1, '"');
        return closing != NULL ? (size_t)(closing - line) + 1 : strlen(line);
    }
    size_t moduleLength = modulePath != NULL ? strlen(modulePath) : 0;
    if (moduleLength > 0) {
        size_t i = 0;
        while (i < moduleLength && line[i] != '\0' && folded(line[i]) == folded(modulePath[i]))
            i++;
        if (i == moduleLength && (line[i] == '\0' || isBlank(line[i])))
            return moduleLength;
    }
    size_t length = 0;
    while (line[length] != '\0' && !isBlank(line[length]))
        length++;
    return length;
}

int commandLineDocument(const char *commandLine, const char *modulePath, char *out,
                        size_t outSize) {
    if (outSize == 0)
        return 1;
    out[0] = '\0';
    const char *p = commandLine != NULL ? commandLine : "";
    while (isBlank(*p))
        p++;
    p += programNameLength(p, modulePath);
    while (isBlank(*p))
        p++;

    size_t length;
    if (*p == '"') {
        p++;
        const char *closing = strchr(p, '"');
        length = closing != NULL ? (size_t)(closing - p) : strlen(p);
    } else {
        length = strlen(p);
        while (length > 0 && isBlank(p[length - 1]))
            length--;
    }
    if (length >= outSize)
        return 1;
    memcpy(out, p, length);
    out[length] = '\0';
    return 0;
}
