// The copy engine: inflates the payload resource straight into each record's file below
// installDir, notes every change in the copy's journal and takes them all back when the copy
// fails or is stopped. It knows no window: what it does goes to a CopyObserver, which the copy
// page paints and the unattended run logs.
#pragma once

// What the engine tells its observer, in the order it happens. Every function is given the
// observer's context.
struct CopyObserver {
    void (*phase)(void *context, const char *text); // a step of the copy begins: show it now
    void (*file)(void *context, const char *path);  // the file at path is being written
    void (*step)(void *context);                    // one more step of the copy's total is done
    // Asked often (after each file and each piece of a large one): nonzero stops the copy, as a
    // cancel. Its answer is also what stops a copy the observer's own input has cancelled.
    int (*poll)(void *context);
    void (*failure)(void *context, const char *text); // a failure the user must be told of
    void *context;
};

// The total of steps the observer is told of: one before the first file, one per record.
int copyStepTotal();

// The copy. Sets copyFailed: 0 when every file was written and the backups of replaced files
// dropped; 1 after a failure or a stop, with every change taken back. A failure (not a stop)
// also sets exitCode to EXIT_FAILED. Returns copyFailed.
int CopyPayload(const CopyObserver *observer);
