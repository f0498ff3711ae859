// Archive entry names: refuses every record name that would not end up as the file it names
// below the installation directory.
#include "common/entry_names.h"

#include <stddef.h>
#include <string.h>

// Superscript one, two and three in the Western ANSI code page: "COM¹" is a device like "COM1".
static const unsigned char SUPERSCRIPT_ONE = 0xB9;
static const unsigned char SUPERSCRIPT_TWO = 0xB2;
static const unsigned char SUPERSCRIPT_THREE = 0xB3;

static int isBadCharacter(unsigned char c) { return c < 0x20 || strchr("/:<>\"|?*", c) != NULL; }

static char upperCase(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// Compares the first length bytes of text with an upper-case word, ignoring the case of text.
static int sameWord(const char *text, size_t length, const char *word) {
    if (strlen(word) != length)
        return 0;
    for (size_t i = 0; i < length; i++)
        if (upperCase(text[i]) != word[i])
            return 0;
    return 1;
}

static int isPortDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || c == SUPERSCRIPT_ONE || c == SUPERSCRIPT_TWO ||
           c == SUPERSCRIPT_THREE;
}

// The system reads a component as a device when the part before its first dot, without its
// trailing blanks, is a device name.
static int isDeviceComponent(const char *start, size_t length) {
    size_t base = 0;
    while (base < length && start[base] != '.')
        base++;
    while (base > 0 && start[base - 1] == ' ')
        base--;
    static const char *const DEVICES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char *device : DEVICES)
        if (sameWord(start, base, device))
            return 1;
    if (base == 4 && (sameWord(start, 3, "COM") || sameWord(start, 3, "LPT")))
        return isPortDigit((unsigned char)start[3]);
    return 0;
}

static EntryNameProblem componentProblem(const char *start, size_t length) {
    if (length == 0)
        return ENTRY_NAME_EMPTY_COMPONENT;
    if (start[length - 1] == '.' || start[length - 1] == ' ')
        return ENTRY_NAME_TRAILING_DOT_BLANK;
    if (isDeviceComponent(start, length))
        return ENTRY_NAME_DEVICE;
    return ENTRY_NAME_OK;
}

EntryNameProblem entryNameProblem(const char *name) {
    if (name == NULL || name[0] == '\0')
        return ENTRY_NAME_EMPTY;
    if (name[0] == '\\')
        return ENTRY_NAME_ROOTED;
    for (const char *p = name; *p != '\0'; p++)
        if (isBadCharacter((unsigned char)*p))
            return ENTRY_NAME_BAD_CHARACTER;
    const char *component = name;
    for (const char *p = name;; p++) {
        if (*p != '\0' && *p != '\\')
            continue;
        EntryNameProblem problem = componentProblem(component, (size_t)(p - component));
        if (problem != ENTRY_NAME_OK || *p == '\0')
            return problem;
        component = p + 1;
    }
}

int isSafeEntryName(const char *name) { return entryNameProblem(name) == ENTRY_NAME_OK; }
