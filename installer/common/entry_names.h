// Archive entry names: the one rule for which record names the installer writes and the payload
// builder packs. Portable: no <windows.h>, so the reader, tools/pack and the tests share it.
#pragma once

// Why a name is refused; ENTRY_NAME_OK for a name that names a file below the installation
// directory and nothing else.
enum EntryNameProblem {
    ENTRY_NAME_OK = 0,
    ENTRY_NAME_EMPTY = 1,              // no name at all
    ENTRY_NAME_ROOTED = 2,             // starts with a separator: absolute, UNC or device path
    ENTRY_NAME_EMPTY_COMPONENT = 3,    // two separators in a row, or a trailing separator
    ENTRY_NAME_BAD_CHARACTER = 4,      // a control byte, '/', ':' (drive or data stream), <>"|?*
    ENTRY_NAME_TRAILING_DOT_BLANK = 5, // a component ending in '.' or ' ' (covers "." and "..")
    ENTRY_NAME_DEVICE = 6,             // a component naming a device: NUL, CON, COM1, nul.txt...
};

// Checks a zero-terminated record name, bytes in the system's ANSI code page, '\' the only
// separator. The system trims trailing dots and blanks from a component (so "a." would land on
// "a", and ".." climbs), opens devices for the reserved names whatever their extension (CON,
// PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9, also with a superscript digit 1, 2 or 3,
// bytes B9, B2, B3 in the Western code page), and reads ':' as a drive or an alternate data
// stream: each of these is refused.
EntryNameProblem entryNameProblem(const char *name);

// Nonzero when entryNameProblem finds nothing to refuse.
int isSafeEntryName(const char *name);
