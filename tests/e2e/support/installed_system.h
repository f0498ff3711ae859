// What an installation leaves in the system, read from outside the installer: registry values
// through the registry API, shortcut files through the shell link object, the shell windows it
// opens. And the reset every scenario makes of it.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "installer_driver.h"
#include "installer_run.h"

namespace installed {

const char APP_ENTRY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quillary";
const char PROGRAM_ENTRY[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quillary.exe";
const char UNINSTALL_ENTRY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillary";
const char DOCUMENT_CLASS[] = "SOFTWARE\\Classes\\QLRDOC1.Image";
const char SHELL_FOLDERS[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// The shell window that opens a folder: its own explorer.exe process, titled by the folder name.
const char SHELL_WINDOW_CLASS[] = "ExplorerWClass";

// A REG_SZ value below HKEY_LOCAL_MACHINE, or a REG_DWORD one in decimal; "<missing>" or
// "<type N>" when it is neither.
inline std::string registryText(const std::string &keyPath, const char *name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    char data[2048] = "";
    DWORD size = sizeof(data) - 1, type = 0;
    LONG status = RegQueryValueExA(key, name, NULL, &type, (BYTE *)data, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return "<missing>";
    if (type == REG_DWORD && size == sizeof(DWORD))
        return std::to_string(*(const DWORD *)data);
    if (type != REG_SZ)
        return "<type " + std::to_string(type) + ">";
    return data;
}

inline bool keyExists(const std::string &keyPath) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Every value the installer writes, "key [name] = data" per line, for comparing whole sets.
inline std::string productEntries() {
    struct {
        std::string key;
        const char *name;
    } values[] = {
        {APP_ENTRY, ""},
        {APP_ENTRY, "Path"},
        {UNINSTALL_ENTRY, "DisplayName"},
        {UNINSTALL_ENTRY, "UninstallString"},
        {UNINSTALL_ENTRY, "Scdir"},
        {UNINSTALL_ENTRY, "Progdir"},
        {PROGRAM_ENTRY, ""},
        {PROGRAM_ENTRY, "Path"},
        {UNINSTALL_ENTRY, "DisplayIcon"},
        {UNINSTALL_ENTRY, "DisplayVersion"},
        {UNINSTALL_ENTRY, "Publisher"},
        {UNINSTALL_ENTRY, "InstallLocation"},
        {UNINSTALL_ENTRY, "EstimatedSize"},
        {UNINSTALL_ENTRY, "NoModify"},
        {UNINSTALL_ENTRY, "NoRepair"},
        {UNINSTALL_ENTRY, "QuietUninstallString"},
        {UNINSTALL_ENTRY, "InstallDate"},
        {DOCUMENT_CLASS, ""},
        {std::string(DOCUMENT_CLASS) + "\\DefaultIcon", ""},
        {std::string(DOCUMENT_CLASS) + "\\shell\\open\\command", ""},
    };
    std::string out;
    for (const auto &v : values)
        out += v.key + " [" + v.name + "] = " + registryText(v.key, v.name) + "\n";
    return out;
}

// The product's version as the source tree's VERSION file spells it.
inline std::string productVersion() {
    std::string path = driver::environment("QUILLARY_SOURCE_DIR") + "\\VERSION";
    char text[64] = "";
    DWORD got = 0;
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, text, sizeof(text) - 1, &got, NULL);
        CloseHandle(file);
    }
    std::string version(text, got);
    while (!version.empty() && (version.back() == '\n' || version.back() == '\r'))
        version.pop_back();
    return version;
}
// Today's local date as YYYYMMDD, the form of the Uninstall entry's "InstallDate".
inline std::string localDate() {
    SYSTEMTIME today;
    GetLocalTime(&today);
    char text[16];
    snprintf(text, sizeof(text), "%04u%02u%02u", (unsigned)today.wYear, (unsigned)today.wMonth,
             (unsigned)today.wDay);
    return text;
}

// The installed files' size in kibibytes: the manifest's data total, rounded up.
const unsigned long INSTALLED_KIB = (3941974 + 1023) / 1024;

// The set productEntries() must read after an installation into installDir with that group.
inline std::string expectedEntries(const std::string &installDir, const std::string &group) {
    const std::string program = installDir + "\\Quillary.exe";
    return std::string(APP_ENTRY) + " [] = Quillary\n" + APP_ENTRY + " [Path] = " + installDir +
           "\n" + UNINSTALL_ENTRY + " [DisplayName] = Quillary\n" + UNINSTALL_ENTRY +
           " [UninstallString] = \"" + installDir + "\\uninstall.exe\"\n" + UNINSTALL_ENTRY +
           " [Scdir] = " + group + "\n" + UNINSTALL_ENTRY + " [Progdir] = " + installDir + "\n" +
           PROGRAM_ENTRY + " [] = " + program + "\n" + PROGRAM_ENTRY + " [Path] = " + installDir +
           "\n" + UNINSTALL_ENTRY + " [DisplayIcon] = " + program + ",0\n" + UNINSTALL_ENTRY +
           " [DisplayVersion] = " + productVersion() + "\n" + UNINSTALL_ENTRY +
           " [Publisher] = Quillary\n" + UNINSTALL_ENTRY + " [InstallLocation] = " + installDir +
           "\n" + UNINSTALL_ENTRY + " [EstimatedSize] = " + std::to_string(INSTALLED_KIB) + "\n" +
           UNINSTALL_ENTRY + " [NoModify] = 1\n" + UNINSTALL_ENTRY + " [NoRepair] = 1\n" +
           UNINSTALL_ENTRY + " [QuietUninstallString] = \"" + installDir +
           "\\uninstall.exe\" /S\n" + UNINSTALL_ENTRY + " [InstallDate] = " + localDate() + "\n" +
           DOCUMENT_CLASS + " [] = Quillary\n" + DOCUMENT_CLASS + "\\DefaultIcon [] = " + program +
           ",0\n" + DOCUMENT_CLASS + "\\shell\\open\\command [] = \"" + program + "\" \"%1\"\n";
}

// Deletes a key below HKEY_LOCAL_MACHINE with all its subkeys.
inline void deleteKeyTree(const std::string &keyPath) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return;
    std::vector<std::string> subkeys;
    char name[256];
    for (DWORD i = 0;; i++) {
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string &subkey : subkeys)
        deleteKeyTree(keyPath + "\\" + subkey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str());
}

inline void deleteProductEntries() {
    deleteKeyTree(APP_ENTRY);
    deleteKeyTree(PROGRAM_ENTRY);
    deleteKeyTree(UNINSTALL_ENTRY);
    deleteKeyTree(DOCUMENT_CLASS);
}

// A Shell Folders value ("" when missing), and setting it back (a NULL text deletes it).
inline std::string shellFolder(const char *name) {
    std::string text = registryText(SHELL_FOLDERS, name);
    return text == "<missing>" ? "" : text;
}
inline void setShellFolder(const char *name, const char *text) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHELL_FOLDERS, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (text == NULL)
        RegDeleteValueA(key, name);
    else
        RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
    RegCloseKey(key);
}

struct Link {
    bool loaded = false;
    std::string target, description, arguments, workingDir;
};

// A shortcut file loaded back through IShellLinkA and IPersistFile.
inline Link readLink(const std::string &path) {
    Link out;
    CoInitialize(NULL);
    IShellLinkA *link = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void **)&link))) {
        IPersistFile *file = NULL;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char text[1024] = "";
                out.loaded = true;
                link->GetPath(text, sizeof(text), NULL, SLGP_RAWPATH);
                out.target = text;
                text[0] = '\0';
                link->GetDescription(text, sizeof(text));
                out.description = text;
                text[0] = '\0';
                link->GetArguments(text, sizeof(text));
                out.arguments = text;
                text[0] = '\0';
                link->GetWorkingDirectory(text, sizeof(text));
                out.workingDir = text;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return out;
}

// Names of the entries of a folder (files and folders), sorted as the system lists them.
inline std::vector<std::string> folderEntries(const std::string &folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// Files below root, in all its subfolders.
inline int countFiles(const std::string &root) {
    int count = 0;
    for (const std::string &name : folderEntries(root)) {
        std::string path = root + "\\" + name;
        if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            count += countFiles(path);
        else
            count++;
    }
    return count;
}

inline bool exists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// EnumWindows callback of shellWindows: keeps each visible shell window. A named CALLBACK
// function, as a lambda does not convert to the i686 stdcall WNDENUMPROC.
inline BOOL CALLBACK collectShellWindow(HWND window, LPARAM context) {
    char className[64] = "";
    GetClassNameA(window, className, sizeof(className));
    if (strcmp(className, SHELL_WINDOW_CLASS) == 0 && IsWindowVisible(window))
        ((std::vector<driver::Window> *)context)->push_back(driver::Window(window));
    return TRUE;
}

// The shell windows open on the screen, whoever opened them.
inline std::vector<driver::Window> shellWindows() {
    std::vector<driver::Window> found;
    EnumWindows(collectShellWindow, (LPARAM)&found);
    return found;
}

// Waits for a shell window with that title; throws on timeout.
inline driver::Window waitForShellWindow(const std::string &title,
                                         DWORD timeoutMs = driver::DEFAULT_TIMEOUT_MS) {
    driver::Window seen;
    bool found = driver::waitFor(
        [&] {
            for (const driver::Window &w : shellWindows()) {
                if (w.title() == title) {
                    seen = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    if (!found)
        throw driver::DriverError("no shell window \"" + title + "\" opened");
    return seen;
}

// Closes every shell window and waits for its process to end, ending it when it will not: the
// process holds the test runner's output.
inline void closeShellWindows() {
    for (const driver::Window &w : shellWindows()) {
        DWORD processId = 0;
        GetWindowThreadProcessId(w.handle(), &processId);
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
        PostMessageA(w.handle(), WM_CLOSE, 0, 0);
        if (process == NULL)
            continue;
        if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0)
            TerminateProcess(process, 1);
        CloseHandle(process);
    }
}

// Denies everyone the given rights on an HKEY_LOCAL_MACHINE key while it lives, and gives the
// key its own permissions back afterwards. locked() says whether the denial took effect: a
// probe opened for writing is refused.
class RegistryKeyLock {
  public:
    RegistryKeyLock(const std::string &keyPath, REGSAM denied) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, READ_CONTROL | WRITE_DAC,
                          &key_) != ERROR_SUCCESS) {
            key_ = NULL;
            return;
        }
        DWORD size = sizeof(original_);
        saved_ =
            RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_, &size) == ERROR_SUCCESS;
        if (!saved_)
            return;
        BYTE everyone[SECURITY_MAX_SID_SIZE];
        DWORD sidSize = sizeof(everyone);
        DWORD acl[64];
        SECURITY_DESCRIPTOR locked;
        set_ = CreateWellKnownSid(WinWorldSid, NULL, everyone, &sidSize) &&
               InitializeAcl((ACL *)acl, sizeof(acl), ACL_REVISION) &&
               AddAccessDeniedAce((ACL *)acl, ACL_REVISION, denied, everyone) &&
               AddAccessAllowedAce((ACL *)acl, ACL_REVISION, KEY_ALL_ACCESS, everyone) &&
               InitializeSecurityDescriptor(&locked, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorDacl(&locked, TRUE, (ACL *)acl, FALSE) &&
               RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &locked) == ERROR_SUCCESS;
        HKEY probe;
        LONG opened =
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ | KEY_WRITE, &probe);
        if (opened == ERROR_SUCCESS)
            RegCloseKey(probe);
        set_ = set_ && opened == ERROR_ACCESS_DENIED;
    }
    ~RegistryKeyLock() { release(); }
    bool locked() const { return set_; }
    void release() {
        if (saved_)
            RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_);
        if (key_ != NULL)
            RegCloseKey(key_);
        saved_ = false;
        key_ = NULL;
        set_ = false;
    }

  private:
    HKEY key_ = NULL;
    DWORD original_[1024];
    bool saved_ = false;
    bool set_ = false;
};

// Takes back what an installation into installDir left: the group's shell window, the program
// group, the registry entries and the folder.
inline void undoInstallation(const std::string &installDir) {
    closeShellWindows();
    driver::removeTree(shellFolder("Common Programs") + "\\Quillary");
    deleteProductEntries();
    driver::removeTree(installDir);
}

} // namespace installed
