// The document a program's command line names, and the uninstaller's switches.
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

static const char SILENT_SWITCH[] = "/s";
static const char COPY_SWITCH[] = "/copy-of=";
static const char ORIGINAL_SWITCH[] = "/original=";

// Whether the length characters at text are word (lower case), case aside.
static int isWord(const char *text, size_t length, const char *word) {
    if (length != strlen(word))
        return 0;
    for (size_t i = 0; i < length; i++)
        if (folded(text[i]) != word[i])
            return 0;
    return 1;
}

// Reads decimal digits at *p into *value and moves *p past them; 0 when there was at least one
// and the number fits 64 bits.
static int readNumber(const char **p, unsigned long long *value) {
    const char *start = *p;
    *value = 0;
    for (; **p >= '0' && **p <= '9'; (*p)++) {
        unsigned digit = (unsigned)(**p - '0');
        if (*value > (~0ULL - digit) / 10)
            return 1;
        *value = *value * 10 + digit;
    }
    return *p == start;
}

// /copy-of=<number>:<number> in the length characters at value.
static int readCopySwitch(const char *value, size_t length, UninstallSwitches *switches) {
    const char *p = value;
    if (readNumber(&p, &switches->original) != 0 || *p != ':')
        return 1;
    p++;
    if (readNumber(&p, &switches->result) != 0 || p != value + length)
        return 1;
    switches->isCopy = 1;
    return 0;
}

int readUninstallSwitches(const char *commandLine, const char *modulePath,
                          UninstallSwitches *switches) {
    memset(switches, 0, sizeof(*switches));
    if (commandLine == NULL)
        return 1;
    const char *p = commandLine;
    while (isBlank(*p))
        p++;
    p += programNameLength(p, modulePath);
    for (;;) {
        while (isBlank(*p))
            p++;
        if (*p == '\0')
            return 0;
        int quoted = *p == '"';
        const char *start = quoted ? p + 1 : p;
        size_t originalLength = strlen(ORIGINAL_SWITCH);
        if (!quoted && strlen(start) >= originalLength &&
            isWord(start, originalLength, ORIGINAL_SWITCH)) {
            // The rest of the line, as it stands, without trailing blanks.
            const char *path = start + originalLength;
            size_t length = strlen(path);
            while (length > 0 && isBlank(path[length - 1]))
                length--;
            if (length >= sizeof(switches->originalPath))
                return 1;
            memcpy(switches->originalPath, path, length);
            switches->originalPath[length] = '\0';
            return 0;
        }
        const char *end = start;
        while (*end != '\0' && (quoted ? *end != '"' : !isBlank(*end)))
            end++;
        size_t length = (size_t)(end - start);
        size_t copyLength = strlen(COPY_SWITCH);
        if (isWord(start, length, SILENT_SWITCH))
            switches->silent = 1;
        else if (length >= copyLength && isWord(start, copyLength, COPY_SWITCH) &&
                 readCopySwitch(start + copyLength, length - copyLength, switches) != 0)
            return 1;
        p = *end == '"' ? end + 1 : end;
    }
}
