// The payload builder's work: collecting files, writing records and the gzip member, and reading
// a payload back by the installer's rules.
#include "payload_tool.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdio.h>
#include <string.h>
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

bool writeRecord(const std::string &unpackDir, const std::string &name, const char *data,
                 uint32_t size, std::string *error) {
    std::string path = name;
    for (char &c : path)
        if (c == '\\')
            c = '/';
    for (size_t j = 1; j < path.size(); j++) {
        if (path[j] == '/' && !makeDirectoryIfMissing(unpackDir + "/" + path.substr(0, j))) {
            *error = systemError(unpackDir + "/" + path.substr(0, j));
            return false;
        }
    }
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

bool gunzipPayload(const uint8_t *data, size_t size, std::string *archive, GzipLayer *layer,
                   std::string *error, uint64_t maxOutput) {
    *layer = GzipLayer();
    archive->clear();
    if (size < 2 || data[0] != 0x1F || data[1] != 0x8B) {
        archive->assign((const char *)data, size); // passed through unchanged
        return true;
    }
    layer->isGzip = true;
    size_t offset = 0;
    unsigned char buffer[65536];
    while (offset + 2 <= size && data[offset] == 0x1F && data[offset + 1] == 0x8B) {
        z_stream stream;
        memset(&stream, 0, sizeof stream);
        inflateInit2(&stream, 16 + MAX_WBITS);
        stream.next_in = (Bytef *)(data + offset);
        stream.avail_in = (uInt)(size - offset);
        int status;
        do {
            stream.next_out = buffer;
            stream.avail_out = sizeof buffer;
            status = inflate(&stream, Z_NO_FLUSH);
            archive->append((const char *)buffer, sizeof buffer - stream.avail_out);
            if (archive->size() > maxOutput) {
                inflateEnd(&stream);
                *error = "decompressed data larger than " + std::to_string(maxOutput) + " bytes";
                return false;
            }
        } while (status == Z_OK);
        if (status != Z_STREAM_END) {
            *error = status == Z_BUF_ERROR ? std::string("gzip member ends early")
                     : stream.msg != NULL  ? std::string("gzip member damaged: ") + stream.msg
                                           : std::string("gzip member damaged");
            inflateEnd(&stream);
            return false;
        }
        offset = size - stream.avail_in;
        inflateEnd(&stream);
        layer->members++;
    }
    layer->trailingBytes = size - offset;
    return true;
}

bool walkArchive(const std::string &archive, long count, const char *unpackDir,
                 std::vector<RecordInfo> *records, uint64_t *trailingBytes, std::string *error) {
    records->clear();
    *trailingBytes = 0;
    // fmemopen refuses an empty buffer; an empty archive reads like /dev/null.
    FILE *file = archive.empty() ? fopen("/dev/null", "rb")
                                 : fmemopen((void *)archive.data(), archive.size(), "rb");
    ArchiveReader reader;
    if (archiveAttach(&reader, file) != ARCHIVE_OK) {
        *error = systemError("opening the archive in memory");
        if (file != NULL)
            fclose(file);
        return false;
    }
    char name[ARCHIVE_NAME_BUFFER];
    bool ok = true;
    std::vector<char> data;
    for (long index = 0; count < 0 || index < count; index++) {
        int result = archiveReadName(&reader, name);
        if (result == ARCHIVE_END && count < 0)
            break;
        if (result == ARCHIVE_OK) {
            uint32_t dataSize;
            result = archiveReadSize(&reader, &dataSize);
            if (result == ARCHIVE_OK) {
                data.resize(dataSize);
                result = archiveReadData(&reader, data.data(), dataSize);
            }
            if (result == ARCHIVE_OK) {
                records->push_back(RecordInfo{name, dataSize});
                if (unpackDir != NULL &&
                    !writeRecord(unpackDir, name, data.data(), dataSize, error)) {
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

bool readWholeFile(const std::string &path, std::string *data, std::string *error) {
    FILE *file = fopen(path.c_str(), "rb");
    if (file == NULL) {
        *error = systemError(path);
        return false;
    }
    std::string content;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        *error = systemError(path);
        return false;
    }
    *data = content;
    return true;
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
