// The copy's way back: the journal's file steps over the shared removal core, the backup folder,
// and the list of what could not be put back.
#include "payload/copy_rollback.h"

#include <ntsecapi.h>
#include <stdio.h>
#include <string.h>

#include "common/file_removal.h"
#include "common/setup_log.h"
#include "common/setup_state.h"

enum {
    BACKUP_NAME_TRIES = 8, // fresh random names tried when the one drawn exists already
};

// The start of every backup folder's name; 16 random hex digits follow.
static const char BACKUP_PREFIX[] = "~" PRODUCT_NAME "-backup-";
static const char STAYS_HEADING[] = "These could not be put back as they were, and stay:";
static const char STAYS_MORE[] = "\n...";

void rollbackBegin(CopyRollback *rollback) {
    journalInit(&rollback->journal);
    rollback->backupDir[0] = '\0';
}

BOOL rollbackMakeDirectory(CopyRollback *rollback, uint32_t offset, size_t length,
                           const char *path) {
    BOOL made = MakeDirectory(path);
    if (made)
        journalNote(&rollback->journal, CHANGE_CREATED_FOLDER, offset, length);
    return made;
}

// 64 bits the next run cannot guess, so no one can prepare a folder or link at that name.
static unsigned long long randomBits() {
    unsigned long long bits = 0;
    if (RtlGenRandom(&bits, sizeof(bits)))
        return bits;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (unsigned long long)counter.QuadPart * 0x9E3779B97F4A7C15ull ^ GetCurrentProcessId();
}

// Makes the backup folder inside installDir under a fresh random name, so moving a file into it
// is a rename on the same volume. A name that exists (a folder, a file, a link someone placed)
// is never used. Returns 0 when backupDir names the new folder.
static int makeBackupFolder(CopyRollback *rollback) {
    for (int attempt = 0; attempt < BACKUP_NAME_TRIES; attempt++) {
        unsigned long long bits = randomBits();
        int length = snprintf(rollback->backupDir, sizeof(rollback->backupDir), "%s\\%s%08lx%08lx",
                              setup.installDir, BACKUP_PREFIX, (unsigned long)(bits >> 32),
                              (unsigned long)(bits & 0xFFFFFFFFul));
        if (length < 0 || (size_t)length >= sizeof(rollback->backupDir))
            break;
        if (MakeDirectory(rollback->backupDir)) {
            SetupLog("Made the backup folder %s", rollback->backupDir);
            return 0;
        }
    }
    SetupLogError("Could not make a backup folder", GetLastError());
    rollback->backupDir[0] = '\0';
    return 1;
}

int rollbackPrepareFile(CopyRollback *rollback, uint32_t offset, size_t length, const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return 1; // there may be something there that cannot be looked at: leave it alone
        journalNote(&rollback->journal, CHANGE_CREATED_FILE, offset, length);
        return 0;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return 1;
    if (rollback->backupDir[0] == '\0' && makeBackupFolder(rollback) != 0)
        return 1;
    char backup[RECORD_PATH_BUFFER];
    if (journalBackupPath(rollback->journal.changeCount, rollback->backupDir, backup,
                          sizeof(backup)) != 0)
        return 1;
    if (moveFileRetrying(path, backup) != 0) {
        SetupLogError(path, GetLastError());
        return 1;
    }
    SetupLog("Moved %s aside to %s", path, backup);
    journalNote(&rollback->journal, CHANGE_REPLACED_FILE, offset, length);
    return 0;
}

// 1 when a folder between installDir and path has become a junction or link since the copy made
// it: the undo then leaves path alone rather than act on whatever the link leads to.
static int passesReparsePoint(const char *path) {
    char folder[RECORD_PATH_BUFFER];
    size_t length = strlen(path);
    if (length >= sizeof(folder) || length <= strlen(setup.installDir))
        return 0; // installDir itself (which may be a link the user chose), or not below it
    for (size_t j = strlen(setup.installDir) + 1; j < length; j++) {
        if (path[j] != '\\')
            continue;
        memcpy(folder, path, j);
        folder[j] = '\0';
        if (isReparsePoint(folder))
            return 1;
    }
    return 0;
}

// The undo's file steps, each logged.
static int undoRemoveFile(void *, const char *path) {
    if (passesReparsePoint(path) || removeFileRetrying(path) != 0) {
        SetupLogError(path, GetLastError());
        return 1;
    }
    SetupLog("Undo: deleted %s", path);
    return 0;
}

static int undoMoveBack(void *, const char *backup, const char *path) {
    if (passesReparsePoint(path) || moveFileRetrying(backup, path) != 0) {
        SetupLogError(path, GetLastError());
        return 1;
    }
    SetupLog("Undo: put back %s", path);
    return 0;
}

static int undoRemoveFolder(void *, const char *path) {
    if (passesReparsePoint(path) || removeEmptyFolder(path) != 0) {
        SetupLog("Undo: could not remove the folder %s", path);
        return 1;
    }
    SetupLog("Undo: removed the folder %s", path);
    return 0;
}

// Adds one line naming path to the list of what stays. A list too long for its buffer ends with
// an ellipsis, and nothing is added after it.
static void noteStays(void *, const char *path) {
    char *list = setup.rollbackStays;
    const size_t size = sizeof(setup.rollbackStays);
    const size_t moreLength = sizeof(STAYS_MORE) - 1;
    size_t used = strlen(list);
    if (used >= moreLength && strcmp(list + used - moreLength, STAYS_MORE) == 0)
        return;
    if (used == 0)
        used = (size_t)snprintf(list, size, "%s", STAYS_HEADING);
    // Every line added leaves room for the ellipsis and the terminator.
    size_t length = strlen(path);
    if (used + 1 + length + moreLength < size) {
        list[used] = '\n';
        memcpy(list + used + 1, path, length + 1);
        return;
    }
    memcpy(list + used, STAYS_MORE, moreLength + 1);
}

void rollbackUndo(CopyRollback *rollback) {
    static const JournalUndoSteps steps = {undoRemoveFile, undoMoveBack, undoRemoveFolder,
                                           noteStays};
    setup.rollbackStays[0] = '\0';
    journalUndo(&rollback->journal, setup.installDir, rollback->backupDir, &steps, NULL);
    if (rollback->backupDir[0] != '\0' && undoRemoveFolder(NULL, rollback->backupDir) != 0)
        noteStays(NULL, rollback->backupDir);
    if (setup.installDirCreated && undoRemoveFolder(NULL, setup.installDir) != 0)
        noteStays(NULL, setup.installDir);
    journalFree(&rollback->journal);
}

// A backup that cannot be deleted now (the file of a program that is still running) is deleted
// at the next restart, so no backup outlives the run.
static int commitRemoveBackup(void *, const char *path) {
    int left = removeFileOrAtRestart(path);
    if (left == 1)
        SetupLog("In use: %s is deleted at the next restart", path);
    else if (left != 0)
        SetupLogError(path, GetLastError());
    return left == 2;
}

void rollbackCommit(CopyRollback *rollback) {
    if (rollback->backupDir[0] != '\0') {
        journalDropBackups(&rollback->journal, rollback->backupDir, commitRemoveBackup, NULL);
        int left = removeFolderOrAtRestart(rollback->backupDir);
        if (left == 1)
            SetupLog("The backup folder %s is removed at the next restart", rollback->backupDir);
        else if (left != 0)
            SetupLog("Could not remove the backup folder %s", rollback->backupDir);
    }
    journalFree(&rollback->journal);
}
