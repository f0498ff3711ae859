// The copy engine: the payload resource inflated record by record into the files below
// installDir through one bounded buffer, each file written in pieces as its bytes arrive; the
// journal and its rollback keep the destination as it was when the copy does not end whole.
#include "payload/copy_engine.h"

#include <windows.h>

#include <string.h>

#include "common/file_removal.h"
#include "common/paths.h"
#include "common/product.h"
#include "common/setup_log.h"
#include "common/setup_state.h"
#include "common/setup_switches.h"
#include "payload/copy_rollback.h"
#include "payload/payload_stream.h"
#include "payload_config.h"
#include "resources/resource.h"

static const char STATUS_PREPARING[] = "Preparing to decompress setup files";
static const char STATUS_DECOMPRESSING[] = "Decompressing setup files";
static const char STATUS_UNDOING[] = "Restoring previous files";
static const char DECOMPRESS_FAILED[] = "Can't decompress setup files";
static const char SAMPLE_FOLDER[] = SAMPLE_FOLDER_NAME;
// The name before the payload's own complaint, as the gzip layer's messages have always had it.
static const char GZIP_ERROR_NAME[] = PRODUCT_NAME " Setup";

enum {
    CHECKED_FOLDERS = 64, // folders remembered as checked: a product's folders, usually all
};

// One copy's working state, shared by the sink's three functions.
struct CopyRun {
    const CopyObserver *observer;
    CopyRollback rollback;
    HANDLE file;                   // the record being written, or none
    char path[RECORD_PATH_BUFFER]; // its full path
    uint32_t size;                 // its size
    // The folders this copy has made or found and checked not to be links, the latest kept when
    // there are more than the list holds (a folder forgotten is only checked again).
    char checkedDirs[CHECKED_FOLDERS][RECORD_DIRECTORY_BUFFER];
    int checkedCount;
    int nextChecked;
    int writeFailed; // a record could not be written whole
};

// The inflate state and its buffer: about 70 KB, kept out of the stack.
static PayloadStream payloadStream;

// A failure that ends the copy: logged (the step that failed has logged the system's reason),
// and the run's exit code says "failed" unless the user had cancelled first (a cancel recorded
// stays a cancel).
static void copyFailure(const char *what) {
    SetupLog("%s", what);
    if (!setup.copyFailed)
        setup.exitCode = EXIT_FAILED;
    setup.copyFailed = 1;
}

// Told to the user, and logged.
static void tellFailure(CopyRun *run, const char *text) {
    SetupLog("%s", text);
    run->observer->failure(run->observer->context, text);
}

// Asks the observer whether to go on; a stop is recorded as the copy's failure flag.
static int shouldStop(CopyRun *run) {
    if (run->observer->poll(run->observer->context) != 0)
        setup.copyFailed = 1;
    return setup.copyFailed;
}

static void makeSampleFolder(CopyRollback *rollback) {
    char path[RECORD_PATH_BUFFER];
    uint32_t kept;
    if (joinRecordPath(path, sizeof(path), setup.installDir, SAMPLE_FOLDER,
                       strlen(SAMPLE_FOLDER)) == 0 &&
        journalKeepName(&rollback->journal, SAMPLE_FOLDER, &kept) == 0)
        rollbackMakeDirectory(rollback, kept, strlen(SAMPLE_FOLDER), path);
}

static int wasChecked(const CopyRun *run, const char *directory) {
    for (int i = 0; i < run->checkedCount; i++)
        if (strcmp(run->checkedDirs[i], directory) == 0)
            return 1;
    return 0;
}

static void noteChecked(CopyRun *run, const char *directory) {
    int slot = run->checkedCount < CHECKED_FOLDERS ? run->checkedCount++ : run->nextChecked;
    if (run->checkedCount == CHECKED_FOLDERS)
        run->nextChecked = (slot + 1) % CHECKED_FOLDERS;
    lstrcpynA(run->checkedDirs[slot], directory, RECORD_DIRECTORY_BUFFER);
}

// Creates every directory the record's name (kept in the journal at kept) passes through,
// outermost first, also when they exist already; the journal notes those it made. A folder on
// the way that is a junction or link (an earlier installation's folder replaced by one) is never
// written through. Each folder is made and checked once a copy: records in name order go in and
// out of the same folders, and each check costs the system a handle opened and read. Returns 1,
// creating nothing more, when the deepest one would not fit its buffer or a folder on the way is
// a link.
static int makeRecordDirectories(CopyRun *run, const char *name, uint32_t kept) {
    char directory[RECORD_DIRECTORY_BUFFER];
    size_t deepest = lastDirectoryEnd(name);
    if (deepest == 0)
        return 0;
    if (joinRecordPath(directory, sizeof(directory), setup.installDir, name, deepest) != 0)
        return 1;
    if (wasChecked(run, directory))
        return 0;
    for (size_t j = 1; j <= deepest; j++) {
        if (name[j] != '\\')
            continue;
        joinRecordPath(directory, sizeof(directory), setup.installDir, name, j);
        if (wasChecked(run, directory))
            continue;
        rollbackMakeDirectory(&run->rollback, kept, j, directory);
        if (isReparsePoint(directory)) {
            SetupLog("Copy stopped: %s is a junction or link; nothing is written through it",
                     directory);
            return 1;
        }
        noteChecked(run, directory);
    }
    return 0;
}

// Closes the record's file. Returns 0 when it closed cleanly.
static int closeRecordFile(CopyRun *run) {
    if (run->file == INVALID_HANDLE_VALUE)
        return 0;
    BOOL closed = CloseHandle(run->file);
    run->file = INVALID_HANDLE_VALUE;
    return closed ? 0 : 1;
}

// A record that could not be written whole: the system's reason logged, the partial file gone.
static int recordWriteFailed(CopyRun *run) {
    SetupLogError(run->path, GetLastError());
    closeRecordFile(run);
    DeleteFileA(run->path);
    run->writeFailed = 1;
    return 1;
}

// The sink's begin: the record's folders, its old file moved aside, its new file created (never
// through a link: the name is free once the old file has moved).
static int beginRecordFile(void *context, const char *name, uint32_t dataSize) {
    CopyRun *run = (CopyRun *)context;
    uint32_t kept;
    size_t length = strlen(name);
    run->writeFailed = 1; // until the file is open
    if (joinRecordPath(run->path, sizeof(run->path), setup.installDir, name, length) != 0)
        return 1;
    if (journalKeepName(&run->rollback.journal, name, &kept) != 0)
        return 1;
    if (makeRecordDirectories(run, name, kept) != 0)
        return 1;
    run->observer->file(run->observer->context, run->path);
    run->observer->step(run->observer->context);
    if (rollbackPrepareFile(&run->rollback, kept, length, run->path) != 0)
        return 1;
    run->file =
        CreateFileA(run->path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (run->file == INVALID_HANDLE_VALUE)
        return recordWriteFailed(run);
    run->size = dataSize;
    run->writeFailed = 0;
    return 0;
}

// The sink's data: the next piece of the record, written as it came. A short write is a full
// disk.
static int writeRecordPiece(void *context, const void *bytes, size_t count) {
    CopyRun *run = (CopyRun *)context;
    DWORD written = 0;
    if (!WriteFile(run->file, bytes, (DWORD)count, &written, NULL) || written != count)
        return recordWriteFailed(run);
    return shouldStop(run);
}

static int endRecordFile(void *context) {
    CopyRun *run = (CopyRun *)context;
    if (closeRecordFile(run) != 0)
        return recordWriteFailed(run);
    SetupLog("File %s (%lu bytes)", run->path, (unsigned long)run->size);
    return shouldStop(run);
}

// The payload resource, locked in memory; NULL when it cannot be had.
static const void *lockPayload(DWORD *size) {
    HRSRC found = FindResourceA(setup.instance, MAKEINTRESOURCEA(PAYLOAD_RESOURCE_ID), RT_RCDATA);
    HGLOBAL loaded = found != NULL ? LoadResource(setup.instance, found) : NULL;
    *size = found != NULL ? SizeofResource(setup.instance, found) : 0;
    return loaded != NULL ? LockResource(loaded) : NULL;
}

// Tells the user about a payload whose layers are damaged, in the two messages a damaged setup
// file has always shown: zlib's complaint, then that the setup files cannot be decompressed.
static void reportDamagedPayload(CopyRun *run, const char *problem) {
    char message[RECORD_PATH_BUFFER];
    wsprintfA(message, "%s: %.400s\n", GZIP_ERROR_NAME, problem);
    tellFailure(run, message);
    tellFailure(run, DECOMPRESS_FAILED);
}

// Inflates the payload into the files. A cancel ends it as a stop; anything else that ends it
// early is the copy's failure.
static void unpackPayload(CopyRun *run) {
    DWORD size;
    const void *payload = lockPayload(&size);
    if (payload == NULL) {
        tellFailure(run, DECOMPRESS_FAILED);
        copyFailure("Copy stopped: the setup files are missing from the installer");
        return;
    }
    run->observer->phase(run->observer->context, STATUS_DECOMPRESSING);
    makeSampleFolder(&run->rollback);
    const ArchiveSink sink = {beginRecordFile, writeRecordPiece, endRecordFile, run};
    int result = payloadUnpack(&payloadStream, payload, size, PAYLOAD_ENTRY_COUNT, &sink);
    closeRecordFile(run);
    if (result == PAYLOAD_OK)
        return;
    if (result == PAYLOAD_STOPPED && !run->writeFailed)
        return; // a cancel: already recorded
    if (result == PAYLOAD_STOPPED || result == PAYLOAD_ARCHIVE) {
        if (result == PAYLOAD_ARCHIVE)
            SetupLog("The setup files are damaged: %s", payloadStream.problem);
        copyFailure("Copy stopped: a payload record could not be unpacked");
        return;
    }
    reportDamagedPayload(run, payloadStream.problem);
    copyFailure("Copy stopped: setup files could not be decompressed");
}

int copyStepTotal() { return PAYLOAD_ENTRY_COUNT; }

int CopyPayload(const CopyObserver *observer) {
    static CopyRun run;
    memset(&run, 0, sizeof(run));
    run.observer = observer;
    run.file = INVALID_HANDLE_VALUE;
    rollbackBegin(&run.rollback);
    setup.copyFailed = 0;
    observer->phase(observer->context, STATUS_PREPARING);
    observer->step(observer->context);
    unpackPayload(&run);
    if (!setup.copyFailed) {
        rollbackCommit(&run.rollback);
        return 0;
    }
    observer->phase(observer->context, STATUS_UNDOING);
    rollbackUndo(&run.rollback);
    return setup.copyFailed;
}
