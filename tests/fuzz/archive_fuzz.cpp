// libFuzzer target: hostile payloads through the archive reader and the pack tool's verify and
// unpack. The first input byte picks the layer (bit 0: gzip payload, else a plain archive) and
// the record count (bit 1 set: exactly bits 2-7 records, else until the end). Every input must
// end without a crash or leak, and unpacking must write nothing outside its target folder.
#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "payload/archive_reader.h"
#include "payload_tool.h"

namespace {

std::string scratchRoot; // holds the target folder and, if all is well, nothing else
std::string target;

int removeEntry(const char *path, const struct stat *, int, struct FTW *) { return remove(path); }

void removeTree(const std::string &path) {
    nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// The scratch folder's entries other than the target.
std::vector<std::string> strayEntries() {
    std::vector<std::string> stray;
    DIR *directory = opendir(scratchRoot.c_str());
    if (directory == NULL)
        abort();
    while (struct dirent *item = readdir(directory)) {
        std::string name = item->d_name;
        if (name != "." && name != ".." && name != "target")
            stray.push_back(name);
    }
    closedir(directory);
    return stray;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char pattern[] = "/tmp/archive-fuzz-XXXXXX";
    if (mkdtemp(pattern) == NULL)
        abort();
    scratchRoot = pattern;
    target = scratchRoot + "/target";
    // Removed when the run ends; a crash leaves it for inspection.
    atexit([] { removeTree(scratchRoot); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    uint8_t mode = data[0];
    data++;
    size--;
    std::string archive, error;
    GzipLayer layer;
    if (mode & 1) {
        if (!gunzipPayload(data, size, &archive, &layer, &error, (uint64_t)1 << 24))
            return 0;
    } else {
        archive.assign((const char *)data, size);
    }
    long count = (mode & 2) ? (long)(mode >> 2) : -1;

    std::vector<RecordInfo> listed, unpacked;
    uint64_t trailing = 0;
    bool listedAll = walkArchive(archive, count, NULL, &listed, &trailing, &error);

    mkdir(target.c_str(), 0755);
    bool unpackedAll = walkArchive(archive, count, target.c_str(), &unpacked, &trailing, &error);
    if (unpacked.size() > listed.size() || (unpackedAll && !listedAll))
        abort(); // unpack accepted a record that the reader alone refuses
    for (const RecordInfo &record : unpacked)
        if (!isSafeEntryName(record.name.c_str()))
            abort();
    if (!strayEntries().empty())
        abort(); // something was written beside the target folder
    removeTree(target);
    return 0;
}
