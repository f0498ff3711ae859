// The copy page end to end: the real installer under Wine, driven through its pages as a user
// would, with the installed tree, the temporary files and the closing messages checked after.
// Damaged and hostile payloads are swapped into copies of the installer. A copy that is cancelled
// or fails leaves the machine as it was before the run.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "installer_run.h"
#include "support/installed_system.h"
#include "support/product_state.h"

using driver::CopyAction;
using driver::messageList;
using driver::RunOptions;
using driver::RunRecord;

namespace {

const char INSTALL_DIR[] = "C:\\Program files\\Quillary";
const char OUTSIDE_FILE[] = "C:\\Program files\\evil.txt";
const char SCRATCH_DIR[] = "C:\\quillary-copy-e2e";
const char SUCCESS_TEXT[] = "Quillary was successfully installed";
const char CANCEL_START[] = "Setup was canceled.";
const char DECOMPRESS_FAILED[] = "Can't decompress setup files";
const char STAYS_HEADING[] = "These could not be put back";
const int RECORD_COUNT = 129;

std::string environment(const char *name) { return driver::environment(name); }

bool readFile(const std::string &path, std::string *contents) {
    return driver::readWholeFile(path, contents);
}

bool exists(const std::string &path) { return driver::pathExists(path); }

bool isDirectory(const std::string &path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Gives the installers started while it lives another temporary directory (TMP and TEMP).
class TemporaryDirectoryOverride {
  public:
    explicit TemporaryDirectoryOverride(const char *folder) {
        hadTmp_ = GetEnvironmentVariableA("TMP", oldTmp_, sizeof(oldTmp_)) != 0;
        hadTemp_ = GetEnvironmentVariableA("TEMP", oldTemp_, sizeof(oldTemp_)) != 0;
        SetEnvironmentVariableA("TMP", folder);
        SetEnvironmentVariableA("TEMP", folder);
    }
    ~TemporaryDirectoryOverride() {
        SetEnvironmentVariableA("TMP", hadTmp_ ? oldTmp_ : NULL);
        SetEnvironmentVariableA("TEMP", hadTemp_ ? oldTemp_ : NULL);
    }

  private:
    char oldTmp_[MAX_PATH] = "", oldTemp_[MAX_PATH] = "";
    bool hadTmp_, hadTemp_;
};

// Every file below root by its relative name, and every directory, as they are on disk.
struct Tree {
    std::map<std::string, std::string> files;
    std::vector<std::string> directories;
};

void readTree(const std::string &root, Tree *tree) {
    for (const std::string &path : installed::listTree(root)) {
        if (path.back() == '\\')
            tree->directories.push_back(path.substr(0, path.size() - 1));
        else
            readFile(root + "\\" + path, &tree->files[path]);
    }
}

Tree installedTree() {
    Tree tree;
    readTree(INSTALL_DIR, &tree);
    return tree;
}

std::string lower(std::string text) {
    CharLowerA(&text[0]);
    return text;
}

void expectTempFilesGone() {
    EXPECT_FALSE(exists(driver::tempFilePath("filesdata.gz")))
        << "the temporary payload was left behind";
    EXPECT_FALSE(exists(driver::tempFilePath("filesdata.dat")))
        << "the temporary archive was left behind";
}

// Runs the installer under test (or exe) to its end with one copy action.
RunRecord install(CopyAction action, const std::string &exe = "", bool watch = false) {
    RunOptions options;
    options.action = action;
    options.watchStatus = watch;
    options.watchTempFiles = watch;
    return driver::runInstaller(exe.empty() ? environment("QUILLARY_INSTALLER") : exe, options);
}

// The product tree the payload was packed from: names in archive order and their contents.
struct Product {
    std::vector<std::string> names;
    std::map<std::string, std::string> files;
};

const Product &product() {
    static Product loaded;
    if (!loaded.names.empty())
        return loaded;
    std::string build = environment("QUILLARY_BUILD_DIR");
    std::string list;
    if (!readFile(build + "\\" QUILLARY_PRODUCT_TREE "\\sample-product.list", &list))
        return loaded;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos)
            end = list.size();
        std::string name = list.substr(start, end - start);
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        if (!name.empty()) {
            loaded.names.push_back(name);
            readFile(build + "\\" QUILLARY_PRODUCT_TREE "\\sample-product\\" + name,
                     &loaded.files[lower(name)]);
        }
        start = end + 1;
    }
    return loaded;
}

// The first count records of an archive.
std::string firstRecords(const std::string &archive, int count) {
    size_t at = 0;
    for (int i = 0; i < count && at < archive.size(); i++) {
        size_t nameLength = (unsigned char)archive[at];
        size_t sizeAt = at + 1 + nameLength;
        uint32_t size = 0;
        for (int b = 0; b < 4 && sizeAt + b < archive.size(); b++)
            size |= (uint32_t)(unsigned char)archive[sizeAt + b] << (8 * b);
        at = sizeAt + 4 + size;
    }
    return archive.substr(0, at);
}

std::string realPayload() {
    std::string payload;
    readFile(environment("QUILLARY_BUILD_DIR") + "\\" QUILLARY_PRODUCT_TREE "\\payload\\payload.gz",
             &payload);
    return payload;
}

std::string gunzip(const std::string &gzip) {
    std::string path = std::string(SCRATCH_DIR) + "\\unpack.gz";
    driver::writeWholeFile(path, gzip);
    std::string out;
    gzFile input = gzopen(path.c_str(), "rb");
    char buffer[16384];
    int got;
    while (input != NULL && (got = gzread(input, buffer, sizeof(buffer))) > 0)
        out.append(buffer, got);
    if (input != NULL)
        gzclose(input);
    DeleteFileA(path.c_str());
    return out;
}

// One gzip member holding data.
std::string gzip(const std::string &data) {
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()) + 64, '\0');
    stream.next_in = (Bytef *)data.data();
    stream.avail_in = (uInt)data.size();
    stream.next_out = (Bytef *)&out[0];
    stream.avail_out = (uInt)out.size();
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string record(const std::string &name, const std::string &data, long long declared = -1) {
    std::string out(1, (char)name.size());
    out += name;
    unsigned int size = declared < 0 ? (unsigned int)data.size() : (unsigned int)declared;
    for (int i = 0; i < 4; i++)
        out += (char)((size >> (8 * i)) & 0xFF);
    return out + data;
}

// A copy of the installer under test whose payload resource holds payload instead.
std::string installerWithPayload(const std::string &label, const std::string &payload) {
    CreateDirectoryA(SCRATCH_DIR, NULL);
    std::string copy = std::string(SCRATCH_DIR) + "\\setup-" + label + ".exe";
    if (!CopyFileA(environment("QUILLARY_INSTALLER").c_str(), copy.c_str(), FALSE))
        return "";
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    if (update == NULL)
        return "";
    BOOL ok = UpdateResourceA(update, RT_RCDATA, MAKEINTRESOURCEA(15734),
                              MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), (void *)payload.data(),
                              (DWORD)payload.size());
    if (!EndUpdateResourceA(update, !ok) || !ok)
        return "";
    return copy;
}

// A copy of the installer carrying a bigger product of the same record count: 129 files of
// 1 MiB each (129 MiB to write, a payload of about 130 KB), so its copy page works long enough
// for a user's early cancel to land well before the end. Made once per test run.
const size_t BIG_RECORD_BYTES = 1 << 20;
std::string bigProductInstaller() {
    static std::string exe;
    if (!exe.empty() && exists(exe))
        return exe;
    std::string archive;
    for (int i = 0; i < RECORD_COUNT; i++) {
        char name[32];
        snprintf(name, sizeof name, "Data\\part%03d.bin", i);
        archive += record(name, std::string(BIG_RECORD_BYTES, (char)('a' + i % 26)));
    }
    exe = installerWithPayload("big-product", gzip(archive));
    return exe;
}

// The files the run's log says were written ("File <path> (<size> bytes)" lines).
int filesLogged(const std::string &log) {
    std::string text;
    if (!driver::readWholeFile(log, &text))
        return -1;
    int count = 0;
    for (size_t at = text.find("File "); at != std::string::npos; at = text.find("File ", at + 1))
        count += at == 0 || text[at - 1] == '\n';
    return count;
}

// Both trees hold the same files, byte for byte, and the same folders. Names what differs.
void expectSameTree(const Tree &before, const Tree &after) {
    EXPECT_EQ(before.directories, after.directories);
    for (const auto &file : before.files) {
        auto now = after.files.find(file.first);
        if (now == after.files.end())
            ADD_FAILURE() << "gone: " << file.first;
        else
            EXPECT_TRUE(now->second == file.second) << "changed: " << file.first;
    }
    for (const auto &file : after.files)
        EXPECT_TRUE(before.files.count(file.first)) << "new: " << file.first;
}

// A first installation taken back: the folder the destination page made is gone with all it held
// (the backup folder lives in it), and no registry entry was written.
void expectNothingInstalled() {
    EXPECT_FALSE(exists(INSTALL_DIR)) << "the installation folder stays, with "
                                      << installed::listTree(INSTALL_DIR).size() << " entries";
    EXPECT_EQ(installed::describeKey(installed::UNINSTALL_ENTRY), "");
}

bool sawMessage(const RunRecord &run, const std::string &start) {
    for (const auto &message : run.messages)
        if (message.text.compare(0, start.size(), start) == 0)
            return true;
    return false;
}

// The run went through the pages and ended with the cancel message only, and with the exit
// code of a failure (2) or, for the user's own cancel, 1. That the copy page ran
// is shown by what each caller checks it left (a file, its message): a page that fails at its
// second record is up for a few milliseconds, too short to be sure to see it from outside.
void expectFailedCopy(const RunRecord &run, DWORD exitCode = 2) {
    EXPECT_EQ(run.failure, "");
    EXPECT_TRUE(run.sawDestination);
    EXPECT_TRUE(sawMessage(run, CANCEL_START)) << messageList(run);
    EXPECT_FALSE(sawMessage(run, SUCCESS_TEXT)) << messageList(run);
    EXPECT_EQ(run.pagesAfterCopy, 0) << "no page may follow a failed copy";
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_FALSE(sawMessage(run, STAYS_HEADING)) << "everything is put back: " << messageList(run);
    expectTempFilesGone();
}

// The payload is inflated straight into the files: neither of the names the copy once used for
// its temporary files appears while it works.
void expectNoTempFilesSeen(const RunRecord &run) {
    EXPECT_FALSE(run.sawTempPayload) << "filesdata.gz appeared";
    EXPECT_FALSE(run.sawTempArchive) << "filesdata.dat appeared";
}

void expectDecompressFailureShown(const RunRecord &run) {
    bool shown = false;
    for (const auto &message : run.messages) {
        if (message.text != DECOMPRESS_FAILED)
            continue;
        shown = true;
        EXPECT_NE(message.caption, "Quillary - Setup") << "the message has no caption of its own";
        EXPECT_STREQ(driver::boxIconName(message.icon), "error");
    }
    EXPECT_TRUE(shown) << messageList(run);
}

// Every installed file is a whole copy of its product file; returns how many there are.
int expectInstalledFilesWhole(const Tree &tree) {
    const Product &source = product();
    for (const auto &file : tree.files) {
        auto match = source.files.find(lower(file.first));
        if (match == source.files.end()) {
            ADD_FAILURE() << "installed file not in the product: " << file.first;
            continue;
        }
        EXPECT_TRUE(file.second == match->second) << file.first << ": " << file.second.size()
                                                  << " bytes instead of " << match->second.size();
    }
    return (int)tree.files.size();
}

class CopyPage : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(environment("QUILLARY_INSTALLER").empty());
        ASSERT_EQ(product().names.size(), (size_t)RECORD_COUNT) << "the sample product's list";
        driver::removeTree(INSTALL_DIR);
        driver::removeTree(OUTSIDE_FILE);
        driver::removeTree(SCRATCH_DIR);
        CreateDirectoryA(SCRATCH_DIR, NULL);
        DeleteFileA(driver::tempFilePath("filesdata.gz").c_str());
        DeleteFileA(driver::tempFilePath("filesdata.dat").c_str());
    }
    void TearDown() override {
        // A run that went through ends with the shortcut page's Finish: its shell window, group
        // and registry entries go too.
        installed::undoInstallation(INSTALL_DIR);
        driver::removeTree(SCRATCH_DIR);
        driver::removeTree(OUTSIDE_FILE);
    }
};

} // namespace

TEST_F(CopyPage, HappyPathInstallsEveryFileByteForByte) {
    RunRecord run = install(CopyAction::LET_IT_RUN, "", true);
    EXPECT_EQ(run.failure, "");
    ASSERT_TRUE(run.sawCopyPage);
    EXPECT_TRUE(sawMessage(run, SUCCESS_TEXT)) << messageList(run);
    EXPECT_FALSE(sawMessage(run, CANCEL_START)) << messageList(run);
    EXPECT_EQ(run.pagesAfterCopy, 1) << "the shortcut page follows a whole copy";
    EXPECT_EQ(run.exitCode, 0u);

    Tree tree = installedTree();
    const Product &source = product();
    EXPECT_EQ(tree.files.size(), source.files.size()) << "no file more and none less";
    for (const std::string &name : source.names) {
        std::string installed;
        ASSERT_TRUE(readFile(std::string(INSTALL_DIR) + "\\" + name, &installed)) << name;
        EXPECT_EQ(crc32(0, (const Bytef *)installed.data(), (uInt)installed.size()),
                  crc32(0, (const Bytef *)source.files.at(lower(name)).data(),
                        (uInt)source.files.at(lower(name)).size()))
            << name;
    }
    expectInstalledFilesWhole(tree);
    std::string gallery = std::string(INSTALL_DIR) + "\\Gallerix";
    EXPECT_TRUE(isDirectory(gallery)) << "Gallerix is created";
    Tree galleryTree;
    readTree(gallery, &galleryTree);
    EXPECT_TRUE(galleryTree.files.empty() && galleryTree.directories.empty())
        << "Gallerix is created empty";
    expectNoTempFilesSeen(run);
    expectTempFilesGone();

    // The status line names each step and each file by its full path. (The last text, set just
    // before the page closes without pumping again, cannot be read from outside.)
    ASSERT_FALSE(run.statusSeen.empty());
    int paths = 0;
    const std::string prefix = std::string(INSTALL_DIR) + "\\";
    for (const std::string &status : run.statusSeen) {
        bool isPath = status.compare(0, prefix.size(), prefix) == 0 &&
                      source.files.count(lower(status.substr(prefix.size())));
        paths += isPath;
        EXPECT_TRUE(isPath || status == "Preparing to decompress setup files" ||
                    status == "Decompressing setup files" || status == "Deleting temproary files")
            << "unexpected status \"" << status << "\"";
    }
    EXPECT_GT(paths, 0) << "no file's path was seen in the status line";
}

// A temporary directory that does not exist does not matter: the copy writes nothing there.
TEST_F(CopyPage, MissingTemporaryDirectoryDoesNotStopTheCopy) {
    RunRecord run;
    {
        TemporaryDirectoryOverride missing("C:\\quillary-no-such-temp");
        RunOptions options;
        options.watchTempFiles = true; // the watcher sees the same TMP as the installer
        run = driver::runInstaller(environment("QUILLARY_INSTALLER"), options);
    }
    expectNoTempFilesSeen(run);
    EXPECT_TRUE(sawMessage(run, SUCCESS_TEXT)) << messageList(run);
    EXPECT_EQ(expectInstalledFilesWhole(installedTree()), RECORD_COUNT);
    EXPECT_FALSE(exists("C:\\quillary-no-such-temp"));
}

// The main window closed while the files are written ("End task" sends WM_CLOSE; command 300 is
// the window's own exit): the copy stops between two whole files and is taken back, the
// temporary files go, no further page or message comes, and the process ends with exit code 1.
TEST_F(CopyPage, MainWindowClosedWhileFilesAreWrittenEndsTheProcessAsACancel) {
    struct {
        const char *how;
        CopyAction action;
    } cases[] = {{"WM_CLOSE", CopyAction::CLOSE_MAIN_WINDOW},
                 {"command 300", CopyAction::EXIT_COMMAND}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        driver::removeTree(INSTALL_DIR);
        RunOptions options;
        options.action = c.action;
        options.timeoutMs = 60000; // the whole run takes a few seconds; a hang ends it
        std::string exe = bigProductInstaller();
        ASSERT_FALSE(exe.empty()) << "the bigger product's installer could not be made";
        RunRecord run = driver::runInstaller(exe, options);
        EXPECT_EQ(run.failure, "");
        EXPECT_TRUE(run.acted) << "the page was not seen working on the files";
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_TRUE(run.messages.empty()) << messageList(run);
        EXPECT_EQ(run.pagesAfterCopy, 0);
        expectTempFilesGone();
        expectNothingInstalled();
    }
}

// Cancel pressed early on the copy page of a product that takes a while to write: the copy
// stops long before its end (the log lists far fewer files written than the product has) and
// everything is taken back.
TEST_F(CopyPage, EarlyCancelOnABigProductStopsTheCopyLongBeforeItsEnd) {
    std::string exe = bigProductInstaller();
    ASSERT_FALSE(exe.empty()) << "the bigger product's installer could not be made";
    std::string log = std::string(SCRATCH_DIR) + "\\cancel.log";
    RunOptions options;
    options.action = CopyAction::CANCEL_WHILE_WRITING;
    options.arguments = "/LOG=" + log;
    RunRecord run = driver::runInstaller(exe, options);
    EXPECT_TRUE(run.acted) << "the page was not seen working on the files";
    expectFailedCopy(run, 1);
    int written = filesLogged(log);
    EXPECT_GE(written, 1) << "the log lists no file written";
    EXPECT_LT(written, RECORD_COUNT / 2) << "the cancel landed late";
    expectNothingInstalled();
    std::string text;
    ASSERT_TRUE(driver::readWholeFile(log, &text));
    EXPECT_NE(text.find("Copy cancelled by the user"), std::string::npos) << text;
    printf("early cancel: %d of %d files written before the copy stopped\n", written, RECORD_COUNT);
}

// The first record is written before the cancel is noticed; the undo takes it back with the
// folder the destination page made.
TEST_F(CopyPage, CancelAsSoonAsThePageShowsLeavesNoInstallation) {
    struct {
        const char *how;
        CopyAction action;
    } cases[] = {{"a click on Cancel", CopyAction::CLICK_CANCEL},
                 {"Escape", CopyAction::PRESS_ESCAPE},
                 {"Enter", CopyAction::PRESS_ENTER}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        driver::removeTree(INSTALL_DIR);
        RunRecord run = install(c.action);
        expectFailedCopy(run, 1);
        expectNothingInstalled();
    }
}

// A previous installation holds the read-me file in a way the page cannot replace: open by
// another program without sharing, or a folder of that name. (Under Wine run as root the
// read-only attribute does not stop a write, so it cannot stand for an unwritable file here.)
// The files written before it are taken back; the folder and the read-me, there before, stay.
TEST_F(CopyPage, UnwritableDestinationFileFailsTheCopy) {
    const std::vector<std::string> &names = product().names;
    size_t at = 0;
    while (at < names.size() && lower(names[at]) != "readme.wri")
        at++;
    ASSERT_LT(at + 1, names.size());
    std::string readme = std::string(INSTALL_DIR) + "\\" + names[at];
    for (const char *how : {"locked", "folder"}) {
        SCOPED_TRACE(how);
        driver::removeTree(INSTALL_DIR);
        ASSERT_TRUE(CreateDirectoryA(INSTALL_DIR, NULL));
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (std::string(how) == "locked") {
            ASSERT_TRUE(driver::writeWholeFile(readme, "kept"));
            lock = CreateFileA(readme.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
            ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        } else {
            ASSERT_TRUE(CreateDirectoryA(readme.c_str(), NULL));
        }
        RunRecord run = install(CopyAction::LET_IT_RUN);
        if (lock != INVALID_HANDLE_VALUE)
            CloseHandle(lock);
        expectFailedCopy(run);
        Tree tree = installedTree();
        if (std::string(how) == "locked") {
            EXPECT_EQ(tree.files[names[at]], "kept") << "the locked file is left as it was";
            tree.files.erase(names[at]);
            EXPECT_TRUE(tree.directories.empty());
        } else {
            EXPECT_EQ(tree.directories, std::vector<std::string>{names[at]});
        }
        EXPECT_EQ(expectInstalledFilesWhole(tree), 0) << "the records before it are taken back";
    }
}

TEST_F(CopyPage, DamagedPayloadsShowTheMessageAndInstallNoFile) {
    std::string payload = realPayload();
    ASSERT_GT(payload.size(), 1000u);
    std::string badChecksum = payload;
    badChecksum[badChecksum.size() - 8] ^= 0x5A; // first byte of the CRC-32 in the trailer
    std::string badLength = payload;
    badLength[badLength.size() - 4] ^= 0x01;
    struct {
        const char *label;
        std::string bytes;
        const char *why;
    } cases[] = {{"crc", badChecksum, "incorrect data check"},
                 {"length", badLength, "incorrect length check"},
                 {"truncated", payload.substr(0, payload.size() / 2), "unexpected end of file"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        driver::removeTree(INSTALL_DIR);
        std::string exe = installerWithPayload(c.label, c.bytes);
        ASSERT_FALSE(exe.empty()) << "the payload resource could not be replaced";
        RunRecord run = install(CopyAction::LET_IT_RUN, exe);
        expectFailedCopy(run);
        expectDecompressFailureShown(run);
        expectNothingInstalled();
        // zlib's own text says what is wrong with the payload.
        EXPECT_TRUE(sawMessage(run, std::string("Quillary Setup: ") + c.why + "\n"))
            << messageList(run);
    }
}

TEST_F(CopyPage, HostileArchivesFailWithoutWritingOutsideTheDestination) {
    std::string archive = gunzip(realPayload());
    ASSERT_GT(archive.size(), 1000u);
    const std::string first = record("first.txt", "first file\r\n");
    const std::string longDirectory(240, 'd');
    struct {
        const char *label;
        std::string archive;
        std::vector<std::string> mustNotExist; // relative to the destination, or absolute
    } cases[] = {
        {"climb", first + record("..\\evil.txt", "outside"), {OUTSIDE_FILE}},
        {"climb-below", first + record("sub\\..\\..\\evil.txt", "outside"), {OUTSIDE_FILE}},
        {"dots", first + record("...\\evil.txt", "outside"), {OUTSIDE_FILE}},
        {"absolute", first + record("C:\\Program files\\evil.txt", "outside"), {OUTSIDE_FILE}},
        {"few-records", first + record("second.txt", "second"), {}},
        {"size-beyond-end", first + record("huge.bin", "short", 1000000), {"huge.bin"}},
        {"long-directory",
         first + record(longDirectory + "\\x.txt", "deep"),
         {longDirectory, longDirectory + "\\x.txt"}},
        // Half the product, its subfolders made and filled, then a record with a control byte
        // in its name, then the rest.
        {"middle",
         firstRecords(archive, RECORD_COUNT / 2) + record("bad\x01name.txt", "damaged") +
             archive.substr(firstRecords(archive, RECORD_COUNT / 2).size()),
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        driver::removeTree(INSTALL_DIR);
        std::string exe = installerWithPayload(c.label, gzip(c.archive));
        ASSERT_FALSE(exe.empty());
        RunRecord run = install(CopyAction::LET_IT_RUN, exe);
        expectFailedCopy(run);
        EXPECT_FALSE(exists(OUTSIDE_FILE)) << "a file was written outside the destination";
        expectNothingInstalled();
        for (const std::string &path : c.mustNotExist) {
            std::string full =
                path.size() > 1 && path[1] == ':' ? path : std::string(INSTALL_DIR) + "\\" + path;
            EXPECT_FALSE(exists(full)) << full;
        }
    }
}

TEST_F(CopyPage, PlainAndMultiMemberPayloadsInstallTheWholeProduct) {
    std::string archive = gunzip(realPayload());
    ASSERT_GT(archive.size(), 1000u);
    size_t half = archive.size() / 2;
    struct {
        const char *label;
        std::string payload;
    } cases[] = {{"plain", archive},
                 {"two-members", gzip(archive.substr(0, half)) + gzip(archive.substr(half))}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        driver::removeTree(INSTALL_DIR);
        std::string exe = installerWithPayload(c.label, c.payload);
        ASSERT_FALSE(exe.empty());
        RunRecord run = install(CopyAction::LET_IT_RUN, exe);
        EXPECT_TRUE(sawMessage(run, SUCCESS_TEXT)) << messageList(run);
        Tree tree = installedTree();
        EXPECT_EQ(expectInstalledFilesWhole(tree), RECORD_COUNT);
        expectTempFilesGone();
    }
}

TEST_F(CopyPage, EmptyRecordsMakeEmptyFiles) {
    // A full set of records, three of them empty, one of those in a subfolder.
    std::string archive;
    for (int i = 0; i < RECORD_COUNT; i++) {
        std::string name = "file" + std::to_string(i) + ".txt";
        if (i % 10 == 3)
            name = "Sub\\" + name;
        bool empty = i == 0 || i == 13 || i == RECORD_COUNT - 1;
        archive += record(name, empty ? "" : "contents of " + name);
    }
    std::string exe = installerWithPayload("empty", gzip(archive));
    ASSERT_FALSE(exe.empty());
    RunRecord run = install(CopyAction::LET_IT_RUN, exe);
    EXPECT_TRUE(sawMessage(run, SUCCESS_TEXT)) << messageList(run);
    Tree tree = installedTree();
    EXPECT_EQ(tree.files.size(), (size_t)RECORD_COUNT);
    EXPECT_TRUE(tree.files.count("file0.txt") && tree.files["file0.txt"].empty());
    EXPECT_TRUE(tree.files.count("Sub\\file13.txt") && tree.files["Sub\\file13.txt"].empty());
    EXPECT_EQ(tree.files["file5.txt"], "contents of file5.txt");
    expectTempFilesGone();
}

// Run only with C: on a small drive (ctest's e2e.copy-disk-full, scripts/small-drive.sh
// with-small-c <build> 3698000): the destination passes the free-space check, then fills up.
class CopyPageOnSmallC : public CopyPage {};

TEST_F(CopyPageOnSmallC, DiskFullOnTheDestinationFailsTheCopy) {
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
    ASSERT_LE(free.QuadPart, 4000000u)
        << "C: is not the small drive this scenario needs (" << free.QuadPart / 1000
        << " KB free): run it through ctest -R e2e.copy-disk-full";
    RunRecord run = install(CopyAction::LET_IT_RUN);
    expectFailedCopy(run);
    expectNothingInstalled();
}

namespace {

// The program group the shortcut page made: its folder and the links in it.
std::string groupFolder() { return installed::shellFolder("Common Programs") + "\\Quillary"; }

// A user's changes to an installation: another program file (the payload's first record, so it
// is replaced before any cancel can be seen) and an edited read-me.
void changeInstallation() {
    ASSERT_EQ(lower(product().names[0]), "quillary.exe") << "the program is the first record";
    ASSERT_TRUE(driver::writeWholeFile(std::string(INSTALL_DIR) + "\\Quillary.exe", "older build"));
    std::string readme = std::string(INSTALL_DIR) + "\\Readme.wri", text;
    ASSERT_TRUE(readFile(readme, &text));
    ASSERT_TRUE(driver::writeWholeFile(readme, text + "the user's own note"));
}

} // namespace

// Installing over an installation: a whole run leaves no backup, a cancelled one puts back every
// file as it was, and the next whole run gives the same installation as the first.
TEST_F(CopyPage, ReinstallCancelledLeavesTheInstallationAsItWasAndAWholeOneEqualsTheFirst) {
    RunRecord first = install(CopyAction::LET_IT_RUN);
    ASSERT_TRUE(sawMessage(first, SUCCESS_TEXT)) << messageList(first);
    installed::closeShellWindows();
    Tree installedOnce = installedTree();
    EXPECT_EQ(expectInstalledFilesWhole(installedOnce), RECORD_COUNT);
    std::vector<std::string> folders = installed::manifestFolders();
    folders.push_back("Gallerix");
    std::sort(folders.begin(), folders.end());
    std::vector<std::string> seen = installedOnce.directories;
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, folders) << "a folder besides the product's: a backup folder left behind?";
    std::string entries = installed::productEntries();
    std::vector<std::string> links = installed::folderEntries(groupFolder());
    ASSERT_EQ(links.size(), 3u);

    changeInstallation();
    Tree changed = installedTree();
    RunRecord cancelled = install(CopyAction::CLICK_CANCEL);
    expectFailedCopy(cancelled, 1);
    expectSameTree(changed, installedTree());
    EXPECT_EQ(installed::productEntries(), entries);
    EXPECT_EQ(installed::folderEntries(groupFolder()), links);

    RunRecord again = install(CopyAction::LET_IT_RUN);
    EXPECT_TRUE(sawMessage(again, SUCCESS_TEXT)) << messageList(again);
    EXPECT_EQ(again.exitCode, 0u);
    expectSameTree(installedOnce, installedTree());
    EXPECT_EQ(installed::productEntries(), entries);
}

// Run only with C: on a small drive (ctest's e2e.reinstall-disk-full): an installation is already
// there, and the free space left passes the destination's check but cannot hold the new files
// beside the old ones moved aside.
class ReinstallOnSmallC : public CopyPage {};

TEST_F(ReinstallOnSmallC, DiskFullDuringAReinstallationPutsEveryFileBack) {
    // The installation as a previous run left it, written here so that it fits the small drive.
    ASSERT_TRUE(CreateDirectoryA(INSTALL_DIR, NULL));
    for (const std::string &folder : installed::manifestFolders())
        ASSERT_TRUE(CreateDirectoryA((std::string(INSTALL_DIR) + "\\" + folder).c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((std::string(INSTALL_DIR) + "\\Gallerix").c_str(), NULL));
    for (const std::string &name : product().names)
        ASSERT_TRUE(driver::writeWholeFile(std::string(INSTALL_DIR) + "\\" + name,
                                           product().files.at(lower(name))))
            << name;
    changeInstallation();
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
    ASSERT_TRUE(free.QuadPart >= 3698000u && free.QuadPart < 3941974u)
        << "C: is not the small drive this scenario needs (" << free.QuadPart
        << " bytes free): run it through ctest -R e2e.reinstall-disk-full";

    Tree before = installedTree();
    RunRecord run = install(CopyAction::LET_IT_RUN);
    expectFailedCopy(run);
    expectSameTree(before, installedTree());
}

namespace {

// Unattended (/S): the interactive defaults with no window at all; the caller learns the outcome
// from the exit code and, when asked, the log.
const char UNATTENDED_DIR[] = "C:\\Apps\\Quillary Test";

RunRecord installUnattended(const std::string &arguments, std::string exe = "") {
    RunOptions options;
    options.arguments = arguments;
    return driver::runInstaller(exe.empty() ? environment("QUILLARY_INSTALLER") : exe, options);
}

std::string lines(const std::vector<std::string> &texts) {
    std::string out;
    for (const std::string &text : texts)
        out += text + "\n";
    return out;
}

// The three group links, each pointing at its file in installDir.
void expectGroupLinksInto(const std::string &group, const std::string &installDir) {
    for (const char *name : {"Quillary.lnk", "Uninstall.lnk", "Readme.lnk"}) {
        installed::Link link = installed::readLink(group + "\\" + name);
        EXPECT_TRUE(link.loaded) << name;
        EXPECT_EQ(lower(link.target.substr(0, installDir.size() + 1)), lower(installDir + "\\"))
            << name << " -> " << link.target;
    }
}

class Unattended : public CopyPage {
  protected:
    void TearDown() override {
        CopyPage::TearDown();
        driver::removeTree("C:\\Apps");
    }
};

} // namespace

TEST_F(Unattended, InstallsTheDefaultsShowingNothingAndLogsEveryFileAndValue) {
    std::string log = std::string(SCRATCH_DIR) + "\\setup log.txt";
    RunRecord run = installUnattended("/S \"/LOG=" + log + "\"");
    EXPECT_EQ(run.failure, "");
    EXPECT_TRUE(run.windowsSeen.empty()) << lines(run.windowsSeen);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(expectInstalledFilesWhole(installedTree()), RECORD_COUNT);
    std::string group = installed::shellFolder("Common Programs") + "\\Quillary";
    std::string entries = installed::expectedEntries(INSTALL_DIR, group);
    EXPECT_EQ(installed::productEntries(), entries);
    EXPECT_EQ(installed::folderEntries(group).size(), 3u);
    expectGroupLinksInto(group, INSTALL_DIR);
    EXPECT_FALSE(exists(installed::shellFolder("Common Desktop") + "\\Quillary.lnk"));
    EXPECT_FALSE(driver::waitFor([] { return !installed::shellWindows().empty(); }, 1000))
        << "a shell window opened";

    std::string text;
    ASSERT_TRUE(readFile(log, &text)) << log;
    for (const std::string &name : product().names)
        EXPECT_NE(text.find(std::string(INSTALL_DIR) + "\\" + name + " ("), std::string::npos)
            << name;
    // Every value's data, as the registry holds it ("key [name] = data" lines).
    size_t at = 0;
    for (size_t end; (end = entries.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = entries.substr(at, end - at);
        std::string data = line.substr(line.find(" = ") + 3);
        EXPECT_TRUE(text.find(" = \"" + data + "\"\r\n") != std::string::npos ||
                    text.find(" = " + data + "\r\n") != std::string::npos)
            << line;
    }
    EXPECT_NE(text.find("Exit code 0"), std::string::npos) << text;
}

TEST_F(Unattended, InstallsIntoTheFolderGivenAndFailsOnAnUnusableOne) {
    RunRecord run = installUnattended("/S /D=" + std::string(UNATTENDED_DIR));
    EXPECT_TRUE(run.windowsSeen.empty()) << lines(run.windowsSeen);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(installed::countFiles(UNATTENDED_DIR), RECORD_COUNT);
    EXPECT_EQ(installed::registryText(installed::UNINSTALL_ENTRY, "Progdir"), UNATTENDED_DIR);
    expectGroupLinksInto(installed::shellFolder("Common Programs") + "\\Quillary", UNATTENDED_DIR);
    installed::deleteProductEntries();

    // No such drive: failed, nothing shown, nothing written; the log says why and the code.
    std::string log = std::string(SCRATCH_DIR) + "\\refused.log";
    RunRecord refused = installUnattended("/LOG=" + log + " /S /D=Q:\\Nowhere");
    EXPECT_TRUE(refused.windowsSeen.empty()) << lines(refused.windowsSeen);
    EXPECT_EQ(refused.exitCode, 2u);
    EXPECT_FALSE(installed::keyExists(installed::UNINSTALL_ENTRY));
    std::string text;
    ASSERT_TRUE(readFile(log, &text)) << log;
    EXPECT_NE(text.find("Destination \"Q:\\Nowhere\" refused"), std::string::npos) << text;
    EXPECT_NE(text.find("Exit code 2"), std::string::npos) << text;

    // A record damaged halfway: failed, and the copy taken back, folders made for /D= included.
    std::string archive = gunzip(realPayload());
    std::string half = firstRecords(archive, RECORD_COUNT / 2);
    std::string exe =
        installerWithPayload("unattended-middle", gzip(half + record("bad\x01name.txt", "damaged") +
                                                       archive.substr(half.size())));
    ASSERT_FALSE(exe.empty());
    driver::removeTree("C:\\Apps");
    RunRecord damaged = installUnattended("/S /LOG=" + log + " /D=" + UNATTENDED_DIR, exe);
    EXPECT_TRUE(damaged.windowsSeen.empty()) << lines(damaged.windowsSeen);
    EXPECT_EQ(damaged.exitCode, 2u);
    EXPECT_FALSE(exists("C:\\Apps")) << "the folders made for the destination stay";
    ASSERT_TRUE(readFile(log, &text)) << log;
    EXPECT_NE(text.find("Undo: deleted " + std::string(UNATTENDED_DIR) + "\\"), std::string::npos)
        << text;
}

// Links named as the copy's old temporary files, in the temporary folder, leading to two files
// of another user: the unattended copy, writing no temporary file, leaves the links and what
// they lead to as they were, and installs the whole product.
TEST_F(Unattended, LinksNamedAsTemporaryFilesAreLeftUntouched) {
    const std::string victims[] = {std::string(SCRATCH_DIR) + "\\victim.gz",
                                   std::string(SCRATCH_DIR) + "\\victim.dat"};
    const char *names[] = {"filesdata.gz", "filesdata.dat"};
    for (int i = 0; i < 2; i++) {
        ASSERT_TRUE(driver::writeWholeFile(victims[i], std::string("kept ") + names[i]));
        ASSERT_TRUE(installed::makeFileLink(victims[i], driver::tempFilePath(names[i])))
            << "the host could not make the link " << names[i];
    }
    RunRecord run = installUnattended("/S");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(expectInstalledFilesWhole(installedTree()), RECORD_COUNT);
    for (int i = 0; i < 2; i++) {
        std::string kept;
        EXPECT_TRUE(readFile(victims[i], &kept)) << victims[i];
        EXPECT_EQ(kept, std::string("kept ") + names[i]);
        EXPECT_NE(GetFileAttributesA(driver::tempFilePath(names[i]).c_str()),
                  INVALID_FILE_ATTRIBUTES)
            << "the link " << names[i] << " was removed";
        installed::removeFileLink(driver::tempFilePath(names[i]));
    }
}

// A reinstallation whose Brush folder has become a link to another folder: the copy writes
// nothing through it, fails, and takes back everything; the log names the link.
TEST_F(Unattended, ReinstallationThroughALinkedFolderFailsAndWritesNothingThere) {
    ASSERT_EQ(installUnattended("/S").exitCode, 0u);
    installed::deleteProductEntries();
    Tree before = installedTree();
    std::string brush = std::string(INSTALL_DIR) + "\\Brush";
    std::string elsewhere = std::string(SCRATCH_DIR) + "\\elsewhere";
    ASSERT_TRUE(isDirectory(brush)) << "the product has a Brush folder";
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), NULL));
    ASSERT_TRUE(driver::writeWholeFile(elsewhere + "\\mine.txt", "a user's own file"));
    driver::removeTree(brush);
    ASSERT_TRUE(installed::makeFolderLink(elsewhere, brush)) << "the host could not link Brush";

    std::string log = std::string(SCRATCH_DIR) + "\\linked.log";
    RunRecord run = installUnattended("/S /LOG=" + log);
    EXPECT_TRUE(run.windowsSeen.empty()) << lines(run.windowsSeen);
    EXPECT_EQ(run.exitCode, 2u);
    Tree target;
    readTree(elsewhere, &target);
    EXPECT_EQ(target.files.size(), 1u) << "files were written through the link";
    EXPECT_EQ(target.files["mine.txt"], "a user's own file");
    std::string text;
    ASSERT_TRUE(readFile(log, &text)) << log;
    EXPECT_NE(text.find(brush + " is a junction or link"), std::string::npos) << text;
    installed::removeFolderLink(brush);
    Tree after = installedTree();
    for (const auto &file : before.files) {
        if (lower(file.first).compare(0, 6, "brush\\") == 0)
            continue; // they went with the folder the link replaced
        EXPECT_TRUE(after.files.count(file.first) && after.files[file.first] == file.second)
            << file.first << " was not put back";
    }
    EXPECT_FALSE(installed::keyExists(installed::UNINSTALL_ENTRY));
}
