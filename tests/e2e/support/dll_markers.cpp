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

const std::vector<std::string> &onDemandNames() {
    static const std::vector<std::string> names = {"comctl32",      "uxtheme", "propsys",
                                                   "dwmapi",        "msimg32", "oleacc",
                                                   "windowscodecs", "shdocvw"};
    return names;
}

// The marker DLL of this build, beside the tests' support library.
static std::string markerDll() {
    return driver::buildPath(QUILLARY_TESTS_TREE "\\tests\\e2e\\support\\marker.dll");
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

std::string nativeFirstEntry(const std::vector<std::string> &names) {
    std::string entry;
    for (size_t i = 0; i < names.size(); i++)
        entry += (i > 0 ? "," : "") + names[i];
    return entry + "=n,b";
}

bool nativeFirstInForce(const std::vector<std::string> &names) {
    return driver::environment(OVERRIDES).find(nativeFirstEntry(names)) != std::string::npos;
}

} // namespace markers
