// The copy page end to end: the real installer under Wine, driven through its pages as a user
// would, with the installed tree, the temporary files and the closing messages checked after.
// Damaged and hostile payloads are swapped into copies of the installer.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include <map>
#include <string>
#include <vector>

#include "copy_driver.h"
#include "support/installed_system.h"

using copydriver::RunRecord;

namespace {

const char INSTALL_DIR[] = "C:\\Program files\\Quillary";
const char OUTSIDE_FILE[] = "C:\\Program files\\evil.txt";
const char SCRATCH_DIR[] = "C:\\quillary-copy-e2e";
const char SUCCESS_TEXT[] = "Quillary was successfully installed";
const char CANCEL_START[] = "Setup was canceled.";
const char DECOMPRESS_FAILED[] = "Can't decompress setup files";
const int RECORD_COUNT = 129;

std::string environment(const char *name) {
    const char *value = getenv(name);
    return value != NULL ? value : "";
}

bool readFile(const std::string &path, std::string *contents) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    contents->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, NULL) && got > 0)
        contents->append(buffer, got);
    CloseHandle(file);
    return true;
}

bool writeFile(const std::string &path, const std::string &contents) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents.data(), (DWORD)contents.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == contents.size();
}

bool exists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every file below root by its relative name, and every directory, as they are on disk.
struct Tree {
    std::map<std::string, std::string> files;
    std::vector<std::string> directories;
};

void readTree(const std::string &root, const std::string &relative, Tree *tree) {
    WIN32_FIND_DATAA found;
    std::string here = relative.empty() ? root : root + "\\" + relative;
    HANDLE search = FindFirstFileA((here + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = relative.empty() ? name : relative + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree->directories.push_back(path);
            readTree(root, path, tree);
        } else {
            readFile(root + "\\" + path, &tree->files[path]);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

Tree installedTree() {
    Tree tree;
    readTree(INSTALL_DIR, "", &tree);
    return tree;
}

std::string lower(std::string text) {
    CharLowerA(&text[0]);
    return text;
}

std::string tempPath(const char *name) {
    char dir[MAX_PATH] = "";
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + name;
}

void expectTempFilesGone() {
    EXPECT_FALSE(exists(tempPath("filesdata.gz"))) << "the temporary payload was left behind";
    EXPECT_FALSE(exists(tempPath("filesdata.dat"))) << "the temporary archive was left behind";
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
    if (!readFile(build + "\\win64\\sample-product.list", &list))
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
            readFile(build + "\\win64\\sample-product\\" + name, &loaded.files[lower(name)]);
        }
        start = end + 1;
    }
    return loaded;
}

std::string realPayload() {
    std::string payload;
    readFile(environment("QUILLARY_BUILD_DIR") + "\\win64\\payload\\payload.gz", &payload);
    return payload;
}

std::string gunzip(const std::string &gzip) {
    std::string path = std::string(SCRATCH_DIR) + "\\unpack.gz";
    writeFile(path, gzip);
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

bool sawMessage(const RunRecord &run, const std::string &start) {
    for (const auto &message : run.messages)
        if (message.text.compare(0, start.size(), start) == 0)
            return true;
    return false;
}

std::string messageList(const RunRecord &run) {
    std::string out;
    for (const auto &message : run.messages)
        out += "[" + message.caption + "] " + message.text + "\n";
    return out.empty() ? "(no messages)" : out;
}

// The run went through the pages, reached the copy page and ended with the cancel message only.
void expectFailedCopy(const RunRecord &run) {
    EXPECT_EQ(run.failure, "");
    EXPECT_TRUE(run.sawCopyPage);
    EXPECT_TRUE(sawMessage(run, CANCEL_START)) << messageList(run);
    EXPECT_FALSE(sawMessage(run, SUCCESS_TEXT)) << messageList(run);
    EXPECT_EQ(run.pagesAfterCopy, 0) << "no page may follow a failed copy";
    EXPECT_EQ(run.exitCode, 0u);
    expectTempFilesGone();
}

void expectDecompressFailureShown(const RunRecord &run) {
    bool shown = false;
    for (const auto &message : run.messages) {
        if (message.text != DECOMPRESS_FAILED)
            continue;
        shown = true;
        EXPECT_NE(message.caption, "Quillary - Setup") << "the message has no caption of its own";
        EXPECT_TRUE(message.errorIcon) << "the message shows the error icon";
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
        copydriver::removeTree(INSTALL_DIR);
        copydriver::removeTree(OUTSIDE_FILE);
        copydriver::removeTree(SCRATCH_DIR);
        CreateDirectoryA(SCRATCH_DIR, NULL);
        DeleteFileA(tempPath("filesdata.gz").c_str());
        DeleteFileA(tempPath("filesdata.dat").c_str());
    }
    void TearDown() override {
        // A run that went through ends with the shortcut page's Finish: its shell window, group
        // and registry entries go too.
        installed::closeShellWindows();
        copydriver::removeTree(installed::shellFolder("Common Programs") + "\\Quillary");
        installed::deleteProductEntries();
        copydriver::removeTree(INSTALL_DIR);
        copydriver::removeTree(SCRATCH_DIR);
        copydriver::removeTree(OUTSIDE_FILE);
    }
};

} // namespace

TEST_F(CopyPage, HappyPathInstallsEveryFileByteForByte) {
    RunRecord run = copydriver::runInstaller(environment("QUILLARY_INSTALLER"),
                                             copydriver::LET_IT_RUN, 60, true);
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
    EXPECT_TRUE(GetFileAttributesA(gallery.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    Tree galleryTree;
    readTree(gallery, "", &galleryTree);
    EXPECT_TRUE(galleryTree.files.empty() && galleryTree.directories.empty())
        << "Gallerix is created empty";
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

// With the temporary directory at a drive root (TMP and TEMP set to C:\ for the installer), the
// root's backslash is dropped once and the temporary files are C:\filesdata.gz and .dat.
TEST_F(CopyPage, TemporaryDirectoryAtADriveRootLosesItsBackslash) {
    char oldTmp[MAX_PATH] = "", oldTemp[MAX_PATH] = "";
    DWORD hadTmp = GetEnvironmentVariableA("TMP", oldTmp, sizeof(oldTmp));
    DWORD hadTemp = GetEnvironmentVariableA("TEMP", oldTemp, sizeof(oldTemp));
    SetEnvironmentVariableA("TMP", "C:\\");
    SetEnvironmentVariableA("TEMP", "C:\\");
    RunRecord run =
        copydriver::runInstaller(environment("QUILLARY_INSTALLER"), copydriver::LET_IT_RUN);
    SetEnvironmentVariableA("TMP", hadTmp ? oldTmp : NULL);
    SetEnvironmentVariableA("TEMP", hadTemp ? oldTemp : NULL);
    EXPECT_TRUE(sawMessage(run, SUCCESS_TEXT)) << messageList(run);
    EXPECT_EQ(expectInstalledFilesWhole(installedTree()), RECORD_COUNT);
    EXPECT_FALSE(exists("C:\\filesdata.gz"));
    EXPECT_FALSE(exists("C:\\filesdata.dat"));
}

TEST_F(CopyPage, CancelAsSoonAsThePageShowsStopsBetweenWholeFiles) {
    struct {
        const char *how;
        copydriver::CopyAction action;
    } cases[] = {{"a click on Cancel", copydriver::CLICK_CANCEL},
                 {"Escape", copydriver::PRESS_ESCAPE},
                 {"Enter", copydriver::PRESS_ENTER}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        copydriver::removeTree(INSTALL_DIR);
        RunRecord run = copydriver::runInstaller(environment("QUILLARY_INSTALLER"), c.action);
        expectFailedCopy(run);
        Tree tree = installedTree();
        int written = expectInstalledFilesWhole(tree);
        EXPECT_GE(written, 1) << "the first record is written before the cancel is noticed";
        EXPECT_LT(written, RECORD_COUNT) << "the cancel must stop the copy";
    }
}

// A previous installation holds the read-me file in a way the page cannot replace: open by
// another program without sharing, or a folder of that name. (Under Wine run as root the
// read-only attribute does not stop a write, so it cannot stand for an unwritable file here.)
TEST_F(CopyPage, UnwritableDestinationFileFailsTheCopy) {
    const std::vector<std::string> &names = product().names;
    size_t at = 0;
    while (at < names.size() && lower(names[at]) != "readme.wri")
        at++;
    ASSERT_LT(at + 1, names.size());
    std::string readme = std::string(INSTALL_DIR) + "\\" + names[at];
    for (const char *how : {"locked", "folder"}) {
        SCOPED_TRACE(how);
        copydriver::removeTree(INSTALL_DIR);
        ASSERT_TRUE(CreateDirectoryA(INSTALL_DIR, NULL));
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (std::string(how) == "locked") {
            ASSERT_TRUE(writeFile(readme, "kept"));
            lock = CreateFileA(readme.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
            ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        } else {
            ASSERT_TRUE(CreateDirectoryA(readme.c_str(), NULL));
        }
        RunRecord run =
            copydriver::runInstaller(environment("QUILLARY_INSTALLER"), copydriver::LET_IT_RUN);
        if (lock != INVALID_HANDLE_VALUE)
            CloseHandle(lock);
        expectFailedCopy(run);
        Tree tree = installedTree();
        if (std::string(how) == "locked") {
            EXPECT_EQ(tree.files[names[at]], "kept") << "the locked file is left as it was";
            tree.files.erase(names[at]);
        }
        expectInstalledFilesWhole(tree);
        EXPECT_FALSE(exists(std::string(INSTALL_DIR) + "\\" + names[at + 1]))
            << "the copy stops at the file it cannot write: " << names[at + 1];
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
    } cases[] = {{"crc", badChecksum},
                 {"length", badLength},
                 {"truncated", payload.substr(0, payload.size() / 2)}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        copydriver::removeTree(INSTALL_DIR);
        std::string exe = installerWithPayload(c.label, c.bytes);
        ASSERT_FALSE(exe.empty()) << "the payload resource could not be replaced";
        RunRecord run = copydriver::runInstaller(exe, copydriver::LET_IT_RUN);
        expectFailedCopy(run);
        expectDecompressFailureShown(run);
        EXPECT_TRUE(installedTree().files.empty()) << "no file of a damaged payload is installed";
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
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        copydriver::removeTree(INSTALL_DIR);
        std::string exe = installerWithPayload(c.label, gzip(c.archive));
        ASSERT_FALSE(exe.empty());
        RunRecord run = copydriver::runInstaller(exe, copydriver::LET_IT_RUN);
        expectFailedCopy(run);
        EXPECT_FALSE(exists(OUTSIDE_FILE)) << "a file was written outside the destination";
        std::string contents;
        EXPECT_TRUE(readFile(std::string(INSTALL_DIR) + "\\first.txt", &contents));
        EXPECT_EQ(contents, "first file\r\n") << "records before the bad one are whole";
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
        copydriver::removeTree(INSTALL_DIR);
        std::string exe = installerWithPayload(c.label, c.payload);
        ASSERT_FALSE(exe.empty());
        RunRecord run = copydriver::runInstaller(exe, copydriver::LET_IT_RUN);
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
    RunRecord run = copydriver::runInstaller(exe, copydriver::LET_IT_RUN);
    EXPECT_TRUE(sawMessage(run, SUCCESS_TEXT)) << messageList(run);
    Tree tree = installedTree();
    EXPECT_EQ(tree.files.size(), (size_t)RECORD_COUNT);
    EXPECT_TRUE(tree.files.count("file0.txt") && tree.files["file0.txt"].empty());
    EXPECT_TRUE(tree.files.count("Sub\\file13.txt") && tree.files["Sub\\file13.txt"].empty());
    EXPECT_EQ(tree.files["file5.txt"], "contents of file5.txt");
    expectTempFilesGone();
}

// Run with C: on a small drive (scripts/small-drive.sh with-small-c <build> 3698000): the
// destination passes the free-space check, then fills up.
TEST_F(CopyPage, DiskFullOnTheDestinationFailsTheCopy) {
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
    if (free.QuadPart > 4000000)
        GTEST_SKIP() << "C: is not a small drive (" << free.QuadPart / 1000 << " KB free)";
    RunRecord run =
        copydriver::runInstaller(environment("QUILLARY_INSTALLER"), copydriver::LET_IT_RUN);
    expectFailedCopy(run);
    Tree tree = installedTree();
    int written = expectInstalledFilesWhole(tree);
    EXPECT_GT(written, 0);
    EXPECT_LT(written, RECORD_COUNT);
}
