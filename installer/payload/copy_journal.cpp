// Copy journal: the changes one copy made below the destination, and their undo, last first.
#include "payload/copy_journal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/paths.h"

enum {
    JOURNAL_FIRST_CHANGES = 256, // room for a payload of plain files before the first growth
    JOURNAL_FIRST_NAMES = 8192,  // bytes of kept names before the first growth
    JOURNAL_NAME_MAX = 0xFFFF,   // a change's length field holds at most this
};

void journalInit(CopyJournal *journal) { memset(journal, 0, sizeof(*journal)); }

void journalFree(CopyJournal *journal) {
    free(journal->changes);
    free(journal->names);
    journalInit(journal);
}

// Grows a buffer of *capacity items of itemSize bytes until it holds needed items, doubling.
// Returns 0 when it does; 1, the buffer unchanged, when memory runs out.
static int reserve(void **buffer, size_t *capacity, size_t needed, size_t itemSize, size_t first) {
    if (needed <= *capacity)
        return 0;
    size_t grown = *capacity > 0 ? *capacity : first;
    while (grown < needed)
        grown *= 2;
    void *larger = realloc(*buffer, grown * itemSize);
    if (larger == NULL)
        return 1;
    *buffer = larger;
    *capacity = grown;
    return 0;
}

int journalKeepName(CopyJournal *journal, const char *name, uint32_t *offset) {
    size_t length = strlen(name);
    if (length > JOURNAL_NAME_MAX || journal->namesUsed + length + 1 > UINT32_MAX)
        return 1;
    size_t changes = 1;
    for (size_t i = 1; i < length; i++)
        changes += name[i] == '\\';
    if (reserve((void **)&journal->changes, &journal->changeCapacity,
                journal->changeCount + changes, sizeof(JournalChange), JOURNAL_FIRST_CHANGES) ||
        reserve((void **)&journal->names, &journal->namesCapacity, journal->namesUsed + length + 1,
                1, JOURNAL_FIRST_NAMES))
        return 1;
    *offset = (uint32_t)journal->namesUsed;
    memcpy(journal->names + journal->namesUsed, name, length + 1);
    journal->namesUsed += length + 1;
    return 0;
}

void journalNote(CopyJournal *journal, JournalChangeKind kind, uint32_t offset, size_t length) {
    if (journal->changeCount >= journal->changeCapacity)
        return; // more changes than journalKeepName made room for: a caller's fault
    JournalChange *change = &journal->changes[journal->changeCount++];
    change->nameOffset = offset;
    change->nameLength = (uint16_t)length;
    change->kind = (uint8_t)kind;
}

int journalTargetPath(const CopyJournal *journal, size_t index, const char *installDir, char *out,
                      size_t outSize) {
    const JournalChange *change = &journal->changes[index];
    return joinRecordPath(out, outSize, installDir, journal->names + change->nameOffset,
                          change->nameLength);
}

int journalBackupPath(size_t index, const char *backupDir, char *out, size_t outSize) {
    int length = snprintf(out, outSize, "%s\\%lu", backupDir, (unsigned long)index);
    if (length < 0 || (size_t)length >= outSize) {
        if (outSize > 0)
            out[0] = '\0';
        return 1;
    }
    return 0;
}

// Takes one change back; returns 0 when done, 1 when what it changed stays.
static int undoChange(const CopyJournal *journal, size_t index, const char *installDir,
                      const char *backupDir, const JournalUndoSteps *steps, void *context) {
    char path[RECORD_PATH_BUFFER];
    char backup[RECORD_PATH_BUFFER];
    if (journalTargetPath(journal, index, installDir, path, sizeof(path)) != 0)
        return 1; // cannot happen: the copy wrote through this very path
    switch (journal->changes[index].kind) {
    case CHANGE_CREATED_FOLDER:
        return steps->removeFolder(context, path);
    case CHANGE_CREATED_FILE:
        return steps->removeFile(context, path);
    case CHANGE_REPLACED_FILE:
        if (journalBackupPath(index, backupDir, backup, sizeof(backup)) != 0)
            return 1;
        // The new file goes first: the move back replaces nothing.
        if (steps->removeFile(context, path) != 0)
            return 1;
        return steps->moveBack(context, backup, path);
    }
    return 1;
}

int journalUndo(const CopyJournal *journal, const char *installDir, const char *backupDir,
                const JournalUndoSteps *steps, void *context) {
    int failed = 0;
    for (size_t index = journal->changeCount; index-- > 0;) {
        if (undoChange(journal, index, installDir, backupDir, steps, context) == 0)
            continue;
        failed++;
        char path[RECORD_PATH_BUFFER];
        if (journalTargetPath(journal, index, installDir, path, sizeof(path)) == 0)
            steps->stays(context, path);
    }
    return failed;
}

int journalDropBackups(const CopyJournal *journal, const char *backupDir,
                       int (*removeFile)(void *context, const char *path), void *context) {
    int failed = 0;
    char backup[RECORD_PATH_BUFFER];
    for (size_t index = 0; index < journal->changeCount; index++) {
        if (journal->changes[index].kind != CHANGE_REPLACED_FILE)
            continue;
        if (journalBackupPath(index, backupDir, backup, sizeof(backup)) != 0 ||
            removeFile(context, backup) != 0)
            failed++;
    }
    return failed;
}
