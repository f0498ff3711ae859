// Reads and sets up what an installation of the product leaves on the machine.
#include "product_state.h"

#include "installer_driver.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

namespace installed {

namespace {

const char SHELL_FOLDERS[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string environment(const char *name) {
    char value[1024] = "";
    DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    return length > 0 && length < sizeof(value) ? value : "";
}

void listInto(const std::string &root, const std::string &prefix, std::vector<std::string> *out) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((root + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out->push_back(prefix + name + "\\");
            listInto(root + "\\" + name, prefix + name + "\\", out);
        } else {
            out->push_back(prefix + name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void describeInto(HKEY key, const std::string &prefix, std::vector<std::string> *lines) {
    char name[512], data[2048];
    for (DWORD i = 0;; i++) {
        DWORD nameSize = sizeof(name), dataSize = sizeof(data) - 1, type = 0;
        memset(data, 0, sizeof(data));
        if (RegEnumValueA(key, i, name, &nameSize, NULL, &type, (BYTE *)data, &dataSize) !=
            ERROR_SUCCESS)
            break;
        std::string shown = type == REG_DWORD ? std::to_string(*(DWORD *)data) : data;
        lines->push_back(prefix + "|" + name + "=" + shown);
    }
    for (DWORD i = 0;; i++) {
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &nameSize, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        HKEY child;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS)
            continue;
        describeInto(child, prefix + "\\" + name, lines);
        RegCloseKey(child);
    }
}

} // namespace

std::vector<std::string> manifestFileNames() {
    std::vector<std::string> names;
    std::ifstream manifest(environment("QUILLARY_SOURCE_DIR") + "\\product\\manifest.txt");
    std::string line;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string kind, size, name;
        if (!(fields >> kind >> size >> name) || kind[0] == '#')
            continue;
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> manifestFolders() {
    std::vector<std::string> folders;
    for (const std::string &name : manifestFileNames()) {
        size_t separator = name.find('\\');
        if (separator != std::string::npos &&
            std::find(folders.begin(), folders.end(), name.substr(0, separator)) == folders.end())
            folders.push_back(name.substr(0, separator));
    }
    return folders;
}

std::vector<std::string> listTree(const std::string &root) {
    std::vector<std::string> out;
    listInto(root, "", &out);
    std::sort(out.begin(), out.end());
    return out;
}

std::string snapshotTree(const std::string &root) {
    std::string out;
    for (const std::string &name : listTree(root)) {
        std::ifstream file(root + "\\" + name, std::ios::binary);
        std::stringstream contents;
        contents << file.rdbuf();
        out += name + " " + std::to_string(contents.str().size()) + " " +
               std::to_string(std::hash<std::string>()(contents.str())) + "\n";
    }
    return out;
}

bool writeString(const std::string &key, const std::string &value, const std::string &data) {
    HKEY handle;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle,
                        NULL) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExA(handle, value.c_str(), 0, REG_SZ, (const BYTE *)data.c_str(),
                                 (DWORD)data.size() + 1);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

std::string describeKey(const std::string &key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "";
    std::vector<std::string> lines;
    describeInto(handle, "", &lines);
    RegCloseKey(handle);
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

// The host's path of a Windows path, through Wine's own kernel32 export; "" without it.
static std::string unixPath(const std::string &path) {
    typedef char *(CDECL * UnixNameFunction)(const WCHAR *);
    UnixNameFunction unixName = (UnixNameFunction)(void (*)())GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    WCHAR wide[MAX_PATH];
    if (unixName == NULL || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH))
        return "";
    char *name = unixName(wide);
    if (name == NULL)
        return "";
    std::string out = name;
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

static bool isLink(const std::string &path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Starts a host program given by its Z: path (Wine starts those itself) and waits until done
// holds: the handle Wine gives for a host process does not wait for it.
static bool runOnHost(const std::string &command, const std::function<bool()> &done) {
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return driver::waitFor(done, 10000);
}

bool makeFolderLink(const std::string &target, const std::string &linkPath) {
    std::string from = unixPath(target), to = unixPath(linkPath);
    if (from.empty() || to.empty())
        return false;
    return runOnHost("Z:\\bin\\ln -s \"" + from + "\" \"" + to + "\"",
                     [&] { return isLink(linkPath); });
}

void removeFolderLink(const std::string &linkPath) {
    std::string path = unixPath(linkPath);
    if (!path.empty() && isLink(linkPath))
        runOnHost("Z:\\bin\\rm -f \"" + path + "\"", [&] { return !isLink(linkPath); });
}

bool makeFileLink(const std::string &target, const std::string &linkPath) {
    std::string from = unixPath(target), to = unixPath(linkPath);
    if (from.empty() || to.empty())
        return false;
    return runOnHost("Z:\\bin\\ln -sfn \"" + from + "\" \"" + to + "\"", [&] {
        return GetFileAttributesA(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
}

void removeFileLink(const std::string &linkPath) {
    std::string path = unixPath(linkPath);
    if (!path.empty())
        runOnHost("Z:\\bin\\rm -f \"" + path + "\"",
                  [&] { return GetFileAttributesA(linkPath.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

bool makeLink(const std::string &target, const std::string &linkPath) {
    CoInitialize(NULL);
    IShellLinkA *link = NULL;
    bool saved = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void **)&link))) {
        link->SetPath(target.c_str());
        IPersistFile *file = NULL;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
            saved = SUCCEEDED(file->Save(wide, TRUE));
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return saved;
}

} // namespace installed
