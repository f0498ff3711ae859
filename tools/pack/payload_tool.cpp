// The payload builder's work: collecting files, writing records and the gzip member, and reading
// a payload back by the installer's rules.
#include "payload_tool.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <set>

#include "payload/archive_reader.h"

namespace {

const size_t MAX_NAME_BYTES = 255; // nameLength is one byte

std::string systemError(const std::string &what) { return what + ": " + strerror(errno); }

bool convertToCodePage(const std::string &utf8, int codePage, std::string *converted) {
    std::string target = "CP" + std::to_string(codePage);
    iconv_t conversion = iconv_open(target.c_str(), "UTF-8");
    if (conversion == (iconv_t)-1)
        return false;
    std::string in = utf8;
    std::string out(in.size() * 4 + 4, '\0');
    char *inPointer = &in[0];
    char *outPointer = &out[0];
    size_t inLeft = in.size(), outLeft = out.size();
    size_t status = iconv(conversion, &inPointer, &inLeft, &outPointer, &outLeft);
    iconv_close(conversion);
    if (status == (size_t)-1 || inLeft != 0)
        return false;
    out.resize(out.size() - outLeft);
    *converted = out;
    return true;
}

std::string lowerCase(std::string text) {
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return text;
}

bool checkSourceFile(const std::string &path, std::string *error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        *error = systemError(path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = path + ": not a regular file";
        return false;
    }
    if ((uint64_t)info.st_size > 0xFFFFFFFFu) {
        *error = path + ": larger than 4 GiB, dataSize cannot hold it";
        return false;
    }
    return true;
}

bool addEntry(const std::string &folder, const std::string &relativePath, int codePage,
              std::vector<PackEntry> *entries, std::set<std::string> *seen, std::string *error) {
    PackEntry entry;
    entry.sourcePath = folder + "/" + relativePath;
    std::string reason;
    if (!makeEntryName(relativePath, codePage, &entry.name, &reason)) {
        *error = entry.sourcePath + ": " + reason;
        return false;
    }
    // Windows names ignore case: two such records would land in one file.
    if (!seen->insert(lowerCase(entry.name)).second) {
        *error = entry.sourcePath + ": a second record named " + entry.name;
        return false;
    }
    if (!checkSourceFile(entry.sourcePath, error))
        return false;
    entries->push_back(entry);
    return true;
}

bool walkFolder(const std::string &folder, const std::string &relative,
                std::vector<std::string> *files, std::string *error) {
    std::string path = relative.empty() ? folder : folder + "/" + relative;
    DIR *directory = opendir(path.c_str());
    if (directory == NULL) {
        *error = systemError(path);
        return false;
    }
    std::vector<std::string> names;
    while (struct dirent *item = readdir(directory)) {
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
            names.push_back(item->d_name);
    }
    closedir(directory);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        std::string child = relative.empty() ? name : relative + "/" + name;
        struct stat info;
        if (stat((folder + "/" + child).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            if (!walkFolder(folder, child, files, error))
                return false;
        } else {
            files->push_back(child); // unreadable entries are reported when they are added
        }
    }
    return true;
}

void putU32(std::string *out, uint32_t value) {
    for (int i = 0; i < 4; i++)
        out->push_back((char)((value >> (8 * i)) & 0xFF));
}

const char *entryNameProblemText(EntryNameProblem problem) {
    switch (problem) {
    case ENTRY_NAME_EMPTY:
        return "empty";
    case ENTRY_NAME_ROOTED:
        return "starts with a separator";
    case ENTRY_NAME_EMPTY_COMPONENT:
        return "an empty folder name (two separators in a row, or one at the end)";
    case ENTRY_NAME_BAD_CHARACTER:
        return "a character Windows refuses in file names (control, / : < > \" | ? *)";
    case ENTRY_NAME_TRAILING_DOT_BLANK:
        return "a part ending in a dot or a blank, which Windows drops";
    case ENTRY_NAME_DEVICE:
        return "a part naming a device (CON, NUL, COM1, LPT1...)";
    default:
        return "not a safe relative path";
    }
}

bool makeDirectoryIfMissing(const std::string &path) {
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    return false;
}

const char *archiveResultText(int result) {
    switch (result) {
    case ARCHIVE_END:
        return "the archive ends where a record should start";
    case ARCHIVE_NAME_CUT_SHORT:
        return "the archive ends inside a record's name";
    case ARCHIVE_EMPTY_NAME:
        return "a record has an empty name";
    case ARCHIVE_UNSAFE_NAME:
        return "a record's name is refused: it would not name a file inside the installation "
               "folder";
    case ARCHIVE_SIZE_CUT_SHORT:
        return "the archive ends inside a record's dataSize";
    case ARCHIVE_SIZE_BEYOND_END:
        return "a record's dataSize reaches beyond the end of the archive";
    case ARCHIVE_DATA_CUT_SHORT:
        return "the archive ends inside a record's data";
    default:
        return "the archive cannot be read";
    }
}

// Makes the folders of one record's path below unpackDir, at every separator after the first
// character as the installer does; folders made (or found) earlier in the same walk are not asked
// for again.
bool makeRecordFolders(const std::string &unpackDir, const std::string &path,
                       std::set<std::string> *made, std::string *error) {
    for (size_t j = 1; j < path.size(); j++) {
        if (path[j] != '/')
            continue;
        std::string folder = unpackDir + "/" + path.substr(0, j);
        if (made->count(folder))
            continue;
        if (!makeDirectoryIfMissing(folder)) {
            *error = systemError(folder);
            return false;
        }
        made->insert(folder);
    }
    return true;
}

bool writeRecord(const std::string &unpackDir, const std::string &name, const char *data,
                 uint32_t size, std::set<std::string> *madeFolders, std::string *error) {
    std::string path = name;
    for (char &c : path)
        if (c == '\\')
            c = '/';
    if (!makeRecordFolders(unpackDir, path, madeFolders, error))
        return false;
    std::string outputPath = unpackDir + "/" + path;
    int descriptor = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
    if (descriptor < 0) {
        *error = systemError(outputPath);
        return false;
    }
    size_t done = 0;
    while (done < size) {
        ssize_t wrote = write(descriptor, data + done, size - done);
        if (wrote <= 0) {
            *error = systemError(outputPath);
            close(descriptor);
            return false;
        }
        done += (size_t)wrote;
    }
    if (close(descriptor) != 0) {
        *error = systemError(outputPath);
        return false;
    }
    return true;
}

uint32_t readU32(const uint8_t *bytes) {
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
           (uint32_t)bytes[3] << 24;
}

} // namespace

bool makeEntryName(const std::string &relativePath, int codePage, std::string *name,
                   std::string *error) {
    std::string converted;
    bool ascii = std::all_of(relativePath.begin(), relativePath.end(),
                             [](char c) { return (unsigned char)c < 0x80; });
    if (ascii) {
        converted = relativePath;
    } else if (codePage == 0) {
        *error = "non-ASCII name; give the target code page with --codepage";
        return false;
    } else if (!convertToCodePage(relativePath, codePage, &converted)) {
        *error = "name cannot be written in code page " + std::to_string(codePage);
        return false;
    }
    // On disk '/' separates folders; a backslash inside a file's own name cannot be packed.
    if (converted.find('\\') != std::string::npos) {
        *error = "name holds a backslash, which the archive reads as a separator";
        return false;
    }
    std::replace(converted.begin(), converted.end(), '/', '\\');
    if (converted.size() > MAX_NAME_BYTES) {
        *error = "name is " + std::to_string(converted.size()) + " bytes, longer than 255";
        return false;
    }
    EntryNameProblem problem = entryNameProblem(converted.c_str());
    if (problem != ENTRY_NAME_OK) {
        *error = std::string("name refused: ") + entryNameProblemText(problem);
        return false;
    }
    *name = converted;
    return true;
}

bool collectFromFolder(const std::string &folder, int codePage, std::vector<PackEntry> *entries,
                       std::string *error) {
    std::vector<std::string> files;
    if (!walkFolder(folder, "", &files, error))
        return false;
    std::vector<PackEntry> collected;
    std::set<std::string> seen;
    for (const std::string &file : files)
        if (!addEntry(folder, file, codePage, &collected, &seen, error))
            return false;
    std::sort(collected.begin(), collected.end(),
              [](const PackEntry &a, const PackEntry &b) { return a.name < b.name; });
    *entries = collected;
    return true;
}

bool collectFromList(const std::string &folder, const std::string &listPath, int codePage,
                     std::vector<PackEntry> *entries, std::string *error) {
    std::string list;
    if (!readWholeFile(listPath, &list, error))
        return false;
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *error = folder + ": not a folder";
        return false;
    }
    std::vector<PackEntry> collected;
    std::set<std::string> seen;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos)
            end = list.size();
        std::string line = list.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::replace(line.begin(), line.end(), '\\', '/');
        if (!addEntry(folder, line, codePage, &collected, &seen, error))
            return false;
    }
    *entries = collected;
    return true;
}

bool buildArchive(const std::vector<PackEntry> &entries, std::string *archive, std::string *error) {
    std::string out;
    for (const PackEntry &entry : entries) {
        std::string data;
        if (!readWholeFile(entry.sourcePath, &data, error))
            return false;
        out.push_back((char)entry.name.size());
        out += entry.name;
        putU32(&out, (uint32_t)data.size());
        out += data;
    }
    *archive = out;
    return true;
}

std::string gzipMember(const std::string &data) {
    static const unsigned char HEADER[10] = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0x0B};
    std::string out((const char *)HEADER, sizeof HEADER);
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    // Raw deflate (negative window bits): the header and trailer are written here.
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::string compressed(deflateBound(&stream, data.size()), '\0');
    stream.next_in = (Bytef *)data.data();
    stream.avail_in = (uInt)data.size();
    stream.next_out = (Bytef *)&compressed[0];
    stream.avail_out = (uInt)compressed.size();
    deflate(&stream, Z_FINISH);
    compressed.resize(stream.total_out);
    deflateEnd(&stream);
    out += compressed;
    putU32(&out, (uint32_t)crc32(0, (const Bytef *)data.data(), (uInt)data.size()));
    putU32(&out, (uint32_t)(data.size() & 0xFFFFFFFFu));
    return out;
}

namespace {

// The gzip layer's decoding into either kind of buffer (std::string or ByteBlock: resize, data).
template <class Buffer>
bool gunzipInto(const uint8_t *data, size_t size, Buffer *archive, GzipLayer *layer,
                std::string *error, uint64_t maxOutput) {
    *layer = GzipLayer();
    if (size < 2 || data[0] != 0x1F || data[1] != 0x8B) {
        // Passed through unchanged.
        if (!archive->resize(size)) {
            *error = "no memory for " + std::to_string(size) + " bytes";
            return false;
        }
        if (size != 0)
            memcpy(&archive->data()[0], data, size);
        return true;
    }
    layer->isGzip = true;
    // zlib writes straight into the archive, which is sized once from the last member's trailer
    // (its length modulo 2^32) and grown only if that was short. The trailer may overstate: the
    // first size is never above what deflate can give from these bytes (at most 1032 to 1), nor
    // above maxOutput. One byte more, so that zlib never stops for room just before the trailer.
    const uint64_t GROWTH = 65536;
    uint64_t expected = size >= 18 ? readU32(data + size - 4) : 0;
    expected = std::min(expected, std::min((uint64_t)size * 1032, maxOutput));
    const char *NO_MEMORY = "no memory for the decompressed data";
    if (!archive->resize((size_t)std::max(expected + 1, GROWTH))) {
        *error = NO_MEMORY;
        return false;
    }
    size_t used = 0, offset = 0;
    while (offset + 2 <= size && data[offset] == 0x1F && data[offset + 1] == 0x8B) {
        z_stream stream;
        memset(&stream, 0, sizeof stream);
        inflateInit2(&stream, 16 + MAX_WBITS);
        stream.next_in = (Bytef *)(data + offset);
        stream.avail_in = (uInt)(size - offset);
        int status;
        do {
            if (used == archive->size()) {
                // One byte above maxOutput is room enough to see the limit passed.
                uint64_t grown = std::max((uint64_t)used * 2, (uint64_t)used + GROWTH);
                if (!archive->resize((size_t)std::min(grown, maxOutput + 1))) {
                    inflateEnd(&stream);
                    *error = NO_MEMORY;
                    return false;
                }
            }
            char *start = &archive->data()[0];
            stream.next_out = (Bytef *)start + used;
            stream.avail_out = (uInt)std::min(archive->size() - used, (size_t)0xFFFFFFFFu);
            status = inflate(&stream, Z_NO_FLUSH);
            used = (size_t)((char *)stream.next_out - start);
            if (used > maxOutput) {
                inflateEnd(&stream);
                archive->resize(0);
                *error = "decompressed data larger than " + std::to_string(maxOutput) + " bytes";
                return false;
            }
        } while (status == Z_OK);
        if (status != Z_STREAM_END) {
            *error = status == Z_BUF_ERROR ? std::string("gzip member ends early")
                     : stream.msg != NULL  ? std::string("gzip member damaged: ") + stream.msg
                                           : std::string("gzip member damaged");
            inflateEnd(&stream);
            archive->resize(used);
            return false;
        }
        offset = size - stream.avail_in;
        inflateEnd(&stream);
        layer->members++;
    }
    archive->resize(used);
    layer->trailingBytes = size - offset;
    return true;
}

// std::string's resize in the shape ByteBlock's has (std::string throws when it cannot).
struct TextBuffer {
    std::string *text;
    bool resize(size_t size) {
        text->resize(size);
        return true;
    }
    char *data() { return &(*text)[0]; }
    size_t size() const { return text->size(); }
};

} // namespace

bool gunzipPayload(const uint8_t *data, size_t size, std::string *archive, GzipLayer *layer,
                   std::string *error, uint64_t maxOutput) {
    TextBuffer buffer = {archive};
    archive->clear();
    return gunzipInto(data, size, &buffer, layer, error, maxOutput);
}

bool gunzipPayload(const uint8_t *data, size_t size, ByteBlock *archive, GzipLayer *layer,
                   std::string *error, uint64_t maxOutput) {
    archive->resize(0);
    return gunzipInto(data, size, archive, layer, error, maxOutput);
}

bool walkArchive(const char *archive, size_t archiveSize, long count, const char *unpackDir,
                 std::vector<RecordInfo> *records, uint64_t *trailingBytes, std::string *error) {
    records->clear();
    *trailingBytes = 0;
    // fmemopen refuses an empty buffer; an empty archive reads like /dev/null.
    FILE *file =
        archiveSize == 0 ? fopen("/dev/null", "rb") : fmemopen((void *)archive, archiveSize, "rb");
    // Unbuffered: the reader takes only the small fields through the file, so nothing is copied
    // ahead into a stream buffer that the skip over each record's data would throw away.
    if (file != NULL)
        setvbuf(file, NULL, _IONBF, 0);
    ArchiveReader reader;
    if (archiveAttach(&reader, file) != ARCHIVE_OK) {
        *error = systemError("opening the archive in memory");
        if (file != NULL)
            fclose(file);
        return false;
    }
    char name[ARCHIVE_NAME_BUFFER];
    bool ok = true;
    std::set<std::string> madeFolders;
    for (long index = 0; count < 0 || index < count; index++) {
        int result = archiveReadName(&reader, name);
        if (result == ARCHIVE_END && count < 0)
            break;
        if (result == ARCHIVE_OK) {
            uint32_t dataSize;
            result = archiveReadSize(&reader, &dataSize);
            if (result == ARCHIVE_OK) {
                // The reader has checked that the data lies whole inside the archive: it is
                // written from where it lies in memory, then passed over.
                const char *data = archive + reader.position;
                if (fseek(file, (long)dataSize, SEEK_CUR) != 0) {
                    *error = systemError("reading the archive in memory");
                    ok = false;
                    break;
                }
                reader.position += dataSize;
                records->push_back(RecordInfo{name, dataSize});
                if (unpackDir != NULL &&
                    !writeRecord(unpackDir, name, data, dataSize, &madeFolders, error)) {
                    ok = false;
                    break;
                }
                continue;
            }
        }
        *error = "record " + std::to_string(index + 1) + " at offset " +
                 std::to_string(reader.position) + ": " + archiveResultText(result);
        ok = false;
        break;
    }
    if (ok && reader.position < reader.size)
        *trailingBytes = reader.size - reader.position;
    fclose(file);
    return ok;
}

namespace {

// Reads a whole file into either kind of buffer, in place: sized once from the file's length and
// grown only if the file grows meanwhile.
template <class Buffer>
bool readInto(const std::string &path, Buffer *content, std::string *error) {
    int descriptor = open(path.c_str(), O_RDONLY);
    struct stat info;
    if (descriptor < 0 || fstat(descriptor, &info) != 0) {
        *error = systemError(path);
        if (descriptor >= 0)
            close(descriptor);
        return false;
    }
    size_t used = 0;
    bool failed = !content->resize(S_ISREG(info.st_mode) ? (size_t)info.st_size + 1 : 65536);
    while (!failed) {
        if (used == content->size() && !content->resize(used * 2)) {
            failed = true;
            break;
        }
        ssize_t got = read(descriptor, &content->data()[used], content->size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        used += (size_t)got;
    }
    if (failed)
        *error = systemError(path);
    close(descriptor);
    if (failed)
        return false;
    content->resize(used);
    return true;
}

} // namespace

bool readWholeFile(const std::string &path, std::string *data, std::string *error) {
    std::string content;
    TextBuffer buffer = {&content};
    if (!readInto(path, &buffer, error))
        return false;
    data->swap(content);
    return true;
}

bool readWholeFile(const std::string &path, ByteBlock *data, std::string *error) {
    data->resize(0);
    return readInto(path, data, error);
}

bool writeFileAtomically(const std::string &path, const std::string &data, std::string *error) {
    std::string temporary = path + ".tmp-XXXXXX";
    int descriptor = mkstemp(&temporary[0]);
    if (descriptor < 0) {
        *error = systemError(path);
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < data.size()) {
        ssize_t wrote = write(descriptor, data.data() + done, data.size() - done);
        if (wrote <= 0)
            ok = false;
        else
            done += (size_t)wrote;
    }
    if (close(descriptor) != 0)
        ok = false;
    if (ok && chmod(temporary.c_str(), 0644) != 0)
        ok = false;
    if (ok && rename(temporary.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        *error = systemError(path);
        unlink(temporary.c_str());
    }
    return ok;
}

namespace {

const size_t LARGE_PAGE = (size_t)2 << 20;

size_t roundUp(size_t size, size_t unit) { return (size + unit - 1) / unit * unit; }

} // namespace

ByteBlock::~ByteBlock() {
    if (data_ != NULL)
        munmap(data_, capacity_);
}

ByteBlock::ByteBlock(ByteBlock &&other) noexcept
    : data_(other.data_), size_(other.size_), capacity_(other.capacity_) {
    other.data_ = NULL;
    other.size_ = other.capacity_ = 0;
}

ByteBlock &ByteBlock::operator=(ByteBlock &&other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
}

bool ByteBlock::resize(size_t size) {
    if (size <= capacity_) {
        if (size < size_)
            memset(data_ + size, 0, size_ - size); // added bytes read as zero again later
        size_ = size;
        return true;
    }
    // A whole number of large pages at a large page's boundary: a mapping of one page more, its
    // unaligned ends given back.
    size_t capacity = roundUp(std::max(size, capacity_ * 2), LARGE_PAGE);
    size_t mapped = capacity + LARGE_PAGE;
    void *mapping = mmap(NULL, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        return false;
    char *start = (char *)roundUp((uintptr_t)mapping, LARGE_PAGE);
    size_t head = (size_t)(start - (char *)mapping);
    if (head != 0)
        munmap(mapping, head);
    if (mapped - head - capacity != 0)
        munmap(start + capacity, mapped - head - capacity);
    madvise(start, capacity, MADV_HUGEPAGE); // a hint: without large pages it works all the same
    if (size_ != 0)
        memcpy(start, data_, size_);
    if (data_ != NULL)
        munmap(data_, capacity_);
    data_ = start;
    capacity_ = capacity;
    size_ = size;
    return true;
}
