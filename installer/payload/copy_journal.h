// Copy journal: the list of what one copy changes below the destination (each folder it creates,
// each file it creates, each file it replaces), and the order in which a cancelled or failed copy
// takes those changes back. Portable: no <windows.h>; the copy page hands it the file steps.
//
// Memory grows with the record count, never with the data: each record's name is kept once, and
// every change is a fixed-size entry naming a prefix of one kept name.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum JournalChangeKind {
    CHANGE_CREATED_FOLDER = 1, // a folder this copy made; removed again when empty
    CHANGE_CREATED_FILE = 2,   // a file that was not there; deleted again
    CHANGE_REPLACED_FILE = 3,  // a file moved into the backup folder before it was overwritten
};

// One change: the path below the destination is the first nameLength characters of the name
// kept at nameOffset.
struct JournalChange {
    uint32_t nameOffset;
    uint16_t nameLength;
    uint8_t kind;
};

struct CopyJournal {
    JournalChange *changes;
    size_t changeCount;
    size_t changeCapacity;
    char *names; // the kept names, each zero-terminated
    size_t namesUsed;
    size_t namesCapacity;
};

void journalInit(CopyJournal *journal);
void journalFree(CopyJournal *journal);

// Keeps a record name and makes room for every change it can bring: a folder for each backslash
// after its first character, and its file. Returns 0 with the name's place in *offset; 1 when
// memory runs out or the name is too long, in which case nothing of that record may be changed.
int journalKeepName(CopyJournal *journal, const char *name, uint32_t *offset);

// Notes a change to the first length characters of the name kept at offset. The room was made by
// journalKeepName, so it cannot fail for the changes that name brings.
void journalNote(CopyJournal *journal, JournalChangeKind kind, uint32_t offset, size_t length);

// installDir, a backslash, and the changed path. Returns 0 when it fits outSize; 1, out empty,
// otherwise.
int journalTargetPath(const CopyJournal *journal, size_t index, const char *installDir, char *out,
                      size_t outSize);

// Where change index keeps the file it replaced: backupDir, a backslash and the change's number,
// so no record name, however long, has to fit twice. Returns 0 when it fits; 1, out empty,
// otherwise.
int journalBackupPath(size_t index, const char *backupDir, char *out, size_t outSize);

// The file steps of an undo, done by the caller. Each returns 0 when done, 1 when what it was to
// take back stays.
struct JournalUndoSteps {
    int (*removeFile)(void *context, const char *path);
    int (*moveBack)(void *context, const char *backup, const char *path);
    int (*removeFolder)(void *context, const char *path);
    // Told each path that stays because its step did not succeed.
    void (*stays)(void *context, const char *path);
};

// Takes every change back, last first: created files deleted, replaced files deleted and moved
// back from the backup, created folders removed when empty. A step that fails is reported and
// the undo goes on. Returns how many steps failed.
int journalUndo(const CopyJournal *journal, const char *installDir, const char *backupDir,
                const JournalUndoSteps *steps, void *context);

// After a whole copy: deletes each replaced file's backup. Returns how many could not be deleted.
int journalDropBackups(const CopyJournal *journal, const char *backupDir,
                       int (*removeFile)(void *context, const char *path), void *context);
