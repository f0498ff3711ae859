// The copy journal's undo when steps fail, and its bookkeeping across growth, with the file
// steps recorded instead of done. The undo order itself is checked end to end, by a cancelled
// reinstallation that must leave every file as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/copy_journal.h"

namespace {

// Records each step as "verb path"; a step on a path listed in failing fails.
struct StepLog {
    std::vector<std::string> steps;
    std::vector<std::string> stays;
    std::vector<std::string> failing;

    int take(const std::string &step) {
        steps.push_back(step);
        for (const std::string &path : failing)
            if (step.size() > path.size() &&
                step.compare(step.size() - path.size(), path.size(), path) == 0)
                return 1;
        return 0;
    }
};

int removeFile(void *log, const char *path) {
    return ((StepLog *)log)->take(std::string("delete ") + path);
}
int moveBack(void *log, const char *backup, const char *path) {
    return ((StepLog *)log)->take(std::string("move ") + backup + " -> " + path);
}
int removeFolder(void *log, const char *path) {
    return ((StepLog *)log)->take(std::string("rmdir ") + path);
}
void stays(void *log, const char *path) { ((StepLog *)log)->stays.push_back(path); }

const JournalUndoSteps STEPS = {removeFile, moveBack, removeFolder, stays};

// The changes of a copy that made Sub, wrote Sub\new.txt, replaced Old.exe, wrote Readme.wri.
struct SmallCopy {
    CopyJournal journal;
    SmallCopy() {
        journalInit(&journal);
        uint32_t at;
        EXPECT_EQ(journalKeepName(&journal, "Sub\\new.txt", &at), 0);
        journalNote(&journal, CHANGE_CREATED_FOLDER, at, 3);
        journalNote(&journal, CHANGE_CREATED_FILE, at, 11);
        EXPECT_EQ(journalKeepName(&journal, "Old.exe", &at), 0);
        journalNote(&journal, CHANGE_REPLACED_FILE, at, 7);
        EXPECT_EQ(journalKeepName(&journal, "Readme.wri", &at), 0);
        journalNote(&journal, CHANGE_CREATED_FILE, at, 10);
    }
    ~SmallCopy() { journalFree(&journal); }
};

} // namespace

// A held file does not stop the undo; a new file that cannot be deleted keeps its backup where
// it is (the move back would need its place); both are reported, with the folder they keep.
TEST(CopyJournal, FailedStepsAreReportedAndTheUndoGoesOn) {
    SmallCopy copy;
    StepLog log;
    log.failing = {"C:\\Q\\Old.exe", "C:\\Q\\Sub\\new.txt", "C:\\Q\\Sub"};
    EXPECT_EQ(journalUndo(&copy.journal, "C:\\Q", "C:\\Q\\~b", &STEPS, &log), 3);
    EXPECT_EQ(log.steps, (std::vector<std::string>{
                             "delete C:\\Q\\Readme.wri",
                             "delete C:\\Q\\Old.exe",
                             "delete C:\\Q\\Sub\\new.txt",
                             "rmdir C:\\Q\\Sub",
                         }));
    EXPECT_EQ(log.stays,
              (std::vector<std::string>{"C:\\Q\\Old.exe", "C:\\Q\\Sub\\new.txt", "C:\\Q\\Sub"}));
}

// Every step succeeds: each backup goes back to its own place, from the backup to the file and
// not the other way round; dropping the backups afterwards then names only the backup folder's
// files, never a restored one.
TEST(CopyJournal, ASuccessfulUndoPutsEachBackupBackAndDroppingThenTouchesOnlyBackups) {
    SmallCopy copy;
    StepLog log;
    EXPECT_EQ(journalUndo(&copy.journal, "C:\\Q", "C:\\Q\\~b", &STEPS, &log), 0);
    EXPECT_EQ(log.steps, (std::vector<std::string>{
                             "delete C:\\Q\\Readme.wri",
                             "delete C:\\Q\\Old.exe",
                             "move C:\\Q\\~b\\2 -> C:\\Q\\Old.exe",
                             "delete C:\\Q\\Sub\\new.txt",
                             "rmdir C:\\Q\\Sub",
                         }));
    EXPECT_TRUE(log.stays.empty());
    log.steps.clear();
    EXPECT_EQ(journalDropBackups(&copy.journal, "C:\\Q\\~b", removeFile, &log), 0);
    EXPECT_EQ(log.steps, (std::vector<std::string>{"delete C:\\Q\\~b\\2"}));
}

// Thousands of records outgrow the first allocation several times; every change still names
// its own path afterwards (the kept names moved with the store, offsets stayed right).
TEST(CopyJournal, KeepsEveryPathAcrossGrowth) {
    CopyJournal journal;
    journalInit(&journal);
    const int records = 3000;
    for (int i = 0; i < records; i++) {
        std::string name = "Folder" + std::to_string(i % 7) + "\\Deeper\\file" + std::to_string(i);
        uint32_t at;
        ASSERT_EQ(journalKeepName(&journal, name.c_str(), &at), 0);
        journalNote(&journal, CHANGE_CREATED_FOLDER, at, 7);
        journalNote(&journal, CHANGE_CREATED_FOLDER, at, 14);
        journalNote(&journal, CHANGE_CREATED_FILE, at, name.size());
    }
    ASSERT_EQ(journal.changeCount, (size_t)records * 3);
    char path[512];
    for (int i = 0; i < records; i += 499) {
        ASSERT_EQ(journalTargetPath(&journal, (size_t)i * 3 + 2, "D:", path, sizeof(path)), 0);
        EXPECT_EQ(std::string(path),
                  "D:\\Folder" + std::to_string(i % 7) + "\\Deeper\\file" + std::to_string(i));
        ASSERT_EQ(journalTargetPath(&journal, (size_t)i * 3 + 1, "D:", path, sizeof(path)), 0);
        EXPECT_EQ(std::string(path), "D:\\Folder" + std::to_string(i % 7) + "\\Deeper");
    }
    journalFree(&journal);
}
