// The floor of the copy: writes the files of a payload, already inflated in memory, with plain
// CreateFile/WriteFile/CloseHandle into a folder, and prints how long the writing took. With
// "reinstall" the folder holds them already: each existing file is renamed aside first and the
// renamed ones are deleted at the end, as a reinstallation must. Run with no arguments it does
// nothing at all: the start-up of an empty program of this runtime.
//
// usage: floor.exe [<payload.gz> <folder> first|reinstall]
#include <windows.h>
#include <zlib.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

struct Record {
    std::string name;
    const char *data;
    size_t size;
};

// The whole payload file inflated (one or more gzip members); empty on failure.
static std::string inflatePayload(const char *path) {
    std::string out;
    gzFile input = gzopen(path, "rb");
    if (input == NULL)
        return out;
    static char buffer[1 << 16];
    int count;
    while ((count = gzread(input, buffer, sizeof buffer)) > 0)
        out.append(buffer, (size_t)count);
    gzclose(input);
    return out;
}

static std::vector<Record> readRecords(const std::string &archive) {
    std::vector<Record> records;
    size_t at = 0;
    while (at < archive.size()) {
        size_t length = (unsigned char)archive[at++];
        std::string name = archive.substr(at, length);
        at += length;
        const unsigned char *size = (const unsigned char *)archive.data() + at;
        size_t bytes = size[0] | size[1] << 8 | size[2] << 16 | (size_t)size[3] << 24;
        at += 4;
        records.push_back(Record{name.c_str(), archive.data() + at, bytes});
        at += bytes;
    }
    return records;
}

// Every folder on the way to path below root, made when missing.
static void makeFolders(const std::string &path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), NULL);
}

int main(int argc, char **argv) {
    if (argc < 4)
        return 0; // the empty program
    std::string archive = inflatePayload(argv[1]);
    std::vector<Record> records = readRecords(archive);
    std::string folder = argv[2];
    bool reinstall = strcmp(argv[3], "reinstall") == 0;
    if (records.empty()) {
        fprintf(stderr, "floor: no records in %s\n", argv[1]);
        return 1;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    CreateDirectoryA(folder.c_str(), NULL);
    std::vector<std::string> aside;
    size_t bytes = 0;
    for (const Record &record : records) {
        std::string path = folder + "\\" + record.name;
        if (reinstall) {
            std::string old = path + ".floor-old";
            if (MoveFileA(path.c_str(), old.c_str()))
                aside.push_back(old);
        } else {
            makeFolders(path);
        }
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE ||
            (record.size > 0 &&
             (!WriteFile(file, record.data, (DWORD)record.size, &written, NULL) ||
              written != record.size))) {
            fprintf(stderr, "floor: %s could not be written\n", path.c_str());
            return 1;
        }
        CloseHandle(file);
        bytes += record.size;
    }
    for (const std::string &old : aside)
        DeleteFileA(old.c_str());
    QueryPerformanceCounter(&end);
    printf("floor %s: %u files, %u bytes written in %.1f ms\n", reinstall ? "reinstall" : "first",
           (unsigned)records.size(), (unsigned)bytes,
           1000.0 * (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart);
    return 0;
}
