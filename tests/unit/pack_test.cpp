// The payload builder, run as the build runs it: packing, the gzip member it writes, refusals
// that leave nothing behind, verify and unpack by the installer's rules, and the sample payload.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive_bytes.h"
#include "common/space_rule.h"
#include "payload/archive_reader.h"

namespace {

struct PackRun {
    int status;
    std::string output; // stdout and stderr together
};

PackRun runPack(const std::string &arguments) {
    std::string command = std::string(QUILLARY_PACK_TOOL) + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    PackRun run = {-1, ""};
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, got);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string readFile(const std::string &path) {
    std::string data;
    FILE *file = fopen(path.c_str(), "rb");
    if (file == NULL)
        return data;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        data.append(buffer, got);
    fclose(file);
    return data;
}

void writeFile(const std::string &path, const std::string &data) {
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    fwrite(data.data(), 1, data.size(), file);
    fclose(file);
}

bool exists(const std::string &path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// Every file below root with its content, keyed by its path relative to root.
void listTree(const std::string &root, const std::string &relative,
              std::map<std::string, std::string> *files) {
    std::string path = relative.empty() ? root : root + "/" + relative;
    DIR *directory = opendir(path.c_str());
    if (directory == NULL)
        return;
    while (struct dirent *item = readdir(directory)) {
        std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        std::string child = relative.empty() ? name : relative + "/" + name;
        struct stat info;
        lstat((root + "/" + child).c_str(), &info);
        if (S_ISDIR(info.st_mode))
            listTree(root, child, files);
        else
            (*files)[child] = readFile(root + "/" + child);
    }
    closedir(directory);
}

std::vector<std::string> folderEntries(const std::string &path) {
    std::vector<std::string> names;
    DIR *directory = opendir(path.c_str());
    while (directory != NULL) {
        struct dirent *item = readdir(directory);
        if (item == NULL)
            break;
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
            names.push_back(item->d_name);
    }
    if (directory != NULL)
        closedir(directory);
    return names;
}

std::string gunzip(const std::string &payload) {
    z_stream stream = {};
    inflateInit2(&stream, 16 + MAX_WBITS);
    stream.next_in = (Bytef *)payload.data();
    stream.avail_in = (uInt)payload.size();
    std::string out;
    char buffer[65536];
    int status;
    do {
        stream.next_out = (Bytef *)buffer;
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    } while (status == Z_OK);
    inflateEnd(&stream);
    EXPECT_EQ(status, Z_STREAM_END);
    return out;
}

// A scratch folder for one test, removed with everything in it at the end.
struct Scratch {
    std::string path;
    Scratch() {
        char pattern[] = "/tmp/pack-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~Scratch() { system(("rm -rf '" + path + "'").c_str()); }
    std::string at(const std::string &relative) const { return path + "/" + relative; }
    void file(const std::string &relative, const std::string &data) const {
        std::string full = at(relative);
        for (size_t i = path.size() + 1; i < full.size(); i++)
            if (full[i] == '/')
                mkdir(full.substr(0, i).c_str(), 0755);
        writeFile(full, data);
    }
};

void makeSmallProduct(const Scratch &scratch) {
    scratch.file("product/Quillary.exe", std::string(5000, 'M') + "exe");
    scratch.file("product/readme.wri", "read me");
    scratch.file("product/empty.dat", "");
    scratch.file("product/Brush/chalk.qbr", std::string(300, '\x01'));
    scratch.file("product/Palette/grey.pal", "JASC-PAL");
}

} // namespace

TEST(Pack, RoundTripThroughUnpackGivesBackTheTree) {
    Scratch scratch;
    makeSmallProduct(scratch);
    ASSERT_EQ(runPack("pack " + scratch.at("product") + " " + scratch.at("p.gz")).status, 0);
    PackRun unpack = runPack("unpack " + scratch.at("p.gz") + " " + scratch.at("out"));
    ASSERT_EQ(unpack.status, 0) << unpack.output;
    std::map<std::string, std::string> before, after;
    listTree(scratch.at("product"), "", &before);
    listTree(scratch.at("out"), "", &after);
    EXPECT_EQ(before, after);
    EXPECT_EQ(before.size(), 5u);
}

TEST(Pack, WritesOneGzipMemberWithTheFixedHeaderAndAMatchingTrailer) {
    Scratch scratch;
    makeSmallProduct(scratch);
    ASSERT_EQ(runPack("pack " + scratch.at("product") + " " + scratch.at("p.gz")).status, 0);
    std::string payload = readFile(scratch.at("p.gz"));
    ASSERT_GT(payload.size(), 18u);
    EXPECT_EQ(payload.substr(0, 10), std::string("\x1f\x8b\x08\0\0\0\0\0\0\x0b", 10));
    std::string archive = gunzip(payload);
    uint32_t crc = (uint32_t)crc32(0, (const Bytef *)archive.data(), (uInt)archive.size());
    EXPECT_EQ(payload.substr(payload.size() - 8), u32(crc) + u32((uint32_t)archive.size()));
    // Records in name order, "\" as separator.
    std::string expected = record("Brush\\chalk.qbr", std::string(300, '\x01')) +
                           record("Palette\\grey.pal", "JASC-PAL") +
                           record("Quillary.exe", std::string(5000, 'M') + "exe") +
                           record("empty.dat", "") + record("readme.wri", "read me");
    EXPECT_EQ(archive, expected);
}

TEST(Pack, SameInputGivesTheSameBytes) {
    Scratch scratch;
    makeSmallProduct(scratch);
    ASSERT_EQ(runPack("pack " + scratch.at("product") + " " + scratch.at("a.gz")).status, 0);
    sleep(1); // a later modification time must not show in the payload
    system(("touch " + scratch.at("product/readme.wri")).c_str());
    ASSERT_EQ(runPack("pack " + scratch.at("product") + " " + scratch.at("b.gz")).status, 0);
    EXPECT_EQ(readFile(scratch.at("a.gz")), readFile(scratch.at("b.gz")));
}

TEST(Pack, ListFileSetsTheOrderAndHeaderHoldsTheCount) {
    Scratch scratch;
    makeSmallProduct(scratch);
    scratch.file("list", "# archive order\nreadme.wri\nBrush\\chalk.qbr\n\nQuillary.exe\n");
    PackRun run = runPack("pack --list " + scratch.at("list") + " --header " + scratch.at("c.h") +
                          " " + scratch.at("product") + " " + scratch.at("p.gz"));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(gunzip(readFile(scratch.at("p.gz"))),
              record("readme.wri", "read me") + record("Brush\\chalk.qbr", std::string(300, 1)) +
                  record("Quillary.exe", std::string(5000, 'M') + "exe"));
    EXPECT_NE(readFile(scratch.at("c.h")).find("#define PAYLOAD_ENTRY_COUNT 3\n"),
              std::string::npos);
    // 7 + 300 + 5003 bytes of files: 5310 * 3698 / 3941974 = 4.98, rounded up.
    EXPECT_NE(readFile(scratch.at("c.h")).find("#define PAYLOAD_REQUIRED_KB 5\n"),
              std::string::npos);
}

TEST(Pack, BadInputIsRefusedByNameAndLeavesNothingBehind) {
    Scratch scratch;
    makeSmallProduct(scratch);
    mkdir(scratch.at("bad").c_str(), 0755);
    scratch.file("long/" + std::string(200, 'd') + "/" + std::string(55, 'f'), "x");
    scratch.file("accent/caf\xc3\xa9.txt", "x");
    symlink("/nonexistent/target", scratch.at("dangling").c_str());
    mkdir(scratch.at("broken").c_str(), 0755);
    symlink("/nonexistent/target", scratch.at("broken/lost.dat").c_str());
    scratch.file("list", "readme.wri\nmissing.dat\n");
    scratch.file("escape", "readme.wri\n../outside.dat\n");
    scratch.file("device/aux.txt", "x");
    scratch.file("dotted/readme.wri.", "x");
    struct {
        std::string arguments, mentions, reason;
    } cases[] = {
        {"pack " + scratch.at("nothere") + " ", scratch.at("nothere"), "No such file"},
        {"pack " + scratch.at("broken") + " ", "lost.dat", "No such file"},
        {"pack " + scratch.at("long") + " ", std::string(55, 'f'), "longer than 255"},
        {"pack " + scratch.at("accent") + " ", "caf", "code page"},
        {"pack --list " + scratch.at("list") + " " + scratch.at("product") + " ", "missing.dat",
         "No such file"},
        {"pack --list " + scratch.at("escape") + " " + scratch.at("product") + " ", "outside.dat",
         "ending in a dot"},
        {"pack " + scratch.at("device") + " ", "aux.txt", "naming a device"},
        {"pack " + scratch.at("dotted") + " ", "readme.wri.", "ending in a dot"},
    };
    for (const auto &c : cases) {
        PackRun run =
            runPack(c.arguments + scratch.at("bad/p.gz") + " --header " + scratch.at("bad/c.h"));
        EXPECT_NE(run.status, 0) << c.arguments;
        EXPECT_NE(run.output.find(c.mentions), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
        EXPECT_TRUE(folderEntries(scratch.at("bad")).empty()) << c.arguments;
    }
}

TEST(Pack, NonAsciiNamesNeedTheTargetCodePage) {
    Scratch scratch;
    scratch.file("product/caf\xc3\xa9.txt", "x");
    ASSERT_EQ(
        runPack("pack --codepage 1252 " + scratch.at("product") + " " + scratch.at("p.gz")).status,
        0);
    EXPECT_EQ(gunzip(readFile(scratch.at("p.gz"))), record("caf\xe9.txt", "x"));
}

TEST(Verify, ReportsRecordCountTrailingBytesAndDamage) {
    Scratch scratch;
    makeSmallProduct(scratch);
    ASSERT_EQ(runPack("pack " + scratch.at("product") + " " + scratch.at("p.gz")).status, 0);
    std::string payload = readFile(scratch.at("p.gz"));
    EXPECT_EQ(runPack("verify --count 5 " + scratch.at("p.gz")).status, 0);

    PackRun tooMany = runPack("verify --count 6 " + scratch.at("p.gz"));
    EXPECT_NE(tooMany.status, 0);
    EXPECT_NE(tooMany.output.find("record 6"), std::string::npos) << tooMany.output;

    PackRun fewer = runPack("verify --count 4 " + scratch.at("p.gz"));
    EXPECT_NE(fewer.status, 0);
    EXPECT_NE(fewer.output.find("bytes after record 4"), std::string::npos) << fewer.output;

    scratch.file("trailing.gz", payload + "junk");
    PackRun trailing = runPack("verify " + scratch.at("trailing.gz"));
    EXPECT_NE(trailing.status, 0);
    EXPECT_NE(trailing.output.find("4 bytes after the gzip member"), std::string::npos);

    std::string badCrc = payload;
    badCrc[badCrc.size() - 8] ^= 1;
    scratch.file("crc.gz", badCrc);
    PackRun crc = runPack("verify " + scratch.at("crc.gz"));
    EXPECT_NE(crc.status, 0);
    EXPECT_NE(crc.output.find("incorrect data check"), std::string::npos) << crc.output;

    scratch.file("short.gz", payload.substr(0, payload.size() - 3));
    EXPECT_NE(runPack("verify " + scratch.at("short.gz")).status, 0);
}

TEST(Unpack, FollowsTheInstallerRulesAndNeverWritesOutside) {
    Scratch scratch;
    // A plain archive passes the gzip layer unchanged, as it does in the installer.
    scratch.file("evil.dat", record("good.txt", "ok") + record("..\\evil.txt", "bad") +
                                 record("after.txt", "never"));
    PackRun run = runPack("unpack " + scratch.at("evil.dat") + " " + scratch.at("out"));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("inside the installation folder"), std::string::npos);
    EXPECT_EQ(readFile(scratch.at("out/good.txt")), "ok");
    EXPECT_FALSE(exists(scratch.at("evil.txt")));
    EXPECT_FALSE(exists(scratch.at("out/after.txt"))) << "unpacking stops at the bad record";

    // Exactly --count records: the bytes after them are ignored, a missing record is an error.
    scratch.file("two.dat", record("a\\b.txt", "1") + record("c.txt", "22") + "\x05tail");
    EXPECT_EQ(runPack("unpack --count 2 " + scratch.at("two.dat") + " " + scratch.at("o2")).status,
              0);
    EXPECT_EQ(readFile(scratch.at("o2/a/b.txt")), "1");
    EXPECT_NE(runPack("unpack --count 3 " + scratch.at("two.dat") + " " + scratch.at("o3")).status,
              0);
}

// One gzip member of data, as any gzip writer makes it.
std::string gzipOf(const std::string &data) {
    z_stream stream = {};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = (Bytef *)data.data();
    stream.avail_in = (uInt)data.size();
    stream.next_out = (Bytef *)&out[0];
    stream.avail_out = (uInt)out.size();
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

TEST(Unpack, TakesEveryMemberWhenTheLastTrailerUnderstatesTheWhole) {
    // The unpacker sizes its memory from the last member's trailer: here 30 bytes against more
    // than 3 MB before them, so it must grow its block several times, past a large page.
    Scratch scratch;
    std::string big(3 << 20, '\0');
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (char)(i * 2654435761u >> 13);
    scratch.file("two.gz", gzipOf(record("big.dat", big) + record("a.txt", "one")) +
                               gzipOf(record("b\\c.txt", "two")));
    PackRun run = runPack("unpack --count 3 " + scratch.at("two.gz") + " " + scratch.at("out"));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(readFile(scratch.at("out/big.dat")) == big);
    EXPECT_EQ(readFile(scratch.at("out/a.txt")), "one");
    EXPECT_EQ(readFile(scratch.at("out/b/c.txt")), "two");
}

// The payload the build packed from the sample product.
class SamplePayload : public ::testing::Test {
  protected:
    void SetUp() override {
        // A build that packs another product folder leaves these out (tests/unit/CMakeLists.txt).
        ASSERT_FALSE(std::string(QUILLARY_SAMPLE_TREE).empty())
            << "no sample product: this build packs another product folder";
        payload = readFile(std::string(QUILLARY_PAYLOAD_DIR) + "/payload.gz");
        ASSERT_FALSE(payload.empty());
    }
    std::string payload;
};

TEST_F(SamplePayload, HasTheCarriedTotalsAndShape) {
    std::string archive = gunzip(payload);
    EXPECT_EQ(archive.size(), 3944919u);
    FILE *file = fmemopen((void *)archive.data(), archive.size(), "rb");
    ArchiveReader reader;
    ASSERT_EQ(archiveAttach(&reader, file), ARCHIVE_OK);
    uint64_t dataBytes = 0;
    int count = 0, topLevel = 0;
    size_t shortestName = 999, longestName = 0;
    uint32_t smallest = 0xFFFFFFFFu, largest = 0;
    std::map<std::string, int> perFolder;
    std::vector<std::string> folderOrder; // the folder of each record, in archive order
    std::set<std::string> names;
    char name[ARCHIVE_NAME_BUFFER];
    std::vector<char> data;
    while (archiveReadName(&reader, name) == ARCHIVE_OK) {
        uint32_t size;
        ASSERT_EQ(archiveReadSize(&reader, &size), ARCHIVE_OK);
        data.resize(size);
        ASSERT_EQ(archiveReadData(&reader, data.data(), size), ARCHIVE_OK);
        count++;
        dataBytes += size;
        names.insert(name);
        std::string text = name;
        shortestName = std::min(shortestName, text.size());
        longestName = std::max(longestName, text.size());
        smallest = std::min(smallest, size);
        largest = std::max(largest, size);
        size_t separator = text.find('\\');
        ASSERT_EQ(text.find('\\', separator + 1), std::string::npos) << "deeper than one folder";
        if (separator == std::string::npos) {
            topLevel++;
        } else {
            perFolder[text.substr(0, separator)]++;
            folderOrder.push_back(text.substr(0, separator));
        }
    }
    fclose(file);
    EXPECT_EQ(reader.position, reader.size);
    EXPECT_EQ(count, 129);
    EXPECT_EQ(dataBytes, 3941974u);
    EXPECT_EQ(shortestName, 7u);
    EXPECT_EQ(longestName, 29u);
    EXPECT_EQ(smallest, 32u);
    // The filler record takes what the built programs leave of the total, so only it may pass
    // the generated files' upper bound.
    EXPECT_GE(largest, 377344u) << "the help file, the largest generated file";
    EXPECT_EQ(topLevel, 15);
    EXPECT_EQ(perFolder.size(), 6u);
    for (const char *needed : {"Quillary.exe", "uninstall.exe", "readme.wri", "Quillary.hlp"})
        EXPECT_EQ(names.count(needed), 1u) << needed;
    // Three folders interleaved: their runs of adjacent records number more than one each.
    int interleaved = 0;
    for (const auto &folder : perFolder) {
        int runs = 0;
        for (size_t i = 0; i < folderOrder.size(); i++)
            if (folderOrder[i] == folder.first && (i == 0 || folderOrder[i - 1] != folder.first))
                runs++;
        interleaved += runs > 1;
    }
    EXPECT_EQ(interleaved, 3);
    std::string config = readFile(std::string(QUILLARY_PAYLOAD_DIR) + "/payload_config.h");
    EXPECT_NE(config.find("#define PAYLOAD_ENTRY_COUNT 129\n"), std::string::npos);
}

TEST_F(SamplePayload, UnpacksToTheGeneratedTree) {
    Scratch scratch;
    PackRun run = runPack("unpack --count 129 " + std::string(QUILLARY_PAYLOAD_DIR) +
                          "/payload.gz " + scratch.at("out"));
    ASSERT_EQ(run.status, 0) << run.output;
    std::map<std::string, std::string> product, unpacked;
    listTree(QUILLARY_SAMPLE_TREE, "", &product);
    listTree(scratch.at("out"), "", &unpacked);
    EXPECT_EQ(product.size(), 129u);
    EXPECT_TRUE(product == unpacked);
}

namespace {

// The records of a payload's archive by name.
std::map<std::string, std::string> payloadFiles(const std::string &payloadPath) {
    std::map<std::string, std::string> files;
    std::string archive = gunzip(readFile(payloadPath));
    FILE *file = fmemopen((void *)archive.data(), archive.size(), "rb");
    if (file == NULL)
        return files;
    ArchiveReader reader;
    char name[ARCHIVE_NAME_BUFFER];
    if (archiveAttach(&reader, file) == ARCHIVE_OK) {
        while (archiveReadName(&reader, name) == ARCHIVE_OK) {
            uint32_t size;
            if (archiveReadSize(&reader, &size) != ARCHIVE_OK)
                break;
            std::string data(size, '\0');
            if (size > 0 && archiveReadData(&reader, &data[0], size) != ARCHIVE_OK)
                break;
            files[name] = data;
        }
    }
    fclose(file);
    return files;
}

uint32_t littleEndian(const std::string &data, size_t offset, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; i--)
        value = value << 8 | (unsigned char)data[offset + i];
    return value;
}

} // namespace

// Each installer carries programs of its own architecture, and both payloads keep the record
// count and the data total whatever size the compiler gave the programs.
TEST_F(SamplePayload, EachArchitectureCarriesItsOwnGuiPrograms) {
    struct {
        std::string payload;
        uint32_t machine;
    } builds[] = {{std::string(QUILLARY_PAYLOAD_DIR_I686) + "/payload.gz", 0x14c},
                  {std::string(QUILLARY_PAYLOAD_DIR) + "/payload.gz", 0x8664}};
    for (const auto &build : builds) {
        SCOPED_TRACE(build.payload);
        std::map<std::string, std::string> files = payloadFiles(build.payload);
        EXPECT_EQ(files.size(), 129u);
        uint64_t total = 0;
        for (const auto &file : files)
            total += file.second.size();
        EXPECT_EQ(total, 3941974u);
        for (const char *program : {"Quillary.exe", "uninstall.exe"}) {
            const std::string &exe = files[program];
            ASSERT_GT(exe.size(), 0x200u) << program;
            ASSERT_EQ(exe.substr(0, 2), "MZ") << program;
            size_t pe = littleEndian(exe, 0x3c, 4);
            ASSERT_LT(pe + 0x60, exe.size()) << program;
            EXPECT_EQ(exe.substr(pe, 4), std::string("PE\0\0", 4)) << program;
            EXPECT_EQ(littleEndian(exe, pe + 4, 2), build.machine) << program;
            // The optional header's subsystem field, at the same offset in PE32 and PE32+.
            EXPECT_EQ(littleEndian(exe, pe + 24 + 68, 2), 2u) << program << " is a GUI program";
        }
    }
}

// The free space asked for follows the product's size, and for the sample product it is the
// 3698 kilobytes the destination page has always shown.
TEST_F(SamplePayload, RequiredSpaceComesFromTheProductTree) {
    std::map<std::string, std::string> product;
    listTree(QUILLARY_SAMPLE_TREE, "", &product);
    uint64_t bytes = 0;
    for (const auto &file : product)
        bytes += file.second.size();
    EXPECT_EQ(bytes, 3941974u) << "the sample product's files in all (manifest.txt data-total)";
    std::string config = readFile(std::string(QUILLARY_PAYLOAD_DIR) + "/payload_config.h");
    EXPECT_NE(config.find("#define PAYLOAD_REQUIRED_KB 3698\n"), std::string::npos) << config;
    struct {
        uint64_t bytes, kilobytes;
    } scale[] = {{0, 0}, {1, 1}, {3941974, 3698}, {3941975, 3699}, {150000000, 140717}};
    for (const auto &c : scale)
        EXPECT_EQ(requiredKilobytes(c.bytes), c.kilobytes) << c.bytes;
}
