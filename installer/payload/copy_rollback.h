// The copy's way back: notes each change the copy page makes below installDir, moves a file
// aside before it is overwritten, and after a cancel or failure puts everything back; after a
// whole copy it deletes the files moved aside.
#pragma once

#include <windows.h>

#include "common/paths.h"
#include "payload/copy_journal.h"

struct CopyRollback {
    CopyJournal journal;
    // The folder made for this run inside installDir (so on its volume) that holds the replaced
    // files; empty until the first file is replaced.
    char backupDir[RECORD_PATH_BUFFER];
};

void rollbackBegin(CopyRollback *rollback);

// MakeDirectory for the first length characters of the kept name at offset (path is that folder
// below installDir); a folder it makes is noted. Returns MakeDirectory's result.
BOOL rollbackMakeDirectory(CopyRollback *rollback, uint32_t offset, size_t length,
                           const char *path);

// Readies path (the whole kept name at offset) to be written: a file that is not there is noted
// as created; one that is there is moved into the backup folder and noted as replaced. Returns 0
// when path can be written; 1 when it cannot be taken over (a folder of that name, a file held
// open, no backup folder), changing nothing.
int rollbackPrepareFile(CopyRollback *rollback, uint32_t offset, size_t length, const char *path);

// Takes every noted change back, last first, then the backup folder and, when this run made it,
// installDir. What stays is listed in setup.rollbackStays. Frees the journal.
void rollbackUndo(CopyRollback *rollback);

// After a whole copy: deletes the replaced files' backups and the backup folder. Frees the
// journal.
void rollbackCommit(CopyRollback *rollback);
