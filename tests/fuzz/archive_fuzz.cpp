// libFuzzer target: hostile payloads through the archive reader and the pack tool's verify and
// unpack. The first input byte picks the layer (bit 0: gzip payload, else a plain archive) and
// the record count (bit 1 set: exactly bits 2-7 records, else until the end). Every input must
// end without a crash or leak; the records read must be exactly those a model of the format
// written here accepts, with its own name check; and after unpacking, the whole scratch tree
// may hold nothing but the target folder and the accepted records' files and folders in it.
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "payload/payload_stream.h"
#include "payload_tool.h"

namespace {

std::string scratchRoot; // holds two folders, the target two levels down, and nothing else
std::string target;      // scratchRoot/up/upper/target: names that climb land inside scratchRoot

int removeEntry(const char *path, const struct stat *, int, struct FTW *) { return remove(path); }

void removeTree(const std::string &path) {
    nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

char upper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// The harness's own view of a name the installer may write: '\'-separated non-empty parts, no
// control byte and none of / : < > " | ? *, no part ending in a dot or a blank, no part whose
// base name (before the first dot, blanks dropped) is a device.
bool nameAllowed(const std::string &name) {
    if (name.empty() || name[0] == '\\')
        return false;
    std::vector<std::string> parts(1);
    for (char c : name) {
        if ((unsigned char)c < 0x20 || std::string("/:<>\"|?*").find(c) != std::string::npos)
            return false;
        if (c == '\\')
            parts.emplace_back();
        else
            parts.back() += upper(c);
    }
    static const std::set<std::string> devices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const std::string &part : parts) {
        if (part.empty() || part.back() == '.' || part.back() == ' ')
            return false;
        std::string base = part.substr(0, part.find('.'));
        while (!base.empty() && base.back() == ' ')
            base.pop_back();
        if (devices.count(base))
            return false;
        if (base.size() == 4 &&
            (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
            unsigned char digit = (unsigned char)base[3];
            if ((digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3)
                return false;
        }
    }
    return true;
}

// The records a reader of the format must accept, in order, and whether the walk ends cleanly:
// u8 nameLength, the name (cut at its first zero byte), u32 little-endian dataSize, the data.
bool modelRecords(const std::string &archive, long count, std::vector<RecordInfo> *records) {
    const unsigned char *bytes = (const unsigned char *)archive.data();
    size_t size = archive.size(), at = 0;
    for (long index = 0; count < 0 || index < count; index++) {
        if (at == size)
            return count < 0;
        size_t nameLength = bytes[at++];
        if (size - at < nameLength)
            return false;
        std::string name((const char *)bytes + at, strnlen((const char *)bytes + at, nameLength));
        at += nameLength;
        if (!nameAllowed(name) || size - at < 4)
            return false;
        uint32_t dataSize =
            bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24;
        at += 4;
        if (size - at < dataSize)
            return false;
        at += dataSize;
        records->push_back(RecordInfo{name, dataSize});
    }
    return true;
}

bool sameRecords(const std::vector<RecordInfo> &a, const std::vector<RecordInfo> &b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i].name != b[i].name || a[i].size != b[i].size)
            return false;
    return true;
}

// What unpacking may leave below scratchRoot: the target's chain of folders, and for each record
// written, its folders and its file (as '/' paths relative to the target).
std::set<std::string> allowedFolders, allowedFiles;
const char *strayPath;

int checkEntry(const char *path, const struct stat *info, int kind, struct FTW *) {
    std::string here = path;
    if (here == scratchRoot || here == scratchRoot + "/up" || here == scratchRoot + "/up/upper" ||
        here == target)
        return 0;
    std::string prefix = target + "/";
    bool below = here.compare(0, prefix.size(), prefix) == 0;
    std::string relative = below ? here.substr(prefix.size()) : here;
    bool allowed =
        below && (kind == FTW_D ? allowedFolders.count(relative) > 0
                                : S_ISREG(info->st_mode) && allowedFiles.count(relative));
    if (allowed)
        return 0;
    strayPath = path;
    return 1;
}

// The records the installer's payload stream hands to its sink: each begun record with the
// bytes its data pieces added up to, and how many records ended.
struct StreamedRecords {
    std::vector<RecordInfo> begun;
    std::vector<uint64_t> received;
    size_t ended = 0;
};

int streamBegin(void *context, const char *name, uint32_t size) {
    StreamedRecords *seen = (StreamedRecords *)context;
    seen->begun.push_back(RecordInfo{name, size});
    seen->received.push_back(0);
    return 0;
}

int streamData(void *context, const void *, size_t count) {
    StreamedRecords *seen = (StreamedRecords *)context;
    if (seen->received.empty() || count == 0 || count > PAYLOAD_CHUNK)
        abort(); // data outside a record, or pieces larger than the one buffer
    seen->received.back() += count;
    return 0;
}

int streamEnd(void *context) {
    StreamedRecords *seen = (StreamedRecords *)context;
    if (seen->ended + 1 != seen->begun.size() || seen->received.back() != seen->begun.back().size)
        abort(); // a record ended that was not begun, or not whole
    seen->ended++;
    return 0;
}

// The payload stream over the same input: every record it begins is one the model accepts, in
// order, and it succeeds only when the model takes exactly count records and nothing follows.
void checkPayloadStream(const uint8_t *data, size_t size, const std::string &archive, long count,
                        const std::vector<RecordInfo> &expected, bool expectedAll) {
    static PayloadStream stream;
    StreamedRecords seen;
    const ArchiveSink sink = {streamBegin, streamData, streamEnd, &seen};
    int result = payloadUnpack(&stream, data, size, (uint32_t)count, &sink);
    // Records are begun as their headers arrive, before their data is known to be whole: past
    // the model's records only the last one begun may stand, with a name the model allows.
    for (size_t i = 0; i < seen.begun.size(); i++) {
        bool known = i < expected.size() && seen.begun[i].name == expected[i].name;
        bool cutShort =
            i == expected.size() && i + 1 == seen.begun.size() && nameAllowed(seen.begun[i].name);
        if (!known && !cutShort)
            abort(); // the stream began a record the model refuses
    }
    if (result == PAYLOAD_OK &&
        (!expectedAll || !sameRecords(seen.begun, expected) || seen.ended != expected.size()))
        abort(); // the stream accepted an archive the model does not
    // A plain archive of exactly the records the model takes (names without zero padding, and
    // nothing after them) is accepted whole.
    size_t modelBytes = 0;
    for (const RecordInfo &record : expected)
        modelBytes += 5 + record.name.size() + record.size;
    bool plain = size < 2 || data[0] != 0x1f || data[1] != 0x8b;
    if (plain && expectedAll && modelBytes == archive.size() && result != PAYLOAD_OK)
        abort(); // the stream refused a sound archive
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char pattern[] = "/tmp/archive-fuzz-XXXXXX";
    if (mkdtemp(pattern) == NULL)
        abort();
    scratchRoot = pattern;
    target = scratchRoot + "/up/upper/target";
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

    std::vector<RecordInfo> expected, listed, unpacked;
    bool expectedAll = modelRecords(archive, count, &expected);
    uint64_t trailing = 0;
    bool listedAll = walkArchive(archive, count, NULL, &listed, &trailing, &error);
    if (listedAll != expectedAll || !sameRecords(listed, expected))
        abort(); // the reader takes other records than the format and the name check allow

    bool gzipInput = size >= 2 && data[0] == 0x1f && data[1] == 0x8b;
    if (count >= 0 && gzipInput == ((mode & 1) != 0))
        checkPayloadStream(data, size, archive, count, expected, expectedAll);

    mkdir((scratchRoot + "/up").c_str(), 0755);
    mkdir((scratchRoot + "/up/upper").c_str(), 0755);
    mkdir(target.c_str(), 0755);
    bool unpackedAll = walkArchive(archive, count, target.c_str(), &unpacked, &trailing, &error);
    if (unpacked.size() > expected.size() || (unpackedAll && !expectedAll))
        abort(); // unpack accepted a record that the model refuses
    allowedFolders.clear();
    allowedFiles.clear();
    for (const RecordInfo &record : unpacked) {
        std::string path = record.name;
        for (char &c : path)
            if (c == '\\')
                c = '/';
        for (size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1))
            allowedFolders.insert(path.substr(0, slash));
        allowedFiles.insert(path);
    }
    if (nftw(scratchRoot.c_str(), checkEntry, 16, FTW_PHYS) != 0) {
        fprintf(stderr, "unexpected entry after unpacking: %s\n", strayPath);
        abort();
    }
    removeTree(scratchRoot + "/up");
    return 0;
}
