// pack: builds the installer's payload from a product folder, and lists, verifies or unpacks a
// payload by the installer's own reading rules.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "common/space_rule.h"
#include "payload_tool.h"

namespace {

const char USAGE[] =
    "usage:\n"
    "  pack pack [--list FILE] [--codepage N] [--header FILE] PRODUCT_DIR PAYLOAD\n"
    "      write PRODUCT_DIR's files (all of them in name order, or those FILE lists, in its\n"
    "      order) as one gzip member; --header also writes PAYLOAD_ENTRY_COUNT and\n"
    "      PAYLOAD_INSTALLED_KIB and PAYLOAD_REQUIRED_KB to FILE;\n"
    "      non-ASCII names need the target Windows code page (--codepage 1252)\n"
    "  pack list PAYLOAD\n"
    "  pack verify [--count N] PAYLOAD    gzip integrity, N records exactly, trailing bytes\n"
    "  pack unpack [--count N] PAYLOAD DIR\n";

int fail(const std::string &message) {
    fprintf(stderr, "pack: %s\n", message.c_str());
    return 1;
}

struct Options {
    std::string list, header;
    int codePage = 0;
    long count = -1;
    std::string arguments[2];
    int argumentCount = 0;
};

bool parseNumber(const char *text, long *value) {
    char *end;
    long number = strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || number < 0)
        return false;
    *value = number;
    return true;
}

bool parseOptions(int argc, char **argv, Options *options, std::string *error) {
    for (int i = 2; i < argc; i++) {
        std::string option = argv[i];
        bool takesValue = option == "--list" || option == "--header" || option == "--codepage" ||
                          option == "--count";
        if (takesValue) {
            if (i + 1 >= argc) {
                *error = option + " needs a value";
                return false;
            }
            const char *value = argv[++i];
            long number = 0;
            if ((option == "--codepage" || option == "--count") && !parseNumber(value, &number)) {
                *error = option + ": not a number: " + value;
                return false;
            }
            if (option == "--list")
                options->list = value;
            else if (option == "--header")
                options->header = value;
            else if (option == "--codepage")
                options->codePage = (int)number;
            else
                options->count = number;
        } else if (option.size() > 1 && option[0] == '-') {
            *error = "unknown option " + option;
            return false;
        } else if (options->argumentCount < 2) {
            options->arguments[options->argumentCount++] = option;
        } else {
            *error = "too many arguments";
            return false;
        }
    }
    return true;
}

// Reads a payload file and takes its gzip layer off.
bool openPayload(const std::string &path, ByteBlock *archive, GzipLayer *layer,
                 std::string *error) {
    ByteBlock payload;
    if (!readWholeFile(path, &payload, error))
        return false;
    if (!gunzipPayload((const uint8_t *)payload.data(), payload.size(), archive, layer, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

int runPack(const Options &options) {
    if (options.argumentCount != 2)
        return fail(std::string("pack needs PRODUCT_DIR and PAYLOAD\n") + USAGE);
    const std::string &folder = options.arguments[0], &output = options.arguments[1];
    std::vector<PackEntry> entries;
    std::string error, archive;
    bool collected =
        options.list.empty()
            ? collectFromFolder(folder, options.codePage, &entries, &error)
            : collectFromList(folder, options.list, options.codePage, &entries, &error);
    if (!collected || !buildArchive(entries, &archive, &error))
        return fail(error);
    if (entries.empty())
        return fail(folder + ": no files to pack");
    if (!options.header.empty()) {
        // The files' own bytes: the archive less each record's length byte, name and size.
        uint64_t dataBytes = archive.size();
        for (const PackEntry &entry : entries)
            dataBytes -= 5 + entry.name.size();
        std::string header = "// Made by the pack tool together with the payload: the number of "
                             "records the\n// installer reads from it, the kibibytes its "
                             "files take once installed and the\n// free space it asks for, in "
                             "kilobytes.\n#pragma once\n"
                             "#define PAYLOAD_ENTRY_COUNT " +
                             std::to_string(entries.size()) + "\n#define PAYLOAD_INSTALLED_KIB " +
                             std::to_string((dataBytes + 1023) / 1024) +
                             "\n#define PAYLOAD_REQUIRED_KB " +
                             std::to_string(requiredKilobytes(dataBytes)) + "\n";
        if (!writeFileAtomically(options.header, header, &error))
            return fail(error);
    }
    if (!writeFileAtomically(output, gzipMember(archive), &error))
        return fail(error);
    return 0;
}

int runList(const Options &options) {
    if (options.argumentCount != 1)
        return fail(std::string("list needs PAYLOAD\n") + USAGE);
    ByteBlock archive;
    std::string error;
    GzipLayer layer;
    if (!openPayload(options.arguments[0], &archive, &layer, &error))
        return fail(error);
    std::vector<RecordInfo> records;
    uint64_t trailing = 0;
    bool ok = walkArchive(archive.data(), archive.size(), options.count, NULL, &records, &trailing,
                          &error);
    uint64_t dataBytes = 0;
    for (const RecordInfo &record : records) {
        printf("%10u  %s\n", record.size, record.name.c_str());
        dataBytes += record.size;
    }
    printf("%zu records, %llu bytes of file data, archive %zu bytes\n", records.size(),
           (unsigned long long)dataBytes, archive.size());
    return ok ? 0 : fail(options.arguments[0] + ": " + error);
}

int runVerify(const Options &options) {
    if (options.argumentCount != 1)
        return fail(std::string("verify needs PAYLOAD\n") + USAGE);
    const std::string &path = options.arguments[0];
    ByteBlock archive;
    std::string error;
    GzipLayer layer;
    if (!openPayload(path, &archive, &layer, &error))
        return fail(error);
    if (!layer.isGzip)
        return fail(path + ": not gzip data");
    std::vector<RecordInfo> records;
    uint64_t trailing = 0;
    if (!walkArchive(archive.data(), archive.size(), options.count, NULL, &records, &trailing,
                     &error))
        return fail(path + ": " + error);
    int status = 0;
    if (layer.members != 1)
        printf("%s: %d gzip members\n", path.c_str(), layer.members);
    if (layer.trailingBytes != 0) {
        printf("%s: %llu bytes after the gzip member\n", path.c_str(),
               (unsigned long long)layer.trailingBytes);
        status = 1;
    }
    if (trailing != 0) {
        printf("%s: %llu bytes after record %zu\n", path.c_str(), (unsigned long long)trailing,
               records.size());
        status = 1;
    }
    printf("%s: %zu records, archive %zu bytes%s\n", path.c_str(), records.size(), archive.size(),
           status == 0 ? ", OK" : "");
    return status;
}

int runUnpack(const Options &options) {
    if (options.argumentCount != 2)
        return fail(std::string("unpack needs PAYLOAD and DIR\n") + USAGE);
    const std::string &path = options.arguments[0], &folder = options.arguments[1];
    ByteBlock archive;
    std::string error;
    GzipLayer layer;
    if (!openPayload(path, &archive, &layer, &error))
        return fail(error);
    mkdir(folder.c_str(), 0755);
    std::vector<RecordInfo> records;
    uint64_t trailing = 0;
    if (!walkArchive(archive.data(), archive.size(), options.count, folder.c_str(), &records,
                     &trailing, &error))
        return fail(path + ": " + error);
    if (trailing != 0)
        printf("%s: %llu bytes after record %zu ignored\n", path.c_str(),
               (unsigned long long)trailing, records.size());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2)
        return fail(USAGE);
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, &options, &error))
        return fail(error);
    std::string command = argv[1];
    if (command == "pack")
        return runPack(options);
    if (command == "list")
        return runList(options);
    if (command == "verify")
        return runVerify(options);
    if (command == "unpack")
        return runUnpack(options);
    return fail("unknown command " + command + "\n" + USAGE);
}
