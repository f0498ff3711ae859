// Extraction benchmark: the installer's two-stage path (payload written to a temporary .gz,
// decompressed to a temporary archive, records unpacked into a folder) and the payload tool's
// `pack unpack`, each against tar -xzf of a tar.gz of the same tree, all on one tmpfs, in one
// run, their runs interleaved. Prints the medians and their ratios to tar.
//
// usage: extract [--runs N] [--dir DIR] [--pack PACK] [--core-only] [PAYLOAD]
//   DIR must be on a tmpfs; without it, a fresh tmpfs is mounted (as root) or /dev/shm is used.
//   PACK is the payload tool to time (the build's tools/pack/pack by default).
//   --core-only times the installer's path alone (after one untimed run, as always): the
//   reference bench/copy-page runs between its installations under Wine.
#include <errno.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "payload/archive_reader.h"

extern char **environ;

namespace {

const int CHUNK = 16384; // the installer's gzread size

double now() {
    struct timespec time;
    clock_gettime(CLOCK_MONOTONIC, &time);
    return time.tv_sec + time.tv_nsec / 1e9;
}

int run(const std::vector<std::string> &arguments) {
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back((char *)argument.c_str());
    argv.push_back(NULL);
    pid_t child;
    if (posix_spawnp(&child, argv[0], NULL, NULL, argv.data(), environ) != 0)
        return -1;
    int status;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

[[noreturn]] void die(const std::string &message) {
    fprintf(stderr, "extract: %s\n", message.c_str());
    exit(1);
}

// The installer's path, natively: the payload bytes (the resource) to a .gz file, gzread in
// chunks into the archive file, then each record read whole and written with one write.
void installerPath(const std::string &payload, const std::string &work, const std::string &out) {
    std::string gzPath = work + "/filesdata.gz", archivePath = work + "/filesdata.dat";
    FILE *gzFileOut = fopen(gzPath.c_str(), "wb");
    if (gzFileOut == NULL || fwrite(payload.data(), 1, payload.size(), gzFileOut) != payload.size())
        die("cannot write " + gzPath);
    fclose(gzFileOut);

    gzFile input = gzopen(gzPath.c_str(), "rb");
    FILE *output = fopen(archivePath.c_str(), "wb");
    if (input == NULL || output == NULL)
        die("cannot decompress " + gzPath);
    static char buffer[CHUNK];
    int count;
    while ((count = gzread(input, buffer, CHUNK)) > 0)
        fwrite(buffer, 1, (size_t)count, output);
    if (count < 0 || fclose(output) != 0 || gzclose(input) != Z_OK)
        die("damaged payload");

    mkdir(out.c_str(), 0755);
    mkdir((out + "/Gallerix").c_str(), 0755);
    ArchiveReader reader;
    if (archiveOpen(&reader, archivePath.c_str()) != ARCHIVE_OK)
        die("cannot open " + archivePath);
    char name[ARCHIVE_NAME_BUFFER];
    while (archiveReadName(&reader, name) == ARCHIVE_OK) {
        std::string path = out + "/" + name;
        for (size_t j = out.size() + 2; j < path.size(); j++) {
            if (path[j] == '\\') {
                path[j] = '/';
                mkdir(path.substr(0, j).c_str(), 0755);
            }
        }
        uint32_t size;
        if (archiveReadSize(&reader, &size) != ARCHIVE_OK)
            die("bad record " + std::string(name));
        char *data = (char *)calloc(1, size ? size : 1); // the zero-filled block
        if (archiveReadData(&reader, data, size) != ARCHIVE_OK)
            die("bad record " + std::string(name));
        FILE *file = fopen(path.c_str(), "wb");
        if (file == NULL || fwrite(data, 1, size, file) != size)
            die("cannot write " + path);
        fclose(file);
        free(data);
    }
    archiveClose(&reader);
    unlink(archivePath.c_str());
    unlink(gzPath.c_str());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One line of figures: the label, then the median, smallest and largest in milliseconds.
void printSpread(const char *label, const std::vector<double> &times) {
    printf("%-54s median %.2f ms (min %.2f, max %.2f)\n", label, median(times) * 1e3,
           *std::min_element(times.begin(), times.end()) * 1e3,
           *std::max_element(times.begin(), times.end()) * 1e3);
}

} // namespace

int main(int argc, char **argv) {
    int runs = 11;
    std::string dir, payloadPath = QUILLARY_PAYLOAD, pack = QUILLARY_PACK;
    bool coreOnly = false;
    for (int i = 1; i < argc; i++) {
        std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc)
            runs = std::max(1, atoi(argv[++i]));
        else if (argument == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (argument == "--pack" && i + 1 < argc)
            pack = argv[++i];
        else if (argument == "--core-only")
            coreOnly = true;
        else if (argument[0] != '-')
            payloadPath = argument;
        else
            die("usage: extract [--runs N] [--dir DIR] [--pack PACK] [--core-only] [PAYLOAD]");
    }
    std::string payload;
    {
        FILE *file = fopen(payloadPath.c_str(), "rb");
        if (file == NULL)
            die(payloadPath + ": " + strerror(errno));
        char buffer[65536];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
            payload.append(buffer, got);
        fclose(file);
    }

    bool mounted = false;
    if (dir.empty()) {
        char pattern[] = "/tmp/bench-extract-XXXXXX";
        dir = mkdtemp(pattern);
        if (geteuid() == 0 && mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256m") == 0) {
            mounted = true;
        } else {
            rmdir(dir.c_str());
            char shm[] = "/dev/shm/bench-extract-XXXXXX";
            dir = mkdtemp(shm);
        }
    }
    std::string work = dir + "/temp", ours = dir + "/ours", theirs = dir + "/tar",
                packs = dir + "/pack", tarball = dir + "/tree.tar.gz";
    mkdir(work.c_str(), 0755);

    // The same tree for tar: unpacked once by our path, packed at gzip's default level.
    installerPath(payload, work, ours);
    if (!coreOnly && run({"tar", "-czf", tarball, "-C", ours, "."}) != 0)
        die("tar -czf failed");

    std::vector<double> ourTimes, packTimes, tarTimes;
    for (int i = 0; i < runs; i++) {
        run({"rm", "-rf", ours, packs, theirs});
        double start = now();
        installerPath(payload, work, ours);
        ourTimes.push_back(now() - start);
        if (coreOnly)
            continue;

        // The tool as its user runs it: a process of its own, like tar.
        start = now();
        if (run({pack, "unpack", payloadPath, packs}) != 0)
            die(pack + " unpack failed");
        packTimes.push_back(now() - start);

        mkdir(theirs.c_str(), 0755);
        start = now();
        if (run({"tar", "-xzf", tarball, "-C", theirs}) != 0)
            die("tar -xzf failed");
        tarTimes.push_back(now() - start);
    }
    if (coreOnly) {
        printf("payload %zu bytes, %d runs, on %s%s\n", payload.size(), runs, dir.c_str(),
               mounted ? " (fresh tmpfs)" : "");
        printSpread("installer path (write .gz, gunzip to archive, unpack):", ourTimes);
    } else {
        mkdir((packs + "/Gallerix").c_str(), 0755); // the installer's own empty folder
        if (run({"diff", "-r", ours, theirs}) != 0 || run({"diff", "-r", packs, theirs}) != 0)
            die("the trees differ");
        struct stat tarInfo;
        stat(tarball.c_str(), &tarInfo);
        printf("payload %zu bytes, tar.gz %lld bytes, %d runs each, on %s%s\n", payload.size(),
               (long long)tarInfo.st_size, runs, dir.c_str(), mounted ? " (fresh tmpfs)" : "");
        printSpread("installer path (write .gz, gunzip to archive, unpack):", ourTimes);
        printSpread("pack unpack (the payload tool, its own process):", packTimes);
        printSpread("tar -xzf:", tarTimes);
        printf("ratio installer / tar: %.3f (target <= 1.0)\n",
               median(ourTimes) / median(tarTimes));
        printf("ratio pack unpack / tar: %.3f (target <= 1.0)\n",
               median(packTimes) / median(tarTimes));
    }

    run({"rm", "-rf", ours, packs, theirs, work, tarball});
    if (mounted)
        umount(dir.c_str());
    rmdir(dir.c_str());
    return 0;
}
