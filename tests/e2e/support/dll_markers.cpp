// Planting marker DLLs and reading their markers.
#include "dll_markers.h"

#include <windows.h>

#include <algorithm>

#include "installed_system.h"
#include "installer_driver.h"
#include "installer_run.h"
#include "marker_dll.h"

namespace markers {

static const char OVERRIDES[] = "WINEDLLOVERRIDES";
// What the bench sets: no Mono and Gecko install prompts.
static const char BENCH_OVERRIDES[] = "mscoree,mshtml=";

const std::vector<std::string> &onDemandNames() {
    static const std::vector<std::string> names = {"comctl32", "uxtheme", "propsys", "dwmapi",
                                                   "msimg32",  "oleacc",  "profapi", "cryptbase"};
    return names;
}

// The marker DLL of this build, beside the tests' support library.
static std::string markerDll() {
    return driver::buildPath("win64\\tests\\e2e\\support\\marker.dll");
}

bool plant(const std::string &folder, const std::vector<std::string> &names) {
    std::string dll = markerDll();
    bool all = true;
    for (const std::string &name : names)
        all = CopyFileA(dll.c_str(), (folder + "\\" + name + ".dll").c_str(), FALSE) && all;
    return all;
}

void clear() { driver::removeTree(MARKER_FOLDER); }

std::vector<std::string> found() {
    std::vector<std::string> names;
    for (std::string name : installed::folderEntries(MARKER_FOLDER)) {
        size_t suffix = name.rfind(".marker");
        if (suffix != std::string::npos)
            name.erase(suffix);
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

NativeFirst::NativeFirst(const std::vector<std::string> &names) : hadFormer_(false) {
    char former[1024];
    DWORD length = GetEnvironmentVariableA(OVERRIDES, former, sizeof(former));
    if (length > 0 && length < sizeof(former)) {
        former_ = former;
        hadFormer_ = true;
    }
    std::string value = std::string(BENCH_OVERRIDES) + ";";
    for (size_t i = 0; i < names.size(); i++)
        value += (i > 0 ? "," : "") + names[i];
    value += "=n,b";
    SetEnvironmentVariableA(OVERRIDES, value.c_str());
}

NativeFirst::~NativeFirst() {
    SetEnvironmentVariableA(OVERRIDES, hadFormer_ ? former_.c_str() : NULL);
}

} // namespace markers
