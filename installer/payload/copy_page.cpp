// Copy page: writes the payload to the temporary directory, decompresses it and unpacks every
// record below installDir, one record at a time, with a progress strip and a Cancel button that
// is noticed between records. Its dialog result is copyFailed: 0 when every file was written.
// The unattended installation runs the same copy with no page at all. A copy that is cancelled
// or fails is taken back from its journal, so the destination is left as it was before.
#include <stdio.h>
#include <string.h>

#include "common/paths.h"
#include "common/setup_log.h"
#include "common/setup_state.h"
#include "common/setup_switches.h"
#include "pages/pages.h"
#include "payload/archive_reader.h"
#include "payload/copy_rollback.h"
#include "payload/decompress.h"
#include "payload/progress_bar.h"
#include "payload_config.h"
#include "resources/resource.h"
#include "shell/message_table.h"

enum {
    CMD_START_COPY = 4445, // posted to itself by CopyPageInit: the work starts from the dialog's
                           // own loop, once the page is visible
};

static const char STATUS_PREPARING[] = "Preparing to decompress setup files";
static const char STATUS_DECOMPRESSING[] = "Decompressing setup files";
static const char STATUS_DELETING[] = "Deleting temproary files"; // the text as users know it
static const char STATUS_UNDOING[] = "Restoring previous files";
static const char DECOMPRESS_FAILED[] = "Can't decompress setup files";
static const char GZIP_FILE_NAME[] = "filesdata.gz";
static const char ARCHIVE_FILE_NAME[] = "filesdata.dat";
static const char SAMPLE_FOLDER[] = SAMPLE_FOLDER_NAME;

// The temporary files, named once the temporary directory is known; empty when there is none.
struct TempFiles {
    char gzipPath[RECORD_PATH_BUFFER];
    char archivePath[RECORD_PATH_BUFFER];
};

static void setStatus(HWND page, const char *text, BOOL paintNow) {
    if (page == NULL)
        return;
    SetDlgItemTextA(page, IDC_COPY_STATUS, text);
    if (paintNow)
        UpdateWindow(GetDlgItem(page, IDC_COPY_STATUS));
}

// The system's temporary directory, or the start directory when the system gives none, without
// its trailing backslash. Returns 0 when tempDir holds it, 1 when no directory fits tempDir.
static int chooseTempDir() {
    DWORD length = GetTempPathA(TEMP_BUFFER, setup.tempDir);
    if (length == 0 || length >= TEMP_BUFFER) {
        setup.tempDir[0] = '\0';
        if (strlen(setup.startDir) >= TEMP_BUFFER)
            return 1;
        lstrcpyA(setup.tempDir, setup.startDir);
    }
    dropTrailingBackslash(setup.tempDir);
    return 0;
}

static void nameTempFiles(TempFiles *files) {
    joinRecordPath(files->gzipPath, sizeof(files->gzipPath), setup.tempDir, GZIP_FILE_NAME,
                   strlen(GZIP_FILE_NAME));
    joinRecordPath(files->archivePath, sizeof(files->archivePath), setup.tempDir, ARCHIVE_FILE_NAME,
                   strlen(ARCHIVE_FILE_NAME));
}

// A failure that ends the copy: logged (the step that failed has logged the system's reason),
// and the run's exit code says "failed" unless the user had cancelled first (a cancel recorded
// stays a cancel).
static void copyFailure(const char *what) {
    SetupLog("%s", what);
    if (!setup.copyFailed)
        setup.exitCode = EXIT_FAILED;
    setup.copyFailed = 1;
}

// Creates path (an existing file is truncated) and writes size bytes in one write. Returns 0 when
// every byte was written and the file closed cleanly. On a short write (a full disk) or a failed
// close it removes the partial file and returns 1; 1 also when the file cannot be created.
static int writeWholeFile(const char *path, const void *data, size_t size) {
    FILE *file = fopen(path, "wb");
    if (file == NULL) {
        SetupLogError(path, GetLastError());
        return 1;
    }
    size_t written = size > 0 ? fwrite(data, 1, size, file) : 0;
    int closed = fclose(file);
    if (written == size && closed == 0)
        return 0;
    SetupLogError(path, GetLastError());
    DeleteFileA(path);
    return 1;
}

// Writes the payload resource, unchanged, to path. Returns 0 when it is whole on disk.
static int writePayload(const char *path) {
    HRSRC found = FindResourceA(setup.instance, MAKEINTRESOURCEA(PAYLOAD_RESOURCE_ID), RT_RCDATA);
    HGLOBAL loaded = found != NULL ? LoadResource(setup.instance, found) : NULL;
    const void *data = loaded != NULL ? LockResource(loaded) : NULL;
    if (data == NULL)
        return 1;
    return writeWholeFile(path, data, SizeofResource(setup.instance, found));
}

static void makeSampleFolder(CopyRollback *rollback) {
    char path[RECORD_PATH_BUFFER];
    uint32_t kept;
    if (joinRecordPath(path, sizeof(path), setup.installDir, SAMPLE_FOLDER,
                       strlen(SAMPLE_FOLDER)) == 0 &&
        journalKeepName(&rollback->journal, SAMPLE_FOLDER, &kept) == 0)
        rollbackMakeDirectory(rollback, kept, strlen(SAMPLE_FOLDER), path);
}

// Decompresses the payload file into the archive file and creates the sample folder. Returns 0
// only when the archive is complete and its checksum matched: a damaged payload is not unpacked.
static int decompressPayload(HWND page, const TempFiles *files, CopyRollback *rollback) {
    setStatus(page, STATUS_DECOMPRESSING, TRUE);
    int result = DecompressFile(files->archivePath, files->gzipPath);
    makeSampleFolder(rollback);
    return result != DECOMPRESS_OK;
}

// Creates every directory the record's name (kept in the journal at kept) passes through,
// outermost first, also when they exist already; the journal notes those it made. Returns 1,
// creating nothing, when the deepest one would not fit its buffer.
static int makeRecordDirectories(CopyRollback *rollback, const char *name, uint32_t kept) {
    char directory[RECORD_DIRECTORY_BUFFER];
    size_t deepest = lastDirectoryEnd(name);
    if (deepest == 0)
        return 0;
    if (joinRecordPath(directory, sizeof(directory), setup.installDir, name, deepest) != 0)
        return 1;
    for (size_t j = 1; j <= deepest; j++) {
        if (name[j] != '\\')
            continue;
        joinRecordPath(directory, sizeof(directory), setup.installDir, name, j);
        rollbackMakeDirectory(rollback, kept, j, directory);
    }
    return 0;
}

// Reads the record's data into one block of its full size and writes it to path in one write.
// An empty record makes an empty file. Returns 0 when the file is whole on disk.
static int writeRecordFile(ArchiveReader *reader, const char *path, uint32_t dataSize) {
    if (dataSize == 0)
        return writeWholeFile(path, NULL, 0);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, dataSize);
    if (block == NULL)
        return 1;
    int failed = 1;
    void *data = GlobalLock(block);
    if (data != NULL) {
        if (archiveReadData(reader, data, dataSize) == ARCHIVE_OK)
            failed = writeWholeFile(path, data, dataSize);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return failed;
}

// Takes the next record from the archive and writes its file below installDir, noting each
// change in the journal (an existing file is moved aside first). Returns 1, and writes nothing,
// for a record the reader refuses (cut short, oversized, unsafe name), whose path would not fit
// or whose existing file cannot be moved aside; 1 also when the file cannot be written whole.
// 0 when it is on disk.
static int extractRecord(HWND page, ArchiveReader *reader, CopyRollback *rollback) {
    char name[ARCHIVE_NAME_BUFFER];
    char outputPath[RECORD_PATH_BUFFER];
    uint32_t dataSize;
    uint32_t kept;
    if (archiveReadName(reader, name) != ARCHIVE_OK)
        return 1;
    size_t length = strlen(name);
    if (joinRecordPath(outputPath, sizeof(outputPath), setup.installDir, name, length) != 0)
        return 1;
    if (journalKeepName(&rollback->journal, name, &kept) != 0)
        return 1;
    if (makeRecordDirectories(rollback, name, kept) != 0)
        return 1;
    if (archiveReadSize(reader, &dataSize) != ARCHIVE_OK)
        return 1;
    setStatus(page, outputPath, FALSE);
    ProgressBarStep();
    if (rollbackPrepareFile(rollback, kept, length, outputPath) != 0)
        return 1;
    if (writeRecordFile(reader, outputPath, dataSize) != 0)
        return 1;
    SetupLog("File %s (%lu bytes)", outputPath, (unsigned long)dataSize);
    return 0;
}

// Handles every message waiting for the thread, the page's keys through the dialog manager, and
// stops as soon as one of them was a cancel. The page may be gone afterwards (its owner, the main
// window, was closed): that stops the copy like a cancel. A quit message belongs to the
// process's own loop: it is posted again with its exit code, and the copy stops.
static void pumpMessages(HWND page) {
    if (page == NULL)
        return;
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage((int)message.wParam);
            setup.copyFailed = 1;
            return;
        }
        if (!IsDialogMessageA(page, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (!IsWindow(page))
            setup.copyFailed = 1;
        if (setup.copyFailed)
            return;
    }
}

// Unpacks the archive record by record until all are written, one fails or the user cancels.
static void extractArchive(HWND page, const char *archivePath, CopyRollback *rollback) {
    ArchiveReader reader;
    if (setup.copyFailed || archiveOpen(&reader, archivePath) != ARCHIVE_OK) {
        if (page != NULL)
            MessageBoxA(page, DECOMPRESS_FAILED, NULL, MB_OK | MB_ICONERROR);
        copyFailure(DECOMPRESS_FAILED);
        return;
    }
    for (int index = 0; index < PAYLOAD_ENTRY_COUNT; index++) {
        // A failure only ever sets the flag: a cancel recorded meanwhile stays recorded.
        if (extractRecord(page, &reader, rollback) != 0)
            copyFailure("Copy stopped: a payload record could not be unpacked");
        if (!setup.copyFailed)
            pumpMessages(page);
        if (setup.copyFailed)
            break;
    }
    archiveClose(&reader);
}

// Deletes both temporary files, whether or not they were made.
static void deleteTempFiles(HWND page, const TempFiles *files) {
    setStatus(page, STATUS_DELETING, FALSE);
    if (files->archivePath[0] != '\0')
        DeleteFileA(files->archivePath);
    if (files->gzipPath[0] != '\0')
        DeleteFileA(files->gzipPath);
}

static INT_PTR CopyPageInit(HWND page, UINT, WPARAM, LPARAM) {
    PostMessageA(page, WM_COMMAND, CMD_START_COPY, 0);
    return 1;
}

static INT_PTR CopyPageCancel(HWND, UINT, UINT, LPARAM) {
    if (!setup.copyFailed)
        SetupLog("Copy cancelled by the user");
    setup.copyFailed = 1;
    return 1;
}

// Ends the copy on the destination: a whole copy keeps its files and drops the backups; any other
// takes back every change it noted, with a status line of its own while it works.
static void finishDestination(HWND page, CopyRollback *rollback) {
    if (!setup.copyFailed) {
        rollbackCommit(rollback);
        return;
    }
    setStatus(page, STATUS_UNDOING, TRUE);
    rollbackUndo(rollback);
}

int CopyPayload(HWND page) {
    TempFiles files = {};
    CopyRollback rollback;
    rollbackBegin(&rollback);
    int noTempDir = chooseTempDir();
    setup.copyFailed = 0;
    ProgressBarInit(GetDlgItem(page, IDC_PROGRESS_STRIP), PAYLOAD_ENTRY_COUNT);
    setStatus(page, STATUS_PREPARING, TRUE);
    ProgressBarStep();

    if (!noTempDir)
        nameTempFiles(&files);
    if (noTempDir || writePayload(files.gzipPath) != 0)
        copyFailure("Copy stopped: setup files could not be written to the temporary folder");
    if (!setup.copyFailed && decompressPayload(page, &files, &rollback) != 0)
        copyFailure("Copy stopped: setup files could not be decompressed");
    extractArchive(page, files.archivePath, &rollback);

    finishDestination(page, &rollback);
    deleteTempFiles(page, &files);
    ProgressBarDone();
    return setup.copyFailed;
}

static INT_PTR CopyPageRun(HWND page, UINT, UINT, LPARAM) {
    EndDialog(page, CopyPayload(page));
    return 0;
}

static const CommandEntry COPY_COMMAND_ROWS[] = {
    {CMD_START_COPY, CopyPageRun},
    {IDCANCEL, CopyPageCancel},
};
static const CommandTable COPY_COMMANDS = {TABLE_ROWS(COPY_COMMAND_ROWS), COPY_COMMAND_ROWS,
                                           DEFAULT_NONE};

static INT_PTR CopyPageCommand(HWND page, UINT, WPARAM wParam, LPARAM lParam) {
    return dispatchCommandTable(&COPY_COMMANDS, page, wParam, lParam);
}

static const MessageEntry COPY_MESSAGE_ROWS[] = {
    {WM_COMMAND, CopyPageCommand},
    {WM_INITDIALOG, CopyPageInit},
    {WM_PAINT, paintPagePicture},
};
static const MessageTable COPY_MESSAGES = {TABLE_ROWS(COPY_MESSAGE_ROWS), COPY_MESSAGE_ROWS,
                                           DEFAULT_NONE};

INT_PTR CALLBACK CopyPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchMessageTable(&COPY_MESSAGES, window, message, wParam, lParam);
}
